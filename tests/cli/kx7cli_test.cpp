// Runs the real kx7cli as a production script would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <cstdio>
#include <string>

namespace {

struct Result {
  int exitCode = -1;
  std::string output;
};

Result RunCli(const std::string& arguments) {
  const std::string command = std::string(KX7_BINARY_DIR) + "/cli/kx7cli " + arguments + " 2>&1";
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> chunk{};
  std::size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), got);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

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

TEST(Kx7cli, BadUsageEndsWithExitCodeTwo) {
  for (const char* arguments : {"", "frobnicate", "--port COM3A=/dev/x ports", "--port"}) {
    const Result result = RunCli(arguments);
    EXPECT_EQ(result.exitCode, 2) << arguments << ": " << result.output;
    EXPECT_FALSE(result.output.empty()) << arguments;
  }
  EXPECT_EQ(RunCli("--help").exitCode, 0);
}

}  // namespace
