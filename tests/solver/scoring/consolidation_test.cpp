#include "consolidation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace solver {
namespace {

// A plan over its own tables: bars with stock groups, pieces with part
// groups (and marks) and their bars.
struct PlanFixture {
  int16_t pieceGroup[kItemSlots] = {};
  int32_t pieceMark[kItemSlots] = {};
  int16_t stockOfPiece[kItemSlots] = {};
  int16_t barGroup[kItemSlots] = {};
  int32_t barLayout[kItemSlots] = {};
  LayoutSignature barSignature[kItemSlots] = {};
  int32_t partGroupLength[kPartGroupSlots] = {0, 500, 300, 200};
  int32_t stockGroupLength[kStockGroupSlots] = {0, 1000, 800};
  int32_t stockGroupCost[kStockGroupSlots] = {0, 50, 30};
  int32_t groupCode[kPartGroupSlots] = {0, 250000000, 400000000, 600000000};
  LayoutPlan plan;

  // bars: stock group per bar; pieces: {part group, bar} per piece.
  PlanFixture(const std::vector<int>& bars, const std::vector<std::pair<int, int>>& pieces) {
    for (size_t b = 0; b < bars.size(); ++b) barGroup[b + 1] = static_cast<int16_t>(bars[b]);
    for (size_t i = 0; i < pieces.size(); ++i) {
      pieceGroup[i + 1] = static_cast<int16_t>(pieces[i].first);
      stockOfPiece[i + 1] = static_cast<int16_t>(pieces[i].second);
    }
    plan.pieceCount = static_cast<int32_t>(pieces.size());
    plan.pieceGroup = pieceGroup;
    plan.pieceMark = pieceMark;
    plan.stockOfPiece = stockOfPiece;
    plan.barCount = static_cast<int32_t>(bars.size());
    plan.barGroup = barGroup;
    plan.barLayout = barLayout;
    plan.barSignature = barSignature;
    plan.partGroupLength = partGroupLength;
    plan.stockGroupLength = stockGroupLength;
    plan.stockGroupCost = stockGroupCost;
    plan.groupCode = groupCode;
    plan.codeItems = 10;
  }

