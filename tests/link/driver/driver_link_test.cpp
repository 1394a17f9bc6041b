#include "link/driver/driver_link.h"

#include <gtest/gtest.h>

#include "controller/controller_types.h"
#include "link/driver/driver_link_fixture.h"
#include "link/driver/fake_drivers.h"

namespace kx7::testing {
namespace {

using namespace driver;

const std::string kKxs0 = RivetwareDriverDeviceName(0);

std::string PortKeyOf(int index, const char* value) {
  char subkey[16];
  std::snprintf(subkey, sizeof subkey, "\\%04d", index);
  return RegistryKey(std::string(kRegistryBaseKey) + subkey, value);
}

// A version record: type letters, the largest parameter write and the block status letters.
Bytes VersionRecord(char first, char second, std::uint16_t maxParamWrite, const std::string& status = "AAAAA") {
  Bytes record(kVersionRecordSize, 0);
  record[0] = 1;  // DDI 1.2, Drv 3.4
  record[2] = 2;
  record[4] = 3;
  record[6] = 4;
  record[kVersionTypeLetters + 1] = static_cast<std::uint8_t>(first);
  record[kVersionTypeLetters] = static_cast<std::uint8_t>(second);
  record[kVersionMaxParamWrite] = static_cast<std::uint8_t>(maxParamWrite & 0xFF);
  record[kVersionMaxParamWrite + 1] = static_cast<std::uint8_t>(maxParamWrite >> 8);
  for (std::size_t i = 0; i < status.size() && i < 5; ++i)
    record[kVersionBlockStatus + i] = static_cast<std::uint8_t>(status[i]);
  return record;
}

// A serial Rivetware device that passes the open's checks.
std::shared_ptr<FakeRivetware> SerialRivetware() {
  auto fake = std::make_shared<FakeRivetware>();
  fake->answers[kCheck] = DriverResult::Ok(Bytes(kCheckSize, 0));
  fake->answers[kWhoAreYou] = DriverResult::Ok(FirstValue(kSerialRivetwareDevice, kWhoAreYouSize));
  return fake;
}

// An RVUSB device that passes the open's checks, a Birch USB controller behind it.
std::shared_ptr<FakeRivetware> UsbRivetware() {
  auto fake = std::make_shared<FakeRivetware>();
  fake->answers[kWhoAreYou] = DriverResult::Ok(FirstValue(kUsbRivetwareDevice, kWhoAreYouSize));
  fake->answers[kGetVersion] = DriverResult::Ok(VersionRecord('B', '2', 0xFFFF));
  fake->answers[kReadSerialNumber] = DriverResult::Ok(Le32(0x12345678));
  fake->answers[kIsTopazDriver] = DriverResult::Ok(FirstValue(kNewerUsbDriverMark, kWhoAreYouSize));
  fake->answers[kGetStatus] = DriverResult::Ok(Bytes(kStatusRecordSize, 0));
  return fake;
}

// The controller behind a KXUSB device: the answers of the vendor requests the test names.
std::shared_ptr<FakeKx7> UsbKx7(std::map<std::uint8_t, Bytes> answers) {
  auto fake = std::make_shared<FakeKx7>();
  fake->usb = [answers](const UsbSetup& setup, std::span<const std::uint8_t>) -> std::optional<Bytes> {
    const auto found = answers.find(setup.request);
    if (found == answers.end()) return std::nullopt;
    return found->second;
  };
  return fake;
}

Bytes ListRecord(std::initializer_list<std::uint16_t> numbers) {
  Bytes record(kListRecordSize, 0);
  record[2] = static_cast<std::uint8_t>(2 * numbers.size());
  std::size_t at = 4;
  for (std::uint16_t n : numbers) {
    record[at++] = static_cast<std::uint8_t>(n & 0xFF);
    record[at++] = static_cast<std::uint8_t>(n >> 8);
  }
  return record;
}

class DriverLinkTest : public DriverLinkFixture {
 protected:
  DriverLinkTest() : DriverLinkFixture("kx7-drvlink-") {}

