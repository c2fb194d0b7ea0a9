// A view that records every call the solver makes, for checking message
// texts and progress window behaviour.
#pragma once

#include <string>
#include <vector>

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

// Registers a view for the lifetime of a test.
class ScopedView {
 public:
  explicit ScopedView(solver::SolverView& view) { solver::RegisterSolverView(&view); }
  ~ScopedView() { solver::RegisterSolverView(nullptr); }
  ScopedView(const ScopedView&) = delete;
  ScopedView& operator=(const ScopedView&) = delete;
};

}  // namespace solver_test
