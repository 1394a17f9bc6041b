// Touch points of the system on the terminal: one line per event, one piece per point.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display_frame_fixture.h"

namespace kx7 {
namespace {

using Point = CTerminalWnd::TouchPoint;

struct TouchCase {
  const char* name;
  std::vector<Point> points;
  const char* line;
};

class TerminalTouchTest : public testing::DisplayFrameTest, public ::testing::WithParamInterface<TouchCase> {};

TEST_P(TerminalTouchTest, OneLinePerEvent) {
  CTerminalWnd& terminal = OpenTerminal();
  EXPECT_TRUE(terminal.TouchInput(GetParam().points));
  EXPECT_EQ(Rows(terminal), (std::vector<std::string>{GetParam().line, ""}));
  EXPECT_EQ(terminal.Text().RowColour(0), TerminalText::Colour::kReceived);
}

INSTANTIATE_TEST_SUITE_P(
    Events, TerminalTouchTest,
    ::testing::Values(TouchCase{"Down", {{0, false, 12, 345}}, "0D.0012.0345 "},
                      TouchCase{"Up", {{3, true, 1024, 7}}, "3U.1024.0007 "},
                      TouchCase{"TwoPoints", {{0, false, 100, 200}, {1, true, 300, 400}}, "0D.0100.0200 1U.0300.0400 "},
                      TouchCase{"LargeIdAndWideScreen", {{17, false, 12345, 0}}, "17D.12345.0000 "}),
    [](const ::testing::TestParamInfo<TouchCase>& info) { return std::string(info.param.name); });

class TerminalTouchEdges : public testing::DisplayFrameTest {};

TEST_F(TerminalTouchEdges, AnEventWithoutPointsIsLeftAlone) {
  CTerminalWnd& terminal = OpenTerminal();
  EXPECT_FALSE(terminal.TouchInput({}));
  EXPECT_EQ(Rows(terminal), std::vector<std::string>{""});
}

TEST_F(TerminalTouchEdges, TouchLinesEndEvenWhenReportsShareALine) {
  CTerminalWnd& terminal = OpenTerminal();
  frame_->settings.Options.WrapOnCR = 0;
  Receive({0xC0, 0x00, 0x20, 0x00, 0x10});
  EXPECT_EQ(Rows(terminal), std::vector<std::string>{"D 0512,0256 "}) << "the report leaves its line open";
  EXPECT_TRUE(terminal.TouchInput({{0, false, 1, 2}}));
  EXPECT_TRUE(terminal.TouchInput({{0, true, 1, 2}}));
  EXPECT_EQ(Rows(terminal), (std::vector<std::string>{"D 0512,0256 0D.0001.0002 ", "0U.0001.0002 ", ""}));
}

}  // namespace
}  // namespace kx7
