// Runs the real kx7cli as a production script would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/settings_file.h"
#include "support/child_process.h"

#include <functional>
#include <nlohmann/json.hpp>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const std::string kCli = KX7_BINARY_DIR "/cli/kx7cli";
const std::string kEmulatorProgram = KX7_BINARY_DIR "/emulator/kx7emu";

struct Result {
  int exitCode = -1;
  std::string out;     // standard output
  std::string err;     // standard error
  std::string output;  // both
  double seconds = 0;
};

// Runs kx7cli in `folder`, where it keeps its settings file.
Result RunCliIn(const std::string& folder, const std::string& arguments) {
  // Tests run in parallel: each run has an error file of its own.
  std::string errorFile = (std::filesystem::temp_directory_path() / "kx7cli-stderr-XXXXXX").string();
  const int errorFd = mkstemp(errorFile.data());
  if (errorFd < 0) return Result{};
  close(errorFd);
  const std::string command = "cd '" + folder + "' && " + kCli + " " + arguments + " 2>'" + errorFile + "'";
  Result result;
  const Clock::time_point start = Clock::now();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> chunk{};
  std::size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.out.append(chunk.data(), got);
  const int status = pclose(pipe);
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream errors(errorFile);
  std::stringstream text;
  text << errors.rdbuf();
  result.err = text.str();
  std::filesystem::remove(errorFile);
  result.output = result.out + result.err;
  return result;
}

