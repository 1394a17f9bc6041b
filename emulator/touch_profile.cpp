#include "touch_profile.h"

#include <cstdint>
#include <string>

namespace kx7::emu {

namespace {

// The signal records the host reads as the family's "FR" stream: the Cedar boards (the ones with
// a Block1 checksum) send four channels, the Hazel3 and OEM boards the 10-bit corner record, the
// serial Larch none at all, every other family the I/Q corner record.
SignalFormat SignalsOf(const FamilyProfile& family) {
  if (family.block1Checksum) return SignalFormat::kFourChannel;
  switch (family.kind) {
    case FamilyKind::kHazel3Linden:
    case FamilyKind::kOemLinden:
    case FamilyKind::kHazel3Poplar:
    case FamilyKind::kOemPoplar:
      return SignalFormat::kCorner10;
    case FamilyKind::kLarch:
    case FamilyKind::kLarchMultitouch:
      return SignalFormat::kNone;
    default:
      return SignalFormat::kCornerIq;
  }
}

// A different noise and stroke per family, so two emulated controllers side by side do not move
// in step.
std::uint32_t SeedOf(const std::string& name) {
  std::uint32_t hash = 2166136261u;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash % 100000u + 1u;
}

}  // namespace

TouchReportConfig TouchConfigFor(const FamilyProfile& family, bool ownTouches) {
  TouchReportConfig config;
  const bool multiContact = (family.features & 0x1000) != 0 || family.kind == FamilyKind::kLarchMultitouch;
  config.contacts = multiContact ? 2 : 1;
  switch (family.kind) {
    case FamilyKind::kCedarGen3:
    case FamilyKind::kCedarGen4:
    case FamilyKind::kBirch:
    case FamilyKind::kBirchRom:
    case FamilyKind::kBirchPen:
    case FamilyKind::kAspen4:
      config.supportsZ = true;
      break;
    default:
      break;
  }
  config.supportsPen = family.kind == FamilyKind::kBirchPen || family.kind == FamilyKind::kAspen4;
  config.signals = SignalsOf(family);
  config.seed = SeedOf(family.name);
  config.autoStroke = ownTouches;
  return config;
}

}  // namespace kx7::emu
