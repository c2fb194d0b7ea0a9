#include "method_run.h"

#include <algorithm>
#include <memory>

#include "context.h"
#include "search_plan.h"
#include "settings_rules.h"
#include "solve.h"
#include "solver_services.h"
#include "tarvolin/limits.h"
#include "tarvolin/solver.h"

namespace solver::exact {
namespace {

constexpr int32_t kIterMult = 20;

}  // namespace

SearchOutcome RunSearch(const ExactInput& in, int32_t effort) {
  return RunCall(in, effort, 0);
}

SearchOutcome RunCall(const ExactInput& in, int32_t effort, int32_t method) {
  SearchOutcome out;
  const int ns = static_cast<int>(in.stock.size());
  const int np = static_cast<int>(in.parts.size());
  if (ns < 1 || ns > TARVOLIN_MAX_STOCK_GROUPS || np < 1 || np > TARVOLIN_MAX_PART_GROUPS) {
    out.error = ns < 1 || ns > TARVOLIN_MAX_STOCK_GROUPS ? 1 : 2;
    return out;
  }
  auto problem = std::make_unique<TarvolinProblem>();
  problem->stockGroupCount = ns;
  for (int g = 0; g < ns; ++g) {
    problem->stockGroups[g + 1] = {
        in.stock[g].length, in.stock[g].cost,
        static_cast<int16_t>(std::clamp(in.stock[g].quantity, -1, 32767))};
  }
  problem->partGroupCount = np;
  for (int g = 0; g < np; ++g) {
    problem->partGroups[g + 1] = {
        in.parts[g].length, in.parts[g].mark,
        static_cast<int16_t>(std::clamp(in.parts[g].quantity, -1, 32767))};
  }
  TarvolinSettings s = SettingsOf(in.rules);
  s.effortLevel = effort;
  s.iterationMultiplier = kIterMult;
  s.method = method;
  const int32_t seconds = in.timeLimitMs > 0 ? std::max(1, (in.timeLimitMs + 999) / 1000) : 0;
  if (method == 0) {
    s.timeLimitSeconds = seconds;
  } else {
    s.exactTimeLimitSeconds = seconds;
  }

  // A context of its own, as a caller's; the call runs through its
  // internal entry, as TarvolinSolve runs it.
  auto context = std::make_unique<TarvolinContext>();
  context->state.owner = context.get();
  auto plan = std::make_unique<TarvolinPlan>();
  const double start = ClockMs();
  out.error = SolveInContext(*context, s, *problem, nullptr, *plan);
  out.elapsedMs = ClockMs() - start;
  if (out.error != 0) return out;
  // The conversion reads the item counts from element 0.
  plan->stockItemGroup[0] = static_cast<int16_t>(plan->stockItemCount);
  plan->partItemGroup[0] = static_cast<int16_t>(plan->partItemCount);
  out.plan = PlanFromCallArrays(in, plan->stockItemGroup, plan->partItemGroup, plan->partItemStock,
                                plan->lastStock);
  out.lowerBound = plan->lowerBound;
  out.proven = plan->proven != 0;
  return out;
}

}  // namespace solver::exact
