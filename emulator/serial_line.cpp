#include "serial_line.h"

#include <algorithm>
#include <array>
#include <bit>

namespace kx7::emu {
namespace {

constexpr std::uint64_t kNanosecondsPerMs = 1'000'000;
constexpr std::uint64_t kNanosecondsPerSecond = 1'000'000'000;
// A start, eight data bits, a parity bit and two stop bits.
constexpr std::size_t kMaxFrameBits = 12;
// A single character cannot make more than one character per receiver frame it spans; this only
// guards the loop below against settings nobody would use.
constexpr std::size_t kMaxCharactersPerCharacter = 64;
// Output with this many settings changes at one time would be a device gone wrong.
constexpr int kMaxTakesAtOnce = 64;

bool ParityBit(char parity, std::uint32_t data) {
  const bool odd = (std::popcount(data) & 1) != 0;
  switch (parity) {
    case 'E':
      return odd;  // makes the count of ones even
    case 'O':
      return !odd;
    case 'M':
      return true;
    default:  // 'S'
      return false;
  }
}

std::uint32_t DataMask(int dataBits) { return (1u << dataBits) - 1u; }


// A hand-made setting outside what a UART has is taken as the nearest one it has.
LineSettings Usable(LineSettings settings) {
  settings.baud = std::max(settings.baud, 1);
  settings.dataBits = std::clamp(settings.dataBits, 5, 8);
  settings.stopBits = std::clamp(settings.stopBits, 1, 2);
  if (settings.parity != 'E' && settings.parity != 'O' && settings.parity != 'M' && settings.parity != 'S') {
    settings.parity = 'N';
  }
  return settings;
}

}  // namespace

std::uint64_t CharacterNanoseconds(const LineSettings& given) {
  const LineSettings settings = Usable(given);
  const std::uint64_t bits = 1u + static_cast<unsigned>(settings.dataBits) + (settings.parity == 'N' ? 0u : 1u) +
                             static_cast<unsigned>(settings.stopBits);
  return bits * kNanosecondsPerSecond / static_cast<std::uint64_t>(settings.baud);
}

std::vector<ReceivedChar> ReceiveCharacter(std::uint8_t byte, const LineSettings& givenSender,
                                           const LineSettings& givenReceiver) {
  const LineSettings sender = Usable(givenSender);
  const LineSettings receiver = Usable(givenReceiver);
  // The waveform as bit levels, in the sender's bit times.
  std::array<bool, kMaxFrameBits> levels{};
  std::size_t frameBits = 0;
  const std::uint32_t data = byte & DataMask(sender.dataBits);
  levels[frameBits++] = false;
  for (int bit = 0; bit < sender.dataBits; ++bit) levels[frameBits++] = ((data >> bit) & 1u) != 0;
  if (sender.parity != 'N') levels[frameBits++] = ParityBit(sender.parity, data);
  for (int bit = 0; bit < sender.stopBits; ++bit) levels[frameBits++] = true;

  // Time in units of 1 / (2 x sender baud x receiver baud) seconds: a sender bit is then
  // 2 x receiver-baud units long and a receiver bit 2 x sender-baud units, all in integers.
  const std::uint64_t senderBit = 2u * static_cast<std::uint64_t>(receiver.baud);
  const std::uint64_t halfReceiverBit = static_cast<std::uint64_t>(sender.baud);
  const auto level = [&](std::uint64_t t) {
    const std::uint64_t index = t / senderBit;
    return index < frameBits ? levels[index] : true;
  };

  std::vector<ReceivedChar> received;
  std::uint64_t hunt = 0;
  while (received.size() < kMaxCharactersPerCharacter) {
    // The receiver starts a character where it first finds the line low.
    std::uint64_t start = 0;
    bool low = false;
    for (std::uint64_t index = hunt / senderBit; index < frameBits; ++index) {
      if (!levels[index]) {
        start = std::max(hunt, index * senderBit);
        low = true;
        break;
      }
    }
    if (!low) break;
    // The middle of the receiver's bit `k` (0 is the start bit).
    const auto sample = [&](unsigned k) { return level(start + (2u * k + 1u) * halfReceiverBit); };
    if (sample(0)) {
      // A glitch shorter than half a bit: no character; look for the next fall.
      hunt = start + halfReceiverBit;
      continue;
    }
    unsigned k = 1;
    std::uint32_t value = 0;
    for (int bit = 0; bit < receiver.dataBits; ++bit, ++k) {
      if (sample(k)) value |= 1u << bit;
    }
    ReceivedChar character;
    character.value = static_cast<std::uint8_t>(value);
    if (receiver.parity != 'N') {
      character.parityError = sample(k) != ParityBit(receiver.parity, value);
      ++k;
    }
    character.framingError = !sample(k);
    received.push_back(character);
    hunt = start + (2u * k + 1u) * halfReceiverBit;
  }
  return received;
}

SerialLine::SerialLine(EmulatedDevice& device, HostFraming framing, std::uint64_t tickNs)
    : device_(device), framing_(framing), tickNs_(std::max<std::uint64_t>(tickNs, 1)) {}

std::uint64_t SerialLine::DeviceMs(std::uint64_t tick) const { return tick * tickNs_ / kNanosecondsPerMs; }

std::uint64_t SerialLine::TickOfMs(std::uint64_t ms) const {
  if (ms == kNever) return kNever;
  return ms * (kNanosecondsPerMs / std::min(tickNs_, kNanosecondsPerMs));
}

LineSettings SerialLine::EffectiveHost(const LineSettings& host, const LineSettings& device) const {
  if (framing_ == HostFraming::kVisible) return host;
  LineSettings effective = host;
  effective.parity = device.parity;
  effective.dataBits = device.dataBits;
  return effective;
}

bool SerialLine::Passes(const LineSettings& host, const LineSettings& device) const {
  return framing_ == HostFraming::kVisible || host.stopBits == device.stopBits;
}

void SerialLine::HostWrite(const std::uint8_t* bytes, std::size_t count, const LineSettings& host,
                           std::uint64_t nowMs) {
  Advance(nowMs);
  const LineSettings sender = EffectiveHost(host, device_.Line());
  const std::uint64_t characterNs = CharacterNanoseconds(sender);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t start = std::max(nowTick_ * tickNs_, hostSendFreeNs_);
    hostSendFreeNs_ = start + characterNs;
    toDevice_.push_back(InFlight{hostSendFreeNs_, bytes[i], sender});
  }
}

