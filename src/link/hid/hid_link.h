// The HID link (links 260 and 262): finds the controllers among the HID devices, locks the one it
// opens against a second copy of the program, sends every command as a feature report and fetches
// every answer as one, and runs the reader that polls the touch reports and hands them to the
// frame. Requests come from the user-interface thread; the reader is a thread of its own (or, in
// virtual-time tests, passes the test runs on the loop), and the request mutex keeps the two apart.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/hid/hid_reader.h"
#include "platform/event.h"
#include "platform/hid_device.h"
#include "platform/system_lock.h"

namespace kx7 {

class CMainFrame;

struct HidCandidate {
  std::uint32_t type = 0;
  int interfaceNumber = -1;
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::string path;
  HidDeviceInfo info;
};

class HidLink {
 public:
  explicit HidLink(CMainFrame& frame);
  ~HidLink();
  HidLink(const HidLink&) = delete;
  HidLink& operator=(const HidLink&) = delete;

  // The devices come from this backend (the process's default unless set).
  void SetBackend(HidBackend* backend) { backend_ = backend; }
  // Where the device locks live (empty: the system's default folder).
  void SetLockDirectory(std::string directory) { lockDirectory_ = std::move(directory); }
  // Without a thread, the reader runs only when PollOnce is called (virtual-time tests).
  void SetReaderThread(bool thread) { readerThread_ = thread; }

  // --- Finding and opening ---------------------------------------------------------------
  // The candidates; 0 with fewer than two, -1 when the pick was cancelled or fell on a locked
  // controller; otherwise the chosen one is open and the count returned.
  int CountHidControllers();
  const std::vector<HidCandidate>& Candidates() const { return candidates_; }
  bool OpenHidByIds(std::uint16_t vendor, std::uint16_t product);
  bool OpenHidByIndex(int index);  // into Candidates()
  // A touch device of the system's touch input (any product of the vendor when `product` is 0):
  // opened for its identity only, without the reader.
  bool OpenTouchInput(std::uint16_t vendor, std::uint16_t product);
  // Link 262: the reports go as USB class requests on the KX7 device through `transport`.
  bool OpenHidThroughKx7(std::uint32_t type, std::unique_ptr<HidHandle> transport);
  void CloseHid();
  bool IsOpen() const;
  std::uint16_t Vendor() const { return vendor_; }
  std::uint16_t Product() const { return product_; }
  const std::string& Path() const { return path_; }
  // False once the open device has gone away (or is no longer listed on the bus).
  bool DevicePresent() const;

  // --- Requests --------------------------------------------------------------------------
  bool HidSetFeature(const HidReport& report, std::uint32_t flags = 0);
  std::optional<HidReport> HidGetFeature(std::uint8_t reportId, std::size_t length, std::uint32_t flags = 0);
  // The last fetched answer (at most 1024 bytes).
  const HidReport& Answer() const { return answer_; }
  // Ends a sequence that kept the request mutex.
  void ReleaseRequestMutex();

  bool HidReadBlock(int block, std::vector<std::uint8_t>& data);
  bool HidWriteBlock(int block, const std::vector<std::uint8_t>& data);
  char LastBlockStatus() const { return lastBlockStatus_; }

  // The asynchronous mode command (ASYNC_ENABLE); modes 4 and 12 switch raw polling on.
  bool SetAsyncMode(std::uint8_t mode, std::uint32_t flags = 0);
  // The Birch2 HID asynchronous reports (its ASYNC_ENABLE with `mode`); on polls its stream.
  bool SetBirch2Stream(std::uint8_t mode, std::uint8_t subMode);
  bool EnterPassThrough(char target);
  void ExitPassThrough();
  void SendPassThrough(const std::uint8_t* bytes, std::size_t count);
  void SendByte(std::uint8_t byte);
  // Commands 33159/33160: switch, close, search again.
  void SwitchMode(bool hidMode);
  std::optional<std::string> HidSerialNumber();
  // The device's product string (from the device, or as it was listed).
  std::optional<std::string> ProductString();

  // Publishes the frame's state the reader works from (called before each request and by the
  // frame's HID polling timer).
  void RefreshReaderState();
  // One pass of the reader; true when it handed something to the frame.
  bool PollOnce();

  static constexpr std::size_t kMaxCandidates = 32;
  static constexpr std::size_t kMaxAnswer = 1024;
  static constexpr std::size_t kMaxSerialText = 500;

 private:
  bool OpenInfo(const HidDeviceInfo& info, int index);
  bool Attach(std::unique_ptr<HidHandle> handle, int linkKind);
  bool TakeRequestMutex(std::uint32_t waitMs);
  void EndRequest(std::uint32_t flags);
  void StartReader();
  void StopReader();
  void ReaderLoop();
  bool ReaderPass(bool onLoop);
  hid::ReaderState State() const;
  void Log(const std::string& text);
  bool PollWriteStatus();
  HidBackend& Backend() const;

  CMainFrame& frame_;
  HidBackend* backend_ = nullptr;
  std::string lockDirectory_;
  bool readerThread_ = true;

  std::vector<HidCandidate> candidates_;
  SystemLock lock_;
  std::shared_ptr<HidHandle> handle_;
  std::string path_;
  std::uint16_t vendor_ = 0;
  std::uint16_t product_ = 0;
  std::size_t inputLength_ = 0;
  std::string listedProduct_;
  HidReport answer_;
  char lastBlockStatus_ = 0;

  std::timed_mutex requestMutex_;
  bool kept_ = false;  // the user-interface thread holds the request mutex between requests

  std::thread reader_;
  std::atomic<bool> run_{false};
  Event stop_;
  std::atomic<bool> vanished_{false};
  HidReport lastRaw_;  // the reader's last raw delivery
  bool lastRawWasHexDump_ = false;

  // The reader's copy of the frame's state.
  std::atomic<std::uint32_t> type_{0};
  std::atomic<std::uint32_t> features_{0};
  std::atomic<int> multiTouchMode_{0};
  std::atomic<bool> passThrough_{false};
  std::atomic<bool> raw_{false};
  std::atomic<bool> birch2Stream_{false};
  std::atomic<bool> hexDump_{false};
  std::atomic<bool> kxHid_{false};
};

}  // namespace kx7
