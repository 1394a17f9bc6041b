// The Rivetware driver's serial device as the program's link 257 uses it: check, WHO_ARE_YOU,
// register, read and write the controller's bytes, the port's speed from the registry, and reads
// that wait being ended by a close or a removal.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "emulator/driver_emulation.h"
#include "emulator/driver_emulation_constants.h"
#include "emulator/emulated_device.h"
#include "driver_test_support.h"
#include "link/driver/driver_constants.h"
#include "platform/driver_device.h"
#include "platform/registry_store.h"

namespace kx7::emu {
namespace {

using namespace kx7::emu::testing;
namespace dc = kx7::driver;
namespace err = kx7::driver_error;

const std::string kAck{'\x01', '0', '\r'};

class RivetwareSerialTest : public ::testing::Test {
 protected:
  // A Cedar GEN4 (9600 baud, no touches of its own) on port 0, "COM3".
  std::shared_ptr<RivetwareSerialDriver> Install(std::optional<std::uint32_t> baudrate, int readWaitMs = 0) {
    driver = AddRivetwareSerialDevice(backend, registry, 0, "COM3", CreateDevice("cedar-gen4", "", false), baudrate,
                                      clock.Function(), RivetwareSerialOptions{readWaitMs});
    return driver;
  }

  DriverResult Call(std::uint32_t code, const std::vector<std::uint8_t>& input = {}, std::size_t room = 0) {
    return device.Request(code, input, room);
  }

  // Registers like the reader, sends SOH "Z" CR and reads what came back.
  std::string Ping() {
    EXPECT_TRUE(Call(dc::kWriteBytes, Bytes(Framed("Z"))).success);
    return Text(Call(dc::kReadBytes, {}, dc::kMaxReadBytes).bytes);
  }

