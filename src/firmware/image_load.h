// What a reader made of a file: its format, whether it loaded, what it stored and where, and why it
// did not load. Every reader of images and files returns one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kx7::firmware {

enum class ImageFormat { kUnknown, kIntelHex, kSRecord, kBinary };

enum class ImageError {
  kNone,
  kOpen,      // the file cannot be opened
  kFormat,    // the first character is neither ':' nor 'S', or the file is empty
  kChecksum,  // a record's sum is wrong
  kSize,      // the data count is not the one expected, or the file is too large
  kAddress,   // a record address outside the image (strict reader)
  kRange,     // a data byte outside the buffer
  kRead,      // a character that is no hexadecimal pair, or the end of the file inside a record
  kEmpty,     // no data at all
};

struct ImageLoad {
  ImageFormat format = ImageFormat::kUnknown;
  ImageError error = ImageError::kNone;
  // The program's text for the error ("File Checksum Error"), or nullptr where it has none.
  const char* message = nullptr;
  // Data bytes stored, a byte stored twice counted twice (a raw file: its size).
  std::size_t count = 0;
  // The lowest and highest buffer index written.
  std::optional<std::size_t> start;
  std::optional<std::size_t> end;
  // The sum of the bytes stored, each store counted.
  std::uint32_t dataSum = 0;

  bool Loaded() const { return error == ImageError::kNone; }
  // What a loader sends: bytes 0 to the highest index written.
  std::size_t Length() const { return end ? *end + 1 : 0; }

  void Stored(std::size_t index, std::uint8_t byte) {
    ++count;
    dataSum += byte;
    if (!start || index < *start) start = index;
    if (!end || index > *end) end = index;
  }
  void Fail(ImageError why, const char* text) {
    error = why;
    message = text;
  }
};

// "intel-hex", "s-record", "binary", or nullptr for an unknown format.
const char* FormatName(ImageFormat format);
// "open", "format", "checksum", "size", "address", "range", "read", "empty"; "" for none.
const char* ErrorName(ImageError error);

}  // namespace kx7::firmware
