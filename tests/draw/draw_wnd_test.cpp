#include "draw/draw_wnd.h"

#include <gtest/gtest.h>

#include "draw/draw_constants.h"
#include "draw_test_support.h"
#include "frame/command_ids.h"

namespace kx7::testing {
namespace {

using Text = std::vector<std::string>;

class DrawWndTest : public DrawWindowFixture {
 protected:
  void SetUp() override { Open(); }
  std::string Sent() const { return std::string(host.sent.begin(), host.sent.end()); }
};

// --- Overlays -------------------------------------------------------------------------------------

TEST_F(DrawWndTest, PaintOfAnEmptyHistoryIsTheBackgroundAndTheOverlaysInTheirOrder) {
  Open(640, 480);
  const std::vector<std::string> lines = Painted();
  ASSERT_EQ(lines.size(), 1u + 18u + 16u + 25u);
  EXPECT_EQ(lines[0], "fill 0 0 640 480 0,0,0");
  EXPECT_EQ(lines[1], "line 0 0 0 479 0,128,64 1");
  EXPECT_EQ(lines[2], "line 79 0 79 479 0,128,64 1");  // 640 * 255 / 2048
  EXPECT_EQ(lines[9], "line 639 0 639 479 0,128,64 1");
  EXPECT_EQ(lines[11], "line 0 60 639 60 0,128,64 1");  // 480 * 256 / 2048
  EXPECT_EQ(lines[18], "line 0 479 639 479 0,128,64 1");
  EXPECT_EQ(lines[19], "ellipse 79 60 6 4 255,255,0 1 black");
  EXPECT_EQ(lines[34], "ellipse 559 420 6 4 255,255,0 1 black");
  EXPECT_EQ(lines[35], "cross 31 23 6 4 255,255,0 1");  // 5% of each axis
  EXPECT_EQ(lines[59], "cross 607 455 6 4 255,255,0 1");
}

TEST_F(DrawWndTest, TargetShapesAndTheExtendedRing) {
  struct Case {
    int marker;
    double accuracy;
    std::string first;
  };
  const Case cases[] = {
      {0, 1.09, "ellipse 79 60 6 4 255,255,0 1 black"},
      {1, 1.09, "rect 79 60 6 4 255,255,0 1 black"},
      {2, 2.5, "ellipse 79 60 16 12 255,255,0 1 black"},  // int(640 * 2.5 / 100), int(480 * 2.5 / 100)
      {3, 1.09, "rect 79 60 6 5 255,255,0 1 black"},      // int(6.976), int(5.232): truncated
  };
  for (const Case& c : cases) {
    Open(640, 480);
    host.options.ShowGrid = 0;
    host.options.Show25ptTargets = 0;
    host.options.TouchMarkerStyle = c.marker;
    host.options.ProveAccuracyPercent = c.accuracy;
    const std::vector<std::string> lines = Painted();
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[1], c.first) << "marker " << c.marker;
  }
  // Extended: the four along the top, left and right by rows, the four along the bottom.
  host.options.TouchMarkerStyle = 0;
  host.options.ExtTargets = 1;
  host.options.Ext16ptTargets = 1;  // "KT 7.5%": 153 and 1894
  const std::vector<std::string> lines = Painted();
  EXPECT_EQ(lines[1], "ellipse 79 35 6 4 255,255,0 1 black");
  EXPECT_EQ(lines[5], "ellipse 47 60 6 4 255,255,0 1 black");
  EXPECT_EQ(lines[6], "ellipse 591 60 6 4 255,255,0 1 black");
  EXPECT_EQ(lines[16], "ellipse 559 443 6 4 255,255,0 1 black");
}

TEST_F(DrawWndTest, RulerBarsHideTheTargetsAndPinEveryPointToTheMiddleLine) {
  Open(2048, 1024);
  host.options.GridMode = 1;
  std::vector<std::string> lines = Painted();
  ASSERT_EQ(lines.size(), 1u + 1u + 79u);  // no targets with a ruler bar
  EXPECT_EQ(lines[1], "line 0 511 2047 511 0,128,64 1");
  EXPECT_EQ(lines[2], "line 25 511 25 507 0,128,64 1");  // minor tick at 255/10 of a division
  EXPECT_EQ(lines[11], "line 255 501 255 521 0,128,64 1");  // i = 10: major tick
  // Whatever its Y, a point lands on the middle line.
  Feed(Tablet(true, 16384, 100) + Tablet(true, 20000, 32000));
  EXPECT_EQ(Drawn(), (Text{"cross 1024 511 4 4 255,0,0 1", "line 1024 511 1250 511 255,255,0 1"}));

  host.options.GridMode = 2;
  lines = Painted();
  EXPECT_EQ(lines[1], "line 1023 0 1023 1023 0,128,64 1");
  EXPECT_EQ(lines[2], "line 1013 128 1033 128 0,128,64 1");
  EXPECT_EQ(lines.size(), 1u + 1u + 7u + 2u);  // the replayed cross and line
  EXPECT_EQ(lines.back(), "line 1023 1020 1023 23 255,255,0 1");
}

TEST_F(DrawWndTest, DiagonalsRunFromTheCornersToAQuarterInside) {
  Open(400, 200);
  NoOverlays();
  host.options.Show25Diagonals = 1;
  EXPECT_EQ(Painted(), (Text{"fill 0 0 400 200 0,0,0", "line 0 0 100 50 0,128,64 1",
                                     "line 0 199 100 150 0,128,64 1", "line 399 0 300 50 0,128,64 1",
                                     "line 399 199 300 150 0,128,64 1"}));
}

// --- The standard format ------------------------------------------------------------------------

TEST_F(DrawWndTest, BinaryReportsDrawTheCrossTheTraceAndTheLift) {
  Feed(Tablet(true, 8192, 8192) + Tablet(true, 16384, 16384) + Tablet(false, 16384, 16384));
  EXPECT_EQ(Drawn(), (Text{"cross 250 749 4 4 255,0,0 1", "line 250 749 500 499 255,255,0 1",
                                   "ellipse 500 499 2 2 0,255,0 1 white"}));
  EXPECT_FALSE(window->PenDown());
  EXPECT_EQ(window->LastPoint(), (Point{500, 499}));
}

TEST_F(DrawWndTest, ALiftRightAfterATouchDownIsACrossAndACircleWithoutALine) {
  Feed(Tablet(true, 100, 100) + Tablet(false, 30000, 30000));
  EXPECT_EQ(Drawn(), (Text{"cross 3 996 4 4 255,0,0 1", "ellipse 915 84 2 2 0,255,0 1 white"}));
}

TEST_F(DrawWndTest, AStatusByteStartsAReportWhereverTheOldOneStood) {
  // Half a report, then a new status byte: the half is dropped.
  Feed(Bytes({0xC0, 0x10, 0x20}) + Tablet(true, 16384, 16384));
  EXPECT_EQ(Drawn(), (Text{"cross 500 499 4 4 255,0,0 1"}));
}

TEST_F(DrawWndTest, AsciiReportsTakeTheirBaseFromTheDigits) {
  struct Case {
    std::string before;  // a report that sets the previous base
    std::string report;
    std::string drawn;
  };
  const std::string hex = "\x18" "1A0,100\r";
  const Case cases[] = {
      {hex, "\x19" "400,100\r", "cross 400 899 4 4 255,0,0 1"},   // '4' leads: decimal
      {"", "\x19" "1A0,100\r", "cross 406 749 4 4 255,0,0 1"},   // a letter: hexadecimal
      {hex, "\x19" "100,100\r", "cross 250 749 4 4 255,0,0 1"},  // neither: the previous, hexadecimal
      {"", "\x19" "100,100\r", "cross 100 899 4 4 255,0,0 1"},   // neither, from the start: decimal
      {hex, "\x19" "100,900\r", "cross 100 99 4 4 255,0,0 1"},   // Y leads with '9': decimal
  };
  for (const Case& c : cases) {
    Open();
    Feed(c.before);
    Drawn();
    Feed(c.report);
    EXPECT_EQ(Drawn(), (Text{c.drawn})) << c.report;
  }
}

TEST_F(DrawWndTest, AnythingButADigitCommaOrCrBreaksAnAsciiReport) {
  for (const std::string broken : {"\x19" "4a0,100\r", "\x19" "400;100\r", "\x19" "400,100\n", "\x19" "40,100\r"}) {
    Open();
    Feed(broken + "\x19" "500,500\r");
    EXPECT_EQ(Drawn(), (Text{"cross 500 499 4 4 255,0,0 1"})) << broken;
  }
}

TEST_F(DrawWndTest, TheFirstModeRequestReportAsksForMultiTouchOnceUntilErase) {
  const std::string request = "\x01" "500,500\r";
  Feed(request + request);
  EXPECT_TRUE(Drawn().empty());
  EXPECT_EQ(Sent(), Bytes({0x01, 'M', 'T', 0x0D}));
  window->Erase(false);
  Feed(request);
  EXPECT_EQ(Sent(), Bytes({0x01, 'M', 'T', 0x0D, 0x01, 'M', 'T', 0x0D}));
  // A paint replays the history but sends nothing.
  Feed(request);
  Painted();
  EXPECT_EQ(host.sent.size(), 8u);
}

TEST_F(DrawWndTest, ANotDrawnReportLeavesThePensAlone) {
  Feed("\x19" "500,500\r" "\x01" "600,600\r" "\x1c" "700,700\r");
  EXPECT_EQ(Drawn(), (Text{"cross 500 499 4 4 255,0,0 1", "line 500 499 700 299 255,255,0 1"}));
}

TEST_F(DrawWndTest, CompactPointsFollowTheirArmingByte) {
  Open(1023, 1023);
  // 0x17 arms and its point is not drawn; 0x19 and 0x1C draw touching points; 0x18 disarms with
  // a lift; a later compact point without 0x17 is nothing.
  Feed(Bytes({0x17, 1, 2, 3, 4, 0x19, 1, 2, 3, 4, 0x1C, 2, 0, 3, 4, 0x18, 2, 0, 3, 4, 0x19, 1, 2, 3, 4}));
  EXPECT_EQ(Drawn(), (Text{"cross 34 923 4 4 255,0,0 1", "line 34 923 64 923 255,255,0 1",
                                   "ellipse 64 923 2 2 0,255,0 1 white"}));
  // While armed, any other status byte disarms and is read unarmed.
  Feed(Bytes({0x17, 1, 1, 1, 1}) + "\x1a" "500,500\r");
  EXPECT_EQ(Drawn(), (Text{"ellipse 512 510 2 2 0,255,0 1 white"}));
}

TEST_F(DrawWndTest, ZWidthsFollowThePressureAndTheColoursAlternate) {
  host.reportFormat = cmd::kFormatZ;
  host.options.ShowZ = 1;
  Open();
  const auto report = [](bool touching, int x, int z) {
    return Tablet(touching, x, 16384) + Bytes({z & 0x7F, (z >> 7) & 0x7F});
  };
  Feed(report(true, 0, 0) + report(true, 4096, 3) + report(true, 8192, 90) + report(true, 12288, 500));
  EXPECT_EQ(Drawn(), (Text{"cross 0 499 4 4 255,0,0 1", "line 0 499 125 499 255,255,0 0",
                                   "line 125 499 250 499 255,128,0 4",  // round(9 * 87 / 177)
                                   "line 250 499 375 499 255,255,0 9"}));
  // High at or below Low: no Z at all.
  host.options.ZHigh = host.options.ZLow;
  Feed(report(true, 16384, 90));
  EXPECT_EQ(Drawn(), (Text{"line 375 499 500 499 255,255,0 1"}));
  // Without Show Z the pressure bytes are read but not used.
  host.options.ShowZ = 0;
  host.options.ZHigh = 180;
  Feed(report(true, 20480, 90));
  EXPECT_EQ(Drawn(), (Text{"line 500 499 625 499 255,255,0 1"}));
}

TEST_F(DrawWndTest, PollModeAsksAfterEveryReportAndDrawsDots) {
  host.pollMode = true;
  Feed(Tablet(true, 8192, 8192) + Tablet(true, 8192, 8200) + "\x01" "500,500\r");
  EXPECT_EQ(Drawn(), (Text{"cross 250 749 4 4 255,0,0 1", "ellipse 250 749 1 1 255,255,0 1 white"}));
  EXPECT_EQ(Sent(), Bytes({0x11, 0x11, 0x01, 'M', 'T', 0x0D, 0x11}));
  // Not while the terminal is open: it asks itself.
  host.terminalOpen = true;
  host.sent.clear();
  Feed(Tablet(true, 8192, 8192));
  EXPECT_TRUE(host.sent.empty());
}

TEST_F(DrawWndTest, BirchUsbPassThroughSkipsFourBytesAfterThePoint) {
  host.controllerType = 32865;
  host.controllerFeatures = 0x100;
  host.passThrough = true;
  host.pollMode = true;
  // The four bytes after the report would be a report of their own otherwise.
  Feed(Tablet(true, 8192, 8192) + "\x19" "50" + Tablet(true, 16384, 16384));
  EXPECT_EQ(Drawn(), (Text{"cross 250 749 4 4 255,0,0 1", "ellipse 500 499 1 1 255,255,0 1 white"}));
  EXPECT_EQ(Sent(), Bytes({0x11, 0x11}));
}

TEST_F(DrawWndTest, PointsOutsideTheClientAreaStayOnItsEdge) {
  Open(100, 100);
  Feed("\x19" "FFF,FFF\r" "\x1c" "000,FFF\r");
  EXPECT_EQ(Drawn(), (Text{"cross 99 0 4 4 255,0,0 1", "line 99 0 0 0 255,255,0 1"}));
}

// --- Raw, digitizer, Rowan GEN4 ----------------------------------------------------------------

TEST_F(DrawWndTest, RawReportsAreElevenBitSignedExceptOnTheUsbLinks) {
  host.reportFormat = cmd::kFormatRaw;
  Open(2047, 2047);
  // X11 = ((b1 >> 3) + b2 * 16 - 1024) & 0x7FF: b1 0, b2 64 gives 0; b2 96 gives 512.
  Feed(Bytes({0xC0, 0, 64, 0, 64, 0xC0, 0, 96, 0, 96}));
  EXPECT_EQ(Drawn(), (Text{"cross 0 2046 4 4 255,0,0 1", "line 0 2046 512 1535 255,255,0 1"}));
  host.linkKind = 259;  // the raw format is read as the standard one there
  window->FormatChanged(cmd::kFormatRaw);
  Feed(Tablet(true, 16384, 16384));
  EXPECT_EQ(Drawn(), (Text{"cross 1023 1023 4 4 255,0,0 1"}));
}

TEST_F(DrawWndTest, DigitizerReportsDrawTheirContactGroups) {
  host.reportFormat = cmd::kFormatDigitizer;
  Open(640, 480);
  // Header, id 16, length 13: eight data bytes (two groups), two more bytes.
  Feed(Bytes({0x03, 16, 13, 0x10, 100, 0, 200, 0x00, 1, 2, 3, 0, 0}));
  // A lift at the last touching place; a group with state 0 and a short tail are skipped.
  Feed(Bytes({0x03, 16, 12, 0x30, 0, 0, 0, 0x10, 9, 9, 0, 0}));
  // Id 0 and a length below 5 abort; other ids draw nothing.
  Feed(Bytes({0x03, 0, 0x03, 16, 4, 0x03, 17, 9, 0x10, 1, 1, 1, 0, 0}));
  EXPECT_EQ(Drawn(), (Text{"cross 100 200 4 4 255,0,0 1", "ellipse 100 200 2 2 0,255,0 1 white"}));
}

TEST_F(DrawWndTest, RowanGen4PacketsAreDecodedWhateverTheFormat) {
  host.controllerType = 32883;
  host.reportFormat = cmd::kFormatHexDump;
  Open(32767, 1000);
  std::string packet(64, '\0');
  packet[0] = 0x07;
  packet[1] = 0x07;
  packet[3] = 0x34;  // X 0x1234
  packet[4] = 0x12;
  packet[5] = '\xFF';  // Y 0x7FFF
  packet[6] = 0x7F;
  Feed("\x55" + packet);  // a byte before the packet is ignored
  packet[0] = 0x10;
  packet[1] = 0x00;
  Feed(packet);
  EXPECT_EQ(Drawn(), (Text{"cross 4660 999 4 4 255,0,0 1", "ellipse 4660 999 2 2 0,255,0 1 white"}));
}

TEST_F(DrawWndTest, TheSignalFormatDecodesNothing) {
  host.reportFormat = cmd::kFormatRawSignals;
  Open();
  Feed(Tablet(true, 100, 100));
  EXPECT_TRUE(Drawn().empty());
  EXPECT_EQ(window->History().size(), 5u);
}

// --- Records ---------------------------------------------------------------------------------------

std::vector<std::uint8_t> Record(int kind, bool touching, int x, int y, int rawX = 0, int rawY = 0, int z = 0) {
  return {static_cast<std::uint8_t>(kind), 0, static_cast<std::uint8_t>(touching ? 0x40 : 0),
          static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x >> 8), static_cast<std::uint8_t>(y),
          static_cast<std::uint8_t>(y >> 8), static_cast<std::uint8_t>(rawX), static_cast<std::uint8_t>(rawX >> 8),
          static_cast<std::uint8_t>(rawY), static_cast<std::uint8_t>(rawY >> 8), static_cast<std::uint8_t>(z),
          static_cast<std::uint8_t>(z >> 8)};
}

