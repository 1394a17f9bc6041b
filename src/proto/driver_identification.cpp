#include "proto/driver_identification.h"

#include <algorithm>
#include <cstdio>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "link/driver/driver_constants.h"
#include "proto/error_words.h"
#include "proto/identity_decision.h"
#include "proto/proto_constants.h"

namespace kx7 {

using namespace driver;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kPassThroughSettleMs = 200;
constexpr std::size_t kUvUtLength = 10;

std::uint16_t Word(const Bytes& bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0;
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t Dword(const Bytes& bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0;
  return static_cast<std::uint32_t>(Word(bytes, at)) | (static_cast<std::uint32_t>(Word(bytes, at + 2)) << 16);
}

std::uint8_t At(const Bytes& bytes, std::size_t at) { return at < bytes.size() ? bytes[at] : 0; }

// A type letter as the line shows it: what is not printable becomes a blank.
int Letter(std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F ? byte : ' '; }

std::string Format(const char* pattern, auto... values) {
  char buffer[128];
  const int n = std::snprintf(buffer, sizeof buffer, pattern, values...);
  if (n < 0) return {};
  return std::string(buffer, std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
}

// The eight characters of a UV or UT reply (SOH, eight characters, CR); empty otherwise.
std::string Inner8(const ReplyBytes& reply) {
  if (reply.size() != kUvUtLength || reply[0] != kSoh) return {};
  return std::string(reply.begin() + 1, reply.begin() + 9);
}

// The line as it was, with `more` after it.
std::string Joined(const std::string& line, const std::string& more) {
  return line.empty() ? more : line + "   " + more;
}

}  // namespace

DriverIdentification::DriverIdentification(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info,
                                           DriverLink& link)
    : frame_(frame), channel_(channel), info_(info), link_(link) {}

bool DriverIdentification::Identify() {
  const int linkKind = frame_.LinkKind;
  if (!IsUsbDriverLink(linkKind)) return false;
  info_.SetCloseButtonText("OK");
  twoTouch_ = false;
  std::string text;
  std::string errors;
  std::uint32_t type = frame_.ControllerType;
  // What the open found stays: a Birch USB controller is of the Birch family.
  std::uint32_t features = frame_.ControllerFeatures & feature::kBirchFamily;

  const DriverResult mversion = link_.Request(kGetMVersion, {}, kMVersionRecordSize);
  if (Cancelled()) return false;
  const DriverResult version = link_.Request(kGetVersion, {}, kVersionRecordSize);
  if (Cancelled()) return false;
  const bool haveMVersion = mversion.success && mversion.ByteCount() >= kMVersionCst + 2;
  const bool haveVersion = version.success && version.ByteCount() >= kVersionMaxParamWrite + 2;
  const Bytes& m = mversion.bytes;
  const Bytes& v = version.bytes;

  std::string oiLine;
  if (haveMVersion) {
    const std::uint8_t flags = m[kMVersionFlags];
    if (!IsBirchUsbType(type)) type = type::kBirchUsb;
    features |= feature::kBirchFamily;
    if (flags & kMFlagTwo) {
      text += "TWO ";
      twoTouch_ = true;
    }
    if (flags & kMFlagPro) text += "PRO ";
    if (flags & kMFlagEmu) {
      text += "EMU ";
      features |= feature::kDriverPassThrough;
      type = type::kBirchUsb;
    }
    if (flags & kMFlagCtii) text += "CTII ";
    if (Word(m, kMVersionRevision) == kRevisionB) {
      text += "REVB ";
    } else {
      text += "REVC ";
      features |= feature::kRevC;
    }
    oiLine =
        Format("Type: %c%c v%X.%02X CDE(%08X) CST(%04X)", Letter(m[kMVersionLetters]), Letter(m[kMVersionLetters + 1]),
               static_cast<unsigned>(m[kMVersionFirmware]), static_cast<unsigned>(m[kMVersionFirmware + 1]),
               static_cast<unsigned>(Dword(m, kMVersionCde)), static_cast<unsigned>(Word(m, kMVersionCst)));
  } else if (haveVersion) {
    // Byte 11 is the first type letter.
    const std::uint8_t first = v[kVersionTypeLetters + 1];
    const std::uint8_t second = v[kVersionTypeLetters];
    if (Word(v, kVersionMaxParamWrite) == kBirchUsbMaxParamWrite) {
      type = type::kBirchUsb;
      features |= feature::kBirchFamily;
    } else {
      type = type::kUsb1;
      text += "USB1 ";
    }
    if (first == 'M' && second == '0') {
      type = type::kBirchUsbRom;
      features |= feature::kBirchFamily;
      text = "Birch ROM ";
      if (At(v, kVersionThirdLetter) == 'I') {
        text += "REVC ";
        features |= feature::kRevC;
      }
    }
    oiLine = Format("Type: %c%c v%X.%02X (%04X)", Letter(first), Letter(second),
                    static_cast<unsigned>(At(v, kVersionFirmware)), static_cast<unsigned>(At(v, kVersionFirmware + 1)),
                    static_cast<unsigned>(Word(v, kVersionPartNumber)));
  }
  if (!haveVersion) errors += "GET_VERSION_INFO Error ";

  std::string uvLine;
  DriverResult serial = link_.Request(kReadSerialNumber, {}, kSerialNumberSize);
  if (Cancelled()) return false;
  if ((!serial.success || serial.ByteCount() < kSerialNumberSize) && linkKind == link::kRivetwareUsb)
    serial = link_.Request(kReadMSerialNumber, {}, kSerialNumberSize);
  if (Cancelled()) return false;
  if (serial.success && serial.ByteCount() >= kSerialNumberSize)
    uvLine = Format("S/N %08X", static_cast<unsigned>(Dword(serial.bytes, 0)));

  std::string utLine;
  std::string nmLine;
  if (haveVersion) {
    utLine = Format("DDI v%d.%d,  Drv v%d.%d", Word(v, 0), Word(v, 2), Word(v, 4), Word(v, 6));
    nmLine = Format("MaxParamWrite: %d", Word(v, kVersionMaxParamWrite));
    text += v[kVersionResistive] != 0 ? "RES " : "CAP ";
  }

  // A Birch USB controller may be a haptic one: its marker answers with an "H".
  if (IsBirchUsbType(type)) {
    const auto setup = EncodeSetup(
        {kRequestTypeIn, kVendorPassThrough, kHapticQuery, 0, static_cast<std::uint16_t>(kStreamAnswerSize)});
    const DriverResult marker = link_.Request(kGeneric, setup, kStreamAnswerSize);
    if (Cancelled()) return false;
    if (marker.success && std::find(marker.bytes.begin(), marker.bytes.end(), kHapticMark) != marker.bytes.end())
      features |= feature::kHaptic;
  }

  const DriverResult status = link_.Request(kGetStatus, {}, kStatusRecordSize);
  if (Cancelled()) return false;
  if (!status.success || status.ByteCount() <= kStatusFlags) {
    errors += "STATUS_INFO Error ";
  } else {
    if (status.bytes[kStatusFlags] & kStatusWakeOnTouch) text += "WOT ";
    errors += ErrorWords(type, features, Word(status.bytes, kStatusValue));
  }

  info_.SetLine(ControllerInfoWindow::kOi, oiLine);
  info_.SetLine(ControllerInfoWindow::kUv, uvLine);
  info_.SetLine(ControllerInfoWindow::kUt, utLine);
  info_.SetLine(ControllerInfoWindow::kNm, nmLine);
  info_.SetLine(ControllerInfoWindow::kPort, linkKind == link::kRivetwareUsb ? "RVUSB Driver" : "KXUSB Driver");
  info_.SetLine(ControllerInfoWindow::kErrors, errors);
  info_.SetLine(ControllerInfoWindow::kBaseType, text);
  typeText_ = text;

  if (!haveMVersion && !haveVersion) return false;
  frame_.ControllerType = type;
  frame_.ControllerFeatures = features;
  return true;
}

ReplyBytes DriverIdentification::Ask(const std::string& command, std::size_t expectedLength, std::uint32_t flags) {
  std::string bytes;
  bytes += static_cast<char>(kSoh);
  bytes += command;
  bytes += static_cast<char>(kCr);
  // The pass-through request whatever the channel's routing is: a Birch USB controller without
  // the driver pass-through variant still answers this way.
  link_.PassThroughSend(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  frame_.EchoToTerminal(bytes);
  return channel_.Transact(expectedLength, flags);
}

bool DriverIdentification::IdentifyThroughPassThrough() {
  if (!IsUsbDriverLink(frame_.LinkKind)) return false;
  if (!link_.EnterPassThrough('D')) return false;
  frame_.passThrough = true;
  frame_.Loop().Sleep(kPassThroughSettleMs);
  auto leave = [this] {
    if (IsUsbDriverLink(frame_.LinkKind)) link_.ExitPassThrough();
    frame_.passThrough = false;
  };

  IdentityReplies received;
  const struct {
    const char* command;
    std::size_t length;
    std::uint32_t flags;
    ReplyBytes* into;
  } steps[] = {
      {"UV", 10, reply::kShortWait, &received.uv},
      {"UT", 10, reply::kShortWait, &received.ut},
      {"OS", 4, reply::kShortWait, &received.os},
      {"GF", 51, reply::kFixedLength, &received.gf},
  };
  for (const auto& step : steps) {
    *step.into = Ask(step.command, step.length, step.flags);
    if (Cancelled()) {
      leave();
      return false;
    }
  }
  const IdentityReplies stored = StoredIdentityReplies(received);
  const IdentityDecision decision = DecideIdentity(stored);

  if (const std::string uv = Inner8(received.uv); !uv.empty())
    info_.SetLine(ControllerInfoWindow::kUv, Joined(info_.LineText(ControllerInfoWindow::kUv), "UV: " + uv));
  if (const std::string ut = Inner8(received.ut); !ut.empty())
    info_.SetLine(ControllerInfoWindow::kUt, Joined(info_.LineText(ControllerInfoWindow::kUt), "UT: " + ut));

  std::uint32_t type = type::kBirchUsb;
  std::uint32_t features = frame_.ControllerFeatures | feature::kBirchFamily;
  std::string errors;
  const std::string ut = Inner8(received.ut);
  if (ut.size() >= 2 && ut[0] == 'M' && ut[1] == 'F') {
    type = type::kBirchUsbRom;
    features |= feature::kRevC;
    typeText_ = "Birch2 ROM REVC ";
    info_.SetLine(ControllerInfoWindow::kBaseType, typeText_);
    // The ROM's OS reply flags, as the command-set route reads them.
    if (decision.type == type::kBirchRom) errors = decision.errorWords;
  } else {
    errors = ErrorWords(type, features, StatusPairValue(decision.statusPair));
  }
  info_.SetLine(ControllerInfoWindow::kErrors, errors);
  frame_.ControllerType = type;
  frame_.ControllerFeatures = features;
  leave();
  return true;
}

bool DriverIdentification::ConnectBirchUsb(std::uint32_t type, bool fromKx7List) {
  if (!IsBirchUsbType(type)) return false;
  frame_.ControllerType = type;
  frame_.ControllerFeatures = feature::kBirchFamily;
  bool opened = false;
  if (fromKx7List) {
    const driver::Kx7Controller* chosen = link_.ChosenKx7Controller();
    opened = link_.OpenKxUsb(chosen != nullptr ? chosen->number : 0);
  } else if (!frame_.startup.noRivetwareSearch) {
    opened = link_.OpenRivetwareUsb();
  }
  if (!opened) {
    frame_.ControllerType = type::kGeneric;
    frame_.ControllerFeatures = 0;
    return false;
  }
  if (!Identify()) {
    link_.Close(frame_.LinkKind);
    frame_.LinkKind = link::kClosed;
    frame_.ControllerType = type::kGeneric;
    frame_.ControllerFeatures = 0;
    if (Cancelled()) return false;
    if (type == type::kBirchUsbRom) {
      frame_.Loop().Sleep(find::kConnectFailPauseMs);
      info_.Hide();
    }
    ShowMessage(frame_.Ui(), text::kCantConnectToController);
    return false;
  }
  if (type == type::kBirchUsb && frame_.ControllerType == type::kBirchUsb &&
      (frame_.ControllerFeatures & feature::kHaptic) != 0)
    IdentifyThroughPassThrough();
  return true;
}

}  // namespace kx7
