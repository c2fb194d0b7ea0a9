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

// Bars beyond the bar-demand bound of their group leave the initial order
// (no plan can need them, and every bar offered costs search time); they
// stay behind position initialStockCount.
// The bars of each stock group that a run keeps: at most the bar-demand
// bound under the given layout rules.
void KeptBars(const SolverState& st, const LayoutRules& rules, int32_t* keep) {
  const RunTables& r = st.run;
  const SolverSettings& se = st.settings;
  int16_t partQty[kPartGroupSlots] = {};
  for (int g = 1; g <= r.partGroupCount; ++g) partQty[g] = static_cast<int16_t>(r.partGroupQty[g]);
  for (int g = 1; g <= r.stockGroupCount; ++g) {
    const int32_t q = r.stockGroupQty[g];
    keep[g] = q;
    if (q < 1) continue;
    const int32_t bound =
        BarDemand(r.partGroupLength, partQty, r.partGroupCount, TARVOLIN_BAR_DEMAND_SLACK,
                  r.gripLength, se.endZone, se.kerf, r.stockGroupLength[g], rules);
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

bool TrimStock(SolverState& st) {
  RunTables& r = st.run;
  const SolverSettings& se = st.settings;
  // The layout limits can need more bars than the lengths; a run plans its
  // own demand, so a bundle adds nothing here. The bars they add beyond the
  // bound by length are kept only while the run's stock stays within the
  // sum limit, group by group.
  LayoutRules rules;
  rules.maxPieces = se.maxPiecesPerLayout;
  rules.maxDifferentPieces = se.maxDifferentPieces;
  int32_t keptBars[kStockGroupSlots] = {};
  KeptBars(st, rules, keptBars);
  if (KeptLength(st, keptBars) > kMaxSum) {
    int32_t byLength[kStockGroupSlots] = {};
    KeptBars(st, LayoutRules{}, byLength);
    int64_t total = KeptLength(st, byLength);
    for (int g = 1; g <= r.stockGroupCount; ++g) {
      const int64_t bar = int64_t{r.stockGroupLength[g]} + se.kerf - se.endZone;
      while (byLength[g] < keptBars[g] && total + bar <= kMaxSum) {
        ++byLength[g];
        total += bar;
      }
      keptBars[g] = byLength[g];
    }
  }
  int16_t trimmed[kItemSlots] = {};
  int32_t trimmedCount = 0;
  r.initialStockCount = 0;
  r.trimmedStockGroups = 0;
  int32_t first = 1;
  for (int g = 1; g <= r.stockGroupCount; ++g) {
    const int32_t q = r.stockGroupQty[g];
    const int32_t keep = keptBars[g];
    if (keep < q) {
      r.stockGroupQty[g] = keep;
      if (keep == 0) ++r.trimmedStockGroups;
    }
    for (int32_t j = 0; j < q; ++j) {
      const auto bar = static_cast<int16_t>(first + j);
      if (j < keep) {
        r.initialStockOrder[++r.initialStockCount] = bar;
      } else {
        trimmed[++trimmedCount] = bar;
      }
    }
    first += q;
  }
  for (int32_t t = 1; t <= trimmedCount; ++t) {
    r.initialStockOrder[r.initialStockCount + t] = trimmed[t];
  }
  int32_t pos = 0;
  for (int g = r.stockGroupCount; g >= 1; --g) {
    for (int32_t i = 1; i <= r.initialStockCount; ++i) {
      const int16_t bar = r.initialStockOrder[i];
      if (r.stockGroup[bar] == g) r.barsByGroup[++pos] = bar;
    }
  }
  r.distinctStockOrders = DistinctOrders(r.stockGroupQty, r.stockGroupCount);
  int32_t counted = 0;
  for (int g = 1; g <= r.stockGroupCount; ++g) counted += r.stockGroupQty[g];
  if (counted != r.initialStockCount || pos != r.initialStockCount) {
    RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_ORDER);
    return false;
  }
  return r.initialStockCount > 0;
}

// Statistics of the run on working lengths: extremes, totals, means, the
// estimated pieces per bar and bars needed, and how large the part groups
// are against a bar (mixType).
bool RunStatistics(SolverState& st) {
  RunTables& r = st.run;
  const GroupSpan stock = SpanOfGroups(r.stockGroupLength, r.stockGroupQty, r.stockGroupCount);
  r.minStock = stock.minLength;
  r.maxStock = stock.maxLength;
  r.maxStockQty = stock.maxQty;
  r.totalStockLength = stock.totalLength;
  bool rateSet = false;
  for (int g = 1; g <= r.stockGroupCount; ++g) {
    const int32_t q = r.stockGroupQty[g];
    if (q < 1) continue;
    const double rate =
        static_cast<double>(r.stockGroupCost[g]) / std::max(r.stockGroupLength[g], 1);
    if (!rateSet || rate < r.minCostRate) r.minCostRate = rate;
    rateSet = true;
    r.totalStockCost += int64_t{r.stockGroupCost[g]} * q;
  }
  const GroupSpan parts = SpanOfGroups(r.partGroupLength, r.partGroupQty, r.partGroupCount);
  r.minPart = parts.minLength;
  r.maxPart = parts.maxLength;
  r.maxPartQty = parts.maxQty;
  r.totalPartLength = parts.totalLength;
  bool ok = true;
  if (r.totalStockLength > kMaxSum) ok = (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_LENGTH), false);
  if (r.totalPartLength > kMaxSum) ok = (RaiseError(st, TARVOLIN_ERROR_RUN_PART_LENGTH), false);
  if (r.totalStockCost > kMaxSum) ok = (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_COST), false);
  if (!ok) return false;

  r.meanPiece = static_cast<int32_t>(r.totalPartLength / r.pieceCount);
  r.meanStock = static_cast<int32_t>(r.totalStockLength / r.initialStockCount);
  r.meanCost = static_cast<int32_t>(r.totalStockCost / r.initialStockCount);
  const double meanPiece = std::max(r.meanPiece, 1);
  const double meanStock = std::max(r.meanStock, 1);
  // Adding 0.51 before rounding rounds the estimates up.
  r.estPieces = static_cast<int32_t>(
      std::min<int64_t>(r.pieceCount, RoundEven(r.totalStockLength / meanPiece + 0.51)));
  r.estStocks = static_cast<int32_t>(
      std::min<int64_t>(r.initialStockCount, RoundEven(r.totalPartLength / meanStock + 0.51)));

  // Bars' worth of demand per open part group: up to half a bar, each group
  // is small against a bar; two bars or more, each group fills bars alone.
  const int openGroups = r.partGroupCount - r.emptyPartGroups;
  const double ratio = static_cast<double>(r.totalPartLength) / openGroups / meanStock;
  r.mixType = ratio <= 0.5 ? kMixSmallGroups : (ratio >= 2 ? kMixLargeGroups : kMixMediumGroups);
  return true;
}

