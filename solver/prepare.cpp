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
int32_t Wrap32(int64_t v) {
  return static_cast<int32_t>(static_cast<uint32_t>(v));
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
  Exchange(t.partLth, i);
  Exchange(t.partMark, i);
  Exchange(t.partInputNo, i);
}

void ExchangeStocks(ProblemTables& t, int i) {
  Exchange(t.stockLth, i);
  Exchange(t.stockCost, i);
  Exchange(t.stockInputNo, i);
}

}  // namespace

bool CheckSettings(SolverState& st, const CallSettings& in) {
  const bool ok = InRange(in.costOptim, 0, 1) && InRange(in.ignoreLast, 0, 1) &&
                  InRange(in.layByMark, 0, 1) && InRange(in.prefShort, -5, 5) &&
                  InRange(in.reduceLays, 0, 6) && InRange(in.effortLev, 0, 10) &&
                  InRange(in.iterMult, 1, 100) && InRange(in.optimTime, 0, 55555) &&
                  InRange(in.diffStocks, 0, 10) && InRange(in.diffPieces, -100, 100) &&
                  InRange(in.maxPieces, 0, 100) && in.gapItIt >= 0 && in.gapItEnd >= 0 &&
                  in.gapGripEnd >= 0 && in.minReusable >= 0 && in.runMsgMode >= 0;
  if (!ok) {
    RaiseError(st, TARVOLIN_ERROR_SETTINGS);
    return false;
  }
  SolverSettings& s = st.settings;
  ResetRecord(s);
  s.costMode = in.costOptim != 0;
  s.ignoreLast = in.ignoreLast != 0;
  s.prefShort = in.prefShort;
  s.reduceLays = in.reduceLays;
  s.effortLev = in.effortLev;
  s.timeLimitMs = in.optimTime * 1000.0;
  s.diffStocks = in.diffStocks;
  if (in.diffPieces >= -1) {
    s.diffPieces = std::max(in.diffPieces, 0);
    s.bundle = 0;
  } else {
    s.diffPieces = 0;
    s.bundle = -in.diffPieces;
  }
  s.maxPieces = in.maxPieces;
  s.iterMult = in.iterMult;
  s.iterFactor = in.iterMult * 0.002;
  s.minReusable = in.minReusable;
  s.kerf = in.gapItIt;
  s.endZone = in.gapItEnd;
  s.gripLength = in.gapGripEnd;
  s.layByMark = in.layByMark != 0;
  s.showProgress = in.runMsgMode > 0;
  s.escEnabled = in.runMsgMode > 1;
  return true;
}

