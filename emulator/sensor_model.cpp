#include "sensor_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kx7::emu {

namespace {

constexpr double kFull = 2047.0;
// Beyond this the bow would turn an axis back on itself (its slope is 1 - 2*pi*A/2047 at worst).
constexpr double kMaxBow = 300.0;

double Clamp(double v, double lo, double hi) { return std::min(std::max(v, lo), hi); }

// The no-touch baselines of a four-corner sensor differ a little from corner to corner, as real
// strays do; the scope and the frequency check should see that.
constexpr std::array<std::int32_t, 4> kStrayI = {1210000, 1185000, 1232000, 1198000};
constexpr std::array<std::int32_t, 4> kStrayQ = {-312000, -298000, -305000, -321000};
constexpr double kTouchIq = 180000;   // a full share of a finger's signal, I/Q counts
constexpr double kTouchPhase = 0.35;  // radians: a finger adds mostly in phase
constexpr std::array<int, 4> kCorner10Baseline = {380, 402, 371, 395};
constexpr double kTouch10 = 520;      // a full share in 10-bit corner counts
constexpr double kChannelLow = 60;    // touched channel at the far end of its axis
constexpr double kChannelSpan = 900;  // touched channel at its own end: low + span

}  // namespace

Orientation Orientation::FromClock(int clock) {
  switch (clock) {
    case 6:
      return {true, false, true};
    case 9:
      return {false, true, true};
    case 12:
      return {true, true, false};
    default:
      return {false, false, false};
  }
}

std::array<double, 2> CorrectionTable::At(double x, double y) const {
  static constexpr std::array<double, 4> kWidth = {409, 512, 512, 410};
  // A point left of (or below) the first node keeps a negative offset in the first cell, one
  // beyond the last stays in the last cell: the controller extrapolates the edge cells.
  auto cell = [](double v, int& index) {
    v -= 102;
    index = 0;
    while (index < 3 && v > kWidth[index]) {
      v -= kWidth[index];
      ++index;
    }
    return v;
  };
  int i = 0, j = 0;
  const double u = cell(x, i);
  const double v = cell(y, j);
  const double w = kWidth[i], h = kWidth[j];
  const int k = i + 5 * j;
  std::array<double, 2> result{};
  for (int axis = 0; axis < 2; ++axis) {
    const double c00 = 2.0 * bytes[2 * k + axis];
    const double c10 = 2.0 * bytes[2 * (k + 1) + axis];
    const double c01 = 2.0 * bytes[2 * (k + 5) + axis];
    const double c11 = 2.0 * bytes[2 * (k + 6) + axis];
    result[axis] = c00 + (c10 - c00) * u / w + (c01 - c00) * v / h + (c00 + c11 - c01 - c10) * u * v / (w * h);
  }
  return result;
}

SensorModel::SensorModel(const SensorConfig& config) { Configure(config); }

void SensorModel::Configure(const SensorConfig& config) {
  config_ = config;
  random_.seed(config.seed);
  if (config_.clock != 3 && config_.clock != 6 && config_.clock != 9 && config_.clock != 12) config_.clock = 3;
  config_.nonlinearity = Clamp(config_.nonlinearity, -kMaxBow, kMaxBow);
  strayIq_.i = kStrayI;
  strayIq_.q = kStrayQ;
  corner10Baseline_ = kCorner10Baseline;
  calibration_ = FactoryCalibration();
}

RawPoint SensorModel::SensorAxes(ScreenPoint p) const {
  switch (config_.clock) {
    case 6:
      return {p.y, p.x};
    case 9:
      return {kFull - p.x, p.y};
    case 12:
      return {kFull - p.y, kFull - p.x};
    default:
      return {p.x, kFull - p.y};
  }
}

RawPoint SensorModel::Bow(RawPoint a) const {
  // A sine across each axis, shaded by the other axis so that the error is not separable: a
  // 25-point correction has something to do that a per-axis fix would miss.
  const double t = 2 * std::numbers::pi / kFull;
  const double amount = config_.nonlinearity;
  return {amount * std::sin(t * a.x) * (0.75 + 0.25 * std::cos(t * a.y)),
          amount * std::sin(t * a.y) * (0.75 + 0.25 * std::cos(t * a.x))};
}

ScreenPoint SensorModel::Warped(ScreenPoint p) const {
  if (config_.warp == 0) return p;
  const double u = p.x / kFull, v = p.y / kFull;
  const double w = config_.warp * kFull;
  return {p.x + w * std::sin(std::numbers::pi * v) * (u - 0.5), p.y + w * std::sin(std::numbers::pi * u) * (v - 0.5)};
}

RawPoint SensorModel::RawNoiseless(ScreenPoint p) const { return RawWith(p, 0, 0); }

RawPoint SensorModel::Raw(ScreenPoint p) {
  const double nx = Gaussian(config_.noiseSigma);
  const double ny = Gaussian(config_.noiseSigma);
  return RawWith(p, nx, ny);
}

