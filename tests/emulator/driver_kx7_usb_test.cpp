// The Birch USB controller behind the KX7 driver (link 261): setup records written to the device
// file, answers read from it. The program's own translation makes the requests here, and its
// answers must agree with what the Rivetware USB driver gives for the same controller.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver_test_support.h"
#include "emulator/driver_emulation.h"
#include "link/driver/driver_constants.h"
#include "link/driver/driver_requests.h"
#include "platform/driver_device.h"
#include "platform/registry_store.h"

namespace kx7::emu {
namespace {

using namespace kx7::emu::testing;
namespace dc = kx7::driver;
namespace err = kx7::driver_error;

class Kx7UsbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DriverEmulationOptions options;
    options.clockMs = clock.Function();
    drivers = InstallDriverEmulation("birch-usb", backend, &registry, options);
    ASSERT_TRUE(drivers);
    ASSERT_TRUE(kxusb.Open(kx7::Kx7DriverDeviceName(0)));
    ASSERT_TRUE(rvusb.Open(kx7::RivetwareDriverDeviceName(0)));
  }

  // A named request the way link 261 sends it: translated, written, the answer read once.
  DriverResult ThroughKx7(std::uint32_t code, const std::vector<std::uint8_t>& input, std::size_t room) {
    const dc::UsbTranslation translation = dc::TranslateRequest(code, input, room);
    EXPECT_TRUE(translation.success) << std::hex << code;
    if (!translation.success) return DriverResult::Failed(translation.error);
    const std::vector<std::uint8_t> bytes = translation.request.Bytes();
    const kx7::DriverWriteResult written = kxusb.Write(bytes);
    if (!written.success) return DriverResult::Failed(written.error);
    EXPECT_EQ(written.written, bytes.size());
    if (!translation.request.setup.IsIn()) return DriverResult::Ok();
    const DriverResult answer = kxusb.Read(translation.request.setup.length, dc::kAnswerReadGapMs);
    if (!answer.success) return answer;
    return dc::AnswerToOutput(translation.request, answer.bytes);
  }

  VirtualClock clock;
  kx7::RegistryStore registry{"/nonexistent/kx7-emudrv-registry.txt"};
  kx7::SimulatedDriverBackend backend;
  kx7::ScopedDriverBackend installed{backend};
  std::optional<InstalledDrivers> drivers;
  kx7::DriverDevice kxusb;
  kx7::DriverDevice rvusb;
};

TEST_F(Kx7UsbTest, NamedRequestsAgreeWithTheRivetwareUsbDriver) {
  struct Case {
    std::uint32_t code;
    std::vector<std::uint8_t> input;
    std::size_t room;
    std::size_t compared;  // leading bytes both links must agree on
  };
  const std::vector<Case> cases{
      {dc::kGetStatus, {}, dc::kStatusRecordSize, dc::kStatusRecordSize},
      {dc::kGetMVersion, {}, dc::kMVersionRecordSize, dc::kMVersionRecordSize},
      {dc::kGetMStatus, {}, dc::kMStatusRecordSize, dc::kMStatusRecordSize},
      {dc::kReadSerialNumber, {}, dc::kSerialNumberSize, dc::kSerialNumberSize},
      {dc::kReadControllerNovram, SixBytes(1, 0, 30), dc::kNovramReadSize, 30},
      {dc::kReadControllerNovram, SixBytes(2, 0, 50), dc::kNovramReadSize, 50},
      {dc::kReadCableNovram, SixBytes(4, 0, 60), dc::kNovramReadSize, 60},
      {dc::kReadStrays, SixBytes(3, 0, 32), dc::kStraysReadSize, 32},
      {dc::kEepromRead, SixBytes(6, 0, 12), 64, 12},
      {dc::kEepromRead, SixBytes(33, 4230, 10), 64, 10},
  };
  for (const Case& c : cases) {
    const DriverResult kx7 = ThroughKx7(c.code, c.input, c.room);
    const DriverResult rv = rvusb.Request(c.code, c.input, c.room);
    ASSERT_TRUE(kx7.success) << std::hex << c.code;
    ASSERT_TRUE(rv.success) << std::hex << c.code;
    ASSERT_GE(kx7.ByteCount(), c.compared);
    ASSERT_GE(rv.ByteCount(), c.compared);
    EXPECT_EQ(std::vector<std::uint8_t>(kx7.bytes.begin(), kx7.bytes.begin() + static_cast<std::ptrdiff_t>(c.compared)),
              std::vector<std::uint8_t>(rv.bytes.begin(), rv.bytes.begin() + static_cast<std::ptrdiff_t>(c.compared)))
        << std::hex << c.code;
  }

  // The version record: what the 16-byte answer carries reads the same on both links.
  const DriverResult kx7 = ThroughKx7(dc::kGetVersion, {}, dc::kVersionRecordSize);
  const DriverResult rv = rvusb.Request(dc::kGetVersion, {}, dc::kVersionRecordSize);
  ASSERT_TRUE(kx7.success && rv.success);
  ASSERT_EQ(kx7.ByteCount(), dc::kVersionRecordSize);
  EXPECT_EQ(U16At(kx7.bytes, dc::kVersionMaxParamWrite), dc::kBirchUsbMaxParamWrite);
  for (const std::size_t at : {0, 2, 4, 6}) EXPECT_EQ(U16At(kx7.bytes, at), U16At(rv.bytes, at)) << at;
  for (const std::size_t at : {dc::kVersionTypeLetters, dc::kVersionTypeLetters + 1, dc::kVersionResistive,
                               dc::kVersionBlockStatus, dc::kVersionBlockStatus + 1, dc::kVersionBlockStatus + 2})
    EXPECT_EQ(kx7.bytes[at], rv.bytes[at]) << at;
  EXPECT_EQ(kx7.bytes[dc::kVersionTypeLetters + 1], 'A');

  // The mode byte that the open of link 261 looks at.
  EXPECT_EQ(ThroughKx7(dc::kGetMStatus, {}, dc::kMStatusRecordSize).bytes[dc::kMStatusMode], dc::kMultiReportMode);
}

