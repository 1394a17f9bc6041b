// The rules that end a reply: one line, fixed length, three and two lines, raw, the echoed "Z",
// and what a time-out leaves.
#include <gtest/gtest.h>

#include <string>

#include "proto/proto_constants.h"
#include "proto/reply_collector.h"

namespace kx7 {
namespace {

struct ReplyCase {
  const char* name;
  std::uint32_t flags;
  std::size_t expected;
  std::string bytes;
  std::size_t completesAfter;  // 0: not complete after all bytes
  std::string stored;          // the reply as collected up to completion (or all of it)
};

class ReplyRules : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyRules, CompleteWhereTheRulesSay) {
  const ReplyCase& c = GetParam();
  ReplyCollector collector;
  collector.Begin(c.expected, c.flags);
  std::size_t completed = 0;
  for (std::size_t i = 0; i < c.bytes.size() && completed == 0; ++i)
    if (collector.OnByte(static_cast<std::uint8_t>(c.bytes[i]))) completed = i + 1;
  EXPECT_EQ(completed, c.completesAfter);
  EXPECT_EQ(std::string(collector.Reply().begin(), collector.Reply().end()), c.stored);
}

const ReplyCase kReplyCases[] = {
    {"OneLineEndsAtTheFirstCr", 0, 10, "\x01" "0\r\x01" "1\r", 3, "\x01" "0\r"},
    {"ANulEndsALineAndIsStoredAsCr", reply::kShortWait, 10, std::string("\x01" "A\0B", 4), 3, "\x01" "A\r"},
    {"FixedLengthKeepsNulAndEndsAtItsLength", reply::kFixedLength, 5, std::string("\x01\0\rAB", 5), 5,
     std::string("\x01\0\rAB", 5)},
    {"FixedLengthEndsOnTheRefusal", reply::kFixedLength, 10, "\x01" "1\rXYZ", 3, "\x01" "1\r"},
    {"ThreeLinesEndsAtTheThirdCr", reply::kThreeLines, 2000, "\x01" "A\r0102\r\x01" "0\r", 11,
     "\x01" "A\r0102\r\x01" "0\r"},
    {"TwoLinesEndsAtTheSecondCr", reply::kTwoLines, 130, "\x01" "PANEL\r\x01" "0\rmore", 10, "\x01" "PANEL\r\x01" "0\r"},
    {"ANulEndsAThreeLineReplyEarly", reply::kThreeLines, 2000, std::string("\x01" "A\r\0", 4), 4,
     "\x01" "A\r\r"},
    {"RawKeepsBit7AndEndsOnlyAtItsLength", reply::kRaw, 4, std::string("\x81\r\0\xFF", 4), 4,
     std::string("\x81\r\0\xFF", 4)},
    {"Bit7IsClearedInLineReplies", 0, 10, "\x01\xB0\x8D", 3, "\x01" "0\r"},
    {"AnEchoedZEndsThePing", reply::kShortWait | reply::kEndOnZ, 3, "\x01Z\r", 2, "\x01Z"},
    {"APingAnswerWaitsForTheTimeOut", reply::kShortWait | reply::kEndOnZ, 3, "\x01" "0\r", 0, "\x01" "0\r"},
    {"AnAnsweredPingEndsAtTheAcknowledgement", reply::kShortWait | reply::kEndOnZ | reply::kEndOnOk, 3,
     "\xC0\x01" "0\rmore", 4, "@\x01" "0\r"},
};
INSTANTIATE_TEST_SUITE_P(Cases, ReplyRules, ::testing::ValuesIn(kReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyCollector, HighBitIsSeenAndClearedWhenAReplyBegins) {
  ReplyCollector collector;
  collector.Begin(3, 0);
  collector.OnByte(0x81);
  EXPECT_TRUE(collector.HighBitSeen());
  collector.Begin(3, 0);
  EXPECT_FALSE(collector.HighBitSeen());
  EXPECT_TRUE(collector.Reply().empty());
}

TEST(ReplyCollector, ATimeOutLeavesWhatArrivedPlusOneCr) {
  ReplyCollector collector;
  collector.Begin(3, reply::kLongWait);
  collector.OnTimeOut();
  EXPECT_EQ(collector.Reply(), std::vector<std::uint8_t>{kCr}) << "WaitOk must reject this";
  collector.Begin(10, 0);
  collector.OnByte(kSoh);
  collector.OnByte('4');
  collector.OnTimeOut();
  EXPECT_EQ(collector.Reply(), (std::vector<std::uint8_t>{kSoh, '4', kCr}));
}

TEST(ReplyCollector, TimeOutsByFlagAndLink) {
  EXPECT_EQ(ReplyTimeOutMs(reply::kWait10s | reply::kShortWait, true), 10000u);
  EXPECT_EQ(ReplyTimeOutMs(reply::kWait20s, false), 20000u);
  EXPECT_EQ(ReplyTimeOutMs(reply::kShortWait | reply::kLongWait, false), 250u);
  EXPECT_EQ(ReplyTimeOutMs(reply::kLongWait, true), 5000u);
  EXPECT_EQ(ReplyTimeOutMs(reply::kLongWait, false), 7000u);
  EXPECT_EQ(ReplyTimeOutMs(0, true), 1000u);
  EXPECT_EQ(ReplyTimeOutMs(reply::kThreeLines, false), 3000u);
}

}  // namespace
}  // namespace kx7
