// A view that records every call the solver makes, for checking message
// texts and progress window behaviour.
#pragma once

#include <string>
#include <vector>

#include "solver_state.h"
#include "tarvolin/solver_view.h"

namespace solver_test {

class RecordingView : public solver::SolverView {
 public:
  std::vector<std::string> errorBoxes;
  std::vector<std::string> infoBoxes;
  std::vector<std::string> events;  // window calls in order
  int opens = 0;
  int closes = 0;
  bool escShown = false;
  int multiPosition = -1;
  int packPosition = -1;
  std::string timeText;
  std::string critText;
  std::string critTimeText;
  int colour = -1;
  int pumps = 0;
  int repaints = 0;
  char keyOnPump = 0;  // delivered through FormKeyPress at the next pump

  void ShowErrorBox(const char* text) override { errorBoxes.emplace_back(text); }
  void ShowInfoBox(const char* text) override { infoBoxes.emplace_back(text); }
  void OpenProgress(bool showEsc) override {
    ++opens;
    escShown = showEsc;
    events.emplace_back("open");
  }
  void CloseProgress() override {
    ++closes;
    events.emplace_back("close");
  }
  void SetMultiPosition(int position) override { multiPosition = position; }
  void SetPackPosition(int position) override { packPosition = position; }
  void SetTimeText(const char* text) override { timeText = text; }
  void SetBestTexts(const char* criterion, const char* time) override {
    critText = criterion;
    critTimeText = time;
  }
  void SetBestColour(int32_t c) override { colour = c; }
  void Repaint() override { ++repaints; }
  void PumpMessages() override {
    ++pumps;
    if (keyOnPump != 0) {
      FormKeyPress(keyOnPump);
      keyOnPump = 0;
    }
  }
};

// Sets the view of the flat CutOptimize call for the lifetime of a test.
class ScopedView {
 public:
  explicit ScopedView(solver::SolverView& view) { solver::SetCutOptimizeView(&view); }
  ~ScopedView() { solver::SetCutOptimizeView(nullptr); }
  ScopedView(const ScopedView&) = delete;
  ScopedView& operator=(const ScopedView&) = delete;
};

// Shows a state's boxes and progress through a view for the lifetime of a
// test, as a call does for its own.
class AttachedView {
 public:
  AttachedView(solver::SolverState& st, solver::SolverView& view)
      : st_(st), view_(view.AsTarvolinView()) {
    st_.view = &view_;
  }
  ~AttachedView() { st_.view = nullptr; }
  AttachedView(const AttachedView&) = delete;
  AttachedView& operator=(const AttachedView&) = delete;

 private:
  solver::SolverState& st_;
  TarvolinView view_;
};

}  // namespace solver_test