Result RunCli(const std::string& arguments) { return RunCliIn(std::filesystem::current_path().string(), arguments); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// --- A small strict JSON reader, enough to check what --json prints ---------------------------

struct Json {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  double number = 0;
  std::string text;
  std::vector<std::string> keys;  // objects: keys[i] names items[i]
  std::vector<Json> items;

  const Json* Member(const std::string& key) const {
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == key) return &items[i];
    return nullptr;
  }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  // The one value the text holds, with nothing but blanks around it.
  bool ReadDocument(Json& value) {
    if (!ReadValue(value)) return false;
    SkipBlanks();
    return at_ == text_.size();
  }

 private:
  void SkipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
      ++at_;
  }
  bool Take(char c) {
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool TakeWord(const char* word) {
    const std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  bool ReadString(std::string& out) {
    if (!Take('"')) return false;
    while (at_ < text_.size()) {
      const unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;  // control characters must be escaped
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          if (at_ + 4 > text_.size()) return false;
          unsigned value = 0;
          for (int i = 0; i < 4; ++i) {
            const char h = text_[at_++];
            const int digit = (h >= '0' && h <= '9')   ? h - '0'
                              : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                              : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                                                       : -1;
            if (digit < 0) return false;
            value = value * 16 + static_cast<unsigned>(digit);
          }
          if (value > 0xFF) return false;  // more than kx7cli ever writes
          out += static_cast<char>(value);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
  bool ReadValue(Json& value) {
    SkipBlanks();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') {
      ++at_;
      value.kind = Json::Kind::kObject;
      if (Take('}')) return true;
      do {
        std::string key;
        Json item;
        if (!ReadString(key) || !Take(':') || !ReadValue(item)) return false;
        value.keys.push_back(key);
        value.items.push_back(item);
      } while (Take(','));
      return Take('}');
    }
    if (c == '[') {
      ++at_;
      value.kind = Json::Kind::kArray;
      if (Take(']')) return true;
      do {
        Json item;
        if (!ReadValue(item)) return false;
        value.items.push_back(item);
      } while (Take(','));
      return Take(']');
    }
    if (c == '"') {
      value.kind = Json::Kind::kString;
      return ReadString(value.text);
    }
    if (TakeWord("true") || TakeWord("false")) {
      value.kind = Json::Kind::kBool;
      return true;
    }
    if (TakeWord("null")) return true;
    const std::size_t begin = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    while (at_ < text_.size() && ((text_[at_] >= '0' && text_[at_] <= '9') || text_[at_] == '.' || text_[at_] == 'e' ||
                                  text_[at_] == 'E' || text_[at_] == '+'))
      ++at_;
    if (at_ == begin) return false;
    value.kind = Json::Kind::kNumber;
    value.number = std::strtod(text_.substr(begin, at_ - begin).c_str(), nullptr);
    return true;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

// --- kx7emu as a separate process, so that a controller outlives one kx7cli run ---------------

// Starts it and reads the pseudo-terminal's path from its first line.
class EmulatorProcess : public kx7::testing::EmulatorProcess {
 public:
  bool Start(const std::vector<std::string>& arguments) {
    return kx7::testing::EmulatorProcess::Start(kEmulatorProgram, arguments);
  }
};

// kx7cli in the background, for the runs that end by a signal.
class CliProcess {
 public:
  ~CliProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool Start(const std::string& folder, const std::string& arguments) {
    out_ = folder + "/cli-stdout";
    err_ = folder + "/cli-stderr";
    // exec: the shell's process becomes kx7cli, so the signal reaches it.
    std::string command = "cd '" + folder + "' && exec " + kCli + " " + arguments + " >'" + out_ + "' 2>'" + err_ + "'";
    std::string shell = "/bin/sh", dashC = "-c";
    char* argv[] = {shell.data(), dashC.data(), command.data(), nullptr};
    start_ = Clock::now();
    if (posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, argv, environ) != 0) pid_ = -1;
    return pid_ > 0;
  }
  void Signal(int signal) const { kill(pid_, signal); }
  Result Wait() {
    Result result;
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    result.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    result.out = ReadFile(out_);
    result.err = ReadFile(err_);
    result.output = result.out + result.err;
    return result;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

 private:
  pid_t pid_ = -1;
  std::string out_, err_;
  Clock::time_point start_;
};

// Each run keeps its settings file in a folder of its own.
class Kx7cliController : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kx7cli-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  Result Run(const std::string& arguments) { return RunCliIn(folder_, arguments); }

 public:
  Result RunHere(const std::string& arguments) { return RunCliIn(folder_, arguments); }
  const std::string& Folder() const { return folder_; }

 protected:
  std::string folder_;
};

const std::string kCedar = "--no-system-ports --emulate cedar-gen4,9600,N,8,1 ";

// --- Tests -----------------------------------------------------------------------------------

TEST(Kx7cli, PortsListsOverridesFromTheCommandLineAndTheEnvironment) {
  const Result result = RunCli("--port COM200=/dev/pts/42 ports");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("COM200\t/dev/pts/42\n"), std::string::npos) << result.output;
  EXPECT_EQ(RunCli("ports").exitCode, 0);
  const Result environment = [] {
    setenv("KX7_PORTS", "COM201=/dev/pts/43,COM202=/dev/pts/44", 1);
    Result r = RunCli("ports");
    unsetenv("KX7_PORTS");
    return r;
  }();
  EXPECT_EQ(environment.exitCode, 0);
  EXPECT_NE(environment.output.find("COM201\t/dev/pts/43\nCOM202\t/dev/pts/44\n"), std::string::npos)
      << environment.output;
}

TEST(Kx7cli, BadUsageEndsWithExitCode64) {
  for (const char* arguments : {"", "frobnicate", "--port COM3A=/dev/x ports", "--port"}) {
    const Result result = RunCli(arguments);
    EXPECT_EQ(result.exitCode, 64) << arguments << ": " << result.output;
    EXPECT_FALSE(result.output.empty()) << arguments;
  }
  EXPECT_EQ(RunCli("--help").exitCode, 0);
}

TEST(Kx7cli, WithoutSystemPortsOnlyTheMappedPortsAreListed) {
  const Result result = RunCli("--no-system-ports --port COM200=/dev/pts/42 --port COM3=/dev/pts/41 ports");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "COM3\t/dev/pts/41\nCOM200\t/dev/pts/42\n");
}

TEST(Kx7cli, HelpNamesEveryCommandAndEachCommandItsOptions) {
  const Result result = RunCli("--help");
  EXPECT_EQ(result.exitCode, 0);
  for (const char* word : {"find", "identify", "send TEXT", "read-block N", "write-block N HEX", "--link COMn",
                           "--no-system-ports", "--json", "--emulate", "-noserial", "<XX>", "exit codes", "decode",
                           "terminal"})
    EXPECT_NE(result.out.find(word), std::string::npos) << word;
  const Result decode = RunCli("decode --help");
  EXPECT_EQ(decode.exitCode, 0);
  for (const char* word : {"--format ID", "--type ID", "--features HEX", "--full-resolution", "--pass-through",
                           "--wrap-on-cr", "--wrap-on-bit7", "32861"})
    EXPECT_NE(decode.out.find(word), std::string::npos) << word;
  const Result terminal = RunCli("terminal --help");
  EXPECT_EQ(terminal.exitCode, 0);
  for (const char* word : {"--time-display", "--log FILE", "--raw-log FILE", "--seconds N", "SIGINT"})
    EXPECT_NE(terminal.out.find(word), std::string::npos) << word;
}

TEST_F(Kx7cliController, DecodeReadsTheBytesOfStandardInput) {
  struct Case {
    const char* options;
    std::string bytes;
    const char* out;
  };
  const Case cases[] = {
      {"", std::string("\xC0\x00\x20\x00\x10\xC0\x00\x20\x00\x10\x80\x00\x20\x00\x10", 15),
       "D 0512,0256\n. 0512,0256\nU 0512,0256\n"},
      {"--format 32818 --wrap-on-bit7 0", std::string("\x81\x00\x0D\x1A", 4), "81 00 0D \n1A \n"},
      // A NUL and the bytes above 7F arrive as they are, and the open line is printed at the end.
      {"--format undecoded", std::string("ok\r\n\x00\xFF\r\nend", 11), "ok\n<00><FF>\nend\n"},
  };
  const std::string input = folder_ + "/input.bin";
  for (const Case& c : cases) {
    std::ofstream(input, std::ios::binary) << c.bytes;
    const Result result = Run(std::string("decode ") + c.options + " <'" + input + "'");
    EXPECT_EQ(result.exitCode, 0) << c.options << ": " << result.output;
    EXPECT_EQ(result.out, c.out) << c.options;
    EXPECT_EQ(result.err, "") << c.options;
  }
  // No settings file: decode has no frame.
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/kx7sdua.ini"));
}

TEST(Kx7cli, DecodeAndTerminalBadUsageEndsWithExitCode64) {
  for (const char* arguments : {"decode --format 1", "decode --wrap-on-cr 2", "decode --type 1", "decode extra",
                                "--link COM1 decode", "--emulate cedar-gen4 decode", "terminal --seconds 0",
                                "terminal --time-display 4", "terminal --format 32818", "find --log x.log"}) {
    const Result result = RunCli(std::string(arguments) + " </dev/null");
    EXPECT_EQ(result.exitCode, 64) << arguments << ": " << result.output;
    EXPECT_NE(result.err.find("kx7cli: "), std::string::npos) << arguments << ": " << result.err;
  }
}

TEST_F(Kx7cliController, TerminalWithALogThatCannotBeOpenedEndsWithExitCode4) {
  const Result result = Run(kCedar + "terminal --seconds 1 --log '" + folder_ + "/missing/touches.log'");
  EXPECT_EQ(result.exitCode, 4) << result.output;
  EXPECT_NE(result.err.find("Failed to open file!"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
}

TEST_F(Kx7cliController, TerminalPrintsTheDecodedTouchesAsTheyComeAndLogsThem) {
  const Result result = Run(kCedar + "terminal --seconds 6 --time-display 1 --log touches.log");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_GE(result.seconds, 6.0);
  const std::vector<std::string> lines = Lines(result.out);
  // The emulated hand strokes from 3 s after the search: a report every few milliseconds.
  ASSERT_GE(lines.size(), 20u) << result.output;
  const std::regex touch("([0-9]{10}) ([D. U]) [0-9]{4},[0-9]{4}");
  long previous = -1;
  for (const std::string& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, touch)) << line;
    const long stamp = std::stol(match[1]);
    EXPECT_GE(stamp, previous) << line;
    previous = stamp;
  }
  EXPECT_EQ(lines[0].substr(11, 2), "D ") << lines[0];
  EXPECT_LE(previous, 6500);

  // The log holds the same lines, each ended by CR as the terminal ends it (the last one may
  // still have been open).
  std::string joined;
  for (const std::string& line : lines) joined += line + "\r";
  const std::string log = CliProcess::ReadFile(folder_ + "/touches.log");
  EXPECT_TRUE(log == joined || log + "\r" == joined) << log;

  // The time stamps were for this run only.
  kx7::SettingsFile settings;
  ASSERT_EQ(kx7::LoadSettingsFile(folder_ + "/kx7sdua.ini", settings), kx7::SettingsLoadResult::kRead);
  EXPECT_EQ(settings.Options.TimeDisplay, 0);
}

TEST_F(Kx7cliController, TerminalEndsAtASignalWithExitCodeZero) {
  struct Case {
    std::string arguments;
    int signal;
    int afterMs;
  };
  // A silent port keeps the search going: the signal stops it quietly. The Cedar is found at
  // once, so its signal comes while the terminal streams.
  for (const Case& c :
       {Case{"--no-system-ports --emulate silent terminal", SIGINT, 1000}, Case{kCedar + "terminal", SIGTERM, 2000}}) {
    CliProcess cli;
    ASSERT_TRUE(cli.Start(folder_, c.arguments)) << c.arguments;
    std::this_thread::sleep_for(std::chrono::milliseconds(c.afterMs));
    cli.Signal(c.signal);
    const Result result = cli.Wait();
    EXPECT_EQ(result.exitCode, 0) << c.arguments << ": " << result.output;
    EXPECT_LT(result.seconds, c.afterMs / 1000.0 + 3) << c.arguments;
    EXPECT_EQ(result.err.find("Can't Find Controller"), std::string::npos) << c.arguments << ": " << result.err;
  }
}

TEST_F(Kx7cliController, FindReportsTheControllerAnsweringAtTheFirstSettings) {
  const Result result = Run(kCedar + "find");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  const std::vector<std::string> lines = Lines(result.out);
  // The eight Controller Info lines, then the four of the link and the type.
  ASSERT_EQ(lines.size(), 12u) << result.out;
  EXPECT_EQ(lines[0].rfind("DSP OI:   WZ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[2].rfind("UT: ", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3].rfind("NM: ", 0), 0u) << lines[3];
  EXPECT_EQ(lines[4], "COM1,9600,N,8,1");
  EXPECT_EQ(lines[5], "Found");
  EXPECT_EQ(lines[8], "LinkKind: 1");
  EXPECT_EQ(lines[9], "PortSettings: 9600,N,8,1");
  EXPECT_EQ(lines[10], "ControllerType: 32882 Cedar GEN4");
  EXPECT_EQ(lines[11].rfind("ControllerFeatures: 0x", 0), 0u) << lines[11];
  EXPECT_EQ(lines[11].size(), std::string("ControllerFeatures: 0x00000000").size()) << lines[11];
}

// Every USB family: the emulated controller is plugged in inside kx7cli, the USB scan names it,
// and the search connects to it through the HID link or the KX7 driver and identifies it.
TEST_F(Kx7cliController, FindFindsEveryEmulatedUsbController) {
  const struct {
    const char* family;
    const char* link;
    const char* type;
  } cases[] = {
      {"rowan-usb-gen2", "LinkKind: 260", "ControllerType: 32873 Rowan-USB GEN2"},
      {"rowan-usb-gen3", "LinkKind: 260", "ControllerType: 32876 Rowan-USB GEN3"},
      {"rowan-usb-gen4", "LinkKind: 260", "ControllerType: 32883 Rowan GEN4"},
      {"larch-usb", "LinkKind: 260", "ControllerType: 32881 Larch USB"},
      {"larch-usb-0500", "LinkKind: 260", "ControllerType: 32878 Larch USB"},
      {"maple", "LinkKind: 260", "ControllerType: 32880 Maple"},
      {"birch2-hid", "LinkKind: 260", "ControllerType: 32874 Birch2 HID"},
      {"resistive-usb-4wire", "LinkKind: 260", "ControllerType: 32869 4Wire / 8Wire Resistive USB"},
      {"resistive-usb-5wire", "LinkKind: 260", "ControllerType: 32871 5Wire Resistive USB"},
      {"birch-usb", "LinkKind: 261", "ControllerType: 32865 Birch USB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family);
    const Result result = Run(std::string("--no-system-ports --emulate ") + c.family + " find -noserial");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 12u) << result.out;
    EXPECT_EQ(lines[5], "Found") << result.out;
    EXPECT_EQ(lines[8], c.link);
    EXPECT_EQ(lines[10], c.type);
    EXPECT_EQ(result.err.find("Can't"), std::string::npos) << result.err;
  }
  const Result settings = Run("--no-system-ports --emulate maple,9600,N,8,1 find");
  EXPECT_EQ(settings.exitCode, 64) << settings.output;
  EXPECT_NE(settings.err.find("takes no line settings"), std::string::npos) << settings.err;
}

// The restarts wait until the controller is found again and then print what find prints.
TEST_F(Kx7cliController, RestartsEndWhenTheControllerIsBack) {
  const struct {
    const char* arguments;
    int exitCode;
    const char* says;  // on standard error, or the report's type line
  } cases[] = {
      {"--emulate birch reboot rom", 0, "ControllerType: 32856 Birch ROM"},
      {"--emulate birch reset soft", 0, "ControllerType: 32861 Birch"},
      {"--emulate birch restore-defaults", 0, "ControllerType: 32861 Birch"},
      {"--emulate cedar-gen4 reboot eeprom", 0, "ControllerType: 32882 Cedar GEN4"},
      {"--emulate cedar-gen4 reboot rom", 1, "cannot reboot that way"},
      {"--emulate birch reset hard", 1, "has no hard reset"},
      {"--emulate cedar-gen4 restore-defaults --blocks 1,2", 1, "restores all its defaults only"},
      {"--emulate silent --link COM1 reboot ram", 1, "cannot reboot that way"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Result result = Run(std::string("--no-system-ports ") + c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
    EXPECT_NE((c.exitCode == 0 ? result.out : result.err).find(c.says), std::string::npos) << result.output;
  }
}

TEST_F(Kx7cliController, PeekPrintsHexadecimalSixteenALine) {
  const Result bytes = Run(kCedar + "peek 0 0x10 20");
  ASSERT_EQ(bytes.exitCode, 0) << bytes.output;
  const std::vector<std::string> lines = Lines(bytes.out);
  ASSERT_EQ(lines.size(), 2u) << bytes.out;
  EXPECT_EQ(lines[0].size(), 16u * 3 - 1) << lines[0];
  EXPECT_EQ(lines[1].size(), 4u * 3 - 1) << lines[1];
  EXPECT_EQ(lines[0].find_first_not_of("0123456789ABCDEF "), std::string::npos) << lines[0];

  const Result words = Run("--no-system-ports --emulate birch peek 10 4230 5 --words");
  ASSERT_EQ(words.exitCode, 0) << words.output;
  ASSERT_EQ(Lines(words.out).size(), 1u) << words.out;
  EXPECT_EQ(Lines(words.out)[0].size(), 5u * 5 - 1) << words.out;

  EXPECT_EQ(Run(kCedar + "poke 0 0x10 A1B2C3").exitCode, 0);
  const Result silent = Run("--no-system-ports --emulate silent --link COM1 poke 0 0 A1");
  EXPECT_EQ(silent.exitCode, 1) << silent.output;
  EXPECT_NE(silent.err.find("the memory write failed"), std::string::npos) << silent.err;
}

TEST(Kx7cli, RestartAndMemoryBadUsageEndsWithExitCode64) {
  for (const char* arguments : {"reset medium", "reboot flash", "peek 14 0 1", "peek 0 0 0", "peek 0 x10 4",
                                "poke 7 0 ABC", "poke 7 0 12345 --words", "restore-defaults --cable",
                                "restore-defaults --blocks 9", "peek 0 0", "find --words"}) {
    SCOPED_TRACE(arguments);
    const Result result = RunCli(std::string("--no-system-ports ") + arguments);
    EXPECT_EQ(result.exitCode, 64) << result.output;
  }
}

TEST_F(Kx7cliController, FindTriesTheSettingsInOrderAndTheNextRunStartsFromTheSavedOnes) {
  const std::string at19200 = "--no-system-ports --emulate cedar-gen4,19200,N,8,1 ";
  const Result found = Run(at19200 + "find");
  ASSERT_EQ(found.exitCode, 0) << found.output;
  EXPECT_NE(found.out.find("\nCOM1,19200,N,8,1\n"), std::string::npos) << found.out;
  EXPECT_NE(found.out.find("\nPortSettings: 19200,N,8,1\n"), std::string::npos) << found.out;
  // "Existing", "9600,N,8,1" and "9600,N,7,2" each waited a whole ping before the fourth entry.
  EXPECT_GE(found.seconds, 0.75);

  // identify over --link without settings takes the saved ones, which are now 19200.
  const Result identified = Run(at19200 + "--link COM1 identify");
  ASSERT_EQ(identified.exitCode, 0) << identified.output;
  EXPECT_NE(identified.out.find("\nCOM1,19200,N,8,1\n"), std::string::npos) << identified.out;
  EXPECT_NE(identified.out.find("\nControllerType: 32882 Cedar GEN4\n"), std::string::npos) << identified.out;
}

TEST_F(Kx7cliController, JsonReportHoldsTheLinkTheTypeAndTheInfoLines) {
  const Result result = Run(kCedar + "--json find");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  ASSERT_EQ(Lines(result.out).size(), 1u) << result.out;
  Json report;
  ASSERT_TRUE(JsonReader(result.out).ReadDocument(report)) << result.out;
  ASSERT_EQ(report.kind, Json::Kind::kObject);
  struct Number {
    const char* key;
    double value;  // < 0: any
  };
  for (const Number& n : {Number{"LinkKind", 1}, Number{"ControllerType", 32882}, Number{"ControllerFeatures", -1},
                          Number{"PenMode", -1}, Number{"MultiTouchMode", -1}}) {
    const Json* member = report.Member(n.key);
    ASSERT_NE(member, nullptr) << n.key;
    EXPECT_EQ(member->kind, Json::Kind::kNumber) << n.key;
    if (n.value >= 0) {
      EXPECT_EQ(member->number, n.value) << n.key;
    }
  }
  for (const auto& [key, value] : {std::pair{"PortSettings", "9600,N,8,1"}, std::pair{"TypeName", "Cedar GEN4"}}) {
    const Json* member = report.Member(key);
    ASSERT_NE(member, nullptr) << key;
    EXPECT_EQ(member->kind, Json::Kind::kString) << key;
    EXPECT_EQ(member->text, value) << key;
  }
  const Json* info = report.Member("Info");
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(info->kind, Json::Kind::kObject);
  ASSERT_EQ(info->keys, (std::vector<std::string>{"OI", "UV", "UT", "NM", "Port", "Status", "Errors", "BaseType"}));
  for (const Json& line : info->items) EXPECT_EQ(line.kind, Json::Kind::kString);
  EXPECT_EQ(info->Member("Port")->text, "COM1,9600,N,8,1");
  EXPECT_EQ(info->Member("Status")->text, "Found");
  EXPECT_EQ(info->Member("BaseType")->text, "Cedar GEN4");
}

TEST_F(Kx7cliController, FindWithoutTheSerialSearchFindsNothing) {
  const Result result = Run(kCedar + "find -noserial");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.err.find("Can't Find Controller"), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("\nLinkKind: 0\n"), std::string::npos) << result.out;
}

TEST_F(Kx7cliController, SendPrintsTheOneLineReply) {
  struct Case {
    const char* arguments;
    const char* out;
  };
  for (const Case& c : {Case{"send Z", "0\n"}, Case{"--link COM1 send Z", "0\n"},
                        Case{"--json send Z", "{\"Reply\":\"0\",\"Bytes\":\"01300D\"}\n"}}) {
    const Result result = Run(kCedar + c.arguments);
    EXPECT_EQ(result.exitCode, 0) << c.arguments << ": " << result.output;
    EXPECT_EQ(result.out, c.out) << c.arguments;
  }
}

TEST_F(Kx7cliController, SendWithoutAReplyFails) {
  const Result result = Run("--no-system-ports --emulate silent --link COM1 send Z");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("no reply"), std::string::npos) << result.err;
}

TEST_F(Kx7cliController, LinkToAPortThatIsNotThereFails) {
  const Result result = Run(kCedar + "--link COM2 send Z");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.err.find("Can't Open Port"), std::string::npos) << result.err;
}

TEST_F(Kx7cliController, ReadBlockPrintsUpperCaseHexPairs) {
  const Result result = Run(kCedar + "read-block 1");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  ASSERT_GE(result.out.size(), 3u);
  const std::string hex = result.out.substr(0, result.out.size() - 1);
  EXPECT_EQ(result.out.back(), '\n');
  EXPECT_EQ(hex.size() % 2, 0u) << hex;
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << hex;

  const Result serial = Run(kCedar + "--json read-block 5");
  ASSERT_EQ(serial.exitCode, 0) << serial.output;
  Json block;
  ASSERT_TRUE(JsonReader(serial.out).ReadDocument(block)) << serial.out;
  ASSERT_NE(block.Member("Hex"), nullptr);
  EXPECT_EQ(block.Member("Hex")->text.size(), 8u);
  EXPECT_EQ(block.Member("Block")->number, 5);
}

TEST_F(Kx7cliController, BlockFailuresAndBadBlockBytes) {
  // The Aspen4 has no block 8.
  const Result failed = Run("--no-system-ports --emulate aspen4 read-block 8");
  EXPECT_EQ(failed.exitCode, 1) << failed.output;
  EXPECT_NE(failed.err.find("Block Read Failed"), std::string::npos) << failed.err;
  EXPECT_EQ(failed.out, "");

  // Block 2 is 50 bytes: the controller refuses one.
  const Result refused = Run(kCedar + "write-block 2 00");
  EXPECT_EQ(refused.exitCode, 1) << refused.output;
  EXPECT_NE(refused.err.find("Write Failed"), std::string::npos) << refused.err;

  const Result bad = Run(kCedar + "write-block 1 XYZ");
  EXPECT_EQ(bad.exitCode, 64) << bad.output;
  EXPECT_NE(bad.err.find("hexadecimal"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("--help"), std::string::npos) << bad.err;
}

// XOR of the little-endian words before the last one, as the Cedar keeps in Block1's last word.
std::uint16_t Block1Checksum(const std::vector<std::uint8_t>& block) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i + 3 < block.size(); i += 2)
    sum ^= static_cast<std::uint16_t>(block[i] | (block[i + 1] << 8));
  return sum;
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
  std::string hex;
  char pair[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    hex += pair;
  }
  return hex;
}

TEST_F(Kx7cliController, WrittenBlockReadsBackWithItsChecksumStored) {
  EmulatorProcess emulator;
  ASSERT_TRUE(emulator.Start({"--family", "cedar-gen4", "--no-touch"}));
  const std::string port = "--no-system-ports --port COM1=" + emulator.Path() + " ";

  const Result original = Run(port + "read-block 1");
  ASSERT_EQ(original.exitCode, 0) << original.output;
  std::vector<std::uint8_t> block = FromHex(original.out.substr(0, original.out.size() - 1));
  ASSERT_GE(block.size(), 4u);
  // A changed byte and a wrong checksum: the write must store the right one.
  block[0] ^= 0x5A;
  const std::uint16_t wrong = static_cast<std::uint16_t>(Block1Checksum(block) ^ 0x1234);
  block[block.size() - 2] = static_cast<std::uint8_t>(wrong & 0xFF);
  block[block.size() - 1] = static_cast<std::uint8_t>(wrong >> 8);

  const Result written = Run(port + "write-block 1 " + ToHex(block));
  ASSERT_EQ(written.exitCode, 0) << written.output;
  EXPECT_EQ(written.out, "");

  const Result readBack = Run(port + "read-block 1");
  ASSERT_EQ(readBack.exitCode, 0) << readBack.output;
  const std::uint16_t sum = Block1Checksum(block);
  block[block.size() - 2] = static_cast<std::uint8_t>(sum & 0xFF);
  block[block.size() - 1] = static_cast<std::uint8_t>(sum >> 8);
  EXPECT_EQ(readBack.out, ToHex(block) + "\n");
}


// --- params and block7 ---------------------------------------------------------------------------

std::string ReadText(const std::string& path) { return CliProcess::ReadFile(path); }

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

nlohmann::json JsonOf(const Result& result) { return nlohmann::json::parse(result.out, nullptr, false); }

TEST_F(Kx7cliController, ParamsShowChecksAFileWithoutAController) {
  WriteText(folder_ + "/good.bk1", "45 00 52 00 B6 07 A9 07 ");
  const Result good = Run("params show good.bk1 --json");
  EXPECT_EQ(good.exitCode, 0) << good.output;
  EXPECT_EQ(good.out,
            "{\"Kind\":\"bk1\",\"Valid\":true,\"Error\":\"\",\"Layout\":\"spaced\",\"Bytes\":8,\"Hex\":\"45005200B607A907\","
            "\"Checksum\":\"07A1\",\"StoredChecksum\":\"07A9\",\"ChecksumOk\":false}\n");

  WriteText(folder_ + "/bad.bk1", "45 00 5G");
  const Result bad = Run("--json params show bad.bk1");
  EXPECT_EQ(bad.exitCode, 5) << bad.output;
  EXPECT_EQ(bad.out, "{\"Kind\":\"bk1\",\"Valid\":false,\"Error\":\"Digit\",\"Layout\":\"spaced\",\"Bytes\":2,\"Hex\":\"4500\"}\n");

  // A Default Params file whose length field passes its end: never sendable.
  std::string dat = std::string("\x40\x00\x34\x12\x02\x00PT", 8) + std::string(8, '\0') + std::string(2, '\x11');
  WriteText(folder_ + "/long.dat", dat);
  const Result datShown = Run("params show long.dat --json");
  EXPECT_EQ(datShown.exitCode, 5);
  EXPECT_EQ(datShown.out,
            "{\"Kind\":\"dat\",\"Valid\":false,\"Error\":\"Length\",\"Size\":18,\"Length\":64,\"Header\":\"1234\","
            "\"NameLength\":2,\"PanelType\":\"PT\",\"HeaderWords\":[\"0000\",\"0000\",\"0000\",\"0000\"],\"ParamWords\":null,"
            "\"Crc\":null,\"StoredCrc\":null,\"Xor\":null,\"Warnings\":[\"File Length Error\"],\"Sendable\":false}\n");

  const Result missing = Run("params show nothing.bk8");
  EXPECT_EQ(missing.exitCode, 4);
  EXPECT_EQ(missing.err, "KX7SDU: Failed to open file!\n");
  EXPECT_EQ(missing.out, "");

  WriteText(folder_ + "/levels.txt", "1\r\n");
  EXPECT_EQ(Run("params show levels.txt").exitCode, 64) << "a .txt needs --kind";
  const Result levels = Run("params show levels.txt --kind bk8 --json");
  EXPECT_EQ(levels.exitCode, 5);
  EXPECT_EQ(JsonOf(levels)["Error"], "UnexpectedEOF");
  EXPECT_EQ(Run("params show levels.txt --kind bk9").exitCode, 64);
  EXPECT_EQ(Run("--emulate cedar-gen4 params show good.bk1").exitCode, 64) << "no controller for show";
}

TEST_F(Kx7cliController, Block7OfAnEepFileInUnits) {
  WriteText(folder_ + "/t.eep",
            "%\r\n7\t005A\t0\t%\tThreshK\r\n7\t005B\t15\r\n7\t005C\t0\r\n7\t005D\t0\r\n7\t000A\t1\t%\tFreq\r\n7\t000B\t0\r\n"
            "7\t0006\t0\t%\tClock\r\n7\t0007\t0\r\n7\t0058\t0\t%\tAlphaMax\r\n7\t0059\t4\r\n");
  const Result shown = Run("block7 --file t.eep --json");
  ASSERT_EQ(shown.exitCode, 0) << shown.output;
  const nlohmann::json units = JsonOf(shown);
  EXPECT_EQ(units["Rows"], 10);
  EXPECT_EQ(units["Thresholds"]["Touch"]["Capacitance"], " 1pF");
  EXPECT_TRUE(units["Thresholds"]["FastStray"]["Percent"].is_null());
  EXPECT_EQ(units["Other"]["Freq"]["Frequency"], " 13491 Hz");
  EXPECT_EQ(units["Filters"]["NoiseFilter"]["Milliseconds"], " 43 ms");
  EXPECT_TRUE(units["SelfParamsValid"].is_null());
  WriteText(folder_ + "/bad.eep", "7\t0000\t1\r\n");
  EXPECT_EQ(Run("block7 --file bad.eep --json").exitCode, 5);
  const Result notBirch = Run("--no-system-ports --emulate cedar-gen4 block7");
  EXPECT_EQ(notBirch.exitCode, 1) << notBirch.output;
}

// The issue new users met first: a 512-byte block takes over a second at 9600 baud.
TEST_F(Kx7cliController, TheLargeBlocksReadAtNineHundredAndSixtyCharactersASecond) {
  for (const char* family : {"cedar-gen4", "larch"}) {
    const Result read = Run(std::string("--no-system-ports --emulate ") + family + " read-block 8");
    EXPECT_EQ(read.exitCode, 0) << family << read.output;
    EXPECT_EQ(read.out.size(), 1025u) << family;
  }
}

// Save, change, restore and read back, the controller kept between runs in a state file.
void RoundTrip(Kx7cliController& test, const std::string& family, const std::string& file,
               const std::function<std::string(const std::string&)>& change, const std::string& extra = "") {
  SCOPED_TRACE(family + " " + file);
  const std::string emulate = "--no-system-ports --emulate " + family + " --emulate-state state-" + family + " ";
  const Result saved = test.RunHere(emulate + "params save " + file);
  ASSERT_EQ(saved.exitCode, 0) << saved.output;
  const std::string original = ReadText(test.Folder() + "/" + file);
  const std::string changed = change(original);
  ASSERT_NE(changed, original);
  WriteText(test.Folder() + "/" + file, changed);
  const Result restored = test.RunHere(emulate + "params restore " + file + " --json " + extra);
  EXPECT_EQ(restored.exitCode, 0) << restored.output;
  EXPECT_EQ(restored.out, "{\"Kind\":\"" + file.substr(file.rfind('.') + 1) +
                              "\",\"Written\":true,\"Verified\":true,\"Message\":\"\"}\n");
  const Result again = test.RunHere(emulate + "params save back-" + file);
  ASSERT_EQ(again.exitCode, 0) << again.output;
  EXPECT_EQ(ReadText(test.Folder() + "/back-" + file), changed);
}

// The first byte of a hexadecimal block file, one up.
std::string BumpFirstByte(const std::string& text) {
  std::string changed = text;
  changed[1] = changed[1] == '9' ? 'A' : changed[1] == 'F' ? '0' : static_cast<char>(changed[1] + 1);
  return changed;
}

// Block1 of a Rowan/Cedar keeps its check word: the file restored carries the right one.
std::string BumpFirstByteKeepingTheCheckWord(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 3) bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  bytes[0] ^= 0x01;
  const std::uint16_t sum = Block1Checksum(bytes);
  bytes[bytes.size() - 2] = static_cast<std::uint8_t>(sum & 0xFF);
  bytes[bytes.size() - 1] = static_cast<std::uint8_t>(sum >> 8);
  std::string changed;
  char group[4];
  for (const std::uint8_t b : bytes) {
    std::snprintf(group, sizeof group, "%02X ", b);
    changed += group;
  }
  return changed;
}

