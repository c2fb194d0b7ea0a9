// The progress window's logic and the error reporter, driven through a
// recording view and an injected clock.
#include <gtest/gtest.h>

#include <memory>

#include "context.h"
#include "recording_view.h"
#include "solver_services.h"
#include "solver_state.h"

namespace {

using solver::SolverState;
using solver_test::AttachedView;
using solver_test::RecordingView;

double fakeNow = 0;
double FakeClock() {
  return fakeNow;
}

// The state lives in a context of its own, so that Esc in the window
// reaches it the way it reaches a call.
class ProgressTest : public testing::Test {
 protected:
  RecordingView view;
  std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)> context{TarvolinCreateContext(),
                                                                       TarvolinDestroyContext};
  SolverState* st = &context->state;
  AttachedView attached{*st, view};

  void SetUp() override {
    fakeNow = 100000;
    st->progress.clock = FakeClock;
    st->progress.callStartMs = 100000;
    st->settings.showProgress = true;
    st->settings.escEnabled = true;
    st->settings.effortLevel = 3;
  }
};

TEST_F(ProgressTest, OpenResetsBarsLabelsAndAbortFlag) {
  st->progress.abort = true;
  st->progress.multiPosition = 40;
  view.multiPosition = 40;
  solver::OpenProgressWindow(*st);
  EXPECT_EQ(view.opens, 1);
  EXPECT_TRUE(view.escShown);
  EXPECT_EQ(view.multiPosition, 0);
  EXPECT_EQ(view.packPosition, 0);
  EXPECT_EQ(view.critText, "0");
  EXPECT_EQ(view.critTimeText, "0 sec");
  EXPECT_EQ(view.timeText, "0 sec");
  EXPECT_EQ(view.colour, 0x800000);
  EXPECT_EQ(view.repaints, 1);
  EXPECT_FALSE(solver::EscPressed(*st));
}

TEST_F(ProgressTest, NothingShownWithoutProgress) {
  st->settings.showProgress = false;
  solver::OpenProgressWindow(*st);
  solver::ResetPackProgress(*st, 10);
  solver::PackProgressTick(*st);
  solver::MultiProgressAdvance(*st, 2);
  solver::ShowBestPlan(*st, 0.5);
  solver::CloseProgressWindow(*st);
  EXPECT_EQ(view.opens, 0);
  EXPECT_EQ(view.closes, 0);
  EXPECT_EQ(view.pumps, 0);
  EXPECT_EQ(view.multiPosition, -1);
  EXPECT_EQ(view.packPosition, -1);
}

TEST_F(ProgressTest, MultiBarFromTheWorkTables) {
  solver::OpenProgressWindow(*st);
  // Effort 3: 90 units in all. One evaluation at sub-level 2 is 6 units.
  solver::MultiProgressAdvance(*st, 2);
  EXPECT_EQ(view.multiPosition, 7);
  solver::MultiProgressAdvance(*st, 2);
  EXPECT_EQ(view.multiPosition, 14);
  // A sub-level outside the table counts 1 unit: round(1.11).
  solver::MultiProgressAdvance(*st, 11);
  EXPECT_EQ(view.multiPosition, 15);
  solver::MultiProgressLevel(*st, 1);
  EXPECT_EQ(view.multiPosition, 23);
  EXPECT_EQ(view.repaints, 1);
  solver::MultiProgressLevel(*st, 3);
  EXPECT_EQ(view.multiPosition, 100);
  EXPECT_EQ(view.repaints, 2);
  solver::MultiProgressAdvance(*st, 10);
  EXPECT_EQ(view.multiPosition, 100);
}

TEST_F(ProgressTest, PackTicksThrottledByStepAndTime) {
  solver::OpenProgressWindow(*st);
  solver::ResetPackProgress(*st, 200);  // an update every 4th tick
  // Ticks 1, 5, 9 show round(0.5), round(2.5), round(4.5): halves to even.
  const int positions[] = {0, -1, -1, -1, 2, -1, -1, -1, 4};
  for (int expected : positions) {
    fakeNow += 25;
    view.packPosition = -1;
    solver::PackProgressTick(*st);
    EXPECT_EQ(view.packPosition, expected) << st->progress.packTicks;
  }
  // Within 20 ms of the last update nothing is shown.
  solver::ResetPackProgress(*st, 200);
  fakeNow += 19;
  view.packPosition = -1;
  solver::PackProgressTick(*st);
  EXPECT_EQ(view.packPosition, -1);
  EXPECT_EQ(view.pumps, 3);
}

