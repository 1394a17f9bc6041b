// The terminal's line store: wrapping, continuation of reports, the ring, time stamps, echoes,
// copying and what goes into the log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/terminal_text.h"

namespace kx7 {
namespace {

class TerminalTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    text.clockMs = [this] { return now; };
    text.logTakesText = [this] { return logging; };
    text.writeLog = [this](std::string_view piece) { log.append(piece); };
    text.StartAccepting();
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int row = 0; row < text.RowCount(); ++row) rows.emplace_back(text.Row(row));
    return rows;
  }
  TerminalText text;
  std::uint64_t now = 1000;
  bool logging = true;
  std::string log;
};

TEST_F(TerminalTextTest, NothingIsTakenBeforeTheFirstPaint) {
  TerminalText fresh;
  fresh.AppendText("D 0512,0256", TextKind::kDecoded);
  fresh.EndLine(LineEnd::kReportEnd);
  EXPECT_EQ(fresh.RowCount(), 1);
  EXPECT_EQ(fresh.Row(0), "");
}

TEST_F(TerminalTextTest, WithWrapOnCrOffReportsShareALineUntil130) {
  text.wrapOnCr = false;
  const std::string report = "D 0512,0256";  // 11 characters, 12 with the blank
  for (int i = 0; i < 12; ++i) {
    text.AppendText(report, TextKind::kDecoded);
    text.EndLine(LineEnd::kReportEnd);
  }
  const std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  // Ten reports and their blanks reach column 120; the eleventh ends at 131 and ends the line.
  EXPECT_EQ(rows[0].size(), 11u * 11 + 10);
  EXPECT_EQ(rows[0].substr(0, 24), "D 0512,0256 D 0512,0256 ");
  EXPECT_EQ(rows[1], "D 0512,0256 ");
}

TEST_F(TerminalTextTest, APieceThatWouldPass148StartsANewLine) {
  text.AppendText(std::string(120, 'x'), TextKind::kDecoded);
  text.AppendText(std::string(40, 'y'), TextKind::kDecoded);
  const std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], std::string(120, 'x'));
  EXPECT_EQ(rows[1], std::string(40, 'y'));
  EXPECT_EQ(log, std::string(120, 'x') + "\r" + std::string(40, 'y')) << "the log breaks where the screen does";
  text.AppendText(std::string(400, 'z'), TextKind::kDecoded);
  EXPECT_LE(text.Row(text.RowCount() - 1).size(), static_cast<std::size_t>(TerminalText::kColumns));
}

TEST_F(TerminalTextTest, The101stLineDropsTheFirst) {
  for (int i = 1; i <= 101; ++i) {
    text.AppendText("line " + std::to_string(i), TextKind::kDecoded);
    if (i < 101) text.EndLine(LineEnd::kPlain);
  }
  EXPECT_EQ(text.RowCount(), TerminalText::kLines);
  EXPECT_EQ(text.Row(0), "line 2");
  EXPECT_EQ(text.Row(99), "line 101");
}

TEST_F(TerminalTextTest, RelativeStampsStartAtZero) {
  text.timeDisplay = 2;
  text.AppendText("D 0001,0001", TextKind::kDecoded);
  text.EndLine(LineEnd::kReportEnd);
  now += 15;
  text.AppendText("D 0002,0002", TextKind::kDecoded);
  EXPECT_EQ(text.Row(0), "00000  D 0001,0001");
  EXPECT_EQ(text.Row(1), "00015  D 0002,0002");
}

TEST_F(TerminalTextTest, AbsoluteAndDateStamps) {
  text.timeDisplay = 1;
  now += 1234;
  text.AppendText("a", TextKind::kDecoded);
  EXPECT_EQ(text.Row(0), "0000001234 a");
  text.EndLine(LineEnd::kPlain);
  text.timeDisplay = 3;
  text.localTime = [] {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    return t;
  };
  text.AppendText("b", TextKind::kDecoded);
  EXPECT_EQ(text.Row(1), "{12/10/2026 09:05:07} b");
  text.EndLine(LineEnd::kPlain);
  text.AppendText("typed", TextKind::kTyped);
  EXPECT_EQ(text.Row(2), "typed") << "typing gets no stamp";
}

TEST_F(TerminalTextTest, EchoesShowControlBytesAndEndLinesAtCr) {
  for (std::uint8_t byte : {std::uint8_t{0x01}, std::uint8_t{'Z'}, std::uint8_t{0x7F}, std::uint8_t{'\r'}})
    text.EchoChar(byte, TextKind::kEchoed);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"<01>Z<7F>", ""}));
  EXPECT_EQ(text.RowColour(0), TerminalText::Colour::kSent);
  text.AppendText("D 1,1", TextKind::kDecoded);
  EXPECT_EQ(text.RowColour(1), TerminalText::Colour::kReceived);
}

TEST_F(TerminalTextTest, CopyJoinsRowsWithCrLfAndTheLogCanBeKeptOut) {
  text.AppendText("first", TextKind::kDecoded);
  text.EndLine(LineEnd::kPlain);
  text.AppendText("second", TextKind::kDecoded);
  EXPECT_EQ(text.Copy(0, 2, 1, 2), "rst\r\nsec");
  EXPECT_EQ(text.Copy(0, 0, 5, 100), "first\r\nsecond");
  logging = false;
  text.AppendText(" more", TextKind::kDecoded);
  EXPECT_EQ(log, "first\rsecond");
  text.Clear();
  EXPECT_EQ(Rows(), std::vector<std::string>{""});
}

}  // namespace
}  // namespace kx7
