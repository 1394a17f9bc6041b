#include "platform/driver_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace kx7 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::initializer_list<int> values) {
  Bytes bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

// Answers a few requests the way a driver answers its control codes.
class RequestDriver : public SimulatedDriver {
 public:
  static constexpr std::uint32_t kWhoAreYou = 0x1A2004;  // 134 bytes, first 32-bit value 2
  static constexpr std::uint32_t kReverse = 0x1A3000;    // the input backwards
  static constexpr std::uint32_t kSerial = 0x1A2458;     // four bytes, whatever room there is
  static constexpr std::uint32_t kTooMuch = 0x1A3004;    // 300 bytes regardless of room
  static constexpr std::uint32_t kFailWithBytes = 0x1A3008;
  static constexpr std::uint32_t kFailTimeout = 0x1A300C;

  DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t) override {
    std::lock_guard lock(mutex);
    codes.push_back(code);
    switch (code) {
      case kWhoAreYou: {
        Bytes answer(134, 0xEE);
        answer[0] = 2;
        answer[1] = answer[2] = answer[3] = 0;
        return DriverResult::Ok(answer);
      }
      case kReverse:
        return DriverResult::Ok(Bytes(input.rbegin(), input.rend()));
      case kSerial:
        return DriverResult::Ok(B({0x78, 0x56, 0x34, 0x12}));
      case kTooMuch:
        return DriverResult::Ok(Bytes(300, 0x5A));
      case kFailWithBytes:
        return {false, B({1, 2, 3}), driver_error::kNone};
      case kFailTimeout:
        return DriverResult::Failed(driver_error::kSemaphoreTimeout);
      default:
        return DriverResult::Failed(driver_error::kInvalidFunction);
    }
  }

  std::mutex mutex;
  std::vector<std::uint32_t> codes;
};

// A device read and written as a file: what is written comes back to the reader. A write takes
// at most `writeLimit` bytes; a read waits for data (woken by a write, a close or the removal).
class LoopbackDriver : public SimulatedDriver {
 public:
  explicit LoopbackDriver(std::size_t limit = 1 << 20) : writeLimit(limit) {}

  DriverResult Request(std::uint32_t code, std::span<const std::uint8_t>, std::size_t) override {
    if (code != kQueued) return DriverResult::Failed(driver_error::kInvalidFunction);
    std::lock_guard lock(mutex_);
    const auto count = static_cast<std::uint32_t>(queue_.size());
    return DriverResult::Ok(B({static_cast<int>(count & 0xFF), static_cast<int>(count >> 8)}));
  }

  DriverResult Read(std::size_t capacity, int timeoutMs) override {
    std::unique_lock lock(mutex_);
    // The time-out only bounds the wait; nothing here depends on it passing.
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty() || woken_; });
    woken_ = false;
    Bytes bytes;
    while (!queue_.empty() && bytes.size() < capacity) {
      bytes.push_back(queue_.front());
      queue_.pop_front();
    }
    return DriverResult::Ok(bytes);
  }

  DriverWriteResult Write(std::span<const std::uint8_t> bytes) override {
    const std::size_t taken = std::min(bytes.size(), writeLimit);
    {
      std::lock_guard lock(mutex_);
      queue_.insert(queue_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    }
    changed_.notify_all();
    return DriverWriteResult::Ok(taken);
  }

  void OnClose() override { Wake(); }
  void OnRemoved() override { Wake(); }

  static constexpr std::uint32_t kQueued = 0x1A6100;
  const std::size_t writeLimit;

 private:
  void Wake() {
    {
      std::lock_guard lock(mutex_);
      woken_ = true;
    }
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::uint8_t> queue_;
  bool woken_ = false;
};

// Its reads and requests hold on until the device is closed or removed, then answer anyway: the
// answer of a device that went away must not reach the caller.
class StuckDriver : public SimulatedDriver {
 public:
  DriverResult Request(std::uint32_t, std::span<const std::uint8_t>, std::size_t) override { return Hold(); }
  DriverResult Read(std::size_t, int) override { return Hold(); }
  DriverWriteResult Write(std::span<const std::uint8_t> bytes) override {
    Hold();
    return DriverWriteResult::Ok(bytes.size());
  }
  void OnClose() override { Release(); }
  void OnRemoved() override { Release(); }

  void WaitUntilInside() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return inside_; });
  }

 private:
  DriverResult Hold() {
    std::unique_lock lock(mutex_);
    inside_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_; });
    return DriverResult::Ok(B({9, 9, 9}));
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool inside_ = false;
  bool released_ = false;
};

