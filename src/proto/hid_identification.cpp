#include "proto/hid_identification.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "link/hid/hid_reports.h"
#include "proto/error_words.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {

constexpr int kDefaultSystemTouches = 10;
constexpr std::size_t kMaxProductText = 100;
constexpr std::uint32_t kPassThroughSettleMs = 200;

std::string Formatted(const char* format, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

bool IsRefusal(const ReplyBytes& reply) {
  return reply.size() == 3 && reply[0] == kSoh && reply[1] == '1' && reply[2] == kCr;
}

std::uint16_t Word(const HidReport& r, std::size_t at) { return static_cast<std::uint16_t>(r[at] | (r[at + 1] << 8)); }

}  // namespace

HidIdentification::HidIdentification(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info,
                                     ControllerIdentifier& identifier, HidLink& link)
    : frame_(frame), channel_(channel), info_(info), identifier_(identifier), link_(link) {
  systemMaxTouches = [] { return kDefaultSystemTouches; };
}

std::string HidIdentification::PortLine() const {
  return frame_.LinkKind == link::kKxHid ? "KXHID Driver" : "HID Driver";
}

void HidIdentification::Finish(const std::string& errors) {
  info_.SetLine(ControllerInfoWindow::kErrors, errors);
  info_.SetLine(ControllerInfoWindow::kBaseType, typeText_);
  info_.SetLine(ControllerInfoWindow::kPort, PortLine());
  info_.SetCloseButtonText("OK");
  identifier_.SetTypeText(typeText_);
}

bool HidIdentification::Identify() {
  const std::uint32_t type = frame_.ControllerType;
  if (type == type::kBirch2Hid) return IdentifyBirch2();
  if (IsTouchInputType(type)) return IdentifyTouchInput();
  return IdentifyGeneric();
}

