// The Rowan tools against emulated Cedar controllers: the Default Params file sent with "SP2" (its
// two answers, the refusal, the check of the panel type), the HID pass-through left as it was on
// every way out, a file refused before anything is sent, and the BlockQ parameters.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "controller/controller_types.h"
#include "emulator/controller.h"
#include "params/block_q_file.h"
#include "params/default_param_file.h"
#include "params/params_constants.h"
#include "params/rowan_default_params.h"
#include "params/rowan_q_parameters.h"
#include "proto/protocol_fixture.h"
#include "proto/proto_constants.h"
#include "proto/usb_fixture.h"

namespace kx7 {
namespace {

// A Default Params file of a panel type, with its CRC right.
std::vector<std::uint8_t> DatFile(const std::string& panel, std::size_t parameterWords = 6) {
  std::vector<std::uint8_t> bytes = {0, 0, 0x34, 0x12, static_cast<std::uint8_t>(panel.size()), 0};
  bytes.insert(bytes.end(), panel.begin(), panel.end());
  bytes.insert(bytes.end(), 8 + 2 * parameterWords, 0x5A);
  bytes.insert(bytes.end(), {0, 0});
  bytes[0] = static_cast<std::uint8_t>(bytes.size());
  const std::uint16_t crc = ParamFileCrc(bytes.data(), bytes.size());
  bytes[bytes.size() - 2] = static_cast<std::uint8_t>(crc & 0xFF);
  bytes[bytes.size() - 1] = static_cast<std::uint8_t>(crc >> 8);
  return bytes;
}

DefaultParamFile Dat(const std::vector<std::uint8_t>& bytes) { return ReadDefaultParamFile(bytes.data(), bytes.size()); }

// A Cedar that refuses the default-parameter image it is sent, and answers everything else.
class RefusingCedar : public emu::EmulatedDevice {
 public:
  RefusingCedar() : cedar_(*emu::FindFamilyProfile("cedar-gen4")) {}
  emu::LineSettings Line() const override { return cedar_.Line(); }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) override {
    for (std::size_t i = 0; i < count; ++i) {
      if (!inImage_) {
        line_ += static_cast<char>(bytes[i]);
        if (bytes[i] == '\r') {
          inImage_ = line_.find("SP2") != std::string::npos;
          if (inImage_) refusal_ = "\x01" "A\r";
          line_.clear();
        }
        if (!inImage_) cedar_.Receive(&bytes[i], 1, nowMs);
      } else if (bytes[i] == '\r') {
        inImage_ = false;
        refusal_ += "\x01" "1\r";
      }
    }
  }
  void Advance(std::uint64_t nowMs) override { cedar_.Advance(nowMs); }
  std::uint64_t NextEventMs() const override { return refusal_.empty() ? cedar_.NextEventMs() : 0; }
  std::vector<std::uint8_t> TakeOutput() override {
    std::vector<std::uint8_t> out = cedar_.TakeOutput();
    out.insert(out.end(), refusal_.begin(), refusal_.end());
    refusal_.clear();
    return out;
  }

 private:
  emu::EmulatedController cedar_;
  std::string line_;
  std::string refusal_;
  bool inImage_ = false;
};

class RowanToolsTest : public testing::ProtocolTest {
 protected:
  emu::EmulatedController& Cedar() {
    emu::InProcessSerialBackend& backend = Attach(2, "cedar-gen4");
    EXPECT_TRUE(Open(2));
    Frame().ControllerType = type::kCedarGen4;
    return dynamic_cast<emu::EmulatedController&>(backend.Device());
  }
};

TEST_F(RowanToolsTest, TheFileGoesInAndTheControllerReportsItsPanelType) {
  emu::EmulatedController& cedar = Cedar();
  RowanDefaultParams tool(Frame(), Protocol());
  tool.OnOpen();
  EXPECT_EQ(tool.existingPanelType, "KX7-PCAP-156W-G4");
  const RowanDefaultParams::WriteResult result = tool.WriteFile(Dat(DatFile("KX7-NEW-PANEL-21")));
  EXPECT_TRUE(result.written);
  EXPECT_TRUE(result.verified) << result.message << ui_.Report();
  EXPECT_EQ(result.message, "");
  EXPECT_EQ(cedar.Identity().panelId, std::string("KX7-NEW-PANEL-21"));
  EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
}

TEST_F(RowanToolsTest, ARefusedImageIsAFailedWriteWhateverThePanelCheckWouldSay) {
  Attach(2, std::make_unique<RefusingCedar>());
  ASSERT_TRUE(Open(2));
  Frame().ControllerType = type::kCedarGen4;
  RowanDefaultParams tool(Frame(), Protocol());
  // The controller's panel type is the file's already: only the refusal can tell.
  const RowanDefaultParams::WriteResult result = tool.WriteFile(Dat(DatFile("KX7-PCAP-156W-G4")));
  EXPECT_FALSE(result.written);
  EXPECT_FALSE(result.verified);
  EXPECT_EQ(result.message, text::kBlockWriteFailed);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{text::kBlockWriteFailed});
}

