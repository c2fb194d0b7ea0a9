// The solver's services: error reporter, millisecond clock and progress
// window logic. The window itself is drawn by the view the caller passes
// with the call (TarvolinView in tarvolin/solver.h); without one nothing is
// shown.
#pragma once

#include <cstdint>

namespace solver {

struct SolverState;

// Records the first error number of the call, shows the box with the
// number's message (tarvolin/errors.h) when error boxes are on, and closes
// the progress window.
void RaiseError(SolverState& st, int number);

// Monotonic milliseconds (steady clock).
double ClockMs();
// The clock of this state: ClockMs unless a test injected its own. All
// solver timing (call start, time limit, elapsed displays) reads this.
double NowMs(const SolverState& st);

// Progress window: opened when the call shows progress (progress mode 1 or more),
// closed when it exists.
void OpenProgressWindow(SolverState& st);
void CloseProgressWindow(SolverState& st);

// Progress of the whole optimization: after each evaluated candidate at a
// sub-level, and after each finished level.
void MultiProgressAdvance(SolverState& st, int subLevel);
void MultiProgressLevel(SolverState& st, int level);

// Progress of one search run: reset with the number of ticks expected, then
// one tick per unit of work (throttled; pumps window messages).
void ResetPackProgress(SolverState& st, int64_t expectedTicks);
void PackProgressTick(SolverState& st);

// A new best plan was found.
void ShowBestPlan(SolverState& st, double bestCriterion);

// Esc was pressed in the progress window since it was opened.
bool EscPressed(const SolverState& st);

}  // namespace solver
