// The exact method keeps its time: it ends at its time limit, at a stop
// request and at the progress callback's word with a valid plan and says
// that it stopped; a bound reported after a stop still holds.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

#include "enumeration.h"
#include "exact_fixture.h"
#include "recording_view.h"
#include "search_plan.h"
#include "tarvolin/solver.h"

namespace exact_test {
namespace {

using solver::exact::CheckPlan;
using solver::exact::ExactAvailable;
using solver::exact::ExactResult;
using solver::exact::MeasurePlan;
using solver::exact::Phase;
using solver::exact::Progress;
using solver::exact::SolveExact;
using solver::exact::Status;

// 20 order lines of 1500..3100 (5 each), 10 stock lengths 6001..12999 (10
// each), kerf 3.2, end zone 17, at most 2 different pieces a layout, in
// hundredths: the method cannot prove it within a second.
ExactInput SlowMaterial() {
  ExactInput in;
  for (int i = 0; i < 20; ++i) in.parts.push_back({(1500 + (i * 1600 + 9) / 19) * 100, 5, i + 1});
  for (int j = 0; j < 10; ++j) in.stock.push_back({(6001 + (j * 6998 + 4) / 9) * 100, 0, 10});
  in.rules.kerf = 320;
  in.rules.endZone = 1700;
  in.rules.diffPieces = 2;
  return in;
}

constexpr const char* kStopped = "time limit or abort";

TEST(ExactTime, TimeLimitEndsTheSlowMaterialWithAValidPlan) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  ExactInput in = SlowMaterial();
  in.timeLimitMs = 300;
  const ExactResult r = SolveExact(in);
  EXPECT_EQ(r.status, Status::kFeasible);
  EXPECT_FALSE(r.proven);
  EXPECT_EQ(r.message, kStopped);
  ASSERT_EQ(CheckPlan(in, r.plan), "");
  EXPECT_EQ(r.figures.piecesUncut, 0);
  EXPECT_LE(r.lowerBound, r.figures.objective);
}

// The same material under at most 2 pieces a layout, started from its own
// optimal plan: the plan meets the bound, and with the stock length as the
// objective no plan of equal length is better, so the method proves it at
// once instead of listing the dense stock profiles at the bound.
TEST(ExactTime, PlanAtTheBoundIsProvenWithManyStockLengths) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  ExactInput in = SlowMaterial();
  in.rules.diffPieces = 0;
  in.rules.maxPieces = 2;
  in.timeLimitMs = 20000;
  const ExactResult first = SolveExact(in);
  ASSERT_TRUE(first.proven) << first.message;
  in.incumbent = &first.plan;
  const ExactResult again = SolveExact(in);
  ASSERT_EQ(CheckPlan(in, again.plan), "");
  EXPECT_TRUE(again.proven) << again.message;
  EXPECT_DOUBLE_EQ(again.figures.objective, first.figures.objective);
  EXPECT_DOUBLE_EQ(again.lowerBound, first.lowerBound);
}

std::unique_ptr<TarvolinProblem> ProblemOf(const ExactInput& in) {
  auto problem = std::make_unique<TarvolinProblem>();
  problem->stockGroupCount = static_cast<int32_t>(in.stock.size());
  for (size_t g = 0; g < in.stock.size(); ++g) {
    problem->stockGroups[g + 1] = {in.stock[g].length, in.stock[g].cost,
                                   static_cast<int16_t>(in.stock[g].quantity)};
  }
  problem->partGroupCount = static_cast<int32_t>(in.parts.size());
  for (size_t g = 0; g < in.parts.size(); ++g) {
    problem->partGroups[g + 1] = {in.parts[g].length, in.parts[g].mark,
                                  static_cast<int16_t>(in.parts[g].quantity)};
  }
  return problem;
}

// The struct call's plan in the exact method's terms.
solver::exact::Plan PlanOf(const ExactInput& in, TarvolinPlan& plan) {
  plan.stockItemGroup[0] = static_cast<int16_t>(plan.stockItemCount);
  plan.partItemGroup[0] = static_cast<int16_t>(plan.partItemCount);
  return solver::exact::PlanFromCallArrays(in, plan.stockItemGroup, plan.partItemGroup,
                                           plan.partItemStock, plan.lastStock);
}

using ContextPtr = std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)>;

