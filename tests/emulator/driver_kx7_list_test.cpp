// The KX7 driver's devices as the program's controller list and link 258 meet them: every device
// lists all controllers, each answers its own records, device 0 is the first controller, a held
// controller shows a blank port and cannot be taken, and a serial controller's bytes go through
// plain file reads and writes. The records are read back with the program's own parsers, so a
// disagreement between the two sides shows here.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "driver_test_support.h"
#include "emulator/birch_usb_controller.h"
#include "emulator/driver_emulation.h"
#include "emulator/driver_kx7_serial.h"
#include "emulator/emulated_device.h"
#include "link/driver/driver_constants.h"
#include "link/driver/driver_requests.h"
#include "platform/driver_device.h"
#include "platform/hid_device.h"

namespace kx7::emu {
namespace {

using namespace kx7::emu::testing;
namespace dc = kx7::driver;
namespace err = kx7::driver_error;

class NoHid : public kx7::SimulatedHidDevice {
 public:
  bool OnSetFeature(const kx7::HidReport&) override { return true; }
  std::optional<kx7::HidReport> OnGetFeature(std::uint8_t id, std::size_t length) override {
    kx7::HidReport report(length, 0);
    report[0] = id;
    return report;
  }
};

class Kx7ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<Kx7Entry> entries(3);
    entries[0].listing = {1, "Serial_Cedar", "GEN4", "COM3", "", false};
    entries[0].serial = CreateDevice("cedar-gen4", "", false);
    entries[1].listing = {2, "USB_Birch2", "", "USB", "in use by another program", true};
    entries[1].usb = std::make_shared<BirchUsbController>(BirchUsbOptions{}, clock.Function());
    entries[2].listing = {5, "Birch2_HID", "B2H", "HID", "Port 2", false};
    entries[2].hid = std::make_shared<NoHid>();
    Kx7Options options;
    options.clockMs = clock.Function();
    options.serialMaxWaitMs = 0;
    devices = AddKx7Controllers(backend, std::move(entries), options);
    ASSERT_EQ(devices.size(), 3u);
  }

  VirtualClock clock;
  kx7::SimulatedDriverBackend backend;
  kx7::ScopedDriverBackend installed{backend};
  std::vector<std::shared_ptr<Kx7DriverDevice>> devices;
};

TEST_F(Kx7ListTest, EveryDeviceListsAllControllersAndAnswersItsOwnRecords) {
  struct Expected {
    int device;
    std::uint16_t number;
    kx7::driver::Kx7Strings controller;
    kx7::driver::Kx7Strings port;
  };
  const std::vector<Expected> expected{
      {1, 1, {"Serial_Cedar", "GEN4"}, {"COM3", ""}},
      {0, 1, {"Serial_Cedar", "GEN4"}, {"COM3", ""}},
      {2, 2, {"USB_Birch2", ""}, {"", "in use by another program"}},
      {5, 5, {"Birch2_HID", "B2H"}, {"HID", "Port 2"}},
  };
  for (const Expected& e : expected) {
    kx7::DriverDevice device;
    ASSERT_TRUE(device.Open(kx7::Kx7DriverDeviceName(e.device))) << e.device;
    const DriverResult list = device.Request(dc::kListControllers, U32(0), dc::kListRecordSize);
    ASSERT_TRUE(list.success);
    EXPECT_EQ(list.ByteCount(), dc::kListRecordSize);
    EXPECT_EQ(U16At(list.bytes, 2), 6) << "twice the count";
    EXPECT_EQ(kx7::driver::ParseListRecord(list.bytes), (std::vector<std::uint16_t>{1, 2, 5}));

    const DriverResult controller = device.Request(dc::kControllerRecord, U32(e.number), dc::kKx7RecordSize);
    const DriverResult port = device.Request(dc::kPortRecord, U32(e.number), dc::kKx7RecordSize);
    ASSERT_TRUE(controller.success && port.success) << e.device;
    EXPECT_EQ(controller.ByteCount(), dc::kKx7RecordSize);
    EXPECT_EQ(kx7::driver::ParseKx7Record(controller.bytes), e.controller) << e.device;
    EXPECT_EQ(kx7::driver::ParseKx7Record(port.bytes), e.port) << e.device;
    EXPECT_EQ(device.Request(dc::kControllerRecord, U32(e.number == 1 ? 2 : 1), dc::kKx7RecordSize).error,
              err::kInvalidParameter)
        << "another controller's record comes from its own device";
  }
  EXPECT_FALSE(backend.HasDevice(kx7::Kx7DriverDeviceName(3)));
}

TEST_F(Kx7ListTest, TakingAndGivingBack) {
  kx7::DriverDevice cedar;
  ASSERT_TRUE(cedar.Open(kx7::Kx7DriverDeviceName(1)));
  const DriverResult taken = cedar.Request(dc::kTakeDevice, U32(dc::kTakeDeviceOn), dc::kTakeDeviceSize);
  ASSERT_TRUE(taken.success);
  EXPECT_EQ(taken.ByteCount(), dc::kTakeDeviceSize);
  EXPECT_TRUE(devices[0]->Taken());
  ASSERT_TRUE(cedar.Request(dc::kTakeDevice, U32(dc::kTakeDeviceOff), dc::kTakeDeviceSize).success);
  EXPECT_FALSE(devices[0]->Taken());
  ASSERT_TRUE(cedar.Request(dc::kTakeDevice, U32(dc::kTakeDeviceOn), dc::kTakeDeviceSize).success);
  cedar.Close();
  EXPECT_FALSE(devices[0]->Taken()) << "the last close gives the controller back";

  kx7::DriverDevice held;
  ASSERT_TRUE(held.Open(kx7::Kx7DriverDeviceName(2)));
  EXPECT_EQ(held.Request(dc::kTakeDevice, U32(dc::kTakeDeviceOn), dc::kTakeDeviceSize).error, err::kGeneralFailure);
  EXPECT_TRUE(held.Request(dc::kTakeDevice, U32(dc::kTakeDeviceOff), dc::kTakeDeviceSize).success);
}

