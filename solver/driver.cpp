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

void ResetOrder(DriverTables& d) {
  for (int i = 0; i < kCandidateSlots; ++i) d.order[i] = static_cast<int16_t>(i);
}

// Sorts the order array by the criterion at sub-level s, best first, equal
// criteria in their present order; candidates not evaluated at s keep
// kNotEvaluated and sort last.
void SortOrder(DriverTables& d, int s) {
  StableSort(d.order + 1, kMaxCandidates, [&](int16_t a, int16_t b) {
    return d.candidates[a].criterion[s] > d.candidates[b].criterion[s];
  });
}

// The best-ten list in the order its plans were found.
void SortBestTen(DriverTables& d) {
  StableSort(d.bestTen + 1, d.bestTenCount, [](const BestTenEntry& a, const BestTenEntry& b) {
    return a.elapsedMs < b.elapsedMs;
  });
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
  const SolverSettings& se = st.settings;
  if (ErrorRaised(st)) return true;
  if (st.driver.targetReached) return true;
  if (st.driver.mode == kModeBundleGiven) return true;
  if (se.escEnabled && EscPressed(st)) return true;
  if (se.deadlineMs > 0 && NowMs(st) >= se.deadlineMs) return true;
  return se.timeLimitMs > 0 && NowMs(st) - st.progress.callStartMs >= se.timeLimitMs;
}

void RunOptimizationDriver(SolverState& st) {
  DriverTables& d = st.driver;
  d.startMs = NowMs(st);
  std::fill(std::begin(st.run.check), std::end(st.run.check), 0);
  d.bestCriterion = 0;
  d.bestMultiplicity = 0;
  d.targetReached = false;
  d.constructionCount = 0;
  ClearResult(d);

  ComputeOrderWeights(st);
  BuildCandidateTable(st);
  const int effort = std::clamp(st.settings.effortLevel, 0, kSubLevels - 1);

  if (d.mode == kModeBundleGiven) {
    ResetOrder(d);
    EvaluateCandidate(st, 1, effort);
  } else {
    for (int level = 0; level <= effort; ++level) {
      ResetOrder(d);
      const PassPlan& plan = kLevelPasses[level];
      bool stop = false;
      if (level > st.tuning.twoPassAboveLevel) {
        const int firstCount = std::min(plan.firstCount, d.candidateCount);
        for (int e = 1; e <= firstCount && !stop; ++e) {
          EvaluateCandidate(st, e, plan.firstSub);
          stop = StopSearch(st);
        }
        if (!stop) SortOrder(d, plan.firstSub);
      }
      const int count = std::min(plan.count, d.candidateCount);
      for (int pos = 1; pos <= count && !stop; ++pos) {
        EvaluateCandidate(st, d.order[pos], plan.sub);
        stop = StopSearch(st);
      }
      if (stop) break;
      MultiProgressLevel(st, level);
    }
  }
  SortBestTen(d);
}

}  // namespace solver
