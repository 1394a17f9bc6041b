// The emulated HID controllers of the generic command set: what a bus shows of each family, the
// identity and status records, block transfers, the write status after a write, the pass-through
// to the second processor, restarts, and refusal of malformed reports. Driven directly and through
// the program's in-process HID backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "emulator/hid_backend.h"
#include "emulator/hid_controller.h"
#include "emulator/hid_family.h"
#include "emulator/hid_generic_controller.h"
#include "hid_test_support.h"
#include "link/hid/hid_reports.h"
#include "platform/hid_device.h"

namespace kx7::emu {
namespace {

using hid_testing::Bytes;
using hid_testing::Cmd;
using hid_testing::QuietOptions;
using hid_testing::VirtualClock;
using hid_testing::Word;

std::shared_ptr<EmulatedHidController> Make(const std::string& family, HidControllerOptions options) {
  auto controller = CreateHidController(family, std::move(options));
  EXPECT_TRUE(controller) << family;
  return controller;
}

TEST(HidFamilies, NamesInTheirOrderAndUnknownNamesMakeNothing) {
  const std::vector<std::string> expected = {"rowan-usb-gen2", "rowan-usb-gen3",      "rowan-usb-gen4",
                                             "larch-usb",      "larch-usb-0500",      "maple",
                                             "birch2-hid",     "resistive-usb-4wire", "resistive-usb-5wire"};
  EXPECT_EQ(HidFamilyNames(), expected);
  EXPECT_FALSE(CreateHidController("rowan-usb-gen5"));
  EXPECT_FALSE(CreateHidController(""));
  EXPECT_FALSE(CreateHidController("cedar-gen3"));
}

// What each family shows on the bus, and which of its entries the host's rules take.
TEST(HidFamilies, IdsCollectionsAndTheEntryTheHostTakes) {
  struct Case {
    std::string family;
    std::uint16_t vendor;
    std::uint16_t product;
    std::size_t entries;
    std::string hardwareId;
  };
  const Case cases[] = {
      {"rowan-usb-gen2", 0x0596, 0x0300, 2, "USB\\VID_0596&PID_0300&REV_0212"},
      {"rowan-usb-gen3", 0x0596, 0x0300, 2, "USB\\VID_0596&PID_0300&REV_0310"},
      {"rowan-usb-gen4", 0x0596, 0x0303, 2, "USB\\VID_0596&PID_0303&REV_0401"},
      {"larch-usb", 0x0596, 0x0502, 4, "USB\\VID_0596&PID_0502&REV_0305"},
      {"larch-usb-0500", 0x0596, 0x0500, 4, "USB\\VID_0596&PID_0500&REV_0305"},
      {"maple", 0x0596, 0x0400, 2, "USB\\VID_0596&PID_0400&REV_0102"},
      {"birch2-hid", 0x0596, 0x0003, 2, "USB\\VID_0596&PID_0003&REV_0210"},
      {"resistive-usb-4wire", 0x0596, 0x0100, 2, "USB\\VID_0596&PID_0100&REV_0210"},
      {"resistive-usb-5wire", 0x0596, 0x0102, 2, "USB\\VID_0596&PID_0102&REV_0210"},
  };
  VirtualClock clock;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    auto controller = Make(c.family, QuietOptions(clock));
    EXPECT_EQ(controller->HardwareId(), c.hardwareId);
    const auto entries = controller->Entries("sim:hid0");
    ASSERT_EQ(entries.size(), c.entries);
    const bool several = HasSeveralCollections(c.vendor, c.product);
    int taken = 0;
    for (const kx7::HidDeviceInfo& entry : entries) {
      EXPECT_EQ(entry.vendor, c.vendor);
      EXPECT_EQ(entry.product, c.product);
      EXPECT_FALSE(entry.productString.empty());
      EXPECT_EQ(entry.serialNumber, controller->SerialText());
      if (!kx7::AcceptsHidInterface(entry, several)) continue;
      ++taken;
      EXPECT_EQ(entry.path, "sim:hid0");
      EXPECT_EQ(entry.interfaceNumber, 0);
      EXPECT_GT(entry.inputReportLength, 0u);
      EXPECT_GT(entry.featureReportLength, 0u);
    }
    EXPECT_EQ(taken, 1) << "exactly the controller collection of interface 0";
    const auto second = std::find_if(entries.begin(), entries.end(),
                                     [](const kx7::HidDeviceInfo& e) { return e.interfaceNumber == 1; });
    ASSERT_NE(second, entries.end());
    EXPECT_NE(second->path.find("&mi_01"), std::string::npos);
  }
}

TEST(HidFamilies, LarchOfOtherProductsAndOfTheSecondVendorShowSeveralCollections) {
  VirtualClock clock;
  for (const auto& [vendor, product] : {std::pair<std::uint16_t, std::uint16_t>{0x0596, 0x0700},
                                        {0x0596, 0xC000}, {0x0914, 0x1000}}) {
    HidControllerOptions options = QuietOptions(clock);
    options.vendor = vendor;
    options.product = product;
    auto controller = Make("larch-usb", options);
    const auto entries = controller->Entries("p");
    EXPECT_EQ(entries.size(), 4u) << std::hex << vendor << ":" << product;
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                            [](const kx7::HidDeviceInfo& e) { return kx7::AcceptsHidInterface(e, true); }),
              1);
  }
}

