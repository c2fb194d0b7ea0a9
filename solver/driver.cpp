#include "driver.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "bar_demand.h"
#include "consolidation.h"
#include "search.h"
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

// The layout order by waste starts above every layout number (a plan has at
// most kMaxItems bars, so at most that many layouts).
constexpr int32_t kAboveEveryLayout = 25555;

// Sub-level and candidate count of the passes of each level: the first pass
// (levels above the two-pass threshold) and the only or second pass.
struct PassPlan {
  int firstSub, firstCount, sub, count;
};
constexpr PassPlan kLevelPasses[kSubLevels] = {
    {0, 0, 0, 3},  {0, 0, 1, 5},  {1, 7, 2, 1},  {2, 9, 3, 1},  {2, 12, 4, 2},  {3, 14, 5, 2},
    {3, 18, 6, 2}, {4, 20, 7, 2}, {4, 20, 8, 3}, {5, 22, 9, 3}, {5, 25, 10, 3},
};

bool ErrorRaised(const SolverState& st) {
  return st.error.number != 0;
}

// First internal item of each group (items of a group are consecutive).
void FirstItems(const SolverState& st, int32_t* firstPart, int32_t* firstStock) {
  const ProblemTables& pr = st.problem;
  for (int i = pr.partCount; i >= 1; --i) firstPart[pr.partGroup[i]] = i;
  for (int i = pr.stockCount; i >= 1; --i) firstStock[pr.stockGroup[i]] = i;
}

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

// Rebuilds the result tables in internal numbering from the bundle run and
// the remainder run. Returns the internal item of the remainder run's last
// bar (0 = none).
int32_t MapRunsToItems(SolverState& st, int32_t m) {
  DriverTables& d = st.driver;
  const BundleRunTables& b = d.bundle;
  const RunTables& r = st.run;
  int32_t firstPart[kPartGroupSlots] = {};
  int32_t firstStock[kStockGroupSlots] = {};
  FirstItems(st, firstPart, firstStock);
  const int32_t stockCount = st.problem.stockCount;
  const int32_t partCount = st.problem.partCount;
  auto validBar = [&](int32_t bar) { return bar >= 1 && bar <= stockCount; };
  auto validPart = [&](int32_t part) { return part >= 1 && part <= partCount; };

  if (d.bundleKept) {
    bool barUsed[kItemSlots] = {};
    for (int32_t p = 1; p <= b.pieceCount; ++p) {
      const int16_t bar = b.stockOfPiece[p];
      if (bar >= 1 && bar <= b.stockCount) barUsed[bar] = true;
    }
    int32_t barBase[kItemSlots] = {};
    int32_t usedOfGroup[kStockGroupSlots] = {};
    for (int32_t s = 1; s <= b.stockCount; ++s) {
      if (!barUsed[s]) continue;
      const int g = b.stockGroup[s];
      barBase[s] = firstStock[g] + usedOfGroup[g]++ * m;
    }
    int32_t cutOfGroup[kPartGroupSlots] = {};
    for (int32_t p = 1; p <= b.pieceCount; ++p) {
      const int16_t bar = b.stockOfPiece[p];
      if (bar < 1 || bar > b.stockCount) continue;
      const int g = b.pieceGroup[p];
      const int32_t base = firstPart[g] + cutOfGroup[g]++ * m;
      for (int32_t c = 0; c < m; ++c) {
        if (validPart(base + c) && validBar(barBase[bar] + c)) {
          d.resultStockOfPiece[base + c] = static_cast<int16_t>(barBase[bar] + c);
        } else {
          CountFailure(st.run.check, Check::kResultItemMapping);
        }
      }
    }
  }

  if (!d.remainderRan) return 0;
  const int32_t k = d.bundleKept ? m : 0;
  int32_t barItem[kItemSlots] = {};
  int32_t seen[kStockGroupSlots] = {};
  for (int32_t s = 1; s <= r.stockCount; ++s) {
    const int g = r.stockGroup[s];
    barItem[s] = firstStock[g] + k * b.usedBars[g] + seen[g]++;
  }
  int32_t seenPart[kPartGroupSlots] = {};
  for (int32_t p = 1; p <= r.pieceCount; ++p) {
    const int g = r.pieceGroup[p];
    const int32_t item = firstPart[g] + k * b.usedPieces[g] + seenPart[g]++;
    const int16_t bar = r.stockOfPiece[p];
    if (!validPart(item)) {
      CountFailure(st.run.check, Check::kResultItemMapping);
      continue;
    }
    if (bar >= 1 && bar <= r.stockCount && validBar(barItem[bar])) {
      d.resultStockOfPiece[item] = static_cast<int16_t>(barItem[bar]);
    }
  }
  const int32_t last = r.current.lastStock;
  return (last >= 1 && last <= r.stockCount) ? barItem[last] : 0;
}

