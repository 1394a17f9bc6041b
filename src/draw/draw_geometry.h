// Small pieces of arithmetic both draw windows use: scaling a controller value onto the client
// area without overflow, the box around a point, the union of two boxes, a little-endian word.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/canvas.h"

namespace kx7::draw {

// value * size / full in 64 bits, so that no client size or controller value overflows.
inline int Scale(long long value, long long size, long long full) { return static_cast<int>(value * size / full); }

inline Rect Around(Point p, int rx, int ry) { return Rect{p.x - rx, p.y - ry, p.x + rx, p.y + ry}; }

inline Rect Union(const Rect& a, const Rect& b) {
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

inline int Word(const std::uint8_t* bytes, std::size_t offset) { return bytes[offset] | bytes[offset + 1] << 8; }

}  // namespace kx7::draw