// The record the host's identification reads, checked byte by byte and with the program's own
// parser, so that both sides agree on it.
TEST(HidIdentity, ControllerIdRecordsPerFamily) {
  struct Case {
    std::string family;
    std::uint32_t type;
    std::size_t length;
    char second;
    int major;
    std::uint8_t flagBits;
    std::uint8_t statusMode;
  };
  const Case cases[] = {
      {"rowan-usb-gen2", 32873, 16, 'S', 2, 0x00, 0},
      {"rowan-usb-gen3", 32876, 16, 'S', 3, 0x80, 2},
      {"rowan-usb-gen4", 32883, 16, 'S', 4, 0x00, 2},
      {"larch-usb", 32881, 24, 'U', 3, 0x00, 1},
      {"larch-usb-0500", 32878, 24, 'U', 3, 0x00, 1},
      {"maple", 32880, 16, 'P', 1, 0x00, 0},
      {"resistive-usb-4wire", 32869, 16, '4', 2, 0x00, 0},
      {"resistive-usb-5wire", 32871, 16, '5', 2, 0x00, 0},
  };
  VirtualClock clock;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    auto controller = Make(c.family, QuietOptions(clock));
    EXPECT_EQ(controller->Family().typeId, static_cast<int>(c.type));
    const auto record = controller->OnGetFeature(4, 64);
    ASSERT_TRUE(record);
    ASSERT_EQ(record->size(), c.length);
    EXPECT_EQ(record->at(0), 4);
    EXPECT_EQ(record->at(2), c.second);
    EXPECT_EQ(record->at(3), c.major);
    EXPECT_EQ(record->at(5), c.flagBits);
    EXPECT_EQ(Word(*record, 8), 64) << "largest parameter write";
    const auto parsed = hid::ParseControllerIdRecord(c.type, *record);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->versionMajor, c.major);
    for (const int block : {1, 2, 5, 6}) EXPECT_EQ(hid::BlockStatusLetter(c.type, *parsed, block), 'A') << block;
    if (c.length == 24) {
      EXPECT_EQ(parsed->modelCode, 1);
      EXPECT_EQ(parsed->sensorKind, 1);
      EXPECT_EQ(parsed->secondPartNumber, 0x5201);
      EXPECT_EQ(hid::BlockStatusLetter(c.type, *parsed, 8), 'A');
    }
    const auto status = controller->OnGetFeature(6, 8);
    ASSERT_TRUE(status);
    ASSERT_EQ(status->size(), 8u);
    EXPECT_EQ(status->at(1), 0) << "no error bits";
    EXPECT_EQ(status->at(2), hid::kStateDone);
    EXPECT_EQ(status->at(7), c.statusMode);
  }
}