bool HidIdentification::IdentifyGeneric() {
  typeText_.clear();
  info_.SetLine(ControllerInfoWindow::kErrors, "");
  std::uint32_t type = frame_.ControllerType;
  const bool larch = IsLarchUsbType(type);
  const auto idReport = hid::AnswerFor(type, hid::Answer::kControllerId);
  if (!idReport) return false;
  const std::optional<HidReport> got = link_.HidGetFeature(idReport->id, idReport->length);
  if (!got || got->size() < idReport->length) return false;
  const HidReport& r = *got;
  std::vector<std::uint8_t> serial;
  if (!link_.HidReadBlock(5, serial) || serial.size() < 4) serial.assign(4, 0);
  std::string contacts;
  if (larch) {
    if (const auto most = link_.HidGetFeature(hid::answer::kMaxContacts, hid::kMaxContactsLength); most && most->size() >= 2)
      contacts = Formatted("%dT ", (*most)[1]);
  }
  if (Cancelled()) return false;

  std::uint32_t features = frame_.ControllerFeatures;
  if (larch) {
    info_.SetLine(ControllerInfoWindow::kOi, Formatted("Type: %c%c v%X.%02X (%02X%02X) (%02X%02X)", r[1], r[2], r[3], r[4],
                                                       r[23], r[22], r[7], r[6]));
    if (r[2] == '0') features |= feature::kLarchMultitouch;
    switch (r[20]) {
      case 1: features |= feature::kLarchSensor1; break;
      case 2: features |= feature::kLarchSensor2; break;
      case 0: features |= feature::kLarchSensor0; break;
      case 3: features |= feature::kLarchSensor3; break;
      default: break;
    }
    switch (r[19]) {
      case 1: features |= feature::kLarchModelSpruce; break;
      case 2: features |= feature::kLarchModel2; break;
      case 3: features |= feature::kLarchModel3; break;
      case 4: features |= feature::kLarchModelSequoia; break;
      default: break;
    }
  } else {
    info_.SetLine(ControllerInfoWindow::kOi, Formatted("Type: %c%c v%X.%02X (%02X%02X)", r[1], r[2], r[3], r[4], r[7], r[6]));
  }
  info_.SetLine(ControllerInfoWindow::kUv, Formatted("S/N: %02X%02X%02X%02X", serial[3], serial[2], serial[1], serial[0]));
  info_.SetLine(ControllerInfoWindow::kUt, Formatted("PID: %04X", link_.Product()));
  info_.SetLine(ControllerInfoWindow::kNm, Formatted("MaxParamWrite: %d", r[9] * 256 + r[8]));
  if (IsResistiveUsbType(type)) {
    // The wire digit of the record, not the USB product, tells 4/8-wire from 5-wire.
    if (r[2] == '4') {
      type = type::kResistive4WireUsb;
      features = feature::kResistive | feature::kFourWire;
    } else if (r[2] == '5') {
      type = type::kResistive5WireUsb;
      features = feature::kResistive;
    }
  }
  frame_.ControllerType = type;
  frame_.ControllerFeatures = features;

  const std::optional<HidReport> status = link_.HidGetFeature(hid::answer::kStatus, hid::kStatusLength);
  if (!status || status->size() < hid::kStatusLength) return false;
  const HidReport& s = *status;
  const bool gesture = (r[5] & hid::id_flag::kGestureOrUefi) != 0;
  bool rowan = false;
  if (IsResistiveUsbType(type)) {
    typeText_ += "RES ";
  } else if (type == type::kRowanUsbGen2 || type == type::kRowanUsbGen3) {
    rowan = true;
    if (r[3] == 3) {
      frame_.ControllerType = type::kRowanUsbGen3;
      typeText_ = "Rowan GEN3 ";
      if (gesture) {
        typeText_ += "GES ";
        frame_.ControllerFeatures |= feature::kMultiContact;
        frame_.MultiTouchMode = s[7];
      } else if (s[7] == 1) {
        typeText_ += "TAB ";
      }
    } else {
      frame_.ControllerType = type::kRowanUsbGen2;
      typeText_ = "Rowan GEN2 ";
      frame_.ControllerFeatures = 0;
    }
  } else if (type == type::kRowanGen4) {
    rowan = true;
    typeText_ = "Rowan GEN4 ";
    frame_.MultiTouchMode = s[7];
    if (s[7] == 2) {
      typeText_ += "MUL ";
      frame_.ControllerFeatures |= feature::kMultiContact;
    }
  } else if (larch) {
    if (const auto pointer = link_.HidGetFeature(hid::answer::kPointerMode, hid::kPointerModeLength);
        pointer && pointer->size() >= 2 && (*pointer)[1] == 0)
      typeText_ = "MOUSE ";
    if (gesture) {
      typeText_ += (s[7] & 0x02) ? "UEFI0 " : (s[7] & 0x04) ? "UEFI1 " : "UEFI ";
      frame_.ControllerFeatures |= feature::kLarchUefi;
    }
    typeText_ += (s[7] & 0x01) ? "SELF " : "BUS ";
    if (r[5] & hid::id_flag::kPen) {
      typeText_ += "PEN ";
      frame_.ControllerFeatures |= feature::kLarchPen;
    }
    typeText_ += contacts;
  }
  if (rowan) {
    PassThroughSteps(info_.LineText(ControllerInfoWindow::kOi));
    // The waits of the questions let the user cancel, and let an unplugging close the link.
    if (Cancelled() || !link_.IsOpen()) return false;
  }
  if (r[5] & hid::id_flag::kWot) typeText_ += "WOT ";
  Finish(ErrorWords(frame_.ControllerType, frame_.ControllerFeatures, s[1]));
  return true;
}

// The USB Rowan boards answer the ASCII identity questions on their second processor.
void HidIdentification::PassThroughSteps(const std::string& oiLine) {
  if (!channel_.EnterPassThrough('D')) return;
  frame_.Loop().Sleep(kPassThroughSettleMs);
  channel_.SendCommand("OI");
  const ReplyBytes oi = channel_.Transact(8, 0);
  if (oi.size() == 8) info_.SetLine(ControllerInfoWindow::kOi, oiLine + " (" + std::string(oi.begin() + 1, oi.begin() + 7) + ")");
  if (Cancelled()) return channel_.ExitPassThrough();
  channel_.SendCommand("UT");
  ReplyBytes ut = channel_.Transact(8, 0);
  if (ut.size() != 10) ut.assign(10, 0);
  if (frame_.ControllerType == type::kRowanUsbGen3 || frame_.ControllerType == type::kRowanGen4) {
    if (ut[8] & 0x08)
      info_.SetLine(ControllerInfoWindow::kNm, "ID:   Invalid");
    else
      info_.SetLine(ControllerInfoWindow::kNm, "Panel ID:   " + identifier_.PanelId());
  }
  if (Cancelled()) return channel_.ExitPassThrough();
  channel_.SendCommand("NM");
  const ReplyBytes nm = channel_.Transact(100, 0);
  channel_.ExitPassThrough();
  if (IsRefusal(nm) || nm.size() < 2) return;
  std::string name;
  for (std::size_t i = 1; i + 1 < nm.size(); ++i)
    if (nm[i] > 0x1F && nm[i] < 0x7F) name += static_cast<char>(nm[i]);
  if (IsHidLink(frame_.LinkKind))
    info_.SetLine(ControllerInfoWindow::kUt, info_.LineText(ControllerInfoWindow::kUt) + "    NM: " + name);
  else
    info_.SetLine(ControllerInfoWindow::kNm, info_.LineText(ControllerInfoWindow::kNm) + " (" + name + ")");
}

