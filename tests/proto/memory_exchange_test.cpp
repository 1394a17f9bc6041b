// Peek and poke: the command-set exchange against emulated serial controllers on virtual time, a
// scripted controller for the lines a real one should never send, and the driver and Birch2 HID
// routes against the emulated Birch USB controller and the emulated Birch2 HID controller.
#include "proto/memory_exchange.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <vector>

#include "controller/controller_types.h"
#include "emulator/birch_usb_controller.h"
#include "emulator/controller.h"
#include "emulator/driver_emulation.h"
#include "emulator/driver_rivetware_usb.h"
#include "emulator/hid_backend.h"
#include "emulator/hid_controller.h"
#include "emulator/line_settings.h"
#include "link/driver/driver_constants.h"
#include "platform/driver_device.h"
#include "proto/proto_constants.h"
#include "protocol_fixture.h"
#include "usb_fixture.h"

namespace kx7 {
namespace {

using testing::ProtocolTest;

using testing::EchoRecorder;
using StandIn = testing::StandInWindow;

// Counts the notify messages and keeps their addresses.
struct NotifyWindow : Window {
  using Window::Window;
  std::vector<WParam> addresses;
  LResult OnMessage(MessageId message, WParam wParam, LParam) override {
    if (message == kMessage) addresses.push_back(wParam);
    return 0;
  }
  static constexpr MessageId kMessage = 0x8077;
};

std::size_t Occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

const std::string kPeekCommand = "\x01QPE\r";
const std::string kPokeCommand = "\x01QPO\r";
const std::string kOk =
    "\x01"
    "0\r";

// A controller that answers each line of the host with the next piece of its script (the first
// piece answers the command line itself), and keeps the host's lines.
class ScriptedController : public emu::EmulatedDevice {
 public:
  explicit ScriptedController(std::vector<std::string> answers) : answers_(answers.begin(), answers.end()) {}
  emu::LineSettings Line() const override { return {}; }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t) override {
    for (std::size_t i = 0; i < count; ++i) {
      if (bytes[i] != '\r') {
        line_.push_back(static_cast<char>(bytes[i]));
        continue;
      }
      hostLines.push_back(line_);
      line_.clear();
      if (!answers_.empty()) {
        output_.insert(output_.end(), answers_.front().begin(), answers_.front().end());
        answers_.pop_front();
      }
    }
  }
  void Advance(std::uint64_t) override {}
  std::uint64_t NextEventMs() const override { return emu::kNever; }
  std::vector<std::uint8_t> TakeOutput() override {
    std::vector<std::uint8_t> out(output_.begin(), output_.end());
    output_.clear();
    return out;
  }
  std::vector<std::string> hostLines;

 private:
  std::deque<std::string> answers_;
  std::string line_;
  std::string output_;
};

class MemoryExchangeTest : public ProtocolTest {
 protected:
  // COM `port` with the family's emulated controller, the link open, the type set as
  // identification would, and the exchange installed.
  emu::InProcessSerialBackend& Connect(const std::string& family, std::uint32_t type, std::uint32_t features = 0,
                                       int port = 3, const std::string& settings = "9600,N,8,1") {
    emu::InProcessSerialBackend& backend = Attach(port, family, settings);
    Install(type, features, port, settings);
    return backend;
  }
  void Install(std::uint32_t type, std::uint32_t features, int port = 3, const std::string& settings = "9600,N,8,1") {
    if (Frame().LinkKind != link::kClosed) Frame().CloseLink();
    EXPECT_TRUE(Open(port, settings));
    Frame().ControllerType = type;
    Frame().ControllerFeatures = features;
    Frame().terminalEcho = &echo_;
    Frame().settings.Options.LoopbackSentChars = true;
    if (!terminal_) terminal_ = std::make_unique<StandIn>(loop_);
    Frame().SetListener(slot::kTerminal, terminal_->Id());
    if (!memory_) memory_ = std::make_unique<MemoryExchange>(Frame(), Channel(), Protocol().usb);
    echo_.text.clear();
  }
  static emu::MemoryStore& Memories(emu::InProcessSerialBackend& backend) {
    return dynamic_cast<emu::EmulatedController&>(backend.Device()).Memories();
  }
  void TearDown() override {
    memory_.reset();
    ProtocolTest::TearDown();
  }
  bool Idle() {
    return !Frame().listeners.IsActive(slot::kMemoryExchange) && !loop_.HasTimer(Frame().Id(), timer::kMemoryExchange);
  }

