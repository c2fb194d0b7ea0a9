#include "exact_call.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "call_steps.h"
#include "driver.h"
#include "exact.h"
#include "prepare.h"
#include "search_plan.h"
#include "settings_rules.h"
#include "solver_services.h"
#include "solver_state.h"
#include "to_solution.h"

namespace solver {
namespace {

// Share of the time limit for the exact method; the search that follows an
// unproven plan has the rest, and at least the rest's length.
constexpr double kExactShare = 0.5;
// How often the progress window follows the exact method (and lets window
// messages run).
constexpr int32_t kProgressIntervalMs = 50;
// Time for moving pieces onto free bars after the search: short enough
// that a material still ends near the search's own time limit.
constexpr int32_t kFreeStockPassMs = 400;

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
  in.rules = exact::RulesOf(s);
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

// The exact method's progress in the progress window: the run bar shows the
// share of its time used, the time beside it the time since the call
// began, and a better plan its utilization as the best criterion. Window
// messages are let run, so that Esc is heard while the method works.
class ExactProgressView {
 public:
  ExactProgressView(SolverState& st, double budgetMs) : st_(st), budgetMs_(budgetMs) {}

  bool operator()(const exact::Progress& p) {
    ProgressState& ps = st_.progress;
    if (!ps.windowOpen || st_.view == nullptr) return false;
    const TarvolinView& v = *st_.view;
    const int32_t position =
        static_cast<int32_t>(std::clamp<double>(std::round(p.elapsedMs / budgetMs_ * 100), 0, 100));
    if (v.setPackPosition != nullptr) v.setPackPosition(v.user, position);
    char text[48];
    std::snprintf(text, sizeof text, "%.1f sec", (NowMs(st_) - ps.callStartMs) / 1000.0);
    if (v.setTimeText != nullptr) v.setTimeText(v.user, text);
    if (p.hasPlan && p.stockLength > 0 && p.uncutLength <= 0 &&
        (shown_ < 0 || p.bestObjective < shown_)) {
      shown_ = p.bestObjective;
      ShowBestPlan(st_, p.cutLength / p.stockLength);
    }
    if (v.pumpMessages != nullptr) v.pumpMessages(v.user);
    return false;
  }

 private:
  SolverState& st_;
  double budgetMs_;
  double shown_ = -1;  // objective of the plan shown as the best
};

// The search at the set effort on the call's problem prepared anew, until
// the deadline in the settings; its plan replaces the written one (`best`
// in the exact method's terms) only when it is better.
void SearchWithinLimit(SolverState& st, const exact::ExactInput& in, const TarvolinProblem& problem,
                       const exact::Plan& best, TarvolinPlan& plan) {
  const auto kept = std::make_unique<TarvolinPlan>(plan);
  ResetRecord(st.driver);
  if (!PrepareProblem(st, problem, plan)) return;
  if (!SearchAndWrite(st, plan)) return;
  if (exact::ComparePlans(in, PlanOfResult(in, plan), best) >= 0) plan = *kept;
}

}  // namespace

bool ExactMissing(const TarvolinSettings& settings) {
  return UsesExactMethod(settings) && !exact::ExactAvailable();
}

bool UsesExactMethod(const TarvolinSettings& s) {
  return s.method == 1 && s.bundleSize == 0;
}

void SolveByExactMethod(SolverState& st, const TarvolinSettings& settings,
                        const TarvolinProblem& problem, TarvolinPlan& plan) {
  const double limitMs = exact::ExactTimeLimitMs(settings);
  const double start = st.progress.callStartMs;
  SolverSettings& se = st.settings;
  const int32_t effort = se.effortLevel;
  se.deadlineMs = start + limitMs;

  se.effortLevel = 0;
  RunOptimizationDriver(st);
  se.effortLevel = effort;
  if (st.error.number != 0) return;
  WriteResults(st, plan);

  exact::ExactInput in = InputOf(settings, problem);
  const exact::Plan quick = PlanOfResult(in, plan);
  // The exact method's clock starts now; it stops at half the limit.
  in.timeLimitMs = std::max(1, Ms(start + limitMs * kExactShare - NowMs(st)));
  in.abort = &st.progress.abort;
  in.incumbent = &quick;
  ExactProgressView progress(st, in.timeLimitMs);
  if (st.progress.windowOpen) {
    in.progress = std::ref(progress);
    in.progressIntervalMs = kProgressIntervalMs;
  }
  const exact::ExactResult r = exact::SolveExact(in);
  const bool found = r.status == exact::Status::kOptimal || r.status == exact::Status::kFeasible;
  exact::Plan best = quick;
  // Whether the written plan is as good as the exact method's: only then
  // does its proof hold for it.
  bool written = !found || exact::ComparePlans(in, r.plan, quick) >= 0;
  if (!written && exact::StorePlanAsResult(st, in, r.plan)) {
    WriteResults(st, plan);
    best = r.plan;
    written = true;
  }
  const bool proven = r.proven && written;

  // A stop request ended the exact method whatever the progress mode; the
  // search does not start after it.
  const bool stopped = EscPressed(st);
  // With layout reduction the search also runs after a proven plan: its
  // consolidation of layouts often reaches the same stock with fewer
  // layouts than the column generation's patterns, and its plan is taken
  // only when it is as good in stock and has fewer layouts.
  const bool fewerLayouts = proven && settings.reduceLayouts >= 1;
  if ((!proven || fewerLayouts) && effort > 0 && !stopped) {
    // The exact method may run past its share; the search still has the
    // rest of the limit to itself.
    se.deadlineMs = std::max(start + limitMs, NowMs(st) + limitMs * (1 - kExactShare));
    SearchWithinLimit(st, in, problem, best, plan);
    if (st.error.number != 0) return;
  }
  if (found) {
    plan.lowerBound = r.lowerBound;
    plan.proven = proven ? 1 : 0;
  }
  plan.exactMs = Ms(r.elapsedMs);
}

void MoreFreeStockAfterSearch(SolverState& st, const TarvolinSettings& settings,
                              const TarvolinProblem& problem, TarvolinPlan& plan) {
  if (settings.method != 0 || settings.preferFreeStock != 1 || settings.costMode != 1 ||
      settings.bundleSize != 0 || !exact::ExactAvailable() || EscPressed(st)) {
    return;
  }
  exact::ExactInput in = InputOf(settings, problem);
  const exact::Plan searched = PlanOfResult(in, plan);
  in.timeLimitMs = kFreeStockPassMs;
  in.abort = &st.progress.abort;
  in.incumbent = &searched;
  const exact::ExactResult r = exact::MoreFreeStock(in);
  const bool found = r.status == exact::Status::kOptimal || r.status == exact::Status::kFeasible;
  if (found && exact::ComparePlansByCost(in, r.plan, searched) < 0 &&
      exact::StorePlanAsResult(st, in, r.plan)) {
    WriteResults(st, plan);
  }
}

void AddSearchBound(const TarvolinSettings& settings, const TarvolinProblem& problem,
                    TarvolinPlan& plan) {
  if (settings.method != 0 || settings.computeBound != 1) return;
  const exact::BoundResult b = exact::ExactLowerBound(InputOf(settings, problem));
  if (b.status == exact::Status::kOptimal) plan.lowerBound = b.lowerBound;
  plan.exactMs = Ms(b.elapsedMs);
}

}  // namespace solver
