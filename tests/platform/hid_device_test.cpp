#include "platform/hid_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kx7 {
namespace {

// ---------------------------------------------------------------------------------------------
// The interface and collection rules

TEST(HidInterfaceRules, TakeOnlyTheControllerCollectionAndNeverInterfaceOne) {
  struct Case {
    const char* what;
    int interfaceNumber;
    std::uint16_t usagePage;
    std::uint16_t usage;
    bool controllerCollection;
    bool acceptedWhenRequired;
    bool acceptedOtherwise;
  };
  const Case cases[] = {
      {"vendor collection on interface 0", 0, 0xFF00, 0x0001, true, true, true},
      {"vendor collection, other usage", 0, 0xFF00, 0x000B, true, true, true},
      {"last vendor page", 0, 0xFFFF, 0x0004, true, true, true},
      {"vendor collection, not on USB", -1, 0xFF01, 0x0001, true, true, true},
      {"vendor collection on interface 2", 2, 0xFF00, 0x0001, true, true, true},
      {"vendor collection on interface 1", 1, 0xFF00, 0x0001, false, false, false},
      {"mouse", 0, kHidUsagePageGenericDesktop, 0x0002, false, false, true},
      {"keyboard", 0, kHidUsagePageGenericDesktop, 0x0006, false, false, true},
      {"touch screen", 0, kHidUsagePageDigitizer, 0x0004, false, false, true},
      {"pen", 0, kHidUsagePageDigitizer, 0x0002, false, false, true},
      {"consumer keys", 0, 0x000C, 0x0001, false, false, true},
      {"page just below the vendor range", 0, 0xFEFF, 0x0001, false, false, true},
      {"no collection known", 0, 0, 0, false, false, true},
      {"mouse on interface 1", 1, kHidUsagePageGenericDesktop, 0x0002, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HidDeviceInfo info;
    info.interfaceNumber = c.interfaceNumber;
    info.usagePage = c.usagePage;
    info.usage = c.usage;
    EXPECT_EQ(IsSkippedHidInterface(info), c.interfaceNumber == 1);
    EXPECT_EQ(IsControllerCollection(info), c.controllerCollection);
    EXPECT_EQ(AcceptsHidInterface(info, true), c.acceptedWhenRequired);
    EXPECT_EQ(AcceptsHidInterface(info, false), c.acceptedOtherwise);
  }
}

TEST(WideToUtf8, EncodesEveryPlaneAndReplacesWhatIsNoCharacter) {
  struct Case {
    std::vector<wchar_t> wide;
    std::string utf8;
  };
  const Case cases[] = {
      {{}, ""},
      {{L'K', L'X', L'7'}, "KX7"},
      {{0x00C4}, "\xC3\x84"},
      {{0x07FF, 0x0800}, "\xDF\xBF\xE0\xA0\x80"},
      {{0x20AC}, "\xE2\x82\xAC"},
      {{0xFFFD}, "\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    std::vector<wchar_t> text = c.wide;
    text.push_back(0);
    EXPECT_EQ(WideToUtf8(text.data()), c.utf8);
  }
  EXPECT_EQ(WideToUtf8(nullptr), "");
  if constexpr (sizeof(wchar_t) == 4) {
    const wchar_t beyond[] = {static_cast<wchar_t>(0x1F600), static_cast<wchar_t>(0x110000),
                              static_cast<wchar_t>(0xD800), L'a', 0};
    EXPECT_EQ(WideToUtf8(beyond),
              "\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD"
              "a");
  }
}

// ---------------------------------------------------------------------------------------------
// Report descriptors

// A mouse, a touch screen with a feature report, and the vendor collection with the controller's
// command, answer, input and output reports.
const std::vector<std::uint8_t> kThreeCollections = {
    // Mouse: report 1 with three buttons, five bits of padding and X, Y.
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15,
    0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30,
    0x09, 0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0,
    // Touch screen: feature report 18 (maximum contacts), input report 2 of one byte.
    0x05, 0x0D, 0x09, 0x04, 0xA1, 0x01, 0x85, 0x12, 0x09, 0x55, 0x25, 0x0A, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02, 0x85,
    0x02, 0x09, 0x22, 0xA1, 0x02, 0x09, 0x42, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0x95, 0x07,
    0x81, 0x03, 0xC0, 0xC0,
    // Vendor page 0xFF00: features 3 (7 bytes) and 5 (71 bytes, after a pushed and popped size of
    // 16 bits), input 7 and output 9 of 63 bytes, a long item in between.
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95,
    0x07, 0xB1, 0x02, 0xA4, 0x75, 0x10, 0xB4, 0x85, 0x05, 0x09, 0x01, 0x95, 0x47, 0xB1, 0x02, 0xFE, 0x02, 0x10, 0xAA,
    0xBB, 0x85, 0x07, 0x09, 0x01, 0x95, 0x3F, 0x81, 0x02, 0x85, 0x09, 0x09, 0x01, 0x95, 0x3F, 0x91, 0x02, 0xC0};

std::vector<std::uint8_t> Cut(const std::vector<std::uint8_t>& bytes, std::size_t size) {
  return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

TEST(HidReportDescriptor, ListsTopLevelCollectionsWithTheirLongestReports) {
  struct Caps {
    std::uint16_t usagePage, usage;
    std::size_t input, output, feature;
  };
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::vector<Caps> collections;
  };
  const std::size_t vendorStart = 52 + 42;
  const Case cases[] = {
      {"three collections",
       kThreeCollections,
       {{0x0001, 0x0002, 4, 0, 0}, {0x000D, 0x0004, 2, 0, 2}, {0xFF00, 0x0001, 64, 64, 72}}},
      // Without report ids the id byte is counted all the same.
      {"no report ids",
       {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0xC0},
       {{0xFF00, 0x0001, 9, 0, 0}}},
      // A usage of four bytes brings its own page.
      {"extended usage",
       {0x0B, 0x04, 0x00, 0x0D, 0x00, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x03, 0xB1, 0x02, 0xC0},
       {{0x000D, 0x0004, 0, 0, 2}}},
      {"a cut collection keeps its reports",
       Cut(kThreeCollections, vendorStart + 22),
       {{0x0001, 0x0002, 4, 0, 0}, {0x000D, 0x0004, 2, 0, 2}, {0xFF00, 0x0001, 0, 0, 8}}},
      {"a cut item ends the reading",
       Cut(kThreeCollections, vendorStart + 15),
       {{0x0001, 0x0002, 4, 0, 0}, {0x000D, 0x0004, 2, 0, 2}, {0xFF00, 0x0001, 0, 0, 0}}},
      {"a cut long item ends the reading", {0xFE, 0x40}, {}},
      {"reports outside every collection count nowhere", {0x75, 0x08, 0x95, 0x04, 0x81, 0x02, 0xC0, 0xC0}, {}},
      {"empty", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Caps> got;
    for (const HidCollectionCaps& caps : ParseHidReportDescriptor(c.bytes.data(), c.bytes.size())) {
      got.push_back(
          {caps.usagePage, caps.usage, caps.inputReportLength, caps.outputReportLength, caps.featureReportLength});
    }
    ASSERT_EQ(got.size(), c.collections.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].usagePage, c.collections[i].usagePage) << i;
      EXPECT_EQ(got[i].usage, c.collections[i].usage) << i;
      EXPECT_EQ(got[i].input, c.collections[i].input) << i;
      EXPECT_EQ(got[i].output, c.collections[i].output) << i;
      EXPECT_EQ(got[i].feature, c.collections[i].feature) << i;
    }
  }
}

TEST(HidReportDescriptor, SurvivesAnyBytes) {
  // Device descriptors are outside input: whatever comes, the reading ends and the lengths stay
  // within what a report can be.
  std::uint32_t state = 12345;
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(round % 97));
    for (auto& byte : bytes) {
      state = state * 1664525u + 1013904223u;
      byte = static_cast<std::uint8_t>(state >> 24);
    }
    for (const HidCollectionCaps& caps : ParseHidReportDescriptor(bytes.data(), bytes.size())) {
      EXPECT_LE(caps.featureReportLength, (1u << 17) + 1);
      EXPECT_LE(caps.inputReportLength, (1u << 17) + 1);
    }
  }
  // Huge sizes and counts are held at the longest report.
  const std::vector<std::uint8_t> huge = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0xB1, 0x02, 0xB1, 0x02, 0xC0};
  const auto caps = ParseHidReportDescriptor(huge.data(), huge.size());
  ASSERT_EQ(caps.size(), 1u);
  EXPECT_EQ(caps[0].featureReportLength, (1u << 17) + 1);
}

