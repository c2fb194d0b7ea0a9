// The cutting rules of the struct call's settings in the exact method's
// terms, and back: the one place where the two meet, for the struct call,
// the planner and the tools that run the search on an exact input.
#pragma once

#include <cstdint>

#include "exact.h"
#include "tarvolin/solver.h"

namespace solver::exact {

Rules RulesOf(const TarvolinSettings& settings);

// The exact method's time limit in milliseconds: the settings' limit, or
// the default when they leave it at 0.
int32_t ExactTimeLimitMs(const TarvolinSettings& settings);

// The search's settings that follow the same rules (everything the rules
// do not say stays 0).
TarvolinSettings SettingsOf(const Rules& rules);

}  // namespace solver::exact