// Allows one handle at a time, as a device opened without sharing does.
class ExclusiveDriver : public RequestDriver {
 public:
  bool OnOpen() override {
    std::lock_guard lock(mutex_);
    if (open_) return false;
    open_ = true;
    return true;
  }
  void OnClose() override {
    std::lock_guard lock(mutex_);
    open_ = false;
  }

 private:
  std::mutex mutex_;
  bool open_ = false;
};

class DriverDeviceTest : public ::testing::Test {
 protected:
  SimulatedDriverBackend backend_;
  ScopedDriverBackend installed_{backend_};
};

TEST(DriverDeviceNames, AreTheDriversDeviceNames) {
  EXPECT_EQ(Kx7DriverDeviceName(0), "\\\\.\\RvTouchDevice0");
  EXPECT_EQ(Kx7DriverDeviceName(15), "\\\\.\\RvTouchDevice15");
  EXPECT_EQ(RivetwareDriverDeviceName(3), "\\\\.\\KxsTch3");
}

TEST(DriverErrors, HaveTheSystemsTexts) {
  EXPECT_EQ(DriverErrorText(driver_error::kDeviceNotConnected), "The device is not connected.");
  EXPECT_EQ(DriverErrorText(driver_error::kInvalidFunction), "Incorrect function.");
  EXPECT_EQ(DriverErrorText(0xDEAD), "Unknown error.");
}

TEST(DefaultDriverBackend, FindsNoDriverOnThisSystem) {
  EXPECT_EQ(DefaultDriverBackend().Open(Kx7DriverDeviceName(0)), nullptr);
  EXPECT_EQ(DefaultDriverBackend().Open(RivetwareDriverDeviceName(0)), nullptr);
  DriverDevice device;
  EXPECT_FALSE(device.Open(Kx7DriverDeviceName(0)));
  EXPECT_FALSE(device.IsOpen());
}

TEST(DriverBackendSelection, ScopedBackendPutsThePreviousBack) {
  SimulatedDriverBackend outer;
  SimulatedDriverBackend inner;
  ASSERT_TRUE(outer.AddDevice(Kx7DriverDeviceName(0), std::make_shared<RequestDriver>()));
  {
    ScopedDriverBackend a(outer);
    EXPECT_EQ(&CurrentDriverBackend(), &outer);
    {
      ScopedDriverBackend b(inner);
      EXPECT_EQ(&CurrentDriverBackend(), &inner);
      DriverDevice device;
      EXPECT_FALSE(device.Open(Kx7DriverDeviceName(0)));
    }
    EXPECT_EQ(&CurrentDriverBackend(), &outer);
    DriverDevice device;
    EXPECT_TRUE(device.Open(Kx7DriverDeviceName(0)));
  }
  EXPECT_EQ(&CurrentDriverBackend(), &DefaultDriverBackend());

  SetDriverBackend(&inner);
  EXPECT_EQ(&CurrentDriverBackend(), &inner);
  SetDriverBackend(nullptr);
  EXPECT_EQ(&CurrentDriverBackend(), &DefaultDriverBackend());
}

TEST_F(DriverDeviceTest, OpensRegisteredNamesWithoutRegardToCase) {
  ASSERT_TRUE(backend_.AddDevice(Kx7DriverDeviceName(1), std::make_shared<RequestDriver>()));
  EXPECT_FALSE(backend_.AddDevice(Kx7DriverDeviceName(2), nullptr));
  EXPECT_TRUE(backend_.HasDevice("\\\\.\\rvtouchdevice1"));
  EXPECT_FALSE(backend_.HasDevice(Kx7DriverDeviceName(2)));

  DriverDevice device;
  EXPECT_TRUE(device.Open("\\\\.\\RVTOUCHDEVICE1"));
  EXPECT_TRUE(device.IsOpen());
  EXPECT_EQ(device.Name(), "\\\\.\\RVTOUCHDEVICE1");
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(1)), 1);

  DriverDevice other;
  for (const std::string& name : {Kx7DriverDeviceName(0), Kx7DriverDeviceName(2), std::string("RvTouchDevice1"),
                                  RivetwareDriverDeviceName(1), std::string()}) {
    EXPECT_FALSE(other.Open(name)) << name;
    EXPECT_FALSE(other.IsOpen());
  }

  device.Close();
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(1)), 0);
  device.Close();  // twice is harmless
}

