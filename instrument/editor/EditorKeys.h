#pragma once

#include "instrument/InstrumentKeys.h"

// The parameter names only the instrument's editor addresses, beside the instrument's own
// (InstrumentKeys.h). Plain constants: any thread.
namespace trov::keys {

inline constexpr char kShowInternalPage[] = "ShowInternalPage";
inline constexpr char kZoneAutoSelect[] = "ZoneAutoSelect";

} // namespace trov::keys
