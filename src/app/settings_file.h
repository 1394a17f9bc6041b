// The settings record "kx7sdua.ini": a binary, little-endian record without padding, read once
// when the main window is created and written once when it closes.
//
// Field order in the file: SettingsVersion, SavedLinkKind, ScannerPort, the three port settings
// strings, then the options (FindOnLaunch before TrackMouse, without the two gap words), then the
// eight ScopeSettings, then the last six options (DebugRateIndex to HapticDemo). Strings carry a
// length prefix and no terminator: one byte for 0 to 254; 0xFF and a 16-bit length up to 65533;
// 0xFF, 0xFFFF and a 32-bit length from 65534 on. LastFolder is its 256 raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "app/options_block.h"

namespace kx7 {

// Written into every record; a version read from a file is kept but not checked.
inline constexpr int kSettingsVersion = 106;
// Size of the record without its three strings; each string adds its prefix (at least one
// byte, even when empty) and its bytes, so the defaults come to 645.
inline constexpr std::size_t kSettingsFixedBytes = 612;
// A settings record is well under a kilobyte. A file larger than this is corrupt whatever it holds,
// so the loader reads no further and the writer refuses to produce one.
inline constexpr std::size_t kSettingsMaxFileBytes = 16u << 20;

struct SettingsFile {
  int SettingsVersion = kSettingsVersion;
  int SavedLinkKind = 0;
  int ScannerPort = 0;  // 0 off, 1 to 16 a COM port, 35258 the USB scanner dialog
  std::string MainPortSettings = "9600,N,8,1";
  std::string ScannerPortSettings = "9600,N,8,1";
  std::string RobotPortSettings = "9600,E,7,1";
  OptionsBlock Options;
  int ScopeSettings[8] = {0, 0, 0, 0, 0, 0, 0, 6};

  bool operator==(const SettingsFile&) const = default;
};

// The record as it goes into the file. Empty only when a string is too long for the format or
// the record would exceed kSettingsMaxFileBytes; a real record is never empty.
std::vector<std::uint8_t> SerializeSettingsFile(const SettingsFile& settings);

// Reads a record from bytes. Always leaves a usable record: the fields read in full before a
// cut or an impossible string length keep their values, every later field has its default.
// Returns false when the record was short or corrupt. Bytes after the last field are ignored.
// A LastFolder without a NUL in its 256 bytes is cut to 255 characters.
bool ParseSettingsFile(std::span<const std::uint8_t> bytes, SettingsFile& settings);

enum class SettingsLoadResult {
  kRead,        // the whole record was read
  kMissing,     // no such file: `settings` holds the defaults; the caller writes them
  kDamaged,     // short or corrupt: the fields before the damage were kept, defaults for the rest
  kUnreadable,  // the name exists but is not a readable regular file: `settings` holds the defaults
};

SettingsLoadResult LoadSettingsFile(const std::filesystem::path& path, SettingsFile& settings);

// Writes the whole record. The bytes go to a temporary file in the same folder that then replaces
// `path`, so a crash or a full disk during the save leaves the previous file intact rather than
// half a record. Returns false (and leaves the old file as it was) when it cannot be written.
bool SaveSettingsFile(const std::filesystem::path& path, const SettingsFile& settings);

}  // namespace kx7
