// Identity replies as any controller (or line noise) might send them: the seven replies, split by
// 0xFF bytes in the order OI, UV, UT, OS, NM, -OI, GF. Keeping and deciding must never read out of
// bounds, and the decision must always be one the identifier can act on.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "proto/error_words.h"
#include "proto/identity_decision.h"

namespace {

bool Decidable(std::uint32_t t) {
  using namespace kx7::type;
  switch (t) {
    case kHazel3:
    case kGeneric:
    case kBirchRom:
    case kJuniper:
    case kHawthorn:
    case kBirch:
    case kHazel2d:
    case kAspen4:
    case kBirchPen:
    case kResistive4Wire:
    case kResistive5Wire:
    case kRowanGen2:
    case kRowanGen3:
    case kLarch:
    case kCedarGen4:
      return true;
    default:
      return false;
  }
}

bool SameReplies(const kx7::IdentityReplies& a, const kx7::IdentityReplies& b) {
  return a.oi == b.oi && a.uv == b.uv && a.ut == b.ut && a.os == b.os && a.nm == b.nm && a.minusOi == b.minusOi &&
         a.gf == b.gf;
}

// Every word the Errors line can hold, each with its blank (FIXCAL without).
bool KnownWords(const std::string& line) {
  static const char* const kWords[] = {
      "EEPROM", "DATA", "PROG",  "FORMAT", "ROM",    "FROM_DSP_OV", "TO_DSP_OV", "FROM_PC_OV", "TO_PC_OV",
      "QPARAM", "RAM",  "STRAY", "BLK1",   "PGAIN",  "BLK4",        "BLK2",      "BLK3",       "BLK5",
      "BLK6",   "BLK7", "BLK8",  "SENRES", "BP2CNR", "OFFSET",      "PWM",       "HDW",        "FIXCAL"};
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t blank = line.find(' ', at);
    const std::string word = line.substr(at, blank == std::string::npos ? std::string::npos : blank - at);
    if (blank == std::string::npos && word != "FIXCAL") return false;
    bool known = false;
    for (const char* w : kWords) known = known || word == w;
    if (!known) return false;
    if (blank == std::string::npos) break;
    at = blank + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kx7::IdentityReplies received;
  kx7::ReplyBytes* const parts[] = {&received.oi, &received.uv,      &received.ut, &received.os,
                                    &received.nm, &received.minusOi, &received.gf};
  std::size_t part = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF) {
      if (++part == std::size(parts)) break;
      continue;
    }
    parts[part]->push_back(data[i]);
  }

  const kx7::IdentityReplies stored = kx7::StoredIdentityReplies(received);
  if (stored.oi.size() != 8 && stored.oi != kx7::ReplyBytes(20, 0)) __builtin_trap();
  if (stored.uv.size() != 10 && stored.uv != kx7::ReplyBytes(20, 0)) __builtin_trap();
  if (stored.ut.size() != 10 && stored.ut != kx7::ReplyBytes(20, 0)) __builtin_trap();
  if (stored.gf.size() < 3) __builtin_trap();
  if (!SameReplies(kx7::StoredIdentityReplies(stored), stored)) __builtin_trap();

  const kx7::IdentityDecision d = kx7::DecideIdentity(stored);
  if (!Decidable(d.type)) __builtin_trap();
  if (d.type == kx7::type::kGeneric && (d.features != 0 || !d.typeText.empty())) __builtin_trap();
  if (d.penModeAuto != (d.type == kx7::type::kAspen4 || d.type == kx7::type::kBirchPen)) __builtin_trap();
  if (!d.errorWords.empty() && d.type != kx7::type::kBirchRom) __builtin_trap();
  if (!KnownWords(d.errorWords)) __builtin_trap();
  switch (d.cedar) {
    case kx7::CedarGeneration::kNone:
      if (kx7::IsRowanCedar(d.type) || !d.optionParameter.empty()) __builtin_trap();
      break;
    case kx7::CedarGeneration::kGen2:
      if (d.type != kx7::type::kRowanGen2 || !d.optionParameter.empty()) __builtin_trap();
      break;
    case kx7::CedarGeneration::kGen3:
      if (d.type != kx7::type::kRowanGen3 || d.optionParameter != "Q354") __builtin_trap();
      break;
    case kx7::CedarGeneration::kGen4:
      if (d.type != kx7::type::kCedarGen4 || d.optionParameter != "Q303") __builtin_trap();
      break;
  }
  // Raw replies are judged as the frame keeps them.
  const kx7::IdentityDecision raw = kx7::DecideIdentity(received);
  if (raw.type != d.type || raw.features != d.features || raw.typeText != d.typeText ||
      raw.statusPair != d.statusPair || raw.errorWords != d.errorWords)
    __builtin_trap();

  if (d.statusPair.size() != 2) __builtin_trap();
  const std::uint32_t status = kx7::StatusPairValue(d.statusPair);
  if (status > 0xFF) __builtin_trap();
  if (!KnownWords(kx7::ErrorWords(d.type, d.features, status))) __builtin_trap();
  if (!kx7::ErrorWords(d.type, d.features, 0).empty()) __builtin_trap();

  // Any type, features and status the HID side may hand over, from the first bytes of the input.
  if (size >= 12) {
    auto word = [&](std::size_t at) {
      return static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
             static_cast<std::uint32_t>(data[at + 2]) << 16 | static_cast<std::uint32_t>(data[at + 3]) << 24;
    };
    const std::uint32_t anyType = kx7::type::kHazel3 + word(0) % 40;
    if (!KnownWords(kx7::ErrorWords(anyType, word(4), word(8)))) __builtin_trap();
  }
  return 0;
}
