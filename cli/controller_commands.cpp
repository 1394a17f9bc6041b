#include "controller_commands.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_output.h"
#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "frame/messages.h"
#include "proto/proto_constants.h"
#include "proto/memory_exchange.h"
#include "proto/restart_commands.h"

namespace kx7::cli {
namespace {

// How long a restarted controller may take to be found again, and how long nothing may happen
// before a restart that started no search counts as over.
constexpr auto kComeBackTime = std::chrono::seconds(30);
constexpr auto kQuietTime = std::chrono::milliseconds(1500);
constexpr std::size_t kValuesPerLine = 16;
constexpr std::uint32_t kHardResetTimeMs = 1000;

void PrintReport(ControllerSession& session, const Request& request, std::ostream& out) {
  const ControllerReport report = session.Report();
  out << (request.json ? ReportJson(report) : ReportText(report));
  out.flush();
}

// Runs `restart`, then waits as the program does: for the ping, the search it starts, timer 28
// or the controller's plug-in. True when the link is open at the end and, when the restart took
// the controller away, a search found it again.
bool RestartAndWait(ControllerSession& session, const std::function<void()>& restart) {
  CMainFrame& frame = session.Frame();
  ControllerProtocol& protocol = session.Protocol();
  int searches = 0;
  const auto search = frame.startSearch;
  frame.startSearch = [&](std::uint32_t flags, bool again) {
    ++searches;
    if (search) search(flags, again);
  };
  bool away = false;
  bool progressShown = false;
  restart();
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + kComeBackTime;
  Clock::time_point quietSince = Clock::now();
  bool done = false;
  session.Loop().RunUntil([&] {
    const bool busy = protocol.restart->Progress().IsOpen() || protocol.channel.ReplyBusy() ||
                      protocol.finder.Running() || frame.Loop().HasTimer(frame.Id(), timer::kConnectPlugged);
    // A restart ping, "Please Wait" or a closed link: a search is to come.
    progressShown = progressShown || protocol.restart->Progress().IsOpen() || protocol.channel.ReplyBusy();
    away = away || frame.LinkKind == link::kClosed;
    const Clock::time_point now = Clock::now();
    if (busy) quietSince = now;
    if (searches > 0 && !protocol.finder.Running() && !busy) {
      done = frame.LinkKind != link::kClosed;
      return true;
    }
    if (!away && !progressShown && !busy) {
      done = frame.LinkKind != link::kClosed;
      return true;
    }
    // Waited out: the ping was not answered, or the controller never came back.
    if (searches == 0 && !busy && now - quietSince > (away ? kComeBackTime : kQuietTime)) return true;
    return now > end;
  });
  frame.startSearch = search;
  return done;
}

int Finish(ControllerSession& session, const Request& request, bool done, std::ostream& out, std::ostream& err) {
  if (!done) {
    err << "kx7cli: the controller did not come back\n";
    return 1;
  }
  PrintReport(session, request, out);
  return 0;
}

}  // namespace

std::string MemoryLines(const std::vector<std::uint16_t>& values, bool words) {
  std::string text;
  char digits[8];
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::snprintf(digits, sizeof digits, words ? "%04X" : "%02X", words ? values[i] : (values[i] & 0xFF));
    text += digits;
    text += (i + 1) % kValuesPerLine == 0 || i + 1 == values.size() ? '\n' : ' ';
  }
  return text;
}

int RunReset(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err) {
  if (!session.Connect(request, true)) return 1;
  RestartCommands& restart = *session.Protocol().restart;
  const std::uint32_t id = request.reset == ResetKind::kSoft ? cmd::kSoftReset : cmd::kHardReset;
  if (!restart.Update(id).enabled) {
    err << "kx7cli: this controller has no " << (request.reset == ResetKind::kSoft ? "soft" : "hard") << " reset\n";
    return 1;
  }
  const bool done = RestartAndWait(session, [&] {
    if (request.reset == ResetKind::kSoft) {
      restart.SoftReset(true);
      return;
    }
    restart.HardReset();
    // Over the command set the program awaits nothing after a hard reset; the command line wants
    // to know the controller is back: give it its restart time, then look on the same port.
    if (session.Frame().LinkKind != link::kClosed && !IsUsbLink(session.Frame().LinkKind)) {
      session.Loop().Sleep(kHardResetTimeMs);
      session.Frame().Post(msg::kConnect, find::kRetry, 0);
    }
  });
  return Finish(session, request, done, out, err);
}

int RunReboot(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err) {
  if (!session.Connect(request, true)) return 1;
  RestartCommands& restart = *session.Protocol().restart;
  const std::uint32_t id = request.reboot == RebootKind::kRom   ? cmd::kRebootRom
                           : request.reboot == RebootKind::kRam ? cmd::kRebootRam
                                                                : cmd::kRebootEeprom;
  if (!restart.Update(id).enabled) {
    err << "kx7cli: this controller cannot reboot that way\n";
    return 1;
  }
  const bool done = RestartAndWait(session, [&] { session.Frame().OnCommand(id); });
  return Finish(session, request, done, out, err);
}

int RunRestoreDefaults(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err) {
  if (!session.Connect(request, true)) return 1;
  RestartCommands& restart = *session.Protocol().restart;
  if (request.restore.blocks.empty()) {
    if (!restart.Update(cmd::kRestoreDefaults).enabled) {
      err << "kx7cli: this controller has no defaults to restore\n";
      return 1;
    }
    return Finish(session, request, RestartAndWait(session, [&] { restart.RestoreDefaults(); }), out, err);
  }
  if (!restart.Update(cmd::kRestoreDefaultBlocks).enabled) {
    err << "kx7cli: this controller restores all its defaults only; leave --blocks out\n";
    return 1;
  }
  bool restored = true;
  // As the dialog does: the controller's blocks in order, then the cable's Block4.
  for (const int block : request.restore.blocks) restored = restart.RestoreBlock(0, block) && restored;
  if (request.restore.cable) restored = restart.RestoreBlock(1, 4) && restored;
  if (!restored) {
    err << "kx7cli: a block restore was refused\n";
    return 1;
  }
  PrintReport(session, request, out);
  return 0;
}

int RunPeek(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err) {
  if (!session.Connect(request, true)) return 1;
  MemoryExchange& memory = *session.Protocol().memory;
  const MemoryRequest& m = request.memoryRequest;
  const bool read = m.words ? memory.ReadMemoryWords(m.memory, m.address, m.count, nullptr)
                            : memory.ReadMemory(m.memory, m.address, m.count, nullptr);
  if (!read) {
    err << "kx7cli: the memory read failed\n";
    return 1;
  }
  out << MemoryLines(memory.Values(), m.words);
  out.flush();
  return 0;
}

int RunPoke(ControllerSession& session, const Request& request, std::ostream& err) {
  if (!session.Connect(request, true)) return 1;
  MemoryExchange& memory = *session.Protocol().memory;
  const MemoryRequest& m = request.memoryRequest;
  bool written = false;
  if (m.words) {
    written = memory.WriteMemoryWords(m.memory, m.address, m.values.size(), m.values.data());
  } else {
    std::vector<std::uint8_t> bytes(m.values.begin(), m.values.end());
    written = memory.WriteMemory(m.memory, m.address, bytes.size(), bytes.data());
  }
  if (!written) {
    err << "kx7cli: the memory write failed\n";
    return 1;
  }
  return 0;
}

}  // namespace kx7::cli
