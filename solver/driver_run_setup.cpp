// The tables of one run of the layout search: its items from the working
// quantities, the stock trimmed to what a plan can need, working lengths,
// statistics, the combinations tried and the reference cost rate.
#include <algorithm>
#include <iterator>

#include "bar_demand.h"
#include "driver.h"
#include "solver_services.h"
#include "solver_state.h"
#include "tarvolin/cut_optimize.h"
#include "tarvolin/errors.h"
#include "tarvolin/limits.h"

namespace solver {

namespace {

// The reference cost rate counts each stock group as covering this share of
// its length (bars are never filled completely) ...
constexpr double kUsableShareOfStock = 0.95;
// ... and a group needed for less than this share of its capacity does not
// set the rate.
constexpr double kRestShareSettingRate = 0.3;

// Appends q items of group g to a run item list. Returns false when the
// list would overflow.
bool AppendRunItems(int16_t* groupOf, int32_t& count, int g, int32_t q) {
  for (int32_t j = 1; j <= q; ++j) {
    if (count >= kMaxItems) return false;
    groupOf[++count] = static_cast<int16_t>(g);
  }
  return true;
}

// The number of distinct orders of items with these group quantities (the
// multinomial coefficient), plus 1. Counting stops once kOrderCountCap is
// reached: beyond it the count no longer limits any iteration budget.
int32_t DistinctOrders(const int32_t* qty, int groups) {
  int64_t orders = 1;
  int32_t n = 0;
  for (int g = 1; g <= groups; ++g) {
    for (int32_t j = 1; j <= qty[g]; ++j) {
      ++n;
      if (orders < kOrderCountCap) orders = orders * n / j;
    }
  }
  return static_cast<int32_t>(orders + 1);
}

// The bars of each stock group that a run keeps: at most the bar-demand
// bound under the given layout rules.
void KeptBars(const SolverState& st, const LayoutRules& rules, int32_t* keep) {
  const RunTables& run = st.run;
  const SolverSettings& settings = st.settings;
  int16_t partQty[kPartGroupSlots] = {};
  for (int g = 1; g <= run.partGroupCount; ++g)
    partQty[g] = static_cast<int16_t>(run.partGroupQty[g]);
  for (int g = 1; g <= run.stockGroupCount; ++g) {
    const int32_t q = run.stockGroupQty[g];
    keep[g] = q;
    if (q < 1) continue;
    const int32_t bound =
        BarDemand(run.partGroupLength, partQty, run.partGroupCount, TARVOLIN_BAR_DEMAND_SLACK,
                  run.gripLength, settings.endZone, settings.kerf, run.stockGroupLength[g], rules);
    if (bound < q) keep[g] = std::max(bound, 0);
  }
}

// Total working length of the kept bars, as the run's statistics will add it.
int64_t KeptLength(const SolverState& st, const int32_t* keep) {
  int64_t total = 0;
  for (int g = 1; g <= st.run.stockGroupCount; ++g) {
    total += int64_t{keep[g]} *
             (int64_t{st.run.stockGroupLength[g]} + st.settings.kerf - st.settings.endZone);
  }
  return total;
}

// The bars of each stock group the run keeps. The layout limits can need
// more bars than the lengths; a run plans its own demand, so a bundle adds
// nothing here. The bars they add beyond the bound by length are kept only
// while the run's stock stays within the sum limit, group by group.
void KeptBarsWithinSum(const SolverState& st, int32_t* keptBars) {
  const RunTables& run = st.run;
  const SolverSettings& settings = st.settings;
  LayoutRules rules;
  rules.maxPieces = settings.maxPiecesPerLayout;
  rules.maxDifferentPieces = settings.maxDifferentPieces;
  KeptBars(st, rules, keptBars);
  if (KeptLength(st, keptBars) <= kMaxSum) return;
  int32_t byLength[kStockGroupSlots] = {};
  KeptBars(st, LayoutRules{}, byLength);
  int64_t total = KeptLength(st, byLength);
  for (int g = 1; g <= run.stockGroupCount; ++g) {
    const int64_t bar = int64_t{run.stockGroupLength[g]} + settings.kerf - settings.endZone;
    while (byLength[g] < keptBars[g] && total + bar <= kMaxSum) {
      ++byLength[g];
      total += bar;
    }
    keptBars[g] = byLength[g];
  }
}

// Bars beyond the bar-demand bound of their group leave the initial order
// (no plan can need them, and every bar offered costs search time); they
// stay behind position initialStockCount.
bool TrimStock(SolverState& st) {
  RunTables& run = st.run;
  int32_t keptBars[kStockGroupSlots] = {};
  KeptBarsWithinSum(st, keptBars);
  int16_t trimmed[kItemSlots] = {};
  int32_t trimmedCount = 0;
  run.initialStockCount = 0;
  run.trimmedStockGroups = 0;
  int32_t first = 1;
  for (int g = 1; g <= run.stockGroupCount; ++g) {
    const int32_t q = run.stockGroupQty[g];
    const int32_t keep = keptBars[g];
    if (keep < q) {
      run.stockGroupQty[g] = keep;
      if (keep == 0) ++run.trimmedStockGroups;
    }
    for (int32_t j = 0; j < q; ++j) {
      const auto bar = static_cast<int16_t>(first + j);
      if (j < keep) {
        run.initialStockOrder[++run.initialStockCount] = bar;
      } else {
        trimmed[++trimmedCount] = bar;
      }
    }
    first += q;
  }
  for (int32_t t = 1; t <= trimmedCount; ++t) {
    run.initialStockOrder[run.initialStockCount + t] = trimmed[t];
  }
  int32_t pos = 0;
  for (int g = run.stockGroupCount; g >= 1; --g) {
    for (int32_t i = 1; i <= run.initialStockCount; ++i) {
      const int16_t bar = run.initialStockOrder[i];
      if (run.stockGroup[bar] == g) run.barsByGroup[++pos] = bar;
    }
  }
  run.distinctStockOrders = DistinctOrders(run.stockGroupQty, run.stockGroupCount);
  int32_t counted = 0;
  for (int g = 1; g <= run.stockGroupCount; ++g) counted += run.stockGroupQty[g];
  if (counted != run.initialStockCount || pos != run.initialStockCount) {
    RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_ORDER);
    return false;
  }
  return run.initialStockCount > 0;
}

// Statistics of the run on working lengths: extremes, totals, means, the
// estimated pieces per bar and bars needed, and how large the part groups
// are against a bar (mixType).
bool RunStatistics(SolverState& st) {
  RunTables& run = st.run;
  const GroupSpan stock =
      SpanOfGroups(run.stockGroupLength, run.stockGroupQty, run.stockGroupCount);
  run.minStock = stock.minLength;
  run.maxStock = stock.maxLength;
  run.maxStockQty = stock.maxQty;
  run.totalStockLength = stock.totalLength;
  bool rateSet = false;
  for (int g = 1; g <= run.stockGroupCount; ++g) {
    const int32_t q = run.stockGroupQty[g];
    if (q < 1) continue;
    const double rate =
        static_cast<double>(run.stockGroupCost[g]) / std::max(run.stockGroupLength[g], 1);
    if (!rateSet || rate < run.minCostRate) run.minCostRate = rate;
    rateSet = true;
    run.totalStockCost += int64_t{run.stockGroupCost[g]} * q;
  }
  const GroupSpan parts = SpanOfGroups(run.partGroupLength, run.partGroupQty, run.partGroupCount);
  run.minPart = parts.minLength;
  run.maxPart = parts.maxLength;
  run.maxPartQty = parts.maxQty;
  run.totalPartLength = parts.totalLength;
  bool ok = true;
  if (run.totalStockLength > kMaxSum) ok = (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_LENGTH), false);
  if (run.totalPartLength > kMaxSum) ok = (RaiseError(st, TARVOLIN_ERROR_RUN_PART_LENGTH), false);
  if (run.totalStockCost > kMaxSum) ok = (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_COST), false);
  if (!ok) return false;

  run.meanPiece = static_cast<int32_t>(run.totalPartLength / run.pieceCount);
  run.meanStock = static_cast<int32_t>(run.totalStockLength / run.initialStockCount);
  run.meanCost = static_cast<int32_t>(run.totalStockCost / run.initialStockCount);
  const double meanPiece = std::max(run.meanPiece, 1);
  const double meanStock = std::max(run.meanStock, 1);
  // Adding 0.51 before rounding rounds the estimates up.
  run.estPieces = static_cast<int32_t>(
      std::min<int64_t>(run.pieceCount, RoundEven(run.totalStockLength / meanPiece + 0.51)));
  run.estStocks = static_cast<int32_t>(
      std::min<int64_t>(run.initialStockCount, RoundEven(run.totalPartLength / meanStock + 0.51)));

  // Bars' worth of demand per open part group: up to half a bar, each group
  // is small against a bar; two bars or more, each group fills bars alone.
  const int openGroups = run.partGroupCount - run.emptyPartGroups;
  const double ratio = static_cast<double>(run.totalPartLength) / openGroups / meanStock;
  run.mixType = ratio <= 0.5 ? kMixSmallGroups : (ratio >= 2 ? kMixLargeGroups : kMixMediumGroups);
  return true;
}

