// The "Port Settings" dialog's logic: initial choices from a port's settings string, and the
// string that OK builds. The Qt view in gui/ only shows these choices.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "platform/ui_host.h"

namespace kx7 {

class PortSettingsDialogModel : public DialogModel {
 public:
  static constexpr std::array<int, 12> kBaudRates = {300,   600,   1200,  2400,  4800,  9600,
                                                     19200, 28800, 38400, 56000, 57600, 115200};
  enum class Parity { kNone, kOdd, kEven };

  // `settings` is the port's settings string (empty stands for "9600,n,8,1"); `rts` and `dtr` the
  // port's line settings. `apply` is called by OnOk with the new string, RTS and DTR; it applies
  // them to the port and stores the string in the frame.
  PortSettingsDialogModel(const std::string& settings, bool rts, bool dtr,
                          std::function<void(const std::string&, bool, bool)> apply);

  const char* Kind() const override { return "PortSettings"; }
  std::string Title() const override { return "Port Settings"; }
  bool OnOk() override;

  // The choices, read and written by the view.
  int baudIndex = 5;  // index into kBaudRates
  Parity parity = Parity::kNone;
  int dataBits = 8;  // 7 or 8
  int stopBits = 1;  // 1 or 2
  bool rts = false;
  bool dtr = true;

  // "%d,%C,%d,%d" from the choices.
  std::string BuildSettings() const;

 private:
  std::function<void(const std::string&, bool, bool)> apply_;
};

}  // namespace kx7
