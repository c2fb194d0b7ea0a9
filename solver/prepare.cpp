#include "prepare.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <type_traits>

#include "solver_services.h"
#include "solver_state.h"
#include "tarvolin/cut_optimize.h"
#include "tarvolin/errors.h"
#include "tarvolin/limits.h"

namespace solver {

namespace {

// Results are written wrapped to the element size.
int16_t Wrap16(int64_t v) {
  return static_cast<int16_t>(static_cast<uint16_t>(v));
}

// Internal stock item -> input number; anything outside the items gives 0.
int16_t StockInputNo(const ProblemTables& t, int32_t internal) {
  return internal >= 1 && internal <= t.stockCount ? t.stockInputNo[internal] : int16_t{0};
}

// Ranges of the settings.
constexpr int32_t kMaxEffortLevel = 10;
constexpr int32_t kMaxReduceLayouts = 6;
constexpr int32_t kMaxPreferShort = 5;
constexpr int32_t kMaxIterationMultiplier = 100;
constexpr int32_t kMaxTimeLimitSeconds = 55555;  // a little over 15 hours
constexpr int32_t kMaxBundle = kMaxItems;

// Each unit of the iteration multiplier adds this much search effort.
constexpr double kIterationFactorPerUnit = 0.002;

bool InRange(int32_t v, int32_t lo, int32_t hi) {
  return v >= lo && v <= hi;
}

// Puts the item tables 1..n into a new order: position p takes the item
// that stood at item[p].
template <typename... Tables>
void Reorder(const int16_t* item, int n, Tables*... tables) {
  auto reorder = [&](auto* table) {
    std::remove_pointer_t<decltype(table)> moved[kItemSlots];
    for (int p = 1; p <= n; ++p) moved[p] = table[item[p]];
    std::copy(moved + 1, moved + n + 1, table + 1);
  };
  (reorder(tables), ...);
}

// Sorts the item tables 1..n together by `before`, which compares two item
// numbers; items it does not tell apart keep their order.
template <typename Before, typename... Tables>
void SortItems(int n, Before before, Tables*... tables) {
  int16_t item[kItemSlots];
  for (int i = 1; i <= n; ++i) item[i] = static_cast<int16_t>(i);
  StableSort(item + 1, n, [&](int16_t a, int16_t b) { return before(a, b); });
  Reorder(item, n, tables...);
}

// The outcome of regrouping items 1..n.
struct Regrouping {
  int16_t item[kItemSlots] = {};       // new position -> the item that goes there
  int16_t group[kItemSlots] = {};      // new position -> its group
  int16_t firstItem[kItemSlots] = {};  // group -> its first item
  int16_t quantity[kItemSlots] = {};   // group -> its items
  int groups = 0;
  int collected = 0;
  bool tooManyGroups = false;
};

// Regroups items 1..n: each item not yet taken starts a group, which takes
// every later item that sameGroup puts with it; inside a group the items
// come in runs that sameRun tells apart, runs in the order of their first
// item. Stops, with tooManyGroups, before a group beyond maxGroups.
template <typename SameGroup, typename SameRun>
void CollectGroups(int n, int maxGroups, SameGroup sameGroup, SameRun sameRun, Regrouping& r) {
  bool taken[kItemSlots] = {};
  for (int i = 1; i <= n; ++i) {
    if (taken[i]) continue;
    if (r.groups == maxGroups) {
      r.tooManyGroups = true;
      return;
    }
    const int g = ++r.groups;
    r.firstItem[g] = static_cast<int16_t>(i);
    for (int j = i; j <= n; ++j) {
      if (taken[j] || !sameGroup(i, j)) continue;
      for (int l = j; l <= n; ++l) {
        if (taken[l] || !sameGroup(i, l) || !sameRun(j, l)) continue;
        taken[l] = true;
        r.item[++r.collected] = static_cast<int16_t>(l);
        r.group[r.collected] = static_cast<int16_t>(g);
        ++r.quantity[g];
      }
    }
  }
}

// Appends one item per unit of quantity of groups 1..groupCount, in order,
// calling add(item, group) for each; false (with count at the limit) when
// there would be more than kMaxItems items.
template <typename Group, typename Add>
bool ExpandGroups(const Group* groups, int groupCount, int32_t& count, Add add) {
  for (int g = 1; g <= groupCount; ++g) {
    for (int k = 0; k < groups[g].quantity; ++k) {
      if (count >= kMaxItems) return false;
      add(++count, g);
    }
  }
  return true;
}

// Puts items 1..count in their new order with their new group numbers, or
// raises why the regrouping failed: tooMany when there were too many groups,
// lost when items went missing.
template <typename... Tables>
void ApplyRegrouping(SolverState& st, const Regrouping& r, int count, int tooMany, int lost,
                     int16_t* groupOf, Tables*... tables) {
  if (r.tooManyGroups) {
    RaiseError(st, tooMany);
  } else if (r.collected != count) {
    RaiseError(st, lost);
  } else {
    Reorder(r.item, count, tables...);
    std::copy(r.group + 1, r.group + count + 1, groupOf + 1);
  }
}

}  // namespace

bool CheckSettings(SolverState& st, const TarvolinSettings& in) {
  const bool bundleOk = in.bundleSize == 0 || InRange(in.bundleSize, 2, kMaxBundle);
  const bool ok = InRange(in.costMode, 0, 1) && InRange(in.ignoreLast, 0, 1) &&
                  InRange(in.layoutsByMark, 0, 1) &&
                  InRange(in.preferShort, -kMaxPreferShort, kMaxPreferShort) &&
                  InRange(in.reduceLayouts, 0, kMaxReduceLayouts) &&
                  InRange(in.effortLevel, 0, kMaxEffortLevel) &&
                  InRange(in.iterationMultiplier, 1, kMaxIterationMultiplier) &&
                  InRange(in.timeLimitSeconds, 0, kMaxTimeLimitSeconds) &&
                  InRange(in.maxStockGroups, 0, kMaxStockGroups) &&
                  InRange(in.maxDifferentPieces, 0, kMaxItems) && bundleOk &&
                  (in.bundleSize == 0 || in.maxDifferentPieces == 0) &&
                  InRange(in.maxPiecesPerLayout, 0, kMaxItems) && in.kerf >= 0 && in.endZone >= 0 &&
                  in.gripLength >= 0 && in.minReusable >= 0 && in.progressMode >= 0 &&
                  InRange(in.method, 0, 1) && InRange(in.exactTimeLimitSeconds, 0, 100) &&
                  InRange(in.computeBound, 0, 1) && InRange(in.preferFreeStock, 0, 1);
  if (!ok) {
    RaiseError(st, TARVOLIN_ERROR_SETTINGS);
    return false;
  }
  SolverSettings& s = st.settings;
  ResetRecord(s);
  s.costMode = in.costMode != 0;
  s.ignoreLast = in.ignoreLast != 0;
  s.preferShort = in.preferShort;
  s.reduceLayouts = in.reduceLayouts;
  s.effortLevel = in.effortLevel;
  s.timeLimitMs = in.timeLimitSeconds * 1000.0;
  s.maxStockGroups = in.maxStockGroups;
  s.maxDifferentPieces = in.maxDifferentPieces;
  s.bundle = in.bundleSize;
  s.maxPiecesPerLayout = in.maxPiecesPerLayout;
  s.iterationMultiplier = in.iterationMultiplier;
  s.iterationFactor = in.iterationMultiplier * kIterationFactorPerUnit;
  s.minReusable = in.minReusable;
  s.kerf = in.kerf;
  s.endZone = in.endZone;
  s.gripLength = in.gripLength;
  s.layoutsByMark = in.layoutsByMark != 0;
  s.showProgress = in.progressMode > 0;
  s.escEnabled = in.progressMode > 1;
  return true;
}

void CheckGroups(SolverState& st, const TarvolinProblem& in, ArrayCountMismatch mismatch) {
  const int32_t n = in.stockGroupCount;
  const int32_t m = in.partGroupCount;
  bool failed = false;
  auto fail = [&](int number) {
    RaiseError(st, number);
    failed = true;
  };
  if (n < 1) fail(TARVOLIN_ERROR_STOCK_GROUP_COUNT);
  if (m < 1) fail(TARVOLIN_ERROR_PART_GROUP_COUNT);
  if (n > kMaxStockGroups) fail(TARVOLIN_ERROR_STOCK_GROUP_COUNT);
  if (m > kMaxPartGroups) fail(TARVOLIN_ERROR_PART_GROUP_COUNT);
  if (mismatch.stock) fail(TARVOLIN_ERROR_STOCK_COUNT_MISMATCH);
  if (mismatch.part) fail(TARVOLIN_ERROR_PART_COUNT_MISMATCH);
  if (failed) return;

  // The first failing value ends the whole check.
  struct ValueCheck {
    int number;
    int32_t count;
    bool (*bad)(const TarvolinProblem&, int);
  };
  const ValueCheck checks[] = {
      {TARVOLIN_ERROR_STOCK_LENGTH, n,
       [](const TarvolinProblem& p, int g) { return p.stockGroups[g].length < 1; }},
      {TARVOLIN_ERROR_PART_LENGTH, m,
       [](const TarvolinProblem& p, int g) { return p.partGroups[g].length < 1; }},
      {TARVOLIN_ERROR_STOCK_COST, n,
       [](const TarvolinProblem& p, int g) { return p.stockGroups[g].cost < 0; }},
      {TARVOLIN_ERROR_PART_MARK, m,
       [](const TarvolinProblem& p, int g) { return p.partGroups[g].markId < 0; }},
      {TARVOLIN_ERROR_STOCK_QUANTITY, n,
       [](const TarvolinProblem& p, int g) { return p.stockGroups[g].quantity < 0; }},
      {TARVOLIN_ERROR_PART_QUANTITY, m,
       [](const TarvolinProblem& p, int g) { return p.partGroups[g].quantity < 0; }},
  };
  for (const ValueCheck& c : checks) {
    for (int g = 1; g <= c.count; ++g) {
      if (c.bad(in, g)) {
        RaiseError(st, c.number);
        return;
      }
    }
  }
}

void ClearProblemTables(SolverState& st) {
  ResetRecord(st.problem);
  ResetRecord(st.stats);
  ResetRecord(st.run);
  ClearResult(st.driver);

  SolverSettings& s = st.settings;
  s.effectiveCostMode = s.costMode;
  s.effectiveReduceLayouts = s.reduceLayouts;
  s.groupPartsByMark = s.layoutsByMark && s.reduceLayouts > 0;
}

void ExpandItems(SolverState& st, const TarvolinProblem& in, TarvolinPlan& plan) {
  ProblemTables& t = st.problem;
  const bool partsDone =
      ExpandGroups(in.partGroups, in.partGroupCount, t.partCount, [&](int i, int g) {
        t.partLength[i] = in.partGroups[g].length;
        t.partMark[i] = in.partGroups[g].markId;
        t.partInputNo[i] = static_cast<int16_t>(i);
        plan.partItemGroup[i] = static_cast<int16_t>(g);
        plan.partItemCount = i;
      });
  if (!partsDone) {
    RaiseError(st, TARVOLIN_ERROR_TOO_MANY_PART_ITEMS);
    return;
  }
  const bool stockDone =
      ExpandGroups(in.stockGroups, in.stockGroupCount, t.stockCount, [&](int i, int g) {
        t.stockLength[i] = in.stockGroups[g].length;
        t.stockCost[i] = in.stockGroups[g].cost;
        t.stockInputNo[i] = static_cast<int16_t>(i);
        plan.stockItemGroup[i] = static_cast<int16_t>(g);
        plan.stockItemCount = i;
      });
  if (!stockDone) RaiseError(st, TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS);
}

void SortPartItems(SolverState& st) {
  ProblemTables& t = st.problem;
  SortItems(
      t.partCount, [&](int a, int b) { return t.partLength[a] > t.partLength[b]; }, t.partLength,
      t.partMark, t.partInputNo);
}

void GroupPartItems(SolverState& st) {
  ProblemTables& t = st.problem;
  const bool byMark = st.settings.groupPartsByMark;
  Regrouping r;
  // Pieces of one length form a group (of one length and mark when parts
  // are grouped by mark); inside a group, pieces of one mark follow each
  // other in the order their marks first appear.
  CollectGroups(
      t.partCount, kMaxPartGroups,
      [&](int a, int b) {
        return t.partLength[a] == t.partLength[b] && (!byMark || t.partMark[a] == t.partMark[b]);
      },
      [&](int a, int b) { return t.partMark[a] == t.partMark[b]; }, r);
  for (int g = 1; g <= r.groups; ++g) {
    t.partGroupLength[g] = t.partLength[r.firstItem[g]];
    t.partGroupQty[g] = r.quantity[g];
  }
  t.partGroupCount = r.groups;
  ApplyRegrouping(st, r, t.partCount, TARVOLIN_ERROR_TOO_MANY_PART_GROUPS,
                  TARVOLIN_ERROR_PART_GROUPING, t.partGroup, t.partLength, t.partMark,
                  t.partInputNo);
}

void SortStockItems(SolverState& st) {
  ProblemTables& t = st.problem;
  // Longest first; of equal length the dearer bars first.
  SortItems(
      t.stockCount,
      [&](int a, int b) {
        if (t.stockLength[a] != t.stockLength[b]) return t.stockLength[a] > t.stockLength[b];
        return t.stockCost[a] > t.stockCost[b];
      },
      t.stockLength, t.stockCost, t.stockInputNo);
}

void GroupStockItems(SolverState& st) {
  ProblemTables& t = st.problem;
  Regrouping r;
  // Bars of one length and one cost form a group.
  CollectGroups(
      t.stockCount, kMaxStockGroups,
      [&](int a, int b) {
        return t.stockLength[a] == t.stockLength[b] && t.stockCost[a] == t.stockCost[b];
      },
      [](int, int) { return true; }, r);
  for (int g = 1; g <= r.groups; ++g) {
    t.stockGroupLength[g] = t.stockLength[r.firstItem[g]];
    t.stockGroupCost[g] = t.stockCost[r.firstItem[g]];
    t.stockGroupQty[g] = r.quantity[g];
  }
  t.stockGroupCount = r.groups;
  ApplyRegrouping(st, r, t.stockCount, TARVOLIN_ERROR_TOO_MANY_STOCK_GROUPS,
                  TARVOLIN_ERROR_STOCK_GROUPING, t.stockGroup, t.stockLength, t.stockCost,
                  t.stockInputNo);
}

void SortAndRegroup(SolverState& st) {
  SortPartItems(st);
  GroupPartItems(st);
  if (st.error.number != 0) return;
  SortStockItems(st);
  GroupStockItems(st);
}

namespace {

// Stock quantities capped by demand: no more bars of a length than the
// parts could occupy. They serve the problem check only.
struct CappedStock {
  int32_t qty[kStockGroupSlots] = {};
  int32_t total = 0;
};

// Raises every error of the first kind of check that fails; true when one did.
bool TableSizesFail(SolverState& st) {
  const ProblemTables& t = st.problem;
  bool failed = false;
  const auto fail = [&](int number) {
    RaiseError(st, number);
    failed = true;
  };
  if (t.stockGroupCount < 1) fail(TARVOLIN_ERROR_NO_STOCK);
  if (t.partGroupCount < 1) fail(TARVOLIN_ERROR_NO_PARTS);
  if (t.stockGroupCount > kMaxStockGroups) fail(TARVOLIN_ERROR_TOO_MANY_STOCK_GROUPS);
  if (t.partGroupCount > kMaxPartGroups) fail(TARVOLIN_ERROR_TOO_MANY_PART_GROUPS);
  if (t.stockCount > kMaxItems) fail(TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS);
  if (t.partCount > kMaxItems) fail(TARVOLIN_ERROR_TOO_MANY_PART_ITEMS);
  return failed;
}

// The working end zone and gripping length are the settings themselves
// (s.endZone, s.gripLength).
CappedStock CapStockByDemand(const SolverState& st) {
  const ProblemTables& t = st.problem;
  const SolverSettings& s = st.settings;
  CappedStock capped;
  capped.total = t.stockCount;
  for (int g = 1; g <= t.stockGroupCount; ++g) {
    const int32_t qty = t.stockGroupQty[g];
    if (qty < 1) continue;
    const int32_t bound = BarDemandBound(t.partGroupLength, t.partGroupQty, t.partGroupCount,
                                         TARVOLIN_BAR_DEMAND_SLACK, s.gripLength, s.endZone, s.kerf,
                                         t.stockGroupLength[g]);
    capped.qty[g] = std::min(bound, qty);
    capped.total -= qty - capped.qty[g];
  }
  return capped;
}

double CostRate(const ProblemTables& t, int g) {
  return static_cast<double>(t.stockGroupCost[g]) / t.stockGroupLength[g];
}

// Lengths, quantities and costs of the stock (capped) and of the parts;
// returns the number of part groups with a quantity.
int32_t GatherStatistics(SolverState& st, const CappedStock& capped) {
  const ProblemTables& t = st.problem;
  ProblemStats& ps = st.stats;
  const GroupSpan stock = SpanOfGroups(t.stockGroupLength, capped.qty, t.stockGroupCount);
  ps.maxStockLength = stock.maxLength;
  ps.minStockLength = stock.minLength;
  ps.maxStockQty = stock.maxQty;
  ps.totalStockLength = stock.totalLength;
  for (int g = 1; g <= t.stockGroupCount; ++g) {
    if (capped.qty[g] < 1) continue;
    ps.maxCostRate = std::max(ps.maxCostRate, CostRate(t, g));
    ps.totalStockCost += int64_t{t.stockGroupCost[g]} * capped.qty[g];
  }
  const GroupSpan parts = SpanOfGroups(t.partGroupLength, t.partGroupQty, t.partGroupCount);
  ps.maxPartLength = parts.maxLength;
  ps.minPartLength = parts.minLength;
  ps.maxPartQty = parts.maxQty;
  ps.totalPartLength = parts.totalLength;
  return parts.groups;
}

// Totals above the sums' limit, no part that fits, a bundle no part group
// fills: raises every one that applies; true when one did.
bool TotalsFail(SolverState& st) {
  const ProblemStats& ps = st.stats;
  const SolverSettings& s = st.settings;
  bool failed = false;
  const auto fail = [&](int number) {
    RaiseError(st, number);
    failed = true;
  };
  if (ps.totalStockLength > kMaxSum) fail(TARVOLIN_ERROR_STOCK_LENGTH_SUM);
  if (ps.totalPartLength > kMaxSum) fail(TARVOLIN_ERROR_PART_LENGTH_SUM);
  if (ps.totalStockCost > kMaxSum) fail(TARVOLIN_ERROR_STOCK_COST_SUM);
  if (int64_t{ps.maxStockLength} - s.endZone < ps.minPartLength) fail(TARVOLIN_ERROR_NO_PART_FITS);
  if (s.bundle > ps.maxPartQty) fail(TARVOLIN_ERROR_BUNDLE_TOO_LARGE);
  return failed;
}

// Limits that cannot bind are switched off, and so are layout reduction on
// an order too small for it and cost mode where every bar costs the same
// per length.
void SimplifySettings(SolverState& st, const CappedStock& capped, int32_t partGroupsWithQty) {
  const ProblemTables& t = st.problem;
  const ProblemStats& ps = st.stats;
  SolverSettings& s = st.settings;
  if (s.maxStockGroups >= t.stockGroupCount) s.maxStockGroups = 0;
  if (s.maxDifferentPieces >= t.partGroupCount) s.maxDifferentPieces = 0;
  if (s.maxPiecesPerLayout >= t.partCount) s.maxPiecesPerLayout = 0;

  if (t.partCount - 2.0 * ps.avgStockLength / ps.avgPartLength <= partGroupsWithQty) {
    s.effectiveReduceLayouts = 0;
  }
  if (ps.totalStockCost == 0) {
    s.effectiveCostMode = false;
    return;
  }
  bool allEqual = true;
  for (int g = 1; g <= t.stockGroupCount; ++g) {
    if (capped.qty[g] >= 1 && ps.maxCostRate - CostRate(t, g) > kRateTolerance) allEqual = false;
  }
  if (allEqual) s.effectiveCostMode = false;
}

// Averages and the first estimates of pieces per stock and bars needed.
void Estimate(SolverState& st, const CappedStock& capped) {
  const ProblemTables& t = st.problem;
  ProblemStats& ps = st.stats;
  ps.avgStockLength = static_cast<int32_t>(ps.totalStockLength / capped.total);
  ps.avgPartLength = static_cast<int32_t>(ps.totalPartLength / t.partCount);
  ps.estPieceCapacity = static_cast<int32_t>(std::min<int64_t>(
      t.partCount, RoundEven(static_cast<double>(ps.totalStockLength) / ps.avgPartLength + 0.51)));
  ps.estBarsNeeded = static_cast<int32_t>(std::min<int64_t>(
      capped.total, RoundEven(static_cast<double>(ps.totalPartLength) / ps.avgStockLength + 0.51)));
}

}  // namespace

void CheckProblem(SolverState& st) {
  if (TableSizesFail(st)) return;
  const CappedStock capped = CapStockByDemand(st);
  // The capped count is kept while the check runs only.
  st.stats.cappedStockCount = capped.total;
  if (capped.total == 0) {
    RaiseError(st, TARVOLIN_ERROR_NO_PART_FITS);
    return;
  }
  const ProblemTables& t = st.problem;
  for (int g = 1; g <= t.stockGroupCount; ++g) {
    if (t.stockGroupLength[g] < 1) {
      RaiseError(st, TARVOLIN_ERROR_STOCK_GROUP_LENGTH);
      return;
    }
  }
  const int32_t partGroupsWithQty = GatherStatistics(st, capped);
  if (TotalsFail(st)) return;
  Estimate(st, capped);
  SimplifySettings(st, capped, partGroupsWithQty);
  st.stats.cappedStockCount = 0;
}

void WriteResults(const SolverState& st, TarvolinPlan& plan) {
  const ProblemTables& t = st.problem;
  const DriverTables& d = st.driver;
  const RunRecord& r = d.result;
  plan.criterion = ScaledFraction(r.criterion);
  plan.utilization = ScaledFraction(r.utilization);
  plan.stockUsed = r.bars;
  plan.partsCut = r.parts;
  plan.lengthUsed = r.length;
  plan.wasteSum = r.waste;
  plan.costUsed = r.cost;
  plan.lastStock = StockInputNo(t, r.lastStock);
  plan.lastParts = r.lastParts;
  plan.lastLengthUsed = r.lastLength;
  plan.lastWaste = r.lastRemainder;
  plan.lastCost = r.lastCost;
  plan.patternCount = r.patterns;
  plan.layoutCount = r.layouts;
  plan.layoutCuts = r.layoutCuts;
  plan.partItemCount = t.partCount;
  plan.stockItemCount = t.stockCount;

  for (int i = 1; i <= t.partCount; ++i) {
    plan.partItemStock[t.partInputNo[i]] = StockInputNo(t, d.resultStockOfPiece[i]);
  }
  for (int i = 1; i <= t.stockCount; ++i) {
    const int no = t.stockInputNo[i];
    plan.stockItemLayout[no] = Wrap16(d.resultBarLayout[i]);
    plan.stockItemPattern[no] = Wrap16(d.resultBarPattern[i]);
    plan.stockItemParts[no] = Wrap16(d.resultBarParts[i]);
    plan.stockItemWaste[no] = d.resultBarWaste[i];
  }
}

}  // namespace solver
