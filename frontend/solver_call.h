// The one place where the batch run meets the solver: a material's groups
// and the optimizer settings become the solver's problem and settings, and
// the plan comes back as the material's results.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "batch_records.h"
#include "tarvolin/solver.h"

namespace tarvolin {

// The solver's working tables for the whole run, made once.
struct SolverContextDeleter {
  void operator()(TarvolinContext* context) const { TarvolinDestroyContext(context); }
};
using SolverContext = std::unique_ptr<TarvolinContext, SolverContextDeleter>;

// The solver's problem for one material: groups 1..n in file order.
TarvolinProblem BuildSolverProblem(const MaterialPlan& plan);

// The remnant store's remnants come before new stock. A material that
// offers remnants (stock groups with remnant identifiers) is solved for the
// least new stock: the solver runs in cost mode with every remnant at cost
// 0 and every bar of the stock file at its cost when the settings ask for
// cost mode and some bar of the file is priced, else at its length (in
// cost units), and among plans of the least new stock the solver cuts from
// as much remnant length as it can. OffersRemnants tells such a material; SolverStockCost is a
// group's cost as the solver sees it; PreferRemnants makes the problem and
// settings so (nothing changes without remnants); RealStockCosts puts the
// stock file's costs back into the plan's cost figures afterwards.
bool OffersRemnants(const MaterialPlan& plan);
bool SolverCostMode(const MaterialPlan& plan, const OptimizerSettings& settings);
int32_t SolverStockCost(const MaterialPlan& plan, const OptimizerSettings& settings, int group);
void PreferRemnants(const MaterialPlan& plan, const OptimizerSettings& settings,
                    TarvolinSettings& solverSettings, TarvolinProblem& problem);
void RealStockCosts(const MaterialPlan& plan, SolverResults& results);

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
// What a caller sees of the planning of a large material while it runs.
struct LargeProgress {
  double elapsedMs = 0;
  // The objective (stock length used, in cost mode the stock cost): its
  // lower bound and that of the best plan so far, when known.
  std::optional<double> bound;
  std::optional<double> best;
};

// Called on the calling thread about ten times a second while a large
// material is planned; true asks the planning to stop with its best plan.
using LargeProgressFn = std::function<bool(const LargeProgress&)>;

// How the planning of a large material ended: 0 or an error number of
// tarvolin/errors.h, and the planner's own words when it failed.
struct LargeOutcome {
  int32_t error = 0;
  std::string message;
};

// Plans a material beyond the layout search's limits (groups 1..n of
// `plan`, any count up to the exact method's limits) with the exact method
// alone, within the exact method's time limit. Fills the results as
// CallSolver does: figures, bound, item counts and the per-item tables.
LargeOutcome SolveLargeMaterial(const MaterialPlan& plan, const OptimizerSettings& settings,
                                const LargeProgressFn& progress, SolverResults& results);

// A planner of large materials with the signature of SolveLargeMaterial.
using LargePlanner = std::function<LargeOutcome(const MaterialPlan&, const OptimizerSettings&,
                                                const LargeProgressFn&, SolverResults&)>;

}  // namespace tarvolin
