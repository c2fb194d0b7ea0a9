// The driver's runs as a caller sees them through the structured call: the
// stock/cut bundle's bundle and remainder runs in the plan, the bundle's
// limits, how many multiplicities each effort level evaluates (one step of
// the overall progress bar per evaluation), and the layout numbers ordered
// by waste.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "tarvolin/errors.h"
#include "tarvolin/solver.h"

namespace {

struct Group {
  int32_t length;
  int16_t quantity;
};

TarvolinProblem Problem(std::initializer_list<Group> parts, std::initializer_list<Group> stock) {
  TarvolinProblem p{};
  for (const Group& g : parts)
    p.partGroups[++p.partGroupCount] = TarvolinPartGroup{g.length, 0, g.quantity};
  for (const Group& g : stock)
    p.stockGroups[++p.stockGroupCount] = TarvolinStockGroup{g.length, 0, g.quantity};
  return p;
}

TarvolinSettings Settings(int32_t effort = 5, int32_t bundle = 0) {
  TarvolinSettings s{};
  s.effortLevel = effort;
  s.iterationMultiplier = 20;
  s.bundleSize = bundle;
  return s;
}

struct Context {
  void operator()(TarvolinContext* c) const { TarvolinDestroyContext(c); }
};

// The plan is large: kept on the heap.
std::unique_ptr<TarvolinPlan> Solve(const TarvolinSettings& settings,
                                    const TarvolinProblem& problem, int32_t& error,
                                    const TarvolinView* view = nullptr) {
  const std::unique_ptr<TarvolinContext, Context> context{TarvolinCreateContext()};
  auto plan = std::make_unique<TarvolinPlan>();
  error = TarvolinSolve(context.get(), &settings, &problem, view, plan.get());
  return plan;
}

// The lengths of the pieces on each used bar, by bar.
std::map<int, std::vector<int32_t>> PiecesByBar(const TarvolinProblem& problem,
                                                const TarvolinPlan& plan) {
  std::map<int, std::vector<int32_t>> bars;
  for (int p = 1; p <= plan.partItemCount; ++p) {
    if (plan.partItemStock[p] == 0) continue;
    bars[plan.partItemStock[p]].push_back(problem.partGroups[plan.partItemGroup[p]].length);
  }
  for (auto& [bar, pieces] : bars) std::sort(pieces.begin(), pieces.end());
  return bars;
}

// A bundle of 3 over quantities 7 and 2 (bars of 6000, 9 of them): the
// bundle run plans 2 and 0 bundles, two pieces of 2500 on one bar of 3; it
// places both, so the remainder run plans the last 2500 and the two 1000s
// on one of the six bars left.
TEST(DriverRuns, ABundleOfThreeCutsTwoBundlesAndTheRemainderApart) {
  const TarvolinProblem problem = Problem({{2500, 7}, {1000, 2}}, {{6000, 9}});
  int32_t error = 0;
  const auto plan = Solve(Settings(5, 3), problem, error);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(plan->partsCut, 9);
  EXPECT_EQ(plan->stockUsed, 4);
  EXPECT_EQ(plan->layoutCount, 2);
  const auto bars = PiecesByBar(problem, *plan);
  ASSERT_EQ(bars.size(), 4u);
  std::map<int32_t, int> barsOfLayout;
  int bundleBars = 0, remainderBars = 0;
  for (const auto& [bar, pieces] : bars) {
    if (pieces == std::vector<int32_t>{2500, 2500}) {
      ++bundleBars;
      ++barsOfLayout[plan->stockItemLayout[bar]];
    } else if (pieces == std::vector<int32_t>{1000, 1000, 2500}) {
      ++remainderBars;
    }
  }
  EXPECT_EQ(bundleBars, 3);
  EXPECT_EQ(remainderBars, 1);
  EXPECT_EQ(barsOfLayout.size(), 1u);  // the three bars of the bundle share a layout
}

TEST(DriverRuns, ABundleAboveEveryQuantityIsRefused) {
  const TarvolinProblem problem = Problem({{2500, 7}, {1000, 2}}, {{6000, 9}});
  int32_t error = 0;
  Solve(Settings(5, 7), problem, error);
  EXPECT_EQ(error, 0);
  Solve(Settings(5, 8), problem, error);
  EXPECT_EQ(error, TARVOLIN_ERROR_BUNDLE_TOO_LARGE);
}

// The bundle run is kept only when it uses more than half of its bars; the
// given bundle is the only multiplicity, so a discarded run plans nothing.
TEST(DriverRuns, ABundleRunUsingHalfItsBarsIsDiscarded) {
  struct Case {
    int32_t piece;
    int16_t pieces;
    int64_t cut, bars;
  };
  const Case cases[] = {
      {3000, 2, 0, 0},  // one piece of 3000 on a bar of 6000: exactly half
      {3001, 2, 2, 2},  // just over half: both bars of the bundle cut
      {2000, 6, 6, 2},  // three pieces on a bar, twice
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.piece);
    const TarvolinProblem problem = Problem({{c.piece, c.pieces}}, {{6000, 4}});
    int32_t error = 0;
    const auto plan = Solve(Settings(5, 2), problem, error);
    ASSERT_EQ(error, 0);
    EXPECT_EQ(plan->partsCut, c.cut);
    EXPECT_EQ(plan->stockUsed, c.bars);
    EXPECT_EQ(plan->layoutCount, c.bars > 0 ? 1 : 0);
  }
  // Without the bundle the two pieces of 3000 share one bar.
  int32_t error = 0;
  const auto plain = Solve(Settings(5, 0), Problem({{3000, 2}}, {{6000, 4}}), error);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(plain->stockUsed, 1);
}

