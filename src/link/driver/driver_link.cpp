#include "link/driver/driver_link.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

#include "controller/controller_types.h"
#include "frame/main_frame.h"
#include "frame/messages.h"
#include "link/frame_delivery.h"
#include "platform/ui_host.h"

namespace kx7 {

using namespace driver;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}

std::uint16_t Word(const Bytes& bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0;
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t Dword(const Bytes& bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0;
  return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

Bytes Value32(std::uint32_t value) {
  Bytes bytes;
  Put32(bytes, value);
  return bytes;
}

std::string Format(const char* pattern, auto... values) {
  char buffer[128];
  const int n = std::snprintf(buffer, sizeof buffer, pattern, values...);
  if (n < 0) return {};
  return std::string(buffer, std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
}

std::string PortKey(int index, const char* value) {
  return RegistryKey(std::string(kRegistryBaseKey) + Format(kPortSubkeyFormat, index), value);
}

// "KX7SDU" as a wide string, zero-filled to the request's size.
Bytes ClientName() {
  Bytes bytes(kClientNameSize, 0);
  const std::string name = kClientName;
  for (std::size_t i = 0; i < name.size() && 2 * i + 1 < bytes.size(); ++i)
    bytes[2 * i] = static_cast<std::uint8_t>(name[i]);
  return bytes;
}

// {block, 0, length}, each 16-bit.
Bytes BlockHeader(std::uint16_t block, std::uint16_t length) {
  Bytes bytes;
  Put16(bytes, block);
  Put16(bytes, 0);
  Put16(bytes, length);
  return bytes;
}

// {memory u8, 0 u8, address u16, count u16}.
Bytes MemoryHeader(std::uint8_t memory, std::uint16_t address, std::uint16_t count) {
  Bytes bytes{memory, 0};
  Put16(bytes, address);
  Put16(bytes, count);
  return bytes;
}

Bytes SetupBytes(std::uint8_t type, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                 std::uint16_t length) {
  const auto setup = EncodeSetup({type, request, value, index, length});
  return Bytes(setup.begin(), setup.end());
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

int LinkOf(int kind) {
  // Kind values follow the private enum's order.
  constexpr int kLinks[] = {link::kClosed,       link::kRivetwareDriver, link::kDriverFile,
                            link::kRivetwareUsb, link::kKxUsb,           link::kKxHid};
  return kind >= 0 && kind < static_cast<int>(std::size(kLinks)) ? kLinks[kind] : link::kClosed;
}

}  // namespace

DriverLink::DriverLink(CMainFrame& frame, RegistryStore& registry, Readers readers)
    : frame_(frame), registry_(registry), readers_(readers) {}

DriverLink::~DriverLink() {
  StopReader();
  rivetware_.Close();
  kx7_.Close();
}

bool DriverLink::DeviceOpen() const { return rivetware_.IsOpen() || kx7_.IsOpen(); }

void DriverLink::Log(const std::string& text) { frame_.EchoToTerminal(text); }

bool DriverLink::IsRestart(std::uint32_t code) {
  return code == kHardReset || code == kRomReboot || code == kRamReboot || code == kEepromReboot;
}

bool DriverLink::IsGone(std::uint32_t error) {
  return error == driver_error::kDeviceNotConnected || error == driver_error::kInvalidHandle ||
         error == driver_error::kFileNotFound;
}

bool DriverLink::UsesTranslation() const { return frame_.LinkKind == link::kKxUsb || frame_.LinkKind == link::kKxHid; }

// --- Requests --------------------------------------------------------------------------------

DriverResult DriverLink::Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity) {
  // With device notices the controller comes back through the plug-in notice; the reader must
  // not be inside a request when the device goes.
  const bool restartRule = IsRestart(code) && frame_.registeredForDevices && kind_ != Kind::kNone;
  if (restartRule) {
    StopReader();
    frame_.Loop().Sleep(kRestartPauseMs);
  }
  DriverResult result = UsesTranslation() ? TranslatedRequest(code, input, outputCapacity, true)
                                          : DeviceRequest(code, input, outputCapacity, true);
  if (restartRule) {
    Close(LinkOf(static_cast<int>(kind_.load())));
    frame_.LinkKind = link::kClosed;
    frame_.passThrough = false;
    frame_.ControllerType = type::kGeneric;
    frame_.ControllerFeatures = 0;
  } else if (!result.success && IsGone(result.error)) {
    LinkLost();
  }
  return result;
}

DriverResult DriverLink::DeviceRequest(std::uint32_t code, std::span<const std::uint8_t> input,
                                       std::size_t outputCapacity, bool log) {
  const auto line = log ? RequestLogLine(code, input) : std::nullopt;
  if (line) Log(*line);
  DriverResult result = rivetware_.Request(code, input, outputCapacity);
  if (line) Log(RequestResultLine(result));
  return result;
}

DriverResult DriverLink::TranslatedRequest(std::uint32_t code, std::span<const std::uint8_t> input,
                                           std::size_t outputCapacity, bool log) {
  const auto line = log ? RequestLogLine(code, input) : std::nullopt;
  if (line) Log(*line);
  const UsbTranslation translation = TranslateRequest(code, input, outputCapacity);
  DriverResult result = translation.success ? UsbExchange(translation.request.Bytes(), translation.request,
                                                          kAnswerReadTries, line.has_value())
                                            : DriverResult::Failed(translation.error);
  if (line) Log(RequestResultLine(result));
  return result;
}

DriverResult DriverLink::UsbExchange(const Bytes& written, const driver::UsbRequest& request, int tries, bool log) {
  std::unique_lock lock(requestMutex_, std::defer_lock);
  if (!lock.try_lock_for(std::chrono::milliseconds(kRequestMutexWaitMs)))
    return DriverResult::Failed(driver_error::kSemaphoreTimeout);
  if (log) Log(HexLogLines(written));
  const DriverWriteResult sent = kx7_.Write(written);
  if (!sent.success) return DriverResult::Failed(sent.error);
  if (sent.written != written.size()) return DriverResult::Failed(driver_error::kGeneralFailure);
  if (!request.setup.IsIn()) return AnswerToOutput(request, {});
  const std::size_t capacity =
      std::max<std::size_t>({static_cast<std::size_t>(request.setup.length), request.outputCapacity, 1});
  for (int i = 0; i < std::max(tries, 1); ++i) {
    const DriverResult answer = kx7_.Read(capacity, kAnswerReadGapMs);
    if (!answer.success) return DriverResult::Failed(answer.error);
    if (answer.bytes.empty()) continue;
    if (log) Log(HexLogLines(answer.bytes));
    return AnswerToOutput(request, answer.bytes);
  }
  return DriverResult::Failed(driver_error::kSemaphoreTimeout);
}

DriverResult DriverLink::UsbTransfer(std::span<const std::uint8_t> setupAndData, std::size_t outputCapacity,
                                     int tries) {
  const UsbTranslation translation = TranslateRequest(kGeneric, setupAndData, outputCapacity);
  if (!translation.success) return DriverResult::Failed(translation.error);
  return UsbExchange(translation.request.Bytes(), translation.request, tries, false);
}

DriverResult DriverLink::UsbRequest(std::span<const std::uint8_t> setupAndData, std::size_t outputCapacity, int tries) {
  DriverResult result = UsbTransfer(setupAndData, outputCapacity, tries);
  // Link 262 is the HID link's: its reader may be the caller, and it closes its own link when
  // the device has gone.
  if (!result.success && IsGone(result.error) && kind_ != Kind::kKxHid) LinkLost();
  return result;
}

DriverResult DriverLink::UsbRequest(const UsbSetup& setup, std::span<const std::uint8_t> data,
                                    std::size_t outputCapacity, int tries) {
  return UsbRequest(SetupAndData(setup, data), outputCapacity, tries);
}

void DriverLink::LinkLost() {
  if (closing_ || kind_ == Kind::kNone) return;
  const Kind lost = kind_;
  Close(LinkOf(static_cast<int>(lost)));
  if (lost == Kind::kKxHid) {
    // The HID layer owns link 262; the frame's close request lets it close its side.
    frame_.PostToFrame(msg::kCloseLinkRequest, 0, 0);
    return;
  }
  frame_.LinkKind = link::kClosed;
  frame_.passThrough = false;
  frame_.ControllerType = type::kGeneric;
  frame_.ControllerFeatures = 0;
}

// --- Opening and closing ---------------------------------------------------------------------

void DriverLink::FillRivetwareSerialPorts() {
  portTable_.clear();
  portDevices_.clear();
  for (int i = 0; i < kRivetwarePortNames; ++i) {
    const auto name = registry_.GetString(PortKey(i, kPortNameValue));
    if (!name) continue;
    portTable_.push_back(name->substr(0, kPortNameChars));
    portDevices_.push_back(i);
  }
}

bool DriverLink::OpenRivetwareSerial(int index) {
  if (DeviceOpen()) {
    ShowMessage(frame_.Ui(), kHandleAlreadyOpen);
    return false;
  }
  FillRivetwareSerialPorts();
  int chosen = -1;
  int device = 0;
  if (index < 0) {
    if (portTable_.size() > 1) {
      const auto pick = frame_.Ui().ChooseFromList(kChoosePortTitle, portTable_);
      if (!pick || *pick >= portTable_.size()) return false;
      chosen = static_cast<int>(*pick);
    } else if (!portTable_.empty()) {
      chosen = 0;
    }
    if (chosen >= 0) device = portDevices_[static_cast<std::size_t>(chosen)];
  } else {
    device = index;
    const auto at = std::find(portDevices_.begin(), portDevices_.end(), index);
    if (at != portDevices_.end()) chosen = static_cast<int>(at - portDevices_.begin());
  }
  chosenPort_ = chosen;

  if (!rivetware_.Open(RivetwareDriverDeviceName(device))) return false;
  kind_ = Kind::kRivetwareSerial;
  openIndex_ = device;
  auto fail = [this] {
    StopReader();
    rivetware_.Close();
    kind_ = Kind::kNone;
    return false;
  };
  const DriverResult check = rivetware_.Request(kCheck, {}, kCheckSize);
  if (!check.success || check.ByteCount() != kCheckSize) return fail();
  // A device that cannot say who it is is accepted; one that says it is a USB device is not.
  const DriverResult who = DeviceRequest(kWhoAreYou, {}, kWhoAreYouSize, true);
  if (who.success && (who.ByteCount() < 4 || Dword(who.bytes, 0) != kSerialRivetwareDevice)) return fail();

  StartReader(Kind::kRivetwareSerial);
  if (readers_ == Readers::kThreads)
    readerStarted_.Wait(kReaderStartWaitMs);
  else
    frame_.Loop().Sleep(kReaderStartWaitMs);
  if (!running_.load() || !active_.load()) return fail();

  frame_.driverDeviceName = chosen >= 0 ? portTable_[static_cast<std::size_t>(chosen)] : std::string();
  frame_.LinkKind = link::kRivetwareDriver;
  return true;
}

bool DriverLink::FillRivetwareUsbPorts(int index, int& device) {
  portTable_.clear();
  portDevices_.clear();
  disabledDevices_.clear();
  const std::string base = std::string(kRegistryBaseKey) + "\\";
  bool baseKey = false;
  for (const auto& [key, value] : registry_.Entries()) {
    if (StartsWithNoCase(key, base)) {
      baseKey = true;
      break;
    }
  }
  int count = 0;
  if (!baseKey) {
    for (int i = 0; i < kPortTableSize; ++i) {
      DriverDevice probe;
      if (!probe.Open(RivetwareDriverDeviceName(i))) break;
      probe.Close();
      ++count;
    }
  } else {
    const auto installed = registry_.GetDword(RegistryKey(kRegistryBaseKey, kInstalledValue));
    count = installed ? static_cast<int>(std::min<std::uint32_t>(*installed, kPortTableSize)) : 1;
  }
  for (int i = 0; i < count; ++i) {
    portTable_.push_back(std::to_string(i));
    portDevices_.push_back(i);
  }
  if (index >= 0) {
    device = index;
    chosenPort_ = index < count ? index : -1;
    return true;
  }
  if (count > 1) {
    const auto pick = frame_.Ui().ChooseFromList(kChoosePortTitle, portTable_);
    if (!pick || *pick >= portTable_.size()) return false;
    device = static_cast<int>(*pick);
    chosenPort_ = device;
    // The user's choice gives the other devices' controllers no pointer while this one is used.
    for (int i = 0; i < count; ++i)
      if (i != device) disabledDevices_.push_back(i);
    return true;
  }
  device = 0;
  chosenPort_ = count > 0 ? 0 : -1;
  return true;
}

void DriverLink::DisableOtherDevices(bool disable) {
  const std::uint32_t code = disable ? kMouseDisable : kMouseEnable;
  for (const int device : disabledDevices_) {
    DriverDevice other;
    if (!other.Open(RivetwareDriverDeviceName(device))) continue;
    if (const auto line = RequestLogLine(code, {})) Log(*line);
    Log(RequestResultLine(other.Request(code, {}, 0)));
    other.Close();
  }
  if (!disable) disabledDevices_.clear();
}

bool DriverLink::OpenRivetwareUsb(int index) {
  if (DeviceOpen()) {
    ShowMessage(frame_.Ui(), kHandleAlreadyOpen);
    return false;
  }
  int device = 0;
  if (!FillRivetwareUsbPorts(index, device)) return false;
  if (!rivetware_.Open(RivetwareDriverDeviceName(device))) {
    disabledDevices_.clear();
    return false;
  }
  kind_ = Kind::kRivetwareUsb;
  openIndex_ = device;
  auto fail = [this] {
    rivetware_.Close();
    kind_ = Kind::kNone;
    disabledDevices_.clear();
    return false;
  };
  DeviceRequest(kGetMStatus, {}, kMStatusShortSize, true);
  DriverResult serial = DeviceRequest(kReadSerialNumber, {}, kSerialNumberSize, true);
  if (!serial.success || serial.ByteCount() < kSerialNumberSize)
    serial = DeviceRequest(kReadMSerialNumber, {}, kSerialNumberSize, true);
  usbDeviceText_ = serial.success && serial.ByteCount() >= kSerialNumberSize
                       ? Format("USB%08x", static_cast<unsigned>(Dword(serial.bytes, 0)))
                       : std::string();
  const DriverResult who = DeviceRequest(kWhoAreYou, {}, kWhoAreYouSize, true);
  if (!who.success || who.ByteCount() < 4 || Dword(who.bytes, 0) != kUsbRivetwareDevice) return fail();
  const DriverResult version = DeviceRequest(kGetVersion, {}, kVersionRecordSize, true);
  if (!version.success || version.ByteCount() < kVersionMaxParamWrite + 2) return fail();
  if (Word(version.bytes, kVersionMaxParamWrite) == kBirchUsbMaxParamWrite)
    frame_.ControllerFeatures |= feature::kBirchFamily;
  const DriverResult topaz = DeviceRequest(kIsTopazDriver, {}, kWhoAreYouSize, true);
  newerUsbDriver_ = topaz.success && Word(topaz.bytes, 0) == kNewerUsbDriverMark;
  frame_.birch2UsbVariant = newerUsbDriver_;

  frame_.LinkKind = link::kRivetwareUsb;
  DeviceRequest(kMouseDisable, {}, 0, true);
  DisableOtherDevices(true);
  StartReader(Kind::kRivetwareUsb);
  return true;
}

void DriverLink::Purge() {
  for (int i = 0; i < kPurgeReads; ++i) {
    const DriverResult read = kx7_.Read(kMaxReadBytes, 0);
    if (!read.success || read.bytes.empty()) return;
  }
}

bool DriverLink::TakeDevice(std::uint32_t flag) {
  return kx7_.Request(kTakeDevice, Value32(flag), kTakeDeviceSize).success;
}

bool DriverLink::OpenKx7(int number) {
  if (DeviceOpen()) {
    ShowMessage(frame_.Ui(), kHandleAlreadyOpen);
    return false;
  }
  if (!kx7_.Open(Kx7DriverDeviceName(number))) return false;
  const Kx7Controller* chosen = ChosenKx7Controller();
  if (chosen != nullptr && chosen->number == number && !chosen->PortAvailable()) {
    // Another program holds that controller.
    kx7_.Close();
    return false;
  }
  kind_ = Kind::kKx7File;
  openIndex_ = number;
  Purge();
  StartReader(Kind::kKx7File);
  TakeDevice(kTakeDeviceOn);
  frame_.driverDeviceName = chosen != nullptr && chosen->number == number ? chosen->portName : std::string();
  frame_.LinkKind = link::kDriverFile;
  return true;
}

bool DriverLink::OpenKxUsb(int number) {
  if (DeviceOpen()) {
    ShowMessage(frame_.Ui(), kHandleAlreadyOpen);
    return false;
  }
  Log(kCheckingKx7);
  if (!kx7_.Open(Kx7DriverDeviceName(number))) return false;
  Log(kTryingToOpenKx7);
  kind_ = Kind::kKxUsb;
  openIndex_ = number;
  frame_.LinkKind = link::kKxUsb;
  multiReportMode_ = false;
  if (frame_.ControllerType == type::kBirchUsb) {
    const DriverResult status = TranslatedRequest(kGetMStatus, {}, kMStatusRecordSize, true);
    if (!status.success || status.ByteCount() <= kMStatusMode) {
      kx7_.Close();
      kind_ = Kind::kNone;
      frame_.LinkKind = link::kClosed;
      return false;
    }
    multiReportMode_ = status.bytes[kMStatusMode] == kMultiReportMode;
  }
  Purge();
  TakeDevice(kTakeDeviceOn);
  StartReader(Kind::kKxUsb);
  return true;
}

bool DriverLink::OpenKxHidDevice(int number) {
  if (DeviceOpen()) {
    ShowMessage(frame_.Ui(), kHandleAlreadyOpen);
    return false;
  }
  if (!kx7_.Open(Kx7DriverDeviceName(number))) return false;
  kind_ = Kind::kKxHid;
  openIndex_ = number;
  TakeDevice(kTakeDeviceOn);
  return true;
}

bool DriverLink::ConnectBirchUsbDirect() {
  frame_.ControllerType = type::kBirchUsb;
  frame_.ControllerFeatures = feature::kBirchFamily;
  if (OpenKxUsb(0)) return true;
  frame_.LinkKind = link::kClosed;
  frame_.ControllerType = type::kGeneric;
  frame_.ControllerFeatures = 0;
  ShowMessage(frame_.Ui(), kCouldntConnect);
  return false;
}

void DriverLink::Close(int linkKind) {
  if (closing_) return;
  closing_ = true;
  switch (linkKind) {
    case link::kRivetwareDriver:
      if (kind_ != Kind::kRivetwareSerial) break;
      StopReader();
      rivetware_.Close();
      kind_ = Kind::kNone;
      break;
    case link::kRivetwareUsb:
      if (kind_ != Kind::kRivetwareUsb) break;
      StopReader();
      DeviceRequest(kMouseEnable, {}, 0, true);
      rivetware_.Close();
      DisableOtherDevices(false);
      kind_ = Kind::kNone;
      frame_.birch2UsbVariant = false;
      if (frame_.listeners.IsActive(slot::kTerminal))
        frame_.Ui().Invalidate(frame_.listeners.Listener(slot::kTerminal));
      break;
    case link::kDriverFile:
    case link::kKxUsb:
      if (kind_ != (linkKind == link::kDriverFile ? Kind::kKx7File : Kind::kKxUsb)) break;
      StopReader();
      TakeDevice(kTakeDeviceOff);
      kx7_.Close();
      kind_ = Kind::kNone;
      break;
    case link::kKxHid:
      if (kind_ != Kind::kKxHid) break;
      TakeDevice(kTakeDeviceOff);
      kx7_.Close();
      kind_ = Kind::kNone;
      break;
    default:
      break;
  }
  closing_ = false;
}

// --- The KX7 controller list -------------------------------------------------------------------

int DriverLink::ListKx7Controllers() {
  kx7Controllers_.clear();
  chosenController_ = -1;
  DriverDevice probe;
  bool found = false;
  for (int n = kKx7FirstProbe; n <= kKx7LastProbe && !found; ++n) found = probe.Open(Kx7DriverDeviceName(n));
  if (!found) return 0;
  const DriverResult list = probe.Request(kListControllers, Value32(0), kListRecordSize);
  probe.Close();
  std::vector<std::uint16_t> numbers;
  if (list.success) {
    if (auto parsed = ParseListRecord(list.bytes)) numbers = std::move(*parsed);
  }
  Log(ListLogLine(static_cast<int>(numbers.size())));
  for (const std::uint16_t number : numbers) {
    Kx7Controller controller;
    controller.number = number;
    DriverDevice device;
    if (device.Open(Kx7DriverDeviceName(number))) {
      const Bytes input = Value32(number);
      const DriverResult first = device.Request(kControllerRecord, input, kKx7RecordSize);
      const DriverResult second = device.Request(kPortRecord, input, kKx7RecordSize);
      device.Close();
      const auto controllerRecord = first.success ? ParseKx7Record(first.bytes) : std::nullopt;
      const auto portRecord = second.success ? ParseKx7Record(second.bytes) : std::nullopt;
      if (controllerRecord && portRecord) controller.SetRecords(*controllerRecord, *portRecord);
    }
    kx7Controllers_.push_back(std::move(controller));
  }
  if (kx7Controllers_.empty()) return 0;
  std::size_t chosen = 0;
  if (kx7Controllers_.size() > 1) {
    std::vector<std::string> lines;
    for (const Kx7Controller& controller : kx7Controllers_) lines.push_back(controller.PickLine());
    const auto pick = frame_.Ui().ChooseFromList(kChooseControllerTitle, lines);
    if (!pick || *pick >= lines.size()) return -1;
    chosen = *pick;
  }
  chosenController_ = static_cast<int>(chosen);
  frame_.ControllerType = ControllerTypeFromDriverName(kx7Controllers_[chosen].typeName);
  return static_cast<int>(kx7Controllers_.size());
}

const Kx7Controller* DriverLink::ChosenKx7Controller() const {
  if (chosenController_ < 0 || static_cast<std::size_t>(chosenController_) >= kx7Controllers_.size()) return nullptr;
  return &kx7Controllers_[static_cast<std::size_t>(chosenController_)];
}

std::uint32_t DriverLink::ChosenKx7Type() const {
  const Kx7Controller* chosen = ChosenKx7Controller();
  return chosen != nullptr ? ControllerTypeFromDriverName(chosen->typeName) : type::kGeneric;
}

// --- Byte stream and pass-through --------------------------------------------------------------

void DriverLink::WriteBytes(const std::uint8_t* bytes, std::size_t count) {
  if (bytes == nullptr || count == 0) return;
  if (kind_ == Kind::kRivetwareSerial) {
    const std::span<const std::uint8_t> input(bytes, count);
    for (int attempt = 0; attempt < kRivetwareWriteTries; ++attempt) {
      const DriverResult result = rivetware_.Request(kWriteBytes, input, 0);
      if (result.success) return;
      if (IsGone(result.error)) {
        LinkLost();
        return;
      }
      frame_.Loop().Sleep(kRivetwareWriteGapMs);
    }
    return;
  }
  if (kind_ != Kind::kKx7File) return;
  std::unique_lock lock(streamMutex_, std::defer_lock);
  if (!lock.try_lock_for(std::chrono::milliseconds(kKx7MutexWaitMs))) return;
  std::size_t done = 0;
  for (int attempt = 0; attempt < kKx7WriteTries && done < count; ++attempt) {
    if (attempt > 0) frame_.Loop().Sleep(kKx7WriteGapMs);
    const DriverWriteResult written = kx7_.Write(std::span<const std::uint8_t>(bytes + done, count - done));
    if (written.success) {
      done += written.written;
    } else if (IsGone(written.error)) {
      lock.unlock();
      LinkLost();
      return;
    }
  }
}

void DriverLink::PassThroughSend(const std::uint8_t* bytes, std::size_t count) {
  if (bytes == nullptr) return;
  for (std::size_t at = 0; at < count; at += kPassThroughPiece) {
    const std::size_t piece = std::min(kPassThroughPiece, count - at);
    Bytes input =
        SetupBytes(kRequestTypeOut, kVendorPassThrough, kPassThroughData, 0, static_cast<std::uint16_t>(piece));
    input.insert(input.end(), bytes + at, bytes + at + piece);
    if (!Request(kGeneric, input, 0).success) return;
  }
}

bool DriverLink::EnterPassThrough(char target) {
  const std::uint16_t value = target == 'L' ? kPassThroughEnterL : kPassThroughEnterD;
  return Request(kGeneric, SetupBytes(kRequestTypeOut, kVendorPassThrough, value, 0, 0), 0).success;
}

void DriverLink::ExitPassThrough() {
  Request(kGeneric, SetupBytes(kRequestTypeOut, kVendorPassThrough, kPassThroughLeave, 0, 0), 0);
}

// --- Readers -----------------------------------------------------------------------------------

bool DriverLink::RegisterClient() { return rivetware_.Request(kRegisterClient, ClientName(), 0).success; }

void DriverLink::StartReader(Kind kind) {
  StopReader();
  readerKind_ = kind;
  lostPosted_ = false;
  stop_.Reset();
  readerStarted_.Reset();
  pending_.reset();
  nextUsbPollAt_ = 0;
  running_ = true;
  if (readers_ == Readers::kThreads) {
    reader_ = std::thread([this] { ReaderThread(); });
    return;
  }
  active_ = kind == Kind::kRivetwareSerial ? RegisterClient() : true;
  if (!active_) running_ = false;
}

void DriverLink::StopReader() {
  running_ = false;
  stop_.Set();
  if (reader_.joinable()) {
    reader_.join();
  } else if (readerKind_ == Kind::kRivetwareSerial && active_.load()) {
    rivetware_.Request(kUnregisterClient, {}, 0);
  }
  active_ = false;
  readerKind_ = Kind::kNone;
  pending_.reset();
  stop_.Reset();
}

void DriverLink::ReaderThread() {
  if (readerKind_ == Kind::kRivetwareSerial) {
    const bool registered = RegisterClient();
    active_ = registered;
    if (!registered) running_ = false;
    readerStarted_.Set();
    if (!registered) return;
  } else {
    active_ = true;
    readerStarted_.Set();
  }
  while (running_.load() && !stop_.IsSet()) ReaderPass(false);
  if (readerKind_ == Kind::kRivetwareSerial) rivetware_.Request(kUnregisterClient, {}, 0);
  active_ = false;
}

bool DriverLink::PollOnce() {
  if (readers_ != Readers::kPolled || !running_.load()) return false;
  if (pending_) {
    const auto block = std::move(*pending_);
    pending_.reset();
    return Deliver(block.first, block.second, true);
  }
  return ReaderPass(true);
}

bool DriverLink::ReaderPass(bool polled) {
  switch (readerKind_) {
    case Kind::kRivetwareSerial:
      return PassRivetwareSerial(polled);
    case Kind::kKx7File:
      return PassKx7File(polled);
    case Kind::kRivetwareUsb:
    case Kind::kKxUsb:
      return PassUsbStream(polled);
    default:
      if (!polled) stop_.Wait(kReaderIdleMs);
      return false;
  }
}

bool DriverLink::Deliver(const Bytes& bytes, bool packet, bool polled) {
  const DeliveryKind kind = packet ? DeliveryKind::kPacket : DeliveryKind::kBytes;
  if (!polled) {
    DeliverToFrame(frame_, bytes.data(), bytes.size(), kind, stop_);
    return true;
  }
  if (TryDeliverToFrame(frame_, bytes.data(), bytes.size(), kind) == Delivery::kStopped) {
    // The frame has not taken the last block yet; it goes first on the next pass.
    pending_.emplace(bytes, packet);
    return false;
  }
  return true;
}

void DriverLink::ReaderLostDevice() {
  running_ = false;
  if (readers_ == Readers::kPolled) {
    LinkLost();
    return;
  }
  if (!lostPosted_.exchange(true)) frame_.PostToFrame(msg::kCloseLinkRequest, 0, 0);
}

bool DriverLink::PassRivetwareSerial(bool polled) {
  const DriverResult read = rivetware_.Request(kReadBytes, {}, kMaxReadBytes);
  if (!read.success && IsGone(read.error)) {
    ReaderLostDevice();
    return true;
  }
  if (!read.success || read.bytes.empty() || frame_.linkFlags.discardInput.load() != 0) {
    if (!polled) stop_.Wait(kReaderIdleMs);
    return false;
  }
  return Deliver(read.bytes, false, polled);
}

bool DriverLink::PassKx7File(bool polled) {
  std::unique_lock lock(streamMutex_, std::defer_lock);
  if (polled) {
    if (!lock.try_lock()) return false;
  } else {
    while (!lock.try_lock_for(std::chrono::milliseconds(kKx7ReadGapMs)))
      if (!running_.load() || stop_.IsSet()) return false;
  }
  Bytes got;
  bool gone = false;
  // A polled reader reads once a pass; the loop's clock passes between passes.
  const int tries = polled ? 1 : kKx7ReadTries;
  for (int attempt = 0; attempt < tries; ++attempt) {
    if (attempt > 0 && stop_.Wait(kKx7ReadGapMs)) break;
    DriverResult read = kx7_.Read(kMaxReadBytes, 0);
    if (!read.success) {
      gone = IsGone(read.error);
      break;
    }
    if (!read.bytes.empty()) {
      got = std::move(read.bytes);
      break;
    }
  }
  lock.unlock();
  if (gone) {
    ReaderLostDevice();
    return true;
  }
  if (got.empty()) {
    if (!polled) stop_.Wait(kReaderIdleMs);
    return false;
  }
  if (frame_.linkFlags.discardInput.load() != 0) return true;
  return Deliver(got, false, polled);
}

bool DriverLink::PassUsbStream(bool polled) {
  const bool rvusb = readerKind_ == Kind::kRivetwareUsb;
  if (polled && rvusb && frame_.Loop().Now() < nextUsbPollAt_) return false;
  const Bytes setup = SetupBytes(kRequestTypeIn, kVendorPassThrough, kPassThroughData, 0,
                                 static_cast<std::uint16_t>(kStreamAnswerSize));
  DriverResult answer;
  if (rvusb) {
    answer = rivetware_.Request(kGeneric, setup, kStreamAnswerSize);
  } else {
    std::unique_lock lock(requestMutex_, std::defer_lock);
    if (polled) {
      if (!lock.try_lock()) return false;
    } else {
      while (!lock.try_lock_for(std::chrono::milliseconds(kUsbReadWaitMs)))
        if (!running_.load() || stop_.IsSet()) return false;
    }
    const DriverWriteResult sent = kx7_.Write(setup);
    if (!sent.success) {
      answer = DriverResult::Failed(sent.error);
    } else {
      // One answer a request: wait for it a little, read it whole.
      answer = kx7_.Read(kStreamAnswerSize, polled ? 0 : kUsbReadWaitMs);
    }
  }
  if (!answer.success && IsGone(answer.error)) {
    ReaderLostDevice();
    return true;
  }
  // The answer: a kind byte, a count byte and the count bytes. Anything that does not read that
  // way is dropped whole.
  const Bytes& a = answer.bytes;
  bool delivered = false;
  bool did = false;
  if (answer.success && a.size() >= kStreamHeaderSize) {
    const std::size_t count = a[1];
    if (count > 0 && count <= kStreamDataMax && kStreamHeaderSize + count <= a.size() &&
        (a[0] == kStreamBytes || a[0] == kStreamReport)) {
      const Bytes data(a.begin() + kStreamHeaderSize,
                       a.begin() + static_cast<std::ptrdiff_t>(kStreamHeaderSize + count));
      did = true;
      delivered = Deliver(data, a[0] == kStreamReport, polled);
    }
  }
  if (!did) {
    const int idle = rvusb ? kUsbReaderIdleMs : kReaderIdleMs;
    if (polled)
      nextUsbPollAt_ = frame_.Loop().Now() + static_cast<std::uint64_t>(idle);
    else
      stop_.Wait(static_cast<std::uint32_t>(idle));
    return false;
  }
  return delivered;
}

// --- Blocks ------------------------------------------------------------------------------------

bool DriverLink::ReadStatusLetter(int number) {
  lastBlockStatus_ = 0;
  if (number < 1 || number > kLastStatusBlock) return false;
  const DriverResult version = Request(kGetVersion, {}, kVersionRecordSize);
  const std::size_t at = kVersionBlockStatus + static_cast<std::size_t>(number - 1);
  if (!version.success || version.ByteCount() <= at) return false;
  lastBlockStatus_ = static_cast<char>(version.bytes[at]);
  return true;
}

bool DriverLink::ReadBlock(int number, std::vector<std::uint8_t>& block) {
  auto read = [&](std::uint32_t code, const Bytes& input, std::size_t capacity,
                  std::size_t length) -> std::optional<Bytes> {
    const DriverResult result = Request(code, input, capacity);
    if (!result.success || result.ByteCount() < length) return std::nullopt;
    return Bytes(result.bytes.begin(), result.bytes.begin() + static_cast<std::ptrdiff_t>(length));
  };
  std::optional<Bytes> data;
  switch (number) {
    case 1:
    case 2: {
      const std::uint16_t length = number == 1 ? kBlock1Length : kBlock2Length;
      data =
          read(kReadControllerNovram, BlockHeader(static_cast<std::uint16_t>(number), length), kNovramReadSize, length);
      break;
    }
    case 3:
      data = read(kReadStrays, BlockHeader(3, kStraysLength), kStraysReadSize, kStraysLength);
      break;
    case 4:
      data = read(kReadCableNovram, BlockHeader(4, kBlock4Length), kNovramReadSize, kBlock4Length);
      break;
    case 5:
      data = read(kReadSerialNumber, {}, kSerialNumberSize, kSerialNumberSize);
      // The newer controllers behind the RVUSB driver keep the number elsewhere.
      if (!data && kind_ == Kind::kRivetwareUsb)
        data = read(kReadMSerialNumber, {}, kSerialNumberSize, kSerialNumberSize);
      break;
    case 6:
      data = read(kEepromRead, MemoryHeader(kBlock6Memory, 0, kBlock6Length), kBlock6Length, kBlock6Length);
      break;
    default:
      break;
  }
  if (!data) return false;
  block = std::move(*data);
  if (number <= kLastStatusBlock)
    ReadStatusLetter(number);
  else
    lastBlockStatus_ = 0;
  return true;
}

bool DriverLink::WriteBlock(int number, const std::vector<std::uint8_t>& block) {
  bool ok = false;
  auto novram = [&](std::uint32_t code, std::uint16_t blockNumber) {
    const std::size_t length = std::min(block.size(), kNovramWriteSize - kBlockHeaderSize);
    if (length == 0) return false;
    Bytes input = BlockHeader(blockNumber, static_cast<std::uint16_t>(length));
    input.insert(input.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length));
    input.resize(kNovramWriteSize, 0);
    return Request(code, input, 0).success;
  };
  switch (number) {
    case 1:
    case 2:
      ok = novram(kWriteControllerNovram, static_cast<std::uint16_t>(number));
      break;
    case 4:
      ok = novram(kWriteCableNovram, 4);
      break;
    case 3: {
      const std::size_t length = std::min<std::size_t>(block.size(), kStraysLength);
      if (length == 0) break;
      Bytes input;
      Put16(input, 3);
      Put16(input, static_cast<std::uint16_t>(length));
      input.insert(input.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length));
      input.resize(kStraysWriteSize, 0);
      ok = Request(kWriteStrays, input, 0).success;
      break;
    }
    case 5:
      if (block.size() < kSerialNumberSize) break;
      ok = Request(kWriteSerialNumber, std::span<const std::uint8_t>(block.data(), kSerialNumberSize), 0).success;
      break;
    case 6: {
      if (block.size() < kBlock6Length) break;
      Bytes input = MemoryHeader(kBlock6Memory, 0, kBlock6Length);
      input.insert(input.end(), block.begin(), block.begin() + kBlock6Length);
      ok = Request(kEepromWrite, input, 0).success;
      break;
    }
    default:
      break;
  }
  return ok;
}

