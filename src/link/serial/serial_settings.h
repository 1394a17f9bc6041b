// A port's line configuration and the settings string that edits it ("9600,N,8,1"), plus the
// translation to and from the terminal attributes of a Linux tty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kx7 {

enum class SerialParity { kNone, kOdd, kEven, kMark, kSpace };

struct WriteTimeouts {
  std::uint32_t multiplierMs = 1;  // per byte
  std::uint32_t constantMs = 100;  // per write
  // The whole time a write of `count` bytes may take.
  std::uint64_t TotalMs(std::size_t count) const {
    return static_cast<std::uint64_t>(constantMs) + static_cast<std::uint64_t>(multiplierMs) * count;
  }
  bool operator==(const WriteTimeouts&) const = default;
};

struct SerialConfig {
  int baud = 9600;
  SerialParity parity = SerialParity::kNone;
  bool parityCheck = false;
  int dataBits = 8;  // 5 to 8
  int stopBits = 1;  // 1 or 2
  WriteTimeouts writeTimeouts;
  bool operator==(const SerialConfig&) const = default;
};

// multiplier = 9600 / baud rounded, at least 1; constant = 100 ms times the multiplier.
// A baud rate of 0 or below counts as the slowest step of the table, never a division by zero.
WriteTimeouts ComputeWriteTimeouts(int baud);

// Applies "%d,%c,%d,%d" (baud, parity letter, data bits, stop bits) to `config`. An empty text
// stands for "9600,n,8,1". The parity letter is case-insensitive (E, O, N, M, S); another letter
// keeps the parity and its check flag. Stop bits other than 1 and 2 keep the stop bits. The write
// time-outs follow the new baud rate.
// Returns false, leaving `config` as it was, when the text does not hold all four fields, the
// baud rate is not positive or the data bits are not 5 to 8: such a text cannot describe a line.
bool ApplySettingsString(const std::string& text, SerialConfig& config);

// The settings with only the framing changed (after the controller was told to change its own):
// the text up to and including the first comma, then `framing` ("N,8,1"). A text without a comma
// is all baud rate; an empty one stands for "9600,n,8,1".
std::string WithFraming(const std::string& settings, const std::string& framing);

// The terminal-attribute words of a tty that the configuration lives in, as plain numbers so that
// callers need not include the kernel's termios header (it clashes with the C library's).
struct TermiosFields {
  std::uint32_t iflag = 0;
  std::uint32_t oflag = 0;
  std::uint32_t cflag = 0;
  std::uint32_t lflag = 0;
  std::uint32_t ispeed = 0;
  std::uint32_t ospeed = 0;
  std::uint8_t vmin = 0;
  std::uint8_t vtime = 0;
};

// Raw binary line: no echo, no line editing, no translation, no software or hardware flow
// control, receiver on, modem status lines ignored; then speed, framing and parity of `config`.
// Standard rates use their speed codes, others (28800, 56000, ...) the kernel's free-rate code.
void EncodeTermios(const SerialConfig& config, TermiosFields& fields);

// The line configuration the attributes describe (write time-outs follow the baud rate).
// Nothing when the speed code is not one this program knows.
std::optional<SerialConfig> DecodeTermios(const TermiosFields& fields);

}  // namespace kx7
