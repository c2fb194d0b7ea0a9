// The exact method as a caller meets it: repeatable plans, the time limit
// and the abort flag, settings it does not model, bad input, its lower
// bound, and plans never worse than the layout search's.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "context.h"
#include "exact_fixture.h"
#include "method_run.h"
#include "search_plan.h"
#include "solver_services.h"
#include "tarvolin/solver.h"

namespace exact_test {
namespace {

using solver::exact::BoundResult;
using solver::exact::CheckPlan;
using solver::exact::ComparePlans;
using solver::exact::ExactAvailable;
using solver::exact::ExactLowerBound;
using solver::exact::ExactResult;
using solver::exact::MeasurePlan;
using solver::exact::RunSearch;
using solver::exact::SearchOutcome;
using solver::exact::SolveExact;
using solver::exact::Status;

// Pieces between a quarter and half a bar that fill 6 m bars exactly three
// at a time: first pieces of 3 lengths, second of 3, third of the 9 rests,
// dealt round so that the groups stay mixed. Hard for greedy plans.
ExactInput Triplets(int triplets) {
  ExactInput in;
  in.stock = {{600000, 0, triplets}};
  const auto add = [&](int32_t length) {
    for (auto& p : in.parts) {
      if (p.length == length) {
        ++p.quantity;
        return;
      }
    }
    in.parts.push_back({length, 1, 0});
  };
  for (int t = 0; t < triplets; ++t) {
    const int32_t a = 150100 + 1300 * (t % 3);
    const int32_t b = 161700 + 4100 * ((t / 3) % 3);
    add(a);
    add(b);
    add(600000 - a - b);
  }
  return in;
}

TEST(ExactBehaviour, SameInputSamePlan) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  Rules rules;
  rules.kerf = 300;
  rules.endZone = 1500;
  for (uint32_t seed : {3u, 17u, 29u}) {
    const ExactInput in = OrderInstance(seed, rules);
    const ExactResult a = SolveExact(in);
    const ExactResult b = SolveExact(in);
    EXPECT_EQ(a.plan, b.plan) << "seed " << seed;
    EXPECT_EQ(a.proven, b.proven);
    EXPECT_EQ(a.lowerBound, b.lowerBound);
  }
}

TEST(ExactBehaviour, TimeLimitEndsWithTheBestPlanSoFar) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  ExactInput in = Triplets(33);
  in.stock[0].quantity = 40;
  in.stock.push_back({550000, 0, 30});
  in.stock.push_back({450000, 0, 30});
  in.timeLimitMs = 1;
  const ExactResult r = SolveExact(in);
  EXPECT_EQ(r.status, Status::kFeasible);
  EXPECT_FALSE(r.proven);
  EXPECT_EQ(CheckPlan(in, r.plan), "");
  EXPECT_EQ(MeasurePlan(in, r.plan).piecesUncut, 0);
  // The limit is checked between steps; one step is short.
  EXPECT_LT(r.elapsedMs, 500);
}

TEST(ExactBehaviour, AbortFlagEndsWithAPlan) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  ExactInput in = Triplets(30);
  std::atomic<bool> abort{true};
  in.abort = &abort;
  const ExactResult r = SolveExact(in);
  EXPECT_EQ(r.status, Status::kFeasible);
  EXPECT_EQ(CheckPlan(in, r.plan), "");
}

TEST(ExactBehaviour, TripletsFillEveryBar) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  const ExactInput in = Triplets(33);
  const ExactResult r = SolveExact(in);
  EXPECT_TRUE(r.proven) << r.message;
  EXPECT_EQ(r.figures.bars, 33);
  EXPECT_EQ(CheckPlan(in, r.plan), "");
}

TEST(ExactBehaviour, BundlesAreLeftToTheSearch) {
  ExactInput in = OrderInstance(5, Rules{});
  in.rules.bundle = 3;
  const ExactResult r = SolveExact(in);
  EXPECT_EQ(r.status, ExactAvailable() ? Status::kNotSupported : Status::kNotAvailable);
  EXPECT_FALSE(r.message.empty());
}

