#include "solver_services.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "solver_state.h"
#include "tarvolin/errors.h"
#include "tarvolin/solver_view.h"

namespace solver {

namespace {

// Work of one evaluation at each sub-level and cumulative work through each
// level; any other index counts 1.
constexpr int32_t kEvaluationWork[11] = {2, 3, 6, 9, 18, 32, 60, 40, 135, 220, 320};
constexpr int32_t kCumulativeWork[11] = {6, 21, 33, 90, 144, 325, 481, 885, 1290, 2590, 3646};

// The run bar moves at most this often: once per this many milliseconds,
// once per 1/kPackSteps of the expected ticks, and by at most
// kPackMaxAdvance points per update.
constexpr double kPackUpdateMs = 20.0;
constexpr int64_t kPackSteps = 50;
constexpr int32_t kPackMaxAdvance = 4;

// One step of the best-plan labels' fade from navy towards grey: a little
// more red and green.
constexpr int32_t kFadeStep = 0x000101;

int32_t TableWork(const int32_t (&table)[11], int index) {
  return index >= 0 && index <= 10 ? table[index] : 1;
}

int32_t ClampPosition(int64_t position) {
  return static_cast<int32_t>(std::clamp<int64_t>(position, 0, 100));
}

// "12.3 sec": elapsed seconds since the call started, one decimal.
void FormatElapsed(const SolverState& st, double now, char (&text)[48]) {
  std::snprintf(text, sizeof text, "%.1f sec", (now - st.progress.callStartMs) / 1000.0);
}

// Calls one callback of the call's view, when there is a view and it has
// that callback.
template <auto Callback, typename... Args>
void Show(const SolverState& st, Args... args) {
  const TarvolinView* view = st.view;
  if (view != nullptr && view->*Callback != nullptr) (view->*Callback)(view->user, args...);
}

void SetMultiPosition(SolverState& st, int64_t position) {
  st.progress.multiPosition = ClampPosition(position);
  Show<&TarvolinView::setMultiPosition>(st, st.progress.multiPosition);
  if (st.progress.multiPosition == 100) Show<&TarvolinView::repaint>(st);
}

}  // namespace

void RaiseError(SolverState& st, int number) {
  if (number != 0 && st.error.number == 0) st.error.number = number;
  if (st.error.showBoxes) {
    const char* message = TarvolinErrorText(number);
    char text[512];
    std::snprintf(text, sizeof text, "Q5R: %s (#%d).", message != nullptr ? message : "", number);
    Show<&TarvolinView::showErrorBox>(st, static_cast<const char*>(text));
  }
  if (number != 0) CloseProgressWindow(st);
}

double ClockMs() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double, std::milli>(since).count();
}

double NowMs(const SolverState& st) {
  return st.progress.clock != nullptr ? st.progress.clock() : ClockMs();
}

void OpenProgressWindow(SolverState& st) {
  if (!st.settings.showProgress) return;
  ProgressState& p = st.progress;
  p.windowOpen = true;
  p.abort = false;
  p.multiPosition = 0;
  p.packPosition = 0;
  p.bestColour = kColourNavy;
  Show<&TarvolinView::openProgress>(st, st.owner, int32_t{st.settings.escEnabled ? 1 : 0});
  Show<&TarvolinView::setMultiPosition>(st, int32_t{0});
  Show<&TarvolinView::setPackPosition>(st, int32_t{0});
  Show<&TarvolinView::setBestTexts>(st, "0", "0 sec");
  Show<&TarvolinView::setBestColour>(st, p.bestColour);
  Show<&TarvolinView::setTimeText>(st, "0 sec");
  Show<&TarvolinView::repaint>(st);
}

void CloseProgressWindow(SolverState& st) {
  if (!st.progress.windowOpen) return;
  st.progress.windowOpen = false;
  Show<&TarvolinView::closeProgress>(st);
}

void MultiProgressAdvance(SolverState& st, int subLevel) {
  if (!st.progress.windowOpen) return;
  const double step = TableWork(kEvaluationWork, subLevel) * 100.0 /
                      TableWork(kCumulativeWork, st.settings.effortLevel);
  SetMultiPosition(st, st.progress.multiPosition + RoundEven(step));
}

void MultiProgressLevel(SolverState& st, int level) {
  if (!st.progress.windowOpen) return;
  const double position = TableWork(kCumulativeWork, level) * 100.0 /
                          TableWork(kCumulativeWork, st.settings.effortLevel);
  SetMultiPosition(st, RoundEven(position));
}

void ResetPackProgress(SolverState& st, int64_t expectedTicks) {
  st.progress.packTicks = 0;
  st.progress.packExpected = expectedTicks;
}

void PackProgressTick(SolverState& st) {
  ProgressState& p = st.progress;
  if (!p.windowOpen) return;
  p.packTicks += 1;
  const int64_t expected = std::max<int64_t>(p.packExpected, 1);
  const int64_t step = std::max<int64_t>(1, p.packExpected / kPackSteps);
  if ((p.packTicks - 1) % step != 0) return;
  const double now = NowMs(st);
  if (now - p.lastPackUpdateMs < kPackUpdateMs) return;

  const double share = static_cast<double>(p.packTicks) / static_cast<double>(expected) * 100.0;
  p.packPosition =
      ClampPosition(std::min<int64_t>(p.packPosition + kPackMaxAdvance, RoundEven(share)));
  char timeText[48];
  FormatElapsed(st, now, timeText);
  p.lastPackUpdateMs = now;

  // The best-plan labels fade from navy towards grey while no better plan
  // turns up.
  const bool fade = p.bestColour < kColourGrey && RoundEven(now / 10.0) % 2 == 0;
  if (fade) p.bestColour += kFadeStep;

  Show<&TarvolinView::setPackPosition>(st, p.packPosition);
  Show<&TarvolinView::setTimeText>(st, static_cast<const char*>(timeText));
  if (fade) Show<&TarvolinView::setBestColour>(st, p.bestColour);
  Show<&TarvolinView::pumpMessages>(st);
}

void ShowBestPlan(SolverState& st, double bestCriterion) {
  ProgressState& p = st.progress;
  if (!p.windowOpen) return;
  p.bestColour = kColourNavy;
  if (st.view == nullptr) return;
  char critText[48];
  const double scaled =
      std::isfinite(bestCriterion) ? std::clamp(bestCriterion, -1e9, 1e9) * 100000.0 : 0.0;
  std::snprintf(critText, sizeof critText, "%.15g",
                static_cast<double>(RoundEven(scaled)) / 1000.0);
  char timeText[48];
  FormatElapsed(st, NowMs(st), timeText);
  Show<&TarvolinView::setBestColour>(st, p.bestColour);
  Show<&TarvolinView::setBestTexts>(st, static_cast<const char*>(critText),
                                    static_cast<const char*>(timeText));
  Show<&TarvolinView::pumpMessages>(st);
}

bool EscPressed(const SolverState& st) {
  return st.progress.abort;
}

}  // namespace solver