// Numbering, grouping and tidying of the result plan, then its summary.
void ConsolidateResult(SolverState& st) {
  DriverTables& d = st.driver;
  const SolverSettings& se = st.settings;
  int32_t* counters = st.run.check;
  LayoutPlan p = ProblemLayoutPlan(st, d.resultBarLayout);
  if (se.layoutsByMark && !se.groupPartsByMark) {
    NumberLayouts(p, false, false);
    CheckLayouts(p, counters);
    OrderLayoutsByWaste(st);
    GroupBarsByLayout(p);
    d.result.lastStock = p.lastBar;
    CheckLayouts(p, counters);
  }
  NumberLayouts(p, true, se.layoutsByMark);
  CheckLayouts(p, counters);
  OrderLayoutsByWaste(st);
  GroupBarsByLayout(p);
  d.result.lastStock = p.lastBar;
  TidyPieceBars(p, se.layoutsByMark);
  CheckLayouts(p, counters);
  d.result.layouts = p.layoutCount;
  d.result.layoutCuts = p.layoutCuts;

  if (se.layoutsByMark) {
    std::copy(std::begin(d.resultBarLayout), std::end(d.resultBarLayout), d.resultBarPattern);
    d.result.patterns = p.layoutCount;
  } else {
    LayoutPlan q = ProblemLayoutPlan(st, d.resultBarPattern);
    NumberLayouts(q, false, true);
    CheckLayouts(q, counters);
    d.result.patterns = q.layoutCount;
  }

  SummaryDetail detail;
  detail.barParts = d.resultBarParts;
  detail.barWaste = d.resultBarWaste;
  FillSummary(d.result, p, &detail);
}

// The plan of the current candidate becomes the best: the result tables
// are rebuilt in internal item numbering, consolidated, and checked against
// the runs they came from.
void TakeNewBest(SolverState& st, int32_t m) {
  DriverTables& d = st.driver;
  const RunRecord& cur = st.run.current;
  d.bestCriterion = cur.criterion;
  d.bestMultiplicity = m;
  if (st.settings.showProgress) ShowBestPlan(st, d.bestCriterion);

  ClearResult(d);
  const int32_t lastItem = MapRunsToItems(st, m);
  RunRecord& res = d.result;
  res.criterion = cur.criterion;
  res.lastStock = lastItem;
  res.layouts = cur.layouts;
  res.layoutCuts = cur.layoutCuts;
  res.lastParts = cur.lastParts;
  res.lastLength = cur.lastLength;
  res.lastRemainder = cur.lastRemainder;
  res.lastCost = cur.lastCost;

  const RunRecord before = res;
  ConsolidateResult(st);

  int32_t* check = st.run.check;
  const RunRecord& bestOfRun = d.bestOfRun;
  if (res.lastParts != before.lastParts) CountFailure(check, Check::kResultLastParts);
  if (res.lastLength != before.lastLength) CountFailure(check, Check::kResultLastLength);
  if (res.lastRemainder != before.lastRemainder) CountFailure(check, Check::kResultLastRemainder);
  if (res.lastCost != before.lastCost) CountFailure(check, Check::kResultLastCost);
  if (res.maxRemainder < bestOfRun.maxRemainder || res.maxRemainder < cur.maxRemainder)
    CountFailure(check, Check::kResultMaxRemainder);
  if (res.bars != bestOfRun.bars * m + cur.bars) CountFailure(check, Check::kResultBars);
  if (res.parts != bestOfRun.parts * m + cur.parts) CountFailure(check, Check::kResultParts);
  if (res.length != bestOfRun.length * m + cur.length) CountFailure(check, Check::kResultLength);
  if (res.waste != bestOfRun.waste * m + cur.waste) CountFailure(check, Check::kResultWaste);
  if (res.cost != bestOfRun.cost * m + cur.cost) CountFailure(check, Check::kResultCost);
  RaiseConsistencyErrors(st);
}

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

