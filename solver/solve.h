// One solver call in a context: the steps shared by TarvolinSolve and the
// flat CutOptimize call.
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

// Clears the problem tables and fills them from the call's groups: items
// expanded (their counts and groups also into plan), sorted and regrouped,
// the problem checked. Returns false after an error.
bool PrepareProblem(SolverState& st, const TarvolinProblem& problem, TarvolinPlan& plan);

// Reports a failure found before the call's steps could start (a null
// argument): the error box when showBoxes, then the number is returned.
int32_t ReportCallFailure(TarvolinContext& context, const TarvolinView* view, bool showBoxes,
                          int32_t number);

}  // namespace solver
