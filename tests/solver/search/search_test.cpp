#include "search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "run_fixture.h"
#include "solver_services.h"
#include "tarvolin/errors.h"

namespace solver {
namespace {

using testing::MakeState;
using testing::PartSpec;
using testing::SetupRun;
using testing::StockSpec;

// A whole-problem setting around one run, as the driver leaves it.
void SetupSearch(SolverState& st, const std::vector<PartSpec>& parts,
                 const std::vector<StockSpec>& stocks) {
  SetupRun(st, parts, stocks);
  RunTables& run = st.run;
  st.problem.partCount = run.pieceCount;
  st.problem.stockCount = run.stockCount;
  st.problem.partGroupCount = run.partGroupCount;
  for (int g = 1; g <= run.partGroupCount; ++g) st.problem.partGroupWeight[g] = 1000003 * g;
  st.stats.totalPartLength = run.totalPartLength;
  st.stats.totalStockLength = run.totalStockLength;
  st.stats.totalStockCost = run.totalStockCost;
  st.stats.avgStockLength = run.meanStock;
  st.stats.avgPartLength = run.meanPiece;
  st.stats.estPieceCapacity = run.estPieces;
  st.stats.estBarsNeeded = run.estStocks;
  run.passLimit = 0;
  run.driverMode = 0;
}

int TotalChecks(const SolverState& st) {
  int n = 0;
  for (int k = 1; k <= 50; ++k) n += st.run.check[k];
  return n;
}

TEST(PassRules, Table) {
  const struct {
    int pass;
    std::vector<int> rules;
  } cases[] = {{0, {-1, 9}},   {1, {10, 15}}, {7, {5}},     {9, {0, 17}},
               {10, {-1, 20}}, {11, {3, 10}}, {25, {3, 10}}};
  for (const auto& c : cases) {
    std::vector<int> got;
    for (int r = -1; r <= 55; ++r) {
      if (PassRunsRule(c.pass, r)) got.push_back(r);
    }
    EXPECT_EQ(got, c.rules) << "pass " << c.pass;
  }
}

TEST(ClassOrderCount, Table) {
  EXPECT_EQ(ClassOrderCount(0), 0);
  EXPECT_EQ(ClassOrderCount(1), 1);
  EXPECT_EQ(ClassOrderCount(3), 6);
  EXPECT_EQ(ClassOrderCount(7), 5040);
  EXPECT_EQ(ClassOrderCount(8), 12777);
}

TEST(PassBudget, Cases) {
  const struct {
    int pass, groups, estPieces, estStocks, pieceOrders, stockOrders;
    int32_t pieceLimit, stockLimit;
  } cases[] = {
      // effort 0.04, ratio 1: a = round(sqrt(0.04 / 2000) * 1000) = 4, b = 5.
      {0, 10, 100, 20, 25556, 25556, 4, 5},
      // Only 3 piece orders: B = round(6 / 3 * 5) = 10.
      {0, 10, 100, 20, 3, 25556, 2, 9},
      // Pass 5: effort 0.4, a = round(14.14) = 14.
      {5, 10, 100, 20, 25556, 25556, 14, 15},
      // f = 30 / 300 scales the effort; ratio 5: a = 26, b = round(27 / 5) = 5.
      {0, 2, 10, 3, 25556, 25556, 26, 5},
  };
  for (const auto& c : cases) {
    auto st = MakeState();
    st->run.partGroupCount = c.groups;
    st->run.estPieces = c.estPieces;
    st->run.estStocks = c.estStocks;
    st->run.distinctPieceOrders = c.pieceOrders;
    st->run.distinctStockOrders = c.stockOrders;
    const PassBudget b = ComputePassBudget(*st, c.pass);
    EXPECT_EQ(b.pieceIterLimit, c.pieceLimit) << "pass " << c.pass << " groups " << c.groups;
    EXPECT_EQ(b.stockIterLimit, c.stockLimit) << "pass " << c.pass << " groups " << c.groups;
  }
}

TEST(LayoutSearch, PassLimitZeroRunsRulesMinusOneAndNine) {
  // No layout fills a bar closely enough to be committed, so both rules run
  // their full budget.
  auto st = MakeState();
  SetupSearch(*st, {{370, 2}, {290, 2}, {230, 1}}, {{1000, 3}});
  const PassBudget b = ComputePassBudget(*st, 0);
  const int full = (b.pieceIterLimit + 1) * (b.stockIterLimit + 1);
  const int lowered = (std::min(b.pieceIterLimit, b.pieceIterLimit / 2 + 8) + 1) *
                      (std::min(b.stockIterLimit, b.stockIterLimit / 2 + 8) + 1);
  LayoutSearch(*st, 1);
  EXPECT_EQ(st->run.constructionCount, lowered + full);
  EXPECT_EQ(TotalChecks(*st), 0);
  EXPECT_GT(st->run.current.criterion, 0);
  EXPECT_EQ(st->run.current.parts, 5);
}

TEST(LayoutSearch, PassEndsWhenEverythingIsCommitted) {
  // Rule 9 commits the exact layout 500 + 500 at its first construction.
  auto st = MakeState();
  SetupSearch(*st, {{500, 2}}, {{1000, 2}});
  const PassBudget b = ComputePassBudget(*st, 0);
  const int lowered = (std::min(b.pieceIterLimit, b.pieceIterLimit / 2 + 8) + 1) *
                      (std::min(b.stockIterLimit, b.stockIterLimit / 2 + 8) + 1);
  LayoutSearch(*st, 1);
  EXPECT_EQ(st->run.constructionCount, lowered + 1);
  EXPECT_EQ(st->run.current.parts, 2);
  EXPECT_EQ(st->run.current.bars, 1);
  EXPECT_EQ(TotalChecks(*st), 0);
}

TEST(LayoutSearch, EqualScoreKeepsFirstPlan) {
  auto st = MakeState();
  SetupSearch(*st, {{400, 1}}, {{1000, 2}});
  LayoutSearch(*st, 1);
  EXPECT_GT(st->run.constructionCount, 1);
  EXPECT_EQ(st->run.bestPlan.pieceIter, 0);
  EXPECT_EQ(st->run.bestPlan.stockIter, 0);
}

TEST(LayoutSearch, TwoIdenticalRunsGiveTheSamePlan) {
  const std::vector<PartSpec> parts = {{430, 4}, {270, 5}, {190, 7}, {120, 3}};
  const std::vector<StockSpec> stocks = {{1200, 4}, {900, 4}};
  auto a = MakeState();
  auto b = MakeState();
  SetupSearch(*a, parts, stocks);
  SetupSearch(*b, parts, stocks);
  a->run.passLimit = b->run.passLimit = 2;
  LayoutSearch(*a, 1);
  LayoutSearch(*b, 1);
  EXPECT_EQ(a->run.constructionCount, b->run.constructionCount);
  EXPECT_EQ(a->run.current.criterion, b->run.current.criterion);
  EXPECT_EQ(a->run.layoutCount, b->run.layoutCount);
  for (int i = 1; i <= a->run.pieceCount; ++i) {
    EXPECT_EQ(a->run.stockOfPiece[i], b->run.stockOfPiece[i]) << "piece " << i;
  }
  for (int k = 1; k <= a->run.stockCount; ++k) {
    EXPECT_EQ(a->run.barLayout[k], b->run.barLayout[k]) << "bar " << k;
  }
  EXPECT_EQ(TotalChecks(*a), 0);
}

TEST(LayoutSearch, HandsBackRealLengths) {
  // Kerf 10 and end zone 30: working lengths part + 10, bar + 10 - 30.
  auto st = MakeState();
  st->settings.kerf = 10;
  st->settings.endZone = 30;
  st->settings.gripLength = 50;
  SetupSearch(*st, {{310, 3}, {210, 2}}, {{980, 2}});
  st->run.gripLength = 60;
  LayoutSearch(*st, 1);
  EXPECT_EQ(st->run.partGroupLength[1], 300);
  EXPECT_EQ(st->run.partGroupLength[2], 200);
  EXPECT_EQ(st->run.stockGroupLength[1], 1000);
  EXPECT_EQ(st->run.gripLength, 50);
  const RunRecord& r = st->run.current;
  EXPECT_EQ(r.parts, 5);
  EXPECT_EQ(r.bars, 2);
  EXPECT_EQ(r.length, 2000);
  EXPECT_EQ(r.waste, 2000 - 3 * 300 - 2 * 200);
  EXPECT_EQ(TotalChecks(*st), 0);
}

TEST(LayoutSearch, NothingFitsLeavesNoPieceCut) {
  // No piece fits any bar: no plan scores above 0, nothing is restored.
  auto st = MakeState();
  SetupSearch(*st, {{1200, 2}}, {{1000, 2}});
  LayoutSearch(*st, 1);
  EXPECT_GT(st->run.constructionCount, 0);
  EXPECT_EQ(st->run.current.criterion, 0);
  EXPECT_EQ(st->run.current.parts, 0);
  EXPECT_EQ(st->run.current.bars, 0);
  EXPECT_EQ(st->run.layoutCount, 0);
  for (int i = 1; i <= st->run.pieceCount; ++i) EXPECT_EQ(st->run.stockOfPiece[i], 0) << i;
  EXPECT_EQ(TotalChecks(*st), 0);
}

TEST(LayoutSearch, TrimmedBarsStayOut) {
  // Group 2 (bars 2 and 3) was trimmed to no bar: only bar 1 is open.
  auto st = MakeState();
  SetupSearch(*st, {{450, 2}}, {{1000, 1}, {900, 2}});
  RunTables& run = st->run;
  run.stockGroupQty[2] = 0;
  run.trimmedStockGroups = 1;
  run.initialStockCount = 1;
  run.barsByGroup[1] = 1;
  run.distinctStockOrders = 2;
  run.minStock = run.maxStock = run.meanStock = 1000;
  run.maxStockQty = 1;
  run.totalStockLength = 1000;
  run.estStocks = 1;
  run.openStockCount = 1;
  LayoutSearch(*st, 1);
  EXPECT_EQ(run.stockOfPiece[1], 1);
  EXPECT_EQ(run.stockOfPiece[2], 1);
  EXPECT_EQ(run.current.bars, 1);
  EXPECT_EQ(run.current.parts, 2);
  EXPECT_EQ(run.barLayout[2], 0);
  EXPECT_EQ(run.barLayout[3], 0);
  EXPECT_EQ(TotalChecks(*st), 0);
}

TEST(LayoutSearch, InvalidRunTablesRaiseAnError) {
  auto st = MakeState();
  SetupSearch(*st, {{300, 2}}, {{1000, 1}});
  st->run.pieceGroup[2] = 7;  // no such group
  LayoutSearch(*st, 1);
  EXPECT_EQ(st->run.constructionCount, 0);
  EXPECT_EQ(st->error.number, TARVOLIN_ERROR_UNEXPECTED);
}

double g_fakeNow = 0;
// Every reading of the clock is one second later.
double SteppingClock() {
  return g_fakeNow += 1000;
}

TEST(LayoutSearch, TimeLimitStopsAtTheNextTest) {
  auto st = MakeState();
  SetupSearch(*st, {{370, 2}, {290, 2}, {230, 1}}, {{1000, 3}});
  g_fakeNow = 0;
  st->progress.clock = SteppingClock;
  st->settings.timeLimitMs = 1;
  st->run.driverStartMs = 0;
  LayoutSearch(*st, 1);
  // The clock is read every m-th construction, m = (limits + 1 product) div 100 + 1.
  const PassBudget b = ComputePassBudget(*st, 0);
  const int m = (std::min(b.pieceIterLimit, b.pieceIterLimit / 2 + 8) + 1) *
                    (std::min(b.stockIterLimit, b.stockIterLimit / 2 + 8) + 1) / 100 +
                1;
  EXPECT_EQ(st->run.constructionCount, m);
  EXPECT_TRUE(st->run.stopSearch);
  EXPECT_EQ(st->run.current.parts, 5);  // the best plan so far is kept
}

TEST(LayoutSearch, EscStopsOnlyWhenHonoured) {
  for (bool honoured : {false, true}) {
    auto st = MakeState();
    SetupSearch(*st, {{370, 2}, {290, 2}, {230, 1}}, {{1000, 3}});
    st->settings.escEnabled = honoured;
    st->progress.abort = true;  // Esc in the progress window
    LayoutSearch(*st, 1);
    if (honoured) {
      EXPECT_EQ(st->run.constructionCount, 1);
      EXPECT_GT(st->run.current.criterion, 0);
    } else {
      EXPECT_GT(st->run.constructionCount, 1);
    }
  }
}

}  // namespace
}  // namespace solver