RawPoint SensorModel::RawWith(ScreenPoint p, double noiseX, double noiseY) const {
  const RawPoint a = SensorAxes(Warped(p));
  const RawPoint bow = Bow(a);
  double x = config_.offsetX + config_.gainX * (a.x + bow.x) + noiseX;
  double y = config_.offsetY + config_.gainY * (a.y + bow.y) + noiseY;
  if (config_.wholeCounts) {
    x = std::trunc(x);
    y = std::trunc(y);
  }
  return {Clamp(x, 0, kFull), Clamp(y, 0, kFull)};
}

Calibration SensorModel::FactoryCalibration() const {
  Calibration c;
  c.xLow = config_.offsetX;
  c.xHigh = config_.offsetX + config_.gainX * kFull;
  c.yLow = config_.offsetY;
  c.yHigh = config_.offsetY + config_.gainY * kFull;
  c.orientation = Orientation::FromClock(config_.clock);
  return c;
}

RawPoint SensorModel::Normalised(RawPoint raw) const {
  const Calibration& c = calibration_;
  const double spanX = (c.xHigh - c.xLow) == 0 ? 1 : (c.xHigh - c.xLow);
  const double spanY = (c.yHigh - c.yLow) == 0 ? 1 : (c.yHigh - c.yLow);
  RawPoint n{(raw.x - c.xLow) * kFull / spanX, (raw.y - c.yLow) * kFull / spanY};
  if (c.correction) {
    // The controller evaluates its table at whole normalised counts, each term an integer product
    // divided in double; the report keeps its finer part.
    const auto corr = c.correction->At(std::trunc(n.x), std::trunc(n.y));
    n.x -= std::trunc(corr[0]);
    n.y -= std::trunc(corr[1]);
  }
  return n;
}

CalibratedPoint SensorModel::Calibrate(RawPoint raw) const {
  const RawPoint n = Normalised(raw);
  const Orientation& o = calibration_.orientation;
  double u = o.swapXY ? n.y : n.x;
  double v = o.swapXY ? n.x : n.y;
  if (o.flipX) u = kFull - u;
  if (o.flipY) v = kFull - v;
  // Eight tablet counts to a screen unit, so that the 11-bit value the host shows is the unit.
  return {static_cast<int>(Clamp(std::lround(u * 8), 0, 16383)), static_cast<int>(Clamp(std::lround(v * 8), 0, 16383))};
}

std::array<double, 4> SensorModel::CornerShares(ScreenPoint p) const {
  const RawPoint r = RawNoiseless(p);
  const double x = r.x / kFull, y = r.y / kFull;
  return {(1 - x) * y, x * y, (1 - x) * (1 - y), x * (1 - y)};
}

CornerIq SensorModel::Iq(const std::optional<ScreenPoint>& touch) {
  CornerIq s = strayIq_;
  std::array<double, 4> share{};
  if (touch) share = CornerShares(*touch);
  for (int c = 0; c < 4; ++c) {
    const double noiseI = Gaussian(config_.signalNoise * std::abs(strayIq_.i[c]));
    const double noiseQ = Gaussian(config_.signalNoise * std::abs(strayIq_.q[c]));
    s.i[c] =
        static_cast<std::int32_t>(std::lround(strayIq_.i[c] + kTouchIq * share[c] * std::cos(kTouchPhase) + noiseI));
    s.q[c] =
        static_cast<std::int32_t>(std::lround(strayIq_.q[c] + kTouchIq * share[c] * std::sin(kTouchPhase) + noiseQ));
  }
  return s;
}

std::array<int, 4> SensorModel::Corner10(const std::optional<ScreenPoint>& touch) {
  std::array<double, 4> share{};
  if (touch) share = CornerShares(*touch);
  std::array<int, 4> values{};
  for (int c = 0; c < 4; ++c) {
    const double v = corner10Baseline_[c] + kTouch10 * share[c] + Gaussian(config_.signalNoise * 1023);
    values[c] = static_cast<int>(Clamp(std::lround(v), 0, 1023));
  }
  return values;
}

std::array<int, 4> SensorModel::Channels(const std::optional<ScreenPoint>& touch) {
  std::array<double, 4> ideal;
  if (touch) {
    const RawPoint r = RawNoiseless(*touch);
    const double x = r.x / kFull, y = r.y / kFull;
    ideal = {kChannelLow + kChannelSpan * (1 - x), kChannelLow + kChannelSpan * x, kChannelLow + kChannelSpan * (1 - y),
             kChannelLow + kChannelSpan * y};
  } else {
    ideal.fill(kChannelIdle);
  }
  std::array<int, 4> values{};
  for (int c = 0; c < 4; ++c) {
    values[c] = static_cast<int>(Clamp(std::lround(ideal[c] + Gaussian(config_.signalNoise * 1023)), 0, 1023));
  }
  return values;
}

double SensorModel::Gaussian(double sigma) {
  if (sigma <= 0) return 0;
  return std::normal_distribution<double>(0.0, sigma)(random_);
}

}  // namespace kx7::emu
