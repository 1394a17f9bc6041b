#include "link/serial/line_error_monitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "link/serial/serial_constants.h"

namespace kx7 {
namespace {

using serial::kErrorFraming;
using serial::kErrorOverflow;
using serial::kErrorOverrun;
using serial::kErrorParity;

struct Posted {
  int pass;
  LineNotification notification;
  bool operator==(const Posted&) const = default;
};

void PrintTo(const Posted& posted, std::ostream* out) {
  *out << "pass " << posted.pass << ": 0x" << std::hex << posted.notification.message << std::dec << " ("
       << posted.notification.wParam << ", " << posted.notification.lParam << ")";
}

struct NotificationCase {
  std::string name;
  std::map<int, std::pair<std::uint32_t, std::uint32_t>> passes;  // pass -> errors, queued
  int passCount;
  std::vector<Posted> expected;
};

void PrintTo(const NotificationCase& c, std::ostream* out) { *out << c.name; }

class LineErrorNotificationTest : public ::testing::TestWithParam<NotificationCase> {};

TEST_P(LineErrorNotificationTest, PostsOncePerCoolDown) {
  const NotificationCase& c = GetParam();
  LineErrorMonitor monitor;
  std::vector<Posted> posted;
  for (int pass = 0; pass < c.passCount; ++pass) {
    const auto it = c.passes.find(pass);
    const auto [errors, queued] = it == c.passes.end() ? std::pair<std::uint32_t, std::uint32_t>{0, 0} : it->second;
    const LinePassActions actions = monitor.Pass(errors, queued);
    if (actions.notification) posted.push_back({pass, *actions.notification});
  }
  EXPECT_EQ(posted, c.expected);
}

constexpr MessageId kOverrun = serial::kOverrunMessage;
constexpr MessageId kOverflow = serial::kOverflowMessage;

INSTANTIATE_TEST_SUITE_P(
    Scripts, LineErrorNotificationTest,
    ::testing::Values(NotificationCase{"OverrunThenClearedAThousandPassesLater",
                                       {{3, {kErrorOverrun, 12}}},
                                       2100,
                                       {{3, {kOverrun, kErrorOverrun, 12}}, {1003, {kOverflow, 0, 0}}}},
                      NotificationCase{"OverflowCarriesTheBytesWaiting",
                                       {{0, {kErrorOverflow, 4000}}},
                                       1500,
                                       {{0, {kOverflow, kErrorOverflow, 4000}}, {1000, {kOverflow, 0, 0}}}},
                      NotificationCase{"BothInOnePassShowTheOverrunWithBothBits",
                                       {{0, {kErrorOverrun | kErrorOverflow | kErrorFraming, 7}}},
                                       1001,
                                       {{0, {kOverrun, kErrorOverrun | kErrorOverflow | kErrorFraming, 7}},
                                        {1000, {kOverflow, 0, 0}}}},
                      // Errors during the cool-down, even on the pass that clears, are not shown; the first one
                      // after it is.
                      NotificationCase{"ErrorsDuringTheCoolDownAreNotShown",
                                       {{0, {kErrorOverrun, 1}},
                                        {1, {kErrorOverrun, 1}},
                                        {500, {kErrorOverflow, 2}},
                                        {1000, {kErrorOverrun, 3}},
                                        {1001, {kErrorOverflow, 4}}},
                                       2002,
                                       {{0, {kOverrun, kErrorOverrun, 1}},
                                        {1000, {kOverflow, 0, 0}},
                                        {1001, {kOverflow, kErrorOverflow, 4}},
                                        {2001, {kOverflow, 0, 0}}}},
                      // Framing and parity errors have their panes, not a status text.
                      NotificationCase{
                          "FramingAndParityPostNothing",
                          {{0, {kErrorFraming, 1}}, {1, {kErrorParity, 1}}, {2, {kErrorFraming | kErrorParity, 0}}},
                          1200,
                          {}},
                      NotificationCase{"NoErrorsNoMessages", {{0, {0, 4096}}}, 3000, {}}),
    [](const ::testing::TestParamInfo<NotificationCase>& info) { return info.param.name; });

TEST(LineErrorMonitor, EveryFramingErrorRestartsTheTimer) {
  LineErrorMonitor monitor;
  int restarts = 0;
  for (int i = 0; i < 20; ++i) {
    // Twenty errors, a few passes apart, as a noisy line gives them.
    const LinePassActions hit = monitor.Pass(kErrorFraming, 3);
    EXPECT_TRUE(hit.framingError);
    EXPECT_FALSE(hit.parityError);
    restarts += hit.RestartLineErrorTimer() ? 1 : 0;
    for (int quiet = 0; quiet < 4; ++quiet) EXPECT_FALSE(monitor.Pass(0, 1).RestartLineErrorTimer());
  }
  EXPECT_EQ(restarts, 20);
  const LinePassActions parity = monitor.Pass(kErrorParity, 0);
  EXPECT_TRUE(parity.parityError);
  EXPECT_FALSE(parity.framingError);
  EXPECT_TRUE(parity.RestartLineErrorTimer());
}

TEST(LineErrorMonitor, ModemLinesAreReadEvery501IdlePassesAndBytesPostponeIt) {
  LineErrorMonitor monitor;
  std::vector<int> reads;
  for (int pass = 0; pass < 1600; ++pass) {
    // Bytes at pass 700 restart the countdown.
    const std::uint32_t queued = pass == 700 ? 10 : 0;
    if (monitor.Pass(0, queued).readModemLines) reads.push_back(pass);
  }
  EXPECT_EQ(reads, (std::vector<int>{500, 1201}));
}

// An idle reader sleeps through passes; what it does must not differ from one that makes each
// pass, only the number of wake-ups.
TEST(LineErrorMonitor, SleepingThroughIdlePassesChangesNothingButTheWakeUps) {
  const std::map<int, std::pair<std::uint32_t, std::uint32_t>> script = {{10, {0, 5}},
                                                                         {40, {kErrorOverrun, 3}},
                                                                         {41, {0, 64}},
                                                                         {900, {kErrorFraming, 1}},
                                                                         {1300, {kErrorOverflow, 4096}},
                                                                         {1301, {0, 0}},
                                                                         {2800, {0, 1}}};
  const auto at = [&](int pass) {
    const auto it = script.find(pass);
    return it == script.end() ? std::pair<std::uint32_t, std::uint32_t>{0, 0} : it->second;
  };
  struct Seen {
    std::vector<std::pair<int, LineNotification>> notifications;
    std::vector<int> modemReads;
    std::vector<int> restarts;
  };
  const auto record = [](Seen& seen, int pass, const LinePassActions& actions) {
    if (actions.notification) seen.notifications.emplace_back(pass, *actions.notification);
    if (actions.readModemLines) seen.modemReads.push_back(pass);
    if (actions.RestartLineErrorTimer()) seen.restarts.push_back(pass);
  };
  constexpr int kPasses = 4000;

  Seen stepping;
  LineErrorMonitor every;
  for (int pass = 0; pass < kPasses; ++pass) record(stepping, pass, every.Pass(at(pass).first, at(pass).second));

  Seen sleeping;
  LineErrorMonitor sleeper;
  int wakeUps = 0;
  for (int pass = 0; pass < kPasses;) {
    const auto [errors, queued] = at(pass);
    record(sleeping, pass, sleeper.Pass(errors, queued));
    ++wakeUps;
    ++pass;
    if (queued > 0) continue;
    // Sleep until the next due pass or the next scripted event, whichever comes first.
    int sleep = sleeper.IdlePassesUntilDue();
    const auto next = script.lower_bound(pass);
    if (next != script.end()) sleep = std::min(sleep, next->first - pass + 1);
    sleep = std::min(sleep, kPasses - pass + 1);
    sleeper.SkipIdlePasses(sleep - 1);
    pass += sleep - 1;
  }
  EXPECT_EQ(sleeping.notifications, stepping.notifications);
  EXPECT_EQ(sleeping.modemReads, stepping.modemReads);
  EXPECT_EQ(sleeping.restarts, stepping.restarts);
  EXPECT_EQ(sleeper.CoolDown(), every.CoolDown());
  EXPECT_EQ(sleeper.ModemCountdown(), every.ModemCountdown());
  EXPECT_LT(wakeUps, 40);
}

TEST(LineErrorMonitor, SkippingNeverPassesOverTheDuePass) {
  LineErrorMonitor monitor;
  EXPECT_EQ(monitor.IdlePassesUntilDue(), serial::kModemPollCountdown + 1);
  monitor.SkipIdlePasses(100000);
  EXPECT_TRUE(monitor.Pass(0, 0).readModemLines);
  monitor.Pass(kErrorOverrun, 0);
  EXPECT_EQ(monitor.IdlePassesUntilDue(), serial::kModemPollCountdown);
  // Skipping a negative count is no skip.
  monitor.SkipIdlePasses(-3);
  EXPECT_EQ(monitor.CoolDown(), serial::kNotificationCoolDownPasses);
}

struct CountsCase {
  const char* name;
  LineErrorCounts before;
  LineErrorCounts after;
  std::uint32_t bits;
};

void PrintTo(const CountsCase& c, std::ostream* out) { *out << c.name; }

class ErrorBitsTest : public ::testing::TestWithParam<CountsCase> {};

TEST_P(ErrorBitsTest, EachCounterHasItsBit) {
  EXPECT_EQ(ErrorBitsBetween(GetParam().before, GetParam().after), GetParam().bits);
}

INSTANTIATE_TEST_SUITE_P(Counters, ErrorBitsTest,
                         ::testing::Values(CountsCase{"Unchanged", {1, 2, 3, 4}, {1, 2, 3, 4}, 0},
                                           CountsCase{"Framing", {0, 0, 0, 0}, {5, 0, 0, 0}, kErrorFraming},
                                           CountsCase{"Parity", {0, 0, 0, 0}, {0, 1, 0, 0}, kErrorParity},
                                           CountsCase{"Overrun", {0, 0, 0, 0}, {0, 0, 1, 0}, kErrorOverrun},
                                           CountsCase{"BufferOverrun", {0, 0, 0, 0}, {0, 0, 0, 9}, kErrorOverflow},
                                           CountsCase{"All", {0, 0, 0, 0}, {1, 1, 1, 1}, 0xFu},
                                           // A counter that wrapped still moved.
                                           CountsCase{"Wrapped", {0xFFFFFFFFu, 0, 0, 0}, {0, 0, 0, 0}, kErrorFraming}),
                         [](const ::testing::TestParamInfo<CountsCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kx7
