// An HID controller behind the KX7 driver (link 262): feature reports as USB class requests on the
// device file, with a small controller of the test's own.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "driver_test_support.h"
#include "emulator/driver_emulation.h"
#include "emulator/driver_emulation_constants.h"
#include "link/driver/driver_constants.h"
#include "platform/driver_device.h"
#include "platform/hid_device.h"

namespace kx7::emu {
namespace {

using namespace kx7::emu::testing;
namespace dc = kx7::driver;
namespace de = driver_emulation;
namespace err = kx7::driver_error;

// Keeps what it was sent; answers report 4 with a short record, refuses report 99 both ways.
class TinyHid : public kx7::SimulatedHidDevice {
 public:
  bool OnSetFeature(const kx7::HidReport& report) override {
    if (report[0] == 99) return false;
    sent.push_back(report);
    return true;
  }
  std::optional<kx7::HidReport> OnGetFeature(std::uint8_t id, std::size_t length) override {
    asked.push_back({id, length});
    if (id == 99) return std::nullopt;
    if (id == 98) return kx7::HidReport{97, 1};  // the wrong report
    return kx7::HidReport{id, 'A', '3', 2, 0x10};
  }
  std::vector<kx7::HidReport> sent;
  std::vector<std::pair<std::uint8_t, std::size_t>> asked;
};

class Kx7HidTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<Kx7Entry> entries(1);
    entries[0].listing = {1, "Birch2_HID", "", "HID", "", false};
    entries[0].hid = hid;
    ASSERT_EQ(AddKx7Controllers(backend, std::move(entries)).size(), 1u);
    ASSERT_TRUE(device.Open(kx7::Kx7DriverDeviceName(1)));
  }

  static std::vector<std::uint8_t> Send(std::uint8_t id, const std::vector<std::uint8_t>& report) {
    return SetupRecord(de::kHidRequestTypeOut, de::kHidSetReport, static_cast<std::uint16_t>(0x0300 + id), 0,
                       static_cast<std::uint16_t>(report.size()), report);
  }
  static std::vector<std::uint8_t> Fetch(std::uint8_t id, std::uint16_t length) {
    return SetupRecord(de::kHidRequestTypeIn, de::kHidGetReport, static_cast<std::uint16_t>(0x0300 + id), 0, length);
  }

  std::shared_ptr<TinyHid> hid = std::make_shared<TinyHid>();
  kx7::SimulatedDriverBackend backend;
  kx7::ScopedDriverBackend installed{backend};
  kx7::DriverDevice device;
};

TEST_F(Kx7HidTest, FeatureSendAndFetch) {
  const std::vector<std::uint8_t> report{3, 7, 1, 0, 0, 0, 0, 0};
  const kx7::DriverWriteResult sent = device.Write(Send(3, report));
  ASSERT_TRUE(sent.success);
  EXPECT_EQ(sent.written, report.size() + dc::kSetupSize);
  ASSERT_EQ(hid->sent.size(), 1u);
  EXPECT_EQ(hid->sent[0], report);
  EXPECT_TRUE(device.Read(64, 10).bytes.empty()) << "a send has no answer";

  ASSERT_TRUE(device.Write(Fetch(4, 16)).success);
  ASSERT_EQ(hid->asked.size(), 1u);
  EXPECT_EQ(hid->asked[0], std::make_pair(std::uint8_t{4}, std::size_t{16}));
  const DriverResult answer = device.Read(64, 10);
  ASSERT_TRUE(answer.success);
  EXPECT_EQ(answer.bytes, (std::vector<std::uint8_t>{4, 'A', '3', 2, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}))
      << "the full length, zero-filled";
  EXPECT_TRUE(device.Read(64, 10).bytes.empty());
}

TEST_F(Kx7HidTest, BadRequestsFailWithTheirReason) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::uint32_t error;
  };
  std::vector<std::uint8_t> shortSend = Send(3, {3, 1, 2, 3});
  shortSend.pop_back();
  const std::vector<Case> cases{
      {"a cut setup record", {0x21, 9, 3, 3, 0, 0, 8}, err::kInvalidParameter},
      {"a send shorter than its length", shortSend, err::kInvalidParameter},
      {"a send whose report has another id", Send(3, {5, 1}), err::kInvalidParameter},
      {"a send of nothing", Send(3, {}), err::kInvalidParameter},
      {"an input report", SetupRecord(0xA1, 1, 0x0104, 0, 8), err::kInvalidParameter},
      {"an interface other than 0", SetupRecord(0xA1, 1, 0x0304, 1, 8), err::kInvalidParameter},
      {"a fetch with data", SetupRecord(0xA1, 1, 0x0304, 0, 8, {4}), err::kInvalidParameter},
      {"a vendor request", SetupRecord(0xC0, dc::kVendorStatus, 0, 0, 8), err::kInvalidFunction},
      {"a report the controller refuses", Send(99, {99, 0}), err::kGeneralFailure},
      {"a report the controller does not give", Fetch(99, 8), err::kGeneralFailure},
      {"the controller gives another report", Fetch(98, 8), err::kGeneralFailure},
  };
  for (const Case& c : cases) {
    const kx7::DriverWriteResult result = device.Write(c.bytes);
    EXPECT_FALSE(result.success) << c.what;
    EXPECT_EQ(result.error, c.error) << c.what;
    EXPECT_TRUE(device.Read(64, 10).bytes.empty()) << c.what;
  }
  EXPECT_TRUE(hid->sent.empty());
}

}  // namespace
}  // namespace kx7::emu
