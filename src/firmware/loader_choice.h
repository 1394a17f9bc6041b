// Which loader dialog serves a controller: the one the menus offer for its type, or the one the
// command-line download ("-download=", "-dloadall=") picks by its feature word.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace kx7 {
class CMainFrame;
struct ControllerProtocol;
}  // namespace kx7

namespace kx7::firmware {

class LoaderDialog;

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

// The loader dialog of `kind` for the frame's link, or nothing where this program has none for
// that link: the Firmware Loader and the Cedar Gen3 Code Loader run over a serial link, the
// Birch2 EEPROM Image over every link its memory exchange reaches. The UEFI loader and the Cedar
// GEN2 download are not built yet.
std::unique_ptr<LoaderDialog> MakeLoader(LoaderKind kind, CMainFrame& frame, ControllerProtocol& protocol);

}  // namespace kx7::firmware
