// Fixed texts and names of the application shell.
#pragma once

namespace kx7 {

// The settings record, relative to the current folder at start.
inline constexpr char kSettingsFileName[] = "kx7sdua.ini";

// Status pane text after a short or corrupt settings record was read.
inline constexpr char kTextSettingsDamaged[] = "Settings file damaged; defaults used";

}  // namespace kx7