// The same material through the struct call with the exact method at
// effort 0 and a limit of one second: a valid plan, not proven, with its
// bound.
TEST(ExactTime, StructCallOnTheSlowMaterialEndsUnproven) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  const ExactInput in = SlowMaterial();
  const auto problem = ProblemOf(in);
  TarvolinSettings s{};
  s.kerf = 320;
  s.endZone = 1700;
  s.maxDifferentPieces = 2;
  s.iterationMultiplier = 1;
  s.method = 1;
  s.exactTimeLimitSeconds = 1;
  ContextPtr context(TarvolinCreateContext(), TarvolinDestroyContext);
  auto plan = std::make_unique<TarvolinPlan>();
  ASSERT_EQ(TarvolinSolve(context.get(), &s, problem.get(), nullptr, plan.get()), 0);
  EXPECT_EQ(plan->proven, 0);
  const solver::exact::Plan mine = PlanOf(in, *plan);
  ASSERT_EQ(CheckPlan(in, mine), "");
  EXPECT_EQ(MeasurePlan(in, mine).piecesUncut, 0);
  EXPECT_GT(plan->lowerBound, 0);
  EXPECT_LE(plan->lowerBound, MeasurePlan(in, mine).objective);
}

// While the exact method works, the progress window shows the time since
// the call began and lets window messages run (so that Esc is heard): the
// search at effort 0 before it pumps once or twice, the exact method every
// 50 ms of its half second.
TEST(ExactTime, ProgressWindowFollowsTheExactMethod) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  const ExactInput in = SlowMaterial();
  const auto problem = ProblemOf(in);
  TarvolinSettings s{};
  s.kerf = 320;
  s.endZone = 1700;
  s.maxDifferentPieces = 2;
  s.iterationMultiplier = 1;
  s.method = 1;
  s.exactTimeLimitSeconds = 1;
  s.progressMode = 1;
  solver_test::RecordingView view;
  const TarvolinView c = view.AsTarvolinView();
  ContextPtr context(TarvolinCreateContext(), TarvolinDestroyContext);
  auto plan = std::make_unique<TarvolinPlan>();
  ASSERT_EQ(TarvolinSolve(context.get(), &s, problem.get(), &c, plan.get()), 0);
  EXPECT_GE(view.pumps, 4);
  EXPECT_NE(view.timeText, "0.0 sec");
  EXPECT_EQ(view.timeText.substr(view.timeText.size() - 4), " sec");
  EXPECT_EQ(view.opens, 1);
  EXPECT_EQ(view.closes, 1);
}

// A stop asked by the progress callback in each phase: the method ends
// with a valid plan (its first one at the latest) and says it stopped.
TEST(ExactTime, ProgressCallbackStopsEveryPhase) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  for (const Phase at : {Phase::kFirstPlan, Phase::kProfiles}) {
    ExactInput in = SlowMaterial();
    in.progress = [at](const Progress& p) { return p.phase == at; };
    const ExactResult r = SolveExact(in);
    EXPECT_EQ(r.status, Status::kFeasible) << static_cast<int>(at);
    EXPECT_EQ(r.message, kStopped) << static_cast<int>(at);
    ASSERT_EQ(CheckPlan(in, r.plan), "");
    EXPECT_EQ(r.figures.piecesUncut, 0);
  }
}

// The abort flag raised while the profile search runs (here from the
// callback, as another thread would) ends the method likewise.
TEST(ExactTime, AbortFlagDuringTheProfileSearch) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  ExactInput in = SlowMaterial();
  std::atomic<bool> abort{false};
  in.abort = &abort;
  in.progressIntervalMs = 1;
  int reports = 0;
  in.progress = [&](const Progress& p) {
    if (p.phase == Phase::kProfiles && ++reports == 3) abort = true;
    return false;
  };
  const ExactResult r = SolveExact(in);
  EXPECT_EQ(r.message, kStopped);
  EXPECT_FALSE(r.proven);
  ASSERT_EQ(CheckPlan(in, r.plan), "");
  EXPECT_LE(r.lowerBound, r.figures.objective);
}