bool HidIdentification::IdentifyBirch2() {
  typeText_.clear();
  info_.SetLine(ControllerInfoWindow::kErrors, "");
  const std::optional<HidReport> got = link_.HidGetFeature(hid::answer::kBirch2Identity, hid::kBirch2IdentityLength);
  if (!got || got->size() < hid::kBirch2IdentityLength) return false;
  const HidReport& b = *got;
  info_.SetLine(ControllerInfoWindow::kOi, Formatted("Type: %c%c v%X.%02X CDE(%02X%02X%02X%02X) CST(%02X%02X)", b[1], b[2],
                                                     b[3], b[4], b[21], b[20], b[19], b[18], b[7], b[6]));
  info_.SetLine(ControllerInfoWindow::kNm, Formatted("MaxParamWrite: %d", b[9] * 256 + b[8]));
  if (b[22] == 3 && b[23] == 1) typeText_ += "Birch2 REVC ";
  const std::uint8_t flags = b[5];
  typeText_ += (flags & hid::birch2_flag::kResistive) ? "RES " : "CAP ";
  frame_.twoTouch = (flags & hid::birch2_flag::kTwoTouch) != 0;
  if (frame_.twoTouch) typeText_ += "TWO ";
  if (flags & hid::birch2_flag::kPro) typeText_ += "PRO ";
  if (flags & hid::birch2_flag::kEmulation) {
    typeText_ += "EMU ";
    frame_.ControllerFeatures |= feature::kDriverPassThrough;
  }
  if (flags & hid::birch2_flag::kZAxis) typeText_ += "ZAXIS ";
  const std::optional<HidReport> status = link_.HidGetFeature(hid::answer::kBirch2Status, hid::kBirch2StatusLength);
  if (!status || status->size() < hid::kBirch2StatusLength) return false;
  const std::uint32_t value = (static_cast<std::uint32_t>(Word(*status, 9)) << 16) | Word(*status, 1);
  Finish(ErrorWords(frame_.ControllerType, frame_.ControllerFeatures, value));
  return true;
}

bool HidIdentification::IdentifyTouchInput() {
  const std::uint32_t type = frame_.ControllerType;
  int touches = systemMaxTouches ? systemMaxTouches() : kDefaultSystemTouches;
  if (type == type::kTouchInputFirst) {
    if (const auto most = link_.HidGetFeature(hid::answer::kTouchInputMaxContacts, hid::kTouchInputMaxContactsLength);
        most && most->size() >= 2)
      touches = (*most)[1];
  }
  typeText_ = Formatted("%dT ", touches);
  if (type == 32885 || type == 32887) typeText_ += " PEN";
  std::string product = link_.ProductString().value_or("");
  if (product.size() > kMaxProductText) product.resize(kMaxProductText);
  if (product.empty()) {
    if (type == 32886) product = "SiS";
    if (type == 32887) product = "ELO";
    if (type == 32888) product = "RndPlus";
  }
  info_.SetLine(ControllerInfoWindow::kOi, "Type: " + product);
  info_.SetLine(ControllerInfoWindow::kUt, Formatted("PID: %04X", link_.Product()));
  info_.SetLine(ControllerInfoWindow::kErrors, "");
  info_.SetLine(ControllerInfoWindow::kBaseType, typeText_);
  info_.SetLine(ControllerInfoWindow::kPort, "WM_TOUCH");
  info_.SetCloseButtonText("OK");
  identifier_.SetTypeText(typeText_);
  frame_.touchInputMode = true;
  return true;
}

}  // namespace kx7
