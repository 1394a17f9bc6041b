// What the "Birch2 EEPROM Image" dialog says about a 32,768-byte image: its sum and firmware
// identity, the interface it was built for (USB, or serial with the link settings of Block1 and
// Block6), the screen type of Block7, the ASIC it targets, and whether it is blank.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kx7::firmware {

// The ASIC of the connected controller, read from its memory.
enum class ActualAsic { kNotRead, kRevB, kRevC, kUnknown };

struct Birch2Summary {
  std::string text;       // the "Image File" box
  char interface = 0;     // 'S' serial, 'U' USB, 0 when the image has no firmware identity
  char target = '?';      // 'B' REVB, 'C' REVC, '?' unknown
};

// `actual` adds the "Actual ASIC" line (not when kNotRead). Bytes past the image read as 0xFF.
Birch2Summary SummarizeBirch2Image(std::span<const std::uint8_t> image, ActualAsic actual = ActualAsic::kNotRead);

// A USB image needs a USB link, a serial image a serial link, and the image's target must be the
// controller's ASIC; an image without a firmware identity, or a controller whose ASIC could not
// be read, fits nothing. Otherwise the dialog shows "File Not Compatible?" and does not send.
bool Birch2ImageFits(const Birch2Summary& summary, bool usbLink, ActualAsic actual);

}  // namespace kx7::firmware
