#include "draw/multi_draw_wnd.h"

#include <gtest/gtest.h>

#include "draw_test_support.h"
#include "frame/command_ids.h"

namespace kx7::testing {
namespace {

using Text = std::vector<std::string>;

// A 64-byte multi-touch report of the 6 x 10-byte layout (feature 0x2000): count at byte 61.
struct Contact10 {
  int id;
  int status;
  int x;
  int y;
};
std::string Report10(int reportId, int count, const std::vector<Contact10>& contacts) {
  std::string report(64, '\0');
  report[0] = static_cast<char>(reportId);
  for (std::size_t i = 0; i < contacts.size(); ++i) {
    const std::size_t base = 1 + i * 10;
    const Contact10& c = contacts[i];
    report[base] = static_cast<char>(c.status);
    report[base + 1] = static_cast<char>(c.id);
    report[base + 2] = static_cast<char>(c.x & 0xFF);
    report[base + 3] = static_cast<char>(c.x >> 8);
    report[base + 4] = static_cast<char>(c.y & 0xFF);
    report[base + 5] = static_cast<char>(c.y >> 8);
  }
  report[61] = static_cast<char>(count);
  return report;
}

// The 6-byte multi-touch packet: status, X and Y seven bits a byte (Y from the bottom), contact id.
std::string Packet(bool touching, int x, int y, int id) {
  const int up = 0x7FFF - y;
  return Bytes({touching ? 0xC0 : 0x80, (x >> 1) & 0x7F, (x >> 8) & 0x7F, (up >> 1) & 0x7F, (up >> 8) & 0x7F, id});
}

class MultiDrawWndTest : public ::testing::Test {
 protected:
  void Open(std::uint32_t command = cmd::kMultiDraw, int width = 640, int height = 640) {
    live = std::make_unique<RecordingCanvas>(width, height);
    window = std::make_unique<CMultiDrawWnd>(loop, host, command);
    window->onEvent = [this](const std::string& event) { events.push_back(event); };
    window->onClosed = [this](CMultiDrawWnd&) { closed = true; };
    window->SetLiveCanvas(live.get());
    RecordingCanvas first(width, height);
    window->Paint(first);
    painted = Lines(first);
  }
  void Hid(std::uint32_t features = 0x2000) {
    host.controllerType = 32881;
    host.controllerFeatures = features;
    host.multiTouchReports = true;
  }
  void Feed(const std::string& bytes) {
    for (const char c : bytes) loop.Send(window->Id(), msg::kListenerByte, static_cast<std::uint8_t>(c), 0);
  }
  Text Drawn() { return Lines(*live); }

