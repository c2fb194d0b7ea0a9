// The exact method under the rules on pieces per layout, and its layout
// reduction: optima worked out by hand from the rules.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "enumeration.h"
#include "exact_fixture.h"
#if TARVOLIN_HAVE_EXACT
#include "integer.h"
#include "master.h"
#endif
#include "method_run.h"
#include "pricing.h"
#include "search_plan.h"

namespace exact_test {
namespace {

using solver::exact::CheckPlan;
using solver::exact::Counts;
using solver::exact::ExactAvailable;
using solver::exact::ExactResult;
using solver::exact::MeasurePlan;
using solver::exact::PriceBestPattern;
using solver::exact::PricingResult;
using solver::exact::PricingTask;
using solver::exact::RunCall;
using solver::exact::SearchOutcome;
using solver::exact::SolveExact;
using solver::exact::Status;

// A generous limit: the tests assert plans, never times.
constexpr int32_t kLimitMs = 60000;

// Ten pieces each of 600, 300 and 100 on bars of 1000 (no kerf, no end
// zone): 10,000 of pieces, so never fewer than 10 bars.
ExactInput ThreeLengths(const Rules& rules) {
  ExactInput in;
  in.rules = rules;
  in.stock = {{1000, 0, 20}};
  in.parts = {{600, 10, 1}, {300, 10, 2}, {100, 10, 3}};
  in.timeLimitMs = kLimitMs;
  return in;
}

// The optima, by hand:
// - no rule, 3 pieces or 3 different pieces a bar: {600, 300, 100} fills a
//   bar exactly, 10 bars;
// - 2 pieces a bar: 30 pieces need 15 bars, and {600, 300} x 10 with
//   {100, 100} x 5 has 15;
// - 1 different piece a bar: 600s one a bar (10 bars), 300s three a bar
//   (4 bars), 100s ten a bar (1 bar): 15;
// - 2 different pieces a bar: 10 bars would all have to be full, and a full
//   bar with a 600 is {600, 100 x 4}: 40 pieces of 100 for ten such bars,
//   so at least 11; {600, 100 x 4} x 2, {600, 300} x 8 and
//   {300, 300, 100, 100} make 11.
TEST(ExactHardRules, ProvenAtTheOptimumWorkedOutByHand) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  struct Case {
    int32_t maxPieces;
    int32_t diffPieces;
    int64_t stockLength;
  };
  const Case cases[] = {{0, 0, 10000}, {3, 0, 10000}, {0, 3, 10000},
                        {2, 0, 15000}, {0, 1, 15000}, {0, 2, 11000}};
  for (const Case& c : cases) {
    Rules rules;
    rules.maxPieces = c.maxPieces;
    rules.diffPieces = c.diffPieces;
    const ExactInput in = ThreeLengths(rules);
    const ExactResult r = SolveExact(in);
    const std::string name =
        "max " + std::to_string(c.maxPieces) + " diff " + std::to_string(c.diffPieces);
    ASSERT_EQ(CheckPlan(in, r.plan), "") << name;
    EXPECT_EQ(r.status, Status::kOptimal) << name << ": " << r.message;
    EXPECT_TRUE(r.proven) << name;
    EXPECT_EQ(r.figures.piecesUncut, 0) << name;
    EXPECT_EQ(r.figures.stockLength, c.stockLength) << name;
    EXPECT_DOUBLE_EQ(r.lowerBound, static_cast<double>(c.stockLength)) << name;
  }
}

// The same material with every quantity times four, so that the first plan
// misses the bound and the whole problem's integer programme has to settle
// it. By the arguments above: 2 pieces a bar, 120 pieces, 60 bars; 1
// different piece, 40 + 14 + 4 = 58 bars; 2 different pieces, each of the 40
// bars with a 600 wastes at least 100 unless it is {600, 100 x 4} (at most
// 10 such bars), and with 10 of them the 10 pieces of 300 left over go on
// bars that waste as well, so more than 43 bars: 8 x {600, 100 x 4},
// 32 x {600, 300} and 4 x {300, 300, 100, 100} make 44.
TEST(ExactHardRules, LargerMaterialsProvenAtTheOptimum) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  struct Case {
    int32_t maxPieces;
    int32_t diffPieces;
    int64_t stockLength;
  };
  const Case cases[] = {{2, 0, 60000}, {0, 1, 58000}, {0, 2, 44000}};
  for (const Case& c : cases) {
    ExactInput in = ThreeLengths(Rules{});
    in.rules.maxPieces = c.maxPieces;
    in.rules.diffPieces = c.diffPieces;
    in.stock = {{1000, 0, 80}};
    for (auto& p : in.parts) p.quantity *= 4;
    const ExactResult r = SolveExact(in);
    const std::string name =
        "max " + std::to_string(c.maxPieces) + " diff " + std::to_string(c.diffPieces);
    ASSERT_EQ(CheckPlan(in, r.plan), "") << name;
    EXPECT_TRUE(r.proven) << name << ": " << r.message;
    EXPECT_EQ(r.figures.stockLength, c.stockLength) << name;
  }
}

