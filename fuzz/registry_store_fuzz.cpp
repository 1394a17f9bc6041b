// Any text under the registry file's name must load without harm, and whatever was loaded must be
// written and read back unchanged, so a damaged file heals on the next save.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  kx7::RegistryStore first("/nonexistent/kx7sdu/registry.txt");
  first.Parse(text);
  const std::string written = first.Serialize();

  kx7::RegistryStore second("/nonexistent/kx7sdu/registry.txt");
  if (second.Parse(written) != 0) std::abort();
  if (second.Entries() != first.Entries()) std::abort();
  if (second.Serialize() != written) std::abort();

  // Every key reads back its value however it is spelled.
  for (const auto& [key, value] : first.Entries()) {
    if (second.Get(key) != value) std::abort();
  }
  return 0;
}
