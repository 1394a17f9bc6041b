#include "params/rowan_default_params.h"

#include <cstdio>

#include "frame/frame_constants.h"
#include "params/file_buttons.h"
#include "params/param_file_io.h"
#include "params/params_constants.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {

constexpr std::size_t kUtReplyLength = 10;
constexpr std::size_t kUtStatusByte = 8;
constexpr std::uint8_t kInvalidParametersBit = 0x08;
// The file goes out 24 bytes (48 digits) at a time.
constexpr std::size_t kSendPieceFileBytes = 24;
constexpr std::uint32_t kLoaderSettleMs = 500;
constexpr std::uint8_t kLoaderGreeting = '.';
constexpr std::uint8_t kLoaderHello = 'F';
constexpr std::uint8_t kLoaderHelloAnswer = 0xC6;
constexpr std::uint8_t kClearHeader[8] = {0x00, 0xFF, 0x03, 0x00, 0x80, 0x00, 0x00, 0x00};
constexpr std::size_t kClearBytes = 128;
constexpr std::size_t kClearPiece = 56;
const std::string kDone = "Done...\x01" "0\r";

std::string Pair(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
  return text;
}

bool Is(const ReplyBytes& reply, const std::string& text) { return std::string(reply.begin(), reply.end()) == text; }

}  // namespace

RowanDefaultParams::RowanDefaultParams(CMainFrame& frame, ControllerProtocol& protocol)
    : frame_(frame), protocol_(protocol) {}

std::string RowanDefaultParams::PanelType() {
  CommandChannel& channel = protocol_.channel;
  channel.SendCommand("UT");
  const ReplyBytes reply = channel.Transact(8, 0);
  if (reply.size() != kUtReplyLength) return {};
  if ((reply[kUtStatusByte] & kInvalidParametersBit) != 0) return text::kInvalidPanel;
  return protocol_.identifier.PanelId();
}

void RowanDefaultParams::OnOpen() {
  CommandChannel& channel = protocol_.channel;
  const bool wasOn = frame_.passThrough;
  if (IsUsbLink(frame_.LinkKind) && !channel.EnterPassThrough('D')) return;
  existingPanelType = PanelType();
  if (!wasOn) channel.ExitPassThrough();
}

bool RowanDefaultParams::StartEnabled() const { return clearParams_ || (file_ && !newPanelType.empty()); }

void RowanDefaultParams::SetClearParams(bool on) { clearParams_ = on; }

void RowanDefaultParams::Browse() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kDefaultParam, "dat"}, false);
  if (!path) {
    closeRequested_ = true;
    return;
  }
  LoadFile(*path);
}

bool RowanDefaultParams::LoadFile(const std::string& path) {
  const std::optional<std::string> bytes = ReadParamFileOrSay(path, frame_.Ui(), kDefaultParamReadLimit);
  if (!bytes) return false;
  DefaultParamFile file = ReadDefaultParamFile(*bytes);
  for (const std::string& warning : file.warnings) ShowMessage(frame_.Ui(), warning);
  // A length field that does not lie within the file would send bytes that are not in it.
  if (!file.sendable) return false;
  newPanelType = file.panelType.value_or(std::string());
  filePath = path;
  file_ = std::move(file);
  return true;
}

void RowanDefaultParams::Start() {
  if (!StartEnabled()) return;
  if (clearParams_)
    ClearSequence();
  else if (file_)
    WriteFile(*file_);
  closeRequested_ = true;
}

