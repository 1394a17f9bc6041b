#include "link/hid/hid_link.h"

#include <algorithm>
#include <chrono>

#include "controller/controller_families.h"
#include "controller/controller_type_names.h"
#include "controller/controller_types.h"
#include "controller/usb_device_table.h"
#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "frame/main_frame.h"
#include "frame/messages.h"
#include "link/hid/hid_reports.h"

namespace kx7 {

namespace {

// The reader's pause after a pass that brought nothing (a fetch that failed, or a report without
// a touch): about a USB frame, so a device that answers at once is not polled in a busy loop.
constexpr auto kIdlePause = std::chrono::milliseconds(1);
// A find request after the tablet/HID mode switch: hide the window after, stop after the HID step.
constexpr std::uint32_t kModeSwitchFindFlags = 0x06;

// The products that expose several collections, of which only the controller's is taken.
bool CollectionRequired(std::uint16_t vendor, std::uint16_t product) {
  if (vendor == kVendorLarch) return true;
  return (product >= 0x0500 && product <= 0x05FF) || (product >= 0x0700 && product <= 0x07FF) || product == 0xC000;
}

bool Considered(std::uint16_t vendor, std::uint16_t product) {
  if (vendor == kVendorKx) return true;
  if (vendor != kVendorLarch) return false;
  const UsbDeviceEntry* entry = FindUsbDevice(vendor, product);
  return entry != nullptr && !entry->anyProduct();
}

// A pick-list line: the path up to its last '#' (Linux paths have none and stay whole).
std::string PathForList(const std::string& path) {
  const std::size_t hash = path.rfind('#');
  return hash == std::string::npos ? path : path.substr(0, hash);
}

}  // namespace

HidLink::HidLink(CMainFrame& frame) : frame_(frame) {}

HidLink::~HidLink() { CloseHid(); }

HidBackend& HidLink::Backend() const { return backend_ != nullptr ? *backend_ : DefaultHidBackend(); }

void HidLink::Log(const std::string& text) {
  if (!text.empty()) frame_.EchoToTerminal(text);
}

// --- Finding ---------------------------------------------------------------------------------

int HidLink::CountHidControllers() {
  CloseHid();
  candidates_.clear();
  // Windows lists a controller's interfaces and collections as paths ending in "&mi_01" or
  // "&col03"; hidapi on Linux gives the interface number and the usage page of each top-level
  // collection instead. The interface "&mi_01" is interface number 1, never taken; the collections
  // "&col03", "&col04" and "&col0b" of the products with several are their vendor-defined
  // collection (usage page 0xFF00 and up), the one that carries the feature reports.
  for (const HidDeviceInfo& info : Backend().Enumerate(0, 0)) {
    if (!Considered(info.vendor, info.product)) continue;
    if (info.featureReportLength == 0 || info.inputReportLength == 0) continue;
    const UsbDeviceEntry* entry = FindUsbDevice(info.vendor, info.product);
    if (entry == nullptr || entry->anyProduct()) continue;
    if (!AcceptsHidInterface(info, CollectionRequired(info.vendor, info.product))) continue;
    // The 33rd and later are left out: the pick list holds 32.
    if (candidates_.size() >= kMaxCandidates) break;
    candidates_.push_back({entry->type, info.interfaceNumber, info.vendor, info.product, info.path, info});
  }
  if (candidates_.size() < 2) return 0;

  std::vector<std::string> lines;
  std::vector<bool> locked;
  for (const HidCandidate& candidate : candidates_) {
    SystemLock probe(lockDirectory_);
    const bool free = probe.TryLock(candidate.path);
    locked.push_back(!free);
    lines.push_back(free ? std::string(ControllerTypeName(candidate.type)) + " " + PathForList(candidate.path)
                         : std::string(hid::text::kControllerLocked));
  }
  const std::optional<std::size_t> pick = frame_.Ui().ChooseFromList("HID Controllers", lines);
  if (!pick || *pick >= candidates_.size() || locked[*pick]) return -1;
  const HidCandidate& chosen = candidates_[*pick];
  frame_.ControllerType = chosen.type;
  if (!OpenHidByIndex(static_cast<int>(*pick))) return -1;
  return static_cast<int>(candidates_.size());
}

bool HidLink::OpenHidByIds(std::uint16_t vendor, std::uint16_t product) {
  CloseHid();
  for (const HidDeviceInfo& info : Backend().Enumerate(vendor, product)) {
    if (info.vendor != vendor || info.product != product) continue;
    if (info.featureReportLength == 0 || info.inputReportLength == 0) continue;
    if (!AcceptsHidInterface(info, CollectionRequired(vendor, product))) continue;
    return OpenInfo(info, -1);
  }
  return false;
}

bool HidLink::OpenTouchInput(std::uint16_t vendor, std::uint16_t product) {
  CloseHid();
  for (const HidDeviceInfo& info : Backend().Enumerate(vendor, 0)) {
    if (info.vendor != vendor || (product != 0 && info.product != product)) continue;
    if (IsSkippedHidInterface(info)) continue;
    // The system reads its touches; the link only asks the device what it is.
    const bool thread = readerThread_;
    readerThread_ = false;
    const bool opened = OpenInfo(info, -1);
    readerThread_ = thread;
    if (opened) run_ = false;
    return opened;
  }
  return false;
}

bool HidLink::OpenHidByIndex(int index) {
  CloseHid();
  if (index < 0 || index >= static_cast<int>(candidates_.size())) return false;
  return OpenInfo(candidates_[static_cast<std::size_t>(index)].info, index);
}

bool HidLink::OpenInfo(const HidDeviceInfo& info, int index) {
  // Every open takes the device's lock, so two copies never drive one controller, whether it was
  // picked from a list or opened by its ids.
  lock_ = SystemLock(lockDirectory_);
  if (!lock_.TryLock(info.path)) {
    Log(std::string(hid::text::kControllerLocked) + "\r");
    return false;
  }
  std::unique_ptr<HidHandle> handle = Backend().Open(info.path);
  if (!handle) {
    lock_.Unlock();
    return false;
  }
  path_ = info.path;
  vendor_ = info.vendor;
  product_ = info.product;
  inputLength_ = info.inputReportLength;
  listedProduct_ = info.productString;
  frame_.hidIndex = index;
  return Attach(std::move(handle), link::kHid);
}

bool HidLink::OpenHidThroughKx7(std::uint32_t type, std::unique_ptr<HidHandle> transport) {
  CloseHid();
  if (!transport) return false;
  inputLength_ = IsResistiveUsbType(type) ? hid::touch::kKxHidResistiveLength : hid::touch::kMultiContactLength;
  path_.clear();
  vendor_ = 0;
  product_ = 0;
  for (const UsbDeviceEntry& entry : UsbDeviceTable())
    if (entry.type == type && !entry.anyProduct()) {
      vendor_ = entry.vendor;
      product_ = entry.product;
      break;
    }
  frame_.hidIndex = -1;
  kxHid_ = true;
  return Attach(std::move(transport), link::kKxHid);
}

bool HidLink::Attach(std::unique_ptr<HidHandle> handle, int linkKind) {
  handle_ = std::move(handle);
  vanished_ = false;
  raw_ = false;
  birch2Stream_ = false;
  frame_.passThrough = false;
  frame_.LinkKind = linkKind;
  RefreshReaderState();
  StartReader();
  return true;
}

void HidLink::CloseHid() {
  // The reader may wait for the request mutex: give it back before waiting for the reader.
  run_ = false;
  stop_.Set();
  ReleaseRequestMutex();
  StopReader();
  if (handle_) handle_->Close();
  handle_.reset();
  lock_.Unlock();
  path_.clear();
  vendor_ = product_ = 0;
  inputLength_ = 0;
  listedProduct_.clear();
  raw_ = false;
  birch2Stream_ = false;
  passThrough_ = false;
  kxHid_ = false;
  lastRaw_.clear();
  frame_.hidIndex = -1;
}

bool HidLink::IsOpen() const { return handle_ != nullptr; }

bool HidLink::DevicePresent() const {
  if (handle_ == nullptr || !handle_->IsOpen() || vanished_.load()) return false;
  if (path_.empty()) return true;  // through the KX7 driver: the handle knows
  for (const HidDeviceInfo& info : Backend().Enumerate(vendor_, product_))
    if (info.path == path_) return true;
  return false;
}

// --- Requests --------------------------------------------------------------------------------

bool HidLink::TakeRequestMutex(std::uint32_t waitMs) {
  if (kept_) return true;
  if (!requestMutex_.try_lock_for(std::chrono::milliseconds(waitMs))) return false;
  kept_ = true;
  return true;
}

void HidLink::EndRequest(std::uint32_t flags) {
  if ((flags & hid::flag::kKeepMutex) == 0) ReleaseRequestMutex();
}

void HidLink::ReleaseRequestMutex() {
  if (!kept_) return;
  kept_ = false;
  requestMutex_.unlock();
}

bool HidLink::HidSetFeature(const HidReport& report, std::uint32_t flags) {
  bool sent = false;
  if (handle_ && !report.empty()) {
    RefreshReaderState();
    const std::uint32_t type = frame_.ControllerType;
    if (TakeRequestMutex(hid::kRequestMutexWaitMs)) {
      const bool log = (flags & hid::flag::kNoLog) == 0;
      if (log) Log(hid::CommandLogText(type, report));
      sent = handle_->SetFeature(report);
      if (log && hid::CommandLogName(type, report)) Log(hid::SendResultText(sent, handle_->LastError()));
      if (sent && (flags & hid::flag::kPassThroughOn)) frame_.passThrough = true;
      if (flags & hid::flag::kPassThroughOff) frame_.passThrough = false;
      passThrough_ = frame_.passThrough;
      EndRequest(flags);
    }
  }
  if (flags & hid::flag::kClosesLink) {
    // The controller restarts: whatever it answered, the link is gone.
    ReleaseRequestMutex();
    frame_.passThrough = false;
    frame_.CloseLink();
    frame_.ControllerType = type::kGeneric;
  }
  return sent;
}

std::optional<HidReport> HidLink::HidGetFeature(std::uint8_t reportId, std::size_t length, std::uint32_t flags) {
  if (!handle_ || length == 0 || length > kMaxAnswer) return std::nullopt;
  RefreshReaderState();
  const std::uint32_t type = frame_.ControllerType;
  if (!TakeRequestMutex(hid::kRequestMutexWaitMs)) return std::nullopt;
  // Only an answer of the report asked for counts, cut to the longest the link keeps.
  std::optional<HidReport> got;
  if (std::optional<HidReport> fetched = handle_->GetFeature(reportId, length);
      fetched && !fetched->empty() && fetched->front() == reportId) {
    if (fetched->size() > kMaxAnswer) fetched->resize(kMaxAnswer);
    answer_ = *fetched;
    got = std::move(fetched);
  }
  if ((flags & hid::flag::kNoLog) == 0) {
    std::optional<hid::Bytes> shown;
    if (got) shown = hid::Bytes(*got);
    Log(hid::FetchLogText(type, reportId, shown));
  }
  EndRequest(flags);
  return got;
}

// --- Blocks ----------------------------------------------------------------------------------

bool HidLink::HidReadBlock(int block, std::vector<std::uint8_t>& data) {
  const std::uint32_t type = frame_.ControllerType;
  // A block without a letter in the record does not show the letter of the one before.
  lastBlockStatus_ = 0;
  const auto idReport = hid::AnswerFor(type, hid::Answer::kControllerId);
  if (!idReport) return false;
  const std::optional<HidReport> record = HidGetFeature(idReport->id, idReport->length);
  if (!record) return false;
  std::uint8_t model = 0;
  if (type == type::kBirch2Hid) {
    if (!hid::ParseBirch2IdentityRecord(*record)) return false;
  } else {
    const auto parsed = hid::ParseControllerIdRecord(type, *record);
    if (!parsed) return false;
    model = parsed->modelCode;
    if (const auto letter = hid::BlockStatusLetter(type, *parsed, block)) lastBlockStatus_ = *letter;
  }
  const std::optional<std::size_t> length = hid::HidBlockLength(type, block, model);
  if (!length) return false;

  if (type == type::kBirch2Hid) {
    const auto sub = hid::Birch2SubBlock(block);
    if (!sub || *length > hid::kParamDataMax) return false;
    if (!HidSetFeature(hid::Birch2SetParamIndex(*sub, 0, static_cast<std::uint8_t>(*length)), hid::flag::kKeepMutex)) {
      ReleaseRequestMutex();
      return false;
    }
    const auto answer = HidGetFeature(hid::answer::kBirch2Param, hid::kParamLength);
    if (!answer || answer->size() < hid::kDataOffset + *length) return false;
    data = hid::Birch2BlockFromController(block, hid::Bytes(answer->data() + hid::kDataOffset, *length));
    return true;
  }

  const bool big = *length == hid::kBigBlockData;
  if (!HidSetFeature(hid::SetParamIndex(static_cast<std::uint8_t>(block), 0, static_cast<std::uint16_t>(*length)),
                     hid::flag::kKeepMutex)) {
    ReleaseRequestMutex();
    return false;
  }
  const auto answer = big ? HidGetFeature(hid::answer::kBigBlock, hid::kBigBlockLength)
                          : HidGetFeature(hid::answer::kParam, hid::kParamLength);
  if (!answer || answer->size() < hid::kDataOffset + *length) return false;
  data.assign(answer->begin() + static_cast<std::ptrdiff_t>(hid::kDataOffset),
              answer->begin() + static_cast<std::ptrdiff_t>(hid::kDataOffset + *length));
  return true;
}

bool HidLink::HidWriteBlock(int block, const std::vector<std::uint8_t>& data) {
  const std::uint32_t type = frame_.ControllerType;
  if (data.empty()) return false;
  if (type == type::kBirch2Hid) {
    const auto sub = hid::Birch2SubBlock(block);
    if (!sub) return false;
    const std::vector<std::uint8_t> ordered = hid::Birch2BlockToController(block, data);
    const HidReport report = hid::Birch2SetParam(*sub, 0, ordered);
    return !report.empty() && HidSetFeature(report);
  }
  HidReport report;
  if (block == 8) {
    report = hid::SetBigBlock(data);
  } else if (block == 9 || block == 10) {
    report = hid::SetParam(static_cast<std::uint8_t>(block), hid::Bytes(data.data(), 1));
  } else {
    // The caller's block goes whole (a Larch block 6 is 26 or 64 bytes by model); SET_PARAM takes
    // at most 64.
    const std::size_t n = std::min(data.size(), hid::kParamDataMax);
    report = hid::SetParam(static_cast<std::uint8_t>(block), hid::Bytes(data.data(), n));
  }
  if (report.empty()) return false;
  const bool polls = IsMapleOrLarchUsb(type);
  if (!HidSetFeature(report, polls ? hid::flag::kKeepMutex : 0)) {
    ReleaseRequestMutex();
    return false;
  }
  if (!polls) return true;
  const bool done = PollWriteStatus();
  ReleaseRequestMutex();
  return done;
}

// After a write Maple and Larch say in the status record when the data is stored: byte 2 turns 3
// (done) or 0 (refused); the polls keep the request mutex so the reader cannot come between.
bool HidLink::PollWriteStatus() {
  for (int poll = 0; poll < hid::kWriteStatusPolls; ++poll) {
    frame_.Loop().Sleep(hid::kWriteStatusPollMs);
    const auto status = HidGetFeature(hid::answer::kStatus, hid::kStatusLength, hid::flag::kKeepMutex);
    if (!DevicePresent()) return false;
    if (!status || status->size() < 3) continue;
    const std::uint8_t state = (*status)[2];
    if (state == hid::kStateDone) return true;
    if (state == hid::kStateRefused) return false;
  }
  return false;
}

// --- Modes and pass-through ------------------------------------------------------------------

bool HidLink::SetAsyncMode(std::uint8_t mode, std::uint32_t flags) {
  const HidReport report = hid::AsyncEnable(frame_.ControllerType, mode);
  if (report.empty()) return false;
  if (!HidSetFeature(report, flags)) return false;
  raw_ = mode == 4 || mode == 12;
  return true;
}

bool HidLink::SetBirch2Stream(std::uint8_t mode, std::uint8_t subMode) {
  const bool sent = HidSetFeature(hid::Birch2AsyncEnable(mode, subMode));
  birch2Stream_ = sent && mode != 0;
  return sent;
}

bool HidLink::EnterPassThrough(char target) {
  if (frame_.passThrough) return true;
  return SetAsyncMode(target == 'L' ? 9 : 8, hid::flag::kPassThroughOn);
}

void HidLink::ExitPassThrough() {
  if (!frame_.passThrough) return;
  SetAsyncMode(10, hid::flag::kPassThroughOff);
  frame_.passThrough = false;
  passThrough_ = false;
}

void HidLink::SendPassThrough(const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) return;
  for (const HidReport& piece : hid::PassThroughPieces(hid::Bytes(bytes, count)))
    if (!HidSetFeature(piece)) return;
}

