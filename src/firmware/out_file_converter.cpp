#include "firmware/out_file_converter.h"

#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "firmware/firmware_constants.h"
#include "platform/file_bytes.h"

extern char** environ;

namespace kx7::firmware {
namespace {

namespace fs = std::filesystem;

// The command file is a few lines; anything far larger is not one.
constexpr std::size_t kMostCommandFileBytes = 1 << 20;
constexpr int kPollMs = 10;

std::string Formatted(const char* format, const std::string& a, const std::string& b) {
  std::vector<char> text(std::string(format).size() + a.size() + b.size() + 1);
  std::snprintf(text.data(), text.size(), format, a.c_str(), b.c_str());
  return text.data();
}

bool CopyFile(const fs::path& from, const fs::path& to) {
  std::error_code error;
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing, error) && !error;
}

// Runs `program` with its one argument in `folder`; false when it cannot start, fails or does not
// end in time.
bool RunConverter(const fs::path& program, const std::string& argument, const fs::path& folder, int timeOutMs) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  bool ready = posix_spawn_file_actions_addchdir_np(&actions, folder.c_str()) == 0;
  std::string programText = program.string();
  std::string argumentText = argument;
  char* arguments[] = {programText.data(), argumentText.data(), nullptr};
  pid_t child = 0;
  ready = ready && posix_spawn(&child, programText.c_str(), &actions, nullptr, arguments, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!ready) return false;
  int status = 0;
  for (int waited = 0;; waited += kPollMs) {
    const pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child) break;
    if (ended < 0 || waited >= timeOutMs) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return false;
    }
    const timespec pause{0, kPollMs * 1000000L};
    nanosleep(&pause, nullptr);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool IsOutFile(const std::string& path) {
  return path.size() >= 3 && strcasecmp(path.c_str() + path.size() - 3, "OUT") == 0;
}

std::optional<std::string> OutputNameOfCommandFile(const std::string& text) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t option = line.find("-o ");
    const std::size_t hex = line.find(".hex");
    if (option == std::string::npos || hex == std::string::npos || hex < option) continue;
    std::string name = line.substr(option + 3, hex + 4 - (option + 3));
    const std::size_t first = name.find_first_not_of(" \t\"");
    if (first == std::string::npos) return std::nullopt;
    name = fs::path(name.substr(first)).filename().string();
    if (name.empty() || name == ".hex") return std::nullopt;
    return name;
  }
  return std::nullopt;
}

OutFileConverter::OutFileConverter(std::string programFolder, AskCommandFile ask, int timeOutMs)
    : programFolder_(std::move(programFolder)), ask_(std::move(ask)), timeOutMs_(timeOutMs) {}

OutConversion OutFileConverter::Convert(const std::string& outPath) const {
  OutConversion result;
  const fs::path out(outPath);
  const fs::path outFolder = out.has_parent_path() ? out.parent_path() : fs::path(".");
  fs::path command = outFolder / kConverterCommandFile;
  std::error_code error;
  if (!fs::is_regular_file(command, error)) {
    const std::optional<std::string> chosen = ask_ ? ask_() : std::nullopt;
    if (!chosen) return result;
    command = *chosen;
  }
  const std::optional<FileBytes> commandText = ReadFileBytes(command.string(), kMostCommandFileBytes);
  if (!commandText) {
    result.message = text::kFailedToOpenFile;
    return result;
  }
  const std::optional<std::string> outputName = OutputNameOfCommandFile(commandText->bytes);
  const fs::path work = fs::path(programFolder_) / kConverterFolder;
  const fs::path converter = work / kConverterProgram;
  if (!fs::is_directory(work, error) || !fs::is_regular_file(converter, error)) {
    result.message = Formatted(text::kErrorFindingConverter, work.string(), programFolder_);
    return result;
  }
  if (!CopyFile(out, work / out.filename()) || !CopyFile(command, work / command.filename()) || !outputName ||
      !RunConverter(converter, command.filename().string(), work, timeOutMs_)) {
    result.message = text::kErrorExecutingConverter;
    return result;
  }
  const fs::path hex = outFolder / *outputName;
  if (!CopyFile(work / *outputName, hex)) {
    result.message = text::kFailedToOpenFile;
    return result;
  }
  result.hexPath = hex.string();
  return result;
}

std::string ProgramFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::current_path(error).string() : self.parent_path().string();
}

}  // namespace kx7::firmware