// --- Settings of the driver ----------------------------------------------------------------------

bool DriverLink::ChangeBaudRate(std::uint32_t baud) {
  const int link = frame_.LinkKind;
  if (link != link::kRivetwareDriver && link != link::kRivetwareUsb) return false;
  if (frame_.settings.Options.SkipDriverSetup != 0) return true;
  const int index = openIndex_;
  registry_.SetDword(PortKey(index, kBaudrateValue), baud);
  registry_.Save();
  const std::uint32_t type = frame_.ControllerType;
  const std::uint32_t features = frame_.ControllerFeatures;
  bool reopened = false;
  if (link == link::kRivetwareUsb) {
    if (!Request(kUpdateParam, {}, 0).success) {
      ShowMessage(frame_.Ui(), kCantDisconnectUsbDriver);
      return false;
    }
    Close(link::kRivetwareUsb);
    frame_.LinkKind = link::kClosed;
    frame_.Loop().Sleep(kBaudReopenMs);
    reopened = OpenRivetwareUsb(index);
  } else {
    Request(kRereadBaudrate, {}, 0);
    Close(link::kRivetwareDriver);
    frame_.LinkKind = link::kClosed;
    frame_.Loop().Sleep(kBaudReopenMs);
    reopened = OpenRivetwareSerial(index);
  }
  if (!reopened) {
    frame_.LinkKind = link::kClosed;
    frame_.ControllerType = type::kGeneric;
    frame_.ControllerFeatures = 0;
    return false;
  }
  frame_.ControllerType = type;
  frame_.ControllerFeatures = features;
  return true;
}

bool DriverLink::PollStatus(int gapMs) {
  for (int poll = 0; poll < kStatusPolls; ++poll) {
    if (poll > 0 && gapMs > 0) frame_.Loop().Sleep(static_cast<std::uint32_t>(gapMs));
    const DriverResult status = Request(kGetStatus, {}, kStatusRecordSize);
    if (status.success) return true;
    if (kind_ == Kind::kNone) return false;  // the device went away
  }
  return false;
}

void DriverLink::SetPenMode(std::uint32_t penMode) {
  if (!IsUsbDriverLink(frame_.LinkKind)) return;
  const int gap = frame_.LinkKind == link::kRivetwareUsb ? kRvUsbStatusGapMs : 0;
  const std::uint8_t finger = penMode != kPenPen ? 1 : 0;
  const std::uint8_t pen = penMode != kPenFinger ? 1 : 0;
  Request(kSetFingerActive, std::span<const std::uint8_t>(&finger, 1), 0);
  if (!PollStatus(gap)) return;
  Request(kSetPenActive, std::span<const std::uint8_t>(&pen, 1), 0);
  PollStatus(gap);
}

}  // namespace kx7
