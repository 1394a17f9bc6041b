// How an image file is loaded for each use: the reader, the buffer, and the reader's parameters.
//
// | profile      | reader                                                      |
// | hex          | Intel hex / S-records, 65,536-byte buffer, offset 0          |
// | cedar-gen2   | the same, offset -0x8000, word addressing                   |
// | birch2       | the strict 32 K reader, then the image summary               |
// | bin          | raw, at most 1,048,576 bytes ("Firmware Loader", UEFI)       |
// | cedar-gen3   | raw, at most 131,072 bytes (the Cedar Gen3 code loader)      |
// | cedar-eeprom | raw, at most 262,144 bytes, with the sum and fill rule        |
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/birch2_image_summary.h"
#include "firmware/image_buffer.h"
#include "firmware/image_load.h"
#include "firmware/raw_image.h"

namespace kx7::firmware {

enum class ImageProfile { kHex, kCedarGen2, kBirch2, kBin, kCedarGen3, kCedarEeprom };

std::optional<ImageProfile> ProfileByName(std::string_view name);
const char* ProfileName(ImageProfile profile);
// "bin" for a name ending in ".bin" (any case), "hex" otherwise.
ImageProfile DefaultProfileFor(const std::string& path);
bool IsRawProfile(ImageProfile profile);

// The general reader takes all of these; a raw reader the size and the expected count; the strict
// Birch2 reader none (it reads 32,768 bytes by its own rules).
struct ReaderParameters {
  std::size_t size = 0;               // the buffer; for a raw profile the largest file
  std::int64_t addressOffset = 0;
  bool wordAddressing = false;
  std::size_t expectedCount = 0;      // 0: any count
};
ReaderParameters DefaultParameters(ImageProfile profile);

// The most bytes of hexadecimal text a file may have: far more than the largest image written as
// text, so that no valid file is refused and no huge file fills memory.
inline constexpr std::size_t kMostHexTextBytes = 64u << 20;

struct LoadedImage {
  explicit LoadedImage(ImageProfile p, std::size_t size) : profile(p), image(size) {}
  ImageProfile profile;
  ImageLoad load;
  ImageBuffer image;
  std::size_t length = 0;  // the bytes a loader sends
  Birch2Summary summary;   // birch2
  std::string display;     // bin: size and sum; cedar-eeprom: the information text or question
  CedarFileSum cedar;      // cedar-eeprom

  bool Loaded() const { return load.Loaded(); }
  std::span<const std::uint8_t> Bytes() const { return image.First(length); }
};

// Loads a file's contents (`tooLarge`: there was more than the reader took).
LoadedImage LoadImage(std::string_view contents, bool tooLarge, ImageProfile profile, const ReaderParameters& parameters);
// Opens and loads a file; a file that cannot be opened is error kOpen, "Failed to open file!".
LoadedImage LoadImageFile(const std::string& path, ImageProfile profile, const ReaderParameters& parameters);

}  // namespace kx7::firmware