void HidLink::SendByte(std::uint8_t byte) { HidSetFeature(hid::PassThroughByte(byte)); }

void HidLink::SwitchMode(bool hidMode) {
  HidSetFeature(hid::ModeSwitch(hidMode));
  frame_.CloseLink();
  frame_.Post(msg::kConnect, kModeSwitchFindFlags, 1);
}

std::optional<std::string> HidLink::HidSerialNumber() {
  if (!handle_) return std::nullopt;
  Log(hid::text::kGetSerialNumber);
  std::optional<std::string> serial;
  if (TakeRequestMutex(hid::kRequestMutexWaitMs)) {
    serial = handle_->SerialString();
    ReleaseRequestMutex();
  }
  if (!serial) Log(hid::text::kGetSerialNumberFailed);
  if (serial && serial->size() > kMaxSerialText) serial->resize(kMaxSerialText);
  return serial;
}

std::optional<std::string> HidLink::ProductString() {
  if (!handle_) return std::nullopt;
  std::optional<std::string> product;
  if (TakeRequestMutex(hid::kRequestMutexWaitMs)) {
    product = handle_->ProductString();
    ReleaseRequestMutex();
  }
  if (!product && !listedProduct_.empty()) product = listedProduct_;
  return product;
}

// --- Reader ----------------------------------------------------------------------------------

