// Find Controller over in-process serial ports: the settings order across ports, an echoing
// port, the switch to 7-bit framing, cancelling through the Controller Info window, -noserial,
// and the success steps.
#include <gtest/gtest.h>

#include "controller/controller_types.h"
#include "protocol_fixture.h"
#include "frame/command_ids.h"
#include "proto/proto_constants.h"

namespace kx7 {
namespace {

using testing::ProtocolTest;

// The terminal's echo of what the search logs.
struct LogRecorder : TerminalEcho {
  void EchoChar(char c) override { text += c; }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
      if (c == '\r') {
        lines.push_back(line);
        line.clear();
      } else {
        line += c;
      }
    }
    return lines;
  }
  std::string text;
};

// Closes a window after a delay, as a user would.
struct LateCloser : Window {
  LateCloser(MessageLoop& loop, WindowId target, std::uint32_t afterMs) : Window(loop), target_(target) {
    SetTimer(1, afterMs);
  }
  LResult OnMessage(MessageId message, WParam, LParam) override {
    if (message == wm::kTimer) {
      KillTimer(1);
      Loop().Post(target_, wm::kClose);
    }
    return 0;
  }
  WindowId target_;
};

class FinderTest : public ProtocolTest {
 protected:
  CMainFrame& Logging(const std::vector<std::string>& switches = {"-nosearch"}) {
    CMainFrame& frame = Frame(switches);
    frame.terminalEcho = &log_;
    frame.SetListener(slot::kTerminal, kNoWindow + 1000);
    return frame;
  }
  std::vector<std::string> Pings() const {
    std::vector<std::string> pings;
    for (const std::string& line : log_.Lines())
      if (line.rfind(text::kPing, 0) == 0) pings.push_back(line.substr(5));
    return pings;
  }
  void Find(std::uint32_t flags = find::kShowWindow) { Protocol().finder.FindController(flags, false); }
  LogRecorder log_;
};

TEST_F(FinderTest, SettingsInOrderAcrossThePortsUntilTheControllerAnswers) {
  Attach(1, "silent");
  Attach(2, "silent");
  Attach(3, "cedar-gen2", "19200,N,7,2");
  CMainFrame& frame = Logging();
  const std::uint64_t start = loop_.Now();
  Find();
  EXPECT_EQ(frame.LinkKind, 3);
  EXPECT_EQ(frame.settings.MainPortSettings, "19200,N,7,2");
  EXPECT_EQ(frame.ControllerType, type::kRowanGen2);
  std::vector<std::string> expected;
  for (const char* settings : {"9600,N,8,1", "9600,N,8,1", "9600,N,7,2", "19200,N,8,1"})
    for (int port = 1; port <= 3; ++port) expected.push_back("COM " + std::to_string(port) + " " + settings);
  // At 19200,N,8,1 the 7-bit controller's answer arrives with bit 7 set: found, and the framing
  // goes to N,7,2.
  EXPECT_EQ(Pings(), expected);
  const std::uint64_t search = loop_.Now() - start;
  const std::uint64_t identifyStart = loop_.Now();
  Protocol().identifier.IdentifyController();
  const std::uint64_t identification = loop_.Now() - identifyStart;
  // Eleven pings waited their 250 ms, the twelfth was answered at once, then the
  // identification and the moment "Found" stays on show.
  EXPECT_LE(search, static_cast<std::uint64_t>(1.1 * 11 * 250) + identification + find::kWaitAfterFoundMs);
  EXPECT_EQ(Protocol().info.LineText(ControllerInfoWindow::kStatus), text::kFound);
  EXPECT_FALSE(Protocol().finder.Running());
  EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
}

TEST_F(FinderTest, AnEchoingPortIsPingedOnce) {
  Attach(1, "echo");
  Attach(2, "cedar-gen4", "2400,N,8,1");
  Logging();
  Find();
  EXPECT_EQ(Frame().LinkKind, 2);
  int echoPings = 0;
  for (const std::string& ping : Pings())
    if (ping.rfind("COM 1", 0) == 0) ++echoPings;
  EXPECT_EQ(echoPings, 1);
  EXPECT_FALSE(Protocol().finder.PortAvailable(1));
}

