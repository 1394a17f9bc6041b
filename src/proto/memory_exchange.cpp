#include "proto/memory_exchange.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "link/driver/driver_constants.h"
#include "link/hid/hid_constants.h"
#include "link/hid/hid_reports.h"
#include "proto/command_channel.h"
#include "proto/proto_constants.h"
#include "proto/usb_links.h"

namespace kx7 {

namespace {

// Digits of a data line: upper-case hexadecimal only.
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Hex(const char* pattern, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

bool ValidMemory(int memory) { return memory >= 0 && memory < memory::kCount; }

// The driver and HID requests carry a 16-bit address.
constexpr std::uint64_t kLinkAddressSpace = 0x10000;

// The controller took the line: SOH "0" CR.
bool IsAcknowledgement(const std::string& line) {
  return line.size() >= 3 && static_cast<std::uint8_t>(line[0]) == kSoh && line[1] == '0' &&
         static_cast<std::uint8_t>(line[2]) == kCr;
}

}  // namespace

MemoryExchange::MemoryExchange(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb)
    : MemoryExchange(frame, channel, usb, Variant{}) {}

MemoryExchange::MemoryExchange(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb, const Variant& variant)
    : frame_(frame), channel_(channel), usb_(usb), variant_(variant) {
  if (variant_.timerWindow == kNoWindow) variant_.timerWindow = frame_.Id();
  if (variant_.installInFrame) frame_.memoryExchange = this;
}

MemoryExchange::~MemoryExchange() {
  if (Running()) End();
  if (frame_.memoryExchange == this) frame_.memoryExchange = nullptr;
}

bool MemoryExchange::Running() const { return frame_.listeners.IsActive(variant_.slot); }

void MemoryExchange::StartGuard() { frame_.Loop().SetTimer(variant_.timerWindow, variant_.timerId, kMemoryExchangeMs); }
void MemoryExchange::StopGuard() { frame_.Loop().KillTimer(variant_.timerWindow, variant_.timerId); }

// --- Route -----------------------------------------------------------------------------------

MemoryExchange::Route MemoryExchange::ChooseRoute(int linkKind, std::uint32_t type, std::uint32_t features,
                                                  bool passThrough) {
  if (!IsUsbLink(linkKind)) return Route::kCommandSet;
  // In pass-through the command set is tunnelled to the second processor, which knows only it.
  if (passThrough) return Route::kCommandSet;
  if (IsBirchUsbType(type) && (features & feature::kHaptic) != 0)
    return Route::kCommandSet;
  if (IsRowanCedar(type)) return Route::kCommandSet;
  return type == type::kBirch2Hid ? Route::kBirch2Hid : Route::kDriver;
}

MemoryExchange::Route MemoryExchange::CurrentRoute() const {
  if (variant_.commandSetOnly) return Route::kCommandSet;
  return ChooseRoute(frame_.LinkKind, frame_.ControllerType, frame_.ControllerFeatures, frame_.passThrough);
}

// --- Operations ------------------------------------------------------------------------------

bool MemoryExchange::Read(bool words, int memory, std::uint32_t address, std::size_t count, WindowId notify,
                          MessageId message) {
  // The exchange cannot nest (a notified window may try): the running one keeps its values.
  if (Running()) return false;
  if (!ValidMemory(memory) || count > memory::kMaxValues) return false;
  values_.clear();
  if (count == 0) return true;
  const Route route = CurrentRoute();
  const bool ok = route == Route::kCommandSet ? StartCommandSet(false, words, memory, address, count, notify, message)
                                              : LinkRead(route, memory, address, count, notify, message);
  return ok && values_.size() == count;
}

bool MemoryExchange::ReadMemory(int memory, std::uint32_t address, std::size_t count, std::uint8_t* bytes,
                                WindowId notify, MessageId message) {
  if (!Read(false, memory, address, count, notify, message)) return false;
  if (bytes != nullptr)
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(values_[i] & 0xFF);
  return true;
}

bool MemoryExchange::ReadMemoryWords(int memory, std::uint32_t address, std::size_t count, std::uint16_t* words,
                                     WindowId notify, MessageId message) {
  if (!Read(true, memory, address, count, notify, message)) return false;
  if (words != nullptr) std::copy(values_.begin(), values_.end(), words);
  return true;
}

bool MemoryExchange::WriteMemory(int memory, std::uint32_t address, std::size_t count, const std::uint8_t* bytes,
                                 WindowId notify, MessageId message) {
  if (Running()) return false;
  if (!ValidMemory(memory) || count > memory::kMaxValues || (count > 0 && bytes == nullptr)) return false;
  if (count == 0) {
    values_.clear();
    return true;
  }
  const Route route = CurrentRoute();
  if (route == Route::kCommandSet && (Running() || channel_.ReplyBusy())) return false;
  values_.assign(bytes, bytes + count);
  return route == Route::kCommandSet ? StartCommandSet(true, false, memory, address, count, notify, message)
                                     : LinkWrite(route, memory, address, count, notify, message);
}

bool MemoryExchange::WriteMemoryWords(int memory, std::uint32_t address, std::size_t count, const std::uint16_t* words,
                                      WindowId notify, MessageId message) {
  if (Running()) return false;
  if (!ValidMemory(memory) || count > memory::kMaxValues || (count > 0 && words == nullptr)) return false;
  if (count == 0) {
    values_.clear();
    return true;
  }
  if (Running() || channel_.ReplyBusy()) return false;
  values_.assign(words, words + count);
  return StartCommandSet(true, true, memory, address, count, notify, message);
}

// --- The command-set exchange ------------------------------------------------------------------

bool MemoryExchange::StartCommandSet(bool write, bool words, int memory, std::uint32_t address, std::size_t count,
                                     WindowId notify, MessageId message) {
  // It cannot nest, cannot run while a command reply is awaited, and would mix its lines with
  // the Block7 sheet's own exchange.
  if (frame_.listeners.IsActive(slot::kMemoryExchange) || frame_.listeners.IsActive(memory::kBlock7Slot) ||
      channel_.ReplyBusy())
    return false;
  if (frame_.LinkKind == link::kClosed) return false;
  if (frame_.closing) {
    frame_.Post(wm::kClose);
    return false;
  }
  lineBuffer_.clear();
  if (!write) {
    values_.clear();
    values_.reserve(count);
  }
  line_ = write ? memory::kWriteFirstLine : memory::kReadFirstLine;
  memory_ = memory;
  address_ = address;
  count_ = count;
  remaining_ = count;
  next_ = 0;
  request_ = requestLeft_ = requestMax_ = 0;
  words_ = words;
  write_ = write;
  failed_ = false;
  completed_ = false;
  notify_ = notify;
  message_ = message;

  frame_.SetListener(variant_.slot, variant_.listener);
  StartGuard();
  channel_.SendCommand(write ? memory::kWriteCommand : memory::kReadCommand);

  const bool running =
      frame_.Loop().RunUntil([this] { return !Running() || frame_.LinkKind == link::kClosed || frame_.closing; });
  if (!running || frame_.closing || Running()) {
    // The loop ended, the program is closing or the link closed under the exchange.
    End();
    if (frame_.closing) frame_.Post(wm::kClose);
    return false;
  }
  StopGuard();
  if (failed_) return false;
  // A write counts only when the controller closed its last request (or, for the speed word, when
  // the values went out); a read when every value arrived.
  return write ? completed_ && remaining_ == 0 : values_.size() == count_;
}

void MemoryExchange::OnByte(std::uint8_t byte) {
  if (!Running()) return;
  // A data line is kept only as far as the request can use it; other lines only their start
  // (their content is not used). So no line grows without bound.
  const std::size_t digits = words_ ? 4 : 2;
  const std::size_t room = line_ == memory::kReadDataLine ? memory::kDataStart + (digits + 1) * requestLeft_ : 16;
  if (lineBuffer_.size() < room) lineBuffer_.push_back(static_cast<char>(byte));
  if (byte == kCr) {
    OnLine();
    lineBuffer_.clear();
  }
}

void MemoryExchange::SendText(const std::string& text) {
  for (const char c : text) channel_.SendByte(static_cast<std::uint8_t>(c));
}

void MemoryExchange::Notify() {
  if (notify_ != kNoWindow && message_ != 0) frame_.Loop().Post(notify_, message_, address_, 0);
}

void MemoryExchange::End() {
  frame_.ClearListener(variant_.slot);
  StopGuard();
}

std::uint32_t MemoryExchange::ReadMaximum() const {
  if (variant_.readMaximum != 0) return variant_.readMaximum;
  const std::uint32_t type = frame_.ControllerType;
  if (IsRowanCedar(type))
    return type == type::kRowanGen3 || type == type::kRowanUsbGen3 ? memory::kRowanGen3MaxRead : memory::kRowanMaxRead;
  return words_ ? memory::kMaxReadWords : memory::kMaxReadBytes;
}

void MemoryExchange::BeginRequest() {
  const std::uint32_t maximum = write_ ? (words_ ? memory::kMaxWriteWords : memory::kMaxWriteBytes) : ReadMaximum();
  request_ = static_cast<std::uint32_t>(std::min<std::size_t>(maximum, remaining_));
  requestLeft_ = request_;
  requestMax_ = maximum;
}

void MemoryExchange::OnLine() {
  const int handled = line_++;
  switch (handled) {
    case memory::kReadMemoryLine:
    case memory::kWriteMemoryLine:
      SendText(std::string(1, memory::kCharacters[static_cast<std::size_t>(memory_)]) + "\r");
      break;
    case memory::kReadAddressLine:
    case memory::kWriteAddressLine:
      SendText(Hex(frame_.ControllerType == type::kLarch ? "%08X" : "%04X", address_) + "\r");
      break;
    case memory::kReadCountLine:
      BeginRequest();
      if (variant_.readMaximum == 0 && IsRowanCedar(frame_.ControllerType))
        SendText(Hex("%04X", request_ >> 16) + Hex("%04X", request_ & 0xFFFF) + "\r");
      else
        SendText(Hex("%02X", request_) + "\r");
      break;
    case memory::kWriteCountLine:
      BeginRequest();
      SendText(Hex("%02X", request_) + "\r");
      break;
    case memory::kWriteValuesLine: {
      std::string text;
      text.reserve(request_ * 4 + 1);
      for (std::uint32_t i = 0; i < request_ && next_ < values_.size(); ++i, ++next_)
        text += words_ ? Hex("%04X", values_[next_]) : Hex("%02X", values_[next_] & 0xFF);
      SendText(text + "\r");
      remaining_ -= request_;
      address_ += request_;
      // Poking the serial speed word changes the controller's speed: its closing line would come
      // at the new speed, so it is not awaited.
      if (memory_ == memory::kRamMemory && address_ - 1 == memory::kSpeedWordAddress) {
        completed_ = true;
        End();
      }
      break;
    }
    case memory::kReadDataLine:
      if (!OnDataLine()) {
        failed_ = true;
        End();
      }
      break;
    case memory::kReadClosingLine:
    case memory::kWriteClosingLine:
      StopGuard();
      Notify();
      if (write_ && !IsAcknowledgement(lineBuffer_)) {
        // The controller did not take the values (a refusal, or an answer that is no
        // acknowledgement: the values are not known to be stored).
        failed_ = true;
        End();
      } else if (remaining_ > 0) {
        StartGuard();
        line_ = write_ ? memory::kWriteFirstLine : memory::kReadFirstLine;
        channel_.SendCommand(write_ ? memory::kWriteCommand : memory::kReadCommand);
      } else {
        completed_ = true;
        End();
      }
      break;
    default:
      // The first lines and the header line: their content is the controller's own.
      break;
  }
}

bool MemoryExchange::OnDataLine() {
  const std::size_t digits = words_ ? 4 : 2;
  std::size_t at = memory::kDataStart;
  while (requestLeft_ > 0) {
    // The value and the character after it (CR or a separator) must be there.
    if (at + digits >= lineBuffer_.size()) return false;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const int digit = DigitValue(lineBuffer_[at + i]);
      if (digit < 0) return false;
      value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    if (values_.size() < count_) values_.push_back(static_cast<std::uint16_t>(value));
    ++address_;
    --requestLeft_;
    const bool lineEnds = static_cast<std::uint8_t>(lineBuffer_[at + digits]) == kCr;
    if (lineEnds && requestLeft_ > 0) {
      // The request goes on in the next line.
      --line_;
      return true;
    }
    if (requestMax_ > memory::kMaxReadBytes) {
      // Progress of a large read; the values keep the exchange alive.
      StartGuard();
      Notify();
    }
    at += digits + 1;
  }
  remaining_ -= std::min<std::size_t>(remaining_, request_);
  return true;
}

// --- The driver and Birch2 HID routes ----------------------------------------------------------

MemoryExchange::PieceResult MemoryExchange::ReadPiece(Route route, int memory, std::uint32_t address,
                                                      std::size_t count) {
  PieceResult piece;
  if (usb_ == nullptr || !ValidMemory(memory) || count == 0 || count > driver::kMaxMemoryCount ||
      address + static_cast<std::uint64_t>(count) > kLinkAddressSpace)
    return piece;
  const auto index = static_cast<std::size_t>(memory);
  if (route == Route::kDriver) {
    const std::array<std::uint8_t, driver::kMemoryHeaderSize> input = {memory::kDriverCodes[index],
                                                                       0,
                                                                       static_cast<std::uint8_t>(address & 0xFF),
                                                                       static_cast<std::uint8_t>(address >> 8),
                                                                       static_cast<std::uint8_t>(count & 0xFF),
                                                                       static_cast<std::uint8_t>(count >> 8)};
    DriverResult result = usb_->Driver().Request(driver::kEepromRead, input, count);
    piece.result = result.success ? 1 : 0;
    piece.bytes = std::move(result.bytes);
    piece.ok = result.success && piece.bytes.size() == count;
    return piece;
  }
  if (route != Route::kBirch2Hid) return piece;
  const HidReport select = hid::Birch2SetParamIndex(memory::kBirch2Codes[index], static_cast<std::uint16_t>(address),
                                                    static_cast<std::uint8_t>(count));
  if (select.empty() || !usb_->Hid().HidSetFeature(select)) return piece;
  const std::optional<HidReport> answer = usb_->Hid().HidGetFeature(hid::answer::kBirch2Param, hid::kParamLength);
  piece.result = answer ? 1 : 0;
  if (!answer) return piece;
  const std::size_t available = answer->size() > hid::kDataOffset ? answer->size() - hid::kDataOffset : 0;
  const std::size_t taken = std::min(available, count);
  piece.bytes.assign(answer->begin() + static_cast<std::ptrdiff_t>(std::min(answer->size(), hid::kDataOffset)),
                     answer->begin() + static_cast<std::ptrdiff_t>(std::min(answer->size(), hid::kDataOffset)) +
                         static_cast<std::ptrdiff_t>(taken));
  piece.ok = taken == count;
  return piece;
}

bool MemoryExchange::WritePiece(Route route, int memory, std::uint32_t address, std::span<const std::uint8_t> bytes) {
  if (usb_ == nullptr || !ValidMemory(memory) || bytes.empty() || bytes.size() > driver::kMaxMemoryCount ||
      address + static_cast<std::uint64_t>(bytes.size()) > kLinkAddressSpace)
    return false;
  const auto index = static_cast<std::size_t>(memory);
  if (route == Route::kDriver) {
    std::vector<std::uint8_t> input = {memory::kDriverCodes[index],
                                       0,
                                       static_cast<std::uint8_t>(address & 0xFF),
                                       static_cast<std::uint8_t>(address >> 8),
                                       static_cast<std::uint8_t>(bytes.size() & 0xFF),
                                       static_cast<std::uint8_t>(bytes.size() >> 8)};
    input.insert(input.end(), bytes.begin(), bytes.end());
    return usb_->Driver().Request(driver::kEepromWrite, input, 0).success;
  }
  if (route != Route::kBirch2Hid) return false;
  const HidReport report = hid::Birch2SetParam(memory::kBirch2Codes[index], static_cast<std::uint16_t>(address), bytes);
  return !report.empty() && usb_->Hid().HidSetFeature(report);
}

bool MemoryExchange::LinkRead(Route route, int memory, std::uint32_t address, std::size_t count, WindowId notify,
                              MessageId message) {
  notify_ = notify;
  message_ = message;
  address_ = address;
  values_.clear();
  bool ok = address + static_cast<std::uint64_t>(count) <= kLinkAddressSpace;
  for (std::size_t at = 0; ok && at < count; at += driver::kMaxMemoryCount) {
    const std::size_t piece = std::min(driver::kMaxMemoryCount, count - at);
    const PieceResult result = ReadPiece(route, memory, address_, piece);
    ok = result.ok;
    if (!ok) break;
    values_.insert(values_.end(), result.bytes.begin(), result.bytes.end());
    address_ += static_cast<std::uint32_t>(piece);
  }
  if (!ok) ShowMessage(frame_.Ui(), text::kErrorPeeking);
  StopGuard();
  Notify();
  return ok;
}

bool MemoryExchange::LinkWrite(Route route, int memory, std::uint32_t address, std::size_t count, WindowId notify,
                               MessageId message) {
  notify_ = notify;
  message_ = message;
  address_ = address;
  bool ok = address + static_cast<std::uint64_t>(count) <= kLinkAddressSpace;
  std::vector<std::uint8_t> piece;
  for (std::size_t at = 0; ok && at < count; at += driver::kMaxMemoryCount) {
    const std::size_t length = std::min(driver::kMaxMemoryCount, count - at);
    piece.clear();
    for (std::size_t i = 0; i < length; ++i) piece.push_back(static_cast<std::uint8_t>(values_[at + i] & 0xFF));
    ok = WritePiece(route, memory, address_, piece);
    if (ok) address_ += static_cast<std::uint32_t>(length);
  }
  if (!ok) ShowMessage(frame_.Ui(), text::kErrorPokeing);
  StopGuard();
  Notify();
  return ok;
}

}  // namespace kx7