// What the callback sees: phases in their order, a plan from the end of
// the first phase on, and a bound never above the best plan.
TEST(ExactTime, ProgressFollowsThePhases) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  ExactInput in = OrderInstance(7, Rules{});
  in.rules.reduceLays = 2;
  std::vector<Progress> seen;
  in.progress = [&](const Progress& p) {
    seen.push_back(p);
    return false;
  };
  const ExactResult r = SolveExact(in);
  ASSERT_TRUE(r.proven) << r.message;
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front().phase, Phase::kFirstPlan);
  EXPECT_FALSE(seen.front().hasPlan);
  EXPECT_EQ(seen.back().phase, Phase::kFewerLayouts);
  for (size_t k = 1; k < seen.size(); ++k) {
    EXPECT_GE(static_cast<int>(seen[k].phase), static_cast<int>(seen[k - 1].phase));
    EXPECT_GE(seen[k].elapsedMs, seen[k - 1].elapsedMs);
    if (seen[k].phase == Phase::kFirstPlan) continue;
    EXPECT_TRUE(seen[k].hasPlan);
    EXPECT_GE(seen[k].bestObjective, r.figures.objective - 1e-6);
    EXPECT_LE(seen[k].lowerBound, seen[k].bestObjective + 1e-6);
    EXPECT_NEAR(seen[k].cutLength + seen[k].uncutLength,
                static_cast<double>(r.figures.lengthCut + r.figures.lengthUncut), 1e-6);
  }
  EXPECT_NEAR(seen.back().lowerBound, r.lowerBound, 1e-6 * std::max(1.0, r.lowerBound));
}

// Stopped inside the profile search after a few profiles: the bound it
// reports (the open profiles' least bound included) never exceeds the
// optimum found by enumeration.
TEST(ExactTime, BoundAfterAStopInTheProfileSearchHolds) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  Rules withLast;
  withLast.ignoreLast = true;
  Rules diff;
  diff.diffPieces = 2;
  diff.kerf = 20;
  int stoppedInside = 0;
  for (const Rules& rules : {Rules{}, withLast, diff}) {
    for (uint32_t seed = 1; seed <= 25; ++seed) {
      for (const int32_t limit : {1, 2}) {
        ExactInput in = TightInstance(seed * 131u + 7u, rules);
        in.profileLimit = limit;
        const ExactResult r = SolveExact(in);
        ASSERT_EQ(CheckPlan(in, r.plan), "") << "seed " << seed;
        const Rating truth = BestByEnumeration(in);
        if (RatePlan(in, r.plan).uncut != truth.uncut) continue;  // the bound is for equal cuts
        EXPECT_LE(r.lowerBound, truth.objective + 1e-6 * std::max(1.0, truth.objective))
            << "seed " << seed << " limit " << limit;
        if (r.message == "stock profile limit") ++stoppedInside;
      }
    }
  }
  EXPECT_GE(stoppedInside, 5);  // the limit did cut the profile search short
}

// The lower bound alone, with the last stock reported apart: a whole
// number of length units, no higher than the exact plan; and the same
// bound beside the search's plan in the struct call (method 0 with the
// bound asked for), no higher than that plan.
TEST(ExactTime, LowerBoundAloneIsAWholeNumber) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  Rules rules;
  rules.ignoreLast = true;
  rules.kerf = 300;
  int withBound = 0;
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    const ExactInput in = OrderInstance(seed * 13u + 1u, rules);
    const solver::exact::BoundResult b = solver::exact::ExactLowerBound(in);
    const ExactResult exact = SolveExact(in);
    if (exact.figures.piecesUncut > 0) {
      // Short stock: no bound for plans that cut everything.
      EXPECT_NE(b.status, Status::kOptimal) << "seed " << seed;
      EXPECT_EQ(b.lowerBound, 0) << "seed " << seed;
      continue;
    }
    ++withBound;
    ASSERT_EQ(b.status, Status::kOptimal) << b.message;
    EXPECT_EQ(b.lowerBound, std::floor(b.lowerBound)) << "seed " << seed;
    EXPECT_LE(b.lowerBound, exact.figures.objective + 1e-6) << "seed " << seed;

    const auto problem = ProblemOf(in);
    TarvolinSettings s{};
    s.ignoreLast = 1;
    s.kerf = rules.kerf;
    s.effortLevel = 1;
    s.iterationMultiplier = 1;
    s.computeBound = 1;
    ContextPtr context(TarvolinCreateContext(), TarvolinDestroyContext);
    auto plan = std::make_unique<TarvolinPlan>();
    ASSERT_EQ(TarvolinSolve(context.get(), &s, problem.get(), nullptr, plan.get()), 0);
    EXPECT_EQ(plan->lowerBound, b.lowerBound) << "seed " << seed;
    const solver::exact::Plan search = PlanOf(in, *plan);
    ASSERT_EQ(CheckPlan(in, search), "");
    if (MeasurePlan(in, search).piecesUncut == 0) {
      EXPECT_LE(plan->lowerBound, MeasurePlan(in, search).objective + 1e-6) << "seed " << seed;
    }
  }
  EXPECT_GE(withBound, 4);
}

}  // namespace
}  // namespace exact_test
