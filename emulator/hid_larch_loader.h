// The Larch USB controller's boot loader, as its HID reports show it. A ROM reboot starts it (the
// controller then names itself with the second type letter "0" and gives the page size over 256
// in byte 21 of its 24-byte controller-ID record); an EEPROM reboot starts the firmware again.
//
//   report 5, code 0x11   a piece: [4..5] the offset within the page (little-endian), [6] the
//                          length (at most 64), the bytes from [8]; pieces fill the page in order
//   report 3, code 0x12   the page is done: [4..5] its number; pages come in order (page 0 starts
//                          a download again); the page goes to flash at number x page size
//   report 3, code 0x13   [6] = 8: commit the flash as the UEFI firmware
//   report 6               byte 2: 3 when the last piece was taken or the last commit is done,
//                          1 while a commit is busy (twice), 0 when the last one was refused
//
// What was committed stays over reboots, and with the controller's kept state. Fault steps:
// page-size (the record read in the boot loader), piece, piece-status, commit, commit-status,
// uefi-commit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "loader_faults.h"
#include "platform/hid_device.h"

namespace kx7::emu {

class HidLarchLoader {
 public:
  HidLarchLoader(std::uint8_t pageSizeCode, LoaderFaults& faults);

  bool Running() const { return running_; }
  // ROM reboot: the boot loader runs; EEPROM reboot: the firmware does.
  void Start() { running_ = true; ResetPage(); }
  void Stop() { running_ = false; ResetPage(); }

  std::uint8_t PageSizeCode() const { return pageSizeCode_; }
  std::size_t PageSize() const { return static_cast<std::size_t>(pageSizeCode_) * 256; }

  // The reports above; false for one the controller does not take (a stalled request).
  bool Piece(const kx7::HidReport& report);
  bool CommitPage(const kx7::HidReport& report);
  bool CommitUefi(const kx7::HidReport& report);
  // Byte 2 of the status record while the loader has something to say; advances a busy commit.
  std::optional<std::uint8_t> Status();
  // A fault planted on the record read of the boot loader: nothing (no answer) or a page size of
  // 0 is what the host sees.
  std::optional<LoaderFaultKind> RecordFault();
  // The controller has dropped off (a planted fault): it answers nothing more.
  bool Gone() const { return gone_; }

  const std::vector<std::uint8_t>& Flash() const { return flash_; }
  bool UefiCommitted() const { return uefiCommitted_; }
  void LoadFlash(const std::vector<std::uint8_t>& flash);

  static constexpr std::size_t kFlashBytes = 1048576;
  static constexpr std::uint8_t kCodePiece = 0x11;
  static constexpr std::uint8_t kCodeCommitPage = 0x12;
  static constexpr std::uint8_t kCodeCommitUefi = 0x13;
  static constexpr std::uint8_t kUefiValue = 8;
  static constexpr std::size_t kPageSizeByte = 21;

 private:
  enum class Busy { kNone, kPage, kUefi };
  void ResetPage();
  void Refused() { status_ = 0; }
  bool Fault(const char* step, bool& answered);

  std::uint8_t pageSizeCode_;
  LoaderFaults& faults_;
  bool running_ = false;
  bool gone_ = false;
  std::vector<std::uint8_t> page_;
  std::uint32_t nextPage_ = 0;
  std::vector<std::uint8_t> flash_;
  bool uefiCommitted_ = false;
  std::uint8_t status_ = 3;
  Busy busy_ = Busy::kNone;
  int busyPolls_ = 0;
  std::uint32_t pendingPage_ = 0;
  std::optional<LoaderFaultKind> commitStatusFault_;
  bool pieceStatusPending_ = false;
};

}  // namespace kx7::emu