TEST_F(Kx7UsbTest, BothFrontEndsShareOneController) {
  std::vector<std::uint8_t> write = SixBytes(1, 0, 30);
  for (int i = 0; i < 30; ++i) write.push_back(static_cast<std::uint8_t>(i * 3));
  ASSERT_TRUE(ThroughKx7(dc::kWriteControllerNovram, write, 0).success);
  EXPECT_EQ(rvusb.Request(dc::kReadControllerNovram, SixBytes(1, 0, 30), 120).bytes,
            std::vector<std::uint8_t>(write.begin() + 6, write.end()));
  ASSERT_TRUE(ThroughKx7(dc::kWriteSerialNumber, U32(0x12345678), 0).success);
  EXPECT_EQ(U32At(rvusb.Request(dc::kReadSerialNumber, {}, 4).bytes, 0), 0x12345678u);
  ASSERT_TRUE(ThroughKx7(dc::kSetFingerActive, {0}, 0).success);
  EXPECT_FALSE(drivers->birchUsb->Snapshot().finger);
  ASSERT_TRUE(ThroughKx7(dc::kRestoreMDefaults, {0, 0, 1, 0}, 0).success);
  EXPECT_NE(rvusb.Request(dc::kReadControllerNovram, SixBytes(1, 0, 30), 120).bytes[1], 3);
  ASSERT_TRUE(ThroughKx7(dc::kRamReboot, {}, 0).success);
  EXPECT_EQ(drivers->birchUsb->Restarts(), std::vector<BirchUsbRestart>{BirchUsbRestart::kRamReboot});
}

TEST_F(Kx7UsbTest, AnswersWaitForTheirRead) {
  EXPECT_TRUE(kxusb.Read(64, 10).bytes.empty()) << "nothing asked, nothing to read";
  const std::vector<std::uint8_t> status = SetupRecord(dc::kRequestTypeIn, dc::kVendorStatus, 0, 0, 8);
  ASSERT_TRUE(kxusb.Write(status).success);
  const DriverResult answer = kxusb.Read(64, 10);
  ASSERT_TRUE(answer.success);
  EXPECT_EQ(answer.ByteCount(), 8u);
  EXPECT_TRUE(kxusb.Read(64, 10).bytes.empty()) << "an answer is read once";

  // A new request drops an answer nobody read.
  ASSERT_TRUE(kxusb.Write(SetupRecord(dc::kRequestTypeIn, dc::kVendorVersion, 0, 0, 16)).success);
  ASSERT_TRUE(kxusb.Write(status).success);
  EXPECT_EQ(kxusb.Read(64, 10).ByteCount(), 8u);

  // Pass-through through setup records, as the KXUSB reader polls.
  ASSERT_TRUE(kxusb.Write(SetupRecord(dc::kRequestTypeOut, dc::kVendorPassThrough, dc::kPassThroughEnterD, 0, 0)).success);
  const std::vector<std::uint8_t> ut = SetupRecord(dc::kRequestTypeOut, dc::kVendorPassThrough, dc::kPassThroughData,
                                                   0, 4, Bytes(Framed("UT")));
  const kx7::DriverWriteResult sent = kxusb.Write(ut);
  ASSERT_TRUE(sent.success);
  EXPECT_EQ(sent.written, ut.size());
  ASSERT_TRUE(kxusb.Write(SetupRecord(dc::kRequestTypeIn, dc::kVendorPassThrough, dc::kPassThroughData, 0, 64)).success);
  const DriverResult stream = kxusb.Read(64, 10);
  ASSERT_GE(stream.ByteCount(), 2u);
  EXPECT_EQ(stream.bytes[0], dc::kStreamBytes);
  EXPECT_EQ(Text(std::vector<std::uint8_t>(stream.bytes.begin() + 2, stream.bytes.end())), Framed("BT021000"));
}