TEST(HidIdentity, RecordOptionsAndContactModeFollowTheHost) {
  VirtualClock clock;
  HidControllerOptions options = QuietOptions(clock);
  options.modelCode = 4;
  options.sensorKind = 2;
  options.secondTypeLetter = '0';
  auto larch = Make("larch-usb", options);
  auto record = larch->OnGetFeature(4, 24);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->at(2), '0');
  EXPECT_EQ(record->at(19), 4);
  EXPECT_EQ(record->at(20), 2);
  EXPECT_EQ(larch->OnGetFeature(18, 3)->at(1), 4) << "the 4 x 15 layout holds four contacts";
  EXPECT_EQ(larch->HostBlock(6)->size(), 64u) << "block 6 of the model with code 4";

  auto gen3 = Make("rowan-usb-gen3", QuietOptions(clock));
  EXPECT_EQ(gen3->OnGetFeature(18, 3)->at(1), 10);
  ASSERT_TRUE(gen3->OnSetFeature(Cmd({3, 0})));
  EXPECT_EQ(gen3->OnGetFeature(6, 8)->at(7), 1) << "out of multi-contact mode";
  ASSERT_TRUE(gen3->OnSetFeature(Cmd({3, 2})));
  EXPECT_EQ(gen3->OnGetFeature(6, 8)->at(7), 2);

  EXPECT_EQ(gen3->OnGetFeature(17, 3)->at(1), 2) << "HID pointer mode";
  ASSERT_TRUE(gen3->OnSetFeature(Bytes(3, {17, 0})));
  EXPECT_EQ(gen3->OnGetFeature(17, 3)->at(1), 0);
  EXPECT_FALSE(gen3->OnSetFeature(Bytes(3, {17, 1}))) << "only tablet (0) and HID (2) mode";
}

// ---- blocks ---------------------------------------------------------------------------------

std::vector<std::uint8_t> Pattern(std::size_t length, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(seed + 7 * i);
  return bytes;
}

bool WriteBlock(EmulatedHidController& c, int block, const std::vector<std::uint8_t>& data) {
  if (data.size() == 512) {
    kx7::HidReport report = Bytes(520, {15, 12, 0, 0, 0, 0, 0x00, 0x02});
    std::copy(data.begin(), data.end(), report.begin() + 8);
    return c.OnSetFeature(report);
  }
  kx7::HidReport report = Bytes(72, {5, 1, 0, 0, static_cast<std::uint8_t>(block), 0,
                                     static_cast<std::uint8_t>(data.size()), 0});
  std::copy(data.begin(), data.end(), report.begin() + 8);
  return c.OnSetFeature(report);
}

std::optional<std::vector<std::uint8_t>> ReadBlock(EmulatedHidController& c, int block, std::size_t length) {
  if (!c.OnSetFeature(Cmd({2, 0, 0, static_cast<std::uint8_t>(block), 0, static_cast<std::uint8_t>(length & 0xFF),
                           static_cast<std::uint8_t>(length >> 8)})))
    return std::nullopt;
  const bool big = length == 512;
  const auto answer = c.OnGetFeature(big ? 15 : 5, big ? 520 : 72);
  if (!answer || answer->size() < 8 + length) return std::nullopt;
  EXPECT_EQ(Word(*answer, 6), length);
  return std::vector<std::uint8_t>(answer->begin() + 8, answer->begin() + 8 + static_cast<std::ptrdiff_t>(length));
}

// Every block of every generic family, at the length the program's block table gives it: the
// factory content reads back as the controller keeps it, and a write reads back as written.
TEST(HidBlocks, EveryBlockRoundTripsAtTheProgramsLength) {
  VirtualClock clock;
  for (const std::string& name : HidFamilyNames()) {
    if (name == "birch2-hid") continue;
    SCOPED_TRACE(name);
    HidControllerOptions options = QuietOptions(clock);
    options.writeStatus = {3};
    auto c = Make(name, options);
    const auto type = static_cast<std::uint32_t>(c->Family().typeId);
    for (const auto& [block, length] : c->Family().blocks) {
      SCOPED_TRACE(block);
      EXPECT_EQ(hid::HidBlockLength(type, block, c->Family().modelCode), length);
      EXPECT_EQ(ReadBlock(*c, block, length), c->HostBlock(block));
      if (block >= 81) continue;  // the reports are read only
      const auto data = Pattern(length, static_cast<std::uint8_t>(block));
      ASSERT_TRUE(WriteBlock(*c, block, data));
      EXPECT_EQ(ReadBlock(*c, block, length), data);
    }
  }
}

