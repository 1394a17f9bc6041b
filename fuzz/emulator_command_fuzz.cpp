// Bytes from the host, whatever they are, into every family's controller: it must never crash,
// its line settings must stay sensible, its output bounded and its clock never stuck.
//
// Input: one byte of option flags, then chunks of [milliseconds to advance][length][bytes].
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/controller.h"
#include "emulator/family_profile.h"
#include "emulator/line_settings.h"
#include "emulator/touch_report_generator.h"

namespace {

using kx7::emu::ControllerOptions;
using kx7::emu::EmulatedController;

// The most one chunk may bring back: a whole 128 KiB memory as a peek is the longest single
// answer; every byte of a chunk may end a command.
constexpr std::size_t kOutputPerChunk = 1 << 20;
constexpr std::size_t kOutputPerByte = 2048;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::size_t Pump(EmulatedController& controller, std::uint64_t nowMs) {
  controller.Advance(nowMs);
  std::size_t total = 0;
  for (int round = 0; round < 1000; ++round) {
    const std::vector<std::uint8_t> out = controller.TakeOutput();
    total += out.size();
    const kx7::emu::LineSettings line = controller.Line();
    Check(kx7::emu::ParseLineSettings(line.ToString()).has_value());
    if (out.empty() && controller.NextEventMs() > nowMs) return total;
    controller.Advance(nowMs);
  }
  Check(false);  // a transport would spin here: output promised for now and never delivered
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  ControllerOptions options;
  if (flags & 0x01) options.haptic = true;
  if (flags & 0x02) options.multiContactMode2 = true;
  if (flags & 0x04) options.replyDelayMs = 3;
  if (flags & 0x08) options.dropOff = kx7::emu::DropOffTimes{1, 2, 3, 4, 5, 6};
  if (flags & 0x10) options.boardLetters = "PARO";
  if (flags & 0x20) options.identity.oi = "";

  for (const std::string& family : kx7::emu::ControllerFamilyNames()) {
    auto controller = EmulatedController::ForFamily(family, options);
    Check(controller != nullptr);
    if (flags & 0x40) {
      kx7::emu::TouchReportConfig touch;
      touch.autoStroke = (flags & 0x80) != 0;
      controller->SetReportGenerator(std::make_unique<kx7::emu::TouchReportGenerator>(touch));
    }
    std::uint64_t now = 0;
    std::size_t at = 1;
    while (at < size) {
      now += data[at++];
      const std::size_t length = at < size ? data[at++] : 0;
      const std::size_t take = length < size - at ? length : size - at;
      controller->Receive(data + at, take, now);
      at += take;
      const std::size_t out = Pump(*controller, now);
      Check(out <= kOutputPerChunk + take * kOutputPerByte);
    }
    Pump(*controller, now + 100000);
  }
  return 0;
}
