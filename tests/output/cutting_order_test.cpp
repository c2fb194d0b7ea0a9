#include "cutting_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvolin::plan {
namespace {

std::vector<PlanPiece> Pieces(const std::vector<int32_t>& lengths) {
  std::vector<PlanPiece> out;
  for (int32_t length : lengths) out.push_back({length, "", 0});
  return out;
}

// The remainder holds the grip when, behind the last piece and its kerf,
// at least the gripping length is left before the end zone; otherwise the
// shortest piece at least the gripping length long (of equal ones the last)
// is cut last. The expected orders follow from that rule by hand.
struct Case {
  const char* name;
  std::vector<int32_t> lengths;  // longest first, as a layout lists them
  int32_t stock, kerf, endZone, grip;
  std::vector<int> order;
  int gripPiece;
};

TEST(CuttingOrder, FollowsTheGrippingRule) {
  const std::vector<Case> cases = {
      {"no gripping length", {500, 300, 200}, 1000, 0, 0, 0, {0, 1, 2}, -1},
      {"no gripping length, bar full", {600, 400}, 1000, 0, 0, 0, {0, 1}, -1},
      {"remainder longer than the grip", {400, 300}, 1000, 0, 0, 200, {0, 1}, -1},
      {"remainder exactly the grip", {400, 300}, 1000, 0, 0, 300, {0, 1}, -1},
      {"remainder one short of the grip", {400, 300}, 1000, 0, 0, 301, {1, 0}, 0},
      {"one piece reaches in", {600, 150, 100}, 1000, 0, 0, 200, {1, 2, 0}, 0},
      {"several candidates: the shortest", {600, 250, 100}, 1000, 0, 0, 200, {0, 2, 1}, 1},
      {"equal candidates: the last listed", {500, 250, 250, 100}, 1150, 0, 0, 200, {0, 1, 3, 2}, 2},
      {"a piece exactly the grip qualifies", {700, 200, 50}, 1000, 0, 0, 200, {0, 2, 1}, 1},
      {"a piece one short does not", {700, 199, 50}, 1000, 0, 0, 200, {1, 2, 0}, 0},
      {"the candidate is last already", {700, 250}, 1000, 0, 0, 100, {0, 1}, 1},
      {"kerf: remainder exactly the grip", {400, 300}, 1000, 10, 0, 280, {0, 1}, -1},
      {"kerf: one short of the grip", {400, 300}, 1000, 10, 0, 281, {0, 1}, 1},
      {"kerf decides", {600, 150, 100}, 1000, 5, 0, 140, {0, 2, 1}, 1},
      {"no kerf, same pieces", {600, 150, 100}, 1000, 0, 0, 140, {0, 1, 2}, -1},
      {"end zone: remainder exactly the grip", {400, 300}, 1000, 0, 100, 200, {0, 1}, -1},
      {"end zone: one short of the grip", {400, 300}, 1000, 0, 101, 200, {0, 1}, 1},
      {"no piece long enough", {300, 300, 300}, 1000, 0, 0, 400, {0, 1, 2}, -1},
      {"no pieces", {}, 1000, 0, 0, 200, {}, -1},
  };
  for (const Case& c : cases) {
    const CutOrder order = CuttingOrder(Pieces(c.lengths), c.stock, c.kerf, c.endZone, c.grip);
    EXPECT_EQ(order.pieces, c.order) << c.name;
    EXPECT_EQ(order.gripPiece, c.gripPiece) << c.name;
  }
}

// A layout takes the kerf, end zone and gripping length of its material.
TEST(CuttingOrder, TakesTheMaterialsSettings) {
  MaterialPlan material;
  PlanLayout layout;
  layout.stockLength = 1000;
  layout.pieces = Pieces({600, 150, 100});
  material.gripLength = 140;
  EXPECT_EQ(CuttingOrder(layout, material).pieces, (std::vector<int>{0, 1, 2}));
  material.kerf = 5;
  EXPECT_EQ(CuttingOrder(layout, material).pieces, (std::vector<int>{0, 2, 1}));
  material.kerf = 0;
  material.endZone = 11;
  EXPECT_EQ(CuttingOrder(layout, material).pieces, (std::vector<int>{0, 2, 1}));
}

}  // namespace
}  // namespace tarvolin::plan
