#include "params/block7_table.h"

#include <algorithm>
#include <utility>

namespace kx7 {

namespace {

// The named rows of the built-in lists, in table order.
constexpr std::pair<std::uint16_t, const char*> kNames[] = {
    {0x0000, "Config.Flags"},
    {0x0002, "ScreenType"},
    {0x0004, "ScreenMode"},
    {0x0006, "Clock"},
    {0x0008, "IF"},
    {0x000A, "Freq"},
    {0x000C, "FreqPen"},
    {0x000E, "FreqNoise"},
    {0x0010, "CornerBias"},
    {0x0012, "BPBias"},
    {0x0014, "StrayBias"},
    {0x0016, "CornerBiasPen"},
    {0x0018, "CornerBiasLPM"},
    {0x001A, "BPBiasLPM"},
    {0x001C, "DriveAmp"},
    {0x001E, "DriveAmpPen"},
    {0x0020, "DriveAmpLPM"},
    {0x0022, "WotEn"},
    {0x0024, "WotDrvEn"},
    {0x0026, "Config.AlgoFlags"},
    {0x0028, "UL"},
    {0x002A, "LL"},
    {0x002C, "LR"},
    {0x002E, "UR"},
    {0x0030, "Pen"},
    {0x0032, "Freq"},
    {0x0034, "FingerTime"},
    {0x0036, "PenTime"},
    {0x0038, "FingerAfterPen"},
    {0x003A, "ChangeModeDelay"},
    {0x003C, "FingerWait"},
    {0x003E, "Just.MinTch"},
    {0x0040, "Just.TimeOut"},
    {0x0042, "Just.NoiseInit"},
    {0x0044, "Just.NoiseThresh"},
    {0x0046, "Just.NoiseAlpha"},
    {0x0048, "Just.FirShift"},
    {0x004A, "Just.DeltaRThresh"},
    {0x004C, "Just.DeltaThetaThresh"},
    {0x004E, "Just.VelCountThresh"},
    {0x0050, "Config.Algo.SteadyAlpha"},
    {0x0052, "Mean"},
    {0x0054, "Error"},
    {0x0056, "Noise"},
    {0x0058, "AlphaMax"},
    {0x005A, "ThreshK"},
    {0x005E, "ThreshKCal"},
    {0x0062, "ThreshKPen"},
    {0x0066, "ThreshKPenCal"},
    {0x006A, "ThreshHyst"},
    {0x006C, "PhaseHyst"},
    {0x006E, "SteadyInitT"},
    {0x0070, "Cal.TchCount"},
    {0x0072, "Cal.Shift"},
    {0x0074, "Cal.Delay"},
    {0x0076, "Cal.Bound"},
    {0x0078, "Cal.Err4"},
    {0x007A, "MinNotTch"},
    {0x007C, "MinTchTime"},
    {0x007E, "Delay"},
    {0x0080, "NoTchTimeOut"},
    {0x0082, "TchTimeOut"},
    {0x0084, "Err2"},
    {0x0086, "FingStart"},
    {0x0088, "FingEnd"},
    {0x008A, "PenStart"},
    {0x008C, "PenEnd"},
    {0x008E, "ChangeTime"},
    {0x0090, "UnFltFactor"},
    {0x0092, "FltFactor"},
    {0x0094, "Alpha[3]"},
    {0x009A, "BetterFactor"},
    {0x009C, "X"},
    {0x009E, "Yll"},
    {0x00A0, "Xur"},
    {0x00A2, "Yur"},
    {0x00A4, "X"},
    {0x00A6, "Yll"},
    {0x00A8, "Xur"},
    {0x00AA, "Yur"},
    {0x00AC, "TouchBias"},
    {0x00AE, "MaxADCFrac"},
    {0x00B0, "MinADCFrac"},
    {0x00B2, "DriveAmpFrac"},
    {0x00B4, "CapMeasShift"},
    {0x00B6, "Not"},
    {0x00B8, "Delay"},
    {0x00BA, "PosEdgeThresh"},
    {0x00BC, "NegEdgeThresh"},
    {0x00BE, "Action"},
    {0x00C0, "MaxDCOffset"},
    {0x00C4, "ErrorMargin"},
    {0x00C8, "DriveLevel"},
    {0x00CA, "MaxCurrent"},
    {0x00CE, "MinCurrent"},
    {0x00D2, "LpTouchPeriod"},
    {0x00D4, "LPTouchDelay"},
    {0x00D6, "LPTouchConfig"},
    {0x00D8, "LPTouchCheck"},
    {0x00DA, "Pen"},
    {0x00DC, "Finger"},
    {0x00DE, "AlphaFastUp"},
    {0x00E0, "AlphaFastDown"},
    {0x00E2, "PalmThreshK"},
    {0x00E6, "PalmThreshHyst"},
    {0x00E8, "SlowStrayTimeOut"},
    {0x00EC, "BodyK"},
    {0x00F0, "MinEffect"},
    {0x0200, "ScreenOrientation"},
    {0x0202, "Coeff2.XOffset"},
    {0x0204, "Coeff2.XGain*2^13"},
    {0x0206, "Coeff2.YOffset"},
    {0x0208, "Coeff2.YGain*2^13"},
    {0x020A, "Coeff2Pen.XOffset"},
    {0x020C, "Coeff2Pen.XGain*2^13"},
    {0x020E, "Coeff2Pen.YOffset"},
    {0x0210, "Coeff2Pen.YGain*2^13"},
    {0x0212, "Coeff2Fix.XOffset"},
    {0x0214, "Coeff2Fix.XGain*2^13"},
    {0x0216, "Coeff2Fix.YOffset"},
    {0x0218, "Coeff2Fix.YGain*2^13"},
    {0x021A, "Coeff25[50]"},
    {0x0300, "SelfParam.ScaleFing[4]"},
    {0x0308, "SelfParam.ScalePen[4]"},
    {0x0310, "SelfParam.DriveAmp"},
    {0x0312, "AnalogCalc.DriveAmp"},
    {0x0314, "AnalogCalc.CornerBias"},
    {0x0316, "AnalogCalc.BPBias"},
    {0x0318, "AnalogCalc.StrayBias"},
    {0x031A, "Coeff4.b0"},
    {0x031C, "Coeff4.b1*2^14"},
    {0x031E, "Coeff4.b2*2^14"},
    {0x0320, "Coeff4.b3*2^28"},
    {0x0322, "Coeff4.c0"},
    {0x0324, "Coeff4.c1*2^14"},
    {0x0326, "Coeff4.c2*2^14"},
    {0x0328, "Coeff4.c3*2^28"},
    {0x032A, "Coeff4Pen.b0"},
    {0x032C, "Coeff4Pen.b1*2^14"},
    {0x032E, "Coeff4Pen.b2*2^14"},
    {0x0330, "Coeff4Pen.b3*2^28"},
    {0x0332, "Coeff4Pen.c0"},
    {0x0334, "Coeff4Pen.c1*2^14"},
    {0x0336, "Coeff4Pen.c2*2^14"},
    {0x0338, "Coeff4Pen.c3*2^28"},
    {0x033A, "TrigFing.ThreshToTch"},
    {0x033E, "TrigFing.ThreshToNot"},
    {0x0342, "TrigFing.PhaseMinToTch"},
    {0x0344, "TrigFing.PhaseMaxToTch"},
    {0x0346, "TrigFing.PhaseMinToNot"},
    {0x0348, "TrigFing.PhaseMaxToNot"},
    {0x034A, "TrigPen.ThreshToTch"},
    {0x034E, "TrigPen.ThreshToNot"},
    {0x0352, "TrigPen.PhaseMinToTch"},
    {0x0354, "TrigPen.PhaseMaxToTch"},
    {0x0356, "TrigPen.PhaseMinToNot"},
    {0x0358, "TrigPen.PhaseMaxToNot"},
    {0x035A, "StrayTrig.ThreshSlowStray"},
    {0x035E, "StrayTrig.ThreshFastStray"},
    {0x0362, "SelfParam.Valid"},
};

}  // namespace

std::string Block7Table::BuiltInName(std::uint16_t address) {
  for (const auto& [named, name] : kNames)
    if (named == address) return name;
  return {};
}

Block7Table::Block7Table() {
  rows_.reserve(eep::kMaxRows);
  for (const eep::Range& range : eep::kRanges)
    for (std::size_t i = 0; i < range.rows; ++i) {
      EepEntry entry;
      entry.address = static_cast<std::uint16_t>(range.first + i);
      entry.name = BuiltInName(entry.address);
      rows_.push_back(std::move(entry));
    }
}

std::optional<std::size_t> Block7Table::FindRow(std::uint16_t address) const {
  for (std::size_t row = 0; row < rows_.size(); ++row)
    if (rows_[row].address == address) return row;
  return std::nullopt;
}

std::optional<std::uint32_t> Block7Table::Value(std::uint16_t address, std::size_t bytes) const {
  const std::optional<std::size_t> row = FindRow(address);
  if (!row || *row + bytes > rows_.size()) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i) value = value << 8 | (rows_[*row + i].value & 0xFFu);
  return value;
}

bool Block7Table::SetValue(std::uint16_t address, std::size_t bytes, std::uint32_t value) {
  const std::optional<std::size_t> row = FindRow(address);
  if (!row || *row + bytes > rows_.size()) return false;
  for (std::size_t i = 0; i < bytes; ++i) {
    EepEntry& entry = rows_[*row + i];
    const auto byte = static_cast<std::uint16_t>((value >> (8 * (bytes - 1 - i))) & 0xFFu);
    if ((entry.value & 0xFFu) != byte) entry.pending = true;
    entry.value = byte;
  }
  return true;
}

bool Block7Table::AnyPending() const {
  return std::any_of(rows_.begin(), rows_.end(), [](const EepEntry& entry) { return entry.pending; });
}

}  // namespace kx7