// The value of the third line of a named listing (Block6) or of a level (Block8), one up.
std::string BumpThirdLine(const std::string& text) {
  std::size_t start = 0;
  for (int line = 0; line < 2; ++line) start = text.find('\n', start) + 1;
  const std::size_t end = text.find('\r', start);
  const std::size_t blank = text.rfind(' ', end);
  const std::size_t digits = blank == std::string::npos || blank < start ? start : blank + 1;
  const int value = std::stoi(text.substr(digits, end - digits));
  return text.substr(0, digits) + std::to_string((value + 1) % 256) + text.substr(end);
}

TEST_F(Kx7cliController, SerialFamiliesSaveAndRestoreTheirBlocks) {
  RoundTrip(*this, "cedar-gen4", "c.bk1", BumpFirstByteKeepingTheCheckWord);
  RoundTrip(*this, "cedar-gen4", "c.bk6", BumpThirdLine);
  RoundTrip(*this, "larch", "l.bk8", BumpThirdLine);
  RoundTrip(*this, "aspen4", "a.bk1", BumpFirstByte);
  RoundTrip(*this, "hazel3-linden", "h.bk1", BumpFirstByte);
  RoundTrip(*this, "cedar-gen3", "c.bk2", BumpFirstByte, "-linearize");
  RoundTrip(*this, "cedar-gen2", "c.bk4", BumpFirstByte, "-linearize");
}

