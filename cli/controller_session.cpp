#include "controller_session.h"

#include "cli_app.h"
#include "controller/controller_type_names.h"
#include "frame/frame_constants.h"
#include "frame/frame_texts.h"
#include "proto/proto_constants.h"

namespace kx7::cli {

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

bool ControllerSession::Connect(const std::optional<LinkRequest>& link, bool identifyLink) {
  if (!link) return Find();
  if (!OpenLink(*link)) return false;
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

void ControllerSession::PrintReport(bool json, std::ostream& out) {
  const ControllerReport report = Report();
  if (json) {
    PrintJson(out, ReportJson(report));
    return;
  }
  out << ReportText(report);
  out.flush();
}

int RunWithController(CliApp& cli, const std::function<int(ControllerSession&)>& command, bool frameDownloads) {
  CDiagnosticApp app;
  if (const int code = cli.PreparePorts(app.ports); code != kExitDone) return code;
  app.flags = ParseStartupFlags(cli.Globals().programSwitches);
  if (!frameDownloads) {
    app.flags.download = 0;
    app.flags.downloadFile.clear();
  }
  ControllerSession session(app, cli.Err());
  return command(session);
}

}  // namespace kx7::cli