  DriverLink& Link(DriverLink::Readers readers = DriverLink::Readers::kPolled) {
    if (!link_) Frame().SetListener(slot::kTerminal, kNoWindow + 1000);
    return MakeLink(readers);
  }
  // The polled reader runs whenever the loop waits.
  void RunReader() {
    loop_.SetIdleWork([this] { return link_->PollOnce(); });
  }
  std::string Log() {
    std::string text = echo_.text;
    echo_.text.clear();
    return text;
  }
};

// --- Link 257 -----------------------------------------------------------------------------------

TEST_F(DriverLinkTest, RivetwareSerialOpensOnlyASerialDeviceThatPassesItsCheck) {
  const struct {
    const char* what;
    DriverResult who;
    std::size_t checkSize;
    bool opens;
    const char* log;
  } cases[] = {
      {"a serial device", DriverResult::Ok(FirstValue(1, kWhoAreYouSize)), kCheckSize, true, "WHO_ARE_YOU\rOK\r"},
      {"an RVUSB device", DriverResult::Ok(FirstValue(2, kWhoAreYouSize)), kCheckSize, false, "WHO_ARE_YOU\rOK\r"},
      {"a device that cannot say", DriverResult::Failed(driver_error::kInvalidFunction), kCheckSize, true,
       "WHO_ARE_YOU\rERR: 1 Incorrect function.\r"},
      {"a short WHO_ARE_YOU", DriverResult::Ok(Bytes{1, 0}), kCheckSize, false, "WHO_ARE_YOU\rOK\r"},
      {"a short check", DriverResult::Ok(FirstValue(1, kWhoAreYouSize)), kCheckSize - 1, false, ""},
  };
  Link();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto fake = std::make_shared<FakeRivetware>();
    fake->answers[kCheck] = DriverResult::Ok(Bytes(c.checkSize, 0));
    fake->answers[kWhoAreYou] = c.who;
    backend_.AddDevice(kKxs0, fake);
    Frame().LinkKind = link::kClosed;
    Log();
    EXPECT_EQ(Link().OpenRivetwareSerial(0), c.opens);
    EXPECT_EQ(Log(), c.log);
    if (c.opens) {
      EXPECT_EQ(Frame().LinkKind, link::kRivetwareDriver);
      EXPECT_EQ(fake->Codes(), (std::vector<std::uint32_t>{kCheck, kWhoAreYou, kRegisterClient}));
      Link().Close(link::kRivetwareDriver);
      EXPECT_EQ(fake->Codes().back(), kUnregisterClient);
    } else {
      EXPECT_EQ(Frame().LinkKind, link::kClosed);
    }
    EXPECT_EQ(backend_.OpenHandles(kKxs0), 0);
  }
}

TEST_F(DriverLinkTest, NinePortNamesGiveNineChoicesAndOneGivesNoList) {
  for (int i = 0; i < 9; ++i) registry_.SetString(PortKeyOf(i, kPortNameValue), "COM" + std::to_string(i + 1));
  auto fourth = SerialRivetware();
  backend_.AddDevice(RivetwareDriverDeviceName(4), fourth);
  ui_.ExpectList(4);
  ASSERT_TRUE(Link().OpenRivetwareSerial());
  ASSERT_EQ(ui_.Asked().size(), 1u);
  EXPECT_EQ(ui_.Asked()[0].lines.size(), 9u);
  EXPECT_EQ(ui_.Asked()[0].lines[8], "COM9");
  EXPECT_EQ(Frame().driverDeviceName, "COM5");
  EXPECT_EQ(Frame().LinkText(), "RVDriver @COM5");
  Link().Close(link::kRivetwareDriver);

  registry_.Clear();
  registry_.SetString(PortKeyOf(0, kPortNameValue), "COM7");
  backend_.AddDevice(kKxs0, SerialRivetware());
  ASSERT_TRUE(Link().OpenRivetwareSerial());
  EXPECT_EQ(ui_.Asked().size(), 1u) << "one name: no list";
  EXPECT_EQ(Frame().driverDeviceName, "COM7");
  Link().Close(link::kRivetwareDriver);

  for (int i = 0; i < 2; ++i) registry_.SetString(PortKeyOf(i, kPortNameValue), "P" + std::to_string(i));
  ui_.ExpectList(std::nullopt);
  EXPECT_FALSE(Link().OpenRivetwareSerial()) << "a cancelled pick opens nothing";
  EXPECT_EQ(backend_.OpenHandles(kKxs0), 0);
}

TEST_F(DriverLinkTest, RivetwareSerialReaderDeliversAndItsWriteIsRepeatedUntilTaken) {
  auto fake = SerialRivetware();
  backend_.AddDevice(kKxs0, fake);
  ListenerWindow& listener = Listen();
  ASSERT_TRUE(Link().OpenRivetwareSerial(0));
  {
    std::lock_guard lock(fake->mutex);
    fake->reads.push_back(Bytes{'a', 'b'});
    fake->reads.push_back(Bytes{'c'});
  }
  RunReader();
  ASSERT_TRUE(loop_.RunUntil([&] { return listener.bytes == "abc"; }));

  fake->failFirst[kWriteBytes] = 2;
  const std::uint8_t bytes[] = {0x01, 'Z', 0x0D};
  Link().WriteBytes(bytes, sizeof bytes);
  EXPECT_EQ(fake->Count(kWriteBytes), 3);
  ASSERT_EQ(fake->written.size(), 1u);
  EXPECT_EQ(fake->written[0], Bytes(bytes, bytes + 3));

  // A driver that never takes the bytes does not hang the program.
  fake->failFirst[kWriteBytes] = 1 << 30;
  Link().WriteBytes(bytes, sizeof bytes);
  EXPECT_EQ(fake->Count(kWriteBytes), 3 + kRivetwareWriteTries);
  EXPECT_EQ(Frame().LinkKind, link::kRivetwareDriver);
}

TEST_F(DriverLinkTest, RivetwareSerialReaderOnItsThreadRegistersDeliversAndUnregisters) {
  auto fake = SerialRivetware();
  {
    std::lock_guard lock(fake->mutex);
    fake->reads.push_back(Bytes{'o', 'k'});
  }
  backend_.AddDevice(kKxs0, fake);
  ListenerWindow& listener = Listen();
  ASSERT_TRUE(Link(DriverLink::Readers::kThreads).OpenRivetwareSerial(0));
  ASSERT_TRUE(loop_.RunUntil([&] { return listener.bytes == "ok"; }));
  Frame().CloseLink();
  EXPECT_FALSE(Link().ReaderRunning());
  EXPECT_EQ(fake->Count(kRegisterClient), 1);
  EXPECT_EQ(fake->Count(kUnregisterClient), 1);
  EXPECT_EQ(backend_.OpenHandles(kKxs0), 0);

  // A driver that will not take the client never makes a link.
  fake->failFirst[kRegisterClient] = 1;
  EXPECT_FALSE(Link().OpenRivetwareSerial(0));
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  EXPECT_EQ(backend_.OpenHandles(kKxs0), 0);
}

// --- Link 259 -----------------------------------------------------------------------------------

TEST_F(DriverLinkTest, RvUsbOpenAsksInOrderAndAHandleAlreadyOpenIsError3) {
  auto fake = UsbRivetware();
  backend_.AddDevice(kKxs0, fake);
  ASSERT_TRUE(Link().OpenRivetwareUsb());
  EXPECT_EQ(fake->Codes(), (std::vector<std::uint32_t>{kGetMStatus, kReadSerialNumber, kWhoAreYou, kGetVersion,
                                                       kIsTopazDriver, kMouseDisable}));
  EXPECT_EQ(Log(),
            "GET_MSTATUS\rOK\rREAD_SERIAL_NUMBER\rOK\rWHO_ARE_YOU\rOK\rGET_VERSION\rOK\rIS_TOPAZ_DRIVER\rOK\r"
            "MOUSE_DISABLE\rOK\r");
  EXPECT_EQ(Frame().LinkKind, link::kRivetwareUsb);
  EXPECT_EQ(Frame().ControllerFeatures & 0x10u, 0x10u) << "0xFFFF marks a Birch USB controller";
  EXPECT_TRUE(Link().NewerUsbDriver());
  EXPECT_EQ(Frame().LinkText(), "Birch2 RVUSB Driver");
  EXPECT_EQ(Link().UsbDeviceText(), "USB12345678");

  ui_.ExpectMessage(kHandleAlreadyOpen, Answer::kOk);
  EXPECT_FALSE(Link().OpenRivetwareUsb());
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();

  Link().Close(link::kRivetwareUsb);
  EXPECT_EQ(fake->Codes().back(), kMouseEnable);
  EXPECT_EQ(backend_.OpenHandles(kKxs0), 0);
}

TEST_F(DriverLinkTest, RvUsbRefusesASerialDeviceAndFallsBackToTheOtherSerialNumber) {
  auto serial = SerialRivetware();
  backend_.AddDevice(kKxs0, serial);
  EXPECT_FALSE(Link().OpenRivetwareUsb());
  EXPECT_EQ(backend_.OpenHandles(kKxs0), 0);

  auto fake = UsbRivetware();
  fake->answers[kReadSerialNumber] = DriverResult::Failed(driver_error::kInvalidFunction);
  fake->answers[kReadMSerialNumber] = DriverResult::Ok(Le32(0xABCDEF01));
  backend_.AddDevice(kKxs0, fake);
  ASSERT_TRUE(Link().OpenRivetwareUsb());
  EXPECT_EQ(Link().UsbDeviceText(), "USBabcdef01");
}

TEST_F(DriverLinkTest, RvUsbChoiceAmongInstalledDevicesDisablesTheOthersUntilClose) {
  registry_.SetDword(RegistryKey(kRegistryBaseKey, kInstalledValue), 3);
  std::vector<std::shared_ptr<FakeRivetware>> fakes;
  for (int i = 0; i < 3; ++i) {
    fakes.push_back(UsbRivetware());
    backend_.AddDevice(RivetwareDriverDeviceName(i), fakes.back());
  }
  ui_.ExpectList(1);
  ASSERT_TRUE(Link().OpenRivetwareUsb());
  ASSERT_EQ(ui_.Asked().size(), 1u);
  EXPECT_EQ(ui_.Asked()[0].lines, (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_EQ(fakes[0]->Codes(), (std::vector<std::uint32_t>{kMouseDisable}));
  EXPECT_EQ(fakes[2]->Codes(), (std::vector<std::uint32_t>{kMouseDisable}));
  EXPECT_EQ(fakes[1]->Codes().back(), kMouseDisable);
  Link().Close(link::kRivetwareUsb);
  EXPECT_EQ(fakes[0]->Codes(), (std::vector<std::uint32_t>{kMouseDisable, kMouseEnable}));
  EXPECT_EQ(fakes[2]->Codes(), (std::vector<std::uint32_t>{kMouseDisable, kMouseEnable}));

  // Without the base key the devices are counted by opening them.
  registry_.Clear();
  backend_.RemoveDevice(RivetwareDriverDeviceName(2));
  ui_.ExpectList(0);
  ASSERT_TRUE(Link().OpenRivetwareUsb());
  EXPECT_EQ(ui_.Asked().back().lines, (std::vector<std::string>{"0", "1"}));
}

TEST_F(DriverLinkTest, RvUsbReaderHandsBytesAndReportsToTheFrameAndPausesWhenIdle) {
  auto fake = UsbRivetware();
  backend_.AddDevice(kKxs0, fake);
  ListenerWindow& listener = Listen();
  ASSERT_TRUE(Link().OpenRivetwareUsb());
  {
    std::lock_guard lock(fake->mutex);
    fake->stream.push_back(StreamAnswer(kStreamBytes,
                                        "\x01"
                                        "0\r"));
    fake->stream.push_back(StreamAnswer(kStreamReport, std::string("\x10\x20\x30", 3)));
    fake->stream.push_back(Bytes{kStreamBytes, 70, 'x'});  // a count the answer cannot hold
    fake->stream.push_back(StreamAnswer(kStreamBytes, "ok"));
  }
  RunReader();
  ASSERT_TRUE(loop_.RunUntil([&] { return listener.bytes.size() >= 5; }));
  EXPECT_EQ(listener.bytes,
            "\x01"
            "0\rok");
  ASSERT_EQ(listener.records.size(), 1u);
  EXPECT_EQ(listener.records[0], (Bytes{0x10, 0x20, 0x30}));

  // With nothing to read the reader asks ten times a second.
  const int before = fake->Count(kGeneric);
  const std::uint64_t start = loop_.Now();
  ASSERT_TRUE(loop_.RunUntil([&] { return loop_.Now() >= start + 1000; }));
  const int polls = fake->Count(kGeneric) - before;
  EXPECT_GE(polls, 9);
  EXPECT_LE(polls, 11);
}

// --- The KX7 list and link 258 ------------------------------------------------------------------------

class Kx7ListTest : public DriverLinkTest {
 protected:
  std::shared_ptr<FakeKx7> Driver(std::initializer_list<std::uint16_t> numbers) {
    auto fake = std::make_shared<FakeKx7>();
    fake->listRecord = ListRecord(numbers);
    backend_.AddDevice(Kx7DriverDeviceName(1), fake);
    for (std::uint16_t n : numbers) backend_.AddDevice(Kx7DriverDeviceName(n), fake);
    return fake;
  }
  void Describe(FakeKx7& fake, std::uint16_t number, const std::string& type, const std::string& id,
                const std::string& port, const std::string& extra) {
    fake.records[number] = {*EncodeKx7Record(type, id), *EncodeKx7Record(port, extra)};
  }
};

TEST_F(Kx7ListTest, SeveralControllersArePickedFromTheirLinesAndSetTheType) {
  auto fake = Driver({2, 3, 5});
  Describe(*fake, 2, "USB_Legacy", "", "COM4", "");
  Describe(*fake, 3, "USB_Birch2", "77", "USB", "Touch 2");
  // Controller 5 gives no records: it reads as unavailable.
  ui_.ExpectList(1);
  EXPECT_EQ(Link().ListKx7Controllers(), 3);
  EXPECT_EQ(Log(), "KX7 lists 3 controllers\r");
  ASSERT_EQ(ui_.Asked().size(), 1u);
  EXPECT_EQ(ui_.Asked()[0].lines,
            (std::vector<std::string>{"USB_Legacy  COM4", "USB_Birch2  ID:77  USB [Touch 2]", "Unavailable   "}));
  ASSERT_NE(Link().ChosenKx7Controller(), nullptr);
  EXPECT_EQ(Link().ChosenKx7Controller()->number, 3);
  EXPECT_EQ(Frame().ControllerType, 32865u);
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(1)), 0);
}

TEST_F(Kx7ListTest, ACancelledPickANoneListAndNoDriver) {
  auto fake = Driver({2, 3});
  Describe(*fake, 2, "USB_Legacy", "", "COM4", "");
  Describe(*fake, 3, "USB_Legacy", "", "COM5", "");
  ui_.ExpectList(std::nullopt);
  EXPECT_EQ(Link().ListKx7Controllers(), -1);
  EXPECT_EQ(Link().ChosenKx7Controller(), nullptr);

  fake->listRecord = ListRecord({});
  EXPECT_EQ(Link().ListKx7Controllers(), 0);
  EXPECT_EQ(Log(), "KX7 lists 2 controllers\rKX7 lists 0 controllers\r");

  // A list record whose count runs past its end is no list.
  fake->listRecord = Bytes{0, 0, 8, 0, 1, 0};
  EXPECT_EQ(Link().ListKx7Controllers(), 0);

  backend_.RemoveDevice(Kx7DriverDeviceName(1));
  backend_.RemoveDevice(Kx7DriverDeviceName(2));
  backend_.RemoveDevice(Kx7DriverDeviceName(3));
  EXPECT_EQ(Link().ListKx7Controllers(), 0);
  EXPECT_EQ(Log(), "KX7 lists 0 controllers\r") << "no device: nothing is listed or logged";
}

TEST_F(Kx7ListTest, FileLinkOpensAnAvailableControllerReadsAndWritesWithTries) {
  auto fake = Driver({2, 3});
  Describe(*fake, 2, "Serial_Cedar", "", "COM4", "");
  Describe(*fake, 3, "Serial_Cedar", "", " ", "");
  ui_.ExpectList(1);
  ASSERT_EQ(Link().ListKx7Controllers(), 2);
  EXPECT_FALSE(Link().OpenKx7(3)) << "a blank port: another program holds it";
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(3)), 0);

  ui_.ExpectList(0);
  ASSERT_EQ(Link().ListKx7Controllers(), 2);
  fake->reads.push_back(Bytes{'o', 'l', 'd'});  // purged on open
  ListenerWindow& listener = Listen();
  ASSERT_TRUE(Link().OpenKx7(2));
  EXPECT_EQ(Frame().LinkKind, link::kDriverFile);
  EXPECT_EQ(Frame().LinkText(), "KXDriver @COM4");
  EXPECT_EQ(fake->takeFlags, (std::vector<std::uint32_t>{1}));
  EXPECT_TRUE(fake->reads.empty());
  {
    std::lock_guard lock(fake->mutex);
    fake->reads.push_back(Bytes{0x01, '0', 0x0D});
  }
  RunReader();
  ASSERT_TRUE(loop_.RunUntil([&] {
    return listener.bytes ==
           "\x01"
           "0\r";
  }));

  // While the frame clears the link what arrives is dropped.
  Frame().linkFlags.discardInput = 1;
  {
    std::lock_guard lock(fake->mutex);
    fake->reads.push_back(Bytes{'x'});
  }
  ASSERT_TRUE(loop_.RunUntil([&] { return fake->reads.empty(); }));
  Frame().linkFlags.discardInput = 0;
  {
    std::lock_guard lock(fake->mutex);
    fake->reads.push_back(Bytes{'y'});
  }
  ASSERT_TRUE(loop_.RunUntil([&] { return listener.bytes.size() == 4; }));
  EXPECT_EQ(listener.bytes,
            "\x01"
            "0\ry");
  loop_.SetIdleWork({});

  const std::uint8_t command[] = {0x01, 'Z', 0x0D};
  fake->refuseWrites = 3;
  Link().WriteBytes(command, 3);
  EXPECT_EQ(fake->writes.size(), 4u);
  fake->writes.clear();
  fake->refuseWrites = 100;
  Link().WriteBytes(command, 3);
  EXPECT_EQ(fake->writes.size(), static_cast<std::size_t>(kKx7WriteTries)) << "the write gives up after 10 tries";

  Frame().CloseLink();
  EXPECT_EQ(fake->takeFlags, (std::vector<std::uint32_t>{1, 0}));
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(2)), 0);
}

