#include "link/hid/hid_link.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "controller/controller_types.h"
#include "frame/frame_constants.h"
#include "frame/main_frame.h"
#include "link/hid/hid_reports.h"
#include "platform/port_directory.h"
#include "platform/scripted_ui_host.h"
#include "platform/virtual_time_loop.h"

namespace kx7 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A controller that answers fetches from a table and records what it is sent. A block read
// (SET_PARAM_INDEX then GET_PARAM) answers the block stored for it.
class FakeController : public SimulatedHidDevice {
 public:
  bool OnSetFeature(const HidReport& report) override {
    sent.push_back(report);
    if (refuseSends) return false;
    if (report.size() >= 8 && report[0] == hid::kCommandReport && report[1] == hid::code::kSetParamIndex)
      indexedBlock = report[4];
    if (report.size() >= 8 && report[0] == hid::birch2::kCommandReport && report[1] == hid::birch2::kSetParamIndex)
      indexedBlock = report[2];
    return true;
  }
  std::optional<HidReport> OnGetFeature(std::uint8_t id, std::size_t length) override {
    ++fetches[id];
    if (id == hid::answer::kStatus && !statusSequence.empty()) {
      HidReport status(hid::kStatusLength, 0);
      status[0] = id;
      status[2] = statusSequence.front();
      if (statusSequence.size() > 1) statusSequence.erase(statusSequence.begin());
      return status;
    }
    if ((id == hid::answer::kParam || id == hid::answer::kBigBlock || id == hid::answer::kBirch2Param) &&
        blocks.count(indexedBlock)) {
      HidReport answer(length, 0);
      answer[0] = id;
      const Bytes& block = blocks[indexedBlock];
      std::copy(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(std::min(block.size(), length - 8)),
                answer.begin() + 8);
      return answer;
    }
    const auto it = answers.find(id);
    if (it == answers.end()) return std::nullopt;
    HidReport answer = it->second;
    if (answer.size() > length) answer.resize(length);
    return answer;
  }
  std::optional<std::string> SerialString() override { return serial; }

  std::vector<HidReport> sent;
  std::map<std::uint8_t, HidReport> answers;
  std::map<std::uint8_t, Bytes> blocks;
  std::map<std::uint8_t, int> fetches;
  std::vector<std::uint8_t> statusSequence;
  std::uint8_t indexedBlock = 0;
  bool refuseSends = false;
  std::optional<std::string> serial;
};

struct EchoRecorder : TerminalEcho {
  std::string text;
  void EchoChar(char c) override { text.push_back(c); }
};

struct TerminalStandIn : Window {
  using Window::Window;
  LResult OnMessage(MessageId, WParam, LParam) override { return 0; }
};

HidDeviceInfo Info(const std::string& path, std::uint16_t product, int interface = 0, std::uint16_t usagePage = 0xFF00,
                   std::uint16_t vendor = 0x0596) {
  HidDeviceInfo info;
  info.path = path;
  info.vendor = vendor;
  info.product = product;
  info.interfaceNumber = interface;
  info.usagePage = usagePage;
  info.usage = 1;
  info.inputReportLength = 64;
  info.featureReportLength = 520;
  return info;
}

HidReport Record(std::size_t length, std::initializer_list<std::uint8_t> head) {
  HidReport report(length, 0);
  std::copy(head.begin(), head.end(), report.begin());
  return report;
}

