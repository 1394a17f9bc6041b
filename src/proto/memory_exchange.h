// Reading and writing the controller's numbered memories by address (peek and poke). Over the
// command set the exchange is line by line: "QPE" (read) or "QPO" (write), then the controller's
// prompt lines, each answered with one line (the memory's character, the address, the count and,
// for a write, the values), the data lines of a read, and a closing line. The received bytes come
// to the exchange by direct call while listener slot 3 is active; main-frame timer 1 guards it.
// On the USB driver links the memories move by EEPROM_READ / EEPROM_WRITE, on the Birch2 HID
// controller by SET_PARAM_INDEX + GET_PARAM / SET_PARAM, 64 bytes a request.
//
// One object lives with the main frame; it installs itself as the frame's slot-3 collector.
// Runs on the user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "frame/main_frame.h"

namespace kx7 {

class CommandChannel;
class UsbLinks;

class MemoryExchange : public ByteCollector {
 public:
  enum class Route { kCommandSet, kDriver, kBirch2Hid };

  // Where a copy of the exchange listens and what guards it. The frame's exchange: slot 3 with
  // bytes by direct call, main-frame timer 1, the request sizes of the controller type. The Block7
  // sheet's copy: its own slot and window (bytes as 0x803D) and its own timer, at most 255
  // values a read request.
  struct Variant {
    int slot = slot::kMemoryExchange;
    WindowId listener = kNoWindow;     // the window of the slot (none: called directly)
    WindowId timerWindow = kNoWindow;  // none: the frame
    std::uint32_t timerId = timer::kMemoryExchange;
    std::uint32_t readMaximum = 0;  // 0: by the controller type
    bool commandSetOnly = false;    // the caller has chosen the command set already
    bool installInFrame = true;
  };

  // `usb` may be null: the driver and HID routes then fail.
  MemoryExchange(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb);
  MemoryExchange(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb, const Variant& variant);
  ~MemoryExchange() override;
  MemoryExchange(const MemoryExchange&) = delete;
  MemoryExchange& operator=(const MemoryExchange&) = delete;

  // True when exactly `count` values arrived; they are copied to `bytes` (when given, `count`
  // entries) and stay in Values(). `notify`, with a non-zero `message`, is posted the message
  // (wParam = the address reached) after every command-set request and during large reads, once
  // at the end on the driver and HID routes.
  bool ReadMemory(int memory, std::uint32_t address, std::size_t count, std::uint8_t* bytes,
                  WindowId notify = kNoWindow, MessageId message = 0);
  bool ReadMemoryWords(int memory, std::uint32_t address, std::size_t count, std::uint16_t* words,
                       WindowId notify = kNoWindow, MessageId message = 0);
  // True when every value was written.
  bool WriteMemory(int memory, std::uint32_t address, std::size_t count, const std::uint8_t* bytes,
                   WindowId notify = kNoWindow, MessageId message = 0);
  // Always over the command set.
  bool WriteMemoryWords(int memory, std::uint32_t address, std::size_t count, const std::uint16_t* words,
                        WindowId notify = kNoWindow, MessageId message = 0);

  // The values of the last read or write (one per value; bytes in the low half).
  const std::vector<std::uint16_t>& Values() const { return values_; }
  // A command-set exchange is running (listener slot 3 is active).
  bool Running() const;

  // The route of ReadMemory, ReadMemoryWords and WriteMemory for this link and controller.
  static Route ChooseRoute(int linkKind, std::uint32_t type, std::uint32_t features, bool passThrough);
  Route CurrentRoute() const;

  // One piece (at most 64 bytes) over the driver or Birch2 HID route, as the Block7 sheet moves
  // its entries too. `memory` is 0 to 13; the route's code is taken from it.
  struct PieceResult {
    bool ok = false;
    int result = 0;                   // the request's result: 1 success, 0 failure
    std::vector<std::uint8_t> bytes;  // what came back (a read)
  };
  PieceResult ReadPiece(Route route, int memory, std::uint32_t address, std::size_t count);
  bool WritePiece(Route route, int memory, std::uint32_t address, std::span<const std::uint8_t> bytes);

  // ByteCollector: slot 3.
  void OnByte(std::uint8_t byte) override;

 private:
  // Both reads: true when exactly `count` values arrived (they are in values_).
  bool Read(bool words, int memory, std::uint32_t address, std::size_t count, WindowId notify, MessageId message);
  bool StartCommandSet(bool write, bool words, int memory, std::uint32_t address, std::size_t count, WindowId notify,
                       MessageId message);
  bool LinkRead(Route route, int memory, std::uint32_t address, std::size_t count, WindowId notify, MessageId message);
  bool LinkWrite(Route route, int memory, std::uint32_t address, std::size_t count, WindowId notify, MessageId message);
  void OnLine();
  bool OnDataLine();
  void BeginRequest();
  void SendText(const std::string& text);
  void Notify();
  void End();
  void StartGuard();
  void StopGuard();
  std::uint32_t ReadMaximum() const;

  CMainFrame& frame_;
  CommandChannel& channel_;
  UsbLinks* usb_;
  Variant variant_;

  int line_ = 0;
  int memory_ = 0;
  std::uint32_t address_ = 0;
  std::size_t next_ = 0;       // the next value to write
  std::size_t remaining_ = 0;  // values still to move
  std::size_t count_ = 0;      // values of this read or write
  std::uint32_t request_ = 0;  // values of the request in progress
  std::uint32_t requestLeft_ = 0;
  std::uint32_t requestMax_ = 0;
  bool words_ = false;
  bool write_ = false;
  bool failed_ = false;
  bool completed_ = false;
  WindowId notify_ = kNoWindow;
  MessageId message_ = 0;
  std::vector<std::uint16_t> values_;
  std::string lineBuffer_;
};

}  // namespace kx7