  EchoRecorder echo_;
  std::unique_ptr<StandIn> terminal_;
  std::unique_ptr<MemoryExchange> memory_;
};

std::vector<std::uint8_t> Pattern(std::size_t count, unsigned seed) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0xFF);
  return bytes;
}

// --- Round trips over the command set -----------------------------------------------------------

TEST_F(MemoryExchangeTest, BytesRoundTripAndRequestCountsPerFamily) {
  const struct {
    const char* family;
    std::uint32_t type;
    std::size_t peeks;  // "QPE" requests of a 300-byte read
    const char* countLine;
  } cases[] = {
      {"birch", type::kBirch, 2, "FF\r"},                 // 255 and 45
      {"cedar-gen4", type::kCedarGen4, 1, "0000012C\r"},  // one request of 300, as 0000 012C
  };
  int port = 3;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family);
    emu::InProcessSerialBackend& backend = Connect(c.family, c.type, 0, port++);
    const std::vector<std::uint8_t> written = Pattern(300, 3);
    ASSERT_TRUE(memory_->WriteMemory(11, 0x100, written.size(), written.data()));
    // 63 values a "QPO": 4 x 63 + 48.
    EXPECT_EQ(Occurrences(echo_.text, kPokeCommand), 5u);
    std::vector<std::uint16_t> stored;
    ASSERT_TRUE(Memories(backend).Read(11, 0x100, 300, stored));
    EXPECT_TRUE(std::equal(written.begin(), written.end(), stored.begin()));

    echo_.text.clear();
    std::vector<std::uint8_t> read(300);
    ASSERT_TRUE(memory_->ReadMemory(11, 0x100, read.size(), read.data()));
    EXPECT_EQ(read, written);
    EXPECT_EQ(memory_->Values().size(), 300u);
    EXPECT_EQ(Occurrences(echo_.text, kPeekCommand), c.peeks);
    EXPECT_NE(echo_.text.find(std::string("\rB\r0100\r") + c.countLine), std::string::npos) << echo_.text;
    if (c.peeks == 2) {
      EXPECT_NE(echo_.text.find("\rB\r01FF\r2D\r"), std::string::npos) << echo_.text;
    }
    EXPECT_TRUE(Idle());
  }
}

TEST_F(MemoryExchangeTest, WordModeWritesEightWordsARequestAndReadsThemBack) {
  emu::InProcessSerialBackend& backend = Connect("birch", type::kBirch, feature::kBirchFamily);
  std::vector<std::uint16_t> words(20);
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint16_t>(0xA000 + i * 0x0101);
  ASSERT_TRUE(memory_->WriteMemoryWords(10, 0x200, words.size(), words.data()));
  EXPECT_EQ(Occurrences(echo_.text, kPokeCommand), 3u);
  EXPECT_NE(echo_.text.find("\rA\r0200\r08\rA000A101A202A303A404A505A606A707\r"), std::string::npos) << echo_.text;
  EXPECT_NE(echo_.text.find("\rA\r0210\r04\rB010B111B212B313\r"), std::string::npos) << echo_.text;
  std::vector<std::uint16_t> stored;
  ASSERT_TRUE(Memories(backend).Read(10, 0x200, 20, stored));
  EXPECT_EQ(stored, words);

  echo_.text.clear();
  std::vector<std::uint16_t> read(20);
  ASSERT_TRUE(memory_->ReadMemoryWords(10, 0x200, read.size(), read.data()));
  EXPECT_EQ(read, words);
  EXPECT_EQ(Occurrences(echo_.text, kPeekCommand), 3u);  // 8, 8 and 4 words
}

