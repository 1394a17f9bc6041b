#include "app/settings_file.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#define KX7_HAVE_FSYNC 1
#endif

namespace kx7 {
namespace {

// Reading and writing walk the same list of fields, so the two can never disagree on the order.
// Each step returns false to stop: a reader at the damage, a writer at a string it cannot encode.
template <typename Settings, typename Io>
bool VisitFields(Settings& s, Io& io) {
  auto& o = s.Options;
  return io.Version(s.SettingsVersion) && io.Int(s.SavedLinkKind) && io.Int(s.ScannerPort) &&
         io.String(s.MainPortSettings) && io.String(s.ScannerPortSettings) && io.String(s.RobotPortSettings) &&
         io.Int(o.ShowGrid) && io.Int(o.Show16ptTargets) && io.Int(o.Show25ptTargets) && io.Int(o.DrawDots) &&
         io.Int(o.ForceCaps) &&
         // FindOnLaunch comes first in the file, TrackMouse first in the block in memory.
         io.Int(o.FindOnLaunch) && io.Int(o.TrackMouse) && io.Int(o.LoopbackSentChars) &&
         io.Int(o.KeepTerminalWithScope) && io.Int(o.WrapOnCR) && io.Int(o.WrapOnBit7) && io.Int(o.SkipDriverSetup) &&
         io.Int(o.Ext16ptTargets) && io.Int(o.GridMode) && io.Int(o.Theme) && io.Int(o.ExtTargets) &&
         io.Int(o.SuppressCornerOptimization) && io.Int(o.FullDuplex) && io.Folder(o.LastFolder) &&
         io.Int(o.LogLinefeeds) && io.Int(o.ShowCursor) && io.Double(o.ProveAccuracyPercent) &&
         io.Int(o.TouchMarkerStyle) && io.Double(o.Reserved30) && io.Int(o.ConfirmOnClose) && io.Int(o.Reserved32) &&
         io.Int(o.Tablet2ptOnToolbar) && io.Int(o.ShowLimitLines) && io.Double(o.CalEdit1801) &&
         io.Double(o.CalEdit1800) && io.Int(o.XSineMethod) && io.Int(o.FullBirch2Resolution) &&
         io.Float(o.CalFloat1824) && io.Float(o.CalFloat1825) && io.Double(o.Reserved41) && io.Double(o.Reserved42) &&
         io.Double(o.Reserved43) && io.Double(o.Reserved44) && io.Int(o.LabelPrintMode) && io.Double(o.Reserved46) &&
         io.Double(o.Reserved47) && io.Double(o.Reserved48) && io.Int(o.Reserved49) && io.Int(o.TimeDisplay) &&
         io.Int(o.DrawFlag2399) && io.Int(o.Reserved52) && io.Int(o.PctClear) && io.Int(o.CircleLoop) &&
         io.Int(o.ClassicToolbar) && io.Int(o.ShowTextLabels) && io.Int(o.ScannerToBlock4) &&
         io.Int(o.DevelopmentToolbar) && io.Int(o.AllowNoisySample) && io.Int(o.AsymtekToolbar) &&
         io.Int(o.Reserved61) && io.Int(o.CircleSize) && io.Int(o.CircleSeconds) && io.Int(o.ShowLiftoffsOnly) &&
         io.Int(o.ZLow) && io.Int(o.ZHigh) && io.Int(o.ZMaxSize) && io.Int(o.Reserved68) &&
         io.Int(s.ScopeSettings[0]) && io.Int(s.ScopeSettings[1]) && io.Int(s.ScopeSettings[2]) &&
         io.Int(s.ScopeSettings[3]) && io.Int(s.ScopeSettings[4]) && io.Int(s.ScopeSettings[5]) &&
         io.Int(s.ScopeSettings[6]) && io.Int(s.ScopeSettings[7]) && io.Int(o.DebugRateIndex) &&
         io.Int(o.MultigraphBar) && io.Int(o.NoUsbThread) && io.Int(o.ShowZ) && io.Int(o.Show25Diagonals) &&
         io.Int(o.HapticDemo);
}

class RecordWriter {
 public:
  std::vector<std::uint8_t> bytes;

  bool Version(const int&) { return Int(kSettingsVersion); }
  bool Int(const int& value) {
    PutLittleEndian(std::bit_cast<std::uint32_t>(value), 4);
    return true;
  }
  bool Float(const float& value) {
    PutLittleEndian(std::bit_cast<std::uint32_t>(value), 4);
    return true;
  }
  bool Double(const double& value) {
    PutLittleEndian(std::bit_cast<std::uint64_t>(value), 8);
    return true;
  }
  bool String(const std::string& text) {
    const std::size_t length = text.size();
    if (length < 0xFF) {
      PutLittleEndian(length, 1);
    } else if (length < 0xFFFE) {
      PutLittleEndian(0xFF, 1);
      PutLittleEndian(length, 2);
    } else if (length <= std::numeric_limits<std::uint32_t>::max()) {
      PutLittleEndian(0xFF, 1);
      PutLittleEndian(0xFFFF, 2);
      PutLittleEndian(length, 4);
    } else {
      return false;
    }
    bytes.insert(bytes.end(), text.begin(), text.end());
    return true;
  }
  bool Folder(const char (&folder)[kLastFolderSize]) {
    bytes.insert(bytes.end(), folder, folder + kLastFolderSize);
    return true;
  }