TEST_F(Kx7ListTest, FileLinkReaderOnItsThreadDeliversAndStopsOnClose) {
  auto fake = Driver({2});
  Describe(*fake, 2, "Serial_Cedar", "", "COM4", "");
  ASSERT_EQ(Link(DriverLink::Readers::kThreads).ListKx7Controllers(), 1);
  ListenerWindow& listener = Listen();
  ASSERT_TRUE(Link().OpenKx7(2));
  {
    std::lock_guard lock(fake->mutex);
    fake->reads.push_back(Bytes{'h', 'i'});
  }
  ASSERT_TRUE(loop_.RunUntil([&] { return listener.bytes == "hi"; }));
  EXPECT_TRUE(Link().ReaderRunning());
  Frame().CloseLink();
  EXPECT_FALSE(Link().ReaderRunning());
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(2)), 0);
}

// --- Link 261 and the USB translation -----------------------------------------------------------

TEST_F(DriverLinkTest, KxUsbTranslatesARequestAndLogsItsRecordsAndFailsAShortAnswer) {
  Bytes version(16, 0);
  version[8] = '2';
  version[9] = 'B';
  auto fake = UsbKx7({{kVendorVersion, version}, {kVendorStatus, Bytes(5, 0)}});
  backend_.AddDevice(Kx7DriverDeviceName(0), fake);
  ASSERT_TRUE(Link().OpenKxUsb(0));
  EXPECT_EQ(Log(), "Checking KX7\rTrying to open KX7\r");
  EXPECT_EQ(fake->takeFlags, (std::vector<std::uint32_t>{1}));

  const DriverResult got = Link().Request(kGetVersion, {}, kVersionRecordSize);
  ASSERT_TRUE(got.success);
  ASSERT_EQ(got.ByteCount(), kVersionRecordSize);
  EXPECT_EQ(got.bytes[11], 'B');
  EXPECT_EQ(Log(),
            "GET_VERSION\r"
            "C0 0A 00 00 00 00 10 00\r"
            "00 00 00 00 00 00 00 00\r32 42 00 00 00 00 00 00\r"
            "OK\r");

  // GET_STATUS asks for 8 bytes; 5 are not an answer.
  const DriverResult status = Link().Request(kGetStatus, {}, kStatusRecordSize);
  EXPECT_FALSE(status.success);
  EXPECT_EQ(Log(),
            "GET_STATUS\rC0 06 00 00 00 00 08 00\r00 00 00 00 00\rERR: 1F A device attached to the system is not "
            "functioning.\r");

  // A request the controller does not answer fails after its reads.
  const DriverResult silent = Link().Request(kReadSerialNumber, {}, kSerialNumberSize);
  EXPECT_FALSE(silent.success);
  EXPECT_EQ(silent.error, driver_error::kSemaphoreTimeout);
  EXPECT_EQ(Frame().LinkKind, link::kKxUsb) << "an unanswered request leaves the link open";
}

