#include "touch_feed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "touch_report_generator.h"

namespace kx7::emu {
namespace {

TEST(TouchFeed, LinesOfOneContactOrOfMany) {
  struct Case {
    const char* line;
    bool valid;
    FeedEvent::Kind kind;
    int contact;
    double a, b;
  };
  const Case cases[] = {
      {"down 100 200", true, FeedEvent::Kind::kDown, 0, 100, 200},
      {"move 2047 0", true, FeedEvent::Kind::kMove, 0, 2047, 0},
      {"up", true, FeedEvent::Kind::kUp, 0, 0, 0},
      {"down 3 10.5 20", true, FeedEvent::Kind::kDown, 3, 10.5, 20},
      {"  move 7 1 2  ", true, FeedEvent::Kind::kMove, 7, 1, 2},
      {"up 9", true, FeedEvent::Kind::kUp, 9, 0, 0},
      {"down 2048 0", false, {}, 0, 0, 0},
      {"down -1 0", false, {}, 0, 0, 0},
      {"down 1", false, {}, 0, 0, 0},
      {"down 1 2 3 4", false, {}, 0, 0, 0},
      {"down 300 1 2", false, {}, 0, 0, 0},  // contact ids are 0 to 255
      {"down x 1 2", false, {}, 0, 0, 0},
      {"down 1 nan", false, {}, 0, 0, 0},
      {"up 1 2", false, {}, 0, 0, 0},
      {"tap 1 2", false, {}, 0, 0, 0},
      {"", false, {}, 0, 0, 0},
      {"# a comment", false, {}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    std::string problem;
    const std::optional<FeedEvent> event = ParseFeedLine(c.line, &problem);
    ASSERT_EQ(event.has_value(), c.valid) << c.line;
    if (!event) {
      // Blank lines and comments are no lines at all; the rest say why.
      EXPECT_EQ(problem.empty(), std::string(c.line).empty() || c.line[0] == '#') << c.line;
      continue;
    }
    EXPECT_EQ(event->kind, c.kind) << c.line;
    EXPECT_EQ(event->contact, c.contact) << c.line;
    EXPECT_EQ(event->a, c.a) << c.line;
    EXPECT_EQ(event->b, c.b) << c.line;
  }
}

TouchReportConfig Fed(int contacts = 1) {
  TouchReportConfig config;
  config.autoStroke = false;
  config.sensor.nonlinearity = 0;
  config.contacts = contacts;
  return config;
}

Bytes RunUntil(TouchReportGenerator& generator, std::uint64_t from, std::uint64_t to) {
  Bytes out;
  for (std::uint64_t t = from; t <= to; ++t) generator.Advance(t, out);
  return out;
}

TEST(TouchFeed, TheControllerReportsTheFedTouchesInItsFormat) {
  TouchReportGenerator generator(Fed());
  auto feed = std::make_shared<TouchFeed>("");
  generator.SetFeed(feed);
  EXPECT_LE(generator.NextEventMs(), TouchReportGenerator::kFeedPollMs) << "a feed is looked at often";
  ASSERT_TRUE(generator.OnCommand("FD") == CommandResult::kAck);
  EXPECT_TRUE(feed->Push("down 1024 1024"));
  EXPECT_FALSE(feed->Push("down 1024"));
  Bytes out = RunUntil(generator, 0, 15);
  ASSERT_GE(out.size(), 9u);
  // ASCII decimal: a touch-down in the middle of the screen, both values near 500.
  EXPECT_EQ(out[0], 0x19);
  const int x = std::stoi(std::string(out.begin() + 1, out.begin() + 4));
  const int y = std::stoi(std::string(out.begin() + 5, out.begin() + 8));
  EXPECT_NEAR(x, 500, 10);
  EXPECT_NEAR(y, 500, 10);
  feed->Push("up");
  out = RunUntil(generator, 16, 40);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[out.size() - 9], 0x18) << "the lift";
}

TEST(TouchFeed, AMultiContactControllerAsksForMultiTouchModeUntilItGetsIt) {
  TouchReportGenerator generator(Fed(2));
  auto feed = std::make_shared<TouchFeed>("");
  generator.SetFeed(feed);
  ASSERT_TRUE(generator.OnCommand("FH") == CommandResult::kAck);
  feed->Push("down 1 500 500");
  Bytes out = RunUntil(generator, 0, 12);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[0], 0x01);
  EXPECT_FALSE(generator.MultiTouchMode());
  ASSERT_TRUE(generator.OnCommand("MT") == CommandResult::kAck);
  EXPECT_TRUE(generator.MultiTouchMode());
  out = RunUntil(generator, 13, 40);
  ASSERT_FALSE(out.empty());
  EXPECT_TRUE(out[0] == 0x19 || out[0] == 0x1C) << static_cast<int>(out[0]);
  // A reset forgets the mode.
  generator.Reset(41);
  EXPECT_FALSE(generator.MultiTouchMode());
}

}  // namespace
}  // namespace kx7::emu