// The files the program writes but never restores hold what the blocks and parameters hold.
TEST_F(Kx7cliController, WrittenOnlyFilesComeFromTheControllersBlocks) {
  const std::string cedar = "--no-system-ports --emulate cedar-gen4 ";
  ASSERT_EQ(Run(cedar + "params save c.cal").exitCode, 0);
  EXPECT_EQ(ReadText(folder_ + "/c.cal"), "0045\r\n0052\r\n07B6\r\n07A9\r\n0800\r\n0800\r\n0003\r\n");
  ASSERT_EQ(Run(cedar + "params save q.txt --kind bkq").exitCode, 0);
  const std::string blockQ = ReadText(folder_ + "/q.txt");
  EXPECT_EQ(blockQ.substr(0, 29), "BlockQ_Rev_A\r\nQ300 00000100\r\n");
  EXPECT_EQ(blockQ.size(), 14u + 70u * 15u + 15u) << "Q300 to Q369 and Q001";
  const Result larch = Run("--no-system-ports --emulate larch params save l.blk --json");
  ASSERT_EQ(larch.exitCode, 0) << larch.output;
  EXPECT_EQ(JsonOf(larch)["Bytes"], 21);
  EXPECT_EQ(ReadText(folder_ + "/l.blk").substr(18, 3), "18 ") << "the row count in byte 6";
  EXPECT_EQ(Run("--no-system-ports --emulate larch params restore l.blk").exitCode, 64);
}