TEST_F(DriverDeviceTest, OpeningAgainClosesTheFirstHandle) {
  ASSERT_TRUE(backend_.AddDevice(Kx7DriverDeviceName(0), std::make_shared<RequestDriver>()));
  ASSERT_TRUE(backend_.AddDevice(Kx7DriverDeviceName(1), std::make_shared<RequestDriver>()));
  DriverDevice device;
  ASSERT_TRUE(device.Open(Kx7DriverDeviceName(0)));
  ASSERT_TRUE(device.Open(Kx7DriverDeviceName(1)));
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(0)), 0);
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(1)), 1);
  // A failed open leaves nothing open.
  EXPECT_FALSE(device.Open(Kx7DriverDeviceName(7)));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(1)), 0);
}

TEST_F(DriverDeviceTest, ADriverCanRefuseASecondHandle) {
  ASSERT_TRUE(backend_.AddDevice(RivetwareDriverDeviceName(0), std::make_shared<ExclusiveDriver>()));
  DriverDevice first;
  DriverDevice second;
  ASSERT_TRUE(first.Open(RivetwareDriverDeviceName(0)));
  EXPECT_FALSE(second.Open(RivetwareDriverDeviceName(0)));
  first.Close();
  EXPECT_TRUE(second.Open(RivetwareDriverDeviceName(0)));
}

