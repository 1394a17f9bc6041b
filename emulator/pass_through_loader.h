// The boot loader of the second processor, reached with pass-through target "L". It greets with
// "." and answers the one-byte handshakes ('F' with 0xC6, 'R' with 'A', 'S' with 'B', 'T' with
// 'C'). After 'F' it takes one image: an 8-byte header (address and length, 32-bit
// little-endian), the bytes, and the 16-bit sum of header and bytes (low byte first); it answers
// "Done..." SOH "0" CR when the sum matches and the image could be stored, else "Fail..." SOH
// "1" CR.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kx7::emu {

class PassThroughLoader {
 public:
  // Stores an image; false when the address range is not the loader's to write.
  using StoreImage = std::function<bool(std::uint32_t address, const std::vector<std::uint8_t>& bytes)>;

  PassThroughLoader(StoreImage store, std::uint32_t maxImageBytes);

  std::string Begin();  // what the loader sends when the pass-through opens
  std::string OnByte(std::uint8_t byte);

  static constexpr std::uint32_t kParameterArea = 0x0003FF00;

 private:
  enum class Step { kIdle, kHeader, kData, kSum };
  StoreImage store_;
  std::uint32_t maxImageBytes_;
  Step step_ = Step::kIdle;
  std::vector<std::uint8_t> header_;
  std::vector<std::uint8_t> data_;
  std::uint32_t length_ = 0;
  std::uint16_t sum_ = 0;
  std::vector<std::uint8_t> sumBytes_;
};

}  // namespace kx7::emu
