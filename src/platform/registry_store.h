// The touch drivers' registry values ("PortName", "Baudrate", "TSInstalled"), kept in a small
// text file since this system has no registry.
//
// A key is the full path of one value: the registry key, a backslash, the value name, written as
// the program names them, for example
//
//   System\CurrentControlSet\Services\KxsTch\Parameters\0000\PortName
//   System\CurrentControlSet\Services\KxsTch\Parameters\TSInstalled
//
// (`RegistryKey` joins the two parts). Keys compare without regard to ASCII case, as registry
// names do; a key keeps the spelling it was first stored with. Values are strings or 32-bit
// numbers, the two kinds the drivers use.
//
// The file holds one `key=type:value` line per value, type "string" or "dword" (a number in
// decimal; "0x" hexadecimal is read too). In keys and values '%', '=' and control characters are
// written as %XX (two hexadecimal digits), so a line break or an '=' inside a name cannot split a
// line; backslashes stay as they are, so the paths read as they do elsewhere. Empty lines and lines
// starting with '#' are notes. A line that does not read (no '=', an unknown type, a bad number, a
// broken %XX, an empty key) is skipped and the other values are kept; of repeated keys the last
// line wins. A save replaces the whole file at once, so a crash leaves the old or the new file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace kx7 {

using RegistryValue = std::variant<std::string, std::uint32_t>;

// `path` + "\" + `valueName`; a backslash ending `path` is not doubled.
std::string RegistryKey(std::string_view path, std::string_view valueName);

// $XDG_CONFIG_HOME/kx7sdu/registry.txt, or ~/.config/kx7sdu/registry.txt when XDG_CONFIG_HOME is
// unset, empty or not an absolute path. The first form takes the two variables' values (null for
// unset); without a home at all the file goes under the working folder.
std::filesystem::path DefaultRegistryPath(const char* xdgConfigHome, const char* home);
std::filesystem::path DefaultRegistryPath();

// %XX escaping of one key or value for the file.
std::string EscapeRegistryText(std::string_view text);
// Undoes EscapeRegistryText; nothing for a '%' without two hexadecimal digits after it.
std::optional<std::string> UnescapeRegistryText(std::string_view text);

enum class RegistryLoadResult { kLoaded, kMissing, kUnreadable };

// Safe to use from several threads; Save and Load each work on one consistent state.
class RegistryStore {
 public:
  RegistryStore();  // the default path
  explicit RegistryStore(std::filesystem::path path);
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  std::optional<RegistryValue> Get(std::string_view key) const;
  // Nothing when the key is missing or holds the other kind of value.
  std::optional<std::string> GetString(std::string_view key) const;
  std::optional<std::uint32_t> GetDword(std::string_view key) const;

  // False (and nothing stored) for an empty key.
  bool Set(std::string_view key, RegistryValue value);
  bool SetString(std::string_view key, std::string value) { return Set(key, RegistryValue(std::move(value))); }
  bool SetDword(std::string_view key, std::uint32_t value) { return Set(key, RegistryValue(value)); }
  // False when there was no such key.
  bool Remove(std::string_view key);
  void Clear();

  // Every value, in key order.
  std::vector<std::pair<std::string, RegistryValue>> Entries() const;

  // Replaces the values with those read from `text`; returns the number of lines skipped.
  std::size_t Parse(std::string_view text);
  std::string Serialize() const;

  // Replaces the values with the file's. A missing file leaves the store empty (kMissing); a file
  // that cannot be read does too (kUnreadable). Damaged lines count in SkippedLines().
  RegistryLoadResult Load();
  // Writes every value to the file, making its folder when needed; false when it could not.
  bool Save() const;
  std::size_t SkippedLines() const;

 private:
  struct CaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };

  std::filesystem::path path_;
  mutable std::mutex mutex_;
  std::map<std::string, RegistryValue, CaseInsensitiveLess> values_;
  std::size_t skippedLines_ = 0;
};

}  // namespace kx7