TEST_F(Kx7cliController, UsbFamiliesSaveAndRestoreTheirBlocks) {
  RoundTrip(*this, "rowan-usb-gen4", "r.bk1", BumpFirstByteKeepingTheCheckWord);
  RoundTrip(*this, "larch-usb", "l.bk6", BumpThirdLine);
  RoundTrip(*this, "maple", "m.bk1", BumpFirstByte);
}

TEST_F(Kx7cliController, BirchTablesSaveAndRestoreOnEveryRoute) {
  const auto withoutPalm = [](const std::string& text) {
    std::string changed = text;
    const std::size_t at = changed.find("7\t0001\t81\t");
    changed.replace(at, 10, "7\t0001\t1\t");
    return changed;
  };
  RoundTrip(*this, "birch", "b.eep", withoutPalm);
  RoundTrip(*this, "birch2-hid", "h.eep", withoutPalm);
  RoundTrip(*this, "birch-usb", "u.eep", withoutPalm);
}

TEST_F(Kx7cliController, ASaveThatCannotReadLeavesTheFileAsItWas) {
  WriteText(folder_ + "/kept.bk8", "kept");
  const Result failed = Run("--no-system-ports --emulate aspen4 params save kept.bk8");
  EXPECT_EQ(failed.exitCode, 1) << failed.output;
  EXPECT_NE(failed.err.find("Block Read Failed"), std::string::npos);
  EXPECT_EQ(ReadText(folder_ + "/kept.bk8"), "kept");
  const Result none = Run("--no-system-ports --emulate aspen4 params save none.bk8");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/none.bk8"));
  for (const auto& entry : std::filesystem::directory_iterator(folder_))
    EXPECT_EQ(entry.path().filename().string().find(".bk8."), std::string::npos) << "a temporary file stayed";
  EXPECT_EQ(Run("--no-system-ports --emulate aspen4 params save x.dat").exitCode, 64);
}

