// The "USB Sync - Async Reports" window (one per terminal, modeless): which driver records the
// controller should send, how the terminal thins out the busy ones ("Filter", "Allow Diffs"),
// whether lines show the loop counter, and "Pause"/"Run" for the record display. The window
// edits its own copy of the terminal's choices; "Default" reloads the terminal's, "Apply" hands
// them over, restarts the decimation and asks the driver for the chosen record types. Which
// check boxes can be used depends on the controller type.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "display/report_decoder.h"
#include "frame/main_frame.h"
#include "platform/window.h"

namespace kx7 {

class UsbReportsDialog : public Window {
 public:
  enum Item {
    kAsyncCoords,
    kAsyncRawCorners,
    kAsyncPrintf,
    kAsyncStrays,
    kAsyncCompCorners,
    kAsyncPwm,
    kAsyncStraysAllGains,
    kAsyncVelocity,
    kAsyncStrayDelta,
    kSyncCoords,
    kSyncRawCorners,
    kItemCount
  };
  static constexpr int kFirstSyncItem = kSyncCoords;
  static constexpr std::array<const char*, kItemCount> kLabels = {
      "Coords",          "Raw Corners", "Printf (Verbose)", "Strays",     "Comp Corners", "PWM", "Strays - All Gains",
      "Velocity Filter", "Stray Delta", "Coords",           "Raw Corners"};
  // The driver's record type of each asynchronous check box.
  static constexpr std::array<int, kFirstSyncItem> kRecordTypes = {1, 2, 3, 5, 7, 8, 9, 10, 11};
  static constexpr int kMaxFilter = 65535;
  static constexpr WParam kPauseButton = 1;
  static constexpr WParam kDefaultButton = 2;
  static constexpr WParam kApplyButton = 3;
  static constexpr const char* kTitle = "USB Sync - Async Reports";

  UsbReportsDialog(CMainFrame& frame, ReportDecoder& decoder);
  ~UsbReportsDialog() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;
  const char* ViewKind() const override { return "UsbReports"; }

  // Shows the window with the terminal's current choices (only brings it forward when open).
  bool Open();
  void Close();
  bool Shown() const { return shown_; }

  // --- The fields ------------------------------------------------------------------------------
  bool Checked(Item item) const;
  void SetChecked(Item item, bool on);
  // By the controller type: Coords and Raw Corners of both groups for the Birch2 HID and Maple
  // types, the asynchronous Coords and Raw Corners with the verbose group for USB1, and only
  // the asynchronous Coords and Raw Corners for the others.
  bool ItemEnabled(Item item) const;
  int Filter() const { return choices_.filter; }
  void SetFilter(int filter);
  bool AllowDiffs() const { return choices_.allowDiffs; }
  void SetAllowDiffs(bool on) { choices_.allowDiffs = on; }
  bool ShowLoop() const { return choices_.showLoop; }
  void SetShowLoop(bool on) { choices_.showLoop = on; }
  const RecordChoices& Choices() const { return choices_; }

  // --- The buttons -----------------------------------------------------------------------------
  // Stops or resumes the terminal's record display at once.
  void TogglePause();
  // "Pause" while records are shown, "Run" while they are not.
  std::string PauseButtonText() const;
  void Default();
  void Apply();

  // Asks the driver to send (or stop) a record type. Unset until a driver link is installed.
  std::function<void(int recordType, bool on)> driverRecord;
  // The Birch2 HID type takes its synchronous reports from the frame's choice, not from driver
  // requests: Apply hands that choice on here.
  std::function<void(bool coords, bool rawCorners)> storeSyncChoices;

 private:
  void Refresh();

  CMainFrame& frame_;
  ReportDecoder& decoder_;
  RecordChoices choices_;
  bool shown_ = false;
};

}  // namespace kx7