Bytes Counting(std::size_t count, std::uint8_t first = 1) {
  Bytes bytes(count);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

class HidLinkTest : public ::testing::Test {
 protected:
  HidLinkTest() {
    lockDirectory_ = std::filesystem::temp_directory_path() /
                     ("kx7-hid-link-test-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(lockDirectory_);
    CMainFrame::Environment environment;
    environment.settingsFolder = "/nonexistent-kx7-settings";
    frame_ = std::make_unique<CMainFrame>(loop_, ui_, ports_, ParseStartupFlags({"-nosearch"}), environment);
    frame_->terminalEcho = &echo_;
    frame_->settings.Options.LoopbackSentChars = true;
    frame_->SetListener(slot::kTerminal, terminal_.Id());
    link_ = MakeLink(*frame_);
    frame_->closeUsbLink = [this](int) { link_->CloseHid(); };
  }
  ~HidLinkTest() override {
    link_.reset();
    frame_.reset();
    std::filesystem::remove_all(lockDirectory_);
  }

  std::unique_ptr<HidLink> MakeLink(CMainFrame& frame) {
    auto link = std::make_unique<HidLink>(frame);
    link->SetBackend(&backend_);
    link->SetLockDirectory(lockDirectory_.string());
    link->SetReaderThread(false);
    return link;
  }

  std::shared_ptr<FakeController> Add(const HidDeviceInfo& info) {
    auto device = std::make_shared<FakeController>();
    EXPECT_TRUE(backend_.AddDevice(info, device));
    return device;
  }

  // Opens a fake controller of `type` and product.
  std::shared_ptr<FakeController> OpenFake(std::uint32_t type, std::uint16_t product) {
    auto device = Add(Info("/dev/hidraw-fake", product));
    frame_->ControllerType = type;
    EXPECT_TRUE(link_->OpenHidByIds(0x0596, product));
    return device;
  }

  std::filesystem::path lockDirectory_;
  VirtualTimeLoop loop_;
  ScriptedUiHost ui_;
  PortDirectory ports_;
  SimulatedHidBackend backend_;
  EchoRecorder echo_;
  TerminalStandIn terminal_{loop_};
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<HidLink> link_;
};

// --- Finding ---------------------------------------------------------------------------------

TEST_F(HidLinkTest, CandidatesSkipInterfaceOneOtherCollectionsAndForeignDevices) {
  Add(Info("/dev/hidraw0", 0x0300));                  // Rowan-USB GEN2: any collection
  Add(Info("/dev/hidraw1", 0x0300, 1));               // its interface 1: never
  auto larch = Add(Info("/dev/hidraw2", 0x0502, 0, 0x000D));  // Larch digitizer collection: not the controller's
  ASSERT_TRUE(backend_.AddDevice(Info("/dev/hidraw2", 0x0502, 0, 0xFF00), larch));
  Add(Info("/dev/hidraw3", 0x1000, 0, 0xFF00, 0x0914));  // a Larch product of the other vendor
  Add(Info("/dev/hidraw4", 0x2000, 0, 0xFF00, 0x0914));  // not one of its Larch products
  Add(Info("/dev/hidraw5", 0x1234, 0, 0xFF00, 0x04D8));  // someone else's
  HidDeviceInfo noFeature = Info("/dev/hidraw6", 0x0400);
  noFeature.featureReportLength = 0;
  Add(noFeature);

  ui_.ExpectList(1);
  EXPECT_EQ(link_->CountHidControllers(), 3);
  ASSERT_EQ(link_->Candidates().size(), 3u);
  EXPECT_EQ(link_->Candidates()[0].path, "/dev/hidraw0");
  EXPECT_EQ(link_->Candidates()[1].path, "/dev/hidraw2");
  EXPECT_EQ(link_->Candidates()[1].info.usagePage, 0xFF00);
  EXPECT_EQ(link_->Candidates()[2].type, type::kLarchUsb);
  ASSERT_EQ(ui_.Asked().size(), 1u);
  EXPECT_EQ(ui_.Asked()[0].lines,
            (std::vector<std::string>{"Rowan-USB GEN2 /dev/hidraw0", "Larch USB /dev/hidraw2", "Larch USB /dev/hidraw3"}));
  EXPECT_EQ(frame_->LinkKind, link::kHid);
  EXPECT_EQ(frame_->ControllerType, type::kLarchUsb);
  EXPECT_EQ(frame_->hidIndex, 1);
  EXPECT_EQ(link_->Path(), "/dev/hidraw2");
}

TEST_F(HidLinkTest, OneControllerCountsNoneAndOpensByItsIds) {
  Add(Info("/dev/hidraw0", 0x0303));
  EXPECT_EQ(link_->CountHidControllers(), 0);
  EXPECT_TRUE(ui_.Asked().empty());
  EXPECT_FALSE(link_->IsOpen());
  EXPECT_TRUE(link_->OpenHidByIds(0x0596, 0x0303));
  EXPECT_EQ(frame_->LinkKind, link::kHid);
  EXPECT_EQ(frame_->hidIndex, -1);
  EXPECT_FALSE(link_->OpenHidByIds(0x0596, 0x0300));
}

// A second copy of the program sees the first one's controller as locked and cannot take it,
// neither from the list nor by its ids; once the first lets go it can.
TEST_F(HidLinkTest, ASecondCopySeesTheControllerLocked) {
  Add(Info("/dev/hidraw0", 0x0300));
  Add(Info("/dev/hidraw1", 0x0303));
  ui_.ExpectList(0);
  ASSERT_EQ(link_->CountHidControllers(), 2);

  ScriptedUiHost otherUi;
  CMainFrame::Environment environment;
  environment.settingsFolder = "/nonexistent-kx7-settings";
  CMainFrame other(loop_, otherUi, ports_, ParseStartupFlags({"-nosearch"}), environment);
  std::unique_ptr<HidLink> second = MakeLink(other);
  otherUi.ExpectList(0);
  EXPECT_EQ(second->CountHidControllers(), -1);
  ASSERT_EQ(otherUi.Asked().size(), 1u);
  EXPECT_EQ(otherUi.Asked()[0].lines, (std::vector<std::string>{"This controller is locked", "Rowan GEN4 /dev/hidraw1"}));
  EXPECT_FALSE(second->IsOpen());
  EXPECT_FALSE(second->OpenHidByIds(0x0596, 0x0300));
  EXPECT_TRUE(second->OpenHidByIds(0x0596, 0x0303));

  link_->CloseHid();
  second->CloseHid();
  EXPECT_TRUE(second->OpenHidByIds(0x0596, 0x0300));
}

TEST_F(HidLinkTest, ACancelledPickOpensNothing) {
  Add(Info("/dev/hidraw0", 0x0300));
  Add(Info("/dev/hidraw1", 0x0303));
  ui_.ExpectList(std::nullopt);
  EXPECT_EQ(link_->CountHidControllers(), -1);
  EXPECT_FALSE(link_->IsOpen());
  EXPECT_EQ(frame_->LinkKind, link::kClosed);
}

// --- Requests ------------------------------------------------------------------------------

TEST_F(HidLinkTest, RequestsAreLoggedWithTheirBytesAndResult) {
  auto device = OpenFake(type::kMaple, 0x0400);
  device->answers[hid::answer::kStatus] = Record(8, {6, 0x20, 3});
  EXPECT_TRUE(link_->HidSetFeature(hid::SetParamIndex(2, 0, 50)));
  EXPECT_TRUE(link_->HidGetFeature(hid::answer::kStatus, 8));
  EXPECT_FALSE(link_->HidGetFeature(hid::answer::kControllerId, 16));
  EXPECT_EQ(echo_.text,
            "SET_PARAM_INDEX\r03 02 00 00 02 00 32 00\rOK\r"
            "GET_STATUS\r06 20 03 00 00 00 00 00\rOK\r"
            "GET_CONTROLLER_ID\rHID GetFeature failed\r");
  echo_.text.clear();
  EXPECT_TRUE(link_->HidSetFeature(hid::RestoreDefaults(), hid::flag::kNoLog));
  EXPECT_EQ(echo_.text, "");
  EXPECT_EQ(link_->Answer(), Record(8, {6, 0x20, 3}));
}

TEST_F(HidLinkTest, AResetClosesTheLinkWhateverTheAnswer) {
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused);
    backend_.RemoveDevice("/dev/hidraw-fake");
    auto device = OpenFake(type::kRowanGen4, 0x0303);
    device->refuseSends = refused;
    frame_->passThrough = true;
    EXPECT_EQ(link_->HidSetFeature(hid::Reset(hid::reset::kSoft), hid::flag::kClosesLink), !refused);
    EXPECT_EQ(frame_->LinkKind, link::kClosed);
    EXPECT_EQ(frame_->ControllerType, type::kGeneric);
    EXPECT_FALSE(frame_->passThrough);
    EXPECT_FALSE(link_->IsOpen());
  }
}

