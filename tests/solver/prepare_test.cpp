// Problem preparation step by step on a state of the test's own: settings
// take-over, expansion, sorting and regrouping, the problem check with its
// statistics, and the errors that the call's own checks make unreachable.
#include "prepare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "flat_call.h"
#include "recording_view.h"
#include "solver_state.h"

namespace {

using CallSettings = solver::FlatSettings;
using solver::SolverState;
using solver_test::AttachedView;
using solver_test::RecordingView;

struct Group {
  int32_t length;
  int32_t value;  // cost or mark identifier
  int16_t qty;
};

struct Arrays {
  int32_t stockLth[12] = {}, stockCst[12] = {};
  int16_t stockQty[12] = {};
  int32_t partLth[22] = {}, partMrk[22] = {};
  int16_t partQty[22] = {};
  int16_t stockItGr[102] = {}, partItGr[102] = {};
  TarvolinPlan plan{};

  Arrays(const std::vector<Group>& stocks, const std::vector<Group>& parts) {
    stockLth[0] = stockCst[0] = static_cast<int32_t>(stocks.size());
    stockQty[0] = static_cast<int16_t>(stocks.size());
    for (size_t i = 0; i < stocks.size(); ++i) {
      stockLth[i + 1] = stocks[i].length;
      stockCst[i + 1] = stocks[i].value;
      stockQty[i + 1] = stocks[i].qty;
    }
    partLth[0] = partMrk[0] = static_cast<int32_t>(parts.size());
    partQty[0] = static_cast<int16_t>(parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
      partLth[i + 1] = parts[i].length;
      partMrk[i + 1] = parts[i].value;
      partQty[i + 1] = parts[i].qty;
    }
  }
  solver::FlatArrays Get() const {
    return solver::FlatArrays{stockLth, stockCst, stockQty, partLth, partMrk, partQty};
  }
};

CallSettings ValidSettings() {
  CallSettings s;
  s.IterMult = 1;
  return s;
}

// Runs the preparation steps of a call up to the problem check, stopping at
// the first step that raised an error, as the call does.
void Prepare(SolverState& st, const CallSettings& settings, Arrays& a) {
  if (!solver::CheckSettings(st, solver::PackSettings(settings, 0))) return;
  TarvolinProblem problem{};
  const solver::ArrayCountMismatch mismatch = solver::PackGroups(a.Get(), problem);
  solver::CheckGroups(st, problem, mismatch);
  if (st.error.number != 0) return;
  solver::ClearProblemTables(st);
  solver::ExpandItems(st, problem, a.plan);
  const TarvolinPlan& plan = a.plan;
  std::copy(plan.stockItemGroup, plan.stockItemGroup + plan.stockItemCount + 1, a.stockItGr);
  std::copy(plan.partItemGroup, plan.partItemGroup + plan.partItemCount + 1, a.partItGr);
  if (st.error.number != 0) return;
  solver::SortAndRegroup(st);
  if (st.error.number != 0) return;
  solver::CheckProblem(st);
}

struct SettingsCase {
  std::function<void(CallSettings&)> change;
  bool accepted;
};

TEST(CheckSettingsTest, RangesAtTheirBounds) {
  const SettingsCase cases[] = {
      {[](CallSettings& s) { s.OptimTime = 55555; }, true},
      {[](CallSettings& s) { s.OptimTime = 55556; }, false},
      {[](CallSettings& s) { s.OptimTime = -1; }, false},
      {[](CallSettings& s) { s.IterMult = 0; }, false},
      {[](CallSettings& s) { s.IterMult = 100; }, true},
      {[](CallSettings& s) { s.IterMult = 101; }, false},
      {[](CallSettings& s) { s.DiffPieces = -100; }, true},
      {[](CallSettings& s) { s.DiffPieces = 100; }, true},
      {[](CallSettings& s) { s.DiffPieces = -101; }, false},
      {[](CallSettings& s) { s.DiffPieces = INT32_MIN; }, false},
      {[](CallSettings& s) { s.PrefShort = -5; }, true},
      {[](CallSettings& s) { s.PrefShort = 6; }, false},
      {[](CallSettings& s) { s.ReduceLays = 6; }, true},
      {[](CallSettings& s) { s.ReduceLays = 7; }, false},
      {[](CallSettings& s) { s.EffortLev = 10; }, true},
      {[](CallSettings& s) { s.EffortLev = -1; }, false},
      {[](CallSettings& s) { s.DiffStocks = 11; }, false},
      {[](CallSettings& s) { s.MaxPieces = 100; }, true},
      {[](CallSettings& s) { s.MaxPieces = 101; }, false},
      {[](CallSettings& s) { s.CostOptim = 2; }, false},
      {[](CallSettings& s) { s.IgnoreLast = -1; }, false},
      {[](CallSettings& s) { s.LayByMark = 2; }, false},
      {[](CallSettings& s) { s.GapItIt = -1; }, false},
      {[](CallSettings& s) { s.GapItEnd = -1; }, false},
      {[](CallSettings& s) { s.GapGripEnd = -1; }, false},
      {[](CallSettings& s) { s.MinReusable = -1; }, false},
      {[](CallSettings& s) { s.RunMsgMode = -1; }, false},
      {[](CallSettings& s) { s.RunMsgMode = 1000; }, true},
  };
  int index = 0;
  for (const SettingsCase& c : cases) {
    auto st = std::make_unique<SolverState>();
    st->settings.kerf = 77;
    CallSettings s = ValidSettings();
    s.GapItIt = 5;
    c.change(s);
    EXPECT_EQ(solver::CheckSettings(*st, solver::PackSettings(s, 0)), c.accepted)
        << "case " << index;
    EXPECT_EQ(st->error.number, c.accepted ? 0 : 25) << "case " << index;
    // Nothing is taken over from rejected settings.
    if (!c.accepted) {
      EXPECT_EQ(st->settings.kerf, 77) << "case " << index;
    }
    ++index;
  }
}

TEST(CheckSettingsTest, TakeOverConversions) {
  struct Case {
    int32_t diffPieces, runMsgMode;
    int32_t limit, bundle;
    bool show, esc;
  };
  const Case cases[] = {{-1, 0, 0, 0, false, false},
                        {-2, 1, 0, 2, true, false},
                        {7, 2, 7, 0, true, true},
                        {0, 5, 0, 0, true, true}};
  for (const Case& c : cases) {
    auto st = std::make_unique<SolverState>();
    CallSettings s = ValidSettings();
    s.DiffPieces = c.diffPieces;
    s.RunMsgMode = c.runMsgMode;
    s.OptimTime = 3;
    s.IterMult = 5;
    s.GapItIt = 4;
    s.GapItEnd = 6;
    s.GapGripEnd = 8;
    s.CostOptim = 1;
    ASSERT_TRUE(solver::CheckSettings(*st, solver::PackSettings(s, 0)));
    const solver::SolverSettings& t = st->settings;
    EXPECT_EQ(t.maxDifferentPieces, c.limit);
    EXPECT_EQ(t.bundle, c.bundle);
    EXPECT_EQ(t.showProgress, c.show);
    EXPECT_EQ(t.escEnabled, c.esc);
    EXPECT_DOUBLE_EQ(t.timeLimitMs, 3000.0);
    EXPECT_DOUBLE_EQ(t.iterationFactor, 0.01);
    EXPECT_EQ(t.kerf, 4);
    EXPECT_EQ(t.endZone, 6);
    EXPECT_EQ(t.gripLength, 8);
    EXPECT_TRUE(t.costMode);
  }
}

TEST(ExpandTest, PartLimitEndsExpansionBeforeStock) {
  auto st = std::make_unique<SolverState>();
  Arrays a({{6000, 0, 5}}, {{1000, 1, 70}, {900, 2, 40}});
  Prepare(*st, ValidSettings(), a);
  EXPECT_EQ(st->error.number, 16);
  EXPECT_EQ(st->problem.partCount, 100);
  EXPECT_EQ(st->problem.stockCount, 0);
  EXPECT_EQ(a.partItGr[70], 1);
  EXPECT_EQ(a.partItGr[100], 2);
  EXPECT_EQ(a.stockItGr[1], 0);
}

struct MarkCase {
  int32_t layByMark, reduceLays;
  std::vector<int16_t> groupQty;
};

TEST(RegroupTest, PartsGroupByMarkOnlyWhenAsked) {
  const MarkCase cases[] = {
      {0, 0, {4, 1}},
      {1, 0, {4, 1}},
      {0, 3, {4, 1}},
      {1, 3, {2, 2, 1}},
  };
  for (const MarkCase& c : cases) {
    auto st = std::make_unique<SolverState>();
    Arrays a({{6000, 0, 3}}, {{400, 0, 1}, {500, 7, 1}, {500, 3, 2}, {500, 7, 1}});
    // Input items: 1 = 400, 2 = 500 mark 7, 3-4 = 500 mark 3, 5 = 500 mark 7.
    // Either way the marks follow their first appearance in the sorted items.
    CallSettings s = ValidSettings();
    s.LayByMark = c.layByMark;
    s.ReduceLays = c.reduceLays;
    Prepare(*st, s, a);
    ASSERT_EQ(st->error.number, 0);
    const solver::ProblemTables& t = st->problem;
    std::vector<int16_t> qty(t.partGroupQty + 1, t.partGroupQty + 1 + t.partGroupCount);
    EXPECT_EQ(qty, c.groupQty) << c.layByMark << c.reduceLays;
    std::vector<int16_t> inputNo(t.partInputNo + 1, t.partInputNo + 6);
    EXPECT_EQ(inputNo, (std::vector<int16_t>{2, 5, 3, 4, 1}));
    std::vector<int32_t> marks(t.partMark + 1, t.partMark + 6);
    EXPECT_EQ(marks, (std::vector<int32_t>{7, 7, 3, 3, 0}));
    EXPECT_EQ(t.partGroupLength[1], 500);
    EXPECT_EQ(t.partGroupLength[t.partGroupCount], 400);
    EXPECT_EQ(t.partGroup[5], t.partGroupCount);
    EXPECT_EQ(st->settings.groupPartsByMark, c.layByMark == 1 && c.reduceLays > 0);
  }
}

TEST(RegroupTest, StocksMergeOnEqualLengthAndCostMoreExpensiveFirst) {
  auto st = std::make_unique<SolverState>();
  Arrays a({{4000, 10, 1}, {6000, 5, 2}, {6000, 9, 1}, {4000, 10, 2}}, {{1000, 0, 2}});
  Prepare(*st, ValidSettings(), a);
  ASSERT_EQ(st->error.number, 0);
  const solver::ProblemTables& t = st->problem;
  ASSERT_EQ(t.stockGroupCount, 3);
  EXPECT_EQ(t.stockGroupLength[1], 6000);
  EXPECT_EQ(t.stockGroupCost[1], 9);
  EXPECT_EQ(t.stockGroupQty[1], 1);
  EXPECT_EQ(t.stockGroupCost[2], 5);
  EXPECT_EQ(t.stockGroupQty[2], 2);
  EXPECT_EQ(t.stockGroupLength[3], 4000);
  EXPECT_EQ(t.stockGroupQty[3], 3);
  std::vector<int16_t> inputNo(t.stockInputNo + 1, t.stockInputNo + 7);
  EXPECT_EQ(inputNo, (std::vector<int16_t>{4, 2, 3, 1, 5, 6}));
  std::vector<int16_t> group(t.stockGroup + 1, t.stockGroup + 7);
  EXPECT_EQ(group, (std::vector<int16_t>{1, 2, 2, 3, 3, 3}));
  std::vector<int16_t> inputGroups(a.stockItGr + 1, a.stockItGr + 7);
  EXPECT_EQ(inputGroups, (std::vector<int16_t>{1, 2, 2, 3, 4, 4}));
}

TEST(RegroupTest, TooManyInternalGroups) {
  auto st = std::make_unique<SolverState>();
  solver::ProblemTables& t = st->problem;
  t.stockCount = 11;
  t.partCount = 21;
  for (int i = 1; i <= 21; ++i) {
    t.stockLength[i] = 1000 + i;
    t.partLength[i] = 100 + i;
  }
  solver::GroupStockItems(*st);
  EXPECT_EQ(st->error.number, 13);
  solver::GroupPartItems(*st);
  EXPECT_EQ(st->error.number, 13);
  st->error.number = 0;
  solver::GroupPartItems(*st);
  EXPECT_EQ(st->error.number, 14);
}

TEST(CheckProblemTest, CountTestsAllRunThenStop) {
  RecordingView view;
  auto st = std::make_unique<SolverState>();
  AttachedView attached(*st, view);
  st->error.showBoxes = true;
  solver::ProblemTables& t = st->problem;
  t.stockGroupCount = 11;
  t.partGroupCount = 21;
  t.stockCount = 101;
  t.partCount = 101;
  solver::CheckProblem(*st);
  EXPECT_EQ(st->error.number, 13);
  EXPECT_EQ(view.errorBoxes,
            (std::vector<std::string>{
                "Q5R: Too many stock groups (#13).", "Q5R: Too many part groups (#14).",
                "Q5R: Too many stock items (#15).", "Q5R: Too many part items (#16)."}));
}

TEST(CheckProblemTest, StockGroupWithoutLength) {
  RecordingView view;
  auto st = std::make_unique<SolverState>();
  AttachedView attached(*st, view);
  st->error.showBoxes = true;
  solver::ProblemTables& t = st->problem;
  t.stockGroupCount = 2;
  t.stockCount = 2;
  t.stockGroupLength[1] = 1000;
  t.stockGroupQty[1] = 1;
  t.stockGroupLength[2] = 0;
  t.stockGroupQty[2] = 1;
  t.partGroupCount = 1;
  t.partCount = 1;
  t.partGroupLength[1] = 500;
  t.partGroupQty[1] = 1;
  solver::CheckProblem(*st);
  EXPECT_EQ(st->error.number, 22);
  EXPECT_EQ(view.errorBoxes,
            (std::vector<std::string>{"Q5R: End Gap exceeds stock length (#22)."}));
}

TEST(CheckProblemTest, StatisticsAndDerivedLimits) {
  auto st = std::make_unique<SolverState>();
  // Bar-demand bounds: 6000 holds the 2500s two and the 1500s four to a
  // bar, 2 bars -> 3; 4000 one and two, 4 bars -> 6 (no cap).
  Arrays a({{4000, 500, 2}, {6000, 600, 10}}, {{1500, 0, 4}, {2500, 0, 2}});
  CallSettings s = ValidSettings();
  s.CostOptim = 1;
  s.LayByMark = 1;
  s.ReduceLays = 3;
  s.DiffStocks = 2;
  s.DiffPieces = 1;
  s.MaxPieces = 6;
  Prepare(*st, s, a);
  ASSERT_EQ(st->error.number, 0);
  const solver::ProblemStats& ps = st->stats;
  EXPECT_EQ(ps.maxStockLength, 6000);
  EXPECT_EQ(ps.minStockLength, 4000);
  EXPECT_EQ(ps.maxStockQty, 3);
  EXPECT_DOUBLE_EQ(ps.maxCostRate, 0.125);
  EXPECT_EQ(ps.totalStockLength, 26000);
  EXPECT_EQ(ps.totalStockCost, 2800);
  EXPECT_EQ(ps.maxPartLength, 2500);
  EXPECT_EQ(ps.minPartLength, 1500);
  EXPECT_EQ(ps.maxPartQty, 4);
  EXPECT_EQ(ps.totalPartLength, 11000);
  EXPECT_EQ(ps.avgStockLength, 5200);
  EXPECT_EQ(ps.avgPartLength, 1833);
  EXPECT_EQ(ps.estPieceCapacity, 6);
  EXPECT_EQ(ps.estBarsNeeded, 3);
  EXPECT_EQ(ps.cappedStockCount, 0);
  // Group quantities keep their uncapped values.
  EXPECT_EQ(st->problem.stockGroupQty[1], 10);
  const solver::SolverSettings& t = st->settings;
  EXPECT_EQ(t.maxStockGroups, 0);
  EXPECT_EQ(t.maxDifferentPieces, 1);
  EXPECT_EQ(t.maxPiecesPerLayout, 0);
  // 6 - 2 * 5200 / 1833 <= 2 groups: too small for layout reduction.
  EXPECT_EQ(t.effectiveReduceLayouts, 0);
  EXPECT_EQ(t.reduceLayouts, 3);
  EXPECT_TRUE(t.groupPartsByMark);
  EXPECT_TRUE(t.effectiveCostMode);
}

TEST(CheckProblemTest, LargeOrderKeepsLayoutReduction) {
  auto st = std::make_unique<SolverState>();
  Arrays a({{6000, 0, 10}}, {{200, 0, 50}, {300, 0, 50}});
  CallSettings s = ValidSettings();
  s.ReduceLays = 2;
  s.MaxPieces = 99;
  Prepare(*st, s, a);
  ASSERT_EQ(st->error.number, 0);
  EXPECT_EQ(st->stats.maxStockQty, 7);
  EXPECT_EQ(st->stats.avgStockLength, 6000);
  EXPECT_EQ(st->settings.effectiveReduceLayouts, 2);
  EXPECT_EQ(st->settings.maxPiecesPerLayout, 99);
}

TEST(CheckProblemTest, CostModeOffWhenCostCannotMatter) {
  struct Case {
    std::vector<Group> stocks;
    bool costMode;
  };
  const Case cases[] = {
      {{{6000, 0, 2}, {4000, 0, 2}}, false},
      {{{6000, 600, 2}, {4000, 400, 2}}, false},
      {{{6000, 600, 2}, {4000, 401, 2}}, true},
  };
  for (const Case& c : cases) {
    auto st = std::make_unique<SolverState>();
    Arrays a(c.stocks, {{1500, 0, 4}});
    CallSettings s = ValidSettings();
    s.CostOptim = 1;
    Prepare(*st, s, a);
    ASSERT_EQ(st->error.number, 0);
    EXPECT_TRUE(st->settings.costMode);
    EXPECT_EQ(st->settings.effectiveCostMode, c.costMode);
  }
}

TEST(CheckProblemTest, BundleAgainstLargestPartQuantity) {
  for (int bundle : {4, 5}) {
    auto st = std::make_unique<SolverState>();
    Arrays a({{6000, 0, 5}}, {{1500, 0, 4}, {1000, 0, 3}});
    CallSettings s = ValidSettings();
    s.DiffPieces = -bundle;
    Prepare(*st, s, a);
    EXPECT_EQ(st->error.number, bundle == 5 ? 23 : 0);
  }
}

TEST(WriteResultsTest, InternalNumberingMappedToInputNumbering) {
  auto st = std::make_unique<SolverState>();
  // Internal stock order: input items 2, 3 (6000), 1 (4000); internal part
  // order: input items 3 (2500), 1, 2 (1500).
  Arrays a({{4000, 0, 1}, {6000, 0, 2}}, {{1500, 1, 2}, {2500, 2, 1}});
  a.stockLth[3] = 555;
  a.partLth[3] = 777;
  Prepare(*st, ValidSettings(), a);
  ASSERT_EQ(st->error.number, 0);

  solver::DriverTables& d = st->driver;
  d.resultStockOfPiece[1] = 1;
  d.resultStockOfPiece[2] = 3;
  d.resultBarLayout[1] = 1;
  d.resultBarLayout[3] = 70000;
  d.resultBarPattern[1] = 1;
  d.resultBarPattern[3] = 2;
  d.resultBarParts[1] = 1;
  d.resultBarParts[3] = 1;
  d.resultBarWaste[1] = 3500;
  d.resultBarWaste[3] = 2500;
  d.result.criterion = 0.123456;
  d.result.utilization = 0.5;
  d.result.lastStock = 3;
  d.result.bars = 1;
  d.result.parts = 1;
  d.result.lastParts = 1;
  d.result.lastLength = 4000;
  d.result.lastRemainder = 2500;
  d.result.layouts = 2;

  int32_t cells[17];
  std::fill(std::begin(cells), std::end(cells), -1);
  int16_t partItStock[102] = {}, stockItLay[102] = {}, stockItPat[102] = {}, stockItParts[102] = {};
  int32_t stockItWaste[102] = {};
  const solver::FlatResults out{&cells[0],  &cells[1],  &cells[2],    &cells[3],   &cells[4],
                                &cells[5],  &cells[6],  &cells[7],    &cells[8],   &cells[9],
                                &cells[10], &cells[11], &cells[12],   &cells[13],  &cells[14],
                                &cells[15], &cells[16], a.stockItGr,  a.partItGr,  partItStock,
                                stockItLay, stockItPat, stockItParts, stockItWaste};
  solver::WriteResults(*st, a.plan);
  solver::WriteFlatResults(a.plan, a.Get(), out);

  EXPECT_EQ(cells[0], 12346);  // criterion
  EXPECT_EQ(cells[1], 50000);  // utilization
  EXPECT_EQ(cells[2], 1);      // bars
  EXPECT_EQ(cells[7], 1);      // last stock: internal 3 is input item 1
  EXPECT_EQ(cells[9], 4000);
  EXPECT_EQ(cells[10], 2500);
  EXPECT_EQ(cells[13], 2);
  EXPECT_EQ(cells[15], 0);
  EXPECT_EQ(cells[16], 0);
  EXPECT_EQ(std::vector<int16_t>(partItStock, partItStock + 5),
            (std::vector<int16_t>{3, 1, 0, 2, 1332}));
  EXPECT_EQ(std::vector<int16_t>(stockItLay, stockItLay + 5),
            (std::vector<int16_t>{3, static_cast<int16_t>(70000 - 65536), 1, 0, 1332}));
  EXPECT_EQ(std::vector<int16_t>(stockItPat, stockItPat + 5),
            (std::vector<int16_t>{3, 2, 1, 0, 1332}));
  EXPECT_EQ(std::vector<int16_t>(stockItParts, stockItParts + 5),
            (std::vector<int16_t>{3, 1, 1, 0, 1332}));
  EXPECT_EQ(std::vector<int32_t>(stockItWaste, stockItWaste + 5),
            (std::vector<int32_t>{3, 2500, 3500, 0, 1332}));
  EXPECT_EQ(std::vector<int16_t>(a.stockItGr, a.stockItGr + 5),
            (std::vector<int16_t>{3, 1, 2, 2, 1332}));
  EXPECT_EQ(std::vector<int16_t>(a.partItGr, a.partItGr + 5),
            (std::vector<int16_t>{3, 1, 1, 2, 1332}));
}

}  // namespace
