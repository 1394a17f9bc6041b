// How fast KXS tablet reports go through the decoder into a line store: a megabyte of 5-byte
// reports (a touch that moves, lifts and comes down again) through DecodeByte one byte at a time,
// into a fixed ring of 100 lines of 150 characters like the terminal's, and into the terminal's
// own line store. The figure is bytes a second.
//
//   report_decoder_bench [--benchmark_...]
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "controller/controller_types.h"
#include "kxs_stream.h"
#include "display/display_constants.h"
#include "display/report_decoder.h"
#include "display/terminal_sink.h"
#include "display/terminal_text.h"

namespace kx7 {
namespace {

constexpr std::size_t kStreamBytes = 1 << 20;

// A stand-in for the terminal's store: 100 lines of 150 characters, nothing ever allocated.
class RingSink : public TerminalSink {
 public:
  static constexpr std::size_t kLines = 100;
  static constexpr std::size_t kColumns = 150;

  void AppendText(std::string_view text, TextKind, int) override {
    if (column_ + text.size() > kColumns - 2) EndLine(LineEnd::kPlain);
    std::array<char, kColumns>& line = ring_[row_];
    for (char c : text) line[column_++] = c;
  }
  void EndLine(LineEnd) override {
    row_ = (row_ + 1) % kLines;
    column_ = 0;
  }
  char Sample() const { return ring_[row_][0]; }

 private:
  std::array<std::array<char, kColumns>, kLines> ring_{};
  std::size_t row_ = 0;
  std::size_t column_ = 0;
};

class NoActions : public DecoderActions {
 public:
  void SendPollByte() override { ++polls; }
  void WriteRawLog(std::uint8_t) override {}
  void WriteLogLinefeed() override {}
  std::size_t polls = 0;
};

std::vector<std::uint8_t> KxsStream() { return bench::KxsStream(kStreamBytes); }

DecoderSettings Birch(bool fullResolution) {
  DecoderSettings settings;
  settings.reportFormat = format::kKxs;
  settings.controllerType = type::kBirch;
  settings.linkKind = 1;
  settings.fullResolution = fullResolution;
  return settings;
}

template <typename Sink>
void Run(benchmark::State& state, Sink& sink, const DecoderSettings& settings) {
  const std::vector<std::uint8_t> stream = KxsStream();
  NoActions actions;
  ReportDecoder decoder(sink, actions);
  for (auto _ : state) {
    for (std::uint8_t byte : stream) decoder.DecodeByte(byte, settings);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(stream.size()));
  state.counters["reports/s"] =
      benchmark::Counter(static_cast<double>(stream.size() / 5), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_KxsIntoRing(benchmark::State& state) {
  RingSink sink;
  Run(state, sink, Birch(false));
  benchmark::DoNotOptimize(sink.Sample());
}
BENCHMARK(BM_KxsIntoRing)->Unit(benchmark::kMillisecond);

void BM_KxsFullResolutionIntoRing(benchmark::State& state) {
  RingSink sink;
  Run(state, sink, Birch(true));
  benchmark::DoNotOptimize(sink.Sample());
}
BENCHMARK(BM_KxsFullResolutionIntoRing)->Unit(benchmark::kMillisecond);

void BM_KxsIntoTerminalText(benchmark::State& state) {
  TerminalText text;
  text.StartAccepting();
  Run(state, text, Birch(false));
  benchmark::DoNotOptimize(text.Row(0).size());
}
BENCHMARK(BM_KxsIntoTerminalText)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kx7

BENCHMARK_MAIN();