// Pricing under a limit on different pieces against a walk over every
// count vector: the bound that counts the best items one by one must never
// cut the best pattern off.
TEST(ExactHardRules, PricingWithDifferentPiecesFindsTheBest) {
  std::mt19937 rng(20261209);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 400; ++trial) {
    PricingTask t;
    const int n = pick(3, 6);
    t.capacity = t.loadLimit = pick(800, 3000);
    t.diffPieces = pick(1, 3);
    t.maxPieces = trial % 3 == 0 ? pick(2, 5) : 0;
    for (int i = 0; i < n; ++i) {
      t.work.push_back(pick(100, 900));
      t.bound.push_back(pick(0, 4));
      t.profit.push_back(pick(-1, 12) * 25.0 + pick(0, 3) * 0.5);
    }
    t.threshold = 0;
    double expected = -INFINITY;
    Counts c(n, 0);
    std::function<void(int, int64_t, int, int)> walk = [&](int i, int64_t load, int pieces,
                                                           int types) {
      if (load > t.loadLimit || types > t.diffPieces) return;
      if (t.maxPieces >= 1 && pieces > t.maxPieces) return;
      if (i == n) {
        double v = 0;
        for (int k = 0; k < n; ++k) v += c[k] * t.profit[k];
        if (v > t.threshold + 1e-9) expected = std::max(expected, v);
        return;
      }
      for (int k = 0; k <= t.bound[i]; ++k) {
        c[i] = k;
        walk(i + 1, load + int64_t{k} * t.work[i], pieces + k, types + (k > 0 ? 1 : 0));
      }
      c[i] = 0;
    };
    walk(0, 0, 0, 0);
    const PricingResult got = PriceBestPattern(t);
    ASSERT_TRUE(got.complete);
    ASSERT_EQ(got.found, std::isfinite(expected)) << "trial " << trial;
    if (got.found) {
      EXPECT_NEAR(got.value, expected, 1e-7) << "trial " << trial;
    }
  }
}

// Four pieces of 500 and eight of 250 on bars of 1000: 4 bars at least,
// and one layout, {500, 250, 250} four times, is enough. With layout
// reduction the exact method finds it, alone and through the call; the
// stock stays that of the optimum.
TEST(ExactLayouts, ReductionFindsTheSingleLayout) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  ExactInput in;
  in.stock = {{1000, 0, 10}};
  in.parts = {{500, 4, 1}, {250, 8, 2}};
  in.rules.reduceLays = 1;
  in.timeLimitMs = kLimitMs;
  const ExactResult alone = SolveExact(in);
  ASSERT_EQ(CheckPlan(in, alone.plan), "");
  EXPECT_TRUE(alone.proven);
  EXPECT_EQ(alone.figures.stockLength, 4000);
  EXPECT_EQ(alone.figures.layouts, 1);
  const SearchOutcome call = RunCall(in, 5, 1);
  ASSERT_EQ(call.error, 0);
  ASSERT_EQ(CheckPlan(in, call.plan), "");
  EXPECT_TRUE(call.proven);
  EXPECT_EQ(MeasurePlan(in, call.plan).stockLength, 4000);
  EXPECT_EQ(MeasurePlan(in, call.plan).layouts, 1);
}

// Through the call with layout reduction the plan never has more layouts
// than the search's at the same intensity when both use the same stock;
// without it the call's plan is the exact method's after the quick search
// alone (the intensity does not matter for a proven plan).
TEST(ExactLayouts, CallNeverMoreLayoutsThanTheSearchAtEqualStock) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  for (uint32_t seed : {3u, 8u, 17u, 29u}) {
    for (const int32_t reduce : {0, 1, 3}) {
      Rules rules;
      rules.reduceLays = reduce;
      ExactInput in = OrderInstance(seed, rules);
      const SearchOutcome search = RunCall(in, 2, 0);
      const SearchOutcome exact = RunCall(in, 2, 1);
      ASSERT_EQ(search.error, 0);
      ASSERT_EQ(exact.error, 0);
      ASSERT_EQ(CheckPlan(in, exact.plan), "") << "seed " << seed;
      const auto fs = MeasurePlan(in, search.plan);
      const auto fe = MeasurePlan(in, exact.plan);
      EXPECT_LE(fe.objective, fs.objective) << "seed " << seed;
      if (!exact.proven) continue;
      if (reduce >= 1 && fs.stockLength == fe.stockLength && fs.lengthCut == fe.lengthCut) {
        EXPECT_LE(fe.layouts, fs.layouts) << "seed " << seed << " reduce " << reduce;
      }
      if (reduce == 0) {
        const SearchOutcome quick = RunCall(in, 0, 1);
        EXPECT_EQ(quick.plan, exact.plan) << "seed " << seed;
      }
    }
  }
}

