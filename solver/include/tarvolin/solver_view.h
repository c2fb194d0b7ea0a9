// The abstract window side of the solver's messages and progress window.
// The solver library draws nothing itself: an application registers a view
// and the solver calls it; with no view registered nothing is shown.
#pragma once

#include <cstdint>

#include "tarvolin/cut_optimize.h"

namespace solver {

struct SolverState;

// Font colours as the window toolkit's colour integers (red in the low byte,
// blue in the high byte).
inline constexpr int32_t kColourNavy = 0x800000;
inline constexpr int32_t kColourGrey = 0x808080;

class TARVOLIN_API SolverView {
 public:
  virtual ~SolverView() = default;

  // Modal boxes with an OK button. Line breaks inside a text are bare
  // carriage returns.
  virtual void ShowErrorBox(const char* text) = 0;
  virtual void ShowInfoBox(const char* text) = 0;

  // Creates (when needed) and shows the progress window, not modal, with
  // "Esc to abort" visible exactly when showEsc is set. The solver then sets
  // the bars, labels and colour and asks for a repaint.
  virtual void OpenProgress(bool showEsc) = 0;
  // Hides and destroys the progress window.
  virtual void CloseProgress() = 0;

  // Bar positions 0..100: the whole optimization and the current run.
  virtual void SetMultiPosition(int position) = 0;
  virtual void SetPackPosition(int position) = 0;
  // Elapsed time label beside the run bar, e.g. "12.3 sec".
  virtual void SetTimeText(const char* text) = 0;
  // Best criterion (percent) and the time it was found.
  virtual void SetBestTexts(const char* criterion, const char* time) = 0;
  // Font colour of both best-plan labels.
  virtual void SetBestColour(int32_t colour) = 0;
  // Repaints the window at once.
  virtual void Repaint() = 0;
  // Lets pending window messages run; a key handler then calls FormKeyPress.
  virtual void PumpMessages() = 0;

  // To be called by the window's key handler: Esc (character 27) sets the
  // abort flag of the call whose progress window is open.
  void FormKeyPress(char key);

 private:
  friend void BindView(SolverView& view, SolverState* st);
  SolverState* bound_ = nullptr;
};

// Registers the application's view (nullptr unregisters). The view must
// outlive every solver call made while it is registered.
TARVOLIN_API void RegisterSolverView(SolverView* view);

// The registered view, or nullptr.
SolverView* RegisteredView();

// Ties the view's key handler to the state whose window is open (nullptr:
// none).
void BindView(SolverView& view, SolverState* st);

}  // namespace solver
