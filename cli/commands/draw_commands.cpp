// draw, mdraw and options: the draw window and the multitouch draw window painted into the
// recording canvas, whose record is printed, and the Options sheet run on kx7sdua.ini. No
// controller and no port; only options writes the settings file.
#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/options_sheet.h"
#include "app/settings_file.h"
#include "canvas_record_printer.h"
#include "cli_app.h"
#include "command_groups.h"
#include "controller/controller_families.h"
#include "draw/draw_wnd.h"
#include "draw/multi_draw_wnd.h"
#include "draw/offline_draw_host.h"
#include "frame/frame_constants.h"
#include "frame/messages.h"
#include "platform/console_ui_host.h"
#include "platform/recording_canvas.h"
#include "platform/virtual_time_loop.h"

namespace kx7::cli {
namespace {

constexpr int kMostPixels = 16384;
constexpr int kMostZ = 1000000;

constexpr const char* kDrawHelp =
    "Every byte of standard input goes to the draw window as a received byte, in order (the\n"
    "touch history kept and trimmed as the window keeps it). Without --live one paint is printed\n"
    "(background, overlays, the history replayed); with --live only what the bytes drew as they\n"
    "arrived, and the bytes the window sent (\"send HH\"). Lines: fill, line, cross, ellipse, rect.\n"
    "Empty input is valid. Exit code 0.";

constexpr const char* kMultiDrawHelp =
    "Every byte of standard input goes to the multitouch draw window (trace style) as a received\n"
    "byte. Without --live its first paint (background, grid, boxes) is printed, then what the\n"
    "bytes drew; with --live only what the bytes drew. The boxes print as \"box clear|exit X0 Y0 X1\n"
    "Y1\", what they do as \"event clear\", \"event exit-armed\", \"event close\", and every 16th\n"
    "frame with a touch \"text X Y \\\"N touch\\\"\". Exit code 0.";

constexpr const char* kOptionsHelp =
    "Runs the Options sheet on kx7sdua.ini in the current folder: each NAME=VALUE sets the\n"
    "control of that label (check boxes 0 or 1, lists the index or the item's text, numbers an\n"
    "integer), then OK writes the file (--cancel: Cancel, nothing written). Controls not named keep\n"
    "their values, the hidden ones too. Prints every control as LABEL=VALUE. Exit code 1 with\n"
    "\"Please enter an integer.\"; 4 when the file cannot be written; 64 for a NAME that is no\n"
    "control label.";

// A window on the console: invalidations are remembered so the command can print the repaint.
class RecordingUiHost : public ConsoleUiHost {
 public:
  using ConsoleUiHost::ConsoleUiHost;
  bool OpenWindow(Window&, const Placement&) override { return true; }
  void CloseWindow(Window&) override {}
  void Invalidate(WindowId) override { repaint = true; }
  bool repaint = false;
};

struct DrawRequest {
  int width = 0;
  int height = 0;
  std::uint32_t format = 32816;
  std::uint32_t type = 32861;
  std::uint32_t features = 0;
  int link = 1;
  bool passThrough = false;
  bool poll = false;
  bool live = false;
  OptionsBlock options;
};

struct MultiDrawRequest {
  int width = 0;
  int height = 0;
  std::uint32_t type = 32861;
  std::uint32_t features = 0;
  std::uint32_t variant = 33022;
  int columns = 64;
  int rows = 64;
  bool live = false;
  OptionsBlock options;
};

std::optional<std::pair<int, int>> ReadPair(const std::string& text, int low, int high) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return std::nullopt;
  const auto a = ReadDecimal(text.substr(0, x), low, high, 6);
  const auto b = ReadDecimal(text.substr(x + 1), low, high, 6);
  if (!a || !b) return std::nullopt;
  return std::make_pair(*a, *b);
}

std::optional<double> ReadPercent(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
      value < 0 || value > 100)
    return std::nullopt;
  return value;
}

// "--grid 0|1" and the like: a number from `low` to `high` into a setting.
void AddSetting(CLI::App& command, const std::string& name, int& target, int low, int high, const std::string& help) {
  const std::string range = std::to_string(low) + "-" + std::to_string(high);
  AddValue(
      command, name, high - low == 1 ? "0|1" : range, help,
      [&target, low, high](const std::string& value) {
        const auto number = ReadDecimal(value, low, high, 7);
        if (number) target = *number;
        return number.has_value();
      },
      "not a number from " + std::to_string(low) + " to " + std::to_string(high));
}

