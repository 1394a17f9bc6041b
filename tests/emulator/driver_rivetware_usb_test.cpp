// The Rivetware USB driver's device with a Birch USB controller, driven as the program's link 259
// does: the open sequence, the identity records, pass-through to the second processor answered
// through the stream request, blocks, memory, the vendor requests the program builds, restarts and
// bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver_test_support.h"
#include "emulator/birch_usb_controller.h"
#include "emulator/driver_emulation.h"
#include "emulator/driver_rivetware_usb.h"
#include "link/driver/driver_constants.h"
#include "platform/driver_device.h"

namespace kx7::emu {
namespace {

using namespace kx7::emu::testing;
namespace dc = kx7::driver;
namespace err = kx7::driver_error;

class RivetwareUsbTest : public ::testing::Test {
 protected:
  void SetUp() override { Install({}); }

  void Install(BirchUsbOptions options, RivetwareUsbOptions driverOptions = {}) {
    device.Close();
    controller = std::make_shared<BirchUsbController>(std::move(options), clock.Function());
    driver = AddRivetwareUsbDevice(backend, 0, controller, driverOptions);
    ASSERT_TRUE(device.Open(kx7::RivetwareDriverDeviceName(0)));
  }

  DriverResult Call(std::uint32_t code, const std::vector<std::uint8_t>& input = {}, std::size_t room = 0) {
    return device.Request(code, input, room);
  }
  DriverResult Generic(const std::vector<std::uint8_t>& setupAndData, std::size_t room = 0) {
    return Call(dc::kGeneric, setupAndData, room);
  }
  bool PassThroughSend(const std::string& text) {
    return Generic(SetupRecord(dc::kRequestTypeOut, dc::kVendorPassThrough, dc::kPassThroughData, 0,
                         static_cast<std::uint16_t>(text.size()), Bytes(text)))
        .success;
  }
  DriverResult Poll() {
    return Generic(SetupRecord(dc::kRequestTypeIn, dc::kVendorPassThrough, dc::kPassThroughData, 0, dc::kStreamAnswerSize),
                   dc::kStreamAnswerSize);
  }
  // Every pass-through byte the stream holds, poll by poll, until it says nothing.
  std::string DrainStream() {
    std::string all;
    for (int poll = 0; poll < 100; ++poll) {
      const DriverResult answer = Poll();
      EXPECT_TRUE(answer.success);
      if (!answer.success || answer.bytes[0] == dc::kStreamNothing) break;
      EXPECT_EQ(answer.bytes[0], dc::kStreamBytes);
      EXPECT_EQ(answer.ByteCount(), dc::kStreamHeaderSize + answer.bytes[1]);
      EXPECT_LE(answer.bytes[1], dc::kStreamDataMax);
      all.append(answer.bytes.begin() + dc::kStreamHeaderSize, answer.bytes.end());
    }
    return all;
  }