TEST_F(DriverLinkTest, KxUsbOpenOfABirchUsbNeedsItsExtendedStatus) {
  Bytes mstatus(20, 0);
  mstatus[kMStatusMode] = kMultiReportMode;
  auto fake = UsbKx7({{kVendorStatus, mstatus}});
  backend_.AddDevice(Kx7DriverDeviceName(0), fake);
  ASSERT_TRUE(Link().ConnectBirchUsbDirect());
  EXPECT_EQ(Frame().LinkKind, link::kKxUsb);
  EXPECT_EQ(Frame().ControllerType, 32865u);
  EXPECT_EQ(Frame().ControllerFeatures, 0x10u);
  EXPECT_TRUE(Link().MultiReportMode());
  Frame().CloseLink();

  backend_.AddDevice(Kx7DriverDeviceName(0), UsbKx7({}));
  ui_.ExpectMessage(kCouldntConnect, Answer::kOk);
  EXPECT_FALSE(Link().ConnectBirchUsbDirect());
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  EXPECT_EQ(Frame().ControllerType, type::kGeneric);
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(0)), 0);
}

TEST_F(DriverLinkTest, KxUsbReaderPollsTheStreamAndPassThroughGoesInPieces) {
  auto fake = UsbKx7({});
  backend_.AddDevice(Kx7DriverDeviceName(0), fake);
  ListenerWindow& listener = Listen();
  ASSERT_TRUE(Link().OpenKxUsb(0));
  Log();
  {
    std::lock_guard lock(fake->mutex);
    fake->stream.push_back(StreamAnswer(kStreamReport, "R1"));
    fake->stream.push_back(StreamAnswer(kStreamBytes, "AB"));
  }
  RunReader();
  ASSERT_TRUE(loop_.RunUntil([&] { return listener.bytes == "AB"; }));
  ASSERT_EQ(listener.records.size(), 1u);
  EXPECT_EQ(listener.records[0], (Bytes{'R', '1'}));
  loop_.SetIdleWork({});

  const Bytes data(100, 0x55);
  Link().PassThroughSend(data.data(), data.size());
  EXPECT_TRUE(Link().EnterPassThrough('L'));
  Link().ExitPassThrough();
  const auto setups = fake->Setups();
  ASSERT_EQ(setups.size(), 4u);
  EXPECT_EQ(setups[0], (UsbSetup{0x40, 0x15, 0x0B, 0, 64}));
  EXPECT_EQ(setups[1], (UsbSetup{0x40, 0x15, 0x0B, 0, 36}));
  EXPECT_EQ(setups[2], (UsbSetup{0x40, 0x15, 9, 0, 0}));
  EXPECT_EQ(setups[3], (UsbSetup{0x40, 0x15, 10, 0, 0}));
  EXPECT_EQ(Log(), "") << "GENERIC is not logged";
}

