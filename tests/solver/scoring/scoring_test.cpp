#include "scoring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "solver_state.h"

namespace solver {
namespace {

struct StockDef {
  int length, cost, qty;
};
struct PartDef {
  int length, qty;
};

// A run with its plan placed by hand (kerf 0, so working = real lengths
// unless a test sets the kerf).
class TestRun {
 public:
  std::unique_ptr<SolverState> st = std::make_unique<SolverState>();
  RunTables& run = st->run;

  TestRun(const std::vector<StockDef>& stock, const std::vector<PartDef>& parts) {
    run.stockGroupCount = static_cast<int32_t>(stock.size());
    for (size_t g = 0; g < stock.size(); ++g) {
      const int grp = static_cast<int>(g) + 1;
      run.stockGroupLength[grp] = stock[g].length;
      run.stockGroupCost[grp] = stock[g].cost;
      run.stockGroupQty[grp] = stock[g].qty;
      for (int q = 0; q < stock[g].qty; ++q) {
        const int bar = ++run.stockCount;
        run.stockGroup[bar] = static_cast<int16_t>(grp);
        run.openStocks[bar] = static_cast<int16_t>(bar);
        run.initialStockOrder[bar] = static_cast<int16_t>(bar);
        run.stockRemainder[bar] = kUntouchedRemainder;
      }
    }
    run.openStockCount = run.initialStockCount = run.stockCount;
    int pos = 0;
    for (int g = run.stockGroupCount; g >= 1; --g) {
      for (int bar = 1; bar <= run.stockCount; ++bar) {
        if (run.stockGroup[bar] == g) run.barsByGroup[++pos] = static_cast<int16_t>(bar);
      }
    }
    run.partGroupCount = static_cast<int32_t>(parts.size());
    for (size_t g = 0; g < parts.size(); ++g) {
      const int grp = static_cast<int>(g) + 1;
      run.partGroupLength[grp] = parts[g].length;
      run.partGroupQty[grp] = parts[g].qty;
      st->problem.partGroupWeight[grp] = 100000000 * grp;
      for (int q = 0; q < parts[g].qty; ++q) {
        const int piece = ++run.pieceCount;
        run.pieceGroup[piece] = static_cast<int16_t>(grp);
        run.openPieces[piece] = static_cast<int16_t>(piece);
      }
    }
    run.openPieceCount = run.pieceCount;
    st->problem.partCount = run.pieceCount;
    run.runKind = kRunPlain;
  }

  void Place(int piece, int bar) {
    run.stockOfPiece[piece] = static_cast<int16_t>(bar);
    if (run.stockState[bar] != kBarUsed) {
      run.stockState[bar] = kBarUsed;
      run.stockRemainder[bar] = run.stockGroupLength[run.stockGroup[bar]];
    }
    ++run.stockPieces[bar];
    run.stockRemainder[bar] -= run.partGroupLength[run.pieceGroup[piece]];
  }

