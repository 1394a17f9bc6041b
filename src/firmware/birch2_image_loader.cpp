#include "firmware/birch2_image_loader.h"

#include <cstring>

#include "controller/controller_types.h"
#include "firmware/intel_hex_writer.h"
#include "frame/frame_constants.h"
#include "platform/file_bytes.h"
#include "proto/controller_protocol.h"
#include "proto/memory_exchange.h"
#include "proto/proto_constants.h"
#include "proto/restart_commands.h"

namespace kx7::firmware {

namespace {

constexpr int kIdBlock = 5;
constexpr int kLinearizationBlock = 2;
constexpr std::size_t kMapBytes = 24;  // the 22 map bytes and the two check bytes
constexpr std::size_t kAsicTextBytes = 4;

// The default map as the bytes a driver write takes.
std::vector<std::uint8_t> DefaultMapBytes() {
  std::vector<std::uint8_t> bytes;
  const std::string text = kDefaultEepromMap;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  bytes.resize(kMapBytes, 0);
  return bytes;
}

}  // namespace

Birch2ImageLoader::Birch2ImageLoader(CMainFrame& frame, ControllerProtocol& protocol) : LoaderDialog(frame, protocol) {}

bool Birch2ImageLoader::PreserveOffered() const { return frame_.startup.linearize != 0; }

bool Birch2ImageLoader::TurboOffered() const {
  return IsSerialLink(frame_.LinkKind) && (frame_.ControllerFeatures & feature::kHaptic2) == 0;
}

void Birch2ImageLoader::RaiseTurbo() {
  turboSaved_ = 0;
  if (!turbo || !TurboOffered()) return;
  std::uint16_t word = 0;
  if (!protocol_.memory->ReadMemoryWords(kRamMemory, kSpeedWordAddress, 1, &word) || word == 0) return;
  turboSaved_ = word;
  turboSettings_ = frame_.settings.MainPortSettings;
  const std::uint16_t fast = kTurboSpeedWord;
  protocol_.memory->WriteMemoryWords(kRamMemory, kSpeedWordAddress, 1, &fast);
  Pause(pause::kPassThrough);
  const std::size_t comma = turboSettings_.find(',');
  protocol_.channel.ReopenPort(std::string(kTurboBaud) + (comma == std::string::npos ? "" : turboSettings_.substr(comma)));
  Pause(pause::kPortChange);
  protocol_.channel.SendByte(kCr);
}

void Birch2ImageLoader::LowerTurbo() {
  if (turboSaved_ == 0) return;
  const std::uint16_t saved = turboSaved_;
  turboSaved_ = 0;
  protocol_.memory->WriteMemoryWords(kRamMemory, kSpeedWordAddress, 1, &saved);
  Pause(pause::kPassThrough);
  protocol_.channel.ReopenPort(turboSettings_);
  Pause(pause::kPortChange);
  protocol_.channel.SendByte(kCr);
}

bool Birch2ImageLoader::CanSend() const {
  return image_.has_value() && fits_ && !Busy() && frame_.LinkKind != link::kClosed && protocol_.memory != nullptr;
}

bool Birch2ImageLoader::CanCopy() const {
  return !Busy() && frame_.LinkKind != link::kClosed && (frame_.ControllerFeatures & feature::kBirchFamily) != 0 &&
         protocol_.memory != nullptr;
}

ActualAsic Birch2ImageLoader::ReadActualAsic() {
  if (frame_.LinkKind == link::kClosed || protocol_.memory == nullptr) return ActualAsic::kNotRead;
  if ((frame_.ControllerFeatures & feature::kRevC) != 0) return ActualAsic::kRevC;
  // Memory 10 holds words: the four characters are two words, high byte first.
  std::uint16_t words[kAsicTextBytes / 2] = {};
  if (!protocol_.memory->ReadMemoryWords(kRamMemory, kAsicTextAddress, kAsicTextBytes / 2, words))
    return ActualAsic::kUnknown;
  const std::uint8_t text[kAsicTextBytes] = {static_cast<std::uint8_t>(words[0] >> 8), static_cast<std::uint8_t>(words[0]),
                                             static_cast<std::uint8_t>(words[1] >> 8), static_cast<std::uint8_t>(words[1])};
  if (std::memcmp(text, kRevCText, kAsicTextBytes) != 0) return ActualAsic::kRevB;
  frame_.ControllerFeatures |= feature::kRevC;
  return ActualAsic::kRevC;
}

void Birch2ImageLoader::Summarize() {
  if (!image_) {
    summaryText_.clear();
    fits_ = false;
    return;
  }
  const Birch2Summary summary = SummarizeBirch2Image(image_->Bytes(), actual_);
  summaryText_ = summary.text;
  fits_ = Birch2ImageFits(summary, !IsSerialLink(frame_.LinkKind), actual_);
}

bool Birch2ImageLoader::LoadImageFile(const std::string& path) {
  const bool loaded = !LoadInto(path, ImageProfile::kBirch2, image_);
  if (loaded) actual_ = ReadActualAsic();
  Summarize();
  if (loaded && !fits_) Say(text::kFileNotCompatible);
  Changed();
  return loaded && fits_;
}

void Birch2ImageLoader::Start() {
  if (Busy()) return;
  if (Automatic() && !image_) {
    if (const std::optional<DownloadResult> failed = LoadInto(ImagePath(), ImageProfile::kBirch2, image_))
      return EndAutomatic(*failed, Message());
    actual_ = ReadActualAsic();
    Summarize();
    if (!fits_) return EndAutomatic(DownloadResult::kRejected, text::kFileNotCompatible);
  }
  if (!CanSend()) return;
  BeginRun();
  CommandChannel& channel = protocol_.channel;
  // The blocks that are to outlive the new image; one that cannot be read is not written back.
  savedBlock2_.reset();
  savedBlock5_.reset();
  std::vector<std::uint8_t> block;
  if (channel.ReadBlock(kIdBlock, block)) savedBlock5_ = block;
  if (preserve && channel.ReadBlock(kLinearizationBlock, block)) savedBlock2_ = block;

  if (!WriteImage()) return Fail(text::kErrorPokeFrame);
  CountSent(kBirch2ImageBytes);

  ShowStatus(text::kReboot1);
  AwaitFoundAgain();
  const MemoryExchange::Route route = MemoryExchange::ChooseRoute(frame_.LinkKind, frame_.ControllerType,
                                                                  frame_.ControllerFeatures, frame_.passThrough);
  if (route == MemoryExchange::Route::kCommandSet) {
    channel.SendCommand("RE3");
    if (!Pause(pause::kBirch2Reboot)) return Fail("", false);
    channel.SendCommand("R");
    channel.WaitOk();
    channel.SendByte(kCr);
    AwaitFoundAgain();
    RequestFind();
  } else if (protocol_.restart != nullptr) {
    protocol_.restart->RebootEeprom(false);
  }
}

bool Birch2ImageLoader::WriteImage() {
  MemoryExchange& memory = *protocol_.memory;
  CommandChannel& channel = protocol_.channel;
  const MemoryExchange::Route route = MemoryExchange::ChooseRoute(frame_.LinkKind, frame_.ControllerType,
                                                                  frame_.ControllerFeatures, frame_.passThrough);
  if (route == MemoryExchange::Route::kCommandSet && frame_.ControllerType == type::kBirchRom) {
    // The fixed code takes the default map first.
    channel.SendCommand("FE");
    if (!channel.WaitOk()) return false;
    channel.SendBytes(std::string(kDefaultEepromMap));
    if (!channel.WaitOk()) return false;
  }
  if (route == MemoryExchange::Route::kDriver && frame_.ControllerType == type::kBirchUsbRom) {
    const std::vector<std::uint8_t> map = DefaultMapBytes();
    if (!memory.WriteMemory(kMapMemory, 0, map.size(), map.data())) return false;
  }
  const std::span<const std::uint8_t> bytes = image_->image.First(kBirch2ImageBytes);
  if (route != MemoryExchange::Route::kCommandSet)
    return memory.WriteMemory(kImageMemory, 0, bytes.size(), bytes.data(), Id(), message::kProgress);
  RaiseTurbo();
  const bool written = memory.WriteMemory(kImageMemory, 0, bytes.size(), bytes.data(), Id(), message::kProgress);
  LowerTurbo();
  return written;
}

void Birch2ImageLoader::OnProgressMessage(WParam address) {
  const auto reached = static_cast<std::size_t>(address);
  SetProgress(reached, kBirch2ImageBytes - 1);
  ShowStatus(BytesSentText(reached, kBirch2ImageBytes));
}

void Birch2ImageLoader::OnFoundAgain(bool found) {
  if (!found) return Fail(text::kCantFindController);
  CommandChannel& channel = protocol_.channel;
  bool restored = true;
  if (savedBlock2_) restored = channel.WriteBlock(kLinearizationBlock, *savedBlock2_) && restored;
  if (savedBlock5_) restored = channel.WriteBlock(kIdBlock, *savedBlock5_) && restored;
  // WriteBlock has said "Write Failed" already.
  if (!restored) return Fail("Write Failed", false);
  Succeed();
}

bool Birch2ImageLoader::CopyControllerToFile(const std::string& path) {
  if (!CanCopy()) return false;
  summaryText_.clear();
  ShowStatus("");
  controllerImage_.assign(kBirch2ImageBytes, kFill);
  const bool commandSet = MemoryExchange::ChooseRoute(frame_.LinkKind, frame_.ControllerType, frame_.ControllerFeatures,
                                                      frame_.passThrough) == MemoryExchange::Route::kCommandSet;
  if (commandSet) RaiseTurbo();
  const bool read =
      protocol_.memory->ReadMemory(kImageMemory, 0, kBirch2ImageBytes, controllerImage_.data(), Id(), message::kProgress);
  if (commandSet) LowerTurbo();
  if (!read) {
    controllerImage_.clear();
    Say(text::kReadError);
    return false;
  }
  summaryText_ = SummarizeBirch2Image(controllerImage_, ReadActualAsic()).text;
  Changed();
  const std::string hex = WriteIntelHex32K(controllerImage_);
  if (!WriteFileBytes(path, hex)) {
    Say(text::kFailedToOpenFile);
    return false;
  }
  return true;
}

}  // namespace kx7::firmware
