#include "qt_message_loop.h"

#include <gtest/gtest.h>

#include "test_application.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/window.h"

namespace kx7 {
namespace {

struct Recorder : Window {
  using Window::Window;
  struct Seen {
    MessageId message;
    WParam wParam;
    QThread* thread;
  };
  std::vector<Seen> seen;
  std::function<void(MessageId, WParam)> onMessage;
  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    seen.push_back({message, wParam, QThread::currentThread()});
    if (onMessage) onMessage(message, wParam);
    return 1;
  }
  std::size_t Count(MessageId message, WParam wParam) const {
    std::size_t count = 0;
    for (const Seen& s : seen) count += s.message == message && s.wParam == wParam;
    return count;
  }
};

class QtMessageLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
  // Waits are bounded by a guard timer so that a fault fails the test instead of hanging it.
  bool RunUntil(QtMessageLoop& loop, const std::function<bool()>& done, std::uint64_t limitMs = 5000) {
    const std::uint64_t start = loop.Now();
    return loop.RunUntil([&] { return done() || loop.Now() - start > limitMs; }) && done();
  }
  struct Guard : Window {
    using Window::Window;
    LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
  };
};

TEST_F(QtMessageLoopTest, PostsFromAnotherThreadArriveInOrderOnTheUiThread) {
  QtMessageLoop loop;
  Recorder window(loop);
  Guard guard(loop);
  guard.SetTimer(1, 50);  // keeps the guard's time limit looked at
  constexpr int kCount = 2000;
  std::thread poster([&] {
    for (int i = 0; i < kCount; ++i) loop.Post(window.Id(), wm::kApp + 1, static_cast<WParam>(i));
  });
  EXPECT_TRUE(RunUntil(loop, [&] { return window.seen.size() == kCount; }));
  poster.join();
  ASSERT_EQ(window.seen.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(window.seen[i].wParam, static_cast<WParam>(i));
    ASSERT_EQ(window.seen[i].thread, QCoreApplication::instance()->thread());
  }
}

TEST_F(QtMessageLoopTest, SendIsDirectAndPostsToGoneWindowsAreDropped) {
  QtMessageLoop loop;
  Recorder window(loop);
  auto gone = std::make_unique<Recorder>(loop);
  const WindowId goneId = gone->Id();
  loop.Post(goneId, wm::kApp);
  gone.reset();
  window.Post(wm::kApp + 2);
  EXPECT_EQ(loop.Send(window.Id(), wm::kApp + 3), 1);
  EXPECT_EQ(loop.Send(goneId, wm::kApp + 3), 0);
  ASSERT_EQ(window.seen.size(), 1u);
  EXPECT_TRUE(RunUntil(loop, [&] { return loop.PendingCount() == 0 && window.seen.size() == 2; }));
  EXPECT_EQ(window.seen[1].message, wm::kApp + 2);
}

TEST_F(QtMessageLoopTest, TimersRepeatUntilKilled) {
  QtMessageLoop loop;
  Recorder window(loop);
  window.SetTimer(7, 5);
  EXPECT_TRUE(loop.HasTimer(window.Id(), 7));
  EXPECT_TRUE(RunUntil(loop, [&] { return window.Count(wm::kTimer, 7) >= 3; }));
  window.KillTimer(7);
  EXPECT_FALSE(loop.HasTimer(window.Id(), 7));
  const std::size_t fired = window.Count(wm::kTimer, 7);
  // Another timer runs long enough for several more periods of the killed one.
  window.SetTimer(8, 10);
  EXPECT_TRUE(RunUntil(loop, [&] { return window.Count(wm::kTimer, 8) >= 4; }));
  EXPECT_EQ(window.Count(wm::kTimer, 7), fired);
}

TEST_F(QtMessageLoopTest, SetTimerAgainRestartsWithTheNewPeriod) {
  QtMessageLoop loop;
  Recorder window(loop);
  window.SetTimer(1, 5);
  EXPECT_TRUE(RunUntil(loop, [&] { return window.Count(wm::kTimer, 1) >= 2; }));
  window.SetTimer(1, 3600 * 1000);
  const std::size_t fired = window.Count(wm::kTimer, 1);
  window.SetTimer(2, 10);
  EXPECT_TRUE(RunUntil(loop, [&] { return window.Count(wm::kTimer, 2) >= 5; }));
  EXPECT_EQ(window.Count(wm::kTimer, 1), fired);
  EXPECT_TRUE(loop.HasTimer(window.Id(), 1));
}

TEST_F(QtMessageLoopTest, AnExpiryQueuedBeforeARestartOrKillIsNotDelivered) {
  const struct {
    const char* name;
    bool kill;
  } cases[] = {{"restart", false}, {"kill", true}};
  for (const auto& c : cases) {
    QtMessageLoop loop;
    Recorder window(loop);
    window.SetTimer(1, 5);
    // A wait returns between Qt's timer event and the delivery of the message it queued.
    ASSERT_TRUE(RunUntil(loop, [&] { return loop.PendingCount() > 0; })) << c.name;
    ASSERT_EQ(window.Count(wm::kTimer, 1), 0u) << c.name;
    if (c.kill) {
      window.KillTimer(1);
    } else {
      window.SetTimer(1, 3600 * 1000);
    }
    window.SetTimer(2, 5);
    EXPECT_TRUE(RunUntil(loop, [&] { return window.Count(wm::kTimer, 2) >= 3 && loop.PendingCount() == 0; })) << c.name;
    EXPECT_EQ(window.Count(wm::kTimer, 1), 0u) << c.name;
  }
}

