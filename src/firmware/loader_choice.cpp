#include "firmware/loader_choice.h"

#include <array>
#include <utility>

#include "controller/controller_families.h"
#include "controller/controller_types.h"

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

}  // namespace kx7::firmware