TEST(HidBlocks, SerialNumberIsBlockFive) {
  VirtualClock clock;
  HidControllerOptions options = QuietOptions(clock);
  options.serialNumber = 0x12345678;
  auto c = Make("rowan-usb-gen3", options);
  EXPECT_EQ(ReadBlock(*c, 5, 4), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(c->SerialString(), "12345678");
}

TEST(HidBlocks, RestoreDefaultsPutsTheFactoryContentBack) {
  VirtualClock clock;
  auto c = Make("rowan-usb-gen2", QuietOptions(clock));
  const auto factory = c->HostBlock(1);
  ASSERT_TRUE(WriteBlock(*c, 1, Pattern(26, 9)));
  ASSERT_NE(c->HostBlock(1), factory);
  ASSERT_TRUE(c->OnSetFeature(Cmd({8})));
  EXPECT_EQ(c->HostBlock(1), factory);
}

// Maple and Larch say busy, then done, in status byte 2 after a write; a controller that stays
// busy or refuses keeps the block it had.
TEST(HidBlocks, WriteStatusSequences) {
  struct Case {
    std::string family;
    std::vector<std::uint8_t> sequence;
    std::vector<std::uint8_t> expected;  // the first polls
    bool stored;
  };
  const Case cases[] = {
      {"maple", {}, {1, 1, 3, 3}, true},
      {"larch-usb", {}, {1, 1, 3, 3}, true},
      {"larch-usb-0500", {1, 1, 1, 1, 3}, {1, 1, 1, 1, 3, 3}, true},
      {"larch-usb", {1}, std::vector<std::uint8_t>(100, 1), false},
      {"maple", {1, 0}, {1, 0, 0}, false},
      {"rowan-usb-gen3", {1, 1, 3}, {3, 3}, true},  // not a polled family: done at once
  };
  VirtualClock clock;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family + " " + std::to_string(c.sequence.size()));
    HidControllerOptions options = QuietOptions(clock);
    options.writeStatus = c.sequence;
    auto controller = Make(c.family, options);
    EXPECT_EQ(controller->OnGetFeature(6, 8)->at(2), hid::kStateDone) << "idle before any write";
    const auto before = controller->HostBlock(1);
    const auto data = Pattern(26, 0x40);
    ASSERT_TRUE(WriteBlock(*controller, 1, data));
    std::vector<std::uint8_t> polls;
    for (std::size_t i = 0; i < c.expected.size(); ++i) polls.push_back(controller->OnGetFeature(6, 8)->at(2));
    EXPECT_EQ(polls, c.expected);
    EXPECT_EQ(controller->HostBlock(1), c.stored ? data : before);
  }
}

// ---- pass-through ---------------------------------------------------------------------------

std::string PollPassThrough(EmulatedHidController& c) {
  std::string all;
  for (int i = 0; i < 10; ++i) {
    const auto report = c.OnGetFeature(9, 64);
    EXPECT_TRUE(report);
    if (!report) break;
    EXPECT_EQ(report->size(), 64u);
    const std::size_t count = report->at(7);
    EXPECT_LE(count, 56u);
    if (count == 0) break;
    all.append(report->begin() + 8, report->begin() + 8 + static_cast<std::ptrdiff_t>(count));
  }
  return all;
}

bool SendPassThrough(EmulatedHidController& c, const std::string& text) {
  kx7::HidReport report = Bytes(64, {9, 10, static_cast<std::uint8_t>(text.size())});
  std::copy(text.begin(), text.end(), report.begin() + 8);
  return c.OnSetFeature(report);
}

TEST(HidPassThrough, SecondProcessorAnswersThroughReportNine) {
  struct Case {
    std::string family;
    std::string oi;
    std::string ut;
  };
  const Case cases[] = {
      {"rowan-usb-gen2", "OS0212", "C2021200"},
      {"rowan-usb-gen3", "OS0310", "B3031000"},
      {"rowan-usb-gen4", "WZ0401", "B4040100"},
      {"larch-usb", "DF0305", "LT030500"},
      {"resistive-usb-4wire", "YZ0210", "YZR42100"},
      {"resistive-usb-5wire", "YZ0210", "YZR52100"},
  };
  VirtualClock clock;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    auto controller = Make(c.family, QuietOptions(clock));
    EXPECT_FALSE(SendPassThrough(*controller, "\x01OI\r")) << "no pass-through yet";
    ASSERT_TRUE(controller->OnSetFeature(Cmd({5, 0, 0, 8})));
    ASSERT_TRUE(SendPassThrough(*controller, "\x01OI\r"));
    EXPECT_EQ(PollPassThrough(*controller), "\x01" + c.oi + "\r");
    // Single bytes with command 9.
    for (const char byte : std::string("\x01UT\r")) ASSERT_TRUE(controller->OnSetFeature(Cmd({9, static_cast<std::uint8_t>(byte)})));
    EXPECT_EQ(PollPassThrough(*controller), "\x01" + c.ut + "\r");
    ASSERT_TRUE(SendPassThrough(*controller, "\x01NM\r"));
    EXPECT_GT(PollPassThrough(*controller).size(), 3u);
    ASSERT_TRUE(controller->OnSetFeature(Cmd({5, 0, 0, 10})));
    EXPECT_FALSE(SendPassThrough(*controller, "\x01OI\r"));
    EXPECT_EQ(PollPassThrough(*controller), "");
  }
}

