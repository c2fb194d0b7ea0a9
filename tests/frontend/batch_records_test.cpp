#include "batch_records.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace tarvolin {
namespace {

// Eight pieces, one per order line, of these lengths in item order; one
// stock line.
MaterialPlan EightPieces() {
  MaterialPlan answer;
  answer.stockGroupCount = 1;
  answer.stockGroups[1] = {900000, 0, 3, "ALU", ""};
  for (const int32_t length : {120000, 250000, 80000, 250000, 80000, 120000, 300000, 100000}) {
    const int g = ++answer.partGroupCount;
    answer.partGroups[g].length = length;
    answer.partGroups[g].markId = g;
    answer.partGroups[g].quantity = 1;
    answer.results.partItemGroup[g] = g;
  }
  answer.results.partItemCount = answer.partGroupCount;
  return answer;
}

// The item numbers of a bar's pieces, in the order the plan lists them.
std::vector<int> ItemsOn(const plan::PlanBar& bar) {
  std::vector<int> items;
  for (const int piece : bar.pieces) items.push_back(piece + 1);
  return items;
}

// The answer's pieces all on bar 1 (layout 1, pattern 1).
plan::MaterialPlan OnOneBar(MaterialPlan& answer) {
  SolverResults& r = answer.results;
  r.stockItemCount = 1;
  r.stockItemGroup[1] = 1;
  r.stockItemLayout[1] = 1;
  r.stockItemPattern[1] = 1;
  for (int i = 1; i <= r.partItemCount; ++i) r.partItemStock[i] = 1;
  return SolvedPlanOf(OptimizerSettings{}, answer, 0);
}

// The exchange sort the piece order was built with before: a bubble sort
// whose passes narrow to the range between the first and the last exchange
// of the pass before, exchanging only a strictly longer later piece.
std::vector<int> ExchangeSortedPieces(const MaterialPlan& plan) {
  const int n = plan.results.partItemCount;
  std::vector<int> order(n + 1);
  for (int i = 1; i <= n; ++i) order[i] = i;
  int low = 1;
  int high = n - 1;
  while (low <= high) {
    int first = 0;
    int last = 0;
    for (int i = low; i <= high; ++i) {
      if (PieceLength(plan, order[i + 1]) > PieceLength(plan, order[i])) {
        std::swap(order[i], order[i + 1]);
        if (first == 0) first = i;
        last = i;
      }
    }
    if (first == 0) break;
    low = std::max(1, first - 1);
    high = last - 1;
  }
  return {order.begin() + 1, order.end()};
}

TEST(PieceOrderTest, LongestFirstEqualLengthsInItemOrder) {
  MaterialPlan answer = EightPieces();
  const plan::MaterialPlan model = OnOneBar(answer);
  ASSERT_EQ(model.bars.size(), 1u);
  EXPECT_EQ(ItemsOn(model.bars[0]), (std::vector<int>{7, 2, 4, 1, 6, 8, 3, 5}));
}

// Few distinct lengths make many ties; a wrong group number reads as length
// 0 and sorts last.
TEST(PieceOrderTest, TiesKeepTheOrderOfTheFormerExchangeSort) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    MaterialPlan plan;
    plan.partGroupCount = 1 + static_cast<int>(random() % kMaxPartGroups);
    for (int g = 1; g <= plan.partGroupCount; ++g)
      plan.partGroups[g].length = 1 + static_cast<int32_t>(random() % 4);
    plan.results.partItemCount = static_cast<int>(random() % (kMaxItems + 1));
    for (int i = 1; i <= plan.results.partItemCount; ++i)
      plan.results.partItemGroup[i] = static_cast<int16_t>(random() % (plan.partGroupCount + 2));
    plan.stockGroupCount = 1;
    const std::vector<int> expected = ExchangeSortedPieces(plan);
    const plan::MaterialPlan model = OnOneBar(plan);
    ASSERT_EQ(model.bars.empty() ? std::vector<int>{} : ItemsOn(model.bars[0]), expected)
        << "round " << round;
  }
}

