// The touch side of an emulated controller: the report formats and modes, and the touches that
// become reports. The command interpreter hands it the report and mode commands and the poll
// byte; the generator knows the formats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx7::emu {

enum class CommandResult {
  kNotMine,  // not a report or mode command: the interpreter goes on
  kAck,      // handled; the controller acknowledges with SOH "0" CR
  kSilent,   // handled; the controller answers nothing
  kRefuse,   // a report command this family does not have: SOH "1" CR
};

class ReportGenerator {
 public:
  virtual ~ReportGenerator() = default;
  // A command's mnemonic and its argument text, without SOH and CR ("FT", "MZ", "TL1").
  virtual CommandResult OnCommand(const std::string& command) = 0;
  // The poll byte 0x11 arrived; in poll mode one report is due.
  virtual void OnPollByte(std::uint64_t nowMs) = 0;
  // Appends the reports that are due by `nowMs`.
  virtual void Advance(std::uint64_t nowMs, std::vector<std::uint8_t>& out) = 0;
  virtual std::uint64_t NextEventMs() const = 0;
  // A reset or reboot: back to the power-on format and mode.
  virtual void Reset(std::uint64_t nowMs) = 0;
  // Reporting pauses while the controller answers a command exchange or is in pass-through.
  virtual void SetQuiet(bool quiet) = 0;
  // A parameter block the host wrote (or a kept state brought back); the touch side takes what
  // concerns its reports from it.
  virtual void OnBlock(int /*number*/, const std::vector<std::uint8_t>& /*bytes*/) {}
};

}  // namespace kx7::emu
