#include "proto/controller_identifier.h"

#include <algorithm>
#include <cstdio>

#include "controller/controller_types.h"
#include "proto/error_words.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {

// The characters between SOH and the last byte.
std::string Inner(const ReplyBytes& reply, std::size_t count) {
  if (reply.size() < count + 1) return std::string();
  return std::string(reply.begin() + 1, reply.begin() + 1 + static_cast<std::ptrdiff_t>(count));
}

bool IsRefusal(const ReplyBytes& reply) {
  return reply.size() == 3 && reply[0] == kSoh && reply[1] == '1' && reply[2] == kCr;
}

}  // namespace

ControllerIdentifier::ControllerIdentifier(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info)
    : frame_(frame), channel_(channel), info_(info) {}

bool ControllerIdentifier::IdentifyController() {
  const int link = frame_.LinkKind;
  if (link == link::kRivetwareUsb || link == link::kKxUsb)
    return identifyThroughUsbDriver ? identifyThroughUsbDriver() : false;
  if (link == link::kHid || link == link::kKxHid) return identifyThroughHid ? identifyThroughHid() : false;
  return IdentifyThroughCommandSet();
}

ReplyBytes ControllerIdentifier::Ask(const std::string& command, std::size_t expectedLength, std::uint32_t flags) {
  channel_.SendCommand(command);
  return channel_.Transact(expectedLength, flags);
}

bool ControllerIdentifier::IdentifyThroughCommandSet() {
  IdentityReplies received;
  const struct {
    const char* command;
    std::size_t length;
    std::uint32_t flags;
    ReplyBytes* into;
  } steps[] = {
      {"OI", 8, reply::kShortWait, &received.oi},       {"UV", 10, reply::kShortWait, &received.uv},
      {"UT", 10, reply::kShortWait, &received.ut},      {"OS", 4, reply::kShortWait, &received.os},
      {"NM", 100, 0, &received.nm},                     {"-OI", 8, reply::kShortWait, &received.minusOi},
      {"GF", 51, reply::kFixedLength, &received.gf},
  };
  for (const auto& step : steps) {
    *step.into = Ask(step.command, step.length, step.flags);
    if (Cancelled()) return false;
  }
  stored_ = StoredIdentityReplies(received);

  std::string oiLine = "OI:   ";
  std::string uvLine = "UV: ";
  std::string utLine = "UT: ";
  std::string nmLine = "NM: ";
  info_.SetCloseButtonText("OK");
  if (received.oi.size() == 8 && received.oi[0] == kSoh) oiLine += Inner(received.oi, 6);
  if (received.uv.size() == 10 && received.uv[0] == kSoh) uvLine += Inner(received.uv, 8);
  if (received.ut.size() == 10 && received.ut[0] == kSoh) utLine += Inner(received.ut, 8);
  if (!IsRefusal(received.nm)) {
    for (std::size_t i = 1; i + 1 < received.nm.size(); ++i)
      if (received.nm[i] > 0x1F) nmLine += static_cast<char>(received.nm[i]);
  }
  info_.SetLine(ControllerInfoWindow::kOi, oiLine);
  info_.SetLine(ControllerInfoWindow::kUv, uvLine);
  info_.SetLine(ControllerInfoWindow::kUt, utLine);
  info_.SetLine(ControllerInfoWindow::kNm, nmLine);
  if (IsSerialLink(frame_.LinkKind)) {
    char port[24];
    std::snprintf(port, sizeof port, "COM%d,", frame_.LinkKind);
    info_.SetLine(ControllerInfoWindow::kPort, port + frame_.settings.MainPortSettings);
  } else if (frame_.LinkKind == link::kRivetwareDriver) {
    info_.SetLine(ControllerInfoWindow::kPort, "RVDriver @" + frame_.driverDeviceName);
  } else if (frame_.LinkKind == link::kDriverFile) {
    info_.SetLine(ControllerInfoWindow::kPort, "KXDriver @" + frame_.driverDeviceName);
  }

  const IdentityDecision decision = DecideIdentity(stored_);
  frame_.ControllerType = decision.type;
  frame_.ControllerFeatures = decision.features;
  if (decision.penModeAuto) frame_.PenMode = kPenAuto;
  typeText_ = decision.typeText;
  std::string errors = decision.errorWords;
  if (decision.cedar != CedarGeneration::kNone) {
    if (!decision.optionParameter.empty()) {
      CedarSteps(decision, decision.statusPair);
      if (Cancelled()) return false;
    }
    LeaveForgottenPassThrough();
  }
  if (frame_.ControllerType != type::kBirchRom)
    errors += ErrorWords(frame_.ControllerType, frame_.ControllerFeatures, StatusPairValue(decision.statusPair));
  info_.SetLine(ControllerInfoWindow::kErrors, errors);
  info_.SetLine(ControllerInfoWindow::kBaseType, typeText_);
  return true;
}

