#include "proto/error_words.h"

#include <initializer_list>

#include "controller/controller_types.h"


namespace kx7 {
namespace {

struct Word {
  std::uint32_t bit;
  const char* text;
};

std::string Collect(std::uint32_t status, std::initializer_list<Word> words) {
  std::string line;
  for (const Word& w : words)
    if (status & w.bit) line += w.text;
  return line;
}

}  // namespace

std::string ErrorWords(std::uint32_t controllerType, std::uint32_t controllerFeatures, std::uint32_t status) {
  switch (controllerType) {
    case type::kBirchUsbRom:
      // The loader's flags: EEPROM in the high byte, the others in the low byte.
      return Collect(status, {{0x200, "EEPROM "}, {0x1, "DATA "}, {0x2, "PROG "}, {0x8, "FORMAT "}});
    case type::kRowanGen2:
    case type::kRowanUsbGen2:
      return Collect(
          status,
          {{0x2, "ROM "}, {0x10, "FROM_DSP_OV "}, {0x20, "TO_DSP_OV "}, {0x40, "FROM_PC_OV "}, {0x80, "TO_PC_OV "}});
    case type::kRowanGen3:
    case type::kRowanUsbGen3:
    case type::kRowanGen4:
      return Collect(status, {{0x8, "QPARAM "}});
    default:
      break;
  }
  if (controllerFeatures & feature::kBirchFamily)
    return Collect(status, {{0x1, "RAM "},
                            {0x2, "ROM "},
                            {0x4, "STRAY "},
                            {0x8, "BLK1 "},
                            {0x10, "PGAIN "},
                            {0x40, "BLK4 "},
                            {0x80, "BLK2 "},
                            {0x100, "BLK3 "},
                            {0x200, "FORMAT "},
                            {0x400, "BLK5 "},
                            {0x800, "BLK6 "},
                            {0x1000, "BLK7 "},
                            {0x2000, "BLK8 "},
                            {0x4000, "SENRES "},
                            {0x8000, "BP2CNR "},
                            {0x10000, "OFFSET "},
                            {0x20000, "FIXCAL"}});
  // Bit 0x20 is BLK7 only on the Spruce and Sequoia models; elsewhere it has no word.
  const bool hasBlock7 = (controllerFeatures & (feature::kLarchModelSpruce | feature::kLarchModelSequoia)) != 0;
  return Collect(status, {{0x1, "RAM "},
                          {0x2, "ROM "},
                          {0x4, "PWM "},
                          {0x8, "BLK1 "},
                          {0x10, "HDW "},
                          {hasBlock7 ? 0x20u : 0u, "BLK7 "},
                          {0x40, "BLK4 "},
                          {0x80, "BLK2 "}});
}

}  // namespace kx7