TEST(PlanLookupTest, NumbersOutsideTheTablesReadAsNothing) {
  MaterialPlan plan;
  plan.partGroupCount = 2;
  plan.partGroups[1].length = 700;
  plan.partGroups[2].length = 900;
  plan.partGroups[3].length = 555;  // beyond the count: not a group
  plan.stockGroupCount = 1;
  plan.stockGroups[1].length = 6000;
  plan.results.partItemGroup[1] = 2;
  plan.results.partItemGroup[2] = 3;
  plan.results.partItemGroup[3] = -1;

  EXPECT_EQ(PartGroupAt(plan, 0), nullptr);
  EXPECT_EQ(PartGroupAt(plan, 3), nullptr);
  EXPECT_EQ(PartGroupAt(plan, 2), &plan.partGroups[2]);
  EXPECT_EQ(StockGroupAt(plan, 1), &plan.stockGroups[1]);
  EXPECT_EQ(StockGroupAt(plan, 2), nullptr);
  EXPECT_EQ(PieceLength(plan, 1), 900);
  EXPECT_EQ(PieceLength(plan, 2), 0);
  EXPECT_EQ(PieceLength(plan, 3), 0);

  // A count beyond the table is held at its length.
  const int slots = static_cast<int>(plan.partGroups.size());
  plan.partGroupCount = slots + 5;
  EXPECT_EQ(PartGroupAt(plan, slots - 1), &plan.partGroups[slots - 1]);
  EXPECT_EQ(PartGroupAt(plan, slots), nullptr);
}

TEST(PlanLookupTest, ItemCountsStayWithinTheTables) {
  const struct {
    int count, held;
  } cases[] = {{-3, 0}, {0, 0}, {37, 37}, {kMaxItems, kMaxItems}, {kMaxItems + 1, kMaxItems}};
  for (const auto& c : cases) {
    SolverResults r;
    r.partItemCount = c.count;
    r.stockItemCount = c.count;
    EXPECT_EQ(PieceCount(r), c.held) << c.count;
    EXPECT_EQ(BarCount(r), c.held) << c.count;
  }
  // Tables sized for a large plan hold it; a table cut short limits both.
  SolverResults r;
  r.SizeTables(250, 300);
  EXPECT_EQ(BarCount(r), 250);
  EXPECT_EQ(PieceCount(r), 300);
  EXPECT_EQ(r.stockItemWaste.size(), 252u);
  r.stockItemParts.resize(150);
  EXPECT_EQ(BarCount(r), 148);
}

// Pieces of a bar in the piece order.
TEST(PlanLookupTest, PiecesOfABarFollowThePieceOrder) {
  MaterialPlan plan;
  plan.partGroupCount = 2;
  plan.partGroups[1].length = 100;
  plan.partGroups[2].length = 300;
  SolverResults& r = plan.results;
  r.SizeTables(3, 6);
  // Pieces 1-3 of group 1, 4-6 of group 2; bar 2 is unused, piece 3 uncut,
  // piece 6 on a bar that does not exist.
  const int groups[] = {0, 1, 1, 1, 2, 2, 2};
  const int bars[] = {0, 3, 1, 0, 1, 3, 9};
  for (int i = 1; i <= 6; ++i) {
    r.partItemGroup[i] = groups[i];
    r.partItemStock[i] = bars[i];
  }
  plan.stockGroupCount = 1;
  for (const int bar : {1, 3}) {
    r.stockItemGroup[bar] = 1;
    r.stockItemLayout[bar] = 1;
    r.stockItemPattern[bar] = 1;
  }
  const plan::MaterialPlan model = SolvedPlanOf(OptimizerSettings{}, plan, 0);
  ASSERT_EQ(model.bars.size(), 2u);
  EXPECT_EQ(model.bars[0].stockItem, 1);
  EXPECT_EQ(ItemsOn(model.bars[0]), (std::vector<int>{4, 2}));
  EXPECT_EQ(model.bars[1].stockItem, 3);
  EXPECT_EQ(ItemsOn(model.bars[1]), (std::vector<int>{5, 1}));
  // The uncut piece and the piece on a bar that does not exist.
  EXPECT_FALSE(model.pieces[2].bar.has_value());
  EXPECT_FALSE(model.pieces[5].bar.has_value());
}

}  // namespace
}  // namespace tarvolin
