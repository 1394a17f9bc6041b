// reset, reboot and restore-defaults: the controller restarted as the menus restart it, and the
// wait until it is found again.
#include <CLI/CLI.hpp>

#include <chrono>
#include <functional>
#include <memory>

#include "cli_app.h"
#include "command_groups.h"
#include "controller_session.h"
#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "frame/messages.h"
#include "proto/proto_constants.h"
#include "proto/restart_commands.h"

namespace kx7::cli {
namespace {

// How long a restarted controller may take to be found again, and how long nothing may happen
// before a restart that started no search counts as over.
constexpr auto kComeBackTime = std::chrono::seconds(30);
constexpr auto kQuietTime = std::chrono::milliseconds(1500);
constexpr std::uint32_t kHardResetTimeMs = 1000;

constexpr const char* kWaitHelp =
    "The controller restarts the way its link and family want it. The command waits until it is\n"
    "found again (by the program's own ping, the search it starts or the controller's plug-in),\n"
    "prints the report and exits 0; 1 when it does not come back or cannot restart that way.";

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

int Finish(CliApp& cli, ControllerSession& session, bool done) {
  if (!done) {
    cli.Err() << "kx7cli: the controller did not come back\n";
    return kExitFailed;
  }
  session.PrintReport(cli.Globals().json, cli.Out());
  return kExitDone;
}

int Reset(CliApp& cli, ControllerSession& session, bool soft) {
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  RestartCommands& restart = *session.Protocol().restart;
  if (!restart.Update(soft ? cmd::kSoftReset : cmd::kHardReset).enabled) {
    cli.Err() << "kx7cli: this controller has no " << (soft ? "soft" : "hard") << " reset\n";
    return kExitFailed;
  }
  const bool done = RestartAndWait(session, [&] {
    if (soft) {
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
  return Finish(cli, session, done);
}

int Reboot(CliApp& cli, ControllerSession& session, std::uint32_t command) {
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  if (!session.Protocol().restart->Update(command).enabled) {
    cli.Err() << "kx7cli: this controller cannot reboot that way\n";
    return kExitFailed;
  }
  return Finish(cli, session, RestartAndWait(session, [&] { session.Frame().OnCommand(command); }));
}

struct RestoreChoice {
  std::vector<int> blocks;  // none: the whole controller
  bool cable = false;       // the cable's Block4 too
};

int RestoreDefaults(CliApp& cli, ControllerSession& session, const RestoreChoice& choice) {
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  RestartCommands& restart = *session.Protocol().restart;
  if (choice.blocks.empty()) {
    if (!restart.Update(cmd::kRestoreDefaults).enabled) {
      cli.Err() << "kx7cli: this controller has no defaults to restore\n";
      return kExitFailed;
    }
    return Finish(cli, session, RestartAndWait(session, [&] { restart.RestoreDefaults(); }));
  }
  if (!restart.Update(cmd::kRestoreDefaultBlocks).enabled) {
    cli.Err() << "kx7cli: this controller restores all its defaults only; leave --blocks out\n";
    return kExitFailed;
  }
  bool restored = true;
  // As the dialog does: the controller's blocks in order, then the cable's Block4.
  for (const int block : choice.blocks) restored = restart.RestoreBlock(0, block) && restored;
  if (choice.cable) restored = restart.RestoreBlock(1, 4) && restored;
  if (!restored) {
    cli.Err() << "kx7cli: a block restore was refused\n";
    return kExitFailed;
  }
  session.PrintReport(cli.Globals().json, cli.Out());
  return kExitDone;
}

}  // namespace

void AddRestartCommands(CliApp& cli) {
  auto soft = std::make_shared<bool>(true);
  CLI::App& reset = cli.AddCommand("reset", "reset the controller and wait until it is found again", kControllerGroup);
  AddValue(
      reset, "kind", "soft|hard", "a soft or a hard reset",
      [soft](const std::string& value) {
        *soft = value == "soft";
        return value == "soft" || value == "hard";
      },
      "not soft or hard");
  cli.AddJsonFlag(reset, "print the report as one JSON object");
  reset.footer(std::string(kWaitHelp) + "\n\n" + kReportHelp);
  cli.OnRun(reset, [&cli, soft] {
    return RunWithController(cli, [&cli, soft](ControllerSession& session) { return Reset(cli, session, *soft); });
  });

  auto rebootCommand = std::make_shared<std::uint32_t>(0);
  CLI::App& reboot = cli.AddCommand("reboot", "reboot into the fixed code, RAM or download code and wait", kControllerGroup);
  AddValue(
      reboot, "code", "rom|ram|eeprom", "rom: the fixed code; ram; eeprom: the download code",
      [rebootCommand](const std::string& value) {
        *rebootCommand = value == "rom"    ? cmd::kRebootRom
                         : value == "ram"  ? cmd::kRebootRam
                         : value == "eeprom" ? cmd::kRebootEeprom
                                             : 0;
        return *rebootCommand != 0;
      },
      "not rom, ram or eeprom");
  cli.AddJsonFlag(reboot, "print the report as one JSON object");
  reboot.footer(std::string(kWaitHelp) + "\n\n" + kReportHelp);
  cli.OnRun(reboot, [&cli, rebootCommand] {
    return RunWithController(
        cli, [&cli, rebootCommand](ControllerSession& session) { return Reboot(cli, session, *rebootCommand); });
  });

  auto choice = std::make_shared<RestoreChoice>();
  CLI::App& restore = cli.AddCommand("restore-defaults", "restore the factory defaults and wait for the controller", kControllerGroup);
  AddValue(
      restore, "--blocks", "1,2,...",
      "restore these blocks only (1 to 8; a Birch USB or Birch2 HID controller)",
      [choice](const std::string& value) {
        const std::optional<std::vector<int>> blocks = ReadNumberList(value, 1, 8);
        if (blocks) choice->blocks = *blocks;
        return blocks.has_value();
      },
      "not block numbers from 1 to 8 separated by commas");
  restore.add_flag("--cable", choice->cable, "with --blocks: the cable's Block4 too (its factory linearization)");
  cli.AddJsonFlag(restore, "print the report as one JSON object");
  restore.footer(std::string(kWaitHelp) + "\n\n" + kReportHelp);
  cli.OnRun(restore, [&cli, choice] {
    if (choice->cable && choice->blocks.empty())
      return cli.UsageError("--cable restores the cable's Block4 with chosen blocks: give --blocks too");
    return RunWithController(
        cli, [&cli, choice](ControllerSession& session) { return RestoreDefaults(cli, session, *choice); });
  });
}

}  // namespace kx7::cli
