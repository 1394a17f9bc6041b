// Find Controller over every kind of link, with emulated drivers and HID controllers in-process
// on virtual time: the KX7 driver's list first, then the HID controllers, then the Rivetware
// driver, then the serial ports.
#include <memory>
#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "emulator/driver_emulation.h"
#include "frame/messages.h"
#include "platform/registry_store.h"
#include "proto/proto_constants.h"
#include "usb_fixture.h"

namespace kx7 {
namespace {

class UsbFindTest : public testing::UsbTest {
 protected:
  void Find(std::uint32_t flags = 0) {
    Frame();
    protocol_->finder.FindController(flags, false);
  }
};

TEST_F(UsbFindTest, OneHidControllerIsOpenedByTheScansType) {
  for (const char* family : {"maple", "rowan-usb-gen4", "birch2-hid", "larch-usb", "resistive-usb-5wire"}) {
    SCOPED_TRACE(family);
    const std::string path = std::string("/dev/hidraw-") + family;
    PlugHid(family, path);
    Find();
    EXPECT_EQ(Frame().LinkKind, link::kHid);
    EXPECT_NE(echo_.text.find("Counted 0 HID controllers\r"), std::string::npos) << echo_.text;
    EXPECT_EQ(protocol_->info.LineText(ControllerInfoWindow::kPort), "HID Driver");
    EXPECT_EQ(protocol_->info.LineText(ControllerInfoWindow::kStatus), "Found");
    EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
    Frame().CloseLink();
    emu::RemoveFromBackend(hidBus_, path);
    hardwareIds_.clear();
    echo_.text.clear();
  }
}

TEST_F(UsbFindTest, TwoHidControllersArePickedFromAList) {
  PlugHid("maple", "/dev/hidraw-a");
  PlugHid("rowan-usb-gen3", "/dev/hidraw-b");
  ui_.ExpectList(1);
  Find();
  EXPECT_EQ(Frame().LinkKind, link::kHid);
  EXPECT_EQ(Frame().ControllerType, type::kRowanUsbGen3);
  EXPECT_NE(echo_.text.find("Counted 2 HID controllers\r"), std::string::npos);
  ASSERT_FALSE(ui_.Asked().empty());
  EXPECT_EQ(ui_.Asked()[0].lines, (std::vector<std::string>{"Maple /dev/hidraw-a", "Rowan-USB GEN2 /dev/hidraw-b"}));
  // The USB Rowan board's second processor answered through pass-through.
  EXPECT_NE(protocol_->info.LineText(ControllerInfoWindow::kUt).find("    NM: "), std::string::npos)
      << protocol_->info.LineText(ControllerInfoWindow::kUt);
}

TEST_F(UsbFindTest, ACancelledPickCannotFindTheController) {
  PlugHid("maple", "/dev/hidraw-a");
  PlugHid("rowan-usb-gen4", "/dev/hidraw-b");
  ui_.ExpectMessage("Can't Find Controller", Answer::kOk);
  ui_.ExpectList(std::nullopt);
  Find();
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{"Can't Find Controller"});
}

// The KX7 driver comes first: a serial controller it lists is not connectable by its type, so
// the search opens the driver's device and pings the controller through it.
TEST_F(UsbFindTest, TheKx7DriversSerialControllerIsPingedThroughItsDevice) {
  PlugHid("maple", "/dev/hidraw-a");  // found later, if the KX7 step fails
  std::vector<emu::Kx7Entry> entries(1);
  entries[0].listing = {1, "Serial_Cedar", "", "COM7", "", false};
  entries[0].serial = emu::CreateDevice("cedar-gen4", "", false);
  emu::Kx7Options options;
  options.clockMs = Clock();
  options.serialMaxWaitMs = 0;
  ASSERT_FALSE(emu::AddKx7Controllers(driverBackend_, std::move(entries), options).empty());
  Find();
  EXPECT_EQ(Frame().LinkKind, link::kDriverFile) << echo_.text;
  EXPECT_EQ(Frame().ControllerType, type::kCedarGen4);
  EXPECT_NE(echo_.text.find("KX7 lists 1 controllers\r"), std::string::npos) << echo_.text;
  EXPECT_NE(echo_.text.find("Trying KXDriver\r"), std::string::npos);
  EXPECT_EQ(protocol_->info.LineText(ControllerInfoWindow::kPort), "KXDriver @COM7");
  EXPECT_EQ(echo_.text.find("HID controller"), std::string::npos) << "the HID step never ran";
}

TEST_F(UsbFindTest, TheKx7DriversBirchUsbAndHidControllers) {
  const struct {
    const char* typeName;
    int link;
    std::uint32_t type;
  } cases[] = {{"USB_Birch2", link::kKxUsb, type::kBirchUsb}, {"Birch2_HID", link::kKxHid, type::kBirch2Hid}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typeName);
    SimulatedDriverBackend backend;
    ScopedDriverBackend scoped(backend);
    std::vector<emu::Kx7Entry> entries(1);
    entries[0].listing = {1, c.typeName, "", "USB", "", false};
    if (c.type == type::kBirchUsb) {
      entries[0].usb = std::make_shared<emu::BirchUsbController>(emu::BirchUsbOptions{}, Clock());
    } else {
      emu::HidControllerOptions options;
      options.ownTouches = false;
      options.clock = Clock();
      entries[0].hid = emu::CreateHidController("birch2-hid", options);
    }
    emu::Kx7Options options;
    options.clockMs = Clock();
    options.serialMaxWaitMs = 0;
    ASSERT_FALSE(emu::AddKx7Controllers(backend, std::move(entries), options).empty());
    Find();
    EXPECT_EQ(Frame().LinkKind, c.link) << echo_.text;
    EXPECT_EQ(Frame().ControllerType, c.type);
    EXPECT_EQ(protocol_->info.LineText(ControllerInfoWindow::kStatus), "Found");
    EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
    Frame().CloseLink();
    echo_.text.clear();
  }
}

