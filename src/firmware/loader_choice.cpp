#include "firmware/loader_choice.h"

#include <array>
#include <utility>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "firmware/birch2_image_loader.h"
#include "firmware/cedar_gen3_loader.h"
#include "firmware/firmware_loader.h"
#include "frame/frame_constants.h"

namespace kx7::firmware {

namespace {

constexpr std::array<std::pair<LoaderKind, const char*>, 5> kNames = {{
    {LoaderKind::kFirmware, "firmware"},
    {LoaderKind::kUefi, "uefi"},
    {LoaderKind::kBirch2, "birch2"},
    {LoaderKind::kCedarGen2, "cedar-gen2"},
    {LoaderKind::kCedarGen3, "cedar-gen3"},
}};

// The Larch boot loader and the Larch models.
constexpr std::uint32_t kFirmwareLoaderFeatures = feature::kLarchMultitouch | feature::kLarchModelSpruce |
                                                  feature::kLarchModel2 | feature::kLarchModel3 |
                                                  feature::kLarchModelSequoia;

}  // namespace

const char* LoaderName(LoaderKind kind) {
  for (const auto& [k, name] : kNames)
    if (k == kind) return name;
  return "";
}

std::optional<LoaderKind> LoaderByName(std::string_view name) {
  for (const auto& [k, n] : kNames)
    if (name == n) return k;
  return std::nullopt;
}

std::optional<LoaderKind> MenuLoader(std::uint32_t type, std::uint32_t features) {
  if (IsLarchType(type)) return LoaderKind::kFirmware;
  if (type == type::kRowanGen2 || type == type::kRowanUsbGen2) return LoaderKind::kCedarGen2;
  if (type == type::kRowanGen3 || type == type::kRowanUsbGen3 || type == type::kCedarGen4 || type == type::kRowanGen4)
    return LoaderKind::kCedarGen3;
  if ((features & feature::kBirchFamily) != 0) return LoaderKind::kBirch2;
  return std::nullopt;
}

std::optional<LoaderKind> CommandLineLoader(std::uint32_t features) {
  if ((features & kFirmwareLoaderFeatures) != 0) return LoaderKind::kFirmware;
  if ((features & feature::kBirchFamily) != 0) return LoaderKind::kBirch2;
  return std::nullopt;
}

std::unique_ptr<LoaderDialog> MakeLoader(LoaderKind kind, CMainFrame& frame, ControllerProtocol& protocol) {
  const bool serial = IsSerialLink(frame.LinkKind);
  switch (kind) {
    case LoaderKind::kFirmware:
      if (serial) return std::make_unique<FirmwareLoader>(frame, protocol);
      return nullptr;
    case LoaderKind::kCedarGen3:
      if (serial) return std::make_unique<CedarGen3Loader>(frame, protocol);
      return nullptr;
    case LoaderKind::kBirch2:
      if (frame.LinkKind != link::kClosed) return std::make_unique<Birch2ImageLoader>(frame, protocol);
      return nullptr;
    case LoaderKind::kUefi:
    case LoaderKind::kCedarGen2:
      return nullptr;
  }
  return nullptr;
}

}  // namespace kx7::firmware
