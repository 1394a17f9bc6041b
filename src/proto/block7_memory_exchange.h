// The Birch2 Block7 sheet's own copy of the memory exchange: the sheet's parameter table is read
// or written in runs of consecutive entries of memory 7. Over the command set the copy listens in
// slot 9 (bytes arrive as 0x803D to this window), moves bytes only, at most 255 values a "QPE"
// and 63 a "QPO", and sends each entry's own address. On the USB links (unless the controller is
// a Birch USB one with the driver pass-through, feature 0x200) the entries go by the driver or
// Birch2 HID route in pieces of at most 64, their addresses turned into linear offsets.
//
// The sheet itself comes later; it hands its rows to Read and Write and closes when told so.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "platform/window.h"
#include "proto/memory_exchange.h"

namespace kx7 {

class Block7MemoryExchange : public Window {
 public:
  // What the exchange needs of an `EepEntry` row.
  struct Entry {
    std::uint32_t address = 0;
    std::uint8_t value = 0;
    bool pending = false;
  };
  enum class Outcome {
    kDone,
    kFailed,      // a command-set run failed (silent, as the command set fails)
    kCloseSheet,  // a driver or HID piece failed: shown, and the sheet closes
  };

  Block7MemoryExchange(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb);
  ~Block7MemoryExchange() override;

  // Both clear the pending flags of the entries moved.
  Outcome Read(std::span<Entry> entries);
  Outcome Write(std::span<Entry> entries);

  // The sheet uses the driver or HID route on this link and controller.
  static bool UsesLinkRoute(int linkKind, std::uint32_t type, std::uint32_t features);
  // An entry's address as a linear offset of the driver and HID routes; nothing for addresses
  // those routes do not reach.
  static std::optional<std::uint32_t> LinearOffset(std::uint32_t address);

  // "Please Wait" while more than one value moves ("PEEKing..." / "POKEing..."); the lead's
  // restart progress window is put here.
  std::function<void(const std::string& text)> showProgress;
  std::function<void()> closeProgress;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;

 private:
  Outcome CommandSetRuns(std::span<Entry> entries, bool write);
  Outcome LinkPieces(std::span<Entry> entries, bool write);
  void Progress(std::size_t values, bool write);
  void EndProgress(std::size_t values);

  CMainFrame& frame_;
  MemoryExchange exchange_;
};

}  // namespace kx7
