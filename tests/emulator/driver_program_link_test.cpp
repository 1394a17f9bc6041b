// The program's own driver links against the emulated drivers: each open sequence succeeds on
// the emulated devices, and a command sent through the link is answered through its reader. Both
// sides were written apart, so a disagreement in a request or record shows here.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "emulator/driver_emulation.h"
#include "link/driver/driver_link.h"
#include "link/driver/driver_link_fixture.h"
#include "proto/controller_info_window.h"
#include "proto/driver_identification.h"

namespace kx7::testing {
namespace {

class ProgramLinkTest : public DriverLinkFixture {
 protected:
  ProgramLinkTest() : DriverLinkFixture("kx7-emudrv-") {}

  DriverLink& Link() {
    if (!link_) {
      MakeLink(DriverLink::Readers::kPolled);
      Listen();
    }
    return *link_;
  }
  // Runs the link's reader until the listener holds `bytes` (or the loop gives up).
  bool Hears(const std::string& bytes) {
    loop_.SetIdleWork([this] { return link_->PollOnce(); });
    const bool heard = loop_.RunUntil([&] { return listener_->bytes.find(bytes) != std::string::npos; });
    loop_.SetIdleWork({});
    return heard;
  }
  void Send(const std::string& command) {
    const std::string framed = "\x01" + command + "\r";
    Link().PassThroughSend(reinterpret_cast<const std::uint8_t*>(framed.data()), framed.size());
  }