void CheckArrays(SolverState& st, const CallArrays& in) {
  const int32_t n = in.stockGrLth[0];
  const int32_t m = in.partGrLth[0];
  bool failed = false;
  auto fail = [&](int number) {
    RaiseError(st, number);
    failed = true;
  };
  if (n < 1) fail(TARVOLIN_ERROR_STOCK_GROUP_COUNT);
  if (m < 1) fail(TARVOLIN_ERROR_PART_GROUP_COUNT);
  if (n > kMaxStockGroups) fail(TARVOLIN_ERROR_STOCK_GROUP_COUNT);
  if (m > kMaxPartGroups) fail(TARVOLIN_ERROR_PART_GROUP_COUNT);
  if (in.stockGrQty[0] != n || in.stockGrCst[0] != n) fail(TARVOLIN_ERROR_STOCK_COUNT_MISMATCH);
  if (in.partGrQty[0] != m || in.partGrMrkID[0] != m) fail(TARVOLIN_ERROR_PART_COUNT_MISMATCH);
  if (failed) return;

  // The first failing value ends the whole check.
  struct ValueCheck {
    int number;
    int32_t count;
    bool (*bad)(const CallArrays&, int);
  };
  const ValueCheck checks[] = {
      {TARVOLIN_ERROR_STOCK_LENGTH, n,
       [](const CallArrays& a, int i) { return a.stockGrLth[i] < 1; }},
      {TARVOLIN_ERROR_PART_LENGTH, m,
       [](const CallArrays& a, int i) { return a.partGrLth[i] < 1; }},
      {TARVOLIN_ERROR_STOCK_COST, n,
       [](const CallArrays& a, int i) { return a.stockGrCst[i] < 0; }},
      {TARVOLIN_ERROR_PART_MARK, m,
       [](const CallArrays& a, int i) { return a.partGrMrkID[i] < 0; }},
      {TARVOLIN_ERROR_STOCK_QUANTITY, n,
       [](const CallArrays& a, int i) { return a.stockGrQty[i] < 0; }},
      {TARVOLIN_ERROR_PART_QUANTITY, m,
       [](const CallArrays& a, int i) { return a.partGrQty[i] < 0; }},
  };
  for (const ValueCheck& c : checks) {
    for (int i = 1; i <= c.count; ++i) {
      if (c.bad(in, i)) {
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
  s.effCostMode = s.costMode;
  s.effReduceLays = s.reduceLays;
  s.groupPartsByMark = s.layByMark && s.reduceLays > 0;
}

void ExpandItems(SolverState& st, const CallArrays& in, int16_t* stockItGr, int16_t* partItGr) {
  ProblemTables& t = st.problem;
  for (int g = 1; g <= in.partGrLth[0]; ++g) {
    for (int k = 0; k < in.partGrQty[g]; ++k) {
      if (t.partCount >= kMaxItems) {
        RaiseError(st, TARVOLIN_ERROR_TOO_MANY_PART_ITEMS);
        return;
      }
      const int i = ++t.partCount;
      t.partLth[i] = in.partGrLth[g];
      t.partMark[i] = in.partGrMrkID[g];
      t.partInputNo[i] = static_cast<int16_t>(i);
      partItGr[i] = static_cast<int16_t>(g);
    }
  }
  for (int g = 1; g <= in.stockGrLth[0]; ++g) {
    for (int k = 0; k < in.stockGrQty[g]; ++k) {
      if (t.stockCount >= kMaxItems) {
        RaiseError(st, TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS);
        return;
      }
      const int i = ++t.stockCount;
      t.stockLth[i] = in.stockGrLth[g];
      t.stockCost[i] = in.stockGrCst[g];
      t.stockInputNo[i] = static_cast<int16_t>(i);
      stockItGr[i] = static_cast<int16_t>(g);
    }
  }
}

void SortPartItems(SolverState& st) {
  ProblemTables& t = st.problem;
  for (int pass = 0; pass < t.partCount; ++pass) {
    for (int i = 1; i < t.partCount; ++i) {
      if (t.partLth[i] < t.partLth[i + 1]) ExchangeParts(t, i);
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
    const int32_t length = t.partLth[i];
    int16_t qty = 0;
    auto take = [&](int j) {
      taken[j] = true;
      ++collected;
      lth[collected] = t.partLth[j];
      mark[collected] = t.partMark[j];
      inputNo[collected] = t.partInputNo[j];
      group[collected] = static_cast<int16_t>(groups);
      ++qty;
    };
    // Collects the ungrouped items of this length with the given mark.
    auto takeMark = [&](int from, int32_t m) {
      for (int l = from; l <= n; ++l) {
        if (!taken[l] && t.partLth[l] == length && t.partMark[l] == m) take(l);
      }
    };
    if (st.settings.groupPartsByMark) {
      takeMark(i, t.partMark[i]);
    } else {
      for (int j = i; j <= n; ++j) {
        if (!taken[j] && t.partLth[j] == length) takeMark(j, t.partMark[j]);
      }
    }
    t.partGrLth[groups] = length;
    t.partGrQty[groups] = qty;
    t.partGroupCount = groups;
  }
  if (collected != n) {
    RaiseError(st, TARVOLIN_ERROR_PART_GROUPING);
    return;
  }
  std::copy(lth + 1, lth + n + 1, t.partLth + 1);
  std::copy(mark + 1, mark + n + 1, t.partMark + 1);
  std::copy(inputNo + 1, inputNo + n + 1, t.partInputNo + 1);
  std::copy(group + 1, group + n + 1, t.partGroup + 1);
}

void SortStockItems(SolverState& st) {
  ProblemTables& t = st.problem;
  for (int pass = 0; pass < t.stockCount; ++pass) {
    for (int i = 1; i < t.stockCount; ++i) {
      if (t.stockLth[i] < t.stockLth[i + 1]) ExchangeStocks(t, i);
    }
  }
  for (int pass = 0; pass < t.stockCount; ++pass) {
    for (int i = 1; i < t.stockCount; ++i) {
      if (t.stockLth[i] == t.stockLth[i + 1] && t.stockCost[i] < t.stockCost[i + 1]) {
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
      if (taken[j] || t.stockLth[j] != t.stockLth[i] || t.stockCost[j] != t.stockCost[i]) {
        continue;
      }
      taken[j] = true;
      ++collected;
      lth[collected] = t.stockLth[j];
      cost[collected] = t.stockCost[j];
      inputNo[collected] = t.stockInputNo[j];
      group[collected] = static_cast<int16_t>(groups);
      ++qty;
    }
    t.stockGrLth[groups] = t.stockLth[i];
    t.stockGrCst[groups] = t.stockCost[i];
    t.stockGrQty[groups] = qty;
    t.stockGroupCount = groups;
  }
  if (collected != n) {
    RaiseError(st, TARVOLIN_ERROR_STOCK_GROUPING);
    return;
  }
  std::copy(lth + 1, lth + n + 1, t.stockLth + 1);
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
    const int32_t qty = t.stockGrQty[g];
    if (qty < 1) continue;
    const int32_t bound =
        BarDemandBound(t.partGrLth, t.partGrQty, t.partGroupCount, TARVOLIN_BAR_DEMAND_SLACK,
                       s.gripLength, s.endZone, s.kerf, t.stockGrLth[g]);
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
    if (t.stockGrLth[g] < 1) {
      RaiseError(st, TARVOLIN_ERROR_END_ZONE_TOO_LONG);
      return;
    }
  }

  ps.maxStockLth = 0;
  ps.minStockLth = kMaxSum;
  for (int g = 1; g <= t.stockGroupCount; ++g) {
    if (capped[g] < 1) continue;
    const int32_t lth = t.stockGrLth[g];
    ps.maxStockLth = std::max(ps.maxStockLth, lth);
    ps.minStockLth = std::min(ps.minStockLth, lth);
    ps.maxStockQty = std::max(ps.maxStockQty, capped[g]);
    ps.maxCostRate = std::max(ps.maxCostRate, static_cast<double>(t.stockGrCst[g]) / lth);
    ps.totalStockLth += int64_t{lth} * capped[g];
    ps.totalStockCost += int64_t{t.stockGrCst[g]} * capped[g];
  }
  ps.maxPartLth = 0;
  ps.minPartLth = kMaxSum;
  int32_t partGroupsWithQty = 0;
  for (int g = 1; g <= t.partGroupCount; ++g) {
    if (t.partGrQty[g] < 1) continue;
    ++partGroupsWithQty;
    ps.maxPartLth = std::max(ps.maxPartLth, t.partGrLth[g]);
    ps.minPartLth = std::min(ps.minPartLth, t.partGrLth[g]);
    ps.maxPartQty = std::max<int32_t>(ps.maxPartQty, t.partGrQty[g]);
    ps.totalPartLth += int64_t{t.partGrLth[g]} * t.partGrQty[g];
  }

  failed = false;
  if (ps.totalStockLth > kMaxSum) fail(TARVOLIN_ERROR_STOCK_LENGTH_SUM);
  if (ps.totalPartLth > kMaxSum) fail(TARVOLIN_ERROR_PART_LENGTH_SUM);
  if (ps.totalStockCost > kMaxSum) fail(TARVOLIN_ERROR_STOCK_COST_SUM);
  if (int64_t{ps.maxStockLth} - s.endZone < ps.minPartLth) fail(TARVOLIN_ERROR_NO_PART_FITS);
  if (s.bundle > ps.maxPartQty) fail(TARVOLIN_ERROR_BUNDLE_TOO_LARGE);
  if (failed) return;

  // Limits that cannot bind are switched off.
  if (s.diffStocks >= t.stockGroupCount) s.diffStocks = 0;
  if (s.diffPieces >= t.partGroupCount) s.diffPieces = 0;
  if (s.maxPieces >= t.partCount) s.maxPieces = 0;

  ps.avgStockLth = static_cast<int32_t>(ps.totalStockLth / cappedTotal);
  ps.avgPartLth = static_cast<int32_t>(ps.totalPartLth / t.partCount);
  ps.estPieceCapacity = static_cast<int32_t>(std::min<int64_t>(
      t.partCount, RoundEven(static_cast<double>(ps.totalStockLth) / ps.avgPartLth + 0.51)));
  ps.estBarsNeeded = static_cast<int32_t>(std::min<int64_t>(
      cappedTotal, RoundEven(static_cast<double>(ps.totalPartLth) / ps.avgStockLth + 0.51)));

  // Too small an order for layout reduction to matter.
  if (t.partCount - 2.0 * ps.avgStockLth / ps.avgPartLth <= partGroupsWithQty) {
    s.effReduceLays = 0;
  }

  // Equal cost per length makes cost and material optimization the same.
  if (ps.totalStockCost == 0) {
    s.effCostMode = false;
  } else {
    bool allEqual = true;
    for (int g = 1; g <= t.stockGroupCount; ++g) {
      if (capped[g] < 1) continue;
      const double rate = static_cast<double>(t.stockGrCst[g]) / t.stockGrLth[g];
      if (ps.maxCostRate - rate > 1e-11) allEqual = false;
    }
    if (allEqual) s.effCostMode = false;
  }

  // The capped quantities served only this check; the statistics stay.
  ps.cappedStockCount = 0;
}

void WriteResults(const SolverState& st, const CallArrays& in, const CallResults& a) {
  const ProblemTables& t = st.problem;
  const DriverTables& d = st.driver;
  const RunRecord& r = d.result;
  *a.critValue = Scaled(r.criterion);
  *a.utilRate = Scaled(r.utilization);
  *a.stockUsed = r.bars;
  *a.partsCut = r.parts;
  *a.lthUsed = r.length;
  *a.wasteSum = r.waste;
  *a.costUsed = r.cost;
  *a.lastParts = r.lastParts;
  *a.lastLthUsed = r.lastLength;
  *a.lastWaste = r.lastRemainder;
  *a.lastCost = r.lastCost;
  *a.patternNum = r.patterns;
  *a.layoutNum = r.layouts;
  *a.layoutCuts = r.layoutCuts;
  *a.lastStock = StockInputNo(t, r.lastStock);
  *a.reserved1 = 0;
  *a.reserved2 = 0;

  for (int i = 1; i <= t.partCount; ++i) {
    a.partItStock[t.partInputNo[i]] = StockInputNo(t, d.resultStockOfPiece[i]);
  }
  for (int i = 1; i <= t.stockCount; ++i) {
    const int no = t.stockInputNo[i];
    a.stockItLay[no] = Wrap16(d.resultBarLayout[i]);
    a.stockItPat[no] = Wrap16(d.resultBarPattern[i]);
    a.stockItParts[no] = Wrap16(d.resultBarParts[i]);
    a.stockItWaste[no] = d.resultBarWaste[i];
  }

  const int32_t check = Wrap32(int64_t{in.stockGrLth[in.stockGrLth[0] + 1]} +
                               int64_t{in.partGrLth[in.partGrLth[0] + 1]});
  const int np = t.partCount;
  const int ns = t.stockCount;
  for (int16_t* array : {a.partItGr, a.partItStock}) {
    array[0] = Wrap16(np);
    array[np + 1] = Wrap16(check);
  }
  for (int16_t* array : {a.stockItGr, a.stockItLay, a.stockItPat, a.stockItParts}) {
    array[0] = Wrap16(ns);
    array[ns + 1] = Wrap16(check);
  }
  a.stockItWaste[0] = ns;
  a.stockItWaste[ns + 1] = check;
}

}  // namespace solver
