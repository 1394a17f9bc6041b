#include "dsp_loader.h"

#include <utility>

namespace kx7::emu {
namespace {

constexpr std::uint64_t kNoEvent = std::numeric_limits<std::uint64_t>::max();
const std::string kCommitted = "Committed\r\n";

}  // namespace

DspLoader::DspLoader(StoreImage storeCode, StoreImage storeData, LoaderFaults* faults)
    : storeCode_(std::move(storeCode)), storeData_(std::move(storeData)), faults_(faults) {}

std::optional<LoaderFaultKind> DspLoader::Fault(const char* step) {
  return faults_ ? faults_->Step(step) : std::nullopt;
}

std::string DspLoader::Begin(std::uint64_t nowMs) {
  step_ = Step::kIdle;
  frames_.Reset();
  lastByteMs_ = nowMs;
  dataNext_ = false;
  block_.clear();
  return {};
}

LoaderOutput DspLoader::AfterCommit(std::uint8_t byte) {
  std::optional<std::string> frame;
  if (frames_.Push(byte, frame)) {
    if (!frame || *frame != "H") return {};
    if (const auto fault = Fault("H")) {
      if (*fault == LoaderFaultKind::kDropOff) return {"", LoaderAction::kDropOff};
      return {};
    }
    return {"", LoaderAction::kRestart};
  }
  if (byte != 'T') return {};
  if (const auto fault = Fault("T")) return HandshakeFault(*fault, 'T');
  dataNext_ = true;
  step_ = Step::kExpectBlock;
  return {"C"};
}

LoaderOutput DspLoader::OnByte(std::uint8_t byte, std::uint64_t nowMs) {
  const bool afterQuiet = nowMs >= lastByteMs_ + kQuietEndsProgramMs;
  lastByteMs_ = nowMs;
  switch (step_) {
    case Step::kIdle: {
      // A SOH "H" CR restarts the controller whatever the DSP does.
      std::optional<std::string> frame;
      if (frames_.Push(byte, frame)) return frame && *frame == "H" ? LoaderOutput{"", LoaderAction::kRestart} : LoaderOutput{};
      if (byte != 'R') return {};
      if (const auto fault = Fault("R")) return HandshakeFault(*fault, 'R');
      step_ = Step::kBootRom;
      programBytes_ = 0;
      return {"A"};
    }
    case Step::kBootRom:
      if (programBytes_ > 0 && afterQuiet) {
        step_ = Step::kProgramIn;
        return OnByte(byte, nowMs);
      }
      if (programBytes_ < kMostProgramBytes) ++programBytes_;
      return {};
    case Step::kProgramIn:
      if (byte != 'S') {
        step_ = Step::kUtility;
        return {};
      }
      if (const auto fault = Fault("S")) return HandshakeFault(*fault, 'S');
      step_ = Step::kExpectBlock;
      return {"B"};
    case Step::kUtility:
      return {};
    case Step::kExpectBlock:
      word_.assign(1, byte);
      step_ = Step::kLength;
      return {};
    case Step::kExpectCommit:
      return byte == 'Y' ? Commit() : LoaderOutput{};
    case Step::kCommitted:
      return AfterCommit(byte);
    case Step::kLength:
      word_.push_back(byte);
      if (word_.size() < 2) return {};
      length_ = static_cast<std::uint32_t>(word_[0] << 8 | word_[1]);
      block_.clear();
      blockIsData_ = dataNext_;
      word_.clear();
      step_ = blockIsData_ ? Step::kExtra : Step::kBlock;
      return {};
    case Step::kExtra:
      word_.push_back(byte);
      if (word_.size() == 2) step_ = Step::kBlock;
      return {};
    case Step::kBlock:
      block_.push_back(byte);
      if (block_.size() == length_ + 1) return BlockAnswer();
      return {};
  }
  return {};
}

LoaderOutput DspLoader::BlockAnswer() {
  step_ = Step::kExpectCommit;
  dataNext_ = false;
  std::uint16_t sum = 0;
  for (const std::uint8_t byte : block_) sum = static_cast<std::uint16_t>(sum + byte);
  if (const auto fault = Fault(blockIsData_ ? "data" : "code")) {
    // The block is not kept: a commit that follows finds nothing.
    block_.clear();
    switch (*fault) {
      case LoaderFaultKind::kSilent:
        return {};
      case LoaderFaultKind::kDropOff:
        return {"", LoaderAction::kDropOff};
      case LoaderFaultKind::kRefuse:
        return {"Fail\r\n"};
      case LoaderFaultKind::kGarbage:
        return {"Sum\n\n"};
      case LoaderFaultKind::kWrongSum:
      case LoaderFaultKind::kWrongHandshake:
        sum = static_cast<std::uint16_t>(sum + 1);
        break;
    }
  }
  std::string answer = "Sum\n\n";
  answer += static_cast<char>(sum >> 8);
  answer += static_cast<char>(sum & 0xFF);
  return {answer};
}

LoaderOutput DspLoader::Commit() {
  step_ = Step::kCommitted;
  if (const auto fault = Fault("Y")) {
    if (*fault == LoaderFaultKind::kDropOff) return {"", LoaderAction::kDropOff};
    if (*fault == LoaderFaultKind::kSilent) return {};
    return {"Commit failed\r\n"};
  }
  const StoreImage& store = blockIsData_ ? storeData_ : storeCode_;
  if (block_.empty() || !store || !store(0, block_)) return {"Commit failed\r\n"};
  block_.clear();
  return {kCommitted};
}

LoaderOutput DspLoader::Advance(std::uint64_t nowMs) {
  if (step_ == Step::kBootRom && programBytes_ > 0 && nowMs >= lastByteMs_ + kQuietEndsProgramMs)
    step_ = Step::kProgramIn;
  return {};
}

std::uint64_t DspLoader::NextEventMs() const {
  if (step_ == Step::kBootRom && programBytes_ > 0) return lastByteMs_ + kQuietEndsProgramMs;
  return kNoEvent;
}

}  // namespace kx7::emu
