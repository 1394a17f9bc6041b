// What the receive path costs at 115200 baud: a writer thread feeds a pseudo-terminal at the pace
// of a UART (64-byte bursts, 11520 bytes a second), the port's reader hands blocks to a frame on a
// real-time loop that copies them out and passes every byte to a listener. The figure is the CPU
// time of the whole process, less the writer's own, as a share of one core; every byte must
// arrive in order.
//
//   serial_receive_bench [--benchmark_...]
//   KX7_BENCH_SECONDS=5 sets the length of each run, KX7_BENCH_BURST=64 the bytes of one burst
//   (16 is closer to a USB converter that sends every millisecond).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "link/serial/serial_constants.h"
#include "link/serial/serial_port.h"
#include "platform/real_time_loop.h"
#include "platform/window.h"

namespace kx7 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPortNumber = 200;
constexpr int kBytesPerSecond = 11520;     // 115200 baud, 10 bits a character
constexpr std::size_t kDefaultBurst = 64;  // a UART FIFO's worth
constexpr std::size_t kMaxBurst = 4096;
constexpr std::uint32_t kTickTimer = 1;

double Seconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int RunSeconds() {
  const char* text = std::getenv("KX7_BENCH_SECONDS");
  const int seconds = text ? std::atoi(text) : 5;
  return seconds > 0 ? seconds : 5;
}

std::size_t Burst() {
  const char* text = std::getenv("KX7_BENCH_BURST");
  const long burst = text ? std::atol(text) : 0;
  return burst > 0 && burst <= static_cast<long>(kMaxBurst) ? static_cast<std::size_t>(burst) : kDefaultBurst;
}

std::uint8_t PatternByte(std::size_t i) { return static_cast<std::uint8_t>((i * 31u + i / 257u) & 0xFFu); }

// The frame's side of the hand-off, as the main frame does it: copy the block out, free the buffer,
// then give each byte to the listener.
class Consumer : public Window, public SerialPortHost {
 public:
  explicit Consumer(MessageLoop& loop) : Window(loop) {}

  ReceiveBuffer& Buffer(int slot) override { return buffers_[static_cast<std::size_t>(slot)]; }
  LinkFlags& Flags() override { return flags_; }
  void PostToFrame(MessageId message, WParam wParam, LParam lParam) override {
    Loop().Post(Id(), message, wParam, lParam);
  }
  void RestartLineErrorTimer() override {}
  void OnOpenTimedOut() override {}

  LResult OnMessage(MessageId message, WParam, LParam) override {
    if (message != serial::ReceivedMessage(serial::kControllerSlot)) return 0;
    ReceiveBuffer& buffer = Buffer(serial::kControllerSlot);
    const std::uint32_t count = buffer.count.load();
    std::array<std::uint8_t, kReceiveBufferSize> local;
    std::memcpy(local.data(), buffer.bytes.data(), count);
    buffer.bufferFree.Set();
    ++blocks;
    for (std::uint32_t i = 0; i < count; ++i) Listen(local[i]);
    return 0;
  }

  void Listen(std::uint8_t byte) {
    if (byte != PatternByte(received)) ++mismatches;
    ++received;
  }

  std::size_t received = 0;
  std::size_t mismatches = 0;
  std::size_t blocks = 0;

 private:
  std::array<ReceiveBuffer, serial::kSlotCount> buffers_;
  LinkFlags flags_;
};

struct Pty {
  int master = -1;
  std::string slave;
  bool Open() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
    const char* name = ptsname(master);
    if (!name) return false;
    slave = name;
    return true;
  }
  ~Pty() {
    if (master >= 0) ::close(master);
  }
};

struct Figures {
  bool ok = false;
  double wallSeconds = 0;
  double cpuSeconds = 0;  // the process less the writer thread
  std::size_t sent = 0;
  std::size_t received = 0;
  std::size_t mismatches = 0;
  std::size_t blocks = 0;
};

