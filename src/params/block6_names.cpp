#include "params/block6_names.h"

#include "controller/controller_families.h"
#include "controller/controller_types.h"

namespace kx7 {

namespace {

constexpr int kRowsRowanLarch = 16;
constexpr int kRowsOther = 12;
constexpr std::uint32_t kLarchModels123 =
    feature::kLarchModelSpruce | feature::kLarchModel2 | feature::kLarchModel3;

std::vector<std::string> RowanNames() {
  std::vector<std::string> names = {"CPT0CN reg", "CPT0MD reg", "CPT1CN reg", "CPT1MD reg", "suspend delay", "wot enable",
                                    "ccb"};
  names.resize(26);
  return names;
}

std::vector<std::string> Larch4Names() {
  std::vector<std::string> names = {"drive_freq_khz",
                                    "drive_pulses",
                                    "adcref_low",
                                    "adcref_high",
                                    "rx_detector_gain_(0=high_15=low)",
                                    "rx_offset_(0=less_7=more)",
                                    "rx_diff_gain_(0=high_7=low)",
                                    "rx_diff_gain_range_(0=high_1=low)",
                                    "data_t",
                                    "lsb_t",
                                    "mid_t",
                                    "msb_t",
                                    "adc_samp_t",
                                    "rx_delay_(16=zero)",
                                    "finger_limit",
                                    "stray_trend_threshold",
                                    "stray_trend_area_lsb",
                                    "stray_trend_area_msb",
                                    "stray_trend_duration_lsb",
                                    "stray_trend_duration_msb",
                                    "esd_pos_limit_lsb",
                                    "esd_pos_limit_msb",
                                    "esd_neg_limit_lsb",
                                    "esd_neg_limit_msb",
                                    "esd_skip_cnt",
                                    "vdrive_diag_index_(0=low_255=high)",
                                    "gain_diag_index_(0=low_15=high)",
                                    "testpoint_diag",
                                    "connections",
                                    "blobnodes",
                                    "radius",
                                    "speed",
                                    "duty_cycle(%)",
                                    "fall_acq(%)",
                                    "rise_acq(%)",
                                    "nudge_rxrrst",
                                    "nudge_rxrs",
                                    "nudge_rxrw",
                                    "nudge_rxfrst",
                                    "nudge_rxfs",
                                    "nudge_rxfw",
                                    "asic_clk_freq_(8,15,30)",
                                    "two_finger_gap",
                                    "alt_freq",
                                    "bad_bar_nodes",
                                    "bad_bar_threshold",
                                    "pen_lo_threshold",
                                    "palm_scan_threshold",
                                    "pen_td_threshold",
                                    "pen_hi_threshold",
                                    "pen_skip_count"};
  names.resize(64);
  return names;
}

std::vector<std::string> Larch123Names() {
  return {"pwm_period_lsb",
          "pwm_period_msb",
          "pwm_pulse_width_lsb",
          "pwm_pulse_width_msb",
          "pwm_pulses",
          "",
          "actual_limit",
          "declared_limit",
          "stray_trend_threshold",
          "stray_trend_area_lsb",
          "stray_trend_area_msb",
          "stray_trend_duration_lsb",
          "stray_trend_duration_msb",
          "esd_pos_limit_lsb",
          "esd_pos_limit_msb",
          "esd_neg_limit_lsb",
          "esd_neg_limit_msb",
          "esd_skip_cnt",
          "vdrive_diag",
          "gain_diag",
          "testpoint_diag",
          "connections",
          "blobnodes",
          "radius",
          "speed",
          ""};
}

std::vector<std::string> LarchNames() {
  std::vector<std::string> names = Larch123Names();
  names[5] = "adc_sample_time";
  names[18] = "vdrive_diag_lsb";
  names[19] = "vdrive_diag_msb";
  names[20] = "";
  return names;
}

std::vector<std::string> OtherNames() {
  return {"Control flags",        "", "Touch modes", "", "Async reports at power up", "", "Coord for null axis ", "",
          "Debug Mode",           "", "Coord Delay in Ticks", ""};
}

}  // namespace

Block6NameTable Block6NameTableFor(std::uint32_t type, std::uint32_t features) {
  if (IsRowanCedar(type)) return Block6NameTable::kRowan;
  if (IsLarchType(type)) {
    if ((features & feature::kLarchModelSequoia) != 0) return Block6NameTable::kLarch4;
    if ((features & kLarchModels123) != 0) return Block6NameTable::kLarch123;
    return Block6NameTable::kLarch;
  }
  return Block6NameTable::kOther;
}

std::vector<std::string> Block6Names(Block6NameTable table, std::size_t length) {
  std::vector<std::string> names;
  switch (table) {
    case Block6NameTable::kRowan:
      names = RowanNames();
      break;
    case Block6NameTable::kLarch4:
      names = Larch4Names();
      break;
    case Block6NameTable::kLarch123:
      names = Larch123Names();
      break;
    case Block6NameTable::kLarch:
      names = LarchNames();
      break;
    case Block6NameTable::kOther:
      names = OtherNames();
      break;
  }
  names.resize(length, ".");
  return names;
}

int Block6RowsShown(std::uint32_t type) {
  return IsRowanCedar(type) || IsLarchType(type) ? kRowsRowanLarch : kRowsOther;
}

}  // namespace kx7
