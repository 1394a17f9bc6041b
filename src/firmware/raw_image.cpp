#include "firmware/raw_image.h"

#include <cstdio>

namespace kx7::firmware {

ImageLoad ReadRawImage(std::string_view bytes, ImageBuffer& image, const char* tooLargeText, bool emptyRefused) {
  image.Refill();
  ImageLoad load;
  load.format = ImageFormat::kBinary;
  if (bytes.size() > image.Size()) {
    load.Fail(ImageError::kSize, tooLargeText);
    return load;
  }
  if (bytes.empty()) {
    if (emptyRefused) load.Fail(ImageError::kEmpty, nullptr);
    return load;
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) image[i] = static_cast<std::uint8_t>(bytes[i]);
  load.count = bytes.size();
  load.start = 0;
  load.end = bytes.size() - 1;
  load.dataSum = ImageSum(image.First(bytes.size()));
  return load;
}

std::string RawImageDisplay(std::size_t size, std::uint16_t sum) {
  char text[64];
  std::snprintf(text, sizeof text, text::kRawImageDisplay, static_cast<unsigned>(size), static_cast<unsigned>(sum));
  return text;
}

CedarFileSum SumCedarEepromFile(std::span<const std::uint8_t> file) {
  CedarFileSum result;
  result.sum = ImageSum(file);
  result.filledSum = FilledImageSum(file, kCedarFileBytes);
  result.fillOffered = file.size() < kCedarFileBytes;
  char text[256];
  if (result.fillOffered) {
    std::snprintf(text, sizeof text, text::kCedarFillQuestion, static_cast<int>(file.size()),
                  static_cast<unsigned>(result.filledSum));
  } else {
    std::snprintf(text, sizeof text, text::kCedarFileSum, static_cast<int>(file.size()), static_cast<unsigned>(result.sum));
  }
  result.display = text;
  return result;
}

}  // namespace kx7::firmware
