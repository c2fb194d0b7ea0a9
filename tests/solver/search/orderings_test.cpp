#include "orderings.h"

#include <gtest/gtest.h>

#include <vector>

#include "run_fixture.h"

namespace solver {
namespace {

using testing::MakeState;
using testing::SetupRun;

std::vector<int> OpenPieces(const SolverState& st) {
  return {st.run.openPieces + 1, st.run.openPieces + 1 + st.run.openPieceCount};
}
std::vector<int> OpenStocks(const SolverState& st) {
  return {st.run.openStocks + 1, st.run.openStocks + 1 + st.run.openStockCount};
}

// Finds a seed whose first draws below n are the given values.
uint32_t SeedFor(const std::vector<uint32_t>& draws, uint32_t n) {
  for (uint32_t s = 1;; ++s) {
    Random r;
    r.Seed(s);
    bool ok = true;
    for (uint32_t d : draws) ok = ok && r.Next(n) == d;
    if (ok) return s;
  }
}

TEST(SortPieces, ByLengthIsStableDescending) {
  auto st = MakeState();
  SetupRun(*st, {{500, 2}, {300, 1}, {800, 1}}, {{1000, 1}});
  // Key L * (L - 600): 800 -> 160000, 500 -> -50000, 300 -> -90000.
  SortPiecesByLength(*st, 600.0f);
  EXPECT_EQ(OpenPieces(*st), (std::vector<int>{4, 1, 2, 3}));
  // Key L * (L - 1000): 300 -> -210000 and 800 -> -160000, 500 -> -250000.
  SortPiecesByLength(*st, 1000.0f);
  EXPECT_EQ(OpenPieces(*st), (std::vector<int>{4, 3, 1, 2}));
}

TEST(SortPieces, KeysEqualInSinglePrecisionKeepOrder) {
  auto st = MakeState();
  // 10000 * (10000 - 20000.5) = -100005000 and 10001 * (10001 - 20000.5) =
  // -100004999.5 differ in double but not as floats.
  SetupRun(*st, {{10000, 1}, {10001, 1}}, {{30000, 1}});
  ASSERT_EQ(static_cast<float>(-100005000.0), static_cast<float>(-100004999.5));
  SortPiecesByLength(*st, 20000.5f);
  EXPECT_EQ(OpenPieces(*st), (std::vector<int>{1, 2}));
}

TEST(SortPieces, ByDemandWeighsOpenQuantity) {
  auto st = MakeState();
  SetupRun(*st, {{400, 1}, {300, 3}}, {{1000, 2}});
  // L * L * (q + a): 400 -> 160000 * 1, 300 -> 90000 * 3.
  SortPiecesByDemand(*st, 0, 0.0f);
  EXPECT_EQ(OpenPieces(*st), (std::vector<int>{2, 3, 4, 1}));
  // With a = 10: 160000 * 11 > 90000 * 13.
  SortPiecesByDemand(*st, 10, 0.0f);
  EXPECT_EQ(OpenPieces(*st), (std::vector<int>{1, 2, 3, 4}));
}

TEST(SortStocks, SignAndCostWeight) {
  auto st = MakeState();
  SetupRun(*st, {{100, 1}}, {{1000, 1, 500}, {800, 1, 2000}, {600, 1, 100}});
  SortStocksByLength(*st, +1, 0.0f);
  EXPECT_EQ(OpenStocks(*st), (std::vector<int>{1, 2, 3}));
  SortStocksByLength(*st, -1, 0.0f);
  EXPECT_EQ(OpenStocks(*st), (std::vector<int>{3, 2, 1}));
  // With a reference cost rate of 0.5, h = 0.2 * C + S: 1100, 1200, 620.
  st->run.refCostRate = 0.5;
  SortStocksByLength(*st, +1, 0.0f);
  EXPECT_EQ(OpenStocks(*st), (std::vector<int>{2, 1, 3}));
  st->run.refCostRate = 0;
  // h * h * (Q + b) with Q = 1 for all: same as by length.
  SortStocksByDemand(*st, +1, 2, 0.0f);
  EXPECT_EQ(OpenStocks(*st), (std::vector<int>{1, 2, 3}));
}

TEST(ShuffleClasses, DrawsInClassOrderAndSkipsEmptyGroups) {
  auto st = MakeState();
  // Group 2 has no open quantity; piece 4 was split into class 4.
  SetupRun(*st, {{500, 2}, {400, 0}, {300, 2}}, {{1000, 2}});
  st->run.pieceClass[4] = 4;
  st->run.pieceClassCount = 4;
  st->rng.Seed(77);
  Random expected;
  expected.Seed(77);
  const uint32_t key1 = expected.Next(9999) + 1;
  const uint32_t key3 = expected.Next(9999) + 1;
  const uint32_t key4 = expected.Next(9999) + 1;
  ShufflePieceClasses(*st);
  EXPECT_EQ(st->rng.seed, expected.seed);  // exactly three draws
  // Stable descending by the class keys.
  std::vector<std::pair<uint32_t, int>> keyed = {{key1, 1}, {key1, 2}, {key3, 3}, {key4, 4}};
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<int> order;
  for (const auto& k : keyed) order.push_back(k.second);
  EXPECT_EQ(OpenPieces(*st), order);
}

TEST(ShuffleClasses, EmptyGroupClassGoesLast) {
  auto st = MakeState();
  SetupRun(*st, {{500, 1}, {400, 1}}, {{1000, 1}});
  st->run.partGroupQty[1] = 0;  // open quantity used up, piece still listed
  st->rng.Seed(5);
  ShufflePieceClasses(*st);
  EXPECT_EQ(OpenPieces(*st), (std::vector<int>{2, 1}));
}

struct SwapCase {
  std::vector<uint32_t> draws;
  std::vector<int> expected;
};

TEST(SwapRuns, ExchangesAdjacentRunsFrontToBack) {
  // Runs A = {1, 2}, B = {3}, C = {4, 5}.
  const SwapCase cases[] = {
      {{0}, {3, 1, 2, 4, 5}},     // A and B exchanged, C stands alone behind them
      {{1, 0}, {1, 2, 4, 5, 3}},  // A kept, then B and C exchanged
      {{1, 1}, {1, 2, 3, 4, 5}},  // nothing exchanged
  };
  for (const SwapCase& c : cases) {
    auto st = MakeState();
    SetupRun(*st, {{500, 2}, {400, 1}, {300, 2}}, {{1000, 3}});
    const uint32_t seed = SeedFor(c.draws, 2);
    st->rng.Seed(seed);
    SwapPieceRuns(*st, 1);
    EXPECT_EQ(OpenPieces(*st), c.expected);
    Random r;
    r.Seed(seed);
    for (size_t i = 0; i < c.draws.size(); ++i) r.Next(2);
    EXPECT_EQ(st->rng.seed, r.seed) << "number of draws";
  }
}

TEST(SwapRuns, ShortListUnchangedWithoutDraw) {
  auto st = MakeState();
  SetupRun(*st, {{500, 1}}, {{1000, 1}});
  st->rng.Seed(9);
  SwapPieceRuns(*st, 1);
  SwapStockRuns(*st, 1);
  EXPECT_EQ(OpenPieces(*st), (std::vector<int>{1}));
  EXPECT_EQ(st->rng.seed, 9u);
}

TEST(SplitClass, NewClassTakesLowerHalf) {
  const struct {
    int size;
    int moved;
  } cases[] = {{2, 1}, {3, 1}, {5, 2}};
  for (const auto& c : cases) {
    auto st = MakeState();
    SetupRun(*st, {{500, c.size}}, {{1000, 5}});
    st->rng.Seed(3);
    ASSERT_TRUE(SplitPieceClass(*st)) << c.size;
    EXPECT_EQ(st->run.pieceClassCount, 2);
    for (int i = 1; i <= c.size; ++i) {
      EXPECT_EQ(st->run.pieceClass[i], i <= c.moved ? 2 : 1) << c.size << " item " << i;
    }
  }
}

TEST(SplitClass, FailsWhenEveryClassHasOneItem) {
  auto st = MakeState();
  SetupRun(*st, {{500, 1}, {400, 1}, {300, 1}}, {{1000, 3}});
  st->rng.Seed(3);
  EXPECT_FALSE(SplitPieceClass(*st));
  EXPECT_EQ(st->run.pieceClassCount, 3);
}

TEST(SplitClass, RangeCoversCommittedItems) {
  auto st = MakeState();
  SetupRun(*st, {{500, 4}}, {{1000, 4}});
  st->run.openPieces[1] = 4;  // only item 4 still open
  st->run.openPieceCount = 1;
  st->rng.Seed(3);
  ASSERT_TRUE(SplitPieceClass(*st));
  EXPECT_EQ(st->run.pieceClass[1], 2);
  EXPECT_EQ(st->run.pieceClass[2], 2);
  EXPECT_EQ(st->run.pieceClass[3], 1);
}

TEST(SplitClass, StockClassesOfBars) {
  auto st = MakeState();
  SetupRun(*st, {{100, 1}}, {{1000, 3}, {800, 1}});
  st->rng.Seed(SeedFor({0}, 4));  // first open bar: group 1 of three bars
  ASSERT_TRUE(SplitStockClass(*st));
  EXPECT_EQ(st->run.stockClassCount, 3);
  EXPECT_EQ(st->run.stockClass[1], 3);
  EXPECT_EQ(st->run.stockClass[2], 1);
}

TEST(MoveInList, FrontAndBack) {
  int16_t list[6] = {0, 1, 2, 3, 4, 5};
  MoveToFront(list, 2, 4);
  EXPECT_EQ(std::vector<int>(list + 1, list + 6), (std::vector<int>{1, 4, 2, 3, 5}));
  MoveToBack(list, 1, 5);
  EXPECT_EQ(std::vector<int>(list + 1, list + 6), (std::vector<int>{4, 2, 3, 5, 1}));
}

// With one class only, a shuffle draws once and a run swap not at all, and a
// sort never draws: the draws tell which ordering ran.
enum class Kind { Sort, Shuffle, Swap };

Kind PieceOrderKind(int mixType, int i) {
  auto st = MakeState();
  SetupRun(*st, {{500, 3}}, {{1000, 3}});
  st->run.mixType = mixType;
  st->rng.Seed(11);
  OrderPieces(*st, i);
  if (st->rng.seed == 11u) {
    // A swap on one class and a sort both leave the seed; a sort on a list
    // with two classes reorders it.
    auto st2 = MakeState();
    SetupRun(*st2, {{300, 1}, {500, 1}}, {{1000, 3}});
    st2->run.mixType = mixType;
    st2->rng.Seed(11);
    OrderPieces(*st2, i);
    return st2->rng.seed == 11u ? Kind::Sort : Kind::Swap;
  }
  return Kind::Shuffle;
}

TEST(OrderPieces, IterationTable) {
  const struct {
    int mixType, i;
    Kind kind;
  } cases[] = {
      {1, 0, Kind::Sort},     {1, 2, Kind::Shuffle}, {1, 19, Kind::Sort},    {1, 20, Kind::Shuffle},
      {1, 21, Kind::Swap},    {1, 22, Kind::Swap},   {1, 25, Kind::Shuffle}, {2, 27, Kind::Sort},
      {2, 28, Kind::Shuffle}, {2, 29, Kind::Swap},   {2, 30, Kind::Shuffle}, {3, 31, Kind::Sort},
      {3, 32, Kind::Shuffle}, {3, 33, Kind::Swap},   {3, 12, Kind::Shuffle},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PieceOrderKind(c.mixType, c.i), c.kind) << "mixType " << c.mixType << " i " << c.i;
  }
}

TEST(OrderPieces, FirstIterationPutsLongPiecesFirst) {
  auto st = MakeState();
  SetupRun(*st, {{300, 1}, {200, 1}, {500, 1}}, {{1000, 3}});
  OrderPieces(*st, 0);
  EXPECT_EQ(OpenPieces(*st), (std::vector<int>{3, 1, 2}));
}

Kind StockOrderKind(int diffStocks, bool costMode, int j) {
  auto st = MakeState();
  SetupRun(*st, {{100, 1}}, {{1000, 3}});
  st->settings.maxStockGroups = diffStocks;
  st->settings.effectiveCostMode = costMode;
  st->rng.Seed(11);
  OrderStocks(*st, j);
  if (st->rng.seed != 11u) return Kind::Shuffle;
  auto st2 = MakeState();
  SetupRun(*st2, {{100, 1}}, {{600, 1}, {1000, 1}});
  st2->settings.maxStockGroups = diffStocks;
  st2->settings.effectiveCostMode = costMode;
  st2->rng.Seed(11);
  OrderStocks(*st2, j);
  return st2->rng.seed == 11u ? Kind::Sort : Kind::Swap;
}

TEST(OrderStocks, IterationTable) {
  const struct {
    int diffStocks;
    bool costMode;
    int j;
    Kind kind;
  } cases[] = {
      {0, false, 0, Kind::Shuffle}, {0, false, 7, Kind::Sort},     {0, false, 11, Kind::Sort},
      {0, true, 11, Kind::Shuffle}, {0, false, 12, Kind::Shuffle}, {0, false, 13, Kind::Sort},
      {0, false, 14, Kind::Swap},   {0, false, 15, Kind::Shuffle}, {2, false, 3, Kind::Sort},
      {2, false, 7, Kind::Shuffle}, {2, false, 11, Kind::Swap},    {2, false, 15, Kind::Shuffle},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StockOrderKind(c.diffStocks, c.costMode, c.j), c.kind)
        << "diffStocks " << c.diffStocks << " cost " << c.costMode << " j " << c.j;
  }
}

}  // namespace
}  // namespace solver