TEST_F(DriverLinkTest, BlocksThroughTheDriverCarryTheStatusLetter) {
  Bytes version(16, 0);
  version[13] = 'A';  // block 1
  version[14] = 'B';  // block 2
  Bytes block1{0, 0, 0};
  for (int i = 0; i < 30; ++i) block1.push_back(static_cast<std::uint8_t>(i));
  auto fake = std::make_shared<FakeKx7>();
  Bytes lastWrite;
  fake->usb = [&](const UsbSetup& setup, std::span<const std::uint8_t> data) -> std::optional<Bytes> {
    if (setup.request == kVendorVersion) return version;
    if (setup.request == kVendorReadBlock && setup.index == 0x0100) return block1;
    if (setup.request == kVendorReadBlock && setup.index == 0x0200) return Bytes(20, 0);  // short
    if (setup.request == kVendorWriteBlock) lastWrite.assign(data.begin(), data.end());
    return std::nullopt;
  };
  backend_.AddDevice(Kx7DriverDeviceName(0), fake);
  ASSERT_TRUE(Link().OpenKxUsb(0));
  std::vector<std::uint8_t> block;
  ASSERT_TRUE(Link().ReadBlock(1, block));
  ASSERT_EQ(block.size(), 30u);
  EXPECT_EQ(block[29], 29);
  EXPECT_EQ(Link().LastBlockStatus(), 'A');

  EXPECT_FALSE(Link().ReadBlock(2, block)) << "a short answer";
  EXPECT_EQ(block.size(), 30u) << "a failed read leaves the block alone";
  EXPECT_FALSE(Link().ReadBlock(7, block));

  ASSERT_TRUE(Link().WriteBlock(1, block));
  EXPECT_EQ(lastWrite, block);
  EXPECT_FALSE(Link().WriteBlock(6, Bytes(3, 0))) << "too short for block 6";
  EXPECT_TRUE(ui_.Asked().empty()) << "the channel shows the failures";
}