void AddSize(CLI::App& command, int& width, int& height) {
  AddValue(
      command, "--size", "WxH", "the client area in pixels (required)",
      [&width, &height](const std::string& value) {
        const auto size = ReadPair(value, 1, kMostPixels);
        if (size) std::tie(width, height) = *size;
        return size.has_value();
      },
      "not WIDTHxHEIGHT with each from 1 to " + std::to_string(kMostPixels))
      ->required();
}

void AddIdentity(CLI::App& command, std::uint32_t& type, std::uint32_t& features) {
  AddValue(
      command, "--type", "ID", "ControllerType (default 32861; 32883 selects the 64-byte packets)",
      [&type](const std::string& value) {
        const auto id = ReadControllerType(value);
        if (id) type = *id;
        return id.has_value();
      },
      "not a controller type id such as 32861 (Birch)");
  AddValue(
      command, "--features", "HEX", "ControllerFeatures in hexadecimal (default 0)",
      [&features](const std::string& value) {
        const auto word = ReadHexWord(value);
        if (word) features = *word;
        return word.has_value();
      },
      "not one to eight hexadecimal digits");
}

std::vector<std::uint8_t> ReadAll(std::istream& in) {
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Hex(std::uint8_t byte) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", byte);
  return text;
}

int RunDraw(const DrawRequest& request, CliApp& cli) {
  std::ostream& out = cli.Out();
  RecordingUiHost ui(cli.Err());
  OfflineDrawHost host(ui);
  host.options = request.options;
  host.reportFormat = request.format;
  host.controllerType = request.type;
  host.controllerFeatures = request.features;
  host.linkKind = request.link;
  host.passThrough = request.passThrough;
  host.pollMode = request.poll;
  VirtualTimeLoop loop;
  CDrawWnd window(loop, host, false);
  RecordingCanvas canvas(request.width, request.height);
  window.SetClientSize(request.width, request.height);
  if (request.live) {
    window.SetLiveCanvas(&canvas);
    host.onSend = [&](std::uint8_t byte) {
      FlushCanvasRecord(canvas, out);
      out << "send " << Hex(byte) << '\n';
    };
  }
  for (const std::uint8_t byte : ReadAll(cli.In())) loop.Send(window.Id(), msg::kListenerByte, byte, 0);
  if (!request.live) window.Paint(canvas);
  FlushCanvasRecord(canvas, out);
  out.flush();
  return out ? kExitDone : kExitFailed;
}

int RunMultiDraw(const MultiDrawRequest& request, CliApp& cli) {
  std::ostream& out = cli.Out();
  RecordingUiHost ui(cli.Err());
  OfflineDrawHost host(ui);
  host.options = request.options;
  host.controllerType = request.type;
  host.controllerFeatures = request.features;
  host.multiTouchReports = IsHidType(request.type) || IsTouchInputType(request.type);
  VirtualTimeLoop loop;
  CMultiDrawWnd window(loop, host, request.variant);
  window.SetSensorSize(request.columns, request.rows);
  RecordingCanvas canvas(request.width, request.height);
  window.SetClientSize(request.width, request.height);
  window.SetLiveCanvas(&canvas);
  bool closed = false;
  window.onClosed = [&closed](CMultiDrawWnd&) { closed = true; };
  window.onEvent = [&](const std::string& event) {
    FlushCanvasRecord(canvas, out);
    out << "event " << event << '\n';
  };
  const auto paint = [&] {
    ui.repaint = false;
    if (request.live) return;
    FlushCanvasRecord(canvas, out);
    window.Paint(canvas);
    FlushCanvasRecord(canvas, out);
  };
  // The first paint sets the window up (sensor size) whether it is printed or not.
  window.Paint(canvas);
  if (request.live) canvas.Clear();
  ui.repaint = false;
  for (const std::uint8_t byte : ReadAll(cli.In())) {
    if (closed) break;
    loop.Send(window.Id(), msg::kListenerByte, byte, 0);
    if (ui.repaint && !closed) paint();
  }
  FlushCanvasRecord(canvas, out);
  out.flush();
  return out ? kExitDone : kExitFailed;
}

std::string ControlValue(const COptionsSheet& sheet, std::size_t page, std::size_t control) {
  if (sheet.Page(page).controls[control].kind == OptionControlKind::kNumber) return sheet.Text(page, control);
  return std::to_string(sheet.Value(page, control));
}

