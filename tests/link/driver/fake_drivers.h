// Small drivers for the driver-link tests: a Rivetware device ("\\.\KxsTch%d") that answers its
// requests from a table, and a KX7 device ("\\.\RvTouchDevice%d") read and written as a file,
// which on the USB link answers the vendor requests through a function of the test. Both record
// what they were asked, and a test can hook a request to pull the device away mid-call.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame/main_frame.h"
#include "link/driver/driver_constants.h"
#include "link/driver/driver_requests.h"
#include "platform/driver_device.h"
#include "platform/window.h"

namespace kx7::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Le32(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// A record of `size` bytes holding `value` as its first 32-bit value.
inline Bytes FirstValue(std::uint32_t value, std::size_t size) {
  Bytes bytes(size, 0);
  const Bytes head = Le32(value);
  std::copy(head.begin(), head.end(), bytes.begin());
  return bytes;
}

// The answer of the readers' stream request: kind, count, data.
inline Bytes StreamAnswer(std::uint8_t kind, const std::string& data) {
  Bytes bytes{kind, static_cast<std::uint8_t>(data.size())};
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

inline bool IsStreamRequest(const driver::UsbSetup& setup) {
  return setup.IsIn() && setup.request == driver::kVendorPassThrough && setup.value == driver::kPassThroughData;
}

class FakeRivetware : public SimulatedDriver {
 public:
  DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t) override {
    std::function<void(std::uint32_t)> hook;
    {
      std::lock_guard lock(mutex);
      codes.push_back(code);
      hook = onRequest;
    }
    if (hook) hook(code);
    std::lock_guard lock(mutex);
    if (auto fail = failFirst.find(code); fail != failFirst.end() && fail->second > 0) {
      --fail->second;
      return DriverResult::Failed(driver_error::kGeneralFailure);
    }
    switch (code) {
      case driver::kReadBytes: {
        if (reads.empty()) return DriverResult::Ok();
        Bytes front = reads.front();
        reads.pop_front();
        return DriverResult::Ok(front);
      }
      case driver::kWriteBytes:
        written.emplace_back(input.begin(), input.end());
        return DriverResult::Ok();
      case driver::kGeneric: {
        generic.emplace_back(input.begin(), input.end());
        const auto setup = driver::DecodeSetup(input);
        if (setup && IsStreamRequest(*setup)) {
          if (stream.empty()) return DriverResult::Ok(Bytes{driver::kStreamNothing, 0});
          Bytes front = stream.front();
          stream.pop_front();
          return DriverResult::Ok(front);
        }
        break;
      }
      default:
        break;
    }
    if (auto answer = answers.find(code); answer != answers.end()) return answer->second;
    return DriverResult::Ok();
  }

  // The codes asked so far, without the readers' polls.
  std::vector<std::uint32_t> Codes() {
    std::lock_guard lock(mutex);
    std::vector<std::uint32_t> asked;
    for (std::uint32_t code : codes)
      if (code != driver::kReadBytes && code != driver::kGeneric) asked.push_back(code);
    return asked;
  }
  int Count(std::uint32_t code) {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
  }

  std::mutex mutex;
  std::vector<std::uint32_t> codes;
  std::map<std::uint32_t, DriverResult> answers;  // a code missing here succeeds with nothing
  std::map<std::uint32_t, int> failFirst;         // fails that many times before answering
  std::deque<Bytes> reads;                        // the controller's bytes for 0x1A208C
  std::deque<Bytes> stream;                       // answers of the stream request
  std::vector<Bytes> written;                     // what 0x1A2094 took
  std::vector<Bytes> generic;                     // every GENERIC input
  std::function<void(std::uint32_t)> onRequest;
};

class FakeKx7 : public SimulatedDriver {
 public:
  DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t) override {
    std::lock_guard lock(mutex);
    codes.push_back(code);
    const std::uint32_t value =
        input.size() >= 4 ? input[0] | (input[1] << 8) | (input[2] << 16) | (input[3] << 24) : 0;
    switch (code) {
      case driver::kListControllers:
        if (listRecord.empty()) return DriverResult::Failed(driver_error::kInvalidFunction);
        return DriverResult::Ok(listRecord);
      case driver::kControllerRecord:
      case driver::kPortRecord: {
        const auto found = records.find(value);
        if (found == records.end()) return DriverResult::Failed(driver_error::kInvalidParameter);
        return DriverResult::Ok(code == driver::kControllerRecord ? found->second.first : found->second.second);
      }
      case driver::kTakeDevice:
        takeFlags.push_back(value);
        return DriverResult::Ok(Bytes(4, 0));
      default:
        return DriverResult::Failed(driver_error::kInvalidFunction);
    }
  }

  DriverResult Read(std::size_t capacity, int) override {
    std::lock_guard lock(mutex);
    ++readCalls;
    if (reads.empty()) return DriverResult::Ok();
    Bytes front = reads.front();
    reads.pop_front();
    if (front.size() > capacity) front.resize(capacity);
    return DriverResult::Ok(front);
  }

  DriverWriteResult Write(std::span<const std::uint8_t> bytes) override {
    std::function<void()> hook;
    {
      std::lock_guard lock(mutex);
      hook = onWrite;
    }
    if (hook) hook();
    std::lock_guard lock(mutex);
    writes.emplace_back(bytes.begin(), bytes.end());
    if (refuseWrites > 0) {
      --refuseWrites;
      return DriverWriteResult::Failed(driver_error::kGeneralFailure);
    }
    if (usb) {
      const auto setup = driver::DecodeSetup(bytes);
      if (!setup) return DriverWriteResult::Failed(driver_error::kInvalidParameter);
      if (IsStreamRequest(*setup)) {
        if (stream.empty()) {
          reads.push_back(Bytes{driver::kStreamNothing, 0});
        } else {
          reads.push_back(stream.front());
          stream.pop_front();
        }
      } else {
        const auto answer = usb(*setup, bytes.subspan(driver::kSetupSize));
        if (setup->IsIn() && answer) reads.push_back(*answer);
      }
    }
    return DriverWriteResult::Ok(bytes.size());
  }

  // The setup records written, without the readers' polls.
  std::vector<driver::UsbSetup> Setups() {
    std::lock_guard lock(mutex);
    std::vector<driver::UsbSetup> setups;
    for (const Bytes& written : writes) {
      const auto setup = driver::DecodeSetup(written);
      if (setup && !IsStreamRequest(*setup)) setups.push_back(*setup);
    }
    return setups;
  }

  std::mutex mutex;
  std::vector<std::uint32_t> codes;
  std::vector<std::uint32_t> takeFlags;
  Bytes listRecord;
  std::map<std::uint32_t, std::pair<Bytes, Bytes>> records;
  std::deque<Bytes> reads;
  std::vector<Bytes> writes;
  int refuseWrites = 0;
  int readCalls = 0;
  std::deque<Bytes> stream;
  // The controller behind the USB link: the answer of a vendor request (nothing: no answer).
  std::function<std::optional<Bytes>(const driver::UsbSetup&, std::span<const std::uint8_t> data)> usb;
  std::function<void()> onWrite;
};

// A listener window that keeps every byte and record the frame hands it.
class ListenerWindow : public Window {
 public:
  using Window::Window;
  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override {
    if (message == msg::kListenerByte) bytes += static_cast<char>(wParam);
    if (message == msg::kListenerRecord) {
      const auto* data = reinterpret_cast<const std::uint8_t*>(lParam);
      records.emplace_back(data, data + wParam);
    }
    return 0;
  }
  std::string bytes;
  std::vector<Bytes> records;
};

// The terminal's echo, as text.
class EchoRecorder : public TerminalEcho {
 public:
  void EchoChar(char c) override { text += c; }
  std::string text;
};

}  // namespace kx7::testing