TEST(HidReportDescriptor, ANodeIsListedOnceForEachOfItsCollections) {
  // hidapi's list: the three-collection node listed twice (two of its collections), a node whose
  // descriptor cannot be read, and a node listed only with its first collection.
  std::vector<HidDeviceInfo> listed;
  for (const auto& [path, page] : std::vector<std::pair<std::string, std::uint16_t>>{
           {"/dev/hidraw0", 0x0001}, {"/dev/hidraw0", 0x000D}, {"/dev/hidraw1", 0x0001}, {"/dev/hidraw2", 0x0001}}) {
    HidDeviceInfo info;
    info.path = path;
    info.vendor = 0x0596;
    info.product = 0x0500;
    info.serialNumber = "S" + path.substr(11);
    info.usagePage = page;
    listed.push_back(info);
  }
  const auto descriptorOf = [](const std::string& path) {
    return path == "/dev/hidraw1" ? std::vector<std::uint8_t>{} : kThreeCollections;
  };
  const auto list = ListByCollection(listed, descriptorOf);
  std::vector<std::string> got;
  for (const HidDeviceInfo& info : list) {
    got.push_back(info.path + " " + std::to_string(info.usagePage) + " " + std::to_string(info.featureReportLength) +
                  " " + info.serialNumber);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"/dev/hidraw0 1 0 S0", "/dev/hidraw0 13 2 S0", "/dev/hidraw0 65280 72 S0",
                                           "/dev/hidraw1 1 0 S1", "/dev/hidraw2 1 0 S2", "/dev/hidraw2 13 2 S2",
                                           "/dev/hidraw2 65280 72 S2"}));
  EXPECT_EQ(list[2].inputReportLength, 64u);
  EXPECT_EQ(list[2].outputReportLength, 64u);
}

