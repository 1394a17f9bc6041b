#include "pass_through_loader.h"

#include <utility>

namespace kx7::emu {
namespace {

// The loader's verdict on an image, a text and then the controller's usual SOH "0" CR or SOH "1" CR.
const std::string kDone = std::string("Done...") + '\x01' + '0' + '\r';
const std::string kFailed = std::string("Fail...") + '\x01' + '1' + '\r';

std::uint32_t Little32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

}  // namespace

PassThroughLoader::PassThroughLoader(StoreImage store, std::uint32_t maxImageBytes)
    : store_(std::move(store)), maxImageBytes_(maxImageBytes) {}

std::string PassThroughLoader::Begin() {
  step_ = Step::kIdle;
  return ".";
}

std::string PassThroughLoader::OnByte(std::uint8_t byte) {
  switch (step_) {
    case Step::kIdle:
      switch (byte) {
        case 'F':
          step_ = Step::kHeader;
          header_.clear();
          return "\xC6";
        case 'R':
          return "A";
        case 'S':
          return "B";
        case 'T':
          return "C";
        default:
          return {};
      }
    case Step::kHeader:
      header_.push_back(byte);
      if (header_.size() < 8) return {};
      length_ = Little32(header_, 4);
      sum_ = 0;
      for (std::uint8_t b : header_) sum_ = static_cast<std::uint16_t>(sum_ + b);
      data_.clear();
      sumBytes_.clear();
      if (length_ > maxImageBytes_) {
        step_ = Step::kIdle;
        return kFailed;
      }
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
      step_ = Step::kIdle;
      const auto sent = static_cast<std::uint16_t>(sumBytes_[0] | (sumBytes_[1] << 8));
      const bool stored = sent == sum_ && store_ && store_(Little32(header_, 0), data_);
      data_.clear();
      data_.shrink_to_fit();
      return stored ? kDone : kFailed;
    }
  }
  return {};
}

}  // namespace kx7::emu
