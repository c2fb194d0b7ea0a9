// An exact plan through the driver's consolidation and the call's result
// writing: the result arrays describe the plan as for a search plan.
#include "to_solution.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "call_harness.h"
#include "driver.h"
#include "flat_call.h"
#include "prepare.h"

namespace exact_test {
namespace {

using solver::exact::ExactInput;
using solver::exact::Pattern;
using solver::exact::Plan;
using solver::testing::CallResult;
using solver::testing::CallSetup;

// Bars of 6 m (5) and 5 m (4); pieces 2.5 m mark 7 (3), 2.5 m mark 8 (2),
// 1.8 m (4) and 0.95 m (3); kerf 3 mm; the last bar reported apart.
CallSetup MixedMarks() {
  CallSetup s;
  s.effortLev = 0;
  s.ignoreLast = 1;
  s.kerf = 300;
  s.AddStock(600000, 5);
  s.AddStock(500000, 4);
  s.AddPart(250000, 3, 7);
  s.AddPart(250000, 2, 8);
  s.AddPart(180000, 4);
  s.AddPart(95000, 3);
  return s;
}

ExactInput InputOf(const CallSetup& s) {
  ExactInput in;
  for (int g = 1; g <= s.stockLth[0]; ++g) {
    in.stock.push_back({s.stockLth[g], s.stockCst[g], s.stockQty[g]});
  }
  for (int g = 1; g <= s.partLth[0]; ++g)
    in.parts.push_back({s.partLth[g], s.partQty[g], s.partMrk[g]});
  in.rules.kerf = s.kerf;
  in.rules.ignoreLast = s.ignoreLast != 0;
  return in;
}

// Two 6 m bars with 2 x 2.5 m + 0.95 m (marks 7,7 and 7,8), two 5 m bars
// with 2 x 1.8 m, and the last bar, 5 m, with 2.5 m (mark 8) + 0.95 m.
Plan PlanOfTheSetup() {
  Plan p;
  p.patterns = {Pattern{0, {2, 0, 0, 1}, 1}, Pattern{0, {1, 1, 0, 1}, 1},
                Pattern{1, {0, 0, 2, 0}, 2}};
  p.hasLast = true;
  p.last = Pattern{1, {0, 1, 0, 1}, 1};
  return p;
}

struct Arrays {
  CallResult out;
  TarvolinPlan plan{};
};

// The call's steps up to the driver, then the exact plan, then the result
// writing.
bool StoreAndWrite(const CallSetup& s, const Plan& plan, Arrays& a) {
  auto st = std::make_unique<solver::SolverState>();
  if (solver::testing::PrepareState(s, *st) != 0) return false;
  // The group of each item in input numbering, as the call's expansion fills it.
  int n = 0;
  for (int g = 1; g <= s.stockLth[0]; ++g) {
    for (int q = 0; q < s.stockQty[g]; ++q) a.plan.stockItemGroup[++n] = static_cast<int16_t>(g);
  }
  n = 0;
  for (int g = 1; g <= s.partLth[0]; ++g) {
    for (int q = 0; q < s.partQty[g]; ++q) a.plan.partItemGroup[++n] = static_cast<int16_t>(g);
  }
  solver::RunOptimizationDriver(*st);
  if (!solver::exact::StorePlanAsResult(*st, InputOf(s), plan)) return false;
  solver::WriteResults(*st, a.plan);
  CallResult& o = a.out;
  const solver::FlatArrays in{s.stockLth, s.stockCst, s.stockQty, s.partLth, s.partMrk, s.partQty};
  const solver::FlatResults results{
      &o.crit,     &o.util,       &o.stockUsed,  &o.partsCut,  &o.lthUsed,     &o.waste,
      &o.cost,     &o.lastStock,  &o.lastParts,  &o.lastLth,   &o.lastWaste,   &o.lastCost,
      &o.patterns, &o.layouts,    &o.layoutCuts, &o.reserved1, &o.reserved2,   o.stockItGr,
      o.partItGr,  o.partItStock, o.stockItLay,  o.stockItPat, o.stockItParts, o.stockItWaste};
  solver::WriteFlatResults(a.plan, in, results);
  return st->error.number == 0;
}

TEST(StorePlanAsResult, ResultArraysDescribeThePlan) {
  const CallSetup s = MixedMarks();
  auto a = std::make_unique<Arrays>();
  ASSERT_TRUE(StoreAndWrite(s, PlanOfTheSetup(), *a));
  const CallResult& o = a->out;

  // Totals without the last bar.
  EXPECT_EQ(o.stockUsed, 4);
  EXPECT_EQ(o.partsCut, 3 + 3 + 2 + 2);
  EXPECT_EQ(o.lthUsed, 2 * 600000 + 2 * 500000);
  EXPECT_EQ(o.waste, 2 * (600000 - 595000) + 2 * (500000 - 360000));
  // The last bar: a 5 m bar (items 6..9) with two pieces.
  EXPECT_GE(o.lastStock, 6);
  EXPECT_LE(o.lastStock, 9);
  EXPECT_EQ(o.lastParts, 2);
  EXPECT_EQ(o.lastWaste, 500000 - 345000);
  // Layouts by lengths: the two 6 m bars carry the same lengths; the 5 m
  // bars one layout; the last bar one of its own. Patterns tell marks apart.
  EXPECT_EQ(o.layouts, 3);
  EXPECT_EQ(o.patterns, 4);
  EXPECT_EQ(o.layoutCuts, 3 + 2);

  // Item arrays: counts, markers, and bars that carry what the plan says.
  EXPECT_EQ(o.stockItLay[0], 9);
  EXPECT_EQ(o.partItStock[0], 12);
  EXPECT_EQ(o.stockItLay[10], 1332);
  EXPECT_EQ(o.partItStock[13], 1332);
  std::map<int, std::map<int, int>> onBar;  // bar -> part group -> pieces
  for (int p = 1; p <= 12; ++p) {
    ASSERT_NE(o.partItStock[p], 0) << "piece " << p;
    ++onBar[o.partItStock[p]][o.partItGr[p]];
  }
  std::multiset<std::map<int, int>> regular6, regular5;
  for (const auto& [bar, groups] : onBar) {
    int parts = 0;
    for (const auto& [g, c] : groups) parts += c;
    EXPECT_EQ(o.stockItParts[bar], parts) << "bar " << bar;
    EXPECT_NE(o.stockItLay[bar], 0);
    if (bar == o.lastStock) {
      EXPECT_EQ(groups, (std::map<int, int>{{2, 1}, {4, 1}}));
    } else if (o.stockItGr[bar] == 1) {
      regular6.insert(groups);
    } else {
      regular5.insert(groups);
    }
  }
  EXPECT_EQ(regular6,
            (std::multiset<std::map<int, int>>{{{1, 2}, {4, 1}}, {{1, 1}, {2, 1}, {4, 1}}}));
  EXPECT_EQ(regular5, (std::multiset<std::map<int, int>>{{{3, 2}}, {{3, 2}}}));
  int unused = 0;
  for (int b = 1; b <= 9; ++b) unused += o.stockItLay[b] == 0 ? 1 : 0;
  EXPECT_EQ(unused, 4);
}

TEST(StorePlanAsResult, RefusesAPlanBeyondTheItems) {
  const CallSetup s = MixedMarks();
  Plan p = PlanOfTheSetup();
  p.patterns[2].bars = 4;  // five 5 m bars with the last one; there are four
  auto a = std::make_unique<Arrays>();
  EXPECT_FALSE(StoreAndWrite(s, p, *a));
}

}  // namespace
}  // namespace exact_test