// ---------------------------------------------------------------------------------------------
// The simulated backend

// Keeps the last feature report sent with each id and answers a fetch of that id with it.
class EchoDevice : public SimulatedHidDevice {
 public:
  bool OnSetFeature(const HidReport& report) override {
    Enter();
    reports_[report[0]] = report;
    Leave();
    return report[0] != kRefusedId;
  }
  std::optional<HidReport> OnGetFeature(std::uint8_t reportId, std::size_t length) override {
    Enter();
    ++fetches_;
    std::optional<HidReport> answer;
    const auto it = reports_.find(reportId);
    if (it != reports_.end()) {
      answer = it->second;
      answer->resize(length, 0);
    }
    Leave();
    return answer;
  }
  bool OnWrite(const HidReport& report) override {
    writes_.push_back(report);
    return true;
  }
  std::optional<HidReport> NextInputReport() override {
    std::lock_guard<std::mutex> guard(inputMutex_);
    if (input_.empty()) return std::nullopt;
    HidReport report = input_.front();
    input_.pop_front();
    return report;
  }
  std::optional<std::string> ProductString() override { return product_; }
  std::optional<std::string> SerialString() override { return serial_; }

  // Queues an input report from a thread that is not calling the device.
  void Push(HidReport report) {
    std::lock_guard<std::mutex> guard(inputMutex_);
    input_.push_back(std::move(report));
  }

  static constexpr std::uint8_t kRefusedId = 0x7E;

  std::optional<std::string> product_;
  std::optional<std::string> serial_;
  std::mutex inputMutex_;
  std::deque<HidReport> input_;
  std::vector<HidReport> writes_;
  int fetches_ = 0;
  // More than one call inside the device at once would be counted here.
  std::atomic<int> inside_{0};
  std::atomic<int> overlaps_{0};

 private:
  void Enter() {
    if (inside_.fetch_add(1) != 0) ++overlaps_;
  }
  void Leave() { inside_.fetch_sub(1); }

  std::map<std::uint8_t, HidReport> reports_;
};