  std::vector<int> Layouts() const {
    return std::vector<int>(barLayout + 1, barLayout + 1 + plan.barCount);
  }
  std::vector<int> Bars() const {
    return std::vector<int>(stockOfPiece + 1, stockOfPiece + 1 + plan.pieceCount);
  }
};

struct NumberingCase {
  const char* name;
  std::vector<int> bars;
  std::vector<std::pair<int, int>> pieces;
  int lastBar;
  std::vector<int> layouts;
  int layoutCount;
  int layoutCuts;
};

TEST(NumberLayouts, NumbersAndCuts) {
  const NumberingCase cases[] = {
      {"same pieces, same group share a number",
       {1, 1, 1},
       {{1, 1}, {2, 1}, {1, 2}, {2, 2}, {1, 3}},
       0,
       {1, 1, 2},
       2,
       3},
      {"same pieces on different groups differ",
       {1, 2},
       {{1, 1}, {3, 1}, {1, 2}, {3, 2}},
       0,
       {1, 2},
       2,
       4},
      {"piece order on the bar does not matter",
       {1, 1},
       {{2, 1}, {3, 2}, {3, 1}, {2, 2}},
       0,
       {1, 1},
       1,
       2},
      {"unused bars keep 0", {1, 1, 2, 2}, {{1, 2}, {3, 4}}, 0, {0, 1, 0, 2}, 2, 2},
      {"last bar has its own number, its pieces not in the cuts",
       {1, 1, 1},
       {{1, 1}, {1, 2}, {1, 3}},
       2,
       {1, 2, 1},
       2,
       1},
      {"last bar first in order", {1, 1}, {{1, 1}, {2, 1}, {1, 2}, {2, 2}}, 1, {1, 2}, 2, 2},
      {"nothing cut", {1, 2}, {{1, 0}}, 0, {0, 0}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PlanFixture f(c.bars, c.pieces);
    f.plan.lastBar = c.lastBar;
    NumberLayouts(f.plan, true, false);
    EXPECT_EQ(f.Layouts(), c.layouts);
    EXPECT_EQ(f.plan.layoutCount, c.layoutCount);
    EXPECT_EQ(f.plan.layoutCuts, c.layoutCuts);
    int32_t counters[51] = {};
    CheckLayouts(f.plan, counters);
    for (int k = 11; k <= 16; ++k) EXPECT_EQ(counters[k], 0) << "counter " << k;
  }
}

TEST(NumberLayouts, MarksToldApartOnlyWhenAsked) {
  PlanFixture f({1, 1}, {{1, 1}, {1, 2}});
  f.pieceMark[1] = 700000000;
  f.pieceMark[2] = 900000000;
  NumberLayouts(f.plan, false, false);
  EXPECT_EQ(f.Layouts(), (std::vector<int>{1, 1}));
  NumberLayouts(f.plan, false, true);
  EXPECT_EQ(f.Layouts(), (std::vector<int>{1, 2}));
  EXPECT_EQ(f.plan.layoutCount, 2);
}

TEST(NumberLayouts, SignatureSums) {
  PlanFixture f({1}, {{1, 1}, {2, 1}});
  f.pieceMark[1] = 5;
  f.pieceMark[2] = -7;  // a negative mark contributes no root
  const LayoutSignature s = BarSignature(f.plan, 1, true);
  // round(sqrt(code / 10 * 2e9)): sqrt(5e16) = 223606797.75, sqrt(8e16) = 282842712.47.
  EXPECT_EQ(s.codes, 650000000);
  EXPECT_EQ(s.codeRoots, 223606798 + 282842712);
  EXPECT_EQ(s.marks, -2);
  EXPECT_EQ(s.markRoots, 31623);  // round(sqrt(0.5 * 2e9)) = round(31622.78)
  EXPECT_EQ(BarSignature(f.plan, 1, false).marks, 0);
}

TEST(NumberLayouts, FixedPartLayoutsComeFirst) {
  // Fixed part: bar 1 (group 1) layout 1 with a group-1 piece, bar 2 (group 1)
  // layout 2 with a group-2 piece.
  PlanFixture fixedPlan({1, 1}, {{1, 1}, {2, 2}});
  NumberLayouts(fixedPlan.plan, true, false);
  FixedPart fx;
  fx.present = true;
  fx.multiplicity = 3;
  fx.layoutCount = fixedPlan.plan.layoutCount;
  fx.layoutCuts = fixedPlan.plan.layoutCuts;
  fx.barCount = 2;
  for (int b = 1; b <= 2; ++b) {
    fx.barGroup[b] = fixedPlan.barGroup[b];
    fx.barLayout[b] = fixedPlan.barLayout[b];
    fx.barSignature[b] = fixedPlan.barSignature[b];
  }

  // This plan: bar 1 like fixed layout 2, bar 2 new, bar 3 of group 2 with a
  // group-1 piece (different group: new), bar 4 (group 2) same as bar 3.
  PlanFixture f({1, 1, 2, 2}, {{2, 1}, {3, 2}, {1, 3}, {1, 4}});
  f.plan.fixed = &fx;
  NumberLayouts(f.plan, true, false);
  EXPECT_EQ(f.Layouts(), (std::vector<int>{2, 3, 4, 4}));
  EXPECT_EQ(f.plan.layoutCount, 4);
  EXPECT_EQ(f.plan.layoutCuts, 2 + 1 + 1);

  // No new layout and fixed layout 1 unmatched: the count stays the fixed count.
  PlanFixture g({1}, {{2, 1}});
  g.plan.fixed = &fx;
  NumberLayouts(g.plan, true, false);
  EXPECT_EQ(g.Layouts(), (std::vector<int>{2}));
  EXPECT_EQ(g.plan.layoutCount, 2);
  EXPECT_EQ(g.plan.layoutCuts, 2);
  int32_t counters[51] = {};
  CheckLayouts(g.plan, counters);
  EXPECT_EQ(counters[14], 0);

  // The last bar never takes a fixed number.
  PlanFixture h({1}, {{2, 1}});
  h.plan.fixed = &fx;
  h.plan.lastBar = 1;
  NumberLayouts(h.plan, true, false);
  EXPECT_EQ(h.Layouts(), (std::vector<int>{3}));
  EXPECT_EQ(h.plan.layoutCuts, 2);
}

TEST(GroupBarsByLayout, UsedBarsByLayoutThenUnused) {
  // Group 1: bars 1..4 with layouts 2, 1, 0, 2; group 2: bars 5, 6 with 0, 3.
  PlanFixture f({1, 1, 1, 1, 2, 2}, {{1, 1}, {2, 2}, {1, 4}, {3, 6}});
  f.barLayout[1] = 2;
  f.barLayout[2] = 1;
  f.barLayout[4] = 2;
  f.barLayout[6] = 3;
  f.barSignature[4].codes = 44;
  f.plan.lastBar = 6;
  GroupBarsByLayout(f.plan);
  EXPECT_EQ(f.Layouts(), (std::vector<int>{1, 2, 2, 0, 3, 0}));
  // Old bar 2 -> 1, 1 -> 2, 4 -> 3, 3 -> 4, 6 -> 5.
  EXPECT_EQ(f.Bars(), (std::vector<int>{2, 1, 3, 5}));
  EXPECT_EQ(f.plan.lastBar, 5);
  EXPECT_EQ(f.barSignature[3].codes, 44);
}

TEST(TidyPieceBars, RedealsWithinRuns) {
  // Group 1: pieces on bars 5, 0, 2; group 2: 4, 1; group 3: 0, 3.
  PlanFixture f({1, 1, 1, 1, 1}, {{1, 5}, {1, 0}, {1, 2}, {2, 4}, {2, 1}, {3, 0}, {3, 3}});
  TidyPieceBars(f.plan, false);
  EXPECT_EQ(f.Bars(), (std::vector<int>{2, 5, 0, 1, 4, 3, 0}));
}

TEST(TidyPieceBars, MarksSplitRunsOnlyByMark) {
  PlanFixture f({1, 1, 1}, {{1, 3}, {1, 2}, {1, 1}});
  f.pieceMark[1] = 10;
  f.pieceMark[2] = 10;
  f.pieceMark[3] = 20;
  TidyPieceBars(f.plan, true);
  EXPECT_EQ(f.Bars(), (std::vector<int>{2, 3, 1}));
  TidyPieceBars(f.plan, false);
  EXPECT_EQ(f.Bars(), (std::vector<int>{1, 2, 3}));
}

TEST(CheckLayouts, Counters) {
  struct Case {
    const char* name;
    void (*spoil)(PlanFixture&);
    std::vector<int> counters;
  };
  const Case cases[] = {
      {"layout above the count", [](PlanFixture& f) { f.barLayout[2] = 3; }, {11, 14}},
      {"layout beyond the bar count", [](PlanFixture& f) { f.barLayout[4] = 1; }, {12}},
      {"last bar without a layout", [](PlanFixture& f) { f.plan.lastBar = 3; }, {13}},
      {"last bar beyond the bar count", [](PlanFixture& f) { f.plan.lastBar = 9; }, {13}},
      {"layout total differs", [](PlanFixture& f) { f.plan.layoutCount = 3; }, {14}},
      {"piece beyond the bar count", [](PlanFixture& f) { f.stockOfPiece[2] = 4; }, {15}},
      {"piece on a bar without layout", [](PlanFixture& f) { f.stockOfPiece[2] = 3; }, {16}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PlanFixture f({1, 1, 2}, {{1, 1}, {2, 2}});
    NumberLayouts(f.plan, true, false);
    c.spoil(f);
    int32_t counters[51] = {};
    CheckLayouts(f.plan, counters);
    for (int k = 11; k <= 16; ++k) {
      const bool expected = std::find(c.counters.begin(), c.counters.end(), k) != c.counters.end();
      EXPECT_EQ(counters[k] > 0, expected) << "counter " << k;
    }
  }
}

TEST(FillSummary, Figures) {
  // Lengths 500/300/200 on bars of 1000 (group 1, cost 50) and 800 (group 2, cost 30).
  PlanFixture f({1, 1, 2, 2}, {{1, 1}, {2, 1}, {3, 1}, {1, 3}, {3, 3}, {2, 4}, {3, 0}});
  f.plan.kerf = 10;
  f.plan.lastBar = 4;
  NumberLayouts(f.plan, true, false);
  int32_t barParts[kItemSlots] = {};
  int32_t barWaste[kItemSlots] = {};
  int32_t partUsed[kPartGroupSlots] = {};
  int32_t stockUsed[kStockGroupSlots] = {};
  SummaryDetail detail{barParts, barWaste, partUsed, 3, stockUsed, 2};
  RunRecord r;
  r.criterion = 0.75;
  FillSummary(r, f.plan, &detail);
  EXPECT_EQ(r.criterion, 0.75);
  EXPECT_EQ(r.lastStock, 4);
  EXPECT_EQ(r.layouts, 3);
  EXPECT_EQ(r.layoutCuts, 5);
  EXPECT_EQ(r.parts, 5);
  EXPECT_EQ(r.bars, 2);
  EXPECT_EQ(r.length, 1800);
  EXPECT_EQ(r.waste, 0 + 100);
  EXPECT_EQ(r.cost, 80);
  EXPECT_EQ(r.lastParts, 1);
  EXPECT_EQ(r.lastLength, 800);  // the last bar's stock length
  EXPECT_EQ(r.lastRemainder, 500);
  EXPECT_EQ(r.lastCost, 30);
  // Net remainders: bar 1 max(0, 0 - 30) = 0, bar 3 100 - 20 = 80, last bar 500 - 10.
  EXPECT_EQ(r.maxRemainder, 490);
  EXPECT_DOUBLE_EQ(r.utilization, 1700.0 / 1800.0);
  EXPECT_EQ(std::vector<int>(barParts + 1, barParts + 5), (std::vector<int>{3, 0, 2, 1}));
  EXPECT_EQ(std::vector<int>(barWaste + 1, barWaste + 5), (std::vector<int>{0, 0, 100, 500}));
  EXPECT_EQ(std::vector<int>(partUsed + 1, partUsed + 4), (std::vector<int>{2, 2, 2}));
  EXPECT_EQ(std::vector<int>(stockUsed + 1, stockUsed + 3), (std::vector<int>{1, 2}));
}

TEST(FillSummary, NoBarUsed) {
  PlanFixture f({1}, {{1, 0}});
  NumberLayouts(f.plan, true, false);
  RunRecord r;
  r.parts = 9;
  FillSummary(r, f.plan, nullptr);
  EXPECT_EQ(r.parts, 0);
  EXPECT_EQ(r.bars, 0);
  EXPECT_EQ(r.utilization, 0.0);
  EXPECT_EQ(r.maxRemainder, 0);
}

}  // namespace
}  // namespace solver
