#include "touch_feed.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>

namespace kx7::emu {

namespace {

constexpr double kFull = 2047;
// How long the reader waits before it looks again at a file that has not grown, or a FIFO
// without a writer.
constexpr int kIdleMs = 20;
// Touches come at most this often, so that a script read at once still plays as strokes the
// controller reports point by point.
constexpr int kPaceMs = 10;
// A feed line is short; anything longer is not one, and is not kept growing.
constexpr std::size_t kLongestLine = 256;

bool ReadNumber(std::istringstream& in, double& value) {
  std::string word;
  if (!(in >> word)) return false;
  char* end = nullptr;
  value = std::strtod(word.c_str(), &end);
  return end == word.c_str() + word.size() && std::isfinite(value) && value >= 0 && value <= kFull;
}

}  // namespace

std::optional<FeedEvent> ParseFeedLine(const std::string& line, std::string* problem) {
  const auto fail = [&](const std::string& why) -> std::optional<FeedEvent> {
    if (problem) *problem = why;
    return std::nullopt;
  };
  std::istringstream in(line);
  std::string verb;
  if (!(in >> verb) || verb[0] == '#') return fail("");
  FeedEvent event;
  if (verb == "down")
    event.kind = FeedEvent::Kind::kDown;
  else if (verb == "move")
    event.kind = FeedEvent::Kind::kMove;
  else if (verb == "up")
    event.kind = FeedEvent::Kind::kUp;
  else
    return fail("\"" + verb + "\" is not down, move or up");
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  const std::size_t positions = event.kind == FeedEvent::Kind::kUp ? 0 : 2;
  if (words.size() != positions && words.size() != positions + 1)
    return fail(verb + " takes " + (positions ? "A B or ID A B" : "nothing or ID"));
  std::size_t next = 0;
  if (words.size() == positions + 1) {
    char* end = nullptr;
    const long id = std::strtol(words[0].c_str(), &end, 10);
    if (words[0].empty() || end != words[0].c_str() + words[0].size() || id < 0 || id > 255)
      return fail("the contact id \"" + words[0] + "\" is not 0 to 255");
    event.contact = static_cast<int>(id);
    next = 1;
  }
  if (positions) {
    std::istringstream numbers(words[next] + " " + words[next + 1]);
    if (!ReadNumber(numbers, event.a) || !ReadNumber(numbers, event.b))
      return fail("the position is not two numbers from 0 to 2047");
  }
  return event;
}

void ApplyFeedEvent(TouchSource& touches, const FeedEvent& event, std::uint64_t atMs) {
  // The screen points of the sensor model are in 1/2048 of the screen, as the feed's are.
  const ScreenPoint point{event.a, event.b};
  if (event.kind == FeedEvent::Kind::kUp) {
    // Where it lifts does not matter; the host sees the lift where the touch was last reported.
    touches.Place(point, false, event.contact, atMs);
  } else {
    touches.Place(point, true, event.contact, atMs);
  }
}

TouchFeed::TouchFeed(std::string path) : path_(std::move(path)) {}

TouchFeed::~TouchFeed() { Stop(); }

bool TouchFeed::Start(std::string* error) {
  // Without O_NONBLOCK opening a FIFO would wait for its writer here.
  fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    if (error) *error = "--touch-feed " + path_ + ": " + std::strerror(errno);
    return false;
  }
  stop_ = false;
  reader_ = std::thread([this] { Run(); });
  return true;
}

void TouchFeed::Stop() {
  stop_ = true;
  if (reader_.joinable()) reader_.join();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::vector<FeedEvent> TouchFeed::Take() {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<FeedEvent> taken(events_.begin(), events_.end());
  events_.clear();
  return taken;
}

bool TouchFeed::Push(const std::string& line) {
  ++lineNumber_;
  std::string problem;
  const std::optional<FeedEvent> event = ParseFeedLine(line, &problem);
  if (!event) {
    if (!problem.empty() && onProblem) onProblem("line " + std::to_string(lineNumber_) + ": " + problem);
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(mutex_);
    events_.push_back(*event);
  }
  if (onEvents) onEvents();
  return true;
}

void TouchFeed::Run() {
  char buffer[512];
  while (!stop_) {
    pollfd wait{fd_, POLLIN, 0};
    const int ready = ::poll(&wait, 1, kIdleMs);
    if (ready <= 0) continue;
    const ssize_t count = ::read(fd_, buffer, sizeof buffer);
    if (count <= 0) {
      // The end of a file that may still grow, or a FIFO whose writer went: look again later.
      if (count < 0 && errno != EAGAIN && errno != EINTR) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
      continue;
    }
    for (ssize_t i = 0; i < count && !stop_; ++i) {
      const char c = buffer[i];
      if (c == '\n' || c == '\r') {
        const std::string line = std::move(partial_);
        partial_.clear();
        if (!Push(line)) continue;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPaceMs));
      } else if (partial_.size() < kLongestLine) {
        partial_.push_back(c);
      }
    }
  }
}

}  // namespace kx7::emu