  VirtualClock clock;
  kx7::SimulatedDriverBackend backend;
  kx7::ScopedDriverBackend installed{backend};
  std::shared_ptr<BirchUsbController> controller;
  std::shared_ptr<RivetwareUsbDriver> driver;
  kx7::DriverDevice device;
};

TEST_F(RivetwareUsbTest, OpenSequenceIdentifiesABirchUsbController) {
  const DriverResult mstatus = Call(dc::kGetMStatus, {}, dc::kMStatusShortSize);
  ASSERT_TRUE(mstatus.success);
  EXPECT_EQ(mstatus.ByteCount(), dc::kMStatusShortSize);
  EXPECT_EQ(mstatus.bytes[dc::kMStatusMode], dc::kMultiReportMode);
  EXPECT_EQ(Call(dc::kGetMStatus, {}, dc::kMStatusRecordSize).ByteCount(), dc::kMStatusRecordSize);

  const DriverResult serial = Call(dc::kReadSerialNumber, {}, dc::kSerialNumberSize);
  ASSERT_TRUE(serial.success);
  EXPECT_EQ(U32At(serial.bytes, 0), 0x0001E240u);
  EXPECT_EQ(Call(dc::kReadMSerialNumber, {}, dc::kSerialNumberSize).bytes, serial.bytes);

  EXPECT_EQ(U32At(Call(dc::kWhoAreYou, {}, dc::kWhoAreYouSize).bytes, 0), dc::kUsbRivetwareDevice);

  const DriverResult version = Call(dc::kGetVersion, {}, dc::kVersionRecordSize);
  ASSERT_TRUE(version.success);
  ASSERT_EQ(version.ByteCount(), dc::kVersionRecordSize);
  const std::vector<std::uint8_t>& v = version.bytes;
  EXPECT_EQ(U16At(v, dc::kVersionMaxParamWrite), dc::kBirchUsbMaxParamWrite);
  EXPECT_EQ(v[dc::kVersionTypeLetters + 1], 'A') << "byte 11 is the first letter";
  EXPECT_EQ(v[dc::kVersionTypeLetters], '3');
  EXPECT_EQ(v[dc::kVersionResistive], 0);
  EXPECT_EQ(std::string(v.begin() + dc::kVersionBlockStatus, v.begin() + dc::kVersionBlockStatus + 5), "AAAAA");
  EXPECT_EQ(v[dc::kVersionFirmware], 2);  // v2.10
  EXPECT_EQ(v[dc::kVersionFirmware + 1], 0x10);
  EXPECT_EQ(U16At(v, dc::kVersionPartNumber), 0x0210);
  EXPECT_EQ(U16At(v, 0), 3);  // DDI v3.1
  EXPECT_EQ(U16At(v, 2), 1);
  EXPECT_EQ(U16At(v, 4), 5);  // Drv v5.20
  EXPECT_EQ(U16At(v, 6), 20);

  EXPECT_EQ(U16At(Call(dc::kIsTopazDriver, {}, dc::kWhoAreYouSize).bytes, 0), dc::kNewerUsbDriverMark);
  EXPECT_EQ(Call(dc::kGetStatus, {}, dc::kStatusRecordSize).ByteCount(), dc::kStatusRecordSize);

  const DriverResult mversion = Call(dc::kGetMVersion, {}, dc::kMVersionRecordSize);
  ASSERT_TRUE(mversion.success);
  ASSERT_EQ(mversion.ByteCount(), dc::kMVersionRecordSize);
  EXPECT_EQ(mversion.bytes[dc::kMVersionLetters], 'A');
  EXPECT_EQ(U16At(mversion.bytes, dc::kMVersionRevision), dc::kRevisionB);

  ASSERT_TRUE(Call(dc::kMouseDisable).success);
  EXPECT_FALSE(driver->MouseEnabled());
  ASSERT_TRUE(Call(dc::kMouseEnable).success);
  EXPECT_TRUE(driver->MouseEnabled());
}

TEST_F(RivetwareUsbTest, KnobsChangeTheIdentity) {
  BirchUsbOptions rom;
  rom.typeLetters = "M0I";
  rom.extendedRecords = false;
  rom.secondProcessorFamily = "birch-rom";
  Install(rom, RivetwareUsbOptions{false});
  ASSERT_TRUE(Generic(SetupRecord(dc::kRequestTypeOut, dc::kVendorPassThrough, dc::kPassThroughEnterD, 0, 0)).success);
  ASSERT_TRUE(PassThroughSend(Framed("UT")));
  EXPECT_EQ(DrainStream(), Framed("MF010000")) << "the second processor runs its fixed code";
  const DriverResult version = Call(dc::kGetVersion, {}, dc::kVersionRecordSize);
  EXPECT_EQ(version.bytes[dc::kVersionTypeLetters + 1], 'M');
  EXPECT_EQ(version.bytes[dc::kVersionTypeLetters], '0');
  EXPECT_EQ(version.bytes[dc::kVersionThirdLetter], 'I');
  EXPECT_EQ(Call(dc::kGetMVersion, {}, dc::kMVersionRecordSize).error, err::kGeneralFailure);
  EXPECT_EQ(U16At(Call(dc::kIsTopazDriver, {}, dc::kWhoAreYouSize).bytes, 0), 0) << "an older driver";
}

TEST_F(RivetwareUsbTest, PassThroughAnswersComeThroughTheStream) {
  EXPECT_EQ(Poll().bytes, (std::vector<std::uint8_t>{dc::kStreamNothing, 0}));
  EXPECT_FALSE(PassThroughSend(Framed("UT"))) << "no pass-through yet";

  ASSERT_TRUE(Generic(SetupRecord(dc::kRequestTypeOut, dc::kVendorPassThrough, dc::kPassThroughEnterD, 0, 0)).success);
  ASSERT_TRUE(PassThroughSend(Framed("UT")));
  const DriverResult answer = Poll();
  ASSERT_TRUE(answer.success);
  EXPECT_EQ(answer.bytes[0], dc::kStreamBytes);
  EXPECT_EQ(Text(std::vector<std::uint8_t>(answer.bytes.begin() + 2, answer.bytes.end())), Framed("BT021000"));
  EXPECT_EQ(Poll().bytes[0], dc::kStreamNothing) << "the answer comes once";

  // Answers longer than one poll arrive whole and in order.
  ASSERT_TRUE(PassThroughSend(Framed("UV") + Framed("OS") + Framed("GF")));
  const std::string replies = DrainStream();
  EXPECT_GT(replies.size(), dc::kStreamDataMax);
  std::string gf = "BIRCH2 A30210";
  gf.resize(49, ' ');
  EXPECT_EQ(replies, Framed("BV021000") + Framed("00") + Framed(gf));

  // Answers that came and a report the touch side queued keep their order.
  ASSERT_TRUE(PassThroughSend(Framed("Z")));
  ASSERT_TRUE(controller->QueueReport(std::vector<std::uint8_t>{0x11, 0x22, 0x33}));
  EXPECT_EQ(Poll().bytes, (std::vector<std::uint8_t>{dc::kStreamBytes, 3, 0x01, '0', '\r'}));
  EXPECT_EQ(Poll().bytes, (std::vector<std::uint8_t>{dc::kStreamReport, 3, 0x11, 0x22, 0x33}));

  ASSERT_TRUE(Generic(SetupRecord(dc::kRequestTypeOut, dc::kVendorPassThrough, dc::kPassThroughLeave, 0, 0)).success);
  EXPECT_FALSE(PassThroughSend(Framed("UT")));
  EXPECT_EQ(Generic(SetupRecord(dc::kRequestTypeOut, dc::kVendorPassThrough, dc::kPassThroughEnterL, 0, 0)).error,
            err::kGeneralFailure)
      << "this controller has no other target";
}

TEST_F(RivetwareUsbTest, BlocksAndMemoryReadBackWhatWasWritten) {
  struct Block {
    std::uint32_t read;
    std::uint32_t write;
    std::uint16_t number;
    std::uint16_t length;
  };
  for (const Block& block : {Block{dc::kReadControllerNovram, dc::kWriteControllerNovram, 1, 30},
                             Block{dc::kReadControllerNovram, dc::kWriteControllerNovram, 2, 50},
                             Block{dc::kReadCableNovram, dc::kWriteCableNovram, 4, 60}}) {
    const DriverResult before = Call(block.read, SixBytes(block.number, 0, block.length), dc::kNovramReadSize);
    ASSERT_TRUE(before.success) << block.number;
    EXPECT_EQ(before.ByteCount(), block.length);
    std::vector<std::uint8_t> input = SixBytes(block.number, 0, block.length);
    for (std::uint16_t i = 0; i < block.length; ++i) input.push_back(static_cast<std::uint8_t>(0xA0 + i));
    ASSERT_TRUE(Call(block.write, input).success) << block.number;
    const DriverResult after = Call(block.read, SixBytes(block.number, 0, block.length), dc::kNovramReadSize);
    EXPECT_EQ(after.bytes, std::vector<std::uint8_t>(input.begin() + 6, input.end())) << block.number;
    EXPECT_EQ(controller->Block(block.number), after.bytes);
  }
  EXPECT_EQ(Call(dc::kReadStrays, {}, dc::kStraysReadSize).ByteCount(), dc::kStraysReadSize);

  // Block 6 is read as memory 6 (its plain number) from address 0, and from further in too.
  const std::vector<std::uint8_t> block6 = Call(dc::kReadControllerNovram, SixBytes(6, 0, 12), 120).bytes;
  EXPECT_EQ(Call(dc::kEepromRead, SixBytes(6, 0, 12), 12).bytes, block6);
  EXPECT_EQ(Call(dc::kEepromRead, SixBytes(6, 2, 4), 12).bytes,
            std::vector<std::uint8_t>(block6.begin() + 2, block6.begin() + 6));
  // Memories go by the drivers' codes: memory 0 is 37, memory 10 (the RAM, 16-bit cells given
  // big-endian) is 33, and memory 1 (block 1 byte by byte) is 17.
  std::vector<std::uint8_t> poke = SixBytes(37, 10, 3);
  poke.insert(poke.end(), {0x12, 0x34, 0x56});
  ASSERT_TRUE(Call(dc::kEepromWrite, poke).success);
  EXPECT_EQ(Call(dc::kEepromRead, SixBytes(37, 10, 3), 64).bytes, (std::vector<std::uint8_t>{0x12, 0x34, 0x56}));
  std::vector<std::uint8_t> words = SixBytes(33, 4230, 2);
  words.insert(words.end(), {0xBE, 0xEF});
  ASSERT_TRUE(Call(dc::kEepromWrite, words).success);
  EXPECT_EQ(Call(dc::kEepromRead, SixBytes(33, 4230, 10), 64).bytes,
            (std::vector<std::uint8_t>{0xBE, 0xEF, 0, 0, 0, 0, 0, 0, 0, 0}));
  const std::vector<std::uint8_t> block1 = controller->Block(1).value();
  EXPECT_EQ(Call(dc::kEepromRead, SixBytes(17, 1, 3), 64).bytes,
            std::vector<std::uint8_t>(block1.begin() + 1, block1.begin() + 4));

  ASSERT_TRUE(Call(dc::kWriteSerialNumber, U32(0x00ABCDEF)).success);
  EXPECT_EQ(U32At(Call(dc::kReadSerialNumber, {}, 4).bytes, 0), 0x00ABCDEFu);

  // Restoring one block puts back only that block; restoring all puts back the rest.
  ASSERT_TRUE(Call(dc::kRestoreMDefaults, {0, 0, 1, 0}).success);
  EXPECT_NE(Call(dc::kReadControllerNovram, SixBytes(1, 0, 30), 120).bytes[0], 0xA0);
  EXPECT_EQ(Call(dc::kReadControllerNovram, SixBytes(2, 0, 50), 120).bytes[0], 0xA0);
  ASSERT_TRUE(Call(dc::kRestoreDefaults).success);
  EXPECT_EQ(Call(dc::kReadControllerNovram, SixBytes(2, 0, 50), 120).bytes, std::vector<std::uint8_t>(50, 0));
  EXPECT_EQ(U32At(Call(dc::kReadSerialNumber, {}, 4).bytes, 0), 0x0001E240u);
}

TEST_F(RivetwareUsbTest, QueriesAndSettings) {
  const DriverResult text = Generic(SetupRecord(dc::kRequestTypeIn, dc::kVendorQuery, 101, 0, 0), dc::kGenericTextSize);
  ASSERT_TRUE(text.success);
  EXPECT_EQ(text.ByteCount(), dc::kGenericTextSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.bytes.data())), "Copyright (c) KX7 Touch Systems, Birch2 USB");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(
                Generic(SetupRecord(dc::kRequestTypeIn, dc::kVendorQuery, 102, 0, 0), 256).bytes.data())),
            "Birch2 USB capacitive controller");
  EXPECT_EQ(Generic(SetupRecord(dc::kRequestTypeIn, dc::kVendorQuery, 3, 0, 0), 256).bytes,
            (std::vector<std::uint8_t>{0x00, 0x10, 0x08, 0x00, 0x00, 0x20, 0x08, 0x00}));
  EXPECT_EQ(Generic(SetupRecord(dc::kRequestTypeIn, dc::kVendorQuery, 101, 0, 0), 10).ByteCount(), 10u)
      << "cut to the caller's room";

  ASSERT_TRUE(Generic(SetupRecord(dc::kRequestTypeOut, dc::kVendorReportMode, 3, 0, 0)).success);
  ASSERT_TRUE(Call(dc::kAsyncSetReportActive, {4, 0, 1, 0}).success);
  ASSERT_TRUE(Call(dc::kSetPenActive, {0}).success);
  ASSERT_TRUE(Call(dc::kStartCalibrate, {2, 0}).success);
  const BirchUsbController::State state = controller->Snapshot();
  EXPECT_EQ(state.reportMode, 3);
  EXPECT_EQ(state.activeReport, std::make_pair(std::uint16_t{4}, std::uint16_t{1}));
  EXPECT_FALSE(state.pen);
  EXPECT_TRUE(state.finger);
  EXPECT_EQ(state.calibrationKind, 2);
}