TEST(HidPassThrough, LongAnswersComeInPiecesOfFiftySix) {
  VirtualClock clock;
  auto c = Make("rowan-usb-gen3", QuietOptions(clock));
  ASSERT_TRUE(c->OnSetFeature(Cmd({5, 0, 0, 8})));
  std::string commands;
  for (int i = 0; i < 12; ++i) commands += "\x01OI\r";
  ASSERT_TRUE(SendPassThrough(*c, commands));
  std::string expected;
  for (int i = 0; i < 12; ++i) expected += "\x01OS0310\r";
  EXPECT_EQ(PollPassThrough(*c), expected);
}

TEST(HidPassThrough, AsyncModesAndMaplesEncoding) {
  VirtualClock clock;
  auto rowan = Make("rowan-usb-gen2", QuietOptions(clock));
  auto* generic = dynamic_cast<GenericHidController*>(rowan.get());
  ASSERT_NE(generic, nullptr);
  EXPECT_EQ(generic->AsyncMode(), 6);
  ASSERT_TRUE(rowan->OnSetFeature(Cmd({5, 0, 0, 4})));
  EXPECT_EQ(generic->AsyncMode(), 4);
  ASSERT_TRUE(rowan->OnSetFeature(Cmd({5, 0, 0, 9})));
  EXPECT_EQ(generic->PassThroughTarget(), 'L');
  EXPECT_FALSE(rowan->OnSetFeature(Cmd({5, 0, 0, 200})));

  auto maple = Make("maple", QuietOptions(clock));
  auto* m = dynamic_cast<GenericHidController*>(maple.get());
  ASSERT_TRUE(maple->OnSetFeature(Cmd({5, 1, 1})));
  EXPECT_EQ(m->AsyncMode(), 7);
  ASSERT_TRUE(maple->OnSetFeature(Cmd({5, 0, 1})));
  EXPECT_EQ(m->AsyncMode(), 6);
  EXPECT_FALSE(maple->OnSetFeature(Cmd({5, 0, 0, 6}))) << "Maple takes its modes in bytes 2 and 3 only";
  EXPECT_FALSE(maple->OnSetFeature(Cmd({5, 2, 1})));
  EXPECT_FALSE(maple->OnSetFeature(Cmd({5, 0, 0, 8}))) << "no second processor";
  EXPECT_FALSE(m->InPassThrough());
}

// ---- restarts -------------------------------------------------------------------------------

