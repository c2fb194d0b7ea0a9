// The exact method inside the struct call: after the search has written its
// plan, the exact method starts from it and replaces it when it finds a
// better one; or only the lower bound is added to the search's plan.
#pragma once

#include "tarvolin/solver.h"

namespace solver {

struct SolverState;

// True when the settings ask for the exact method and this build lacks it.
bool ExactMissing(const TarvolinSettings& settings);

// Runs after WriteResults: with method 1 (and no bundle) improves the plan
// and fills its bound figures; with computeBound fills the bound alone.
void AddExactFigures(SolverState& st, const TarvolinSettings& settings,
                     const TarvolinProblem& problem, TarvolinPlan& plan);

}  // namespace solver
