// The rules a plan must obey, its figures and the order of plans.
#include <gtest/gtest.h>

#include "exact.h"

namespace exact_test {
namespace {

using solver::exact::CheckPlan;
using solver::exact::ComparePlans;
using solver::exact::ExactInput;
using solver::exact::MeasurePlan;
using solver::exact::Pattern;
using solver::exact::Plan;
using solver::exact::Rules;

// Bars of 1000 (cost 100, 2 bars) and 800 (cost 90, 1 bar); pieces of
// 320 (3), 100 (7) and 60 (2); kerf 10, end zone 20, gripping length 150.
ExactInput Base() {
  ExactInput in;
  in.stock = {{1000, 100, 2}, {800, 90, 1}};
  in.parts = {{320, 3, 1}, {100, 7, 2}, {60, 2, 3}};
  in.rules.kerf = 10;
  in.rules.endZone = 20;
  in.rules.gripLength = 150;
  return in;
}

Pattern Bar(int stock, std::vector<int32_t> counts, int32_t bars = 1) {
  return Pattern{stock, std::move(counts), bars};
}

struct RuleCase {
  const char* name;
  void (*adjust)(ExactInput&);
  Plan plan;
  const char* error;  // "" = the plan is valid
};

void Keep(ExactInput&) {}

const RuleCase kRuleCases[] = {
    // 3 x 320 + 2 kerfs + end zone = 1000: exactly full.
    {"exactly_full", Keep, Plan{{Bar(0, {3, 0, 0})}, false, {}}, ""},
    {"one_unit_over", Keep, Plan{{Bar(0, {3, 0, 1})}, false, {}}, "pieces do not fit"},
    // 5 x 100 on 800 leaves 800 - 20 - 500 - 50 = 230 >= 150 to grip.
    {"short_pieces_grippable", Keep, Plan{{Bar(1, {0, 5, 0})}, false, {}}, ""},
    // 6 x 100 leaves 120 < 150 and no piece is 150 long.
    {"short_pieces_ungrippable", Keep, Plan{{Bar(1, {0, 6, 0})}, false, {}}, "pieces do not fit"},
    // A 320 piece grips the bar itself: 320 + 4 x 100 + 4 kerfs + 20 = 780.
    {"long_piece_grips", Keep, Plan{{Bar(1, {1, 4, 0})}, false, {}}, ""},
    {"max_pieces", [](ExactInput& in) { in.rules.maxPieces = 3; },
     Plan{{Bar(1, {0, 4, 0})}, false, {}}, "too many pieces on a bar"},
    {"diff_pieces", [](ExactInput& in) { in.rules.diffPieces = 1; },
     Plan{{Bar(0, {1, 1, 0})}, false, {}}, "too many different pieces"},
    // Equal lengths of two groups are one kind of piece, as in the search.
    {"diff_pieces_same_length",
     [](ExactInput& in) {
       in.rules.diffPieces = 1;
       in.parts[2].length = 100;
     },
     Plan{{Bar(0, {0, 2, 2})}, false, {}}, ""},
    // Told apart by mark, as the search does when layouts go by mark.
    {"diff_pieces_same_length_other_mark",
     [](ExactInput& in) {
       in.rules.diffPieces = 1;
       in.rules.piecesByMark = true;
       in.parts[2].length = 100;
     },
     Plan{{Bar(0, {0, 2, 2})}, false, {}}, "too many different pieces"},
    {"diff_pieces_same_length_same_mark",
     [](ExactInput& in) {
       in.rules.diffPieces = 1;
       in.rules.piecesByMark = true;
       in.parts[2] = {100, 2, 2};
     },
     Plan{{Bar(0, {0, 2, 2})}, false, {}}, ""},
    {"diff_stocks", [](ExactInput& in) { in.rules.diffStocks = 1; },
     Plan{{Bar(0, {1, 0, 0}), Bar(1, {1, 0, 0})}, false, {}}, "too many different stock groups"},
    // Two stock groups of equal length and cost count as one.
    {"diff_stocks_same_kind",
     [](ExactInput& in) {
       in.rules.diffStocks = 1;
       in.stock[1] = in.stock[0];
     },
     Plan{{Bar(0, {1, 0, 0}), Bar(1, {1, 0, 0})}, false, {}}, ""},
    {"too_many_bars", Keep, Plan{{Bar(0, {1, 0, 0}, 3)}, false, {}}, "more bars than in stock"},
    {"too_many_pieces", Keep, Plan{{Bar(0, {2, 0, 0}, 2)}, false, {}}, "more pieces than ordered"},
    {"empty_bar", Keep, Plan{{Bar(0, {0, 0, 0})}, false, {}}, "a bar without pieces"},
    {"last_without_setting", Keep, Plan{{Bar(0, {1, 0, 0})}, true, Bar(1, {0, 1, 0})},
     "a last bar without ignoreLast"},
    // Remainder of the last bar: 800 - 100 - 10 = 690.
    {"last_remainder_kept",
     [](ExactInput& in) {
       in.rules.ignoreLast = true;
       in.rules.minReusable = 690;
     },
     Plan{{Bar(0, {1, 0, 0})}, true, Bar(1, {0, 1, 0})}, ""},
    {"last_remainder_too_short",
     [](ExactInput& in) {
       in.rules.ignoreLast = true;
       in.rules.minReusable = 691;
     },
     Plan{{Bar(0, {1, 0, 0})}, true, Bar(1, {0, 1, 0})}, "the last bar's remainder is too short"},
    {"last_alone", [](ExactInput& in) { in.rules.ignoreLast = true; },
     Plan{{}, true, Bar(1, {0, 1, 0})}, "a last bar alone"},
};

TEST(PlanRules, CheckPlanFindsTheRuleBroken) {
  for (const RuleCase& c : kRuleCases) {
    ExactInput in = Base();
    c.adjust(in);
    EXPECT_EQ(CheckPlan(in, c.plan), c.error) << c.name;
  }
}

TEST(PlanFigures, LastBarAndTotals) {
  ExactInput in = Base();
  in.rules.ignoreLast = true;
  // Two bars of 1000 with 320 each, the last bar of 800 with 2 x 100.
  const Plan plan{{Bar(0, {1, 0, 0}, 2)}, true, Bar(1, {0, 2, 0})};
  const auto f = MeasurePlan(in, plan);
  EXPECT_EQ(f.bars, 3);
  EXPECT_EQ(f.stockLength, 2800);
  EXPECT_EQ(f.stockCost, 290);
  EXPECT_EQ(f.piecesCut, 4);
  EXPECT_EQ(f.lengthUncut, 3 * 320 + 7 * 100 + 2 * 60 - 840);
  EXPECT_EQ(f.lastRemainder, 800 - 200 - 20);  // pieces and their kerfs
  EXPECT_DOUBLE_EQ(f.objective, 2800.0 - 580.0);
  EXPECT_EQ(f.layouts, 2);
  in.rules.costMode = true;
  EXPECT_DOUBLE_EQ(MeasurePlan(in, plan).objective, 290.0 - 90.0 * 580.0 / 800.0);
}

TEST(PlanOrder, FiguresInTheirOrder) {
  ExactInput in = Base();
  in.parts = {{300, 2, 1}};
  const Plan one{{Bar(0, {2})}, false, {}};
  const Plan onShort{{Bar(1, {2})}, false, {}};
  const Plan two{{Bar(0, {1}, 2)}, false, {}};
  const Plan half{{Bar(1, {1})}, false, {}};
  // Cutting more comes first, even on more stock.
  EXPECT_LT(ComparePlans(in, one, half), 0);
  // Then less stock length.
  EXPECT_LT(ComparePlans(in, onShort, one), 0);
  EXPECT_LT(ComparePlans(in, one, two), 0);
  EXPECT_EQ(ComparePlans(in, one, one), 0);
  // Cost mode: the 800 bar (90) beats the 1000 bar (100).
  in.rules.costMode = true;
  EXPECT_LT(ComparePlans(in, onShort, one), 0);
}

TEST(PlanOrder, PreferenceForShortOrLongBarsAmongEqualPlans) {
  ExactInput in;
  in.stock = {{1000, 0, 2}, {500, 0, 4}};
  in.parts = {{450, 2, 1}};
  const Plan longBar{{Bar(0, {2})}, false, {}};
  const Plan shortBars{{Bar(1, {1}, 2)}, false, {}};
  EXPECT_EQ(ComparePlans(in, longBar, shortBars), 0);
  in.rules.prefShort = -1;
  EXPECT_GT(ComparePlans(in, longBar, shortBars), 0);
  in.rules.prefShort = 2;
  EXPECT_LT(ComparePlans(in, longBar, shortBars), 0);
}

}  // namespace
}  // namespace exact_test
