#include "calibration_input.h"

#include <cctype>

namespace kx7::cli {

namespace {

constexpr long long kHighest = 2047;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::optional<CoordinatePairs> ReadCoordinateLines(std::istream& in, std::size_t expected, std::string& problem) {
  CoordinatePairs pairs;
  std::string line;
  std::size_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::vector<std::string> words;
    std::string word;
    for (const char c : line) {
      if (Space(c)) {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word += c;
      }
    }
    if (!word.empty()) words.push_back(word);
    if (words.empty()) continue;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (words.size() != 2) {
      problem = where + "not two integers";
      return std::nullopt;
    }
    std::array<long long, 2> pair{};
    for (std::size_t i = 0; i < 2; ++i) {
      const std::string& w = words[i];
      const bool negative = w[0] == '-';
      const std::size_t start = negative || w[0] == '+' ? 1 : 0;
      if (start == w.size() || w.size() - start > 9) {
        problem = where + "not two integers";
        return std::nullopt;
      }
      long long value = 0;
      for (std::size_t at = start; at < w.size(); ++at) {
        if (w[at] < '0' || w[at] > '9') {
          problem = where + "not two integers";
          return std::nullopt;
        }
        value = value * 10 + (w[at] - '0');
      }
      if (negative) value = -value;
      if (value < 0 || value > kHighest) {
        problem = where + "a coordinate outside 0..2047";
        return std::nullopt;
      }
      pair[i] = value;
    }
    pairs.push_back(pair);
  }
  if (in.bad()) {
    problem = "the standard input cannot be read";
    return std::nullopt;
  }
  if (expected != 0 && pairs.size() != expected) {
    problem = std::to_string(pairs.size()) + " lines of \"X Y\", not " + std::to_string(expected);
    return std::nullopt;
  }
  return pairs;
}

std::optional<std::vector<std::uint8_t>> ReadHexBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::size_t at = 0;
  while (at < text.size()) {
    if (std::isspace(static_cast<unsigned char>(text[at]))) {
      ++at;
      continue;
    }
    if (at + 1 >= text.size()) return std::nullopt;
    const int high = HexDigit(text[at]), low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    at += 2;
  }
  return bytes;
}

}  // namespace kx7::cli
