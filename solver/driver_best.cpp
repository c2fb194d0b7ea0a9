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
  const ProblemTables& problem = st.problem;
  for (int i = problem.partCount; i >= 1; --i) firstPart[problem.partGroup[i]] = i;
  for (int i = problem.stockCount; i >= 1; --i) firstStock[problem.stockGroup[i]] = i;
}

// The bundle run's pieces and bars in internal numbering: each used bar of
// the bundle stands for m bars, each of its pieces for m pieces.
void MapBundleRun(SolverState& st, int32_t m, const int32_t* firstPart, const int32_t* firstStock) {
  DriverTables& driver = st.driver;
  const BundleRunTables& bundle = driver.bundle;
  const int32_t stockCount = st.problem.stockCount;
  const int32_t partCount = st.problem.partCount;
  auto validBar = [&](int32_t bar) { return bar >= 1 && bar <= stockCount; };
  auto validPart = [&](int32_t part) { return part >= 1 && part <= partCount; };
  bool barUsed[kItemSlots] = {};
  for (int32_t p = 1; p <= bundle.pieceCount; ++p) {
    const int16_t bar = bundle.stockOfPiece[p];
    if (bar >= 1 && bar <= bundle.stockCount) barUsed[bar] = true;
  }
  int32_t barBase[kItemSlots] = {};
  int32_t usedOfGroup[kStockGroupSlots] = {};
  for (int32_t s = 1; s <= bundle.stockCount; ++s) {
    if (!barUsed[s]) continue;
    const int g = bundle.stockGroup[s];
    barBase[s] = firstStock[g] + usedOfGroup[g]++ * m;
  }
  int32_t cutOfGroup[kPartGroupSlots] = {};
  for (int32_t p = 1; p <= bundle.pieceCount; ++p) {
    const int16_t bar = bundle.stockOfPiece[p];
    if (bar < 1 || bar > bundle.stockCount) continue;
    const int g = bundle.pieceGroup[p];
    const int32_t base = firstPart[g] + cutOfGroup[g]++ * m;
    for (int32_t c = 0; c < m; ++c) {
      if (validPart(base + c) && validBar(barBase[bar] + c)) {
        driver.resultStockOfPiece[base + c] = static_cast<int16_t>(barBase[bar] + c);
      } else {
        CountFailure(st.run.check, Check::kResultItemMapping);
      }
    }
  }
}

// The remainder run's pieces and bars in internal numbering, after the
// items the kept bundle took. Returns the internal item of its last bar
// (0 = none).
int32_t MapRemainderRun(SolverState& st, int32_t m, const int32_t* firstPart,
                        const int32_t* firstStock) {
  DriverTables& driver = st.driver;
  const BundleRunTables& bundle = driver.bundle;
  const RunTables& run = st.run;
  const int32_t stockCount = st.problem.stockCount;
  const int32_t partCount = st.problem.partCount;
  auto validBar = [&](int32_t bar) { return bar >= 1 && bar <= stockCount; };
  auto validPart = [&](int32_t part) { return part >= 1 && part <= partCount; };
  const int32_t k = driver.bundleKept ? m : 0;
  int32_t barItem[kItemSlots] = {};
  int32_t seen[kStockGroupSlots] = {};
  for (int32_t s = 1; s <= run.stockCount; ++s) {
    const int g = run.stockGroup[s];
    barItem[s] = firstStock[g] + k * bundle.usedBars[g] + seen[g]++;
  }
  int32_t seenPart[kPartGroupSlots] = {};
  for (int32_t p = 1; p <= run.pieceCount; ++p) {
    const int g = run.pieceGroup[p];
    const int32_t item = firstPart[g] + k * bundle.usedPieces[g] + seenPart[g]++;
    const int16_t bar = run.stockOfPiece[p];
    if (!validPart(item)) {
      CountFailure(st.run.check, Check::kResultItemMapping);
      continue;
    }
    if (bar >= 1 && bar <= run.stockCount && validBar(barItem[bar])) {
      driver.resultStockOfPiece[item] = static_cast<int16_t>(barItem[bar]);
    }
  }
  const int32_t last = run.current.lastStock;
  return (last >= 1 && last <= run.stockCount) ? barItem[last] : 0;
}

