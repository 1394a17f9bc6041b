#include "params/block7_units.h"

#include <cmath>
#include <cstdio>

namespace kx7 {

namespace {

std::string Format(const char* pattern, double value) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

std::string Format(const char* pattern, std::uint32_t value) {
  char text[32];
  std::snprintf(text, sizeof text, pattern, static_cast<unsigned>(value));
  return text;
}

OptionalText Boxed(const char* pattern, std::optional<std::uint32_t> value) {
  if (!value) return std::nullopt;
  return Format(pattern, *value);
}

OptionalText Picofarads(std::optional<double> value) {
  if (!value) return std::nullopt;
  return Format("%2.0fpF", *value);
}

OptionalText Percent(std::optional<double> value) {
  if (!value) return std::nullopt;
  return Format("%0.2f%%", *value);
}

}  // namespace

std::string DriveFrequencyText(std::uint32_t value, std::uint32_t clock) {
  // 32-bit arithmetic: n of 0xFFFF with a clock is 0x10000, never 0.
  const std::uint32_t n = clock != 0 ? value + 1 : (value / 4) * 4 + 4;
  const std::uint32_t hertz = kFrequencyClock / n + kFrequencyOffset;
  return Format(" %1.0f Hz", static_cast<double>(hertz));
}

std::string FilterSecondsText(std::uint32_t value) {
  return Format("%0.2f", std::pow(2.0, static_cast<double>(value)) * kScanSeconds);
}

Block7Units ComputeBlock7Units(const Block7Table& table) {
  Block7Units units;
  const std::optional<std::uint32_t> k = table.Value32(eep::kThreshK);
  const std::optional<std::uint32_t> h = table.Value16(eep::kThreshHyst);
  const std::optional<std::uint32_t> p = table.Value32(eep::kPalmThreshK);
  const std::optional<std::uint32_t> ph = table.Value16(eep::kPalmThreshHyst);
  const std::optional<std::uint32_t> m = table.Value16(eep::kMinEffect);
  const std::optional<std::uint32_t> b = table.Value32(eep::kBodyK);
  const std::optional<std::uint32_t> f = table.Value16(eep::kConfigFlags);
  const std::optional<std::uint32_t> a = table.Value16(eep::kSteadyAlpha);
  const std::optional<std::uint32_t> u = table.Value16(eep::kAlphaFastUp);
  const std::optional<std::uint32_t> d = table.Value16(eep::kAlphaFastDown);
  const std::optional<std::uint32_t> t = table.Value32(eep::kSlowStrayTimeOut);
  const std::optional<std::uint32_t> n = table.Value16(eep::kAlphaMax);
  const std::optional<std::uint32_t> c = table.Value16(eep::kClock);
  const std::optional<std::uint32_t> fq = table.Value16(eep::kFreq);
  const std::optional<std::uint32_t> fp = table.Value16(eep::kFreqPen);
  const std::optional<std::uint32_t> o = table.Value16(eep::kScreenOrientation);
  const std::optional<std::uint32_t> v = table.Value16(eep::kSelfParamValid);

  const std::optional<double> touchPf =
      k ? std::optional<double>(static_cast<double>(*k) / kCountsPerPicofarad) : std::nullopt;
  const bool kUsable = k && *k != 0;

  units.touch.box = Boxed("%08X", k);
  units.touch.percent = "100%";
  units.touch.capacitance = Picofarads(touchPf);

  std::optional<double> liftoffPercent;
  if (h) liftoffPercent = static_cast<double>(*h) / kHysteresisScale * 100;
  units.liftoff.box = Boxed("%04X", h);
  units.liftoff.percent = Percent(liftoffPercent);
  if (touchPf && liftoffPercent) units.liftoff.capacitance = Picofarads(*touchPf * *liftoffPercent / 100);

  units.fastStray.box = Boxed("%08X", p);
  if (p && kUsable) units.fastStray.percent = Percent(static_cast<double>(*p) * 100 / static_cast<double>(*k));
  if (p) units.fastStray.capacitance = Picofarads(static_cast<double>(*p) / kCountsPerPicofarad);

  std::optional<double> slowPercent;
  if (ph && p && kUsable)
    slowPercent = static_cast<double>(*ph) / kHysteresisScale * static_cast<double>(*p) * 100 / static_cast<double>(*k);
  units.slowStray.box = Boxed("%04X", ph);
  units.slowStray.percent = Percent(slowPercent);
  if (touchPf && slowPercent) units.slowStray.capacitance = Picofarads(*touchPf * *slowPercent / 100);

  units.minEffect.box = Boxed("%04X", m);
  if (m) units.minEffect.percent = Percent(static_cast<double>(*m) / kHysteresisScale * 200);
  units.bodyK.box = Boxed("%08X", b);
  if (f) units.palmEnable = (*f & 0x80u) != 0;

  const auto filter = [](Block7Units::Filter& shown, std::optional<std::uint32_t> value) {
    shown.box = Boxed("%04X", value);
    if (value) shown.seconds = FilterSecondsText(*value);
  };
  filter(units.slowStrayFilter, a);
  filter(units.fastStrayUp, u);
  filter(units.fastStrayDown, d);
  units.strayDelay.box = Boxed("%08X", t);
  if (t) units.strayDelay.seconds = Format("%0.2f", static_cast<double>(*t) * kScanSeconds);
  units.noiseFilter.box = Boxed("%04x", n);
  if (n) units.noiseFilter.milliseconds = Format(" %1.0f ms", std::pow(2.0, static_cast<double>(*n)) * kScanMilliseconds);

  units.orientation = o;
  if (o && *o < 4) units.orientationText = kBlock7Orientations[*o];
  units.freq.box = Boxed("%04x", fq);
  units.penFreq.box = Boxed("%04x", fp);
  if (c && fq) units.freq.frequency = DriveFrequencyText(*fq, *c);
  if (c && fp) units.penFreq.frequency = DriveFrequencyText(*fp, *c);
  if (v) units.selfParamsValid = *v != 0;
  return units;
}

}  // namespace kx7