TEST_F(FinderTest, ASevenBitControllerReadAtEightBitsSwitchesTheFraming) {
  Attach(1, "hazel3-linden");  // 9600,N,7,2
  Logging();
  Find();
  EXPECT_EQ(Frame().LinkKind, 1);
  EXPECT_EQ(Frame().settings.MainPortSettings, "9600,N,7,2");
  EXPECT_EQ(Pings().size(), 1u) << "found at the first ping, with bit 7 set on the reply";
  EXPECT_EQ(Frame().ControllerType, type::kHazel3);
}

TEST_F(FinderTest, ClosingTheInfoWindowCancelsQuietly) {
  Attach(1, "silent");
  Logging();
  LateCloser closer(loop_, Protocol().info.Id(), 2000);
  Find();
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  EXPECT_EQ(Frame().settings.MainPortSettings, "9600,N,8,1");
  EXPECT_TRUE(ui_.MessageTexts().empty()) << "no failure message after a cancel";
  EXPECT_LT(Pings().size(), 12u);
  EXPECT_FALSE(Protocol().info.Shown());
}

TEST_F(FinderTest, ClosingTheProgramEndsTheSearchWithoutAMessage) {
  Attach(1, "silent");
  CMainFrame& frame = Logging();
  LateCloser closer(loop_, frame.Id(), 1000);
  Find();
  EXPECT_TRUE(frame.closing);
  EXPECT_LT(Pings().size(), 8u);
  EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
}

TEST_F(FinderTest, NothingAnywhereSaysCantFindController) {
  Attach(1, "silent");
  Logging();
  Find();
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  EXPECT_EQ(Pings().size(), 57u);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{text::kCantFindController});
  EXPECT_NE(log_.text.find("Counted 0 HID controllers\r"), std::string::npos);
}

TEST_F(FinderTest, NoSerialSearchSkipsThePorts) {
  Attach(1, "cedar-gen4");
  Logging({"-nosearch", "-noserial"});
  Find();
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  EXPECT_TRUE(Pings().empty());
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{text::kCantFindController});
}

TEST_F(FinderTest, RetryTriesOnlyThePreviousPort) {
  Attach(1, "cedar-gen4", "4800,N,8,1");
  Attach(2, "cedar-gen4");
  Logging();
  ASSERT_TRUE(Open(1, "4800,N,8,1"));
  Find(find::kRetry);
  EXPECT_EQ(Frame().LinkKind, 1);
  for (const std::string& ping : Pings()) EXPECT_EQ(ping.rfind("COM 1", 0), 0u) << ping;
}

TEST_F(FinderTest, ARequesterHearsOfTheSuccessAndTheWindowHides) {
  Attach(1, "cedar-gen4");
  struct Requester : Window {
    using Window::Window;
    LResult OnMessage(MessageId message, WParam, LParam) override {
      heard.push_back(message);
      return 0;
    }
    std::vector<MessageId> heard;
  } requester(loop_);
  Logging();
  Protocol().finder.SetFindRequester(requester.Id(), 0x8444);
  Find();
  loop_.RunPending();
  EXPECT_EQ(requester.heard, std::vector<MessageId>{0x8444});
  EXPECT_FALSE(Protocol().info.Shown());
}

TEST_F(FinderTest, TheFindCommandAndTheHideAfterTimer) {
  Attach(1, "cedar-gen4");
  CMainFrame& frame = Logging();
  frame.Post(msg::kConnect, find::kShowWindow | find::kHideAfter, 0);
  loop_.RunPending();
  EXPECT_EQ(frame.LinkKind, 1);
  EXPECT_TRUE(Protocol().info.Shown()) << "0x08 keeps it shown";
  loop_.Advance(kHideControllerInfoMs);
  EXPECT_FALSE(Protocol().info.Shown());
  EXPECT_TRUE(frame.UpdateCommand(cmd::kFindController).enabled);
}

TEST_F(FinderTest, UsbHardwareIdsThatMatchTheTableAreLogged) {
  Logging();
  Protocol().finder.usbHardwareIds = [] {
    return std::vector<std::string>{"USB\\VID_1D6B&PID_0002&REV_0601", "usb\\vid_0596&pid_0001&rev_0100"};
  };
  EXPECT_EQ(Protocol().finder.ScanUsb(true), 1);
  EXPECT_EQ(Protocol().finder.LastUsbScan().type, type::kBirchUsb);
  EXPECT_EQ(log_.text, "[USB\\VID_0596&PID_0001&REV_0100]\r");
}

}  // namespace
}  // namespace kx7