  std::function<std::uint64_t()> Clock() {
    return [this] { return loop_.Now(); };
  }
  // The emulated drivers of a Birch USB controller, on the loop's clock.
  std::optional<emu::InstalledDrivers> InstallBirchUsb(emu::DriverEmulationOptions options = {}) {
    options.clockMs = Clock();
    return emu::InstallDriverEmulation("birch-usb", backend_, &registry_, options);
  }
};

TEST_F(ProgramLinkTest, RivetwareUsbOpensAndPassThroughIsAnswered) {
  const auto drivers = InstallBirchUsb();
  ASSERT_TRUE(drivers);
  ASSERT_TRUE(Link().OpenRivetwareUsb()) << echo_.text;
  EXPECT_EQ(Frame().LinkKind, link::kRivetwareUsb);
  EXPECT_EQ(Frame().ControllerFeatures & 0x10u, 0x10u);
  EXPECT_TRUE(Link().NewerUsbDriver());
  EXPECT_EQ(Link().UsbDeviceText(), "USB0001e240");
  EXPECT_FALSE(drivers->rivetwareUsb->MouseEnabled());

  ASSERT_TRUE(Link().EnterPassThrough('D'));
  Send("UT");
  EXPECT_TRUE(Hears("\x01" "BT021000\r")) << listener_->bytes;
  Link().ExitPassThrough();

  std::vector<std::uint8_t> block;
  ASSERT_TRUE(Link().ReadBlock(1, block));
  EXPECT_EQ(block, drivers->birchUsb->Block(1));
  EXPECT_EQ(Link().LastBlockStatus(), 'A');

  Link().Close(link::kRivetwareUsb);
  EXPECT_TRUE(drivers->rivetwareUsb->MouseEnabled());
  EXPECT_EQ(backend_.OpenHandles(RivetwareDriverDeviceName(0)), 0);
}

TEST_F(ProgramLinkTest, KxUsbDirectConnectAndPassThroughIsAnswered) {
  const auto drivers = InstallBirchUsb();
  ASSERT_TRUE(drivers);
  ASSERT_TRUE(Link().ConnectBirchUsbDirect()) << echo_.text;
  EXPECT_EQ(Frame().LinkKind, link::kKxUsb);
  EXPECT_EQ(Frame().ControllerType, 32865u);
  EXPECT_TRUE(Link().MultiReportMode());
  EXPECT_TRUE(drivers->kx7Devices.front()->Taken());

  ASSERT_TRUE(Link().EnterPassThrough('D'));
  Send("UV");
  EXPECT_TRUE(Hears("\x01" "BV021000\r")) << listener_->bytes;
  Link().ExitPassThrough();

  std::vector<std::uint8_t> block(30, 0x5A);
  ASSERT_TRUE(Link().WriteBlock(1, block));
  EXPECT_EQ(drivers->birchUsb->Block(1), block);
  std::vector<std::uint8_t> back;
  ASSERT_TRUE(Link().ReadBlock(1, back));
  EXPECT_EQ(back, block);

  Frame().CloseLink();
  EXPECT_FALSE(drivers->kx7Devices.front()->Taken());
}

TEST_F(ProgramLinkTest, RivetwareSerialOpensAndAPingIsAnswered) {
  const auto driver = emu::AddRivetwareSerialDevice(backend_, registry_, 0, "COM3", emu::CreateDevice("cedar-gen4", "", false),
                                                    9600, Clock(), emu::RivetwareSerialOptions{0});
  ASSERT_TRUE(driver);
  ASSERT_TRUE(Link().OpenRivetwareSerial(0)) << echo_.text;
  EXPECT_EQ(Frame().LinkKind, link::kRivetwareDriver);
  EXPECT_EQ(driver->Client(), "KX7SDU");
  const std::uint8_t ping[] = {0x01, 'Z', 0x0D};
  Link().WriteBytes(ping, sizeof ping);
  EXPECT_TRUE(Hears("\x01" "0\r")) << listener_->bytes;
  Frame().CloseLink();
}

TEST_F(ProgramLinkTest, Kx7ListAndFileLinkOfASerialController) {
  std::vector<emu::Kx7Entry> entries(2);
  entries[0].listing = {1, "Serial_Cedar", "GEN4", "COM3", "", false};
  entries[0].serial = emu::CreateDevice("cedar-gen4", "", false);
  entries[1].listing = {2, "USB_Birch2", "", "USB", "busy", true};
  entries[1].usb = std::make_shared<emu::BirchUsbController>(emu::BirchUsbOptions{}, Clock());
  emu::Kx7Options options;
  options.clockMs = Clock();
  options.serialMaxWaitMs = 0;
  ASSERT_EQ(emu::AddKx7Controllers(backend_, std::move(entries), options).size(), 2u);

  ui_.ExpectList(1);
  ASSERT_EQ(Link().ListKx7Controllers(), 2);
  EXPECT_FALSE(Link().OpenKx7(2)) << "held by another program";
  ui_.ExpectList(0);
  ASSERT_EQ(Link().ListKx7Controllers(), 2);
  EXPECT_EQ(Link().ChosenKx7Type(), 32872u);
  ASSERT_TRUE(Link().OpenKx7(1)) << echo_.text;
  const std::uint8_t ping[] = {0x01, 'Z', 0x0D};
  Link().WriteBytes(ping, sizeof ping);
  EXPECT_TRUE(Hears("\x01" "0\r")) << listener_->bytes;
  Frame().CloseLink();
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
}

// Find Controller's connect of a Birch USB controller and the identification through either
// driver: a haptic controller is also asked through pass-through to its second processor.
class ProgramIdentificationTest : public ProgramLinkTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ProgramIdentificationTest, BirchUsbIsIdentifiedThroughTheDriver) {
  const bool fromKx7List = GetParam();
  emu::DriverEmulationOptions options;
  options.birchUsb.haptic = true;
  ASSERT_TRUE(InstallBirchUsb(options));
  DriverIdentification identification(Frame(), Channel(), Protocol().info, Link());
  loop_.SetIdleWork([this] { return link_->PollOnce(); });
  ASSERT_TRUE(identification.ConnectBirchUsb(32865, fromKx7List)) << ui_.Report() << echo_.text;
  loop_.SetIdleWork({});
  EXPECT_EQ(Frame().LinkKind, fromKx7List ? link::kKxUsb : link::kRivetwareUsb);
  EXPECT_EQ(Frame().ControllerType, 32865u);
  EXPECT_EQ(Frame().ControllerFeatures, 0x110u) << "Birch family, haptic";
  const ControllerInfoWindow& info = Protocol().info;
  EXPECT_EQ(info.LineText(ControllerInfoWindow::kOi), "Type: A3 v2.10 CDE(00123456) CST(0210)");
  EXPECT_EQ(info.LineText(ControllerInfoWindow::kPort), fromKx7List ? "KXUSB Driver" : "RVUSB Driver");
  EXPECT_EQ(info.LineText(ControllerInfoWindow::kUv).rfind("S/N 0001E240", 0), 0u)
      << info.LineText(ControllerInfoWindow::kUv);
  EXPECT_NE(info.LineText(ControllerInfoWindow::kUv).find("BV021000"), std::string::npos)
      << "the second processor's UV through pass-through";
  EXPECT_NE(info.LineText(ControllerInfoWindow::kUt).find("DDI v3.1,  Drv v5.20"), std::string::npos)
      << info.LineText(ControllerInfoWindow::kUt);
  EXPECT_EQ(info.LineText(ControllerInfoWindow::kNm), "MaxParamWrite: 65535");
  EXPECT_EQ(identification.TypeText(), "REVB CAP ");
  EXPECT_FALSE(Frame().passThrough) << "pass-through is left";
}

INSTANTIATE_TEST_SUITE_P(RivetwareOrKx7, ProgramIdentificationTest, ::testing::Bool());

}  // namespace
}  // namespace kx7::testing