TEST_F(DrawWndTest, RecordsDrawAndLeaveAsciiReportsThatReplayTheSamePoints) {
  Open(2047, 2047);
  NoOverlays();
  const auto send = [&](const std::vector<std::uint8_t>& record) {
    loop.Send(window->Id(), msg::kListenerRecord, record.size(), reinterpret_cast<LParam>(record.data()));
  };
  send(Record(1, true, 0x8000, 0x8000));
  send(Record(1, true, 0xC000, 0x8000));
  send(Record(1, false, 0xC000, 0x8000));
  const std::vector<std::string> live = Drawn();
  EXPECT_EQ(live, (Text{"cross 1024 1023 4 4 255,0,0 1", "line 1024 1023 1536 1023 255,255,0 1",
                                "ellipse 1536 1023 2 2 0,255,0 1 white"}));
  const std::string history(window->History().begin(), window->History().end());
  EXPECT_EQ(history, "\x19" "499,499\r" "\x1c" "749,499\r" "\x18" "749,499\r");
  // The replay goes through the decimal reader: close to the live points.
  EXPECT_EQ(Painted(), (Text{"fill 0 0 2047 2047 0,0,0", "cross 1022 1024 4 4 255,0,0 1",
                                     "line 1022 1024 1534 1024 255,255,0 1", "ellipse 1534 1024 2 2 0,255,0 1 white"}));
  // A record too short for its coordinates is not read.
  const std::vector<std::uint8_t> cut = {1, 0, 0x40, 1, 2};
  send(cut);
  EXPECT_TRUE(Drawn().empty());
}

