// The planner against the struct call on random problems within the
// search's limits, its limits and statuses, and the exact method alone
// above the search's limits.
#include "tarvolin/planner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "call_harness.h"
#include "planner_checks.h"
#include "random_call.h"
#include "tarvolin/solver.h"

namespace solver {
namespace {

using PlannerPtr = std::unique_ptr<TarvolinPlanner, void (*)(TarvolinPlanner*)>;
using ContextPtr = std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)>;

PlannerPtr NewPlanner() {
  return PlannerPtr(TarvolinPlannerCreate(), TarvolinPlannerDestroy);
}

// A problem in the planner's arrays.
struct Groups {
  std::vector<TarvolinPlannerStockGroup> stock;
  std::vector<TarvolinPlannerPartGroup> parts;
  TarvolinPlannerProblem Problem() const {
    return {stock.data(), static_cast<int32_t>(stock.size()), parts.data(),
            static_cast<int32_t>(parts.size())};
  }
};

Groups GroupsOf(const TarvolinProblem& p) {
  Groups g;
  for (int i = 1; i <= p.stockGroupCount; ++i) {
    const TarvolinStockGroup& s = p.stockGroups[i];
    g.stock.push_back({s.length, s.cost, s.quantity});
  }
  for (int i = 1; i <= p.partGroupCount; ++i) {
    const TarvolinPartGroup& s = p.partGroups[i];
    g.parts.push_back({s.length, s.markId, s.quantity});
  }
  return g;
}

TarvolinPlannerSettings PlannerSettingsOf(const TarvolinSettings& s) {
  TarvolinPlannerSettings t{};
  t.method = s.method;
  t.costMode = s.costMode;
  t.ignoreLast = s.ignoreLast;
  t.effortLevel = s.effortLevel;
  t.reduceLayouts = s.reduceLayouts;
  t.preferShort = s.preferShort;
  t.maxStockGroups = s.maxStockGroups;
  t.maxDifferentPieces = s.maxDifferentPieces;
  t.maxPiecesPerLayout = s.maxPiecesPerLayout;
  t.bundleSize = s.bundleSize;
  t.minReusable = s.minReusable;
  t.kerf = s.kerf;
  t.endZone = s.endZone;
  t.gripLength = s.gripLength;
  t.layoutsByMark = s.layoutsByMark;
  t.timeLimitSeconds = s.timeLimitSeconds;
  t.iterationMultiplier = s.iterationMultiplier;
  t.exactTimeLimitSeconds = s.exactTimeLimitSeconds;
  t.computeBound = s.computeBound;
  return t;
}

// Whether the planner's plan is the struct call's: every piece on the same
// bar, every bar with the same pieces and waste, the same figures.
::testing::AssertionResult SamePlan(const TarvolinPlan& r, const TarvolinPlannerPlan& p) {
  if (p.pieceCount != r.partItemCount || p.barCount != r.stockItemCount) {
    return ::testing::AssertionFailure() << "item counts";
  }
  for (int i = 0; i < p.pieceCount; ++i) {
    if (p.pieces[i].partGroup != r.partItemGroup[i + 1] - 1 ||
        p.pieces[i].bar != r.partItemStock[i + 1] - 1) {
      return ::testing::AssertionFailure() << "piece " << i;
    }
  }
  for (int b = 0; b < p.barCount; ++b) {
    const TarvolinPlannerBar& bar = p.bars[b];
    if (bar.stockGroup != r.stockItemGroup[b + 1] - 1 ||
        bar.pieceCount != r.stockItemParts[b + 1] || bar.waste != r.stockItemWaste[b + 1] ||
        (bar.layout >= 0) != (r.stockItemLayout[b + 1] > 0)) {
      return ::testing::AssertionFailure() << "bar " << b;
    }
  }
  if (p.lastStockBar != r.lastStock - 1 || p.criterion != r.criterion ||
      p.utilization != r.utilization || p.differentLayouts != r.layoutCount ||
      p.layoutCuts != r.layoutCuts || p.proven != r.proven ||
      p.barsUsed != r.stockUsed + (r.lastStock != 0) || p.piecesCut != r.partsCut + r.lastParts ||
      p.bound != r.lowerBound) {
    return ::testing::AssertionFailure() << "figures";
  }
  return ::testing::AssertionSuccess();
}

// Within the search's limits the planner is the struct call with the same
// settings, whichever method: the same plan, or the same error.
TEST(Planner, SamePlanAsStructCallOverRandomProblems) {
  const PlannerPtr planner = NewPlanner();
  const ContextPtr context(TarvolinCreateContext(), TarvolinDestroyContext);
  ASSERT_NE(planner, nullptr);
  ASSERT_NE(context, nullptr);
  auto expected = std::make_unique<TarvolinPlan>();
  for (uint32_t seed = 1; seed <= 120; ++seed) {
    testing::RandomCall random(seed);
    const bool large = seed % 20 == 0;
    const testing::CallSetup in = random.Make(large);
    TarvolinSettings settings = testing::ToSettings(in);
    // Method 1 on the smaller problems at low effort and with the longest
    // time limit, so that the exact method and the search end on their own
    // (the sanitizer build included) and both calls run the same course.
    settings.method = seed % 4 == 0 && !large ? 1 : 0;
    if (settings.method == 1) {
      settings.effortLevel = std::min(settings.effortLevel, 1);
      settings.exactTimeLimitSeconds = 100;
    }
    settings.computeBound = seed % 7 == 0 ? 1 : 0;
    const TarvolinProblem problem = testing::ToProblem(in);
    const int32_t error =
        TarvolinSolve(context.get(), &settings, &problem, nullptr, expected.get());

    const Groups groups = GroupsOf(problem);
    const TarvolinPlannerProblem p = groups.Problem();
    const TarvolinPlannerSettings s = PlannerSettingsOf(settings);
    TarvolinPlannerPlan plan;
    const TarvolinPlannerStatus status =
        TarvolinPlannerSolve(planner.get(), &s, &p, nullptr, nullptr, &plan);
    SCOPED_TRACE("seed " + std::to_string(seed));
    ASSERT_EQ(plan.error, error);
    if (error != 0) {
      EXPECT_FALSE(TarvolinPlannerHasPlan(status));
      continue;
    }
    ASSERT_EQ(status, TARVOLIN_PLANNER_OK) << plan.message;
    EXPECT_TRUE(SamePlan(*expected, plan));
    EXPECT_EQ(testing::CheckPlannerPlan(p, s, plan), "");
  }
}

// A zeroed record is not valid; the defaults are, and a setting out of
// range fails whatever the size of the material.
TEST(Planner, DefaultsAndSettingsRanges) {
  TarvolinPlannerSettings defaults;
  TarvolinPlannerDefaults(&defaults);
  EXPECT_EQ(defaults.iterationMultiplier, 20);
  EXPECT_EQ(defaults.method, 0);
  const PlannerPtr planner = NewPlanner();
  const Groups small{{{6000, 0, 4}}, {{1000, 0, 9}}};
  const Groups large{{{6000, 0, 40}}, {{1000, 0, 150}}};
  struct Case {
    const char* name;
    void (*change)(TarvolinPlannerSettings&);
    TarvolinPlannerStatus small, large;
  };
  const Case cases[] = {
      {"defaults", [](TarvolinPlannerSettings&) {}, TARVOLIN_PLANNER_OK,
       TARVOLIN_PLANNER_SEARCH_LIMIT},
      {"zeroed", [](TarvolinPlannerSettings& s) { s = TarvolinPlannerSettings{}; },
       TARVOLIN_PLANNER_INVALID_SETTINGS, TARVOLIN_PLANNER_INVALID_SETTINGS},
      {"method 2", [](TarvolinPlannerSettings& s) { s.method = 2; },
       TARVOLIN_PLANNER_INVALID_SETTINGS, TARVOLIN_PLANNER_INVALID_SETTINGS},
      {"bundle 1", [](TarvolinPlannerSettings& s) { s.bundleSize = 1; },
       TARVOLIN_PLANNER_INVALID_SETTINGS, TARVOLIN_PLANNER_INVALID_SETTINGS},
      {"stock groups 1001", [](TarvolinPlannerSettings& s) { s.maxStockGroups = 1001; },
       TARVOLIN_PLANNER_INVALID_SETTINGS, TARVOLIN_PLANNER_INVALID_SETTINGS},
      {"stock groups 1000", [](TarvolinPlannerSettings& s) { s.maxStockGroups = 1000; },
       TARVOLIN_PLANNER_OK, TARVOLIN_PLANNER_SEARCH_LIMIT},
      {"negative kerf", [](TarvolinPlannerSettings& s) { s.kerf = -1; },
       TARVOLIN_PLANNER_INVALID_SETTINGS, TARVOLIN_PLANNER_INVALID_SETTINGS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TarvolinPlannerSettings s = defaults;
    s.effortLevel = 1;
    c.change(s);
    TarvolinPlannerPlan plan;
    const TarvolinPlannerProblem ps = small.Problem(), pl = large.Problem();
    EXPECT_EQ(TarvolinPlannerSolve(planner.get(), &s, &ps, nullptr, nullptr, &plan), c.small);
    EXPECT_EQ(TarvolinPlannerSolve(planner.get(), &s, &pl, nullptr, nullptr, &plan), c.large);
    if (c.large == TARVOLIN_PLANNER_INVALID_SETTINGS) {
      EXPECT_EQ(plan.error, TARVOLIN_ERROR_SETTINGS);
    }
  }
}

// Groups with `count` groups of `quantity` each: distinct lengths.
Groups Sized(int stockGroups, int stockQty, int partGroups, int partQty) {
  Groups g;
  for (int i = 0; i < stockGroups; ++i) g.stock.push_back({6000 + i, 0, stockQty});
  for (int i = 0; i < partGroups; ++i) g.parts.push_back({500 + i, 0, partQty});
  return g;
}

// Above the search's limits: method 0 and bundles name the search's limit,
// a material above the exact method's limits names that one; the first
// limit exceeded is named.
TEST(Planner, LimitsByMethod) {
  const PlannerPtr planner = NewPlanner();
  struct Case {
    const char* name;
    Groups groups;
    int32_t method, bundle;
    TarvolinPlannerStatus status;
    int32_t error;
    const char* message;
  };
  const Case cases[] = {
      {"21 part groups", Sized(1, 50, 21, 1), 0, 0, TARVOLIN_PLANNER_SEARCH_LIMIT,
       TARVOLIN_ERROR_PART_GROUP_COUNT,
       "too many part groups for the layout search: 21 (at most 20); the exact method (method "
       "1) plans up to 10000 part groups"},
      {"11 stock groups", Sized(11, 1, 2, 3), 0, 0, TARVOLIN_PLANNER_SEARCH_LIMIT,
       TARVOLIN_ERROR_STOCK_GROUP_COUNT,
       "too many stock groups for the layout search: 11 (at most 10); the exact method (method "
       "1) plans up to 1000 stock groups"},
      {"101 pieces", Sized(1, 100, 1, 101), 0, 0, TARVOLIN_PLANNER_SEARCH_LIMIT,
       TARVOLIN_ERROR_TOO_MANY_PART_ITEMS,
       "too many pieces for the layout search: 101 (at most 100); the exact method (method 1) "
       "plans up to 1000000 pieces"},
      {"101 bars", Sized(1, 101, 1, 100), 0, 0, TARVOLIN_PLANNER_SEARCH_LIMIT,
       TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS,
       "too many bars for the layout search: 101 (at most 100); the exact method (method 1) "
       "plans up to 1000000 bars"},
      {"bundle on 101 pieces", Sized(1, 100, 1, 101), 1, 2, TARVOLIN_PLANNER_SEARCH_LIMIT,
       TARVOLIN_ERROR_TOO_MANY_PART_ITEMS,
       "a stock/cut bundle is planned by the layout search alone, which takes at most 100 "
       "pieces: this material has 101"},
      {"10001 part groups", Sized(1, 10, 10001, 1), 1, 0, TARVOLIN_PLANNER_SIZE_LIMIT,
       TARVOLIN_ERROR_PART_GROUP_COUNT, "too many part groups: 10001 (at most 10000)"},
      {"1001 stock groups", Sized(1001, 1, 1, 5), 0, 0, TARVOLIN_PLANNER_SIZE_LIMIT,
       TARVOLIN_ERROR_STOCK_GROUP_COUNT, "too many stock groups: 1001 (at most 1000)"},
      {"1000001 pieces", Sized(1, 10, 31, 32259), 1, 0, TARVOLIN_PLANNER_SIZE_LIMIT,
       TARVOLIN_ERROR_TOO_MANY_PART_ITEMS, "too many pieces: 1000029 (at most 1000000)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TarvolinPlannerSettings s;
    TarvolinPlannerDefaults(&s);
    s.method = c.method;
    s.bundleSize = c.bundle;
    const TarvolinPlannerProblem p = c.groups.Problem();
    TarvolinPlannerPlan plan;
    EXPECT_EQ(TarvolinPlannerSolve(planner.get(), &s, &p, nullptr, nullptr, &plan), c.status);
    EXPECT_EQ(plan.error, c.error);
    EXPECT_STREQ(plan.message, c.message);
    EXPECT_EQ(plan.layouts, nullptr);
    EXPECT_EQ(plan.barCount, 0);
  }
}

// Bad groups above the search's limits fail with the struct call's numbers
// and texts, in its order.
TEST(Planner, GroupValuesAboveSearchLimits) {
  const PlannerPtr planner = NewPlanner();
  struct Case {
    const char* name;
    void (*change)(Groups&);
    int32_t error;
  };
  const Case cases[] = {
      {"stock length 0", [](Groups& g) { g.stock[0].length = 0; }, TARVOLIN_ERROR_STOCK_LENGTH},
      {"part length 0 and cost -1",
       [](Groups& g) {
         g.parts[3].length = 0;
         g.stock[0].cost = -1;
       },
       TARVOLIN_ERROR_PART_LENGTH},
      {"cost -1", [](Groups& g) { g.stock[0].cost = -1; }, TARVOLIN_ERROR_STOCK_COST},
      {"mark -1", [](Groups& g) { g.parts[20].markId = -1; }, TARVOLIN_ERROR_PART_MARK},
      {"stock quantity -1", [](Groups& g) { g.stock[1].quantity = -1; },
       TARVOLIN_ERROR_STOCK_QUANTITY},
      {"part quantity 32768", [](Groups& g) { g.parts[0].quantity = 32768; },
       TARVOLIN_ERROR_PART_QUANTITY},
      {"no stock",
       [](Groups& g) {
         for (auto& s : g.stock) s.quantity = 0;
       },
       TARVOLIN_ERROR_NO_STOCK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Groups g = Sized(2, 20, 25, 2);
    c.change(g);
    TarvolinPlannerSettings s;
    TarvolinPlannerDefaults(&s);
    s.method = 1;
    const TarvolinPlannerProblem p = g.Problem();
    TarvolinPlannerPlan plan;
    const TarvolinPlannerStatus status =
        TarvolinPlannerSolve(planner.get(), &s, &p, nullptr, nullptr, &plan);
    if (status == TARVOLIN_PLANNER_NOT_AVAILABLE) GTEST_SKIP() << "no exact method in this build";
    EXPECT_EQ(status, TARVOLIN_PLANNER_INVALID_PROBLEM);
    EXPECT_EQ(plan.error, c.error);
    EXPECT_STREQ(plan.message, TarvolinErrorText(c.error));
  }
}

// Few groups and bars whose total stock length the search's 32-bit sums
// cannot hold: the exact method plans them alone, the search refuses them.
TEST(Planner, TotalsAboveTheSearchsSums) {
  const PlannerPtr planner = NewPlanner();
  // Three bars of 1,000,000,000 (3e9 in all); two pieces of 400,000,000
  // fit one bar, three do not, so five pieces need three bars.
  const Groups g{{{1000000000, 0, 3}}, {{400000000, 0, 5}}};
  const TarvolinPlannerProblem p = g.Problem();
  TarvolinPlannerSettings s;
  TarvolinPlannerDefaults(&s);
  s.ignoreLast = 0;
  TarvolinPlannerPlan plan;
  s.method = 0;
  EXPECT_FALSE(
      TarvolinPlannerHasPlan(TarvolinPlannerSolve(planner.get(), &s, &p, nullptr, nullptr, &plan)));
  EXPECT_EQ(plan.error, TARVOLIN_ERROR_STOCK_LENGTH_SUM);
  s.method = 1;
  const TarvolinPlannerStatus status =
      TarvolinPlannerSolve(planner.get(), &s, &p, nullptr, nullptr, &plan);
  if (status == TARVOLIN_PLANNER_NOT_AVAILABLE) GTEST_SKIP() << "no exact method in this build";
  ASSERT_EQ(status, TARVOLIN_PLANNER_OK) << plan.message;
  EXPECT_EQ(plan.piecesCut, 5);
  EXPECT_EQ(plan.barsUsed, 3);
  EXPECT_EQ(plan.stockLength, int64_t{3000000000});
}

// Quantities the struct call's 16 bits cannot hold are faults of the
// quantity, never cut down to another number (-65536 would read as 0).
TEST(Planner, QuantitiesBeyondSixteenBits) {
  const PlannerPtr planner = NewPlanner();
  struct Case {
    int32_t stockQty, partQty, error;
  };
  const Case cases[] = {{-65536, 5, TARVOLIN_ERROR_STOCK_QUANTITY},
                        {4, -65536, TARVOLIN_ERROR_PART_QUANTITY},
                        {32768, 5, TARVOLIN_ERROR_STOCK_QUANTITY},
                        {4, 32768, TARVOLIN_ERROR_PART_QUANTITY},
                        {4, -1, TARVOLIN_ERROR_PART_QUANTITY}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.stockQty) + " " + std::to_string(c.partQty));
    const Groups g{{{6000, 0, c.stockQty}}, {{1000, 0, c.partQty}, {900, 0, 3}}};
    TarvolinPlannerSettings s;
    TarvolinPlannerDefaults(&s);
    const TarvolinPlannerProblem p = g.Problem();
    TarvolinPlannerPlan plan;
    EXPECT_EQ(TarvolinPlannerSolve(planner.get(), &s, &p, nullptr, nullptr, &plan),
              TARVOLIN_PLANNER_INVALID_PROBLEM);
    EXPECT_EQ(plan.error, c.error);
  }
}

// A shop order above the search's limits: 8 lengths, 260 pieces, three
// stock lengths with limited bars, kerf and end zone.
Groups ShopOrder() {
  Groups g;
  g.stock = {{6000, 600, 30}, {4500, 470, 20}, {3000, 330, 40}};
  const int32_t lengths[] = {1480, 1210, 990, 870, 655, 520, 410, 333};
  for (int i = 0; i < 8; ++i) g.parts.push_back({lengths[i], i % 3, 30 + i * 2});
  return g;
}

// Runs the exact method alone, or skips when this build's exact method
// does not plan materials of this size.
TarvolinPlannerStatus SolveLarge(TarvolinPlanner* planner, const TarvolinPlannerSettings& s,
                                 const TarvolinPlannerProblem& p, TarvolinPlannerPlan& plan) {
  return TarvolinPlannerSolve(planner, &s, &p, nullptr, nullptr, &plan);
}

TEST(Planner, ExactMethodAloneAboveSearchLimits) {
  const PlannerPtr planner = NewPlanner();
  const Groups g = ShopOrder();
  const TarvolinPlannerProblem p = g.Problem();
  for (int32_t rules = 0; rules < 4; ++rules) {
    SCOPED_TRACE("rules " + std::to_string(rules));
    TarvolinPlannerSettings s;
    TarvolinPlannerDefaults(&s);
    s.method = 1;
    s.kerf = 3;
    s.endZone = 10;
    s.exactTimeLimitSeconds = 1;
    s.costMode = rules & 1;
    s.maxPiecesPerLayout = rules >= 2 ? 4 : 0;
    s.minReusable = rules >= 2 ? 500 : 0;
    TarvolinPlannerPlan plan;
    const TarvolinPlannerStatus status = SolveLarge(planner.get(), s, p, plan);
    if (status == TARVOLIN_PLANNER_NOT_AVAILABLE ||
        (status == TARVOLIN_PLANNER_INVALID_PROBLEM && plan.error == 0)) {
      GTEST_SKIP() << "the exact method of this build does not plan this size: " << plan.message;
    }
    ASSERT_TRUE(TarvolinPlannerHasPlan(status)) << plan.message;
    EXPECT_EQ(plan.pieceCount, 30 + 32 + 34 + 36 + 38 + 40 + 42 + 44);
    EXPECT_EQ(plan.barCount, 90);
    EXPECT_EQ(plan.hasBound, 1);
    EXPECT_EQ(testing::CheckPlannerPlan(p, s, plan), "");
  }
}

// A stop requested before the call stops the exact method at its first
// plan; that plan is whole and valid.
TEST(Planner, StopBeforeTheExactMethodStarts) {
  const PlannerPtr planner = NewPlanner();
  const Groups g = ShopOrder();
  const TarvolinPlannerProblem p = g.Problem();
  TarvolinPlannerSettings s;
  TarvolinPlannerDefaults(&s);
  s.method = 1;
  TarvolinPlannerRequestStop(planner.get());
  TarvolinPlannerPlan plan;
  const TarvolinPlannerStatus status = SolveLarge(planner.get(), s, p, plan);
  if (status == TARVOLIN_PLANNER_NOT_AVAILABLE ||
      (status == TARVOLIN_PLANNER_INVALID_PROBLEM && plan.error == 0)) {
    GTEST_SKIP() << "the exact method of this build does not plan this size: " << plan.message;
  }
  EXPECT_EQ(status, TARVOLIN_PLANNER_STOPPED);
  EXPECT_STREQ(plan.message, "stopped on request: the best plan found so far");
  EXPECT_EQ(plan.piecesUncut, 0);
  EXPECT_EQ(testing::CheckPlannerPlan(p, s, plan), "");
}

// A stop from the progress callback as the exact method begins ends it at
// its first plan.
TEST(Planner, ProgressCallbackStopsTheExactMethod) {
  const PlannerPtr planner = NewPlanner();
  const Groups g = ShopOrder();
  const TarvolinPlannerProblem p = g.Problem();
  TarvolinPlannerSettings s;
  TarvolinPlannerDefaults(&s);
  s.method = 1;
  std::vector<TarvolinPlannerPhase> phases;
  const auto watch = [](void* user, const TarvolinPlannerProgress* progress) -> int32_t {
    static_cast<std::vector<TarvolinPlannerPhase>*>(user)->push_back(progress->phase);
    return 1;
  };
  TarvolinPlannerPlan plan;
  const TarvolinPlannerStatus status =
      TarvolinPlannerSolve(planner.get(), &s, &p, watch, &phases, &plan);
  if (status == TARVOLIN_PLANNER_NOT_AVAILABLE ||
      (status == TARVOLIN_PLANNER_INVALID_PROBLEM && plan.error == 0)) {
    GTEST_SKIP() << "the exact method of this build does not plan this size: " << plan.message;
  }
  ASSERT_GE(phases.size(), 2u);
  EXPECT_EQ(phases.front(), TARVOLIN_PLANNER_PHASE_EXACT);
  EXPECT_EQ(phases.back(), TARVOLIN_PLANNER_PHASE_DONE);
  EXPECT_EQ(status, TARVOLIN_PLANNER_STOPPED);
  EXPECT_EQ(testing::CheckPlannerPlan(p, s, plan), "");
}

// A stop from the progress callback during the search ends the call with
// the search's best plan, and the callback hears of the end.
TEST(Planner, ProgressCallbackStopsTheSearch) {
  const PlannerPtr planner = NewPlanner();
  const Groups g = Sized(2, 30, 12, 8);
  const TarvolinPlannerProblem p = g.Problem();
  TarvolinPlannerSettings s;
  TarvolinPlannerDefaults(&s);
  struct Seen {
    std::vector<TarvolinPlannerProgress> calls;
  } seen;
  const auto watch = [](void* user, const TarvolinPlannerProgress* progress) -> int32_t {
    static_cast<Seen*>(user)->calls.push_back(*progress);
    return progress->phase == TARVOLIN_PLANNER_PHASE_SEARCH ? 1 : 0;
  };
  TarvolinPlannerPlan plan;
  const TarvolinPlannerStatus status =
      TarvolinPlannerSolve(planner.get(), &s, &p, watch, &seen, &plan);
  ASSERT_GE(seen.calls.size(), 2u);
  EXPECT_EQ(seen.calls.front().phase, TARVOLIN_PLANNER_PHASE_SEARCH);
  EXPECT_GE(seen.calls.front().percent, 0);
  const TarvolinPlannerProgress& done = seen.calls.back();
  EXPECT_EQ(done.phase, TARVOLIN_PLANNER_PHASE_DONE);
  EXPECT_EQ(done.bestObjective, plan.objective);
  EXPECT_EQ(done.percent, -1);
  EXPECT_EQ(status, TARVOLIN_PLANNER_STOPPED);
  EXPECT_EQ(testing::CheckPlannerPlan(p, s, plan), "");
}

}  // namespace
}  // namespace solver
