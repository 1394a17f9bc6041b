// How the editors' scroll bars move the first row shown: a line or a page up or down, and the
// mouse wheel as two line steps in its direction.
#pragma once

namespace kx7 {

enum class RowScroll { kLineUp, kLineDown, kPageUp, kPageDown };

// The first row a step asks for (not yet kept within the editor's rows).
inline int ScrolledRow(RowScroll step, int first, int line, int page) {
  switch (step) {
    case RowScroll::kLineUp:
      return first - line;
    case RowScroll::kLineDown:
      return first + line;
    case RowScroll::kPageUp:
      return first - page;
    case RowScroll::kPageDown:
      return first + page;
  }
  return first;
}

// The wheel's step: up for a positive delta; nothing for none.
inline bool WheelStep(int delta, RowScroll& step) {
  if (delta == 0) return false;
  step = delta > 0 ? RowScroll::kLineUp : RowScroll::kLineDown;
  return true;
}
inline constexpr int kWheelLineSteps = 2;

}  // namespace kx7