void HidLink::RefreshReaderState() {
  type_ = frame_.ControllerType;
  features_ = frame_.ControllerFeatures;
  passThrough_ = frame_.passThrough;
  hexDump_ = frame_.ReportFormat == cmd::kFormatHexDump;
  multiTouchMode_ = frame_.MultiTouchMode;
}

hid::ReaderState HidLink::State() const {
  hid::ReaderState state;
  state.type = type_;
  state.features = features_;
  state.multiTouchMode = multiTouchMode_;
  state.passThrough = passThrough_;
  state.raw = raw_;
  state.birch2Stream = birch2Stream_;
  state.hexDump = hexDump_;
  state.kxHid = kxHid_;
  state.inputReportLength = inputLength_;
  return state;
}

void HidLink::StartReader() {
  run_ = true;
  stop_.Reset();
  if (readerThread_) reader_ = std::thread([this] { ReaderLoop(); });
}

void HidLink::StopReader() {
  run_ = false;
  stop_.Set();
  if (reader_.joinable()) reader_.join();
}

void HidLink::ReaderLoop() {
  while (run_.load()) {
    if (!ReaderPass(false)) std::this_thread::sleep_for(kIdlePause);
  }
}

bool HidLink::PollOnce() {
  if (!run_.load() || readerThread_) return false;
  return ReaderPass(true);
}

