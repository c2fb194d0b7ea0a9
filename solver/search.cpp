#include "search.h"

#include <algorithm>
#include <cmath>

#include "consolidation.h"
#include "construction.h"
#include "orderings.h"
#include "scoring.h"
#include "solver_services.h"
#include "solver_state.h"
#include "tarvolin/errors.h"

namespace solver {
namespace {

constexpr int kLastRule = 55;

// The generator is seeded from the loop counters, offset by this, so that
// the plans built depend only on input and settings.
constexpr int kSeedBase = 101;

// After a class split, the iteration of the next split moves out by the
// factor (open classes - 1.5): the more classes, the more orders are worth
// trying before splitting again.
constexpr double kClassesNotGrowing = 1.5;

// The commit tolerance grows by this step per rule number: 0.2 % of the
// mean piece over the mean bar (a piece's share of a bar), at least 0.02 %.
constexpr double kToleranceStepPerPiece = 0.002;
constexpr double kMinToleranceStep = 0.0002;

// Orders of classes are counted up to 7 classes (7! = 5040). More classes
// count as kManyClassOrders: "many", yet below kOrderCountCap, so that class
// splitting can still start.
constexpr int kCountedClasses = 7;
constexpr int32_t kManyClassOrders = 12777;

// Rules of each pass; passes from 11 on use the last entry.
struct PassRuleSet {
  int count;
  int rules[2];
};
constexpr PassRuleSet kPassRules[] = {
    {2, {-1, 9}}, {2, {10, 15}}, {2, {8, 13}}, {2, {6, 11}}, {2, {4, 9}},   {2, {2, 12}},
    {2, {1, 7}},  {1, {5, 0}},   {2, {3, 7}},  {2, {0, 17}}, {2, {-1, 20}}, {2, {3, 10}},
};
constexpr int kPassRuleRows = sizeof(kPassRules) / sizeof(kPassRules[0]);

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Whether the run tables are within their declared bounds.
bool RunTablesValid(const RunTables& run) {
  if (run.pieceCount < 1 || run.pieceCount > kMaxItems) return false;
  if (run.stockCount < 1 || run.stockCount > kMaxItems) return false;
  if (run.initialStockCount < 1 || run.initialStockCount > run.stockCount) return false;
  if (run.partGroupCount < 1 || run.partGroupCount > kMaxPartGroups) return false;
  if (run.stockGroupCount < 1 || run.stockGroupCount > kMaxStockGroups) return false;
  for (int i = 1; i <= run.pieceCount; ++i) {
    const int g = run.pieceGroup[i];
    if (g < 1 || g > run.partGroupCount || run.partGroupLength[g] < 1) return false;
  }
  for (int i = 1; i <= run.stockCount; ++i) {
    const int g = run.stockGroup[i];
    if (g < 1 || g > run.stockGroupCount) return false;
  }
  // A bar shorter than the end zone has no working length; the trim keeps
  // it out of the run, so only the bars offered must have one.
  for (int i = 1; i <= run.initialStockCount; ++i) {
    const int bar = run.initialStockOrder[i];
    if (bar < 1 || bar > run.stockCount || run.stockGroupLength[run.stockGroup[bar]] < 1) {
      return false;
    }
  }
  return run.minPart >= 1;
}

class Search {
 public:
  Search(SolverState& st, int k) : st_(st), run_(st.run), k_(k) {}

  void Run() {
    run_.multiplicity = k_;
    run_.bestScore = 0;
    run_.bestPlan = BestPlan{};
    run_.constructionCount = 0;
    run_.stopSearch = false;
    const int restarts = run_.passLimit / 2;
    if (st_.settings.showProgress) {
      const PassBudget last = ComputePassBudget(st_, run_.passLimit);
      int64_t total = int64_t{last.pieceIterLimit + 1} * (last.stockIterLimit + 1);
      if (run_.passLimit > 0) total *= 2;
      total *= restarts + 1;
      if (last.pieceIterLimit < 4 && last.stockIterLimit < 4) total *= 5;
      ResetPackProgress(st_, total);
    }
    const int firstPass = run_.driverMode == 2 ? run_.passLimit : 0;
    for (run_.restart = 0; run_.restart <= restarts && !run_.stopSearch; ++run_.restart) {
      for (run_.pass = firstPass; run_.pass <= run_.passLimit && !run_.stopSearch; ++run_.pass) {
        RunPass();
      }
    }
  }

