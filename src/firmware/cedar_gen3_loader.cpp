#include "firmware/cedar_gen3_loader.h"

#include <algorithm>
#include <string>

#include "frame/frame_constants.h"
#include "proto/controller_protocol.h"
#include "proto/proto_constants.h"

namespace kx7::firmware {

namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kAnswerBytes = 10;
constexpr const char* kDoneAnswer = "Done...";
constexpr std::uint8_t kHello = 'F';
constexpr std::uint8_t kHelloAnswer = 0xC6;



}  // namespace

std::vector<std::uint8_t> Gen3Stream(std::span<const std::uint8_t> image, Gen3Protocol protocol) {
  std::vector<std::uint8_t> stream;
  stream.reserve(image.size() + kHeaderBytes + 2);
  switch (protocol) {
    case Gen3Protocol::kStandard:
      stream.assign(image.begin(), image.end());
      break;
    case Gen3Protocol::kRamUtility: {
      std::uint8_t sum = 0;
      for (const std::uint8_t byte : image) sum = static_cast<std::uint8_t>(sum + byte);
      stream.push_back(sum);
      stream.insert(stream.end(), image.begin(), image.end());
      break;
    }
    case Gen3Protocol::kHeader: {
      const auto length = static_cast<std::uint32_t>(image.size());
      stream = {0, 0, 0, 0, static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
      stream.insert(stream.end(), image.begin(), image.end());
      std::uint16_t sum = 0;
      for (const std::uint8_t byte : stream) sum = static_cast<std::uint16_t>(sum + byte);
      stream.push_back(static_cast<std::uint8_t>(sum));
      stream.push_back(static_cast<std::uint8_t>(sum >> 8));
      break;
    }
  }
  return stream;
}

CedarGen3Loader::CedarGen3Loader(CMainFrame& frame, ControllerProtocol& protocol) : LoaderDialog(frame, protocol) {}

// The serial link: the loader is reached through the command set's pass-through.
bool CedarGen3Loader::CanStart() const { return image_.has_value() && !Busy() && IsSerialLink(frame_.LinkKind); }

bool CedarGen3Loader::LoadImageFile(const std::string& path) {
  const bool loaded = !LoadInto(path, ImageProfile::kCedarGen3, image_);
  imageText_ = loaded ? image_->display : std::string();
  Changed();
  return loaded;
}

bool CedarGen3Loader::Handshake(std::uint8_t send, std::uint8_t expected) {
  CommandChannel& channel = protocol_.channel;
  channel.SendByte(send);
  const ReplyBytes reply = channel.Transact(1, reply::kRaw | reply::kLongWait);
  return reply.size() == 1 && reply[0] == expected;
}

void CedarGen3Loader::Start() {
  if (Busy()) return;
  if (Automatic() && !image_) {
    if (const std::optional<DownloadResult> failed = LoadInto(ImagePath(), ImageProfile::kCedarGen3, image_))
      return EndAutomatic(*failed, Message());
    imageText_ = image_->display;
  }
  if (!CanStart()) return;
  BeginRun();
  Run();
}

void CedarGen3Loader::Run() {
  CommandChannel& channel = protocol_.channel;
  channel.SendCommand("-DWO");
  if (!channel.WaitOk()) return Fail(text::kHandshakeFailed);
  channel.SendByte(kCr);
  if (!channel.EnterPassThrough('L')) return Fail(text::kHandshakeFailed);
  if (!Pause(pause::kPortChange)) return Fail("", false);
  // The greeting went out while the port changed speed; what is left of it is cleared.
  channel.ClearLink();
  channel.SendByte(kCr);
  if (!Handshake(kHello, kHelloAnswer)) {
    channel.ExitPassThrough();
    return Fail(text::kHandshakeFailed);
  }

  const std::vector<std::uint8_t> stream = Gen3Stream(image_->Bytes(), protocol);
  const std::size_t total = stream.size();
  for (std::size_t offset = 0; offset < total; offset += kDspPieceBytes) {
    if (Cancelled()) {
      channel.ExitPassThrough();
      return Fail("", false);
    }
    const std::size_t count = std::min(kDspPieceBytes, total - offset);
    channel.SendBytes(stream.data() + offset, count);
    SetProgress(offset + count, total);
    ShowStatus(BytesSentText(offset + count, total));
  }

  // The loader says whether it took the image whole.
  const ReplyBytes answer = channel.Transact(kAnswerBytes, reply::kRaw | reply::kWait20s);
  const std::string text(answer.begin(), answer.end());
  if (text.rfind(kDoneAnswer, 0) != 0) {
    channel.ExitPassThrough();
    return Fail(text::kDownloadFailed);
  }
  CountSent(image_->length);
  if (!Pause(pause::kPassThrough)) return Fail("", false);
  channel.SendCommand("RE3");
  const bool rebooted = channel.WaitOk();
  channel.ExitPassThrough();
  if (!rebooted) return Fail(text::kDownloadFailed);
  ShowStatus(text::kDownloadDone);
  Say(text::kDownloadDone);
  Succeed();
}

}  // namespace kx7::firmware
