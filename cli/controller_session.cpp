#include "controller_session.h"

#include "controller/controller_type_names.h"
#include "controller/controller_types.h"
#include "frame/frame_constants.h"
#include "frame/frame_texts.h"
#include "proto/proto_constants.h"
#include "controller_commands.h"
#include "terminal_command.h"

namespace kx7::cli {
namespace {

// A one-line reply ends at its CR long before this.
constexpr std::size_t kSendReplyLength = 256;

void PrintReport(ControllerSession& session, const Request& request, std::ostream& out) {
  const ControllerReport report = session.Report();
  out << (request.json ? ReportJson(report) : ReportText(report));
  out.flush();
}

int RunFind(ControllerSession& session, const Request& request, std::ostream& out) {
  const bool found = session.Find();
  PrintReport(session, request, out);
  return found ? 0 : 1;
}

int RunIdentify(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err) {
  // Without --link the search identifies what it finds.
  const bool done = request.link ? session.OpenLink(*request.link) && session.Identify() : session.Find();
  PrintReport(session, request, out);
  if (!done) return 1;
  if (session.Frame().ControllerType == type::kGeneric) {
    err << "kx7cli: no controller type identified\n";
    return 1;
  }
  return 0;
}

int RunSend(ControllerSession& session, const Request& request, std::ostream& out, std::ostream& err) {
  if (!session.Connect(request, false)) return 1;
  CommandChannel& channel = session.Protocol().channel;
  channel.SendCommand(request.text);
  const ReplyBytes reply = channel.Transact(kSendReplyLength, 0);
  // A time-out leaves at most the one byte that ended the wait.
  const bool answered = reply.size() > 1;
  if (request.json)
    out << ReplyJson(reply);
  else if (answered)
    out << ShowableReply(reply) << "\n";
  out.flush();
  if (!answered) {
    err << "kx7cli: no reply to \"" << ShowableText(request.text) << "\"\n";
    return 1;
  }
  return 0;
}

int RunReadBlock(ControllerSession& session, const Request& request, std::ostream& out) {
  // Over --link the controller is identified first: the block rules depend on its type.
  if (!session.Connect(request, true)) return 1;
  CommandChannel& channel = session.Protocol().channel;
  std::vector<std::uint8_t> block;
  if (!channel.ReadBlock(request.block, block)) return 1;
  const std::string hex = HexPairs(block);
  if (request.json) {
    const char status = request.block == kSerialNumberBlock ? 0 : channel.LastBlockStatus();
    out << BlockJson(request.block, status, hex);
  } else {
    out << hex << "\n";
  }
  out.flush();
  return 0;
}

int RunWriteBlock(ControllerSession& session, const Request& request) {
  if (!session.Connect(request, true)) return 1;
  std::vector<std::uint8_t> block = request.blockBytes;
  return session.Protocol().channel.WriteBlock(request.block, block) ? 0 : 1;
}

}  // namespace

ControllerSession::ControllerSession(CDiagnosticApp& app, std::ostream& messages) : ui_(messages) {
  // Each command decides itself whether to search; the start-up search would come first.
  app.flags.noSearch = 1;
  frame_ = app.CreateMainFrame(loop_, ui_, CMainFrame::Environment{});
  protocol_ = ProtocolOf(*frame_);
  if (!protocol_) protocol_ = &InstallControllerProtocol(*frame_);
}

ControllerSession::~ControllerSession() {
  // The program's end: the link closes and the settings are saved.
  if (!frame_->Closed()) loop_.Send(frame_->Id(), wm::kClose);
  frame_.reset();
}

bool ControllerSession::Find() {
  protocol_->finder.FindController(find::kShowWindow, false);
  return frame_->LinkKind != link::kClosed;
}

bool ControllerSession::OpenLink(const LinkRequest& link) {
  frame_->CloseLink();
  if (!link.settings.empty()) frame_->settings.MainPortSettings = link.settings;
  CSerialPort& controllerPort = *frame_->serialPorts[port::kController];
  controllerPort.SetSettings(frame_->settings.MainPortSettings);
  if (!controllerPort.OpenPort(link.port)) {
    ShowMessage(ui_, text::kCantOpenPort);
    frame_->LinkKind = link::kClosed;
    return false;
  }
  frame_->LinkKind = link.port;
  return true;
}

bool ControllerSession::Identify() {
  ControllerInfoWindow& info = protocol_->info;
  info.BeginSearch();
  const bool identified = protocol_->identifier.IdentifyController();
  info.EndSearch();
  return identified;
}

bool ControllerSession::Connect(const Request& request, bool identifyLink) {
  if (!request.link) return Find();
  if (!OpenLink(*request.link)) return false;
  if (identifyLink) Identify();
  return true;
}

ControllerReport ControllerSession::Report() {
  ControllerReport report;
  for (int line = 0; line < ControllerInfoWindow::kLineCount; ++line)
    report.info[static_cast<std::size_t>(line)] = protocol_->info.LineText(line);
  report.linkKind = frame_->LinkKind;
  report.portSettings = frame_->settings.MainPortSettings;
  report.controllerType = frame_->ControllerType;
  report.typeName = ControllerTypeName(frame_->ControllerType);
  report.controllerFeatures = frame_->ControllerFeatures;
  report.penMode = frame_->PenMode;
  report.multiTouchMode = frame_->MultiTouchMode;
  return report;
}

int RunControllerCommand(const Request& request, CDiagnosticApp& app, std::ostream& out, std::ostream& err) {
  ControllerSession session(app, err);
  switch (request.command) {
    case Command::kFind:
      return RunFind(session, request, out);
    case Command::kIdentify:
      return RunIdentify(session, request, out, err);
    case Command::kSend:
      return RunSend(session, request, out, err);
    case Command::kReadBlock:
      return RunReadBlock(session, request, out);
    case Command::kWriteBlock:
      return RunWriteBlock(session, request);
    case Command::kTerminal:
      return RunTerminal(session, request, out, err);
    case Command::kReset:
      return RunReset(session, request, out, err);
    case Command::kReboot:
      return RunReboot(session, request, out, err);
    case Command::kRestoreDefaults:
      return RunRestoreDefaults(session, request, out, err);
    case Command::kPeek:
      return RunPeek(session, request, out, err);
    case Command::kPoke:
      return RunPoke(session, request, err);
    case Command::kPorts:
    case Command::kDecode:
      break;
  }
  return 2;
}

}  // namespace kx7::cli