TEST_F(DrawWndTest, RecordsOfPressureDrawZOnlyForTheNativeFamilies) {
  host.options.ShowZ = 1;
  const auto send = [&](const std::vector<std::uint8_t>& record) {
    loop.Send(window->Id(), msg::kListenerRecord, record.size(), reinterpret_cast<LParam>(record.data()));
  };
  send(Record(13, true, 0x4000, 0x4000, 0, 0, 180));
  send(Record(13, true, 0x8000, 0x4000, 0, 0, 180));
  EXPECT_EQ(Drawn().back(), "line 250 749 500 749 255,255,0 1");
  host.controllerFeatures = 0x10;
  send(Record(13, true, 0xC000, 0x4000, 0, 0, 180));
  EXPECT_EQ(Drawn().back(), "line 500 749 750 749 255,255,0 9");
}

// --- History and paint -------------------------------------------------------------------------

TEST_F(DrawWndTest, TheHistoryIsTrimmedByAThousandWhenItHoldsTenThousand) {
  Feed(std::string(10000, 'a'));
  EXPECT_EQ(window->History().size(), 10000u);
  Feed("b");
  EXPECT_EQ(window->History().size(), 9001u);
  EXPECT_EQ(window->History().back(), 'b');
}

TEST_F(DrawWndTest, APaintDrawsTheTraceTheBytesDrewLive) {
  NoOverlays();
  std::string bytes;
  for (int i = 0; i < 50; ++i) bytes += Tablet(i % 17 != 16, 300 * i, 32000 - 500 * i);
  bytes += "\x19" "1A0,100\r" "\x1c" "100,200\r";  // a hexadecimal pair
  Feed(bytes);
  std::vector<std::string> live = Drawn();
  live.insert(live.begin(), "fill 0 0 1000 1000 0,0,0");
  EXPECT_EQ(Painted(), live);
  // And again: a paint starts from a clean decoder every time.
  EXPECT_EQ(Painted(), live);
}

