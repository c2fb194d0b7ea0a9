#include "exact_call.h"

#include <cmath>

#include "exact.h"
#include "prepare.h"
#include "search_plan.h"
#include "solver_state.h"
#include "to_solution.h"

namespace solver {
namespace {

constexpr int32_t kDefaultExactSeconds = 10;

bool WantsExact(const TarvolinSettings& s) {
  return s.method == 1 && s.bundleSize == 0;
}

exact::ExactInput InputOf(const TarvolinSettings& s, const TarvolinProblem& p) {
  exact::ExactInput in;
  for (int g = 1; g <= p.stockGroupCount; ++g) {
    const TarvolinStockGroup& sg = p.stockGroups[g];
    in.stock.push_back({sg.length, sg.cost, sg.quantity});
  }
  for (int g = 1; g <= p.partGroupCount; ++g) {
    const TarvolinPartGroup& pg = p.partGroups[g];
    in.parts.push_back({pg.length, pg.quantity, pg.markId});
  }
  exact::Rules& r = in.rules;
  r.kerf = s.kerf;
  r.endZone = s.endZone;
  r.gripLength = s.gripLength;
  r.maxPieces = s.maxPiecesPerLayout;
  r.diffPieces = s.maxDifferentPieces;
  r.diffStocks = s.maxStockGroups;
  r.minReusable = s.minReusable;
  r.prefShort = s.preferShort;
  r.reduceLays = s.reduceLayouts;
  r.bundle = s.bundleSize;
  r.costMode = s.costMode != 0;
  r.ignoreLast = s.ignoreLast != 0;
  return in;
}

// The written plan in the exact method's terms; element 0 of the item
// tables carries the count only for the conversion.
exact::Plan PlanOfResult(const exact::ExactInput& in, TarvolinPlan& plan) {
  plan.stockItemGroup[0] = static_cast<int16_t>(plan.stockItemCount);
  plan.partItemGroup[0] = static_cast<int16_t>(plan.partItemCount);
  exact::Plan p = exact::PlanFromCallArrays(in, plan.stockItemGroup, plan.partItemGroup,
                                            plan.partItemStock, plan.lastStock);
  plan.stockItemGroup[0] = 0;
  plan.partItemGroup[0] = 0;
  return p;
}

int32_t Ms(double ms) {
  return static_cast<int32_t>(std::lround(ms));
}

}  // namespace

bool ExactMissing(const TarvolinSettings& settings) {
  return WantsExact(settings) && !exact::ExactAvailable();
}

void AddExactFigures(SolverState& st, const TarvolinSettings& settings,
                     const TarvolinProblem& problem, TarvolinPlan& plan) {
  if (WantsExact(settings)) {
    exact::ExactInput in = InputOf(settings, problem);
    const exact::Plan searchPlan = PlanOfResult(in, plan);
    const int32_t seconds =
        settings.exactTimeLimitSeconds > 0 ? settings.exactTimeLimitSeconds : kDefaultExactSeconds;
    in.timeLimitMs = seconds * 1000;
    in.abort = &st.progress.abort;
    in.incumbent = &searchPlan;
    const exact::ExactResult r = exact::SolveExact(in);
    const bool found = r.status == exact::Status::kOptimal || r.status == exact::Status::kFeasible;
    if (found && exact::ComparePlans(in, r.plan, searchPlan) < 0 &&
        exact::StorePlanAsResult(st, in, r.plan)) {
      WriteResults(st, plan);
    }
    if (found) {
      plan.lowerBound = r.lowerBound;
      plan.proven = r.proven ? 1 : 0;
    }
    plan.exactMs = Ms(r.elapsedMs);
    return;
  }
  if (settings.method == 0 && settings.computeBound == 1) {
    const exact::BoundResult b = exact::ExactLowerBound(InputOf(settings, problem));
    if (b.status == exact::Status::kOptimal) plan.lowerBound = b.lowerBound;
    plan.exactMs = Ms(b.elapsedMs);
  }
}

}  // namespace solver
