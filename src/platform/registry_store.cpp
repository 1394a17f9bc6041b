#include "platform/registry_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace kx7 {
namespace {

constexpr std::string_view kStringType = "string";
constexpr std::string_view kDwordType = "dword";
constexpr std::string_view kFileHeader = "# kx7sdu: the touch drivers' registry values, one key=type:value a line\n";

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == 0x7F || c == '%' || c == '='; }

std::optional<std::uint32_t> ParseDword(std::string_view text) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    value = value * base + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

struct ParsedLine {
  std::string key;
  RegistryValue value;
};

std::optional<ParsedLine> ParseLine(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  std::optional<std::string> key = UnescapeRegistryText(line.substr(0, equals));
  if (!key || key->empty()) return std::nullopt;

  const std::string_view rest = line.substr(equals + 1);
  const std::size_t colon = rest.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view type = rest.substr(0, colon);
  const std::string_view text = rest.substr(colon + 1);
  if (EqualIgnoringCase(type, kStringType)) {
    std::optional<std::string> value = UnescapeRegistryText(text);
    if (!value) return std::nullopt;
    return ParsedLine{std::move(*key), RegistryValue(std::move(*value))};
  }
  if (EqualIgnoringCase(type, kDwordType)) {
    const std::optional<std::uint32_t> value = ParseDword(text);
    if (!value) return std::nullopt;
    return ParsedLine{std::move(*key), RegistryValue(*value)};
  }
  return std::nullopt;
}

std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target) {
  static std::mutex generatorMutex;
  static std::mt19937_64 generator{std::random_device{}()};
  unsigned long long number = 0;
  {
    std::lock_guard lock(generatorMutex);
    number = generator();
  }
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", number);
  std::filesystem::path name = target;
  name += suffix;
  return name;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writes the text beside the file and renames it over, so the file is at every moment either
// all of the old values or all of the new ones.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text) {
  std::error_code error;
  std::filesystem::path target = path;
  // Renaming over a link would replace the link itself; write where it points instead.
  if (std::filesystem::is_symlink(target, error)) {
    target = std::filesystem::weakly_canonical(target, error);
    if (error) return false;
  }
  const std::filesystem::path folder = target.parent_path();
  if (!folder.empty()) {
    std::filesystem::create_directories(folder, error);
    if (error) return false;
  }

  std::filesystem::path temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    temporary = TemporaryNameBeside(target);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool written = WriteAll(fd, text);
  // Without this a power cut after the rename can leave an empty file under the old name.
  written = ::fsync(fd) == 0 && written;
  written = ::close(fd) == 0 && written;
  if (written) {
    const std::filesystem::file_status old = std::filesystem::status(target, error);
    if (!error && std::filesystem::is_regular_file(old)) {
      std::filesystem::permissions(temporary, old.permissions(), error);
    }
    error.clear();
    std::filesystem::rename(temporary, target, error);
    written = !error;
  }
  if (!written) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  const int folderFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}

}  // namespace

std::string RegistryKey(std::string_view path, std::string_view valueName) {
  std::string key(path);
  if (!key.empty() && key.back() != '\\') key += '\\';
  key += valueName;
  return key;
}

std::filesystem::path DefaultRegistryPath(const char* xdgConfigHome, const char* home) {
  std::filesystem::path folder;
  // Relative XDG paths are invalid and to be ignored, says the base directory convention.
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    folder = xdgConfigHome;
  } else if (home != nullptr && home[0] != '\0') {
    folder = std::filesystem::path(home) / ".config";
  } else {
    folder = ".config";
  }
  return folder / "kx7sdu" / "registry.txt";
}

std::filesystem::path DefaultRegistryPath() {
  return DefaultRegistryPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::string EscapeRegistryText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // A leading '#' would make the line a note.
    if (NeedsEscape(c) || (i == 0 && c == '#')) {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 0xF];
    } else {
      escaped += static_cast<char>(c);
    }
  }
  return escaped;
}

