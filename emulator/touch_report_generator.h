// The touch side of one emulated controller: the report format and mode it is in, the touches it
// sees through its sensor, and the reports that come of them. One instance per emulated device;
// the family decides the configuration.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "report_encoder.h"
#include "report_generator.h"
#include "sensor_model.h"
#include "touch_feed.h"
#include "touch_source.h"

namespace kx7::emu {

enum class ReportFormat {
  kTablet,              // binary: 5 bytes, 6 with contact numbers, 7 in Z mode ("FT", "TL1", "TL3")
  kAsciiDecimal,        // status byte, "ddd,ddd", CR, 0..999 ("FD")
  kAsciiHex,            // status byte, "hhh,hhh", CR, 000..3FF ("FH")
  kCompact,             // 5-bit form (no command selects it; a family may power on in it)
  kRaw,                 // raw signed 11/14-bit ("CR")
  kSignals,             // the family's signal records, streaming without touch too ("FR")
  kSignalsCompensated,  // the same with the no-touch baseline taken off ("FRD")
};

enum class ReportMode {
  kStream,  // a report every interval while touched, one at lift-off ("MS")
  kZ,       // as stream, the tablet form with Z ("MZ")
  kDownUp,  // only the touch-down and the lift-off reports (the driver's mode 3)
};

enum class SignalFormat { kNone, kFourChannel, kCorner10, kCornerIq };

enum class TouchKinds { kPenAndFinger, kPenOnly, kFingerOnly };  // "PF", "PO", "FO"

struct TouchReportConfig {
  int contacts = 1;          // above 1: a multi-touch controller, tablet reports carry a contact number
  bool supportsZ = false;    // "MZ" is acknowledged
  bool supportsPen = false;  // "PO" and "PF" are acknowledged; pen reports set status bit 0
  bool supportsRaw = true;   // "CR" is acknowledged
  SignalFormat signals = SignalFormat::kCornerIq;
  std::uint32_t reportIntervalMs = 10;
  std::uint32_t signalIntervalMs = 10;
  std::uint32_t seed = 1;  // seeds the sensor's noise and (plus one) the random stroke
  bool autoStroke = true;  // off: no touches until a script or a placed touch
  ReportFormat powerOnFormat = ReportFormat::kTablet;
  SensorConfig sensor;  // its seed is replaced by `seed`
};

class TouchReportGenerator : public ReportGenerator {
 public:
  explicit TouchReportGenerator(const TouchReportConfig& config = {});

  // Handles "FT", "FD", "FH", "TL1", "TL3", "CR", "FR", "FRD", "MS", "MT", "MZ", "PO", "PF", "FO",
  // "CX", "C3", "CN"; everything else is not its business.
  CommandResult OnCommand(const std::string& command) override;
  // In a touch format a poll byte also switches to poll mode; the controller falls back to
  // streaming when the host has not polled for kPollHoldMs after an answer.
  void OnPollByte(std::uint64_t nowMs) override;
  void Advance(std::uint64_t nowMs, std::vector<std::uint8_t>& out) override;
  std::uint64_t NextEventMs() const override;
  void Reset(std::uint64_t nowMs) override;
  void SetQuiet(bool quiet) override;
  // Block2 is the 25-point correction the calibrated reports and the calibration go through.
  void OnBlock(int number, const std::vector<std::uint8_t>& bytes) override;

  const TouchReportConfig& Config() const { return config_; }
  TouchSource& Touches() { return touches_; }
  const TouchSource& Touches() const { return touches_; }
  SensorModel& Sensor() { return sensor_; }
  const SensorModel& Sensor() const { return sensor_; }

  ReportFormat Format() const { return format_; }
  ReportMode Mode() const { return mode_; }
  bool PollMode() const { return pollMode_; }
  TouchKinds Kinds() const { return kinds_; }
  bool Calibrating() const { return calibration_.has_value(); }