TEST_F(Kx7cliController, RestoreRefusesFilesThatDoNotFitBeforeSendingAnything) {
  const std::string emulate = "--no-system-ports --emulate cedar-gen4 --emulate-state state ";
  WriteText(folder_ + "/short.bk6", "00 02 A\r\na 1\r\nb 2\r\n");
  const Result block6 = Run(emulate + "params restore short.bk6");
  EXPECT_EQ(block6.exitCode, 5) << block6.output;
  WriteText(folder_ + "/short.bk1", "01 02 03 ");
  EXPECT_EQ(Run(emulate + "params restore short.bk1").exitCode, 5);
  EXPECT_EQ(Run(emulate + "params restore short.bk2").exitCode, 64) << "bk2 needs -linearize";
  EXPECT_EQ(Run(emulate + "params restore x.blk").exitCode, 64);
  EXPECT_EQ(Run(emulate + "params restore x.cal").exitCode, 64);
  // Nothing reached the controller: its Block1 is the factory's.
  const Result block1 = Run(emulate + "read-block 1");
  EXPECT_EQ(block1.out.substr(0, 8), "45005200");
}

TEST_F(Kx7cliController, DefaultParamsGoInWithTheSp2ExchangeAndWarningsNeedForce) {
  const std::string name = "KX7-NEW-PANEL-21";
  std::string dat = std::string("\0\0\x34\x12", 4) + static_cast<char>(name.size()) + '\0' + name + std::string(12, 'Z') +
                    std::string(2, '\0');
  dat[0] = static_cast<char>(dat.size());
  WriteText(folder_ + "/p.dat", dat);  // its CRC is 0, which is wrong
  const std::string emulate = "--no-system-ports --emulate cedar-gen4 ";
  const Result refused = Run(emulate + "params restore p.dat --json");
  EXPECT_EQ(refused.exitCode, 5) << refused.output;
  EXPECT_NE(refused.err.find("CRC Error.  calc="), std::string::npos) << refused.err;
  const Result forced = Run(emulate + "params restore p.dat --force --json");
  EXPECT_EQ(forced.exitCode, 0) << forced.output;
  EXPECT_EQ(forced.out, "{\"Kind\":\"dat\",\"Written\":true,\"Verified\":true,\"Message\":\"\"}\n");
}

// --- draw, mdraw, options -----------------------------------------------------------------------

TEST_F(Kx7cliController, DrawPrintsThePaintOrWhatTheBytesDrewAndSent) {
  const std::string input = folder_ + "/input.bin";
  // A touch-down, a move and a lift as binary reports, then a 0x01 report with Mode Poll on.
  std::ofstream(input, std::ios::binary) << std::string("\xC0\x00\x20\x00\x20\xC0\x00\x30\x00\x30\x80\x00\x30\x00\x30", 15)
                                         << "\x01" "500,500\r";
  Result live = Run("draw --size 640x480 --poll --live <'" + input + "'");
  EXPECT_EQ(live.exitCode, 0) << live.output;
  EXPECT_EQ(live.out,
            "cross 160 359 4 4 255,0,0 1\nsend 11\n"
            "ellipse 240 299 1 1 255,255,0 1 white\nsend 11\n"
            "ellipse 240 299 2 2 0,255,0 1 white\nsend 11\n"
            "send 01\nsend 4D\nsend 54\nsend 0D\nsend 11\n");
  const Result paint = Run("draw --size 640x480 --grid 0 --16pt 0 --25pt 0 --diagonals 1 <'" + input + "'");
  EXPECT_EQ(paint.exitCode, 0) << paint.output;
  EXPECT_EQ(paint.out,
            "fill 0 0 640 480 0,0,0\n"
            "line 0 0 160 120 0,128,64 1\nline 0 479 160 360 0,128,64 1\n"
            "line 639 0 480 120 0,128,64 1\nline 639 479 480 360 0,128,64 1\n"
            "cross 160 359 4 4 255,0,0 1\nline 160 359 240 299 255,255,0 1\nellipse 240 299 2 2 0,255,0 1 white\n");
  // Empty input: the overlays alone. No settings file either.
  const Result empty = Run("draw --size 100x100 </dev/null");
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(Lines(empty.out).size(), 1u + 18u + 16u + 25u);
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/kx7sdua.ini"));
}

TEST_F(Kx7cliController, MultiDrawPrintsTheBoxesTheContactsAndWhatTheBoxesDid) {
  // Three contacts of the 6 x 10 layout in one report, then contact 1 touches down in the Clear
  // box (upper right: columns 56 to 63, rows 0 to 3 of 64).
  std::string report(64, '\0');
  report[0] = 1;
  for (int i = 0; i < 3; ++i) {
    report[1 + i * 10] = 7;
    report[2 + i * 10] = static_cast<char>(i);
    report[3 + i * 10] = 0;
    report[4 + i * 10] = static_cast<char>(0x20 + i * 0x10);
    report[5 + i * 10] = 0;
    report[6 + i * 10] = 0x40;
  }
  report[61] = 3;
  std::string clear(64, '\0');
  clear[0] = 1;
  clear[1] = 4;  // contact 1 lifts where it was
  clear[2] = 1;
  clear[4] = 0x30;
  clear[6] = 0x40;
  clear[11] = 7;  // contact 9 comes down in the Clear box
  clear[12] = 9;
  clear[13] = '\xFF';
  clear[14] = 0x7A;
  clear[15] = 0x00;
  clear[16] = 0x04;
  clear[61] = 2;
  const std::string input = folder_ + "/multi.bin";
  std::ofstream(input, std::ios::binary) << report << clear;
  const Result result = Run("mdraw --size 640x640 --type 32881 --features 2000 --sensor 64x64 --live <'" + input + "'");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.out,
            "cross 160 320 4 4 255,0,0 4\ncross 240 320 4 4 255,0,0 4\ncross 320 320 4 4 255,0,0 4\n"
            "ellipse 240 320 2 2 0,255,0 4 none\nevent clear\n");
  const Result paint = Run("mdraw --size 640x640 --grid 1 </dev/null");
  const std::vector<std::string> lines = Lines(paint.out);
  ASSERT_EQ(lines.size(), 1u + 128u + 2u);
  EXPECT_EQ(lines[129], "box clear 565 5 635 35");
  EXPECT_EQ(lines[130], "box exit 5 605 35 635");
}

TEST_F(Kx7cliController, OptionsRunsTheSheetOnTheSettingsFile) {
  Result result = Run("options 'Show Grid=0' 'Time Display=Time and Date' 'Show Z=1'");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.out.find("Show Grid=0\n"), std::string::npos);
  EXPECT_NE(result.out.find("Time Display=3\n"), std::string::npos);
  EXPECT_NE(result.out.find("Force Caps in Terminal Window=1\n"), std::string::npos) << "hidden, unchanged";
  ASSERT_TRUE(std::filesystem::exists(folder_ + "/kx7sdua.ini"));
  // --cancel writes nothing; the file keeps what OK wrote.
  result = Run("options 'Show Grid=1' --cancel");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.out.find("Show Grid=0\n"), std::string::npos);
  result = Run("options 'High=12.5'");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "KX7SDU: Please enter an integer.\n");
  for (const char* bad : {"'No Such Box=1'", "'Show Grid=2'", "ShowGrid", "'Time Display=Sometimes'"}) {
    result = Run(std::string("options ") + bad);
    EXPECT_EQ(result.exitCode, 64) << bad << ": " << result.output;
  }
}

TEST(Kx7cli, DrawBadUsageEndsWithExitCode64) {
  for (const char* arguments : {"draw", "draw --size 0x10", "draw --size 10", "draw --size 10x10 --format 5",
                                "draw --size 10x10 --marker 4", "draw --size 10x10 --accuracy x",
                                "mdraw --size 10x10 --variant 33024", "mdraw --size 10x10 --sensor 0x4",
                                "--emulate cedar-gen4 draw --size 10x10", "--touch-feed x ports"}) {
    const Result result = RunCli(std::string(arguments) + " </dev/null");
    EXPECT_EQ(result.exitCode, 64) << arguments << ": " << result.output;
  }
}

