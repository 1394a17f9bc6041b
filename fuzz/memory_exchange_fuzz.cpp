// Whatever a controller sends during a peek or poke: the exchange ends true or false, never writes
// past the caller's array, never keeps more values than asked, and leaves slot 3 and timer 1 free.
//
// Input: byte 0 chooses the operation (bit 0 write, bit 1 words, bit 2 a Rowan/Cedar type), byte
// 1 the count (1 to 64); the rest, cut at each 0xFF, is what the controller answers to each line
// of the host in turn.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "controller/controller_types.h"
#include "emulator/emulated_device.h"
#include "emulator/in_process_backend.h"
#include "frame/main_frame.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"
#include "proto/controller_protocol.h"
#include "proto/memory_exchange.h"

namespace {

class AnsweringDevice : public kx7::emu::EmulatedDevice {
 public:
  explicit AnsweringDevice(std::deque<std::string> answers) : answers_(std::move(answers)) {}
  kx7::emu::LineSettings Line() const override { return {}; }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t) override {
    for (std::size_t i = 0; i < count; ++i) {
      if (bytes[i] != '\r' || answers_.empty()) continue;
      output_ += answers_.front();
      answers_.pop_front();
    }
  }
  void Advance(std::uint64_t) override {}
  std::uint64_t NextEventMs() const override { return kx7::emu::kNever; }
  std::vector<std::uint8_t> TakeOutput() override {
    std::vector<std::uint8_t> out(output_.begin(), output_.end());
    output_.clear();
    return out;
  }

 private:
  std::deque<std::string> answers_;
  std::string output_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kx7;
  if (size < 2) return 0;
  const bool write = (data[0] & 1) != 0;
  const bool words = (data[0] & 2) != 0;
  const bool rowan = (data[0] & 4) != 0;
  const std::size_t count = 1 + data[1] % 64;
  std::deque<std::string> answers(1);
  for (std::size_t i = 2; i < size; ++i) {
    if (data[i] == 0xFF)
      answers.emplace_back();
    else
      answers.back().push_back(static_cast<char>(data[i]));
  }

  VirtualTimeLoop loop;
  ScriptedUiHost ui;
  PortDirectory ports;
  SerialBackendTable backends{loop};
  emu::InProcessSerialBackend device(std::make_unique<AnsweringDevice>(std::move(answers)));
  CMainFrame::Environment environment;
  environment.settingsFolder = "/nonexistent-kx7-settings";
  auto frame = std::make_unique<CMainFrame>(loop, ui, ports, ParseStartupFlags({"-nosearch"}), environment);
  frame->serialPorts[0]->UseBackends(&backends);
  ControllerProtocol& protocol = InstallControllerProtocol(*frame);
  if (!backends.Attach(ports, 3, device)) __builtin_trap();
  frame->serialPorts[0]->SetSettings("9600,N,8,1");
  if (!frame->serialPorts[0]->OpenPort(3)) __builtin_trap();
  frame->LinkKind = 3;
  frame->ControllerType = rowan ? type::kCedarGen4 : type::kBirch;
  {
    MemoryExchange memory(*frame, protocol.channel, protocol.usb);
    bool ok = false;
    if (words) {
      auto values = std::make_unique<std::uint16_t[]>(count);
      for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<std::uint16_t>(i * 0x0101);
      ok = write ? memory.WriteMemoryWords(10, 0x100, count, values.get())
                 : memory.ReadMemoryWords(10, 0x100, count, values.get());
    } else {
      auto values = std::make_unique<std::uint8_t[]>(count);
      for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<std::uint8_t>(i);
      ok = write ? memory.WriteMemory(11, 0x100, count, values.get())
                 : memory.ReadMemory(11, 0x100, count, values.get());
    }
    if (memory.Values().size() > count) __builtin_trap();
    if (ok && !write && memory.Values().size() != count) __builtin_trap();
    if (memory.Running() || loop.HasTimer(frame->Id(), timer::kMemoryExchange)) __builtin_trap();
  }
  frame.reset();
  return 0;
}