  VirtualTimeLoop loop;
  ScriptedUiHost ui;
  OfflineDrawHost host{ui};
  std::unique_ptr<RecordingCanvas> live;
  std::unique_ptr<CMultiDrawWnd> window;
  Text painted;
  std::vector<std::string> events;
  bool closed = false;
};

TEST_F(MultiDrawWndTest, TheGridLinesSitInTheMiddleOfTheSensorCellsAndTheBoxesOnThem) {
  host.options.PctClear = 1;
  window = nullptr;
  Open(cmd::kMultiDraw, 640, 480);
  ASSERT_EQ(painted.size(), 1u + 64u + 64u + 2u);
  EXPECT_EQ(painted[0], "fill 0 0 640 480 0,0,0");
  EXPECT_EQ(painted[1], "line 5 0 5 479 0,128,64 1");      // round(0.5 * 640 / 64)
  EXPECT_EQ(painted[65], "line 0 4 639 4 0,128,64 1");     // round(0.5 * 480 / 64) = 3.75
  EXPECT_EQ(painted[129], "box clear 565 4 635 26");       // columns 56 to 63, rows 0 to 3
  EXPECT_EQ(painted[130], "box exit 5 454 35 476");        // columns 0 to 3, rows 60 to 63
  host.options.PctClear = 0;
  Open(cmd::kMultiDraw, 640, 480);
  EXPECT_EQ(painted.size(), 129u);
  host.options.ShowGrid = 0;
  Open(cmd::kMultiDraw, 640, 480);
  EXPECT_EQ(painted, (Text{"fill 0 0 640 480 0,0,0"}));
}

TEST_F(MultiDrawWndTest, ALarchReadsItsSensorSizeFromBlockSeven) {
  host.controllerType = 32881;
  host.block7 = std::vector<std::uint8_t>{0, 0, 0, 0, 0, 40, 30, 0, 0, 0};  // byte 7 is 0: bytes 5 and 6
  Open();
  EXPECT_EQ(window->SensorColumns(), 40);
  EXPECT_EQ(window->SensorRows(), 30);
  host.block7 = std::vector<std::uint8_t>{0, 0, 0, 0, 0, 40, 30, 20, 10, 0};
  Open();
  EXPECT_EQ(window->SensorColumns(), 20);
  EXPECT_EQ(window->SensorRows(), 10);
  host.block7.reset();  // a failed read keeps 64 x 64
  Open();
  EXPECT_EQ(window->SensorColumns(), 64);
  host.controllerType = 32861;  // not a Larch: not read
  host.block7 = std::vector<std::uint8_t>{0, 0, 0, 0, 0, 40, 30, 20, 10, 0};
  Open();
  EXPECT_EQ(window->SensorColumns(), 64);
}

TEST_F(MultiDrawWndTest, AFrameOfThirteenContactsSpansThreeReports) {
  Hid();
  host.options.ShowGrid = 0;
  Open();
  std::vector<Contact10> contacts;
  for (int i = 0; i < 13; ++i) contacts.push_back({i, 0x07, 1000 + 2000 * i, 16383});
  Feed(Report10(1, 13, {contacts.begin(), contacts.begin() + 6}));
  Feed(Report10(1, 0, {contacts.begin() + 6, contacts.begin() + 12}));
  EXPECT_EQ(Drawn().size(), 12u);
  Feed(Report10(1, 0, {contacts.begin() + 12, contacts.end()}));
  const Text last = Drawn();
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0], "cross 488 319 4 4 255,0,0 4");
  for (int slot = 0; slot < 13; ++slot) EXPECT_TRUE(window->Contacts()[static_cast<std::size_t>(slot)].touching);
  // The next frame moves contact 3: a line in slot 3's colour; its lift a green circle, and the slot is free.
  Feed(Report10(1, 1, {{3, 0x07, 7000, 20000}}));
  EXPECT_EQ(Drawn(), (Text{"line 136 319 136 390 0,128,128 4"}));
  Feed(Report10(1, 1, {{3, 0x04, 7000, 20000}}));
  EXPECT_EQ(Drawn(), (Text{"ellipse 136 390 2 2 0,255,0 4 none"}));
  EXPECT_FALSE(window->Contacts()[3].used);
}

TEST_F(MultiDrawWndTest, ReportsThatAreNoContactReportsAreDropped) {
  Hid();
  host.options.ShowGrid = 0;
  Open();
  Feed(Report10(1, 101, {{1, 0x07, 100, 100}}));  // a count above 100
  Feed("\x02" + Report10(1, 1, {{1, 0x03, 100, 100}}).substr(1));  // id 2 starts nothing; status without the valid bit
  EXPECT_TRUE(Drawn().empty());
}

TEST_F(MultiDrawWndTest, AHundredAndFirstContactStartsTheTableAgainInSlotZero) {
  host.options.ShowGrid = 0;
  Open();
  std::string bytes;
  for (int id = 0; id < 100; ++id) bytes += Packet(true, 100 * id, 16384, id);
  Feed(bytes);
  Drawn();
  Feed(Packet(true, 30000, 30000, 100));
  EXPECT_EQ(Drawn(), (Text{"cross 585 585 4 4 255,0,0 4"}));
  EXPECT_EQ(window->Contacts()[0].id, 100u);
  EXPECT_FALSE(window->Contacts()[1].used);
  // A lift of a contact that is not in the table is dropped.
  Feed(Packet(false, 100, 100, 7));
  EXPECT_TRUE(Drawn().empty());
}