TEST_F(DriverLinkTest, TheKxHidDeviceCarriesRawUsbRequests) {
  auto fake = std::make_shared<FakeKx7>();
  fake->usb = [&](const UsbSetup& setup, std::span<const std::uint8_t>) -> std::optional<Bytes> {
    if (setup == UsbSetup{0xA1, 1, 0x0304, 0, 16}) return Bytes(16, 0x44);
    return std::nullopt;
  };
  backend_.AddDevice(Kx7DriverDeviceName(2), fake);
  ASSERT_TRUE(Link().OpenKxHidDevice(2));
  EXPECT_EQ(fake->takeFlags, (std::vector<std::uint32_t>{1}));
  const DriverResult report = Link().UsbTransfer(EncodeSetup({0xA1, 1, 0x0304, 0, 16}), 16);
  ASSERT_TRUE(report.success);
  EXPECT_EQ(report.bytes, Bytes(16, 0x44));
  const DriverResult once = Link().UsbRequest(UsbSetup{0xA1, 1, 0x0305, 0, 8}, {}, 8, 1);
  EXPECT_FALSE(once.success) << "unanswered";
  EXPECT_EQ(fake->readCalls, 2) << "one read when asked for a single try";
  const Bytes data{7, 1, 2};
  EXPECT_TRUE(Link().UsbRequest(UsbSetup{0x21, 9, 0x0307, 0, 3}, data, 0).success);
  EXPECT_EQ(fake->writes.back(), (Bytes{0x21, 9, 0x07, 0x03, 0, 0, 3, 0, 7, 1, 2}));
  Link().Close(link::kKxHid);
  EXPECT_EQ(fake->takeFlags, (std::vector<std::uint32_t>{1, 0}));
  EXPECT_EQ(backend_.OpenHandles(Kx7DriverDeviceName(2)), 0);
}

