// The driver's steps that do not need the layout search: order weights,
// the multiplicity candidates, run preparation, the best-ten list and the
// layout order by waste.
#include <gtest/gtest.h>

#include "driver.h"
#include "driver_fixture.h"
#include "solver_state.h"

namespace solver {
namespace {

using testing::MakeProblem;

TEST(OrderWeights, GroupAndItemWeights) {
  auto st = MakeProblem({{3000, 2}, {2000, 2}, {1000, 2}}, {{6000, 5}});
  const int32_t marks[] = {0, 7, 0, 9, 7, 0, 9};
  for (int i = 1; i <= 6; ++i) st->problem.partMark[i] = marks[i];
  ComputeOrderWeights(*st);
  // Worked out from round((sin a + a + a^2) / 3 * 2e9 / items), a = rank /
  // ranks; an item's weight is the mean of its mark's and its group's.
  EXPECT_EQ(st->problem.partGroupWeight[1], 85737682);
  EXPECT_EQ(st->problem.partGroupWeight[2], 192164546);
  EXPECT_EQ(st->problem.partGroupWeight[3], 315718998);
  // Marks ranked by first appearance (7 then 9); mark 0 weighs nothing.
  const int32_t expected[] = {0, 111170260, 42868841, 253941772, 164383692, 157859499, 315718998};
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(st->problem.partMark[i], expected[i]) << "item " << i;
}

TEST(OrderWeights, WithoutPositiveMarksIdentifiersStay) {
  auto st = MakeProblem({{3000, 1}, {2000, 1}}, {{6000, 5}});
  ComputeOrderWeights(*st);
  EXPECT_EQ(st->problem.partMark[1], 0);
  EXPECT_EQ(st->problem.partMark[2], 0);
  // a = 0.5: (0.479426 + 0.5 + 0.25) / 3 * 2e8; a = 1: (0.841471 + 2) / 3 * 2e8.
  EXPECT_EQ(OrderWeight(1, 2, 10), 81961703);
  EXPECT_EQ(OrderWeight(2, 2, 10), 189431399);
}

TEST(Candidates, TableSkipsShortBundlesAndSortsByEstimate) {
  auto st = MakeProblem({{2000, 6}, {1500, 4}, {1000, 3}, {500, 2}}, {{6000, 10}});
  BuildCandidateTable(*st);
  const DriverTables& d = st->driver;
  EXPECT_EQ(d.mode, kModeSearch);
  // m = 6 and 5 bundle only 2000 of length, not more than half a bar.
  ASSERT_EQ(d.candidateCount, 4);
  const int32_t mult[] = {0, 1, 2, 3, 4};
  const int32_t bundles[] = {0, 15, 7, 4, 2};
  const int32_t rest[] = {0, 0, 1, 3, 7};
  const int64_t bundleLth[] = {0, 22000, 10500, 6500, 3500};
  const double estimate[] = {0, 1.005, 0.9953298156422673, 0.9939867377512223, 0.9923231845178784};
  for (int e = 1; e <= 4; ++e) {
    const Candidate& c = d.candidates[e];
    EXPECT_EQ(c.multiplicity, mult[e]);
    EXPECT_EQ(c.bundles, bundles[e]);
    EXPECT_EQ(c.remainderPieces, rest[e]);
    EXPECT_EQ(c.bundleLength, bundleLth[e]);
    EXPECT_NEAR(c.estimate, estimate[e], 1e-12);
    for (double crit : c.criterion) EXPECT_EQ(crit, kNotEvaluated);
  }
  EXPECT_EQ(d.candidates[5].multiplicity, 0);
}

TEST(Candidates, EstimateWithoutRemainderIsHalvedTowardsOne) {
  auto st = MakeProblem({{2000, 6}, {1500, 4}, {1000, 3}, {500, 2}}, {{6000, 10}});
  Candidate c;
  c.multiplicity = 2;
  c.bundles = 100;
  c.remainderPieces = 0;
  EXPECT_NEAR(EstimateCandidate(*st, c), 0.9992866501121225, 1e-12);
  c.bundles = 0;
  EXPECT_EQ(EstimateCandidate(*st, c), 0.0);
}

TEST(Candidates, AllQuantitiesOneGiveOnlyMultiplicityOne) {
  auto st = MakeProblem({{2000, 1}, {1500, 1}, {1000, 1}}, {{6000, 10}});
  BuildCandidateTable(*st);
  ASSERT_EQ(st->driver.candidateCount, 1);
  EXPECT_EQ(st->driver.candidates[1].multiplicity, 1);
}

TEST(Candidates, BundleGivenIsTheOnlyCandidate) {
  auto st = MakeProblem({{2000, 7}, {1500, 2}}, {{6000, 10}});
  st->settings.bundle = 3;
  BuildCandidateTable(*st);
  EXPECT_EQ(st->driver.mode, kModeBundleGiven);
  ASSERT_EQ(st->driver.candidateCount, 1);
  EXPECT_EQ(st->driver.candidates[1].multiplicity, 3);
  EXPECT_EQ(st->driver.candidates[1].bundles, 2);
  EXPECT_EQ(st->driver.candidates[1].remainderPieces, 3);
}

Candidate WithEstimate(int32_t m, double estimate) {
  Candidate c;
  c.multiplicity = m;
  c.estimate = estimate;
  return c;
}

TEST(Candidates, InsertionKeepsEarlierOnEqualEstimateAndDropsBeyondTable) {
  auto st = MakeProblem({{2000, 1}}, {{6000, 1}});
  EXPECT_EQ(InsertCandidate(*st, WithEstimate(5, 0.9)), 1);
  EXPECT_EQ(InsertCandidate(*st, WithEstimate(4, 0.95)), 1);
  EXPECT_EQ(InsertCandidate(*st, WithEstimate(3, 0.9)), 3);
  const DriverTables& d = st->driver;
  EXPECT_EQ(d.candidates[1].multiplicity, 4);
  EXPECT_EQ(d.candidates[2].multiplicity, 5);
  EXPECT_EQ(d.candidates[3].multiplicity, 3);

  for (int m = 100; d.candidateCount < kMaxCandidates; --m)
    InsertCandidate(*st, WithEstimate(m, 0.5));
  EXPECT_EQ(InsertCandidate(*st, WithEstimate(1, 0.1)), 0);  // position 78: dropped
  EXPECT_EQ(d.candidateCount, kMaxCandidates);
  const int32_t lastBefore = d.candidates[kMaxCandidates - 1].multiplicity;
  EXPECT_EQ(InsertCandidate(*st, WithEstimate(99, 2.0)), 1);  // the last one falls off
  EXPECT_EQ(d.candidateCount, kMaxCandidates);
  EXPECT_EQ(d.candidates[kMaxCandidates].multiplicity, lastBefore);
}

TEST(PrepareRun, BundleDemandTrimmingKerfAndStatistics) {
  // Bundle 3 of quantities 7 and 2: bundles 2 and 0.
  auto st = MakeProblem({{2500, 7}, {1000, 2}}, {{6000, 9}});
  st->settings.kerf = 5;
  st->settings.endZone = 20;
  st->settings.gripLength = 100;
  DriverTables& d = st->driver;
  d.workPartQty[1] = 7 / 3;
  d.workPartQty[2] = 2 / 3;
  d.workStockQty[1] = 9 / 3;
  ASSERT_TRUE(PrepareRun(*st, 4));
  const RunTables& r = st->run;
  EXPECT_EQ(r.pieceCount, 2);
  EXPECT_EQ(r.pieceGroup[1], 1);
  EXPECT_EQ(r.pieceGroup[2], 1);
  EXPECT_EQ(r.partGroupQty[1], 2);
  EXPECT_EQ(r.partGroupQty[2], 0);
  EXPECT_EQ(r.emptyPartGroups, 1);
  EXPECT_EQ(r.distinctPieceOrders, 2);
  // Two pieces of 2500 need one bar; 1.4 bars round to 1: two bars trimmed.
  EXPECT_EQ(r.stockCount, 3);
  EXPECT_EQ(r.initialStockCount, 1);
  EXPECT_EQ(r.stockGroupQty[1], 1);
  EXPECT_EQ(r.trimmedStockGroups, 0);
  EXPECT_EQ(r.initialStockOrder[1], 1);
  EXPECT_EQ(r.initialStockOrder[2], 2);
  EXPECT_EQ(r.initialStockOrder[3], 3);
  EXPECT_EQ(r.barsByGroup[1], 1);
  EXPECT_EQ(r.distinctStockOrders, 2);
  // Working lengths.
  EXPECT_EQ(r.stockGroupLength[1], 5985);
  EXPECT_EQ(r.partGroupLength[1], 2505);
  EXPECT_EQ(r.partGroupLength[2], 1005);
  EXPECT_EQ(r.gripLength, 105);
  EXPECT_EQ(r.minStock, 5985);
  EXPECT_EQ(r.totalPartLength, 5010);
  EXPECT_EQ(r.meanPiece, 2505);
  EXPECT_EQ(r.meanStock, 5985);
  EXPECT_EQ(r.estPieces, 2);
  EXPECT_EQ(r.estStocks, 1);
  EXPECT_EQ(r.mixType, 2);
  EXPECT_EQ(r.subLevel, 4);
  EXPECT_EQ(r.passLimit, 0);  // every piece fits into the shortest bar
  EXPECT_FALSE(r.pairCombos);
  EXPECT_FALSE(r.tripleCombos);
  EXPECT_DOUBLE_EQ(r.runShare, 0.4);
  EXPECT_DOUBLE_EQ(r.pairFill, 0.95);
}

TEST(PrepareRun, GroupWithoutFittingPartIsTrimmedAway) {
  auto st = MakeProblem({{3000, 2}}, {{6000, 3}, {2000, 2}});
  DriverTables& d = st->driver;
  d.workPartQty[1] = 2;
  d.workStockQty[1] = 3;
  d.workStockQty[2] = 2;
  ASSERT_TRUE(PrepareRun(*st, 3));
  const RunTables& r = st->run;
  EXPECT_EQ(r.initialStockCount, 1);
  EXPECT_EQ(r.trimmedStockGroups, 1);
  EXPECT_EQ(r.emptyStockGroups, 0);
  const int16_t order[] = {0, 1, 2, 3, 4, 5};
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(r.initialStockOrder[i], order[i]);
  EXPECT_EQ(r.barsByGroup[1], 1);
  EXPECT_EQ(r.barsByGroup[2], 0);
  EXPECT_EQ(r.stockGroupQty[2], 0);
  EXPECT_EQ(r.mixType, 2);    // 6000 of parts in one group on bars of 6000
  EXPECT_EQ(r.passLimit, 0);  // both pieces together fit the shortest kept bar
}

TEST(PrepareRun, BarsByGroupListsShortestGroupFirst) {
  auto st = MakeProblem({{1000, 4}, {900, 4}, {800, 4}}, {{3000, 2}, {2500, 2}});
  DriverTables& d = st->driver;
  for (int g = 1; g <= 3; ++g) d.workPartQty[g] = 4;
  d.workStockQty[1] = 2;
  d.workStockQty[2] = 2;
  ASSERT_TRUE(PrepareRun(*st, 2));
  const RunTables& r = st->run;
  ASSERT_EQ(r.initialStockCount, 4);
  const int16_t byGroup[] = {0, 3, 4, 1, 2};
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(r.barsByGroup[i], byGroup[i]);
  EXPECT_EQ(r.distinctPieceOrders, 34650 + 1);  // 11550 was below 25555, so updated once more
  EXPECT_EQ(r.distinctStockOrders, 6 + 1);
  EXPECT_EQ(r.mixType, 2);  // 3600 per group against a mean bar of 2750
  EXPECT_TRUE(r.pairCombos);
  EXPECT_TRUE(r.tripleCombos);
  EXPECT_DOUBLE_EQ(r.runShare, 0.2);
  EXPECT_DOUBLE_EQ(r.pairFill, 0.6);
}

TEST(PrepareRun, CombinationSwitchesFollowLimitsAndMix) {
  struct Case {
    int32_t diffPieces, maxPieces;
    bool pair, triple;
  };
  const Case cases[] = {{0, 0, true, true},
                        {1, 0, false, false},
                        {0, 1, false, false},
                        {2, 0, true, false},
                        {0, 2, true, false}};
  for (const Case& c : cases) {
    auto st = MakeProblem({{1000, 4}, {900, 4}, {800, 4}}, {{3000, 4}});
    st->settings.maxDifferentPieces = c.diffPieces;
    st->settings.maxPiecesPerLayout = c.maxPieces;
    for (int g = 1; g <= 3; ++g) st->driver.workPartQty[g] = 4;
    st->driver.workStockQty[1] = 4;
    ASSERT_TRUE(PrepareRun(*st, 0));
    EXPECT_EQ(st->run.pairCombos, c.pair) << c.diffPieces << "/" << c.maxPieces;
    EXPECT_EQ(st->run.tripleCombos, c.triple) << c.diffPieces << "/" << c.maxPieces;
  }
  // Many small groups against long bars: mixType 1 turns pairs off.
  auto st = MakeProblem({{100, 1}, {90, 1}, {80, 1}}, {{3000, 4}});
  for (int g = 1; g <= 3; ++g) st->driver.workPartQty[g] = 1;
  st->driver.workStockQty[1] = 4;
  ASSERT_TRUE(PrepareRun(*st, 0));
  EXPECT_EQ(st->run.mixType, 1);
  EXPECT_FALSE(st->run.pairCombos);
  EXPECT_TRUE(st->run.tripleCombos);
}

TEST(PrepareRun, ReferenceCostRateIgnoresSmallRest) {
  // The cheap group covers all but 3250 of 8000, under 30 % of the dear one.
  auto st = MakeProblem({{4000, 2}}, {{6000, 2, 600}, {5000, 1, 400}});
  st->settings.effectiveCostMode = true;
  st->driver.workPartQty[1] = 2;
  st->driver.workStockQty[1] = 2;
  st->driver.workStockQty[2] = 1;
  ASSERT_TRUE(PrepareRun(*st, 1));
  EXPECT_DOUBLE_EQ(st->run.refCostRate, 0.08);
  EXPECT_DOUBLE_EQ(st->run.minCostRate, 0.08);

  // With 12000 of demand the rest is 7250, more than 30 % of 12000.
  auto dear = MakeProblem({{4000, 3}}, {{6000, 2, 600}, {5000, 1, 400}});
  dear->settings.effectiveCostMode = true;
  dear->driver.workPartQty[1] = 3;
  dear->driver.workStockQty[1] = 2;
  dear->driver.workStockQty[2] = 1;
  ASSERT_TRUE(PrepareRun(*dear, 1));
  EXPECT_DOUBLE_EQ(dear->run.refCostRate, 0.1);

  dear->settings.effectiveCostMode = false;
  ASSERT_TRUE(PrepareRun(*dear, 1));
  EXPECT_EQ(dear->run.refCostRate, 0.0);
}

TEST(PrepareRun, NothingToPlanAndPreparationErrors) {
  auto st = MakeProblem({{1000, 2}}, {{3000, 2}});
  st->driver.workPartQty[1] = 0;
  st->driver.workStockQty[1] = 2;
  EXPECT_FALSE(PrepareRun(*st, 0));
  EXPECT_EQ(st->error.number, 0);

  st->driver.workPartQty[1] = -1;
  EXPECT_FALSE(PrepareRun(*st, 0));
  EXPECT_EQ(st->error.number, 211);

  auto many = MakeProblem({{1000, 2}}, {{3000, 2}});
  many->driver.workPartQty[1] = 101;
  many->driver.workStockQty[1] = 2;
  EXPECT_FALSE(PrepareRun(*many, 0));
  EXPECT_EQ(many->error.number, 212);

  auto stock = MakeProblem({{1000, 2}}, {{3000, 2}});
  stock->driver.workPartQty[1] = 2;
  stock->driver.workStockQty[1] = -2;
  EXPECT_FALSE(PrepareRun(*stock, 0));
  EXPECT_EQ(stock->error.number, 214);
}

RunRecord Plan(double criterion, int32_t parts, int32_t bars, int32_t length, int32_t waste,
               int32_t cost, int32_t layouts, int32_t cuts) {
  RunRecord r;
  r.criterion = criterion;
  r.parts = parts;
  r.bars = bars;
  r.length = length;
  r.waste = waste;
  r.cost = cost;
  r.layouts = layouts;
  r.layoutCuts = cuts;
  return r;
}

TEST(BestTen, TotalsCombineBundleTimesMultiplicityAndRemainder) {
  auto st = MakeProblem({{1000, 10}}, {{3000, 10}});
  st->driver.bestOfRun = Plan(0.9, 3, 1, 3000, 0, 50, 1, 3);
  st->run.current = Plan(0.876543, 2, 2, 6000, 4000, 100, 3, 5);
  st->run.current.lastStock = 4;
  st->run.current.lastParts = 2;
  EXPECT_FALSE(UpdateBestTen(*st, 2));
  const BestTenEntry& e = st->driver.bestTen[1];
  EXPECT_EQ(st->driver.bestTenCount, 1);
  EXPECT_EQ(e.parts, 3 * 2 + 2 + 2);
  EXPECT_EQ(e.stocks, 1 * 2 + 2 + 1);
  EXPECT_EQ(e.cost, 200);
  EXPECT_EQ(e.utilization, 66667);  // (12000 - 4000) / 12000
  EXPECT_EQ(e.criterion, 87654);
  EXPECT_EQ(e.layouts, 3);
  EXPECT_EQ(e.layoutCuts, 5);
}

TEST(BestTen, DuplicatesAndWeakPlansStayOutAndTargetNeedsEntry) {
  auto st = MakeProblem({{1000, 10}}, {{3000, 10}});
  st->run.current = Plan(0.5, 6, 2, 6000, 0, 0, 1, 3);
  EXPECT_FALSE(UpdateBestTen(*st, 1));
  EXPECT_EQ(st->driver.bestTenCount, 1);
  st->run.current.criterion = 0.7;  // same figures: a duplicate
  EXPECT_FALSE(UpdateBestTen(*st, 1));
  EXPECT_EQ(st->driver.bestTenCount, 1);

  // Fill the list with criteria 0.51 .. 0.59.
  for (int i = 1; i <= 9; ++i) {
    st->run.current = Plan(0.5 + i / 100.0, 6, 2, 6000, 0, i, 1, 3);
    UpdateBestTen(*st, 1);
  }
  EXPECT_EQ(st->driver.bestTenCount, 10);
  st->run.current = Plan(0.5, 6, 2, 6000, 0, 77, 1, 3);  // not above the smallest
  EXPECT_FALSE(UpdateBestTen(*st, 1));

  st->target = TargetSolution{100000, 2, 6, 78, 1, 3};
  st->run.current = Plan(0.505, 6, 2, 6000, 0, 78, 1, 3);
  EXPECT_TRUE(UpdateBestTen(*st, 1));  // replaces the 0.5 slot and equals the target
  st->run.current.criterion = 0.9;     // a duplicate never reaches the target again
  EXPECT_FALSE(UpdateBestTen(*st, 1));
}

TEST(BestTen, ZeroPlanNeverEntersAnEmptyList) {
  auto st = MakeProblem({{1000, 10}}, {{3000, 10}});
  st->run.current = RunRecord{};
  EXPECT_FALSE(UpdateBestTen(*st, 1));
  EXPECT_EQ(st->driver.bestTenCount, 0);
}

TEST(LayoutOrderByWaste, MostWasteGetsHighestNumberPerStockGroup) {
  // Group 1: bars 1..4 of 1000; group 2: bars 5..6 of 800.
  auto st = MakeProblem({{300, 2}, {200, 4}}, {{1000, 4}, {800, 2}});
  st->settings.kerf = 10;
  DriverTables& d = st->driver;
  // Wastes (length - parts - kerf each): bar 1: 1000-310-210 = 480,
  // bar 2: 1000-210 = 790, bar 3: 1000-310 = 690, bar 4 unused; bars 5
  // and 6: 800-210 = 590 each, equal waste: the later bar wins.
  const int16_t bars[] = {0, 1, 3, 1, 2, 5, 6};
  for (int p = 1; p <= 6; ++p) d.resultStockOfPiece[p] = bars[p];
  const int32_t layouts[] = {0, 1, 2, 3, 0, 5, 4};
  for (int s = 1; s <= 6; ++s) d.resultBarLayout[s] = layouts[s];
  OrderLayoutsByWaste(*st);
  const int32_t expected[] = {0, 1, 3, 2, 0, 4, 5};
  for (int s = 1; s <= 6; ++s) EXPECT_EQ(d.resultBarLayout[s], expected[s]) << "bar " << s;
}

TEST(Consistency, EveryNonZeroCounterIsRaisedInOrder) {
  auto st = MakeProblem({{1000, 1}}, {{3000, 1}});
  st->run.check[34] = 1;
  st->run.check[7] = 2;
  RaiseConsistencyErrors(*st);
  EXPECT_EQ(st->error.number, 107);

  auto off = MakeProblem({{1000, 1}}, {{3000, 1}});
  off->tuning.consistencyChecks = false;
  off->run.check[7] = 1;
  RaiseConsistencyErrors(*off);
  EXPECT_EQ(off->error.number, 0);
}

}  // namespace
}  // namespace solver