// Runs the port for `seconds`; with `paced` false nothing is written (the idle cost).
Figures Run(int seconds, bool paced) {
  Figures figures;
  Pty pty;
  if (!pty.Open()) return figures;
  RealTimeLoop loop;
  Consumer consumer(loop);
  PortDirectory ports;
  if (!ports.AddOverride("COM" + std::to_string(kPortNumber) + "=" + pty.slave)) return figures;
  CSerialPort port(serial::kControllerSlot, consumer, ports);
  if (!port.SetSettings("115200,N,8,1") || !port.OpenPort(kPortNumber)) return figures;

  const std::size_t total = paced ? static_cast<std::size_t>(seconds) * kBytesPerSecond : 0;
  std::atomic<bool> writerDone{!paced};
  double writerCpu = 0;
  const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto wallStart = Clock::now();
  std::thread writer;
  if (paced) {
    writer = std::thread([&] {
      const double ownStart = Seconds(CLOCK_THREAD_CPUTIME_ID);
      const std::size_t burstSize = Burst();
      std::array<std::uint8_t, kMaxBurst> burst;
      const auto interval =
          std::chrono::nanoseconds(1'000'000'000LL * static_cast<long long>(burstSize) / kBytesPerSecond);
      auto due = Clock::now();
      for (std::size_t sent = 0; sent < total;) {
        const std::size_t count = std::min(burstSize, total - sent);
        for (std::size_t i = 0; i < count; ++i) burst[i] = PatternByte(sent + i);
        std::size_t done = 0;
        while (done < count) {
          const ssize_t n = ::write(pty.master, burst.data() + done, count - done);
          if (n <= 0) break;
          done += static_cast<std::size_t>(n);
        }
        sent += done;
        if (done < count) break;
        due += interval;
        std::this_thread::sleep_until(due);
      }
      writerCpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - ownStart;
      writerDone.store(true);
    });
  }

  const auto deadline = wallStart + std::chrono::seconds(seconds + 5);
  consumer.SetTimer(kTickTimer, 100);
  loop.RunUntil([&] {
    const auto now = Clock::now();
    if (!paced) return now >= wallStart + std::chrono::seconds(seconds);
    return (writerDone.load() && consumer.received >= total) || now >= deadline;
  });
  consumer.KillTimer(kTickTimer);
  if (writer.joinable()) writer.join();
  figures.wallSeconds = std::chrono::duration<double>(Clock::now() - wallStart).count();
  figures.cpuSeconds = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart - writerCpu;
  port.ClosePort();

  figures.sent = total;
  figures.received = consumer.received;
  figures.mismatches = consumer.mismatches;
  figures.blocks = consumer.blocks;
  figures.ok = consumer.received == total && consumer.mismatches == 0;
  return figures;
}

void Report(benchmark::State& state, const Figures& figures, const char* what) {
  state.SetIterationTime(figures.wallSeconds);
  const double percent = figures.wallSeconds > 0 ? 100.0 * figures.cpuSeconds / figures.wallSeconds : 0;
  state.counters["cpu_pct_of_core"] = percent;
  state.counters["bytes_sent"] = static_cast<double>(figures.sent);
  state.counters["bytes_received"] = static_cast<double>(figures.received);
  state.counters["mismatches"] = static_cast<double>(figures.mismatches);
  state.counters["blocks"] = static_cast<double>(figures.blocks);
  const std::string pacing = figures.sent > 0 ? " (bursts of " + std::to_string(Burst()) + ")" : "";
  std::printf("%s%s: %.3f%% of one core over %.2f s; %zu of %zu bytes arrived in %zu blocks, %zu wrong\n", what,
              pacing.c_str(), percent, figures.wallSeconds, figures.received, figures.sent, figures.blocks,
              figures.mismatches);
  if (!figures.ok) state.SkipWithError("bytes were lost or changed");
}

void SerialReceiveAt115200(benchmark::State& state) {
  for (auto _ : state) Report(state, Run(RunSeconds(), true), "receive at 115200");
}

void SerialIdlePort(benchmark::State& state) {
  for (auto _ : state) Report(state, Run(RunSeconds(), false), "idle open port");
}

BENCHMARK(SerialReceiveAt115200)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(SerialIdlePort)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kx7

BENCHMARK_MAIN();
