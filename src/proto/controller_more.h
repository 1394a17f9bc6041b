// "More..." of the Controller Info window: fills its Errors line with what the controller keeps
// beyond the identity. The Larch USB controller (32881) lists the numbers of the error bits of
// its extended status; the Birch family (feature 0x10) shows four of the status words of RAM
// memory 10 at 4230. Other controllers show nothing more. A failed read leaves the line as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kx7 {

class CMainFrame;
class ControllerInfoWindow;
class MemoryExchange;
class UsbLinks;

// The numbers of the set error bits, each as "%d ": bits 1 to 7 of status byte 5 as 1 to 7, bits
// 0 to 7 of status byte 3 as 8 to 15. Nothing when the status is too short to hold byte 5.
std::optional<std::string> LarchErrorBitsText(std::span<const std::uint8_t> status);
// "Sui=%d Wdog=%d Dpar= %d Ppar= %d" of bytes 1, 3, 7 and 9 of the ten status bytes (the low
// bytes of the big-endian words 0, 1, 3 and 4). Nothing when fewer than ten bytes are given.
std::optional<std::string> BirchStatusWordsText(std::span<const std::uint8_t> bytes);

// The extended status of the Larch USB controller: GET_MSTATUS through the driver on the USB
// driver links and link 262, the HID status report on the HID link.
std::optional<std::vector<std::uint8_t>> ReadLarchExtendedStatus(CMainFrame& frame, UsbLinks* usb);
// The ten bytes of memory 10 from 4230: one byte read on the driver and Birch2 HID routes, five
// words over the command set (each word big-endian in the bytes).
std::optional<std::vector<std::uint8_t>> ReadBirchStatusWords(MemoryExchange& memory);

// The handler to install as the window's onMore.
void RunControllerMore(CMainFrame& frame, ControllerInfoWindow& info, MemoryExchange& memory, UsbLinks* usb);

}  // namespace kx7
