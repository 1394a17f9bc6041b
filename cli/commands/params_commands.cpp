// params show|save|restore and block7: the parameter files of the block editors checked, written
// from the controller's blocks and sent back to it, and the Birch2 Block7 table in physical units,
// all through the editors' own classes.
#include <CLI/CLI.hpp>

#include <map>
#include <memory>

#include "cli_app.h"
#include "command_groups.h"
#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "controller_session.h"
#include "frame/frame_constants.h"
#include "param_file_json.h"
#include "params/block1_sheet.h"
#include "params/block6_editor.h"
#include "params/block6_file.h"
#include "params/block7_sheet.h"
#include "params/block8_editor.h"
#include "params/block8_file.h"
#include "params/block_q_file.h"
#include "params/cal_data_file.h"
#include "params/default_param_file.h"
#include "params/eep_file.h"
#include "params/hex_block_file.h"
#include "params/param_file_io.h"
#include "params/params_constants.h"
#include "params/rowan_default_params.h"
#include "params/rowan_q_parameters.h"
#include "params/speed_change.h"
#include "proto/block7_memory_exchange.h"
#include "proto/proto_constants.h"

namespace kx7::cli {
namespace {

constexpr const char* kCaption = "KX7SDU";
// Block4 is read back after a pause, as the Block4 editor does.
constexpr std::uint32_t kBlock4ReadBackPauseMs = 250;

struct ParamsRequest {
  std::string file;
  std::optional<ParamFileKind> kind;  // --kind
  bool force = false;
};

void ShowText(CliApp& cli, const std::string& text) { cli.Err() << kCaption << ": " << text << "\n"; }

// The kind of the request: --kind, else the extension; bad usage when neither says.
std::optional<ParamFileKind> KindOf(CliApp& cli, const ParamsRequest& request, int& code) {
  if (request.kind) return request.kind;
  if (const auto kind = KindFromExtension(request.file)) return kind;
  code = cli.UsageError(request.file + ": the file's kind is not in its name; give --kind (dat, bkq, bk1, bk2, bk4, "
                                       "blk, bk6, bk8, cal or eep)");
  return std::nullopt;
}

// The file's bytes; "Failed to open file!" and nothing when it cannot be read.
std::optional<std::string> ReadFile(CliApp& cli, const std::string& path, ParamFileKind kind) {
  const std::optional<std::string> bytes =
      ReadParamFile(path, kind == ParamFileKind::kDat ? kDefaultParamReadLimit : kParamFileReadLimit);
  if (!bytes) ShowText(cli, text::kFailedToOpenFile);
  return bytes;
}

void Print(CliApp& cli, const Json& object) {
  if (cli.Globals().json) {
    PrintJson(cli.Out(), object);
    return;
  }
  cli.Out() << JsonLines(object);
  cli.Out().flush();
}

// --- show --------------------------------------------------------------------------------------

int Show(CliApp& cli, const ParamsRequest& request) {
  int code = kExitDone;
  const std::optional<ParamFileKind> kind = KindOf(cli, request, code);
  if (!kind) return code;
  if (const int refused = cli.RefuseControllerOptions("params show", "needs no controller"); refused != kExitDone)
    return refused;
  const std::optional<std::string> bytes = ReadFile(cli, request.file, *kind);
  if (!bytes) return kExitCannotOpen;
  const Json object = ShowJson(*kind, *bytes);
  Print(cli, object);
  return object["Valid"].get<bool>() ? kExitDone : kExitRejected;
}

// --- save --------------------------------------------------------------------------------------

// The file of a kind from the controller; nothing (exit code in `code`) when a read failed.
std::optional<std::string> FileFromController(CliApp& cli, ControllerSession& session, ParamFileKind kind, int& code) {
  CMainFrame& frame = session.Frame();
  CommandChannel& channel = session.Protocol().channel;
  code = kExitFailed;
  const auto read = [&](int number) -> const std::vector<std::uint8_t>* {
    if (!channel.ReadBlock(number)) return nullptr;
    return &frame.blocks.Bytes(number);
  };
  const auto wrongLength = [&](int number, std::size_t got, const char* wanted) -> std::optional<std::string> {
    cli.Err() << "kx7cli: block " << number << " holds " << got << " bytes, not " << wanted << "\n";
    return std::nullopt;
  };
  switch (kind) {
    case ParamFileKind::kBk1:
    case ParamFileKind::kBlk: {
      const auto* block = read(kind == ParamFileKind::kBk1 ? block::kBlock1 : block::kBlock7);
      if (block == nullptr) return std::nullopt;
      return WriteHexBlockFile(*block);
    }
    case ParamFileKind::kBk2: {
      const auto* block = read(block::kBlock2);
      if (block == nullptr) return std::nullopt;
      if (block->size() != block::kBlock2Bytes) return wrongLength(block::kBlock2, block->size(), "50");
      return WriteHexBlockFile(*block);
    }
    case ParamFileKind::kBk4: {
      const auto* block = read(block::kBlock4);
      if (block == nullptr) return std::nullopt;
      std::vector<std::uint8_t> bytes = *block;
      bytes.resize(block::kBlock4Bytes, 0);
      return WriteHexBlockFile(bytes);
    }
    case ParamFileKind::kBk6: {
      const auto* block = read(block::kBlock6);
      if (block == nullptr) return std::nullopt;
      const std::vector<std::string> names =
          Block6Names(Block6NameTableFor(frame.ControllerType, frame.ControllerFeatures), block->size());
      return WriteBlock6File(*block, names, frame.blocks.Status(block::kBlock6));
    }
    case ParamFileKind::kBk8: {
      const auto* block = read(block::kBlock8);
      if (block == nullptr) return std::nullopt;
      if (block->size() != block::kBlock8Bytes) return wrongLength(block::kBlock8, block->size(), "512");
      return WriteBlock8File(Block8Values(*block));
    }
    case ParamFileKind::kCal: {
      const auto* block = read(block::kBlock1);
      if (block == nullptr) return std::nullopt;
      if (block->size() < block::kCalDataBlock1Bytes) return wrongLength(block::kBlock1, block->size(), "at least 25");
      return WriteCalDataFile(*block);
    }
    case ParamFileKind::kBkq:
      return WriteBlockQFile(ReadBlockQParameters(channel));
    case ParamFileKind::kEep: {
      if ((frame.ControllerFeatures & feature::kBirchFamily) == 0) {
        cli.Err() << "kx7cli: the Block7 table is a Birch controller's; this one is not\n";
        return std::nullopt;
      }
      std::size_t top = 0;
      Block7Sheet sheet(frame, channel, session.Protocol().usb, top);
      if (!sheet.OnShown()) return std::nullopt;
      return WriteEepFile(sheet.Table());
    }
    case ParamFileKind::kDat:
      break;
  }
  return std::nullopt;
}

int Save(CliApp& cli, const ParamsRequest& request) {
  int code = kExitDone;
  const std::optional<ParamFileKind> kind = KindOf(cli, request, code);
  if (!kind) return code;
  if (*kind == ParamFileKind::kDat)
    return cli.UsageError("the program reads Default Params files but never writes one");
  return RunWithController(cli, [&](ControllerSession& session) {
    if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
    int failed = kExitFailed;
    const std::optional<std::string> file = FileFromController(cli, session, *kind, failed);
    if (!file) return failed;
    if (!WriteParamFile(request.file, *file)) {
      ShowText(cli, text::kFailedToOpenFile);
      return kExitCannotOpen;
    }
    if (cli.Globals().json) PrintJson(cli.Out(), ShowJson(*kind, *file));
    return kExitDone;
  });
}

// --- restore -----------------------------------------------------------------------------------

struct Outcome {
  bool written = false;
  bool verified = false;
  std::string message;
};

int Finish(CliApp& cli, ParamFileKind kind, const Outcome& outcome) {
  if (cli.Globals().json) {
    Json object = Json::object();
    object["Kind"] = KindName(kind);
    object["Written"] = outcome.written;
    object["Verified"] = outcome.verified;
    object["Message"] = JsonText(outcome.message);
    PrintJson(cli.Out(), object);
  }
  return outcome.verified ? kExitDone : kExitFailed;
}

// Reads the block back and compares it with what was written.
Outcome ReadBack(CliApp& cli, CommandChannel& channel, int number, const std::vector<std::uint8_t>& written) {
  Outcome outcome;
  outcome.written = true;
  std::vector<std::uint8_t> back;
  if (!channel.ReadBlock(number, back)) {
    outcome.message = text::kBlockReadFailed;
    return outcome;
  }
  if (back != written) {
    outcome.message = text::kWriteDataFailed;
    ShowText(cli, outcome.message);
    return outcome;
  }
  outcome.verified = true;
  return outcome;
}

Outcome Written(CliApp& cli, CommandChannel& channel, int number, std::vector<std::uint8_t> bytes) {
  if (!channel.WriteBlock(number, bytes)) return Outcome{false, false, text::kWriteFailed};
  return ReadBack(cli, channel, number, bytes);
}

// A file that does not pass its checks sends nothing.
bool Rejected(CliApp& cli, const std::string& why) {
  cli.Err() << "kx7cli: " << why << "; nothing was sent\n";
  return true;
}

int RestoreHexBlock(CliApp& cli, ControllerSession& session, ParamFileKind kind, const std::string& bytes) {
  CMainFrame& frame = session.Frame();
  CommandChannel& channel = session.Protocol().channel;
  if (kind == ParamFileKind::kBk1) {
    const HexBlockFileCheck file = ReadHexBlockFile(bytes, HexBlockKind::kBlock1);
    if (!file.Valid()) return Rejected(cli, "the file does not read as a Block1 file"), kExitRejected;
    if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
    if (!channel.ReadBlock(block::kBlock1)) return Finish(cli, kind, Outcome{false, false, text::kBlockReadFailed});
    const std::vector<std::uint8_t> before = frame.blocks.Bytes(block::kBlock1);
    if (file.bytes.size() != before.size())
      return Rejected(cli, "the file holds " + std::to_string(file.bytes.size()) + " bytes and the controller's Block1 " +
                               std::to_string(before.size())),
             kExitRejected;
    frame.blocks.Bytes(block::kBlock1) = file.bytes;
    const std::optional<std::string> settings =
        Block1Sheet::ChangedPortSettings(frame.ControllerType, frame.ControllerFeatures, before, file.bytes);
    bool written = false;
    if (settings)
      written = WriteBlockAtNewSettings(frame, channel, block::kBlock1, *settings);
    else
      written = channel.WriteBlock(block::kBlock1);
    if (!written) return Finish(cli, kind, Outcome{false, false, text::kWriteFailed});
    // The Rowan/Cedar check word was stored in the copy that went out.
    return Finish(cli, kind, ReadBack(cli, channel, block::kBlock1, frame.blocks.Bytes(block::kBlock1)));
  }
  const bool block2 = kind == ParamFileKind::kBk2;
  const HexBlockFileCheck file = ReadHexBlockFile(bytes, block2 ? HexBlockKind::kBlock2 : HexBlockKind::kBlock4);
  if (!file.Valid()) return Rejected(cli, "the file does not read as a block file"), kExitRejected;
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  if (block2) return Finish(cli, kind, Written(cli, channel, block::kBlock2, file.bytes));
  std::vector<std::uint8_t> block4 = file.bytes;
  if (!channel.WriteBlock(block::kBlock4, block4)) return Finish(cli, kind, Outcome{false, false, text::kWriteFailed});
  frame.Loop().Sleep(kBlock4ReadBackPauseMs);
  return Finish(cli, kind, ReadBack(cli, channel, block::kBlock4, block4));
}

int RestoreBlock6(CliApp& cli, ControllerSession& session, const std::string& bytes) {
  const Block6FileCheck file = ReadBlock6File(bytes);
  if (!file.Valid()) return Rejected(cli, "the file does not read as a Block6 file"), kExitRejected;
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  CMainFrame& frame = session.Frame();
  CommandChannel& channel = session.Protocol().channel;
  if (!channel.ReadBlock(block::kBlock6))
    return Finish(cli, ParamFileKind::kBk6, Outcome{false, false, text::kBlockReadFailed});
  if (file.values.size() != frame.blocks.Length(block::kBlock6))
    return Rejected(cli, "the file holds " + std::to_string(file.values.size()) + " bytes and the controller's Block6 " +
                             std::to_string(frame.blocks.Length(block::kBlock6))),
           kExitRejected;
  int firstRow = 0;
  Block6Editor editor(frame, channel, firstRow);
  editor.SetBytes(file.values);
  bool refused = false;
  // Through a touch driver a new speed would leave the driver behind: refused, not asked.
  editor.confirmBaudChange = [&refused] {
    refused = true;
    return false;
  };
  if (!editor.Apply()) {
    if (refused) {
      cli.Err() << "kx7cli: the file changes the controller's speed, which would stop the touch driver; nothing was "
                   "sent\n";
      return Finish(cli, ParamFileKind::kBk6, Outcome{false, false, text::kBaudChangeQuestion});
    }
    return Finish(cli, ParamFileKind::kBk6, Outcome{false, false, text::kWriteFailed});
  }
  return Finish(cli, ParamFileKind::kBk6, ReadBack(cli, channel, block::kBlock6, file.values));
}

int RestoreBlock8(CliApp& cli, ControllerSession& session, const std::string& bytes) {
  const Block8FileCheck file = ReadBlock8File(bytes);
  if (!file.Valid()) return Rejected(cli, "the file does not read as a Block8 file"), kExitRejected;
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  CMainFrame& frame = session.Frame();
  CommandChannel& channel = session.Protocol().channel;
  int firstRow = 0;
  Block8Editor editor(frame, channel, block::kDefaultRowCount, false, firstRow);
  editor.SetValues(file.values);
  if (!editor.Apply()) return Finish(cli, ParamFileKind::kBk8, Outcome{false, false, text::kWriteFailed});
  return Finish(cli, ParamFileKind::kBk8, ReadBack(cli, channel, block::kBlock8, Block8Bytes(file.values)));
}

int RestoreEep(CliApp& cli, ControllerSession& session, const std::string& path) {
  const std::optional<std::string> bytes = ReadParamFile(path);
  const EepFileCheck file = ReadEepFile(bytes.value_or(std::string()));
  if (!file.Valid()) return Rejected(cli, "the file does not read as an EEP file"), kExitRejected;
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  CMainFrame& frame = session.Frame();
  if ((frame.ControllerFeatures & feature::kBirchFamily) == 0) {
    cli.Err() << "kx7cli: the Block7 table is a Birch controller's; this one is not\n";
    return Finish(cli, ParamFileKind::kEep, Outcome{});
  }
  CommandChannel& channel = session.Protocol().channel;
  std::size_t top = 0;
  Block7Sheet sheet(frame, channel, session.Protocol().usb, top);
  if (!sheet.OnShown()) return Finish(cli, ParamFileKind::kEep, Outcome{false, false, text::kBlockReadFailed});
  if (!sheet.ReadEepFile(path)) return kExitRejected;
  const Block7Table written = sheet.Table();
  if (!sheet.Apply()) return Finish(cli, ParamFileKind::kEep, Outcome{false, false, text::kWriteFailed});
  Outcome outcome;
  outcome.written = true;
  if (!sheet.OnShown()) {
    outcome.message = text::kBlockReadFailed;
    return Finish(cli, ParamFileKind::kEep, outcome);
  }
  // The rows the USB routes cannot move read 255 and are not compared.
  const bool linkRoute = Block7MemoryExchange::UsesLinkRoute(frame.LinkKind, frame.ControllerType, frame.ControllerFeatures);
  const std::vector<EepEntry>& back = sheet.Table().Rows();
  for (std::size_t row = 0; row < written.Count(); ++row) {
    const EepEntry& entry = written.Rows()[row];
    if (linkRoute && !Block7MemoryExchange::LinearOffset(entry.address)) continue;
    if (row >= back.size() || (back[row].value & 0xFF) != (entry.value & 0xFF)) {
      outcome.message = text::kWriteDataFailed;
      ShowText(cli, outcome.message);
      return Finish(cli, ParamFileKind::kEep, outcome);
    }
  }
  outcome.verified = true;
  return Finish(cli, ParamFileKind::kEep, outcome);
}

int RestoreDat(CliApp& cli, ControllerSession& session, const std::string& bytes, bool force) {
  const DefaultParamFile file = ReadDefaultParamFile(bytes);
  if (!file.sendable) return Rejected(cli, "the file's length field does not lie within the file"), kExitRejected;
  if (!file.warnings.empty() && !force) {
    for (const std::string& warning : file.warnings) ShowText(cli, warning);
    return Rejected(cli, "the file has warnings (--force sends it all the same)"), kExitRejected;
  }
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  RowanDefaultParams tool(session.Frame(), session.Protocol());
  const RowanDefaultParams::WriteResult result = tool.WriteFile(file);
  return Finish(cli, ParamFileKind::kDat, Outcome{result.written, result.verified, result.message});
}

int Restore(CliApp& cli, const ParamsRequest& request) {
  int code = kExitDone;
  const std::optional<ParamFileKind> kind = KindOf(cli, request, code);
  if (!kind) return code;
  switch (*kind) {
    case ParamFileKind::kBlk:
      return cli.UsageError("the Larch block-7 editor never writes its block; a .blk file is not restored");
    case ParamFileKind::kCal:
      return cli.UsageError("a calibration-data file is written, never read");
    case ParamFileKind::kBkq:
      return cli.UsageError("a BlockQ file is written, never restored");
    case ParamFileKind::kBk2:
    case ParamFileKind::kBk4: {
      const std::vector<std::string>& switches = cli.Globals().programSwitches;
      if (ParseStartupFlags(switches).linearize == 0)
        return cli.UsageError(std::string("the linearization blocks are written only with -linearize"));
      break;
    }
    default:
      break;
  }
  if (request.force && *kind != ParamFileKind::kDat) return cli.UsageError("--force is for Default Params files");
  const std::optional<std::string> bytes = ReadFile(cli, request.file, *kind);
  if (!bytes) return kExitCannotOpen;
  return RunWithController(cli, [&](ControllerSession& session) {
    switch (*kind) {
      case ParamFileKind::kBk1:
      case ParamFileKind::kBk2:
      case ParamFileKind::kBk4:
        return RestoreHexBlock(cli, session, *kind, *bytes);
      case ParamFileKind::kBk6:
        return RestoreBlock6(cli, session, *bytes);
      case ParamFileKind::kBk8:
        return RestoreBlock8(cli, session, *bytes);
      case ParamFileKind::kEep:
        return RestoreEep(cli, session, request.file);
      case ParamFileKind::kDat:
        return RestoreDat(cli, session, *bytes, request.force);
      default:
        return kExitUsage;
    }
  });
}

// --- block7 ------------------------------------------------------------------------------------

int Block7(CliApp& cli, const std::optional<std::string>& file) {
  if (file) {
    if (const int refused = cli.RefuseControllerOptions("block7 --file", "needs no controller"); refused != kExitDone)
      return refused;
    const std::optional<std::string> bytes = ReadFile(cli, *file, ParamFileKind::kEep);
    if (!bytes) return kExitCannotOpen;
    const EepFileCheck eep = ReadEepFile(*bytes);
    if (!eep.Valid()) {
      cli.Err() << "kx7cli: " << *file << " does not read as an EEP file\n";
      return kExitRejected;
    }
    Print(cli, Block7Json(eep.table));
    return kExitDone;
  }
  return RunWithController(cli, [&](ControllerSession& session) {
    if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
    CMainFrame& frame = session.Frame();
    if ((frame.ControllerFeatures & feature::kBirchFamily) == 0) {
      cli.Err() << "kx7cli: the Block7 table is a Birch controller's; this one is not\n";
      return kExitFailed;
    }
    std::size_t top = 0;
    Block7Sheet sheet(frame, session.Protocol().channel, session.Protocol().usb, top);
    if (!sheet.OnShown()) return kExitFailed;
    Print(cli, Block7Json(sheet.Table()));
    return kExitDone;
  });
}

void AddFileAndKind(CLI::App& command, ParamsRequest& request) {
  AddValue(
      command, "file", "FILE", "the parameter file",
      [&request](const std::string& value) {
        request.file = value;
        return !value.empty();
      },
      "no file named");
  AddValue(
      command, "--kind", "K", "the file's kind (dat bkq bk1 bk2 bk4 blk bk6 bk8 cal eep); default its extension",
      [&request](const std::string& value) {
        request.kind = KindFromName(value);
        return request.kind.has_value();
      },
      "not one of dat, bkq, bk1, bk2, bk4, blk, bk6, bk8, cal, eep");
}

constexpr const char* kKindsHelp =
    "Kinds by extension (either case): .dat Default Params, .bkq BlockQ, .bk1 Block1, .bk2 Block2,\n"
    ".bk4 Block4, .blk Larch block 7, .bk6 Block6, .bk8 Block8, .cal calibration data, .eep Birch2\n"
    "table; --kind for .txt and any other extension.";

}  // namespace

void AddParamsCommands(CliApp& cli) {
  CLI::App& params = cli.AddCommand(
      "params", "the block editors' parameter files: show (needs no controller), save, restore", kControllerGroup);
  params.footer(kKindsHelp);

  auto showRequest = std::make_shared<ParamsRequest>();
  CLI::App& show = cli.AddCommand("show", "check a parameter file and print what it holds (no controller)",
                                  kOfflineGroup, &params);
  AddFileAndKind(show, *showRequest);
  cli.AddJsonFlag(show, "print one JSON object: Kind, Valid, Error and the kind's fields");
  show.footer(std::string(kKindsHelp) +
              "\nExit code 0 the file is valid, 5 it fails its checks (printed all the same), 4 it cannot be\n"
              "opened (\"Failed to open file!\").");
  cli.OnRun(show, [&cli, showRequest] { return Show(cli, *showRequest); });

  auto saveRequest = std::make_shared<ParamsRequest>();
  CLI::App& save = cli.AddCommand("save", "read blocks from the controller and write them as a parameter file",
                                  kControllerGroup, &params);
  AddFileAndKind(save, *saveRequest);
  cli.AddJsonFlag(save, "print the show JSON of the file written");
  save.footer(std::string(kKindsHelp) +
              "\nThe file is written through a temporary file and a rename: a failed read leaves no file and\n"
              "replaces none. Exit code 0, 1 a read failed, 4 the file cannot be written, 64 dat (never\n"
              "written).");
  cli.OnRun(save, [&cli, saveRequest] { return Save(cli, *saveRequest); });

  auto restoreRequest = std::make_shared<ParamsRequest>();
  CLI::App& restore = cli.AddCommand("restore", "check a parameter file and write it to the controller",
                                     kControllerGroup, &params);
  AddFileAndKind(restore, *restoreRequest);
  restore.add_flag("--force", restoreRequest->force, "send a Default Params file with warnings (CRC, length)");
  cli.AddJsonFlag(restore, "print {\"Kind\":K,\"Written\":bool,\"Verified\":bool,\"Message\":TEXT}");
  restore.footer(std::string(kKindsHelp) +
                 "\nThe file is read whole and checked before anything is sent; what was written is read back.\n"
                 "bk2 and bk4 need -linearize; blk, cal and bkq are never restored. Exit code 0 written and\n"
                 "read back, 1 the controller refused or differs, 4 cannot open, 5 the file is rejected.");
  cli.OnRun(restore, [&cli, restoreRequest] { return Restore(cli, *restoreRequest); });

  auto eepFile = std::make_shared<std::optional<std::string>>();
  CLI::App& block7 = cli.AddCommand("block7", "the Birch2 Block7 table in physical units (of the controller, or --file)",
                                    kControllerGroup);
  AddValue(
      block7, "--file", "FILE.eep", "read the table from an EEP file instead (no controller)",
      [eepFile](const std::string& value) {
        *eepFile = value;
        return !value.empty();
      },
      "no file named");
  cli.AddJsonFlag(block7, "print {\"Rows\":N,\"Thresholds\":...,\"Filters\":...,\"Other\":...,\"SelfParamsValid\":...}");
  block7.footer("The Thresholds, Filters and Other pages of the Block7 sheet: each parameter found by its\n"
                "address. Birch controllers only (else exit 1); --file: 5 when the file is not a valid EEP file.");
  cli.OnRun(block7, [&cli, eepFile] { return Block7(cli, *eepFile); });
}

}  // namespace kx7::cli