TEST(ExactBehaviour, BadInputIsRefused) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  struct Case {
    const char* name;
    void (*spoil)(ExactInput&);
  };
  const Case cases[] = {
      {"no stock groups", [](ExactInput& in) { in.stock.clear(); }},
      {"no part groups", [](ExactInput& in) { in.parts.clear(); }},
      {"zero length", [](ExactInput& in) { in.parts[0].length = 0; }},
      {"negative cost", [](ExactInput& in) { in.stock[0].cost = -1; }},
      {"negative quantity", [](ExactInput& in) { in.stock[0].quantity = -2; }},
      {"a part quantity of 32768", [](ExactInput& in) { in.parts[0].quantity = 32768; }},
      {"a stock quantity of 32768", [](ExactInput& in) { in.stock[0].quantity = 32768; }},
      {"1,000,001 pieces",
       [](ExactInput& in) {
         in.parts.assign(30, {100, 32767, 0});
         in.parts.push_back({100, 16991, 0});
       }},
      {"1,000,001 bars",
       [](ExactInput& in) {
         in.stock.assign(30, {600000, 0, 32767});
         in.stock.push_back({600000, 0, 16991});
       }},
      {"1,001 stock groups",
       [](ExactInput& in) {
         in.stock.assign(1001, {600000, 0, 1});
       }},
      {"10,001 part groups",
       [](ExactInput& in) {
         in.parts.assign(10001, {1000, 1, 0});
       }},
      {"negative kerf", [](ExactInput& in) { in.rules.kerf = -1; }},
      {"a bar and its kerf longer than 32 bits",
       [](ExactInput& in) {
         in.rules.kerf = 300;
         in.stock = {{2147483600, 0, 1}};
       }},
  };
  for (const Case& c : cases) {
    ExactInput in = OrderInstance(9, Rules{});
    c.spoil(in);
    const ExactResult r = SolveExact(in);
    EXPECT_EQ(r.status, Status::kInvalidInput) << c.name;
    EXPECT_FALSE(r.message.empty()) << c.name;
  }
}

// Random orders under assorted rules: the exact plan is valid, at least as
// good as the search's by the order of figures, and the lower bound alone
// lies below both.
TEST(ExactBehaviour, NeverWorseThanTheSearch) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  const Rules variants[] = {
      Rules{},
      [] {
        Rules r;
        r.kerf = 400;
        r.endZone = 2000;
        r.gripLength = 15000;
        return r;
      }(),
      [] {
        Rules r;
        r.costMode = true;
        r.diffStocks = 2;
        return r;
      }(),
      [] {
        Rules r;
        r.ignoreLast = true;
        r.minReusable = 50000;
        r.kerf = 300;
        return r;
      }(),
      [] {
        Rules r;
        r.maxPieces = 4;
        r.diffPieces = 2;
        r.prefShort = -2;
        return r;
      }(),
  };
  int proven = 0, total = 0;
  for (int v = 0; v < static_cast<int>(std::size(variants)); ++v) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
      ExactInput in = OrderInstance(seed * 31u + v, variants[v]);
      in.timeLimitMs = 3000;
      const SearchOutcome search = RunSearch(in, 0);
      ASSERT_EQ(search.error, 0);
      ASSERT_EQ(CheckPlan(in, search.plan), "") << "search plan, variant " << v << " seed " << seed;
      const ExactResult r = SolveExact(in);
      ASSERT_EQ(CheckPlan(in, r.plan), "") << "variant " << v << " seed " << seed;
      EXPECT_LE(ComparePlans(in, r.plan, search.plan), 0) << "variant " << v << " seed " << seed;
      const BoundResult bound = ExactLowerBound(in);
      if (bound.status == Status::kOptimal && MeasurePlan(in, search.plan).piecesUncut == 0) {
        const double slack = 1e-6 * std::max(1.0, bound.lowerBound);
        EXPECT_LE(bound.lowerBound, r.figures.objective + slack) << "variant " << v;
        EXPECT_LE(bound.lowerBound, MeasurePlan(in, search.plan).objective + slack);
      }
      // Starting from the search's plan never makes the result worse.
      in.incumbent = &search.plan;
      const ExactResult started = SolveExact(in);
      EXPECT_LE(ComparePlans(in, started.plan, search.plan), 0);
      proven += r.proven ? 1 : 0;
      ++total;
    }
  }
  EXPECT_GE(proven, total - 2);
}