TEST_F(Kx7ListTest, BadRequestsFailWithTheirReason) {
  kx7::DriverDevice device;
  ASSERT_TRUE(device.Open(kx7::Kx7DriverDeviceName(1)));
  const std::vector<FailingRequest> cases{
      {"list without its input", dc::kListControllers, {}, dc::kListRecordSize, err::kInvalidParameter},
      {"list without room", dc::kListControllers, U32(0), dc::kListRecordSize - 1, err::kInsufficientBuffer},
      {"record without a number", dc::kControllerRecord, {1, 0}, dc::kKx7RecordSize, err::kInvalidParameter},
      {"record of an unlisted number", dc::kPortRecord, U32(9), dc::kKx7RecordSize, err::kInvalidParameter},
      {"record without room", dc::kPortRecord, U32(1), 100, err::kInsufficientBuffer},
      {"take without a flag", dc::kTakeDevice, {1}, dc::kTakeDeviceSize, err::kInvalidParameter},
      {"take with flag 2", dc::kTakeDevice, U32(2), dc::kTakeDeviceSize, err::kInvalidParameter},
      {"take without room", dc::kTakeDevice, U32(1), 2, err::kInsufficientBuffer},
      {"a Rivetware request", dc::kWhoAreYou, {}, dc::kWhoAreYouSize, err::kInvalidFunction},
      {"GET_VERSION as a request", dc::kGetVersion, {}, dc::kVersionRecordSize, err::kInvalidFunction},
  };
  ExpectFailures(device, cases);
  EXPECT_FALSE(devices[0]->Taken());
}

TEST_F(Kx7ListTest, SerialControllerBytesGoThroughFileReadsAndWrites) {
  kx7::DriverDevice device;
  ASSERT_TRUE(device.Open(kx7::Kx7DriverDeviceName(1)));
  EXPECT_TRUE(device.Read(dc::kMaxReadBytes, 10).bytes.empty());
  const std::vector<std::uint8_t> ping = Bytes(Framed("Z"));
  const kx7::DriverWriteResult written = device.Write(ping);
  ASSERT_TRUE(written.success);
  EXPECT_EQ(written.written, ping.size());
  EXPECT_EQ(Text(device.Read(2, 10).bytes), "\x01" "0");
  EXPECT_EQ(Text(device.Read(dc::kMaxReadBytes, 10).bytes), "\r");
  EXPECT_EQ(device.Read(0, 10).error, err::kInsufficientBuffer);
}

TEST(Kx7SerialDeviceTest, RemovalEndsAWaitingRead) {
  kx7::SimulatedDriverBackend backend;
  kx7::ScopedDriverBackend installed{backend};
  std::vector<Kx7Entry> entries(1);
  entries[0].listing = {1, "Serial_Cedar", "", "COM1", "", false};
  entries[0].serial = CreateDevice("cedar-gen4", "", false);
  Kx7Options options;
  options.serialMaxWaitMs = 60'000;
  const auto devices = AddKx7Controllers(backend, std::move(entries), options);
  ASSERT_EQ(devices.size(), 1u);
  auto& serial = static_cast<Kx7SerialDevice&>(*devices[0]);

  kx7::DriverDevice device;
  ASSERT_TRUE(device.Open(kx7::Kx7DriverDeviceName(1)));
  const auto start = std::chrono::steady_clock::now();
  auto read = std::async(std::launch::async, [&] { return device.Read(dc::kMaxReadBytes, 60'000); });
  ASSERT_TRUE(serial.Endpoint().AwaitWaitingReaders(1, std::chrono::seconds(20)));
  ASSERT_TRUE(backend.RemoveDevice(kx7::Kx7DriverDeviceName(1)));
  const DriverResult result = read.get();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(result.error, err::kDeviceNotConnected);
}

TEST(Kx7BuildingBlocksTest, RefuseListsThatDoNotAddUp) {
  kx7::SimulatedDriverBackend backend;
  std::vector<Kx7Entry> twoKinds(1);
  twoKinds[0].listing.number = 1;
  twoKinds[0].serial = CreateDevice("echo");
  twoKinds[0].usb = std::make_shared<BirchUsbController>();
  EXPECT_TRUE(AddKx7Controllers(backend, std::move(twoKinds)).empty());

  std::vector<Kx7Entry> sameNumber(2);
  for (Kx7Entry& entry : sameNumber) {
    entry.listing.number = 3;
    entry.serial = CreateDevice("echo");
  }
  EXPECT_TRUE(AddKx7Controllers(backend, std::move(sameNumber)).empty());
  EXPECT_FALSE(backend.HasDevice(kx7::Kx7DriverDeviceName(0)));
  EXPECT_FALSE(backend.HasDevice(kx7::Kx7DriverDeviceName(3)));
}

}  // namespace
}  // namespace kx7::emu
