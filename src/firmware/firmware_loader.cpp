#include "firmware/firmware_loader.h"

#include <algorithm>
#include <cstdio>

#include "controller/controller_types.h"
#include "frame/frame_constants.h"
#include "proto/controller_protocol.h"
#include "proto/proto_constants.h"

namespace kx7::firmware {

namespace {

constexpr std::size_t kPageSizeReplyBytes = 6;
constexpr std::size_t kOkBytes = 3;

bool IsOk(const ReplyBytes& reply) {
  return reply.size() == kOkBytes && reply[0] == kSoh && reply[1] == '0' && reply[2] == kCr;
}

}  // namespace

FirmwareLoader::FirmwareLoader(CMainFrame& frame, ControllerProtocol& protocol) : LoaderDialog(frame, protocol) {}

bool FirmwareLoader::CanSend() const {
  return image_.has_value() && !Busy() && IsSerialLink(frame_.LinkKind);
}

bool FirmwareLoader::LoadImageFile(const std::string& path) {
  const bool loaded = !LoadInto(path, ImageProfile::kBin, image_);
  imageText_ = loaded ? image_->display : std::string();
  Changed();
  return loaded;
}

void FirmwareLoader::Start() {
  if (Busy()) return;
  if (Automatic() && !image_) {
    if (const std::optional<DownloadResult> failed = LoadInto(ImagePath(), ImageProfile::kBin, image_))
      return EndAutomatic(*failed, Message());
    imageText_ = image_->display;
  }
  if (!CanSend()) return;
  BeginRun();
  sent_ = 0;
  pageFill_ = 0;
  page_ = 0;
  pageSize_ = 0;
  SetProgress(0, image_->length);
  if ((frame_.ControllerFeatures & feature::kLarchMultitouch) == 0 && !EnterBootLoader())
    return Fail(text::kErrorPokeFrame);
  const std::optional<std::size_t> pageSize = ReadPageSize();
  if (!pageSize) return Fail(text::kErrorPokeFrame);
  pageSize_ = *pageSize;
  Post(message::kStep);
}

bool FirmwareLoader::EnterBootLoader() {
  CommandChannel& channel = protocol_.channel;
  channel.SendCommand("RE1");
  channel.SendByte(kCr);
  for (int ping = 0; ping < kBootLoaderPings; ++ping) {
    if (!Pause(kBootLoaderSettleMs)) return false;
    channel.ClearLink();
    channel.SendCommand("Z");
    if (IsOk(channel.Transact(kOkBytes, reply::kFixedLength))) return true;
  }
  return false;
}

std::optional<std::size_t> FirmwareLoader::ReadPageSize() {
  CommandChannel& channel = protocol_.channel;
  channel.SendCommand("PB");
  const ReplyBytes reply = channel.Transact(kPageSizeReplyBytes, reply::kFixedLength | reply::kShortWait);
  if (reply.size() != kPageSizeReplyBytes || reply[0] != kSoh || reply[5] != kCr) return std::nullopt;
  std::size_t size = 0;
  for (std::size_t i = 1; i < 5; ++i) {
    const char c = static_cast<char>(reply[i]);
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return std::nullopt;
    size = size * 16 + static_cast<std::size_t>(digit);
  }
  if (size == 0) return std::nullopt;
  return size;
}

bool FirmwareLoader::SendPiece(std::size_t offset, std::size_t count) {
  CommandChannel& channel = protocol_.channel;
  channel.SendCommand("PD");
  if (!channel.WaitOk()) return false;
  const std::span<const std::uint8_t> bytes = image_->Bytes().subspan(offset, count);
  std::string text = HexPairs(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  text += static_cast<char>(kCr);
  channel.SendBytes(text);
  return channel.WaitOk();
}

bool FirmwareLoader::CommitPage(std::size_t page) {
  CommandChannel& channel = protocol_.channel;
  channel.SendCommand("PE");
  if (!channel.WaitOk()) return false;
  char number[16];
  std::snprintf(number, sizeof number, "%04X\r", static_cast<unsigned>(page & 0xFFFF));
  channel.SendBytes(std::string(number));
  return channel.WaitOk();
}

void FirmwareLoader::OnStep() {
  if (Cancelled()) return Fail("", false);
  const std::size_t length = image_->length;
  if (sent_ < length) {
    const std::size_t count = std::min({kSerialPieceBytes, pageSize_ - pageFill_, length - sent_});
    if (!SendPiece(sent_, count)) return Fail(text::kErrorPokeFrame);
    sent_ += count;
    pageFill_ += count;
    CountSent(count);
    SetProgress(sent_, length);
    ShowStatus(BytesSentText(sent_, length));
  }
  // A full page, and the last partial one, is committed.
  if (pageFill_ == pageSize_ || (sent_ == length && pageFill_ > 0)) {
    if (!CommitPage(page_)) return Fail(text::kErrorPokeFrame);
    ++page_;
    pageFill_ = 0;
  }
  if (sent_ < length) return Post(message::kStep);
  Finish();
}

void FirmwareLoader::Finish() {
  if (reboot) protocol_.channel.SendCommand("RE3");
  Succeed();
}

}  // namespace kx7::firmware
