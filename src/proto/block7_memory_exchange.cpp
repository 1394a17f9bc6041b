#include "proto/block7_memory_exchange.h"

#include <cstdio>
#include <vector>

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "frame/messages.h"
#include "link/driver/driver_constants.h"
#include "platform/window_messages.h"
#include "proto/proto_constants.h"

namespace kx7 {

namespace {

MemoryExchange::Variant SheetVariant(WindowId window) {
  MemoryExchange::Variant variant;
  variant.slot = memory::kBlock7Slot;
  variant.listener = window;
  variant.timerWindow = window;
  variant.timerId = memory::kBlock7TimerId;
  variant.readMaximum = memory::kMaxReadBytes;
  variant.installInFrame = false;
  // The sheet chooses between the command set and the link routes by its own rule.
  variant.commandSetOnly = true;
  return variant;
}

}  // namespace

Block7MemoryExchange::Block7MemoryExchange(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb)
    : Window(frame.Loop()), frame_(frame), exchange_(frame, channel, usb, SheetVariant(Id())) {}

Block7MemoryExchange::~Block7MemoryExchange() = default;

bool Block7MemoryExchange::UsesLinkRoute(int linkKind, std::uint32_t type, std::uint32_t features) {
  if (!IsUsbLink(linkKind)) return false;
  return !IsDriverPassThroughBirchUsb(type, features);
}

std::optional<std::uint32_t> Block7MemoryExchange::LinearOffset(std::uint32_t address) {
  if (address <= memory::kBlock7LowLast) return address;
  if (address >= memory::kBlock7MiddleFirst && address <= memory::kBlock7MiddleLast)
    return address - memory::kBlock7MiddleShift;
  if (address >= memory::kBlock7HighFirst && address <= memory::kBlock7HighLast)
    return address - memory::kBlock7HighShift;
  return std::nullopt;
}

LResult Block7MemoryExchange::OnMessage(MessageId message, WParam wParam, LParam) {
  if (message == msg::kListenerByte) {
    exchange_.OnByte(static_cast<std::uint8_t>(wParam));
  } else if (message == wm::kTimer && wParam == memory::kBlock7TimerId) {
    // A controller that stopped answering: the run fails instead of waiting for ever.
    frame_.ClearListener(memory::kBlock7Slot);
    KillTimer(memory::kBlock7TimerId);
  }
  return 0;
}

void Block7MemoryExchange::Progress(std::size_t values, bool write) {
  if (values > 1 && showProgress) showProgress(write ? text::kPokeing : text::kPeeking);
}

void Block7MemoryExchange::EndProgress(std::size_t values) {
  if (values > 1 && closeProgress) closeProgress();
}

Block7MemoryExchange::Outcome Block7MemoryExchange::Read(std::span<Entry> entries) {
  return UsesLinkRoute(frame_.LinkKind, frame_.ControllerType, frame_.ControllerFeatures)
             ? LinkPieces(entries, false)
             : CommandSetRuns(entries, false);
}

Block7MemoryExchange::Outcome Block7MemoryExchange::Write(std::span<Entry> entries) {
  return UsesLinkRoute(frame_.LinkKind, frame_.ControllerType, frame_.ControllerFeatures)
             ? LinkPieces(entries, true)
             : CommandSetRuns(entries, true);
}

Block7MemoryExchange::Outcome Block7MemoryExchange::CommandSetRuns(std::span<Entry> entries, bool write) {
  Progress(entries.size(), write);
  Outcome outcome = Outcome::kDone;
  std::vector<std::uint8_t> values;
  for (std::size_t first = 0; first < entries.size();) {
    // A run ends where the next entry's address is not the next address.
    std::size_t length = 1;
    while (first + length < entries.size() &&
           entries[first + length].address == entries[first + length - 1].address + 1)
      ++length;
    values.assign(length, 0);
    if (write)
      for (std::size_t i = 0; i < length; ++i) values[i] = entries[first + i].value;
    const bool ok = write ? exchange_.WriteMemory(memory::kBlock7Memory, entries[first].address, length, values.data())
                          : exchange_.ReadMemory(memory::kBlock7Memory, entries[first].address, length, values.data());
    if (!ok) {
      outcome = Outcome::kFailed;
      break;
    }
    for (std::size_t i = 0; i < length; ++i) {
      if (!write) entries[first + i].value = values[i];
      entries[first + i].pending = false;
    }
    first += length;
  }
  EndProgress(entries.size());
  return outcome;
}

Block7MemoryExchange::Outcome Block7MemoryExchange::LinkPieces(std::span<Entry> entries, bool write) {
  const MemoryExchange::Route route =
      frame_.ControllerType == type::kBirch2Hid ? MemoryExchange::Route::kBirch2Hid : MemoryExchange::Route::kDriver;
  std::vector<std::uint8_t> bytes;
  for (std::size_t first = 0; first < entries.size();) {
    const std::optional<std::uint32_t> offset = LinearOffset(entries[first].address);
    if (!offset) {
      // Not reached by these routes.
      if (!write) entries[first].value = memory::kUntransferredValue;
      entries[first].pending = false;
      ++first;
      continue;
    }
    std::size_t length = 1;
    while (first + length < entries.size() && length < driver::kMaxMemoryCount) {
      const std::optional<std::uint32_t> next = LinearOffset(entries[first + length].address);
      if (!next || *next != *offset + length) break;
      ++length;
    }
    if (write) {
      bytes.clear();
      for (std::size_t i = 0; i < length; ++i) bytes.push_back(entries[first + i].value);
      if (!exchange_.WritePiece(route, memory::kBlock7Memory, *offset, bytes)) {
        ShowMessage(frame_.Ui(), text::kErrorPokePackedFrame);
        return Outcome::kCloseSheet;
      }
    } else {
      const MemoryExchange::PieceResult piece = exchange_.ReadPiece(route, memory::kBlock7Memory, *offset, length);
      if (!piece.ok) {
        char text[96];
        std::snprintf(text, sizeof text, text::kErrorPeekFrame, static_cast<unsigned>(first),
                      static_cast<unsigned>(entries[first].address), piece.result, static_cast<int>(piece.bytes.size()),
                      static_cast<int>(length));
        ShowMessage(frame_.Ui(), text);
        return Outcome::kCloseSheet;
      }
      for (std::size_t i = 0; i < length; ++i) entries[first + i].value = piece.bytes[i];
    }
    for (std::size_t i = 0; i < length; ++i) entries[first + i].pending = false;
    first += length;
  }
  return Outcome::kDone;
}

}  // namespace kx7