HidDeviceInfo Info(const std::string& path, std::uint16_t vendor, std::uint16_t product, int interfaceNumber = 0,
                   std::uint16_t usagePage = 0xFF00, std::uint16_t usage = 1) {
  HidDeviceInfo info;
  info.path = path;
  info.vendor = vendor;
  info.product = product;
  info.interfaceNumber = interfaceNumber;
  info.usagePage = usagePage;
  info.usage = usage;
  return info;
}

std::vector<std::string> Paths(const std::vector<HidDeviceInfo>& list) {
  std::vector<std::string> paths;
  for (const HidDeviceInfo& info : list) paths.push_back(info.path + "/" + std::to_string(info.usagePage));
  return paths;
}

class SimulatedHid : public ::testing::Test {
 protected:
  SimulatedHid() {
    EXPECT_TRUE(backend_.AddDevice(Info("sim:a", 0x0596, 0x0001), serialDevice_));
    // One interface with a touch screen and a vendor collection: two entries, one device.
    EXPECT_TRUE(backend_.AddDevice(Info("sim:b", 0x0596, 0x0500, 0, kHidUsagePageDigitizer, 4), device_));
    EXPECT_TRUE(backend_.AddDevice(Info("sim:b", 0x0596, 0x0500, 0, 0xFF00, 1), device_));
    EXPECT_TRUE(backend_.AddDevice(Info("sim:c", 0x0914, 0x0010), otherDevice_));
  }

  SimulatedHidBackend backend_;
  std::shared_ptr<EchoDevice> serialDevice_ = std::make_shared<EchoDevice>();
  std::shared_ptr<EchoDevice> device_ = std::make_shared<EchoDevice>();
  std::shared_ptr<EchoDevice> otherDevice_ = std::make_shared<EchoDevice>();
};

TEST_F(SimulatedHid, EnumeratesByVendorAndProductWithZeroForAny) {
  struct Case {
    std::uint16_t vendor;
    std::uint16_t product;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {0, 0, {"sim:a/65280", "sim:b/13", "sim:b/65280", "sim:c/65280"}},
      {0x0596, 0, {"sim:a/65280", "sim:b/13", "sim:b/65280"}},
      {0, 0x0010, {"sim:c/65280"}},
      {0x0596, 0x0500, {"sim:b/13", "sim:b/65280"}},
      {0x0914, 0x0500, {}},
      {0x1234, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.vendor << ":" << c.product);
    EXPECT_EQ(Paths(backend_.Enumerate(c.vendor, c.product)), c.paths);
  }
}

TEST_F(SimulatedHid, ASecondEntryForAPathMustNameTheSameDevice) {
  EXPECT_FALSE(backend_.AddDevice(Info("sim:a", 0x0596, 0x0001, 0, 1, 2), std::make_shared<EchoDevice>()));
  EXPECT_FALSE(backend_.AddDevice(Info("sim:d", 0x0596, 0x0001), nullptr));
  EXPECT_EQ(backend_.Enumerate(0x0596, 0x0001).size(), 1u);
}

TEST_F(SimulatedHid, FeatureReportsGoAndComeBackWithTheIdInByteZero) {
  auto handle = backend_.Open("sim:b");
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(handle->IsOpen());
  EXPECT_EQ(backend_.OpenHandles("sim:b"), 1);

  const HidReport command = {3, 4, 1, 0, 0, 0, 0, 0};
  EXPECT_TRUE(handle->SetFeature(command));
  EXPECT_EQ(handle->GetFeature(3, 8), command);
  // A shorter fetch is cut; the device's longer answer never goes beyond the asked length.
  EXPECT_EQ(handle->GetFeature(3, 2), (HidReport{3, 4}));
  EXPECT_EQ(handle->GetFeature(3, 10), (HidReport{3, 4, 1, 0, 0, 0, 0, 0, 0, 0}));

  // A report the device does not have, one it refuses, and empty requests fail with a reason.
  EXPECT_EQ(handle->GetFeature(6, 8), std::nullopt);
  EXPECT_FALSE(handle->LastError().empty());
  EXPECT_FALSE(handle->SetFeature({EchoDevice::kRefusedId, 1}));
  EXPECT_FALSE(handle->SetFeature({}));
  EXPECT_EQ(handle->GetFeature(3, 0), std::nullopt);

  // Both collections' entries reach the same device; the others are not involved.
  EXPECT_EQ(device_->fetches_, 4);
  EXPECT_EQ(otherDevice_->fetches_, 0);

  EXPECT_TRUE(handle->Write({0, 9, 9}));
  EXPECT_EQ(device_->writes_, (std::vector<HidReport>{{0, 9, 9}}));
}

