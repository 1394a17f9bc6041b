#include "terminal_command.h"

#include <signal.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli_output.h"
#include "frame/command_ids.h"
#include "log/log_file.h"

namespace kx7::cli {
namespace {

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

}  // namespace

int RunTerminal(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err) {
  StopSignals signals;
  RunWatch watch(session.Loop(), session.Frame().Id());
  const TerminalRequest& options = request.terminal;
  // Over --link the controller is identified first: the decoders go by its type.
  const bool connected = session.Connect(request, true);
  if (StopSignals::Caught()) return 0;
  if (!connected) return 1;
  if (!OpenLog(session, options)) return 1;

  CMainFrame& frame = session.Frame();
  TimeDisplayForRun timeDisplay(frame.settings.Options, options.timeDisplay);
  frame.OnCommand(cmd::kTerminal);
  CTerminalWnd* terminal = session.Ui().Terminal();
  if (terminal == nullptr) {
    err << "kx7cli: the terminal did not open\n";
    return 1;
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
  return 0;
}

}  // namespace kx7::cli