// A Cedar GEN3 image of 131,072 bytes is one request; its values keep the exchange alive and
// report their progress.
TEST_F(MemoryExchangeTest, OneLargeReadOnRowanGen3ReportsProgress) {
  emu::InProcessSerialBackend& backend = Connect("cedar-gen3", type::kRowanGen3, 0, 3, "115200,N,8,1");
  std::vector<std::uint16_t> image(131072);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint16_t>((i ^ (i >> 8)) & 0xFF);
  ASSERT_TRUE(Memories(backend).Write(9, 0, image));
  NotifyWindow notify(loop_);
  std::vector<std::uint8_t> read(image.size());
  ASSERT_TRUE(memory_->ReadMemory(9, 0, read.size(), read.data(), notify.Id(), NotifyWindow::kMessage));
  EXPECT_TRUE(std::equal(read.begin(), read.end(), image.begin()));
  EXPECT_EQ(Occurrences(echo_.text, kPeekCommand), 1u);
  EXPECT_NE(echo_.text.find("\r9\r0000\r00020000\r"), std::string::npos);
  loop_.RunUntil([] { return true; });
  // One message a value but for the last value of each line that the next line continues (the
  // emulated controller sends 16 values a line: 8191 such values), and one at the closing line.
  const std::size_t expected = 131072 - (131072 / 16 - 1) + 1;
  loop_.RunUntil([&] { return notify.addresses.size() >= expected; });
  ASSERT_EQ(notify.addresses.size(), expected);
  EXPECT_EQ(notify.addresses.front(), 1u);
  EXPECT_EQ(notify.addresses.back(), 131072u);
}

TEST_F(MemoryExchangeTest, NotifyAfterEachRequestWithTheAddressReached) {
  Connect("birch", type::kBirch);
  NotifyWindow notify(loop_);
  std::vector<std::uint8_t> read(300);
  ASSERT_TRUE(memory_->ReadMemory(11, 0x40, read.size(), read.data(), notify.Id(), NotifyWindow::kMessage));
  ASSERT_TRUE(loop_.RunUntil([&] { return notify.addresses.size() >= 2; }));
  EXPECT_EQ(notify.addresses, (std::vector<WParam>{0x40 + 255, 0x40 + 300}));
  // No message without a message number.
  ASSERT_TRUE(memory_->ReadMemory(11, 0x40, read.size(), read.data(), notify.Id(), 0));
  loop_.RunUntil([] { return true; });
  EXPECT_EQ(notify.addresses.size(), 2u);
}

// A notified window that starts another exchange while one runs is refused; the running one
// keeps its values.
TEST_F(MemoryExchangeTest, ANotifiedWindowCannotNestAnExchange) {
  emu::InProcessSerialBackend& backend = Connect("birch", type::kBirch);
  const std::vector<std::uint8_t> stored = Pattern(300, 5);
  ASSERT_TRUE(Memories(backend).Write(11, 0, std::vector<std::uint16_t>(stored.begin(), stored.end())));
  struct Nester : Window {
    using Window::Window;
    MemoryExchange* memory = nullptr;
    std::vector<bool> nested;
    LResult OnMessage(MessageId message, WParam, LParam) override {
      std::uint8_t byte = 0;
      if (message == NotifyWindow::kMessage) nested.push_back(memory->ReadMemory(12, 0, 1, &byte));
      return 0;
    }
  } nester(loop_);
  nester.memory = memory_.get();
  std::vector<std::uint8_t> read(300);
  ASSERT_TRUE(memory_->ReadMemory(11, 0, read.size(), read.data(), nester.Id(), NotifyWindow::kMessage));
  EXPECT_EQ(read, stored);
  ASSERT_FALSE(nester.nested.empty());
  EXPECT_FALSE(nester.nested.front()) << "the first message comes while the second request runs";
}

