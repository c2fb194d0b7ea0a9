// The one place where the batch run meets the solver: a material's groups
// and the optimizer settings become the solver's problem and settings, and
// the plan comes back as the material's results.
#pragma once

#include <cstdint>
#include <memory>

#include "plan_records.h"
#include "tarvolin/solver.h"

namespace tarvolin {

// The solver's working tables for the whole run, made once.
struct SolverContextDeleter {
  void operator()(TarvolinContext* context) const { TarvolinDestroyContext(context); }
};
using SolverContext = std::unique_ptr<TarvolinContext, SolverContextDeleter>;

// The solver's problem for one material: groups 1..n in file order.
TarvolinProblem BuildSolverProblem(const MaterialPlan& plan);

// The solver's settings. showMessages lets the solver show its own error
// boxes; progressWindowMode is the initial settings' switch of that name.
TarvolinSettings BuildSolverSettings(const OptimizerSettings& settings, int progressWindowMode,
                                     bool showMessages);

// One solver call in `context`, with its progress window and boxes shown
// through `view` (nullptr: nothing shown). Fills the results (figures,
// item counts and the per-item tables 1..count) and returns the solver's
// error number, 0 on success.
int32_t CallSolver(TarvolinContext* context, const TarvolinView* view,
                   const TarvolinSettings& settings, const TarvolinProblem& problem,
                   SolverResults& results);

// The total length of the pieces a plan cuts.
int64_t CutLength(const TarvolinProblem& problem, const SolverResults& results);

// After a search (method 0) whose plan leaves pieces uncut: a second call
// with the exact method under the same rules checks whether more can be
// cut. Its plan replaces `results` when it cuts more length; true then. A
// plan that cuts everything, a stock/cut bundle (which the exact method
// does not cut), a build without the exact method and a failed second call
// leave `results` as they are.
bool CutMoreByExactMethod(TarvolinContext* context, const TarvolinView* view,
                          const TarvolinSettings& settings, const TarvolinProblem& problem,
                          SolverResults& results);

}  // namespace tarvolin