TEST_F(ProgressTest, FewExpectedTicksUpdateEveryTickAtMostFourPoints) {
  solver::OpenProgressWindow(*st);
  solver::ResetPackProgress(*st, 10);
  for (int expected : {4, 8, 12, 16}) {
    fakeNow += 20;
    solver::PackProgressTick(*st);
    EXPECT_EQ(view.packPosition, expected);
  }
  // A fresh run starts over from the current position.
  solver::ResetPackProgress(*st, 400);
  fakeNow += 20;
  solver::PackProgressTick(*st);
  EXPECT_EQ(view.packPosition, 0);
}

TEST_F(ProgressTest, ElapsedTimeText) {
  solver::OpenProgressWindow(*st);
  solver::ResetPackProgress(*st, 10);
  fakeNow = 100000 + 12300;
  solver::PackProgressTick(*st);
  EXPECT_EQ(view.timeText, "12.3 sec");
}

TEST_F(ProgressTest, BestLabelsFadeToGreyAndResetToNavy) {
  solver::OpenProgressWindow(*st);
  solver::ResetPackProgress(*st, 10);
  fakeNow = 200000;  // round(now / 10) even: one fading step
  solver::PackProgressTick(*st);
  EXPECT_EQ(view.colour, 0x800101);
  fakeNow += 30;  // odd: no step
  solver::PackProgressTick(*st);
  EXPECT_EQ(view.colour, 0x800101);
  for (int i = 0; i < 300; ++i) {
    fakeNow += 30;
    solver::PackProgressTick(*st);
  }
  EXPECT_EQ(view.colour, 0x808080);

  fakeNow = 100000 + 4560;
  solver::ShowBestPlan(*st, 0.97125);
  EXPECT_EQ(view.colour, 0x800000);
  EXPECT_EQ(view.critText, "97.125");
  EXPECT_EQ(view.critTimeText, "4.6 sec");
  solver::ShowBestPlan(*st, 0.5);
  EXPECT_EQ(view.critText, "50");
}

TEST_F(ProgressTest, EscThroughTheViewSetsAbortFlag) {
  solver::OpenProgressWindow(*st);
  solver::ResetPackProgress(*st, 10);
  view.keyOnPump = 'x';
  fakeNow += 20;
  solver::PackProgressTick(*st);
  EXPECT_FALSE(solver::EscPressed(*st));
  view.keyOnPump = 27;
  fakeNow += 20;
  solver::PackProgressTick(*st);
  EXPECT_TRUE(solver::EscPressed(*st));
  // The flag stays until the next open.
  solver::CloseProgressWindow(*st);
  EXPECT_TRUE(solver::EscPressed(*st));
  solver::OpenProgressWindow(*st);
  EXPECT_FALSE(solver::EscPressed(*st));
  solver::CloseProgressWindow(*st);
  // A key after the window closed reaches no call.
  view.FormKeyPress(27);
  EXPECT_FALSE(solver::EscPressed(*st));
}

TEST_F(ProgressTest, ErrorReporterFirstNumberWinsAndClosesWindow) {
  st->error.showBoxes = true;
  solver::OpenProgressWindow(*st);
  solver::RaiseError(*st, 12);
  solver::RaiseError(*st, 21);
  EXPECT_EQ(st->error.number, 12);
  EXPECT_EQ(view.errorBoxes, (std::vector<std::string>{"Q5R: No any parts defined (#12).",
                                                       "Q5R: No parts fit in any stock (#21)."}));
  EXPECT_EQ(view.closes, 1);
  EXPECT_FALSE(st->progress.windowOpen);
}

TEST_F(ProgressTest, ErrorWithoutBoxesStillClosesWindow) {
  solver::OpenProgressWindow(*st);
  solver::RaiseError(*st, 5);
  EXPECT_EQ(st->error.number, 5);
  EXPECT_TRUE(view.errorBoxes.empty());
  EXPECT_EQ(view.closes, 1);
}

TEST(ClockTest, SteadyAndInMilliseconds) {
  const double a = solver::ClockMs();
  const double b = solver::ClockMs();
  EXPECT_LE(a, b);
  auto st = std::make_unique<SolverState>();
  EXPECT_GE(solver::NowMs(*st), b);
}

}  // namespace
