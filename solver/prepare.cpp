#include "prepare.h"

#include <algorithm>
#include <cmath>
#include <iterator>

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

// A fraction handed back as an integer: × 100000, rounded.
int32_t Scaled(double fraction) {
  if (!std::isfinite(fraction)) return 0;
  const double x = std::nearbyint(fraction * 100000.0);
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
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

// Exchanges neighbours i and i+1 of a table through its spare element 0.
template <typename T>
void Exchange(T* table, int i) {
  table[0] = table[i];
  table[i] = table[i + 1];
  table[i + 1] = table[0];
}

void ExchangeParts(ProblemTables& t, int i) {
  Exchange(t.partLength, i);
  Exchange(t.partMark, i);
  Exchange(t.partInputNo, i);
}

void ExchangeStocks(ProblemTables& t, int i) {
  Exchange(t.stockLength, i);
  Exchange(t.stockCost, i);
  Exchange(t.stockInputNo, i);
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
                  in.gripLength >= 0 && in.minReusable >= 0 && in.progressMode >= 0;
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
  for (int g = 1; g <= in.partGroupCount; ++g) {
    const TarvolinPartGroup& group = in.partGroups[g];
    for (int k = 0; k < group.quantity; ++k) {
      if (t.partCount >= kMaxItems) {
        RaiseError(st, TARVOLIN_ERROR_TOO_MANY_PART_ITEMS);
        return;
      }
      const int i = ++t.partCount;
      t.partLength[i] = group.length;
      t.partMark[i] = group.markId;
      t.partInputNo[i] = static_cast<int16_t>(i);
      plan.partItemGroup[i] = static_cast<int16_t>(g);
      plan.partItemCount = i;
    }
  }
  for (int g = 1; g <= in.stockGroupCount; ++g) {
    const TarvolinStockGroup& group = in.stockGroups[g];
    for (int k = 0; k < group.quantity; ++k) {
      if (t.stockCount >= kMaxItems) {
        RaiseError(st, TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS);
        return;
      }
      const int i = ++t.stockCount;
      t.stockLength[i] = group.length;
      t.stockCost[i] = group.cost;
      t.stockInputNo[i] = static_cast<int16_t>(i);
      plan.stockItemGroup[i] = static_cast<int16_t>(g);
      plan.stockItemCount = i;
    }
  }
}

void SortPartItems(SolverState& st) {
  ProblemTables& t = st.problem;
  for (int pass = 0; pass < t.partCount; ++pass) {
    for (int i = 1; i < t.partCount; ++i) {
      if (t.partLength[i] < t.partLength[i + 1]) ExchangeParts(t, i);
    }
  }
}

void GroupPartItems(SolverState& st) {
  ProblemTables& t = st.problem;
  const int n = t.partCount;
  bool taken[kItemSlots] = {};
  int32_t lth[kItemSlots] = {};
  int32_t mark[kItemSlots] = {};
  int16_t inputNo[kItemSlots] = {};
  int16_t group[kItemSlots] = {};
  int collected = 0;
  int groups = 0;
  for (int i = 1; i <= n; ++i) {
    if (taken[i]) continue;
    if (groups == kMaxPartGroups) {
      RaiseError(st, TARVOLIN_ERROR_TOO_MANY_PART_GROUPS);
      return;
    }
    ++groups;
    const int32_t length = t.partLength[i];
    int16_t qty = 0;
    auto take = [&](int j) {
      taken[j] = true;
      ++collected;
      lth[collected] = t.partLength[j];
      mark[collected] = t.partMark[j];
      inputNo[collected] = t.partInputNo[j];
      group[collected] = static_cast<int16_t>(groups);
      ++qty;
    };
    // Collects the ungrouped items of this length with the given mark.
    auto takeMark = [&](int from, int32_t m) {
      for (int l = from; l <= n; ++l) {
        if (!taken[l] && t.partLength[l] == length && t.partMark[l] == m) take(l);
      }
    };
    if (st.settings.groupPartsByMark) {
      takeMark(i, t.partMark[i]);
    } else {
      for (int j = i; j <= n; ++j) {
        if (!taken[j] && t.partLength[j] == length) takeMark(j, t.partMark[j]);
      }
    }
    t.partGroupLength[groups] = length;
    t.partGroupQty[groups] = qty;
    t.partGroupCount = groups;
  }
  if (collected != n) {
    RaiseError(st, TARVOLIN_ERROR_PART_GROUPING);
    return;
  }
  std::copy(lth + 1, lth + n + 1, t.partLength + 1);
  std::copy(mark + 1, mark + n + 1, t.partMark + 1);
  std::copy(inputNo + 1, inputNo + n + 1, t.partInputNo + 1);
  std::copy(group + 1, group + n + 1, t.partGroup + 1);
}

void SortStockItems(SolverState& st) {
  ProblemTables& t = st.problem;
  for (int pass = 0; pass < t.stockCount; ++pass) {
    for (int i = 1; i < t.stockCount; ++i) {
      if (t.stockLength[i] < t.stockLength[i + 1]) ExchangeStocks(t, i);
    }
  }
  for (int pass = 0; pass < t.stockCount; ++pass) {
    for (int i = 1; i < t.stockCount; ++i) {
      if (t.stockLength[i] == t.stockLength[i + 1] && t.stockCost[i] < t.stockCost[i + 1]) {
        ExchangeStocks(t, i);
      }
    }
  }
}

void GroupStockItems(SolverState& st) {
  ProblemTables& t = st.problem;
  const int n = t.stockCount;
  bool taken[kItemSlots] = {};
  int32_t lth[kItemSlots] = {};
  int32_t cost[kItemSlots] = {};
  int16_t inputNo[kItemSlots] = {};
  int16_t group[kItemSlots] = {};
  int collected = 0;
  int groups = 0;
  for (int i = 1; i <= n; ++i) {
    if (taken[i]) continue;
    if (groups == kMaxStockGroups) {
      RaiseError(st, TARVOLIN_ERROR_TOO_MANY_STOCK_GROUPS);
      return;
    }
    ++groups;
    int16_t qty = 0;
    for (int j = i; j <= n; ++j) {
      if (taken[j] || t.stockLength[j] != t.stockLength[i] || t.stockCost[j] != t.stockCost[i]) {
        continue;
      }
      taken[j] = true;
      ++collected;
      lth[collected] = t.stockLength[j];
      cost[collected] = t.stockCost[j];
      inputNo[collected] = t.stockInputNo[j];
      group[collected] = static_cast<int16_t>(groups);
      ++qty;
    }
    t.stockGroupLength[groups] = t.stockLength[i];
    t.stockGroupCost[groups] = t.stockCost[i];
    t.stockGroupQty[groups] = qty;
    t.stockGroupCount = groups;
  }
  if (collected != n) {
    RaiseError(st, TARVOLIN_ERROR_STOCK_GROUPING);
    return;
  }
  std::copy(lth + 1, lth + n + 1, t.stockLength + 1);
  std::copy(cost + 1, cost + n + 1, t.stockCost + 1);
  std::copy(inputNo + 1, inputNo + n + 1, t.stockInputNo + 1);
  std::copy(group + 1, group + n + 1, t.stockGroup + 1);
}

void SortAndRegroup(SolverState& st) {
  SortPartItems(st);
  GroupPartItems(st);
  if (st.error.number != 0) return;
  SortStockItems(st);
  GroupStockItems(st);
}

void CheckProblem(SolverState& st) {
  const ProblemTables& t = st.problem;
  SolverSettings& s = st.settings;
  ProblemStats& ps = st.stats;
  bool failed = false;
  auto fail = [&](int number) {
    RaiseError(st, number);
    failed = true;
  };

  if (t.stockGroupCount < 1) fail(TARVOLIN_ERROR_NO_STOCK);
  if (t.partGroupCount < 1) fail(TARVOLIN_ERROR_NO_PARTS);
  if (t.stockGroupCount > kMaxStockGroups) fail(TARVOLIN_ERROR_TOO_MANY_STOCK_GROUPS);
  if (t.partGroupCount > kMaxPartGroups) fail(TARVOLIN_ERROR_TOO_MANY_PART_GROUPS);
  if (t.stockCount > kMaxItems) fail(TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS);
  if (t.partCount > kMaxItems) fail(TARVOLIN_ERROR_TOO_MANY_PART_ITEMS);
  if (failed) return;

  // The working end zone and gripping length are the settings themselves
  // (s.endZone, s.gripLength).

  // Capped quantities: no more bars of a length than the parts could occupy.
  int32_t capped[kStockGroupSlots] = {};
  int32_t cappedTotal = t.stockCount;
  for (int g = 1; g <= t.stockGroupCount; ++g) {
    const int32_t qty = t.stockGroupQty[g];
    if (qty < 1) continue;
    const int32_t bound = BarDemandBound(t.partGroupLength, t.partGroupQty, t.partGroupCount,
                                         TARVOLIN_BAR_DEMAND_SLACK, s.gripLength, s.endZone, s.kerf,
                                         t.stockGroupLength[g]);
    if (bound < qty) {
      capped[g] = bound;
      cappedTotal -= qty - bound;
    } else {
      capped[g] = qty;
    }
  }
  ps.cappedStockCount = cappedTotal;
  if (cappedTotal == 0) {
    RaiseError(st, TARVOLIN_ERROR_NO_PART_FITS);
    return;
  }
  for (int g = 1; g <= t.stockGroupCount; ++g) {
    if (t.stockGroupLength[g] < 1) {
      RaiseError(st, TARVOLIN_ERROR_END_ZONE_TOO_LONG);
      return;
    }
  }

  ps.maxStockLength = 0;
  ps.minStockLength = kMaxSum;
  for (int g = 1; g <= t.stockGroupCount; ++g) {
    if (capped[g] < 1) continue;
    const int32_t lth = t.stockGroupLength[g];
    ps.maxStockLength = std::max(ps.maxStockLength, lth);
    ps.minStockLength = std::min(ps.minStockLength, lth);
    ps.maxStockQty = std::max(ps.maxStockQty, capped[g]);
    ps.maxCostRate = std::max(ps.maxCostRate, static_cast<double>(t.stockGroupCost[g]) / lth);
    ps.totalStockLength += int64_t{lth} * capped[g];
    ps.totalStockCost += int64_t{t.stockGroupCost[g]} * capped[g];
  }
  ps.maxPartLength = 0;
  ps.minPartLength = kMaxSum;
  int32_t partGroupsWithQty = 0;
  for (int g = 1; g <= t.partGroupCount; ++g) {
    if (t.partGroupQty[g] < 1) continue;
    ++partGroupsWithQty;
    ps.maxPartLength = std::max(ps.maxPartLength, t.partGroupLength[g]);
    ps.minPartLength = std::min(ps.minPartLength, t.partGroupLength[g]);
    ps.maxPartQty = std::max<int32_t>(ps.maxPartQty, t.partGroupQty[g]);
    ps.totalPartLength += int64_t{t.partGroupLength[g]} * t.partGroupQty[g];
  }

  failed = false;
  if (ps.totalStockLength > kMaxSum) fail(TARVOLIN_ERROR_STOCK_LENGTH_SUM);
  if (ps.totalPartLength > kMaxSum) fail(TARVOLIN_ERROR_PART_LENGTH_SUM);
  if (ps.totalStockCost > kMaxSum) fail(TARVOLIN_ERROR_STOCK_COST_SUM);
  if (int64_t{ps.maxStockLength} - s.endZone < ps.minPartLength) fail(TARVOLIN_ERROR_NO_PART_FITS);
  if (s.bundle > ps.maxPartQty) fail(TARVOLIN_ERROR_BUNDLE_TOO_LARGE);
  if (failed) return;

  // Limits that cannot bind are switched off.
  if (s.maxStockGroups >= t.stockGroupCount) s.maxStockGroups = 0;
  if (s.maxDifferentPieces >= t.partGroupCount) s.maxDifferentPieces = 0;
  if (s.maxPiecesPerLayout >= t.partCount) s.maxPiecesPerLayout = 0;

  ps.avgStockLength = static_cast<int32_t>(ps.totalStockLength / cappedTotal);
  ps.avgPartLength = static_cast<int32_t>(ps.totalPartLength / t.partCount);
  ps.estPieceCapacity = static_cast<int32_t>(std::min<int64_t>(
      t.partCount, RoundEven(static_cast<double>(ps.totalStockLength) / ps.avgPartLength + 0.51)));
  ps.estBarsNeeded = static_cast<int32_t>(std::min<int64_t>(
      cappedTotal, RoundEven(static_cast<double>(ps.totalPartLength) / ps.avgStockLength + 0.51)));

  // Too small an order for layout reduction to matter.
  if (t.partCount - 2.0 * ps.avgStockLength / ps.avgPartLength <= partGroupsWithQty) {
    s.effectiveReduceLayouts = 0;
  }

  // Equal cost per length makes cost and material optimization the same.
  if (ps.totalStockCost == 0) {
    s.effectiveCostMode = false;
  } else {
    bool allEqual = true;
    for (int g = 1; g <= t.stockGroupCount; ++g) {
      if (capped[g] < 1) continue;
      const double rate = static_cast<double>(t.stockGroupCost[g]) / t.stockGroupLength[g];
      if (ps.maxCostRate - rate > kRateTolerance) allEqual = false;
    }
    if (allEqual) s.effectiveCostMode = false;
  }

  // The capped quantities served only this check; the statistics stay.
  ps.cappedStockCount = 0;
}

void WriteResults(const SolverState& st, TarvolinPlan& plan) {
  const ProblemTables& t = st.problem;
  const DriverTables& d = st.driver;
  const RunRecord& r = d.result;
  plan.criterion = Scaled(r.criterion);
  plan.utilization = Scaled(r.utilization);
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
