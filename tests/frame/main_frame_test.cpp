#include "frame/main_frame.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_texts.h"
#include "controller/controller_types.h"
#include "frame/command_ids.h"
#include "frame/frame_texts.h"
#include "link/serial/port_settings_dialog.h"
#include "platform/scripted_ui_host.h"
#include "platform/real_time_loop.h"
#include "platform/virtual_time_loop.h"
#include "support/pty_pair.h"

namespace kx7 {
namespace {

namespace fs = std::filesystem;

// A listener window that records the bytes it is sent, and can act on one of them.
struct ByteListener : Window {
  ByteListener(MessageLoop& loop, std::string name, std::vector<std::string>& log) : Window(loop), name(std::move(name)), log(log) {}
  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    if (message == msg::kListenerByte) {
      log.push_back(name + ":" + std::string(1, static_cast<char>(wParam)));
      if (onByte) onByte(static_cast<char>(wParam));
    }
    if (message == wm::kClose) closed = true;
    return 0;
  }
  std::string name;
  std::vector<std::string>& log;
  std::function<void(char)> onByte;
  bool closed = false;
};

struct Collector : ByteCollector {
  Collector(std::string name, std::vector<std::string>& log) : name(std::move(name)), log(log) {}
  void OnByte(std::uint8_t byte) override { log.push_back(name + ":" + std::string(1, static_cast<char>(byte))); }
  std::string name;
  std::vector<std::string>& log;
};

struct Echo : TerminalEcho {
  void EchoChar(char c) override { text += c; }
  std::string text;
};

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("kx7-frame-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    frame_.reset();
    fs::remove_all(folder_);
  }

  CMainFrame& Make(const std::vector<std::string>& switches = {"-nosearch"}) {
    CMainFrame::Environment environment;
    environment.settingsFolder = folder_.string();
    frame_ = std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags(switches), environment);
    return *frame_;
  }

  fs::path folder_;
  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MainFrameTest, EveryByteReachesTheSlotsInAscendingOrder) {
  CMainFrame& frame = Make();
  std::vector<std::string> log;
  ByteListener terminal(loop_, "terminal", log), draw(loop_, "draw", log);
  Collector reply("reply", log), memory("memory", log);
  frame.SetListener(slot::kTerminal, terminal.Id());
  frame.SetListener(slot::kDraw, draw.Id());
  frame.SetListener(slot::kReplyCollector, kNoWindow);
  frame.SetListener(slot::kMemoryExchange, kNoWindow);
  frame.replyCollector = &reply;
  frame.memoryExchange = &memory;
  const std::string bytes = "ab";
  frame.DispatchBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  EXPECT_EQ(log, (std::vector<std::string>{"draw:a", "terminal:a", "memory:a", "reply:a", "draw:b", "terminal:b",
                                           "memory:b", "reply:b"}));
}

TEST_F(MainFrameTest, AListenerThatClearsTheLinkDropsTheRestOfTheBlock) {
  CMainFrame& frame = Make();
  std::vector<std::string> log;
  ByteListener draw(loop_, "draw", log), terminal(loop_, "terminal", log);
  frame.SetListener(slot::kDraw, draw.Id());
  frame.SetListener(slot::kTerminal, terminal.Id());
  draw.onByte = [&](char c) {
    if (c == '3') frame.linkFlags.stopFanOut = 1;
  };
  const std::string bytes = "1234567890";
  frame.DispatchBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  EXPECT_EQ(log, (std::vector<std::string>{"draw:1", "terminal:1", "draw:2", "terminal:2", "draw:3"}));
  // The next block starts afresh.
  log.clear();
  frame.DispatchBytes(reinterpret_cast<const std::uint8_t*>("x"), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"draw:x", "terminal:x"}));
}

