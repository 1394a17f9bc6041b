#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "platform/real_time_loop.h"
#include "platform/virtual_time_loop.h"
#include "platform/window.h"

namespace kx7 {
namespace {

struct Recorder : Window {
  using Window::Window;
  std::vector<std::pair<MessageId, WParam>> seen;
  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    seen.emplace_back(message, wParam);
    return 7;
  }
};

TEST(VirtualTimeLoop, PostsDispatchInOrderAndSendIsDirect) {
  VirtualTimeLoop loop;
  Recorder window(loop);
  window.Post(0x8001, 1);
  window.Post(0x8002, 2);
  EXPECT_EQ(loop.Send(window.Id(), 0x8003, 3), 7);
  ASSERT_EQ(window.seen.size(), 1u);
  loop.RunPending();
  ASSERT_EQ(window.seen.size(), 3u);
  EXPECT_EQ(window.seen[1].first, 0x8001u);
  EXPECT_EQ(window.seen[2].first, 0x8002u);
}

TEST(VirtualTimeLoop, ClockJumpsToTimersAndTimersRepeatUntilKilled) {
  VirtualTimeLoop loop;
  Recorder window(loop);
  window.SetTimer(2, 20000);
  window.SetTimer(23, 250);
  int fired = 0;
  EXPECT_TRUE(loop.RunUntil([&] {
    fired = static_cast<int>(window.seen.size());
    return fired == 3;
  }));
  // 250, 500 and 750 ms expire before the 20 s timer.
  EXPECT_EQ(loop.Now(), 750u);
  for (const auto& message : window.seen) EXPECT_EQ(message.second, 23u);
  window.KillTimer(23);
  EXPECT_TRUE(loop.RunUntil([&] { return window.seen.size() == 4; }));
  EXPECT_EQ(window.seen.back().second, 2u);
  EXPECT_EQ(loop.Now(), 20000u);
}

TEST(VirtualTimeLoop, SetTimerAgainRestartsIt) {
  VirtualTimeLoop loop;
  Recorder window(loop);
  window.SetTimer(23, 250);
  loop.Advance(200);
  window.SetTimer(23, 250);
  loop.Advance(200);
  EXPECT_TRUE(window.seen.empty());
  loop.Advance(50);
  EXPECT_EQ(window.seen.size(), 1u);
}

TEST(VirtualTimeLoop, NestedWaitsAndQuit) {
  VirtualTimeLoop loop;
  Recorder window(loop);
  bool inner = false;
  window.SetTimer(1, 100);
  EXPECT_TRUE(loop.RunUntil([&] {
    if (window.seen.size() == 1 && !inner) {
      inner = true;
      EXPECT_TRUE(loop.RunUntil([&] { return window.seen.size() == 2; }));
    }
    return window.seen.size() >= 2;
  }));
  loop.Quit();
  EXPECT_FALSE(loop.RunUntil([] { return false; }));
  EXPECT_TRUE(loop.Closing());
}

TEST(VirtualTimeLoop, TimersOfADestroyedWindowEndWithIt) {
  VirtualTimeLoop loop;
  auto window = std::make_unique<Recorder>(loop);
  const WindowId id = window->Id();
  window->SetTimer(5, 10);
  window->Post(0x8000);
  window.reset();
  EXPECT_FALSE(loop.HasTimer(id, 5));
  EXPECT_EQ(loop.RunPending(), 1u);  // the post is taken and dropped
  EXPECT_EQ(loop.Send(id, 0x8000), 0);
}

// A poller sees virtual time pass in steps, never past a timer, and what it posts is handled
// before the timer's time comes.
TEST(VirtualTimeLoop, IdleWorkRunsInStepsBeforeTheNextTimer) {
  VirtualTimeLoop loop;
  Recorder window(loop);
  window.SetTimer(2, 100);
  std::vector<std::uint64_t> polledAt;
  loop.SetIdleWork([&] {
    polledAt.push_back(loop.Now());
    if (loop.Now() == 30 && window.seen.empty()) {
      window.Post(0x8000);
      return true;
    }
    return false;
  }, 10);
  ASSERT_TRUE(loop.RunUntil([&] { return !window.seen.empty(); }));
  EXPECT_EQ(window.seen.front().first, 0x8000u);
  EXPECT_EQ(loop.Now(), 30u);
  EXPECT_EQ(polledAt, (std::vector<std::uint64_t>{0, 10, 20, 30}));
  ASSERT_TRUE(loop.RunUntil([&] { return window.seen.size() == 2; }));
  EXPECT_EQ(window.seen.back().first, wm::kTimer);
  EXPECT_EQ(loop.Now(), 100u);  // the timer's own time, not a step past it
  loop.SetIdleWork({});
}

TEST(RealTimeLoop, PostFromAnotherThreadWakesTheWait) {
  RealTimeLoop loop;
  Recorder window(loop);
  std::thread poster([&] { loop.Post(window.Id(), 0x8000, 42); });
  EXPECT_TRUE(loop.RunUntil([&] { return !window.seen.empty(); }));
  poster.join();
  EXPECT_EQ(window.seen[0].second, 42u);
}

TEST(RealTimeLoop, QuitFromAnotherThreadEndsTheWait) {
  RealTimeLoop loop;
  std::thread quitter([&] { loop.Quit(); });
  EXPECT_FALSE(loop.RunUntil([] { return false; }));
  quitter.join();
}

}  // namespace
}  // namespace kx7
