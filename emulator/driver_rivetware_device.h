// A device of a Rivetware driver: the program reaches it only through requests, so its file reads
// and writes fail with kInvalidFunction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/driver_device.h"

namespace kx7::emu {

class RivetwareDriverDevice : public kx7::SimulatedDriver {
 public:
  kx7::DriverResult Read(std::size_t capacity, int timeoutMs) final;
  kx7::DriverWriteResult Write(std::span<const std::uint8_t> bytes) final;
};

}  // namespace kx7::emu
