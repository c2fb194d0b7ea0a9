// The optimization driver: plans multiplicities and search levels, runs the
// layout search on each sub-problem and keeps the best plan. This file holds
// the run phases (the levels and their passes over the candidates) and the
// stop test; the stages live beside it: driver_candidates.cpp (candidate
// multiplicities), driver_run_setup.cpp (the tables of one run),
// driver_evaluate.cpp (evaluating a candidate: the bundle run and the
// remainder run), driver_best.cpp (keeping the best plan, its consolidation).
#include "driver.h"

#include <algorithm>
#include <iterator>

#include "driver_stages.h"
#include "solver_services.h"
#include "solver_state.h"
#include "tarvolin/errors.h"

namespace solver {

namespace {

// Sub-level and candidate count of the passes of each level: the first pass
// (levels above the two-pass threshold) and the only or second pass.
struct PassPlan {
  int firstSub, firstCount, sub, count;
};
constexpr PassPlan kLevelPasses[kSubLevels] = {
    {0, 0, 0, 3},  {0, 0, 1, 5},  {1, 7, 2, 1},  {2, 9, 3, 1},  {2, 12, 4, 2},  {3, 14, 5, 2},
    {3, 18, 6, 2}, {4, 20, 7, 2}, {4, 20, 8, 3}, {5, 22, 9, 3}, {5, 25, 10, 3},
};

void ResetOrder(DriverTables& driver) {
  for (int i = 0; i < kCandidateSlots; ++i) driver.order[i] = static_cast<int16_t>(i);
}

// Sorts the order array by the criterion at sub-level s, best first, equal
// criteria in their present order; candidates not evaluated at s keep
// kNotEvaluated and sort last.
void SortOrder(DriverTables& driver, int s) {
  StableSort(driver.order + 1, kMaxCandidates, [&](int16_t a, int16_t b) {
    return driver.candidates[a].criterion[s] > driver.candidates[b].criterion[s];
  });
}

// The best-ten list in the order its plans were found.
void SortBestTen(DriverTables& driver) {
  StableSort(
      driver.bestTen + 1, driver.bestTenCount,
      [](const BestTenEntry& a, const BestTenEntry& b) { return a.elapsedMs < b.elapsedMs; });
}

}  // namespace

bool ErrorRaised(const SolverState& st) {
  return st.error.number != 0;
}

void RaiseConsistencyErrors(SolverState& st) {
  if (!st.tuning.consistencyChecks) return;
  for (int k = 1; k <= kLastCheck; ++k) {
    if (st.run.check[k] > 0) RaiseError(st, TARVOLIN_ERROR_CHECK_FIRST - 1 + k);
  }
}

bool StopSearch(SolverState& st) {
  const SolverSettings& settings = st.settings;
  if (ErrorRaised(st)) return true;
  if (st.driver.targetReached) return true;
  if (st.driver.mode == kModeBundleGiven) return true;
  if (settings.escEnabled && EscPressed(st)) return true;
  if (settings.deadlineMs > 0 && NowMs(st) >= settings.deadlineMs) return true;
  return settings.timeLimitMs > 0 && NowMs(st) - st.progress.callStartMs >= settings.timeLimitMs;
}

void RunOptimizationDriver(SolverState& st) {
  DriverTables& driver = st.driver;
  driver.startMs = NowMs(st);
  std::fill(std::begin(st.run.check), std::end(st.run.check), 0);
  driver.bestCriterion = 0;
  driver.bestMultiplicity = 0;
  driver.targetReached = false;
  driver.constructionCount = 0;
  ClearResult(driver);

  ComputeOrderWeights(st);
  BuildCandidateTable(st);
  const int effort = std::clamp(st.settings.effortLevel, 0, kSubLevels - 1);

  if (driver.mode == kModeBundleGiven) {
    ResetOrder(driver);
    EvaluateCandidate(st, 1, effort);
  } else {
    for (int level = 0; level <= effort; ++level) {
      ResetOrder(driver);
      const PassPlan& plan = kLevelPasses[level];
      bool stop = false;
      if (level > st.tuning.twoPassAboveLevel) {
        const int firstCount = std::min(plan.firstCount, driver.candidateCount);
        for (int e = 1; e <= firstCount && !stop; ++e) {
          EvaluateCandidate(st, e, plan.firstSub);
          stop = StopSearch(st);
        }
        if (!stop) SortOrder(driver, plan.firstSub);
      }
      const int count = std::min(plan.count, driver.candidateCount);
      for (int pos = 1; pos <= count && !stop; ++pos) {
        EvaluateCandidate(st, driver.order[pos], plan.sub);
        stop = StopSearch(st);
      }
      if (stop) break;
      MultiProgressLevel(st, level);
    }
  }
  SortBestTen(driver);
}

}  // namespace solver