 private:
  void PutLittleEndian(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
};

// Assigns a field only once all of its bytes are there, so a cut leaves that field and all later
// ones at the defaults the record started with.
class RecordReader {
 public:
  explicit RecordReader(std::span<const std::uint8_t> bytes) : rest_(bytes) {}

  bool Version(int& value) { return Int(value); }
  bool Int(int& value) {
    std::uint64_t raw = 0;
    if (!Take(4, raw)) return false;
    value = std::bit_cast<int>(static_cast<std::uint32_t>(raw));
    return true;
  }
  bool Float(float& value) {
    std::uint64_t raw = 0;
    if (!Take(4, raw)) return false;
    value = std::bit_cast<float>(static_cast<std::uint32_t>(raw));
    return true;
  }
  bool Double(double& value) {
    std::uint64_t raw = 0;
    if (!Take(8, raw)) return false;
    value = std::bit_cast<double>(raw);
    return true;
  }
  // Only the writer keeps to the shortest prefix; a longer form of a short length is read as
  // what it says. A length beyond the end of the file is damage, and is found before anything is
  // allocated for it.
  bool String(std::string& text) {
    std::uint64_t length = 0;
    if (!Take(1, length)) return false;
    if (length == 0xFF) {
      if (!Take(2, length)) return false;
      if (length == 0xFFFF && !Take(4, length)) return false;
    }
    if (length > rest_.size()) return false;
    text.assign(reinterpret_cast<const char*>(rest_.data()), static_cast<std::size_t>(length));
    rest_ = rest_.subspan(static_cast<std::size_t>(length));
    return true;
  }
  bool Folder(char (&folder)[kLastFolderSize]) {
    if (rest_.size() < kLastFolderSize) return false;
    std::memcpy(folder, rest_.data(), kLastFolderSize);
    rest_ = rest_.subspan(kLastFolderSize);
    // The folder goes straight into file dialogs as a C string; without a terminator it would run
    // on into the next options. With one, the bytes after it are kept as they were.
    if (std::memchr(folder, '\0', kLastFolderSize) == nullptr) folder[kLastFolderSize - 1] = '\0';
    return true;
  }

 private:
  bool Take(std::size_t count, std::uint64_t& value) {
    if (rest_.size() < count) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) value |= static_cast<std::uint64_t>(rest_[i]) << (8 * i);
    rest_ = rest_.subspan(count);
    return true;
  }

  std::span<const std::uint8_t> rest_;
};

std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target) {
  static std::mt19937_64 generator{std::random_device{}()};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(generator()));
  std::filesystem::path name = target;
  name += suffix;
  return name;
}

void SyncFolderOf(const std::filesystem::path& file) {
#ifdef KX7_HAVE_FSYNC
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
#else
  (void)file;
#endif
}

// Writes the new record beside the old one and renames it over, so the file under `path` is at
// every moment either the complete old record or the complete new one.
bool ReplaceFileContents(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::error_code error;
  std::filesystem::path target = path;
  // Renaming over a link would replace the link itself; write where it points instead.
  if (std::filesystem::is_symlink(target, error)) {
    std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
    if (error) return false;
    target = resolved;
  }

  std::filesystem::path temporary;
  std::FILE* file = nullptr;
  for (int attempt = 0; attempt < 8 && file == nullptr; ++attempt) {
    temporary = TemporaryNameBeside(target);
    file = std::fopen(temporary.c_str(), "wbx");
    if (file == nullptr && errno != EEXIST) return false;
  }
  if (file == nullptr) return false;

  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = std::fflush(file) == 0 && written;
#ifdef KX7_HAVE_FSYNC
  // Without this a power cut after the rename can leave an empty file under the old name.
  written = ::fsync(::fileno(file)) == 0 && written;
#endif
  written = std::fclose(file) == 0 && written;

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
  SyncFolderOf(target);
  return true;
}

}  // namespace

std::vector<std::uint8_t> SerializeSettingsFile(const SettingsFile& settings) {
  RecordWriter writer;
  writer.bytes.reserve(kSettingsFixedBytes + 64);
  if (!VisitFields(settings, writer) || writer.bytes.size() > kSettingsMaxFileBytes) return {};
  return std::move(writer.bytes);
}

bool ParseSettingsFile(std::span<const std::uint8_t> bytes, SettingsFile& settings) {
  settings = SettingsFile{};
  RecordReader reader(bytes);
  return VisitFields(settings, reader);
}

SettingsLoadResult LoadSettingsFile(const std::filesystem::path& path, SettingsFile& settings) {
  settings = SettingsFile{};
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return SettingsLoadResult::kMissing;
  // A folder or a pipe under the settings name is not a record; opening a pipe would also block.
  if (error || status.type() != std::filesystem::file_type::regular) return SettingsLoadResult::kUnreadable;

  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return errno == ENOENT ? SettingsLoadResult::kMissing : SettingsLoadResult::kUnreadable;
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[4096];
  std::size_t got = 0;
  while (bytes.size() < kSettingsMaxFileBytes && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return SettingsLoadResult::kUnreadable;
  if (bytes.size() > kSettingsMaxFileBytes) bytes.resize(kSettingsMaxFileBytes);

  return ParseSettingsFile(bytes, settings) ? SettingsLoadResult::kRead : SettingsLoadResult::kDamaged;
}

bool SaveSettingsFile(const std::filesystem::path& path, const SettingsFile& settings) {
  const std::vector<std::uint8_t> bytes = SerializeSettingsFile(settings);
  if (bytes.empty()) return false;
  return ReplaceFileContents(path, bytes);
}

}  // namespace kx7
