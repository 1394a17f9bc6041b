#include "app/options_sheet.h"

#include <cctype>
#include <charconv>

namespace kx7 {

namespace {

using K = OptionControlKind;
using B = OptionsBlock;

}  // namespace

const std::vector<OptionsPage>& OptionsPages() {
  static const std::vector<OptionsPage> pages = {
      {"COptions1",
       "General",
       149,
       {
           {"Find Controller on Launch", K::kCheck, false, &B::FindOnLaunch, {}},
           {"Add linefeeds to log file text for readability", K::kCheck, false, &B::LogLinefeeds, {}},
           {"KX7SDU classic toolbar", K::kCheck, true, &B::ClassicToolbar, {}},
           {"Asymtek toolbar", K::kCheck, true, &B::AsymtekToolbar, {}},
           {"No USB Thread ( this option is not  for normal  operation)", K::kCheck, true, &B::NoUsbThread, {}},
           {"Haptic Multitouch  Demo", K::kCheck, true, &B::HapticDemo, {}},
           {"Development toolbar", K::kCheck, true, &B::DevelopmentToolbar, {}},
           {"Multigraph DialogBar", K::kCheck, true, &B::MultigraphBar, {}},
           {"Confirm on Close", K::kCheck, true, &B::ConfirmOnClose, {}},
       }},
      {"COptions2",
       "Terminal",
       150,
       {
           {"Keep Terminal Open when Scope opens", K::kCheck, false, &B::KeepTerminalWithScope, {}},
           {"Line wrap on CR (Hex Dump) or Point", K::kCheck, false, &B::WrapOnCR, {}},
           {"Line wrap on Bit7 Set (Hex Dump))", K::kCheck, false, &B::WrapOnBit7, {}},
           {"Full Birch2 XY Resolution", K::kCheck, false, &B::FullBirch2Resolution, {}},
           {"Time Display",
            K::kList,
            false,
            &B::TimeDisplay,
            {"Off", "Absolute millisecs", "Relative millisecs", "Time and Date"}},
           {"Force Caps in Terminal Window", K::kCheck, true, &B::ForceCaps, {}},
           {"Loopback Sent Chars", K::kCheck, true, &B::LoopbackSentChars, {}},
           {"Full Duplex", K::kCheck, true, &B::FullDuplex, {}},
           {"Show Liftoffs Only", K::kCheck, true, &B::ShowLiftoffsOnly, {}},
       }},
      {"COptions3",
       "Draw",
       151,
       {
           {"Show Grid", K::kCheck, false, &B::ShowGrid, {}},
           {"Show 25pt Targets", K::kCheck, false, &B::Show25ptTargets, {}},
           {"Draw Dots", K::kCheck, false, &B::DrawDots, {}},
           {"Show Cursor", K::kCheck, false, &B::ShowCursor, {}},
           {"Show", K::kCheck, false, &B::Show16ptTargets, {}},
           {"Ext. Targets", K::kCheck, false, &B::ExtTargets, {}},
           {"Marker Style",
            K::kList,
            true,
            &B::TouchMarkerStyle,
            {"1% Ellipse", "1%  Rect.", "Adj. Ellipse", "Adj. Rect."}},
           {"Track Mouse", K::kCheck, true, &B::TrackMouse, {}},
           {"Grid Style", K::kList, true, &B::GridMode, {"Normal 8x8", "Horz Bar", "Vert Bar"}},
           {"Show Limit Lines", K::kCheck, true, &B::ShowLimitLines, {}},
           {"High", K::kNumber, true, &B::ZHigh, {}},
           {"Low", K::kNumber, true, &B::ZLow, {}},
           {"Max Size", K::kNumber, true, &B::ZMaxSize, {}},
           {"Show Z", K::kCheck, true, &B::ShowZ, {}},
           {"Show 25% Diagonals", K::kCheck, true, &B::Show25Diagonals, {}},
           {"PCT Clear", K::kCheck, true, &B::PctClear, {}},
       }},
  };
  return pages;
}

std::optional<int> ReadOptionInteger(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (begin < end && text[begin] == '+') ++begin;
  if (begin == end) return std::nullopt;
  int value = 0;
  const auto [stop, error] = std::from_chars(text.data() + begin, text.data() + end, value);
  if (error != std::errc() || stop != text.data() + end) return std::nullopt;
  return value;
}

COptionsSheet::COptionsSheet(const OptionsBlock& current, UiHost& ui,
                             std::function<void(const OptionsBlock&, bool)> apply)
    : copy_(current), ui_(ui), apply_(std::move(apply)) {
  states_.resize(PageCount());
  modified_.assign(PageCount(), false);
  for (std::size_t page = 0; page < PageCount(); ++page) Load(page);
}

void COptionsSheet::Load(std::size_t page) {
  const std::vector<OptionControl>& controls = Page(page).controls;
  states_[page].assign(controls.size(), ControlState{});
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const int value = copy_.*controls[i].field;
    states_[page][i].value = value;
    states_[page][i].text = std::to_string(value);
  }
}

bool COptionsSheet::Store(std::size_t page, bool markModified) {
  const std::vector<OptionControl>& controls = Page(page).controls;
  OptionsBlock stored = copy_;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlState& state = states_[page][i];
    int value = state.value;
    if (controls[i].kind == OptionControlKind::kNumber) {
      const std::optional<int> number = ReadOptionInteger(state.text);
      if (!number) {
        ui_.MessageBox(kEnterIntegerText, "KX7SDU", MessageButtons::kOk, MessageIcon::kWarning);
        return false;
      }
      value = *number;
    }
    stored.*controls[i].field = value;
  }
  copy_ = stored;
  if (markModified) modified_[page] = true;
  return true;
}

int COptionsSheet::Value(std::size_t page, std::size_t control) const { return states_.at(page).at(control).value; }

const std::string& COptionsSheet::Text(std::size_t page, std::size_t control) const {
  return states_.at(page).at(control).text;
}

bool COptionsSheet::SetValue(std::size_t page, std::size_t control, int value) {
  const OptionControl& c = Page(page).controls.at(control);
  if (c.kind == OptionControlKind::kCheck) value = value ? 1 : 0;
  if (c.kind == OptionControlKind::kList && (value < 0 || static_cast<std::size_t>(value) >= c.items.size()))
    return false;
  ControlState& state = states_.at(page).at(control);
  state.value = value;
  state.text = std::to_string(value);
  active_ = page;
  return Store(page);
}

bool COptionsSheet::SetText(std::size_t page, std::size_t control, const std::string& text) {
  states_.at(page).at(control).text = text;
  active_ = page;
  return Store(page);
}

bool COptionsSheet::Enter() { return Store(active_); }

bool COptionsSheet::ApplyEnabled() const {
  for (const bool modified : modified_)
    if (modified) return true;
  return false;
}

bool COptionsSheet::Apply() {
  if (!Store(active_)) return false;
  if (apply_) apply_(copy_, false);
  modified_.assign(PageCount(), false);
  return true;
}

bool COptionsSheet::OnOk() {
  // The page on screen is read first; a field that is not a number keeps the sheet open.
  if (!Store(active_, false)) return false;
  if (ApplyEnabled() && apply_) apply_(copy_, true);
  modified_.assign(PageCount(), false);
  return true;
}

std::optional<std::pair<std::size_t, std::size_t>> COptionsSheet::Find(const std::string& label) const {
  for (std::size_t page = 0; page < PageCount(); ++page)
    for (std::size_t i = 0; i < Page(page).controls.size(); ++i)
      if (label == Page(page).controls[i].label) return std::make_pair(page, i);
  return std::nullopt;
}

}  // namespace kx7