std::vector<ReceivedChar> SerialLine::HostReadCharacters(const LineSettings& host, std::uint64_t nowMs) {
  Advance(nowMs);
  std::vector<ReceivedChar> received;
  while (!toHost_.empty() && toHost_.front().arrivalNs <= nowTick_ * tickNs_) {
    const InFlight character = toHost_.front();
    toHost_.pop_front();
    if (!Passes(host, character.sender)) continue;
    const std::vector<ReceivedChar> read =
        ReceiveCharacter(character.byte, character.sender, EffectiveHost(host, character.sender));
    received.insert(received.end(), read.begin(), read.end());
  }
  return received;
}

std::vector<std::uint8_t> SerialLine::HostRead(const LineSettings& host, std::uint64_t nowMs) {
  std::vector<std::uint8_t> bytes;
  for (const ReceivedChar& character : HostReadCharacters(host, nowMs)) bytes.push_back(character.value);
  return bytes;
}

void SerialLine::DeliverToDevice(std::uint64_t atTick) {
  std::vector<std::uint8_t> bytes;
  const LineSettings line = device_.Line();
  const bool listening = device_.Present();
  while (!toDevice_.empty() && ToTickRoundingUp(toDevice_.front().arrivalNs) <= atTick) {
    const InFlight character = toDevice_.front();
    toDevice_.pop_front();
    // A controller that is off the line (rebooting) hears nothing.
    if (!listening || !Passes(character.sender, line)) continue;
    for (const ReceivedChar& read : ReceiveCharacter(character.byte, character.sender, line))
      bytes.push_back(read.value);
  }
  if (!bytes.empty()) device_.Receive(bytes.data(), bytes.size(), DeviceMs(atTick));
}

void SerialLine::CollectOutput(std::uint64_t atTick) {
  // A device hands out the bytes meant for its current settings, then switches (a reply that
  // announces new settings leaves in the old ones): read the settings before each take.
  // A settings change without bytes still ends a take; what is due after it comes with the next.
  for (int take = 0; take < kMaxTakesAtOnce; ++take) {
    const LineSettings sender = device_.Line();
    const std::vector<std::uint8_t> output = device_.TakeOutput();
    if (output.empty() && TickOfMs(device_.NextEventMs()) > atTick) return;
    const std::uint64_t characterNs = CharacterNanoseconds(sender);
    for (std::uint8_t byte : output) {
      const std::uint64_t start = std::max(atTick * tickNs_, deviceSendFreeNs_);
      deviceSendFreeNs_ = start + characterNs;
      toHost_.push_back(InFlight{deviceSendFreeNs_, byte, sender});
    }
  }
}

void SerialLine::Advance(std::uint64_t now) {
  now = std::max(now, nowTick_);
  // The device's own events and the arrivals, in time order; an arrival goes first when both are
  // due at once, so that a command that lands just as a report is due is seen before it.
  std::uint64_t deviceFloor = nowTick_;
  for (;;) {
    const std::uint64_t arrival = toDevice_.empty() ? kNever : ToTickRoundingUp(toDevice_.front().arrivalNs);
    // A device that keeps saying it is due now would stall the clock; its next event counts as
    // one of its milliseconds later.
    std::uint64_t deviceEvent = TickOfMs(device_.NextEventMs());
    if (deviceEvent != kNever && deviceEvent < deviceFloor) deviceEvent = deviceFloor;
    const std::uint64_t next = std::min(arrival, deviceEvent);
    if (next == kNever || next > now) break;
    if (arrival <= deviceEvent) {
      DeliverToDevice(arrival);
    } else {
      device_.Advance(DeviceMs(deviceEvent));
      deviceFloor = TickOfMs(DeviceMs(deviceEvent) + 1);
    }
    CollectOutput(next);
  }
  device_.Advance(DeviceMs(now));
  CollectOutput(now);
  nowTick_ = now;
}

std::uint64_t SerialLine::NextEventMs() const {
  std::uint64_t next = TickOfMs(device_.NextEventMs());
  if (!toDevice_.empty()) next = std::min(next, ToTickRoundingUp(toDevice_.front().arrivalNs));
  if (!toHost_.empty()) next = std::min(next, ToTickRoundingUp(toHost_.front().arrivalNs));
  return next;
}

}  // namespace kx7::emu
