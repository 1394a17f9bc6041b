#include "hid_backend.h"

namespace kx7::emu {

namespace {

// The controller's second USB interface, for something else than its commands: it answers
// nothing, so a host that takes it by mistake fails.
class SecondInterface : public kx7::SimulatedHidDevice {
 public:
  bool OnSetFeature(const kx7::HidReport& /*report*/) override { return false; }
  std::optional<kx7::HidReport> OnGetFeature(std::uint8_t /*reportId*/, std::size_t /*length*/) override {
    return std::nullopt;
  }
};

}  // namespace

bool AddToBackend(kx7::SimulatedHidBackend& backend, std::shared_ptr<EmulatedHidController> controller,
                  const std::string& path) {
  if (!controller) return false;
  const std::string second = path + EmulatedHidController::kSecondInterfaceSuffix;
  // A path that is there already belongs to another device (or to this one, added before).
  for (const kx7::HidDeviceInfo& present : backend.Enumerate(0, 0))
    if (present.path == path || present.path == second) return false;
  const auto secondInterface = std::make_shared<SecondInterface>();
  for (const kx7::HidDeviceInfo& entry : controller->Entries(path)) {
    const bool added = entry.path == second ? backend.AddDevice(entry, secondInterface)
                                            : backend.AddDevice(entry, controller);
    if (!added) {
      RemoveFromBackend(backend, path);
      return false;
    }
  }
  return true;
}

void RemoveFromBackend(kx7::SimulatedHidBackend& backend, const std::string& path) {
  backend.RemoveDevice(path);
  backend.RemoveDevice(path + EmulatedHidController::kSecondInterfaceSuffix);
}

}  // namespace kx7::emu