 private:
  void ResetPass() {
    run_.openStockCount = run_.initialStockCount;
    for (int p = 1; p <= run_.stockCount; ++p) run_.openStocks[p] = run_.initialStockOrder[p];
    run_.openPieceCount = run_.pieceCount;
    for (int i = 1; i <= run_.pieceCount; ++i) {
      run_.openPieces[i] = static_cast<int16_t>(i);
      run_.stockOfPiece[i] = 0;
    }
    for (int b = 1; b <= run_.stockCount; ++b) {
      run_.stockState[b] = kBarFree;
      run_.stockPieces[b] = 0;
      run_.stockRemainder[b] = kUntouchedRemainder;
    }
    run_.committedTotals = PlanTotals{};
  }

  void RunPass() {
    budget_ = ComputePassBudget(st_, run_.pass);
    run_.toleranceStep = std::max(kMinToleranceStep, run_.meanPiece * kToleranceStepPerPiece /
                                                         std::max<int32_t>(1, run_.meanStock));
    ResetPass();
    for (run_.rule = -1; run_.rule <= kLastRule; ++run_.rule) {
      if (!PassRunsRule(run_.pass, run_.rule)) continue;
      if (!RunRule() || run_.stopSearch) return;
    }
  }

  // One rule of a pass; false when the pass has ended (nothing left open or
  // the search was stopped).
  bool RunRule() {
    const int rule = run_.rule;
    run_.commitTolerance = rule == -1 ? -1.0 : rule * run_.toleranceStep;
    run_.pieceIterLimit = budget_.pieceIterLimit;
    run_.stockIterLimit = budget_.stockIterLimit;
    if (rule == -1) {
      run_.pieceIterLimit = std::min(run_.pieceIterLimit, run_.pieceIterLimit / 2 + 8);
      run_.stockIterLimit = std::min(run_.stockIterLimit, run_.stockIterLimit / 2 + 8);
    }
    for (int i = 1; i <= run_.pieceCount; ++i) run_.pieceClass[i] = run_.pieceGroup[i];
    run_.pieceClassCount = run_.partGroupCount;
    run_.pieceClassLimit = std::max(1, ClassOrderCount(run_.partGroupCount - run_.emptyPartGroups));
    for (run_.pieceIter = 0; run_.pieceIter <= run_.pieceIterLimit; ++run_.pieceIter) {
      st_.rng.Seed(
          static_cast<uint32_t>(kSeedBase + run_.restart + run_.pass + rule + run_.pieceIter));
      if (run_.partGroupCount >= 2 && st_.settings.maxDifferentPieces != 1 &&
          run_.pieceIter >= run_.pieceClassLimit && run_.pieceClassLimit < kOrderCountCap &&
          SplitPieceClass(st_)) {
        run_.pieceClassLimit = GrownLimit(
            run_.pieceClassLimit, run_.pieceClassCount - run_.emptyPartGroups - kClassesNotGrowing);
      }
      OrderPieces(st_, run_.pieceIter);
      ResetStockClasses();
      for (run_.stockIter = 0; run_.stockIter <= run_.stockIterLimit; ++run_.stockIter) {
        if (!BuildAndRate()) return false;
      }
    }
    return true;
  }

  static int32_t GrownLimit(int32_t limit, double factor) {
    return std::max<int32_t>(1, ClampToInt32(RoundEven(limit * factor)));
  }

  int UsableStockGroups() const {
    return run_.stockGroupCount - run_.emptyStockGroups - run_.trimmedStockGroups;
  }

  void ResetStockClasses() {
    for (int p = 1; p <= run_.stockCount; ++p) {
      const int bar = run_.initialStockOrder[p];
      run_.stockClass[bar] = p <= run_.initialStockCount ? run_.stockGroup[bar] : 0;
    }
    run_.stockClassCount = run_.stockGroupCount;
    run_.stockClassLimit = std::max(1, ClassOrderCount(UsableStockGroups()));
  }

