#include "params/default_param_file.h"

#include <algorithm>
#include <cstdio>

#include "params/params_constants.h"

namespace kx7 {

namespace {

constexpr std::uint16_t kCrcPolynomial = 0x1021;
// Length field, header word, name length, the four header words and the CRC.
constexpr std::size_t kFixedBytes = 16;

std::uint16_t Word(const std::uint8_t* bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

}  // namespace

std::uint16_t ParamFileCrc(const std::uint8_t* bytes, std::size_t length) {
  if (length < 3) return 0;
  std::uint16_t crc = 0;
  for (std::size_t at = 0; at + 2 <= length - 2; at += 2) {
    const std::uint16_t word = Word(bytes, at);
    for (int bit = 0; bit < 16; ++bit) {
      const bool data = ((word >> bit) & 1u) != 0;
      const bool top = (crc & 0x8000u) != 0;
      crc = static_cast<std::uint16_t>(crc << 1);
      if (top != data) crc ^= kCrcPolynomial;
    }
  }
  return crc;
}

std::uint16_t ParamFileXor(const std::uint8_t* bytes, std::size_t length) {
  std::uint16_t result = 0;
  for (std::size_t at = 4; at + 2 <= length; at += 2) result ^= Word(bytes, at);
  return result;
}

bool DefaultParamFile::LengthWarning() const {
  return std::find(warnings.begin(), warnings.end(), text::kFileLengthError) != warnings.end();
}

std::vector<std::uint8_t> DefaultParamFile::SentBytes() const {
  if (!sendable || !length) return {};
  return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + *length);
}

DefaultParamFile ReadDefaultParamFile(const std::uint8_t* data, std::size_t count) {
  DefaultParamFile file;
  file.bytes.assign(data, data + std::min(count, kDefaultParamReadLimit));
  const std::uint8_t* bytes = file.bytes.data();
  const std::size_t size = file.bytes.size();
  if (size >= 2) file.length = Word(bytes, 0);
  if (size >= 4) file.header = Word(bytes, 2);
  if (size >= 6) file.nameLength = Word(bytes, 4);
  if (file.length && file.nameLength) {
    const std::size_t within = std::min<std::size_t>(*file.length, size);
    const std::size_t n = *file.nameLength;
    if (6 + n <= within)
      file.panelType = std::string(bytes + 6, bytes + 6 + std::min(n, kPanelTypeShown));
    if (14 + n <= within) {
      std::array<std::uint16_t, 4> words{};
      for (std::size_t i = 0; i < words.size(); ++i) words[i] = Word(bytes, 6 + n + 2 * i);
      file.headerWords = words;
    }
  }
  if (file.length) {
    const std::size_t length = *file.length;
    file.sendable = length >= kFixedBytes && length <= size && length % 2 == 0 && file.nameLength &&
                    *file.nameLength + kFixedBytes <= length;
    if (length != size || !file.sendable) file.warnings.push_back(text::kFileLengthError);
    if (file.sendable) {
      file.parameterWords = (length - *file.nameLength - kFixedBytes) / 2;
      file.crc = ParamFileCrc(bytes, length);
      file.storedCrc = Word(bytes, length - 2);
      file.xorWord = ParamFileXor(bytes, length);
      if (file.crc != file.storedCrc) {
        char text[64];
        std::snprintf(text, sizeof text, text::kCrcError, file.crc, file.storedCrc);
        file.warnings.push_back(text);
      }
    }
  } else {
    file.warnings.push_back(text::kFileLengthError);
  }
  return file;
}

}  // namespace kx7
