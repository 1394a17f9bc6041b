#include "hid_touch_reports.h"

#include <algorithm>
#include <cmath>

#include "hid_report_bytes.h"

namespace kx7::emu {

namespace {

constexpr double kScreenMax = 2047.0;
constexpr std::size_t kTabletLength = 8;
constexpr std::size_t kResistiveLength = 16;
constexpr std::size_t kMultiLength = 64;
constexpr std::size_t kCoordsLength = 16;

constexpr std::uint8_t kTouching = 0x01;
constexpr std::uint8_t kPosition = 0x02;
constexpr std::uint8_t kValid = 0x04;
constexpr std::uint8_t kRecordAlways = 0x80;
constexpr std::uint8_t kRecordTouch = 0x40;
constexpr std::uint16_t kUncalibratedMiddle = 8192;

struct MultiLayout {
  int records;
  std::size_t recordBytes;
  std::size_t yOffset;
  std::size_t countAt;
  bool nonZeroValid;
};

MultiLayout MultiOf(HidTouchLayout layout) {
  switch (layout) {
    case HidTouchLayout::kMulti6x10:
      return {6, 10, 4, 61, false};
    case HidTouchLayout::kMulti7x8:
      return {7, 8, 4, 57, false};
    case HidTouchLayout::kMulti4x15:
      return {4, 15, 6, 61, true};
    default:
      return {10, 6, 4, 61, false};
  }
}

}  // namespace

std::size_t TouchReportLength(HidTouchLayout layout) {
  switch (layout) {
    case HidTouchLayout::kTablet:
      return kTabletLength;
    case HidTouchLayout::kResistive:
      return kResistiveLength;
    case HidTouchLayout::kCoordsRecord:
      return kCoordsLength;
    default:
      return kMultiLength;
  }
}

std::uint32_t TouchCoordinateMax(HidTouchLayout layout, std::uint8_t reportId) {
  switch (layout) {
    case HidTouchLayout::kTablet:
      return 0x3FFF;
    case HidTouchLayout::kResistive:
      return reportId == 8 ? 0x1FFF : 0x0FFF;
    case HidTouchLayout::kCoordsRecord:
      return 0xFFFF;
    default:
      // The 64-byte multi-contact reports span 0 to 32767 on each axis.
      return 0x7FFF;
  }
}

std::uint16_t ScaleCoordinate(double screen, HidTouchLayout layout, std::uint8_t reportId) {
  const double clamped = std::clamp(screen, 0.0, kScreenMax);
  const double max = TouchCoordinateMax(layout, reportId);
  return static_cast<std::uint16_t>(std::lround(clamped * max / kScreenMax));
}

kx7::HidReport EncodeTouchReport(HidTouchLayout layout, std::uint8_t reportId, const std::vector<HidTouchPoint>& points,
                                 std::uint16_t scanTime, std::uint8_t loopCounter, std::size_t length) {
  kx7::HidReport report(std::max(length, TouchReportLength(layout)), 0);
  report[0] = reportId;
  const auto scale = [&](double value) { return ScaleCoordinate(value, layout, reportId); };
  const auto status = [](const HidTouchPoint& p) {
    return static_cast<std::uint8_t>(kPosition | (p.touching ? kTouching : 0));
  };
  switch (layout) {
    case HidTouchLayout::kTablet:
      if (!points.empty()) {
        const HidTouchPoint& p = points.front();
        report[1] = status(p);
        PutWord(report, 2, scale(p.x));
        PutWord(report, 4, scale(p.y));
        report[6] = static_cast<std::uint8_t>(p.id);
      }
      break;
    case HidTouchLayout::kResistive: {
      const std::size_t n = std::min<std::size_t>(points.size(), 2);
      for (std::size_t k = 0; k < n; ++k) {
        const std::size_t at = 1 + k * 5;
        report[at] = status(points[k]);
        PutWord(report, at + 1, scale(points[k].x));
        PutWord(report, at + 3, scale(points[k].y));
      }
      break;
    }
    case HidTouchLayout::kCoordsRecord: {
      report[1] = loopCounter;
      const bool touching = !points.empty() && points.front().touching;
      report[2] = static_cast<std::uint8_t>(kRecordAlways | (touching ? kRecordTouch : 0));
      if (!points.empty()) {
        const HidTouchPoint& p = points.front();
        PutWord(report, 3, scale(p.x));
        PutWord(report, 5, scale(p.y));
        // The uncalibrated position: signed around the middle, four raw units a screen unit.
        PutWord(report, 7, static_cast<std::uint32_t>(kUncalibratedMiddle + std::lround((p.x - 1024.0) * 4)));
        PutWord(report, 9, static_cast<std::uint32_t>(kUncalibratedMiddle + std::lround((p.y - 1024.0) * 4)));
      }
      break;
    }
    default: {
      const MultiLayout m = MultiOf(layout);
      const std::size_t n = std::min<std::size_t>(points.size(), static_cast<std::size_t>(m.records));
      for (std::size_t k = 0; k < n; ++k) {
        const std::size_t at = 1 + k * m.recordBytes;
        const HidTouchPoint& p = points[k];
        report[at] = static_cast<std::uint8_t>(kValid | (p.touching ? (kTouching | kPosition) : 0));
        report[at + 1] = static_cast<std::uint8_t>(p.id);
        PutWord(report, at + 2, scale(p.x));
        PutWord(report, at + m.yOffset, scale(p.y));
      }
      if (n != 0) {
        report[m.countAt] = static_cast<std::uint8_t>(n);
        PutWord(report, m.countAt + 1, scanTime);
      }
      break;
    }
  }
  return report;
}

}  // namespace kx7::emu