  // One stock-order iteration: order, build, score, keep; false when the
  // pass ends or the search stops.
  bool BuildAndRate() {
    if (run_.stockGroupCount >= 2 && st_.settings.maxStockGroups != 1 &&
        run_.stockIter >= run_.stockClassLimit && run_.stockClassLimit < kOrderCountCap &&
        SplitStockClass(st_)) {
      run_.stockClassLimit =
          GrownLimit(run_.stockClassLimit, run_.stockClassCount - run_.emptyStockGroups -
                                               run_.trimmedStockGroups - kClassesNotGrowing);
    }
    OrderStocks(st_, run_.stockIter);
    PackProgressTick(st_);
    ++run_.constructionCount;
    BuildPlan(st_);
    const PlanScore ps = AdjustAndScorePlan(st_, k_);
    // Only a plan that cuts something can be kept: in cost mode an empty plan
    // still rates the stock it leaves unspent, and may outscore real ones.
    if (ps.score > run_.bestScore && ps.utilization > 0) SaveBest(ps);
    if (st_.settings.escEnabled && EscPressed(st_)) {
      run_.stopSearch = true;
      return false;
    }
    const int64_t every = int64_t{run_.pieceIterLimit + 1} * (run_.stockIterLimit + 1) / 100 + 1;
    if (run_.constructionCount % every == 0 && PastTimeLimit()) {
      run_.stopSearch = true;
      return false;
    }
    return run_.openPieceCount > 0 && run_.openStockCount > 0;
  }

  bool PastTimeLimit() const {
    const SolverSettings& se = st_.settings;
    if (se.timeLimitMs <= 0 && se.deadlineMs <= 0) return false;
    const double now = NowMs(st_);
    return (se.timeLimitMs > 0 && now >= run_.driverStartMs + se.timeLimitMs) ||
           (se.deadlineMs > 0 && now >= se.deadlineMs);
  }

  void SaveBest(const PlanScore& ps) {
    BestPlan& b = run_.bestPlan;
    run_.bestScore = ps.score;
    for (int i = 0; i < kItemSlots; ++i) {
      b.stockOfPiece[i] = run_.stockOfPiece[i];
      b.openStocks[i] = run_.openStocks[i];
    }
    b.openStockCount = run_.openStockCount;
    b.totals = run_.planTotals;
    b.score = ps.score;
    b.utilization = ps.utilization;
    b.pieceIter = run_.pieceIter;
    b.stockIter = run_.stockIter;
  }

