// The controller links through the maker's touch drivers: the serial controller behind the
// Rivetware driver (link 257, "\\.\KxsTch%d" driven with its read and write requests), the
// controller behind the KX7 driver (258, "\\.\RvTouchDevice%d" read and written as a file), the
// USB controller behind the RVUSB driver (259, the named requests on "\\.\KxsTch%d") and behind
// the KXUSB driver (261, USB vendor requests written to and read from "\\.\RvTouchDevice%d").
//
// One object lives as long as the frame. It holds the two device handles, the driver port table,
// the KX7 controller list and the one reader of the open link. The reader either runs on a thread
// of its own (the program) or one pass at a time through PollOnce on the user-interface thread
// (tests on virtual time, through VirtualTimeLoop::SetIdleWork). Readers only hand bytes and
// packets to the frame; everything else runs on the user-interface thread.
//
// A device that goes away mid-request fails that request; the link is then closed (on the
// user-interface thread at once, from a reader thread by the frame's close request) and the
// program goes on without it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "link/driver/driver_requests.h"
#include "platform/driver_device.h"
#include "platform/event.h"
#include "platform/registry_store.h"

namespace kx7 {

class CMainFrame;

class DriverLink {
 public:
  enum class Readers { kThreads, kPolled };

  DriverLink(CMainFrame& frame, RegistryStore& registry, Readers readers = Readers::kThreads);
  ~DriverLink();
  DriverLink(const DriverLink&) = delete;
  DriverLink& operator=(const DriverLink&) = delete;

  // --- Opening and closing ------------------------------------------------------------------
  // Each sets LinkKind on success; -1 lets the user choose when there are several devices.
  bool OpenRivetwareSerial(int index = -1);  // 257
  bool OpenRivetwareUsb(int index = -1);     // 259
  bool OpenKx7(int number);                  // 258, the KX7 controller of that number
  bool OpenKxUsb(int number);                // 261
  // The HID controller of link 262 reached through the KX7 driver: the device taken with
  // 0x1AA030 for the HID link's requests (its reader is the HID link's).
  bool OpenKxHidDevice(int number);
  // Find Controller's direct connect: KXUSB device 0 as a Birch USB controller (type 32865,
  // features 0x10); "Couldn't connect" when it does not open.
  bool ConnectBirchUsbDirect();
  // What the frame's closeUsbLink does for these kinds (other kinds are left alone).
  void Close(int linkKind);
  // A driver device is open.
  bool DeviceOpen() const;

  // --- Requests -----------------------------------------------------------------------------
  // `DriverRequest`: logged as its name, then "OK" or "ERR: %X %s" (GENERIC not logged); on
  // links 261 and 262 translated into a USB vendor request on the KX7 device, otherwise a device
  // request on the "\\.\KxsTch%d" handle. HARD_RESET and the reboots follow the device-change
  // rule when the frame is registered for device notices.
  DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity);
  // A raw USB request on the KX7 device: the 8-byte setup record and the data after it; an IN
  // request reads its answer with up to `tries` reads 10 ms apart. Not logged. User-interface
  // thread: on links other than 262 a vanished device closes the link.
  DriverResult UsbRequest(std::span<const std::uint8_t> setupAndData, std::size_t outputCapacity,
                          int tries = driver::kAnswerReadTries);
  DriverResult UsbRequest(const driver::UsbSetup& setup, std::span<const std::uint8_t> data, std::size_t outputCapacity,
                          int tries = driver::kAnswerReadTries);
  // The same for another thread (the HID link's reader): a vanished device only fails the
  // request; the caller notices and closes its link.
  DriverResult UsbTransfer(std::span<const std::uint8_t> setupAndData, std::size_t outputCapacity,
                           int tries = driver::kAnswerReadTries);

  // --- The KX7 controller list ---------------------------------------------------------------
  // The number of controllers, -1 when the user cancelled the pick, 0 without a KX7 device. The
  // chosen controller's type name sets ControllerType.
  int ListKx7Controllers();
  const std::vector<driver::Kx7Controller>& Kx7Controllers() const { return kx7Controllers_; }
  // The chosen controller, or null.
  const driver::Kx7Controller* ChosenKx7Controller() const;
  std::uint32_t ChosenKx7Type() const;

  // --- Byte stream and pass-through ------------------------------------------------------------
  // The channel's driverWrite: link 257 through its write request, 258 as a file write.
  void WriteBytes(const std::uint8_t* bytes, std::size_t count);
  // The channel's driverPassThroughSend: GENERIC {0x40, 0x15, 0x0B, 0, length} in 64-byte pieces.
  void PassThroughSend(const std::uint8_t* bytes, std::size_t count);
  // GENERIC {0x40, 0x15, 8 ('D') / 9 ('L') / 10, 0, 0}.
  bool EnterPassThrough(char target);
  void ExitPassThrough();