// Which combinations of part groups the construction tries: pairs only
// when groups are not all small against a bar, neither when the layout
// limits forbid them, triples only with three open groups. Without triples
// pairs are tried more selectively.
void CombinationFlags(SolverState& st) {
  RunTables& run = st.run;
  const SolverSettings& settings = st.settings;
  if (run.mixType == kMixSmallGroups) run.pairCombos = false;
  if (settings.maxDifferentPieces == 1 || settings.maxPiecesPerLayout == 1) {
    run.pairCombos = false;
    run.tripleCombos = false;
  }
  if (settings.maxDifferentPieces == 2 || settings.maxPiecesPerLayout == 2)
    run.tripleCombos = false;
  const int openGroups = run.partGroupCount - run.emptyPartGroups;
  if (openGroups < 3) run.tripleCombos = false;
  if (openGroups < 2) run.pairCombos = false;
  if (!run.tripleCombos) {
    run.runShare = kPairOnlyRunShare;
    run.pairFill = kPairOnlyFill;
  }
}

// The cost rate of the dearest stock group needed to cover the demand:
// groups are taken cheapest rate first, each counted as covering 95 % of
// its length; a group needed only for a rest below 30 % of its capacity
// does not set the rate (nor does one that is dearer than needed by less
// than kRateTolerance).
void ReferenceCostRate(SolverState& st) {
  RunTables& run = st.run;
  run.refCostRate = 0;
  if (!st.settings.effectiveCostMode) return;
  bool taken[kStockGroupSlots] = {};
  int64_t remaining = run.totalPartLength;
  bool first = true;
  while (remaining >= 1) {
    int pick = 0;
    double pickRate = 0;
    for (int g = 1; g <= run.stockGroupCount; ++g) {
      if (taken[g] || run.stockGroupQty[g] < 1) continue;
      const double rate =
          static_cast<double>(run.stockGroupCost[g]) / std::max(run.stockGroupLength[g], 1);
      if (pick == 0 || rate < pickRate) {
        pick = g;
        pickRate = rate;
      }
    }
    if (pick == 0) break;
    taken[pick] = true;
    const double capacity =
        static_cast<double>(run.stockGroupQty[pick]) * run.stockGroupLength[pick];
    if (first || pickRate <= run.refCostRate + kRateTolerance ||
        remaining > kRestShareSettingRate * capacity) {
      run.refCostRate = pickRate;
    }
    first = false;
    remaining -= RoundEven(kUsableShareOfStock * capacity);
  }
}