TEST_F(SimulatedHid, OpeningAPathThatIsNotThereFails) {
  EXPECT_EQ(backend_.Open("sim:none"), nullptr);
  EXPECT_EQ(backend_.LastOpenError(), "No such device");
  EXPECT_NE(backend_.Open("sim:a"), nullptr);
  EXPECT_EQ(backend_.LastOpenError(), "");
}

TEST_F(SimulatedHid, ProductAndSerialStrings) {
  device_->product_ = "KX7 USB Controller";
  device_->serial_ = "S/N 0042";
  auto handle = backend_.Open("sim:b");
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->ProductString(), "KX7 USB Controller");
  EXPECT_EQ(handle->SerialString(), "S/N 0042");

  auto bare = backend_.Open("sim:c");
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->ProductString(), std::nullopt);
  EXPECT_EQ(bare->SerialString(), std::nullopt);
  EXPECT_FALSE(bare->LastError().empty());

  // The strings of the list are the entry's own.
  HidDeviceInfo named = Info("sim:e", 0x0596, 0x0002);
  named.productString = "Panel";
  named.serialNumber = "123";
  ASSERT_TRUE(backend_.AddDevice(named, std::make_shared<EchoDevice>()));
  const auto list = backend_.Enumerate(0x0596, 0x0002);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].productString, "Panel");
  EXPECT_EQ(list[0].serialNumber, "123");
}

// Every call a handle offers, each expected to fail on a handle that cannot be used.
void ExpectEveryCallFails(HidHandle& handle, const std::string& reason) {
  EXPECT_FALSE(handle.IsOpen());
  EXPECT_FALSE(handle.SetFeature({3, 7, 1}));
  EXPECT_EQ(handle.LastError(), reason);
  EXPECT_EQ(handle.GetFeature(3, 8), std::nullopt);
  EXPECT_FALSE(handle.Write({0, 1}));
  EXPECT_EQ(handle.Read(0), std::nullopt);
  EXPECT_EQ(handle.Read(50), std::nullopt);  // fails at once, nothing to wait for
  EXPECT_EQ(handle.ProductString(), std::nullopt);
  EXPECT_EQ(handle.SerialString(), std::nullopt);
  EXPECT_EQ(handle.LastError(), reason);
}

TEST_F(SimulatedHid, AControllerUnpluggedInTheMiddleFailsEveryLaterCall) {
  device_->product_ = "KX7";
  auto handle = backend_.Open("sim:b");
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(handle->SetFeature({3, 7, 1}));

  EXPECT_TRUE(backend_.RemoveDevice("sim:b"));
  ExpectEveryCallFails(*handle, "No such device");
  EXPECT_EQ(Paths(backend_.Enumerate(0x0596, 0)), (std::vector<std::string>{"sim:a/65280"}));
  EXPECT_EQ(backend_.Open("sim:b"), nullptr);
  EXPECT_FALSE(backend_.RemoveDevice("sim:b"));

  // Plugged in again it is a new device; the old handle stays dead, a new one works.
  auto replugged = std::make_shared<EchoDevice>();
  ASSERT_TRUE(backend_.AddDevice(Info("sim:b", 0x0596, 0x0500), replugged));
  EXPECT_FALSE(handle->SetFeature({3, 7, 1}));
  auto fresh = backend_.Open("sim:b");
  ASSERT_NE(fresh, nullptr);
  EXPECT_TRUE(fresh->SetFeature({3, 7, 1}));
  EXPECT_EQ(fresh->GetFeature(3, 3), (HidReport{3, 7, 1}));

  // Handles outliving their backend fail the same way.
  auto survivor = std::make_unique<SimulatedHidBackend>();
  ASSERT_TRUE(survivor->AddDevice(Info("sim:x", 1, 1), std::make_shared<EchoDevice>()));
  auto orphan = survivor->Open("sim:x");
  ASSERT_NE(orphan, nullptr);
  survivor.reset();
  ExpectEveryCallFails(*orphan, "No such device");
}

