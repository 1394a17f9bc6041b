#include "proto/controller_protocol.h"

#include "proto/controller_more.h"
#include "proto/memory_exchange.h"
#include "proto/restart_commands.h"

namespace kx7 {

ControllerProtocol::ControllerProtocol(CMainFrame& frame)
    : channel(frame),
      info(frame.Loop(), frame.Ui()),
      identifier(frame, channel, info),
      finder(frame, channel, info, identifier),
      typeMenu(frame, channel, info, identifier) {}

ControllerProtocol& InstallControllerProtocol(CMainFrame& frame, LinkReaders readers) {
  ControllerProtocol& installed = frame.MakeSubsystem<ControllerProtocol>(frame);
  frame.protocol = &installed;
  installed.usb = &frame.MakeSubsystem<UsbLinks>(frame, installed, readers);
  installed.restart = &frame.MakeSubsystem<RestartCommands>(frame, installed.channel, installed.usb);
  MemoryExchange& memory = frame.MakeSubsystem<MemoryExchange>(frame, installed.channel, installed.usb);
  installed.memory = &memory;
  // "More..." of the Controller Info window reads the extended status or the status words.
  installed.info.onMore = [&frame, &installed, &memory] { RunControllerMore(frame, installed.info, memory, installed.usb); };
  return installed;
}

ControllerProtocol* ProtocolOf(CMainFrame& frame) { return frame.protocol; }

}  // namespace kx7