  SolverState& st_;
  RunTables& run_;
  const int k_;
  PassBudget budget_;
};

// Restores the kept plan when one with a positive utilization was saved;
// otherwise no piece is cut and the run's criterion is 0. Turns the lengths
// back into real lengths.
void RestoreBestPlan(SolverState& st) {
  RunTables& run = st.run;
  if (run.bestScore > 0 && run.bestPlan.utilization > 0) {
    for (int i = 0; i < kItemSlots; ++i) {
      run.stockOfPiece[i] = run.bestPlan.stockOfPiece[i];
      run.openStocks[i] = run.bestPlan.openStocks[i];
    }
    run.openStockCount = run.bestPlan.openStockCount;
    run.planTotals = run.bestPlan.totals;
  } else {
    // No plan cut anything: the run has nothing to offer, and scores 0.
    for (int i = 0; i < kItemSlots; ++i) run.stockOfPiece[i] = 0;
    run.planTotals = PlanTotals{};
    run.bestPlan.totals = PlanTotals{};
    run.bestScore = 0;
  }
  const SolverSettings& s = st.settings;
  for (int g = 1; g <= run.partGroupCount; ++g) run.partGroupLength[g] -= s.kerf;
  for (int g = 1; g <= run.stockGroupCount; ++g) run.stockGroupLength[g] += s.endZone - s.kerf;
  run.gripLength = s.gripLength;
}

void Consolidate(SolverState& st, int k) {
  RunTables& run = st.run;
  LayoutPlan plan = RunLayoutPlan(st, run.planTotals.lastStock);
  NumberLayouts(plan, true, false);
  CheckLayouts(plan, run.check);
  GroupBarsByLayout(plan);
  TidyPieceBars(plan, false);
  NumberLayouts(plan, true, false);
  CheckLayouts(plan, run.check);

  int32_t partUsed[kPartGroupSlots] = {};
  int32_t stockUsed[kStockGroupSlots] = {};
  SummaryDetail detail;
  detail.partGroupUsed = partUsed;
  detail.partGroups = run.partGroupCount;
  detail.stockGroupUsed = stockUsed;
  detail.stockGroups = run.stockGroupCount;
  RunRecord rec{};
  FillSummary(rec, plan, &detail);
  rec.criterion = run.bestScore;
  run.current = rec;
  run.layoutCount = plan.layoutCount;
  run.layoutCuts = plan.layoutCuts;
  run.planTotals.lastStock = plan.lastBar;

  // The saved plan must agree with the summary of the restored plan.
  const PlanTotals& t = run.bestPlan.totals;
  if (t.lastPieces != rec.lastParts) CountFailure(run.check, Check::kRunLastPieces);
  if (t.pieces != rec.parts) CountFailure(run.check, Check::kRunPieces);
  if (t.layouts != rec.bars) CountFailure(run.check, Check::kRunLayouts);
  if (t.cost != rec.cost) CountFailure(run.check, Check::kRunCost);
  if (t.waste != rec.waste) CountFailure(run.check, Check::kRunWaste);
  if (t.used != rec.length - rec.waste) CountFailure(run.check, Check::kRunUsed);
  const int64_t pieces = int64_t{t.pieces} + t.lastPieces;
  if (pieces < 0 || pieces > run.pieceCount) CountFailure(run.check, Check::kRunPieceCount);
  const int64_t bars = int64_t{t.layouts} + (t.lastStock != 0 ? 1 : 0);
  if (bars < 0 || bars > run.initialStockCount) CountFailure(run.check, Check::kRunBarCount);
  if (k >= 2) {
    for (int g = 1; g <= run.stockGroupCount; ++g) {
      if (stockUsed[g] > run.stockGroupQty[g]) CountFailure(run.check, Check::kRunStockOverused);
    }
    for (int g = 1; g <= run.partGroupCount; ++g) {
      if (partUsed[g] > run.partGroupQty[g]) CountFailure(run.check, Check::kRunPartOverused);
    }
  }
}

}  // namespace

int32_t ClassOrderCount(int n) {
  if (n <= 0) return 0;
  if (n > kCountedClasses) return kManyClassOrders;
  int32_t f = 1;
  for (int i = 2; i <= n; ++i) f *= i;
  return f;
}

bool PassRunsRule(int pass, int rule) {
  const PassRuleSet& set = kPassRules[std::clamp(pass, 0, kPassRuleRows - 1)];
  for (int i = 0; i < set.count; ++i) {
    if (set.rules[i] == rule) return true;
  }
  return false;
}

PassBudget ComputePassBudget(const SolverState& st, int pass) {
  const RunTables& run = st.run;
  double effort = std::pow(10.0, pass / 5.0) * st.settings.iterationFactor;
  const double ratio = std::clamp(10.0 / std::max(1, run.partGroupCount), 0.2, 5.0);
  const double estPieces = std::max(1, run.estPieces);
  const double estStocks = std::max(1, run.estStocks);
  const double f = estPieces * estStocks / 300.0;
  if (f < 1) effort *= f;
  const int64_t a = RoundEven(std::sqrt(effort * ratio / estPieces / estStocks) * 1000.0);
  const int64_t b = RoundEven(static_cast<double>(a + 1) / ratio);
  int64_t pieceBudget = a + 1;
  int64_t stockBudget = b + 1;
  const int64_t pieceOrders = std::max(1, run.distinctPieceOrders);
  const int64_t stockOrders = std::max(1, run.distinctStockOrders);
  if (pieceOrders < pieceBudget) {
    stockBudget = std::min<int64_t>(
        kOrderCountCap, RoundEven(static_cast<double>(stockBudget) / pieceOrders * pieceBudget));
  }
  if (stockOrders < stockBudget) {
    pieceBudget = std::min<int64_t>(
        kOrderCountCap, RoundEven(static_cast<double>(pieceBudget) / stockOrders * stockBudget));
  }
  PassBudget budget;
  budget.pieceIterLimit = ClampToInt32(std::min(pieceOrders, pieceBudget) - 1);
  budget.stockIterLimit = ClampToInt32(std::min(stockOrders, stockBudget) - 1);
  return budget;
}

void LayoutSearch(SolverState& st, int k) {
  if (k < 1 || !RunTablesValid(st.run)) {
    RaiseError(st, TARVOLIN_ERROR_UNEXPECTED);
    return;
  }
  Search search(st, k);
  search.Run();
  RestoreBestPlan(st);
  Consolidate(st, k);
}

}  // namespace solver
