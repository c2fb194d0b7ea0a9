// The planner's plan built from who cuts what: layouts, bar figures and
// totals, worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "planner_plan.h"

namespace solver::planner {
namespace {

// Bars 0..2 of 1000 (cost 10), bars 3..5 of 600 (cost 6); pieces 0..2 of
// 300 (group 0), 3..7 of 200 (group 1), 8..9 of 300 (group 2, another
// mark).
const TarvolinPlannerStockGroup kStock[] = {{1000, 10, 3}, {600, 6, 3}};
const TarvolinPlannerPartGroup kParts[] = {{300, 1, 3}, {200, 2, 5}, {300, 3, 2}};
const TarvolinPlannerProblem kProblem{kStock, 2, kParts, 3};

// Bar 0: three of group 0. Bar 1, the last stock: one of group 1, two of
// group 2. Bars 3 and 4: two of group 1 each. Bars 2 and 5 unused.
Assignment Cuts() {
  Assignment a = EmptyAssignment(kProblem);
  const int32_t barOf[] = {0, 0, 0, 1, 3, 3, 4, 4, 1, 1};
  for (int i = 0; i < 10; ++i) a.pieces[i].bar = barOf[i];
  a.lastBar = 1;
  return a;
}

TEST(PlannerLayouts, LayoutsBarsAndTotals) {
  PlanStore store;
  TarvolinPlannerPlan plan{};
  BuildPlan(kProblem, PlanRules{10, false, false}, Cuts(), store, plan);

  ASSERT_EQ(plan.layoutCount, 3);
  const TarvolinPlannerLayout& l0 = plan.layouts[0];
  EXPECT_EQ(l0.stockGroup, 0);
  EXPECT_EQ(l0.barCount, 1);
  EXPECT_EQ(l0.lastStock, 0);
  EXPECT_EQ(l0.pieceCount, 3);
  ASSERT_EQ(l0.partCount, 1);
  EXPECT_EQ(l0.parts[0].partGroup, 0);
  EXPECT_EQ(l0.parts[0].count, 3);
  EXPECT_EQ(l0.waste, 100);     // 1000 - 900
  EXPECT_EQ(l0.remainder, 70);  // 1000 - 3 x 310

  const TarvolinPlannerLayout& l1 = plan.layouts[1];
  EXPECT_EQ(l1.lastStock, 1);
  EXPECT_EQ(l1.barCount, 1);
  ASSERT_EQ(l1.partCount, 2);
  EXPECT_EQ(l1.parts[0].partGroup, 1);
  EXPECT_EQ(l1.parts[0].count, 1);
  EXPECT_EQ(l1.parts[1].partGroup, 2);
  EXPECT_EQ(l1.parts[1].count, 2);
  EXPECT_EQ(l1.remainder, 170);  // 1000 - 210 - 2 x 310

  const TarvolinPlannerLayout& l2 = plan.layouts[2];
  EXPECT_EQ(l2.stockGroup, 1);
  EXPECT_EQ(l2.barCount, 2);
  EXPECT_EQ(l2.waste, 200);

  const int32_t layoutOf[] = {0, 1, -1, 2, 2, -1};
  const int32_t piecesOf[] = {3, 3, 0, 2, 2, 0};
  const int32_t wasteOf[] = {100, 200, 0, 200, 200, 0};
  ASSERT_EQ(plan.barCount, 6);
  for (int b = 0; b < 6; ++b) {
    EXPECT_EQ(plan.bars[b].layout, layoutOf[b]) << b;
    EXPECT_EQ(plan.bars[b].pieceCount, piecesOf[b]) << b;
    EXPECT_EQ(plan.bars[b].waste, wasteOf[b]) << b;
  }

  EXPECT_EQ(plan.barsUsed, 4);
  EXPECT_EQ(plan.piecesCut, 10);
  EXPECT_EQ(plan.piecesUncut, 0);
  EXPECT_EQ(plan.stockLength, 3200);
  EXPECT_EQ(plan.stockCost, 32);
  EXPECT_EQ(plan.lengthCut, 2500);
  EXPECT_EQ(plan.waste, 700);
  EXPECT_EQ(plan.lastStockBar, 1);
  EXPECT_EQ(plan.lastRemainder, 170);
  EXPECT_DOUBLE_EQ(plan.objective, 3200 - 170);
  // Without the last stock: (2200 - 500) / 2200.
  EXPECT_EQ(plan.utilization, 77273);
  EXPECT_EQ(plan.differentLayouts, 3);
  EXPECT_EQ(plan.layoutCuts, 8);
}

TEST(PlannerLayouts, CostObjectiveTakesTheRemaindersWorth) {
  PlanStore store;
  TarvolinPlannerPlan plan{};
  BuildPlan(kProblem, PlanRules{10, true, false}, Cuts(), store, plan);
  // 32 minus 170 of the last bar's 1000 at 10 per bar.
  EXPECT_DOUBLE_EQ(plan.objective, 32 - 1.7);

  // Bars of cost 0 only: the objective is the length again.
  const TarvolinPlannerStockGroup free[] = {{1000, 0, 3}, {600, 0, 3}};
  const TarvolinPlannerProblem p{free, 2, kParts, 3};
  BuildPlan(p, PlanRules{10, true, false}, Cuts(), store, plan);
  EXPECT_DOUBLE_EQ(plan.objective, 3200 - 170);
}

// Groups of equal length with different marks: layouts by group, the
// report's count by length unless layouts go by mark.
TEST(PlannerLayouts, ReportCountsLayoutsByLengthOrMark) {
  const TarvolinPlannerStockGroup stock[] = {{700, 0, 3}};
  const TarvolinPlannerPartGroup parts[] = {{300, 1, 2}, {300, 2, 2}, {495, 0, 1}};
  const TarvolinPlannerProblem p{stock, 1, parts, 3};
  const auto cuts = [&] {
    Assignment a = EmptyAssignment(p);
    const int32_t barOf[] = {0, 0, 1, 1, 2};
    for (int i = 0; i < 5; ++i) a.pieces[i].bar = barOf[i];
    return a;
  };
  PlanStore store;
  TarvolinPlannerPlan plan{};
  BuildPlan(p, PlanRules{10, false, false}, cuts(), store, plan);
  EXPECT_EQ(plan.layoutCount, 3);
  EXPECT_EQ(plan.differentLayouts, 2);
  EXPECT_EQ(plan.layoutCuts, 3);
  EXPECT_EQ(plan.layouts[2].remainder, 195);  // 700 - 505
  BuildPlan(p, PlanRules{10, false, true}, cuts(), store, plan);
  EXPECT_EQ(plan.differentLayouts, 3);
  EXPECT_EQ(plan.layoutCuts, 5);
}

TEST(PlannerLayouts, RemainderIsNeverBelowZero) {
  const TarvolinPlannerStockGroup stock[] = {{1000, 0, 1}};
  const TarvolinPlannerPartGroup parts[] = {{495, 0, 2}};
  const TarvolinPlannerProblem p{stock, 1, parts, 1};
  Assignment a = EmptyAssignment(p);
  a.pieces[0].bar = a.pieces[1].bar = 0;
  PlanStore store;
  TarvolinPlannerPlan plan{};
  BuildPlan(p, PlanRules{10, false, false}, std::move(a), store, plan);
  EXPECT_EQ(plan.layouts[0].waste, 10);
  EXPECT_EQ(plan.layouts[0].remainder, 0);  // 1000 - 2 x 505 < 0
}

}  // namespace
}  // namespace solver::planner
