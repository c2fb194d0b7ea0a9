#include "solver_call.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvolin {
namespace {

template <typename Array>
std::vector<int32_t> Slots(const Array& array, int count) {
  return std::vector<int32_t>(array.begin(), array.begin() + count);
}

TEST(PackSolverInputTest, WritesCountsGroupsAndMarkers) {
  MaterialPlan plan;
  plan.partGroupCount = 2;
  plan.partGroups[1] = {1000, 1, 2, "m", "A x", ""};
  plan.partGroups[2] = {2000, 2, 3, "", "A x", ""};
  plan.stockGroupCount = 1;
  plan.stockGroups[1] = {600000, 250, 4, "A x", ""};
  const SolverInput in = PackSolverInput(plan);
  EXPECT_EQ(Slots(in.partLengths, 4), (std::vector<int32_t>{2, 1000, 2000, 777}));
  EXPECT_EQ(Slots(in.partMarkIds, 4), (std::vector<int32_t>{2, 1, 2, 777}));
  EXPECT_EQ(Slots(in.partQuantities, 4), (std::vector<int32_t>{2, 2, 3, 777}));
  EXPECT_EQ(Slots(in.stockLengths, 3), (std::vector<int32_t>{1, 600000, 555}));
  EXPECT_EQ(Slots(in.stockCosts, 3), (std::vector<int32_t>{1, 250, 555}));
  EXPECT_EQ(Slots(in.stockQuantities, 3), (std::vector<int32_t>{1, 4, 555}));
  // Nothing is left behind the marker.
  EXPECT_EQ(in.partLengths[4], 0);
  EXPECT_EQ(in.stockQuantities[3], 0);
}

TEST(PackSolverInputTest, AMaterialWithoutStockHasOnlyTheMarker) {
  MaterialPlan plan;
  plan.partGroupCount = 1;
  plan.partGroups[1].length = 500;
  const SolverInput in = PackSolverInput(plan);
  EXPECT_EQ(Slots(in.stockLengths, 2), (std::vector<int32_t>{0, 555}));
}

// Results of two pieces on one bar with every marker in place.
SolverResults MarkedResults() {
  SolverResults r;
  for (auto* a : {&r.partItemGroup, &r.partItemStock}) {
    (*a)[0] = 2;
    (*a)[3] = 1332;
  }
  for (auto* a : {&r.stockItemGroup, &r.stockItemLayout, &r.stockItemPattern, &r.stockItemParts}) {
    (*a)[0] = 1;
    (*a)[2] = 1332;
  }
  r.stockItemWaste[0] = 1;
  r.stockItemWaste[2] = 1332;
  return r;
}

TEST(TakeResultArraysTest, ReadsCountsAndClearsCountAndMarkerSlots) {
  SolverResults r = MarkedResults();
  EXPECT_TRUE(TakeResultArrays(r));
  EXPECT_EQ(r.partItemCount, 2);
  EXPECT_EQ(r.stockItemCount, 1);
  EXPECT_EQ(r.partItemGroup[0], 0);
  EXPECT_EQ(r.partItemGroup[3], 0);
  EXPECT_EQ(r.stockItemWaste[2], 0);
}

TEST(TakeResultArraysTest, AnyMissingMarkerOrWildCountFails) {
  const struct {
    const char* what;
    void (*spoil)(SolverResults&);
    int partItems, stockItems;  // the counts kept afterwards
  } cases[] = {
      {"piece group marker", [](SolverResults& r) { r.partItemGroup[3] = 0; }, 2, 1},
      {"bar waste marker", [](SolverResults& r) { r.stockItemWaste[2] = 1331; }, 2, 1},
      {"bar parts marker", [](SolverResults& r) { r.stockItemParts[2] = 0; }, 2, 1},
      {"negative piece count", [](SolverResults& r) { r.partItemStock[0] = -1; }, 0, 1},
      {"bar count past the table", [](SolverResults& r) { r.stockItemLayout[0] = 101; }, 2, 0},
  };
  for (const auto& c : cases) {
    SolverResults r = MarkedResults();
    c.spoil(r);
    EXPECT_FALSE(TakeResultArrays(r)) << c.what;
    EXPECT_EQ(r.partItemCount, c.partItems) << c.what;
    EXPECT_EQ(r.stockItemCount, c.stockItems) << c.what;
  }
}

}  // namespace
}  // namespace tarvolin
