// The exact method against an exhaustive enumeration on small instances,
// over the rule combinations that change what a bar may carry or what a
// plan is worth.
#include <gtest/gtest.h>

#include "enumeration.h"
#include "exact_fixture.h"

namespace exact_test {
namespace {

using solver::exact::CheckPlan;
using solver::exact::ExactAvailable;
using solver::exact::ExactResult;
using solver::exact::SolveExact;
using solver::exact::Status;

struct RuleCase {
  const char* name;
  Rules rules;
};

Rules Make(void (*set)(Rules&)) {
  Rules r;
  set(r);
  return r;
}

const RuleCase kCases[] = {
    {"plain", Rules{}},
    {"kerf_and_end_zone", Make([](Rules& r) {
       r.kerf = 30;
       r.endZone = 70;
     })},
    {"gripping_length", Make([](Rules& r) {
       r.gripLength = 450;
       r.kerf = 10;
     })},
    {"max_pieces", Make([](Rules& r) { r.maxPieces = 2; })},
    {"diff_pieces", Make([](Rules& r) { r.diffPieces = 1; })},
    {"diff_stocks", Make([](Rules& r) { r.diffStocks = 1; })},
    {"cost_mode", Make([](Rules& r) { r.costMode = true; })},
    {"ignore_last", Make([](Rules& r) { r.ignoreLast = true; })},
    {"ignore_last_cost_min_remainder", Make([](Rules& r) {
       r.ignoreLast = true;
       r.costMode = true;
       r.minReusable = 300;
       r.kerf = 20;
     })},
    {"prefer_short", Make([](Rules& r) { r.prefShort = -3; })},
    {"prefer_long_cost", Make([](Rules& r) {
       r.prefShort = 4;
       r.costMode = true;
     })},
    {"everything", Make([](Rules& r) {
       r.kerf = 20;
       r.endZone = 50;
       r.gripLength = 300;
       r.maxPieces = 3;
       r.diffPieces = 2;
       r.diffStocks = 2;
       r.costMode = true;
       r.ignoreLast = true;
     })},
};

class ExactOptimum : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ExactOptimum, EqualsTheEnumeration) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  const RuleCase& c = GetParam();
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    const ExactInput in = seed <= 30 ? SmallInstance(seed * 7919u + 13u, c.rules)
                                     : TightInstance(seed * 97u + 3u, c.rules);
    const ExactResult r = SolveExact(in);
    ASSERT_EQ(r.status, Status::kOptimal) << c.name << " seed " << seed << ": " << r.message;
    ASSERT_TRUE(r.proven);
    ASSERT_EQ(CheckPlan(in, r.plan), "") << c.name << " seed " << seed;
    const Rating truth = BestByEnumeration(in);
    const Rating got = RatePlan(in, r.plan);
    EXPECT_EQ(CompareRatings(got, truth), 0)
        << c.name << " seed " << seed << ": uncut " << got.uncut << " vs " << truth.uncut
        << ", objective " << got.objective << " vs " << truth.objective << ", length " << got.length
        << " vs " << truth.length << ", bar order " << got.barOrder << " vs " << truth.barOrder;
    // The bound holds and, proven, meets the plan.
    EXPECT_NEAR(r.lowerBound, got.objective, 1e-6 * std::max(1.0, got.objective));
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, ExactOptimum, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Too little stock: the most length is cut first, then the least stock.
TEST(ExactOptimumShortStock, CutsTheMostLengthFirst) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    ExactInput in = SmallInstance(seed * 104729u + 5u, Rules{});
    for (auto& s : in.stock) s.quantity = 1;
    in.stock.resize(1);
    const ExactResult r = SolveExact(in);
    ASSERT_EQ(CheckPlan(in, r.plan), "") << "seed " << seed;
    const Rating truth = BestByEnumeration(in);
    const Rating got = RatePlan(in, r.plan);
    EXPECT_EQ(CompareRatings(got, truth), 0)
        << "seed " << seed << ": uncut " << got.uncut << " vs " << truth.uncut << ", objective "
        << got.objective << " vs " << truth.objective;
  }
}

}  // namespace
}  // namespace exact_test
