#include "proto/command_channel.h"

#include <algorithm>
#include <cstdio>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "link/serial/serial_settings.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c - 'a' + 10;
}

bool IsOk(const ReplyBytes& reply) { return reply.size() == 3 && reply[0] == kSoh && reply[1] == '0' && reply[2] == kCr; }

std::string Printf(const char* pattern, unsigned value) {
  char text[32];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

}  // namespace

CommandChannel::CommandChannel(CMainFrame& frame) : frame_(frame) {
  frame_.replyCollector = this;
  frame_.onReplyTimeout = [this] { OnReplyTimeOut(); };
  frame_.sendByte = [this](std::uint8_t byte) { SendByte(byte); };
  frame_.exitPassThrough = [this] { ExitPassThrough(); };
}

CommandChannel::~CommandChannel() {
  if (frame_.replyCollector == this) frame_.replyCollector = nullptr;
  frame_.onReplyTimeout = nullptr;
  frame_.sendByte = nullptr;
  frame_.exitPassThrough = nullptr;
}

// --- Sending ---------------------------------------------------------------------------------

void CommandChannel::SendCommand(const std::string& text) {
  std::string framed;
  framed.reserve(text.size() + 2);
  framed += static_cast<char>(kSoh);
  framed += text;
  framed += static_cast<char>(kCr);
  SendBytes(framed);
}

void CommandChannel::SendBytes(const std::string& bytes) {
  SendBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void CommandChannel::SendBytes(const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t at = 0; at < count; at += kSendPieceBytes) {
    const std::size_t piece = std::min(kSendPieceBytes, count - at);
    RoutePiece(bytes + at, piece);
    for (std::size_t i = 0; i < piece; ++i) frame_.EchoToTerminal(static_cast<char>(bytes[at + i]));
  }
}

bool CommandChannel::DriverPassThroughVariant() const {
  return IsDriverPassThroughBirchUsb(frame_.ControllerType, frame_.ControllerFeatures);
}


void CommandChannel::RoutePiece(const std::uint8_t* bytes, std::size_t count) {
  const int link = frame_.LinkKind;
  if (IsHidLink(link) && frame_.passThrough) {
    if (hidPassThroughSend) hidPassThroughSend(bytes, count);
    return;
  }
  if (DriverPassThroughVariant()) {
    if (driverPassThroughSend) driverPassThroughSend(bytes, count);
    return;
  }
  if (!IsSerialLink(link) && !IsDriverLink(link)) return;
  if (frame_.passThrough && IsSerialRowanCedar(frame_.ControllerType)) {
    // DLE is doubled so that DLE EOT stays the only way out of pass-through.
    std::vector<std::uint8_t> stuffed;
    stuffed.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
      stuffed.push_back(bytes[i]);
      if (bytes[i] == kDle) stuffed.push_back(kDle);
    }
    WriteToLink(stuffed.data(), stuffed.size());
    return;
  }
  WriteToLink(bytes, count);
}

void CommandChannel::WriteToLink(const std::uint8_t* bytes, std::size_t count) {
  const int link = frame_.LinkKind;
  if (IsDriverLink(link)) {
    if (driverWrite) driverWrite(bytes, count);
  } else if (IsSerialLink(link)) {
    frame_.serialPorts[port::kController]->Write(bytes, count);
  }
}

void CommandChannel::SendByte(std::uint8_t byte) {
  const int link = frame_.LinkKind;
  if (IsHidLink(link) && (frame_.passThrough || IsUsbRowanCedar(frame_.ControllerType))) {
    if (hidByteSend) hidByteSend(byte);
  } else if (DriverPassThroughVariant()) {
    if (driverPassThroughSend) driverPassThroughSend(&byte, 1);
  } else if (IsSerialLink(link) || IsDriverLink(link)) {
    WriteToLink(&byte, 1);
  }
  frame_.EchoToTerminal(static_cast<char>(byte));
}

// --- Replies ---------------------------------------------------------------------------------

bool CommandChannel::ReplyBusy() const { return frame_.listeners.IsActive(slot::kReplyCollector); }

