// The Rivetware USB driver's device "\\.\KxsTch<i>" (RVUSB) with a Birch USB controller behind it.
//
// The driver answers WHO_ARE_YOU (2) and IS_TOPAZ_DRIVER itself, keeps the system pointer's hold
// on the controller (MOUSE_ENABLE / MOUSE_DISABLE), and turns every other named request into the
// controller's vendor request, reshaping the answer into the record the request returns:
//
//   GET_VERSION 26 bytes: bytes 0..7 the four version numbers, 10..11 the type letters (11 the
//     first), 12 the resistive flag, 18..19 the largest parameter write (0xFFFF on Birch USB),
//     20..24 the status letters of blocks 1 to 5; GET_STATUS 20 and GET_MVERSION 40 bytes: the
//     controller's answer, zero-filled; GET_MSTATUS 24 or 28 bytes as asked.
//   READ_CONTROLLER_NOVRAM / READ_CABLE_NOVRAM {block, 0, length} (16-bit each): the block;
//     READ_STRAYS (no input, or the same record): the 32 stray bytes; the writes take the same
//     6 bytes and the data, WRITE_STRAYS 4 bytes (block, length) and the 32 stray bytes.
//   READ_SERIAL_NUMBER / READ_MSERIAL_NUMBER 4 bytes, WRITE_SERIAL_NUMBER the number, least
//     significant byte first; EEPROM_READ / EEPROM_WRITE {memory code u8, 0, address u16, count
//     u16} with count <= 64 (and the data); the code is the USB drivers' (see
//     birch_usb_controller.h), 6 also block 6.
//   SET_PEN_ACTIVE / SET_FINGER_ACTIVE 1 byte; START_CALIBRATE the kind (16-bit); ASYNC_SET_REPORT_
//     ACTIVE {report, mode}; RESTORE_DEFAULTS; RESTORE_MDEFAULTS {area, block}; the resets and
//     reboots (accepted and recorded by the controller; the device stays registered unless a
//     replugger, usb_replugger.h, takes it away for the drop-off); UPDATE_PARAM.
//   GENERIC: the caller's own setup record and data; an IN answer is cut to the room given.
//
// A request it does not carry fails with kInvalidFunction (the download requests among them), an
// input too short or too long for its request with kInvalidParameter, room too small for the
// record with kInsufficientBuffer, and a request the controller refuses with kGeneralFailure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "birch_usb_controller.h"
#include "driver_rivetware_device.h"

namespace kx7::emu {

struct RivetwareUsbOptions {
  bool newerDriver = true;  // IS_TOPAZ_DRIVER answers 100
};

class RivetwareUsbDriver : public RivetwareDriverDevice {
 public:
  explicit RivetwareUsbDriver(std::shared_ptr<BirchUsbController> controller, RivetwareUsbOptions options = {});

  kx7::DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity) override;

  BirchUsbController& Controller() const { return *controller_; }
  // False after MOUSE_DISABLE until MOUSE_ENABLE.
  bool MouseEnabled() const;

 private:
  kx7::DriverResult Vendor(const UsbSetupRecord& setup, std::span<const std::uint8_t> data);
  kx7::DriverResult VersionRecord();

  const std::shared_ptr<BirchUsbController> controller_;
  const RivetwareUsbOptions options_;
  mutable std::mutex mutex_;
  bool mouseEnabled_ = true;
};

}  // namespace kx7::emu