int32_t OrderWeight(int r, int n, int items) {
  if (n <= 0 || items <= 0) return 0;
  // A curved, strictly rising shape keeps sums of weights of different
  // ranks from coinciding easily; shape / 3 stays below 1, so the weights
  // of all items of a call add up to less than the sum limit.
  const double a = static_cast<double>(r) / n;
  const double shape = std::sin(a) + a + a * a;
  return static_cast<int32_t>(RoundEven(shape / 3 * kMaxSum / items));
}

void ComputeOrderWeights(SolverState& st) {
  ProblemTables& pr = st.problem;
  const int n = pr.partGroupCount;
  for (int g = 1; g <= n; ++g) pr.partGroupWeight[g] = OrderWeight(g, n, pr.partCount);

  int32_t marks[kItemSlots] = {};
  int32_t rank[kItemSlots] = {};
  int distinct = 0;
  for (int i = 1; i <= pr.partCount; ++i) {
    if (pr.partMark[i] <= 0) continue;
    int r = 0;
    for (int j = 1; j <= distinct; ++j) {
      if (marks[j] == pr.partMark[i]) r = j;
    }
    if (r == 0) {
      r = ++distinct;
      marks[r] = pr.partMark[i];
    }
    rank[i] = r;
  }
  if (distinct == 0) return;
  for (int i = 1; i <= pr.partCount; ++i) {
    const int32_t markWeight = OrderWeight(rank[i], distinct, pr.partCount);
    pr.partMark[i] = static_cast<int32_t>(
        RoundEven(0.5 * markWeight + 0.5 * pr.partGroupWeight[pr.partGroup[i]]));
  }
}

void MeasureCandidate(const SolverState& st, int32_t m, Candidate& c) {
  const ProblemTables& pr = st.problem;
  c.multiplicity = m;
  c.bundles = 0;
  c.remainderPieces = 0;
  c.bundleLength = 0;
  c.remainderLength = 0;
  for (int g = 1; g <= pr.partGroupCount; ++g) {
    const int32_t q = pr.partGroupQty[g];
    c.bundles += q / m;
    c.remainderPieces += q % m;
    c.bundleLength += int64_t{q / m} * pr.partGroupLength[g];
    c.remainderLength += int64_t{q % m} * pr.partGroupLength[g];
  }
}

// A guess of how good a plan with multiplicity m can be, relative to cutting
// every piece one by one (1.01). Bundles pay off while there are many of
// them: log(bundles / limit) is negative below a limit that grows with the
// pieces per bar and the number of groups, and costs 0.6 % per unit then;
// above it, more bundles gain 0.2 % per unit. A multiplicity that leaves
// no remainder halves the distance to 1.
double EstimateCandidate(const SolverState& st, const Candidate& c) {
  double estimate = 0;
  if (c.bundles == 0) return 0;
  if (c.multiplicity == 1) {
    estimate = 1.01;
  } else {
    const double x =
        static_cast<double>(st.stats.avgStockLength) / std::max(st.stats.avgPartLength, 1) / 4;
    const double y = static_cast<double>(st.problem.partGroupCount) / 10;
    const double limit = static_cast<double>(std::clamp<int64_t>(RoundEven(120 * x * y), 30, 200));
    const double f = std::clamp(y, 0.2, 5.0);
    const double g = std::log(c.bundles / limit);
    estimate = g < 0 ? 1 + 0.006 * g * f : 1 - 0.002 * g;
  }
  if (c.remainderPieces == 0) estimate = 1 - (1 - estimate) * 0.5;
  return estimate;
}

int InsertCandidate(SolverState& st, const Candidate& c) {
  DriverTables& d = st.driver;
  int pos = d.candidateCount + 1;
  for (int j = 1; j <= d.candidateCount; ++j) {
    if (d.candidates[j].estimate < c.estimate) {
      pos = j;
      break;
    }
  }
  if (pos >= kCandidateSlots) return 0;
  for (int j = std::min(d.candidateCount, kMaxCandidates - 1); j >= pos; --j) {
    d.candidates[j + 1] = d.candidates[j];
  }
  d.candidates[pos] = c;
  d.candidateCount = std::min(d.candidateCount + 1, kMaxCandidates);
  return pos;
}

