#include "driver_rivetware_serial.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "driver_byte_order.h"
#include "driver_emulation_constants.h"
#include "link/driver/driver_constants.h"

namespace kx7::emu {
namespace {

namespace de = driver_emulation;
namespace dc = kx7::driver;
using kx7::DriverResult;
namespace err = kx7::driver_error;

}  // namespace

std::string RivetwareSerialDriver::PortKey(int portIndex) {
  char subkey[16];
  std::snprintf(subkey, sizeof subkey, dc::kPortSubkeyFormat, portIndex);
  return std::string(dc::kRegistryBaseKey) + subkey;
}

RivetwareSerialDriver::RivetwareSerialDriver(std::unique_ptr<EmulatedDevice> controller,
                                             kx7::RegistryStore& registry, int portIndex,
                                             std::function<std::uint64_t()> clockMs, RivetwareSerialOptions options)
    : registry_(registry),
      portIndex_(portIndex),
      options_(options),
      endpoint_(std::move(controller), std::move(clockMs), 0) {
  endpoint_.SetDriverBaud(ReadBaudrate());
}

std::uint32_t RivetwareSerialDriver::ReadBaudrate() const {
  return registry_.GetDword(kx7::RegistryKey(PortKey(portIndex_), dc::kBaudrateValue)).value_or(de::kDefaultBaudrate);
}

std::optional<std::string> RivetwareSerialDriver::Client() const {
  std::lock_guard lock(mutex_);
  return client_;
}

bool RivetwareSerialDriver::OnOpen() {
  std::lock_guard lock(mutex_);
  handles_.Opened();
  return true;
}

void RivetwareSerialDriver::OnClose() {
  {
    std::lock_guard lock(mutex_);
    if (handles_.Closed()) client_.reset();
  }
  endpoint_.Wake();
}

void RivetwareSerialDriver::OnRemoved() { endpoint_.Shutdown(); }

kx7::DriverResult RivetwareSerialDriver::Request(std::uint32_t code, std::span<const std::uint8_t> input,
                                                std::size_t outputCapacity) {
  switch (code) {
    case dc::kCheck: {
      if (outputCapacity < dc::kCheckSize) return DriverResult::Failed(err::kInsufficientBuffer);
      std::vector<std::uint8_t> answer(dc::kCheckSize, 0);
      PutLittleLong(answer, 0, de::kCheckAnswer);
      return DriverResult::Ok(std::move(answer));
    }
    case dc::kWhoAreYou: {
      if (outputCapacity < 4) return DriverResult::Failed(err::kInsufficientBuffer);
      std::vector<std::uint8_t> answer(std::min(outputCapacity, dc::kWhoAreYouSize), 0);
      PutLittleLong(answer, 0, dc::kSerialRivetwareDevice);
      return DriverResult::Ok(std::move(answer));
    }
    case dc::kRegisterClient: {
      if (input.size() != dc::kClientNameSize) return DriverResult::Failed(err::kInvalidParameter);
      std::string name = NarrowWideString(input);
      if (name.empty()) return DriverResult::Failed(err::kInvalidParameter);
      std::lock_guard lock(mutex_);
      client_ = std::move(name);
      return DriverResult::Ok();
    }
    case dc::kUnregisterClient: {
      {
        std::lock_guard lock(mutex_);
        if (!client_) return DriverResult::Failed(err::kGeneralFailure);
        client_.reset();
      }
      endpoint_.Wake();
      return DriverResult::Ok();
    }
    case dc::kReadBytes: {
      if (!Client()) return DriverResult::Failed(err::kGeneralFailure);
      if (outputCapacity == 0) return DriverResult::Failed(err::kInsufficientBuffer);
      const int wait = options_.readWaitMs < 0 ? de::kReadBytesWaitMs : options_.readWaitMs;
      return DriverResult::Ok(endpoint_.Take(std::min(outputCapacity, dc::kMaxReadBytes), wait));
    }
    case dc::kWriteBytes:
      if (!Client()) return DriverResult::Failed(err::kGeneralFailure);
      if (input.empty() || input.size() > dc::kMaxReadBytes) return DriverResult::Failed(err::kInvalidParameter);
      endpoint_.Send(input);
      return DriverResult::Ok();
    case dc::kRereadBaudrate:
      endpoint_.SetDriverBaud(ReadBaudrate());
      return DriverResult::Ok();
    default:
      return DriverResult::Failed(err::kInvalidFunction);
  }
}

}  // namespace kx7::emu
