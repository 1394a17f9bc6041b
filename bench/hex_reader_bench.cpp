// The Intel hex reader against srec_cat on the same file: a 2.9 MB Intel hex file holding 1 MiB of
// data (16-byte records, an extended linear address record every 64 KiB), read from disk into an
// image by the program, and read to binary by srec_cat. The counter "ratio" is the program's
// throughput over srec_cat's.
//
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKX7_BUILD_BENCH=ON -DKX7_BUILD_TESTS=OFF
//   cmake --build build-bench --target hex_reader_bench && build-bench/bench/hex_reader_bench
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "firmware/hex_image_reader.h"
#include "platform/file_bytes.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kDataBytes = 1u << 20;

std::string HexFile() {
  static const std::string path = [] {
    const std::string file = (fs::temp_directory_path() / ("kx7-hex-bench-" + std::to_string(getpid()) + ".hex")).string();
    std::ofstream out(file, std::ios::binary);
    char line[64];
    for (std::size_t at = 0; at < kDataBytes; at += 16) {
      if (at % 0x10000 == 0) {
        const unsigned upper = static_cast<unsigned>(at >> 16);
        std::snprintf(line, sizeof line, ":02000004%04X%02X\r\n", upper, (0x100 - ((6 + upper) & 0xFF)) & 0xFF);
        out << line;
      }
      unsigned sum = 16 + ((at >> 8) & 0xFF) + (at & 0xFF);
      std::snprintf(line, sizeof line, ":10%04X00", static_cast<unsigned>(at & 0xFFFF));
      out << line;
      for (std::size_t i = 0; i < 16; ++i) {
        const unsigned byte = static_cast<unsigned>((at + i) * 31 % 251);
        std::snprintf(line, sizeof line, "%02X", byte);
        out << line;
        sum += byte;
      }
      std::snprintf(line, sizeof line, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
      out << line;
    }
    out << ":00000001FF\r\n";
    return file;
  }();
  return path;
}

double FileMegabytes() { return static_cast<double>(fs::file_size(HexFile())) / 1e6; }

// The program: the file from disk into a 64 KiB image (the reader has no extended addressing, so
// the 1 MiB of data is stored over the image sixteen times).
void BM_ProgramReadsHex(benchmark::State& state) {
  const std::string path = HexFile();
  kx7::firmware::ImageBuffer image(0x10000);
  for (auto _ : state) {
    const std::optional<kx7::FileBytes> file = kx7::ReadFileBytes(path, 64u << 20);
    const kx7::firmware::ImageLoad load = kx7::firmware::ReadHexImageText(file->bytes, {}, image);
    if (load.count != kDataBytes) state.SkipWithError("the reader did not store every byte");
    benchmark::DoNotOptimize(image.Data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(fs::file_size(path)));
  state.counters["MB_per_s"] = benchmark::Counter(FileMegabytes(), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ProgramReadsHex)->Unit(benchmark::kMillisecond)->UseRealTime();

double RunSrecCatSeconds(const std::string& path, const std::string& output) {
  std::string program = "srec_cat", in = path, intel = "-Intel", o = "-o", out = output, binary = "-Binary";
  char* arguments[] = {program.data(), in.data(), intel.data(), o.data(), out.data(), binary.data(), nullptr};
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, "srec_cat", nullptr, nullptr, arguments, environ) != 0) return -1;
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// srec_cat reading the same file to binary, and the program's throughput over srec_cat's.
void BM_SrecCatReadsHex(benchmark::State& state) {
  const std::string path = HexFile();
  const std::string output = path + ".bin";
  double srecSeconds = 0;
  for (auto _ : state) {
    const double seconds = RunSrecCatSeconds(path, output);
    if (seconds < 0) {
      state.SkipWithError("srec_cat did not run (Debian package srecord)");
      break;
    }
    state.SetIterationTime(seconds);
    srecSeconds += seconds;
  }
  fs::remove(output);
  // The program's time for the same file, best of five.
  kx7::firmware::ImageBuffer image(0x10000);
  double programSeconds = 1e9;
  for (int run = 0; run < 5; ++run) {
    const Clock::time_point start = Clock::now();
    const std::optional<kx7::FileBytes> file = kx7::ReadFileBytes(path, 64u << 20);
    kx7::firmware::ReadHexImageText(file->bytes, {}, image);
    programSeconds = std::min(programSeconds, std::chrono::duration<double>(Clock::now() - start).count());
  }
  const double srecAverage = srecSeconds / static_cast<double>(std::max<std::int64_t>(1, state.iterations()));
  state.counters["MB_per_s"] = FileMegabytes() / srecAverage;
  state.counters["ratio"] = srecAverage / programSeconds;
}
BENCHMARK(BM_SrecCatReadsHex)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