// Which combinations of part groups the construction tries: pairs only
// when groups are not all small against a bar, neither when the layout
// limits forbid them, triples only with three open groups. Without triples
// pairs are tried more selectively.
void CombinationFlags(SolverState& st) {
  RunTables& r = st.run;
  const SolverSettings& se = st.settings;
  if (r.mixType == kMixSmallGroups) r.pairCombos = false;
  if (se.maxDifferentPieces == 1 || se.maxPiecesPerLayout == 1) {
    r.pairCombos = false;
    r.tripleCombos = false;
  }
  if (se.maxDifferentPieces == 2 || se.maxPiecesPerLayout == 2) r.tripleCombos = false;
  const int openGroups = r.partGroupCount - r.emptyPartGroups;
  if (openGroups < 3) r.tripleCombos = false;
  if (openGroups < 2) r.pairCombos = false;
  if (!r.tripleCombos) {
    r.runShare = kPairOnlyRunShare;
    r.pairFill = kPairOnlyFill;
  }
}

// The cost rate of the dearest stock group needed to cover the demand:
// groups are taken cheapest rate first, each counted as covering 95 % of
// its length; a group needed only for a rest below 30 % of its capacity
// does not set the rate (nor does one that is dearer than needed by less
// than kRateTolerance).
void ReferenceCostRate(SolverState& st) {
  RunTables& r = st.run;
  r.refCostRate = 0;
  if (!st.settings.effectiveCostMode) return;
  bool taken[kStockGroupSlots] = {};
  int64_t remaining = r.totalPartLength;
  bool first = true;
  while (remaining >= 1) {
    int pick = 0;
    double pickRate = 0;
    for (int g = 1; g <= r.stockGroupCount; ++g) {
      if (taken[g] || r.stockGroupQty[g] < 1) continue;
      const double rate =
          static_cast<double>(r.stockGroupCost[g]) / std::max(r.stockGroupLength[g], 1);
      if (pick == 0 || rate < pickRate) {
        pick = g;
        pickRate = rate;
      }
    }
    if (pick == 0) break;
    taken[pick] = true;
    const double capacity = static_cast<double>(r.stockGroupQty[pick]) * r.stockGroupLength[pick];
    if (first || pickRate <= r.refCostRate + kRateTolerance ||
        remaining > kRestShareSettingRate * capacity) {
      r.refCostRate = pickRate;
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

}  // namespace

bool PrepareRun(SolverState& st, int subLevel) {
  ResetRunTables(st);
  RunTables& r = st.run;
  const DriverTables& d = st.driver;
  const SolverSettings& se = st.settings;
  const ProblemTables& pr = st.problem;

  r.subLevel = subLevel;
  r.passLimit = subLevel;
  r.driverMode = d.mode;
  r.driverStartMs = d.startMs;
  r.gripLength = se.gripLength;

  r.partGroupCount = pr.partGroupCount;
  for (int g = 1; g <= pr.partGroupCount; ++g) {
    const int32_t q = d.workPartQty[g];
    r.partGroupLength[g] = pr.partGroupLength[g];
    r.partGroupQty[g] = q;
    if (q < 0) return (RaiseError(st, TARVOLIN_ERROR_RUN_PART_QUANTITY), false);
    if (q == 0) ++r.emptyPartGroups;
    if (!AppendRunItems(r.pieceGroup, r.pieceCount, g, q)) {
      return (RaiseError(st, TARVOLIN_ERROR_RUN_PART_ITEMS), false);
    }
  }
  r.distinctPieceOrders = DistinctOrders(r.partGroupQty, r.partGroupCount);

  r.stockGroupCount = pr.stockGroupCount;
  for (int g = 1; g <= pr.stockGroupCount; ++g) {
    const int32_t q = d.workStockQty[g];
    r.stockGroupLength[g] = pr.stockGroupLength[g];
    r.stockGroupCost[g] = pr.stockGroupCost[g];
    r.stockGroupQty[g] = q;
    if (q < 0) return (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_QUANTITY), false);
    if (q == 0) ++r.emptyStockGroups;
    if (!AppendRunItems(r.stockGroup, r.stockCount, g, q)) {
      return (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_ITEMS), false);
    }
  }
  // The stock orders are counted once the trim has set the quantities.

  if (r.pieceCount == 0 || r.stockCount == 0) return false;
  if (!TrimStock(st)) return false;

  // Working lengths carry one kerf. Computed wide: a length beyond the sum
  // limit cannot belong to a plannable problem and must not wrap around.
  for (int g = 1; g <= r.stockGroupCount; ++g) {
    const int64_t w = int64_t{r.stockGroupLength[g]} + se.kerf - se.endZone;
    if (w > kMaxSum) return (RaiseError(st, TARVOLIN_ERROR_RUN_STOCK_LENGTH), false);
    r.stockGroupLength[g] = static_cast<int32_t>(w);
  }
  for (int g = 1; g <= r.partGroupCount; ++g) {
    const int64_t w = int64_t{r.partGroupLength[g]} + se.kerf;
    if (w > kMaxSum) return (RaiseError(st, TARVOLIN_ERROR_RUN_PART_LENGTH), false);
    r.partGroupLength[g] = static_cast<int32_t>(w);
  }
  if (se.gripLength > 0) {
    r.gripLength =
        static_cast<int32_t>(std::min<int64_t>(int64_t{se.gripLength} + se.kerf, kMaxSum));
  }

  if (!RunStatistics(st)) return false;
  if (r.minStock >= r.totalPartLength) r.passLimit = 0;
  CombinationFlags(st);
  ReferenceCostRate(st);
  return true;
}

}  // namespace solver
