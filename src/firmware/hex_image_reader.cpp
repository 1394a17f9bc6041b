#include "firmware/hex_image_reader.h"

#include "firmware/hex_records.h"

namespace kx7::firmware {

ImageLoad ReadHexImageText(std::string_view text, const HexReadOptions& options, ImageBuffer& image) {
  image.Refill();
  ImageLoad load;
  // The first character tells the format.
  if (text.empty() || (text.front() != ':' && text.front() != 'S')) {
    load.Fail(ImageError::kFormat, text::kUnknownFileFormat);
    return load;
  }
  const RecordRules rules{options.addressOffset, options.wordAddressing, std::nullopt};
  if (text.front() == ':') {
    load.format = ImageFormat::kIntelHex;
    ReadIntelHexRecords(text, rules, image, load);
  } else {
    load.format = ImageFormat::kSRecord;
    ReadSRecords(text, rules, image, load);
  }
  if (!load.Loaded()) return load;
  if (options.expectedCount != 0 && load.count != options.expectedCount)
    load.Fail(ImageError::kSize, text::kFileSizeError);
  else if (load.count == 0)
    load.Fail(ImageError::kEmpty, nullptr);
  return load;
}

const char* FormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kIntelHex:
      return "intel-hex";
    case ImageFormat::kSRecord:
      return "s-record";
    case ImageFormat::kBinary:
      return "binary";
    case ImageFormat::kUnknown:
      break;
  }
  return nullptr;
}

const char* ErrorName(ImageError error) {
  switch (error) {
    case ImageError::kNone:
      return "";
    case ImageError::kOpen:
      return "open";
    case ImageError::kFormat:
      return "format";
    case ImageError::kChecksum:
      return "checksum";
    case ImageError::kSize:
      return "size";
    case ImageError::kAddress:
      return "address";
    case ImageError::kRange:
      return "range";
    case ImageError::kRead:
      return "read";
    case ImageError::kEmpty:
      return "empty";
  }
  return "";
}

}  // namespace kx7::firmware
