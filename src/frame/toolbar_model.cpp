#include "frame/toolbar_model.h"

#include <utility>

#include "frame/command_ids.h"

namespace kx7 {
namespace {

ToolbarButton Button(std::string label, CommandId id) { return ToolbarButton{std::move(label), id, false, false}; }

ToolbarButton CheckButton(std::string label, CommandId id) { return ToolbarButton{std::move(label), id, false, true}; }

ToolbarButton Separator() { return ToolbarButton{{}, 0, true, false}; }

Toolbar MainToolbar(bool classic) {
  // The classic image set has no pass-through button; its place holds the frequency check.
  const ToolbarButton passOrFrequency =
      classic ? Button("Freq", cmd::kFrequencyCheck) : CheckButton("Pass", cmd::kTogglePassThru);
  return Toolbar{"Main",
                 true,
                 {
                     Button("Log", cmd::kToggleLogging),
                     Separator(),
                     Button("Draw", cmd::kDraw),
                     Button("Full", cmd::kFullDraw),
                     Separator(),
                     Button("Terminal", cmd::kTerminal),
                     Button("Split", cmd::kSplitMode),
                     Button("Cal", cmd::kCalibrateToolbar),
                     Button("Scope", cmd::kScope),
                     passOrFrequency,
                     Button("Find", cmd::kFindController),
                     Separator(),
                     Button("Reset", cmd::kSoftReset),
                     Button("Clear", cmd::kClearAll),
                     Separator(),
                     Button("Finger", cmd::kPenModeFinger),
                     Button("Pen", cmd::kPenModePen),
                     Button("Auto", cmd::kPenModeAuto),
                     Button("Reboot", cmd::kRebootEeprom),
                 }};
}

Toolbar AsymtekToolbar(bool shown) {
  return Toolbar{"Asymtek",
                 shown,
                 {
                     Button("Lin Cap", cmd::kRobotLinearize),
                     Button("Prv Cap", cmd::kRobotProve),
                 }};
}

Toolbar DevelopmentToolbar(bool shown) {
  return Toolbar{"Development",
                 shown,
                 {
                     Button("Load", cmd::kLoadFirmware),
                     Button("Reload", cmd::kReloadFirmware),
                     Button("UEFI Load", cmd::kLoadUefiFirmware),
                     Button("Asic Config Regs", cmd::kAsicConfigRegisters),
                     Button("Event Log", cmd::kReadEventLog),
                 }};
}

}  // namespace

std::vector<Toolbar> BuildToolbars(bool classic, bool asymtek, bool development) {
  return {MainToolbar(classic), AsymtekToolbar(asymtek), DevelopmentToolbar(development)};
}

}  // namespace kx7