TEST_F(MultiDrawWndTest, TheClearBoxClearsOnceUntilAContactLeavesIt) {
  Open();
  const Rect clear = window->ClearBox();
  const int x = (clear.left + clear.right) / 2 * 32768 / 640, y = (clear.top + clear.bottom) / 2 * 32768 / 640;
  Feed(Packet(true, x, y, 1));
  EXPECT_EQ(events, (std::vector<std::string>{"clear"}));
  EXPECT_TRUE(window->ClearLatched());
  // Down again inside: latched, not drawn, no second clear.
  Feed(Packet(false, x, y, 1) + Packet(true, x, y, 1) + Packet(true, x + 50, y, 1));
  EXPECT_EQ(events.size(), 1u);
  EXPECT_TRUE(Drawn().empty());
  // A contact outside releases the latch; then a touch-down inside clears again.
  Feed(Packet(true, 3000, 16384, 2) + Packet(false, 3000, 16384, 2) + Packet(false, x, y, 1) + Packet(true, x, y, 1));
  EXPECT_EQ(events, (std::vector<std::string>{"clear", "clear"}));
}

TEST_F(MultiDrawWndTest, TheExitBoxArmsOnTheFirstTouchAndClosesOnTheSecond) {
  Open();
  host.RegisterDrawWindow(window->Id());
  const Rect exit = window->ExitBox();
  const int x = (exit.left + exit.right) / 2 * 32768 / 640, y = (exit.top + exit.bottom) / 2 * 32768 / 640;
  Feed(Packet(true, x, y, 1) + Packet(false, x, y, 1));
  EXPECT_TRUE(window->ExitArmed());
  // A touch elsewhere disarms.
  Feed(Packet(true, 16000, 16000, 2) + Packet(false, 16000, 16000, 2));
  EXPECT_FALSE(window->ExitArmed());
  Feed(Packet(true, x, y, 1) + Packet(false, x, y, 1) + Packet(true, x, y, 1));
  EXPECT_EQ(events, (std::vector<std::string>{"exit-armed", "exit-armed", "close"}));
  EXPECT_TRUE(closed);
  EXPECT_EQ(host.registered, kNoWindow);
  // With a plain mouse the same: arm, then close.
  closed = false;
  events.clear();
  Open();
  const Point middle{(exit.left + exit.right) / 2, (exit.top + exit.bottom) / 2};
  window->Mouse(CMultiDrawWnd::MouseAction::kDown, middle.x, middle.y, 0);
  window->Mouse(CMultiDrawWnd::MouseAction::kDown, middle.x, middle.y, 0);
  EXPECT_EQ(events, (std::vector<std::string>{"exit-armed", "close"}));
}

TEST_F(MultiDrawWndTest, TheQuarterScaleVariantPutsAQuarterOfTheSensorOnTheUpperQuarter) {
  Hid();
  host.options.ShowGrid = 0;
  Open(cmd::kFullScreenMultiDrawQuarterScaled, 800, 800);
  EXPECT_TRUE(window->Placement().fullScreen);
  EXPECT_EQ(window->DrawingArea(), (Rect{0, 0, 800, 200}));
  Feed(Report10(1, 1, {{1, 0x07, 16384, 8191}}));
  EXPECT_EQ(Drawn(), (Text{"cross 400 196 4 4 255,0,0 4"}));  // 8191 * 200 / 32767 * 4 = 49 * 4
  Feed(Report10(1, 1, {{1, 0x07, 16384, 9000}}));  // beyond: on the edge
  EXPECT_EQ(Drawn(), (Text{"line 400 196 400 199 255,0,0 4"}));
}

TEST_F(MultiDrawWndTest, VariantsPickPlacementStyleAndArea) {
  struct Case {
    std::uint32_t command;
    bool fullScreen, live;
    int bottom;
  };
  const Case cases[] = {{33022, false, false, 640}, {33033, false, false, 320}, {33025, false, true, 640},
                        {33031, false, true, 320},  {33023, true, false, 640},  {33034, true, false, 320},
                        {33036, true, false, 160},  {33026, true, true, 640},   {33032, true, true, 320},
                        {33035, true, true, 160},   {33042, true, false, 640}};
  for (const Case& c : cases) {
    Open(c.command);
    EXPECT_EQ(window->Placement().fullScreen, c.fullScreen) << c.command;
    EXPECT_EQ(window->Placement().live, c.live) << c.command;
    EXPECT_EQ(window->DrawingArea().bottom, c.bottom) << c.command;
    EXPECT_EQ(window->Placement().systemTouch, c.command != 33042) << c.command;
  }
}