  // For the routes that do not go through the command set (driver and HID requests, a family that
  // powers on differently). False when the family does not have it.
  bool SetFormat(ReportFormat format);
  bool SetMode(ReportMode mode);
  void SetPollMode(bool on);
  // Touches from a feed (kx7emu --touch-feed): taken each time the controller runs, which is at
  // least every kFeedPollMs while a feed is attached.
  void SetFeed(std::shared_ptr<TouchFeed> feed) { feed_ = std::move(feed); }
  static constexpr std::uint64_t kFeedPollMs = 5;
  // A multi-contact controller reports its ASCII points with status 0x01 until the host sends "MT".
  bool MultiTouchMode() const { return multiTouchMode_; }

  static constexpr std::uint64_t kPollHoldMs = 1000;
  static constexpr int kCalibrationSamples = 20;     // a target touch shorter than this is touched again
  static constexpr double kCalibrationSpread = 200;  // raw counts targets must lie apart per axis

 private:
  struct Sent {  // what the host last saw of a contact
    CalibratedPoint point;
    RawPoint raw;
    double pressure = 0;
    bool pen = false;
    bool button = false;
  };
  struct CalibrationRun {
    char kind = 'X';                   // 'X' two targets, '3' three, 'N' corners
    std::vector<ScreenPoint> touchAt;  // where the "user" taps when nobody else touches
    std::vector<ScreenPoint> stands;   // the screen points the targets stand for
    std::vector<RawPoint> averages;
    double sumX = 0, sumY = 0;
    int samples = 0;
    bool touching = false;
    std::uint64_t nextSampleMs = 0;
    bool aimed = false;
  };

  bool TouchFormat() const;
  std::uint64_t NextReportMs() const;
  std::vector<Contact> Filtered(std::uint64_t nowMs) const;
  // Samples the touches at `t` and appends what the format and mode send for them; `force` sends
  // even the unchanged contacts of down/up mode (a poll answer). Returns whether anything was sent.
  bool Frame(std::uint64_t t, std::vector<std::uint8_t>& out, bool force);
  void AppendReport(std::vector<std::uint8_t>& out, int id, const Sent& s, bool touching, bool first);
  void StreamAdvance(std::uint64_t nowMs, std::vector<std::uint8_t>& out);
  void PollAdvance(std::uint64_t nowMs, std::vector<std::uint8_t>& out);
  void SignalAdvance(std::uint64_t nowMs, std::vector<std::uint8_t>& out);
  void CalibrationAdvance(std::uint64_t nowMs);
  std::uint64_t PollAnswerMs() const;
  void StartCalibration(char kind);
  void EndCalibration();
  bool Plausible(const RawPoint& average) const;
  void FinishCalibration();
  void Restart();

  TouchReportConfig config_;
  SensorModel sensor_;
  TouchSource touches_;

  ReportFormat format_;
  ReportMode mode_ = ReportMode::kStream;
  TouchKinds kinds_ = TouchKinds::kPenAndFinger;
  bool pollMode_ = false;
  bool pollExplicit_ = false;  // set through SetPollMode: no falling back to streaming
  int pendingPolls_ = 0;
  std::uint64_t pollMs_ = 0;      // when the oldest pending poll arrived
  std::uint64_t lastSentMs_ = 0;  // when the last report went out (poll pacing and hold)
  bool sentAny_ = false;
  bool quiet_ = false;
  bool resumed_ = false;  // quiet just ended: missed slots are skipped, not caught up
  bool restart_ = true;   // a command changed what is sent: schedules start at the next Advance
  std::uint64_t lastTimeMs_ = 0;

  std::map<int, Sent> hostTouching_;  // contacts the host believes down
  std::uint64_t nextSlotMs_ = 0;      // next report while the host sees a touch
  std::uint64_t cursorMs_ = 0;        // while nothing is down: looked at up to here
  std::uint64_t nextSignalMs_ = 0;
  std::uint8_t signalCounter_ = 0;

  std::shared_ptr<TouchFeed> feed_;
  bool multiTouchMode_ = false;
  std::optional<CalibrationRun> calibration_;
  std::vector<std::uint8_t> replies_;  // calibration progress replies waiting to go out
};

}  // namespace kx7::emu
