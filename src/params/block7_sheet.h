// The Birch2 Block7 sheet ("Block7"): the table of memory 7's parameter cells, read whole from the
// controller when the sheet is shown, edited on its four pages, loaded from and saved to EEP
// files, and written back whole by Apply and OK. The cells travel with the sheet's own memory
// exchange (listener slot 9 over the command set, the driver or HID route on the USB links).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "frame/main_frame.h"
#include "params/block7_pages.h"
#include "params/block7_table.h"
#include "proto/block7_memory_exchange.h"

namespace kx7 {

class UsbLinks;

class Block7Sheet : public DialogModel {
 public:
  // `topRow`: where Binary Edit starts, kept by the main frame between openings.
  Block7Sheet(CMainFrame& frame, CommandChannel& channel, UsbLinks* usb, std::size_t& topRow);
  ~Block7Sheet() override;

  const char* Kind() const override { return "Block7Sheet"; }
  std::string Title() const override { return "Block7"; }
  // OK: with changes the table is written first; the sheet closes when that worked.
  bool OnOk() override;
  // Cancel or closing: the exchange's listener is released and the top row remembered.
  void OnCancel();

  // Pages in tab order.
  enum Page { kBinaryEdit, kThresholds, kFilters, kOther, kPageCount };
  static const char* PageTitle(Page page);
  void Activate(Page page);
  Page ActivePage() const { return active_; }

  // The sheet is shown: every row is read from the controller ("PEEKing..."). False when the
  // read failed; the sheet then closes (CloseRequested) rather than offer zeros to be written.
  bool OnShown();
  // Apply: every row is written ("POKEing..."). False when the write failed.
  bool Apply();
  // Rows wait to be written: every page is modified and Apply is enabled.
  bool Modified() const { return table_.AnyPending(); }
  // The Binary Edit controls ("Soft Reset", the file buttons, the scroll bar) are usable.
  bool ControlsEnabled() const { return controlsEnabled_; }
  bool Busy() const { return busy_; }
  // A driver or HID failure, or a failed first read, closes the sheet.
  bool CloseRequested() const { return closeRequested_; }

  // Enter: on Binary Edit it takes the value boxes; on the other pages the page's boxes.
  void OnEnter();
  // "Read EEP File": the file replaces the table (a file that does not read whole changes
  // nothing: "Invalid File"); "Save EEP File" writes it. False when nothing was done.
  bool ReadEepFile(const std::string& path);
  bool LoadEepText(const std::string& text);
  bool SaveEepFile(const std::string& path);
  // The buttons with their file dialogs ("Select Birch2 .EEP File").
  bool ReadEepFileChosen();
  bool SaveEepFileChosen();
  // "Soft Reset".
  std::function<void()> softReset;

  Block7Table& Table() { return table_; }
  CBlock7Page1& BinaryEdit() { return binary_; }
  CBlock7Page2& Thresholds() { return thresholds_; }
  CBlock7Page3& Other() { return other_; }
  CBlock7Page4& Filters() { return filters_; }
  // The pages show the table again.
  void Redisplay();

  // "Please Wait" around a long exchange (the restart commands' window in the program).
  std::function<void(const std::string& text)> showProgress;
  std::function<void()> closeProgress;

 private:
  Block7MemoryExchange::Outcome Exchange(bool write);

  CMainFrame& frame_;
  std::unique_ptr<Block7MemoryExchange> exchange_;
  std::size_t& topRow_;
  Block7Table table_;
  CBlock7Page1 binary_{table_};
  CBlock7Page2 thresholds_{table_};
  CBlock7Page3 other_{table_};
  CBlock7Page4 filters_{table_};
  Page active_ = kBinaryEdit;
  bool controlsEnabled_ = false;
  bool busy_ = false;
  bool closeRequested_ = false;
};

}  // namespace kx7
