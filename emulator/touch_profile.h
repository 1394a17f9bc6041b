// How each family's touch side is made: how many contacts it numbers, whether it has the Z form,
// pens and the raw form, and which signal records "FR" streams.
#pragma once

#include "family_profile.h"
#include "touch_report_generator.h"

namespace kx7::emu {

// The touch configuration of a controller built from `family` (with its options applied).
// `ownTouches` false: no random stroke; touches come only from a script or a placed touch.
TouchReportConfig TouchConfigFor(const FamilyProfile& family, bool ownTouches);

}  // namespace kx7::emu
