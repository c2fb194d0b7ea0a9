// The driver's control flow over a scripted layout search: which runs it
// makes with which demand, how it keeps the best plan and when it stops.
// The search here is a first-fit stand-in, so the flow is seen apart from
// the search's own choices.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "consolidation.h"
#include "driver.h"
#include "driver_fixture.h"
#include "search.h"
#include "solver_services.h"
#include "solver_state.h"

namespace solver {
namespace {

struct SeenRun {
  int k = 0;
  int runKind = 0;
  int subLevel = 0;
  int32_t pieceCount = 0;
  int32_t stockCount = 0;
  int32_t partQty[kPartGroupSlots] = {};
  bool fixed = false;
};

struct Script {
  std::vector<SeenRun> runs;
  // Adjusts the record of a finished run (index = run number of the call).
  std::function<void(RunRecord&, const SeenRun&, size_t)> adjust;
};

Script g_script;

void FirstFit(SolverState& st) {
  RunTables& r = st.run;
  int32_t left[kItemSlots] = {};
  for (int32_t i = 1; i <= r.initialStockCount; ++i) {
    const int16_t bar = r.initialStockOrder[i];
    left[bar] = r.stockGroupLength[r.stockGroup[bar]];
  }
  for (int32_t p = 1; p <= r.pieceCount; ++p) {
    const int32_t need = r.partGroupLength[r.pieceGroup[p]];
    for (int32_t i = 1; i <= r.initialStockCount; ++i) {
      const int16_t bar = r.initialStockOrder[i];
      if (left[bar] >= need) {
        left[bar] -= need;
        r.stockOfPiece[p] = bar;
        break;
      }
    }
  }
}

}  // namespace

void LayoutSearch(SolverState& st, int k) {
  RunTables& r = st.run;
  SeenRun seen;
  seen.k = k;
  seen.runKind = r.runKind;
  seen.subLevel = r.subLevel;
  seen.pieceCount = r.pieceCount;
  seen.stockCount = r.stockCount;
  for (int g = 1; g <= r.partGroupCount; ++g) seen.partQty[g] = r.partGroupQty[g];
  seen.fixed = r.fixed.present;

  FirstFit(st);
  const SolverSettings& se = st.settings;
  for (int g = 1; g <= r.partGroupCount; ++g) r.partGroupLength[g] -= se.kerf;
  for (int g = 1; g <= r.stockGroupCount; ++g) r.stockGroupLength[g] -= se.kerf - se.endZone;
  r.gripLength = se.gripLength;

  LayoutPlan plan = RunLayoutPlan(st, 0);
  NumberLayouts(plan, true, false);
  CheckLayouts(plan, r.check);
  GroupBarsByLayout(plan);
  TidyPieceBars(plan, false);
  NumberLayouts(plan, true, false);
  CheckLayouts(plan, r.check);
  FillSummary(r.current, plan, nullptr);
  r.layoutCount = plan.layoutCount;
  r.layoutCuts = plan.layoutCuts;
  r.current.criterion = r.current.utilization;
  r.constructionCount = 1;
  if (g_script.adjust) g_script.adjust(r.current, seen, g_script.runs.size());
  g_script.runs.push_back(seen);
}

namespace {

using testing::MakeProblem;
using testing::PartGroupSpec;
using testing::StockGroupSpec;

std::unique_ptr<SolverState> Prepared(const std::vector<PartGroupSpec>& parts,
                                      const std::vector<StockGroupSpec>& stocks) {
  g_script = Script{};
  auto st = MakeProblem(parts, stocks);
  st->progress.callStartMs = NowMs(*st);
  return st;
}

int CountEvaluated(const DriverTables& d, int s) {
  int n = 0;
  for (int e = 1; e <= d.candidateCount; ++e) n += d.candidates[e].criterion[s] >= 0;
  return n;
}

TEST(DriverFlow, BundleOfThreeSplitsDemandAndMapsCopies) {
  auto st = Prepared({{2500, 7}, {1000, 2}}, {{6000, 12}});
  st->settings.bundle = 3;
  st->settings.effortLevel = 5;
  RunOptimizationDriver(*st);
  ASSERT_EQ(st->error.number, 0);

  ASSERT_EQ(g_script.runs.size(), 2u);  // exactly one candidate
  const SeenRun& bundle = g_script.runs[0];
  EXPECT_EQ(bundle.k, 3);
  EXPECT_EQ(bundle.runKind, kRunBundleWithRemainder);
  EXPECT_EQ(bundle.subLevel, 5);
  EXPECT_EQ(bundle.partQty[1], 2);
  EXPECT_EQ(bundle.partQty[2], 0);
  EXPECT_EQ(bundle.stockCount, 4);
  EXPECT_FALSE(bundle.fixed);
  const SeenRun& rest = g_script.runs[1];
  EXPECT_EQ(rest.k, 1);
  EXPECT_EQ(rest.runKind, kRunRemainder);
  EXPECT_EQ(rest.partQty[1], 1);
  EXPECT_EQ(rest.partQty[2], 2);
  EXPECT_EQ(rest.stockCount, 9);
  EXPECT_TRUE(rest.fixed);

  const DriverTables& d = st->driver;
  EXPECT_EQ(d.bestMultiplicity, 3);
  // Bundle bar (2 x 2500) cut on bars 1..3, the rest (2500 + 2 x 1000) on bar 4.
  const int16_t bars[] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 4};
  for (int p = 1; p <= 9; ++p) EXPECT_EQ(d.resultStockOfPiece[p], bars[p]) << "piece " << p;
  const int32_t layouts[] = {0, 1, 1, 1, 2};
  for (int s = 1; s <= 4; ++s) EXPECT_EQ(d.resultBarLayout[s], layouts[s]) << "bar " << s;
  for (int s = 5; s <= 12; ++s) EXPECT_EQ(d.resultBarLayout[s], 0);
  EXPECT_EQ(d.result.bars, 4);
  EXPECT_EQ(d.result.parts, 9);
  EXPECT_EQ(d.result.length, 24000);
  EXPECT_EQ(d.result.waste, 3 * 1000 + 1500);
  EXPECT_EQ(d.result.layouts, 2);
  EXPECT_EQ(d.result.layoutCuts, 5);
  EXPECT_EQ(d.resultBarParts[1], 2);
  EXPECT_EQ(d.resultBarParts[4], 3);
  EXPECT_EQ(d.resultBarWaste[4], 1500);
  EXPECT_EQ(d.resultBarWaste[5], 0);
}

TEST(DriverFlow, BundleRunPlacingEverythingNeedsNoRemainderRun) {
  auto st = Prepared({{2500, 6}}, {{6000, 12}});
  st->settings.bundle = 3;
  RunOptimizationDriver(*st);
  ASSERT_EQ(st->error.number, 0);
  ASSERT_EQ(g_script.runs.size(), 1u);
  EXPECT_EQ(g_script.runs[0].runKind, kRunBundleNoRemainder);
  const DriverTables& d = st->driver;
  EXPECT_EQ(d.result.bars, 3);
  EXPECT_EQ(d.result.parts, 6);
  EXPECT_EQ(d.bestTen[1].stocks, 3);
  EXPECT_EQ(d.bestTen[1].parts, 6);
}

TEST(DriverFlow, WeakBundleRunIsDiscardedWithoutRemainderRun) {
  auto st = Prepared({{2500, 7}, {1000, 2}}, {{6000, 12}});
  st->settings.bundle = 3;
  g_script.adjust = [](RunRecord& rec, const SeenRun& run, size_t) {
    if (run.k >= 2) rec.utilization = 0.5;
  };
  RunOptimizationDriver(*st);
  EXPECT_EQ(st->error.number, 0);
  EXPECT_EQ(g_script.runs.size(), 1u);
  const DriverTables& d = st->driver;
  EXPECT_EQ(d.candidates[1].criterion[0], kNotEvaluated);
  EXPECT_EQ(d.bestCriterion, 0.0);
  EXPECT_EQ(d.result.bars, 0);
  EXPECT_EQ(d.bestTenCount, 0);
}

TEST(DriverFlow, EffortZeroEvaluatesAtMostThreeMultiplicitiesAtSubLevelZero) {
  auto st = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
  RunOptimizationDriver(*st);
  ASSERT_EQ(st->error.number, 0);
  const DriverTables& d = st->driver;
  ASSERT_GT(d.candidateCount, 3);
  EXPECT_EQ(CountEvaluated(d, 0), 3);
  for (int e = 1; e <= 3; ++e) EXPECT_GE(d.candidates[e].criterion[0], 0) << "entry " << e;
  for (const SeenRun& run : g_script.runs) EXPECT_EQ(run.subLevel, 0);
}

TEST(DriverFlow, QuantitiesOfOneRunOnlyThePlainProblem) {
  auto st = Prepared({{2000, 1}, {1500, 1}, {1000, 1}}, {{6000, 5}});
  st->settings.effortLevel = 3;
  RunOptimizationDriver(*st);
  ASSERT_EQ(st->error.number, 0);
  ASSERT_FALSE(g_script.runs.empty());
  for (const SeenRun& run : g_script.runs) {
    EXPECT_EQ(run.k, 1);
    EXPECT_EQ(run.runKind, kRunPlain);
  }
  // Evaluated once per sub-level 0..3 that the levels reach.
  EXPECT_EQ(g_script.runs.size(), 4u);
  EXPECT_EQ(st->driver.result.parts, 3);
}

TEST(DriverFlow, EqualCriterionKeepsTheFirstPlan) {
  auto st = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
  st->settings.effortLevel = 2;
  g_script.adjust = [](RunRecord& rec, const SeenRun&, size_t) { rec.criterion = 0.8; };
  RunOptimizationDriver(*st);
  ASSERT_EQ(st->error.number, 0);
  const DriverTables& d = st->driver;
  EXPECT_EQ(d.bestMultiplicity, d.candidates[1].multiplicity);
  EXPECT_EQ(d.bestCriterion, 0.8);
}

// At effort 0 and 1 every level evaluates its candidates in table order,
// so the last one evaluated is not the first: a tie must leave the first
// one the best (at higher levels the sorted order brings the first
// candidate back last, which would hide a tie that takes over).
TEST(DriverFlow, EqualCriterionKeepsTheFirstEvaluatedWhenOthersFollow) {
  for (int32_t effort : {0, 1}) {
    SCOPED_TRACE(effort);
    auto st = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
    st->settings.effortLevel = effort;
    g_script.adjust = [](RunRecord& rec, const SeenRun&, size_t) { rec.criterion = 0.8; };
    RunOptimizationDriver(*st);
    ASSERT_EQ(st->error.number, 0);
    const DriverTables& d = st->driver;
    const int last = std::min(effort == 0 ? 3 : 5, d.candidateCount);
    ASSERT_GE(last, 2);
    ASSERT_NE(d.candidates[1].multiplicity, d.candidates[last].multiplicity);
    EXPECT_EQ(d.bestMultiplicity, d.candidates[1].multiplicity);
    EXPECT_EQ(d.bestCriterion, 0.8);
  }
}

TEST(DriverFlow, BetterLaterPlanTakesOver) {
  auto st = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
  double latest = 0;
  g_script.adjust = [&latest](RunRecord& rec, const SeenRun&, size_t index) {
    rec.criterion = latest = 0.5 + 0.01 * static_cast<double>(index);
  };
  RunOptimizationDriver(*st);
  ASSERT_EQ(st->error.number, 0);
  const DriverTables& d = st->driver;
  EXPECT_EQ(d.bestCriterion, latest);
  EXPECT_EQ(d.result.criterion, latest);
  EXPECT_EQ(d.result.parts + d.result.lastParts, st->problem.partCount);
}

TEST(DriverFlow, TargetEqualToFirstPlanStopsAfterIt) {
  auto probe = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
  probe->settings.effortLevel = 2;
  RunOptimizationDriver(*probe);
  ASSERT_GE(probe->driver.bestTenCount, 1);
  const BestTenEntry first = probe->driver.bestTen[1];  // earliest after the final sort
  const size_t allRuns = g_script.runs.size();

  auto st = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
  st->settings.effortLevel = 2;
  st->target = TargetSolution{first.utilization, first.stocks,  first.parts,
                              first.cost,        first.layouts, first.layoutCuts};
  RunOptimizationDriver(*st);
  ASSERT_EQ(st->error.number, 0);
  EXPECT_TRUE(st->driver.targetReached);
  EXPECT_EQ(CountEvaluated(st->driver, 0), 1);
  EXPECT_LT(g_script.runs.size(), allRuns);
  EXPECT_EQ(st->driver.result.parts, first.parts);
}

double g_fakeNow = 0;
double SteppingClock() {
  return g_fakeNow += 400;
}

TEST(DriverFlow, TimeLimitStopsAfterTheEvaluationThatEndsPastIt) {
  auto st = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
  st->progress.clock = SteppingClock;
  st->progress.callStartMs = NowMs(*st);
  st->settings.effortLevel = 4;
  st->settings.timeLimitMs = 1000;
  RunOptimizationDriver(*st);
  ASSERT_EQ(st->error.number, 0);
  EXPECT_EQ(CountEvaluated(st->driver, 0), 1);
  EXPECT_GT(st->driver.result.parts, 0);
}

TEST(DriverFlow, EscStopsOnlyWhenOffered) {
  auto st = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
  st->progress.abort = true;
  st->settings.escEnabled = true;
  RunOptimizationDriver(*st);
  EXPECT_EQ(CountEvaluated(st->driver, 0), 1);

  auto quiet = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
  quiet->progress.abort = true;
  quiet->settings.escEnabled = false;
  RunOptimizationDriver(*quiet);
  EXPECT_EQ(CountEvaluated(quiet->driver, 0), 3);
}

TEST(DriverFlow, RunErrorEndsTheDriver) {
  auto st = Prepared({{2000, 6}, {1500, 6}, {1000, 6}, {500, 6}}, {{6000, 20}});
  st->settings.effortLevel = 3;
  SolverState* raw = st.get();
  g_script.adjust = [raw](RunRecord&, const SeenRun&, size_t) { raw->run.check[5] = 1; };
  RunOptimizationDriver(*st);
  EXPECT_EQ(st->error.number, 105);
  EXPECT_EQ(g_script.runs.size(), 1u);
}

}  // namespace
}  // namespace solver
