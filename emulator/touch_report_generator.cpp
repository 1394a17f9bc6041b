#include "touch_report_generator.h"

#include <algorithm>
#include <cmath>

namespace kx7::emu {

namespace {

constexpr int kMaxPendingPolls = 16;

SensorConfig WithSeed(SensorConfig sensor, std::uint32_t seed) {
  sensor.seed = seed;
  return sensor;
}

void AppendReply(std::vector<std::uint8_t>& out, char status) {
  out.push_back(0x01);
  out.push_back(static_cast<std::uint8_t>(status));
  out.push_back(0x0D);
}

}  // namespace

TouchReportGenerator::TouchReportGenerator(const TouchReportConfig& config)
    : config_(config),
      sensor_(WithSeed(config.sensor, config.seed)),
      touches_(std::max(1, config.contacts), config.seed + 1),
      format_(ReportFormat::kTablet) {
  config_.contacts = std::max(1, config_.contacts);
  config_.reportIntervalMs = std::max<std::uint32_t>(1, config_.reportIntervalMs);
  config_.signalIntervalMs = std::max<std::uint32_t>(1, config_.signalIntervalMs);
  if (!SetFormat(config_.powerOnFormat)) config_.powerOnFormat = ReportFormat::kTablet;
  format_ = config_.powerOnFormat;
  if (!config_.autoStroke) touches_.SetNone();
}

bool TouchReportGenerator::SetFormat(ReportFormat format) {
  if (format == ReportFormat::kRaw && !config_.supportsRaw) return false;
  if ((format == ReportFormat::kSignals || format == ReportFormat::kSignalsCompensated) &&
      config_.signals == SignalFormat::kNone) {
    return false;
  }
  if (calibration_) EndCalibration();
  format_ = format;
  restart_ = true;
  return true;
}

bool TouchReportGenerator::SetMode(ReportMode mode) {
  if (mode == ReportMode::kZ && !config_.supportsZ) return false;
  mode_ = mode;
  restart_ = true;
  return true;
}

void TouchReportGenerator::SetPollMode(bool on) {
  pollMode_ = on;
  pollExplicit_ = on;
  if (!on) pendingPolls_ = 0;
  restart_ = true;
}

CommandResult TouchReportGenerator::OnCommand(const std::string& command) {
  auto format = [&](ReportFormat f) { return SetFormat(f) ? CommandResult::kAck : CommandResult::kRefuse; };
  auto mode = [&](ReportMode m) { return SetMode(m) ? CommandResult::kAck : CommandResult::kRefuse; };
  auto kinds = [&](TouchKinds k, bool needsPen) {
    if (needsPen && !config_.supportsPen) return CommandResult::kRefuse;
    kinds_ = k;
    return CommandResult::kAck;
  };
  auto calibrate = [&](char kind) {
    StartCalibration(kind);
    return CommandResult::kAck;
  };

  if (command == "FT" || command == "TL1" || command == "TL3") return format(ReportFormat::kTablet);
  if (command == "FD") return format(ReportFormat::kAsciiDecimal);
  if (command == "FH") return format(ReportFormat::kAsciiHex);
  if (command == "CR") return format(ReportFormat::kRaw);
  if (command == "FR") return format(ReportFormat::kSignals);
  if (command == "FRD") return format(ReportFormat::kSignalsCompensated);
  // "MT" is what the host sends when it sees a report it takes for a controller that is not
  // streaming; streaming is the answer to that.
  if (command == "MT") multiTouchMode_ = true;
  if (command == "MS" || command == "MT") return mode(ReportMode::kStream);
  if (command == "MZ") return mode(ReportMode::kZ);
  if (command == "PO") return kinds(TouchKinds::kPenOnly, true);
  if (command == "PF") return kinds(TouchKinds::kPenAndFinger, true);
  // Finger-only is what a finger controller does anyway, so every family takes it.
  if (command == "FO") return kinds(TouchKinds::kFingerOnly, false);
  if (command == "CX") return calibrate('X');
  if (command == "C3") return calibrate('3');
  if (command == "CN") return calibrate('N');
  return CommandResult::kNotMine;
}

void TouchReportGenerator::OnPollByte(std::uint64_t nowMs) {
  lastTimeMs_ = std::max(lastTimeMs_, nowMs);
  if (calibration_ || !TouchFormat()) return;
  pollMode_ = true;
  if (pendingPolls_ == 0) pollMs_ = nowMs;
  pendingPolls_ = std::min(pendingPolls_ + 1, kMaxPendingPolls);
}

void TouchReportGenerator::Reset(std::uint64_t nowMs) {
  lastTimeMs_ = std::max(lastTimeMs_, nowMs);
  if (calibration_) {
    calibration_.reset();
    if (touches_.Source() == TouchSource::Kind::kRandomStroke) touches_.SetAutoTarget(std::nullopt, nowMs);
  }
  format_ = config_.powerOnFormat;
  mode_ = ReportMode::kStream;
  kinds_ = TouchKinds::kPenAndFinger;
  pollMode_ = pollExplicit_ = false;
  multiTouchMode_ = false;
  pendingPolls_ = 0;
  hostTouching_.clear();
  replies_.clear();
  restart_ = true;
}

void TouchReportGenerator::SetQuiet(bool quiet) {
  if (quiet) {
    quiet_ = true;
  } else if (quiet_) {
    quiet_ = false;
    resumed_ = true;
  }
}

bool TouchReportGenerator::TouchFormat() const {
  return format_ == ReportFormat::kTablet || format_ == ReportFormat::kAsciiDecimal ||
         format_ == ReportFormat::kAsciiHex || format_ == ReportFormat::kCompact;
}

std::vector<Contact> TouchReportGenerator::Filtered(std::uint64_t nowMs) const {
  std::vector<Contact> contacts = touches_.At(nowMs);
  for (Contact& c : contacts) {
    if (!config_.supportsPen) c.pen = false;
  }
  std::erase_if(contacts, [&](const Contact& c) {
    return (kinds_ == TouchKinds::kPenOnly && !c.pen) || (kinds_ == TouchKinds::kFingerOnly && c.pen);
  });
  // Only the binary tablet form of a multi-touch controller numbers its contacts; every other
  // form carries one touch.
  const bool numbered = format_ == ReportFormat::kTablet && config_.contacts > 1;
  if (!numbered && contacts.size() > 1) contacts.resize(1);
  return contacts;
}

void TouchReportGenerator::AppendReport(std::vector<std::uint8_t>& out, int id, const Sent& s, bool touching,
                                        bool first) {
  const int x = s.point.x, y = s.point.y;
  switch (format_) {
    case ReportFormat::kTablet: {
      const TabletStatus status{touching, s.button, s.pen};
      if (config_.contacts > 1) {
        AppendTabletContact(out, status, x, y, id);
      } else if (mode_ == ReportMode::kZ) {
        AppendTabletZ(out, status, x, y, static_cast<int>(std::lround(s.pressure * 255)));
      } else {
        AppendTablet(out, status, x, y);
      }
      break;
    }
    case ReportFormat::kAsciiDecimal:
    case ReportFormat::kAsciiHex: {
      const bool hex = format_ == ReportFormat::kAsciiHex;
      std::uint8_t status = !touching ? kAsciiLiftOff : first ? kAsciiTouchDown : kAsciiTouching;
      // A multi-contact controller that is not in multi-touch mode asks for it this way.
      if (config_.contacts > 1 && !multiTouchMode_) status = kAsciiModeRequest;
      auto scale = [&](int v) { return hex ? v >> 4 : static_cast<int>(std::lround(v * 999.0 / 16383)); };
      AppendAscii(out, status, scale(x), scale(y), hex);
      break;
    }
    case ReportFormat::kCompact: {
      // The host takes the arming byte only once per touch: it is disarmed again by the lift-off.
      if (touching && first) AppendCompact(out, kCompactArm, 0, 0);
      const std::uint8_t status = !touching ? kAsciiLiftOff : first ? kAsciiTouchDown : kAsciiTouching;
      AppendCompact(out, status, x >> 4, y >> 4);
      break;
    }
    case ReportFormat::kRaw:
      AppendRawSigned(out, touching, static_cast<int>(std::lround(s.raw.x * 8)),
                      static_cast<int>(std::lround(s.raw.y * 8)));
      break;
    case ReportFormat::kSignals:
    case ReportFormat::kSignalsCompensated:
      break;
  }
}

bool TouchReportGenerator::Frame(std::uint64_t t, std::vector<std::uint8_t>& out, bool force) {
  const std::vector<Contact> contacts = Filtered(t);
  std::map<int, Sent> now;
  bool sent = false;
  for (const Contact& c : contacts) {
    Sent s;
    s.raw = sensor_.Raw(c.point);  // one noise draw gives both the raw and the calibrated value
    s.point = sensor_.Calibrate(s.raw);
    s.pressure = c.pressure;
    s.pen = c.pen;
    s.button = c.button;
    const bool first = hostTouching_.find(c.id) == hostTouching_.end();
    // Raw reports feed the host's sampling: they stream whatever the mode.
    if (first || force || mode_ != ReportMode::kDownUp || format_ == ReportFormat::kRaw) {
      AppendReport(out, c.id, s, true, first);
      sent = true;
    }
    now[c.id] = s;
  }
  for (const auto& [id, s] : hostTouching_) {
    if (now.find(id) != now.end()) continue;
    AppendReport(out, id, s, false, false);  // lift-off, where the touch was last seen
    sent = true;
  }
  hostTouching_ = std::move(now);
  if (sent) {
    lastSentMs_ = t;
    sentAny_ = true;
  }
  return sent;
}

void TouchReportGenerator::StreamAdvance(std::uint64_t nowMs, std::vector<std::uint8_t>& out) {
  const std::uint64_t interval = config_.reportIntervalMs;
  for (;;) {
    std::uint64_t t;
    if (!hostTouching_.empty()) {
      t = nextSlotMs_;
      if (t > nowMs) break;
    } else {
      t = touches_.NextTouchMs(cursorMs_);
      if (t == kNever || t > nowMs) {
        cursorMs_ = std::max(cursorMs_, nowMs);
        break;
      }
    }
    Frame(t, out, false);
    // While touched the reports keep the interval from the touch-down; a touch that the filter
    // hides is looked at again one interval later.
    if (!hostTouching_.empty()) {
      nextSlotMs_ = t + interval;
    } else {
      cursorMs_ = Filtered(t).empty() && touches_.At(t).empty() ? t + 1 : t + interval;
    }
  }
}

std::uint64_t TouchReportGenerator::PollAnswerMs() const {
  std::uint64_t t = pollMs_;
  if (sentAny_) t = std::max(t, lastSentMs_ + config_.reportIntervalMs);
  // Nothing to say: the poll waits for the next touch. Only the compact form has a "nothing" answer.
  if (hostTouching_.empty() && format_ != ReportFormat::kCompact) t = touches_.NextTouchMs(t);
  return t;
}

void TouchReportGenerator::PollAdvance(std::uint64_t nowMs, std::vector<std::uint8_t>& out) {
  while (pendingPolls_ > 0) {
    const std::uint64_t t = PollAnswerMs();
    if (t == kNever || t > nowMs) break;
    bool sent = Frame(t, out, true);
    if (!sent && format_ == ReportFormat::kCompact) {
      AppendCompact(out, kCompactArm, 0, 0);
      lastSentMs_ = t;
      sentAny_ = sent = true;
    }
    if (sent) {
      --pendingPolls_;
      pollMs_ = t;
    } else {
      pollMs_ = t + config_.reportIntervalMs;  // touched, but not by what this controller reports
    }
  }
  // The host stopped polling: back to streaming from where the hold ran out.
  const std::uint64_t holdEnd = lastSentMs_ + kPollHoldMs;
  if (!pollExplicit_ && pendingPolls_ == 0 && holdEnd <= nowMs) {
    pollMode_ = false;
    nextSlotMs_ = cursorMs_ = holdEnd;
    StreamAdvance(nowMs, out);
  }
}

void TouchReportGenerator::SignalAdvance(std::uint64_t nowMs, std::vector<std::uint8_t>& out) {
  const bool compensated = format_ == ReportFormat::kSignalsCompensated;
  while (nextSignalMs_ <= nowMs) {
    const std::vector<Contact> contacts = Filtered(nextSignalMs_);
    std::optional<ScreenPoint> touch;
    if (!contacts.empty()) touch = contacts[0].point;
    switch (config_.signals) {
      case SignalFormat::kFourChannel: {
        auto v = sensor_.Channels(touch);
        if (compensated) {
          for (int& c : v) c = std::max(0, c - SensorModel::kChannelIdle);
        }
        AppendFourChannel(out, v);
        break;
      }
      case SignalFormat::kCorner10: {
        auto v = sensor_.Corner10(touch);
        if (compensated) {
          for (int c = 0; c < 4; ++c) v[c] = std::max(0, v[c] - sensor_.Corner10Baseline()[c]);
        }
        AppendCorner10(out, v);
        break;
      }
      case SignalFormat::kCornerIq: {
        CornerIq iq = sensor_.Iq(touch);
        if (compensated) {
          for (int c = 0; c < 4; ++c) {
            iq.i[c] -= sensor_.StrayIq().i[c];
            iq.q[c] -= sensor_.StrayIq().q[c];
          }
        }
        AppendCornerIq(out, iq.i, iq.q, signalCounter_++);
        break;
      }
      case SignalFormat::kNone:
        break;
    }
    nextSignalMs_ += config_.signalIntervalMs;
  }
}

void TouchReportGenerator::OnBlock(int number, const std::vector<std::uint8_t>& bytes) {
  constexpr int kCorrectionBlock = 2;
  constexpr std::size_t kCorrectionBytes = 50;
  if (number != kCorrectionBlock || bytes.size() < kCorrectionBytes) return;
  Calibration c = sensor_.GetCalibration();
  CorrectionTable table;
  bool any = false;
  for (std::size_t i = 0; i < kCorrectionBytes; ++i) {
    table.bytes[i] = static_cast<std::int8_t>(bytes[i]);
    any = any || bytes[i] != 0;
  }
  // A zero table corrects nothing: the controller then reports its normalised values as they are.
  c.correction = any ? std::optional<CorrectionTable>(table) : std::nullopt;
  sensor_.SetCalibration(c);
}

void TouchReportGenerator::StartCalibration(char kind) {
  if (calibration_) EndCalibration();
  CalibrationRun run;
  run.kind = kind;
  if (kind == 'N') {
    // Corner marks sit a few pixels inside the corners; the corners are what they stand for.
    run.touchAt = {{4, 2043}, {2043, 4}};
    run.stands = {{0, 2047}, {2047, 0}};
  } else {
    run.stands = {{256, 1792}, {1792, 256}};
    if (kind == '3') run.stands.push_back({256, 256});
    run.touchAt = run.stands;
  }
  calibration_ = run;
  hostTouching_.clear();
  restart_ = true;
}

void TouchReportGenerator::EndCalibration() {
  calibration_.reset();
  if (touches_.Source() == TouchSource::Kind::kRandomStroke) touches_.SetAutoTarget(std::nullopt, lastTimeMs_);
  hostTouching_.clear();
  restart_ = true;
}

bool TouchReportGenerator::Plausible(const RawPoint& a) const {
  const CalibrationRun& run = *calibration_;
  for (std::size_t k = 0; k < run.averages.size(); ++k) {
    const double dx = std::abs(a.x - run.averages[k].x), dy = std::abs(a.y - run.averages[k].y);
    // The first two targets are diagonal: apart on both axes. A third shares one axis with each.
    const double apart = run.averages.size() == 1 ? std::min(dx, dy) : std::max(dx, dy);
    if (apart < kCalibrationSpread) return false;
  }
  return true;
}

void TouchReportGenerator::CalibrationAdvance(std::uint64_t nowMs) {
  CalibrationRun& run = *calibration_;
  const bool auto_ = touches_.Source() == TouchSource::Kind::kRandomStroke;
  if (!run.aimed) {
    run.aimed = true;
    run.nextSampleMs = nowMs;
    if (auto_) touches_.SetAutoTarget(run.touchAt[0], nowMs);
  }
  for (;;) {
    std::uint64_t t = run.nextSampleMs;
    if (!run.touching) t = touches_.NextTouchMs(t);
    if (t == kNever || t > nowMs) break;
    const std::vector<Contact> contacts = Filtered(t);
    if (!contacts.empty()) {
      const RawPoint raw = sensor_.Raw(contacts[0].point);
      run.sumX += raw.x;
      run.sumY += raw.y;
      ++run.samples;
      run.touching = true;
      run.nextSampleMs = t + config_.reportIntervalMs;
      continue;
    }
    if (!run.touching) {
      run.nextSampleMs = t + config_.reportIntervalMs;  // a touch of a kind this controller ignores
      continue;
    }
    // Lift-off: the target is done, or touched again.
    const RawPoint average{run.sumX / std::max(1, run.samples), run.sumY / std::max(1, run.samples)};
    const bool accepted = run.samples >= kCalibrationSamples && Plausible(average);
    run.touching = false;
    run.samples = 0;
    run.sumX = run.sumY = 0;
    run.nextSampleMs = t + 1;
    if (!accepted) {
      AppendReply(replies_, '2');
      continue;
    }
    run.averages.push_back(average);
    if (run.averages.size() == run.stands.size()) {
      FinishCalibration();
      AppendReply(replies_, '1');
      lastTimeMs_ = std::max(lastTimeMs_, t);
      EndCalibration();
      return;
    }
    AppendReply(replies_, '1');
    if (auto_) touches_.SetAutoTarget(run.touchAt[run.averages.size()], t);
  }
}

void TouchReportGenerator::FinishCalibration() {
  const CalibrationRun& run = *calibration_;
  Calibration c = sensor_.GetCalibration();
  const RawPoint& r0 = run.averages[0];
  const RawPoint& r1 = run.averages[1];
  // Two diagonal targets cannot tell a swapped sensor from a flipped one: the controller keeps the
  // swap it has. The third target of "C3" lies above the first, so whichever raw axis moved most
  // between them runs up the screen.
  bool swap = c.orientation.swapXY;
  if (run.kind == '3') {
    const RawPoint& r2 = run.averages[2];
    swap = std::abs(r2.x - r0.x) > std::abs(r2.y - r0.y);
  }
  // Screen-up values of the targets and the raw axis that feeds each.
  const double u0 = run.stands[0].x, u1 = run.stands[1].x;
  const double v0 = 2047 - run.stands[0].y, v1 = 2047 - run.stands[1].y;
  const double a0 = swap ? r0.y : r0.x, a1 = swap ? r1.y : r1.x;
  const double b0 = swap ? r0.x : r0.y, b1 = swap ? r1.x : r1.y;
  const bool flipX = (a1 - a0) * (u1 - u0) < 0;
  const bool flipY = (b1 - b0) * (v1 - v0) < 0;
  const double na0 = flipX ? 2047 - u0 : u0, na1 = flipX ? 2047 - u1 : u1;
  const double nb0 = flipY ? 2047 - v0 : v0, nb1 = flipY ? 2047 - v1 : v1;
  // Wanted normalised values per raw axis, corrected.
  const double wantX[2] = {swap ? nb0 : na0, swap ? nb1 : na1};
  const double wantY[2] = {swap ? na0 : nb0, swap ? na1 : nb1};
  c.orientation = {swap, flipX, flipY};

  auto solve = [](double raw0, double raw1, double n0, double n1, double& low, double& high) {
    const double slope = (raw1 - raw0) / (n1 - n0);
    low = raw0 - n0 * slope;
    high = low + 2047 * slope;
  };
  // The correction table is applied after normalising, so the extents are found by aiming the
  // uncorrected values at the wanted ones plus the correction there; a few rounds settle it.
  double aimX[2] = {wantX[0], wantX[1]}, aimY[2] = {wantY[0], wantY[1]};
  for (int round = 0; round < 8; ++round) {
    solve(r0.x, r1.x, aimX[0], aimX[1], c.xLow, c.xHigh);
    solve(r0.y, r1.y, aimY[0], aimY[1], c.yLow, c.yHigh);
    if (!c.correction) break;
    for (int k = 0; k < 2; ++k) {
      const RawPoint& r = k == 0 ? r0 : r1;
      const double nx = (r.x - c.xLow) * 2047 / (c.xHigh - c.xLow);
      const double ny = (r.y - c.yLow) * 2047 / (c.yHigh - c.yLow);
      const auto corr = c.correction->At(nx, ny);
      aimX[k] = wantX[k] + std::trunc(corr[0]);
      aimY[k] = wantY[k] + std::trunc(corr[1]);
    }
  }
  sensor_.SetCalibration(c);
}

void TouchReportGenerator::Advance(std::uint64_t nowMs, std::vector<std::uint8_t>& out) {
  lastTimeMs_ = std::max(lastTimeMs_, nowMs);
  if (feed_)
    for (const FeedEvent& event : feed_->Take()) ApplyFeedEvent(touches_, event, nowMs);
  if (quiet_) return;
  if (restart_) {
    restart_ = false;
    nextSlotMs_ = cursorMs_ = nextSignalMs_ = nowMs;
  }
  if (resumed_) {
    // What fell due while the controller was answering a command is not sent late in a burst.
    resumed_ = false;
    nextSlotMs_ = std::max(nextSlotMs_, nowMs);
    cursorMs_ = std::max(cursorMs_, nowMs);
    nextSignalMs_ = std::max(nextSignalMs_, nowMs);
    if (calibration_) calibration_->nextSampleMs = std::max(calibration_->nextSampleMs, nowMs);
  }
  if (calibration_) {
    // Even when the run ends here the reports wait for the next Advance: their schedules start
    // afresh there rather than catching up from before the run.
    CalibrationAdvance(nowMs);
    out.insert(out.end(), replies_.begin(), replies_.end());
    replies_.clear();
    return;
  }
  out.insert(out.end(), replies_.begin(), replies_.end());
  replies_.clear();
  if (format_ == ReportFormat::kSignals || format_ == ReportFormat::kSignalsCompensated) {
    SignalAdvance(nowMs, out);
  } else if (pollMode_ && TouchFormat()) {
    PollAdvance(nowMs, out);
  } else {
    StreamAdvance(nowMs, out);
  }
}

std::uint64_t TouchReportGenerator::NextEventMs() const {
  const std::uint64_t next = NextReportMs();
  return feed_ ? std::min(next, lastTimeMs_ + kFeedPollMs) : next;
}

std::uint64_t TouchReportGenerator::NextReportMs() const {
  if (quiet_) return kNever;
  if (restart_ || resumed_ || !replies_.empty()) return lastTimeMs_;
  if (calibration_) {
    const CalibrationRun& run = *calibration_;
    if (!run.aimed) return lastTimeMs_;
    return run.touching ? run.nextSampleMs : touches_.NextTouchMs(run.nextSampleMs);
  }
  if (format_ == ReportFormat::kSignals || format_ == ReportFormat::kSignalsCompensated) return nextSignalMs_;
  if (pollMode_ && TouchFormat()) {
    if (pendingPolls_ > 0) return PollAnswerMs();
    return pollExplicit_ ? kNever : lastSentMs_ + kPollHoldMs;
  }
  return hostTouching_.empty() ? touches_.NextTouchMs(cursorMs_) : nextSlotMs_;
}

}  // namespace kx7::emu
