#include "proto/usb_links.h"

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "controller/usb_device_table.h"
#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "link/driver/driver_constants.h"
#include "link/hid/hid_reports.h"
#include "link/hid/kx7_hid_handle.h"
#include "proto/controller_protocol.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {

// The mode the HID controllers report in once identified, and the Birch2 HID's own.
constexpr std::uint8_t kHidReportMode = 6;
constexpr std::uint8_t kBirch2ReportMode = 2;
constexpr std::uint32_t kHidPollMs = 990;


// The USB product each HID type is opened by (the Larch USB family takes the scan's).
std::uint16_t ProductOf(std::uint32_t type) {
  switch (type) {
    case type::kResistive4WireUsb: return 0x0100;
    case type::kResistive5WireUsb: return 0x0102;
    case type::kRowanUsbGen2:
    case type::kRowanUsbGen3: return 0x0300;
    case type::kBirch2Hid: return 0x0003;
    case type::kLarchUsb0500: return 0x0500;
    case type::kMaple: return 0x0400;
    case type::kRowanGen4: return 0x0303;
    default: return 0;
  }
}

std::uint32_t StartFeatures(std::uint32_t type) {
  switch (type) {
    case type::kResistive4WireUsb: return feature::kResistive | feature::kFourWire;
    case type::kResistive5WireUsb: return feature::kResistive;
    case type::kBirch2Hid: return feature::kBirchFamily;
    default: return 0;
  }
}

}  // namespace

UsbLinks::UsbLinks(CMainFrame& frame, ControllerProtocol& protocol, LinkReaders readers)
    : frame_(frame),
      protocol_(protocol),
      driver_(frame, registry_, readers == LinkReaders::kPolled ? DriverLink::Readers::kPolled : DriverLink::Readers::kThreads),
      hid_(frame),
      driverIdentification_(frame, protocol.channel, protocol.info, driver_),
      hidIdentification_(frame, protocol.channel, protocol.info, protocol.identifier, hid_) {
  registry_.Load();
  hid_.SetReaderThread(readers == LinkReaders::kThreads);
  Install();
}

UsbLinks::~UsbLinks() {
  hid_.CloseHid();
  driver_.Close(frame_.LinkKind);
}

void UsbLinks::Install() {
  CommandChannel& channel = protocol_.channel;
  channel.hidPassThroughSend = [this](const std::uint8_t* bytes, std::size_t count) { hid_.SendPassThrough(bytes, count); };
  channel.hidByteSend = [this](std::uint8_t byte) { hid_.SendByte(byte); };
  channel.driverPassThroughSend = [this](const std::uint8_t* bytes, std::size_t count) {
    driver_.PassThroughSend(bytes, count);
  };
  channel.driverWrite = [this](const std::uint8_t* bytes, std::size_t count) { driver_.WriteBytes(bytes, count); };
  channel.hidEnterPassThrough = [this](char target) { return hid_.EnterPassThrough(target); };
  channel.hidExitPassThrough = [this] { hid_.ExitPassThrough(); };
  channel.driverEnterPassThrough = [this](char target) { return driver_.EnterPassThrough(target); };
  channel.driverExitPassThrough = [this] { driver_.ExitPassThrough(); };
  channel.linkReadBlock = [this](int number, std::vector<std::uint8_t>& block) { return ReadBlock(number, block); };
  channel.linkWriteBlock = [this](int number, const std::vector<std::uint8_t>& block) { return WriteBlock(number, block); };
  channel.linkBlockStatus = [this] {
    return IsHidLink(frame_.LinkKind) ? hid_.LastBlockStatus() : driver_.LastBlockStatus();
  };

  protocol_.identifier.identifyThroughUsbDriver = [this] { return driverIdentification_.Identify(); };
  protocol_.identifier.identifyThroughHid = [this] { return hidIdentification_.Identify(); };

  ControllerFinder& finder = protocol_.finder;
  finder.kx7DriverStep = [this] { return Kx7Step(); };
  finder.countHidControllers = [this] { return CountHid(); };
  finder.pickHidController = [this](int) { return PickHid(); };
  finder.connectByType = [this](std::uint32_t type, std::uint16_t product) { return ConnectByType(type, product, false); };
  finder.openRivetwareDriver = [this] { return driver_.OpenRivetwareSerial(); };

  protocol_.typeMenu.setPenModeOnUsb = [this](std::uint32_t mode) { SetPenMode(mode); };

  frame_.closeUsbLink = [this](int linkKind) { CloseLink(linkKind); };
  frame_.usbDevicePresent = [this] { return DevicePresent(); };
  frame_.onHidPoll = [this] {
    if (IsHidLink(frame_.LinkKind))
      hid_.RefreshReaderState();
    else
      frame_.KillTimer(timer::kHidPoll);
  };
  frame_.connectBirch2Usb = [this] { return driver_.ConnectBirchUsbDirect(); };

  const auto onHid = [this](std::uint32_t) { return CommandState{IsHidLink(frame_.LinkKind), false}; };
  frame_.RegisterCommands(cmd::kSwitchToTabletMode, cmd::kSwitchToHidMode,
                          [this](std::uint32_t id) { hid_.SwitchMode(id == cmd::kSwitchToHidMode); }, onHid);
  frame_.RegisterCommands(
      cmd::kHidSerialNumber, cmd::kHidSerialNumber,
      [this](std::uint32_t) {
        if (const std::optional<std::string> serial = hid_.HidSerialNumber()) ShowMessage(frame_.Ui(), *serial);
      },
      [this](std::uint32_t) { return CommandState{frame_.LinkKind == link::kHid, false}; });
}