TEST_F(RowanToolsTest, AFileWhoseLengthFieldPassesItsEndIsRefusedWhenChosen) {
  Cedar();
  std::vector<std::uint8_t> bytes = DatFile("KX7-NEW-PANEL-21");
  bytes[0] = static_cast<std::uint8_t>(bytes.size() + 20);
  const std::string path = (std::filesystem::temp_directory_path() / "kx7-long-length.dat").string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  RowanDefaultParams tool(Frame(), Protocol());
  EXPECT_FALSE(tool.LoadFile(path));
  std::filesystem::remove(path);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{text::kFileLengthError});
  EXPECT_FALSE(tool.StartEnabled());
  EXPECT_TRUE(tool.newPanelType.empty());
  const RowanDefaultParams::WriteResult result = tool.WriteFile(Dat(bytes), false);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(result.message, text::kFileLengthError);
}

// "Clear Params": the loader behind the pass-through erases the parameter area, and the controller
// then reports parameters that are not valid.
TEST_F(RowanToolsTest, ClearParamsErasesTheParameterAreaBehindTheLoader) {
  Cedar();
  RowanDefaultParams tool(Frame(), Protocol());
  tool.SetClearParams(true);
  EXPECT_TRUE(tool.StartEnabled());
  EXPECT_FALSE(tool.FileBoxEnabled());
  EXPECT_TRUE(tool.ClearSequence()) << ui_.Report();
  EXPECT_TRUE(Frame().passThrough) << "the sequence ends with the pass-through on";
  Protocol().channel.ExitPassThrough();
  Channel().SendCommand("UT");
  const ReplyBytes ut = Channel().Transact(8, 0);
  ASSERT_EQ(ut.size(), 10u);
  EXPECT_NE(ut[8] & 0x08, 0) << "no valid parameters now";
  EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
}

TEST_F(RowanToolsTest, TheBlockQParametersTheControllerKnows) {
  Cedar();
  const std::map<int, std::uint32_t> known = ReadBlockQParameters(Channel());
  ASSERT_EQ(known.size(), 71u);
  EXPECT_EQ(known.at(300), 0x100u);
  EXPECT_EQ(known.at(1), 0x00010004u);
  const std::string file = WriteBlockQFile(known);
  EXPECT_EQ(file.substr(0, 29), "BlockQ_Rev_A\r\nQ300 00000100\r\n");
  EXPECT_TRUE(ReadBlockQFile(file).Valid());
}

class RowanHidToolsTest : public testing::UsbTest {};

// Every way a write ends leaves the HID pass-through as it found it: on when it was on, off when
// the write turned it on.
TEST_F(RowanHidToolsTest, TheHidPassThroughIsLeftAsItWasFound) {
  PlugHid("rowan-usb-gen4", "/dev/hidraw-rowan");
  Frame();
  protocol_->finder.FindController(0, false);
  ASSERT_EQ(Frame().ControllerType, type::kRowanGen4) << echo_.text;
  RowanDefaultParams tool(Frame(), Protocol());
  std::vector<std::uint8_t> good = DatFile("KX7-NEW-PANEL-21");
  std::vector<std::uint8_t> bad = good;
  bad.resize(10);
  for (const bool wasOn : {false, true}) {
    for (const auto* bytes : {&good, &bad}) {
      if (wasOn) {
        ASSERT_TRUE(Protocol().channel.EnterPassThrough('D'));
      }
      tool.WriteFile(Dat(*bytes), false);
      EXPECT_EQ(Frame().passThrough, wasOn) << (bytes == &good ? "good" : "bad") << " file";
      Protocol().channel.ExitPassThrough();
    }
  }
  // The write reached the second processor.
  ASSERT_TRUE(Protocol().channel.EnterPassThrough('D'));
  EXPECT_EQ(Protocol().identifier.PanelId(), "KX7-NEW-PANEL-21");
}

TEST_F(RowanHidToolsTest, ABlockReadThroughThePassThroughLeavesItOnWhenItWasOn) {
  PlugHid("rowan-usb-gen4", "/dev/hidraw-rowan-read");
  Frame();
  protocol_->finder.FindController(0, false);
  ASSERT_EQ(Frame().ControllerType, type::kRowanGen4) << echo_.text;
  std::vector<std::uint8_t> block;
  ASSERT_TRUE(Protocol().channel.ReadBlock(1, block)) << ui_.Report();
  EXPECT_FALSE(Frame().passThrough);
  ASSERT_TRUE(Protocol().channel.EnterPassThrough('D'));
  ASSERT_TRUE(Protocol().channel.WriteBlock(1, block)) << ui_.Report();
  ASSERT_TRUE(Protocol().channel.ReadBlock(8, block)) << ui_.Report();
  EXPECT_EQ(block.size(), 512u);
  EXPECT_TRUE(Frame().passThrough);
}

}  // namespace
}  // namespace kx7