// Many stock lengths under rules that leave few patterns (two pieces, one
// or two different pieces a bar), where the whole problem's programme
// settles the objective: the most length cut and the objective equal the
// enumeration's, in material and cost mode and with the last stock apart.
TEST(ExactHardRules, ManyStockLengthsEqualTheEnumeration) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  std::mt19937 rng(7741);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int seed = 0; seed < 36; ++seed) {
    ExactInput in;
    in.rules.maxPieces = seed % 3 == 0 ? 2 : 0;
    in.rules.diffPieces = seed % 3 == 0 ? 0 : seed % 3;
    in.rules.costMode = seed % 4 == 1;
    in.rules.ignoreLast = seed % 4 == 2;
    in.rules.minReusable = 300;
    for (int g = 0; g < 4; ++g) {
      in.stock.push_back(
          StockGroupIn{1000 + g * 170 + pick(0, 9) * 10, pick(5, 40) * 10, pick(1, 2)});
    }
    int pieces = 0;
    for (int g = 0; g < 3 && pieces < 6; ++g) {
      const int q = std::min(pick(1, 3), 6 - pieces);
      in.parts.push_back(PartGroupIn{pick(15, 60) * 10, q, g + 1});
      pieces += q;
    }
    in.timeLimitMs = kLimitMs;
    const ExactResult r = SolveExact(in);
    ASSERT_EQ(CheckPlan(in, r.plan), "") << "seed " << seed;
    ASSERT_TRUE(r.proven) << "seed " << seed << ": " << r.message;
    const Rating truth = BestByEnumeration(in);
    const Rating got = RatePlan(in, r.plan);
    EXPECT_EQ(got.uncut, truth.uncut) << "seed " << seed;
    EXPECT_NEAR(got.objective, truth.objective, 1e-6 * std::max(1.0, truth.objective))
        << "seed " << seed;
    EXPECT_NEAR(r.lowerBound, got.objective, 1e-6 * std::max(1.0, got.objective))
        << "seed " << seed;
  }
}

#if TARVOLIN_HAVE_EXACT
// The whole problem's integer programme over every pattern of the material
// of three lengths under 2 different pieces a bar (11 bars of 1000 by hand,
// above): with the search heuristics and no cutoff it finds the optimum
// and proves it, its bound then equal to the objective; stopped after the
// root it keeps a bound between the linear programme's and the optimum.
TEST(ExactHardRules, WholeProgrammeBoundsAndFindsTheOptimum) {
  Rules rules;
  rules.diffPieces = 2;
  const ExactInput in = ThreeLengths(rules);
  solver::exact::Model model;
  ASSERT_EQ(solver::exact::BuildModel(in, model), "");
  solver::exact::Master master(model, 0, nullptr);
  master.SetMode(solver::exact::Mode::kOptimize);
  const solver::exact::LpOutcome lp = master.Solve();
  ASSERT_TRUE(lp.solved && lp.converged);
  const double optimum = 11000.0 / model.unit;
  ASSERT_LE(lp.bound, optimum);
  bool complete = false;
  const auto columns = master.ListColumns(lp, optimum - lp.bound, 100000, complete);
  ASSERT_TRUE(complete);
  solver::exact::Master all(model, 0, nullptr);
  all.SetMode(solver::exact::Mode::kOptimize);
  all.AddMany(columns);
  for (const int32_t nodes : {100000, 0}) {
    solver::exact::MipRequest req;
    req.heuristics = true;
    req.nodeLimit = nodes;
    const solver::exact::MipOutcome mip = solver::exact::SolveMip(all, req);
    EXPECT_LE(mip.bound, optimum + 1e-6) << nodes;
    EXPECT_GE(mip.bound, lp.bound - 1e-6) << nodes;
    if (nodes == 0) continue;
    ASSERT_TRUE(mip.found && mip.optimal);
    EXPECT_NEAR(mip.objective, optimum, 1e-6);
    EXPECT_NEAR(mip.bound, optimum, 1e-6);
  }
}
#endif

}  // namespace
}  // namespace exact_test
