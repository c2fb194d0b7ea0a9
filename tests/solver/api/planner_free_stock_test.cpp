// Offcuts kept as stock (bars of cost 0) with the planner's preference for
// them: the least cost first, then as much offcut length as possible, with
// both methods and above the search's limits.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tarvolin/planner.h"

namespace solver {
namespace {

struct FreeCase {
  const char* name;
  std::vector<TarvolinPlannerStockGroup> stock;
  std::vector<TarvolinPlannerPartGroup> parts;
  int64_t cost;        // the least cost of new bars
  int64_t freeLength;  // the most offcut length at that cost
  int32_t maxStockGroups = 0;
};

int64_t FreeLengthUsed(const TarvolinPlannerPlan& plan, const FreeCase& c) {
  int64_t length = 0;
  for (int32_t b = 0; b < plan.barCount; ++b) {
    const TarvolinPlannerStockGroup& s = c.stock[plan.bars[b].stockGroup];
    if (plan.bars[b].layout >= 0 && s.cost == 0) length += s.length;
  }
  return length;
}

// Twelve offcuts of 900 to 1450, each holding one piece of 800 and no
// more; 7 new bars of 6000 hold at most 42000 of the 49000 ordered, and
// the offcuts at most 12 x 800, so 7 new bars are needed, and at that cost
// every offcut can take a piece.
FreeCase ManyOffcuts() {
  FreeCase c{"many_offcuts", {{6000, 6000, 50}}, {{800, 0, 30}, {2500, 0, 10}}, 42000, 0};
  for (int32_t k = 0; k < 12; ++k) {
    c.stock.push_back({900 + 50 * k, 0, 1});
    c.freeLength += 900 + 50 * k;
  }
  return c;
}

const FreeCase kCases[] = {
    // Both offcuts hold a piece of 400 at no cost.
    {"two_offcuts", {{1000, 1000, 5}, {500, 0, 1}, {900, 0, 1}}, {{400, 0, 2}}, 0, 1400},
    // The 500 holds no piece and stays unused.
    {"too_short", {{1000, 1000, 5}, {500, 0, 1}, {900, 0, 1}}, {{600, 0, 1}}, 0, 900},
    // One new bar is needed; it takes one piece so that both offcuts take
    // one each (two on it would leave the 800 unused).
    {"one_new_bar", {{1500, 1500, 5}, {800, 0, 1}, {750, 0, 1}}, {{700, 0, 3}}, 1500, 1550},
    // Two stock groups at most: no plan without a new bar (the three
    // offcuts are three groups), and the new bar holds two pieces, so one
    // offcut takes the third: the longest.
    {"two_stock_groups",
     {{1500, 1500, 5}, {800, 0, 1}, {750, 0, 1}, {760, 0, 1}},
     {{700, 0, 3}},
     1500,
     800,
     2},
    ManyOffcuts(),
};

class PlannerFreeStock : public ::testing::TestWithParam<FreeCase> {};

TEST_P(PlannerFreeStock, LeastCostThenMostOffcutLength) {
  const FreeCase& c = GetParam();
  const bool large = c.stock.size() > TARVOLIN_MAX_STOCK_GROUPS;
  const std::unique_ptr<TarvolinPlanner, void (*)(TarvolinPlanner*)> planner(
      TarvolinPlannerCreate(), TarvolinPlannerDestroy);
  const TarvolinPlannerProblem problem{c.stock.data(), static_cast<int32_t>(c.stock.size()),
                                       c.parts.data(), static_cast<int32_t>(c.parts.size())};
  for (const int32_t method : {0, 1}) {
    if (large && method == 0) continue;
    TarvolinPlannerSettings s;
    TarvolinPlannerDefaults(&s);
    s.method = method;
    s.costMode = 1;
    s.ignoreLast = 0;
    s.preferFreeStock = 1;
    s.maxStockGroups = c.maxStockGroups;
    TarvolinPlannerPlan plan{};
    const TarvolinPlannerStatus status =
        TarvolinPlannerSolve(planner.get(), &s, &problem, nullptr, nullptr, &plan);
    if (method == 1 && status == TARVOLIN_PLANNER_NOT_AVAILABLE) continue;
    ASSERT_TRUE(TarvolinPlannerHasPlan(status)) << c.name << ": " << plan.message;
    EXPECT_EQ(plan.piecesUncut, 0) << c.name;
    EXPECT_EQ(plan.stockCost, c.cost) << c.name << " method " << method;
    EXPECT_EQ(FreeLengthUsed(plan, c), c.freeLength) << c.name << " method " << method;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PlannerFreeStock, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlannerFreeStockSettings, OnlyZeroAndOneAreValid) {
  const TarvolinPlannerStockGroup stock[] = {{1000, 0, 2}};
  const TarvolinPlannerPartGroup parts[] = {{400, 0, 2}};
  const TarvolinPlannerProblem problem{stock, 1, parts, 1};
  const std::unique_ptr<TarvolinPlanner, void (*)(TarvolinPlanner*)> planner(
      TarvolinPlannerCreate(), TarvolinPlannerDestroy);
  for (const int32_t value : {-1, 2}) {
    TarvolinPlannerSettings s;
    TarvolinPlannerDefaults(&s);
    EXPECT_EQ(s.preferFreeStock, 0);
    s.preferFreeStock = value;
    TarvolinPlannerPlan plan{};
    EXPECT_EQ(TarvolinPlannerSolve(planner.get(), &s, &problem, nullptr, nullptr, &plan),
              TARVOLIN_PLANNER_INVALID_SETTINGS)
        << value;
  }
}

}  // namespace
}  // namespace solver