TEST_F(DrawWndTest, AFormatChangeRestartsTheDecoderAndThePens) {
  Feed(Tablet(true, 100, 100) + Bytes({0xC0, 1}));
  window->FormatChanged(cmd::kModePoll);  // the poll toggle keeps the format
  EXPECT_EQ(window->Format(), cmd::kFormatKxs);
  EXPECT_FALSE(window->WasDown());
  Feed(Bytes({2, 3, 4}) + Tablet(true, 100, 100));
  EXPECT_EQ(Drawn(), (Text{"cross 3 996 4 4 255,0,0 1", "cross 3 996 4 4 255,0,0 1"}));
  window->FormatChanged(cmd::kFormatDigitizer);
  EXPECT_EQ(window->Format(), cmd::kFormatDigitizer);
}

// --- Mouse and keys ---------------------------------------------------------------------------------

TEST_F(DrawWndTest, TrackMouseDrawsTheStrokeAndReportsItToTheTerminal) {
  host.options.TrackMouse = 1;
  host.terminalOpen = true;
  window->MouseDown(500, 500);
  window->MouseMove(600, 400);
  window->MouseUp(600, 400);
  EXPECT_EQ(Drawn(), (Text{"cross 500 500 4 4 255,0,0 1", "line 500 500 600 400 255,255,0 1",
                                   "line 600 400 600 400 255,255,0 1", "ellipse 600 400 2 2 0,255,0 1 white"}));
  EXPECT_EQ(host.terminalReports, (Text{"D 1024 1024", ". 1228 1228", "U 1228 1228"}));
  // Without Track Mouse the mouse draws nothing.
  host.options.TrackMouse = 0;
  window->MouseDown(10, 10);
  window->MouseUp(10, 10);
  EXPECT_TRUE(Drawn().empty());
}