// In cost mode the only bars with a cost may be too short for any piece:
// every plan then costs nothing, and so does the bound (not the stock
// length that the free bars tell plans apart by), whether the last bar
// is kept apart or not, at the end and in the progress.
TEST(ExactBehaviour, CostlyBarsTooShortToUseLeaveABoundOfNothing) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  for (const bool ignoreLast : {false, true}) {
    ExactInput in;
    in.rules.costMode = true;
    in.rules.ignoreLast = ignoreLast;
    in.rules.kerf = 19;
    in.rules.endZone = 55;
    in.stock = {{4, 479, 14}, {65535, 0, 5}, {30, 3, 12}};
    in.parts = {{1217, 6, 3}, {5536, 1, 0}};
    double lastBound = -1;
    in.progress = [&](const solver::exact::Progress& p) {
      lastBound = p.lowerBound;
      return false;
    };
    const ExactResult r = SolveExact(in);
    ASSERT_EQ(CheckPlan(in, r.plan), "") << ignoreLast;
    EXPECT_EQ(r.figures.piecesUncut, 0) << ignoreLast;
    EXPECT_EQ(r.figures.objective, 0) << ignoreLast;
    EXPECT_EQ(r.lowerBound, 0) << ignoreLast;
    EXPECT_EQ(lastBound, 0) << ignoreLast;
    EXPECT_TRUE(r.proven) << ignoreLast;
    const BoundResult bound = ExactLowerBound(in);
    ASSERT_EQ(bound.status, Status::kOptimal) << ignoreLast;
    EXPECT_EQ(bound.lowerBound, 0) << ignoreLast;
  }
}

// Fewer layouts come after figures 1 to 3: the same stock, never more
// layouts than without the setting.
TEST(ExactBehaviour, FewerLayoutsKeepTheOptimum) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  for (uint32_t seed : {2u, 11u, 23u, 41u}) {
    ExactInput in = OrderInstance(seed, Rules{});
    const ExactResult plain = SolveExact(in);
    in.rules.reduceLays = 3;
    const ExactResult fewer = SolveExact(in);
    ASSERT_EQ(CheckPlan(in, fewer.plan), "") << "seed " << seed;
    EXPECT_EQ(fewer.figures.stockLength, plain.figures.stockLength) << "seed " << seed;
    EXPECT_EQ(fewer.figures.piecesUncut, plain.figures.piecesUncut);
    EXPECT_LE(fewer.figures.layouts, plain.figures.layouts) << "seed " << seed;
  }
}

// A material the exact method does not prove within a second: eight
// stock lengths, one with a cost, 100 pieces of 13 groups, three different
// pieces a layout, the last stock reported apart.
struct HardMaterial {
  ExactInput input;
  TarvolinProblem problem{};
  TarvolinSettings settings{};
};

HardMaterial Hard() {
  HardMaterial h;
  const StockGroupIn stock[] = {{11581, 0, 15}, {6024, 0, 5},  {4783, 4331, 18}, {5627, 0, 19},
                                {5627, 0, 13},  {4279, 0, 11}, {9067, 0, 14},    {9067, 0, 5}};
  const PartGroupIn parts[] = {{2481, 3, 0},  {3069, 9, 0}, {3462, 8, 0},  {353, 6, 0},
                               {443, 6, 0},   {188, 11, 0}, {188, 9, 3},   {188, 11, 0},
                               {3171, 10, 0}, {2280, 6, 0}, {3745, 11, 0}, {3337, 7, 0},
                               {3337, 3, 0}};
  for (const StockGroupIn& g : stock) {
    h.input.stock.push_back(g);
    h.problem.stockGroups[++h.problem.stockGroupCount] = {g.length, g.cost,
                                                          static_cast<int16_t>(g.quantity)};
  }
  for (const PartGroupIn& g : parts) {
    h.input.parts.push_back(g);
    h.problem.partGroups[++h.problem.partGroupCount] = {g.length, g.mark,
                                                        static_cast<int16_t>(g.quantity)};
  }
  Rules& r = h.input.rules;
  r.endZone = 46;
  r.diffPieces = 3;
  r.prefShort = -3;
  r.reduceLays = 3;
  r.ignoreLast = true;
  TarvolinSettings& s = h.settings;
  s.ignoreLast = 1;
  s.effortLevel = 1;
  s.reduceLayouts = 3;
  s.preferShort = -3;
  s.maxDifferentPieces = 3;
  s.endZone = 46;
  s.iterationMultiplier = 4;
  return h;
}

solver::exact::Plan PlanOf(const ExactInput& in, TarvolinPlan& p) {
  p.stockItemGroup[0] = static_cast<int16_t>(p.stockItemCount);
  p.partItemGroup[0] = static_cast<int16_t>(p.partItemCount);
  return solver::exact::PlanFromCallArrays(in, p.stockItemGroup, p.partItemGroup, p.partItemStock,
                                           p.lastStock);
}

