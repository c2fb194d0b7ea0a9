// The sorts of the preparation and the driver keep the order that the
// exchange sorts they replace gave, ties included: compared with those
// exchange sorts over seeded random tables full of equal keys.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "prepare.h"
#include "solver_common.h"
#include "solver_state.h"

namespace {

using solver::SolverState;

// The exchange sort the item sorts used: full passes over neighbours,
// exchanging only when the later one must come first.
template <typename T, typename Before>
void ExchangeSort(std::vector<T>& v, Before before) {
  for (size_t pass = 0; pass < v.size(); ++pass) {
    for (size_t i = 0; i + 1 < v.size(); ++i) {
      if (before(v[i + 1], v[i])) std::swap(v[i], v[i + 1]);
    }
  }
}

TEST(SortTiesTest, StableSortMatchesExchangeSort) {
  std::mt19937 gen(7);
  for (int trial = 0; trial < 200; ++trial) {
    const int n = 1 + static_cast<int>(gen() % 100);
    const int distinct = 1 + static_cast<int>(gen() % 6);
    std::vector<std::pair<int, int>> v(n);  // key, original position
    for (int i = 0; i < n; ++i) v[i] = {static_cast<int>(gen() % distinct), i};
    auto before = [](const std::pair<int, int>& a, const std::pair<int, int>& b) {
      return a.first > b.first;
    };
    std::vector<std::pair<int, int>> expected = v;
    ExchangeSort(expected, before);
    solver::StableSort(v.data(), n, before);
    EXPECT_EQ(v, expected) << "trial " << trial;
  }
}

// Parts by length, longest first; bars by length, then dearer first. The
// input numbers show where each item came from.
TEST(SortTiesTest, ItemSortsKeepTheExchangeOrder) {
  std::mt19937 gen(11);
  for (int trial = 0; trial < 100; ++trial) {
    auto st = std::make_unique<SolverState>();
    solver::ProblemTables& t = st->problem;
    const int n = 1 + static_cast<int>(gen() % 100);
    t.partCount = t.stockCount = n;
    struct Item {
      int32_t length, cost;
      int16_t inputNo;
    };
    std::vector<Item> parts, stocks;
    for (int i = 1; i <= n; ++i) {
      t.partLength[i] = 1000 + static_cast<int32_t>(gen() % 4) * 100;
      t.partMark[i] = static_cast<int32_t>(gen() % 3);
      t.partInputNo[i] = static_cast<int16_t>(i);
      t.stockLength[i] = 5000 + static_cast<int32_t>(gen() % 3) * 500;
      t.stockCost[i] = static_cast<int32_t>(gen() % 3) * 10;
      t.stockInputNo[i] = static_cast<int16_t>(i);
      parts.push_back({t.partLength[i], t.partMark[i], t.partInputNo[i]});
      stocks.push_back({t.stockLength[i], t.stockCost[i], t.stockInputNo[i]});
    }
    ExchangeSort(parts, [](const Item& a, const Item& b) { return a.length > b.length; });
    // The bar sort's two exchange passes: by length, then by cost among
    // neighbours of equal length.
    ExchangeSort(stocks, [](const Item& a, const Item& b) { return a.length > b.length; });
    ExchangeSort(stocks, [](const Item& a, const Item& b) {
      return a.length == b.length && a.cost > b.cost;
    });
    solver::SortPartItems(*st);
    solver::SortStockItems(*st);
    for (int i = 1; i <= n; ++i) {
      EXPECT_EQ(t.partInputNo[i], parts[i - 1].inputNo) << "trial " << trial << " part " << i;
      EXPECT_EQ(t.partMark[i], parts[i - 1].cost) << "trial " << trial << " part " << i;
      EXPECT_EQ(t.stockInputNo[i], stocks[i - 1].inputNo) << "trial " << trial << " bar " << i;
    }
  }
}

}  // namespace
