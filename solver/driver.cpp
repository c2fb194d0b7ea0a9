#include "driver.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "consolidation.h"
#include "search.h"
#include "solver_services.h"
#include "solver_state.h"
#include "tarvolin/cut_optimize.h"

namespace solver {

namespace {

constexpr double kDemandSlack = 1.4;
constexpr int64_t kOrdersCap = 25555;
constexpr int64_t kSumLimit = 2000000000;

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

void CalcError(SolverState& st, int number) {
  RaiseError(st, number, "Calc.Error");
}

// First internal item of each group (items of a group are consecutive).
void FirstItems(const SolverState& st, int32_t* firstPart, int32_t* firstStock) {
  const ProblemTables& pr = st.problem;
  for (int i = pr.partCount; i >= 1; --i) firstPart[pr.partGroup[i]] = i;
  for (int i = pr.stockCount; i >= 1; --i) firstStock[pr.stockGroup[i]] = i;
}

// Appends q items of group g to a run item list while the multinomial count
// of distinct orders is built. Returns false when the list would overflow.
bool AppendRunItems(int16_t* groupOf, int32_t& count, int g, int32_t q, int64_t& orders) {
  for (int32_t j = 1; j <= q; ++j) {
    if (count >= kMaxItems) return false;
    ++count;
    groupOf[count] = static_cast<int16_t>(g);
    if (orders < kOrdersCap) orders = orders * count / j;
  }
  return true;
}

int64_t DistinctOrders(const int32_t* qty, int groups) {
  int64_t orders = 1;
  int32_t n = 0;
  for (int g = 1; g <= groups; ++g) {
    for (int32_t j = 1; j <= qty[g]; ++j) {
      ++n;
      if (orders < kOrdersCap) orders = orders * n / j;
    }
  }
  return orders + 1;
}

// Step 5 of the preparation: bars beyond the bar-demand bound leave the
// initial order; they stay behind position initialStockCount.
bool TrimStock(SolverState& st) {
  RunTables& r = st.run;
  const SolverSettings& se = st.settings;
  int32_t partLth[kPartGroupSlots] = {};
  int16_t partQty[kPartGroupSlots] = {};
  for (int g = 1; g <= r.partGroupCount; ++g) {
    partLth[g] = r.partGrLth[g];
    partQty[g] = static_cast<int16_t>(r.partGrQty[g]);
  }
  int16_t trimmed[kItemSlots] = {};
  int32_t trimmedCount = 0;
  r.initialStockCount = 0;
  r.trimmedStockGroups = 0;
  int32_t first = 1;
  for (int g = 1; g <= r.stockGroupCount; ++g) {
    const int32_t q = r.stockGrQty[g];
    int32_t keep = q;
    if (q >= 1) {
      const int32_t bound = BarDemandBound(partLth, partQty, r.partGroupCount, kDemandSlack,
                                           r.gripLength, se.endZone, se.kerf, r.stockGrLth[g]);
      if (bound < q) {
        keep = std::max(bound, 0);
        r.stockGrQty[g] = keep;
        if (keep == 0) ++r.trimmedStockGroups;
      }
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
  r.distinctStockOrders = static_cast<int32_t>(DistinctOrders(r.stockGrQty, r.stockGroupCount));
  int32_t counted = 0;
  for (int g = 1; g <= r.stockGroupCount; ++g) counted += r.stockGrQty[g];
  if (counted != r.initialStockCount || pos != r.initialStockCount) {
    CalcError(st, 201);
    return false;
  }
  return r.initialStockCount > 0;
}

// Steps 7 to 9: statistics on working lengths, means, estimates, mixType.
bool RunStatistics(SolverState& st) {
  RunTables& r = st.run;
  r.minStock = static_cast<int32_t>(kSumLimit);
  r.minPart = static_cast<int32_t>(kSumLimit);
  bool rateSet = false;
  for (int g = 1; g <= r.stockGroupCount; ++g) {
    const int32_t q = r.stockGrQty[g];
    if (q < 1) continue;
    const int32_t len = r.stockGrLth[g];
    r.maxStock = std::max(r.maxStock, len);
    r.minStock = std::min(r.minStock, len);
    r.maxStockQty = std::max(r.maxStockQty, q);
    const double rate = static_cast<double>(r.stockGrCst[g]) / std::max(len, 1);
    if (!rateSet || rate < r.minCostRate) r.minCostRate = rate;
    rateSet = true;
    r.totalStockLth += int64_t{len} * q;
    r.totalStockCost += int64_t{r.stockGrCst[g]} * q;
  }
  for (int g = 1; g <= r.partGroupCount; ++g) {
    const int32_t q = r.partGrQty[g];
    if (q < 1) continue;
    const int32_t len = r.partGrLth[g];
    r.minPart = std::min(r.minPart, len);
    r.maxPart = std::max(r.maxPart, len);
    r.maxPartQty = std::max(r.maxPartQty, q);
    r.totalPartLth += int64_t{len} * q;
  }
  bool ok = true;
  if (r.totalStockLth > kSumLimit) ok = (CalcError(st, 217), false);
  if (r.totalPartLth > kSumLimit) ok = (CalcError(st, 218), false);
  if (r.totalStockCost > kSumLimit) ok = (CalcError(st, 219), false);
  if (!ok) return false;

  r.meanPiece = static_cast<int32_t>(r.totalPartLth / r.pieceCount);
  r.meanStock = static_cast<int32_t>(r.totalStockLth / r.initialStockCount);
  r.meanCost = static_cast<int32_t>(r.totalStockCost / r.initialStockCount);
  const double meanPiece = std::max(r.meanPiece, 1);
  const double meanStock = std::max(r.meanStock, 1);
  r.estPieces = static_cast<int32_t>(
      std::min<int64_t>(r.pieceCount, RoundEven(r.totalStockLth / meanPiece + 0.51)));
  r.estStocks = static_cast<int32_t>(
      std::min<int64_t>(r.initialStockCount, RoundEven(r.totalPartLth / meanStock + 0.51)));

  const int openGroups = r.partGroupCount - r.emptyPartGroups;
  const double ratio = static_cast<double>(r.totalPartLth) / openGroups / meanStock;
  r.mixType = ratio <= 0.5 ? 1 : (ratio >= 2 ? 3 : 2);
  return true;
}

// Step 11: the combination switches of the construction.
void CombinationFlags(SolverState& st) {
  RunTables& r = st.run;
  const SolverSettings& se = st.settings;
  if (r.mixType == 1) r.pairCombos = false;
  if (se.diffPieces == 1 || se.maxPieces == 1) {
    r.pairCombos = false;
    r.tripleCombos = false;
  }
  if (se.diffPieces == 2 || se.maxPieces == 2) r.tripleCombos = false;
  const int openGroups = r.partGroupCount - r.emptyPartGroups;
  if (openGroups < 3) r.tripleCombos = false;
  if (openGroups < 2) r.pairCombos = false;
  if (!r.tripleCombos) {
    r.runShare = 0.4;
    r.pairFill = 0.95;
  }
}

// Step 12: the cost rate of the dearest stock group needed to cover the
// demand; a group needed only for a small rest does not count.
void ReferenceCostRate(SolverState& st) {
  RunTables& r = st.run;
  r.refCostRate = 0;
  if (!st.settings.effCostMode) return;
  bool taken[kStockGroupSlots] = {};
  int64_t remaining = r.totalPartLth;
  bool first = true;
  while (remaining >= 1) {
    int pick = 0;
    double pickRate = 0;
    for (int g = 1; g <= r.stockGroupCount; ++g) {
      if (taken[g] || r.stockGrQty[g] < 1) continue;
      const double rate = static_cast<double>(r.stockGrCst[g]) / std::max(r.stockGrLth[g], 1);
      if (pick == 0 || rate < pickRate) {
        pick = g;
        pickRate = rate;
      }
    }
    if (pick == 0) break;
    taken[pick] = true;
    const double capacity = static_cast<double>(r.stockGrQty[pick]) * r.stockGrLth[pick];
    if (first || pickRate <= r.refCostRate + 1e-11 || remaining > 0.3 * capacity) {
      r.refCostRate = pickRate;
    }
    first = false;
    remaining -= RoundEven(0.95 * capacity);
  }
}

// Resets the run tables for a new run; the consistency counters are the
// call's and stay.
void ResetRunTables(SolverState& st) {
  int32_t check[51];
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
          ++st.run.check[35];
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
      ++st.run.check[35];
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
  if (se.layByMark && !se.groupPartsByMark) {
    NumberLayouts(p, false, false);
    CheckLayouts(p, counters);
    OrderLayoutsByWaste(st);
    GroupBarsByLayout(p);
    d.result.lastStock = p.lastBar;
    CheckLayouts(p, counters);
  }
  NumberLayouts(p, true, se.layByMark);
  CheckLayouts(p, counters);
  OrderLayoutsByWaste(st);
  GroupBarsByLayout(p);
  d.result.lastStock = p.lastBar;
  TidyPieceBars(p, se.layByMark);
  CheckLayouts(p, counters);
  d.result.layouts = p.layoutCount;
  d.result.layoutCuts = p.layoutCuts;

  if (se.layByMark) {
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

// Step 8: the plan of the current candidate becomes the best.
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
  const RunRecord& bor = d.bestOfRun;
  if (res.lastParts != before.lastParts) ++check[29];
  if (res.lastLength != before.lastLength) ++check[30];
  if (res.lastRemainder != before.lastRemainder) ++check[31];
  if (res.lastCost != before.lastCost) ++check[32];
  if (res.maxRemainder < bor.maxRemainder || res.maxRemainder < cur.maxRemainder) ++check[33];
  if (res.bars != bor.bars * m + cur.bars) ++check[34];
  if (res.parts != bor.parts * m + cur.parts) ++check[35];
  if (res.length != bor.length * m + cur.length) ++check[36];
  if (res.waste != bor.waste * m + cur.waste) ++check[37];
  if (res.cost != bor.cost * m + cur.cost) ++check[38];
  RaiseConsistencyErrors(st);
}

void ResetOrder(DriverTables& d) {
  for (int i = 0; i < kCandidateSlots; ++i) d.order[i] = static_cast<int16_t>(i);
}

// Exchange sort of the order array by the criterion at sub-level s, best
// first; candidates not evaluated at s keep -5.55 and sort last.
void SortOrder(DriverTables& d, int s) {
  for (int pass = 1; pass <= kMaxCandidates; ++pass) {
    for (int j = 1; j < kMaxCandidates; ++j) {
      if (d.candidates[d.order[j + 1]].criterion[s] > d.candidates[d.order[j]].criterion[s]) {
        std::swap(d.order[j], d.order[j + 1]);
      }
    }
  }
}

void SortBestTen(DriverTables& d) {
  for (int pass = 1; pass <= d.bestTenCount; ++pass) {
    for (int j = 1; j < d.bestTenCount; ++j) {
      if (d.bestTen[j + 1].elapsedMs < d.bestTen[j].elapsedMs) {
        std::swap(d.bestTen[j], d.bestTen[j + 1]);
      }
    }
  }
}

}  // namespace

int32_t OrderWeight(int r, int n, int items) {
  if (n <= 0 || items <= 0) return 0;
  const double a = static_cast<double>(r) / n;
  const double shape = std::sin(a) + a + a * a;
  return static_cast<int32_t>(RoundEven(shape / 3 * 2e9 / items));
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
    const int32_t q = pr.partGrQty[g];
    c.bundles += q / m;
    c.remainderPieces += q % m;
    c.bundleLength += int64_t{q / m} * pr.partGrLth[g];
    c.remainderLength += int64_t{q % m} * pr.partGrLth[g];
  }
}

double EstimateCandidate(const SolverState& st, const Candidate& c) {
  double estimate = 0;
  if (c.bundles == 0) return 0;
  if (c.multiplicity == 1) {
    estimate = 1.01;
  } else {
    const double x =
        static_cast<double>(st.stats.avgStockLth) / std::max(st.stats.avgPartLth, 1) / 4;
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
    if (m != 1 && 2 * c.bundleLength <= st.stats.minStockLth) continue;
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
  r.pairCombos = true;
  r.tripleCombos = true;
  r.runShare = 0.2;
  r.pairFill = 0.6;

  r.partGroupCount = pr.partGroupCount;
  int64_t orders = 1;
  for (int g = 1; g <= pr.partGroupCount; ++g) {
    const int32_t q = d.workPartQty[g];
    r.partGrLth[g] = pr.partGrLth[g];
    r.partGrQty[g] = q;
    if (q < 0) return (CalcError(st, 211), false);
    if (q == 0) ++r.emptyPartGroups;
    if (!AppendRunItems(r.pieceGroup, r.pieceCount, g, q, orders)) {
      return (CalcError(st, 212), false);
    }
  }
  r.distinctPieceOrders = static_cast<int32_t>(orders + 1);

  r.stockGroupCount = pr.stockGroupCount;
  orders = 1;
  for (int g = 1; g <= pr.stockGroupCount; ++g) {
    const int32_t q = d.workStockQty[g];
    r.stockGrLth[g] = pr.stockGrLth[g];
    r.stockGrCst[g] = pr.stockGrCst[g];
    r.stockGrQty[g] = q;
    if (q < 0) return (CalcError(st, 214), false);
    if (q == 0) ++r.emptyStockGroups;
    if (!AppendRunItems(r.stockGroup, r.stockCount, g, q, orders)) {
      return (CalcError(st, 215), false);
    }
  }
  r.distinctStockOrders = static_cast<int32_t>(orders + 1);

  if (r.pieceCount == 0 || r.stockCount == 0) return false;
  if (!TrimStock(st)) return false;

  // Working lengths carry one kerf. Computed wide: a length beyond the sum
  // limit cannot belong to a plannable problem and must not wrap around.
  for (int g = 1; g <= r.stockGroupCount; ++g) {
    const int64_t w = int64_t{r.stockGrLth[g]} + se.kerf - se.endZone;
    if (w > kSumLimit) return (CalcError(st, 217), false);
    r.stockGrLth[g] = static_cast<int32_t>(w);
  }
  for (int g = 1; g <= r.partGroupCount; ++g) {
    const int64_t w = int64_t{r.partGrLth[g]} + se.kerf;
    if (w > kSumLimit) return (CalcError(st, 218), false);
    r.partGrLth[g] = static_cast<int32_t>(w);
  }
  if (se.gripLength > 0) {
    r.gripLength =
        static_cast<int32_t>(std::min<int64_t>(int64_t{se.gripLength} + se.kerf, kSumLimit));
  }

  if (!RunStatistics(st)) return false;
  if (r.minStock >= r.totalPartLth) r.passLimit = 0;
  CombinationFlags(st);
  ReferenceCostRate(st);
  return true;
}

bool UpdateBestTen(SolverState& st, int32_t m) {
  DriverTables& d = st.driver;
  const RunRecord& cur = st.run.current;
  const RunRecord& bor = d.bestOfRun;
  BestTenEntry e;
  e.parts = bor.parts * m + cur.parts;
  e.stocks = bor.bars * m + cur.bars;
  e.cost = bor.cost * m + cur.cost;
  const int64_t length = int64_t{bor.length} * m + cur.length;
  const int64_t waste = int64_t{bor.waste} * m + cur.waste;
  e.utilization =
      length > 0
          ? static_cast<int32_t>(RoundEven(static_cast<double>(length - waste) / length * 100000))
          : 0;
  e.criterion = static_cast<int32_t>(RoundEven(cur.criterion * 100000));
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
    if (bar >= 1 && bar <= pr.stockCount) load[bar] += int64_t{pr.partLth[p]} + st.settings.kerf;
  }
  int64_t waste[kItemSlots] = {};
  for (int s = 1; s <= pr.stockCount; ++s)
    waste[s] = std::max<int64_t>(0, pr.stockLth[s] - load[s]);

  int32_t first = 1;
  for (int g = 1; g <= pr.stockGroupCount; ++g) {
    const int32_t end = first + pr.stockGrQty[g];  // one past the block
    int32_t smallestPositive = 0;
    for (int32_t s = first; s < end; ++s) {
      if (layout[s] >= 1 && (smallestPositive == 0 || layout[s] < smallestPositive)) {
        smallestPositive = layout[s];
      }
    }
    int32_t threshold = 25555;
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
  for (int k = 1; k <= 50; ++k) {
    if (st.run.check[k] > 0) RaiseError(st, 100 + k, "Calc.Check");
  }
}

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
    for (int g = 1; g <= pr.partGroupCount; ++g) d.workPartQty[g] = pr.partGrQty[g] / m;
    for (int g = 1; g <= pr.stockGroupCount; ++g) d.workStockQty[g] = pr.stockGrQty[g] / m;
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

  const RunRecord& bor = d.bestOfRun;
  if (d.bundleKept &&
      (int64_t{bor.parts} * m >= pr.partCount || int64_t{bor.bars} * m >= pr.stockCount)) {
    RunRecord cur;
    cur.criterion = bor.criterion;
    cur.utilization = bor.utilization;
    cur.layouts = bor.layouts;
    cur.layoutCuts = bor.layoutCuts;
    cur.patterns = bor.patterns;
    st.run.current = cur;
  } else {
    st.run.current = RunRecord{};
    d.runStartMs = NowMs(st);
    const int32_t k = d.bundleKept ? m : 0;
    for (int g = 1; g <= pr.partGroupCount; ++g) {
      d.workPartQty[g] = pr.partGrQty[g] - k * d.bundle.usedPieces[g];
    }
    for (int g = 1; g <= pr.stockGroupCount; ++g) {
      d.workStockQty[g] = pr.stockGrQty[g] - k * d.bundle.usedBars[g];
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
  const int effort = std::clamp(st.settings.effortLev, 0, kSubLevels - 1);

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
