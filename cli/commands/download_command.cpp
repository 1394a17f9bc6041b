// download, and the classic "-download=FILE" / "-dloadall=FILE" given without a command: a
// firmware image into the controller through the loader dialog the desktop program runs,
// unattended, with the download result codes.
#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_app.h"
#include "command_groups.h"
#include "controller_session.h"
#include "firmware/birch2_image_loader.h"
#include "firmware/cedar_gen3_loader.h"
#include "firmware/firmware_loader.h"
#include "firmware/loader_choice.h"
#include "frame/frame_constants.h"

namespace kx7::cli {
namespace {

using firmware::DownloadResult;
using firmware::LoaderKind;

// How the loader is picked: as the menus offer it, by the command-line rule, or as named.
enum class Choice { kMenu, kAuto, kNamed };

struct DownloadRequest {
  std::string file;
  Choice choice = Choice::kMenu;
  LoaderKind named = LoaderKind::kFirmware;
  bool all = false;
  bool noReboot = false;
  bool turbo = false;
  std::string dataFile;
  std::string loaderFile;
  bool codeOnly = false;
  bool ramUtility = false;
  std::string protocol;
  std::string commit;
  // Started by "-download=" or "-dloadall=": the command-line reboot follows a success.
  bool fromSwitch = false;
};

constexpr const char* kDownloadHelp =
    "Connects as find does, picks the loader and runs it unattended. Without --loader the loader\n"
    "is the one the desktop program's menus offer for the controller; --loader auto (and\n"
    "-download=FILE, -dloadall=FILE) applies the command-line rule by the feature word.\n"
    "stdout: the status and progress lines; stderr: message-box texts. --json: only the final\n"
    "object {result, loader, bytes, message}.\n"
    "Exit codes: 0 done, 1 controller not found, 2 no loader fits, 3 the transfer failed,\n"
    "4 the image file cannot be opened, 5 the image file is rejected, 64 usage.";

int Report(CliApp& cli, int result, const char* loader, std::size_t bytes,
           const std::string& message) {
  if (cli.Globals().json) {
    Json object;
    object["result"] = result;
    object["loader"] = loader == nullptr ? Json(nullptr) : Json(loader);
    object["bytes"] = bytes;
    object["message"] = message;
    PrintJson(cli.Out(), object);
  }
  return result;
}

int Download(CliApp& cli, ControllerSession& session, const DownloadRequest& request) {
  CMainFrame& frame = session.Frame();
  const bool json = cli.Globals().json;
  if (!session.Connect(cli.Globals().link, true) || frame.LinkKind == link::kClosed)
    return Report(cli, static_cast<int>(DownloadResult::kNotFound), nullptr, 0, "");
  std::optional<LoaderKind> kind;
  switch (request.choice) {
    case Choice::kMenu: kind = firmware::MenuLoader(frame.ControllerType, frame.ControllerFeatures); break;
    case Choice::kAuto: kind = firmware::CommandLineLoader(frame.ControllerFeatures); break;
    case Choice::kNamed: kind = request.named; break;
  }
  if (!kind) {
    if (!json) cli.Err() << "kx7cli: no firmware loader fits this controller\n";
    return Report(cli, static_cast<int>(DownloadResult::kNoLoader), nullptr, 0, "");
  }
  const char* name = firmware::LoaderName(*kind);
  std::unique_ptr<firmware::LoaderDialog> made = firmware::MakeLoader(*kind, frame, session.Protocol());
  if (!made) {
    cli.Err() << "kx7cli: the " << name << " loader over this link is not available in this kx7cli\n";
    return Report(cli, static_cast<int>(DownloadResult::kNoLoader), name, 0, "");
  }
  firmware::LoaderDialog& loader = *made;
  if (auto* firmwareLoader = dynamic_cast<firmware::FirmwareLoader*>(made.get()))
    firmwareLoader->reboot = !request.noReboot;
  if (auto* birch2 = dynamic_cast<firmware::Birch2ImageLoader*>(made.get())) birch2->preserve = !request.all;
  if (auto* gen3 = dynamic_cast<firmware::CedarGen3Loader*>(made.get())) {
    gen3->protocol = request.protocol == "standard"      ? firmware::Gen3Protocol::kStandard
                     : request.protocol == "ram-utility" ? firmware::Gen3Protocol::kRamUtility
                                                         : firmware::Gen3Protocol::kHeader;
  }
  if (!json) loader.statusLine = [&cli](const std::string& text) { cli.Out() << text << "\n" << std::flush; };
  loader.SetAutomatic(request.file);
  loader.RunHeadless();
  const int result = static_cast<int>(loader.Result());
  // After an automatic run from the command line the controller is rebooted into its new code
  // once more (a controller already rebooting may not hear it).
  if (loader.Result() == DownloadResult::kDone && request.choice == Choice::kAuto && !request.noReboot)
    session.Protocol().channel.SendCommand("RE3");
  return Report(cli, result, name, loader.BytesSent(), loader.Message());
}

std::optional<std::string> SwitchValue(const std::vector<std::string>& switches, const char* name) {
  std::optional<std::string> value;
  for (const std::string& s : switches)
    if (s.rfind(name, 0) == 0) value = s.substr(std::string(name).size());
  return value;
}

}  // namespace

void AddDownloadCommand(CliApp& cli) {
  auto request = std::make_shared<DownloadRequest>();
  CLI::App& download = cli.AddCommand("download", "download a firmware image into the controller", kControllerGroup);
  AddValue(
      download, "file", "FILE", "the image file",
      [request](const std::string& value) {
        request->file = value;
        return !value.empty();
      },
      "no file name");
  AddValue(
      download, "--loader", "L", "auto, firmware, uefi, birch2, cedar-gen2 or cedar-gen3",
      [request](const std::string& value) {
        if (value == "auto") {
          request->choice = Choice::kAuto;
          return true;
        }
        const std::optional<LoaderKind> kind = firmware::LoaderByName(value);
        if (kind) {
          request->choice = Choice::kNamed;
          request->named = *kind;
        }
        return kind.has_value();
      },
      "not auto, firmware, uefi, birch2, cedar-gen2 or cedar-gen3");
  download.add_flag("--all", request->all, "clear the Preserve box (as -dloadall=)");
  download.add_flag("--no-reboot", request->noReboot, "clear \"Reboot\": no reboot into the new code");
  download.add_flag("--turbo", request->turbo, "the \"Turbo\" box");
  AddValue(
      download, "--data", "FILE", "the Cedar GEN2 data file",
      [request](const std::string& value) {
        request->dataFile = value;
        return true;
      },
      "");
  AddValue(
      download, "--loader-file", "FILE", "the Cedar GEN2 loader file",
      [request](const std::string& value) {
        request->loaderFile = value;
        return true;
      },
      "");
  download.add_flag("--code-only", request->codeOnly, "the Cedar GEN2 \"Code Only\" box");
  download.add_flag("--ram-utility", request->ramUtility, "the Cedar GEN2 \"Ram Utility\" box");
  AddValue(
      download, "--protocol", "P", "the Cedar Gen3 protocol: header, standard or ram-utility",
      [request](const std::string& value) {
        request->protocol = value;
        return value == "header" || value == "standard" || value == "ram-utility";
      },
      "not header, standard or ram-utility");
  AddValue(
      download, "--commit", "yes|no", "the answer to the UEFI loader's commit question",
      [request](const std::string& value) {
        request->commit = value;
        return value == "yes" || value == "no";
      },
      "not yes or no");
  cli.AddJsonFlag(download, "print only the final object {result, loader, bytes, message}");
  download.footer(kDownloadHelp);
  cli.OnRun(download, [&cli, request] {
    return RunWithController(
        cli, [&cli, request](ControllerSession& session) { return Download(cli, session, *request); }, false);
  });

  // "-download=FILE" and "-dloadall=FILE" without a command.
  cli.OnSwitchRun([&cli](const std::vector<std::string>& switches) -> CliApp::Run {
    const std::optional<std::string> one = SwitchValue(switches, "-download=");
    const std::optional<std::string> all = SwitchValue(switches, "-dloadall=");
    if (!one && !all) return nullptr;
    auto request = std::make_shared<DownloadRequest>();
    request->choice = Choice::kAuto;
    request->fromSwitch = true;
    request->all = all.has_value();
    request->file = all ? *all : *one;
    return [&cli, request] {
      if (request->file.empty()) return cli.UsageError("-download= and -dloadall= need a file name");
      return RunWithController(
          cli, [&cli, request](ControllerSession& session) { return Download(cli, session, *request); }, false);
    };
  });
}

}  // namespace kx7::cli
