#include "hid_larch_loader.h"

#include <algorithm>

#include "hid_report_bytes.h"
#include "link/hid/hid_constants.h"

namespace kx7::emu {
namespace {

constexpr std::uint8_t kBusy = 1;
constexpr std::uint8_t kGarbageState = 7;
// A commit answers busy this many times before it is done.
constexpr int kBusyPolls = 2;
constexpr std::size_t kPieceOffsetAt = 4;
constexpr std::size_t kPieceLengthAt = 6;
constexpr std::size_t kPageNumberAt = 4;
constexpr std::size_t kUefiValueAt = 6;

}  // namespace

HidLarchLoader::HidLarchLoader(std::uint8_t pageSizeCode, LoaderFaults& faults)
    : pageSizeCode_(pageSizeCode), faults_(faults) {}

void HidLarchLoader::ResetPage() {
  page_.clear();
  nextPage_ = 0;
  busy_ = Busy::kNone;
  status_ = hid::kStateDone;
  pieceStatusPending_ = false;
}

void HidLarchLoader::LoadFlash(const std::vector<std::uint8_t>& flash) {
  if (flash.size() == kFlashBytes) flash_ = flash;
}

// True when a fault was planted at this step; `answered` says whether the request still went
// through (it then left a refused status behind).
bool HidLarchLoader::Fault(const char* step, bool& answered) {
  const std::optional<LoaderFaultKind> fault = faults_.Step(step);
  if (!fault) return false;
  switch (*fault) {
    case LoaderFaultKind::kRefuse:
    case LoaderFaultKind::kSilent:
      answered = false;
      break;
    case LoaderFaultKind::kDropOff:
      gone_ = true;
      answered = false;
      break;
    case LoaderFaultKind::kGarbage:
    case LoaderFaultKind::kWrongSum:
    case LoaderFaultKind::kWrongHandshake:
      Refused();
      answered = true;
      break;
  }
  return true;
}

std::optional<LoaderFaultKind> HidLarchLoader::RecordFault() {
  const std::optional<LoaderFaultKind> fault = faults_.Step("page-size");
  if (fault == LoaderFaultKind::kDropOff) gone_ = true;
  return fault;
}

bool HidLarchLoader::Piece(const kx7::HidReport& report) {
  if (!running_ || busy_ != Busy::kNone) return false;
  bool answered = false;
  if (Fault("piece", answered)) return answered;
  const std::size_t offset = ReportWord(report, kPieceOffsetAt);
  const std::size_t length = report[kPieceLengthAt];
  if (length == 0 || length > hid::kParamDataMax || report.size() < hid::kDataOffset + length ||
      offset != page_.size() || offset + length > PageSize()) {
    Refused();
    return true;
  }
  page_.insert(page_.end(), report.begin() + static_cast<std::ptrdiff_t>(hid::kDataOffset),
               report.begin() + static_cast<std::ptrdiff_t>(hid::kDataOffset + length));
  status_ = hid::kStateDone;
  pieceStatusPending_ = true;
  return true;
}

bool HidLarchLoader::CommitPage(const kx7::HidReport& report) {
  if (!running_ || busy_ != Busy::kNone) return false;
  bool answered = false;
  if (Fault("commit", answered)) return answered;
  const std::uint32_t page = ReportWord(report, kPageNumberAt);
  const std::uint64_t end = static_cast<std::uint64_t>(page) * PageSize() + page_.size();
  if (page_.empty() || (page != nextPage_ && page != 0) || end > kFlashBytes) {
    page_.clear();
    Refused();
    return true;
  }
  pendingPage_ = page;
  busy_ = Busy::kPage;
  busyPolls_ = 0;
  commitStatusFault_ = faults_.Step("commit-status");
  if (commitStatusFault_ == LoaderFaultKind::kDropOff) gone_ = true;
  return true;
}

bool HidLarchLoader::CommitUefi(const kx7::HidReport& report) {
  if (!running_ || busy_ != Busy::kNone || report[kUefiValueAt] != kUefiValue) return false;
  bool answered = false;
  if (Fault("uefi-commit", answered)) return answered;
  busy_ = Busy::kUefi;
  busyPolls_ = 0;
  commitStatusFault_ = faults_.Step("commit-status");
  if (commitStatusFault_ == LoaderFaultKind::kDropOff) gone_ = true;
  return true;
}

std::optional<std::uint8_t> HidLarchLoader::Status() {
  if (!running_) return std::nullopt;
  if (pieceStatusPending_) {
    pieceStatusPending_ = false;
    if (const auto fault = faults_.Step("piece-status")) {
      if (*fault == LoaderFaultKind::kDropOff) gone_ = true;
      // Silent and refused look alike here: the piece was not taken.
      return *fault == LoaderFaultKind::kGarbage ? kGarbageState : hid::kStateRefused;
    }
    return status_;
  }
  if (busy_ == Busy::kNone) return status_;
  if (commitStatusFault_) {
    switch (*commitStatusFault_) {
      case LoaderFaultKind::kSilent:
        return kBusy;  // it never gets done
      case LoaderFaultKind::kGarbage:
      case LoaderFaultKind::kWrongSum:
      case LoaderFaultKind::kWrongHandshake:
        busy_ = Busy::kNone;
        page_.clear();
        status_ = kGarbageState;
        return status_;
      case LoaderFaultKind::kRefuse:
      case LoaderFaultKind::kDropOff:
        busy_ = Busy::kNone;
        page_.clear();
        Refused();
        return status_;
    }
  }
  if (++busyPolls_ <= kBusyPolls) return kBusy;
  if (busy_ == Busy::kPage) {
    if (flash_.size() != kFlashBytes) flash_.assign(kFlashBytes, 0xFF);
    std::copy(page_.begin(), page_.end(),
              flash_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(pendingPage_) * PageSize()));
    page_.clear();
    nextPage_ = pendingPage_ + 1;
  } else {
    uefiCommitted_ = true;
  }
  busy_ = Busy::kNone;
  status_ = hid::kStateDone;
  return status_;
}

}  // namespace kx7::emu
