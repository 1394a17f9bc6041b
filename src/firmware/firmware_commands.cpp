#include "firmware/firmware_commands.h"

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "firmware/birch2_image_loader.h"
#include "firmware/firmware_loader.h"
#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "platform/window_messages.h"
#include "proto/controller_protocol.h"
#include "proto/restart_commands.h"

namespace kx7::firmware {

FirmwareCommands::FirmwareCommands(CMainFrame& frame, ControllerProtocol& protocol)
    : frame_(frame), protocol_(protocol) {
  const auto handler = [this](std::uint32_t id) { OnCommand(id); };
  const auto updater = [this](std::uint32_t id) { return Update(id); };
  for (const std::uint32_t id : {cmd::kCedarDownload, cmd::kBirch2FirmwareImage, cmd::kLoadFirmware, cmd::kReloadFirmware})
    frame_.RegisterCommands(id, id, handler, updater);
  protocol_.finder.startDownloadJob = [this] { RunCommandLineDownload(); };
}

FirmwareCommands::~FirmwareCommands() { protocol_.finder.startDownloadJob = nullptr; }

bool FirmwareCommands::ToolWindowOpen() const {
  const ListenerTable& listeners = frame_.listeners;
  return open_ != nullptr || listeners.IsActive(slot::kDraw) || listeners.IsActive(slot::kCalibration) ||
         listeners.IsActive(slot::kScope) || listeners.IsActive(slot::kLinearization);
}

CommandState FirmwareCommands::Update(std::uint32_t id) const {
  if (ToolWindowOpen()) return {};
  const std::uint32_t t = frame_.ControllerType;
  const std::uint32_t features = frame_.ControllerFeatures;
  const bool linked = frame_.LinkKind != link::kClosed;
  CommandState state;
  switch (id) {
    case cmd::kCedarDownload:
      state.enabled = linked && IsRowanCedar(t) && t != type::kRowanGen2 && t != type::kRowanUsbGen2 &&
                      IsSerialLink(frame_.LinkKind);
      break;
    case cmd::kBirch2FirmwareImage:
      state.enabled = !linked || (features & feature::kBirchFamily) != 0;
      break;
    case cmd::kLoadFirmware:
      state.enabled = linked && IsLarchType(t) && IsSerialLink(frame_.LinkKind);
      break;
    case cmd::kReloadFirmware:
      state.enabled = linked && IsLarchType(t) && IsSerialLink(frame_.LinkKind) && !lastImage_.empty();
      break;
    default:
      break;
  }
  return state;
}

void FirmwareCommands::OnCommand(std::uint32_t id) {
  if (!Update(id).enabled) return;
  switch (id) {
    case cmd::kCedarDownload:
      RunDialog(MakeLoader(LoaderKind::kCedarGen3, frame_, protocol_), "");
      return;
    case cmd::kBirch2FirmwareImage:
      RunDialog(std::make_unique<Birch2ImageLoader>(frame_, protocol_), "");
      return;
    case cmd::kLoadFirmware:
      RunDialog(MakeLoader(LoaderKind::kFirmware, frame_, protocol_), "");
      return;
    case cmd::kReloadFirmware:
      RunDialog(MakeLoader(LoaderKind::kFirmware, frame_, protocol_), lastImage_);
      return;
    default:
      return;
  }
}

DownloadResult FirmwareCommands::RunDialog(std::unique_ptr<LoaderDialog> dialog, const std::string& imagePath) {
  if (!dialog) return DownloadResult::kNoLoader;
  open_ = std::move(dialog);
  if (!imagePath.empty()) open_->SetAutomatic(imagePath);
  if (frame_.startup.download && open_->Automatic()) open_->unattended = &unattended_;
  frame_.Ui().RunDialog(*open_);
  // A dialog without a view (no user interface to show it) still runs an automatic download.
  if (open_->Automatic() && !open_->Finished()) open_->RunHeadless();
  const DownloadResult result = open_->Finished() ? open_->Result() : DownloadResult::kFailed;
  if (dynamic_cast<FirmwareLoader*>(open_.get()) != nullptr && !open_->ImagePath().empty() &&
      result != DownloadResult::kCannotOpen && result != DownloadResult::kRejected)
    lastImage_ = open_->ImagePath();
  open_.reset();
  return result;
}

void FirmwareCommands::RunCommandLineDownload() {
  const std::optional<LoaderKind> kind = CommandLineLoader(frame_.ControllerFeatures);
  std::unique_ptr<LoaderDialog> dialog = kind ? MakeLoader(*kind, frame_, protocol_) : nullptr;
  DownloadResult result = DownloadResult::kNoLoader;
  if (dialog) {
    if (auto* birch2 = dynamic_cast<Birch2ImageLoader*>(dialog.get())) birch2->preserve = frame_.startup.downloadScope == 1;
    result = RunDialog(std::move(dialog), frame_.startup.downloadFile);
  }
  if (result == DownloadResult::kDone && protocol_.restart != nullptr) protocol_.restart->RebootEeprom(false);
  frame_.exitCode = static_cast<int>(result);
  frame_.Post(wm::kClose);
}

FirmwareCommands& InstallFirmwareCommands(CMainFrame& frame) {
  return frame.MakeSubsystem<FirmwareCommands>(frame, *frame.protocol);
}

}  // namespace kx7::firmware
