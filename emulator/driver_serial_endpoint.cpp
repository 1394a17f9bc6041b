#include "driver_serial_endpoint.h"

#include <algorithm>
#include <utility>

#include "driver_emulation_constants.h"
#include "serial_line.h"

namespace kx7::emu {
namespace {

// Pieces of output (each ends at a change of the controller's line) taken at one look.
constexpr int kPiecesPerPump = 16;

std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

// Each character as a receiver set to `to` makes of what a sender set to `from` put on the line.
std::vector<std::uint8_t> OverTheLine(std::span<const std::uint8_t> bytes, const LineSettings& from,
                                      const LineSettings& to) {
  std::vector<std::uint8_t> arrived;
  if (from == to) {
    arrived.assign(bytes.begin(), bytes.end());
    return arrived;
  }
  for (const std::uint8_t byte : bytes)
    for (const ReceivedChar& character : ReceiveCharacter(byte, from, to)) arrived.push_back(character.value);
  return arrived;
}

}  // namespace

DriverSerialEndpoint::DriverSerialEndpoint(std::unique_ptr<EmulatedDevice> device,
                                           std::function<std::uint64_t()> clockMs, std::uint32_t driverBaud)
    : device_(std::move(device)),
      clockMs_(clockMs ? std::move(clockMs) : std::function<std::uint64_t()>(SteadyMs)),
      driverBaud_(driverBaud) {}

void DriverSerialEndpoint::SetDriverBaud(std::uint32_t baud) {
  std::lock_guard lock(mutex_);
  PumpLocked();  // what came at the old speed was read at the old speed
  driverBaud_ = baud;
}

std::uint32_t DriverSerialEndpoint::DriverBaud() const {
  std::lock_guard lock(mutex_);
  return driverBaud_;
}

void DriverSerialEndpoint::PumpLocked() {
  if (!device_) return;
  device_->Advance(clockMs_());
  // The controller's line may change after a reply (a new speed announced): each piece of output
  // is meant for the settings it had before it was taken, and the rest follows in the next piece.
  for (int piece = 0; piece < kPiecesPerPump; ++piece) {
    const LineSettings deviceLine = device_->Line();
    const std::vector<std::uint8_t> sent = device_->TakeOutput();
    if (sent.empty()) return;
    LineSettings driverLine = deviceLine;
    if (driverBaud_ != 0) driverLine.baud = static_cast<int>(driverBaud_);
    const std::vector<std::uint8_t> arrived = OverTheLine(sent, deviceLine, driverLine);
    received_.insert(received_.end(), arrived.begin(), arrived.end());
  }
}

void DriverSerialEndpoint::Send(std::span<const std::uint8_t> bytes) {
  {
    std::lock_guard lock(mutex_);
    if (!device_ || bytes.empty()) return;
    PumpLocked();
    // A controller that is off the line (rebooting) hears nothing.
    if (!device_->Present()) return;
    const LineSettings deviceLine = device_->Line();
    LineSettings driverLine = deviceLine;
    if (driverBaud_ != 0) driverLine.baud = static_cast<int>(driverBaud_);
    const std::vector<std::uint8_t> arrived = OverTheLine(bytes, driverLine, deviceLine);
    if (!arrived.empty()) device_->Receive(arrived.data(), arrived.size(), clockMs_());
    PumpLocked();
  }
  dataCondition_.notify_all();
}

std::vector<std::uint8_t> DriverSerialEndpoint::Take(std::size_t capacity, int waitMs) {
  std::unique_lock lock(mutex_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
  const std::uint64_t generation = wakeGeneration_;
  for (;;) {
    PumpLocked();
    if (!received_.empty() && capacity > 0) {
      const std::size_t count = std::min(capacity, received_.size());
      std::vector<std::uint8_t> bytes(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(count));
      received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(count));
      return bytes;
    }
    const auto now = std::chrono::steady_clock::now();
    if (shutdown_ || generation != wakeGeneration_ || now >= deadline || capacity == 0) return {};
    ++waiting_;
    waitingCondition_.notify_all();
    const auto slice = std::chrono::milliseconds(driver_emulation::kWaitSliceMs);
    dataCondition_.wait_until(lock, std::min(deadline, now + slice));
    --waiting_;
  }
}

void DriverSerialEndpoint::Purge() {
  std::lock_guard lock(mutex_);
  PumpLocked();
  received_.clear();
}

void DriverSerialEndpoint::Wake() {
  {
    std::lock_guard lock(mutex_);
    ++wakeGeneration_;
  }
  dataCondition_.notify_all();
}

void DriverSerialEndpoint::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
    ++wakeGeneration_;
  }
  dataCondition_.notify_all();
}

bool DriverSerialEndpoint::AwaitWaitingReaders(std::size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return waitingCondition_.wait_for(lock, limit, [&] { return waiting_ >= count; });
}

}  // namespace kx7::emu
