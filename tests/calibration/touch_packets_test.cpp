#include "calibration/touch_packets.h"

#include <gtest/gtest.h>

#include <vector>

#include "calibration/prove_judge.h"
#include "report_encoder.h"

namespace kx7 {
namespace {

std::vector<RawTouch> ReadRaw(const std::vector<std::uint8_t>& bytes) {
  RawPacketReader reader;
  std::vector<RawTouch> touches;
  for (const std::uint8_t b : bytes)
    if (const auto touch = reader.Feed(b)) touches.push_back(*touch);
  return touches;
}

// A controller's raw reports ((X - 1024) << 3 as 14-bit two's complement) read back as the 11-bit
// raw coordinates, across the whole range and with stray bytes between the packets.
TEST(RawPacketReader, ReadsTheControllersRawReports) {
  const std::vector<std::array<int, 2>> points = {{0, 0}, {1023, 1024}, {2047, 2047}, {700, 1500}, {1, 2046}};
  std::vector<std::uint8_t> bytes = {0x12, 0x7F};  // nothing before the first packet starts
  for (const auto& p : points) {
    emu::AppendRawSigned(bytes, true, p[0] * 8, p[1] * 8);
    bytes.push_back(0x33);  // ignored until the next start byte
  }
  emu::AppendRawSigned(bytes, false, 0, 0);
  const std::vector<RawTouch> touches = ReadRaw(bytes);
  ASSERT_EQ(touches.size(), points.size() + 1);
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_TRUE(touches[i].touching);
    EXPECT_EQ(touches[i].x, points[i][0]);
    EXPECT_EQ(touches[i].y, points[i][1]);
  }
  EXPECT_FALSE(touches.back().touching);
  // A packet cut short by the next start byte is dropped.
  EXPECT_TRUE(ReadRaw({0xC0, 0x00, 0x00, 0xC0, 0x00, 0x40, 0x00, 0x40}).size() == 1);
}

TEST(RecordPackets, DriverAndHidRecordsBecomeTheSerialPackets) {
  // Status byte 2 (touching), 16-bit X and Y at 3 and 5, 14-bit raw X and Y at 7 and 9.
  std::vector<std::uint8_t> record(12, 0);
  record[2] = 0x41;
  const int x16 = 1500 * 32, y16 = 300 * 32;
  record[3] = x16 & 0xFF, record[4] = x16 >> 8, record[5] = y16 & 0xFF, record[6] = y16 >> 8;
  record[7] = (700 * 8) & 0xFF, record[8] = (700 * 8) >> 8, record[9] = (1900 * 8) & 0xFF, record[10] = (1900 * 8) >> 8;

  const auto raw = RawPacketFromRecord(record.data(), record.size());
  ASSERT_TRUE(raw);
  EXPECT_EQ((*raw)[0], 0xC0);
  const std::vector<RawTouch> touches = ReadRaw({raw->begin(), raw->end()});
  ASSERT_EQ(touches.size(), 1u);
  EXPECT_EQ(touches[0].x, 700);
  EXPECT_EQ(touches[0].y, 1900);

  // The tablet packet carries the 11-bit values the prove judges (y turned for the 16 targets).
  const auto tablet = TabletPacketFromRecord(record.data(), record.size());
  ASSERT_TRUE(tablet);
  ProveJudge judge({ProveSet::k25, 1, 1.09});
  for (const std::uint8_t b : *tablet) judge.Feed(b);
  for (const std::uint8_t b : *tablet) judge.Feed(b);
  ASSERT_EQ(judge.Points().size(), 1u);
  EXPECT_EQ(judge.Points()[0].x, 1500);
  EXPECT_EQ(judge.Points()[0].y, 300);

  // Records too short for their values give nothing.
  EXPECT_FALSE(RawPacketFromRecord(record.data(), 10));
  EXPECT_FALSE(TabletPacketFromRecord(record.data(), 6));
  EXPECT_FALSE(RawPacketFromRecord(nullptr, 12));
}

}  // namespace
}  // namespace kx7
