// The structured interface: error texts, the same checks and boxes as the
// flat call, null arguments, and stopping a call through its context.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "call_harness.h"
#include "recording_view.h"
#include "tarvolin/errors.h"
#include "tarvolin/solver.h"

namespace {

using solver::testing::CallResult;
using solver::testing::CallSetup;
using solver_test::RecordingView;
using solver_test::ScopedView;

using ContextPtr = std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)>;

ContextPtr NewContext() {
  return ContextPtr(TarvolinCreateContext(), TarvolinDestroyContext);
}

TEST(ErrorTextTest, EveryRangeAndTheGapsBetween) {
  const struct {
    int32_t number;
    const char* text;  // nullptr: no text
  } cases[] = {
      {0, nullptr},
      {1, "Stock array index out of range"},
      {11, "No any suitable stocks defined,\ror Gripping/End-zone is too long"},
      {20, nullptr},
      {21, "No parts fit in any stock"},
      {24, nullptr},
      {25, "Error Opt.Settings"},
      {26, "Exact method not available in this build"},
      {27, nullptr},
      {100, nullptr},
      {101, "Calc.Check"},
      {150, "Calc.Check"},
      {151, nullptr},
      {200, nullptr},
      {201, "Calc.Error"},
      {209, "Calc.Error"},
      {222, "Calc.Error"},
      {223, nullptr},
      {-1, nullptr},
  };
  for (const auto& c : cases) {
    const char* text = TarvolinErrorText(c.number);
    if (c.text == nullptr) {
      EXPECT_EQ(text, nullptr) << c.number;
    } else {
      ASSERT_NE(text, nullptr) << c.number;
      EXPECT_STREQ(text, c.text) << c.number;
    }
  }
}

CallSetup ValidSetup() {
  CallSetup s;
  s.effortLev = 0;
  s.iterMult = 1;
  s.AddStock(6000, 3);
  s.AddPart(1500, 4);
  s.AddPart(2500, 2);
  return s;
}

struct ErrorCase {
  const char* name;
  std::function<void(CallSetup&)> change;
  int32_t number;
};

class SameErrorsTest : public testing::TestWithParam<ErrorCase> {};

// Both interfaces raise the same numbers with the same boxes.
TEST_P(SameErrorsTest, AsTheFlatCall) {
  const ErrorCase& c = GetParam();
  CallSetup in = ValidSetup();
  c.change(in);

  RecordingView flatView;
  auto flat = std::make_unique<CallResult>();
  flat->msgs = 1;
  {
    ScopedView scoped(flatView);
    solver::testing::Call(in, *flat);
  }
  EXPECT_EQ(flat->error, c.number);

  RecordingView view;
  const TarvolinView cview = view.AsTarvolinView();
  const TarvolinSettings settings = solver::testing::ToSettings(in, 1);
  const TarvolinProblem problem = solver::testing::ToProblem(in);
  auto plan = std::make_unique<TarvolinPlan>();
  ContextPtr context = NewContext();
  EXPECT_EQ(TarvolinSolve(context.get(), &settings, &problem, &cview, plan.get()), c.number);
  EXPECT_EQ(view.errorBoxes, flatView.errorBoxes);
  EXPECT_FALSE(view.errorBoxes.empty());
}

const ErrorCase kErrorCases[] = {
    {"Settings", [](CallSetup& s) { s.effortLev = 11; }, 25},
    {"BundleBelowRange", [](CallSetup& s) { s.diffPieces = -101; }, 25},
    {"NoGroups",
     [](CallSetup& s) {
       s.stockLth[0] = s.stockCst[0] = s.stockQty[0] = 0;
       s.partLth[0] = s.partMrk[0] = s.partQty[0] = 0;
     },
     1},
    {"TooManyStockGroups", [](CallSetup& s) { s.stockLth[0] = s.stockCst[0] = s.stockQty[0] = 11; },
     1},
    {"StockLength", [](CallSetup& s) { s.stockLth[1] = 0; }, 5},
    {"PartLengthBeforeStockCost",
     [](CallSetup& s) {
       s.partLth[2] = 0;
       s.stockCst[1] = -1;
     },
     6},
    {"StockCost", [](CallSetup& s) { s.stockCst[1] = -1; }, 7},
    {"PartMark", [](CallSetup& s) { s.partMrk[1] = -1; }, 8},
    {"StockQuantity", [](CallSetup& s) { s.stockQty[1] = -1; }, 9},
    {"PartQuantity", [](CallSetup& s) { s.partQty[2] = -1; }, 10},
    {"NoStock", [](CallSetup& s) { s.stockQty[1] = 0; }, 11},
    {"NoParts", [](CallSetup& s) { s.partQty[1] = s.partQty[2] = 0; }, 12},
    {"TooManyPieces",
     [](CallSetup& s) {
       s.partQty[1] = 60;
       s.partQty[2] = 41;
     },
     16},
    {"TooManyBars", [](CallSetup& s) { s.stockQty[1] = 101; }, 15},
    {"NoPartFits", [](CallSetup& s) { s.partLth[1] = s.partLth[2] = 6001; }, 21},
    {"BundleAbovePartQuantities", [](CallSetup& s) { s.diffPieces = -5; }, 23},
};