// Poking the serial speed word changes the controller's speed: the exchange does not wait for a
// closing line that would come at the other speed.
TEST_F(MemoryExchangeTest, WritingTheSpeedWordEndsWhenTheValuesAreSent) {
  Connect("birch", type::kBirch, feature::kBirchFamily);
  const std::uint16_t word = 0x0001;
  const std::uint64_t started = loop_.Now();
  ASSERT_TRUE(memory_->WriteMemoryWords(10, 4177, 1, &word));
  EXPECT_LT(loop_.Now() - started, 1000u);
  EXPECT_TRUE(Idle());
  EXPECT_EQ(Occurrences(echo_.text, kPokeCommand), 1u);
}

TEST_F(MemoryExchangeTest, ASilentControllerTimesOutAfterFiveSeconds) {
  Connect("silent", type::kBirch);
  std::vector<std::uint8_t> read(4);
  const std::uint64_t started = loop_.Now();
  EXPECT_FALSE(memory_->ReadMemory(11, 0, read.size(), read.data()));
  EXPECT_EQ(loop_.Now() - started, kMemoryExchangeMs);
  EXPECT_TRUE(Idle());
  EXPECT_FALSE(Channel().ReplyBusy());
  EXPECT_TRUE(ui_.MessageTexts().empty()) << "the command-set route fails silently";
  const std::uint8_t byte = 1;
  EXPECT_FALSE(memory_->WriteMemory(11, 0, 1, &byte));
}

TEST_F(MemoryExchangeTest, NoStartWhileAnExchangeOrAReplyIsAwaited) {
  Connect("birch", type::kBirch);
  std::vector<std::uint8_t> read(4);
  for (const int busy : {slot::kMemoryExchange, slot::kReplyCollector, memory::kBlock7Slot}) {
    SCOPED_TRACE(busy);
    Frame().SetListener(busy, kNoWindow);
    EXPECT_FALSE(memory_->ReadMemory(11, 0, read.size(), read.data()));
    EXPECT_FALSE(memory_->WriteMemory(11, 0, read.size(), read.data()));
    Frame().ClearListener(busy);
  }
  EXPECT_EQ(echo_.text, "") << "nothing is sent";
}

// --- Lines a controller should not send -----------------------------------------------------------

const std::string kPeekPrompts = kOk + "Memory:\r";  // answers the command line