// Rebuilds the result tables in internal numbering from the bundle run and
// the remainder run. Returns the internal item of the remainder run's last
// bar (0 = none).
int32_t MapRunsToItems(SolverState& st, int32_t m) {
  int32_t firstPart[kPartGroupSlots] = {};
  int32_t firstStock[kStockGroupSlots] = {};
  FirstItems(st, firstPart, firstStock);
  if (st.driver.bundleKept) MapBundleRun(st, m, firstPart, firstStock);
  if (!st.driver.remainderRan) return 0;
  return MapRemainderRun(st, m, firstPart, firstStock);
}

}  // namespace

// The plan of the current candidate becomes the best: the result tables
// are rebuilt in internal item numbering, consolidated, and checked against
// the runs they came from.
void TakeNewBest(SolverState& st, int32_t m) {
  DriverTables& driver = st.driver;
  const RunRecord& current = st.run.current;
  driver.bestCriterion = current.criterion;
  driver.bestMultiplicity = m;
  if (st.settings.showProgress) ShowBestPlan(st, driver.bestCriterion);

  ClearResult(driver);
  const int32_t lastItem = MapRunsToItems(st, m);
  RunRecord& result = driver.result;
  result.criterion = current.criterion;
  result.lastStock = lastItem;
  result.layouts = current.layouts;
  result.layoutCuts = current.layoutCuts;
  result.lastParts = current.lastParts;
  result.lastLength = current.lastLength;
  result.lastRemainder = current.lastRemainder;
  result.lastCost = current.lastCost;

  const RunRecord before = result;
  ConsolidateBestPlan(st);

  int32_t* check = st.run.check;
  const RunRecord& bestOfRun = driver.bestOfRun;
  if (result.lastParts != before.lastParts) CountFailure(check, Check::kResultLastParts);
  if (result.lastLength != before.lastLength) CountFailure(check, Check::kResultLastLength);
  if (result.lastRemainder != before.lastRemainder)
    CountFailure(check, Check::kResultLastRemainder);
  if (result.lastCost != before.lastCost) CountFailure(check, Check::kResultLastCost);
  if (result.maxRemainder < bestOfRun.maxRemainder || result.maxRemainder < current.maxRemainder)
    CountFailure(check, Check::kResultMaxRemainder);
  if (result.bars != bestOfRun.bars * m + current.bars) CountFailure(check, Check::kResultBars);
  if (result.parts != bestOfRun.parts * m + current.parts) CountFailure(check, Check::kResultParts);
  if (result.length != bestOfRun.length * m + current.length)
    CountFailure(check, Check::kResultLength);
  if (result.waste != bestOfRun.waste * m + current.waste) CountFailure(check, Check::kResultWaste);
  if (result.cost != bestOfRun.cost * m + current.cost) CountFailure(check, Check::kResultCost);
  RaiseConsistencyErrors(st);
}