void BuildCandidateTable(SolverState& st) {
  DriverTables& d = st.driver;
  for (Candidate& c : d.candidates) c = Candidate{};
  d.candidateCount = 0;
  if (st.settings.bundle >= 1) {
    d.mode = kModeBundleGiven;
    Candidate c;
    MeasureCandidate(st, st.settings.bundle, c);
    c.estimate = EstimateCandidate(st, c);
    d.candidates[1] = c;
    d.candidateCount = 1;
    return;
  }
  d.mode = kModeSearch;
  const int32_t start =
      std::max(1, std::min({st.problem.partCount, st.stats.maxPartQty, st.stats.maxStockQty}));
  for (int32_t m = start; m >= 1; --m) {
    Candidate c;
    MeasureCandidate(st, m, c);
    if (m != 1 && 2 * c.bundleLength <= st.stats.minStockLength) continue;
    c.estimate = EstimateCandidate(st, c);
    InsertCandidate(st, c);
  }
}

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

bool UpdateBestTen(SolverState& st, int32_t m) {
  DriverTables& d = st.driver;
  const RunRecord& cur = st.run.current;
  const RunRecord& bestOfRun = d.bestOfRun;
  BestTenEntry e;
  e.parts = bestOfRun.parts * m + cur.parts;
  e.stocks = bestOfRun.bars * m + cur.bars;
  e.cost = bestOfRun.cost * m + cur.cost;
  const int64_t length = int64_t{bestOfRun.length} * m + cur.length;
  const int64_t waste = int64_t{bestOfRun.waste} * m + cur.waste;
  e.utilization =
      length > 0
          ? static_cast<int32_t>(RoundEven(static_cast<double>(length - waste) / length * 100000))
          : 0;
  e.criterion = ScaledFraction(cur.criterion);
  e.layouts = cur.layouts;
  e.layoutCuts = cur.layoutCuts;
  e.elapsedMs = static_cast<int32_t>(RoundEven(NowMs(st) - st.progress.callStartMs));
  if (cur.lastStock != 0) {
    e.stocks += 1;
    e.parts += cur.lastParts;
  }

  int smallest = 1;
  for (int i = 1; i <= kBestTenSlots; ++i) {
    const BestTenEntry& s = d.bestTen[i];
    if (s.criterion < d.bestTen[smallest].criterion) smallest = i;
    if (s.utilization == e.utilization && s.cost == e.cost && s.layouts == e.layouts &&
        s.layoutCuts == e.layoutCuts && s.stocks == e.stocks && s.parts == e.parts) {
      return false;
    }
  }
  if (e.criterion <= d.bestTen[smallest].criterion) return false;
  d.bestTen[smallest] = e;
  d.bestTenCount = std::min(d.bestTenCount + 1, kBestTenSlots);

  const TargetSolution& t = st.target;
  return e.utilization == t.utilRate && e.cost == t.costUsed && e.layouts == t.layoutNum &&
         e.layoutCuts == t.layoutCuts && e.stocks == t.stockUsed && e.parts == t.partsCut;
}

void OrderLayoutsByWaste(SolverState& st) {
  const ProblemTables& pr = st.problem;
  DriverTables& d = st.driver;
  int32_t* layout = d.resultBarLayout;

  int64_t load[kItemSlots] = {};
  for (int p = 1; p <= pr.partCount; ++p) {
    const int16_t bar = d.resultStockOfPiece[p];
    if (bar >= 1 && bar <= pr.stockCount) load[bar] += int64_t{pr.partLength[p]} + st.settings.kerf;
  }
  int64_t waste[kItemSlots] = {};
  for (int s = 1; s <= pr.stockCount; ++s)
    waste[s] = std::max<int64_t>(0, pr.stockLength[s] - load[s]);

  int32_t first = 1;
  for (int g = 1; g <= pr.stockGroupCount; ++g) {
    const int32_t end = first + pr.stockGroupQty[g];  // one past the block
    int32_t smallestPositive = 0;
    for (int32_t s = first; s < end; ++s) {
      if (layout[s] >= 1 && (smallestPositive == 0 || layout[s] < smallestPositive)) {
        smallestPositive = layout[s];
      }
    }
    int32_t threshold = kAboveEveryLayout;
    for (;;) {
      int32_t c = 0;
      int32_t w = 0;
      int64_t most = -1;
      for (int32_t s = first; s < end; ++s) {
        if (layout[s] < 1 || layout[s] >= threshold) continue;
        c = std::max(c, layout[s]);
        if (waste[s] >= most) {
          most = waste[s];
          w = layout[s];
        }
      }
      if (c != 0 && w != 0 && c != w) {
        for (int32_t s = first; s < end; ++s) {
          if (layout[s] == c) {
            layout[s] = w;
          } else if (layout[s] == w) {
            layout[s] = c;
          }
        }
      }
      threshold = c;
      if (c <= smallestPositive) break;
    }
    first = end;
  }
}

