#include "tarvolin/stock_lowering.h"

#include <gtest/gtest.h>

#include <vector>

#include "tarvolin/errors.h"
#include "tarvolin/limits.h"

namespace {

struct Stock {
  std::vector<int32_t> partLength, partQty, stockLength, stockQty;
  int32_t Lower(const TarvolinSettings& rules = TarvolinSettings{}) {
    return TarvolinLowerStockToItemLimit(
        partLength.data(), partQty.data(), static_cast<int32_t>(partLength.size()),
        stockLength.data(), stockQty.data(), static_cast<int32_t>(stockLength.size()), &rules);
  }
};

TEST(LowerStockToItemLimit, StockWithinTheLimitIsLeftAlone) {
  Stock s{{1000}, {10}, {6000, 4000}, {60, 40}};
  EXPECT_EQ(s.Lower(), 0);
  EXPECT_EQ(s.stockQty, (std::vector<int32_t>{60, 40}));
}

// One bar at a time from the largest quantity, the later group first of
// equal ones, while every piece still fits: 80 and 80 end at 50 and 50.
TEST(LowerStockToItemLimit, BarsGoFromTheLargestQuantityDownToTheLimit) {
  Stock s{{2500}, {4}, {6000, 3000}, {80, 80}};
  EXPECT_EQ(s.Lower(), 0);
  EXPECT_EQ(s.stockQty, (std::vector<int32_t>{50, 50}));

  Stock one{{1000}, {10}, {6000}, {150}};
  EXPECT_EQ(one.Lower(), 0);
  EXPECT_EQ(one.stockQty, std::vector<int32_t>{TARVOLIN_MAX_ITEMS});
}

// The group that the pieces need keeps its bars while the other one gives
// them up: pieces of 5000 fit only the bars of 6000.
TEST(LowerStockToItemLimit, BarsThePiecesNeedStay) {
  Stock s{{5000}, {90}, {6000, 3000}, {90, 90}};
  EXPECT_EQ(s.Lower(), 0);
  EXPECT_EQ(s.stockQty, (std::vector<int32_t>{90, 10}));
}

TEST(LowerStockToItemLimit, BadArgumentsLeaveTheQuantities) {
  Stock s{{1000}, {10}, {6000}, {150}};
  const TarvolinSettings rules{};
  EXPECT_EQ(TarvolinLowerStockToItemLimit(s.partLength.data(), s.partQty.data(), 1,
                                          s.stockLength.data(), s.stockQty.data(), 1, nullptr),
            TARVOLIN_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(TarvolinLowerStockToItemLimit(nullptr, s.partQty.data(), 1, s.stockLength.data(),
                                          s.stockQty.data(), 1, &rules),
            TARVOLIN_ERROR_NULL_ARGUMENT);
  std::vector<int32_t> lengths(TARVOLIN_MAX_STOCK_GROUPS + 1, 6000);
  std::vector<int32_t> quantities(TARVOLIN_MAX_STOCK_GROUPS + 1, 20);
  EXPECT_EQ(TarvolinLowerStockToItemLimit(s.partLength.data(), s.partQty.data(), 1, lengths.data(),
                                          quantities.data(), TARVOLIN_MAX_STOCK_GROUPS + 1, &rules),
            TARVOLIN_ERROR_STOCK_GROUP_COUNT);
  EXPECT_EQ(quantities, std::vector<int32_t>(TARVOLIN_MAX_STOCK_GROUPS + 1, 20));
  EXPECT_EQ(s.stockQty, std::vector<int32_t>{150});
}

}  // namespace
