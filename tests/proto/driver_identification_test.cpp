#include "proto/driver_identification.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "controller/controller_types.h"
#include "link/driver/fake_drivers.h"
#include "proto/protocol_fixture.h"

namespace kx7::testing {
namespace {

using namespace driver;

const std::string kKxs0 = RivetwareDriverDeviceName(0);

// A controller behind a USB driver, as the identification sees it.
struct UsbController {
  char first = 'B';
  char second = '2';
  char third = 0;
  std::uint16_t maxParamWrite = 0xFFFF;
  bool resistive = false;
  std::optional<Bytes> mversion;  // the 24-byte answer, when the controller has one
  bool versionFails = false;
  bool statusFails = false;
  std::uint16_t status = 0;
  std::uint8_t statusFlags = 0;
  std::uint32_t serial = 0x12345678;
  bool haptic = false;

  // The 26-byte version record as the RVUSB driver gives it.
  Bytes VersionRecord() const {
    Bytes record(kVersionRecordSize, 0);
    record[0] = 1;
    record[2] = 2;
    record[4] = 3;
    record[6] = 4;
    record[9] = static_cast<std::uint8_t>(third);
    record[10] = static_cast<std::uint8_t>(second);
    record[11] = static_cast<std::uint8_t>(first);
    record[12] = resistive ? 1 : 0;
    record[14] = 1;
    record[15] = 2;
    record[16] = 0xCD;
    record[17] = 0xAB;
    record[18] = static_cast<std::uint8_t>(maxParamWrite & 0xFF);
    record[19] = static_cast<std::uint8_t>(maxParamWrite >> 8);
    return record;
  }
  Bytes StatusRecord(std::size_t size) const {
    Bytes record(size, 0);
    record[0] = static_cast<std::uint8_t>(status & 0xFF);
    record[1] = static_cast<std::uint8_t>(status >> 8);
    record[4] = statusFlags;
    return record;
  }

  std::shared_ptr<FakeRivetware> Rivetware() const {
    auto fake = std::make_shared<FakeRivetware>();
    fake->answers[kWhoAreYou] = DriverResult::Ok(FirstValue(kUsbRivetwareDevice, kWhoAreYouSize));
    fake->answers[kGetVersion] =
        versionFails ? DriverResult::Failed(driver_error::kGeneralFailure) : DriverResult::Ok(VersionRecord());
    fake->answers[kGetStatus] = statusFails ? DriverResult::Failed(driver_error::kGeneralFailure)
                                            : DriverResult::Ok(StatusRecord(kStatusRecordSize));
    fake->answers[kReadSerialNumber] = DriverResult::Ok(Le32(serial));
    if (mversion) {
      Bytes record = *mversion;
      record.resize(kMVersionRecordSize, 0);
      fake->answers[kGetMVersion] = DriverResult::Ok(record);
    } else {
      fake->answers[kGetMVersion] = DriverResult::Failed(driver_error::kInvalidFunction);
    }
    return fake;
  }
};

// The 24-byte extended version answer.
Bytes MVersion(std::uint8_t flags, std::uint16_t revision) {
  Bytes answer(24, 0);
  answer[8] = 'B';
  answer[9] = '2';
  answer[10] = 2;
  answer[11] = 5;
  answer[12] = flags;
  answer[14] = static_cast<std::uint8_t>(revision & 0xFF);
  answer[15] = static_cast<std::uint8_t>(revision >> 8);
  const Bytes cde = Le32(0x12345678);
  std::copy(cde.begin(), cde.end(), answer.begin() + 16);
  answer[20] = 0xBC;
  answer[21] = 0x9A;
  return answer;
}

class DriverIdentificationTest : public ProtocolTest {
 protected:
  DriverIdentificationTest()
      : registry_(std::filesystem::temp_directory_path() / ("kx7-drvid-" + std::to_string(::getpid()) + ".txt")) {}