// --- Blocks ----------------------------------------------------------------------------------

bool UsbLinks::ReadBlock(int number, std::vector<std::uint8_t>& block) {
  if (IsHidLink(frame_.LinkKind)) return hid_.HidReadBlock(number, block);
  if (IsUsbDriverLink(frame_.LinkKind)) return driver_.ReadBlock(number, block);
  return false;
}

bool UsbLinks::WriteBlock(int number, const std::vector<std::uint8_t>& block) {
  if (IsHidLink(frame_.LinkKind)) return hid_.HidWriteBlock(number, block);
  if (IsUsbDriverLink(frame_.LinkKind)) return driver_.WriteBlock(number, block);
  return false;
}

// --- Type menu and Format menu ---------------------------------------------------------------

void UsbLinks::SetPenMode(std::uint32_t penMode) {
  if (IsUsbDriverLink(frame_.LinkKind)) return driver_.SetPenMode(penMode);
  if (!IsHidLink(frame_.LinkKind)) return;
  const bool pen = penMode != kPenFinger;
  const bool finger = penMode != kPenPen;
  if (frame_.ControllerType == type::kBirch2Hid) {
    for (const HidReport& report : hid::Birch2PenFinger(pen, finger)) hid_.HidSetFeature(report);
  } else {
    hid_.HidSetFeature(hid::PenFinger(pen, finger));
  }
}

void UsbLinks::SetUsbMode(int value) {
  if (frame_.LinkKind == link::kKxUsb) {
    const driver::UsbSetup setup{driver::kRequestTypeOut, driver::kVendorReportMode, static_cast<std::uint16_t>(value), 0, 0};
    driver_.UsbRequest(setup, {}, 0);
  } else if (IsHidLink(frame_.LinkKind) && frame_.ControllerType == type::kBirch2Hid) {
    hid_.SetBirch2Stream(static_cast<std::uint8_t>(value), 0);
  }
}

void UsbLinks::HidRequest(int request) {
  if (IsHidLink(frame_.LinkKind)) hid_.SetAsyncMode(static_cast<std::uint8_t>(request));
}

void UsbLinks::DriverReport(int request, bool on) {
  if (!IsUsbDriverLink(frame_.LinkKind) && !IsDriverLink(frame_.LinkKind)) return;
  const std::uint8_t input[driver::kReportActiveSize] = {static_cast<std::uint8_t>(request),
                                                         static_cast<std::uint8_t>(request >> 8),
                                                         static_cast<std::uint8_t>(on ? 1 : 0), 0};
  driver_.Request(driver::kAsyncSetReportActive, input, 0);
}

bool UsbLinks::ZCapable() const {
  return IsHidLink(frame_.LinkKind) && frame_.ControllerType == type::kBirch2Hid &&
         hidIdentification_.TypeText().find("ZAXIS ") != std::string::npos;
}

// --- Find Controller -------------------------------------------------------------------------

ControllerFinder::StepResult UsbLinks::Kx7Step() {
  using Step = ControllerFinder::StepResult;
  const int listed = driver_.ListKx7Controllers();
  if (listed == 0) return Step::kNothing;
  if (listed < 0) return Step::kCancelled;
  const driver::Kx7Controller* chosen = driver_.ChosenKx7Controller();
  if (chosen == nullptr) return Step::kNothing;
  const std::uint32_t type = driver_.ChosenKx7Type();
  const int number = chosen->number;
  const std::string portName = chosen->portName;
  // The driver's type name says what the controller is before anything is sent to it.
  frame_.ControllerType = type;
  if (ConnectByType(type, 0, true)) return Step::kConnected;
  if (protocol_.info.Cancelled() || frame_.closing) return Step::kCancelled;
  frame_.EchoToTerminal(text::kTryingKxDriver);
  frame_.LinkKind = link::kDriverFile;
  if (driver_.OpenKx7(number)) {
    protocol_.info.SetLine(ControllerInfoWindow::kPort, "KXDriver @" + portName);
    if (protocol_.finder.PingController(reply::kShortWait) > 0) return Step::kConnected;
  } else {
    frame_.LinkKind = link::kClosed;
  }
  return Step::kNotConnected;
}

int UsbLinks::CountHid() {
  hidPick_ = hid_.CountHidControllers();
  // A cancelled pick still counted the candidates: the search reports it after the count.
  if (hidPick_ < 0) return static_cast<int>(hid_.Candidates().size());
  return hidPick_;
}