TEST(HidRestarts, ResetsAndRebootsAreRecordedAndAnnounced) {
  VirtualClock clock;
  auto c = Make("larch-usb", QuietOptions(clock));
  std::vector<HidRestart> announced;
  c->SetRestartHandler([&](const HidRestart& restart) { announced.push_back(restart); });
  ASSERT_TRUE(c->OnSetFeature(Cmd({5, 0, 0, 8})));
  EXPECT_FALSE(c->ReplugPending());
  ASSERT_TRUE(c->OnSetFeature(Cmd({7, 1})));
  clock.Advance(5);
  ASSERT_TRUE(c->OnSetFeature(Cmd({7, 5})));
  ASSERT_TRUE(c->OnSetFeature(Cmd({11, 2})));
  ASSERT_TRUE(c->OnSetFeature(Cmd({8})));  // Larch restarts to take its defaults
  ASSERT_TRUE(c->OnSetFeature(Bytes(3, {17, 0})));
  EXPECT_FALSE(c->OnSetFeature(Cmd({7, 0})));
  EXPECT_FALSE(c->OnSetFeature(Cmd({7, 7})));
  const std::vector<HidRestart> expected = {{HidRestartKind::kSoftReset, 1000},
                                            {HidRestartKind::kRebootEep, 1005},
                                            {HidRestartKind::kRebootEep, 1005},
                                            {HidRestartKind::kRestoreDefaults, 1005},
                                            {HidRestartKind::kModeSwitch, 1005}};
  EXPECT_EQ(c->Restarts(), expected);
  EXPECT_EQ(announced, expected);
  EXPECT_TRUE(c->ReplugPending());
  c->ClearReplugPending();
  EXPECT_FALSE(c->ReplugPending());
  EXPECT_FALSE(dynamic_cast<GenericHidController&>(*c).InPassThrough()) << "a reset leaves the pass-through";

  auto rowan = Make("rowan-usb-gen2", QuietOptions(clock));
  ASSERT_TRUE(rowan->OnSetFeature(Cmd({8})));
  EXPECT_TRUE(rowan->Restarts().empty()) << "restoring defaults does not restart a Rowan";
}

// ---- malformed input ------------------------------------------------------------------------

TEST(HidMalformed, BadReportsAreRefused) {
  VirtualClock clock;
  auto c = Make("larch-usb", QuietOptions(clock));
  const kx7::HidReport bad[] = {
      {},
      {3},
      Bytes(7, {3, 2, 0, 0, 1, 0, 26}),       // one byte short
      Cmd({99}),                              // unknown code
      Cmd({2, 0, 0, 42, 0, 26, 0}),           // no block 42
      Cmd({2, 0, 0, 1, 0, 27, 0}),            // past the block
      Cmd({2, 0, 0, 1, 1, 26, 0}),            // a second piece of a block that has one
      Cmd({2, 0, 0, 8, 0, 64, 0}),            // a big block in pieces
      Cmd({2, 0, 0, 1, 0, 0, 0}),             // nothing
      Cmd({20, 3}),                           // no such pen/finger selection
      Cmd({11, 1}),                           // REBOOT_EEP carries 2
      Cmd({9, 'x'}),                          // a pass-through byte without the pass-through
      Bytes(72, {5, 1, 0, 0, 1, 0, 25, 0}),   // a block of the wrong length
      Bytes(72, {5, 1, 0, 0, 8, 0, 64, 0}),   // a big block through SET_PARAM
      Bytes(20, {5, 1, 0, 0, 1, 0, 26, 0}),   // data past the report
      Bytes(72, {5, 2, 0, 0, 1, 0, 26, 0}),   // report 5 with another code
      Bytes(519, {15, 12, 0, 0, 0, 0, 0x00, 0x02}),
      Bytes(520, {15, 12, 0, 0, 0, 0, 0x00, 0x01}),
      Bytes(64, {9, 10, 4}),                  // pass-through bytes while it is off
      Bytes(1, {17}),
      Bytes(8, {42, 1}),
  };
  for (const kx7::HidReport& report : bad) EXPECT_FALSE(c->OnSetFeature(report)) << ::testing::PrintToString(report);
  EXPECT_FALSE(c->OnGetFeature(5, 72)) << "GET_PARAM before SET_PARAM_INDEX";
  EXPECT_FALSE(c->OnGetFeature(15, 520));
  EXPECT_FALSE(c->OnGetFeature(4, 0));
  EXPECT_FALSE(c->OnGetFeature(200, 64));
  ASSERT_TRUE(c->OnSetFeature(Cmd({2, 0, 0, 1, 0, 26, 0})));
  EXPECT_FALSE(c->OnGetFeature(15, 520)) << "a small block is not a big block";

  ASSERT_TRUE(c->OnSetFeature(Cmd({5, 0, 0, 8})));
  EXPECT_FALSE(c->OnSetFeature(Bytes(64, {9, 10, 57}))) << "more than 56 bytes";
  EXPECT_FALSE(c->OnSetFeature(Bytes(20, {9, 10, 13}))) << "data past the report";
}