TEST_F(Kx7cliController, ATouchFeedDrivesTheEmulatedControllersTouches) {
  const std::string feed = folder_ + "/feed.txt";
  std::ofstream(feed).close();
  // The stroke comes once the terminal is open: the file is followed as it grows.
  std::thread writer([feed] {
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    std::ofstream lines(feed, std::ios::app);
    lines << "# a stroke across the middle\nwiggle 1 2\ndown 512 1024\n";
    for (int i = 1; i <= 20; ++i) lines << "move " << 512 + i * 40 << " 1024\n";
    lines << "up\n";
  });
  const Result result = Run(kCedar + "--touch-feed '" + feed + "' terminal --seconds 5");
  writer.join();
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.out.find("D 0"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("U 1"), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("--touch-feed: line 2: \"wiggle\" is not down, move or up"), std::string::npos)
      << result.err;
  const Result missing = Run(kCedar + "--touch-feed '" + folder_ + "/none' ports");
  EXPECT_EQ(missing.exitCode, 1) << missing.output;
}

}  // namespace

// --- download ------------------------------------------------------------------------------

namespace {

std::string WriteImage(const std::string& folder, std::size_t length) {
  const std::string path = folder + "/fw.bin";
  std::ofstream file(path, std::ios::binary);
  for (std::size_t i = 0; i < length; ++i) file.put(static_cast<char>(i * 7 + 3));
  return path;
}

}  // namespace

TEST_F(Kx7cliController, DownloadEndsWithTheDownloadResultCodes) {
  const std::string image = WriteImage(folder_, 300);
  {
    std::ofstream(folder_ + "/empty.bin", std::ios::binary);
  }
  struct Case {
    std::string arguments;
    int exitCode;
    std::string json;  // the final object, or "" for none checked
  };
  const std::vector<Case> cases = {
      // A Larch in its boot loader: the Firmware Loader, by the menus and by the command-line rule.
      {"--emulate larch-mt download fw.bin --json", 0, R"({"result":0,"loader":"firmware","bytes":300,"message":""})"},
      {"--emulate larch-mt -download=fw.bin", 0, ""},
      // A Larch running its application: the menus' loader enters the boot loader itself; the
      // command-line rule has no loader for its feature word.
      {"--emulate larch download fw.bin --no-reboot --json", 0, R"({"result":0,"loader":"firmware","bytes":300,"message":""})"},
      {"--emulate larch --json -dloadall=fw.bin", 2, R"({"result":2,"loader":null,"bytes":0,"message":""})"},
      {"--emulate larch-mt download missing.bin --json", 4,
       R"({"result":4,"loader":"firmware","bytes":0,"message":"Failed to open file!"})"},
      {"--emulate larch-mt download empty.bin --json", 5, ""},
      {"--emulate larch-mt download fw.bin --loader cedar-gen2", 2, ""},
      {"--emulate larch-mt download fw.bin --loader nonsense", 64, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Result result = Run("--no-system-ports " + c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
    if (!c.json.empty()) {
      EXPECT_EQ(result.out, c.json + "\n") << result.err;
    }
  }
  const Result lines = Run("--no-system-ports --emulate larch-mt download fw.bin");
  EXPECT_EQ(lines.exitCode, 0) << lines.output;
  EXPECT_EQ(Lines(lines.out).back(), "300 of 300 Bytes Sent");
  (void)image;
}

TEST_F(Kx7cliController, ADownloadThatTheBootLoaderRefusesMidwayEndsWithExitCode3) {
  WriteImage(folder_, 600);
  for (const char* fault : {"PD:4:refuse", "PE:1:silent", "PD-data:2:drop-off"}) {
    SCOPED_TRACE(fault);
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start({"--family", "larch-mt", "--no-touch", "--fault", fault}));
    const Result result =
        Run("--no-system-ports --port COM1=" + emulator.Path() + " --link COM1,9600,N,8,1 download fw.bin --json");
    EXPECT_EQ(result.exitCode, 3) << result.output;
    const nlohmann::json object = nlohmann::json::parse(result.out, nullptr, false);
    ASSERT_TRUE(object.is_object()) << result.out;
    EXPECT_EQ(object["message"], "Error Poke Frame");
    EXPECT_LT(object["bytes"].get<int>(), 600);
    EXPECT_NE(result.err.find("Error Poke Frame"), std::string::npos) << result.err;
    EXPECT_LT(result.seconds, 30.0) << "every wait is bounded";
  }
}

// --- Calibration mathematics ------------------------------------------------------------------

// The 25 raw averages of a bowed sensor mounted at `clock`, in display order, as "X Y" lines.
std::string SensorLines(int clock, double warp) {
  constexpr double kPi = 3.14159265358979323846;
  const double g[5] = {102, 511, 1023, 1535, 1945};
  std::string lines;
  for (int k = 0; k < 25; ++k) {
    const double x = g[k % 5], y = g[k / 5], u = x / 2047, v = y / 2047;
    const double xs = x + warp * 2047 * std::sin(kPi * v) * (u - 0.5);
    const double ys = y + warp * 2047 * std::sin(kPi * u) * (v - 0.5);
    double rx = xs, ry = 2047 - ys;
    if (clock == 6) rx = ys, ry = xs;
    if (clock == 9) rx = 2047 - xs, ry = ys;
    if (clock == 12) rx = 2047 - ys, ry = 2047 - xs;
    lines += std::to_string(static_cast<int>(200 + 0.8 * rx)) + " " + std::to_string(static_cast<int>(230 + 0.75 * ry)) + "\n";
  }
  return lines;
}

TEST_F(Kx7cliController, LinearizeMathTableCorrectsTheNodesOntoTheGrid) {
  const std::string input = folder_ + "/raw.txt";
  std::ofstream(input) << SensorLines(6, 0.05);
  const Result json = Run("linearize-math --json <'" + input + "'");
  ASSERT_EQ(json.exitCode, 0) << json.output;
  const nlohmann::ordered_json o = nlohmann::ordered_json::parse(json.out);
  std::vector<std::string> keys;
  for (const auto& item : o.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"Result", "Clock", "Xlow", "Xhigh", "Ylow", "Yhigh", "Corners",
                                            "BalancingFold", "Normalization", "Raw", "Normalized", "Corrections",
                                            "Block2"}));
  EXPECT_EQ(o["Result"], "OK");
  EXPECT_EQ(o["Clock"], 6);
  const std::string block2 = o["Block2"];
  EXPECT_TRUE(std::regex_match(block2, std::regex("[0-9A-F]{100}"))) << block2;
  // The text form says the same.
  const Result text = Run("linearize-math <'" + input + "'");
  EXPECT_EQ(text.exitCode, 0);
  const std::vector<std::string> lines = Lines(text.out);
  ASSERT_EQ(lines.size(), 5u) << text.out;
  EXPECT_EQ(lines[0], "Clock: 6");
  EXPECT_EQ(lines[1], "Extents: " + std::to_string(o["Xlow"].get<int>()) + " " + std::to_string(o["Xhigh"].get<int>()) +
                          " " + std::to_string(o["Ylow"].get<int>()) + " " + std::to_string(o["Yhigh"].get<int>()));
  EXPECT_EQ(lines[3], "Block2: " + block2);
  EXPECT_EQ(lines[4], "Result: OK");
  // The controller, given that table, puts every measured node back on its grid position.
  std::string nodes;
  const auto n = o["Normalization"];
  for (const auto& raw : o["Raw"])
    nodes += std::to_string((raw[0].get<long long>() - n[0].get<long long>()) * 2047 / n[2].get<long long>()) + " " +
             std::to_string((raw[1].get<long long>() - n[1].get<long long>()) * 2047 / n[3].get<long long>()) + "\n";
  const std::string normalized = folder_ + "/nodes.txt";
  std::ofstream(normalized) << nodes;
  const Result corrected = Run("correct-math --block2 " + block2 + " <'" + normalized + "'");
  ASSERT_EQ(corrected.exitCode, 0) << corrected.output;
  const std::vector<std::string> points = Lines(corrected.out);
  ASSERT_EQ(points.size(), 25u);
  const int g[5] = {102, 511, 1023, 1535, 1945};
  for (int k = 0; k < 25; ++k) {
    std::istringstream in(points[static_cast<std::size_t>(k)]);
    int x = 0, y = 0;
    in >> x >> y;
    EXPECT_NEAR(x, g[k % 5], 4) << "node " << k;
    EXPECT_NEAR(y, g[k / 5], 4) << "node " << k;
  }
}

