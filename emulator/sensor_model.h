// The emulated sensor: where a finger on the screen lands in the controller's raw coordinates, what
// the controller reports after its own calibration, and what the sensor's corner and channel
// signals look like. Calibration and linearization are run against this model, so its pieces are
// separate and each can be asked on its own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>

namespace kx7::emu {

// A point on the screen in 1/2048 of its width and height: x from the left, y from the top. This is
// how the host places its targets and how a robot is told where to touch.
struct ScreenPoint {
  double x = 0;
  double y = 0;
};

// The controller's raw coordinates, 0..2047 on each sensor axis, with the origin wherever the
// wiring puts it. Fractional: the controller measures finer than 11 bits and the raw report can
// carry 14.
struct RawPoint {
  double x = 0;
  double y = 0;
};

// A calibrated tablet coordinate, 14 bits (0..16383), x from the left, y from the bottom of the
// screen. The 11-bit value the host shows by default is this shifted right by three.
struct CalibratedPoint {
  int x = 0;
  int y = 0;
};

// How the normalised sensor axes are turned onto the screen: first swap, then flip. The four clock
// positions are four of the eight combinations; a calibration may hold any of them.
struct Orientation {
  bool swapXY = false;
  bool flipX = false;  // screen x runs against the (swapped) first axis
  bool flipY = false;  // screen y (from the bottom) runs against the second axis
  bool operator==(const Orientation&) const = default;
  // The orientation that undoes a sensor mounted at `clock` (3, 6, 9 or 12; anything else is 3).
  static Orientation FromClock(int clock);
};

// The controller's 25-point correction: 25 pairs (dx, dy) of signed bytes in node order, node k at
// (G[k % 5], G[k / 5]) of normalised space with G = {102, 511, 1023, 1535, 1945}; the correction at
// a node is twice its bytes. The controller subtracts the bilinearly interpolated correction from
// every normalised coordinate.
struct CorrectionTable {
  std::array<std::int8_t, 50> bytes{};
  // The correction (x, y) in counts at a normalised point, interpolated as the controller does.
  std::array<double, 2> At(double x, double y) const;
};

// What the controller stores as its calibration: the raw values on each sensor axis that become
// the edges 0 and 2047 of normalised space (low < high; flips are the orientation's business),
// the orientation, and the optional correction applied in normalised space.
struct Calibration {
  double xLow = 0;
  double xHigh = 2047;
  double yLow = 0;
  double yHigh = 2047;
  Orientation orientation;
  std::optional<CorrectionTable> correction;
};

struct SensorConfig {
  int clock = 3;        // 3, 6, 9, 12: how the sensor is mounted (see SensorModel)
  double gainX = 0.84;  // raw counts per screen unit along the first sensor axis
  double gainY = 0.80;
  double offsetX = 160;  // raw value at the sensor's origin edge
  double offsetY = 205;
  double nonlinearity = 12;    // peak bow in raw counts; kept below the value that would fold the axis
  double noiseSigma = 1.0;     // raw counts, Gaussian, on every noisy sample
  double signalNoise = 0.002;  // relative Gaussian noise of the corner and channel signals
  std::uint32_t seed = 1;
  // A warp of the screen plane before the sensor axes, as a fraction of the screen: a point (x, y)
  // reads as x + W*2047*sin(pi*v)*(u - 0.5), y + W*2047*sin(pi*u)*(v - 0.5) with u = x/2047,
  // v = y/2047 (zero at the corners, the centre and the middles of the edges' directions).
  double warp = 0;
  // The raw values are whole counts (truncated toward zero) as an 11-bit converter gives them.
  bool wholeCounts = false;
};

// The sensor's signals for one sample. Corner order UL, UR, LL, LR of the sensor (not the screen).
struct CornerIq {
  std::array<std::int32_t, 4> i{};
  std::array<std::int32_t, 4> q{};
};

class SensorModel {
 public:
  enum Corner { kUpperLeft = 0, kUpperRight = 1, kLowerLeft = 2, kLowerRight = 3 };

  explicit SensorModel(const SensorConfig& config = {});
  // Another sensor behind the same controller: new configuration, noise restarted from its seed,
  // the factory calibration of the new sensor.
  void Configure(const SensorConfig& config);

  const SensorConfig& Config() const { return config_; }

  // Screen to the sensor's own axes (0..2047), before gain and offset. Clock 3: the raw origin at
  // the lower left, x to the right, y up. Clock 9 is that turned half round (origin upper right);
  // clock 6 runs raw x down the screen and raw y to the right (origin upper left); clock 12 runs
  // raw x up and raw y to the left (origin lower right). These are the orderings the host assumes
  // when it sorts its 25 linearization targets by clock, and they agree with its two-target test.
  RawPoint SensorAxes(ScreenPoint p) const;
  // The smooth bow added on the sensor axes: zero at the corners, the middles of the edges and the
  // centre, largest in between.
  RawPoint Bow(RawPoint axes) const;
  // The screen point the warp moves `p` to (itself without a warp).
  ScreenPoint Warped(ScreenPoint p) const;
  // Warp, orientation, bow, gain and offset; no noise. Clamped to 0..2047 (whole counts when the
  // configuration says so).
  RawPoint RawNoiseless(ScreenPoint p) const;
  // As RawNoiseless plus one draw of the noise.
  RawPoint Raw(ScreenPoint p);

  // The calibration in force, as the controller has it.
  const Calibration& GetCalibration() const { return calibration_; }
  void SetCalibration(const Calibration& calibration) { calibration_ = calibration; }
  // The calibration that exactly undoes this sensor's orientation, gain and offset (the bow stays):
  // what a factory-calibrated controller holds at power-on.
  Calibration FactoryCalibration() const;

  // Raw to normalised space (0..2047 per sensor axis, corrected), no orientation.
  RawPoint Normalised(RawPoint raw) const;
  // Raw to what the controller reports: normalise, correct, orient, 14 bits.
  CalibratedPoint Calibrate(RawPoint raw) const;
  // One noisy touch at `p` as the controller reports it.
  CalibratedPoint Calibrated(ScreenPoint p) { return Calibrate(Raw(p)); }

  // The share of a touch's signal that each sensor corner picks up (sum 1): bilinear in the raw
  // position, so each share grows as the touch moves toward its corner.
  std::array<double, 4> CornerShares(ScreenPoint p) const;
  // In-phase and quadrature values per corner: the strays, plus the touch's signal when there is a
  // touch, plus noise. Strays are the no-touch baseline.
  CornerIq Iq(const std::optional<ScreenPoint>& touch);
  const CornerIq& StrayIq() const { return strayIq_; }
  // 10-bit corner signals (0..1023): a per-corner baseline plus the touch's share.
  std::array<int, 4> Corner10(const std::optional<ScreenPoint>& touch);
  const std::array<int, 4>& Corner10Baseline() const { return corner10Baseline_; }
  // Four channel values 0..1023: the low and high ends of each sensor axis (channel 0 and 1 for x,
  // 2 and 3 for y). Touched, each grows toward its end; untouched they sit near the idle value.
  std::array<int, 4> Channels(const std::optional<ScreenPoint>& touch);
  static constexpr int kChannelIdle = 12;

 private:
  double Gaussian(double sigma);
  RawPoint RawWith(ScreenPoint p, double noiseX, double noiseY) const;

  SensorConfig config_;
  Calibration calibration_;
  std::mt19937 random_;
  CornerIq strayIq_;
  std::array<int, 4> corner10Baseline_{};
};

}  // namespace kx7::emu