// Resets the run tables for a new run; the consistency counters are the
// call's and stay.
void ResetRunTables(SolverState& st) {
  int32_t check[kCheckSlots];
  std::copy(std::begin(st.run.check), std::end(st.run.check), check);
  st.run = RunTables{};
  std::copy(std::begin(check), std::end(check), st.run.check);
}

// The run's part and stock groups and items from the driver's working
// quantities. Returns false after an error.
bool FillRunItems(SolverState& st) {
  RunTables& run = st.run;
  const DriverTables& driver = st.driver;
  const ProblemTables& problem = st.problem;
  run.partGroupCount = problem.partGroupCount;
  for (int g = 1; g <= problem.partGroupCount; ++g) {
    const int32_t q = driver.workPartQty[g];
    run.partGroupLength[g] = problem.partGroupLength[g];
    run.partGroupQty[g] = q;
    if (q < 0) return (RaiseError(st, TARVOLIN_ERROR_RUN_PART_QUANTITY), false);
    if (q == 0) ++run.emptyPartGroups;
    if (!AppendRunItems(run.pieceGroup, run.pieceCount, g, q)) {
      return (RaiseError(st, TARVOLIN_ERROR_RUN_PART_ITEMS), false);
    }
  }
  run.distinctPieceOrders = DistinctOrders(run.partGroupQty, run.partGroupCount);

  run.stockGroupCount = problem.stockGroupCount;
  for (int g = 1; g <= problem.stockGroupCount; ++g) {
    const int32_t q = driver.workStockQty[g];
    run.stockGroupLength[g] = problem.stockGroupLength[g];
    run.stockGroupCost[g] = problem.stockGroupCost[g];
    run.stockGroupQty[g] = q;
    if (q < 0) return (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_QUANTITY), false);
    if (q == 0) ++run.emptyStockGroups;
    if (!AppendRunItems(run.stockGroup, run.stockCount, g, q)) {
      return (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_ITEMS), false);
    }
  }
  // The stock orders are counted once the trim has set the quantities.
  return true;
}