// No KX7 driver and no HID controller: the Rivetware driver's serial controller.
TEST_F(UsbFindTest, TheRivetwareDriverComesAfterTheHidStep) {
  Frame();
  RegistryStore& registry = protocol_->usb->Registry();
  emu::AddRivetwareSerialDevice(driverBackend_, registry, 0, "COM4", emu::CreateDevice("cedar-gen4", "", false),
                                std::nullopt, Clock());
  Find();
  EXPECT_EQ(Frame().LinkKind, link::kRivetwareDriver) << echo_.text;
  EXPECT_EQ(Frame().ControllerType, type::kCedarGen4);
  EXPECT_NE(echo_.text.find("Counted 0 HID controllers\r"), std::string::npos);
  EXPECT_NE(echo_.text.find("Trying RVDriver\r"), std::string::npos);
  EXPECT_EQ(protocol_->info.LineText(ControllerInfoWindow::kPort), "RVDriver @COM4");
}

// Flag 0x04 stops after the HID step; a controller that does not identify is reported.
TEST_F(UsbFindTest, StopAfterHidWithNothingThere) {
  ui_.ExpectMessage("Can't Find Controller", Answer::kOk);
  Find(find::kStopAfterHid);
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{"Can't Find Controller"});
}

// A known controller plugged in starts a search two seconds later; pulling it out closes the link.
TEST_F(UsbFindTest, PlugInSearchesAndUnplugClosesTheLink) {
  Frame();
  PlugHid("maple", "/dev/hidraw-a");
  DeviceChange arrival;
  arrival.kind = DeviceChange::Kind::kArrival;
  arrival.vendor = 0x0596;
  arrival.product = 0x0400;
  arrival.subsystem = "hidraw";
  Frame().Devices().Inject(arrival);
  Frame().Post(msg::kDeviceEvents);
  const std::uint64_t plugged = loop_.Now();
  ASSERT_TRUE(loop_.RunUntil([&] { return Frame().LinkKind == link::kHid; })) << echo_.text;
  EXPECT_GE(loop_.Now() - plugged, 2000u);
  EXPECT_EQ(Frame().ControllerType, type::kMaple);
  EXPECT_NE(echo_.text.find("Controller Plugged\r"), std::string::npos) << echo_.text;

  Frame().passThrough = true;  // left on by a tool: the next link must not inherit it
  emu::RemoveFromBackend(hidBus_, "/dev/hidraw-a");
  DeviceChange removal = arrival;
  removal.kind = DeviceChange::Kind::kRemoveComplete;
  Frame().Devices().Inject(removal);
  Frame().Post(msg::kDeviceEvents);
  ASSERT_TRUE(loop_.RunUntil([&] { return Frame().LinkKind == link::kClosed; }));
  EXPECT_EQ(Frame().ControllerType, type::kGeneric);
  EXPECT_NE(echo_.text.find("Controller Removed\r"), std::string::npos) << echo_.text;
  EXPECT_FALSE(protocol_->usb->Hid().IsOpen());
  EXPECT_FALSE(Frame().passThrough);
}

// An unknown device plugged in starts nothing; a removal that leaves our controller there keeps
// the link.
TEST_F(UsbFindTest, OtherDevicesComingAndGoingLeaveTheLinkAlone) {
  PlugHid("maple", "/dev/hidraw-a");
  Find();
  ASSERT_EQ(Frame().LinkKind, link::kHid);
  DeviceChange other;
  other.kind = DeviceChange::Kind::kRemoveComplete;
  other.vendor = 0x046D;
  other.product = 0xC52B;
  Frame().Devices().Inject(other);
  Frame().Post(msg::kDeviceEvents);
  loop_.Advance(3000);
  EXPECT_EQ(Frame().LinkKind, link::kHid);
  EXPECT_TRUE(protocol_->usb->Hid().IsOpen());
}

}  // namespace
}  // namespace kx7