// Random reports of every length with the ids the controllers know: whatever they are taken for,
// the sanitizers see nothing read or written out of bounds, and what is answered keeps its form.
TEST(HidMalformed, RandomReportsNeverReachPastTheirData) {
  const std::uint8_t ids[] = {1, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 18, 32, 115, 116, 118, 119, 128, 129, 144};
  std::mt19937 random(7);
  VirtualClock clock;
  for (const std::string& name : HidFamilyNames()) {
    SCOPED_TRACE(name);
    auto c = Make(name, QuietOptions(clock));
    for (int i = 0; i < 3000; ++i) {
      const std::size_t length = random() % 2 == 0 ? random() % 12 : random() % 600;
      kx7::HidReport report(length);
      for (std::uint8_t& byte : report) byte = static_cast<std::uint8_t>(random() % 4 == 0 ? random() % 8 : random());
      if (!report.empty()) report[0] = ids[random() % std::size(ids)];
      c->OnSetFeature(report);
      const std::uint8_t id = ids[random() % std::size(ids)];
      if (const auto answer = c->OnGetFeature(id, 1 + random() % 600)) {
        ASSERT_FALSE(answer->empty());
        EXPECT_EQ(answer->at(0), id);
      }
      clock.Advance(1);
    }
  }
}

// ---- through the program's HID backend ------------------------------------------------------

TEST(HidBackend, TheHostFindsTheControllerCollectionAndTalksToIt) {
  VirtualClock clock;
  kx7::SimulatedHidBackend backend;
  auto larch = Make("larch-usb", QuietOptions(clock));
  auto rowan = Make("rowan-usb-gen3", QuietOptions(clock));
  ASSERT_TRUE(AddToBackend(backend, larch, "sim:larch"));
  ASSERT_TRUE(AddToBackend(backend, rowan, "sim:rowan"));
  EXPECT_FALSE(AddToBackend(backend, rowan, "sim:larch")) << "a path that is taken";
  EXPECT_EQ(backend.Enumerate(0x0596, 0x0502).size(), 4u) << "the refused add took nothing away";

  for (const auto& [product, path] : {std::pair<std::uint16_t, std::string>{0x0502, "sim:larch"}, {0x0300, "sim:rowan"}}) {
    std::vector<kx7::HidDeviceInfo> taken;
    for (const kx7::HidDeviceInfo& info : backend.Enumerate(0x0596, product))
      if (kx7::AcceptsHidInterface(info, HasSeveralCollections(info.vendor, info.product))) taken.push_back(info);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].path, path);
  }

  auto handle = backend.Open("sim:rowan");
  ASSERT_TRUE(handle);
  const auto record = handle->GetFeature(4, 16);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->at(3), 3);
  EXPECT_EQ(handle->SerialString(), rowan->SerialText());
  ASSERT_TRUE(handle->SetFeature(Cmd({5, 0, 0, 8})));
  kx7::HidReport oi = Bytes(64, {9, 10, 4});
  const std::string text = "\x01OI\r";
  std::copy(text.begin(), text.end(), oi.begin() + 8);
  ASSERT_TRUE(handle->SetFeature(oi));
  const auto answer = handle->GetFeature(9, 64);
  ASSERT_TRUE(answer);
  EXPECT_EQ(std::string(answer->begin() + 8, answer->begin() + 8 + answer->at(7)), "\x01OS0310\r");

  // The second interface takes nothing.
  auto second = backend.Open("sim:rowan&mi_01");
  ASSERT_TRUE(second);
  EXPECT_FALSE(second->GetFeature(4, 16));
  EXPECT_FALSE(second->SetFeature(Cmd({7, 1})));

  // A restart noted by the handler; the installer unplugs afterwards, outside the request.
  bool restarted = false;
  rowan->SetRestartHandler([&](const HidRestart&) { restarted = true; });
  ASSERT_TRUE(handle->SetFeature(Cmd({7, 1})));
  ASSERT_TRUE(restarted);
  RemoveFromBackend(backend, "sim:rowan");
  EXPECT_FALSE(handle->GetFeature(4, 16)) << "the handle of an unplugged device fails";
  EXPECT_TRUE(backend.Enumerate(0x0596, 0x0300).empty());
  ASSERT_TRUE(AddToBackend(backend, rowan, "sim:rowan"));
  auto again = backend.Open("sim:rowan");
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->GetFeature(4, 16));
}

}  // namespace
}  // namespace kx7::emu