// --- Failures, restarts, settings -------------------------------------------------------------

TEST_F(DriverLinkTest, ADeviceRemovedMidRequestClosesTheLinkAndTheProgramGoesOn) {
  auto fake = UsbRivetware();
  backend_.AddDevice(kKxs0, fake);
  ASSERT_TRUE(Link().OpenRivetwareUsb());
  Frame().ControllerType = 32865;
  fake->onRequest = [this](std::uint32_t code) {
    if (code == kGetStatus) backend_.RemoveDevice(kKxs0);
  };
  const DriverResult status = Link().Request(kGetStatus, {}, kStatusRecordSize);
  EXPECT_FALSE(status.success);
  EXPECT_EQ(status.error, driver_error::kDeviceNotConnected);
  EXPECT_EQ(Frame().LinkKind, link::kClosed);
  EXPECT_EQ(Frame().ControllerType, type::kGeneric);
  EXPECT_FALSE(Link().DeviceOpen());

  // Nothing is left half open: the next request fails cleanly and the device can come back.
  EXPECT_FALSE(Link().Request(kGetStatus, {}, kStatusRecordSize).success);
  fake->onRequest = nullptr;
  backend_.AddDevice(kKxs0, fake);
  EXPECT_TRUE(Link().OpenRivetwareUsb());
}