bool HidLink::ReaderPass(bool onLoop) {
  const std::shared_ptr<HidHandle> handle = handle_;
  if (!handle) return false;
  // On the loop's own thread nothing may wait: not for the request mutex the same thread may
  // hold, not for the frame to take the last block.
  if (onLoop && (kept_ || !frame_.Buffer(port::kController).bufferFree.IsSet())) return false;
  if (onLoop) RefreshReaderState();
  if (onLoop ? !requestMutex_.try_lock() : !requestMutex_.try_lock_for(std::chrono::milliseconds(hid::kRequestMutexWaitMs)))
    return false;
  const hid::ReaderState state = State();
  hid::PollChoice choice = hid::ChoosePollReport(state);
  std::optional<HidReport> report = choice.length > 0 ? handle->GetFeature(choice.id, choice.length) : std::nullopt;
  if (!report && state.type == type::kBirch2Hid && choice.id == hid::touch::kBirch2StreamReport) {
    choice = hid::Birch2Fallback();
    report = handle->GetFeature(choice.id, choice.length);
  }
  requestMutex_.unlock();
  if (!report) {
    if (!handle->IsOpen() && !vanished_.exchange(true)) frame_.PostToFrame(msg::kCloseLinkRequest, 0, 0);
    return false;
  }
  hid::ReaderOutput out = hid::ConvertReport(state, *report);
  if (out.bytes.empty()) return false;
  // A raw report the same as the last one adds nothing to the hex dump or the packet listeners;
  // polling would otherwise repeat it a thousand times a second.
  if (state.hexDump != lastRawWasHexDump_) {
    lastRaw_.clear();
    lastRawWasHexDump_ = state.hexDump;
  }
  if (state.hexDump || out.kind == DeliveryKind::kPacket) {
    if (*report == lastRaw_) return false;
    lastRaw_ = *report;
  }
  const Delivery delivered = onLoop ? TryDeliverToFrame(frame_, out.bytes.data(), out.bytes.size(), out.kind)
                                    : DeliverToFrame(frame_, out.bytes.data(), out.bytes.size(), out.kind, stop_);
  return delivered == Delivery::kDelivered;
}

}  // namespace kx7
