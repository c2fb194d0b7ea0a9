#include "pattern_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvolin {
namespace {

// Two stock groups (3 bars of 6000, 2 of 4000) and two part groups (4
// pieces of 2500, 3 of 1000).
MaterialPlan Groups() {
  MaterialPlan plan;
  plan.stockGroupCount = 2;
  plan.stockGroups[1].length = 6000;
  plan.stockGroups[1].cost = 30;
  plan.stockGroups[1].quantity = 3;
  plan.stockGroups[2].length = 4000;
  plan.stockGroups[2].cost = 20;
  plan.stockGroups[2].quantity = 2;
  plan.partGroupCount = 2;
  plan.partGroups[1].length = 2500;
  plan.partGroups[1].quantity = 4;
  plan.partGroups[2].length = 1000;
  plan.partGroups[2].quantity = 3;
  return plan;
}

template <typename T>
std::vector<int> Items(const std::vector<T>& table, int count) {
  return std::vector<int>(table.begin() + 1, table.begin() + 1 + count);
}

TEST(PatternPlanTest, BarsAndPiecesAreDealtInGroupOrder) {
  const MaterialPlan plan = Groups();
  SolverResults r;
  // Given with the 4000 pattern first and the last stock in the middle.
  ASSERT_TRUE(FillResultsFromPatterns(
      plan,
      {{2, {1, 0}, 1, false}, {1, {0, 2}, 1, true}, {1, {2, 1}, 1, false}, {1, {1, 0}, 1, false}},
      r));
  ASSERT_EQ(r.stockItemCount, 5);
  ASSERT_EQ(r.partItemCount, 7);
  // Group 1: its two patterns in their order (bars 1, 2), then its last
  // stock (bar 3); group 2's pattern on bar 4; bar 5 unused.
  EXPECT_EQ(Items(r.stockItemGroup, 5), (std::vector<int>{1, 1, 1, 2, 2}));
  EXPECT_EQ(Items(r.stockItemPattern, 5), (std::vector<int>{1, 2, 3, 4, 0}));
  EXPECT_EQ(Items(r.stockItemLayout, 5), (std::vector<int>{1, 2, 3, 4, 0}));
  EXPECT_EQ(Items(r.stockItemParts, 5), (std::vector<int>{3, 1, 2, 1, 0}));
  EXPECT_EQ(Items(r.stockItemWaste, 5), (std::vector<int>{0, 3500, 4000, 1500, 0}));
  // Pieces of a group on ascending bars; none is left.
  EXPECT_EQ(Items(r.partItemGroup, 7), (std::vector<int>{1, 1, 1, 1, 2, 2, 2}));
  EXPECT_EQ(Items(r.partItemStock, 7), (std::vector<int>{1, 1, 2, 4, 1, 3, 3}));
  EXPECT_EQ(r.lastStock, 3);
  EXPECT_EQ(r.lastParts, 2);
  EXPECT_EQ(r.lastLengthUsed, 6000);
  EXPECT_EQ(r.lastWaste, 4000);
  EXPECT_EQ(r.lastCost, 30);
  // The totals leave the last stock out.
  EXPECT_EQ(r.stockUsed, 3);
  EXPECT_EQ(r.partsCut, 5);
  EXPECT_EQ(r.lengthUsed, 16000);
  EXPECT_EQ(r.wasteSum, 5000);
  EXPECT_EQ(r.costUsed, 80);
  EXPECT_EQ(r.layoutCuts, 3 + 1 + 1);
  EXPECT_EQ(r.patternCount, 4);
  EXPECT_EQ(r.layoutCount, 4);
  EXPECT_EQ(r.utilization, 68750);
}

TEST(PatternPlanTest, BarsOfOnePatternFollowEachOtherAndUncutPiecesComeLast) {
  const MaterialPlan plan = Groups();
  SolverResults r;
  ASSERT_TRUE(FillResultsFromPatterns(plan, {{1, {1, 1}, 2, false}, {2, {0, 0}, 0, false}}, r));
  EXPECT_EQ(Items(r.stockItemPattern, 5), (std::vector<int>{1, 1, 0, 0, 0}));
  EXPECT_EQ(Items(r.partItemStock, 7), (std::vector<int>{1, 2, 0, 0, 1, 2, 0}));
  EXPECT_EQ(r.stockUsed, 2);
  EXPECT_EQ(r.partsCut, 4);
  EXPECT_EQ(r.layoutCuts, 2);
  EXPECT_EQ(r.patternCount, 1);
}

TEST(PatternPlanTest, PatternsThatDoNotFitTheGroupsAreRefused) {
  const struct {
    const char* what;
    std::vector<CutPattern> patterns;
  } cases[] = {
      {"more bars than the group holds", {{2, {1, 0}, 3, false}}},
      {"more pieces than ordered", {{1, {2, 0}, 3, false}}},
      {"a stock group out of range", {{3, {1, 0}, 1, false}}},
      {"stock group 0", {{0, {1, 0}, 1, false}}},
      {"counts of another material", {{1, {1}, 1, false}}},
      {"a negative count", {{1, {2, -1}, 1, false}}},
      {"a last stock of two bars", {{1, {1, 0}, 2, true}}},
      {"two last stocks", {{1, {1, 0}, 1, true}, {2, {1, 0}, 1, true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SolverResults r;
    r.stockUsed = 9;
    EXPECT_FALSE(FillResultsFromPatterns(Groups(), c.patterns, r));
    EXPECT_EQ(r.stockUsed, 0);
    EXPECT_EQ(r.stockItemCount, 0);
  }
}

TEST(PatternPlanTest, TablesGrowBeyondTheSearchsRange) {
  MaterialPlan plan;
  plan.stockGroupCount = 1;
  plan.stockGroups[1].length = 1000;
  plan.stockGroups[1].quantity = 400;
  plan.partGroupCount = 1;
  plan.partGroups[1].length = 300;
  plan.partGroups[1].quantity = 1000;
  SolverResults r;
  ASSERT_TRUE(FillResultsFromPatterns(plan, {{1, {3}, 333, false}, {1, {1}, 1, false}}, r));
  EXPECT_EQ(BarCount(r), 400);
  EXPECT_EQ(PieceCount(r), 1000);
  EXPECT_EQ(r.partItemStock[999], 333);
  EXPECT_EQ(r.partItemStock[1000], 334);
  EXPECT_EQ(r.stockItemPattern[334], 2);
  EXPECT_EQ(r.stockItemPattern[335], 0);
  EXPECT_EQ(r.stockUsed, 334);
  EXPECT_EQ(r.partsCut, 1000);
}

}  // namespace
}  // namespace tarvolin
