// The standard input of the calibration mathematics: lines of two integers (coordinates
// 0..2047), and bytes written as hexadecimal pairs. A line that cannot be used is named in the
// problem text, so the user finds it.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace kx7::cli {

using CoordinatePairs = std::vector<std::array<long long, 2>>;

// Every line of two integers from 0 to 2047, blank lines skipped; nothing (and `problem`) when a
// line is something else, or when `expected` (0: any number) lines are not what came.
std::optional<CoordinatePairs> ReadCoordinateLines(std::istream& in, std::size_t expected, std::string& problem);

// Hexadecimal pairs with any white space between the pairs; nothing for anything else.
std::optional<std::vector<std::uint8_t>> ReadHexBytes(const std::string& text);

}  // namespace kx7::cli
