// Materials above the layout search's limits (more than 20 part groups, 10
// stock groups, 100 pieces or 100 bars): the exact method plans them alone,
// under every rule, and each plan is checked against the rules written out
// here as well as by the method's own plan check.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "enumeration.h"
#include "exact_fixture.h"
#if TARVOLIN_HAVE_EXACT
#include "master.h"
#include "model.h"
#endif

namespace exact_test {
namespace {

using solver::exact::CheckPlan;
using solver::exact::ExactAvailable;
using solver::exact::ExactResult;
using solver::exact::Pattern;
using solver::exact::Phase;
using solver::exact::Plan;
using solver::exact::SolveExact;
using solver::exact::Status;

// A shop order above the search's limits: `lines` order lines (some of
// equal length, different marks) of `pieces` pieces in all, whole mm in
// hundredths, on `stocks` stock lines of ample quantity.
ExactInput ShopOrder(uint32_t seed, int lines, int pieces, int stocks, const Rules& rules) {
  std::mt19937 rng(seed);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  ExactInput in;
  in.rules = rules;
  int left = pieces;
  for (int g = 0; g < lines; ++g) {
    const int q = g == lines - 1
                      ? left
                      : std::max(1, std::min(left - (lines - g - 1), pick(1, 2 * pieces / lines)));
    left -= q;
    // Every fifth line repeats the length of the one before, with its own mark.
    const int32_t length = g % 5 == 4 ? in.parts.back().length : pick(200, 2600) * 100;
    in.parts.push_back({length, q, g % 7});
  }
  const int32_t stockMm[] = {6000, 6500, 5000, 7000, 4000, 12000,
                             3000, 8000, 5500, 9000, 7500, 4500};
  for (int j = 0; j < stocks; ++j) {
    in.stock.push_back({stockMm[j % 12] * 100 + (j / 12) * 1000, pick(40, 90) * 100, pieces});
  }
  return in;
}

// Every rule of a bar and of the plan, written out in real lengths apart
// from the method's code; empty when the plan keeps them all.
std::string BreaksARule(const ExactInput& in, const Plan& plan) {
  const Rules& r = in.rules;
  std::vector<int64_t> bars(in.stock.size(), 0), pieces(in.parts.size(), 0);
  std::set<std::pair<int32_t, int32_t>> stockKinds;
  const auto bar = [&](const Pattern& p, int64_t count) -> std::string {
    RefBar b;
    b.group = p.stockGroup;
    std::set<std::pair<int32_t, int32_t>> kinds;
    for (size_t g = 0; g < in.parts.size(); ++g) {
      if (p.counts[g] == 0) continue;
      b.sum += int64_t{in.parts[g].length} * p.counts[g];
      b.pieces += p.counts[g];
      b.longest = std::max(b.longest, in.parts[g].length);
      kinds.insert({in.parts[g].length, r.piecesByMark ? in.parts[g].mark : 0});
      pieces[g] += count * p.counts[g];
    }
    if (!FitsLength(in, b)) return "pieces longer than the bar";
    if (!Grippable(in, b)) return "no gripping length left";
    if (r.maxPieces >= 1 && b.pieces > r.maxPieces) return "too many pieces";
    if (r.diffPieces >= 1 && static_cast<int>(kinds.size()) > r.diffPieces) return "too many kinds";
    bars[p.stockGroup] += count;
    stockKinds.insert({in.stock[p.stockGroup].length, in.stock[p.stockGroup].cost});
    return {};
  };
  for (const Pattern& p : plan.patterns) {
    if (std::string e = bar(p, p.bars); !e.empty()) return e;
  }
  if (plan.hasLast) {
    if (std::string e = bar(plan.last, 1); !e.empty()) return e;
    RefBar b;
    b.group = plan.last.stockGroup;
    for (size_t g = 0; g < in.parts.size(); ++g) {
      b.sum += int64_t{in.parts[g].length} * plan.last.counts[g];
      b.pieces += plan.last.counts[g];
    }
    if (Rest(in, b) < r.minReusable) return "the last bar's remainder is too short";
  }
  for (size_t g = 0; g < in.stock.size(); ++g) {
    if (bars[g] > in.stock[g].quantity) return "more bars than in stock";
  }
  for (size_t g = 0; g < in.parts.size(); ++g) {
    if (pieces[g] > in.parts[g].quantity) return "more pieces than ordered";
  }
  if (r.diffStocks >= 1 && static_cast<int>(stockKinds.size()) > r.diffStocks) {
    return "too many stock groups";
  }
  return {};
}

struct RuleCase {
  const char* name;
  Rules rules;
};

Rules Make(void (*set)(Rules&)) {
  Rules r;
  set(r);
  return r;
}

const RuleCase kRules[] = {
    {"plain", Rules{}},
    {"kerf_and_end_zone", Make([](Rules& r) {
       r.kerf = 300;
       r.endZone = 1000;
     })},
    {"gripping_length", Make([](Rules& r) {
       r.kerf = 300;
       r.gripLength = 30000;
     })},
    {"max_pieces", Make([](Rules& r) { r.maxPieces = 3; })},
    {"diff_pieces", Make([](Rules& r) { r.diffPieces = 2; })},
    {"diff_stocks", Make([](Rules& r) { r.diffStocks = 2; })},
    {"cost_mode", Make([](Rules& r) { r.costMode = true; })},
    {"ignore_last", Make([](Rules& r) {
       r.ignoreLast = true;
       r.minReusable = 50000;
       r.kerf = 300;
     })},
    {"prefer_short_fewer_layouts_by_mark", Make([](Rules& r) {
       r.prefShort = -3;
       r.reduceLays = 2;
       r.piecesByMark = true;
     })},
};

class LargeMaterial : public ::testing::TestWithParam<RuleCase> {};

// 30 order lines and 160 pieces on 12 stock lines: every rule binds, the
// plan check agrees, every piece is cut (the stock holds them all), and the
// bound holds (and is met when the plan is proven).
TEST_P(LargeMaterial, EveryRuleBinds) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  const RuleCase& c = GetParam();
  for (uint32_t seed : {1u, 2u}) {
    ExactInput in = ShopOrder(seed * 977u + 11u, 30, 160, 12, c.rules);
    in.timeLimitMs = 1500;
    const ExactResult r = SolveExact(in);
    ASSERT_TRUE(r.status == Status::kOptimal || r.status == Status::kFeasible) << r.message;
    EXPECT_EQ(CheckPlan(in, r.plan), "") << c.name << " seed " << seed;
    EXPECT_EQ(BreaksARule(in, r.plan), "") << c.name << " seed " << seed;
    EXPECT_EQ(r.figures.piecesUncut, 0) << c.name << " seed " << seed;
    const double tol = 1e-6 * std::max(1.0, r.figures.objective);
    EXPECT_LE(r.lowerBound, r.figures.objective + tol) << c.name;
    if (r.proven) {
      EXPECT_NEAR(r.lowerBound, r.figures.objective, tol) << c.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, LargeMaterial, ::testing::ValuesIn(kRules),
                         [](const auto& info) { return std::string(info.param.name); });

// Each limit of the search passed on its own: more part groups, more stock
// groups, more pieces, more bars.
TEST(LargeMaterialSizes, EachLimitOfTheSearch) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  struct Case {
    const char* name;
    int lines, pieces, stocks;
  };
  const Case cases[] = {
      {"21 part groups", 21, 60, 2},
      {"11 stock groups", 8, 60, 11},
      {"101 pieces", 8, 101, 2},
      {"1,200 part groups", 1200, 2500, 4},
  };
  for (const Case& c : cases) {
    Rules rules;
    rules.kerf = 300;
    ExactInput in = ShopOrder(31u, c.lines, c.pieces, c.stocks, rules);
    in.timeLimitMs = 2000;
    const ExactResult r = SolveExact(in);
    EXPECT_EQ(CheckPlan(in, r.plan), "") << c.name;
    EXPECT_EQ(BreaksARule(in, r.plan), "") << c.name;
    EXPECT_EQ(r.figures.piecesUncut, 0) << c.name;
    EXPECT_LE(r.lowerBound, r.figures.objective + 1e-6 * r.figures.objective) << c.name;
  }
  // 101 bars in stock, only a few needed.
  ExactInput in = ShopOrder(5u, 6, 30, 1, Rules{});
  in.stock[0].quantity = 101;
  const ExactResult r = SolveExact(in);
  EXPECT_TRUE(r.proven) << r.message;
  EXPECT_EQ(BreaksARule(in, r.plan), "");
}

// 100,000 pieces of 20 lengths: a plan in patterns of many bars each,
// every piece cut, within a small share of the bound.
TEST(LargeMaterialSizes, HundredThousandPieces) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  ExactInput in;
  in.rules.kerf = 300;
  in.rules.endZone = 1000;
  for (int g = 0; g < 20; ++g) in.parts.push_back({(250 + g * 117) * 100, 5000, g});
  for (int copy = 0; copy < 2; ++copy) in.stock.push_back({600000, 0, 30000});
  in.stock.push_back({650000, 0, 10000});
  in.timeLimitMs = 3000;
  const ExactResult r = SolveExact(in);
  ASSERT_EQ(CheckPlan(in, r.plan), "");
  EXPECT_EQ(BreaksARule(in, r.plan), "");
  EXPECT_EQ(r.figures.piecesCut, 100000);
  EXPECT_GT(r.lowerBound, 0);
  EXPECT_LE(r.figures.objective, r.lowerBound * 1.01);
}

#if TARVOLIN_HAVE_EXACT
// A shop order's model above the search's limits, and the same model
// priced pattern by pattern as below them.
void ShopModels(uint32_t seed, solver::exact::Model& large, solver::exact::Model& small) {
  const ExactInput in = ShopOrder(seed, 30, 140, 3, Rules{});
  ASSERT_EQ(solver::exact::BuildModel(in, large), "");
  ASSERT_TRUE(large.large);
  small = large;
  small.large = false;
}

// The branch over patterns forbids the patterns it has tried. Above the
// search's limits the patterns are priced by one table for every stock
// length; a forbidden pattern that the table finds best must not end the
// column generation: the programme with the linear programme's most used
// patterns forbidden is worth what the pattern-by-pattern pricing (which
// skips forbidden patterns itself) finds.
TEST(LargeMaterialSizes, ForbiddenPatternsPricedAsWithoutTheTable) {
  for (const uint32_t seed : {3u, 17u}) {
    solver::exact::Model large, small;
    ASSERT_NO_FATAL_FAILURE(ShopModels(seed, large, small));
    solver::exact::Master byTable(large, 0, nullptr);
    byTable.SetMode(solver::exact::Mode::kOptimize);
    const solver::exact::LpOutcome open = byTable.Solve();
    ASSERT_TRUE(open.solved && open.converged);
    // The three most used patterns are forbidden.
    std::vector<size_t> used(open.x.size());
    for (size_t p = 0; p < used.size(); ++p) used[p] = p;
    std::sort(used.begin(), used.end(), [&](size_t a, size_t b) { return open.x[a] > open.x[b]; });
    solver::exact::Restriction r = byTable.Whole();
    for (size_t k = 0; k < 3 && k < used.size(); ++k)
      r.forbidden.push_back(byTable.Pool()[used[k]]);
    byTable.Restrict(r);
    const solver::exact::LpOutcome tabled = byTable.Solve();
    solver::exact::Master oneByOne(small, 0, nullptr);
    oneByOne.SetMode(solver::exact::Mode::kOptimize);
    oneByOne.Restrict(r);
    const solver::exact::LpOutcome reference = oneByOne.Solve();
    ASSERT_TRUE(tabled.converged && reference.converged) << seed;
    EXPECT_GE(tabled.value, open.value - 1e-6 * open.value) << seed;
    EXPECT_NEAR(tabled.value, reference.value, 1e-6 * reference.value) << seed;
    for (size_t p = 0; p < tabled.x.size(); ++p) {
      const bool forbidden =
          std::find(r.forbidden.begin(), r.forbidden.end(), byTable.Pool()[p]) != r.forbidden.end();
      if (forbidden) {
        EXPECT_LE(tabled.x[p], 1e-9) << seed;
      }
    }
  }
}

// Once the open demand falls (a dive's bars cut), a pattern with more
// pieces of a type than are open stays out of the programme: its value is
// the one of patterns within the demand alone (what the pattern-by-pattern
// pricing of a fresh master finds), never below it.
TEST(LargeMaterialSizes, PatternsBeyondTheOpenDemandLeftOut) {
  for (const uint32_t seed : {3u, 17u}) {
    solver::exact::Model large, small;
    ASSERT_NO_FATAL_FAILURE(ShopModels(seed, large, small));
    solver::exact::Master pooled(large, 0, nullptr);
    pooled.SetMode(solver::exact::Mode::kOptimize);
    ASSERT_TRUE(pooled.Solve().converged);
    // At most one piece of each type left open.
    solver::exact::Restriction r = pooled.Whole();
    for (int32_t& d : r.demand) d = std::min(d, 1);
    pooled.Restrict(r);
    const solver::exact::LpOutcome rest = pooled.Solve();
    solver::exact::Master fresh(small, 0, nullptr);
    fresh.SetMode(solver::exact::Mode::kOptimize);
    fresh.Restrict(r);
    const solver::exact::LpOutcome reference = fresh.Solve();
    ASSERT_TRUE(rest.converged && reference.converged) << seed;
    EXPECT_NEAR(rest.value, reference.value, 1e-6 * reference.value) << seed;
    for (size_t p = 0; p < rest.x.size(); ++p) {
      if (rest.x[p] <= 1e-9) continue;
      for (size_t i = 0; i < r.demand.size(); ++i) {
        EXPECT_LE(pooled.Pool()[p].counts[i], r.demand[i]) << seed << " pattern " << p;
      }
    }
  }
}
#endif

// A stop in any phase of a large material still returns a valid plan that
// cuts every piece.
TEST(LargeMaterialSizes, StopInEveryPhase) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  for (const Phase at : {Phase::kFirstPlan, Phase::kProfiles}) {
    ExactInput in = ShopOrder(77u, 60, 400, 5, Rules{});
    in.progress = [at](const solver::exact::Progress& p) { return p.phase == at; };
    const ExactResult r = SolveExact(in);
    EXPECT_EQ(r.message, "time limit or abort") << static_cast<int>(at);
    EXPECT_EQ(CheckPlan(in, r.plan), "");
    EXPECT_EQ(r.figures.piecesUncut, 0);
  }
}

}  // namespace
}  // namespace exact_test
