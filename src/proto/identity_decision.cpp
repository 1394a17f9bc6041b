#include "proto/identity_decision.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "controller/controller_types.h"


namespace kx7 {
namespace {

constexpr std::size_t kOiLength = 8;       // SOH, six characters, CR
constexpr std::size_t kUvUtLength = 10;    // SOH, eight characters, CR
constexpr std::size_t kOsLength = 4;       // SOH, two characters, CR
constexpr std::size_t kMinusOiLength = 8;  // as OI
constexpr std::size_t kGfShortest = 3;
constexpr std::size_t kZeroedLength = 20;  // what the frame keeps for a reply that did not come right

ReplyBytes KeepIf(const ReplyBytes& reply, bool wellFormed) {
  return wellFormed ? reply : ReplyBytes(kZeroedLength, 0);
}

// Byte k of a reply; a reply too short for it reads as 0 there, like the zeroed ones.
std::uint8_t At(const ReplyBytes& reply, std::size_t k) { return k < reply.size() ? reply[k] : 0; }

// Whether the characters from position `first` on are `text`.
bool HasAt(const ReplyBytes& reply, std::size_t first, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (At(reply, first + i) != static_cast<std::uint8_t>(text[i])) return false;
  return true;
}

// Whether any of characters 3 to 6 (the model letters of UV and UT) is `letter`.
bool ModelLetter(const ReplyBytes& reply, char letter) {
  for (std::size_t k = 3; k <= 6; ++k)
    if (At(reply, k) == static_cast<std::uint8_t>(letter)) return true;
  return false;
}

// A rule that matches starts the decision afresh: what an earlier rule said no longer holds.
void Take(IdentityDecision& d, std::uint32_t type, std::uint32_t features, const char* text) {
  d.type = type;
  d.features = features;
  d.typeText = text;
  d.errorWords.clear();
  d.penModeAuto = false;
  d.cedar = CedarGeneration::kNone;
  d.optionParameter.clear();
}

// Linden and Poplar boards: the digits of the OI reply or an "O" in the UV model letters make
// the board an OEM one; the model letters of `letters` (UV for Linden, UT for Poplar) add the
// sensor words.
void TakeBoard(IdentityDecision& d, const IdentityReplies& r, const char* oemText, const char* ownText,
               const std::array<std::string_view, 3>& oemDigits, const ReplyBytes& letters) {
  bool oem = ModelLetter(r.uv, 'O');
  for (std::string_view digits : oemDigits) oem = oem || HasAt(r.oi, 2, digits);
  if (oem)
    Take(d, type::kHawthorn, 0, oemText);
  else
    Take(d, type::kHazel3, 0, ownText);
  if (ModelLetter(letters, 'P')) {
    d.typeText += "Quince ";
    d.features |= feature::kQuince;
  }
  if (ModelLetter(letters, 'A')) {
    d.typeText += "APAC ";
    d.features |= feature::kApac;
  }
  if (ModelLetter(letters, 'R')) {
    d.typeText += "RES ";
    d.features |= feature::kResistive;
  }
}

void TakeCedar(IdentityDecision& d, std::uint32_t type, const char* text, CedarGeneration generation,
               const char* optionCommand) {
  Take(d, type, 0, text);
  d.cedar = generation;
  d.optionParameter = optionCommand;
}

}  // namespace

IdentityReplies StoredIdentityReplies(const IdentityReplies& received) {
  IdentityReplies stored;
  stored.oi = KeepIf(received.oi, received.oi.size() == kOiLength);
  stored.uv = KeepIf(received.uv, received.uv.size() == kUvUtLength);
  stored.ut = KeepIf(received.ut, received.ut.size() == kUvUtLength);
  stored.os = received.os;
  stored.nm = received.nm;
  stored.minusOi = received.minusOi;
  stored.gf = KeepIf(received.gf, received.gf.size() >= kGfShortest);
  return stored;
}

IdentityDecision DecideIdentity(const IdentityReplies& given) {
  // Keeping is idempotent, so replies that were already stored come through unchanged and raw
  // ones are judged as the frame would keep them.
  const IdentityReplies r = StoredIdentityReplies(given);
  IdentityDecision d;

  if (r.uv.size() == kUvUtLength) d.statusPair = std::string{static_cast<char>(r.uv[7]), static_cast<char>(r.uv[8])};
  if (r.ut.size() == kUvUtLength) d.statusPair = std::string{static_cast<char>(r.ut[7]), static_cast<char>(r.ut[8])};

  // The Birch loader: its OS reply carries the flags of what it found wrong.
  if (r.ut.size() == kUvUtLength && HasAt(r.ut, 1, "MF")) {
    Take(d, type::kBirchRom, feature::kBirchFamily, "Birch2 ROM ");
    if (At(r.oi, 6) == '9') {
      d.features |= feature::kRevC;
      d.typeText += "REVC ";
    }
    if (r.os.size() == kOsLength) {
      if (r.os[2] & 0x02) d.errorWords += "EEPROM ";
      if (r.os[1] & 0x01) d.errorWords += "DATA ";
      if (r.os[1] & 0x02) d.errorWords += "PROG ";
      if (r.os[1] & 0x08) d.errorWords += "FORMAT ";
    }
  }

  const bool birch = (At(r.oi, 1) == 'A' && (At(r.oi, 2) == '0' || At(r.oi, 2) == '3')) || HasAt(r.nm, 1, "BZ");
  if (birch) {
    if (At(r.oi, 1) == 'P') {
      Take(d, type::kBirchPen, feature::kBirchFamily | feature::kPen, "Birch2 Alder (Aspen5)");
      d.penModeAuto = true;
    } else {
      Take(d, type::kBirch, feature::kBirchFamily, "Birch2 ");
      if (r.minusOi.size() == kMinusOiLength && HasAt(r.minusOi, 1, "HA")) {
        d.typeText += "HAP ";
        d.features |= feature::kHaptic | feature::kHaptic2;
      }
    }
  } else if (At(r.oi, 1) == 'P') {
    Take(d, type::kAspen4, feature::kPen, "Aspen4 ");
    d.penModeAuto = true;
  }

  if (HasAt(r.oi, 1, "AD")) Take(d, type::kLarch, 0, "MULTITOUCH");
  if (HasAt(r.oi, 1, "DF")) Take(d, type::kLarch, feature::kLarchMultitouch, "MULTITOUCH");

  if (HasAt(r.oi, 1, "OS")) {
    if (At(r.ut, 1) == 'B')
      TakeCedar(d, type::kRowanGen3, "Cedar GEN3", CedarGeneration::kGen3, "Q354");
    else
      TakeCedar(d, type::kRowanGen2, "Cedar GEN2", CedarGeneration::kGen2, "");
  }
  if (HasAt(r.oi, 1, "WZ")) TakeCedar(d, type::kCedarGen4, "Cedar GEN4", CedarGeneration::kGen4, "Q303");

  if (At(r.oi, 1) == 'A' && HasAt(r.uv, 1, "QM"))
    TakeBoard(d, r, "OEM Linden ", "Hazel3 Linden ", {"30630", "30660", "30670"}, r.uv);
  if (At(r.oi, 1) == 'Q' && HasAt(r.ut, 1, "QM"))
    TakeBoard(d, r, "OEM Poplar ", "Hazel3 Poplar ", {"10630", "10660", "10670"}, r.ut);

  if (HasAt(r.oi, 1, "KX") && HasAt(r.ut, 1, "KXR")) Take(d, type::kJuniper, feature::kResistive, "RES ");

  // The resistive boards name their wire count after "YZR"; a count other than 4 or 5 is no board
  // this program knows, and the rule does not match.
  if (HasAt(r.oi, 1, "YZ") && HasAt(r.ut, 1, "YZR")) {
    if (At(r.ut, 4) == '4')
      Take(d, type::kResistive4Wire, feature::kResistive | feature::kFourWire, "RES ");
    else if (At(r.ut, 4) == '5')
      Take(d, type::kResistive5Wire, feature::kResistive, "RES ");
  }

  if (HasAt(r.oi, 1, "A305") && r.os.size() == kOsLength && At(r.ut, 1) == 0 && At(r.uv, 1) == 0)
    Take(d, type::kHazel2d, 0, "");

  return d;
}

std::uint32_t StatusPairValue(const std::string& pair) {
  if (pair.size() != 2) return 0;
  std::uint32_t value = 0;
  for (char c : pair) {
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9')
      digit = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    else
      return 0;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace kx7
