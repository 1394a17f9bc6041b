// How long the serial Firmware Loader takes to send an image at 9600 baud, against the wire time
// of the bytes it exchanges. kx7emu serves a Larch in its boot loader on a pseudo-terminal and paces
// every byte at the line's speed in both directions; the core runs the loader dialog unattended on
// a real-time loop, as kx7cli download does.
//
// The exchange of an image of N bytes in pieces of at most 32 and pages of 256:
//   "PB" and its answer                         4 + 6 bytes
//   a piece of c bytes: "PD", OK, 2c hex + CR, OK   2c + 11 bytes
//   a page commit: "PE", OK, "%04X" CR, OK          15 bytes
// each byte 10 bits on the line (8 data, start, stop). The figure to meet: wall time within
// 1.05 x the wire time.
//
//   serial_download_bench [--benchmark_...]
//   KX7EMU=/path/to/kx7emu names the emulator (default: emulator/kx7emu of this build tree).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "app/diagnostic_app.h"
#include "controller/controller_types.h"
#include "firmware/firmware_loader.h"
#include "frame/frame_constants.h"
#include "platform/console_ui_host.h"
#include "platform/real_time_loop.h"
#include "proto/controller_protocol.h"
#include "emulated_frame.h"
#include "support/child_process.h"

namespace kx7 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSlack = 1.05;
constexpr double kBitsPerByte = 10;
constexpr double kBaud = 9600;
constexpr std::size_t kPiece = 32;
constexpr std::size_t kPage = 256;

using bench::EmulatorPath;


// The bytes on the line for an image of `length` bytes, both directions.
double WireBytes(std::size_t length) {
  double bytes = 4 + 6;
  std::size_t pageFill = 0;
  for (std::size_t sent = 0; sent < length;) {
    const std::size_t count = std::min({kPiece, kPage - pageFill, length - sent});
    bytes += 2.0 * static_cast<double>(count) + 11;
    sent += count;
    pageFill += count;
    if (pageFill == kPage || sent == length) {
      bytes += 15;
      pageFill = 0;
    }
  }
  return bytes;
}

struct Figures {
  bool done = false;
  double wallMs = 0;
};

std::optional<Figures> TimeDownload(std::size_t length, std::string& problem) {
  testing::EmulatorProcess emulator;
  if (!emulator.Start(EmulatorPath(), {"--family", "larch-mt", "--settings", "9600,N,8,1", "--no-touch"})) {
    problem = "kx7emu did not start (" + EmulatorPath() + "; set KX7EMU or build kx7emu)";
    return std::nullopt;
  }
  Figures figures;
  {
    bench::EmulatedFrame emulated(emulator.Path());
    if (!emulated.Made()) {
      problem = "no temporary folder";
      return std::nullopt;
    }
    const std::string image = emulated.Folder() + "/fw.bin";
    {
      std::ofstream file(image, std::ios::binary);
      for (std::size_t i = 0; i < length; ++i) file.put(static_cast<char>(i * 7 + 3));
    }
    CMainFrame* frame = &emulated.Frame();
    ControllerProtocol* protocol = &emulated.Protocol();
    frame->settings.MainPortSettings = "9600,N,8,1";
    frame->serialPorts[port::kController]->SetSettings("9600,N,8,1");
    if (!frame->serialPorts[port::kController]->OpenPort(1)) {
      problem = "the pseudo-terminal did not open";
      return std::nullopt;
    }
    frame->LinkKind = 1;
    frame->ControllerType = type::kLarch;
    frame->ControllerFeatures = feature::kLarchMultitouch;
    firmware::FirmwareLoader loader(*frame, *protocol);
    loader.reboot = false;
    loader.SetAutomatic(image);
    const Clock::time_point start = Clock::now();
    loader.RunHeadless();
    figures.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    figures.done = loader.Result() == firmware::DownloadResult::kDone;
  }
  return figures;
}

void BM_SerialFirmwareDownload9600(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  const double wireMs = WireBytes(length) * kBitsPerByte / kBaud * 1000.0;
  Figures figures;
  for (auto _ : state) {
    std::string problem;
    const std::optional<Figures> measured = TimeDownload(length, problem);
    if (!measured) {
      state.SkipWithError(problem.c_str());
      return;
    }
    figures = *measured;
    state.SetIterationTime(figures.wallMs / 1000.0);
  }
  if (!figures.done) {
    state.SkipWithError("the download failed");
    return;
  }
  state.counters["wall_ms"] = figures.wallMs;
  state.counters["wire_ms"] = wireMs;
  state.counters["ratio"] = figures.wallMs / wireMs;
  state.SetLabel(figures.wallMs <= kSlack * wireMs ? "within 1.05 x the wire time" : "OVER 1.05 x the wire time");
}

BENCHMARK(BM_SerialFirmwareDownload9600)->Arg(2048)->Arg(8192)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kx7

BENCHMARK_MAIN();
