// The record loops the hex readers share: Intel hex records and S-records from a file's text into
// an image, each data byte stored through the buffer's bounds.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "firmware/image_buffer.h"
#include "firmware/image_load.h"

namespace kx7::firmware {

struct RecordRules {
  std::int64_t addressOffset = 0;
  bool wordAddressing = false;
  // Every record's address (of any type) at most this, else "File Address Error".
  std::optional<std::uint32_t> lastAddress;
};

// Reads every Intel hex record of `text` (each from a ':' on) into `image`; on a failure `load`
// says why and reading stops.
void ReadIntelHexRecords(std::string_view text, const RecordRules& rules, ImageBuffer& image, ImageLoad& load);

// Reads the S1 records of `text` up to "S9" into `image`, checking each record's sum.
void ReadSRecords(std::string_view text, const RecordRules& rules, ImageBuffer& image, ImageLoad& load);

}  // namespace kx7::firmware
