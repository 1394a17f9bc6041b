#include "pass_through_loader.h"

#include <utility>

namespace kx7::emu {
namespace {

// The loader's verdict on an image, a text and then the controller's usual SOH "0" CR or SOH "1" CR.
const std::string kDone = std::string("Done...") + '\x01' + '0' + '\r';
const std::string kFailed = std::string("Fail...") + '\x01' + '1' + '\r';
const std::string kOk = std::string("\x01") + "0\r";
const std::string kRefusal = std::string("\x01") + "1\r";
constexpr char kHelloAnswer = '\xC6';

std::uint32_t Little32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

constexpr std::uint64_t kNoEvent = std::numeric_limits<std::uint64_t>::max();

}  // namespace

bool LoaderCommandFrames::Push(std::uint8_t byte, std::optional<std::string>& text) {
  if (byte == 0x01) {
    open_ = true;
    text_.clear();
    return true;
  }
  if (!open_) return false;
  if (byte == '\r') {
    open_ = false;
    text = text_;
    return true;
  }
  if (text_.size() < kLongest) text_ += static_cast<char>(byte);
  return true;
}

LoaderOutput HandshakeFault(LoaderFaultKind kind, char wrong) {
  switch (kind) {
    case LoaderFaultKind::kSilent:
      return {};
    case LoaderFaultKind::kDropOff:
      return {"", LoaderAction::kDropOff};
    case LoaderFaultKind::kRefuse:
      return {kRefusal};
    case LoaderFaultKind::kGarbage:
      return {"?\x7F"};
    case LoaderFaultKind::kWrongSum:
    case LoaderFaultKind::kWrongHandshake:
      return {std::string(1, wrong)};
  }
  return {};
}

PassThroughLoader::PassThroughLoader(StoreImage store, std::uint32_t maxImageBytes, LoaderFaults* faults,
                                     LoaderProtocol protocol)
    : store_(std::move(store)), maxImageBytes_(maxImageBytes), faults_(faults), protocol_(protocol) {}

std::string PassThroughLoader::Begin(std::uint64_t) {
  step_ = Step::kIdle;
  frames_.Reset();
  return ".";
}

LoaderOutput PassThroughLoader::Verdict(bool stored) {
  step_ = Step::kIdle;
  data_.clear();
  data_.shrink_to_fit();
  const std::optional<LoaderFaultKind> fault = faults_ ? faults_->Step("image") : std::nullopt;
  if (!fault) return {stored ? kDone : kFailed};
  switch (*fault) {
    case LoaderFaultKind::kRefuse:
    case LoaderFaultKind::kWrongSum:
      return {kFailed};
    case LoaderFaultKind::kGarbage:
      return {"D0ne..\x01?\r"};
    case LoaderFaultKind::kWrongHandshake:
      return {"\xC6"};
    case LoaderFaultKind::kSilent:
      return {};
    case LoaderFaultKind::kDropOff:
      return {"", LoaderAction::kDropOff};
  }
  return {};
}

LoaderOutput PassThroughLoader::OnByte(std::uint8_t byte, std::uint64_t nowMs) {
  lastByteMs_ = nowMs;
  switch (step_) {
    case Step::kIdle: {
      std::optional<std::string> command;
      if (frames_.Push(byte, command)) {
        if (!command || *command != "RE3") return {};
        if (const auto fault = faults_ ? faults_->Step("RE3") : std::nullopt) {
          if (*fault == LoaderFaultKind::kSilent) return {};
          if (*fault == LoaderFaultKind::kDropOff) return {"", LoaderAction::kDropOff};
          return {*fault == LoaderFaultKind::kGarbage ? std::string("\x01?\r") : kRefusal};
        }
        return {kOk, LoaderAction::kRestart};
      }
      switch (byte) {
        case 'F': {
          if (const auto fault = faults_ ? faults_->Step("F") : std::nullopt) return HandshakeFault(*fault, 'F');
          header_.clear();
          data_.clear();
          sumBytes_.clear();
          sum_ = 0;
          step_ = protocol_ == LoaderProtocol::kHeader ? Step::kHeader : Step::kUntilQuiet;
          return {std::string(1, kHelloAnswer)};
        }
        case 'R':
          return {"A"};
        case 'S':
          return {"B"};
        case 'T':
          return {"C"};
        default:
          return {};
      }
    }
    case Step::kHeader:
      header_.push_back(byte);
      if (header_.size() < 8) return {};
      length_ = Little32(header_, 4);
      for (std::uint8_t b : header_) sum_ = static_cast<std::uint16_t>(sum_ + b);
      if (length_ > maxImageBytes_) return Verdict(false);
      step_ = length_ == 0 ? Step::kSum : Step::kData;
      return {};
    case Step::kData:
      data_.push_back(byte);
      sum_ = static_cast<std::uint16_t>(sum_ + byte);
      if (data_.size() == length_) step_ = Step::kSum;
      return {};
    case Step::kSum: {
      sumBytes_.push_back(byte);
      if (sumBytes_.size() < 2) return {};
      const auto sent = static_cast<std::uint16_t>(sumBytes_[0] | (sumBytes_[1] << 8));
      const bool stored = sent == sum_ && store_ && store_(Little32(header_, 0), data_);
      return Verdict(stored);
    }
    case Step::kUntilQuiet:
      if (data_.size() > maxImageBytes_) return Verdict(false);
      data_.push_back(byte);
      return {};
  }
  return {};
}

LoaderOutput PassThroughLoader::EndQuietImage() {
  if (data_.empty()) return Verdict(false);
  if (protocol_ == LoaderProtocol::kRamUtility) {
    // The utility runs from RAM: its sum is checked, the flash stays as it was.
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < data_.size(); ++i) sum = static_cast<std::uint8_t>(sum + data_[i]);
    return Verdict(data_.size() > 1 && sum == data_[0]);
  }
  return Verdict(data_.size() <= maxImageBytes_ && store_ && store_(0, data_));
}

LoaderOutput PassThroughLoader::Advance(std::uint64_t nowMs) {
  if (step_ != Step::kUntilQuiet || data_.empty() || nowMs < lastByteMs_ + kQuietEndsImageMs) return {};
  return EndQuietImage();
}

std::uint64_t PassThroughLoader::NextEventMs() const {
  if (step_ != Step::kUntilQuiet || data_.empty()) return kNoEvent;
  return lastByteMs_ + kQuietEndsImageMs;
}

}  // namespace kx7::emu