void CommandChannel::BeginReply(WindowId notify, MessageId message, std::size_t expectedLength, std::uint32_t flags,
                                std::uint32_t extraMs) {
  if (frame_.closing) {
    frame_.Post(wm::kClose);
    return;
  }
  notifyWindow_ = notify;
  notifyMessage_ = message;
  collector_.Begin(expectedLength, flags);
  frame_.SetListener(slot::kReplyCollector, kNoWindow);
  frame_.SetTimer(timer::kReply, ReplyTimeOutMs(flags, IsSerialLink(frame_.LinkKind)) + extraMs);
}

void CommandChannel::OnByte(std::uint8_t byte) {
  if (!ReplyBusy()) return;
  if (collector_.OnByte(byte)) CompleteReply();
}

void CommandChannel::CompleteReply() {
  frame_.ClearListener(slot::kReplyCollector);
  frame_.KillTimer(timer::kReply);
  if (notifyWindow_ != kNoWindow) frame_.Loop().Post(notifyWindow_, notifyMessage_, notifyMessage_, 0);
}

void CommandChannel::OnReplyTimeOut() {
  frame_.KillTimer(timer::kReply);
  frame_.ClearListener(slot::kReplyCollector);
  if (progressWindow != kNoWindow) frame_.Loop().Post(progressWindow, wm::kClose);
  // The NUL ends a line reply with the CR it becomes, and tells an asynchronous waiter.
  collector_.OnTimeOut();
  if (notifyWindow_ != kNoWindow) frame_.Loop().Post(notifyWindow_, notifyMessage_, notifyMessage_, 0);
}

ReplyBytes CommandChannel::Transact(std::size_t expectedLength, std::uint32_t flags, std::uint32_t extraMs) {
  if (ReplyBusy()) return {};
  if (frame_.closing) {
    frame_.Post(wm::kClose);
    return {};
  }
  BeginReply(kNoWindow, 0, expectedLength, flags, extraMs);
  const bool running = frame_.Loop().RunUntil(
      [this] { return !ReplyBusy() || frame_.LinkKind == link::kClosed || frame_.closing; });
  if (!running || frame_.closing) {
    frame_.ClearListener(slot::kReplyCollector);
    frame_.KillTimer(timer::kReply);
    if (frame_.closing) frame_.Post(wm::kClose);
    return {};
  }
  if (ReplyBusy()) {
    // The link closed under the wait: what arrived is the reply, and no time-out follows.
    frame_.ClearListener(slot::kReplyCollector);
    frame_.KillTimer(timer::kReply);
  }
  return collector_.Reply();
}

bool CommandChannel::WaitOk() { return IsOk(Transact(3, reply::kLongWait)); }

void CommandChannel::ClearLink() {
  frame_.SetStatusText(pane::kMessage, text::kClearing);
  ReceiveBuffer& buffer = frame_.buffers[port::kController];
  auto release = [&] {
    buffer.count = 0;
    buffer.bufferFree.Set();
  };
  frame_.linkFlags.discardInput = 1;
  release();
  frame_.linkFlags.stopFanOut = 1;
  const bool serial = IsSerialLink(frame_.LinkKind);
  CSerialPort& port = *frame_.serialPorts[port::kController];
  if (serial) port.Purge();
  frame_.Loop().Sleep(kClearFirstPauseMs);
  if (serial) port.Purge();
  frame_.Loop().Sleep(kClearSecondPauseMs);
  release();
  frame_.linkFlags.discardInput = 0;
  frame_.SetStatusText(pane::kMessage, "");
  if (frame_.serialPorts[port::kScanner]->IsOpen()) frame_.serialPorts[port::kScanner]->Purge();
  if (frame_.serialPorts[port::kRobot]->IsOpen()) frame_.serialPorts[port::kRobot]->Purge();
}

// --- Blocks ----------------------------------------------------------------------------------

