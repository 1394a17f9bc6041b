#include "params/speed_change.h"

#include "frame/frame_constants.h"
#include "frame/frame_texts.h"

namespace kx7 {

bool WriteBlockAtNewSettings(CMainFrame& frame, CommandChannel& channel, int number, const std::string& newSettings) {
  const bool written = channel.WriteBlock(number, true);
  frame.Loop().Sleep(kSpeedChangePauseMs);
  channel.ClearLink();
  if (!IsSerialLink(frame.LinkKind)) return written;
  frame.settings.MainPortSettings = newSettings;
  CSerialPort& port = *frame.serialPorts[port::kController];
  port.WaitUntilSent();
  const int comPort = frame.LinkKind;
  port.ClosePort();
  port.SetSettings(newSettings);
  if (!port.OpenPort(comPort)) {
    ShowMessage(frame.Ui(), text::kCantOpenPort);
    return false;
  }
  return written;
}

}  // namespace kx7