TEST_F(Kx7UsbTest, BadWritesFailWithTheirReason) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::uint32_t error;
  };
  const std::vector<Case> cases{
      {"nothing", {}, err::kInvalidParameter},
      {"a cut setup record", {0xC0, 6, 0, 0, 0, 0, 8}, err::kInvalidParameter},
      {"OUT data shorter than its length", SetupRecord(0x40, dc::kVendorWriteBlock, 0, 0x0100, 30, {1, 2, 3}),
       err::kInvalidParameter},
      {"OUT data longer than its length", SetupRecord(0x40, dc::kVendorReportMode, 1, 0, 0, {1}), err::kInvalidParameter},
      {"IN with data", SetupRecord(0xC0, dc::kVendorStatus, 0, 0, 8, {0}), err::kInvalidParameter},
      {"a class request", SetupRecord(0xA1, 1, 0x0304, 0, 16), err::kInvalidFunction},
      {"an unknown vendor request", SetupRecord(0xC0, 0x7F, 0, 0, 8), err::kGeneralFailure},
      {"a version of odd length", SetupRecord(0xC0, dc::kVendorVersion, 0, 0, 17), err::kGeneralFailure},
      {"a block read past the block", SetupRecord(0xC0, dc::kVendorReadBlock, 0, 0x0100, 34), err::kGeneralFailure},
      {"a memory read of 65 bytes", SetupRecord(0xC0, dc::kVendorReadBlock, 0, 0x2500, 68), err::kGeneralFailure},
      {"a read without its header", SetupRecord(0xC0, dc::kVendorReadBlock, 0, 0x0100, 3), err::kGeneralFailure},
      {"a selector with a low byte", SetupRecord(0xC0, dc::kVendorReadBlock, 0, 0x0101, 10), err::kGeneralFailure},
      {"a block write past the block", SetupRecord(0x40, dc::kVendorWriteBlock, 0, 0x0500, 5, {1, 2, 3, 4, 5}),
       err::kGeneralFailure},
      {"pass-through bytes outside pass-through", SetupRecord(0x40, dc::kVendorPassThrough, 0x0B, 0, 1, {'Z'}),
       err::kGeneralFailure},
      {"a stream poll with no room for its header", SetupRecord(0xC0, dc::kVendorPassThrough, 0x0B, 0, 1),
       err::kGeneralFailure},
      {"a firmware download", SetupRecord(0x40, dc::kVendorDownload, 0, 1, 0), err::kGeneralFailure},
  };
  for (const Case& c : cases) {
    const kx7::DriverWriteResult result = kxusb.Write(c.bytes);
    EXPECT_FALSE(result.success) << c.what;
    EXPECT_EQ(result.error, c.error) << c.what;
    EXPECT_TRUE(kxusb.Read(64, 10).bytes.empty()) << c.what << ": a failed request leaves no answer";
  }
  EXPECT_EQ(kxusb.Request(dc::kGetVersion, {}, dc::kVersionRecordSize).error, err::kInvalidFunction)
      << "the KX7 device has no named Birch requests";
}

TEST(DriverEmulationTest, BirchUsbInstallsItsDevicesAndRegistryValue) {
  EXPECT_EQ(DriverFamilyNames(), std::vector<std::string>{"birch-usb"});
  kx7::SimulatedDriverBackend backend;
  kx7::RegistryStore registry{"/nonexistent/kx7-emudrv-registry.txt"};
  EXPECT_FALSE(InstallDriverEmulation("birch", backend, &registry));
  EXPECT_FALSE(backend.HasDevice(kx7::RivetwareDriverDeviceName(0)));
  EXPECT_TRUE(registry.Entries().empty());

  const std::optional<InstalledDrivers> drivers = InstallDriverEmulation("birch-usb", backend, &registry);
  ASSERT_TRUE(drivers);
  for (const std::string& name : {kx7::RivetwareDriverDeviceName(0), kx7::Kx7DriverDeviceName(0),
                                  kx7::Kx7DriverDeviceName(1)})
    EXPECT_TRUE(backend.HasDevice(name)) << name;
  EXPECT_FALSE(backend.HasDevice(kx7::Kx7DriverDeviceName(2)));
  EXPECT_EQ(registry.GetDword("System\\CurrentControlSet\\Services\\KxsTch\\Parameters\\TSInstalled"), 1u);

  kx7::ScopedDriverBackend installed{backend};
  kx7::DriverDevice listing;
  ASSERT_TRUE(listing.Open(kx7::Kx7DriverDeviceName(1)));
  EXPECT_EQ(dc::ParseListRecord(listing.Request(dc::kListControllers, U32(0), dc::kListRecordSize).bytes),
            std::vector<std::uint16_t>{1});
  const auto record = dc::ParseKx7Record(listing.Request(dc::kControllerRecord, U32(1), dc::kKx7RecordSize).bytes);
  ASSERT_TRUE(record);
  EXPECT_EQ(dc::ControllerTypeFromDriverName(record->first), 32865u) << "Birch USB";
  const auto port = dc::ParseKx7Record(listing.Request(dc::kPortRecord, U32(1), dc::kKx7RecordSize).bytes);
  ASSERT_TRUE(port);
  dc::Kx7Controller controller;
  controller.SetRecords(*record, *port);
  EXPECT_TRUE(controller.PortAvailable());
}

}  // namespace
}  // namespace kx7::emu
