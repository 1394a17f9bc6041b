// What the HID reader polls and what it makes of a report, without a device: the choice of the
// report by controller type and mode, and the conversion of the fetched report into bytes for the
// byte stream or a packet for the record listeners.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/frame_delivery.h"
#include "link/hid/hid_constants.h"

namespace kx7::hid {

// The program's state that the reader's choices depend on, as the user-interface thread last
// published it.
struct ReaderState {
  std::uint32_t type = 0;
  std::uint32_t features = 0;
  int multiTouchMode = 0;
  bool passThrough = false;
  bool raw = false;           // asynchronous modes 4 and 12
  bool birch2Stream = false;  // the Birch2 HID asynchronous reports are on
  bool hexDump = false;       // the terminal shows the hex dump: raw reports, no conversion
  bool kxHid = false;         // link 262: the reports come through the KX7 driver
  std::size_t inputReportLength = 0;
};

struct PollChoice {
  std::uint8_t id = 0;
  std::size_t length = 0;
  bool operator==(const PollChoice&) const = default;
};

// The report to poll next.
PollChoice ChoosePollReport(const ReaderState& state);
// What the Birch2 HID reader tries when its stream report fails.
PollChoice Birch2Fallback();

struct ReaderOutput {
  DeliveryKind kind = DeliveryKind::kBytes;
  std::vector<std::uint8_t> bytes;  // empty: nothing to deliver
};

// The conversion of one fetched report (byte 0 its id). Never reads past `report`.
ReaderOutput ConvertReport(const ReaderState& state, std::span<const std::uint8_t> report);

// True when a multi-contact report shows a contact: its count byte is not 0, or a contact slot of
// the layout the features choose is valid.
bool ShowsContact(std::uint32_t features, std::span<const std::uint8_t> report);

// 0x80 (| 0x40 while touching), then X and Y (14-bit), 7 bits a byte, low half first.
std::array<std::uint8_t, touch::kTabletPacketBytes> TabletPacket(bool touching, std::uint16_t x14, std::uint16_t y14);

}  // namespace kx7::hid