TEST_F(DrawWndTest, KeysChangeTheSettingsTheWindowReads) {
  struct Case {
    char key;
    int OptionsBlock::*field;
    int before;
    int after;
    bool repaints;
  };
  const Case cases[] = {
      {'b', &OptionsBlock::ShowGrid, 1, 0, true},      {'G', &OptionsBlock::ShowGrid, 0, 1, true},
      {'s', &OptionsBlock::ExtTargets, 0, 1, true},    {'S', &OptionsBlock::ExtTargets, 1, 0, true},
      {'d', &OptionsBlock::DrawDots, 0, 1, false},     {'x', &OptionsBlock::DrawDots, 1, 1, false},
  };
  for (const Case& c : cases) {
    host.options.*c.field = c.before;
    const std::size_t repaints = ui.Invalidated().size();
    window->OnChar(static_cast<std::uint16_t>(c.key));
    EXPECT_EQ(host.options.*c.field, c.after) << c.key;
    EXPECT_EQ(ui.Invalidated().size() > repaints, c.repaints) << c.key;
  }
}

TEST_F(DrawWndTest, RResetsOnlyTheFullScreenWindowAndEscClosesIt) {
  window->OnChar('r');
  EXPECT_EQ(host.resets, 0);
  Open(1000, 1000, true);
  host.RegisterDrawWindow(window->Id());
  window->OnChar('R');
  EXPECT_EQ(host.resets, 1);
  bool closed = false;
  window->onClosed = [&](CDrawWnd&) { closed = true; };
  window->OnChar(0x1B);
  EXPECT_TRUE(closed);
  EXPECT_EQ(host.registered, kNoWindow);
  Feed(Tablet(true, 100, 100));  // a closed window takes nothing more
  EXPECT_TRUE(window->History().empty());
}

