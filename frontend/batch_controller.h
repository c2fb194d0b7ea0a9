// The spine of the program: start-up, the process window's events and the
// batch run, which loops over the materials of the order file, calls the
// solver once per material and hands each result to the report and label
// writers. The whole run happens inside the window's first paint.
#pragma once

#include <string>
#include <vector>

#include "please_wait_view.h"
#include "printer.h"
#include "process_view.h"
#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

inline constexpr const char* kApplicationTitle = "Tarvolin - Velmora";

// How a run ended, as the program's exit status.
enum ExitStatus : int {
  kExitOk = 0,              // the run ended normally
  kExitError = 1,           // the run ended through an error
  kExitCancelled = 2,       // the operator cancelled or interrupted the run
  kExitAlreadyRunning = 3,  // another instance runs in this directory
};

class BatchController {
 public:
  // printer: the label printer, or nullptr when none can be opened.
  // params: the command-line parameters (order file, stock file).
  BatchController(Toolkit& toolkit, ProcessView& view, PleaseWaitView& pleaseWait, Printer* printer,
                  std::vector<std::string> params);

  // Window events.
  // The window was created: sets the application title.
  void OnStartUp();
  // The first paint runs the initialisation and the whole batch; later
  // paints do nothing.
  void OnFirstPaint();
  // The operator pressed the exit button: the window closes.
  void OnExitClicked();
  // The window closed: the normal end of the program.
  void OnWindowClosed();

  bool CloseButtonEnabled() const { return closeEnabled_; }
  ExitStatus Status() const;
  RunState& Run() { return run_; }

 private:
  void Initialise();
  void StartBatch();
  void BatchRun();
  bool ResolveFiles();
  bool OpenOutputs();
  void MaterialLoop();
  void WarnHeaderLikeAPiece();
  void ReportEmptyOrderFile();
  void NoteFailedMaterial();
  bool SolveMaterial();
  void WarnUncutPieces();
  bool HandOnResult();
  void FinishBatch();
  bool PumpAndCheck();
  std::string MemoHeader() const;
  std::string MaterialMemoLine() const;

  Toolkit& toolkit_;
  ProcessView& view_;
  PleaseWaitView& pleaseWait_;
  Printer* printer_;
  std::vector<std::string> params_;
  RunState run_;

  bool painted_ = false;
  bool closeEnabled_ = false;
  bool closed_ = false;
  bool alreadyRunning_ = false;
  bool endedNormally_ = false;
  bool printLabels_ = false;
  std::string memoLine_;  // the current material's memo line
};

}  // namespace tarvolin