  // planTotals of the bars in use, as the construction leaves them.
  void Totals() {
    PlanTotals t;
    for (int bar = 1; bar <= run.stockCount; ++bar) {
      if (run.stockState[bar] != kBarUsed) continue;
      const int len = run.stockGroupLength[run.stockGroup[bar]];
      ++t.layouts;
      t.pieces += run.stockPieces[bar];
      t.used += len - run.stockRemainder[bar];
      t.waste += run.stockRemainder[bar];
      t.cost += run.stockGroupCost[run.stockGroup[bar]];
    }
    run.planTotals = t;
  }
};

// Whole-problem figures for scores computed on hand-set totals.
void SetStats(SolverState& st, int64_t totalPart) {
  st.stats.totalPartLength = totalPart;
  st.stats.totalStockLength = 4000;
  st.stats.totalStockCost = 400;
  st.stats.avgStockLength = 1000;
  st.stats.estPieceCapacity = 10;
  st.stats.estBarsNeeded = 2;
}

PlanTotals Totals(int layouts, int pieces, int used, int waste, int cost) {
  PlanTotals t;
  t.layouts = layouts;
  t.pieces = pieces;
  t.used = used;
  t.waste = waste;
  t.cost = cost;
  return t;
}

TEST(ScorePlan, MaterialAndCostModeBaseScore) {
  auto st = std::make_unique<SolverState>();
  SetStats(*st, 1800);
  st->run.planTotals = Totals(2, 4, 1800, 200, 200);
  const double y = 1800.0 / (2000.0 + 1e-11);
  const double a = 2.0 * 400 * 1800 / 4000;
  const double c = 2.0 * a / (200.0 + a + 1e-11);

  PlanScore s = ScorePlan(*st, 1);
  EXPECT_DOUBLE_EQ(s.score, (0.01 * c + 1) * y);
  EXPECT_DOUBLE_EQ(s.utilization, y);

  st->settings.effectiveCostMode = true;
  s = ScorePlan(*st, 1);
  EXPECT_DOUBLE_EQ(s.score, (0.1 * y + 1) * c);

  // The plan's cost counts k times.
  st->run.planTotals = Totals(1, 2, 900, 100, 100);
  s = ScorePlan(*st, 2);
  const double y2 = 900.0 / (1000.0 + 1e-11);
  EXPECT_DOUBLE_EQ(s.score, (0.1 * y2 + 1) * (2.0 * a / (200.0 + a + 1e-11)));
}

TEST(ScorePlan, UncutDemandDividesByUpToOneAndAHalf) {
  struct Case {
    const char* name;
    int used, waste, k;
    int64_t totalPart;
    double divisor;
  };
  const Case cases[] = {
      {"all cut", 1800, 200, 1, 1800, 1.0},
      {"half cut", 1800, 200, 1, 3600, 1.25},
      {"k times the plan covers all", 900, 100, 2, 1800, 1.0},
      {"almost nothing cut", 1, 9, 1, 1000000000, 1.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto st = std::make_unique<SolverState>();
    SetStats(*st, c.totalPart);
    st->stats.totalStockCost = 0;  // C = 0: the base score is Y
    st->run.planTotals = Totals(1, 1, c.used, c.waste, 0);
    const PlanScore s = ScorePlan(*st, c.k);
    EXPECT_NEAR(s.utilization / s.score, c.divisor, 1e-8);
  }
}

TEST(ScorePlan, FixedPartCountsMTimes) {
  auto st = std::make_unique<SolverState>();
  SetStats(*st, 1800);
  st->stats.totalStockCost = 0;
  FixedPart& fx = st->run.fixed;
  fx.present = true;
  fx.multiplicity = 2;
  fx.record.bars = 1;
  fx.record.length = 500;
  fx.record.waste = 50;
  st->run.planTotals = Totals(1, 2, 900, 100, 0);
  const PlanScore s = ScorePlan(*st, 1);
  // Y = (900 + 1000 - 100) / (900 + 100 + 1000); all demand cut.
  EXPECT_NEAR(s.utilization, 0.9, 1e-12);
  EXPECT_NEAR(s.score, 0.9, 1e-12);
}

TEST(ScorePlan, PrefShortFactor) {
  // Two bars of mean length 2000 against a mean stock length of 1000: r = 1.
  struct Case {
    int prefShort;
    double factor;
  };
  const Case cases[] = {{5, 2.0}, {-5, 0.5}, {1, 1.05}, {-3, 1 / 1.2}, {4, 1.4}};
  auto st = std::make_unique<SolverState>();
  SetStats(*st, 3600);
  st->run.planTotals = Totals(2, 4, 3600, 400, 200);
  const double base = ScorePlan(*st, 1).score;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prefShort);
    st->settings.preferShort = c.prefShort;
    EXPECT_NEAR(ScorePlan(*st, 1).score / base, c.factor, 1e-9);
  }
}

// A plan that uses no bar has no mean bar length; at the strongest
// preference for short bars its factor was a division by zero and the
// score infinite, which then beat every real plan. Every score is finite;
// in material mode an empty plan scores below one that cuts (in cost mode
// it may not, which is why the search never keeps an empty plan).
TEST(ScorePlan, EmptyPlanScoresFiniteAtEveryPreference) {
  for (int costMode : {0, 1}) {
    for (int prefShort = -5; prefShort <= 5; ++prefShort) {
      SCOPED_TRACE(testing::Message() << "cost " << costMode << " pref " << prefShort);
      auto st = std::make_unique<SolverState>();
      SetStats(*st, 3600);
      st->settings.effectiveCostMode = costMode == 1;
      st->settings.preferShort = prefShort;
      st->run.planTotals = Totals(0, 0, 0, 0, 0);
      const double empty = ScorePlan(*st, 1).score;
      EXPECT_TRUE(std::isfinite(empty));
      st->run.planTotals = Totals(2, 4, 3600, 400, 200);
      if (costMode == 0) {
        EXPECT_LT(empty, ScorePlan(*st, 1).score);
      }
    }
  }
}

TEST(ScorePlan, LastBarRemainderFactor) {
  auto st = std::make_unique<SolverState>();
  SetStats(*st, 1800);
  st->run.planTotals = Totals(2, 4, 1500, 200, 200);
  st->run.planTotals.lastStock = 3;
  st->run.planTotals.lastUsed = 300;
  const double base = ScorePlan(*st, 1).score;
  st->run.planTotals.lastRemainder = 400;
  EXPECT_NEAR(base / ScorePlan(*st, 1).score, 400 * 0.003 * 2 / 1800.0 + 1, 1e-12);
}

TEST(ScorePlan, ReduceLaysUsesLayoutCuts) {
  // Bars 1 and 2 carry the same layout of two pieces, bar 3 another of two:
  // layout cuts D = 4.
  TestRun r({{1000, 100, 3}}, {{400, 4}, {300, 2}});
  r.Place(1, 1);
  r.Place(2, 1);
  r.Place(3, 2);
  r.Place(4, 2);
  r.Place(5, 3);
  r.Place(6, 3);
  r.Totals();
  SetStats(*r.st, 2200);
  const double base = ScorePlan(*r.st, 1).score;
  struct Case {
    int reduceLays;
    double divisor;
  };
  for (const Case c : {Case{1, 1 + 0.05 * 4 / 10.0}, Case{3, 1 + 10 * 0.05 * 4 / 10.0},
                       Case{6, 1 + 100 * 0.05 * 4 / 10.0}}) {
    SCOPED_TRACE(c.reduceLays);
    r.st->settings.effectiveReduceLayouts = c.reduceLays;
    EXPECT_NEAR(base / ScorePlan(*r.st, 1).score, c.divisor, 1e-9);
  }
  // The plan's own numbering leaves the run's result tables alone.
  EXPECT_EQ(r.run.barLayout[1], 0);
}

TEST(BundleMisfits, LayoutsWithBarCountsNotAMultiple) {
  TestRun r({{1000, 100, 6}}, {{400, 6}});
  r.st->settings.bundle = 2;
  //             bar:  1  2  3  4  5  6
  int32_t layout[kItemSlots] = {0, 1, 1, 1, 2, 3, 4};
  EXPECT_EQ(BundleMisfits(*r.st, layout, 4), 4);  // 1 (three bars), 2, 3, 4: all odd

  r.run.planTotals.lastStock = 6;  // its own layout 4 is left out
  EXPECT_EQ(BundleMisfits(*r.st, layout, 4), 3);

  FixedPart& fx = r.run.fixed;  // a fixed bar counts m = 3 times: layout 2 has 4 bars
  fx.present = true;
  fx.multiplicity = 3;
  fx.barCount = 1;
  fx.barLayout[1] = 2;
  EXPECT_EQ(BundleMisfits(*r.st, layout, 4), 2);

  r.st->settings.bundle = 0;
  EXPECT_EQ(BundleMisfits(*r.st, layout, 4), 0);
}

TEST(ScorePlan, BundleRuleOnlyForKOne) {
  TestRun r({{1000, 100, 3}}, {{400, 3}});
  r.Place(1, 1);
  r.Place(2, 2);
  r.Place(3, 3);
  r.Totals();
  SetStats(*r.st, 1200);
  const double k1 = ScorePlan(*r.st, 1).score;
  const double k2 = ScorePlan(*r.st, 2).score;
  r.st->settings.bundle = 2;  // one layout on three bars: one misfit
  EXPECT_NEAR(k1 / ScorePlan(*r.st, 1).score, 2.0, 1e-12);
  EXPECT_EQ(ScorePlan(*r.st, 2).score, k2);
}

struct PickCase {
  const char* name;
  std::vector<std::pair<int, int>> bars;  // {stock group, remainder}; remainder < 0: committed
  int expected;
};

TEST(PickLastBar, LargestRemainderAndTies) {
  const PickCase cases[] = {
      {"same group tie: none", {{1, 100}, {1, 100}}, 0},
      {"different groups tie: the one met first", {{1, 100}, {2, 100}}, 2},
      {"a larger one after a cancel", {{1, 300}, {1, 100}, {1, 100}}, 1},
      {"the tie is at the top", {{1, 100}, {1, 100}, {1, 50}}, 0},
      {"a cancelled remainder stays the value to beat", {{1, 100}, {2, 100}, {2, 100}}, 0},
      {"committed bars are not candidates", {{1, -500}, {1, 100}}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestRun r({{1000, 10, 3}, {900, 10, 3}}, {});
    r.run.openStockCount = static_cast<int32_t>(c.bars.size());
    for (size_t j = 0; j < c.bars.size(); ++j) {
      const int bar = c.bars[j].first == 1 ? static_cast<int>(j) + 1 : static_cast<int>(j) + 4;
      r.run.openStocks[j + 1] = static_cast<int16_t>(bar);
      r.run.stockState[bar] = c.bars[j].second < 0 ? kBarCommitted : kBarUsed;
      r.run.stockRemainder[bar] = c.bars[j].second < 0 ? -c.bars[j].second : c.bars[j].second;
    }
    const PickedBar p = PickLastBar(*r.st);
    const int expectedBar =
        c.expected == 0 ? 0 : (c.bars[c.expected - 1].first == 1 ? c.expected : c.expected + 3);
    EXPECT_EQ(p.stock, expectedBar);
  }
}

// Bars 1 and 3 nearly full, bar 2 with a long remainder of 700.
TestRun LongRemainderPlan() {
  TestRun r({{1000, 10, 3}}, {{950, 2}, {300, 1}});
  r.Place(1, 1);
  r.Place(2, 3);
  r.Place(3, 2);
  r.Totals();
  SetStats(*r.st, 2200);
  r.st->settings.minReusable = 100;
  return r;
}

TEST(AdjustAndScorePlan, LastBarOnlyForKOneRemainderRuleOnlyForKAboveOne) {
  struct Case {
    int k;
    bool ignoreLast;
    int lastStock;
    bool emptied;
  };
  const Case cases[] = {
      {1, true, 2, false}, {1, false, 0, false}, {2, true, 0, true}, {2, false, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "k=" << c.k << " ignoreLast=" << c.ignoreLast);
    TestRun r = LongRemainderPlan();
    r.st->settings.ignoreLast = c.ignoreLast;
    AdjustAndScorePlan(*r.st, c.k);
    const PlanTotals& t = r.run.planTotals;
    EXPECT_EQ(t.lastStock, c.lastStock);
    EXPECT_EQ(r.run.stockOfPiece[3] == 0, c.emptied);
    EXPECT_EQ(r.run.stockState[2], c.emptied ? kBarFree : kBarUsed);
    const bool setAside = c.lastStock != 0 || c.emptied;
    EXPECT_EQ(t.layouts, setAside ? 2 : 3);
    EXPECT_EQ(t.pieces, setAside ? 2 : 3);
    EXPECT_EQ(t.used, setAside ? 1900 : 2200);
    EXPECT_EQ(t.waste, setAside ? 100 : 800);
    EXPECT_EQ(t.cost, setAside ? 20 : 30);
    if (c.lastStock != 0) {
      EXPECT_EQ(t.lastPieces, 1);
      EXPECT_EQ(t.lastUsed, 300);
      EXPECT_EQ(t.lastRemainder, 700);
      EXPECT_EQ(t.lastCost, 10);
    }
  }
}

TEST(AdjustAndScorePlan, LastBarConditions) {
  struct Case {
    const char* name;
    void (*setup)(TestRun&);
    int lastStock;
  };
  const Case cases[] = {
      {"plain", [](TestRun&) {}, 2},
      {"remainder below MinReusable", [](TestRun& r) { r.st->settings.minReusable = 701; }, 0},
      {"remainder equal to MinReusable", [](TestRun& r) { r.st->settings.minReusable = 700; }, 2},
      {"an open piece uncut",
       [](TestRun& r) {
         r.run.pieceCount = 4;
         r.run.pieceGroup[4] = 2;
         r.run.openPieces[4] = 4;
         r.run.openPieceCount = 4;
       },
       0},
      {"not above the fixed part's largest remainder",
       [](TestRun& r) {
         r.run.fixed.present = true;
         r.run.fixed.record.maxRemainder = 700;
       },
       0},
      {"real remainder counts end zone and kerf",
       [](TestRun& r) {
         r.st->settings.endZone = 5;
         r.st->settings.kerf = 10;  // real remainder 695
         r.st->settings.minReusable = 696;
       },
       0},
      {"a single layout", [](TestRun& r) { r.run.planTotals.layouts = 1; }, 0},
      {"a single layout in a remainder run",
       [](TestRun& r) {
         r.run.planTotals.layouts = 1;
         r.run.runKind = kRunRemainder;
       },
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestRun r = LongRemainderPlan();
    r.st->settings.ignoreLast = true;
    c.setup(r);
    SetAsideLastBar(*r.st, 1);
    EXPECT_EQ(r.run.planTotals.lastStock, c.lastStock);
  }
}

TEST(ApplyRemainderRule, Thresholds) {
  // Waste 800 over 3 layouts; the largest remainder 700 must exceed
  // (100 / share) * 800 / 3: 533 without a bundle, 1067 with one.
  TestRun r = LongRemainderPlan();
  r.st->settings.bundle = 2;
  ApplyRemainderRule(*r.st, 2);
  EXPECT_EQ(r.run.planTotals.layouts, 3);
  r.st->settings.bundle = 0;
  ApplyRemainderRule(*r.st, 2);
  EXPECT_EQ(r.run.planTotals.layouts, 2);
  EXPECT_EQ(r.run.stockRemainder[2], kUntouchedRemainder);
  EXPECT_EQ(r.run.stockPieces[2], 0);
}

TEST(ApplyKerfCorrection, WorkingToRealLengths) {
  // Kerf 10, end zone 20. The last bar (real 1000) holds three pieces of 200:
  // working bar 990, pieces 3 x 210, remainder 360.
  auto st = std::make_unique<SolverState>();
  st->settings.kerf = 10;
  st->settings.endZone = 20;
  PlanTotals& t = st->run.planTotals;
  t = Totals(2, 5, 1000, 300, 0);
  t.lastStock = 1;
  t.lastPieces = 3;
  t.lastUsed = 630;
  t.lastRemainder = 360;
  ApplyKerfCorrection(*st);
  EXPECT_EQ(t.used, 950);
  EXPECT_EQ(t.waste, 300 + 50 + 2 * 10);
  EXPECT_EQ(t.lastUsed, 600);
  EXPECT_EQ(t.lastRemainder, 400);
}

struct ShiftCase {
  const char* name;
  void (*setup)(TestRun&);
  bool moves;
};

TEST(ShiftToShorterBars, MovesLayoutToFreeShorterBar) {
  const ShiftCase cases[] = {
      {"plain", [](TestRun&) {}, true},
      {"grip: long piece keeps it grippable", [](TestRun& r) { r.run.gripLength = 150; }, true},
      {"grip: short rest and no piece as long as the grip",
       [](TestRun& r) { r.run.gripLength = 600; }, false},
      {"cost mode: longer group cheaper",
       [](TestRun& r) {
         r.st->settings.effectiveCostMode = true;
         r.run.stockGroupCost[1] = 40;
       },
       false},
      {"cost mode: longer group dearer",
       [](TestRun& r) { r.st->settings.effectiveCostMode = true; }, true},
      {"DiffStocks reached without the short group",
       [](TestRun& r) {
         r.st->settings.maxStockGroups = 1;
         r.run.usedStockGroups[1] = 1;
         r.run.usedStockGroupCount = 1;
       },
       false},
      {"only one open bar", [](TestRun& r) { r.run.openStockCount = 1; }, false},
      {"free bar beyond the first openStockCount entries",
       [](TestRun& r) {
         // barsByGroup is 3, 1, 2: the short bar 3 is first, so move it last.
         r.run.barsByGroup[1] = 1;
         r.run.barsByGroup[2] = 2;
         r.run.barsByGroup[3] = 3;
         r.run.openStockCount = 2;
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Group 1: bars 1, 2 of 1000 (cost 100); group 2: bar 3 of 600 (cost 50).
    TestRun r({{1000, 100, 2}, {600, 50, 1}}, {{500, 1}});
    c.setup(r);
    r.Place(1, 1);
    r.Totals();
    ShiftToShorterBars(*r.st);
    const PlanTotals& t = r.run.planTotals;
    if (c.moves) {
      EXPECT_EQ(r.run.stockOfPiece[1], 3);
      EXPECT_EQ(r.run.stockState[3], kBarUsed);
      EXPECT_EQ(r.run.stockRemainder[3], 100);
      EXPECT_EQ(r.run.stockPieces[3], 1);
      EXPECT_EQ(r.run.stockState[1], kBarFree);
      EXPECT_EQ(r.run.stockRemainder[1], kUntouchedRemainder);
      EXPECT_EQ(t.cost, 50);
      EXPECT_EQ(t.waste, 100);
    } else {
      EXPECT_EQ(r.run.stockOfPiece[1], 1);
      EXPECT_EQ(t.waste, r.run.stockGroupLength[1] - r.run.partGroupLength[1]);
    }
  }
}

TEST(ShiftToShorterBars, RetriesTheGroupAndCountsItAsUsed) {
  // Two long bars with short layouts, two free short bars: both move.
  TestRun r({{1000, 100, 2}, {600, 50, 2}}, {{500, 2}});
  r.st->settings.maxStockGroups = 2;
  r.Place(1, 1);
  r.Place(2, 2);
  r.Totals();
  r.run.usedStockGroups[1] = 1;
  r.run.usedStockGroupCount = 1;
  ShiftToShorterBars(*r.st);
  EXPECT_EQ(r.run.stockOfPiece[1], 3);
  EXPECT_EQ(r.run.stockOfPiece[2], 4);
  EXPECT_EQ(r.run.planTotals.cost, 100);
  EXPECT_EQ(r.run.planTotals.waste, 200);
  EXPECT_EQ(r.run.usedStockGroupCount, 2);
  EXPECT_EQ(r.run.usedStockGroups[2], 2);
}

}  // namespace
}  // namespace solver
