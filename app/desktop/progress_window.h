// The solver's progress window: the bar of the whole optimization, the thin
// bar of the current run with the elapsed time beside it, the best criterion
// and when it was found, and "Esc to abort" when the caller offers Esc. For a
// material the exact method plans alone it shows the time, the bound and the
// best plan instead.
#pragma once

#include <QWidget>
#include <functional>

#include "plan_progress_view.h"
#include "toolkit_solver_view.h"

class QLabel;
class QProgressBar;

namespace tarvolin::desktop {

class ProgressWindow : public QWidget, public ToolkitSolverView, public PlanProgressView {
 public:
  explicit ProgressWindow(Toolkit& toolkit);

  void OpenProgress(bool showEsc) override;
  void CloseProgress() override;
  void SetMultiPosition(int position) override;
  void SetPackPosition(int position) override;
  void SetTimeText(const char* text) override;
  void SetBestTexts(const char* criterion, const char* time) override;
  void SetBestColour(int32_t colour) override;
  void Repaint() override;
  void PumpMessages() override;

  void OpenPlanProgress(bool stopOffered) override;
  void ShowPlanProgress(const PlanProgressTexts& texts) override;
  bool PlanStopRequested() override;
  void ClosePlanProgress() override;

  // Asked at every pump while Esc is offered; true counts as Esc (Ctrl-C on
  // the terminal the program was started from).
  std::function<bool()> escapeRequest;

  QProgressBar* MultiProgBar() const { return multiProgBar_; }
  QProgressBar* PackProgBar() const { return packProgBar_; }
  QLabel* ProgLab() const { return progLab_; }
  QLabel* WaitLab() const { return waitLab_; }
  QLabel* TimeLab() const { return timeLab_; }
  QLabel* CritTimeLab() const { return critTimeLab_; }
  QLabel* CritTopLab() const { return critTopLab_; }
  QLabel* TimeTopLab() const { return timeTopLab_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QProgressBar* multiProgBar_;
  QProgressBar* packProgBar_;
  QLabel* progLab_;
  QLabel* waitLab_;
  QLabel* timeLab_;
  QLabel* critTimeLab_;
  QLabel* critTopLab_;
  QLabel* timeTopLab_;
  bool escShown_ = false;
  bool stopRequested_ = false;  // Esc while a plan's progress is shown
};

}  // namespace tarvolin::desktop