namespace solver {
namespace {

// Seeded random sub-problems under varied limits: the kept plan respects
// every limit and raises no consistency counter.
TEST(LayoutSearch, RandomRunsKeepTheirLimits) {
  Random gen;
  gen.Seed(2024);
  for (int trial = 0; trial < 120; ++trial) {
    auto st = MakeState();
    SolverSettings& s = st->settings;
    s.kerf = static_cast<int32_t>(gen.Next(3)) * 5;
    s.endZone = static_cast<int32_t>(gen.Next(3)) * 10;
    s.gripLength = gen.Next(3) == 0 ? 150 : 0;
    s.maxPiecesPerLayout = static_cast<int32_t>(gen.Next(4));
    s.maxDifferentPieces = static_cast<int32_t>(gen.Next(3));
    s.maxStockGroups = static_cast<int32_t>(gen.Next(3));
    s.effectiveCostMode = gen.Next(2) == 0;
    const int partGroups = 1 + static_cast<int>(gen.Next(6));
    const int stockGroups = 1 + static_cast<int>(gen.Next(3));
    std::vector<PartSpec> parts;
    for (int g = 0; g < partGroups; ++g) {
      parts.push_back({static_cast<int32_t>(600 - 80 * g - gen.Next(60)) + s.kerf,
                       static_cast<int32_t>(gen.Next(5))});
    }
    parts[0].qty += 1;
    std::vector<StockSpec> stocks;
    for (int g = 0; g < stockGroups; ++g) {
      stocks.push_back({1500 - 200 * g + s.kerf - s.endZone, 1 + static_cast<int32_t>(gen.Next(6)),
                        static_cast<int32_t>(100 + gen.Next(300))});
    }
    SetupSearch(*st, parts, stocks);
    st->run.gripLength = s.gripLength > 0 ? s.gripLength + s.kerf : 0;
    if (s.effectiveCostMode) st->run.refCostRate = 0.2;
    st->run.passLimit = static_cast<int32_t>(gen.Next(3));
    LayoutSearch(*st, 1);
    const RunTables& run = st->run;
    ASSERT_EQ(TotalChecks(*st), 0) << "trial " << trial;
    std::vector<int> groupsOfStock;
    for (int bar = 1; bar <= run.stockCount; ++bar) {
      int32_t parts = 0, count = 0;
      std::vector<int> groups;
      for (int i = 1; i <= run.pieceCount; ++i) {
        if (run.stockOfPiece[i] != bar) continue;
        parts += run.partGroupLength[run.pieceGroup[i]];
        ++count;
        if (std::find(groups.begin(), groups.end(), run.pieceGroup[i]) == groups.end()) {
          groups.push_back(run.pieceGroup[i]);
        }
      }
      if (count == 0) continue;
      const int g = run.stockGroup[bar];
      EXPECT_LE(parts + (count - 1) * s.kerf + s.endZone, run.stockGroupLength[g]) << trial;
      if (s.maxPiecesPerLayout >= 1) {
        EXPECT_LE(count, s.maxPiecesPerLayout) << trial;
      }
      if (s.maxDifferentPieces >= 1) {
        EXPECT_LE(static_cast<int>(groups.size()), s.maxDifferentPieces) << trial;
      }
      if (std::find(groupsOfStock.begin(), groupsOfStock.end(), g) == groupsOfStock.end()) {
        groupsOfStock.push_back(g);
      }
    }
    if (s.maxStockGroups >= 1) {
      EXPECT_LE(static_cast<int>(groupsOfStock.size()), s.maxStockGroups) << trial;
    }
  }
}

}  // namespace
}  // namespace solver
