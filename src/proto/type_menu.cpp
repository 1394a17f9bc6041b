#include "proto/type_menu.h"

#include "controller/controller_families.h"
#include "controller/controller_type_names.h"
#include "controller/controller_types.h"
#include "frame/command_ids.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {


}  // namespace

TypeMenu::TypeMenu(CMainFrame& frame, CommandChannel& channel, ControllerInfoWindow& info,
                   ControllerIdentifier& identifier)
    : frame_(frame), channel_(channel), info_(info), identifier_(identifier) {
  frame_.RegisterCommands(
      cmd::kTypeMenuFirst, cmd::kTypeMenuLast, [this](std::uint32_t id) { OnCommand(id); },
      [this](std::uint32_t id) { return Update(id); });
}

bool TypeMenu::FeaturesOfChosenType(std::uint32_t type, std::uint32_t& features) {
  switch (type) {
    case type::kBirch2Hid:
    case 32877:
    case type::kLarchUsb0500:
    case type::kMaple:
    case type::kLarchUsb:
      return false;
    case type::kBirchRom:
    case type::kBirch:
    case type::kBirchUsb:
    case type::kBirchUsbRom:
      features = feature::kBirchFamily;
      return true;
    case type::kJuniper:
    case type::kResistive4Wire:
    case type::kResistive4WireUsb:
    case type::kResistive5Wire:
    case type::kResistive5WireUsb:
      features = feature::kResistive;
      return true;
    case type::kAspen4:
      features = feature::kPen;
      return true;
    case type::kBirchPen:
      features = feature::kBirchFamily | feature::kPen;
      return true;
    default:
      if (type >= type::kTouchInputFirst && type <= type::kTouchInputLast) return false;
      features = 0;
      return true;
  }
}

void TypeMenu::OnCommand(std::uint32_t id) {
  switch (id) {
    case cmd::kFindController:
      frame_.Post(msg::kConnect, find::kShowWindow, 0);
      return;
    case kPenAuto:
    case kPenFinger:
    case kPenPen:
      SetPenMode(id);
      return;
    case cmd::kPollControllerType:
      Poll();
      return;
    default:
      break;
  }
  std::uint32_t features = 0;
  if (!FeaturesOfChosenType(id, features)) return;
  frame_.ControllerType = id;
  frame_.ControllerFeatures = features;
  if (id == type::kBirchPen) frame_.PenMode = kPenAuto;
  frame_.OnCommand(cmd::kFormatKxs);
}

CommandState TypeMenu::Update(std::uint32_t id) const {
  const int link = frame_.LinkKind;
  if (id == cmd::kFindController) return CommandState{true, false};
  if (link == link::kClosed) return CommandState{false, false};
  if (id == kPenAuto || id == kPenFinger || id == kPenPen) {
    const bool pen = (frame_.ControllerFeatures & (feature::kPen | feature::kLarchPen)) != 0;
    return CommandState{pen, frame_.PenMode == id};
  }
  if (id == cmd::kPollControllerType) return CommandState{true, false};
  if (ControllerTypeName(id)[0] == '\0' && !(id >= type::kTouchInputFirst && id <= type::kTouchInputLast))
    return CommandState{false, false};
  bool enabled = false;
  if (IsBirchUsbType(id) || id == type::kUsb1)
    enabled = IsUsbDriverLink(link);
  else if (IsHidType(id))
    enabled = IsHidLink(link);
  else
    enabled = IsSerialLink(link) || link == link::kRivetwareDriver || link == link::kDriverFile;
  return CommandState{enabled, frame_.ControllerType == id};
}

void TypeMenu::SetPenMode(std::uint32_t mode) {
  frame_.PenMode = mode;
  const int link = frame_.LinkKind;
  if (IsUsbDriverLink(link) || (IsHidLink(link) && (frame_.ControllerType == type::kBirch2Hid ||
                                                      frame_.ControllerType == type::kLarchUsb))) {
    // The driver requests and HID commands for the pen and finger flags belong to those links.
    if (setPenModeOnUsb) setPenModeOnUsb(mode);
    return;
  }
  channel_.SendCommand(mode == kPenPen ? "PO" : mode == kPenFinger ? "FO" : "PF");
  channel_.WaitOk();
}

void TypeMenu::Poll() {
  channel_.ExitPassThrough();
  info_.BeginSearch();
  info_.Show();
  identifier_.IdentifyController();
  info_.EndSearch();
}

}  // namespace kx7