TEST_F(MemoryExchangeTest, DataLinesFromTheController) {
  const struct {
    const char* name;
    std::vector<std::string> data;  // what follows the count line, header included
    bool ok;
    std::vector<std::uint8_t> values;
  } cases[] = {
      {"one line", {"Peek\r0000: 01 02 03 04\r" + kOk}, true, {1, 2, 3, 4}},
      {"a request over two lines", {"Peek\r0000: 01 02\r0002: 03 04\r" + kOk}, true, {1, 2, 3, 4}},
      {"more values than asked", {"Peek\r0000: 01 02 03 04 05 06 07\r" + kOk}, true, {1, 2, 3, 4}},
      {"any separator and any prefix", {"Peek\rxxxxxx01,02;03-04\r" + kOk}, true, {1, 2, 3, 4}},
      {"a short line", {"Peek\r0000: 01 02 0\r" + kOk}, false, {}},
      {"the closing line in place of data", {"Peek\r0000: 01 02\r" + kOk}, false, {}},
      {"an empty line", {"Peek\r\r" + kOk}, false, {}},
      {"a line of only the prefix", {"Peek\r0000: \r" + kOk}, false, {}},
      {"digits that are not hexadecimal", {"Peek\r0000: 01 0G 03 04\r" + kOk}, false, {}},
      {"lower-case digits", {"Peek\r0000: 01 0a 03 04\r" + kOk}, false, {}},
      {"a value cut by CR", {"Peek\r0000: 01 02 03 4\r" + kOk}, false, {}},
      {"a refusal instead of the header and data",
       {"\x01"
        "1\r"},
       false,
       {}},
      {"a long line without CR", {std::string(100000, '7')}, false, {}},
  };
  int port = 3;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> script = {kPeekPrompts, "Address:\r", "Count:\r"};
    script.insert(script.end(), c.data.begin(), c.data.end());
    auto device = std::make_unique<ScriptedController>(script);
    ScriptedController& controller = *device;
    Attach(port, std::move(device));
    Install(type::kBirch, 0, port++);
    // Exactly four entries: a write past them is caught by the address sanitizer.
    auto read = std::make_unique<std::uint8_t[]>(4);
    std::fill_n(read.get(), 4, 0xEE);
    EXPECT_EQ(memory_->ReadMemory(11, 0x12, 4, read.get()), c.ok);
    EXPECT_EQ(controller.hostLines, (std::vector<std::string>{"\x01QPE", "B", "0012", "04"}));
    if (c.ok) {
      EXPECT_EQ(std::vector<std::uint8_t>(read.get(), read.get() + 4), c.values);
    } else {
      EXPECT_EQ(std::vector<std::uint8_t>(read.get(), read.get() + 4), std::vector<std::uint8_t>(4, 0xEE))
          << "a failed read leaves the caller's array alone";
    }
    EXPECT_LE(memory_->Values().size(), 4u);
    EXPECT_TRUE(Idle());
  }
}

TEST_F(MemoryExchangeTest, AWriteCountsOnlyWhenTheControllerTakesIt) {
  const std::string prompts = kOk + "Memory:\r";
  const struct {
    const char* name;
    std::string closing;
    bool ok;
  } cases[] = {{"closed", kOk, true},
               {"refused",
                "\x01"
                "1\r",
                false},
               {"no closing line", "", false}};
  int port = 3;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = std::make_unique<ScriptedController>(
        std::vector<std::string>{prompts, "Address:\r", "Count:\r", "Data:\r", c.closing});
    ScriptedController& controller = *device;
    Attach(port, std::move(device));
    Install(type::kBirch, 0, port++);
    const std::uint8_t bytes[3] = {0x0A, 0xB0, 0xFF};
    EXPECT_EQ(memory_->WriteMemory(12, 0x1234, 3, bytes), c.ok);
    EXPECT_EQ(controller.hostLines, (std::vector<std::string>{"\x01QPO", "C", "1234", "03", "0AB0FF"}));
    EXPECT_TRUE(Idle());
  }
}

// The Larch sends its addresses with eight digits.
TEST_F(MemoryExchangeTest, LarchAddressesHaveEightDigits) {
  auto device = std::make_unique<ScriptedController>(
      std::vector<std::string>{kPeekPrompts, "Address:\r", "Count:\r", "Peek\r0000: 5A\r" + kOk});
  ScriptedController& controller = *device;
  Attach(3, std::move(device));
  Install(type::kLarch, 0);
  std::uint8_t byte = 0;
  ASSERT_TRUE(memory_->ReadMemory(13, 0x2A, 1, &byte));
  EXPECT_EQ(byte, 0x5A);
  EXPECT_EQ(controller.hostLines, (std::vector<std::string>{"\x01QPE", "D", "0000002A", "01"}));
}