  DriverLink& Link() {
    if (!link_) {
      link_ = std::make_unique<DriverLink>(Frame(), registry_, DriverLink::Readers::kPolled);
      Frame().closeUsbLink = [this](int kind) { link_->Close(kind); };
      identification_ = std::make_unique<DriverIdentification>(Frame(), Channel(), Protocol().info, *link_);
    }
    return *link_;
  }
  DriverIdentification& Identification() {
    Link();
    return *identification_;
  }
  const std::string& Line(int line) { return Protocol().info.LineText(line); }

  void TearDown() override {
    loop_.SetIdleWork({});
    identification_.reset();
    link_.reset();
    ProtocolTest::TearDown();
  }

  SimulatedDriverBackend backend_;
  ScopedDriverBackend scope_{backend_};
  RegistryStore registry_;
  std::unique_ptr<DriverLink> link_;
  std::unique_ptr<DriverIdentification> identification_;
};

TEST_F(DriverIdentificationTest, TheVersionRecordsDecideTypeFeaturesAndLines) {
  struct Case {
    const char* what;
    UsbController controller;
    std::uint32_t type;
    std::uint32_t features;
    const char* oi;
    const char* text;
    const char* errors;
  };
  UsbController birch;
  UsbController usb1;
  usb1.maxParamWrite = 64;
  usb1.resistive = true;
  usb1.status = 0x0009;
  usb1.statusFlags = kStatusWakeOnTouch;
  UsbController rom;
  rom.first = 'M';
  rom.second = '0';
  rom.maxParamWrite = 64;
  UsbController romC = rom;
  romC.third = 'I';
  UsbController two;
  two.mversion = MVersion(kMFlagTwo | kMFlagEmu, kRevisionB);
  UsbController pro;
  pro.mversion = MVersion(kMFlagPro | kMFlagCtii, 0x200);
  pro.status = 0x0088;
  UsbController noStatus;
  noStatus.statusFails = true;
  const Case cases[] = {
      {"Birch USB", birch, 32865, 0x10, "Type: B2 v1.02 (ABCD)", "CAP ", ""},
      {"USB1", usb1, 32867, 0, "Type: B2 v1.02 (ABCD)", "USB1 RES WOT ", "RAM BLK1 "},
      {"Birch ROM", rom, 32866, 0x10, "Type: M0 v1.02 (ABCD)", "Birch ROM CAP ", ""},
      {"Birch ROM REVC", romC, 32866, 0x50, "Type: M0 v1.02 (ABCD)", "Birch ROM REVC CAP ", ""},
      {"extended, two touches, driver pass-through", two, 32865, 0x210, "Type: B2 v2.05 CDE(12345678) CST(9ABC)",
       "TWO EMU REVB CAP ", ""},
      {"extended, PRO CTII", pro, 32865, 0x50, "Type: B2 v2.05 CDE(12345678) CST(9ABC)", "PRO CTII REVC CAP ",
       "BLK1 BLK2 "},
      {"no status", noStatus, 32865, 0x10, "Type: B2 v1.02 (ABCD)", "CAP ", "STATUS_INFO Error "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    backend_.AddDevice(kKxs0, c.controller.Rivetware());
    Frame().ControllerType = type::kGeneric;
    Frame().ControllerFeatures = 0;
    ASSERT_TRUE(Link().OpenRivetwareUsb(0));
    ASSERT_TRUE(Identification().Identify());
    EXPECT_EQ(Frame().ControllerType, c.type);
    EXPECT_EQ(Frame().ControllerFeatures, c.features);
    EXPECT_EQ(Line(ControllerInfoWindow::kOi), c.oi);
    EXPECT_EQ(Line(ControllerInfoWindow::kUv), "S/N 12345678");
    EXPECT_EQ(Line(ControllerInfoWindow::kUt), "DDI v1.2,  Drv v3.4");
    EXPECT_EQ(Line(ControllerInfoWindow::kNm), "MaxParamWrite: " + std::to_string(c.controller.maxParamWrite));
    EXPECT_EQ(Line(ControllerInfoWindow::kPort), "RVUSB Driver");
    EXPECT_EQ(Line(ControllerInfoWindow::kBaseType), c.text);
    EXPECT_EQ(Line(ControllerInfoWindow::kErrors), c.errors);
    EXPECT_EQ(Identification().TwoTouch(), c.controller.mversion && ((*c.controller.mversion)[12] & kMFlagTwo));
    Frame().CloseLink();
  }
}

TEST_F(DriverIdentificationTest, NoVersionRecordIsAFailedIdentification) {
  // The RVUSB open itself needs GET_VERSION; a controller that loses it afterwards:
  auto fake = UsbController{}.Rivetware();
  backend_.AddDevice(kKxs0, fake);
  ASSERT_TRUE(Link().OpenRivetwareUsb(0));
  fake->answers[kGetVersion] = DriverResult::Failed(driver_error::kGeneralFailure);
  EXPECT_FALSE(Identification().Identify());
  EXPECT_EQ(Line(ControllerInfoWindow::kErrors), "GET_VERSION_INFO Error ");
  EXPECT_EQ(Line(ControllerInfoWindow::kOi), "");
}

// A Birch USB controller behind the KXUSB driver, with a second processor that answers the
// command set through pass-through.
class KxUsbBirch {
 public:
  explicit KxUsbBirch(UsbController controller) : controller_(std::move(controller)) {}

  std::shared_ptr<FakeKx7> Driver() {
    auto fake = std::make_shared<FakeKx7>();
    FakeKx7* raw = fake.get();
    fake->usb = [this, raw](const UsbSetup& setup, std::span<const std::uint8_t> data) -> std::optional<Bytes> {
      switch (setup.request) {
        case kVendorVersion: {
          if (setup.length == 24) return controller_.mversion;
          if (controller_.versionFails) return std::nullopt;
          const Bytes record = controller_.VersionRecord();
          Bytes answer(16, 0);
          std::copy_n(record.begin(), 8, answer.begin());
          answer[8] = record[10];
          answer[9] = record[11];
          answer[10] = record[12];
          answer[11] = record[18];
          answer[12] = record[19];
          return answer;
        }
        case kVendorStatus:
          return controller_.StatusRecord(setup.length);
        case kVendorReadBlock: {
          Bytes answer{0, 0, 0};
          const Bytes serial = Le32(controller_.serial);
          answer.insert(answer.end(), serial.begin(), serial.end());
          return answer;
        }
        case kVendorPassThrough:
          if (setup.value == kHapticQuery) return StreamAnswer(0, controller_.haptic ? "H" : "-");
          if (setup.value == kPassThroughEnterD) inPassThrough = true;
          if (setup.value == kPassThroughLeave) inPassThrough = false;
          if (setup.value == kPassThroughData && inPassThrough) {
            command.append(data.begin(), data.end());
            if (!command.empty() && command.back() == '\r') {
              commands.push_back(command);
              const auto reply = replies.find(command);
              if (reply != replies.end()) raw->stream.push_back(StreamAnswer(kStreamBytes, reply->second));
              command.clear();
            }
          }
          return std::nullopt;
        default:
          return std::nullopt;
      }
    };
    return fake;
  }

  std::map<std::string, std::string> replies;
  std::vector<std::string> commands;
  bool inPassThrough = false;

 private:
  UsbController controller_;
  std::string command;
};

// A haptic Birch USB controller whose second processor answers UV with the serial number
// 12345678, GF with 1, and UT and OS with `ut` and `os`.
KxUsbBirch HapticBirch(const std::string& ut, const std::string& os) {
  UsbController controller;
  controller.haptic = true;
  KxUsbBirch birch(controller);
  birch.replies["\x01UV\r"] =
      "\x01"
      "12345678\r";
  birch.replies["\x01UT\r"] = ut;
  birch.replies["\x01OS\r"] = os;
  birch.replies["\x01GF\r"] =
      "\x01"
      "1\r";
  return birch;
}

class Kx7DriverIdentificationTest : public DriverIdentificationTest {
 protected:
  // Device 1 lists controller 3; device 3 is the controller.
  void Install(KxUsbBirch& birch) {
    auto fake = birch.Driver();
    fake->listRecord = Bytes(kListRecordSize, 0);
    fake->listRecord[2] = 2;
    fake->listRecord[4] = 3;
    fake->records[3] = {*EncodeKx7Record("USB_Birch2", ""), *EncodeKx7Record("USB", "")};
    backend_.AddDevice(Kx7DriverDeviceName(1), fake);
    backend_.AddDevice(Kx7DriverDeviceName(3), fake);
    ASSERT_EQ(Link().ListKx7Controllers(), 1);
    loop_.SetIdleWork([this] { return link_->PollOnce(); });
  }
};

TEST_F(Kx7DriverIdentificationTest, AHapticBirchUsbFromTheKx7ListIsAskedThroughPassThrough) {
  KxUsbBirch birch = HapticBirch(
      "\x01"
      "B2000008\r",
      "\x01"
      "00\r");
  Install(birch);
  ASSERT_EQ(Frame().ControllerType, 32865u) << "the list's type name";
  ASSERT_TRUE(Identification().ConnectBirchUsb(Frame().ControllerType, true)) << ui_.Report();
  EXPECT_EQ(Frame().LinkKind, link::kKxUsb);
  EXPECT_EQ(birch.commands, (std::vector<std::string>{"\x01UV\r", "\x01UT\r", "\x01OS\r", "\x01GF\r"}));
  EXPECT_FALSE(birch.inPassThrough) << "pass-through is left";
  EXPECT_FALSE(Frame().passThrough);
  EXPECT_EQ(Frame().ControllerType, 32865u);
  EXPECT_EQ(Frame().ControllerFeatures, 0x110u);
  EXPECT_EQ(Line(ControllerInfoWindow::kPort), "KXUSB Driver");
  EXPECT_EQ(Line(ControllerInfoWindow::kUv), "S/N 12345678   UV: 12345678");
  EXPECT_EQ(Line(ControllerInfoWindow::kUt), "DDI v1.2,  Drv v3.4   UT: B2000008");
  EXPECT_EQ(Line(ControllerInfoWindow::kErrors), "BLK1 ") << "the status pair 08";
  // On the KXUSB link the version answer has no firmware version.
  EXPECT_EQ(Line(ControllerInfoWindow::kOi), "Type: B2 v0.00 (0000)");
}

TEST_F(Kx7DriverIdentificationTest, ABirchUsbWhoseSecondProcessorSaysMfIsTheRom) {
  KxUsbBirch birch = HapticBirch("\x01MF000000\r", std::string("\x01\x01\x02\r", 4));
  Install(birch);
  ASSERT_TRUE(Identification().ConnectBirchUsb(32865, true));
  EXPECT_EQ(Frame().ControllerType, 32866u);
  EXPECT_EQ(Frame().ControllerFeatures, 0x150u);
  EXPECT_EQ(Line(ControllerInfoWindow::kBaseType), "Birch2 ROM REVC ");
  EXPECT_EQ(Line(ControllerInfoWindow::kErrors), "EEPROM DATA ");
}

TEST_F(Kx7DriverIdentificationTest, AControllerThatDoesNotIdentifyIsClosedWithAMessage) {
  UsbController controller;
  controller.versionFails = true;
  KxUsbBirch birch(controller);
  Install(birch);
  ui_.ExpectMessage("Can't Connect to Controller", Answer::kOk);
  EXPECT_FALSE(Identification().ConnectBirchUsb(32865, true));
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  EXPECT_EQ(Frame().ControllerType, type::kGeneric);
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(3)), 0);
}

}  // namespace
}  // namespace kx7::testing