INSTANTIATE_TEST_SUITE_P(Errors, SameErrorsTest, testing::ValuesIn(kErrorCases),
                         [](const testing::TestParamInfo<ErrorCase>& info) {
                           return std::string(info.param.name);
                         });

// Settings that only the records can express are refused like any other.
TEST(SolveTest, SettingsOnlyTheRecordsCanExpress) {
  const std::function<void(TarvolinSettings&)> changes[] = {
      [](TarvolinSettings& s) { s.bundleSize = 1; },
      [](TarvolinSettings& s) { s.bundleSize = 101; },
      [](TarvolinSettings& s) {
        s.bundleSize = 2;
        s.maxDifferentPieces = 2;
      },
      [](TarvolinSettings& s) { s.maxDifferentPieces = -1; },
  };
  ContextPtr context = NewContext();
  const TarvolinProblem problem = solver::testing::ToProblem(ValidSetup());
  auto plan = std::make_unique<TarvolinPlan>();
  for (const auto& change : changes) {
    TarvolinSettings settings = solver::testing::ToSettings(ValidSetup());
    change(settings);
    EXPECT_EQ(TarvolinSolve(context.get(), &settings, &problem, nullptr, plan.get()),
              TARVOLIN_ERROR_SETTINGS);
  }
}

// The exact method never returns a worse plan than the search, says whether
// it proved its plan, and gives the same plan for the same input.
TEST(SolveTest, ExactMethodIsNoWorseThanTheSearchAndRepeatable) {
  ContextPtr context = NewContext();
  const TarvolinProblem problem = solver::testing::ToProblem(ValidSetup());
  TarvolinSettings settings = solver::testing::ToSettings(ValidSetup());
  auto search = std::make_unique<TarvolinPlan>();
  ASSERT_EQ(TarvolinSolve(context.get(), &settings, &problem, nullptr, search.get()), 0);
  EXPECT_EQ(search->proven, 0);
  settings.method = 1;
  auto exact = std::make_unique<TarvolinPlan>();
  const int32_t status = TarvolinSolve(context.get(), &settings, &problem, nullptr, exact.get());
  if (status == TARVOLIN_ERROR_EXACT_NOT_AVAILABLE) {
    GTEST_SKIP() << "no exact method in this build";
  }
  ASSERT_EQ(status, 0);
  const auto cut = [](const TarvolinPlan& p) { return p.partsCut + p.lastParts; };
  const auto objective = [&](const TarvolinPlan& p) {
    return settings.costMode != 0 ? int64_t{p.costUsed} + p.lastCost
                                  : int64_t{p.lengthUsed} + p.lastLengthUsed - p.lastWaste;
  };
  EXPECT_GE(cut(*exact), cut(*search));
  if (cut(*exact) == cut(*search)) {
    EXPECT_LE(objective(*exact), objective(*search));
  }
  EXPECT_GT(exact->lowerBound, 0);
  if (exact->proven != 0 && settings.costMode == 0) {
    EXPECT_EQ(objective(*exact), static_cast<int64_t>(std::ceil(exact->lowerBound - 1e-6)));
  }
  auto again = std::make_unique<TarvolinPlan>();
  ASSERT_EQ(TarvolinSolve(context.get(), &settings, &problem, nullptr, again.get()), 0);
  EXPECT_EQ(std::memcmp(again->partItemStock, exact->partItemStock, sizeof exact->partItemStock),
            0);
  settings.method = 2;
  EXPECT_EQ(TarvolinSolve(context.get(), &settings, &problem, nullptr, again.get()),
            TARVOLIN_ERROR_SETTINGS);
}

