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
  DriverTables& d = st.driver;
  const RunTables& r = st.run;
  BundleRunTables& b = d.bundle;
  d.bestOfRun = r.current;
  d.bundleKept = true;
  b.pieceCount = r.pieceCount;
  b.stockCount = r.stockCount;
  std::copy(std::begin(r.pieceGroup), std::end(r.pieceGroup), b.pieceGroup);
  std::copy(std::begin(r.stockOfPiece), std::end(r.stockOfPiece), b.stockOfPiece);
  std::copy(std::begin(r.stockGroup), std::end(r.stockGroup), b.stockGroup);
  std::copy(std::begin(r.barLayout), std::end(r.barLayout), b.barLayout);
  std::copy(std::begin(r.barSignature), std::end(r.barSignature), b.barSignature);
  b.layoutCount = r.layoutCount;
  b.layoutCuts = r.layoutCuts;
  bool barUsed[kItemSlots] = {};
  for (int32_t p = 1; p <= b.pieceCount; ++p) {
    const int16_t bar = b.stockOfPiece[p];
    if (bar < 1 || bar > b.stockCount) continue;
    ++b.usedPieces[b.pieceGroup[p]];
    barUsed[bar] = true;
  }
  for (int32_t s = 1; s <= b.stockCount; ++s) {
    if (barUsed[s]) ++b.usedBars[b.stockGroup[s]];
  }
}

// The bundle run as the fixed part of the remainder run.
void SetFixedPart(SolverState& st, int32_t m) {
  const DriverTables& d = st.driver;
  const BundleRunTables& b = d.bundle;
  FixedPart& f = st.run.fixed;
  f.present = true;
  f.multiplicity = m;
  f.record = d.bestOfRun;
  f.layoutCount = b.layoutCount;
  f.layoutCuts = b.layoutCuts;
  f.barCount = b.stockCount;
  std::copy(std::begin(b.stockGroup), std::end(b.stockGroup), f.barGroup);
  std::copy(std::begin(b.barLayout), std::end(b.barLayout), f.barLayout);
  std::copy(std::begin(b.barSignature), std::end(b.barSignature), f.barSignature);
  f.usedStockGroupCount = 0;
  for (int g = 1; g <= st.run.stockGroupCount; ++g) {
    if (b.usedBars[g] > 0) f.usedStockGroups[++f.usedStockGroupCount] = static_cast<int16_t>(g);
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