TEST_F(RivetwareUsbTest, HapticMarkerIsAKnob) {
  for (const bool haptic : {false, true}) {
    BirchUsbOptions options;
    options.haptic = haptic;
    Install(options);
    const DriverResult marker = Generic(SetupRecord(dc::kRequestTypeIn, dc::kVendorPassThrough, dc::kHapticQuery, 0, 64), 64);
    ASSERT_TRUE(marker.success);
    EXPECT_EQ(std::find(marker.bytes.begin(), marker.bytes.end(), 'H') != marker.bytes.end(), haptic);
  }
}

TEST_F(RivetwareUsbTest, RestartsAreRecordedAndAnnounced) {
  std::vector<BirchUsbRestart> announced;
  controller->SetRestartCallback([&](BirchUsbRestart kind) { announced.push_back(kind); });
  ASSERT_TRUE(Generic(SetupRecord(dc::kRequestTypeOut, dc::kVendorPassThrough, dc::kPassThroughEnterD, 0, 0)).success);
  ASSERT_TRUE(PassThroughSend(Framed("UT")));
  for (const std::uint32_t code : {dc::kSoftReset, dc::kHardReset, dc::kRomReboot, dc::kRamReboot, dc::kEepromReboot})
    ASSERT_TRUE(Call(code).success);
  const std::vector<BirchUsbRestart> expected{BirchUsbRestart::kSoftReset, BirchUsbRestart::kHardReset,
                                              BirchUsbRestart::kRomReboot, BirchUsbRestart::kRamReboot,
                                              BirchUsbRestart::kEepromReboot};
  EXPECT_EQ(announced, expected);
  EXPECT_EQ(controller->Restarts(), expected);
  EXPECT_EQ(controller->Snapshot().passThroughTarget, 0) << "a restart ends the pass-through";
  EXPECT_EQ(Poll().bytes[0], dc::kStreamNothing) << "and what was not fetched";
}