ControllerFinder::StepResult UsbLinks::PickHid() {
  using Step = ControllerFinder::StepResult;
  if (hidPick_ < 0 || !hid_.IsOpen()) return Step::kCancelled;
  return ConnectHid(frame_.ControllerType, hid_.Product(), false, true) ? Step::kConnected : Step::kNotConnected;
}

bool UsbLinks::ConnectByType(std::uint32_t type, std::uint16_t product, bool fromKx7List) {
  if (IsBirchUsbType(type)) {
    if (!driverIdentification_.ConnectBirchUsb(type, fromKx7List)) return false;
    Found();
    return true;
  }
  if (IsHidType(type)) return ConnectHid(type, product, fromKx7List, false);
  if (IsTouchInputType(type)) {
    const UsbDeviceEntry* entry = nullptr;
    for (const UsbDeviceEntry& candidate : UsbDeviceTable())
      if (candidate.type == type) {
        entry = &candidate;
        break;
      }
    if (entry == nullptr) return false;
    frame_.ControllerType = type;
    frame_.ControllerFeatures = 0;
    if (!hid_.OpenTouchInput(entry->vendor, product)) {
      frame_.ControllerType = type::kGeneric;
      return false;
    }
    hidIdentification_.IdentifyTouchInput();
    Found();
    return true;
  }
  return false;
}

bool UsbLinks::OpenHidOfType(std::uint32_t type, std::uint16_t product, bool fromKx7List) {
  if (fromKx7List) {
    const driver::Kx7Controller* chosen = driver_.ChosenKx7Controller();
    if (chosen == nullptr || !driver_.OpenKxHidDevice(chosen->number)) return false;
    auto transport = std::make_unique<Kx7HidHandle>(
        [this](const driver::UsbSetup& setup, std::span<const std::uint8_t> data, std::size_t answerLength) {
          // The HID reader's thread comes this way too: the transfer that never closes the link.
          return driver_.UsbTransfer(driver::SetupAndData(setup, data), answerLength);
        });
    if (!hid_.OpenHidThroughKx7(type, std::move(transport))) {
      driver_.Close(link::kKxHid);
      return false;
    }
    return true;
  }
  if (type == type::kLarchUsb) {
    return (product != 0 && hid_.OpenHidByIds(kVendorKx, product)) || (product != 0 && hid_.OpenHidByIds(kVendorLarch, product));
  }
  const std::uint16_t wanted = ProductOf(type);
  if (wanted == 0) return false;
  if (hid_.IsOpen() && hid_.Vendor() == kVendorKx && hid_.Product() == wanted) return true;
  return hid_.OpenHidByIds(kVendorKx, wanted);
}

// A connect that identified the controller ends the search as an answered ping does.
void UsbLinks::Found() {
  protocol_.info.SetLine(ControllerInfoWindow::kStatus, text::kFound);
  protocol_.finder.FinishFind();
}

void UsbLinks::ConnectFailed(bool quiet) {
  frame_.CloseLink();
  frame_.Loop().Sleep(find::kConnectFailPauseMs);
  protocol_.info.Hide();
  if (!quiet) ShowMessage(frame_.Ui(), text::kCantConnectToController);
}

bool UsbLinks::ConnectHid(std::uint32_t type, std::uint16_t product, bool fromKx7List, bool alreadyOpen) {
  frame_.ControllerType = type;
  frame_.ControllerFeatures = StartFeatures(type);
  if (!alreadyOpen && !OpenHidOfType(type, product, fromKx7List)) {
    frame_.ControllerType = type::kGeneric;
    frame_.ControllerFeatures = 0;
    return false;
  }
  frame_.SetTimer(timer::kHidPoll, kHidPollMs);
  // A controller pulled out while it was being asked has not been found.
  if (!hidIdentification_.Identify() || !hid_.IsOpen()) {
    if (protocol_.info.Cancelled() || frame_.closing) {
      frame_.CloseLink();
      return false;
    }
    ConnectFailed(IsResistiveUsbType(type));
    return false;
  }
  if (frame_.ControllerType == type::kBirch2Hid) {
    if (frame_.settings.Options.NoUsbThread == 0 && frame_.LinkKind != link::kKxHid)
      hid_.SetBirch2Stream(kBirch2ReportMode, 0);
  } else {
    hid_.SetAsyncMode(kHidReportMode);
  }
  Found();
  return true;
}

// --- Links -----------------------------------------------------------------------------------

bool UsbLinks::PollOnce() {
  bool any = false;
  if (IsHidLink(frame_.LinkKind)) any = hid_.PollOnce() || any;
  if (driver_.DeviceOpen()) any = driver_.PollOnce() || any;
  return any;
}

bool UsbLinks::DevicePresent() {
  const int link = frame_.LinkKind;
  if (link == link::kHid) return hid_.DevicePresent();
  if (link == link::kKxHid) return hid_.DevicePresent() && driver_.DeviceOpen();
  return driver_.DeviceOpen();
}

void UsbLinks::CloseLink(int linkKind) {
  frame_.KillTimer(timer::kHidPoll);
  if (linkKind == link::kHid || linkKind == link::kKxHid) hid_.CloseHid();
  if (linkKind != link::kHid) driver_.Close(linkKind);
}

}  // namespace kx7