namespace {

// The command set names blocks 1 to 10 by one character, '0' + n.
constexpr int kFirstCommandSetBlock = 1;
constexpr int kLastCommandSetBlock = 10;
// The longest block of a number: the 512-byte ones, and 64 bytes for every other.
constexpr std::size_t kBigBlockBytes = 512;
constexpr std::size_t kSmallBlockMostBytes = 64;
// A block reply is SOH, the status, CR, two digits a byte, CR, SOH "0" CR.
constexpr std::size_t kBlockReplyFraming = 7;

std::size_t MostBlockBytes(int number) {
  return number == 8 || (number >= 81 && number <= 83) ? kBigBlockBytes : kSmallBlockMostBytes;
}

bool CommandSetBlock(int number) { return number >= kFirstCommandSetBlock && number <= kLastCommandSetBlock; }

}  // namespace

std::uint32_t CommandChannel::BlockWireMs(int number) const {
  if (!IsSerialLink(frame_.LinkKind)) return 0;
  SerialConfig config;
  if (!ApplySettingsString(frame_.serialPorts[port::kController]->Settings(), config) || config.baud <= 0) return 0;
  const std::uint64_t bitsPerCharacter = 1u + static_cast<unsigned>(config.dataBits) +
                                         (config.parity == SerialParity::kNone ? 0u : 1u) +
                                         static_cast<unsigned>(config.stopBits);
  const std::uint64_t characters = 2 * MostBlockBytes(number) + kBlockReplyFraming;
  const std::uint64_t baud = static_cast<std::uint64_t>(config.baud);
  return static_cast<std::uint32_t>((characters * bitsPerCharacter * 1000 + baud - 1) / baud);
}

bool CommandChannel::ReadBlock(int number) {
  std::vector<std::uint8_t> block;
  if (!ReadBlock(number, block)) return false;
  // A block without a slot (99, 101, 102) goes to a caller's buffer only.
  frame_.blocks.Store(number, std::move(block), lastBlockStatus_);
  return true;
}

bool CommandChannel::ReadBlock(int number, std::vector<std::uint8_t>& block) {
  const int link = frame_.LinkKind;
  bool ok = false;
  lastBlockStatus_ = 0;
  const bool commandSet = IsSerialLink(link) || IsDriverLink(link) || frame_.passThrough;
  if (commandSet) {
    ok = CommandSetBlock(number) && CommandSetReadBlock(number, block);
  } else if (IsHidLink(link) && IsRowanCedar(frame_.ControllerType) && number != 5 && number != 6) {
    // The USB Rowan/Cedar boards keep these blocks on the second processor.
    ok = CommandSetBlock(number) && PassThroughReadBlock(number, block);
  } else if (linkReadBlock) {
    ok = linkReadBlock(number, block);
    if (ok && linkBlockStatus) lastBlockStatus_ = linkBlockStatus();
  }
  if (!ok) ShowMessage(frame_.Ui(), text::kBlockReadFailed);
  return ok;
}

// Pass-through is left as it was found, whatever the exchange came to.
bool CommandChannel::PassThroughReadBlock(int number, std::vector<std::uint8_t>& block) {
  const bool wasOn = frame_.passThrough;
  if (!EnterPassThrough('D')) return false;
  const bool ok = CommandSetReadBlock(number, block);
  if (!wasOn) ExitPassThrough();
  return ok;
}

bool CommandChannel::PassThroughWriteBlock(int number, std::vector<std::uint8_t>& block, bool noWait) {
  const bool wasOn = frame_.passThrough;
  if (!EnterPassThrough('D')) return false;
  const bool ok = CommandSetWriteBlock(number, block, noWait);
  if (!wasOn) ExitPassThrough();
  return ok;
}