TEST_F(SimulatedHid, AClosedHandleFailsAndIsNoLongerCounted) {
  auto first = backend_.Open("sim:a");
  auto second = backend_.Open("sim:a");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(backend_.OpenHandles("sim:a"), 2);
  first->Close();
  first->Close();
  EXPECT_EQ(backend_.OpenHandles("sim:a"), 1);
  ExpectEveryCallFails(*first, "The device is not open.");
  EXPECT_TRUE(second->SetFeature({5, 1}));
  second.reset();
  EXPECT_EQ(backend_.OpenHandles("sim:a"), 0);
}

TEST_F(SimulatedHid, InputReportsAreReadInOrderAndAWaitingReadIsWoken) {
  device_->input_ = {{7, 1}, {7, 2}};
  auto handle = backend_.Open("sim:b");
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->Read(0), (HidReport{7, 1}));
  EXPECT_EQ(handle->Read(0), (HidReport{7, 2}));
  EXPECT_EQ(handle->Read(0), HidReport{});

  // A reader waiting with a long time-out returns as soon as the device has a report and says so.
  std::optional<HidReport> got;
  std::thread reader([&] { got = handle->Read(600000); });
  device_->Push({7, 3});
  backend_.NotifyInput("sim:b");
  reader.join();
  EXPECT_EQ(got, (HidReport{7, 3}));

  // Unplugging wakes a waiting reader with a failure.
  std::optional<HidReport> lost = HidReport{0};
  std::thread waiting([&] { lost = handle->Read(600000); });
  ASSERT_TRUE(backend_.RemoveDevice("sim:b"));
  waiting.join();
  EXPECT_EQ(lost, std::nullopt);
}

TEST_F(SimulatedHid, TwoThreadsOnOneDeviceNeverMeetInsideIt) {
  auto reader = backend_.Open("sim:b");
  auto ui = backend_.Open("sim:b");
  ASSERT_NE(reader, nullptr);
  ASSERT_NE(ui, nullptr);
  ASSERT_TRUE(ui->SetFeature({7, 0}));
  std::atomic<int> failures{0};
  std::thread polling([&] {
    for (int i = 0; i < 2000; ++i) {
      if (!reader->GetFeature(7, 8)) ++failures;
    }
  });
  for (int i = 0; i < 2000; ++i) {
    if (!ui->SetFeature({3, static_cast<std::uint8_t>(i), 0, 0})) ++failures;
    if (!ui->GetFeature(3, 4)) ++failures;
  }
  polling.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(device_->overlaps_.load(), 0);
}

// ---------------------------------------------------------------------------------------------
// The backend of the process, and the real one

TEST(DefaultHidBackendChoice, IsHidapiUnlessAnotherIsInstalled) {
  EXPECT_NE(dynamic_cast<HidapiBackend*>(&DefaultHidBackend()), nullptr);
  SimulatedHidBackend simulated;
  SetHidBackend(&simulated);
  EXPECT_EQ(&DefaultHidBackend(), &simulated);
  SetHidBackend(nullptr);
  EXPECT_NE(dynamic_cast<HidapiBackend*>(&DefaultHidBackend()), nullptr);
}

TEST(HidapiBackendOnThisMachine, ListsWhateverIsPresentAndRefusesAPathThatIsNot) {
  HidapiBackend backend;
  for (const HidDeviceInfo& info : backend.Enumerate(0, 0)) {
    EXPECT_FALSE(info.path.empty());
  }
  // The vendor filter is hidapi's; nothing of another vendor comes through it.
  for (const HidDeviceInfo& info : backend.Enumerate(0x0596, 0)) {
    EXPECT_EQ(info.vendor, 0x0596);
  }
  EXPECT_EQ(backend.Open("/dev/kx7-no-such-hidraw"), nullptr);
  EXPECT_FALSE(backend.LastOpenError().empty());
}

}  // namespace
}  // namespace kx7
