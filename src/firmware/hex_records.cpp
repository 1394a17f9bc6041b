#include "firmware/hex_records.h"

#include <cstddef>

namespace kx7::firmware {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A reading position in the text.
class HexText {
 public:
  explicit HexText(std::string_view text) : text_(text) {}

  // Past the next `mark`; false when there is none.
  bool SkipPast(char mark) {
    const std::size_t found = text_.find(mark, at_);
    if (found == std::string_view::npos) {
      at_ = text_.size();
      return false;
    }
    at_ = found + 1;
    return true;
  }
  std::optional<char> Next() {
    if (at_ >= text_.size()) return std::nullopt;
    return text_[at_++];
  }
  // The next two characters as a hexadecimal byte; nothing when they are none or the text ends.
  std::optional<std::uint8_t> Pair() {
    if (text_.size() - at_ < 2) return std::nullopt;
    const int high = HexDigitValue(text_[at_]);
    const int low = HexDigitValue(text_[at_ + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    at_ += 2;
    return static_cast<std::uint8_t>(high << 4 | low);
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// The buffer index of a record's first data byte.
std::int64_t FirstIndex(std::uint32_t address, const RecordRules& rules) {
  const std::int64_t index = static_cast<std::int64_t>(address) + rules.addressOffset;
  return rules.wordAddressing ? index * 2 : index;
}

bool Store(ImageBuffer& image, ImageLoad& load, std::int64_t index, std::uint8_t byte) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= image.Size()) {
    load.Fail(ImageError::kRange, nullptr);
    return false;
  }
  image[static_cast<std::size_t>(index)] = byte;
  load.Stored(static_cast<std::size_t>(index), byte);
  return true;
}

}  // namespace

void ReadIntelHexRecords(std::string_view text, const RecordRules& rules, ImageBuffer& image, ImageLoad& load) {
  HexText reader(text);
  while (reader.SkipPast(':')) {
    const std::optional<std::uint8_t> count = reader.Pair();
    const std::optional<std::uint8_t> high = count ? reader.Pair() : std::nullopt;
    const std::optional<std::uint8_t> low = high ? reader.Pair() : std::nullopt;
    const std::optional<std::uint8_t> type = low ? reader.Pair() : std::nullopt;
    if (!type) return load.Fail(ImageError::kRead, nullptr);
    const std::uint32_t address = static_cast<std::uint32_t>(*high << 8 | *low);
    if (rules.lastAddress && address > *rules.lastAddress)
      return load.Fail(ImageError::kAddress, text::kFileAddressError);
    std::uint32_t sum = static_cast<std::uint32_t>(*count + *high + *low + *type);
    std::int64_t index = FirstIndex(address, rules);
    for (int i = 0; i < *count; ++i) {
      const std::optional<std::uint8_t> byte = reader.Pair();
      if (!byte) return load.Fail(ImageError::kRead, nullptr);
      sum += *byte;
      if (*type == 0 && !Store(image, load, index++, *byte)) return;
    }
    const std::optional<std::uint8_t> checksum = reader.Pair();
    if (!checksum) return load.Fail(ImageError::kRead, nullptr);
    if (((sum + *checksum) & 0xFF) != 0) return load.Fail(ImageError::kChecksum, text::kFileChecksumError);
  }
}

void ReadSRecords(std::string_view text, const RecordRules& rules, ImageBuffer& image, ImageLoad& load) {
  HexText reader(text);
  while (reader.SkipPast('S')) {
    const std::optional<char> kind = reader.Next();
    if (!kind) return load.Fail(ImageError::kRead, nullptr);
    if (*kind == '9') return;
    if (*kind != '1') continue;
    const std::optional<std::uint8_t> count = reader.Pair();
    const std::optional<std::uint8_t> high = count ? reader.Pair() : std::nullopt;
    const std::optional<std::uint8_t> low = high ? reader.Pair() : std::nullopt;
    // The count covers the address, the data and the sum.
    if (!low || *count < 3) return load.Fail(ImageError::kRead, nullptr);
    std::uint32_t sum = static_cast<std::uint32_t>(*count + *high + *low);
    std::int64_t index = FirstIndex(static_cast<std::uint32_t>(*high << 8 | *low), rules);
    for (int i = 0; i < *count - 3; ++i) {
      const std::optional<std::uint8_t> byte = reader.Pair();
      if (!byte) return load.Fail(ImageError::kRead, nullptr);
      sum += *byte;
      if (!Store(image, load, index++, *byte)) return;
    }
    const std::optional<std::uint8_t> checksum = reader.Pair();
    if (!checksum) return load.Fail(ImageError::kRead, nullptr);
    // The sum is the ones' complement of the count, address and data bytes.
    if (((sum + *checksum) & 0xFF) != 0xFF) return load.Fail(ImageError::kChecksum, text::kFileChecksumError);
  }
}

}  // namespace kx7::firmware