bool CommandChannel::CommandSetReadBlock(int number, std::vector<std::uint8_t>& block) {
  ClearLink();
  if (number == 5) {
    SendCommand("Q002");
    const ReplyBytes reply = Transact(10, 0);
    if (reply.size() != 10 || reply[0] != kSoh || reply[9] != kCr) return false;
    const auto bytes = ParseHexPairs(std::string(reply.begin() + 1, reply.begin() + 9));
    if (!bytes) return false;
    block = *bytes;
    return true;
  }
  for (const std::uint8_t byte : {kSoh, std::uint8_t('G'), std::uint8_t('P'), std::uint8_t('0' + number), kCr})
    SendByte(byte);
  // A 512-byte block takes over a second on the wire at 9600 baud: the wait allows for it.
  const ReplyBytes reply = Transact(2000, reply::kThreeLines, BlockWireMs(number));
  // SOH status CR data CR SOH "0" CR: the data is an even count of digits, so the whole is odd.
  if (reply.size() < 6 || reply.size() % 2 == 0) return false;
  if (reply[0] != kSoh || reply[2] != kCr) return false;
  const std::size_t end = reply.size();
  if (reply[end - 4] != kCr || reply[end - 3] != kSoh || reply[end - 2] != '0' || reply[end - 1] != kCr) return false;
  lastBlockStatus_ = static_cast<char>(reply[1]);
  const bool anyStatus = frame_.ControllerType == type::kGeneric || frame_.ControllerType == type::kHazel2d;
  if (!anyStatus && lastBlockStatus_ != 'A') return false;
  const auto bytes = ParseHexPairs(std::string(reply.begin() + 3, reply.end() - 4));
  if (!bytes) return false;
  std::vector<std::uint8_t> data = *bytes;
  if (number == 1 && IsRowanCedar(frame_.ControllerType) && !BlockChecksum(data, data.size())) return false;
  block = std::move(data);
  return true;
}

bool CommandChannel::WriteBlock(int number, bool noWait) {
  if (!BlockStore::SlotOf(number)) {
    ShowMessage(frame_.Ui(), text::kWriteFailed);
    return false;
  }
  return WriteBlock(number, frame_.blocks.Bytes(number), noWait);
}

bool CommandChannel::WriteBlock(int number, std::vector<std::uint8_t>& block, bool noWait) {
  const int link = frame_.LinkKind;
  if (number == 1 && IsRowanCedar(frame_.ControllerType)) BlockChecksum(block, block.size());
  bool ok = false;
  const bool commandSet = IsSerialLink(link) || IsDriverLink(link) || frame_.passThrough;
  if (block.empty()) {
    ok = false;
  } else if (commandSet) {
    ok = CommandSetBlock(number) && CommandSetWriteBlock(number, block, noWait);
  } else if (IsHidLink(link) && IsRowanCedar(frame_.ControllerType) && number != 5 && number != 6) {
    ok = CommandSetBlock(number) && PassThroughWriteBlock(number, block, noWait);
  } else if (linkWriteBlock) {
    ok = linkWriteBlock(number, block);
  }
  if (!ok) ShowMessage(frame_.Ui(), text::kWriteFailed);
  return ok;
}

bool CommandChannel::CommandSetWriteBlock(int number, std::vector<std::uint8_t>& block, bool noWait) {
  ClearLink();
  if (number == 5) {
    if (block.size() < 4) return false;
    SendCommand("W002");
    if (!WaitOk()) return false;
    for (const char digit : HexPairs(std::vector<std::uint8_t>(block.begin(), block.begin() + 4)))
      SendByte(static_cast<std::uint8_t>(digit));
    SendByte(kCr);
    return noWait || WaitOk();
  }
  for (const std::uint8_t byte : {kSoh, std::uint8_t('S'), std::uint8_t('P'), std::uint8_t('0' + number), kCr})
    SendByte(byte);
  const ReplyBytes reply = Transact(3, 0);
  if (reply.size() != 3 || reply[0] != kSoh || reply[2] != kCr) return false;
  SendBytes(HexPairs(block) + static_cast<char>(kCr));
  return noWait || WaitOk();
}

// --- Parameters ------------------------------------------------------------------------------

bool CommandChannel::WriteParameter(int number, std::uint32_t value, int width) {
  SendCommand(Printf("W%03u", static_cast<unsigned>(number)));
  if (!WaitOk()) return false;
  std::string text;
  switch (width) {
    case 8:
      text = Printf("%02X\r", value & 0xFFu);
      break;
    case 16:
      text = Printf("%04X\r", value & 0xFFFFu);
      break;
    case 32:
      text = Printf("%08X\r", value);
      break;
    default:
      text = Printf("%X\r", value);
      break;
  }
  SendBytes(text);
  return WaitOk();
}

