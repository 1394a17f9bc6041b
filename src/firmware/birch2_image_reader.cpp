#include "firmware/birch2_image_reader.h"

#include "firmware/hex_records.h"

namespace kx7::firmware {

ImageLoad ReadBirch2ImageText(std::string_view text, ImageBuffer& image) {
  image.Refill();
  ImageLoad load;
  if (text.empty() || text.front() != ':') {
    load.Fail(ImageError::kFormat, text::kUnknownFileFormat);
    return load;
  }
  load.format = ImageFormat::kIntelHex;
  ReadIntelHexRecords(text, RecordRules{0, false, kBirch2LastAddress}, image, load);
  if (load.Loaded() && load.count != kBirch2ImageBytes) load.Fail(ImageError::kSize, text::kFileSizeError);
  return load;
}

}  // namespace kx7::firmware