TEST_F(MainFrameTest, PortDataIsCopiedOutAndTheBufferFreedBeforeDispatch) {
  CMainFrame& frame = Make();
  std::vector<std::string> log;
  ByteListener terminal(loop_, "terminal", log);
  frame.SetListener(slot::kTerminal, terminal.Id());
  bool freeDuringDispatch = false;
  terminal.onByte = [&](char) { freeDuringDispatch = frame.buffers[0].bufferFree.IsSet(); };
  ReceiveBuffer& buffer = frame.buffers[0];
  buffer.bufferFree.Reset();
  buffer.bytes[0] = 'Z';
  buffer.count = 1;
  frame.Post(msg::kPortData);
  loop_.RunPending();
  EXPECT_EQ(log, std::vector<std::string>{"terminal:Z"});
  EXPECT_TRUE(freeDuringDispatch);
  EXPECT_EQ(frame.linkFlags.received.load(), 1);
  // An empty hand-off only frees the buffer; touch-input mode swallows the bytes.
  buffer.bufferFree.Reset();
  frame.Post(msg::kPortData);
  loop_.RunPending();
  EXPECT_TRUE(buffer.bufferFree.IsSet());
  frame.touchInputMode = true;
  buffer.bufferFree.Reset();
  buffer.count = 1;
  frame.Post(msg::kPortData);
  loop_.RunPending();
  EXPECT_EQ(log.size(), 1u);
  EXPECT_TRUE(buffer.bufferFree.IsSet());
}

TEST_F(MainFrameTest, StartupRequestFollowsTheSwitchesAndSettings) {
  struct Case {
    std::vector<std::string> switches;
    int findOnLaunch;
    std::vector<std::uint32_t> searches;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {{}, 1, {0x0A}, {}},
      {{"-nosearch"}, 1, {}, {}},
      {{}, 0, {}, {}},
      {{"-birch2usb"}, 1, {}, {text::kCouldntConnect}},
  };
  for (const Case& c : cases) {
    SettingsFile settings;
    settings.Options.FindOnLaunch = c.findOnLaunch;
    ASSERT_TRUE(SaveSettingsFile(folder_ / kSettingsFileName, settings));
    ScriptedUiHost ui;
    CMainFrame::Environment environment;
    environment.settingsFolder = folder_.string();
    CMainFrame frame(loop_, ui, ports_, ParseStartupFlags(c.switches), environment);
    std::vector<std::uint32_t> searches;
    frame.startSearch = [&](std::uint32_t flags, bool) { searches.push_back(flags); };
    for (const std::string& text : c.messages) ui.ExpectMessage(text, Answer::kOk);
    frame.Create();
    loop_.RunPending();
    EXPECT_EQ(searches, c.searches);
    EXPECT_EQ(ui.MessageTexts(), c.messages);
  }
}

TEST_F(MainFrameTest, ADownloadJobWithoutAControllerEndsWithExitCodeOne) {
  CMainFrame& frame = Make({"-download=fw.hex"});
  bool destroyed = false;
  frame.destroyWindow = [&] { destroyed = true; };
  frame.Create();
  loop_.RunPending();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(frame.exitCode, 1);
  EXPECT_TRUE(ui_.MessageTexts().empty());
}

