// The Rowan Default Params tool (dialog "Dialog"): shows the controller's panel type, loads a
// Default Params file, and either sends it to the controller whole (the "SP2" exchange) or erases
// the controller's parameter area behind the loader pass-through ("Clear Params").
//
// The file is checked whole when it is chosen: one whose length field does not lie within the
// file (longer than the file, odd, below 16, or too short for its name and fixed words) is refused
// and can never be sent; a CRC that does not match is a warning. Every way the write ends leaves
// the HID pass-through as it was found.
#pragma once

#include <optional>
#include <string>

#include "frame/main_frame.h"
#include "params/default_param_file.h"
#include "proto/controller_protocol.h"

namespace kx7 {

class RowanDefaultParams : public DialogModel {
 public:
  RowanDefaultParams(CMainFrame& frame, ControllerProtocol& protocol);
  const char* Kind() const override { return "RowanDefaultParams"; }
  std::string Title() const override { return "Dialog"; }

  // Opening: "Existing Panel Type:" from the controller.
  void OnOpen();
  std::string existingPanelType;
  std::string newPanelType;
  std::string filePath;
  bool ClearParams() const { return clearParams_; }
  void SetClearParams(bool on);
  bool StartEnabled() const;
  bool FileBoxEnabled() const { return !clearParams_; }

  // "Browse...": the open dialog; a cancel closes the tool.
  void Browse();
  // Loads a file as "Browse..." does once it is chosen; false when it was refused.
  bool LoadFile(const std::string& path);
  const std::optional<DefaultParamFile>& File() const { return file_; }

  // "Start": the clear sequence or the file write; the tool closes after either.
  void Start();
  bool CloseRequested() const { return closeRequested_; }

  struct WriteResult {
    bool written = false;   // the controller took the file
    bool verified = false;  // it reports valid parameters of the file's panel type
    std::string message;    // the program's text when it failed ("" when verified)
  };
  // The file write: "SP2", the file as hexadecimal pairs with its XOR word, the controller's two
  // answers, and the check of the panel type. Shows the message itself when `show` is set.
  WriteResult WriteFile(const DefaultParamFile& file, bool show = true);
  // The clear sequence; false when it failed ("Handshake Failed", "Clear Param Failed").
  bool ClearSequence();

 private:
  bool Handshake(std::uint8_t send, std::uint8_t expected);
  std::string PanelType();
  CMainFrame& frame_;
  ControllerProtocol& protocol_;
  std::optional<DefaultParamFile> file_;
  bool clearParams_ = false;
  bool closeRequested_ = false;
};

}  // namespace kx7