bool UpdateBestTen(SolverState& st, int32_t m) {
  DriverTables& driver = st.driver;
  const RunRecord& current = st.run.current;
  const RunRecord& bestOfRun = driver.bestOfRun;
  BestTenEntry entry;
  entry.parts = bestOfRun.parts * m + current.parts;
  entry.stocks = bestOfRun.bars * m + current.bars;
  entry.cost = bestOfRun.cost * m + current.cost;
  const int64_t length = int64_t{bestOfRun.length} * m + current.length;
  const int64_t waste = int64_t{bestOfRun.waste} * m + current.waste;
  entry.utilization =
      length > 0
          ? static_cast<int32_t>(RoundEven(static_cast<double>(length - waste) / length * 100000))
          : 0;
  entry.criterion = ScaledFraction(current.criterion);
  entry.layouts = current.layouts;
  entry.layoutCuts = current.layoutCuts;
  entry.elapsedMs = static_cast<int32_t>(RoundEven(NowMs(st) - st.progress.callStartMs));
  if (current.lastStock != 0) {
    entry.stocks += 1;
    entry.parts += current.lastParts;
  }

  int smallest = 1;
  for (int i = 1; i <= kBestTenSlots; ++i) {
    const BestTenEntry& listed = driver.bestTen[i];
    if (listed.criterion < driver.bestTen[smallest].criterion) smallest = i;
    if (listed.utilization == entry.utilization && listed.cost == entry.cost &&
        listed.layouts == entry.layouts && listed.layoutCuts == entry.layoutCuts &&
        listed.stocks == entry.stocks && listed.parts == entry.parts) {
      return false;
    }
  }
  if (entry.criterion <= driver.bestTen[smallest].criterion) return false;
  driver.bestTen[smallest] = entry;
  driver.bestTenCount = std::min(driver.bestTenCount + 1, kBestTenSlots);

  const TargetSolution& target = st.target;
  return entry.utilization == target.utilRate && entry.cost == target.costUsed &&
         entry.layouts == target.layoutNum && entry.layoutCuts == target.layoutCuts &&
         entry.stocks == target.stockUsed && entry.parts == target.partsCut;
}

void OrderLayoutsByWaste(SolverState& st) {
  const ProblemTables& problem = st.problem;
  DriverTables& driver = st.driver;
  int32_t* layout = driver.resultBarLayout;

  int64_t load[kItemSlots] = {};
  for (int p = 1; p <= problem.partCount; ++p) {
    const int16_t bar = driver.resultStockOfPiece[p];
    if (bar >= 1 && bar <= problem.stockCount)
      load[bar] += int64_t{problem.partLength[p]} + st.settings.kerf;
  }
  int64_t waste[kItemSlots] = {};
  for (int s = 1; s <= problem.stockCount; ++s)
    waste[s] = std::max<int64_t>(0, problem.stockLength[s] - load[s]);

  int32_t first = 1;
  for (int g = 1; g <= problem.stockGroupCount; ++g) {
    const int32_t end = first + problem.stockGroupQty[g];  // one past the block
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
  DriverTables& driver = st.driver;
  const SolverSettings& settings = st.settings;
  int32_t* counters = st.run.check;
  LayoutPlan plan = ProblemLayoutPlan(st, driver.resultBarLayout);
  if (settings.layoutsByMark && !settings.groupPartsByMark) {
    NumberLayouts(plan, false, false);
    CheckLayouts(plan, counters);
    OrderLayoutsByWaste(st);
    GroupBarsByLayout(plan);
    driver.result.lastStock = plan.lastBar;
    CheckLayouts(plan, counters);
  }
  NumberLayouts(plan, true, settings.layoutsByMark);
  CheckLayouts(plan, counters);
  OrderLayoutsByWaste(st);
  GroupBarsByLayout(plan);
  driver.result.lastStock = plan.lastBar;
  TidyPieceBars(plan, settings.layoutsByMark);
  CheckLayouts(plan, counters);
  driver.result.layouts = plan.layoutCount;
  driver.result.layoutCuts = plan.layoutCuts;

  if (settings.layoutsByMark) {
    std::copy(std::begin(driver.resultBarLayout), std::end(driver.resultBarLayout),
              driver.resultBarPattern);
    driver.result.patterns = plan.layoutCount;
  } else {
    LayoutPlan patternPlan = ProblemLayoutPlan(st, driver.resultBarPattern);
    NumberLayouts(patternPlan, false, true);
    CheckLayouts(patternPlan, counters);
    driver.result.patterns = patternPlan.layoutCount;
  }

  SummaryDetail detail;
  detail.barParts = driver.resultBarParts;
  detail.barWaste = driver.resultBarWaste;
  FillSummary(driver.result, plan, &detail);
}

}  // namespace solver
