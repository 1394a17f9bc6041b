// Starts the real kx7sdu offscreen, as a user would, and checks what it leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/settings_file.h"
#include "kx7sdu_process.h"

namespace kx7 {
namespace {

namespace fs = std::filesystem;

using Kx7sduProcess = testing::Kx7sduProcessTest;

TEST_F(Kx7sduProcess, ClosesOnSigtermAndLeavesTheSettingsFile) {
  const fs::path settings = folder_ / "kx7sdua.ini";
  Start({"-nosearch"});
  // The first start writes the defaults while the main window is created.
  ASSERT_TRUE(WaitForFile(settings, std::chrono::seconds(30)));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // Change the file under the program's feet: the close must write the record again.
  fs::remove(settings);
  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ASSERT_EQ(WaitForExit(std::chrono::seconds(30)), 0);
  ASSERT_TRUE(fs::exists(settings));
  EXPECT_EQ(Read(settings), SerializeSettingsFile(SettingsFile{}));
}

TEST_F(Kx7sduProcess, ScreenshotSavesAPictureAndClosesNormally) {
  const fs::path picture = folder_ / "main.png";
  Start({"-nosearch", "--screenshot", picture.string() + ",200"});
  ASSERT_EQ(WaitForExit(std::chrono::seconds(60)), 0);
  const std::vector<std::uint8_t> bytes = Read(picture);
  ASSERT_GT(bytes.size(), 1000u);
  EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
  EXPECT_EQ(fs::file_size(folder_ / "kx7sdua.ini"), 645u);
}

TEST_F(Kx7sduProcess, OnTheEmulatorItFindsTheControllerAndTheTerminalShowsDecodedTouches) {
  const fs::path picture = folder_ / "terminal.png";
  const fs::path output = folder_ / "output.txt";
  // The emulated hand starts stroking 3 s after the program last sent anything.
  Start({"--emulate", "cedar-gen4", "--command", "kTerminal", "--screenshot", picture.string() + ",7000"}, output);
  ASSERT_EQ(WaitForExit(std::chrono::seconds(90)), 0);
  const std::vector<std::uint8_t> bytes = Read(picture);
  ASSERT_GT(bytes.size(), 1000u);
  const std::vector<std::uint8_t> printed = Read(output);
  const std::string text(printed.begin(), printed.end());
  EXPECT_NE(text.find("Status bar: COM1 9600,N,8,1 | Cedar GEN4"), std::string::npos) << text;
  bool decoded = false;
  for (std::size_t at = text.find("Terminal: "); at != std::string::npos; at = text.find("Terminal: ", at + 1)) {
    const std::string line = text.substr(at + 10, 11);
    // "D 0123,0456", ". ...", "U ...": a touch character, a blank, two four-digit numbers.
    decoded = decoded || (line.size() == 11 && std::string("D.U ").find(line[0]) != std::string::npos &&
                          line[1] == ' ' && line[6] == ',' && std::isdigit(static_cast<unsigned char>(line[2])));
  }
  EXPECT_TRUE(decoded) << text;
}

TEST_F(Kx7sduProcess, RegistrationSwitchesEndAtOnce) {
  Start({"/RegServer"});
  EXPECT_EQ(WaitForExit(std::chrono::seconds(30)), 0);
  EXPECT_FALSE(fs::exists(folder_ / "kx7sdua.ini"));
}

}  // namespace
}  // namespace kx7
