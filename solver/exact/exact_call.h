// The exact method inside the struct call, and the lower bound that a
// search plan can carry.
#pragma once

#include "tarvolin/solver.h"

namespace solver {

struct SolverState;

// True when the settings ask for the exact method and this build lacks it.
bool ExactMissing(const TarvolinSettings& settings);

// True when the call runs the exact method: method 1 without a bundle.
bool UsesExactMethod(const TarvolinSettings& settings);

// The exact method on a prepared call, within its time limit counted from
// the call's start: the search at effort 0 gives a first plan; the exact
// method starts from it and uses the first half of the limit. When it does
// not prove its plan optimal, the search at the set effort runs within the
// rest of the limit (at least half the limit, should the exact method have
// run over its half) and the better of the plans is written. The plan also
// gets the lower bound, the proven flag and the exact method's time.
void SolveByExactMethod(SolverState& st, const TarvolinSettings& settings,
                        const TarvolinProblem& problem, TarvolinPlan& plan);

// Runs after the search's WriteResults (method 0): with preferFreeStock in
// cost mode the exact method's integer programme moves pieces onto free
// bars (cost 0) where that costs nothing more, and writes that plan.
void MoreFreeStockAfterSearch(SolverState& st, const TarvolinSettings& settings,
                              const TarvolinProblem& problem, TarvolinPlan& plan);

// Runs after the search's WriteResults: with computeBound the plan gets the
// column-generation lower bound and its time.
void AddSearchBound(const TarvolinSettings& settings, const TarvolinProblem& problem,
                    TarvolinPlan& plan);

}  // namespace solver
