// The wire between the host's UART and an emulated controller's: what each side receives of what
// the other sent, given both ends' speed and framing, and how long each character is on the way.
//
// The framing model works on the waveform, the way a UART does. The sender puts a start bit (0),
// its data bits (least significant first), its parity bit and its stop bits (1) on the line; the
// line idles at 1 before and after. The receiver waits for the line to go low, checks the start
// bit half a bit later, then samples the middle of each of its own bit times: data bits, parity
// bit, and the first stop bit only (a UART set to two stop bits does not check the second). A low
// stop bit is a framing error, a wrong parity bit a parity error; either way the character is
// still delivered, as a UART puts it into its FIFO with the error flag, and the receiver hunts for
// the next start bit from the middle of that stop bit. So:
//
//   - same speed and framing: the byte (masked to the data bits) arrives untouched;
//   - a different speed: the receiver samples the wrong bits and makes garbage of it, usually with
//     framing errors, sometimes several characters or none (a start bit that is gone half a bit
//     later is no start bit); rates within a few percent of each other still read correctly;
//   - stop bits: one or two makes no difference to a receiver, since only the first is checked;
//   - a 7-bit controller with mark parity, or at 7,N,2, read by a host at 8,N: the host's eighth
//     data bit is the controller's mark parity bit or first stop bit, so every reply arrives with
//     bit 7 set and without an error. That is what the controller search meets on its "N,8,1"
//     entries and why it switches to "N,7,2" on a high bit. The other way round the controller
//     sees the host's bit 7 (0 in ASCII) as its parity bit or stop bit: the command arrives
//     intact, flagged with a parity or framing error, which the controller ignores;
//   - an 8-bit controller read by a host at 7 data bits: the host takes the controller's bit 7 as
//     its parity bit (or stop bit); it reads the low seven bits and a parity error when bit 7 does
//     not fit. Bit 7 cannot arrive at seven data bits.
//
// Each character is modelled alone, with the line idle after it: a receiver that reads a longer
// frame than was sent samples idle line, not the next character's start bit.
//
// On a pseudo-terminal the host's data bits and parity cannot be seen (the kernel forces 8,N), so
// a line made for one (HostFraming::kSpeedAndStopBitsOnly) takes the device's own data bits and
// parity for the host's and lets the stop bits stand in for the rest of the framing: nothing
// passes either way while the host's stop bits differ from the device's, which is what tells the
// search's "N,8,1" and "N,7,2" entries apart there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "emulated_device.h"
#include "line_settings.h"

namespace kx7::emu {

struct ReceivedChar {
  std::uint8_t value = 0;
  bool framingError = false;
  bool parityError = false;
  bool operator==(const ReceivedChar&) const = default;
};

// What a receiver set to `receiver` makes of one character that a sender set to `sender` put on an
// otherwise idle line: nothing, one character, or several.
std::vector<ReceivedChar> ReceiveCharacter(std::uint8_t byte, const LineSettings& sender, const LineSettings& receiver);

// How long one character of this framing occupies the line, in nanoseconds.
std::uint64_t CharacterNanoseconds(const LineSettings& settings);

enum class HostFraming {
  kVisible,               // an in-process line: the host's whole framing is known
  kSpeedAndStopBitsOnly,  // a pseudo-terminal: see above
};

// The line's clock ticks in milliseconds (the message loop's clock, in-process) unless it is made
// with a finer tick (the pseudo-terminal server runs it in microseconds, so that a character at
// 9600 baud is not rounded up to the next millisecond): every time argument and result below is
// in ticks. The device always sees milliseconds.
inline constexpr std::uint64_t kMillisecondTickNs = 1'000'000;
inline constexpr std::uint64_t kMicrosecondTickNs = 1'000;

class SerialLine {
 public:
  explicit SerialLine(EmulatedDevice& device, HostFraming framing = HostFraming::kVisible,
                      std::uint64_t tickNs = kMillisecondTickNs);

  // The host sends: each byte goes on the line when the previous one is out and reaches the
  // device one character time later.
  void HostWrite(const std::uint8_t* bytes, std::size_t count, const LineSettings& host, std::uint64_t nowMs);
  // What has reached the host's receiver by `nowMs`, as it reads it with `host`.
  std::vector<ReceivedChar> HostReadCharacters(const LineSettings& host, std::uint64_t nowMs);
  std::vector<std::uint8_t> HostRead(const LineSettings& host, std::uint64_t nowMs);

  // Runs the device and the line up to `nowMs`, in time order: characters reach the device when
  // they arrive, and the device's own events happen at their times. The clock never goes back.
  void Advance(std::uint64_t nowMs);
  // The next time something happens on the line or in the device, or kNever.
  std::uint64_t NextEventMs() const;

  EmulatedDevice& Device() const { return device_; }

 private:
  struct InFlight {
    std::uint64_t arrivalNs;
    std::uint8_t byte;
    LineSettings sender;
  };

  // The host's settings as the model uses them, completed from `device` where they are not seen.
  LineSettings EffectiveHost(const LineSettings& host, const LineSettings& device) const;
  bool Passes(const LineSettings& host, const LineSettings& device) const;
  void DeliverToDevice(std::uint64_t atTick);
  void CollectOutput(std::uint64_t atTick);
  std::uint64_t ToTickRoundingUp(std::uint64_t ns) const { return (ns + tickNs_ - 1) / tickNs_; }
  std::uint64_t DeviceMs(std::uint64_t tick) const;
  std::uint64_t TickOfMs(std::uint64_t ms) const;

  EmulatedDevice& device_;
  const HostFraming framing_;
  const std::uint64_t tickNs_;
  std::deque<InFlight> toDevice_;
  std::deque<InFlight> toHost_;
  std::uint64_t hostSendFreeNs_ = 0;    // when the host's transmitter is done with what it has
  std::uint64_t deviceSendFreeNs_ = 0;  // the same for the device
  std::uint64_t nowTick_ = 0;
};

}  // namespace kx7::emu