void ConsolidateBestPlan(SolverState& st) {
  ConsolidateResult(st);
}

void RaiseConsistencyErrors(SolverState& st) {
  if (!st.tuning.consistencyChecks) return;
  for (int k = 1; k <= kLastCheck; ++k) {
    if (st.run.check[k] > 0) RaiseError(st, TARVOLIN_ERROR_CHECK_FIRST - 1 + k);
  }
}

namespace {

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

}  // namespace

void EvaluateCandidate(SolverState& st, int entry, int s) {
  DriverTables& d = st.driver;
  Candidate& cand = d.candidates[entry];
  if (cand.criterion[s] >= 0) return;
  const int32_t m = cand.multiplicity;
  const ProblemTables& pr = st.problem;
  d.multiplicity = m;
  d.targetReached = false;

  d.bestOfRun = RunRecord{};
  d.bundle = BundleRunTables{};
  d.bundleKept = false;
  d.remainderRan = false;

  if (m >= 2) {
    d.runStartMs = NowMs(st);
    st.run.current = RunRecord{};
    for (int g = 1; g <= pr.partGroupCount; ++g) d.workPartQty[g] = pr.partGroupQty[g] / m;
    for (int g = 1; g <= pr.stockGroupCount; ++g) d.workStockQty[g] = pr.stockGroupQty[g] / m;
    if (!PrepareRun(st, s)) {
      MultiProgressAdvance(st, s);
      return;
    }
    st.run.runKind = cand.remainderPieces == 0 ? kRunBundleNoRemainder : kRunBundleWithRemainder;
    RunSearch(st, m);
    if (ErrorRaised(st)) return;
    if (st.run.current.utilization <= 0.5) {
      MultiProgressAdvance(st, s);
      return;
    }
    KeepBundleRun(st);
  }

  const RunRecord& bestOfRun = d.bestOfRun;
  if (d.bundleKept && (int64_t{bestOfRun.parts} * m >= pr.partCount ||
                       int64_t{bestOfRun.bars} * m >= pr.stockCount)) {
    RunRecord cur;
    cur.criterion = bestOfRun.criterion;
    cur.utilization = bestOfRun.utilization;
    cur.layouts = bestOfRun.layouts;
    cur.layoutCuts = bestOfRun.layoutCuts;
    cur.patterns = bestOfRun.patterns;
    st.run.current = cur;
  } else {
    st.run.current = RunRecord{};
    d.runStartMs = NowMs(st);
    const int32_t k = d.bundleKept ? m : 0;
    for (int g = 1; g <= pr.partGroupCount; ++g) {
      d.workPartQty[g] = pr.partGroupQty[g] - k * d.bundle.usedPieces[g];
    }
    for (int g = 1; g <= pr.stockGroupCount; ++g) {
      d.workStockQty[g] = pr.stockGroupQty[g] - k * d.bundle.usedBars[g];
    }
    if (!PrepareRun(st, s)) {
      MultiProgressAdvance(st, s);
      return;
    }
    st.run.runKind = d.bundleKept ? kRunRemainder : kRunPlain;
    if (d.bundleKept) SetFixedPart(st, m);
    RunSearch(st, 1);
    if (ErrorRaised(st)) return;
    d.remainderRan = true;
  }

  if (!CombinedPlanWithinLimits(d.bestOfRun, st.run.current, m)) {
    MultiProgressAdvance(st, s);
    return;
  }
  d.targetReached = UpdateBestTen(st, m);
  const double criterion = st.run.current.criterion;
  cand.criterion[s] = criterion;
  if (criterion > d.bestCriterion || d.targetReached) TakeNewBest(st, m);
  MultiProgressAdvance(st, s);
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