  VirtualClock clock;
  kx7::RegistryStore registry{std::filesystem::temp_directory_path() / "kx7-emudrv-never-saved.txt"};
  kx7::SimulatedDriverBackend backend;
  kx7::ScopedDriverBackend installed{backend};
  std::shared_ptr<RivetwareSerialDriver> driver;
  kx7::DriverDevice device;
};

TEST_F(RivetwareSerialTest, OpenSequenceAndPingRoundTrip) {
  ASSERT_NE(Install(9600), nullptr);
  EXPECT_EQ(registry.GetString("System\\CurrentControlSet\\Services\\KxsTch\\Parameters\\0000\\PortName"), "COM3");
  ASSERT_TRUE(device.Open(kx7::RivetwareDriverDeviceName(0)));

  const DriverResult check = Call(dc::kCheck, {}, dc::kCheckSize);
  ASSERT_TRUE(check.success);
  EXPECT_EQ(check.ByteCount(), dc::kCheckSize);
  EXPECT_EQ(U32At(check.bytes, 0), 6u);
  const DriverResult who = Call(dc::kWhoAreYou, {}, dc::kWhoAreYouSize);
  ASSERT_TRUE(who.success);
  EXPECT_EQ(U32At(who.bytes, 0), dc::kSerialRivetwareDevice);

  ASSERT_TRUE(Call(dc::kRegisterClient, ClientName()).success);
  EXPECT_EQ(driver->Client(), "KX7SDU");
  EXPECT_TRUE(Call(dc::kReadBytes, {}, dc::kMaxReadBytes).bytes.empty()) << "nothing was sent yet";
  EXPECT_EQ(Ping(), kAck);
  // A reply longer than the room comes in pieces, nothing lost.
  ASSERT_TRUE(Call(dc::kWriteBytes, Bytes(Framed("OI"))).success);
  std::string oi = Text(Call(dc::kReadBytes, {}, 3).bytes);
  EXPECT_EQ(oi.size(), 3u);
  oi += Text(Call(dc::kReadBytes, {}, dc::kMaxReadBytes).bytes);
  EXPECT_EQ(oi, Framed("WZ0401"));

  ASSERT_TRUE(Call(dc::kUnregisterClient).success);
  EXPECT_FALSE(driver->Client());
  EXPECT_EQ(Call(dc::kReadBytes, {}, dc::kMaxReadBytes).error, err::kGeneralFailure);
}

TEST_F(RivetwareSerialTest, BytesPassOnlyAtTheControllersSpeed) {
  Install(19200);
  ASSERT_TRUE(device.Open(kx7::RivetwareDriverDeviceName(0)));
  ASSERT_TRUE(Call(dc::kRegisterClient, ClientName()).success);
  EXPECT_EQ(driver->DriverBaud(), 19200u);
  EXPECT_NE(Ping(), kAck) << "a controller at 9600 does not understand a driver at 19200";

  // The program writes the port's speed and makes the driver read it again.
  registry.SetDword(RivetwareSerialDriver::PortKey(0) + "\\Baudrate", 9600);
  EXPECT_EQ(driver->DriverBaud(), 19200u) << "only the reread request takes the new value";
  ASSERT_TRUE(Call(dc::kRereadBaudrate).success);
  EXPECT_EQ(driver->DriverBaud(), 9600u);
  Call(dc::kReadBytes, {}, dc::kMaxReadBytes);  // whatever the confused controller said before
  EXPECT_EQ(Ping(), kAck);
}

TEST_F(RivetwareSerialTest, PortWithoutBaudrateTalksAtTheDefaultSpeed) {
  Install(std::nullopt);
  EXPECT_EQ(driver->DriverBaud(), driver_emulation::kDefaultBaudrate);
}

TEST_F(RivetwareSerialTest, BadRequestsFailWithTheirReason) {
  Install(9600);
  ASSERT_TRUE(device.Open(kx7::RivetwareDriverDeviceName(0)));
  const std::vector<FailingRequest> cases{
      {"read before registering", dc::kReadBytes, {}, dc::kMaxReadBytes, err::kGeneralFailure},
      {"write before registering", dc::kWriteBytes, Bytes("Z"), 0, err::kGeneralFailure},
      {"unregister without a client", dc::kUnregisterClient, {}, 0, err::kGeneralFailure},
      {"short client name", dc::kRegisterClient, std::vector<std::uint8_t>(10, 'A'), 0, err::kInvalidParameter},
      {"empty client name", dc::kRegisterClient, std::vector<std::uint8_t>(dc::kClientNameSize, 0), 0,
       err::kInvalidParameter},
      {"check without room", dc::kCheck, {}, 19, err::kInsufficientBuffer},
      {"WHO_ARE_YOU without room", dc::kWhoAreYou, {}, 3, err::kInsufficientBuffer},
      {"a USB request", dc::kGetVersion, {}, dc::kVersionRecordSize, err::kInvalidFunction},
      {"a KX7 request", dc::kListControllers, U32(0), dc::kListRecordSize, err::kInvalidFunction},
  };
  ExpectFailures(device, cases);
  ASSERT_TRUE(Call(dc::kRegisterClient, ClientName()).success);
  EXPECT_EQ(Call(dc::kWriteBytes, {}).error, err::kInvalidParameter) << "an empty write";
  EXPECT_EQ(Call(dc::kReadBytes, {}, 0).error, err::kInsufficientBuffer) << "a read without room";
  EXPECT_EQ(device.Read(16, 0).error, err::kInvalidFunction) << "the device is no file";
}

TEST_F(RivetwareSerialTest, LastCloseEndsTheRegistration) {
  Install(9600);
  ASSERT_TRUE(device.Open(kx7::RivetwareDriverDeviceName(0)));
  ASSERT_TRUE(Call(dc::kRegisterClient, ClientName()).success);
  device.Close();
  EXPECT_FALSE(driver->Client());
}

// A read that waits for bytes ends when the device goes away (or the handle closes), long before
// its wait is over.
class WaitingReadTest : public RivetwareSerialTest, public ::testing::WithParamInterface<bool> {};

TEST_P(WaitingReadTest, EndsAtOnce) {
  const bool removeDevice = GetParam();
  Install(9600, 60'000);
  ASSERT_TRUE(device.Open(kx7::RivetwareDriverDeviceName(0)));
  ASSERT_TRUE(Call(dc::kRegisterClient, ClientName()).success);
  const auto start = std::chrono::steady_clock::now();
  auto read = std::async(std::launch::async, [&] { return Call(dc::kReadBytes, {}, dc::kMaxReadBytes); });
  ASSERT_TRUE(driver->Endpoint().AwaitWaitingReaders(1, std::chrono::seconds(20)));
  if (removeDevice) {
    ASSERT_TRUE(backend.RemoveDevice(kx7::RivetwareDriverDeviceName(0)));
  } else {
    device.Close();
  }
  const DriverResult result = read.get();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.error, removeDevice ? err::kDeviceNotConnected : err::kInvalidHandle);
}

INSTANTIATE_TEST_SUITE_P(RemovedOrClosed, WaitingReadTest, ::testing::Bool());

}  // namespace
}  // namespace kx7::emu
