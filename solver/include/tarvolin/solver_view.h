// The window side of the solver's messages and progress window, for C++
// callers. The solver library draws nothing itself: it calls the callbacks
// of a TarvolinView (tarvolin/solver.h). A SolverView is the C++ form of
// such a view: implement its members and hand AsTarvolinView() to
// TarvolinSolve, or set it as the view of the flat CutOptimize call.
#pragma once

#include <cstdint>

#include "tarvolin/cut_optimize.h"
#include "tarvolin/solver.h"

namespace solver {

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

  // To be called by the window's key handler: Esc (character 27) asks the
  // call whose progress window is open to stop.
  void FormKeyPress(char key);

  // The C view that forwards every callback to this object. The object must
  // outlive every call that uses the returned view.
  TarvolinView AsTarvolinView();

 private:
  friend struct SolverViewCallbacks;
  // The context whose progress window this view shows; null while none is
  // open.
  TarvolinContext* context_ = nullptr;
};

// The view of the flat CutOptimize call (nullptr: nothing shown). The view
// must outlive every CutOptimize call made while it is set. Like
// CutOptimize itself, not for use from several threads.
TARVOLIN_API void SetCutOptimizeView(SolverView* view);

}  // namespace solver
