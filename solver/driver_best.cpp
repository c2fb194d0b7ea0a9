// Keeping the best plan: the best-ten list, the result tables rebuilt in
// internal item numbering from the two runs, and the consolidation of the
// plan (layout numbers, grouping, tidying, the summary).
#include <algorithm>
#include <iterator>

#include "consolidation.h"
#include "driver.h"
#include "driver_stages.h"
#include "solver_services.h"
#include "solver_state.h"

namespace solver {

namespace {

// The layout order by waste starts above every layout number (a plan has at
// most kMaxItems bars, so at most that many layouts).
constexpr int32_t kAboveEveryLayout = 25555;

// First internal item of each group (items of a group are consecutive).
void FirstItems(const SolverState& st, int32_t* firstPart, int32_t* firstStock) {
  const ProblemTables& pr = st.problem;
  for (int i = pr.partCount; i >= 1; --i) firstPart[pr.partGroup[i]] = i;
  for (int i = pr.stockCount; i >= 1; --i) firstStock[pr.stockGroup[i]] = i;
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

}  // namespace

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
  ConsolidateBestPlan(st);

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

// Numbering, grouping and tidying of the result plan, then its summary.
void ConsolidateBestPlan(SolverState& st) {
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

}  // namespace solver
