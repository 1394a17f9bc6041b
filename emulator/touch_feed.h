// Scripted touches from outside the emulator: lines "down A B", "move A B", "up" (one contact) or
// "down ID A B", "move ID A B", "up ID" (one of many), A and B in controller coordinates 0 to
// 2047 from the top left of the screen, read from a file (followed as it grows) or a FIFO (read
// again whenever a writer comes). The robot model and anyone scripting a test write such lines.
// A reader thread parses them, one every 10 ms at most; the controller takes them when it next runs (Take), so the
// touches reach it in its own time and under its own lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "touch_source.h"

namespace kx7::emu {

struct FeedEvent {
  enum class Kind { kDown, kMove, kUp };
  Kind kind = Kind::kDown;
  int contact = 0;
  double a = 0;  // 0..2047 from the left
  double b = 0;  // 0..2047 from the top
};

// One line of the feed, or nothing (with the reason) when it is no feed line. Blank lines and
// lines starting with '#' are nothing too, with an empty reason.
std::optional<FeedEvent> ParseFeedLine(const std::string& line, std::string* problem = nullptr);

// Puts the event into the touches from `atMs` on.
void ApplyFeedEvent(TouchSource& touches, const FeedEvent& event, std::uint64_t atMs);

class TouchFeed {
 public:
  explicit TouchFeed(std::string path);
  ~TouchFeed();
  TouchFeed(const TouchFeed&) = delete;
  TouchFeed& operator=(const TouchFeed&) = delete;

  // Opens the path and starts reading; false with the reason when it cannot be opened.
  bool Start(std::string* error);
  void Stop();
  // The events read since the last call, in order.
  std::vector<FeedEvent> Take();
  // A line as if it had been read (an in-process writer, such as a robot model, uses this);
  // false when it is no feed line.
  bool Push(const std::string& line);
  // Called on the reader thread after new events were queued.
  std::function<void()> onEvents;
  // Lines that were not feed lines ("line 3: ..."), for the user.
  std::function<void(const std::string&)> onProblem;

 private:
  void Run();

  std::string path_;
  int fd_ = -1;
  std::thread reader_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::deque<FeedEvent> events_;
  std::string partial_;
  int lineNumber_ = 0;
};

}  // namespace kx7::emu
