#include "calibration/block2_correction.h"

#include <algorithm>
#include <cmath>

#include "calibration/calibration_constants.h"

namespace kx7 {

namespace {

// The column (or row) of a coordinate and its offset into it: at most three steps right, so a
// point before the first node keeps a negative offset and one after the last stays in the last cell.
long long CellOffset(long long value, int& index) {
  long long offset = value - cal::kGrid[0];
  index = 0;
  while (index < 3 && offset > cal::kGridWidths[static_cast<std::size_t>(index)]) {
    offset -= cal::kGridWidths[static_cast<std::size_t>(index)];
    ++index;
  }
  return offset;
}

}  // namespace

Block2Correction::Block2Correction(const std::vector<std::uint8_t>& block2) {
  const std::size_t count = std::min(block2.size(), bytes_.size());
  for (std::size_t i = 0; i < count; ++i) bytes_[i] = static_cast<std::int8_t>(block2[i]);
}

int Block2Correction::Node(int k, int axis) const { return 2 * bytes_[static_cast<std::size_t>(2 * k + axis)]; }

std::array<double, 2> Block2Correction::At(long long x, long long y) const {
  int i = 0, j = 0;
  const long long u = CellOffset(x, i);
  const long long v = CellOffset(y, j);
  const long long w = cal::kGridWidths[static_cast<std::size_t>(i)];
  const long long h = cal::kGridWidths[static_cast<std::size_t>(j)];
  const int k = i + 5 * j;
  std::array<double, 2> correction{};
  for (int axis = 0; axis < 2; ++axis) {
    const long long c00 = Node(k, axis), c10 = Node(k + 1, axis), c01 = Node(k + 5, axis), c11 = Node(k + 6, axis);
    double sum = static_cast<double>(c00);
    sum += static_cast<double>((c10 - c00) * u) / static_cast<double>(w);
    sum += static_cast<double>((c01 - c00) * v) / static_cast<double>(h);
    sum += static_cast<double>((c00 + c11 - c01 - c10) * u * v) / static_cast<double>(w * h);
    correction[static_cast<std::size_t>(axis)] = sum;
  }
  return correction;
}

std::array<long long, 2> Block2Correction::Correct(long long x, long long y) const {
  const std::array<double, 2> c = At(x, y);
  return {x - static_cast<long long>(std::trunc(c[0])), y - static_cast<long long>(std::trunc(c[1]))};
}

}  // namespace kx7
