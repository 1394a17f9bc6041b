// The HID families by name.
#include <memory>
#include <string>

#include "hid_birch2_controller.h"
#include "hid_controller.h"
#include "hid_generic_controller.h"

namespace kx7::emu {

std::shared_ptr<EmulatedHidController> CreateHidController(const std::string& family, HidControllerOptions options) {
  const HidFamily* profile = FindHidFamily(family);
  if (profile == nullptr) return nullptr;
  if (profile->kind == HidFamilyKind::kBirch2) return std::make_shared<Birch2HidController>(*profile, std::move(options));
  return std::make_shared<GenericHidController>(*profile, std::move(options));
}

}  // namespace kx7::emu