TEST_F(MainFrameTest, DamagedSettingsKeepWhatWasReadAndSaySo) {
  SettingsFile settings;
  settings.ScannerPort = 7;
  std::vector<std::uint8_t> bytes = SerializeSettingsFile(settings);
  bytes.resize(40);
  {
    std::FILE* file = std::fopen((folder_ / kSettingsFileName).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  CMainFrame& frame = Make();
  frame.Create();
  EXPECT_EQ(frame.settings.ScannerPort, 7);
  EXPECT_EQ(frame.settings.Options.ShowGrid, 1);
  EXPECT_EQ(frame.StatusText(pane::kMessage), kTextSettingsDamaged);
}

TEST_F(MainFrameTest, CloseIsRefusedOnceWhileAReplyIsAwaited) {
  CMainFrame& frame = Make();
  frame.Create();
  int destroyed = 0;
  frame.destroyWindow = [&] { ++destroyed; };
  std::vector<std::string> log;
  ByteListener scope(loop_, "scope", log);
  frame.SetListener(slot::kReplyCollector, kNoWindow);
  frame.settings.Options.ShowGrid = 0;
  loop_.Send(frame.Id(), wm::kClose);
  EXPECT_TRUE(frame.closing);
  EXPECT_EQ(destroyed, 0);
  // The collector sees the closing flag and gives up; the second request closes.
  frame.ClearListener(slot::kReplyCollector);
  loop_.Send(frame.Id(), wm::kClose);
  EXPECT_EQ(destroyed, 1);
  SettingsFile saved;
  ASSERT_EQ(LoadSettingsFile(folder_ / kSettingsFileName, saved), SettingsLoadResult::kRead);
  EXPECT_EQ(saved.Options.ShowGrid, 0);
}

TEST_F(MainFrameTest, LineErrorTextsAndTheirTimer) {
  CMainFrame& frame = Make();
  frame.Post(msg::kLineOverrun, 0x2, 17);
  loop_.RunPending();
  EXPECT_EQ(frame.StatusText(pane::kMessage), text::kUartOverrun);
  frame.Post(msg::kLineOverflow, 0x1, 4096);
  loop_.RunPending();
  EXPECT_EQ(frame.StatusText(pane::kMessage), "Driver RX Buffer Overflow (4096)");
  frame.Post(msg::kLineOverflow, 0, 0);
  loop_.RunPending();
  EXPECT_EQ(frame.StatusText(pane::kMessage), "");

  // Each parity or framing error restarts the 250 ms timer that clears both flags.
  frame.LinkKind = 3;
  frame.linkFlags.framingError = 1;
  frame.RestartLineErrorTimer();
  loop_.Advance(200);
  frame.RestartLineErrorTimer();
  loop_.Advance(200);
  frame.UpdateStatusPanes();
  EXPECT_EQ(frame.StatusText(pane::kFraming), "FE ");
  loop_.Advance(60);
  frame.UpdateStatusPanes();
  EXPECT_EQ(frame.StatusText(pane::kFraming), "");
  EXPECT_FALSE(loop_.HasTimer(frame.Id(), timer::kLineError));
}

TEST_F(MainFrameTest, LinkAndTypeTexts) {
  CMainFrame& frame = Make();
  struct Case {
    int link;
    bool passThrough;
    int hidIndex;
    std::string text;
  };
  frame.driverDeviceName = "KxsTch0";
  const std::vector<Case> cases = {
      {0, false, -1, "Port Closed"},           {3, false, -1, "COM3 9600,N,8,1"},
      {3, true, -1, "PassThru COM3 9600,N,8,1"}, {257, false, -1, "RVDriver @KxsTch0"},
      {258, false, -1, "KXDriver @KxsTch0"},    {259, false, -1, "RVUSB Driver"},
      {260, false, 1, "HID #2"},               {260, false, -1, "HID Driver"},
      {261, true, -1, "PassThru KXUSB Driver"}, {262, false, -1, "KXHID Driver"},
  };
  for (const Case& c : cases) {
    frame.LinkKind = c.link;
    frame.passThrough = c.passThrough;
    frame.hidIndex = c.hidIndex;
    EXPECT_EQ(frame.LinkText(), c.text);
  }
  frame.LinkKind = 0;
  frame.ControllerType = 32882;
  EXPECT_EQ(frame.TypeText(), "");  // nothing shown without a link
  frame.LinkKind = 3;
  EXPECT_EQ(frame.TypeText(), "Cedar GEN4");
}

TEST_F(MainFrameTest, PostLaterAndPostWhenLinked) {
  CMainFrame& frame = Make();
  std::vector<std::string> log;
  struct Target : Window {
    using Window::Window;
    std::vector<std::pair<MessageId, WParam>> seen;
    LResult OnMessage(MessageId message, WParam wParam, LParam) override {
      seen.emplace_back(message, wParam);
      return 0;
    }
  } target(loop_);
  frame.PostLater(target.Id(), 0x8051, 500);
  loop_.Advance(499);
  EXPECT_TRUE(target.seen.empty());
  loop_.Advance(1);
  ASSERT_EQ(target.seen.size(), 1u);
  EXPECT_EQ(target.seen[0], (std::pair<MessageId, WParam>{0x8051, 0x8051}));

  frame.PostWhenLinked(target.Id(), 0x8052, 100);
  loop_.Advance(5000);
  EXPECT_EQ(target.seen.size(), 1u);  // no link yet
  frame.LinkKind = 4;
  loop_.Advance(100);
  loop_.Advance(1000);
  ASSERT_EQ(target.seen.size(), 2u);
  EXPECT_EQ(target.seen[1].first, 0x8052u);
  EXPECT_FALSE(loop_.HasTimer(frame.Id(), timer::kPostWhenLinked));
}

TEST_F(MainFrameTest, PlugEventsOfKnownControllersStartTheDelayedConnect) {
  for (const bool longDelay : {false, true}) {
    CMainFrame& frame = Make(longDelay ? std::vector<std::string>{"-delay"} : std::vector<std::string>{});
    std::vector<std::string> log;
    ByteListener terminal(loop_, "terminal", log);
    Echo echo;
    frame.SetListener(slot::kTerminal, terminal.Id());
    frame.terminalEcho = &echo;
    std::vector<std::uint32_t> searches;
    frame.startSearch = [&](std::uint32_t flags, bool) { searches.push_back(flags); };

    DeviceChange unknown;
    unknown.vendor = 0x1234;
    unknown.product = 0x0001;
    frame.OnDeviceChange(device_event::kArrival, &unknown);
    EXPECT_FALSE(loop_.HasTimer(frame.Id(), timer::kConnectPlugged));
    EXPECT_TRUE(frame.arrivalPending);

    DeviceChange larch;
    larch.vendor = 0x0596;
    larch.product = 0x0502;
    frame.OnDeviceChange(device_event::kArrival, &larch);
    EXPECT_EQ(echo.text, text::kControllerPlugged);
    loop_.Advance(longDelay ? 3999 : 1999);
    EXPECT_TRUE(searches.empty());
    loop_.Advance(1);
    EXPECT_EQ(searches, std::vector<std::uint32_t>{0x0E});
    frame_.reset();
  }
}

TEST_F(MainFrameTest, UnplugClosesOnlyAUsbLink) {
  CMainFrame& frame = Make();
  Echo echo;
  std::vector<std::string> log;
  ByteListener terminal(loop_, "terminal", log);
  frame.SetListener(slot::kTerminal, terminal.Id());
  frame.terminalEcho = &echo;
  std::vector<int> closed;
  frame.closeUsbLink = [&](int kind) { closed.push_back(kind); };

  frame.LinkKind = 5;  // a serial link is not touched by USB events
  frame.ControllerType = 32882;
  frame.OnDeviceChange(device_event::kRemoveComplete, nullptr);
  EXPECT_EQ(frame.LinkKind, 5);
  EXPECT_TRUE(closed.empty());

  frame.LinkKind = 260;
  frame.ControllerFeatures = 0x800;
  bool present = true;
  frame.usbDevicePresent = [&] { return present; };
  frame.OnDeviceChange(device_event::kRemoveComplete, nullptr);
  EXPECT_EQ(frame.LinkKind, 260);  // another device went away
  present = false;
  frame.OnDeviceChange(device_event::kRemoveComplete, nullptr);
  EXPECT_EQ(frame.LinkKind, 0);
  EXPECT_EQ(frame.ControllerType, type::kGeneric);
  EXPECT_EQ(frame.ControllerFeatures, 0u);
  EXPECT_EQ(closed, std::vector<int>{260});
  EXPECT_EQ(echo.text, std::string(text::kUsbRemoveComplete) + text::kClosingUsb + text::kControllerRemoved);
}

TEST_F(MainFrameTest, EchoNeedsTheTerminalAndLoopback) {
  CMainFrame& frame = Make();
  Echo echo;
  frame.terminalEcho = &echo;
  frame.EchoToTerminal("a");
  std::vector<std::string> log;
  ByteListener terminal(loop_, "terminal", log);
  frame.SetListener(slot::kTerminal, terminal.Id());
  frame.EchoToTerminal("b");
  frame.settings.Options.LoopbackSentChars = 0;
  frame.EchoToTerminal("c");
  EXPECT_EQ(echo.text, "b");
  frame.ShowInTerminal("OK\r");
  EXPECT_EQ(log, (std::vector<std::string>{"terminal:O", "terminal:K", "terminal:\r"}));
}

TEST_F(MainFrameTest, CopyPasteAndSelectAllGoToTheActiveChild) {
  CMainFrame& frame = Make();
  struct Child : Window {
    using Window::Window;
    std::vector<MessageId> seen;
    LResult OnMessage(MessageId message, WParam, LParam) override {
      seen.push_back(message);
      return 0;
    }
  } child(loop_);
  EXPECT_TRUE(frame.UpdateCommand(cmd::kCopy).enabled);
  EXPECT_FALSE(frame.UpdateCommand(cmd::kCloseChild).enabled);
  frame.activeChild = child.Id();
  for (std::uint32_t id : {cmd::kCopy, cmd::kSelectAll, cmd::kPaste, cmd::kCloseChild}) frame.OnCommand(id);
  loop_.RunPending();
  EXPECT_EQ(child.seen, (std::vector<MessageId>{msg::kCopy, msg::kSelectAll, msg::kPaste, wm::kClose}));
  // Commands no subsystem has taken yet stay disabled and do nothing.
  EXPECT_FALSE(frame.UpdateCommand(cmd::kFindController).enabled);
  EXPECT_FALSE(frame.OnCommand(cmd::kFindController));
}

// --- The port menu against real pseudo-terminals -------------------------------------------

class PortMenuTest : public MainFrameTest {
 protected:
  void SetUp() override {
    MainFrameTest::SetUp();
    ASSERT_TRUE(com3_.Open());
    ASSERT_TRUE(com5_.Open());
    ASSERT_TRUE(ports_.AddOverride("COM3=" + com3_.SlavePath()));
    ASSERT_TRUE(ports_.AddOverride("COM5=" + com5_.SlavePath()));
  }
  PtyPair com3_, com5_;
};

TEST_F(PortMenuTest, CancellingPortSettingsReopensThePreviousLink) {
  CMainFrame& frame = Make();
  frame.Create();
  ui_.ExpectDialog("PortSettings");
  frame.OnCommand(cmd::kOpenComBase + 5);
  ASSERT_EQ(frame.LinkKind, 5);
  EXPECT_TRUE(frame.serialPorts[0]->IsOpen());
  EXPECT_TRUE(frame.UpdateCommand(cmd::kOpenComBase + 5).checked);

  ui_.ExpectDialog("PortSettings", [](DialogModel&) { return false; });
  frame.OnCommand(cmd::kOpenComBase + 3);
  EXPECT_EQ(frame.LinkKind, 5);
  EXPECT_EQ(frame.serialPorts[0]->Number(), 5);
  EXPECT_TRUE(frame.serialPorts[0]->IsOpen());
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
}

TEST_F(PortMenuTest, ConfirmedSettingsAreStoredAndApplied) {
  CMainFrame& frame = Make();
  frame.Create();
  ui_.ExpectDialog("PortSettings", [](DialogModel& model) {
    auto& settings = static_cast<PortSettingsDialogModel&>(model);
    settings.baudIndex = 11;  // 115200
    settings.parity = PortSettingsDialogModel::Parity::kEven;
    settings.dataBits = 7;
    settings.stopBits = 2;
    return true;
  });
  frame.OnCommand(cmd::kOpenComBase + 3);
  EXPECT_EQ(frame.LinkKind, 3);
  EXPECT_EQ(frame.settings.MainPortSettings, "115200,E,7,2");
  EXPECT_EQ(frame.LinkText(), "COM3 115200,E,7,2");
  // Closing the port clears the link and the menu check moves to "Close Active Port".
  frame.OnCommand(cmd::kCloseActivePort);
  EXPECT_EQ(frame.LinkKind, 0);
  EXPECT_FALSE(frame.serialPorts[0]->IsOpen());
  EXPECT_TRUE(frame.UpdateCommand(cmd::kCloseActivePort).checked);
}

TEST_F(PortMenuTest, AnAbsentPortSaysSoAndTheScannerPortIsDisabled) {
  CMainFrame& frame = Make();
  frame.Create();
  ui_.ExpectMessage(text::kCantOpenPort, Answer::kOk);
  frame.OnCommand(cmd::kOpenComBase + 9);
  EXPECT_EQ(frame.LinkKind, 0);
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
  frame.settings.ScannerPort = 3;
  EXPECT_FALSE(frame.UpdateCommand(cmd::kOpenComBase + 3).enabled);
  EXPECT_TRUE(frame.UpdateCommand(cmd::kOpenComBase + 5).enabled);
  EXPECT_FALSE(frame.UpdateCommand(cmd::kOpenComBase + 300).enabled);  // listed, but no link number
}

TEST_F(PortMenuTest, ThePortMenuListsTheDirectory) {
  CMainFrame& frame = Make();
  frame.Create();
  const MenuItem* com3 = FindMenuItem(frame.Menus(), cmd::kOpenComBase + 3);
  ASSERT_NE(com3, nullptr);
  EXPECT_EQ(com3->text, "Open Com3");
  EXPECT_NE(FindMenuItem(frame.Menus(), cmd::kScannerComBase + 5), nullptr);
}

}  // namespace
}  // namespace kx7

