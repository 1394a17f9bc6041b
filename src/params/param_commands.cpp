#include "params/param_commands.h"

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "frame/command_ids.h"
#include "frame/frame_constants.h"
#include "params/block1_sheet.h"
#include "params/block6_editor.h"
#include "params/block7_sheet.h"
#include "params/block8_editor.h"
#include "params/cal_data_file.h"
#include "params/file_buttons.h"
#include "params/larch_block7_editor.h"
#include "params/param_file_io.h"
#include "params/params_constants.h"
#include "params/register_dump_viewer.h"
#include "params/rowan_default_params.h"
#include "params/rowan_q_parameters.h"
#include "params/serial_number_editor.h"
#include "proto/proto_constants.h"
#include "proto/restart_commands.h"

namespace kx7 {

namespace {

constexpr std::uint32_t kCommands[] = {cmd::kBlock1Parameters,   cmd::kControllerIdEditor, cmd::kInterfaceHousekeeping,
                                       cmd::kBlock7Parameters,   cmd::kRowDriveLevels,     cmd::kAsicConfigRegisters,
                                       cmd::kReadEventLog,       cmd::kSaveCalData,        cmd::kRowanQParameters,
                                       cmd::kRowanDefaultParams};

}  // namespace

ParamCommands::ParamCommands(CMainFrame& frame, ControllerProtocol& protocol) : frame_(frame), protocol_(protocol) {
  for (const std::uint32_t id : kCommands)
    frame_.RegisterCommands(
        id, id, [this](std::uint32_t command) { OnCommand(command); },
        [this](std::uint32_t command) { return Update(command); });
}

ParamCommands::~ParamCommands() = default;

CommandState ParamCommands::Update(std::uint32_t id) const {
  if (frame_.LinkKind == link::kClosed) return {};
  const std::uint32_t type = frame_.ControllerType;
  bool enabled = true;
  switch (id) {
    case cmd::kBlock7Parameters:
      enabled = (frame_.ControllerFeatures & feature::kBirchFamily) != 0 || IsLarchType(type);
      break;
    case cmd::kAsicConfigRegisters:
    case cmd::kReadEventLog:
      enabled = IsLarchUsbType(type) && IsHidLink(frame_.LinkKind);
      break;
    case cmd::kRowanQParameters:
    case cmd::kRowanDefaultParams:
      enabled = IsRowanCedar(type);
      break;
    default:
      break;
  }
  return CommandState{enabled, false};
}

void ParamCommands::OnCommand(std::uint32_t id) {
  if (!Update(id).enabled) return;
  switch (id) {
    case cmd::kBlock1Parameters:
      return Block1Parameters();
    case cmd::kControllerIdEditor:
      return SerialNumber();
    case cmd::kInterfaceHousekeeping:
      return InterfaceHousekeeping();
    case cmd::kBlock7Parameters:
      return Block7Parameters();
    case cmd::kRowDriveLevels:
      return RowDriveLevels();
    case cmd::kAsicConfigRegisters:
      return AsicRegisters();
    case cmd::kReadEventLog:
      return EventLog();
    case cmd::kSaveCalData:
      return SaveCalData();
    case cmd::kRowanQParameters:
      return RowanQParameters();
    case cmd::kRowanDefaultParams:
      return RowanDefaultParams();
    default:
      return;
  }
}

void ParamCommands::Block1Parameters() {
  // Block1 holds the finger settings: a controller that takes the pen as well is asked about first.
  if ((frame_.ControllerFeatures & feature::kPen) != 0 && frame_.PenMode == kPenAuto &&
      frame_.Ui().MessageBox(text::kPenModeQuestion, "KX7SDU", MessageButtons::kOkCancel, MessageIcon::kQuestion) !=
          Answer::kOk)
    return;
  if (!protocol_.channel.ReadBlock(block::kBlock1)) return;
  Block1Sheet sheet(frame_, protocol_.channel);
  if (!frame_.Ui().RunDialog(sheet)) sheet.OnCancel();
}

void ParamCommands::SerialNumber() {
  SerialNumberEditor editor(frame_, protocol_.channel);
  if (!editor.Open()) return;
  frame_.Ui().RunDialog(editor);
}

void ParamCommands::InterfaceHousekeeping() {
  if (!protocol_.channel.ReadBlock(block::kBlock6)) return;
  Block6Editor editor(frame_, protocol_.channel, block6FirstRow);
  editor.confirmBaudChange = [this] {
    return frame_.Ui().MessageBox(text::kBaudChangeQuestion, "KX7SDU", MessageButtons::kYesNo, MessageIcon::kQuestion) ==
           Answer::kYes;
  };
  frame_.Ui().RunDialog(editor);
}

void ParamCommands::Block7Parameters() {
  if ((frame_.ControllerFeatures & feature::kBirchFamily) != 0) {
    Block7Sheet sheet(frame_, protocol_.channel, protocol_.usb, block7TopRow);
    if (protocol_.restart != nullptr) {
      RestartCommands& restart = *protocol_.restart;
      sheet.softReset = [&restart] { restart.SoftReset(); };
      sheet.showProgress = [&restart](const std::string& text) { restart.Progress().Show(text); };
      sheet.closeProgress = [&restart] { restart.Progress().Close(); };
    }
    if (!frame_.Ui().RunDialog(sheet)) sheet.OnCancel();
    return;
  }
  if (!IsLarchType(frame_.ControllerType)) return;
  if (!protocol_.channel.ReadBlock(block::kBlock7)) return;
  LarchBlock7Editor editor(frame_, frame_.blocks.Bytes(block::kBlock7));
  frame_.Ui().RunDialog(editor);
}

void ParamCommands::RowDriveLevels() {
  int rowCount = block::kDefaultRowCount;
  if (protocol_.channel.ReadBlock(block::kBlock7)) {
    const std::vector<std::uint8_t>& block7 = frame_.blocks.Bytes(block::kBlock7);
    if (block7.size() > block::kRowCountByte) rowCount = block7[block::kRowCountByte];
  }
  if (!protocol_.channel.ReadBlock(block::kBlock8)) return;
  Block8Editor editor(frame_, protocol_.channel, rowCount, false, block8FirstRow);
  frame_.Ui().RunDialog(editor);
}

void ParamCommands::AsicRegisters() {
  if (!protocol_.channel.ReadBlock(block::kAsicRegisters)) return;
  RegisterDumpViewer viewer(frame_.blocks.Bytes(block::kAsicRegisters));
  frame_.Ui().RunDialog(viewer);
}

void ParamCommands::EventLog() {
  if (!protocol_.channel.ReadBlock(block::kEventLog)) return;
  int firstRow = 0;
  Block8Editor editor(frame_, protocol_.channel, block::kEventLogRowCount, true, firstRow);
  frame_.Ui().RunDialog(editor);
}

void ParamCommands::SaveCalData() {
  if (!protocol_.channel.ReadBlock(block::kBlock1)) return;
  const std::vector<std::uint8_t> block1 = frame_.blocks.Bytes(block::kBlock1);
  if (block1.size() < block::kCalDataBlock1Bytes) {
    ShowMessage(frame_.Ui(), text::kBlockReadFailed);
    return;
  }
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kCalData, "cal"}, true);
  if (!path) return;
  WriteParamFileOrSay(*path, WriteCalDataFile(block1), frame_.Ui());
}

void ParamCommands::RowanQParameters() { RunRowanQParameters(frame_, protocol_.channel); }

void ParamCommands::RowanDefaultParams() {
  kx7::RowanDefaultParams tool(frame_, protocol_);
  tool.OnOpen();
  frame_.Ui().RunDialog(tool);
}

ParamCommands& InstallParamCommands(CMainFrame& frame) {
  ControllerProtocol* protocol = ProtocolOf(frame);
  return frame.MakeSubsystem<ParamCommands>(frame, *protocol);
}

}  // namespace kx7
