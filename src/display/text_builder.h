// A piece of text built on the stack: the decoders format every report here and hand the sink a
// view of it, so nothing is allocated per byte or per report. The number forms are the ones the
// decoders print: zero-padded decimal ("%04d", "%010d", a minus sign counted in the width),
// decimal with a plus for non-negative values ("+%d"), and upper-case zero-padded hexadecimal
// ("%03X"). A piece never grows past its capacity; what would not fit is dropped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kx7 {

class TextBuilder {
 public:
  static constexpr std::size_t kCapacity = 192;

  TextBuilder& Char(char c) {
    if (length_ < kCapacity) buffer_[length_++] = c;
    return *this;
  }

  TextBuilder& Text(std::string_view text) {
    for (char c : text) Char(c);
    return *this;
  }

  // "%0<width>d" (width 0 or 1: "%d").
  TextBuilder& Decimal(std::int64_t value, int width = 0) {
    const bool negative = value < 0;
    // The magnitude in unsigned arithmetic: the most negative value has no positive twin.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char digits[20];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (negative) Char('-');
    for (int pad = width - count - (negative ? 1 : 0); pad > 0; --pad) Char('0');
    while (count > 0) Char(digits[--count]);
    return *this;
  }

  // "+%d" for values from 0 up, "%d" below.
  TextBuilder& SignedDecimal(std::int64_t value) {
    if (value >= 0) Char('+');
    return Decimal(value);
  }

  // "%0<width>X".
  TextBuilder& Hex(std::uint32_t value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char digits[8];
    int count = 0;
    do {
      digits[count++] = kDigits[value & 0xF];
      value >>= 4;
    } while (value != 0);
    for (int pad = width - count; pad > 0; --pad) Char('0');
    while (count > 0) Char(digits[--count]);
    return *this;
  }

  std::string_view View() const { return std::string_view(buffer_.data(), length_); }
  std::size_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  void Clear() { length_ = 0; }

 private:
  std::array<char, kCapacity> buffer_;
  std::size_t length_ = 0;
};

}  // namespace kx7