RowanDefaultParams::WriteResult RowanDefaultParams::WriteFile(const DefaultParamFile& file, bool show) {
  WriteResult result;
  CommandChannel& channel = protocol_.channel;
  const bool hid = IsHidLink(frame_.LinkKind);
  const bool enteredPassThrough = hid && !frame_.passThrough;
  const auto finish = [&](const char* message) {
    if (enteredPassThrough) channel.ExitPassThrough();
    if (message != nullptr) {
      result.message = message;
      if (show) ShowMessage(frame_.Ui(), message);
    }
    return result;
  };
  if (!file.sendable) return finish(text::kFileLengthError);
  if (enteredPassThrough && !channel.EnterPassThrough('D')) return finish(text::kCantStartBlockWriteShort);

  channel.ClearLink();
  channel.SendCommand("SP2");
  const ReplyBytes start = channel.Transact(3, 0);
  if (start.size() != 3) return finish(text::kCantStartBlockWriteShort);
  if (start[1] != 'A') return finish(text::kCantStartBlockWrite);

  const std::vector<std::uint8_t> bytes = file.SentBytes();
  for (std::size_t at = 0; at < bytes.size(); at += kSendPieceFileBytes) {
    std::string piece;
    for (std::size_t i = at; i < bytes.size() && i < at + kSendPieceFileBytes; ++i) piece += Pair(bytes[i]);
    channel.SendBytes(piece);
  }
  for (const char c : Pair(file.xorWord & 0xFFu) + Pair(file.xorWord >> 8)) channel.SendByte(static_cast<std::uint8_t>(c));
  channel.SendByte(kCr);

  const ReplyBytes answer = channel.Transact(7, reply::kLongWait | reply::kTwoLines);
  // The controller refuses what it cannot take: nothing was written, whatever it reports later.
  if (answer.size() >= 3 && answer[0] == kSoh && answer[1] == '1' && answer[2] == kCr)
    return finish(text::kBlockWriteFailed);
  if (Is(answer, "\x01" "0\r\x01" "0\r")) {
    const ReplyBytes done = channel.Transact(4, reply::kLongWait);
    if (!Is(done, ".\x01" "0\r") && hid) return finish(text::kBlockWriteFailed);
  }
  result.written = true;

  channel.SendCommand("UT");
  const ReplyBytes ut = channel.Transact(8, 0);
  if (ut.size() != kUtReplyLength || (ut[kUtStatusByte] & kInvalidParametersBit) != 0)
    return finish(text::kBlockWriteFailed);
  const std::string panel = protocol_.identifier.PanelId();
  const std::string expected = file.panelType.value_or(std::string());
  if (panel.substr(0, kPanelTypeShown) != expected) return finish(text::kBlockWriteFailed);
  result.verified = true;
  return finish(nullptr);
}

bool RowanDefaultParams::Handshake(std::uint8_t send, std::uint8_t expected) {
  CommandChannel& channel = protocol_.channel;
  if (send != 0) channel.SendByte(send);
  const ReplyBytes reply = channel.Transact(1, reply::kRaw | reply::kLongWait);
  if (!reply.empty() && reply[0] == expected) return true;
  ShowMessage(frame_.Ui(), text::kHandshakeFailed);
  return false;
}

bool RowanDefaultParams::ClearSequence() {
  CommandChannel& channel = protocol_.channel;
  channel.ExitPassThrough();
  if (!channel.EnterPassThrough('L')) {
    ShowMessage(frame_.Ui(), text::kHandshakeFailed);
    return false;
  }
  if (IsSerialLink(frame_.LinkKind)) {
    frame_.Loop().Sleep(kLoaderSettleMs);
    channel.ClearLink();
  } else if (!Handshake(0, kLoaderGreeting)) {
    return false;
  }
  if (!Handshake(kLoaderHello, kLoaderHelloAnswer)) return false;
  std::vector<std::uint8_t> body(std::begin(kClearHeader), std::end(kClearHeader));
  channel.SendBytes(body.data(), body.size());
  const std::vector<std::uint8_t> zeros(kClearBytes, 0);
  for (std::size_t at = 0; at < zeros.size(); at += kClearPiece)
    channel.SendBytes(zeros.data() + at, std::min(kClearPiece, zeros.size() - at));
  std::uint16_t sum = 0;
  for (const std::uint8_t byte : kClearHeader) sum = static_cast<std::uint16_t>(sum + byte);
  channel.SendByte(static_cast<std::uint8_t>(sum & 0xFF));
  channel.SendByte(static_cast<std::uint8_t>(sum >> 8));
  const ReplyBytes done = channel.Transact(10, reply::kLongWait);
  if (!Is(done, kDone)) {
    ShowMessage(frame_.Ui(), text::kClearParamFailed);
    return false;
  }
  channel.SendCommand("UT");
  const ReplyBytes ut = channel.Transact(8, 0);
  if (ut.size() == kUtReplyLength && (ut[kUtStatusByte] & kInvalidParametersBit) == 0) {
    ShowMessage(frame_.Ui(), text::kClearParamFailed);
    return false;
  }
  return true;
}

}  // namespace kx7
