// The controller's 25-point linearization table as Block2 keeps it: 25 pairs (dx, dy) of signed
// bytes in node order, the correction at node k being twice its bytes. The controller subtracts the
// bilinearly interpolated correction from every normalised coordinate; this is that evaluation,
// term by term as the controller forms it, so the program can predict where a corrected touch lands.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kx7 {

class Block2Correction {
 public:
  // All nodes zero.
  Block2Correction() = default;
  // The first 50 bytes of a Block2 image; a shorter image leaves the missing nodes at zero.
  explicit Block2Correction(const std::vector<std::uint8_t>& block2);

  // The correction in counts of node k (0..24) on axis 0 (x) or 1 (y).
  int Node(int k, int axis) const;

  // The correction (x, y) at a normalised point. Left of the first node column (or below the first
  // row) the first cell carries on with a negative offset; beyond the last node the last cell does.
  // Each term is an integer product divided in double, the terms added left to right.
  std::array<double, 2> At(long long x, long long y) const;

  // The corrected point: (x - trunc(correction x), y - trunc(correction y)).
  std::array<long long, 2> Correct(long long x, long long y) const;

 private:
  std::array<std::int8_t, 50> bytes_{};
};

}  // namespace kx7