TEST(SolveTest, NullArgumentsShowNothing) {
  ContextPtr context = NewContext();
  RecordingView view;
  const TarvolinView cview = view.AsTarvolinView();
  const TarvolinSettings settings = solver::testing::ToSettings(ValidSetup(), 1);
  const TarvolinProblem problem = solver::testing::ToProblem(ValidSetup());
  auto plan = std::make_unique<TarvolinPlan>();
  EXPECT_EQ(TarvolinSolve(nullptr, &settings, &problem, &cview, plan.get()), 209);
  EXPECT_EQ(TarvolinSolve(context.get(), nullptr, &problem, &cview, plan.get()), 209);
  EXPECT_EQ(TarvolinSolve(context.get(), &settings, nullptr, &cview, plan.get()), 209);
  EXPECT_EQ(TarvolinSolve(context.get(), &settings, &problem, &cview, nullptr), 209);
  EXPECT_TRUE(view.errorBoxes.empty());
  TarvolinRequestAbort(nullptr);
  TarvolinDestroyContext(nullptr);
}

// A failed call keeps only what the expansion wrote; the plan from an
// earlier call does not show through.
TEST(SolveTest, FailureClearsThePlan) {
  ContextPtr context = NewContext();
  CallSetup in = ValidSetup();
  auto plan = std::make_unique<TarvolinPlan>();
  const TarvolinSettings settings = solver::testing::ToSettings(in);
  TarvolinProblem problem = solver::testing::ToProblem(in);
  ASSERT_EQ(TarvolinSolve(context.get(), &settings, &problem, nullptr, plan.get()), 0);
  ASSERT_GT(plan->criterion, 0);
  problem.partGroups[1].length = problem.partGroups[2].length = 7000;
  EXPECT_EQ(TarvolinSolve(context.get(), &settings, &problem, nullptr, plan.get()), 21);
  EXPECT_EQ(plan->criterion, 0);
  EXPECT_EQ(plan->stockUsed, 0);
  EXPECT_EQ(plan->partItemCount, 6);
  EXPECT_EQ(plan->stockItemCount, 3);
  EXPECT_EQ(plan->partItemStock[1], 0);
  EXPECT_EQ(plan->partItemGroup[6], 2);
}

// Esc in the window reaches the call through the context that the view got
// when the window opened; a call that does not offer Esc ignores it.
TEST(SolveTest, EscStopsTheCallOnlyWhenOffered) {
  const CallSetup in = solver::testing::TwentyGroupsThreeStocks(4);
  const TarvolinProblem problem = solver::testing::ToProblem(in);
  struct Run {
    int pumps;
    int32_t criterion;
  };
  auto run = [&](int32_t progressMode) {
    ContextPtr context = NewContext();
    RecordingView view;
    view.keyOnPump = 27;
    const TarvolinView cview = view.AsTarvolinView();
    TarvolinSettings settings = solver::testing::ToSettings(in);
    settings.progressMode = progressMode;
    auto plan = std::make_unique<TarvolinPlan>();
    EXPECT_EQ(TarvolinSolve(context.get(), &settings, &problem, &cview, plan.get()), 0);
    EXPECT_EQ(view.opens, 1);
    EXPECT_EQ(view.closes, 1);
    return Run{view.pumps, plan->criterion};
  };
  const Run offered = run(2);
  const Run ignored = run(1);
  EXPECT_GT(offered.criterion, 0);
  EXPECT_LT(offered.pumps, ignored.pumps);
  EXPECT_LE(offered.criterion, ignored.criterion);
}

// A request made before a call starts is forgotten when its window opens.
TEST(SolveTest, EarlierAbortRequestIsForgotten) {
  const CallSetup in = solver::testing::KerfEndZoneGrip(1);
  const TarvolinProblem problem = solver::testing::ToProblem(in);
  TarvolinSettings settings = solver::testing::ToSettings(in);
  settings.progressMode = 2;
  auto plain = std::make_unique<TarvolinPlan>();
  auto requested = std::make_unique<TarvolinPlan>();
  ContextPtr context = NewContext();
  ASSERT_EQ(TarvolinSolve(context.get(), &settings, &problem, nullptr, plain.get()), 0);
  TarvolinRequestAbort(context.get());
  ASSERT_EQ(TarvolinSolve(context.get(), &settings, &problem, nullptr, requested.get()), 0);
  EXPECT_EQ(std::memcmp(plain.get(), requested.get(), sizeof(TarvolinPlan)), 0);
}

}  // namespace