TEST_F(RivetwareUsbTest, BadRequestsFailWithTheirReason) {
  std::vector<std::uint8_t> shortWrite = SixBytes(1, 0, 30);
  shortWrite.resize(20);
  std::vector<std::uint8_t> shortPoke = SixBytes(0, 0, 4);
  shortPoke.push_back(1);
  const std::vector<FailingRequest> cases{
      {"block read without its record", dc::kReadControllerNovram, {1, 0, 0, 0}, 120, err::kInvalidParameter},
      {"block read of nothing", dc::kReadControllerNovram, SixBytes(1, 0, 0), 120, err::kInvalidParameter},
      {"block read past the output", dc::kReadControllerNovram, SixBytes(1, 0, 121), 200, err::kInvalidParameter},
      {"block read past the block", dc::kReadControllerNovram, SixBytes(1, 0, 31), 120, err::kGeneralFailure},
      {"block the controller lacks", dc::kReadControllerNovram, SixBytes(8, 0, 10), 120, err::kGeneralFailure},
      {"block read without room", dc::kReadControllerNovram, SixBytes(1, 0, 30), 29, err::kInsufficientBuffer},
      {"block write shorter than it says", dc::kWriteControllerNovram, shortWrite, 0, err::kInvalidParameter},
      {"memory count above 64", dc::kEepromRead, SixBytes(0, 0, 65), 120, err::kInvalidParameter},
      {"memory read past the memory", dc::kEepromRead, SixBytes(37, 250, 10), 64, err::kGeneralFailure},
      {"memory that does not exist", dc::kEepromRead, SixBytes(14, 0, 4), 64, err::kGeneralFailure},
      {"memory by its plain number", dc::kEepromRead, SixBytes(10, 0, 4), 64, err::kGeneralFailure},
      {"memory 0 by its plain number", dc::kEepromRead, SixBytes(0, 1, 4), 64, err::kGeneralFailure},
      {"a code between the two ranges", dc::kEepromRead, SixBytes(25, 0, 4), 64, err::kGeneralFailure},
      {"memory write shorter than it says", dc::kEepromWrite, shortPoke, 0, err::kInvalidParameter},
      {"serial number of 3 bytes", dc::kWriteSerialNumber, {1, 2, 3}, 0, err::kInvalidParameter},
      {"strays write of the wrong size", dc::kWriteStrays, std::vector<std::uint8_t>(20, 0), 0, err::kInvalidParameter},
      {"version without room", dc::kGetVersion, {}, 25, err::kInsufficientBuffer},
      {"extended status without room", dc::kGetMStatus, {}, 23, err::kInsufficientBuffer},
      {"pen flag missing", dc::kSetPenActive, {}, 0, err::kInvalidParameter},
      {"report selection too short", dc::kAsyncSetReportActive, {1, 0}, 0, err::kInvalidParameter},
      {"GENERIC shorter than a setup", dc::kGeneric, {0x40, 0x15, 8, 0, 0, 0, 0}, 0, err::kInvalidParameter},
      {"GENERIC OUT data missing", dc::kGeneric, SetupRecord(0x40, dc::kVendorPassThrough, 0x0B, 0, 4, {1, 2}), 0,
       err::kInvalidParameter},
      {"GENERIC IN with data", dc::kGeneric, SetupRecord(0xC0, dc::kVendorStatus, 0, 0, 8, {1}), 8, err::kInvalidParameter},
      {"GENERIC unknown vendor request", dc::kGeneric, SetupRecord(0xC0, 0x33, 0, 0, 8), 8, err::kGeneralFailure},
      {"GENERIC class request", dc::kGeneric, SetupRecord(0x21, 9, 0x0300, 0, 0), 0, err::kInvalidFunction},
      {"report mode 7", dc::kGeneric, SetupRecord(0x40, dc::kVendorReportMode, 7, 0, 0), 0, err::kGeneralFailure},
      {"reset kind 6", dc::kGeneric, SetupRecord(0x40, dc::kVendorReset, 6, 0, 0), 0, err::kGeneralFailure},
      {"restore of a block it lacks", dc::kRestoreMDefaults, {0, 0, 8, 0}, 0, err::kGeneralFailure},
      {"firmware download", dc::kDownloadEeprom, std::vector<std::uint8_t>(6, 0), 0, err::kInvalidFunction},
      {"a serial Rivetware request", dc::kCheck, {}, 20, err::kInvalidFunction},
  };
  ExpectFailures(device, cases);
  EXPECT_EQ(device.Read(64, 0).error, err::kInvalidFunction) << "the device is no file";
  EXPECT_EQ(controller->Restarts().size(), 0u);
}

}  // namespace
}  // namespace kx7::emu