struct RequestCase {
  const char* name;
  std::uint32_t code;
  Bytes input;
  std::size_t capacity;
  bool success;
  Bytes output;
  std::uint32_t error;
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class DriverRequestTest : public DriverDeviceTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(DriverRequestTest, AnswersWithTheBytesTheDriverGave) {
  const RequestCase& c = GetParam();
  auto driver = std::make_shared<RequestDriver>();
  ASSERT_TRUE(backend_.AddDevice(RivetwareDriverDeviceName(0), driver));
  DriverDevice device;
  ASSERT_TRUE(device.Open(RivetwareDriverDeviceName(0)));

  const DriverResult result = device.Request(c.code, c.input, c.capacity);
  EXPECT_EQ(result.success, c.success);
  EXPECT_EQ(result.bytes, c.output);
  EXPECT_EQ(result.ByteCount(), c.output.size());
  EXPECT_EQ(result.error, c.error);
  EXPECT_EQ(driver->codes, std::vector<std::uint32_t>{c.code});
}

Bytes WhoAreYouAnswer() {
  Bytes answer(134, 0xEE);
  answer[0] = 2;
  answer[1] = answer[2] = answer[3] = 0;
  return answer;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, DriverRequestTest,
    ::testing::Values(
        RequestCase{"FullRecord", RequestDriver::kWhoAreYou, {}, 134, true, WhoAreYouAnswer(), driver_error::kNone},
        RequestCase{"InputReachesTheDriver", RequestDriver::kReverse, B({1, 2, 3}), 16, true, B({3, 2, 1}),
                    driver_error::kNone},
        RequestCase{"NoInputNoOutput", RequestDriver::kReverse, {}, 0, true, {}, driver_error::kNone},
        RequestCase{"ShortOutputKeepsItsCount",
                    RequestDriver::kSerial,
                    {},
                    120,
                    true,
                    B({0x78, 0x56, 0x34, 0x12}),
                    driver_error::kNone},
        RequestCase{"OutputCutToTheRoom", RequestDriver::kTooMuch, {}, 20, true, Bytes(20, 0x5A), driver_error::kNone},
        RequestCase{"NoRoomNoBytes", RequestDriver::kSerial, {}, 0, true, {}, driver_error::kNone},
        RequestCase{"UnknownCode", 0x1A2448, {}, 8, false, {}, driver_error::kInvalidFunction},
        RequestCase{"FailureWithTheDriversError",
                    RequestDriver::kFailTimeout,
                    {},
                    8,
                    false,
                    {},
                    driver_error::kSemaphoreTimeout},
        RequestCase{"FailureCarriesNoBytesAndAReason",
                    RequestDriver::kFailWithBytes,
                    {},
                    8,
                    false,
                    {},
                    driver_error::kGeneralFailure}),
    [](const ::testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

TEST_F(DriverDeviceTest, RequestIntoFillsOnlyWhatTheDeviceGave) {
  ASSERT_TRUE(backend_.AddDevice(RivetwareDriverDeviceName(0), std::make_shared<RequestDriver>()));
  DriverDevice device;
  ASSERT_TRUE(device.Open(RivetwareDriverDeviceName(0)));

  std::vector<std::uint8_t> record(8, 0xCC);
  DriverCopyResult copied = device.RequestInto(RequestDriver::kSerial, {}, record);
  EXPECT_TRUE(copied.success);
  EXPECT_EQ(copied.byteCount, 4u);
  EXPECT_EQ(record, B({0x78, 0x56, 0x34, 0x12, 0xCC, 0xCC, 0xCC, 0xCC}));

  std::vector<std::uint8_t> small(2, 0xCC);
  copied = device.RequestInto(RequestDriver::kSerial, {}, small);
  EXPECT_EQ(copied.byteCount, 2u);
  EXPECT_EQ(small, B({0x78, 0x56}));

  record.assign(8, 0xCC);
  copied = device.RequestInto(0x1A2448, {}, record);
  EXPECT_FALSE(copied.success);
  EXPECT_EQ(copied.byteCount, 0u);
  EXPECT_EQ(copied.error, driver_error::kInvalidFunction);
  EXPECT_EQ(record, Bytes(8, 0xCC));
}

TEST_F(DriverDeviceTest, EveryCallOnADeviceThatIsNotOpenFails) {
  DriverDevice device;
  std::uint8_t buffer[4] = {};
  EXPECT_EQ(device.Request(RequestDriver::kSerial, {}, 4).error, driver_error::kInvalidHandle);
  EXPECT_EQ(device.RequestInto(RequestDriver::kSerial, {}, buffer).error, driver_error::kInvalidHandle);
  EXPECT_EQ(device.Read(4, 0).error, driver_error::kInvalidHandle);
  EXPECT_EQ(device.ReadInto(buffer, 0).error, driver_error::kInvalidHandle);
  const DriverWriteResult written = device.Write(B({1}));
  EXPECT_FALSE(written.success);
  EXPECT_EQ(written.written, 0u);
  EXPECT_EQ(written.error, driver_error::kInvalidHandle);
}

TEST_F(DriverDeviceTest, FileLikeDeviceReadsWhatWasWrittenInPieces) {
  ASSERT_TRUE(backend_.AddDevice(Kx7DriverDeviceName(0), std::make_shared<LoopbackDriver>(4)));
  DriverDevice device;
  ASSERT_TRUE(device.Open(Kx7DriverDeviceName(0)));

  // The device takes four bytes a write and says so.
  DriverWriteResult written = device.Write(B({'h', 'e', 'l', 'l', 'o'}));
  EXPECT_TRUE(written.success);
  EXPECT_EQ(written.written, 4u);
  written = device.Write(B({'o'}));
  EXPECT_EQ(written.written, 1u);
  EXPECT_TRUE(device.Write({}).success);

  EXPECT_EQ(device.Request(LoopbackDriver::kQueued, {}, 4).bytes, B({5, 0}));
  EXPECT_EQ(device.Read(3, 0).bytes, B({'h', 'e', 'l'}));
  std::uint8_t buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), 0xCC);
  const DriverCopyResult copied = device.ReadInto(buffer, 0);
  EXPECT_TRUE(copied.success);
  EXPECT_EQ(copied.byteCount, 2u);
  EXPECT_EQ(Bytes(buffer, buffer + 3), B({'l', 'o', 0xCC}));

  // Nothing waiting: a successful read of no bytes.
  const DriverResult nothing = device.Read(16, 0);
  EXPECT_TRUE(nothing.success);
  EXPECT_EQ(nothing.ByteCount(), 0u);
}

TEST_F(DriverDeviceTest, RequestOnlyDeviceRefusesReadsAndWrites) {
  ASSERT_TRUE(backend_.AddDevice(RivetwareDriverDeviceName(0), std::make_shared<RequestDriver>()));
  DriverDevice device;
  ASSERT_TRUE(device.Open(RivetwareDriverDeviceName(0)));
  EXPECT_EQ(device.Read(16, 0).error, driver_error::kInvalidFunction);
  EXPECT_EQ(device.Write(B({1, 2})).error, driver_error::kInvalidFunction);
}

// A driver that claims more than it was given, or fails and still reports a count.
class BoastingWriteDriver : public LoopbackDriver {
 public:
  DriverWriteResult Write(std::span<const std::uint8_t> bytes) override {
    if (bytes.size() == 1) return {false, 1, driver_error::kNone};
    return DriverWriteResult::Ok(bytes.size() + 10);
  }
};

TEST_F(DriverDeviceTest, WriteCountsNeverExceedTheBytesGiven) {
  ASSERT_TRUE(backend_.AddDevice(Kx7DriverDeviceName(0), std::make_shared<BoastingWriteDriver>()));
  DriverDevice device;
  ASSERT_TRUE(device.Open(Kx7DriverDeviceName(0)));
  EXPECT_EQ(device.Write(B({1, 2, 3})).written, 3u);
  const DriverWriteResult failed = device.Write(B({1}));
  EXPECT_FALSE(failed.success);
  EXPECT_EQ(failed.written, 0u);
  EXPECT_EQ(failed.error, driver_error::kGeneralFailure);
}

TEST_F(DriverDeviceTest, RemovedDeviceFailsEveryLaterCallUntilOpenedAgain) {
  const std::string name = Kx7DriverDeviceName(0);
  ASSERT_TRUE(backend_.AddDevice(name, std::make_shared<LoopbackDriver>()));
  DriverDevice device;
  ASSERT_TRUE(device.Open(name));
  ASSERT_TRUE(device.Write(B({1, 2})).success);

  EXPECT_TRUE(backend_.RemoveDevice(name));
  EXPECT_FALSE(backend_.RemoveDevice(name));
  EXPECT_FALSE(backend_.HasDevice(name));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(device.Request(LoopbackDriver::kQueued, {}, 4).error, driver_error::kDeviceNotConnected);
    EXPECT_EQ(device.Read(16, 0).error, driver_error::kDeviceNotConnected);
    EXPECT_EQ(device.Write(B({3})).error, driver_error::kDeviceNotConnected);
  }
  // The program still holds its handle until it closes it, as with a real device.
  EXPECT_TRUE(device.IsOpen());

