// The two lines that are not controllers: "silent" (a port with nothing attached, or a device
// that never answers) and "echo" (a loop-back plug: every byte comes straight back).
#pragma once

#include <cstdint>
#include <vector>

#include "emulated_device.h"

namespace kx7::emu {

class SilentLine : public EmulatedDevice {
 public:
  explicit SilentLine(const LineSettings& line) : line_(line) {}
  LineSettings Line() const override { return line_; }
  void Receive(const std::uint8_t*, std::size_t, std::uint64_t) override {}
  void Advance(std::uint64_t) override {}
  std::uint64_t NextEventMs() const override { return kNever; }
  std::vector<std::uint8_t> TakeOutput() override { return {}; }

 private:
  LineSettings line_;
};

class EchoLine : public EmulatedDevice {
 public:
  explicit EchoLine(const LineSettings& line) : line_(line) {}
  LineSettings Line() const override { return line_; }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) override;
  void Advance(std::uint64_t) override {}
  std::uint64_t NextEventMs() const override { return pending_.empty() ? kNever : nowMs_; }
  std::vector<std::uint8_t> TakeOutput() override;

 private:
  LineSettings line_;
  std::vector<std::uint8_t> pending_;
  std::uint64_t nowMs_ = 0;
};

}  // namespace kx7::emu