TEST_F(HidLinkTest, PassThroughFlagsFollowTheModeCommands) {
  auto device = OpenFake(type::kRowanGen4, 0x0303);
  EXPECT_TRUE(link_->EnterPassThrough('D'));
  EXPECT_TRUE(frame_->passThrough);
  EXPECT_EQ(device->sent.back(), Record(8, {3, 5, 0, 0, 8}));
  link_->SendPassThrough(Counting(60).data(), 60);
  ASSERT_GE(device->sent.size(), 3u);
  EXPECT_EQ(device->sent[device->sent.size() - 2][2], 56);
  EXPECT_EQ(device->sent.back()[2], 4);
  link_->ExitPassThrough();
  EXPECT_FALSE(frame_->passThrough);
  EXPECT_EQ(device->sent.back(), Record(8, {3, 5, 0, 0, 10}));
}

TEST_F(HidLinkTest, SerialNumberStringIsLogged) {
  auto device = OpenFake(type::kMaple, 0x0400);
  EXPECT_FALSE(link_->HidSerialNumber());
  EXPECT_EQ(echo_.text, "GET_SERIAL_NUMBER_STRING\rHidD_GetSerialNumberString failed\r");
  device->serial = "A1B2";
  EXPECT_EQ(link_->HidSerialNumber(), "A1B2");
}

