#include "solver_call.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "tarvolin/cut_optimize.h"
#include "tarvolin/errors.h"

namespace tarvolin {
namespace {

// Two pieces of 1000 and three of 2000 against four bars of 6000.
MaterialPlan SmallMaterial() {
  MaterialPlan plan;
  plan.partGroupCount = 2;
  plan.partGroups[1] = {1000, 1, 2, "m", "A x", ""};
  plan.partGroups[2] = {2000, 2, 3, "", "A x", ""};
  plan.stockGroupCount = 1;
  plan.stockGroups[1] = {6000, 250, 4, "A x", ""};
  return plan;
}

// The batch's call gives exactly what the flat call gives for the same input.
TEST(CallSolverTest, AgreesWithTheFlatCall) {
  OptimizerSettings o;
  o.ignoreLastStock = 0;
  const MaterialPlan material = SmallMaterial();
  SolverResults r;
  const SolverContext context{TarvolinCreateContext()};
  const TarvolinSettings settings = BuildSolverSettings(o, 0, false);
  ASSERT_EQ(CallSolver(context.get(), nullptr, settings, BuildSolverProblem(material), r), 0);
  EXPECT_EQ(r.partsCut, 5);
  EXPECT_EQ(r.partItemCount, 5);
  EXPECT_EQ(r.stockItemCount, 4);

  int32_t error = 0, boxes = 0;
  const int32_t stockLth[] = {1, 6000, 555}, stockCst[] = {1, 250, 555};
  const int16_t stockQty[] = {1, 4, 555};
  const int32_t partLth[] = {2, 1000, 2000, 777}, partMrk[] = {2, 1, 2, 777};
  const int16_t partQty[] = {2, 2, 3, 777};
  int32_t f[17] = {};
  int16_t sGr[102] = {}, pGr[102] = {}, pSt[102] = {}, sLay[102] = {}, sPat[102] = {},
          sParts[102] = {};
  int32_t sWaste[102] = {};
  CutOptimize(&error, &boxes, o.optimizeCost, o.ignoreLastStock, o.effortLevel, o.reduceLayouts,
              o.stockLengthPreference, o.maxDifferentStocks, o.maxDifferentPieces,
              o.minReusableLength, o.kerf, o.endZone, o.gripLength, o.timeLimitSeconds,
              o.iterationMultiplier, o.layoutsByMark, 0, o.maxPiecesPerLayout, stockLth, stockCst,
              stockQty, partLth, partMrk, partQty, &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6],
              &f[7], &f[8], &f[9], &f[10], &f[11], &f[12], &f[13], &f[14], &f[15], &f[16], sGr, pGr,
              pSt, sLay, sPat, sParts, sWaste);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(r.criterion, f[0]);
  EXPECT_EQ(r.utilization, f[1]);
  EXPECT_EQ(r.stockUsed, f[2]);
  EXPECT_EQ(r.wasteSum, f[5]);
  EXPECT_EQ(r.layoutCount, f[13]);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(r.partItemStock[i], pSt[i]) << "piece " << i;
    EXPECT_EQ(r.partItemGroup[i], pGr[i]) << "piece " << i;
  }
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(r.stockItemLayout[i], sLay[i]) << "bar " << i;
    EXPECT_EQ(r.stockItemWaste[i], sWaste[i]) << "bar " << i;
  }
  // Nothing is left in the count slot or behind the last item.
  EXPECT_EQ(r.partItemStock[0], 0);
  EXPECT_EQ(r.partItemStock[6], 0);
}

TEST(CallSolverTest, AMaterialWithoutStockReturnsTheSolversError) {
  MaterialPlan material = SmallMaterial();
  material.stockGroupCount = 0;
  SolverResults r;
  const SolverContext context{TarvolinCreateContext()};
  const int32_t error = CallSolver(context.get(), nullptr, BuildSolverSettings({}, 0, false),
                                   BuildSolverProblem(material), r);
  EXPECT_GT(error, 0);
  EXPECT_EQ(r.partsCut, 0);
}

// Whether this build has the exact method.
bool ExactMethodBuilt() {
  MaterialPlan material = SmallMaterial();
  OptimizerSettings o;
  o.method = kMethodExact;
  SolverResults r;
  const SolverContext context{TarvolinCreateContext()};
  return CallSolver(context.get(), nullptr, BuildSolverSettings(o, 0, false),
                    BuildSolverProblem(material), r) != TARVOLIN_ERROR_EXACT_NOT_AVAILABLE;
}

MaterialPlan Material(std::initializer_list<std::pair<int32_t, int16_t>> parts,
                      std::initializer_list<std::pair<int32_t, int16_t>> stock) {
  MaterialPlan plan;
  for (const auto& [length, quantity] : parts) {
    const int g = ++plan.partGroupCount;
    plan.partGroups[g] = {length, 0, quantity, "", "B y", ""};
  }
  for (const auto& [length, quantity] : stock)
    plan.stockGroups[++plan.stockGroupCount] = {length, 0, quantity, "B y", ""};
  return plan;
}