TEST_F(QtMessageLoopTest, TimersOfADestroyedWindowStop) {
  QtMessageLoop loop;
  Recorder watcher(loop);
  auto window = std::make_unique<Recorder>(loop);
  const WindowId id = window->Id();
  window->SetTimer(3, 2);
  window->SetTimer(4, 5);
  EXPECT_TRUE(RunUntil(loop, [&] { return window->Count(wm::kTimer, 3) >= 1; }));
  window.reset();
  EXPECT_FALSE(loop.HasTimer(id, 3));
  EXPECT_FALSE(loop.HasTimer(id, 4));
  watcher.SetTimer(1, 10);
  EXPECT_TRUE(RunUntil(loop, [&] { return watcher.Count(wm::kTimer, 1) >= 3; }));
  // Only the watcher's timer is left to fire.
  watcher.KillTimer(1);
  EXPECT_TRUE(RunUntil(loop, [&] { return loop.PendingCount() == 0; }));
}

TEST_F(QtMessageLoopTest, NestedWaitsSeeEachMessageAsItArrives) {
  QtMessageLoop loop;
  Recorder window(loop);
  // Only wakes a wait that would otherwise never see the messages queued for it.
  Guard guard(loop);
  guard.SetTimer(1, 2000);
  const std::uint64_t start = loop.Now();
  bool innerResult = false;
  std::size_t seenWhenInnerReturned = 0;
  window.onMessage = [&](MessageId message, WParam wParam) {
    if (message != wm::kApp || wParam != 0) return;
    // A nested wait for the second message, with a third one queued behind it.
    innerResult = RunUntil(loop, [&] { return window.seen.size() >= 2; });
    seenWhenInnerReturned = window.seen.size();
  };
  window.Post(wm::kApp, 0);
  window.Post(wm::kApp, 1);
  window.Post(wm::kApp, 2);
  EXPECT_TRUE(RunUntil(loop, [&] { return window.seen.size() == 3; }));
  EXPECT_TRUE(innerResult);
  EXPECT_EQ(seenWhenInnerReturned, 2u);
  EXPECT_LT(loop.Now() - start, 1000u);
  ASSERT_EQ(window.seen.size(), 3u);
  for (WParam i = 0; i < 3; ++i) EXPECT_EQ(window.seen[i].wParam, i);
}

TEST_F(QtMessageLoopTest, MessagesFlowUnderQtsOwnEventLoopAroundANestedWait) {
  QtMessageLoop loop;
  Recorder window(loop);
  QEventLoop application;
  bool innerResult = false;
  window.onMessage = [&](MessageId message, WParam wParam) {
    if (message != wm::kApp) return;
    if (wParam == 0) {
      // The nested wait is over after the first of these; the rest must still arrive when only
      // Qt's own loop runs.
      for (WParam i = 1; i <= 3; ++i) window.Post(wm::kApp, i);
      innerResult = RunUntil(loop, [&] { return window.seen.size() >= 2; });
    }
    if (wParam == 3) application.quit();
  };
  window.Post(wm::kApp, 0);
  QTimer::singleShot(2000, &application, &QEventLoop::quit);
  application.exec();
  EXPECT_TRUE(innerResult);
  ASSERT_EQ(window.seen.size(), 4u);
  for (WParam i = 0; i < 4; ++i) EXPECT_EQ(window.seen[i].wParam, i);
}

TEST_F(QtMessageLoopTest, QuitFromAnotherThreadEndsBlockedWaitsAndLaterOnes) {
  QtMessageLoop loop;
  Recorder window(loop);
  // Only wakes a wait that Quit failed to wake, so that such a fault fails instead of hanging.
  Guard guard(loop);
  guard.SetTimer(1, 3000);
  std::atomic<bool> blocked{false};
  const QMetaObject::Connection connection = QObject::connect(
      QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [&] { blocked.store(true); });
  std::thread quitter;
  std::atomic<std::uint64_t> quitAt{0};
  bool innerResult = true;
  window.onMessage = [&](MessageId message, WParam) {
    if (message != wm::kApp) return;
    blocked.store(false);
    quitter = std::thread([&] {
      const std::uint64_t start = loop.Now();
      while (!blocked.load() && loop.Now() - start < 5000) std::this_thread::yield();
      quitAt.store(loop.Now());
      loop.Quit();
    });
    innerResult = loop.RunUntil([] { return false; });
  };
  window.Post(wm::kApp);
  EXPECT_FALSE(loop.RunUntil([] { return false; }));
  const std::uint64_t endedAt = loop.Now();
  quitter.join();
  QObject::disconnect(connection);
  EXPECT_FALSE(innerResult);
  EXPECT_LT(endedAt - quitAt.load(), 1000u);
  EXPECT_TRUE(loop.Closing());
  EXPECT_FALSE(loop.RunUntil([] { return true; }));
}

TEST_F(QtMessageLoopTest, NowFollowsASteadyClock) {
  QtMessageLoop loop;
  Recorder window(loop);
  const std::uint64_t start = loop.Now();
  window.SetTimer(1, 30);
  EXPECT_TRUE(RunUntil(loop, [&] { return window.Count(wm::kTimer, 1) >= 1; }));
  EXPECT_GE(loop.Now() - start, 25u);
}

}  // namespace
}  // namespace kx7
