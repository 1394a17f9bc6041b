// Any bytes under the settings name must load without harm, and whatever was loaded must be
// written and read back unchanged, so a damaged file heals on the next save.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "app/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kx7::SettingsFile first;
  kx7::ParseSettingsFile(std::span<const std::uint8_t>(data, size), first);

  const std::vector<std::uint8_t> written = kx7::SerializeSettingsFile(first);
  // Strings come from the input, so a record read from an input below the size limit fits.
  if (written.empty()) {
    if (size < kx7::kSettingsMaxFileBytes) std::abort();
    return 0;
  }

  kx7::SettingsFile second;
  if (!kx7::ParseSettingsFile(written, second)) std::abort();
  // The writer always stamps the current version; everything else must survive as read.
  first.SettingsVersion = kx7::kSettingsVersion;
  if (!(second == first)) std::abort();
  if (kx7::SerializeSettingsFile(second) != written) std::abort();
  return 0;
}
