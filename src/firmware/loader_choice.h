// Which loader dialog serves a controller: the one the menus offer for its type, or the one the
// command-line download ("-download=", "-dloadall=") picks by its feature word.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kx7::firmware {

enum class LoaderKind { kFirmware, kUefi, kBirch2, kCedarGen2, kCedarGen3 };

// "firmware", "uefi", "birch2", "cedar-gen2", "cedar-gen3".
const char* LoaderName(LoaderKind kind);
std::optional<LoaderKind> LoaderByName(std::string_view name);

// The menus: the Larch types get the Firmware Loader, the Rowan/Cedar GEN3 and GEN4 types the
// Cedar Gen3 Code Loader, the GEN2 types the Cedar GEN2 Download, the Birch family (feature 0x10)
// the Birch2 EEPROM Image; nothing for the others.
std::optional<LoaderKind> MenuLoader(std::uint32_t type, std::uint32_t features);
// The command line: a Larch boot loader or model bit (0x800, 0x4000, 0x8000, 0x10000, 0x80000)
// gets the Firmware Loader, else the Birch family the Birch2 EEPROM Image, else nothing.
std::optional<LoaderKind> CommandLineLoader(std::uint32_t features);

}  // namespace kx7::firmware