namespace kx7 {
namespace {

// The whole receive path in real time: a device writes on a pseudo-terminal, the reader thread
// hands the blocks over, 0x8000 brings them to the frame and the dispatch to the listener.
TEST(MainFrameReceivePath, BytesFromAPseudoTerminalReachTheListenerInOrder) {
  const fs::path folder = fs::temp_directory_path() / ("kx7-receive-" + std::to_string(getpid()));
  fs::create_directories(folder);
  PtyPair device;
  ASSERT_TRUE(device.Open());
  PortDirectory ports;
  ASSERT_TRUE(ports.AddOverride("COM7=" + device.SlavePath()));
  RealTimeLoop loop;
  ScriptedUiHost ui;
  CMainFrame::Environment environment;
  environment.settingsFolder = folder.string();
  CMainFrame frame(loop, ui, ports, ParseStartupFlags({"-nosearch"}), environment);
  frame.Create();
  ui.ExpectDialog("PortSettings", [](DialogModel& model) {
    static_cast<PortSettingsDialogModel&>(model).baudIndex = 11;
    return true;
  });
  frame.OnCommand(cmd::kOpenComBase + 7);
  ASSERT_EQ(frame.LinkKind, 7);

  std::vector<std::string> log;
  std::string received;
  ByteListener terminal(loop, "terminal", log);
  terminal.onByte = [&](char c) { received += c; };
  frame.SetListener(slot::kTerminal, terminal.Id());

  std::vector<std::uint8_t> sent;
  for (int i = 0; i < 20000; ++i) sent.push_back(static_cast<std::uint8_t>('A' + i % 26));
  // The bytes go in while the frame takes them: the pseudo-terminal holds only so much, and
  // the reader waits for the frame to copy each block.
  bool written = false;
  std::thread writer([&] { written = device.WriteMaster(sent); });
  // A ticking timer lets the wait look at the clock even when nothing arrives.
  struct Ticker : Window {
    using Window::Window;
    LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
  } ticker(loop);
  ticker.SetTimer(1, 50);
  const std::uint64_t deadline = loop.Now() + 20000;
  EXPECT_TRUE(loop.RunUntil([&] { return received.size() >= sent.size() || loop.Now() > deadline; }));
  writer.join();
  EXPECT_TRUE(written);
  EXPECT_EQ(received, std::string(sent.begin(), sent.end()));

  const std::vector<std::uint8_t> reply = {0x01, 'O', 'I', 0x0D};
  ASSERT_TRUE(frame.serialPorts[0]->Write(reply.data(), reply.size()));
  EXPECT_EQ(device.ReadMaster(reply.size(), 5000), reply);
  frame.CloseLink();
  fs::remove_all(folder);
}

}  // namespace
}  // namespace kx7