  // One pass of the open link's reader (polled readers): true when it did something.
  bool PollOnce();
  bool ReaderRunning() const { return running_.load(); }

  // --- Blocks --------------------------------------------------------------------------------
  // The channel's linkReadBlock / linkWriteBlock on the USB driver links: blocks 1 to 6 by the
  // driver requests; false on any failure (the channel shows "Block Read Failed" / "Write
  // Failed").
  bool ReadBlock(int number, std::vector<std::uint8_t>& block);
  bool WriteBlock(int number, const std::vector<std::uint8_t>& block);
  // The status letter GET_VERSION gave for the block read last (0 when none).
  char LastBlockStatus() const { return lastBlockStatus_; }

  // --- Settings of the driver ------------------------------------------------------------------
  // Writes "Baudrate" under the port's subkey (unless SkipDriverSetup forbids it) and makes the
  // driver read it again, closing and reopening the link. False when the link did not come back.
  bool ChangeBaudRate(std::uint32_t baud);
  // The Type menu on the USB driver links: finger flag, then pen flag, each followed by GET_STATUS
  // polled until it succeeds.
  void SetPenMode(std::uint32_t penMode);

  // --- What the opens found --------------------------------------------------------------------
  const std::vector<std::string>& PortTable() const { return portTable_; }
  int ChosenPort() const { return chosenPort_; }
  bool NewerUsbDriver() const { return newerUsbDriver_; }
  bool MultiReportMode() const { return multiReportMode_; }
  // "USB%08x" with the serial number the RVUSB open read.
  const std::string& UsbDeviceText() const { return usbDeviceText_; }

 private:
  enum class Kind { kNone, kRivetwareSerial, kKx7File, kRivetwareUsb, kKxUsb, kKxHid };

  DriverResult DeviceRequest(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity,
                             bool log);
  DriverResult TranslatedRequest(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity,
                                 bool log);
  DriverResult UsbExchange(const std::vector<std::uint8_t>& written, const driver::UsbRequest& request, int tries,
                           bool log);
  bool UsesTranslation() const;
  static bool IsRestart(std::uint32_t code);
  static bool IsGone(std::uint32_t error);
  void Log(const std::string& text);
  // A device vanished under a request on the user-interface thread: close the link now.
  void LinkLost();

  void FillRivetwareSerialPorts();
  bool FillRivetwareUsbPorts(int index, int& chosen);
  void DisableOtherDevices(bool disable);
  bool RegisterClient();
  void Purge();
  bool TakeDevice(std::uint32_t flag);

  void StartReader(Kind kind);
  void StopReader();
  void ReaderThread();
  bool ReaderPass(bool polled);
  bool PassRivetwareSerial(bool polled);
  bool PassKx7File(bool polled);
  bool PassUsbStream(bool polled);
  // Bytes or a packet to the frame; a polled reader keeps what the frame could not take yet.
  bool Deliver(const std::vector<std::uint8_t>& bytes, bool packet, bool polled);
  void ReaderLostDevice();

  bool PollStatus(int gapMs);
  bool ReadStatusLetter(int number);

  CMainFrame& frame_;
  RegistryStore& registry_;
  const Readers readers_;

  DriverDevice rivetware_;               // links 257 and 259
  DriverDevice kx7_;                     // links 258, 261 and 262
  std::atomic<Kind> kind_{Kind::kNone};  // read by link 262's raw requests from the HID reader
  int openIndex_ = -1;

  std::vector<std::string> portTable_;
  std::vector<int> portDevices_;  // the device number of each table entry
  int chosenPort_ = -1;
  std::vector<int> disabledDevices_;
  bool newerUsbDriver_ = false;
  bool multiReportMode_ = false;
  std::string usbDeviceText_;

  std::vector<driver::Kx7Controller> kx7Controllers_;
  int chosenController_ = -1;

  // The reader of the open link.
  Kind readerKind_ = Kind::kNone;
  std::thread reader_;
  Event stop_;
  Event readerStarted_;
  std::atomic<bool> running_{false};
  std::atomic<bool> active_{false};
  std::atomic<bool> lostPosted_{false};
  std::timed_mutex streamMutex_;   // 258: a read or a write at a time
  std::timed_mutex requestMutex_;  // 261 and 262: one USB exchange at a time
  // Polled readers: a block the frame had not taken yet, and the RVUSB reader's pause.
  std::optional<std::pair<std::vector<std::uint8_t>, bool>> pending_;
  std::uint64_t nextUsbPollAt_ = 0;

  bool closing_ = false;
  char lastBlockStatus_ = 0;
};

}  // namespace kx7
