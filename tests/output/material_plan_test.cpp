#include "material_plan.h"

#include <gtest/gtest.h>

#include "plan_fixtures.h"

namespace tarvolin::plan {
namespace {

using testing_support::SteelInput;

std::vector<int32_t> LengthsOf(const PlanLayout& layout) {
  std::vector<int32_t> out;
  for (const PlanPiece& p : layout.pieces) out.push_back(p.length);
  return out;
}

std::vector<std::optional<int>> BarsOfPieces(const MaterialPlan& plan) {
  std::vector<std::optional<int>> out;
  for (const OrderedPiece& p : plan.pieces) out.push_back(p.bar);
  return out;
}

TEST(MaterialPlan, FiguresIncludeTheLastStock) {
  const MaterialPlan plan = BuildMaterialPlan(SteelInput());
  const PlanFigures& f = plan.figures;
  EXPECT_EQ(f.pieces, 9);
  EXPECT_EQ(f.piecesLeft, 1);
  EXPECT_EQ(f.barsUsed, 3);
  EXPECT_EQ(f.stockLengthUsed, 1600000);  // 6000 + 6000 + 4000
  EXPECT_EQ(f.waste, 199900);             // 200 + 200 + 1599
  EXPECT_EQ(f.cost, 12100);               // 45.50 + 45.50 + 30.00
  EXPECT_EQ(f.utilRate, 87506);           // 14001 / 16000 = 87.50625 %
  EXPECT_EQ(f.differentLayouts, 2);
  EXPECT_EQ(f.layoutCuts, 5);  // 3 pieces of layout 1, 2 of the last stock
  EXPECT_TRUE(plan.Solved());
}

TEST(MaterialPlan, LayoutsFollowTheReportRows) {
  const MaterialPlan plan = BuildMaterialPlan(SteelInput());
  ASSERT_EQ(plan.layouts.size(), 2u);

  const PlanLayout& first = plan.layouts[0];
  EXPECT_EQ(first.number, 1);
  EXPECT_FALSE(first.lastStock);
  EXPECT_EQ(first.barCount, 2);
  EXPECT_EQ(first.stockLength, 600000);
  EXPECT_EQ(first.stockCost, 4550);
  EXPECT_EQ(first.waste, 20000);
  EXPECT_EQ(LengthsOf(first), (std::vector<int32_t>{250000, 250000, 80000}));
  EXPECT_EQ(first.pieces[0].mark, "A1");
  EXPECT_EQ(first.pieces[2].orderLine, 5);
  EXPECT_EQ(first.remainder, 18500);  // 6000 - 5800 - 3 cuts of 5.00
  EXPECT_FALSE(first.reusable);
  EXPECT_EQ(first.bars, (std::vector<int>{0, 1}));

  const PlanLayout& last = plan.layouts[1];
  EXPECT_EQ(last.number, 2);
  EXPECT_TRUE(last.lastStock);
  EXPECT_EQ(last.barCount, 1);
  EXPECT_EQ(LengthsOf(last), (std::vector<int32_t>{120050, 120050}));
  EXPECT_EQ(last.remainder, 158900);  // 4000 - 2401 - 2 cuts of 5.00
  EXPECT_TRUE(last.reusable);         // at least MinReusable 1000.00
  EXPECT_EQ(last.bars, (std::vector<int>{2}));
}

TEST(MaterialPlan, BarsAreTheUsedBarsAndEveryPieceIsListedOnce) {
  const MaterialPlan plan = BuildMaterialPlan(SteelInput());
  ASSERT_EQ(plan.bars.size(), 3u);
  EXPECT_EQ(plan.bars[2].number, 3);
  EXPECT_EQ(plan.bars[2].stockItem, 4);
  EXPECT_EQ(plan.bars[2].layoutIndex, 1);
  EXPECT_EQ(BarsOfPieces(plan), (std::vector<std::optional<int>>{0, 1, 0, 1, 2, 2, 0, 1, {}}));
  EXPECT_EQ(plan.pieces[8].piece.length, 300000);
  EXPECT_EQ(plan.pieces[8].piece.orderLine, 6);
}

// Small variations of the steel plan, each changing what one rule decides.
TEST(MaterialPlan, EdgeCases) {
  struct Case {
    const char* name;
    void (*change)(MaterialPlanInput&);
    void (*check)(const MaterialPlan&);
  };
  const Case cases[] = {
      {"patterns are listed in ascending order whatever the bar order",
       [](MaterialPlanInput& in) {
         in.barPattern = {2, 2, 0, 1, 0};
       },
       [](const MaterialPlan& p) {
         ASSERT_EQ(p.layouts.size(), 2u);
         EXPECT_EQ(p.layouts[0].number, 1);
         EXPECT_EQ(p.layouts[0].bars, (std::vector<int>{2}));
         EXPECT_EQ(p.bars[0].layoutIndex, 1);
       }},
      {"pieces on missing, unused or impossible bars count as uncut",
       [](MaterialPlanInput& in) { in.pieceBar = {0, 3, 9, -1, 4, 4, 1, 2, 0}; },
       [](const MaterialPlan& p) {
         EXPECT_EQ(BarsOfPieces(p),
                   (std::vector<std::optional<int>>{{}, {}, {}, {}, 2, 2, 0, 1, {}}));
         EXPECT_EQ(p.figures.piecesLeft, 5);
         EXPECT_EQ(p.figures.layoutCuts, 3);  // 800 on bar 1, two of 1200.50 on bar 4
       }},
      {"unknown groups give zero lengths, never a crash",
       [](MaterialPlanInput& in) {
         in.barGroup[0] = 7;
         in.pieceGroup[0] = 0;
       },
       [](const MaterialPlan& p) {
         EXPECT_EQ(p.bars[0].stockLength, 0);
         EXPECT_EQ(p.pieces[0].piece.length, 0);
         EXPECT_EQ(p.figures.stockLengthUsed, 1000000);
       }},
      {"a bar filled to its end has no remainder",
       [](MaterialPlanInput& in) { in.stockGroups[1].length = 241000; },
       [](const MaterialPlan& p) {
         EXPECT_EQ(p.layouts[1].remainder, 0);  // 2410 - 2401 - 10 is below 0
         EXPECT_FALSE(p.layouts[1].reusable);
       }},
      {"MinReusable 0 keeps no offcut", [](MaterialPlanInput& in) { in.minReusable = 0; },
       [](const MaterialPlan& p) { EXPECT_FALSE(p.layouts[1].reusable); }},
      // The last stock's remainder is 4000 - 2401 - 2 cuts of 5.00 = 1589.00.
      {"a remainder exactly MinReusable long is kept",
       [](MaterialPlanInput& in) { in.minReusable = 158900; },
       [](const MaterialPlan& p) { EXPECT_TRUE(p.layouts[1].reusable); }},
      {"a remainder one unit short of MinReusable is waste",
       [](MaterialPlanInput& in) { in.minReusable = 158901; },
       [](const MaterialPlan& p) { EXPECT_FALSE(p.layouts[1].reusable); }},
      {"equal lengths keep item order within a bar",
       [](MaterialPlanInput& in) {
         in.partGroups = {{50000, "P", 1, 2}, {70000, "Q", 1, 3}, {50000, "R", 1, 4}};
         in.pieceGroup = {3, 2, 1};
         in.pieceBar = {1, 1, 1};
         in.barLayout = {1, 0, 0, 0, 0};
         in.barPattern = {1, 0, 0, 0, 0};
       },
       [](const MaterialPlan& p) {
         ASSERT_EQ(p.layouts.size(), 1u);
         const auto& pieces = p.layouts[0].pieces;
         ASSERT_EQ(pieces.size(), 3u);
         EXPECT_EQ(pieces[0].mark, "Q");
         EXPECT_EQ(pieces[1].mark, "R");  // item 1
         EXPECT_EQ(pieces[2].mark, "P");  // item 3
       }},
      {"nothing used gives zero figures and no layouts",
       [](MaterialPlanInput& in) {
         in.barLayout.assign(5, 0);
         in.pieceBar.assign(9, 0);
       },
       [](const MaterialPlan& p) {
         EXPECT_TRUE(p.layouts.empty());
         EXPECT_EQ(p.figures.utilRate, 0);
         EXPECT_EQ(p.figures.piecesLeft, 9);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaterialPlanInput in = SteelInput();
    c.change(in);
    c.check(BuildMaterialPlan(in));
  }
}

TEST(MaterialPlan, FailedPlanListsEveryOrderedPieceUncut) {
  const std::vector<PlanPartGroup> groups = {{100, "A", 2, 2}, {200, "", 0, 3}, {300, "C", 1, 4}};
  const MaterialPlan plan = FailedMaterialPlan(
      "ALU", "heuristic", groups, {PlanError::Kind::kSolver, 21, "No parts fit in any stock"});
  EXPECT_FALSE(plan.Solved());
  ASSERT_EQ(plan.pieces.size(), 3u);
  EXPECT_EQ(plan.pieces[2].piece.mark, "C");
  for (const OrderedPiece& p : plan.pieces) EXPECT_FALSE(p.bar.has_value());
  EXPECT_EQ(plan.figures.piecesLeft, 3);
  EXPECT_TRUE(plan.layouts.empty());
}

TEST(MaterialPlan, ScaledText) {
  struct Case {
    int64_t units;
    int32_t scale;
    int decimals;
    char separator;
    const char* text;
  };
  const Case cases[] = {
      {125050, 100, 2, '.', "1250.50"}, {125050, 100, 2, ',', "1250,50"},
      {-5, 100, 2, '.', "-0.05"},       {5, 1000, 2, '.', "0.01"},  // halves away from zero
      {-4, 1000, 2, '.', "0.00"},       {600000, 100, 0, '.', "6000"},
      {87506, 1000, 2, '.', "87.51"},   {3000000000LL, 100, 2, '.', "30000000.00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScaledText(c.units, c.scale, c.decimals, c.separator), c.text) << c.units;
}

}  // namespace
}  // namespace tarvolin::plan
