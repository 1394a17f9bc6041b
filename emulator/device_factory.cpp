// The families `kx7emu` and `--emulate` know, and the device for one of them.
#include <memory>
#include <string>
#include <vector>

#include "controller.h"
#include "emulated_device.h"
#include "family_profile.h"
#include "simple_lines.h"
#include "touch_profile.h"
#include "touch_report_generator.h"

namespace kx7::emu {

const std::vector<std::string>& FamilyNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list = ControllerFamilyNames();
    list.push_back("silent");
    list.push_back("echo");
    return list;
  }();
  return names;
}

std::unique_ptr<EmulatedDevice> CreateDevice(const std::string& family, const std::string& settings,
                                             bool ownTouches, std::shared_ptr<TouchFeed> feed,
                                             const LoaderSwitches& switches) {
  if (feed) ownTouches = false;
  std::optional<LineSettings> line;
  if (!settings.empty()) {
    line = ParseLineSettings(settings);
    if (!line) return nullptr;
  }
  if (family == "silent") return std::make_unique<SilentLine>(line.value_or(LineSettings{}));
  if (family == "echo") return std::make_unique<EchoLine>(line.value_or(LineSettings{}));
  ControllerOptions options;
  options.line = line;
  options.faults = switches.faults;
  options.loaderProtocol = switches.protocol;
  if (ownTouches) options.handsOffMs = kHandsOffMs;
  std::unique_ptr<EmulatedController> controller = EmulatedController::ForFamily(family, options);
  if (controller) {
    auto generator = std::make_unique<TouchReportGenerator>(TouchConfigFor(controller->Profile(), ownTouches));
    if (feed) {
      generator->Touches().SetNone();
      generator->SetFeed(std::move(feed));
    }
    controller->SetReportGenerator(std::move(generator));
  }
  return controller;
}

}  // namespace kx7::emu