// --- Blocks --------------------------------------------------------------------------------

struct BlockCase {
  const char* name;
  std::uint32_t type;
  std::uint16_t product;
  int block;
  HidReport idRecord;
  std::size_t length;          // what the read returns
  std::uint8_t answerReport;   // where the block comes from
  char status;                 // the status letter stored
};

void PrintTo(const BlockCase& c, std::ostream* out) { *out << c.name; }

class HidBlockReadTest : public HidLinkTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(HidBlockReadTest, LengthAndSourceFollowTheTypeAndBlock) {
  const BlockCase& c = GetParam();
  auto device = OpenFake(c.type, c.product);
  device->answers[c.idRecord[0]] = c.idRecord;
  device->blocks[static_cast<std::uint8_t>(c.type == type::kBirch2Hid ? *hid::Birch2SubBlock(c.block) : c.block)] =
      Counting(c.length);
  std::vector<std::uint8_t> data;
  ASSERT_TRUE(link_->HidReadBlock(c.block, data));
  EXPECT_EQ(data.size(), c.length);
  EXPECT_EQ(device->fetches[c.answerReport], 1);
  if (c.status != 0) {
    EXPECT_EQ(link_->LastBlockStatus(), c.status);
  }
  if (c.type == type::kBirch2Hid && c.block == 2) {
    EXPECT_EQ(data[0], 2);  // the controller keeps Block2 swapped in pairs
    EXPECT_EQ(data[1], 1);
  } else {
    EXPECT_EQ(data, Counting(c.length));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, HidBlockReadTest,
    ::testing::Values(
        BlockCase{"RowanBlock1", type::kRowanGen4, 0x0303, 1, Record(16, {4, 'W', 'Z', 4, 1, 0, 0, 0, 0, 0, 'A'}), 26, 5, 'A'},
        BlockCase{"MapleBlock3", type::kMaple, 0x0400, 3, Record(16, {4, 'M', 'P', 1, 0, 0, 0, 0, 0, 0, 0, 0, 'B'}), 12, 5, 'B'},
        BlockCase{"LarchBlock6Model4", type::kLarchUsb, 0x0502,
                  6, Record(24, {4, 'L', 'U', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'C', 0, 0, 0, 4}), 64, 5, 'C'},
        BlockCase{"LarchBlock8", type::kLarchUsb, 0x0502, 8, Record(24, {4, 'L', 'U'}), 512, 15, 0},
        BlockCase{"Birch2Block2", type::kBirch2Hid, 0x0003, 2, Record(26, {129, 'B', '2'}), 50, 32, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HidLinkTest, AShortControllerIdRecordFailsTheRead) {
  auto device = OpenFake(type::kLarchUsb, 0x0502);
  device->answers[4] = Record(16, {4, 'L', 'U'});  // a Larch record is 24 bytes
  std::vector<std::uint8_t> data{9, 9};
  EXPECT_FALSE(link_->HidReadBlock(1, data));
  EXPECT_EQ(data, (std::vector<std::uint8_t>{9, 9}));
}

TEST_F(HidLinkTest, Birch2WriteSwapsTheReportsCopyOnly) {
  auto device = OpenFake(type::kBirch2Hid, 0x0003);
  const std::vector<std::uint8_t> block = Counting(50);
  ASSERT_TRUE(link_->HidWriteBlock(2, block));
  EXPECT_EQ(block, Counting(50));
  const HidReport& sent = device->sent.back();
  ASSERT_EQ(sent.size(), hid::kParamLength);
  EXPECT_EQ(sent[0], hid::birch2::kSetParamReport);
  EXPECT_EQ(sent[2], hid::birch2::kSubBlock2);
  EXPECT_EQ(sent[8], 2);
  EXPECT_EQ(sent[9], 1);
}

// A block goes as the caller has it: a Larch block 6 is 64 bytes on the model with code 4.
TEST_F(HidLinkTest, AWriteCarriesTheWholeBlock) {
  auto device = OpenFake(type::kLarchUsb, 0x0502);
  device->statusSequence = {3};
  ASSERT_TRUE(link_->HidWriteBlock(6, Counting(64)));
  const HidReport& sent = device->sent[device->sent.size() - 1];
  ASSERT_EQ(sent.size(), hid::kParamLength);
  EXPECT_EQ(sent[6] | (sent[7] << 8), 64);
  EXPECT_EQ(sent[71], 64);
}

struct StatusCase {
  const char* name;
  std::vector<std::uint8_t> states;
  bool written;
  int polls;
};

void PrintTo(const StatusCase& c, std::ostream* out) { *out << c.name; }

class HidWriteStatusTest : public HidLinkTest, public ::testing::WithParamInterface<StatusCase> {};

// Maple and Larch store a block while saying "busy" (1) in status byte 2; 3 is done, 0 refused,
// and a status that never leaves busy fails after 100 polls 100 ms apart.
TEST_P(HidWriteStatusTest, MapleAndLarchPollTheStatusAfterAWrite) {
  const StatusCase& c = GetParam();
  auto device = OpenFake(type::kLarchUsb, 0x0502);
  device->statusSequence = c.states;
  const std::uint64_t start = loop_.Now();
  EXPECT_EQ(link_->HidWriteBlock(1, Counting(26)), c.written);
  EXPECT_EQ(device->fetches[hid::answer::kStatus], c.polls);
  EXPECT_EQ(loop_.Now() - start, static_cast<std::uint64_t>(c.polls) * 100);
  // The mutex was given back: the reader can poll again.
  EXPECT_TRUE(link_->HidGetFeature(hid::answer::kStatus, 8, hid::flag::kNoLog));
}

INSTANTIATE_TEST_SUITE_P(Sequences, HidWriteStatusTest,
                         ::testing::Values(StatusCase{"DoneAfterTwoBusy", {1, 1, 3}, true, 3},
                                           StatusCase{"Refused", {1, 0}, false, 2},
                                           StatusCase{"StaysBusy", {1}, false, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Reader --------------------------------------------------------------------------------

TEST_F(HidLinkTest, ReaderHandsPassThroughBytesToTheFrame) {
  auto device = OpenFake(type::kRowanGen4, 0x0303);
  ASSERT_TRUE(link_->EnterPassThrough('D'));
  HidReport answer = Record(64, {9, 0, 0, 0, 0, 0, 0, 4, 1, 'W', 'Z', '\r'});
  device->answers[9] = answer;
  ASSERT_TRUE(link_->PollOnce());
  EXPECT_EQ(device->fetches[9], 1);
  ReceiveBuffer& buffer = frame_->buffers[0];
  ASSERT_EQ(buffer.count.load(), 4u);
  EXPECT_EQ(std::string(buffer.bytes.begin(), buffer.bytes.begin() + 4), "\x01WZ\r");
  EXPECT_FALSE(buffer.bufferFree.IsSet());
  // The frame has not taken the block: the next pass waits and fetches nothing.
  EXPECT_FALSE(link_->PollOnce());
  EXPECT_EQ(device->fetches[9], 1);
}

TEST_F(HidLinkTest, ReaderThreadDeliversWhileTheLoopWaits) {
  link_->SetReaderThread(true);
  auto device = OpenFake(type::kResistive4WireUsb, 0x0100);
  device->answers[7] = Record(64, {7, 0x03, 0x00, 0x08, 0x00, 0x04});
  std::vector<std::uint8_t> seen;
  struct Collector : ByteCollector {
    std::vector<std::uint8_t>* out;
    void OnByte(std::uint8_t byte) override { out->push_back(byte); }
  } collector;
  collector.out = &seen;
  frame_->replyCollector = &collector;
  frame_->SetListener(slot::kReplyCollector, frame_->Id());
  ASSERT_TRUE(loop_.RunUntil([&] { return seen.size() >= 5; }));
  link_->CloseHid();
  EXPECT_EQ(std::vector<std::uint8_t>(seen.begin(), seen.begin() + 5), (std::vector<std::uint8_t>{0xC0, 0, 0x40, 0, 0x20}));
  frame_->replyCollector = nullptr;
}

TEST_F(HidLinkTest, AControllerThatVanishesClosesTheLink) {
  auto device = OpenFake(type::kRowanGen4, 0x0303);
  ASSERT_TRUE(backend_.RemoveDevice("/dev/hidraw-fake"));
  EXPECT_FALSE(link_->PollOnce());
  EXPECT_FALSE(link_->DevicePresent());
  loop_.RunPending();
  EXPECT_EQ(frame_->LinkKind, link::kClosed);
  EXPECT_FALSE(link_->HidSetFeature(hid::RestoreDefaults()));
}

}  // namespace
}  // namespace kx7
