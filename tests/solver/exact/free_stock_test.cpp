// Free bars (cost 0, offcuts kept as stock) in cost mode: among plans of
// the least cost, the most free length cut. Small instances against the
// exhaustive enumeration, whose rating counts the free length right after
// the cost.
#include <gtest/gtest.h>

#include <random>

#include "enumeration.h"
#include "exact_fixture.h"

namespace exact_test {
namespace {

using solver::exact::CheckPlan;
using solver::exact::ComparePlans;
using solver::exact::ComparePlansByCost;
using solver::exact::ExactAvailable;
using solver::exact::ExactResult;
using solver::exact::MoreFreeStock;
using solver::exact::Pattern;
using solver::exact::Plan;
using solver::exact::SolveExact;

Rules FreeRules(void (*set)(Rules&)) {
  Rules r;
  r.costMode = true;
  r.preferFree = true;
  set(r);
  return r;
}

struct FreeCase {
  const char* name;
  Rules rules;
};

const FreeCase kFreeCases[] = {
    {"plain", FreeRules([](Rules&) {})},
    {"kerf_and_end_zone", FreeRules([](Rules& r) {
       r.kerf = 30;
       r.endZone = 70;
     })},
    {"max_pieces", FreeRules([](Rules& r) { r.maxPieces = 2; })},
    {"diff_pieces", FreeRules([](Rules& r) { r.diffPieces = 1; })},
    {"diff_stocks", FreeRules([](Rules& r) { r.diffStocks = 2; })},
    {"ignore_last", FreeRules([](Rules& r) {
       r.ignoreLast = true;
       r.minReusable = 200;
     })},
};

// Figures 1, 2 and 2b only: the free length is worked on after the cost,
// and what comes after it is not.
bool SameUpToFreeLength(const Rating& a, const Rating& b) {
  Rating x = a, y = b;
  x.length = y.length = 0;
  x.barOrder = y.barOrder = 0;
  return CompareRatings(x, y) == 0;
}

// The instance with one or two free groups added: single offcuts between
// the shortest piece and the longest bar.
ExactInput WithOffcuts(ExactInput in, uint32_t seed) {
  std::mt19937 rng(seed);
  int32_t shortest = in.parts[0].length, longest = in.stock[0].length;
  for (const auto& p : in.parts) shortest = std::min(shortest, p.length);
  for (const auto& s : in.stock) longest = std::max(longest, s.length);
  const int offcuts = 1 + static_cast<int>(seed % 2);
  for (int k = 0; k < offcuts; ++k) {
    const int32_t length =
        std::uniform_int_distribution<int32_t>(shortest / 2, longest - 1)(rng) / 10 * 10;
    in.stock.push_back(StockGroupIn{std::max(length, 10), 0, 1});
  }
  return in;
}

class FreeStockOptimum : public ::testing::TestWithParam<FreeCase> {};

TEST_P(FreeStockOptimum, CutsTheMostFreeLengthAtTheLeastCost) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  const FreeCase& c = GetParam();
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    const ExactInput base = seed <= 16 ? SmallInstance(seed * 7919u + 29u, c.rules, 6)
                                       : TightInstance(seed * 97u + 11u, c.rules, 6);
    const ExactInput in = WithOffcuts(base, seed);
    const ExactResult r = SolveExact(in);
    ASSERT_EQ(CheckPlan(in, r.plan), "") << c.name << " seed " << seed;
    const Rating truth = BestByEnumeration(in);
    const Rating got = RatePlan(in, r.plan);
    EXPECT_TRUE(SameUpToFreeLength(got, truth))
        << c.name << " seed " << seed << ": uncut " << got.uncut << " vs " << truth.uncut
        << ", objective " << got.objective << " vs " << truth.objective << ", free length "
        << got.freeLength << " vs " << truth.freeLength;

    // The same pass on a plan made elsewhere (the first-fit plan of
    // another run without the preference) reaches the same figures.
    ExactInput plain = in;
    plain.rules.preferFree = false;
    const ExactResult other = SolveExact(plain);
    ExactInput again = in;
    again.incumbent = &other.plan;
    const ExactResult more = MoreFreeStock(again);
    ASSERT_EQ(CheckPlan(in, more.plan), "") << c.name << " seed " << seed;
    EXPECT_TRUE(SameUpToFreeLength(RatePlan(in, more.plan), truth))
        << c.name << " seed " << seed << ": free length " << RatePlan(in, more.plan).freeLength
        << " vs " << truth.freeLength;
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, FreeStockOptimum, ::testing::ValuesIn(kFreeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Two pieces of 400, offcuts of 500 and 900, new bars of 1000 at 1000.
// Both plans cost nothing; with the preference each offcut takes a piece
// (1400 free), without it the smaller total length puts both on the 900.
TEST(FreeStock, EveryOffcutThatHoldsAPieceIsCut) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  ExactInput in;
  in.stock = {{1000, 1000, 5}, {500, 0, 1}, {900, 0, 1}};
  in.parts = {{400, 2, 1}};
  in.rules.costMode = true;
  for (const bool prefer : {true, false}) {
    in.rules.preferFree = prefer;
    const ExactResult r = SolveExact(in);
    ASSERT_EQ(CheckPlan(in, r.plan), "");
    EXPECT_EQ(r.figures.stockCost, 0);
    EXPECT_EQ(r.figures.stockLength, prefer ? 1400 : 900) << "prefer " << prefer;
  }
}

// The order of two plans: cost first, then the free length, then the rest.
TEST(FreeStock, PlansCompareByCostThenFreeLength) {
  ExactInput in;
  in.stock = {{1500, 1500, 5}, {800, 0, 1}, {750, 0, 1}};
  in.parts = {{700, 3, 1}};
  in.rules.costMode = true;
  in.rules.preferFree = true;
  const auto bar = [](int group, int32_t pieces, int32_t bars) {
    return Pattern{group, {pieces}, bars};
  };
  // One piece on a new bar and one on each offcut: 1500, free 1550.
  const Plan spread{{bar(0, 1, 1), bar(1, 1, 1), bar(2, 1, 1)}, false, {}};
  // Two on a new bar, one on the 750: 1500, free 750.
  const Plan packed{{bar(0, 2, 1), bar(2, 1, 1)}, false, {}};
  // Three new bars' worth: 3000.
  const Plan costly{{bar(0, 1, 3)}, false, {}};
  ASSERT_EQ(CheckPlan(in, spread), "");
  ASSERT_EQ(CheckPlan(in, packed), "");
  EXPECT_LT(ComparePlansByCost(in, spread, packed), 0);
  EXPECT_GT(ComparePlansByCost(in, packed, spread), 0);
  EXPECT_LT(ComparePlansByCost(in, packed, costly), 0);
  EXPECT_LT(ComparePlans(in, spread, packed), 0);
  // Without the preference the shorter total length wins.
  in.rules.preferFree = false;
  EXPECT_EQ(ComparePlansByCost(in, spread, packed), 0);
  EXPECT_GT(ComparePlans(in, spread, packed), 0);
}

}  // namespace
}  // namespace exact_test
