#include "display/format_commands.h"

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "frame/command_ids.h"
#include "proto/controller_protocol.h"

namespace kx7 {

FormatCommands::FormatCommands(CMainFrame& frame, CommandChannel& channel) : frame_(frame), channel_(channel) {
  frame_.RegisterCommands(
      cmd::kFormatFirst, cmd::kFormatLast, [this](std::uint32_t id) { OnCommand(id); },
      [this](std::uint32_t id) { return Update(id); });
}

bool FormatCommands::Block1ChecksumType() const { return IsRowanCedar(frame_.ControllerType); }

bool FormatCommands::UsbOrHidLink() const { return IsUsbLink(frame_.LinkKind); }

void FormatCommands::SetReportFormat(std::uint32_t format) { frame_.ReportFormat = format; }

void FormatCommands::SetMode(Mode mode) {
  const int link = frame_.LinkKind;
  if (link == link::kKxUsb || (IsHidLink(link) && frame_.ControllerType == type::kBirch2Hid)) {
    if (setUsbMode) setUsbMode(static_cast<int>(mode));
    frame_.zMode = mode == Mode::kZ;
    frame_.downUpMode = mode == Mode::kDownUp;
    return;
  }
  if (link == link::kRivetwareUsb) return;
  if (!IsSerialLink(link) && !IsDriverLink(link)) return;
  if (mode == Mode::kStream) {
    channel_.SendCommand("MS");
    channel_.WaitOk();
    frame_.zMode = false;
    frame_.downUpMode = false;
  } else if (mode == Mode::kZ) {
    channel_.SendCommand("MZ");
    if (channel_.WaitOk()) frame_.zMode = true;
  }
}

void FormatCommands::OnCommand(std::uint32_t id) {
  if (!Update(id).enabled) return;
  Run(id);
  // The draw window decodes in the format now in force; the poll toggle keeps it.
  if (frame_.formatChanged) frame_.formatChanged(id == cmd::kModePoll ? id : frame_.ReportFormat);
}

void FormatCommands::Run(std::uint32_t id) {
  const int link = frame_.LinkKind;
  switch (id) {
    case cmd::kFormatKxs:
      if (frame_.zMode || frame_.downUpMode) SetMode(Mode::kStream);
      SetReportFormat(cmd::kFormatKxs);
      return;
    case cmd::kFormatRaw:
    case cmd::kFormatHexDump:
    case cmd::kFormatDigitizer:
    case cmd::kFormatUndecoded:
    case cmd::kFormatRawSignals:
      SetReportFormat(id);
      return;
    case cmd::kStartRawReports:
      if (IsSerialLink(link) || IsDriverLink(link))
        channel_.SendCommand("CR");
      else if (IsHidLink(link) && frame_.ControllerType != type::kBirch2Hid && hidRequest)
        hidRequest(5);
      SetReportFormat(cmd::kFormatRaw);
      return;
    case cmd::kStartSignalReports:
      if (IsHidLink(link)) {
        if (hidRequest) hidRequest(4);
      } else if (IsSerialLink(link)) {
        channel_.SendCommand("FR");
      } else if (driverReport) {
        driverReport(1, false);
        driverReport(2, true);
      }
      SetReportFormat(cmd::kFormatRawSignals);
      return;
    case cmd::kStopRawReports:
      if (frame_.ReportFormat != cmd::kFormatRaw && frame_.ReportFormat != cmd::kFormatRawSignals) return;
      if (IsDriverLink(link)) {
        if (driverReport) {
          driverReport(1, true);
          driverReport(2, false);
        }
      } else if (IsSerialLink(link) &&
                 (IsSerialRowanCedar(frame_.ControllerType) || (frame_.ControllerFeatures & feature::kHaptic))) {
        channel_.SendCommand("TL1");
      } else if (softReset) {
        softReset();
      }
      SetReportFormat(cmd::kFormatKxs);
      return;
    case cmd::kEnterPassThru:
      channel_.EnterPassThrough('D');
      return;
    case cmd::kEnterPassThruMpl:
      channel_.EnterPassThrough('L');
      return;
    case cmd::kExitPassThru:
      channel_.ExitPassThrough();
      return;
    case cmd::kTogglePassThru:
      if (frame_.passThrough)
        channel_.ExitPassThrough();
      else
        channel_.EnterPassThrough('D');
      return;
    case cmd::kFormatZ:
      if (frame_.zMode) {
        SetMode(Mode::kStream);
        SetReportFormat(cmd::kFormatKxs);
      } else {
        SetMode(Mode::kZ);
        SetReportFormat(cmd::kFormatZ);
      }
      return;
    case cmd::kModeDownUp:
      SetMode(Mode::kDownUp);
      return;
    case cmd::kModePoll:
      frame_.pollMode = !frame_.pollMode;
      if (frame_.pollMode) frame_.Post(msg::kSendByte, 0x11, 0);
      return;
    default:
      return;
  }
}

CommandState FormatCommands::Update(std::uint32_t id) const {
  const std::uint32_t type = frame_.ControllerType;
  const std::uint32_t features = frame_.ControllerFeatures;
  const bool checked = frame_.ReportFormat == id;
  // The KX7 pass-through variant of Birch USB.
  const bool kx7PassThrough = IsDriverPassThroughBirchUsb(type, features);
  switch (id) {
    case cmd::kFormatKxs:
      return CommandState{true, checked && !frame_.zMode && !frame_.downUpMode};
    case cmd::kFormatRaw:
    case cmd::kStartRawReports:
    case cmd::kStopRawReports: {
      const bool enabled = type != type::kHazel2d && type != type::kAspen4 && type != type::kUsb1 &&
                           !Block1ChecksumType();
      return CommandState{enabled, checked};
    }
    case cmd::kFormatDigitizer:
      return CommandState{type == type::kGeneric, checked};
    case cmd::kStartSignalReports:
    case cmd::kFormatRawSignals: {
      const bool enabled = (features & feature::kBirchFamily) != 0 || type == type::kHazel3 ||
                           type == type::kHawthorn || (type >= type::kResistive4Wire && type <= type::kResistive5WireUsb);
      return CommandState{enabled, checked};
    }
    case cmd::kEnterPassThru:
    case cmd::kEnterPassThruMpl:
      return CommandState{frame_.LinkKind != link::kClosed && !frame_.passThrough && Block1ChecksumType(), false};
    case cmd::kExitPassThru:
      return CommandState{frame_.passThrough, false};
    case cmd::kTogglePassThru:
      return CommandState{frame_.passThrough || (frame_.LinkKind != link::kClosed && Block1ChecksumType()),
                          frame_.passThrough};
    case cmd::kFormatHexDump:
    case cmd::kFormatUndecoded:
      return CommandState{true, checked};
    case cmd::kFormatZ:
      return CommandState{type == type::kBirch || (UsbOrHidLink() && usbZCapable && usbZCapable()), frame_.zMode};
    case cmd::kModeDownUp:
      return CommandState{(features & feature::kBirchFamily) != 0 && UsbOrHidLink() && !kx7PassThrough,
                          frame_.downUpMode};
    case cmd::kModePoll: {
      const bool disabled = type == type::kHazel2d || type == type::kAspen4 ||
                            (type >= type::kUsb1 && type <= type::kResistive5WireUsb) ||
                            (type >= type::kLarchUsb0500 && type <= type::kLarchUsb) || Block1ChecksumType() ||
                            kx7PassThrough;
      return CommandState{!disabled, frame_.pollMode};
    }
    default:
      return CommandState{false, false};
  }
}

FormatCommands& InstallFormatCommands(CMainFrame& frame) {
  return frame.MakeSubsystem<FormatCommands>(frame, ProtocolOf(frame)->channel);
}

}  // namespace kx7