int RunOptions(const std::vector<std::string>& settings, bool cancel, CliApp& cli) {
  const std::filesystem::path path = std::filesystem::path(".") / "kx7sdua.ini";
  SettingsFile file;
  const SettingsLoadResult loaded = LoadSettingsFile(path, file);
  if (loaded == SettingsLoadResult::kMissing || loaded == SettingsLoadResult::kUnreadable) file = SettingsFile{};
  ConsoleUiHost ui(cli.Err());
  COptionsSheet sheet(file.Options, ui, [&file](const OptionsBlock& options, bool) { file.Options = options; });
  for (const std::string& setting : settings) {
    const std::size_t equals = setting.find('=');
    if (equals == std::string::npos) return cli.UsageError("options: \"" + setting + "\" is not NAME=VALUE");
    const std::string name = setting.substr(0, equals);
    const std::string value = setting.substr(equals + 1);
    const auto where = sheet.Find(name);
    if (!where) return cli.UsageError("options: \"" + name + "\" is no control label of the Options sheet");
    const auto [page, control] = *where;
    const OptionControl& c = sheet.Page(page).controls[control];
    if (c.kind == OptionControlKind::kNumber) {
      if (!sheet.SetText(page, control, value)) return kExitFailed;
      continue;
    }
    std::optional<int> number = ReadDecimal(value, 0, static_cast<int>(c.kind == OptionControlKind::kCheck ? 1 : c.items.size() - 1), 2);
    for (std::size_t i = 0; !number && i < c.items.size(); ++i)
      if (value == c.items[i]) number = static_cast<int>(i);
    if (!number)
      return cli.UsageError("options: " + name + "=" + value + ": " +
                            (c.kind == OptionControlKind::kCheck ? "not 0 or 1" : "not one of the list's items"));
    sheet.SetValue(page, control, *number);
  }
  if (!cancel) {
    if (!sheet.OnOk()) return kExitFailed;
    if (!SaveSettingsFile(path, file)) {
      cli.Err() << "kx7cli: options: " << path.string() << " cannot be written\n";
      return kExitCannotOpen;
    }
  }
  COptionsSheet shown(file.Options, ui, nullptr);
  for (std::size_t page = 0; page < shown.PageCount(); ++page)
    for (std::size_t control = 0; control < shown.Page(page).controls.size(); ++control)
      cli.Out() << shown.Page(page).controls[control].label << '=' << ControlValue(shown, page, control) << '\n';
  return kExitDone;
}

void AddDrawSettings(CLI::App& command, OptionsBlock& o) {
  AddSetting(command, "--grid", o.ShowGrid, 0, 1, "Show Grid (default 1)");
  AddSetting(command, "--dots", o.DrawDots, 0, 1, "Draw Dots (default 0)");
  AddSetting(command, "--show-z", o.ShowZ, 0, 1, "Show Z (default 0)");
}

}  // namespace