  // The device coming back does not revive the old handle.
  ASSERT_TRUE(backend_.AddDevice(name, std::make_shared<LoopbackDriver>()));
  EXPECT_EQ(device.Read(16, 0).error, driver_error::kDeviceNotConnected);
  device.Close();
  EXPECT_FALSE(device.Open(Kx7DriverDeviceName(1)));
  ASSERT_TRUE(device.Open(name));
  EXPECT_TRUE(device.Read(16, 0).success);
}

TEST_F(DriverDeviceTest, ReplacingADeviceFailsTheHandlesOfTheOldOne) {
  const std::string name = RivetwareDriverDeviceName(0);
  ASSERT_TRUE(backend_.AddDevice(name, std::make_shared<RequestDriver>()));
  DriverDevice old;
  ASSERT_TRUE(old.Open(name));
  ASSERT_TRUE(backend_.AddDevice(name, std::make_shared<RequestDriver>()));
  EXPECT_EQ(old.Request(RequestDriver::kSerial, {}, 4).error, driver_error::kDeviceNotConnected);
  DriverDevice fresh;
  ASSERT_TRUE(fresh.Open(name));
  EXPECT_TRUE(fresh.Request(RequestDriver::kSerial, {}, 4).success);
}

TEST(SimulatedDriverBackendLifetime, HandlesOutliveTheirBackendAndFail) {
  DriverDevice device;
  {
    SimulatedDriverBackend backend;
    ScopedDriverBackend installed(backend);
    ASSERT_TRUE(backend.AddDevice(Kx7DriverDeviceName(0), std::make_shared<LoopbackDriver>()));
    ASSERT_TRUE(device.Open(Kx7DriverDeviceName(0)));
  }
  EXPECT_EQ(device.Read(4, 0).error, driver_error::kDeviceNotConnected);
  device.Close();
}