// Seven pieces of 2000 and two bars in a bundle of 2: the bundle run puts
// three pieces on its one bar, which uses every bar; no remainder run
// follows and the seventh piece stays uncut.
TEST(DriverRuns, ABundleRunUsingEveryBarEndsThePlan) {
  const TarvolinProblem problem = Problem({{2000, 7}}, {{6000, 2}});
  int32_t error = 0;
  const auto plan = Solve(Settings(5, 2), problem, error);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(plan->partsCut, 6);
  EXPECT_EQ(plan->stockUsed, 2);
  EXPECT_EQ(plan->layoutCount, 1);
}

// The overall progress bar: one step per evaluated multiplicity, one
// setting at the end of each level.
struct Positions {
  std::vector<int32_t> set;
};

int32_t Evaluations(const TarvolinSettings& base, const TarvolinProblem& problem, int* levels) {
  Positions log;
  TarvolinView view{};
  view.user = &log;
  view.setMultiPosition = [](void* user, int32_t position) {
    static_cast<Positions*>(user)->set.push_back(position);
  };
  TarvolinSettings s = base;
  s.progressMode = 1;
  int32_t error = 0;
  Solve(s, problem, error, &view);
  EXPECT_EQ(error, 0);
  // The window opens at 0; every later setting is an evaluation's step or
  // a level's end, the last of which reaches 100.
  EXPECT_FALSE(log.set.empty());
  if (log.set.empty()) return -1;
  EXPECT_EQ(log.set.front(), 0);
  *levels = 0;
  for (size_t i = 1; i < log.set.size(); ++i) *levels += log.set[i] == 100 ? 1 : 0;
  return static_cast<int32_t>(log.set.size()) - 1;
}

TEST(DriverRuns, EachEffortLevelEvaluatesItsShareOfMultiplicities) {
  // Multiplicities 6 and 5 bundle only one piece of 2000, not more than
  // half the bar: 4, 3, 2 and 1 remain.
  const TarvolinProblem four = Problem({{2000, 6}, {1500, 4}, {1000, 3}, {500, 2}}, {{6000, 10}});
  // Multiplicity 2 bundles one piece of 3000, exactly half a bar: only 1
  // remains; with 3001 both remain.
  const TarvolinProblem one = Problem({{3000, 2}, {1000, 1}}, {{6000, 10}});
  const TarvolinProblem two = Problem({{3001, 2}, {1000, 1}}, {{6000, 10}});
  // Quantities all 1: multiplicity 1 only.
  const TarvolinProblem single = Problem({{2000, 1}, {1500, 1}, {1000, 1}}, {{6000, 10}});
  struct Case {
    const char* name;
    const TarvolinProblem* problem;
    int32_t effort, bundle;
    int32_t steps;  // evaluations plus level ends
    int32_t lastLevels;
  };
  const Case cases[] = {
      // Level 0 evaluates the first 3 candidates at sub-level 0.
      {"four candidates, effort 0", &four, 0, 0, 3 + 1, 1},
      // Level 1 then evaluates up to 5 at sub-level 1.
      {"four candidates, effort 1", &four, 1, 0, 3 + 1 + 4 + 1, 1},
      {"one candidate, effort 1", &one, 1, 0, 1 + 1 + 1 + 1, 1},
      {"two candidates, effort 1", &two, 1, 0, 2 + 1 + 2 + 1, 1},
      {"quantities all 1, effort 1", &single, 1, 0, 1 + 1 + 1 + 1, 1},
      // A given bundle: one evaluation at the effort level, then the end.
      {"a bundle given", &four, 5, 2, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int levels = 0;
    EXPECT_EQ(Evaluations(Settings(c.effort, c.bundle), *c.problem, &levels), c.steps);
    EXPECT_EQ(levels, c.lastLevels);
  }
}

// Within a stock group the layout with the most waste carries the highest
// number: three pieces that need a bar each leave 500, 1000 and 2000.
TEST(DriverRuns, LayoutNumbersRiseWithWasteWithinAStockGroup) {
  const TarvolinProblem problem = Problem({{5000, 1}, {4000, 1}, {5500, 1}}, {{6000, 3}});
  int32_t error = 0;
  const auto plan = Solve(Settings(), problem, error);
  ASSERT_EQ(error, 0);
  ASSERT_EQ(plan->stockUsed, 3);
  std::map<int32_t, int32_t> layoutOfWaste;
  for (int bar = 1; bar <= plan->stockItemCount; ++bar)
    layoutOfWaste[plan->stockItemWaste[bar]] = plan->stockItemLayout[bar];
  const std::map<int32_t, int32_t> expected{{500, 1}, {1000, 2}, {2000, 3}};
  EXPECT_EQ(layoutOfWaste, expected);
}

}  // namespace
