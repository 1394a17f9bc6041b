#include "firmware/image_buffer.h"

#include <cstdio>
#include <string>

namespace kx7::firmware {

std::uint16_t ImageSum(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  for (const std::uint8_t byte : bytes) sum += byte;
  return static_cast<std::uint16_t>(sum);
}

std::uint16_t FilledImageSum(std::span<const std::uint8_t> bytes, std::size_t size, std::uint8_t fill) {
  std::uint32_t sum = ImageSum(bytes);
  if (size > bytes.size()) sum += static_cast<std::uint32_t>((size - bytes.size()) * fill);
  return static_cast<std::uint16_t>(sum);
}

std::string SumName(const char* format, std::uint16_t sum) {
  char name[32];
  std::snprintf(name, sizeof name, format, static_cast<unsigned>(sum));
  return name;
}

}  // namespace kx7::firmware