TEST_F(DrawWndTest, SpaceErasesWithoutTheTerminalAndClearAllWithIt) {
  host.terminalOpen = true;
  Feed(Tablet(true, 100, 100));
  window->OnChar(' ');
  EXPECT_TRUE(window->History().empty());
  EXPECT_EQ(host.terminalClears, 0);
  window->Erase(true);
  EXPECT_EQ(host.terminalClears, 1);
}

class FakeCircle : public CedarCircleTool {
 public:
  int SizePercent() const override { return 50; }
  void BringToTop() override {}
  void Close() override { closed = true; }
  bool closed = false;
};

TEST_F(DrawWndTest, TheCedarCircleRingFollowsTheHeldButton) {
  NoOverlays();
  FakeCircle circle;
  window->cedarCircle = &circle;
  Painted();  // the first paint puts the centre in the middle
  window->MouseDown(300, 200);
  EXPECT_EQ(Painted(), (Text{"fill 0 0 1000 1000 0,0,0", "ellipse 300 200 250 250 255,255,0 1 black"}));
  window->MouseUp(300, 200);
  EXPECT_EQ(Painted(), (Text{"fill 0 0 1000 1000 0,0,0"}));
  window->Close();
  EXPECT_TRUE(circle.closed);
}

TEST_F(DrawWndTest, CopyAsksForAPictureOfTheWindow) {
  loop.Send(window->Id(), msg::kCopy);
  EXPECT_EQ(ui.copiedImageOf, window->Id());
}

}  // namespace
}  // namespace kx7::testing