TEST_F(MemoryExchangeTest, BadArgumentsAreRefused) {
  Connect("birch", type::kBirch);
  std::uint8_t byte = 0;
  EXPECT_FALSE(memory_->ReadMemory(-1, 0, 1, &byte));
  EXPECT_FALSE(memory_->ReadMemory(14, 0, 1, &byte));
  EXPECT_FALSE(memory_->WriteMemory(11, 0, 1, nullptr));
  EXPECT_FALSE(memory_->ReadMemory(11, 0, memory::kMaxValues + 1, nullptr));
  EXPECT_TRUE(memory_->ReadMemory(11, 0, 0, nullptr)) << "nothing to move";
  EXPECT_EQ(echo_.text, "");
  EXPECT_TRUE(memory_->ReadMemory(11, 0, 1, nullptr)) << "the values without a caller's array";
  EXPECT_EQ(memory_->Values().size(), 1u);
}

// --- Route choice ---------------------------------------------------------------------------------

TEST(MemoryRouteTest, ByLinkTypeFeaturesAndPassThrough) {
  using Route = MemoryExchange::Route;
  const struct {
    int link;
    std::uint32_t type;
    std::uint32_t features;
    bool passThrough;
    Route route;
  } cases[] = {
      {3, type::kBirch, 0x10, false, Route::kCommandSet},
      {link::kRivetwareDriver, type::kBirchUsb, 0x10, false, Route::kCommandSet},
      {link::kDriverFile, type::kCedarGen4, 0, false, Route::kCommandSet},
      {link::kRivetwareUsb, type::kBirchUsb, 0x10, false, Route::kDriver},
      {link::kKxUsb, type::kBirchUsbRom, 0x10, false, Route::kDriver},
      {link::kKxUsb, type::kBirchUsb, 0x110, false, Route::kCommandSet},
      {link::kRivetwareUsb, type::kBirchUsbRom, 0x100, false, Route::kCommandSet},
      {link::kKxUsb, type::kBirchUsb, 0x10, true, Route::kCommandSet},
      {link::kHid, type::kBirch2Hid, 0x10, false, Route::kBirch2Hid},
      {link::kKxHid, type::kBirch2Hid, 0x10, false, Route::kBirch2Hid},
      {link::kHid, type::kMaple, 0, false, Route::kDriver},
      {link::kHid, type::kLarchUsb, 0, false, Route::kDriver},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.link << " " << c.type << " " << c.features);
    EXPECT_EQ(MemoryExchange::ChooseRoute(c.link, c.type, c.features, c.passThrough), c.route);
  }
  for (const std::uint32_t rowan : {type::kRowanGen2, type::kRowanUsbGen2, type::kRowanGen3, type::kRowanUsbGen3,
                                    type::kCedarGen4, type::kRowanGen4})
    for (const int link : {link::kRivetwareUsb, link::kHid, link::kKxUsb, link::kKxHid})
      EXPECT_EQ(MemoryExchange::ChooseRoute(link, rowan, 0, false), Route::kCommandSet) << rowan << " " << link;
}

// --- The driver and Birch2 HID routes ------------------------------------------------------------

// The Rivetware USB driver in front of the emulated Birch USB controller, keeping the memory
// requests it passes on (the controller takes the drivers' memory codes as they come).
class RecordingDriver : public SimulatedDriver {
 public:
  explicit RecordingDriver(std::shared_ptr<emu::RivetwareUsbDriver> inner) : inner_(std::move(inner)) {}
  DriverResult Request(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputCapacity) override {
    if ((code == driver::kEepromRead || code == driver::kEepromWrite) && input.size() >= driver::kMemoryHeaderSize) {
      std::lock_guard lock(mutex_);
      requests.push_back({code, std::vector<std::uint8_t>(input.begin(), input.begin() + driver::kMemoryHeaderSize)});
    }
    return inner_->Request(code, input, outputCapacity);
  }
  DriverResult Read(std::size_t capacity, int timeoutMs) override { return inner_->Read(capacity, timeoutMs); }
  struct Seen {
    std::uint32_t code;
    std::vector<std::uint8_t> header;
  };
  std::vector<Seen> requests;

 private:
  std::shared_ptr<emu::RivetwareUsbDriver> inner_;
  std::mutex mutex_;
};

