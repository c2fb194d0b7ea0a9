#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tarvolin/cut_optimize.h"

namespace {

struct Group {
  int32_t length;
  int16_t quantity;
};

// Packs groups into the 1-based arrays of the call; element 0 holds a value
// the bound must ignore.
int32_t Bound(const std::vector<Group>& groups, double slack, int32_t grip, int32_t endZone,
              int32_t kerf, int32_t stockLength) {
  std::vector<int32_t> lengths{-7};
  std::vector<int16_t> quantities{-7};
  for (const Group& g : groups) {
    lengths.push_back(g.length);
    quantities.push_back(g.quantity);
  }
  return BarDemandBound(lengths.data(), quantities.data(), static_cast<int32_t>(groups.size()),
                        slack, grip, endZone, kerf, stockLength);
}

struct Case {
  std::string name;
  std::vector<Group> groups;
  double slack;
  int32_t grip, endZone, kerf, stock;
  int32_t expected;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(Bound(c.groups, c.slack, c.grip, c.endZone, c.kerf, c.stock), c.expected) << c.name;
  }
}

TEST(BarDemandBound, NothingFits) {
  RunCases({
      {"longer than the bar", {{1001, 5}}, 1.4, 0, 0, 0, 1000, 0},
      {"end zone takes the room", {{995, 3}}, 1.4, 0, 10, 0, 1000, 0},
      {"kerf makes it too long", {{985, 3}}, 1.4, 0, 20, 10, 1000, 0},
      {"no groups", {}, 1.4, 0, 0, 0, 1000, 0},
      {"zero-length bar", {{10, 3}}, 1.4, 0, 0, 0, 0, 0},
  });
}

TEST(BarDemandBound, ClassesAndSpareCarryOver) {
  RunCases({
      {"two per bar", {{400, 10}}, 1.4, 0, 0, 0, 1000, 7},
      {"two per bar, no slack", {{400, 10}}, 1.0, 0, 0, 0, 1000, 5},
      {"short parts need a bar of their own", {{400, 10}, {150, 5}}, 1.4, 0, 0, 0, 1000, 8},
      {"same, no slack", {{400, 10}, {150, 5}}, 1.0, 0, 0, 0, 1000, 6},
      {"unfit parts play no part", {{1200, 2}, {400, 10}}, 1.4, 0, 0, 0, 1000, 7},
      {"exactly the usable length", {{1000, 3}}, 1.0, 0, 0, 0, 1000, 3},
      {"shorter part fills a spare place", {{400, 1}, {300, 1}}, 1.0, 0, 0, 0, 1000, 1},
      {"spare places carry over empty classes", {{400, 1}, {150, 2}}, 1.0, 0, 0, 0, 1000, 2},
      {"98 or more per bar", {{1, 196}}, 1.0, 0, 0, 0, 1000, 2},
      {"98 or more per bar, one over", {{1, 197}}, 1.0, 0, 0, 0, 1000, 3},
  });
}

TEST(BarDemandBound, UsableLengthAddsOneKerfAndLosesTheEndZone) {
  RunCases({
      {"end zone", {{400, 10}}, 1.0, 0, 10, 0, 1010, 5},
      {"kerf pushes past half", {{500, 4}}, 1.0, 0, 0, 5, 1000, 4},
      {"kerf stays within half", {{497, 4}}, 1.0, 0, 0, 5, 1000, 2},
  });
}

TEST(BarDemandBound, GrippingLengthCostsPlacesButNeverTheLast) {
  // 12 parts of 150 on U = 1000 are six per bar while g <= 1000 / 7.
  RunCases({
      {"no grip", {{150, 12}}, 1.0, 0, 0, 0, 1000, 2},
      {"grip just within U / 7", {{150, 12}}, 1.0, 142, 0, 0, 1000, 2},
      {"grip past U / 7: five places", {{150, 12}}, 1.0, 150, 0, 0, 1000, 3},
      {"longer grip: four places", {{150, 12}}, 1.0, 200, 0, 0, 1000, 3},
      {"grip of half the bar: two places", {{150, 12}}, 1.0, 500, 0, 0, 1000, 6},
      {"grip of the whole bar: one place", {{150, 12}}, 1.0, 1000, 0, 0, 1000, 12},
      {"two per bar lose one", {{400, 10}}, 1.0, 334, 0, 0, 1000, 10},
      {"two per bar, grip within U / 3", {{400, 10}}, 1.0, 333, 0, 0, 1000, 5},
  });
}

TEST(BarDemandBound, SlackRoundsHalfToEven) {
  RunCases({
      {"2.5 rounds down", {{400, 10}}, 0.5, 0, 0, 0, 1000, 2},
      {"3.5 rounds up", {{400, 14}}, 0.5, 0, 0, 0, 1000, 4},
      {"8.4", {{400, 10}, {150, 5}}, 1.4, 0, 0, 0, 1000, 8},
      {"2.8", {{1, 196}}, 1.4, 0, 0, 0, 1000, 3},
  });
}

// The layout limits, derived by hand on a bar of usable length 1000 and slack
// 1 (so the figures are bars): 3 x 400 take 2 per bar (2 bars, one place
// spare), 1 x 300 fills that spare place.
TEST(BarDemandBoundWithLimits, LimitsThatNeedMoreBars) {
  const struct {
    const char* name;
    std::vector<Group> groups;
    int32_t maxPieces, diffPieces;
    int32_t expected;
  } cases[] = {
      {"lengths only", {{400, 3}, {300, 1}}, 0, 0, 2},
      {"limit above the places", {{400, 3}, {300, 1}}, 5, 0, 2},
      {"one piece per layout", {{400, 3}, {300, 1}}, 1, 0, 4},
      {"ten short pieces, three per layout", {{100, 10}}, 3, 0, 4},
      {"one group per bar", {{400, 3}, {300, 1}}, 0, 1, 3},
      {"two groups per bar: still counted one group per bar", {{400, 3}, {300, 1}}, 0, 2, 3},
      {"bundle of two: 1 x 400 twice plus 1 x 400", {{400, 3}}, 0, -2, 3},
      {"bundle of four: 2 pieces a bar four times, the rest of 2 on one", {{100, 10}}, 3, -4, 5},
      {"DiffPieces -1 is no limit", {{400, 3}, {300, 1}}, 0, -1, 2},
  };
  for (const auto& c : cases) {
    std::vector<int32_t> lengths{-7};
    std::vector<int16_t> quantities{-7};
    for (const Group& g : c.groups) {
      lengths.push_back(g.length);
      quantities.push_back(g.quantity);
    }
    EXPECT_EQ(BarDemandBoundWithLimits(lengths.data(), quantities.data(),
                                       static_cast<int32_t>(c.groups.size()), 1.0, 0, 0, 0, 1000,
                                       c.maxPieces, c.diffPieces),
              c.expected)
        << c.name;
  }
  // Without limits it is the bound by length.
  const int32_t lengths[] = {0, 400, 300};
  const int16_t quantities[] = {0, 3, 1};
  EXPECT_EQ(BarDemandBoundWithLimits(lengths, quantities, 2, 1.4, 0, 0, 0, 1000, 0, 0),
            BarDemandBound(lengths, quantities, 2, 1.4, 0, 0, 0, 1000));
}

}  // namespace