TEST_F(DriverLinkTest, AReaderThatLosesItsDeviceHasTheFrameCloseTheLink) {
  auto fake = UsbKx7({});
  backend_.AddDevice(Kx7DriverDeviceName(0), fake);
  ASSERT_TRUE(Link(DriverLink::Readers::kThreads).OpenKxUsb(0));
  backend_.RemoveDevice(Kx7DriverDeviceName(0));
  ASSERT_TRUE(loop_.RunUntil([&] { return Frame().LinkKind == link::kClosed; }));
  EXPECT_FALSE(Link().ReaderRunning());
  EXPECT_FALSE(Link().DeviceOpen());
}

TEST_F(DriverLinkTest, RamRebootWithDeviceNoticesClosesTheLinkAndMakesTheTypeGeneric) {
  for (const bool notices : {true, false}) {
    SCOPED_TRACE(notices ? "with device notices" : "without");
    auto fake = UsbRivetware();
    backend_.AddDevice(kKxs0, fake);
    ASSERT_TRUE(Link().OpenRivetwareUsb());
    Frame().ControllerType = 32865;
    Frame().ControllerFeatures = 0x110;
    Frame().registeredForDevices = notices;
    const std::uint64_t start = loop_.Now();
    EXPECT_TRUE(Link().Request(kRamReboot, {}, 0).success);
    if (notices) {
      EXPECT_FALSE(Link().ReaderRunning()) << "the reader stops before the reboot";
      EXPECT_EQ(loop_.Now() - start, static_cast<std::uint64_t>(kRestartPauseMs));
      EXPECT_EQ(Frame().LinkKind, link::kClosed);
      EXPECT_EQ(Frame().ControllerType, type::kGeneric);
      EXPECT_EQ(Frame().ControllerFeatures, 0u);
      EXPECT_EQ(backend_.OpenHandles(kKxs0), 0);
    } else {
      EXPECT_EQ(Frame().LinkKind, link::kRivetwareUsb);
      EXPECT_TRUE(Link().ReaderRunning());
      Frame().CloseLink();
    }
  }
}

TEST_F(DriverLinkTest, BaudChangeWritesTheRegistryAndReopensTheSameDevice) {
  auto fake = UsbRivetware();
  backend_.AddDevice(kKxs0, fake);
  ASSERT_TRUE(Link().OpenRivetwareUsb(0));
  Frame().ControllerType = 32865;

  // SkipDriverSetup (on by default) forbids touching the driver.
  EXPECT_TRUE(Link().ChangeBaudRate(115200));
  EXPECT_FALSE(registry_.GetDword(PortKeyOf(0, kBaudrateValue)));
  EXPECT_EQ(fake->Count(kUpdateParam), 0);

  Frame().settings.Options.SkipDriverSetup = 0;
  const std::uint64_t start = loop_.Now();
  ASSERT_TRUE(Link().ChangeBaudRate(115200));
  EXPECT_EQ(registry_.GetDword(PortKeyOf(0, kBaudrateValue)), 115200u);
  RegistryStore saved(registryPath_);
  saved.Load();
  EXPECT_EQ(saved.GetDword(PortKeyOf(0, kBaudrateValue)), 115200u);
  EXPECT_EQ(fake->Count(kUpdateParam), 1);
  EXPECT_EQ(fake->Count(kWhoAreYou), 2) << "reopened";
  EXPECT_GE(loop_.Now() - start, static_cast<std::uint64_t>(kBaudReopenMs));
  EXPECT_EQ(Frame().LinkKind, link::kRivetwareUsb);
  EXPECT_EQ(Frame().ControllerType, 32865u);

  fake->answers[kUpdateParam] = DriverResult::Failed(driver_error::kGeneralFailure);
  ui_.ExpectMessage(kCantDisconnectUsbDriver, Answer::kOk);
  EXPECT_FALSE(Link().ChangeBaudRate(9600));
  EXPECT_TRUE(ui_.AllConsumed()) << ui_.Report();
}

TEST_F(DriverLinkTest, PenAndFingerFlagsWaitForTheStatusBetweenThem) {
  auto fake = UsbRivetware();
  backend_.AddDevice(kKxs0, fake);
  ASSERT_TRUE(Link().OpenRivetwareUsb(0));
  const std::size_t opened = fake->Codes().size();
  fake->failFirst[kGetStatus] = 2;
  const std::uint64_t start = loop_.Now();
  Link().SetPenMode(kPenFinger);
  auto codes = fake->Codes();
  codes.erase(codes.begin(), codes.begin() + static_cast<std::ptrdiff_t>(opened));
  EXPECT_EQ(codes, (std::vector<std::uint32_t>{kSetFingerActive, kGetStatus, kGetStatus, kGetStatus, kSetPenActive,
                                               kGetStatus}));
  EXPECT_EQ(loop_.Now() - start, 2u * kRvUsbStatusGapMs);

  // A status that never comes is not waited for forever.
  fake->failFirst[kGetStatus] = 1 << 30;
  Link().SetPenMode(kPenAuto);
  EXPECT_EQ(fake->Count(kSetPenActive), 1) << "the pen flag waits for the finger flag's status";
}

}  // namespace
}  // namespace kx7::testing
