#include "construction.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "run_fixture.h"

namespace solver {
namespace {

using testing::MakeState;
using testing::PiecesOn;
using testing::SetupRun;

using Pieces = std::vector<int>;

int32_t WorkingLoad(const SolverState& st, int bar) {
  int32_t sum = 0;
  for (int i : PiecesOn(st, bar)) sum += st.run.partGroupLength[st.run.pieceGroup[i]];
  return sum;
}

TEST(AddDifferentPiece, Cases) {
  auto st = MakeState();
  st->settings.maxDifferentPieces = 2;
  int16_t list[8] = {0, 4, 0, 0};
  EXPECT_EQ(AddDifferentPiece(*st, 4, 1, list), 1);  // already listed
  EXPECT_EQ(AddDifferentPiece(*st, 7, 1, list), 2);  // appended tentatively
  EXPECT_EQ(list[2], 7);
  EXPECT_EQ(AddDifferentPiece(*st, 9, 2, list), -1);  // limit reached
  EXPECT_EQ(AddDifferentPiece(*st, 7, 2, list), 2);
}

TEST(Construction, FirstFitWithoutCombinations) {
  auto st = MakeState();
  SetupRun(*st, {{600, 1}, {500, 1}, {400, 1}}, {{1000, 2}});
  st->run.pairCombos = st->run.tripleCombos = false;
  BuildPlan(*st);
  EXPECT_EQ(PiecesOn(*st, 1), (Pieces{1, 3}));
  EXPECT_EQ(PiecesOn(*st, 2), (Pieces{2}));
  EXPECT_EQ(st->run.planTotals.layouts, 2);
  EXPECT_EQ(st->run.planTotals.pieces, 3);
  EXPECT_EQ(st->run.planTotals.used, 1500);
  EXPECT_EQ(st->run.planTotals.waste, 500);
  EXPECT_EQ(st->run.stockState[1], kBarUsed);
  EXPECT_EQ(st->run.stockRemainder[2], 500);
}

TEST(Construction, PairCombinationFillsBetterThanFirstFit) {
  // A = 300 x 3, B = 200 x 2 on a bar of 1000: first fit cuts A A A, the
  // pair enumeration finds A A B B.
  auto st = MakeState();
  SetupRun(*st, {{300, 3}, {200, 2}}, {{1000, 1}});
  BuildPlan(*st);
  EXPECT_EQ(PiecesOn(*st, 1), (Pieces{1, 2, 4, 5}));

  SetupRun(*st, {{300, 3}, {200, 2}}, {{1000, 1}});
  st->run.pairCombos = false;
  BuildPlan(*st);
  EXPECT_EQ(PiecesOn(*st, 1), (Pieces{1, 2, 3}));
}

TEST(Construction, CombinationNeedsHalfTheBarFree) {
  // C is placed alone (no partner passes the fill share 0.95); the rest of
  // the bar then holds A = 200 x 2 and B = 125 x 3. With more than half the
  // bar left the pair A + B B fits tightly; with less, pieces go one by one.
  const struct {
    int32_t c;
    Pieces expected;
  } cases[] = {{490, {1, 2, 4, 5}}, {510, {1, 2, 3}}};
  for (const auto& c : cases) {
    auto st = MakeState();
    SetupRun(*st, {{c.c, 1}, {200, 2}, {125, 3}}, {{1000, 1}});
    st->run.pairCombos = true;
    st->run.tripleCombos = false;
    st->run.runShare = 0.2;
    st->run.pairFill = 0.95;
    BuildPlan(*st);
    EXPECT_EQ(PiecesOn(*st, 1), c.expected) << "C = " << c.c;
  }
}

TEST(Construction, GrippingReserve) {
  // Short pieces (200 < grip 300) need 300 left behind them until a long
  // piece is on the bar.
  auto st = MakeState();
  SetupRun(*st, {{200, 5}}, {{1000, 2}});
  st->run.gripLength = 300;
  BuildPlan(*st);
  EXPECT_EQ(PiecesOn(*st, 1).size(), 3u);
  EXPECT_EQ(PiecesOn(*st, 2).size(), 2u);

  SetupRun(*st, {{400, 1}, {200, 3}}, {{1000, 1}});
  st->run.gripLength = 300;
  st->run.pairCombos = false;
  BuildPlan(*st);
  EXPECT_EQ(PiecesOn(*st, 1), (Pieces{1, 2, 3, 4}));
}

TEST(Construction, MaxPiecesBoundsEveryLayout) {
  for (bool combos : {false, true}) {
    auto st = MakeState();
    st->settings.maxPiecesPerLayout = 3;
    SetupRun(*st, {{110, 5}, {100, 6}}, {{1000, 5}});
    st->run.pairCombos = combos;
    BuildPlan(*st);
    int cut = 0;
    for (int b = 1; b <= st->run.stockCount; ++b) {
      EXPECT_LE(PiecesOn(*st, b).size(), 3u) << "combos " << combos << " bar " << b;
      cut += static_cast<int>(PiecesOn(*st, b).size());
    }
    EXPECT_EQ(cut, 11);
  }
}

TEST(Construction, DiffPiecesOneKeepsGroupsApart) {
  auto st = MakeState();
  st->settings.maxDifferentPieces = 1;
  SetupRun(*st, {{300, 2}, {200, 4}}, {{1000, 3}});
  st->run.pairCombos = st->run.tripleCombos = false;
  BuildPlan(*st);
  for (int b = 1; b <= st->run.stockCount; ++b) {
    std::set<int> groups;
    for (int i : PiecesOn(*st, b)) groups.insert(st->run.pieceGroup[i]);
    EXPECT_LE(groups.size(), 1u) << "bar " << b;
  }
  EXPECT_EQ(PiecesOn(*st, 1), (Pieces{1, 2}));
  EXPECT_EQ(PiecesOn(*st, 2), (Pieces{3, 4, 5, 6}));
}

TEST(Construction, DiffStocksOneLeavesOtherGroupsEmpty) {
  auto st = MakeState();
  st->settings.maxStockGroups = 1;
  SetupRun(*st, {{600, 3}}, {{1000, 2}, {800, 2}});
  // Bars alternate between the groups in the open order.
  const int16_t order[] = {0, 1, 3, 2, 4};
  for (int p = 1; p <= 4; ++p) st->run.openStocks[p] = order[p];
  BuildPlan(*st);
  EXPECT_EQ(PiecesOn(*st, 1).size(), 1u);
  EXPECT_EQ(PiecesOn(*st, 2).size(), 1u);
  EXPECT_EQ(st->run.stockState[3], kBarLookedAt);
  EXPECT_EQ(st->run.stockState[4], kBarLookedAt);
  EXPECT_TRUE(PiecesOn(*st, 3).empty());
  EXPECT_EQ(st->run.usedStockGroupCount, 1);
  EXPECT_EQ(st->run.usedStockGroups[1], 1);
}

TEST(Construction, VariationOfBarChoice) {
  // Bar 1 takes A A B B from the combination (A, B, C). Bar 2, of the same
  // stock group, finds the different combination (C, D) at its first
  // position: a draw below 2 decides whether it is left free, the pieces
  // then going to bar 3 of the other group.
  for (uint32_t want : {0u, 1u}) {
    auto st = MakeState();
    SetupRun(*st, {{300, 2}, {200, 2}, {350, 1}, {150, 2}}, {{1000, 2}, {800, 1}});
    st->run.pairCombos = true;
    uint32_t seed = 1;
    for (;; ++seed) {
      Random r;
      r.Seed(seed);
      if (r.Next(2) == want) break;
    }
    st->rng.Seed(seed);
    BuildPlan(*st);
    EXPECT_EQ(PiecesOn(*st, 1), (Pieces{1, 2, 3, 4}));
    const int chosen = want == 0 ? 2 : 3;
    EXPECT_EQ(PiecesOn(*st, chosen), (Pieces{5, 6, 7})) << "draw " << want;
    EXPECT_TRUE(PiecesOn(*st, 5 - chosen).empty()) << "draw " << want;
  }
}

TEST(Construction, PiecesFitEveryBar) {
  auto st = MakeState();
  SetupRun(*st, {{430, 4}, {270, 5}, {190, 7}, {120, 3}}, {{1200, 4}, {900, 4}});
  for (int rep = 0; rep < 3; ++rep) {
    BuildPlan(*st);
    for (int b = 1; b <= st->run.stockCount; ++b) {
      EXPECT_LE(WorkingLoad(*st, b), st->run.stockGroupLength[st->run.stockGroup[b]]);
    }
    for (int k = 1; k <= 50; ++k) EXPECT_EQ(st->run.check[k], 0) << k;
  }
}

TEST(Construction, RestListAfterCombination) {
  // Bar 1 (1000) pairs A = 300 x 3 with C = 200 x 2 past the single B = 350
  // and takes A A C C. The unplaced A goes to the rest list ahead of the
  // skipped B, so bar 2 (400) starts with A and the B is left for bar 3.
  auto st = MakeState();
  SetupRun(*st, {{300, 3}, {350, 1}, {200, 2}}, {{1000, 1}, {400, 2}});
  st->run.pairCombos = true;
  st->run.tripleCombos = false;
  st->run.runShare = 0.4;
  st->run.pairFill = 0.95;
  BuildPlan(*st);
  EXPECT_EQ(PiecesOn(*st, 1), (Pieces{1, 2, 5, 6}));
  EXPECT_EQ(PiecesOn(*st, 2), (Pieces{3}));
  EXPECT_EQ(PiecesOn(*st, 3), (Pieces{4}));
  EXPECT_EQ(st->run.stockRemainder[2], 100);
}

TEST(Commit, RuleWithToleranceAndCost) {
  auto st = MakeState();
  SetupRun(*st, {{100, 1}}, {{1000, 1, 100}});
  st->run.commitTolerance = -1.0;
  EXPECT_FALSE(CommitAllowed(*st, 1000, 0, 100));
  st->run.commitTolerance = 0.01;
  EXPECT_TRUE(CommitAllowed(*st, 1000, 10, 100));
  EXPECT_FALSE(CommitAllowed(*st, 1000, 11, 100));
  // Cost mode: a bar cheaper than the reference rate gets up to twice the
  // tolerance; a dearer bar is never committed.
  st->settings.effectiveCostMode = true;
  st->run.refCostRate = 0.2;
  EXPECT_TRUE(CommitAllowed(*st, 1000, 19, 100));
  EXPECT_FALSE(CommitAllowed(*st, 1000, 21, 100));
  EXPECT_FALSE(CommitAllowed(*st, 1000, 0, 201));
}

TEST(Commit, CommittedLayoutLeavesOpenLists) {
  auto st = MakeState();
  SetupRun(*st, {{500, 2}, {300, 1}}, {{1000, 2}});
  st->run.pairCombos = false;
  st->run.commitTolerance = 0.001;
  BuildPlan(*st);
  // Bar 1 holds 500 + 500 exactly and is committed; bar 2 takes the 300.
  EXPECT_EQ(st->run.stockState[1], kBarCommitted);
  EXPECT_EQ(st->run.openStockCount, 1);
  EXPECT_EQ(st->run.openStocks[1], 2);
  EXPECT_EQ(st->run.openStocks[2], 1);
  EXPECT_EQ(st->run.openPieceCount, 1);
  EXPECT_EQ(st->run.openPieces[1], 3);
  EXPECT_EQ(st->run.committedTotals.layouts, 1);
  EXPECT_EQ(st->run.committedTotals.used, 1000);
  EXPECT_EQ(st->run.planTotals.layouts, 2);
  EXPECT_EQ(st->run.planTotals.pieces, 3);
  EXPECT_EQ(PiecesOn(*st, 2), (Pieces{3}));

  // The same plan with rule -1 commits nothing.
  SetupRun(*st, {{500, 2}, {300, 1}}, {{1000, 2}});
  st->run.pairCombos = false;
  st->run.commitTolerance = -1.0;
  BuildPlan(*st);
  EXPECT_EQ(st->run.stockState[1], kBarUsed);
  EXPECT_EQ(st->run.openStockCount, 2);
  EXPECT_EQ(st->run.openPieceCount, 3);
}

ComboCounts Counts(int32_t l1, int32_t k1, int32_t l2, int32_t k2, int32_t remaining) {
  ComboCounts cc;
  cc.L1 = l1;
  cc.k1 = k1;
  cc.L2 = l2;
  cc.k2 = k2;
  cc.barLength = cc.barRemaining = remaining;
  return cc;
}

TEST(ChooseCounts, TopsUpAndRespectsMaxPieces) {
  ComboCounts cc = Counts(300, 3, 200, 2, 1000);
  ChooseCounts(cc, false);
  EXPECT_EQ(cc.a, 2);
  EXPECT_EQ(cc.b, 2);
  EXPECT_EQ(cc.bestScore, 0.0f);

  cc = Counts(300, 3, 200, 2, 1000);
  cc.maxPiecesPerLayout = 3;
  ChooseCounts(cc, false);
  EXPECT_EQ(cc.a, 3);  // 300 x 3 leaves 100, the least with three pieces
  EXPECT_EQ(cc.b, 0);
}

TEST(ChooseCounts, TripleAndTieKeepsEarlier) {
  ComboCounts cc = Counts(400, 1, 300, 2, 1000);
  cc.groups = 3;
  cc.L3 = 100;
  cc.k3 = 3;
  ChooseCounts(cc, false);
  // a = 1: b = 0 gives c = 3 (waste 300) and b = 1 gives c = 3 (waste 0).
  EXPECT_EQ(cc.a, 1);
  EXPECT_EQ(cc.b, 1);
  EXPECT_EQ(cc.c, 3);

  // (1, 2) and (2, 0) both fill the bar: the first one rated stays.
  ComboCounts tie = Counts(500, 2, 250, 2, 1000);
  ChooseCounts(tie, false);
  EXPECT_EQ(tie.a, 1);
  EXPECT_EQ(tie.b, 2);
}

TEST(RateCounts, ScoresAndTopUps) {
  // Two groups with spread: (1, 3) wastes 100 of 1000, v = 0.102,
  // F = 8 / 4 = 2, |1/4 - 3/4| = 0.5: score 0.102 * (0.5 * 2 + 0.1).
  ComboCounts two = Counts(300, 4, 200, 4, 1000);
  two.spread = true;
  RateCounts(two, 1, 3, 0);
  EXPECT_EQ(two.a, 1);
  EXPECT_EQ(two.b, 3);
  EXPECT_FLOAT_EQ(two.bestScore, 0.1122f);

  // Three groups with spread: (1, 1, 2) wastes 300, so b is topped up to
  // its run of 2 (waste 100); v = 0.102, F = 8 / 5 = 1.6,
  // |1/2 - 2/2| = 0.5, |1/2 - 2/4| = 0: (0.5 * 1.6 + 0.1) * v * 0.1.
  ComboCounts three = Counts(300, 2, 200, 2, 1000);
  three.groups = 3;
  three.L3 = 100;
  three.k3 = 4;
  three.spread = true;
  RateCounts(three, 1, 1, 2);
  EXPECT_EQ(three.a, 1);
  EXPECT_EQ(three.b, 2);
  EXPECT_EQ(three.c, 2);
  EXPECT_FLOAT_EQ(three.bestScore, 0.00918f);

  // Gripping: the first group (200) is short, the second (300) is not, so
  // with a second-group piece counted no reserve is kept: (1, 1) wastes 500
  // and a grows by 2.
  ComboCounts grip = Counts(200, 5, 300, 1, 1000);
  grip.gripLength = 250;
  grip.r0 = 250;
  RateCounts(grip, 1, 1, 0);
  EXPECT_EQ(grip.a, 3);
  EXPECT_EQ(grip.b, 1);
  EXPECT_EQ(grip.bestScore, 100.0f);
  // Without a second-group piece the reserve stays: (1, 0) wastes 800,
  // (800 - 250) div 200 = 2 more pieces.
  ComboCounts alone = Counts(200, 5, 300, 1, 1000);
  alone.gripLength = 250;
  alone.r0 = 250;
  RateCounts(alone, 1, 0, 0);
  EXPECT_EQ(alone.a, 3);
  EXPECT_EQ(alone.bestScore, 400.0f);
}

}  // namespace
}  // namespace solver
