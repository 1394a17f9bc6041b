// An image in memory: a byte array of fixed size, filled with 0xFF before any file or controller
// data goes into it, and the 16-bit sum the dialogs show for images and files.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "firmware/firmware_constants.h"

namespace kx7::firmware {

class ImageBuffer {
 public:
  explicit ImageBuffer(std::size_t size, std::uint8_t fill = kFill) : fill_(fill), bytes_(size, fill) {}

  // Every byte back to the fill, as before each load.
  void Refill() { std::fill(bytes_.begin(), bytes_.end(), fill_); }

  std::size_t Size() const { return bytes_.size(); }
  std::uint8_t Fill() const { return fill_; }
  std::uint8_t* Data() { return bytes_.data(); }
  const std::uint8_t* Data() const { return bytes_.data(); }
  std::uint8_t& operator[](std::size_t index) { return bytes_[index]; }
  std::uint8_t operator[](std::size_t index) const { return bytes_[index]; }
  // The first `length` bytes (at most the whole buffer).
  std::span<const std::uint8_t> First(std::size_t length) const {
    return std::span<const std::uint8_t>(bytes_).first(length < bytes_.size() ? length : bytes_.size());
  }
  std::span<const std::uint8_t> All() const { return bytes_; }

 private:
  std::uint8_t fill_;
  std::vector<std::uint8_t> bytes_;
};

// The sum of the bytes modulo 65,536 (`ImageSum`), shown as four upper-case hexadecimal digits.
std::uint16_t ImageSum(std::span<const std::uint8_t> bytes);

// The sum of `size` bytes: `bytes`, then the fill byte up to `size` (a file extended with 0xFF).
std::uint16_t FilledImageSum(std::span<const std::uint8_t> bytes, std::size_t size, std::uint8_t fill = kFill);

// "%04X" of a sum, the name a saved image takes from its sum ("%04X.hex", "%04X.BIN").
std::string SumName(const char* format, std::uint16_t sum);

}  // namespace kx7::firmware
