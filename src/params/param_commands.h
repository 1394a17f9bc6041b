// The main frame's commands of the parameter blocks (the Data menu): the Block1 sheet, the serial
// number, Block6, the Birch2 Block7 sheet or the Larch block-7 editor, the row drive levels, the
// ASIC registers, the event log, Save Cal Data and the two Rowan tools. Each reads what it shows
// first and opens nothing when that read fails. The editors' remembered scroll positions live
// here, as long as the frame.
#pragma once

#include <cstdint>

#include "frame/main_frame.h"
#include "proto/controller_protocol.h"

namespace kx7 {

class ParamCommands {
 public:
  ParamCommands(CMainFrame& frame, ControllerProtocol& protocol);
  ~ParamCommands();
  ParamCommands(const ParamCommands&) = delete;
  ParamCommands& operator=(const ParamCommands&) = delete;

  void OnCommand(std::uint32_t id);
  CommandState Update(std::uint32_t id) const;

  void Block1Parameters();
  void SerialNumber();
  void InterfaceHousekeeping();
  void Block7Parameters();
  void RowDriveLevels();
  void AsicRegisters();
  void EventLog();
  void SaveCalData();
  void RowanQParameters();
  void RowanDefaultParams();

  // Where the Block7 sheet, the Block6 and the Block8 editors start next time.
  std::size_t block7TopRow = 0;
  int block6FirstRow = 0;
  int block8FirstRow = 0;

 private:
  CMainFrame& frame_;
  ControllerProtocol& protocol_;
};

ParamCommands& InstallParamCommands(CMainFrame& frame);

}  // namespace kx7