TEST_F(Kx7cliController, CalibrationMathRejectsInputAndUsage) {
  const std::string zeros(100, '0');
  const struct {
    std::string arguments;
    std::string input;
    int exitCode;
    std::string out;  // the start of standard output
  } cases[] = {
      {"linearize-math", std::string(24 * 8, ' '), 5, ""},
      {"linearize-math", SensorLines(3, 0.03).substr(SensorLines(3, 0.03).find('\n') + 1), 5, ""},  // 24 lines
      {"linearize-math", "2048 0\n" + SensorLines(3, 0.03).substr(SensorLines(3, 0.03).find('\n') + 1), 5, ""},
      {"linearize-math", "1 2 3\n" + SensorLines(3, 0.03).substr(SensorLines(3, 0.03).find('\n') + 1), 5, ""},
      {"linearize-math --json", [] { std::string s; for (int i = 0; i < 25; ++i) s += "700 700\n"; return s; }(), 1,
       "{\"Result\":\"Linearization Failed\""},
      {"linearize-math --clock 3", SensorLines(3, 0.03), 64, ""},
      {"correct-math", "1 1\n", 64, ""},
      {"correct-math --block2 " + zeros.substr(2), "1 1\n", 64, ""},
      {"correct-math --block2 " + zeros, "5 2047\n0 0\n", 0, "5 2047\n0 0\n"},
      {"correct-math --block2 " + zeros, "5\n", 5, ""},
      {"sample-math --set lin --type 32882 --json", "10 10\n10 10\n10 10\n10 10\n10 10\n10 10\n", 0,
       "{\"Outcome\":\"ok\",\"X\":10,\"Y\":10}"},
      {"sample-math --set lin --type 32882", "10 10\n10 10\n", 0, "Outcome: short\nX: null\nY: null\n"},
      {"sample-math --set lin --type 32882", "10 10\n10 10\n10 10\n10 40\n10 10\n10 10\n", 0, "Outcome: noisy"},
      {"sample-math --set lin --type 32882 --allow-noisy", "10 10\n10 10\n10 10\n10 40\n10 10\n10 10\n", 0,
       "Outcome: ok"},
      {"sample-math --set cal", "", 64, ""},
      {"rawcal-math --inset 256 --targets 2 --json", "300 300\n1700 1700\n", 0, "{\"Clock\":3,\"Error\":0,"},
      {"rawcal-math --inset 256 --targets 2", "300 300\n300 1700\n", 1, "Clock: 3\nError: 1\n"},
      {"rawcal-math --inset 128 --targets 2", "300 300\n1700 1700\n", 64, ""},
      {"rawcal-math --inset 0 --targets 3", "300 300\n1700 1700\n", 5, ""},
      {"prove-math --targets 16 --hex", "C0 0", 5, ""},
      {"prove-math --targets 9", "", 64, ""},
      {"prove-math --targets 16 --hex --json", "C0000000 00", 1, "{\"Result\":\"Incomplete\",\"Targets\":16,"},
  };
  const std::string input = folder_ + "/input.txt";
  for (const auto& c : cases) {
    std::ofstream(input, std::ios::binary | std::ios::trunc) << c.input;
    const Result result = Run(c.arguments + " <'" + input + "'");
    EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments << ": " << result.output;
    EXPECT_EQ(result.out.substr(0, c.out.size()), c.out) << c.arguments;
    if (c.exitCode == 5 || c.exitCode == 64) {
      EXPECT_NE(result.err.find("kx7cli: "), std::string::npos) << c.arguments;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/kx7sdua.ini")) << "the mathematics has no frame";
}

TEST_F(Kx7cliController, ProveMathJudgesTheBytesAndWritesTheDvtFile) {
  // Ten touches at each of the 25 targets, reported y upward, each held for three moves.
  const int g[5] = {102, 511, 1023, 1535, 1945};
  std::string hex;
  const auto packet = [&hex](bool touching, int x, int y) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X ", touching ? 0xC0 : 0x80, (x & 15) << 3, x >> 4 & 0x7F,
                  (y & 15) << 3, y >> 4 & 0x7F);
    hex += text;
  };
  for (int k = 0; k < 25; ++k)
    for (int touch = 0; touch < 10; ++touch) {
      const int x = g[k % 5] + (k == 6 ? 30 : 0), y = 2047 - g[k / 5];
      for (int n = 0; n < 5; ++n) packet(true, x, y);
      packet(false, x, y);
    }
  const std::string input = folder_ + "/prove.hex";
  std::ofstream(input) << hex;
  const std::string dvt = folder_ + "/dvt.dat";
  Result result = Run("prove-math --targets 25 --settle 3 --hex --json --dvt-file '" + dvt + "' <'" + input + "'");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  nlohmann::json o = nlohmann::json::parse(result.out);
  EXPECT_EQ(o["Result"], "Prove Failed");
  EXPECT_EQ(o["Band"], 1.09);
  EXPECT_EQ(o["Settle"], 3);
  EXPECT_EQ(o["TouchDowns"], 250);
  EXPECT_EQ(o["Failed"].size(), 10u);
  EXPECT_EQ(o["Failed"][0], nlohmann::json::parse("[6,1]"));
  EXPECT_NE(result.out.find("\"MaxError\":1.46484375,"), std::string::npos) << "30 counts, the shortest form";
  std::ifstream file(dvt, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.substr(0, 12), "X1,Y1,X2,Y2,");
  EXPECT_NE(text.find("\r\n541 ,1536,541 ,1536,"), std::string::npos) << "ideal 6: x 511 + 30";
  // A wider band passes; a file that cannot be written is exit code 4, the result still printed.
  result = Run("prove-math --targets 25 --settle 3 --accuracy 1.5 --hex --dvt-file '" + folder_ +
               "/none/dvt.dat' <'" + input + "'");
  EXPECT_EQ(result.exitCode, 4) << result.output;
  EXPECT_EQ(result.err, "KX7SDU: Failed to open file!\n");
  EXPECT_EQ(Lines(result.out).front(), "Result: Prove OK");
}

TEST_F(Kx7cliController, SensorNeedsAnEmulatedSerialControllerAndGoodItems) {
  for (const char* arguments : {"--no-system-ports --sensor clock=6 ports",
                                "--no-system-ports --emulate maple --sensor clock=6 ports",
                                "--no-system-ports --emulate cedar-gen4 --sensor clock=7 ports",
                                "--no-system-ports --emulate cedar-gen4 --sensor warp=1 ports",
                                "--no-system-ports --emulate cedar-gen4 --sensor hue=2 ports"}) {
    const Result result = Run(arguments);
    EXPECT_EQ(result.exitCode, 64) << arguments << ": " << result.output;
    EXPECT_NE(result.err.find("--sensor"), std::string::npos) << arguments << ": " << result.err;
  }
  // The controller behind a given sensor takes its Block2 as before.
  const std::string table = "0A" + std::string(98, '0');
  const std::string state = folder_ + "/state.txt";
  const std::string emulate = "--no-system-ports --emulate cedar-gen4 --sensor clock=9,warp=0.08,noise=1,seed=4 "
                              "--emulate-state '" + state + "' ";
  EXPECT_EQ(Run(emulate + "write-block 2 " + table).exitCode, 0);
  const Result read = Run(emulate + "read-block 2");
  EXPECT_EQ(read.exitCode, 0) << read.output;
  EXPECT_EQ(read.out.substr(0, 100), table);
}
