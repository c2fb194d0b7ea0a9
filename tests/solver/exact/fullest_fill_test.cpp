// Filling bars with the fullest choice of the open pieces, and the plans of
// large materials found at the least stock that holds the pieces' length.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exact.h"
#include "exact_fixture.h"
#include "model.h"

namespace exact_test {
namespace {

using solver::exact::CheckPlan;
using solver::exact::ExactAvailable;
using solver::exact::ExactResult;
using solver::exact::FillFullest;
using solver::exact::Model;
using solver::exact::ModelPattern;
using solver::exact::PartType;
using solver::exact::SolveExact;
using solver::exact::StockType;

// A model of working lengths alone (no kerf, no end zone): parts longest
// first as the model keeps them, stock as given.
Model LengthsModel(const std::vector<std::pair<int32_t, int32_t>>& parts,
                   const std::vector<std::pair<int32_t, int32_t>>& stock) {
  Model m;
  for (const auto& [work, demand] : parts) m.parts.push_back(PartType{work, work, demand, {}, 0});
  for (const auto& [capacity, quantity] : stock) {
    m.stock.push_back(StockType{capacity, capacity, 0, quantity, {}});
  }
  return m;
}

TEST(FullestFill, BarByBar) {
  struct Case {
    std::string name;
    std::vector<std::pair<int32_t, int32_t>> parts;  // working length, demand
    std::vector<std::pair<int32_t, int32_t>> stock;  // capacity, bars
    int64_t work;
    bool placed;
    std::vector<ModelPattern> patterns;  // cut so far, when a table was made
    std::vector<int32_t> demandLeft;
  };
  const std::vector<Case> cases = {
      // 4 + 3 + 3 fills a bar of 10; 4 + 4 and 3 + 3 + 3 do not.
      {"the fullest bar, cut as often as its pieces allow",
       {{4, 3}, {3, 6}},
       {{10, 5}},
       1000,
       true,
       {{0, {1, 2}, 3}},
       {0, 0}},
      // 6 and 3 + 3 both fill a bar of 6: the long piece goes first.
      {"the longest pieces among equally full bars",
       {{6, 1}, {3, 2}},
       {{6, 2}},
       1000,
       true,
       {{0, {1, 0}, 1}, {0, {0, 2}, 1}},
       {0, 0}},
      {"the longest bars first",
       {{10, 3}},
       {{10, 1}, {20, 1}},
       1000,
       true,
       {{1, {2}, 1}, {0, {1}, 1}},
       {0}},
      // One piece of 6 a bar of 10, with waste.
      {"bars that cannot be filled full", {{6, 2}}, {{10, 2}}, 1000, true, {{0, {1}, 2}}, {0}},
      {"a piece longer than every bar", {{12, 1}}, {{10, 3}}, 1000, false, {}, {1}},
      // The bars run out with one piece open; the patterns cut stay.
      {"too few bars", {{6, 3}}, {{10, 2}}, 1000, false, {{0, {1}, 2}}, {1}},
      // One table: one word of loads, and a row for no lot and each of the
      // four lots (4 once and again, 3 once and twice).
      {"work enough for the table", {{4, 3}, {3, 6}}, {{10, 5}}, 5, true, {{0, {1, 2}, 3}}, {0, 0}},
      {"work short of the table", {{4, 3}, {3, 6}}, {{10, 5}}, 4, false, {}, {3, 6}},
  };
  for (const Case& c : cases) {
    const Model m = LengthsModel(c.parts, c.stock);
    std::vector<int32_t> demand, bars;
    for (const auto& p : c.parts) demand.push_back(p.second);
    for (const auto& s : c.stock) bars.push_back(s.second);
    int64_t work = c.work;
    std::vector<ModelPattern> out;
    EXPECT_EQ(FillFullest(m, demand, bars, work, out), c.placed) << c.name;
    EXPECT_EQ(out, c.patterns) << c.name;
    EXPECT_EQ(demand, c.demandLeft) << c.name;
  }
}

// Pieces of 400 and 300 (72 of them) with pieces of 600: first fit
// decreasing pairs the 400s and leaves the 300s three to a bar; the fullest
// bars hold 400 + 300 + 300.
ExactInput ThreeLengths(int32_t pieces600) {
  ExactInput in;
  in.parts = {{600, pieces600, 1}, {400, 36, 2}, {300, 72, 3}};
  if (pieces600 == 0) in.parts.erase(in.parts.begin());
  in.stock = {{1000, 0, 200}};
  return in;
}

// 36 bars hold the pieces' length exactly, and the fullest bars fill
// them: the plan meets the least stock of that length, optimal with no
// linear programme solved.
TEST(CapacityLevel, PlanAtTheLeastStockProvenWithoutProgramme) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  const ExactInput in = ThreeLengths(0);
  const ExactResult r = SolveExact(in);
  ASSERT_EQ(CheckPlan(in, r.plan), "");
  EXPECT_TRUE(r.proven) << r.message;
  EXPECT_EQ(r.figures.objective, 36 * 1000);
  EXPECT_EQ(r.lowerBound, 36 * 1000);
  EXPECT_EQ(r.stats.lpRounds, 0);
}

// With ten pieces of 600 the length needs 42 bars, but a bar without
// waste is 600 + 400 or 400 + 300 + 300, which leaves twenty 300s over:
// the optimum is 43 bars, and the level of 42 must not be taken for it.
TEST(CapacityLevel, LevelNotReachedLeavesTheProofToTheProgrammes) {
  if (!ExactAvailable()) GTEST_SKIP() << "exact method not in this build";
  const ExactInput in = ThreeLengths(10);
  const ExactResult r = SolveExact(in);
  ASSERT_EQ(CheckPlan(in, r.plan), "");
  EXPECT_TRUE(r.proven) << r.message;
  EXPECT_EQ(r.figures.objective, 43 * 1000);
  EXPECT_EQ(r.lowerBound, 43 * 1000);
}

}  // namespace
}  // namespace exact_test
