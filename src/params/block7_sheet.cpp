#include "params/block7_sheet.h"

#include <vector>

#include "params/eep_file.h"
#include "params/file_buttons.h"
#include "params/param_file_io.h"
#include "params/params_constants.h"
#include "proto/proto_constants.h"

namespace kx7 {

Block7Sheet::Block7Sheet(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb, std::size_t& topRow)
    : frame_(frame), exchange_(std::make_unique<Block7MemoryExchange>(frame, channel, usb)), topRow_(topRow) {
  exchange_->showProgress = [this](const std::string& text) {
    if (showProgress) showProgress(text);
  };
  exchange_->closeProgress = [this] {
    if (closeProgress) closeProgress();
  };
  binary_.SetTopRow(topRow_);
  Redisplay();
}

Block7Sheet::~Block7Sheet() { frame_.ClearListener(memory::kBlock7Slot); }

const char* Block7Sheet::PageTitle(Page page) {
  switch (page) {
    case kBinaryEdit:
      return "Binary Edit";
    case kThresholds:
      return "Thresholds";
    case kFilters:
      return "Filters";
    case kOther:
      return "Other";
    case kPageCount:
      break;
  }
  return "";
}

void Block7Sheet::Activate(Page page) {
  if (page >= kPageCount) return;
  active_ = page;
  Redisplay();
}

void Block7Sheet::Redisplay() {
  binary_.Show();
  thresholds_.Show();
  other_.Show();
  filters_.Show();
}

Block7MemoryExchange::Outcome Block7Sheet::Exchange(bool write) {
  std::vector<Block7MemoryExchange::Entry> entries;
  entries.reserve(table_.Count());
  for (const EepEntry& row : table_.Rows())
    entries.push_back({row.address, static_cast<std::uint8_t>(row.value & 0xFF), row.pending});
  busy_ = true;
  const Block7MemoryExchange::Outcome outcome = write ? exchange_->Write(entries) : exchange_->Read(entries);
  busy_ = false;
  std::vector<EepEntry>& rows = table_.Rows();
  for (std::size_t i = 0; i < rows.size() && i < entries.size(); ++i) {
    if (!write && !entries[i].pending) rows[i].value = entries[i].value;
    rows[i].pending = entries[i].pending;
  }
  if (outcome == Block7MemoryExchange::Outcome::kCloseSheet) closeRequested_ = true;
  Redisplay();
  return outcome;
}

bool Block7Sheet::OnShown() {
  const Block7MemoryExchange::Outcome outcome = Exchange(false);
  if (outcome == Block7MemoryExchange::Outcome::kFailed) {
    // A table that was not read would offer its zeros to be written over the controller's cells.
    ShowMessage(frame_.Ui(), text::kBlockReadFailed);
    closeRequested_ = true;
  }
  controlsEnabled_ = outcome == Block7MemoryExchange::Outcome::kDone;
  return controlsEnabled_;
}

bool Block7Sheet::Apply() {
  if (busy_) return false;
  const Block7MemoryExchange::Outcome outcome = Exchange(true);
  if (outcome == Block7MemoryExchange::Outcome::kFailed) ShowMessage(frame_.Ui(), text::kWriteFailed);
  return outcome == Block7MemoryExchange::Outcome::kDone;
}

bool Block7Sheet::OnOk() {
  if (busy_) return false;
  if (!Modified()) {
    OnCancel();
    return true;
  }
  const bool written = Apply();
  if (written || closeRequested_) OnCancel();
  return written || closeRequested_;
}

void Block7Sheet::OnCancel() {
  frame_.ClearListener(memory::kBlock7Slot);
  topRow_ = binary_.TopRow();
}

void Block7Sheet::OnEnter() {
  switch (active_) {
    case kBinaryEdit:
      binary_.TakeBoxes();
      break;
    case kThresholds:
      thresholds_.TakeBoxes();
      break;
    case kFilters:
      filters_.TakeBoxes();
      break;
    case kOther:
      other_.TakeBoxes();
      break;
    case kPageCount:
      break;
  }
  Redisplay();
}

bool Block7Sheet::ReadEepFile(const std::string& path) {
  const std::optional<std::string> bytes = ReadParamFileOrSay(path, frame_.Ui());
  if (!bytes) return false;
  return LoadEepText(*bytes);
}

bool Block7Sheet::LoadEepText(const std::string& text) {
  EepFileCheck file = kx7::ReadEepFile(text);
  if (!file.Valid()) {
    ShowMessage(frame_.Ui(), text::kInvalidFile);
    return false;
  }
  table_ = std::move(file.table);
  // The scroll range follows the rows taken.
  binary_.SetTopRow(binary_.TopRow());
  Redisplay();
  return true;
}

bool Block7Sheet::ReadEepFileChosen() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kEep, "eep", filter::kEepTitle}, false);
  return path && ReadEepFile(*path);
}

bool Block7Sheet::SaveEepFileChosen() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kEep, "eep", filter::kEepTitle}, true);
  return path && SaveEepFile(*path);
}

bool Block7Sheet::SaveEepFile(const std::string& path) {
  return WriteParamFileOrSay(path, WriteEepFile(table_), frame_.Ui());
}

}  // namespace kx7
