// Evaluating one candidate multiplicity m: the bundle run plans the
// quantities divided by m (cut m times), the remainder run plans what is
// left with the bundle run as its fixed part; the combined plan enters the
// best-ten list and becomes the best plan when it is better.
#include <algorithm>
#include <iterator>

#include "driver.h"
#include "driver_stages.h"
#include "search.h"
#include "solver_services.h"
#include "solver_state.h"

namespace solver {

namespace {

void RunSearch(SolverState& st, int k) {
  LayoutSearch(st, k);
  st.driver.constructionCount += st.run.constructionCount;
  RaiseConsistencyErrors(st);
}

// Keeps the bundle run just finished as the best of run.
void KeepBundleRun(SolverState& st) {
  DriverTables& driver = st.driver;
  const RunTables& run = st.run;
  BundleRunTables& bundle = driver.bundle;
  driver.bestOfRun = run.current;
  driver.bundleKept = true;
  bundle.pieceCount = run.pieceCount;
  bundle.stockCount = run.stockCount;
  std::copy(std::begin(run.pieceGroup), std::end(run.pieceGroup), bundle.pieceGroup);
  std::copy(std::begin(run.stockOfPiece), std::end(run.stockOfPiece), bundle.stockOfPiece);
  std::copy(std::begin(run.stockGroup), std::end(run.stockGroup), bundle.stockGroup);
  std::copy(std::begin(run.barLayout), std::end(run.barLayout), bundle.barLayout);
  std::copy(std::begin(run.barSignature), std::end(run.barSignature), bundle.barSignature);
  bundle.layoutCount = run.layoutCount;
  bundle.layoutCuts = run.layoutCuts;
  bool barUsed[kItemSlots] = {};
  for (int32_t p = 1; p <= bundle.pieceCount; ++p) {
    const int16_t bar = bundle.stockOfPiece[p];
    if (bar < 1 || bar > bundle.stockCount) continue;
    ++bundle.usedPieces[bundle.pieceGroup[p]];
    barUsed[bar] = true;
  }
  for (int32_t s = 1; s <= bundle.stockCount; ++s) {
    if (barUsed[s]) ++bundle.usedBars[bundle.stockGroup[s]];
  }
}

// The bundle run as the fixed part of the remainder run.
void SetFixedPart(SolverState& st, int32_t m) {
  const DriverTables& driver = st.driver;
  const BundleRunTables& bundle = driver.bundle;
  FixedPart& fixed = st.run.fixed;
  fixed.present = true;
  fixed.multiplicity = m;
  fixed.record = driver.bestOfRun;
  fixed.layoutCount = bundle.layoutCount;
  fixed.layoutCuts = bundle.layoutCuts;
  fixed.barCount = bundle.stockCount;
  std::copy(std::begin(bundle.stockGroup), std::end(bundle.stockGroup), fixed.barGroup);
  std::copy(std::begin(bundle.barLayout), std::end(bundle.barLayout), fixed.barLayout);
  std::copy(std::begin(bundle.barSignature), std::end(bundle.barSignature), fixed.barSignature);
  fixed.usedStockGroupCount = 0;
  for (int g = 1; g <= st.run.stockGroupCount; ++g) {
    if (bundle.usedBars[g] > 0)
      fixed.usedStockGroups[++fixed.usedStockGroupCount] = static_cast<int16_t>(g);
  }
}

// A bundle run repeated m times plus the remainder run can use more bars
// than either run was checked for; a plan whose totals leave the sum limit
// is not taken (its figures would not fit the result).
bool CombinedPlanWithinLimits(const RunRecord& bundle, const RunRecord& rest, int32_t m) {
  const auto within = [m](int32_t perBundle, int32_t restValue, int32_t lastValue) {
    return int64_t{perBundle} * m + restValue + lastValue <= kMaxSum;
  };
  return within(bundle.length, rest.length, rest.lastLength) &&
         within(bundle.waste, rest.waste, 0) && within(bundle.cost, rest.cost, rest.lastCost);
}

// The bundle run of multiplicity m at sub-level s: the quantities divided
// by m, planned once to be cut m times, kept as the best of run when it
// uses more than half of its stock. False when the evaluation ends here:
// nothing to plan, a poor bundle or an error.
bool RunBundlePhase(SolverState& st, const Candidate& candidate, int s) {
  DriverTables& driver = st.driver;
  const ProblemTables& problem = st.problem;
  const int32_t m = candidate.multiplicity;
  driver.runStartMs = NowMs(st);
  st.run.current = RunRecord{};
  for (int g = 1; g <= problem.partGroupCount; ++g) {
    driver.workPartQty[g] = problem.partGroupQty[g] / m;
  }
  for (int g = 1; g <= problem.stockGroupCount; ++g) {
    driver.workStockQty[g] = problem.stockGroupQty[g] / m;
  }
  if (!PrepareRun(st, s)) {
    MultiProgressAdvance(st, s);
    return false;
  }
  st.run.runKind = candidate.remainderPieces == 0 ? kRunBundleNoRemainder : kRunBundleWithRemainder;
  RunSearch(st, m);
  if (ErrorRaised(st)) return false;
  if (st.run.current.utilization <= 0.5) {
    MultiProgressAdvance(st, s);
    return false;
  }
  KeepBundleRun(st);
  return true;
}

// When the kept bundle, cut m times, already takes every piece or every
// bar, the current record is the bundle run's and no remainder run follows.
bool BundleCoversAll(const SolverState& st, int32_t m) {
  const DriverTables& driver = st.driver;
  const RunRecord& bestOfRun = driver.bestOfRun;
  return driver.bundleKept && (int64_t{bestOfRun.parts} * m >= st.problem.partCount ||
                               int64_t{bestOfRun.bars} * m >= st.problem.stockCount);
}

// The remainder run of multiplicity m at sub-level s: what the kept bundle
// run (cut m times) leaves, planned with that run as its fixed part; without
// a kept bundle the whole problem, plainly. False when the evaluation ends
// here: nothing to plan or an error.
bool RunRemainderPhase(SolverState& st, int32_t m, int s) {
  DriverTables& driver = st.driver;
  const ProblemTables& problem = st.problem;
  if (BundleCoversAll(st, m)) {
    const RunRecord& bestOfRun = driver.bestOfRun;
    RunRecord current;
    current.criterion = bestOfRun.criterion;
    current.utilization = bestOfRun.utilization;
    current.layouts = bestOfRun.layouts;
    current.layoutCuts = bestOfRun.layoutCuts;
    current.patterns = bestOfRun.patterns;
    st.run.current = current;
    return true;
  }
  st.run.current = RunRecord{};
  driver.runStartMs = NowMs(st);
  const int32_t k = driver.bundleKept ? m : 0;
  for (int g = 1; g <= problem.partGroupCount; ++g) {
    driver.workPartQty[g] = problem.partGroupQty[g] - k * driver.bundle.usedPieces[g];
  }
  for (int g = 1; g <= problem.stockGroupCount; ++g) {
    driver.workStockQty[g] = problem.stockGroupQty[g] - k * driver.bundle.usedBars[g];
  }
  if (!PrepareRun(st, s)) {
    MultiProgressAdvance(st, s);
    return false;
  }
  st.run.runKind = driver.bundleKept ? kRunRemainder : kRunPlain;
  if (driver.bundleKept) SetFixedPart(st, m);
  RunSearch(st, 1);
  if (ErrorRaised(st)) return false;
  driver.remainderRan = true;
  return true;
}

}  // namespace

void EvaluateCandidate(SolverState& st, int entry, int s) {
  DriverTables& driver = st.driver;
  Candidate& candidate = driver.candidates[entry];
  if (candidate.criterion[s] >= 0) return;
  const int32_t m = candidate.multiplicity;
  driver.multiplicity = m;
  driver.targetReached = false;

  driver.bestOfRun = RunRecord{};
  driver.bundle = BundleRunTables{};
  driver.bundleKept = false;
  driver.remainderRan = false;

  if (m >= 2 && !RunBundlePhase(st, candidate, s)) return;
  if (!RunRemainderPhase(st, m, s)) return;

  if (!CombinedPlanWithinLimits(driver.bestOfRun, st.run.current, m)) {
    MultiProgressAdvance(st, s);
    return;
  }
  driver.targetReached = UpdateBestTen(st, m);
  const double criterion = st.run.current.criterion;
  candidate.criterion[s] = criterion;
  if (criterion > driver.bestCriterion || driver.targetReached) TakeNewBest(st, m);
  MultiProgressAdvance(st, s);
}

}  // namespace solver
