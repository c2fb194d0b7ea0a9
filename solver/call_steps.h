// The steps of a call that its methods share, below the call's dispatch:
// preparing the problem tables and the layout search's run on them. The
// call (solve.cpp) and the exact method's part of it (exact/exact_call.cpp)
// both use them; neither calls back into the other.
#pragma once

#include "solver_state.h"
#include "tarvolin/solver.h"

namespace solver {

// Clears the problem tables and fills them from the call's groups: items
// expanded (their counts and groups also into plan), sorted and regrouped,
// the problem checked. Returns false after an error.
bool PrepareProblem(SolverState& st, const TarvolinProblem& problem, TarvolinPlan& plan);

// The layout search on the prepared problem, its plan written into plan.
// Returns false after an error (nothing written then).
bool SearchAndWrite(SolverState& st, TarvolinPlan& plan);

}  // namespace solver