std::optional<std::string> UnescapeRegistryText(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      plain += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexDigit(text[i + 1]);
    const int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    plain += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return plain;
}

bool RegistryStore::CaseInsensitiveLess::operator()(std::string_view a, std::string_view b) const {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
    const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

RegistryStore::RegistryStore() : RegistryStore(DefaultRegistryPath()) {}

RegistryStore::RegistryStore(std::filesystem::path path) : path_(std::move(path)) {}

std::optional<RegistryValue> RegistryStore::Get(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> RegistryStore::GetString(std::string_view key) const {
  std::optional<RegistryValue> value = Get(key);
  if (!value || !std::holds_alternative<std::string>(*value)) return std::nullopt;
  return std::get<std::string>(std::move(*value));
}

std::optional<std::uint32_t> RegistryStore::GetDword(std::string_view key) const {
  const std::optional<RegistryValue> value = Get(key);
  if (!value || !std::holds_alternative<std::uint32_t>(*value)) return std::nullopt;
  return std::get<std::uint32_t>(*value);
}

bool RegistryStore::Set(std::string_view key, RegistryValue value) {
  if (key.empty()) return false;
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it != values_.end()) {
    it->second = std::move(value);
  } else {
    values_.emplace(std::string(key), std::move(value));
  }
  return true;
}

bool RegistryStore::Remove(std::string_view key) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) return false;
  values_.erase(it);
  return true;
}

void RegistryStore::Clear() {
  std::lock_guard lock(mutex_);
  values_.clear();
}

std::vector<std::pair<std::string, RegistryValue>> RegistryStore::Entries() const {
  std::lock_guard lock(mutex_);
  return {values_.begin(), values_.end()};
}

std::size_t RegistryStore::Parse(std::string_view text) {
  std::map<std::string, RegistryValue, CaseInsensitiveLess> values;
  std::size_t skipped = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    // Line ends written by an editor on another system; a CR inside a value is always escaped.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::optional<ParsedLine> parsed = ParseLine(line);
    if (!parsed) {
      ++skipped;
      continue;
    }
    auto it = values.find(parsed->key);
    if (it != values.end()) {
      it->second = std::move(parsed->value);
    } else {
      values.emplace(std::move(parsed->key), std::move(parsed->value));
    }
  }
  std::lock_guard lock(mutex_);
  values_ = std::move(values);
  skippedLines_ = skipped;
  return skipped;
}

std::string RegistryStore::Serialize() const {
  std::lock_guard lock(mutex_);
  std::string text(kFileHeader);
  for (const auto& [key, value] : values_) {
    text += EscapeRegistryText(key);
    text += '=';
    if (const auto* string = std::get_if<std::string>(&value)) {
      text += kStringType;
      text += ':';
      text += EscapeRegistryText(*string);
    } else {
      text += kDwordType;
      text += ':';
      text += std::to_string(std::get<std::uint32_t>(value));
    }
    text += '\n';
  }
  return text;
}

RegistryLoadResult RegistryStore::Load() {
  const auto empty = [this](RegistryLoadResult result) {
    std::lock_guard lock(mutex_);
    values_.clear();
    skippedLines_ = 0;
    return result;
  };
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path_, error);
  if (status.type() == std::filesystem::file_type::not_found) return empty(RegistryLoadResult::kMissing);
  // A folder or a pipe under the file's name holds no values; opening a pipe would also block.
  if (error || status.type() != std::filesystem::file_type::regular) return empty(RegistryLoadResult::kUnreadable);

  std::ifstream in(path_, std::ios::binary);
  if (!in) return empty(RegistryLoadResult::kUnreadable);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return empty(RegistryLoadResult::kUnreadable);
  Parse(text);
  return RegistryLoadResult::kLoaded;
}

bool RegistryStore::Save() const { return ReplaceFile(path_, Serialize()); }

std::size_t RegistryStore::SkippedLines() const {
  std::lock_guard lock(mutex_);
  return skippedLines_;
}

}  // namespace kx7
