// Whole calls through the call boundary: the plans handed back are complete
// and consistent, repeatable, and a reached target ends the search early.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "call_harness.h"
#include "driver.h"

namespace solver {
namespace {

using testing::CallResult;
using testing::CallSetup;

struct Named {
  const char* name;
  CallSetup (*make)(int32_t);
};

const Named kInstances[] = {
    {"twenty groups", testing::TwentyGroupsThreeStocks},
    {"one length", testing::OneLength},
    {"cost mode", testing::CostTenStockGroups},
    {"kerf, end zone, grip", testing::KerfEndZoneGrip},
};

int32_t Sum(const int16_t* a, int n) {
  int32_t s = 0;
  for (int i = 0; i < n; ++i) s += a[i];
  return s;
}

// Checks one returned plan against its input.
void ExpectConsistentPlan(const CallSetup& in, const CallResult& out) {
  const int parts = Sum(in.partQty + 1, in.partQty[0]);
  const int bars = Sum(in.stockQty + 1, in.stockQty[0]);
  ASSERT_EQ(out.error, 0);
  ASSERT_EQ(out.partItStock[0], parts);
  ASSERT_EQ(out.stockItLay[0], bars);
  EXPECT_EQ(out.partsCut + out.lastParts, parts);  // every instance has stock enough

  int32_t load[102] = {};
  int32_t count[102] = {};
  for (int p = 1; p <= parts; ++p) {
    const int bar = out.partItStock[p];
    ASSERT_GE(bar, 1);
    ASSERT_LE(bar, bars);
    load[bar] += in.partLth[out.partItGr[p]];
    ++count[bar];
  }
  int32_t used = 0, length = 0, waste = 0, highest = 0;
  for (int s = 1; s <= bars; ++s) {
    const int32_t stockLength = in.stockLth[out.stockItGr[s]];
    EXPECT_EQ(out.stockItParts[s], count[s]) << "bar " << s;
    EXPECT_EQ(out.stockItLay[s] > 0, count[s] > 0) << "bar " << s;
    EXPECT_EQ(out.stockItPat[s] > 0, count[s] > 0) << "bar " << s;
    EXPECT_LE(out.stockItPat[s], out.patterns);
    if (count[s] == 0) continue;
    EXPECT_LE(load[s] + (count[s] - 1) * in.kerf + in.endZone, stockLength) << "bar " << s;
    EXPECT_EQ(out.stockItWaste[s], stockLength - load[s]) << "bar " << s;
    highest = std::max<int32_t>(highest, out.stockItLay[s]);
    if (s == out.lastStock) continue;
    ++used;
    length += stockLength;
    waste += stockLength - load[s];
  }
  EXPECT_EQ(out.layouts, highest);
  EXPECT_EQ(out.stockUsed, used);
  EXPECT_EQ(out.lthUsed, length);
  EXPECT_EQ(out.waste, waste);
  EXPECT_GT(out.crit, 0);
  EXPECT_GT(out.util, 0);
  EXPECT_LE(out.util, 100000);
}

// A kerf that lifts a working length past the sum limit is an internal
// error of the run, not a wrapped-around length.
TEST(DriverCall, WorkingLengthBeyondTheLimitIsAnError) {
  struct Case {
    int32_t stock, longPart, kerf, error;
  };
  // The long part fits no bar; the short one keeps the problem solvable.
  for (const Case c : {Case{2000000000, 1000000000, 600000000, 217},
                       Case{1000000000, 1500000000, 600000000, 218}}) {
    CallSetup in;
    in.effortLev = 0;
    in.kerf = c.kerf;
    in.AddStock(c.stock, 1);
    in.AddPart(c.longPart, 1);
    in.AddPart(100, 1);
    CallResult out;
    testing::Call(in, out);
    EXPECT_EQ(out.error, c.error);
  }
}

TEST(DriverCall, PlansAreCompleteAndConsistent) {
  for (const Named& inst : kInstances) {
    SCOPED_TRACE(inst.name);
    const CallSetup in = inst.make(1);
    auto out = std::make_unique<CallResult>();
    testing::Call(in, *out);
    ExpectConsistentPlan(in, *out);
  }
}

TEST(DriverCall, BundleCallCutsWholeBundles) {
  CallSetup in = testing::OneLength(2);
  in.diffPieces = -4;
  auto out = std::make_unique<CallResult>();
  testing::Call(in, *out);
  ExpectConsistentPlan(in, *out);
}

TEST(DriverCall, RepeatedCallGivesTheSamePlan) {
  const CallSetup in = testing::KerfEndZoneGrip(2);
  auto first = std::make_unique<CallResult>();
  auto second = std::make_unique<CallResult>();
  testing::Call(in, *first);
  testing::Call(in, *second);
  ASSERT_EQ(first->error, 0);
  EXPECT_EQ(std::memcmp(first.get(), second.get(), sizeof(CallResult)), 0);
}

TEST(DriverCall, TargetOfTheFirstPlanEndsTheSearchEarly) {
  const CallSetup in = testing::TwentyGroupsThreeStocks(3);
  auto probe = std::make_unique<SolverState>();
  ASSERT_EQ(testing::PrepareState(in, *probe), 0);
  RunOptimizationDriver(*probe);
  ASSERT_EQ(probe->error.number, 0);
  ASSERT_GE(probe->driver.bestTenCount, 1);
  // The earliest plan still in the list once the search is over.
  const BestTenEntry first = probe->driver.bestTen[1];

  auto st = std::make_unique<SolverState>();
  ASSERT_EQ(testing::PrepareState(in, *st), 0);
  st->target = TargetSolution{first.utilization, first.stocks,  first.parts,
                              first.cost,        first.layouts, first.layoutCuts};
  RunOptimizationDriver(*st);
  ASSERT_EQ(st->error.number, 0);
  EXPECT_TRUE(st->driver.targetReached);
  const BestTenEntry& last = st->driver.bestTen[st->driver.bestTenCount];
  EXPECT_EQ(last.criterion, first.criterion);
  EXPECT_EQ(last.stocks, first.stocks);
  EXPECT_LT(st->driver.constructionCount, probe->driver.constructionCount);
}

// A gripping length longer than every bar leaves no room for a piece shorter
// than it: nothing can be cut, and a plan that cuts nothing is worth
// nothing, in cost mode as well, where an empty plan still rates the stock
// it does not spend.
TEST(DriverCall, PlanThatCutsNothingHasCriterionZero) {
  for (int32_t costMode : {0, 1}) {
    CallSetup in;
    in.effortLev = 1;
    in.costOptim = costMode;
    in.grip = 7000;
    in.AddStock(6000, 5, 100);
    in.AddStock(5000, 5, 70);
    in.AddPart(1000, 3);
    auto out = std::make_unique<CallResult>();
    testing::Call(in, *out);
    EXPECT_EQ(out->error, 0) << "cost mode " << costMode;
    EXPECT_EQ(out->crit, 0) << "cost mode " << costMode;
    EXPECT_EQ(out->partsCut + out->lastParts, 0) << "cost mode " << costMode;
    EXPECT_EQ(out->stockUsed, 0) << "cost mode " << costMode;
    EXPECT_EQ(Sum(out->partItStock + 1, 3), 0) << "cost mode " << costMode;
  }
}

// A piece exactly as long as the bar less its end zone fits, with or
// without a kerf (the last cut of a bar needs none); one unit longer does
// not, and with nothing else to cut that is "no part fits".
TEST(DriverCall, PieceAsLongAsTheUsableBarFits) {
  const struct {
    int32_t kerf, part;
    int32_t error, cut;
  } cases[] = {{0, 5900, 0, 1}, {3, 5900, 0, 1}, {0, 5901, 21, 0}, {3, 5901, 21, 0}};
  for (const auto& c : cases) {
    CallSetup in;
    in.effortLev = 0;
    in.kerf = c.kerf;
    in.endZone = 100;
    in.AddStock(6000, 2);
    in.AddPart(c.part, 1);
    auto out = std::make_unique<CallResult>();
    testing::Call(in, *out);
    SCOPED_TRACE(::testing::Message() << "kerf " << c.kerf << " part " << c.part);
    EXPECT_EQ(out->error, c.error);
    if (c.error != 0) continue;
    EXPECT_EQ(out->partsCut + out->lastParts, c.cut);
    EXPECT_EQ(out->stockUsed + (out->lastStock != 0 ? 1 : 0), 1);
    EXPECT_EQ(out->partItStock[1], 1);
  }
}

// Bars no longer than the end zone hold nothing; beside bars that do, they
// are left unused instead of failing the call.
TEST(DriverCall, BarsWithinTheEndZoneBesideUsableBarsStayUnused) {
  const struct {
    int32_t shortLength, kerf, effort;
  } cases[] = {{50, 0, 0}, {50, 3, 5}, {100, 0, 5}, {100, 3, 0}};
  for (const auto& c : cases) {
    CallSetup in;
    in.effortLev = c.effort;
    in.kerf = c.kerf;
    in.endZone = 100;
    in.AddStock(6000, 2);
    in.AddStock(c.shortLength, 3);
    in.AddPart(1000, 7);
    auto out = std::make_unique<CallResult>();
    testing::Call(in, *out);
    SCOPED_TRACE(::testing::Message() << "short bar " << c.shortLength << " kerf " << c.kerf);
    ASSERT_EQ(out->error, 0);
    EXPECT_EQ(out->partsCut + out->lastParts, 7);
    for (int p = 1; p <= 7; ++p) {
      ASSERT_GE(out->partItStock[p], 1);
      EXPECT_EQ(out->stockItGr[out->partItStock[p]], 1) << "piece " << p;
    }
  }
}

}  // namespace
}  // namespace solver