// At its time limit the call ends with the better of the exact method's
// plan and the search's at the set effort: valid, every piece cut, not
// proven, above its bound.
TEST(ExactBehaviour, CallAtTheTimeLimitReturnsTheBetterPlanUnproven) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  HardMaterial h = Hard();
  std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)> context(TarvolinCreateContext(),
                                                                       TarvolinDestroyContext);
  auto search = std::make_unique<TarvolinPlan>();
  ASSERT_EQ(TarvolinSolve(context.get(), &h.settings, &h.problem, nullptr, search.get()), 0);
  h.settings.method = 1;
  h.settings.exactTimeLimitSeconds = 1;
  auto plan = std::make_unique<TarvolinPlan>();
  ASSERT_EQ(TarvolinSolve(context.get(), &h.settings, &h.problem, nullptr, plan.get()), 0);

  EXPECT_EQ(plan->proven, 0);
  EXPECT_GT(plan->exactMs, 0);
  const solver::exact::Plan mine = PlanOf(h.input, *plan);
  ASSERT_EQ(CheckPlan(h.input, mine), "");
  const solver::exact::PlanFigures figures = MeasurePlan(h.input, mine);
  EXPECT_EQ(figures.piecesUncut, 0);
  EXPECT_GT(plan->lowerBound, 0);
  EXPECT_LE(plan->lowerBound, figures.objective);
  EXPECT_LE(ComparePlans(h.input, mine, PlanOf(h.input, *search)), 0);
}

// A clock that reads the real time for the call's start and ten seconds
// later from then on: the call's time limit has passed before the exact
// method begins.
std::atomic<int> clockReads{0};
double JumpingClock() {
  return solver::ClockMs() + (clockReads++ == 0 ? 0.0 : 10000.0);
}

// When the exact method ends past its half of the limit, unproven, the
// search at the set effort still gets half the limit of its own: the call
// returns a plan as good as the search's at that effort.
TEST(ExactBehaviour, SearchAfterTheExactMethodKeepsHalfTheLimit) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  std::vector<HardMaterial> materials{Hard()};
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    HardMaterial m;
    m.input = OrderInstance(seed * 5u + 2u, Rules{});
    m.input.rules.diffPieces = 2;
    m.input.rules.kerf = 300;
    for (const StockGroupIn& g : m.input.stock) {
      m.problem.stockGroups[++m.problem.stockGroupCount] = {g.length, g.cost,
                                                            static_cast<int16_t>(g.quantity)};
    }
    for (const PartGroupIn& g : m.input.parts) {
      m.problem.partGroups[++m.problem.partGroupCount] = {g.length, g.mark,
                                                          static_cast<int16_t>(g.quantity)};
    }
    m.settings.maxDifferentPieces = 2;
    m.settings.kerf = 300;
    m.settings.iterationMultiplier = 1;
    materials.push_back(m);
  }
  for (size_t k = 0; k < materials.size(); ++k) {
    HardMaterial& h = materials[k];
    h.settings.effortLevel = 3;
    std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)> context(TarvolinCreateContext(),
                                                                         TarvolinDestroyContext);
    auto search = std::make_unique<TarvolinPlan>();
    ASSERT_EQ(TarvolinSolve(context.get(), &h.settings, &h.problem, nullptr, search.get()), 0);
    h.settings.method = 1;
    h.settings.exactTimeLimitSeconds = 10;
    clockReads = 0;
    context->state.progress.clock = JumpingClock;
    auto plan = std::make_unique<TarvolinPlan>();
    ASSERT_EQ(TarvolinSolve(context.get(), &h.settings, &h.problem, nullptr, plan.get()), 0);
    const solver::exact::Plan mine = PlanOf(h.input, *plan);
    ASSERT_EQ(CheckPlan(h.input, mine), "") << "material " << k;
    if (plan->proven != 0) continue;  // the exact method was done before the jump
    EXPECT_LE(ComparePlans(h.input, mine, PlanOf(h.input, *search)), 0) << "material " << k;
  }
}

TEST(ExactBehaviour, StubSaysNotAvailable) {
  if (ExactAvailable()) GTEST_SKIP() << "this build has the exact method";
  const ExactResult r = SolveExact(OrderInstance(1, Rules{}));
  EXPECT_EQ(r.status, Status::kNotAvailable);
  EXPECT_EQ(r.message, "exact method not available in this build");
}

}  // namespace
}  // namespace exact_test