// Working lengths carry one kerf. Computed wide: a length beyond the sum
// limit cannot belong to a plannable problem and must not wrap around.
// Returns false after an error.
bool SetWorkingLengths(SolverState& st) {
  RunTables& run = st.run;
  const SolverSettings& settings = st.settings;
  for (int g = 1; g <= run.stockGroupCount; ++g) {
    const int64_t w = int64_t{run.stockGroupLength[g]} + settings.kerf - settings.endZone;
    if (w > kMaxSum) return (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_LENGTH), false);
    run.stockGroupLength[g] = static_cast<int32_t>(w);
  }
  for (int g = 1; g <= run.partGroupCount; ++g) {
    const int64_t w = int64_t{run.partGroupLength[g]} + settings.kerf;
    if (w > kMaxSum) return (RaiseError(st, TARVOLIN_ERROR_RUN_PART_LENGTH), false);
    run.partGroupLength[g] = static_cast<int32_t>(w);
  }
  if (settings.gripLength > 0) {
    run.gripLength = static_cast<int32_t>(
        std::min<int64_t>(int64_t{settings.gripLength} + settings.kerf, kMaxSum));
  }
  return true;
}

}  // namespace

bool PrepareRun(SolverState& st, int subLevel) {
  ResetRunTables(st);
  RunTables& run = st.run;
  run.subLevel = subLevel;
  run.passLimit = subLevel;
  run.driverMode = st.driver.mode;
  run.driverStartMs = st.driver.startMs;
  run.gripLength = st.settings.gripLength;

  if (!FillRunItems(st)) return false;
  if (run.pieceCount == 0 || run.stockCount == 0) return false;
  if (!TrimStock(st)) return false;
  if (!SetWorkingLengths(st)) return false;

  if (!RunStatistics(st)) return false;
  if (run.minStock >= run.totalPartLength) run.passLimit = 0;
  CombinationFlags(st);
  ReferenceCostRate(st);
  return true;
}

}  // namespace solver