class UsbMemoryTest : public ::testing::Test {
 protected:
  UsbMemoryTest() : drivers_(driverBackend_) {
    SetHidBackend(&hidBus_);
    lockFolder_ =
        std::filesystem::temp_directory_path() / ("kx7-usb-memory-" + std::to_string(::getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(lockFolder_);
  }
  ~UsbMemoryTest() override {
    memory_.reset();
    loop_.SetIdleWork({});
    frame_.reset();
    SetHidBackend(nullptr);
    std::filesystem::remove_all(lockFolder_);
  }

  CMainFrame& Frame() {
    if (frame_) return *frame_;
    CMainFrame::Environment environment;
    environment.settingsFolder = "/nonexistent-kx7-settings";
    frame_ =
        std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags({"-nosearch", "-noserial"}), environment);
    protocol_ = &InstallControllerProtocol(*frame_, LinkReaders::kPolled);
    protocol_->finder.usbHardwareIds = [this] { return hardwareIds_; };
    protocol_->usb->Hid().SetLockDirectory(lockFolder_.string());
    loop_.SetIdleWork([this] { return protocol_->usb->PollOnce(); });
    memory_ = std::make_unique<MemoryExchange>(*frame_, protocol_->channel, protocol_->usb);
    return *frame_;
  }

  std::shared_ptr<RecordingDriver> ConnectBirchUsb() {
    auto controller = std::make_shared<emu::BirchUsbController>(emu::BirchUsbOptions{}, [this] { return loop_.Now(); });
    auto driver = std::make_shared<RecordingDriver>(std::make_shared<emu::RivetwareUsbDriver>(controller));
    driverBackend_.AddDevice(RivetwareDriverDeviceName(0), driver);
    Frame();
    EXPECT_TRUE(protocol_->usb->Driver().OpenRivetwareUsb(0));
    frame_->ControllerType = type::kBirchUsb;
    frame_->ControllerFeatures = feature::kBirchFamily;
    return driver;
  }

  void ConnectBirch2Hid() {
    emu::HidControllerOptions options;
    options.ownTouches = false;
    options.clock = [this] { return loop_.Now(); };
    auto controller = emu::CreateHidController("birch2-hid", options);
    ASSERT_TRUE(controller);
    ASSERT_TRUE(emu::AddToBackend(hidBus_, controller, "/dev/hidraw-birch2"));
    hardwareIds_.push_back(controller->HardwareId());
    Frame();
    protocol_->finder.FindController(0, false);
    ASSERT_EQ(frame_->LinkKind, link::kHid);
    ASSERT_EQ(frame_->ControllerType, type::kBirch2Hid);
  }

  std::filesystem::path lockFolder_;
  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  SimulatedHidBackend hidBus_;
  SimulatedDriverBackend driverBackend_;
  ScopedDriverBackend drivers_;
  std::vector<std::string> hardwareIds_;
  std::unique_ptr<CMainFrame> frame_;
  ControllerProtocol* protocol_ = nullptr;
  std::unique_ptr<MemoryExchange> memory_;
};

TEST_F(UsbMemoryTest, DriverRouteMovesSixtyFourBytesARequestWithTheDriversCodes) {
  const std::shared_ptr<RecordingDriver> driver = ConnectBirchUsb();
  ASSERT_EQ(memory_->CurrentRoute(), MemoryExchange::Route::kDriver);
  const std::vector<std::uint8_t> written = Pattern(100, 9);
  NotifyWindow notify(loop_);
  ASSERT_TRUE(memory_->WriteMemory(11, 0x0123, written.size(), written.data(), notify.Id(), NotifyWindow::kMessage));
  std::vector<std::uint8_t> read(100);
  ASSERT_TRUE(memory_->ReadMemory(11, 0x0123, read.size(), read.data(), notify.Id(), NotifyWindow::kMessage));
  EXPECT_EQ(read, written);
  ASSERT_EQ(driver->requests.size(), 4u);
  using H = std::vector<std::uint8_t>;
  EXPECT_EQ(driver->requests[0].code, driver::kEepromWrite);
  EXPECT_EQ(driver->requests[0].header, (H{34, 0, 0x23, 0x01, 64, 0}));
  EXPECT_EQ(driver->requests[1].header, (H{34, 0, 0x63, 0x01, 36, 0}));
  EXPECT_EQ(driver->requests[2].code, driver::kEepromRead);
  EXPECT_EQ(driver->requests[2].header, (H{34, 0, 0x23, 0x01, 64, 0}));
  EXPECT_EQ(driver->requests[3].header, (H{34, 0, 0x63, 0x01, 36, 0}));
  ASSERT_TRUE(loop_.RunUntil([&] { return notify.addresses.size() >= 2; }));
  EXPECT_EQ(notify.addresses, (std::vector<WParam>{0x0123 + 100, 0x0123 + 100})) << "once at the end of each";
  EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
}

TEST_F(UsbMemoryTest, DriverRouteFailuresAreShown) {
  ConnectBirchUsb();
  std::vector<std::uint8_t> bytes(10, 0);
  ui_.ExpectMessage("Error Peeking", Answer::kOk);
  // Memory 11 has 4096 bytes: the second piece leaves it.
  EXPECT_FALSE(memory_->ReadMemory(11, 4096 - 64, 70, nullptr));
  ui_.ExpectMessage("Error Pokeing", Answer::kOk);
  EXPECT_FALSE(memory_->WriteMemory(11, 0xFFFC, bytes.size(), bytes.data())) << "beyond the 16-bit address";
  EXPECT_EQ(ui_.MessageTexts(), (std::vector<std::string>{"Error Peeking", "Error Pokeing"}));
}

TEST_F(UsbMemoryTest, WithoutUsbLinksTheLinkRoutesFail) {
  Frame();
  MemoryExchange alone(*frame_, protocol_->channel, nullptr);
  frame_->LinkKind = link::kKxUsb;
  frame_->ControllerType = type::kBirchUsb;
  ui_.ExpectMessage("Error Peeking", Answer::kOk);
  std::uint8_t byte = 0;
  EXPECT_FALSE(alone.ReadMemory(10, 0, 1, &byte));
  frame_->LinkKind = link::kClosed;
}

TEST_F(UsbMemoryTest, Birch2HidRouteRoundTrip) {
  ConnectBirch2Hid();
  ASSERT_EQ(memory_->CurrentRoute(), MemoryExchange::Route::kBirch2Hid);
  const std::vector<std::uint8_t> written = Pattern(100, 1);
  ASSERT_TRUE(memory_->WriteMemory(12, 0x0400, written.size(), written.data()));
  std::vector<std::uint8_t> read(100);
  ASSERT_TRUE(memory_->ReadMemory(12, 0x0400, read.size(), read.data()));
  EXPECT_EQ(read, written);
  // Another memory at the same address is another memory.
  std::vector<std::uint8_t> other(100, 0xEE);
  ASSERT_TRUE(memory_->ReadMemory(11, 0x0400, other.size(), other.data()));
  EXPECT_NE(other, written);
  EXPECT_TRUE(ui_.MessageTexts().empty()) << ui_.Report();
}

TEST_F(UsbMemoryTest, Birch2HidRouteFailureIsShown) {
  ConnectBirch2Hid();
  ui_.ExpectMessage("Error Peeking", Answer::kOk);
  std::vector<std::uint8_t> read(10);
  // Memory 1 is Block1: a read past its end is refused by the controller.
  EXPECT_FALSE(memory_->ReadMemory(1, 0x1000, read.size(), read.data()));
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{"Error Peeking"});
}

}  // namespace
}  // namespace kx7