std::optional<std::uint32_t> CommandChannel::QueryParameter(int number, std::size_t expectedLength) {
  SendCommand(Printf("Q%03u", static_cast<unsigned>(number)));
  const ReplyBytes reply = Transact(expectedLength, 0);
  if (reply.size() < 3 || reply[0] != kSoh || reply.back() != kCr || reply[1] == '?') return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 1; i + 1 < reply.size(); ++i) {
    const char c = static_cast<char>(reply[i]);
    if (!IsHexDigit(c) || i > 8) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(HexValue(c));
  }
  return value;
}

bool CommandChannel::WriteParameterText(int number, const std::string& valueText, bool& secondOk) {
  secondOk = false;
  SendCommand(Printf("W%03u", static_cast<unsigned>(number)));
  if (!WaitOk()) return false;
  SendBytes(valueText + static_cast<char>(kCr));
  secondOk = WaitOk();
  return true;
}

// --- Pass-through ----------------------------------------------------------------------------

bool CommandChannel::ReopenPort(const std::string& settings) {
  CSerialPort& port = *frame_.serialPorts[port::kController];
  frame_.settings.MainPortSettings = settings;
  port.ClosePort();
  port.SetSettings(settings);
  return port.OpenPort(frame_.LinkKind);
}

bool CommandChannel::EnterPassThrough(char target) {
  if (frame_.passThrough) return true;
  const int link = frame_.LinkKind;
  const std::string command = std::string("MP") + target;
  if (IsHidLink(link)) {
    if (!hidEnterPassThrough || !hidEnterPassThrough(target)) return false;
  } else if (DriverPassThroughVariant()) {
    if (!driverEnterPassThrough || !driverEnterPassThrough(target)) return false;
  } else if (IsSerialLink(link) && !frame_.startup.goSlow) {
    SendCommand(command);
    if (!WaitOk()) return false;
    rememberedSettings = frame_.settings.MainPortSettings;
    ReopenPort(kPassThroughPortSettings);
  } else if (IsSerialLink(link) || IsDriverLink(link)) {
    SendCommand(command + "9");
    if (!WaitOk()) return false;
  } else {
    return false;
  }
  frame_.passThrough = true;
  return true;
}

void CommandChannel::ExitPassThrough() {
  if (!frame_.passThrough) return;
  const int link = frame_.LinkKind;
  if (IsHidLink(link)) {
    frame_.passThrough = false;
    if (hidExitPassThrough) hidExitPassThrough();
  } else if (DriverPassThroughVariant()) {
    frame_.passThrough = false;
    if (driverExitPassThrough) driverExitPassThrough();
  } else if (IsSerialLink(link) || IsDriverLink(link)) {
    frame_.passThrough = false;
    const std::uint8_t end[2] = {kDle, kEot};
    WriteToLink(end, 2);
    frame_.EchoToTerminal(static_cast<char>(kDle));
    frame_.EchoToTerminal(static_cast<char>(kEot));
    if (IsSerialLink(link) && !frame_.startup.goSlow) ReopenPort(rememberedSettings);
  } else {
    frame_.passThrough = false;
  }
}

// --- Helpers ---------------------------------------------------------------------------------

bool BlockChecksum(std::vector<std::uint8_t>& block, std::size_t length) {
  length = std::min(length, block.size());
  if (length < 2) return false;
  const std::size_t words = (length - 2) / 2;
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < words; ++i)
    sum ^= static_cast<std::uint16_t>(block[2 * i] | (block[2 * i + 1] << 8));
  const std::size_t at = 2 * words;
  const std::uint16_t stored = static_cast<std::uint16_t>(block[at] | (block[at + 1] << 8));
  if (stored == sum) return true;
  block[at] = static_cast<std::uint8_t>(sum & 0xFF);
  block[at + 1] = static_cast<std::uint8_t>(sum >> 8);
  return false;
}

std::string HexPairs(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> ParseHexPairs(const std::string& text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    if (!IsHexDigit(text[i]) || !IsHexDigit(text[i + 1])) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(HexValue(text[i]) * 16 + HexValue(text[i + 1])));
  }
  return bytes;
}

}  // namespace kx7
