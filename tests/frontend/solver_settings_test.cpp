// Every optimizer setting reaches the solver through the batch's call and
// changes what it plans. Each case is a small material whose plan under two
// settings is worked out by hand from the cutting rules; a setting that is
// lost or altered on its way to the solver leaves the two plans alike or
// gives the wrong one.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "solver_call.h"
#include "tarvolin/errors.h"

namespace tarvolin {
namespace {

struct Part {
  int32_t length;
  int16_t quantity;
  int32_t mark = 0;
};

struct Stock {
  int32_t length;
  int16_t quantity;
  int32_t cost = 0;
};

MaterialPlan Material(std::initializer_list<Part> parts, std::initializer_list<Stock> stock) {
  MaterialPlan plan;
  for (const Part& p : parts)
    plan.partGroups[++plan.partGroupCount] = {p.length, p.mark, p.quantity, "", "C z", ""};
  for (const Stock& s : stock)
    plan.stockGroups[++plan.stockGroupCount] = {s.length, s.cost, s.quantity, "C z", ""};
  return plan;
}

// The settings every case starts from: no last stock apart, no preference
// for fewer layouts, everything else as the settings file's defaults.
OptimizerSettings Base() {
  OptimizerSettings o;
  o.ignoreLastStock = 0;
  o.reduceLayouts = 0;
  return o;
}

struct Outcome {
  int32_t error = 0;
  SolverResults r;
};

Outcome Solve(const MaterialPlan& material, const OptimizerSettings& o) {
  Outcome out;
  const SolverContext context{TarvolinCreateContext()};
  out.error = CallSolver(context.get(), nullptr, BuildSolverSettings(o, 0, false),
                         BuildSolverProblem(material), out.r);
  return out;
}

int PiecesOnBar(const SolverResults& r, int bar) {
  int n = 0;
  for (int p = 1; p <= r.partItemCount; ++p) n += r.partItemStock[p] == bar ? 1 : 0;
  return n;
}

int MostPiecesOnABar(const SolverResults& r) {
  int most = 0;
  for (int bar = 1; bar <= r.stockItemCount; ++bar) most = std::max(most, PiecesOnBar(r, bar));
  return most;
}

// The figures a case pins; -1 leaves one unchecked.
struct Expected {
  int32_t error = 0;
  int64_t bars = -1;     // stock used, the last stock apart
  int64_t pieces = -1;   // pieces cut, the last stock's apart
  int64_t length = -1;   // stock length used
  int64_t cost = -1;     // stock cost used
  int32_t layouts = -1;  // different layouts
  int mostPieces = -1;   // most pieces on one bar
  int lastParts = -1;    // pieces on the last stock reported apart (0: none)
};

void ExpectOutcome(const Outcome& out, const Expected& e) {
  ASSERT_EQ(out.error, e.error);
  const SolverResults& r = out.r;
  if (e.bars >= 0) {
    EXPECT_EQ(r.stockUsed, e.bars);
  }
  if (e.pieces >= 0) {
    EXPECT_EQ(r.partsCut, e.pieces);
  }
  if (e.length >= 0) {
    EXPECT_EQ(r.lengthUsed, e.length);
  }
  if (e.cost >= 0) {
    EXPECT_EQ(r.costUsed, e.cost);
  }
  if (e.layouts >= 0) {
    EXPECT_EQ(r.layoutCount, e.layouts);
  }
  if (e.mostPieces >= 0) {
    EXPECT_EQ(MostPiecesOnABar(r), e.mostPieces);
  }
  if (e.lastParts >= 0) {
    EXPECT_EQ(r.lastParts, e.lastParts);
    EXPECT_EQ(r.lastStock != 0, e.lastParts > 0);
  }
}

using Change = void (*)(OptimizerSettings&);

struct SettingCase {
  const char* name;
  MaterialPlan material;
  Change before, after;
  Expected planBefore, planAfter;
};

void Keep(OptimizerSettings&) {}

std::vector<SettingCase> SettingCases() {
  // Two pieces of 2990 fill a bar of 6000 exactly when kerf and end zone
  // leave 5980 + kerf for 2 x (2990 + kerf): kerf up to 20, end zone up to
  // 20 - kerf.
  const MaterialPlan twoPieces = Material({{2990, 2}}, {{6000, 2}});
  // A piece of 6000 fills one bar; the 1000 leaves a remainder of 5000.
  const MaterialPlan longAndShort = Material({{6000, 1}, {1000, 1}}, {{6000, 2}});
  return {
      {"kerf: two pieces fit one bar up to a kerf of 20",
       twoPieces,
       [](OptimizerSettings& o) { o.kerf = 20; },
       [](OptimizerSettings& o) { o.kerf = 21; },
       {.bars = 1, .pieces = 2, .length = 6000},
       {.bars = 2, .pieces = 2, .length = 12000}},
      {"end zone: two pieces fit one bar up to an end zone of 20",
       twoPieces,
       [](OptimizerSettings& o) { o.endZone = 20; },
       [](OptimizerSettings& o) { o.endZone = 21; },
       {.bars = 1, .pieces = 2},
       {.bars = 2, .pieces = 2}},
      {"kerf and end zone add up",
       twoPieces,
       [](OptimizerSettings& o) {
         o.kerf = 10;
         o.endZone = 10;
       },
       [](OptimizerSettings& o) {
         o.kerf = 10;
         o.endZone = 11;
       },
       {.bars = 1},
       {.bars = 2}},
      // A piece shorter than the grip needs the grip free behind it while
      // no longer piece is on the bar: 6000 - 4 x 1000 = 2000 is left after
      // four pieces, so a grip above 1000 allows four pieces on a bar.
      {"grip: short pieces keep the grip free",
       Material({{1000, 6}}, {{6000, 2}}),
       [](OptimizerSettings& o) { o.gripLength = 1000; },
       [](OptimizerSettings& o) { o.gripLength = 1001; },
       {.bars = 1, .pieces = 6, .mostPieces = 6},
       {.bars = 2, .pieces = 6, .mostPieces = 4}},
      {"grip: 2000 free after the fourth piece is enough for a grip of 2000",
       Material({{1000, 5}}, {{6000, 2}}),
       [](OptimizerSettings& o) { o.gripLength = 2000; },
       [](OptimizerSettings& o) { o.gripLength = 2001; },
       {.bars = 2, .mostPieces = 4},
       {.bars = 2, .mostPieces = 3}},
      {"most pieces per layout",
       Material({{1000, 4}}, {{6000, 2}}),
       [](OptimizerSettings& o) { o.maxPiecesPerLayout = 4; },
       [](OptimizerSettings& o) { o.maxPiecesPerLayout = 3; },
       {.bars = 1, .mostPieces = 4},
       {.bars = 2, .mostPieces = 3}},
      {"most different pieces per layout",
       Material({{3000, 1}, {2000, 1}}, {{6000, 2}}),
       [](OptimizerSettings& o) { o.maxDifferentPieces = 2; },
       [](OptimizerSettings& o) { o.maxDifferentPieces = 1; },
       {.bars = 1, .pieces = 2},
       {.bars = 2, .pieces = 2}},
      // Unlimited, the bars of 5000 and 3000 hold the pieces without waste;
      // with one stock group only the bar of 8100 holds both.
      {"most different stock groups",
       Material({{5000, 1}, {3000, 1}}, {{5000, 1}, {3000, 1}, {8100, 1}}),
       [](OptimizerSettings& o) { o.maxDifferentStocks = 2; },
       [](OptimizerSettings& o) { o.maxDifferentStocks = 1; },
       {.bars = 2, .length = 8000},
       {.bars = 1, .length = 8100}},
      // Material mode takes the bar without waste, cost mode the cheap one.
      {"cost mode",
       Material({{3000, 1}}, {{3000, 1, 100}, {6000, 1, 50}}),
       Keep,
       [](OptimizerSettings& o) { o.optimizeCost = 1; },
       {.bars = 1, .length = 3000, .cost = 100},
       {.bars = 1, .length = 6000, .cost = 50}},
      // Both plans are free of waste; the preference decides between one
      // long and two short bars.
      {"shorter or longer stock",
       Material({{3000, 2}}, {{6000, 1}, {3000, 2}}),
       [](OptimizerSettings& o) { o.stockLengthPreference = 5; },
       [](OptimizerSettings& o) { o.stockLengthPreference = -5; },
       {.bars = 1, .length = 6000},
       {.bars = 2, .length = 6000}},
      {"the last stock apart",
       longAndShort,
       Keep,
       [](OptimizerSettings& o) { o.ignoreLastStock = 1; },
       {.bars = 2, .pieces = 2, .length = 12000, .lastParts = 0},
       {.bars = 1, .pieces = 1, .length = 6000, .lastParts = 1}},
      {"a remainder shorter than the reusable length is no last stock",
       longAndShort,
       [](OptimizerSettings& o) {
         o.ignoreLastStock = 1;
         o.minReusableLength = 5000;
       },
       [](OptimizerSettings& o) {
         o.ignoreLastStock = 1;
         o.minReusableLength = 5001;
       },
       {.bars = 1, .lastParts = 1},
       {.bars = 2, .lastParts = 0}},
      // A bar of 6000 holds one piece of 4000 and at most two of 1000:
      // four bars at least. The three pieces of 1000 on three of these
      // give the fewest layouts, two; the layouts matter only when asked
      // for.
      {"fewer layouts",
       Material({{4000, 4}, {1000, 3}}, {{6000, 20}}),
       Keep,
       [](OptimizerSettings& o) { o.reduceLayouts = 6; },
       {.bars = 4, .pieces = 7},
       {.bars = 4, .pieces = 7, .layouts = 2}},
      // Same lengths, different marks: one layout by length, two by mark.
      {"layouts by mark",
       Material({{2000, 3, 1}, {2000, 3, 2}}, {{6000, 2}}),
       Keep,
       [](OptimizerSettings& o) { o.layoutsByMark = 1; },
       {.bars = 2, .layouts = 1},
       {.bars = 2, .layouts = 2}},
      // A bundle run of one piece of 3000 on a bar of 6000 uses half of it,
      // not more: the run is discarded and, the bundle being the only
      // multiplicity, nothing is planned.
      {"a stock/cut bundle",
       Material({{3000, 2}}, {{6000, 2}}),
       Keep,
       [](OptimizerSettings& o) { o.bundleSize = 2; },
       {.bars = 1, .pieces = 2},
       {.bars = 0, .pieces = 0}},
      {"a bundle larger than every quantity",
       Material({{3000, 2}}, {{6000, 2}}),
       [](OptimizerSettings& o) { o.bundleSize = 2; },
       [](OptimizerSettings& o) { o.bundleSize = 3; },
       {.bars = 0},
       {.error = TARVOLIN_ERROR_BUNDLE_TOO_LARGE}},
      // A bundle of 1 is read as given and cuts no bundle.
      {"a bundle of one",
       Material({{3000, 2}}, {{6000, 2}}),
       Keep,
       [](OptimizerSettings& o) { o.bundleSize = 1; },
       {.bars = 1, .pieces = 2},
       {.bars = 1, .pieces = 2}},
  };
}

TEST(SolverSettingsTest, EverySettingChangesThePlanAsItsRuleSays) {
  for (const SettingCase& c : SettingCases()) {
    SCOPED_TRACE(c.name);
    OptimizerSettings before = Base();
    c.before(before);
    OptimizerSettings after = Base();
    c.after(after);
    {
      SCOPED_TRACE("before");
      ExpectOutcome(Solve(c.material, before), c.planBefore);
    }
    {
      SCOPED_TRACE("after");
      ExpectOutcome(Solve(c.material, after), c.planAfter);
    }
  }
}

// Settings whose effect on a plan is not fixed by a rule (how hard and how
// long the search tries) still reach the solver: a value outside the
// solver's range fails the call, the value at the edge of it does not.
TEST(SolverSettingsTest, SettingsWithoutAFixedEffectReachTheSolversCheck) {
  struct Case {
    const char* name;
    Change atEdge, beyond;
  };
  const Case cases[] = {
      {"effort", [](OptimizerSettings& o) { o.effortLevel = 10; },
       [](OptimizerSettings& o) { o.effortLevel = 11; }},
      {"iterations", [](OptimizerSettings& o) { o.iterationMultiplier = 100; },
       [](OptimizerSettings& o) { o.iterationMultiplier = 101; }},
      {"no iterations", [](OptimizerSettings& o) { o.iterationMultiplier = 1; },
       [](OptimizerSettings& o) { o.iterationMultiplier = 0; }},
      {"time limit", [](OptimizerSettings& o) { o.timeLimitSeconds = 55555; },
       [](OptimizerSettings& o) { o.timeLimitSeconds = 55556; }},
      {"fewer layouts", [](OptimizerSettings& o) { o.reduceLayouts = 6; },
       [](OptimizerSettings& o) { o.reduceLayouts = 7; }},
      {"method", [](OptimizerSettings& o) { o.method = kMethodSearch; },
       [](OptimizerSettings& o) { o.method = 2; }},
      {"exact time limit", [](OptimizerSettings& o) { o.exactTimeLimitSeconds = 100; },
       [](OptimizerSettings& o) { o.exactTimeLimitSeconds = 101; }},
  };
  const MaterialPlan material = Material({{1000, 3}}, {{6000, 1}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OptimizerSettings edge = Base();
    c.atEdge(edge);
    OptimizerSettings beyond = Base();
    c.beyond(beyond);
    EXPECT_EQ(Solve(material, edge).error, 0);
    EXPECT_EQ(Solve(material, beyond).error, TARVOLIN_ERROR_SETTINGS);
  }
}

// The exact method proves its plan: two pieces of 4000 and one of 2000 need
// two bars of 6000, and that is the bound.
TEST(SolverSettingsTest, TheExactMethodProvesItsPlan) {
  const MaterialPlan material = Material({{4000, 2}, {2000, 1}}, {{6000, 3}});
  OptimizerSettings o = Base();
  const Outcome search = Solve(material, o);
  ASSERT_EQ(search.error, 0);
  EXPECT_FALSE(search.r.proven);
  EXPECT_FALSE(search.r.exactMethod);
  o.method = kMethodExact;
  const Outcome exact = Solve(material, o);
  if (exact.error == TARVOLIN_ERROR_EXACT_NOT_AVAILABLE) GTEST_SKIP() << "no exact method";
  ASSERT_EQ(exact.error, 0);
  EXPECT_TRUE(exact.r.proven);
  EXPECT_TRUE(exact.r.exactMethod);
  EXPECT_EQ(exact.r.lowerBound, 12000);
  EXPECT_EQ(exact.r.stockUsed, 2);
}

// What the view is shown: the progress window by its mode, and error boxes
// only when messages are asked for.
struct ViewLog {
  int opened = 0;
  int escShown = 0;
  std::vector<std::string> errorBoxes;
};

TarvolinView LoggingView(ViewLog& log) {
  TarvolinView v{};
  v.user = &log;
  v.showErrorBox = [](void* user, const char* text) {
    static_cast<ViewLog*>(user)->errorBoxes.emplace_back(text);
  };
  v.openProgress = [](void* user, TarvolinContext*, int32_t showEsc) {
    auto* log = static_cast<ViewLog*>(user);
    ++log->opened;
    log->escShown += showEsc != 0 ? 1 : 0;
  };
  return v;
}

TEST(SolverSettingsTest, TheProgressWindowAndErrorBoxesFollowTheirSwitches) {
  struct Case {
    int progressMode;
    bool messages;
    bool fails;
    int opened, escShown, boxes;
  };
  const Case cases[] = {
      {0, false, false, 0, 0, 0}, {1, false, false, 1, 0, 0}, {2, false, false, 1, 1, 0},
      {0, true, false, 0, 0, 0},  {0, false, true, 0, 0, 0},  {0, true, true, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.progressMode << " messages " << c.messages
                                    << " fails " << c.fails);
    OptimizerSettings o = Base();
    if (c.fails) o.bundleSize = 5;  // above every quantity
    ViewLog log;
    const TarvolinView view = LoggingView(log);
    const SolverContext context{TarvolinCreateContext()};
    SolverResults r;
    const int32_t error =
        CallSolver(context.get(), &view, BuildSolverSettings(o, c.progressMode, c.messages),
                   BuildSolverProblem(Material({{1000, 3}}, {{6000, 1}})), r);
    EXPECT_EQ(error, c.fails ? TARVOLIN_ERROR_BUNDLE_TOO_LARGE : 0);
    EXPECT_EQ(log.opened, c.opened);
    EXPECT_EQ(log.escShown, c.escShown);
    EXPECT_EQ(static_cast<int>(log.errorBoxes.size()), c.boxes);
  }
}

// The plan speaks of the material's groups by their file numbers: the
// pieces and bars of group 1 come first, whatever their lengths.
TEST(SolverSettingsTest, ThePlanNumbersGroupsAndItemsInFileOrder) {
  const MaterialPlan material = Material({{1000, 1}, {5000, 2}}, {{2000, 1, 7}, {6000, 2, 9}});
  OptimizerSettings o = Base();
  o.optimizeCost = 1;
  const Outcome out = Solve(material, o);
  ASSERT_EQ(out.error, 0);
  const SolverResults& r = out.r;
  ASSERT_EQ(r.partItemCount, 3);
  ASSERT_EQ(r.stockItemCount, 3);
  const int pieceGroup[] = {0, 1, 2, 2};
  for (int p = 1; p <= 3; ++p) EXPECT_EQ(r.partItemGroup[p], pieceGroup[p]) << "piece " << p;
  const int barGroup[] = {0, 1, 2, 2};
  for (int b = 1; b <= 3; ++b) EXPECT_EQ(r.stockItemGroup[b], barGroup[b]) << "bar " << b;
  // The pieces of 5000 take a bar of 6000 each, and the piece of 1000 fits
  // beside one of them for nothing: the bar of 2000 stays unused.
  EXPECT_GE(r.partItemStock[2], 2);
  EXPECT_GE(r.partItemStock[3], 2);
  EXPECT_NE(r.partItemStock[2], r.partItemStock[3]);
  EXPECT_GE(r.partItemStock[1], 2);
  EXPECT_EQ(r.stockItemLayout[1], 0);
  EXPECT_EQ(r.costUsed, 9 + 9);
  EXPECT_EQ(r.partsCut, 3);
}

}  // namespace
}  // namespace tarvolin
