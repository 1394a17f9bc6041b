// terminal: the terminal window on the console. The frame finds the controller (or opens the
// --link port), the tools launcher opens the terminal, and every line the terminal ends is printed
// as it ends, until SIGINT or SIGTERM or for the given seconds; the log commands log it as the
// desktop program does.
#include <CLI/CLI.hpp>

#include <signal.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli_app.h"
#include "cli_output.h"
#include "command_groups.h"
#include "controller_session.h"
#include "frame/command_ids.h"
#include "log/log_file.h"

namespace kx7::cli {
namespace {

constexpr int kLastTimeDisplay = 3;
constexpr int kMostSeconds = 999999999;

constexpr const char* kTerminalHelp =
    "The terminal opens once the controller is found (over --link: identified) and shows what the\n"
    "controller sends, decoded in the report format KXS; each line is printed as it ends, bytes\n"
    "outside printable ASCII as <XX>, and the line still open at the end is printed too. SIGINT or\n"
    "SIGTERM ends the run at any point, the search too, and so does a reader that stops reading\n"
    "standard output; the exit code is then 0. Exit code 1: no controller, or the port did not\n"
    "open; 4: the log file did not open.";

// How long the terminal streams and where it logs.
struct TerminalRequest {
  std::optional<int> timeDisplay;  // --time-display 0-3 for this run; nothing: the saved setting
  std::string logFile;             // --log: a text log appended as the terminal writes it
  std::string rawLogFile;          // --raw-log: the received bytes appended unchanged
  int seconds = 0;                 // --seconds: after the terminal opened; 0: until a signal
};

// Set from a signal handler in whichever thread the signal lands.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int) { stopSignal.store(1); }

// SIGINT and SIGTERM end the run instead of the process, so that the frame still closes the link
// and the log and saves the settings. The handlers in place before come back afterwards.
class StopSignals {
 public:
  StopSignals() {
    stopSignal.store(0);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // The link threads' reads and waits go on after the handler.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &oldInterrupt_);
    sigaction(SIGTERM, &action, &oldTerminate_);
    // A reader that goes away (`| head`) ends the run through the failed write instead.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &oldPipe_);
  }
  ~StopSignals() {
    sigaction(SIGINT, &oldInterrupt_, nullptr);
    sigaction(SIGTERM, &oldTerminate_, nullptr);
    sigaction(SIGPIPE, &oldPipe_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  static bool Caught() { return stopSignal.load() != 0; }

 private:
  struct sigaction oldInterrupt_ {};
  struct sigaction oldTerminate_ {};
  struct sigaction oldPipe_ {};
};

// Looks at the signals and the clock ten times a second. The loop waits for messages and timers
// only, so its own timer is what lets a signal or the end of the run be noticed while the
// controller is silent.
class RunWatch : public Window {
 public:
  static constexpr std::uint32_t kTickTimer = 1;
  static constexpr std::uint32_t kTickMs = 100;

  RunWatch(MessageLoop& loop, WindowId frame) : Window(loop), frame_(frame) { SetTimer(kTickTimer, kTickMs); }

  // The terminal is open: from now on the run ends after `seconds` (0: at a signal only).
  void StartStreaming(int seconds) {
    streaming_ = true;
    if (seconds > 0) deadline_ = Loop().Now() + static_cast<std::uint64_t>(seconds) * 1000;
  }
  bool Done() const { return done_; }

  LResult OnMessage(MessageId message, WParam wParam, LParam /*lParam*/) override {
    if (message != wm::kTimer || wParam != kTickTimer || done_) return 0;
    if (StopSignals::Caught()) {
      done_ = true;
      // The search and the identification wait in loops of their own; they stop quietly when
      // the program closes, as it does here.
      if (!streaming_) Loop().Post(frame_, wm::kClose);
    } else if (streaming_ && deadline_ != 0 && Loop().Now() >= deadline_) {
      done_ = true;
    }
    return 0;
  }

 private:
  WindowId frame_;
  bool streaming_ = false;
  bool done_ = false;
  std::uint64_t deadline_ = 0;
};

// --time-display for this run only: the setting is put back before the frame saves the settings.
class TimeDisplayForRun {
 public:
  TimeDisplayForRun(OptionsBlock& options, std::optional<int> display)
      : options_(options), saved_(options.TimeDisplay) {
    if (display) options_.TimeDisplay = *display;
  }
  ~TimeDisplayForRun() { options_.TimeDisplay = saved_; }
  TimeDisplayForRun(const TimeDisplayForRun&) = delete;
  TimeDisplayForRun& operator=(const TimeDisplayForRun&) = delete;

 private:
  OptionsBlock& options_;
  int saved_;
};

// The log commands as the File menu runs them, their file dialog answered with the path given.
bool OpenLog(ControllerSession& session, const TerminalRequest& options) {
  const bool raw = !options.rawLogFile.empty();
  const std::string& path = raw ? options.rawLogFile : options.logFile;
  if (path.empty()) return true;
  CliUiHost& ui = session.Ui();
  ui.SetFileAnswer(path);
  session.Frame().OnCommand(raw ? cmd::kRawLog : cmd::kToggleLogging);
  ui.SetFileAnswer(std::nullopt);
  // A file that did not open was reported as the program reports it ("Failed to open file!").
  const LogFile* log = session.Frame().logFile;
  return log != nullptr && log->Open();
}

void PrintLine(std::ostream& out, std::string_view line) {
  out << ShowableText(std::string(line)) << '\n';
  // A script reading the pipe sees each touch as it happens.
  out.flush();
}

int RunTerminal(CliApp& cli, ControllerSession& session, const TerminalRequest& options) {
  std::ostream& out = cli.Out();
  StopSignals signals;
  RunWatch watch(session.Loop(), session.Frame().Id());
  // Over --link the controller is identified first: the decoders go by its type.
  const bool connected = session.Connect(cli.Globals().link, true);
  if (StopSignals::Caught()) return kExitDone;
  if (!connected) return kExitFailed;
  if (!OpenLog(session, options)) return kExitCannotOpen;

  CMainFrame& frame = session.Frame();
  TimeDisplayForRun timeDisplay(frame.settings.Options, options.timeDisplay);
  frame.OnCommand(cmd::kTerminal);
  CTerminalWnd* terminal = session.Ui().Terminal();
  if (terminal == nullptr) {
    cli.Err() << "kx7cli: the terminal did not open\n";
    return kExitFailed;
  }
  terminal->Text().onLineEnded = [&out](std::string_view line) { PrintLine(out, line); };
  // What the view does at its first paint: from now on the terminal takes what arrives.
  terminal->FirstPaint();
  watch.StartStreaming(options.seconds);
  session.Loop().RunUntil([&watch, &out] { return watch.Done() || !out; });

  // A terminal that closed meanwhile has said everything already.
  if (session.Ui().Terminal() == terminal) {
    TerminalText& text = terminal->Text();
    const std::string_view open = text.Row(text.RowCount() - 1);
    if (!open.empty() && out) PrintLine(out, open);
    text.onLineEnded = nullptr;
  }
  return kExitDone;
}

}  // namespace

void AddTerminalCommand(CliApp& cli) {
  auto request = std::make_shared<TerminalRequest>();
  CLI::App& terminal = cli.AddCommand(
      "terminal", "print the terminal's lines as they end, until SIGINT, SIGTERM or --seconds", kControllerGroup);
  AddValue(
      terminal, "--time-display", "N",
      "the terminal's time stamps, for this run only (the saved setting stays):\n"
      "0 off, 1 \"%010d \" milliseconds since the terminal opened, 2 \"%05d  \"\n"
      "milliseconds since the last stamp, 3 \"{MM/DD/YYYY hh:mm:ss} \";\n"
      "default the saved setting (at first 0)",
      [request](const std::string& value) {
        request->timeDisplay = ReadDecimal(value, 0, kLastTimeDisplay, 1);
        return request->timeDisplay.has_value();
      },
      "not 0 (off), 1 (absolute), 2 (relative) or 3 (date and time)");
  AddValue(
      terminal, "--log", "FILE",
      "append what the terminal shows to FILE, as Toggle Logging does: each\n"
      "line ended by CR (CR LF with the LogLinefeeds setting)",
      [request](const std::string& value) {
        request->logFile = value;
        return !value.empty();
      },
      "no file name");
  AddValue(
      terminal, "--raw-log", "FILE", "append every received byte to FILE unchanged, as the raw log does",
      [request](const std::string& value) {
        request->rawLogFile = value;
        return !value.empty();
      },
      "no file name");
  AddValue(
      terminal, "--seconds", "N", "stop N seconds after the terminal opened (default: at SIGINT or SIGTERM)",
      [request](const std::string& value) {
        const std::optional<int> seconds = ReadDecimal(value, 1, kMostSeconds, 9);
        if (seconds) request->seconds = *seconds;
        return seconds.has_value();
      },
      "not a whole number of seconds from 1 to 999999999");
  terminal.footer(kTerminalHelp);
  cli.OnRun(terminal, [&cli, request] {
    if (cli.Globals().json) return cli.UsageError("terminal prints the terminal's lines as they are; --json is not for it");
    if (!request->logFile.empty() && !request->rawLogFile.empty())
      return cli.UsageError("one log at a time: --log or --raw-log");
    return RunWithController(cli, [&cli, request](ControllerSession& session) { return RunTerminal(cli, session, *request); });
  });
}

}  // namespace kx7::cli
