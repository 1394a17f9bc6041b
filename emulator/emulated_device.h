// Anything that can sit at the far end of a serial line: an emulated controller, the "silent"
// and "echo" lines. The transports (in-process device, pseudo-terminal) drive it; they know
// nothing of the command set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "line_settings.h"
#include "loader_faults.h"
#include "pass_through_loader.h"

namespace kx7::emu {

inline constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

class EmulatedDevice {
 public:
  virtual ~EmulatedDevice() = default;

  // The device's own speed and framing. It may change (a "PN81" command, a reboot, entering
  // pass-through at 115200); transports read it again before every transfer.
  virtual LineSettings Line() const = 0;

  // Bytes from the host as the device's UART delivers them (the transport has already applied
  // the framing model: mismatched framing arrives garbled or not at all). `nowMs` is the clock of
  // the transport (virtual in tests).
  virtual void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) = 0;

  // Time has passed: the device produces what is due (reports of a touch stream, replies after a
  // restart, the end of a reboot).
  virtual void Advance(std::uint64_t nowMs) = 0;

  // The next time Advance has something to do, or kNever.
  virtual std::uint64_t NextEventMs() const = 0;

  // What the device has sent since the last call, in its own framing.
  virtual std::vector<std::uint8_t> TakeOutput() = 0;

  // False while the device is off the line (rebooting): a transport of a USB device would make it
  // disappear; a serial line just stays silent.
  virtual bool Present() const { return true; }
};

// The names `kx7emu --list` prints, in order.
const std::vector<std::string>& FamilyNames();

// What a test or `kx7emu` changes in a controller's boot loader: planted faults and the protocol
// of the GEN3/GEN4 code loader.
struct LoaderSwitches {
  std::vector<LoaderFault> faults;
  std::optional<LoaderProtocol> protocol;
};

// A device for a family name ("cedar-gen4", ..., "silent", "echo") with its own line settings
// (empty: the family's default). Nothing when the name or the settings are unknown.
// A controller comes with its touch side; with `ownTouches` a person's hand strokes the screen
// now and then once the host has fallen silent (see ControllerOptions::handsOffMs).
// With `feed`, the controller's touches come from it (and not from its own hand).
class TouchFeed;
std::unique_ptr<EmulatedDevice> CreateDevice(const std::string& family, const std::string& settings = "",
                                             bool ownTouches = true, std::shared_ptr<TouchFeed> feed = nullptr,
                                             const LoaderSwitches& switches = {});

// How long the hand of an emulated controller keeps off the screen after the host last sent.
inline constexpr std::uint64_t kHandsOffMs = 3000;

}  // namespace kx7::emu