// The driver goes away, or the UI thread closes, while the reader thread is inside a call.
struct MidCallCase {
  const char* name;
  bool removeInsteadOfClose;
  int call;  // 0 read, 1 request, 2 write
  std::uint32_t error;
};

void PrintTo(const MidCallCase& c, std::ostream* os) { *os << c.name; }

class DriverMidCallTest : public DriverDeviceTest, public ::testing::WithParamInterface<MidCallCase> {};

TEST_P(DriverMidCallTest, TheCallInProgressFailsWithoutItsAnswer) {
  const MidCallCase& c = GetParam();
  const std::string name = Kx7DriverDeviceName(0);
  auto driver = std::make_shared<StuckDriver>();
  ASSERT_TRUE(backend_.AddDevice(name, driver));
  DriverDevice device;
  ASSERT_TRUE(device.Open(name));

  bool success = true;
  std::size_t count = 99;
  std::uint32_t error = 0;
  std::thread reader([&] {
    if (c.call == 2) {
      const DriverWriteResult r = device.Write(B({1, 2, 3}));
      success = r.success;
      count = r.written;
      error = r.error;
    } else {
      const DriverResult r = c.call == 0 ? device.Read(64, 1000) : device.Request(0x1A2414, {}, 26);
      success = r.success;
      count = r.ByteCount();
      error = r.error;
    }
  });
  driver->WaitUntilInside();
  if (c.removeInsteadOfClose) {
    ASSERT_TRUE(backend_.RemoveDevice(name));
  } else {
    device.Close();
  }
  reader.join();

  EXPECT_FALSE(success);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(device.Read(4, 0).success, false);
  device.Close();
  EXPECT_EQ(backend_.OpenHandles(name), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, DriverMidCallTest,
    ::testing::Values(MidCallCase{"RemovedDuringRead", true, 0, driver_error::kDeviceNotConnected},
                      MidCallCase{"RemovedDuringRequest", true, 1, driver_error::kDeviceNotConnected},
                      MidCallCase{"RemovedDuringWrite", true, 2, driver_error::kDeviceNotConnected},
                      MidCallCase{"ClosedDuringRead", false, 0, driver_error::kInvalidHandle},
                      MidCallCase{"ClosedDuringRequest", false, 1, driver_error::kInvalidHandle}),
    [](const ::testing::TestParamInfo<MidCallCase>& info) { return std::string(info.param.name); });

// A reader thread reads everything back while the UI thread writes and sends requests.
TEST_F(DriverDeviceTest, ReaderThreadAndUiThreadShareTheDevice) {
  const std::string name = Kx7DriverDeviceName(0);
  ASSERT_TRUE(backend_.AddDevice(name, std::make_shared<LoopbackDriver>(7)));
  DriverDevice device;
  ASSERT_TRUE(device.Open(name));

  constexpr std::size_t kTotal = 20000;
  Bytes sent(kTotal);
  for (std::size_t i = 0; i < kTotal; ++i) sent[i] = static_cast<std::uint8_t>(i * 31 + 7);

  Bytes received;
  bool readFailed = false;
  std::thread reader([&] {
    while (received.size() < kTotal) {
      const DriverResult r = device.Read(64, 1000);
      if (!r.success) {
        readFailed = true;
        return;
      }
      received.insert(received.end(), r.bytes.begin(), r.bytes.end());
    }
  });

  std::size_t position = 0;
  int requests = 0;
  while (position < kTotal) {
    const std::size_t piece = std::min<std::size_t>(13, kTotal - position);
    const DriverWriteResult w = device.Write(std::span(sent).subspan(position, piece));
    if (!w.success) {
      ADD_FAILURE() << "write failed at " << position;
      device.Close();  // ends the reader's wait
      break;
    }
    position += w.written;
    if (device.Request(LoopbackDriver::kQueued, {}, 2).ByteCount() == 2) ++requests;
  }
  reader.join();

  EXPECT_FALSE(readFailed);
  EXPECT_EQ(received, sent);
  EXPECT_GT(requests, 0);
  device.Close();
}

}  // namespace
}  // namespace kx7