void AddDrawCommands(CliApp& cli) {
  auto request = std::make_shared<DrawRequest>();
  CLI::App& draw = cli.AddCommand("draw", "paint the draw window for the bytes of standard input", kOfflineGroup);
  AddSize(draw, request->width, request->height);
  AddValue(
      draw, "--format", "ID",
      "the report format: 32816 or kxs (default), 32840 or z, 32817 or raw,\n"
      "32818 or hex, 32819 or digitizer, 32822 or undecoded, 32843 or signals",
      [request](const std::string& value) {
        const auto format = ReadReportFormat(value);
        if (format) request->format = *format;
        return format.has_value();
      },
      "not one of 32816 (kxs), 32840 (z), 32817 (raw), 32818 (hex), 32819 (digitizer), 32822 (undecoded), "
      "32843 (signals)");
  AddIdentity(draw, request->type, request->features);
  AddSetting(draw, "--link", request->link, 0, 262, "LinkKind (default 1); 257 to 262 decode the raw format as KXS");
  draw.add_flag("--pass-through", request->passThrough, "the pass-through flag");
  draw.add_flag("--poll", request->poll, "Mode Poll on");
  OptionsBlock& o = request->options;
  AddSetting(draw, "--grid-mode", o.GridMode, 0, 2, "GridMode: 0 Normal 8x8, 1 Horz Bar, 2 Vert Bar (default 0)");
  AddSetting(draw, "--16pt", o.Show16ptTargets, 0, 1, "16pt Prove Targets Show (default 1)");
  AddSetting(draw, "--ext", o.ExtTargets, 0, 1, "Ext. Targets (default 0)");
  AddSetting(draw, "--ext16", o.Ext16ptTargets, 0, 1, "Ext 16pt Targets: 0 NT 2.5%, 1 KT 7.5% (default 0)");
  AddSetting(draw, "--25pt", o.Show25ptTargets, 0, 1, "Show 25pt Targets (default 1)");
  AddSetting(draw, "--marker", o.TouchMarkerStyle, 0, 3,
             "target shape: 0 1% Ellipse, 1 1% Rect., 2 Adj. Ellipse, 3 Adj. Rect.");
  AddValue(
      draw, "--accuracy", "P", "Prove Accuracy % (default 1.09)",
      [request](const std::string& value) {
        const auto p = ReadPercent(value);
        if (p) request->options.ProveAccuracyPercent = *p;
        return p.has_value();
      },
      "not a number from 0 to 100");
  AddSetting(draw, "--diagonals", o.Show25Diagonals, 0, 1, "Show 25% Diagonals (default 0)");
  AddDrawSettings(draw, o);
  AddSetting(draw, "--z-low", o.ZLow, 0, kMostZ, "Z-axis Low (default 3)");
  AddSetting(draw, "--z-high", o.ZHigh, 0, kMostZ, "Z-axis High (default 180)");
  AddSetting(draw, "--z-max", o.ZMaxSize, 0, kMostZ, "Z-axis Max Size (default 9)");
  draw.add_flag("--live", request->live, "print what each byte drew, and the bytes sent, instead of a paint");
  draw.footer(kDrawHelp);
  cli.OnRun(draw, [&cli, request] {
    const std::string why = "paints from standard input";
    if (const int refused = cli.RefuseControllerOptions("draw", why); refused != kExitDone) return refused;
    if (cli.Globals().json) return cli.UsageError("draw " + why + "; it has no --json");
    return RunDraw(*request, cli);
  });

  auto multi = std::make_shared<MultiDrawRequest>();
  CLI::App& mdraw = cli.AddCommand("mdraw", "draw the multitouch window for the bytes of standard input", kOfflineGroup);
  AddSize(mdraw, multi->width, multi->height);
  AddIdentity(mdraw, multi->type, multi->features);
  AddValue(
      mdraw, "--variant", "CMD",
      "the launcher command: 33022 (default), 33033 upper half, 33036 upper\n"
      "quarter, 33039 upper quarter with Y times 4, and the other variants",
      [multi](const std::string& value) {
        const auto id = ReadDecimal(value, 33022, 33042, 5);
        if (id && CMultiDrawWnd::IsVariantCommand(static_cast<std::uint32_t>(*id))) {
          multi->variant = static_cast<std::uint32_t>(*id);
          return true;
        }
        return false;
      },
      "not a multitouch draw command (33022 to 33042)");
  AddValue(
      mdraw, "--sensor", "CxR", "the sensor's columns and rows, instead of Block 7 (default 64x64)",
      [multi](const std::string& value) {
        const auto size = ReadPair(value, 1, 1024);
        if (size) std::tie(multi->columns, multi->rows) = *size;
        return size.has_value();
      },
      "not COLUMNSxROWS with each from 1 to 1024");
  AddDrawSettings(mdraw, multi->options);
  AddSetting(mdraw, "--pct-clear", multi->options.PctClear, 0, 1, "PCT Clear: the Clear and Exit boxes (default 1)");
  mdraw.add_flag("--live", multi->live, "print only what the bytes drew");
  mdraw.footer(kMultiDrawHelp);
  cli.OnRun(mdraw, [&cli, multi] {
    const std::string why = "draws from standard input";
    if (const int refused = cli.RefuseControllerOptions("mdraw", why); refused != kExitDone) return refused;
    if (cli.Globals().json) return cli.UsageError("mdraw " + why + "; it has no --json");
    return RunMultiDraw(*multi, cli);
  });

  auto settings = std::make_shared<std::vector<std::string>>();
  auto cancel = std::make_shared<bool>(false);
  CLI::App& options = cli.AddCommand("options", "run the Options sheet on kx7sdua.ini", kOfflineGroup);
  options.add_option("settings", *settings, "NAME=VALUE: the control of that label takes the value");
  options.add_flag("--cancel", *cancel, "leave the sheet with Cancel: nothing is written");
  options.footer(kOptionsHelp);
  cli.OnRun(options, [&cli, settings, cancel] {
    const std::string why = "edits kx7sdua.ini";
    if (const int refused = cli.RefuseControllerOptions("options", why); refused != kExitDone) return refused;
    if (cli.Globals().json) return cli.UsageError("options " + why + "; it has no --json");
    return RunOptions(*settings, *cancel, cli);
  });
}

}  // namespace kx7::cli