void ControllerIdentifier::CedarSteps(const IdentityDecision& decision, const std::string& statusPair) {
  const char second = statusPair.size() >= 2 ? statusPair[1] : '0';
  if (static_cast<unsigned char>(second) & 0x08)
    info_.SetLine(ControllerInfoWindow::kUv, "ID:   Invalid");
  else
    info_.SetLine(ControllerInfoWindow::kUv, "Panel ID:   " + PanelId());
  if (Cancelled()) return;
  std::string oiLine = "DSP " + info_.LineText(ControllerInfoWindow::kOi);
  const ReplyBytes commOi = Ask("-OI", 8, reply::kShortWait);
  if (Cancelled()) return;
  if (commOi.size() >= 2) oiLine += "   Comm OI: " + std::string(commOi.begin() + 1, commOi.end() - 1);
  info_.SetLine(ControllerInfoWindow::kOi, oiLine);
  frame_.MultiTouchMode = 0;
  const ReplyBytes option = Ask(decision.optionParameter, 10, 0);
  if (option.size() > 5 && std::find(option.begin(), option.end(), '?') == option.end() && option[0] == kSoh) {
    std::uint32_t value = 0;
    bool digits = true;
    for (std::size_t i = 1; i + 1 < option.size(); ++i) {
      const char c = static_cast<char>(option[i]);
      const int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                       : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
      if (digit < 0) {
        digits = false;
        break;
      }
      value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    if (digits && value == 2) {
      frame_.MultiTouchMode = 2;
      frame_.ControllerFeatures |= feature::kMultiContact;
    }
  }
}

std::string ControllerIdentifier::PanelId() {
  const ReplyBytes reply = Ask("ID", 130, reply::kTwoLines);
  if (reply.size() < 4) return text::kInvalidResponse;
  // The text between the SOH and the first CR, at most 100 bytes.
  std::size_t begin = reply[0] == kSoh ? 1 : 0;
  std::size_t end = std::min<std::size_t>(reply.size(), 100);
  const auto cr = std::find(reply.begin() + static_cast<std::ptrdiff_t>(begin), reply.begin() + static_cast<std::ptrdiff_t>(end), kCr);
  end = static_cast<std::size_t>(cr - reply.begin());
  return std::string(reply.begin() + static_cast<std::ptrdiff_t>(begin), reply.begin() + static_cast<std::ptrdiff_t>(end));
}

// A Cedar found at a speed of 115200 was left in pass-through by an earlier session: send it the
// way out and go back to 9600.
void ControllerIdentifier::LeaveForgottenPassThrough() {
  if (!IsSerialLink(frame_.LinkKind) || frame_.settings.MainPortSettings.find("115") == std::string::npos) return;
  frame_.passThrough = true;
  channel_.rememberedSettings = kDefaultPortSettings;
  channel_.ExitPassThrough();
}

}  // namespace kx7
