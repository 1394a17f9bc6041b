// Whatever a parameter file holds: every reader ends with a verdict, reads nothing past the text,
// and the editors either take the file whole or change nothing of what they showed.
//
// Input: byte 0 chooses the reader (0 Default Params, 1 BlockQ, 2 to 5 the hexadecimal block
// files of Block1, Block2, Block4 and the Larch block 7, 6 Block6, 7 Block8, 8 calibration data,
// 9 EEP); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "controller/controller_types.h"
#include "frame/main_frame.h"
#include "params/block1_sheet.h"
#include "params/block6_editor.h"
#include "params/block7_sheet.h"
#include "params/block8_editor.h"
#include "params/block8_file.h"
#include "params/block_q_file.h"
#include "params/cal_data_file.h"
#include "params/default_param_file.h"
#include "params/eep_file.h"
#include "params/hex_block_file.h"
#include "params/larch_block7_editor.h"
#include "platform/port_directory.h"
#include "platform/virtual_time_loop.h"
#include "proto/controller_protocol.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Answers every question and keeps nothing: a long fuzzing run must not grow.
class QuietUi : public kx7::UiHost {
 public:
  kx7::Answer MessageBox(const std::string&, const std::string&, kx7::MessageButtons, kx7::MessageIcon) override {
    return kx7::Answer::kOk;
  }
  std::optional<std::string> FileDialog(const kx7::FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::size_t> ChooseFromList(const std::string&, const std::vector<std::string>&) override {
    return std::nullopt;
  }
  bool RunDialog(kx7::DialogModel&) override { return false; }
  bool OpenWindow(kx7::Window&, const kx7::Placement&) override { return false; }
  void CloseWindow(kx7::Window&) override {}
  void Invalidate(kx7::WindowId) override {}
};

struct Program {
  Program() {
    environment.settingsFolder = "/nonexistent-kx7-settings";
    frame = std::make_unique<kx7::CMainFrame>(loop, ui, ports, kx7::ParseStartupFlags({"-nosearch"}), environment);
    protocol = &kx7::InstallControllerProtocol(*frame);
    frame->ControllerType = kx7::type::kCedarGen4;
  }
  kx7::CMainFrame::Environment environment;
  kx7::VirtualTimeLoop loop;
  QuietUi ui;
  kx7::PortDirectory ports;
  std::unique_ptr<kx7::CMainFrame> frame;
  kx7::ControllerProtocol* protocol = nullptr;
};

Program& TheProgram() {
  static Program program;
  return program;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kx7;
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  Program& program = TheProgram();
  CMainFrame& frame = *program.frame;
  switch (data[0] % 10) {
    case 0: {
      const DefaultParamFile file = ReadDefaultParamFile(text);
      // Only the bytes the length field names, all of them in the file, are ever sent.
      if (file.sendable) {
        Check(file.length && *file.length <= text.size() && *file.length % 2 == 0);
        Check(file.SentBytes().size() == *file.length);
      } else {
        Check(file.SentBytes().empty());
      }
      break;
    }
    case 1: {
      const BlockQFileCheck file = ReadBlockQFile(text);
      Check(file.parameters.size() <= 71);
      break;
    }
    case 2: {
      frame.blocks.Store(1, std::vector<std::uint8_t>(30, 0x11), 'A');
      Block1Sheet sheet(frame, program.protocol->channel);
      const bool loaded = sheet.BinaryEdit().LoadText(text, program.ui);
      const HexBlockFileCheck file = ReadHexBlockFile(text, HexBlockKind::kBlock1);
      Check(loaded == (file.Valid() && file.bytes.size() == 30));
      Check(sheet.BinaryEdit().Copy() == (loaded ? file.bytes : std::vector<std::uint8_t>(30, 0x11)));
      break;
    }
    case 3:
    case 4: {
      const bool block2 = data[0] % 10 == 3;
      const HexBlockFileCheck file = ReadHexBlockFile(text, block2 ? HexBlockKind::kBlock2 : HexBlockKind::kBlock4);
      Check(!file.Valid() || file.bytes.size() == (block2 ? 50u : 60u));
      Check(file.bytes.size() <= 60);
      break;
    }
    case 5: {
      LarchBlock7Editor editor(frame, std::vector<std::uint8_t>(21, 0x22));
      const bool loaded = editor.LoadText(text);
      Check(editor.Buffer().size() == 21);
      if (!loaded) Check(editor.Buffer() == std::vector<std::uint8_t>(21, 0x22));
      break;
    }
    case 6: {
      frame.blocks.Store(6, std::vector<std::uint8_t>(12, 0x33), 'A');
      int firstRow = 0;
      Block6Editor editor(frame, program.protocol->channel, firstRow);
      const std::vector<std::string> names = editor.Names();
      const bool loaded = editor.LoadText(text);
      Check(editor.Bytes().size() == 12 && editor.Names().size() == 12);
      if (!loaded) Check(editor.Bytes() == std::vector<std::uint8_t>(12, 0x33) && editor.Names() == names);
      break;
    }
    case 7: {
      frame.blocks.Store(8, std::vector<std::uint8_t>(512, 0x44), 'A');
      int firstRow = 0;
      Block8Editor editor(frame, program.protocol->channel, 256, false, firstRow);
      const bool loaded = editor.LoadText(text);
      Check(editor.Values().size() == 256);
      if (!loaded) Check(editor.Values() == std::vector<std::uint16_t>(256, 0x4444));
      break;
    }
    case 8: {
      const CalDataFileCheck file = ReadCalDataFile(text);
      Check(file.words.size() <= kCalDataWords);
      Check(!file.Valid() || file.block1Bytes.size() == 13);
      break;
    }
    case 9: {
      std::size_t top = 0;
      Block7Sheet sheet(frame, program.protocol->channel, program.protocol->usb, top);
      const std::vector<EepEntry> before = sheet.Table().Rows();
      const bool loaded = sheet.LoadEepText(text);
      Check(sheet.Table().Count() <= eep::kMaxRows);
      if (!loaded) Check(sheet.Table().Rows() == before);
      sheet.BinaryEdit().Search("a");
      sheet.BinaryEdit().NextSection();
      Check(sheet.BinaryEdit().TopRow() <= sheet.Table().Count());
      (void)ComputeBlock7Units(sheet.Table());
      break;
    }
    default:
      break;
  }
  return 0;
}
