#include "display/usb_reports_dialog.h"

#include <algorithm>

#include "controller/controller_types.h"


namespace kx7 {

namespace {

constexpr std::array<bool RecordChoices::*, UsbReportsDialog::kItemCount> kMembers = {
    &RecordChoices::asyncCoords,         &RecordChoices::asyncRawCorners,  &RecordChoices::asyncPrintf,
    &RecordChoices::asyncStrays,         &RecordChoices::asyncCompCorners, &RecordChoices::asyncPwm,
    &RecordChoices::asyncStraysAllGains, &RecordChoices::asyncVelocity,    &RecordChoices::asyncStrayDelta,
    &RecordChoices::syncCoords,          &RecordChoices::syncRawCorners,
};

bool ValidItem(UsbReportsDialog::Item item) {
  return static_cast<unsigned>(item) < static_cast<unsigned>(UsbReportsDialog::kItemCount);
}

}  // namespace

UsbReportsDialog::UsbReportsDialog(CMainFrame& frame, ReportDecoder& decoder)
    : Window(frame.Loop()), frame_(frame), decoder_(decoder), choices_(decoder.Choices()) {}

UsbReportsDialog::~UsbReportsDialog() {
  if (shown_) frame_.Ui().CloseWindow(*this);
}

LResult UsbReportsDialog::OnMessage(MessageId message, WParam wParam, LParam) {
  switch (message) {
    case wm::kCommand:
      // A click that was on its way when the window closed does nothing.
      if (!shown_) return 0;
      if (wParam == kPauseButton) TogglePause();
      if (wParam == kDefaultButton) Default();
      if (wParam == kApplyButton) Apply();
      return 0;
    case wm::kClose:
      Close();
      return 0;
    default:
      return 0;
  }
}

bool UsbReportsDialog::Open() {
  if (!shown_) choices_ = decoder_.Choices();
  Placement placement;
  placement.kind = PlacementKind::kModelessDialog;
  placement.title = kTitle;
  placement.maximized = false;
  shown_ = frame_.Ui().OpenWindow(*this, placement);
  return shown_;
}

void UsbReportsDialog::Close() {
  if (!shown_) return;
  shown_ = false;
  frame_.Ui().CloseWindow(*this);
}

bool UsbReportsDialog::Checked(Item item) const { return ValidItem(item) && choices_.*kMembers[item]; }

void UsbReportsDialog::SetChecked(Item item, bool on) {
  if (ValidItem(item)) choices_.*kMembers[item] = on;
}

bool UsbReportsDialog::ItemEnabled(Item item) const {
  if (!ValidItem(item)) return false;
  const std::uint32_t controller = frame_.ControllerType;
  const bool coordsOrRaw =
      item == kAsyncCoords || item == kAsyncRawCorners || item == kSyncCoords || item == kSyncRawCorners;
  if (controller == type::kBirch2Hid || controller == type::kMaple) return coordsOrRaw;
  if (item == kAsyncCoords || item == kAsyncRawCorners) return true;
  if (item >= kFirstSyncItem) return false;
  return controller == type::kUsb1;
}

void UsbReportsDialog::SetFilter(int filter) { choices_.filter = std::clamp(filter, 0, kMaxFilter); }

void UsbReportsDialog::TogglePause() {
  RecordChoices& live = decoder_.Choices();
  live.display = !live.display;
  Refresh();
}

std::string UsbReportsDialog::PauseButtonText() const { return decoder_.Choices().display ? "Pause" : "Run"; }

void UsbReportsDialog::Default() {
  choices_ = decoder_.Choices();
  Refresh();
}

void UsbReportsDialog::Apply() {
  // Pause and Run alone switch the display: an Apply keeps whatever they set.
  RecordChoices& live = decoder_.Choices();
  const bool display = live.display;
  live = choices_;
  live.display = display;
  choices_.display = display;
  decoder_.RestartDecimation();

  const std::uint32_t controller = frame_.ControllerType;
  if (controller == type::kBirch2Hid) {
    if (storeSyncChoices) storeSyncChoices(choices_.syncCoords, choices_.syncRawCorners);
    Refresh();
    return;
  }
  if (driverRecord) {
    // Record types 1 and 2 for every driver; the verbose group only exists on USB1.
    const int last = controller == type::kUsb1 ? kFirstSyncItem : kAsyncRawCorners + 1;
    for (int item = 0; item < last; ++item)
      driverRecord(kRecordTypes[static_cast<std::size_t>(item)], choices_.*kMembers[static_cast<std::size_t>(item)]);
  }
  Refresh();
}

void UsbReportsDialog::Refresh() {
  if (shown_) frame_.Ui().Invalidate(Id());
}

}  // namespace kx7