bool SamePlan(const SolverResults& a, const SolverResults& b) {
  return a.partItemStock == b.partItemStock && a.stockItemLayout == b.stockItemLayout &&
         a.stockItemPattern == b.stockItemPattern && a.lastStock == b.lastStock &&
         a.exactMethod == b.exactMethod;
}

// The search's plan, and what the check by the exact method makes of it.
TEST(CutMoreByExactMethodTest, TakesTheExactPlanOnlyWhenItCutsMore) {
  const bool exactBuilt = ExactMethodBuilt();
  struct Case {
    const char* name;
    MaterialPlan material;
    void (*change)(OptimizerSettings&);
    bool taken;  // with the exact method built
  };
  const Case cases[] = {
      // With one stock length the search keeps to 3500 and leaves a 700;
      // one bar of 5000 holds all.
      {"the search leaves a piece one bar could hold",
       Material({{700, 2}, {1400, 2}}, {{3500, 1}, {5000, 1}, {6000, 1}, {10500, 1}}),
       [](OptimizerSettings&) {}, true},
      {"a plan that cuts everything", SmallMaterial(), [](OptimizerSettings&) {}, false},
      {"short stock: nothing more fits", Material({{2000, 9}}, {{6000, 1}}),
       [](OptimizerSettings&) {}, false},
      {"a stock/cut bundle, which the exact method does not cut",
       Material({{700, 2}, {1400, 2}}, {{3500, 1}, {5000, 1}, {6000, 1}, {10500, 1}}),
       [](OptimizerSettings& o) { o.bundleSize = 2; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OptimizerSettings o;
    o.ignoreLastStock = 0;
    o.maxDifferentStocks = 1;
    c.change(o);
    const TarvolinSettings settings = BuildSolverSettings(o, 0, false);
    const TarvolinProblem problem = BuildSolverProblem(c.material);
    const SolverContext context{TarvolinCreateContext()};
    SolverResults search;
    ASSERT_EQ(CallSolver(context.get(), nullptr, settings, problem, search), 0);
    SolverResults r = search;
    const bool taken = CutMoreByExactMethod(context.get(), nullptr, settings, problem, r);
    EXPECT_EQ(taken, c.taken && exactBuilt);
    if (taken) {
      EXPECT_GT(CutLength(problem, r), CutLength(problem, search));
      EXPECT_TRUE(r.exactMethod);
    } else {
      EXPECT_TRUE(SamePlan(r, search));
    }
  }
}

// A run of the exact method is never checked again.
TEST(CutMoreByExactMethodTest, LeavesAnExactPlanAlone) {
  OptimizerSettings o;
  o.method = kMethodExact;
  const MaterialPlan material = Material({{2000, 9}}, {{6000, 1}});
  SolverResults r;
  r.partItemCount = 9;  // all uncut
  const SolverResults before = r;
  const SolverContext context{TarvolinCreateContext()};
  EXPECT_FALSE(CutMoreByExactMethod(context.get(), nullptr, BuildSolverSettings(o, 0, false),
                                    BuildSolverProblem(material), r));
  EXPECT_TRUE(SamePlan(r, before));
}

// The planner of large materials on a material the exact method can take
// today: every piece cut, the plan in per-item tables, the bound met. A
// build without the exact method says so.
TEST(SolveLargeMaterialTest, PlansTheMaterialByTheExactMethod) {
  OptimizerSettings o;
  o.ignoreLastStock = 0;
  o.method = kMethodExact;
  SolverResults r;
  const LargeOutcome outcome = SolveLargeMaterial(
      SmallMaterial(), o, [](const LargeProgress&) { return false; }, r);
  if (outcome.error == TARVOLIN_ERROR_EXACT_NOT_AVAILABLE) GTEST_SKIP() << outcome.message;
  ASSERT_EQ(outcome.error, 0) << outcome.message;
  // 2 x 1000 + 3 x 2000 = 8000 fit two bars of 6000 and no fewer.
  EXPECT_EQ(r.partsCut, 5);
  EXPECT_EQ(r.stockUsed, 2);
  EXPECT_EQ(r.lengthUsed, 12000);
  EXPECT_EQ(r.wasteSum, 4000);
  EXPECT_EQ(r.partItemCount, 5);
  EXPECT_EQ(r.stockItemCount, 4);
  for (int piece = 1; piece <= 5; ++piece) EXPECT_GE(r.partItemStock[piece], 1) << piece;
  EXPECT_TRUE(r.proven);
  EXPECT_EQ(r.lowerBound, 12000);
}

// A stop asked at once still gives a plan.
TEST(SolveLargeMaterialTest, AStopAskedAtOnceStillGivesAPlan) {
  OptimizerSettings o;
  o.method = kMethodExact;
  SolverResults r;
  const LargeOutcome outcome = SolveLargeMaterial(
      SmallMaterial(), o, [](const LargeProgress&) { return true; }, r);
  if (outcome.error == TARVOLIN_ERROR_EXACT_NOT_AVAILABLE) GTEST_SKIP() << outcome.message;
  ASSERT_EQ(outcome.error, 0) << outcome.message;
  EXPECT_EQ(r.partsCut + r.lastParts, 5);
}

}  // namespace
}  // namespace tarvolin
