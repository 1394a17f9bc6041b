#include "in_process_backend.h"

#include <algorithm>
#include <utility>

#include "link/serial/serial_constants.h"

namespace kx7::emu {
namespace {

char ParityLetter(kx7::SerialParity parity) {
  switch (parity) {
    case kx7::SerialParity::kOdd:
      return 'O';
    case kx7::SerialParity::kEven:
      return 'E';
    case kx7::SerialParity::kMark:
      return 'M';
    case kx7::SerialParity::kSpace:
      return 'S';
    case kx7::SerialParity::kNone:
      break;
  }
  return 'N';
}

}  // namespace

InProcessSerialBackend::InProcessSerialBackend(EmulatedDevice& device) : device_(device), line_(device) {}

InProcessSerialBackend::InProcessSerialBackend(std::unique_ptr<EmulatedDevice> device)
    : owned_(std::move(device)), device_(*owned_), line_(*owned_) {}

LineSettings InProcessSerialBackend::HostSettings() const {
  return LineSettings{config_.baud, ParityLetter(config_.parity), config_.dataBits, config_.stopBits};
}

bool InProcessSerialBackend::Open(std::uint64_t nowMs) {
  if (open_) return false;
  // What the device sent while nobody listened is gone.
  line_.HostReadCharacters(HostSettings(), nowMs);
  received_.clear();
  errors_ = 0;
  open_ = true;
  return true;
}

void InProcessSerialBackend::Close() {
  open_ = false;
  received_.clear();
}

bool InProcessSerialBackend::Configure(const kx7::SerialConfig& config, std::uint64_t nowMs) {
  // What a UART can be set to.
  if (config.baud < 50 || config.baud > 4000000 || config.dataBits < 5 || config.dataBits > 8 ||
      (config.stopBits != 1 && config.stopBits != 2)) {
    return false;
  }
  // What arrived so far was read with the old settings.
  Advance(nowMs);
  config_ = config;
  return true;
}

bool InProcessSerialBackend::Write(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) {
  if (!open_) return false;
  line_.HostWrite(bytes, count, HostSettings(), nowMs);
  return true;
}

void InProcessSerialBackend::Advance(std::uint64_t nowMs) {
  const std::vector<ReceivedChar> arrived = line_.HostReadCharacters(HostSettings(), nowMs);
  if (!open_) return;
  for (const ReceivedChar& character : arrived) {
    if (received_.size() >= kReceiveQueueBytes) {
      errors_ |= kx7::serial::kErrorOverflow;
      continue;
    }
    received_.push_back(character.value);
    if (character.framingError) errors_ |= kx7::serial::kErrorFraming;
    // A receiver without parity never reports one; with parity, the port has its check on.
    if (character.parityError) errors_ |= kx7::serial::kErrorParity;
  }
}

std::uint64_t InProcessSerialBackend::NextEventMs() const {
  const std::uint64_t next = line_.NextEventMs();
  return next == kNever ? kx7::kNoBackendEvent : next;
}

std::size_t InProcessSerialBackend::Read(std::uint8_t* bytes, std::size_t capacity) {
  const std::size_t count = std::min(capacity, received_.size());
  std::copy_n(received_.begin(), count, bytes);
  received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(count));
  return count;
}

std::uint32_t InProcessSerialBackend::TakeLineErrors() { return std::exchange(errors_, 0u); }

bool InProcessSerialBackend::SetModemLine(kx7::ModemLine line, bool on) {
  (line == kx7::ModemLine::kRts ? rts_ : dtr_) = on;
  return true;
}

}  // namespace kx7::emu
