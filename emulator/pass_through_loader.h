// The boot loaders of the second processor, reached with pass-through target "L". The controller
// hands them every byte the host sends (after the DLE decoding of a serial line) and sends back
// what they answer; a loader may also ask the controller to restart into the downloaded code or
// to drop off the line. Time matters to them: a loader that takes a program of unknown length
// ends it when the host has been quiet for a while.
//
// `PassThroughLoader` is the GEN3/GEN4 code loader: it greets with "." and answers the one-byte
// handshakes ('F' with 0xC6, 'R' with 'A', 'S' with 'B', 'T' with 'C'). After 'F' it takes one
// image in the protocol it was built for:
//   header       an 8-byte header (address and length, 32-bit little-endian), the bytes, and the
//                16-bit sum of header and bytes (low byte first); the image goes to flash at the
//                address (the parameter area's address erases the parameters);
//   standard     the bytes only, ended by the host's silence; they go to flash from address 0;
//   ram-utility  the 8-bit sum of the bytes, then the bytes, ended by the host's silence; they run
//                from RAM and leave the flash alone.
// It answers "Done..." SOH "0" CR when the image was whole and stored, else "Fail..." SOH "1" CR.
// SOH "RE3" CR (any time it waits for a command) is acknowledged and restarts the controller
// into its download code. Fault steps: F, image, RE3.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "loader_faults.h"

namespace kx7::emu {

enum class LoaderAction { kNone, kRestart, kDropOff };

struct LoaderOutput {
  std::string bytes;
  LoaderAction action = LoaderAction::kNone;
};

class SecondProcessorLoader {
 public:
  virtual ~SecondProcessorLoader() = default;
  // The pass-through to the loader opened; what it sends at once.
  virtual std::string Begin(std::uint64_t nowMs) = 0;
  virtual LoaderOutput OnByte(std::uint8_t byte, std::uint64_t nowMs) = 0;
  // Time passed with no byte: what a loader waiting for the host's silence does now.
  virtual LoaderOutput Advance(std::uint64_t) { return {}; }
  virtual std::uint64_t NextEventMs() const { return std::numeric_limits<std::uint64_t>::max(); }
};

// Where a loader puts what it was given: flash (address, bytes), false when the range is not the
// loader's to write.
using StoreImage = std::function<bool(std::uint32_t address, const std::vector<std::uint8_t>& bytes)>;

// Reads the SOH-framed commands a loader takes between its binary steps (SOH text CR).
class LoaderCommandFrames {
 public:
  // True when the byte belongs to a frame (a SOH opens one); `text` is set when CR closed it.
  bool Push(std::uint8_t byte, std::optional<std::string>& text);
  void Reset() { open_ = false; text_.clear(); }

 private:
  static constexpr std::size_t kLongest = 16;
  bool open_ = false;
  std::string text_;
};

enum class LoaderProtocol { kHeader, kStandard, kRamUtility };

class PassThroughLoader : public SecondProcessorLoader {
 public:
  PassThroughLoader(StoreImage store, std::uint32_t maxImageBytes, LoaderFaults* faults = nullptr,
                    LoaderProtocol protocol = LoaderProtocol::kHeader);

  std::string Begin(std::uint64_t nowMs) override;
  LoaderOutput OnByte(std::uint8_t byte, std::uint64_t nowMs) override;
  LoaderOutput Advance(std::uint64_t nowMs) override;
  std::uint64_t NextEventMs() const override;

  static constexpr std::uint32_t kParameterArea = 0x0003FF00;
  // A standard or RAM-utility image ends when the host has sent nothing for this long.
  static constexpr std::uint64_t kQuietEndsImageMs = 500;

 private:
  enum class Step { kIdle, kHeader, kData, kSum, kUntilQuiet };
  LoaderOutput Verdict(bool stored);
  LoaderOutput EndQuietImage();

  StoreImage store_;
  std::uint32_t maxImageBytes_;
  LoaderFaults* faults_;
  LoaderProtocol protocol_;
  LoaderCommandFrames frames_;
  Step step_ = Step::kIdle;
  std::vector<std::uint8_t> header_;
  std::vector<std::uint8_t> data_;
  std::uint32_t length_ = 0;
  std::uint16_t sum_ = 0;
  std::vector<std::uint8_t> sumBytes_;
  std::uint64_t lastByteMs_ = 0;
};

// The answers a loader gives for a fault on a one-byte handshake: nothing, another byte, or the
// refusal; nothing at all when none is planned. `kind` is the planned fault.
LoaderOutput HandshakeFault(LoaderFaultKind kind, char wrong);

}  // namespace kx7::emu