TEST_F(MultiDrawWndTest, TheLiveStyleRedrawsTheCurrentContactsEveryTenMilliseconds) {
  Hid();
  host.options.ShowGrid = 0;
  Open(cmd::kMultiDrawLive);
  Feed(Report10(1, 1, {{5, 0x07, 16384, 16384}}));
  EXPECT_TRUE(Drawn().empty());  // nothing drawn as the report comes
  const std::size_t before = ui.Invalidated().size();
  loop.Advance(30);
  EXPECT_GE(ui.Invalidated().size(), before + 3);
  RecordingCanvas canvas(640, 640);
  window->Paint(canvas);
  EXPECT_EQ(Lines(canvas), (Text{"fill 0 0 640 640 0,0,0", "ellipse 320 320 8 8 255,0,0 1 255,0,0"}));
  window->Close();
  const std::size_t after = ui.Invalidated().size();
  loop.Advance(30);
  EXPECT_EQ(ui.Invalidated().size(), after);
}

TEST_F(MultiDrawWndTest, SystemTouchesAreMappedFromTheScreenOntoTheDrawingArea) {
  host.fullScreen = Rect{0, 0, 1280, 1024};
  host.options.ShowGrid = 0;
  Open(cmd::kMultiDrawUpperHalf, 640, 640);
  EXPECT_FALSE(window->TouchInput({{7, 0, 0, false}}));  // nothing down: the event goes on
  EXPECT_TRUE(window->TouchInput({{7, 64000, 51200, true}, {9, 0, 0, true}}));
  EXPECT_EQ(Drawn(), (Text{"cross 320 160 4 4 255,0,0 4", "cross 0 0 4 4 255,0,0 4"}));  // touch-downs are red
  EXPECT_EQ(window->LayoutCode(), 10);
  // A pen's mouse messages are a contact of their own.
  window->Mouse(CMultiDrawWnd::MouseAction::kDown, 100, 100, 0xFF515701);
  EXPECT_EQ(Drawn(), (Text{"cross 100 100 4 4 255,0,0 4"}));
}

TEST_F(MultiDrawWndTest, KeysToggleAndClear) {
  Open();
  Feed(Packet(true, 16384, 16384, 1));
  window->OnChar('b');
  EXPECT_TRUE(window->WhiteBackground());
  EXPECT_FALSE(window->Contacts()[0].used);
  window->OnChar('g');
  EXPECT_EQ(host.options.ShowGrid, 0);
  window->OnChar('p');
  EXPECT_TRUE(window->StatusColouring());
  window->OnChar('z');
  EXPECT_EQ(host.options.ShowZ, 1);
  window->OnChar('r');
  EXPECT_EQ(host.resets, 1);
  RecordingCanvas canvas(640, 640);
  window->Paint(canvas);
  EXPECT_EQ(Lines(canvas), (Text{"fill 0 0 640 640 255,255,255"}));
  window->OnChar(0x1B);
  EXPECT_TRUE(closed);
}

TEST_F(MultiDrawWndTest, EveryStreamingSixteenthFrameShowsTheTouchCount) {
  Open();
  std::string bytes;
  for (int i = 0; i < 16; ++i) bytes += Packet(true, 16384 + 10 * i, 16384, 1);
  Feed(bytes);
  const Text drawn = Drawn();
  ASSERT_GE(drawn.size(), 2u);
  EXPECT_EQ(drawn[drawn.size() - 2], "box clear 565 5 635 35");
  EXPECT_EQ(drawn.back(), "text 569 8 \"1 touch\"");
}

}  // namespace
}  // namespace kx7::testing
