// One solver call in a context: the steps shared by TarvolinSolve and the
// flat CutOptimize call. The call dispatches to the methods (the layout
// search, the exact method in exact/exact_call.h); they do not call back.
#pragma once

#include <cstdint>

#include "prepare.h"
#include "tarvolin/solver.h"

namespace solver {

// Runs the call's steps: settings, groups, progress window, expansion,
// problem check, optimization, results. Returns 0 or the first error
// number; never throws. mismatch carries the flat call's count faults.
int32_t SolveInContext(TarvolinContext& context, const TarvolinSettings& settings,
                       const TarvolinProblem& problem, const TarvolinView* view, TarvolinPlan& plan,
                       ArrayCountMismatch mismatch = {});

// Reports a failure found before the call's steps could start (a null
// argument): the error box when showBoxes, then the number is returned.
int32_t ReportCallFailure(TarvolinContext& context, const TarvolinView* view, bool showBoxes,
                          int32_t number);

}  // namespace solver
