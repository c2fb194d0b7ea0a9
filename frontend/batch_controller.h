// The spine of the program: the batch run, which reads the settings and
// inputs, loops over the materials of the order file, calls the solver once
// per material and hands each plan to the writers. The console calls Run;
// the desktop drives the same steps through its window's events (the whole
// run happens inside the window's first paint).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plan_outputs.h"
#include "plan_progress_view.h"
#include "please_wait_view.h"
#include "printer.h"
#include "process_view.h"
#include "remnant_store.h"
#include "run_state.h"
#include "solve_ahead.h"
#include "solver_call.h"
#include "tarvolin/solver_view.h"
#include "toolkit.h"

namespace tarvolin {

inline constexpr const char* kApplicationTitle = "Tarvolin - Velmora";
// Another run holds the lock of an output file; the file's name follows.
inline constexpr const char* kOutputInUse = "Output file is in use by another run: \r";

// How a run ended, as the program's exit status.
enum ExitStatus : int {
  kExitOk = 0,              // the run ended normally
  kExitError = 1,           // the run ended through an error
  kExitCancelled = 2,       // the operator cancelled or interrupted the run
  kExitAlreadyRunning = 3,  // another instance runs in this directory or writes the outputs
};

// What the command line asks of a run beyond its settings files.
struct BatchOptions {
  bool layouts = false;  // the layouts file, whatever the settings say
  bool plan = false;     // the plan file, likewise
  bool cutList = false;  // the cut list, likewise
  int jobs = 1;          // materials solved at once (1: one after the other)
  // A settings file that cannot be read: go on with the defaults without
  // asking.
  bool defaultsOnError = false;
};

class BatchController {
 public:
  // printer: the label printer, or nullptr when none can be opened.
  // params: the command-line parameters (order file, stock file).
  // solverView: where the solver shows its progress window and boxes, or
  // nullptr for nothing; it must outlive the controller.
  BatchController(Toolkit& toolkit, ProcessView& view, PleaseWaitView& pleaseWait, Printer* printer,
                  std::vector<std::string> params, solver::SolverView* solverView = nullptr);

  // Takes the options for the run to come.
  void Configure(const BatchOptions& options);
  // The whole run as one call: the title, the initialisation, every
  // material, the outputs and the end of the run; returns how it ended.
  ExitStatus Run(const BatchOptions& options);

  // The desktop's window events, which drive the same steps.
  // The window was created: sets the application title.
  void OnStartUp();
  // The first paint runs the initialisation and the whole batch; later
  // paints do nothing.
  void OnFirstPaint();
  // The operator pressed the exit button: the window closes.
  void OnExitClicked();
  // The window closed: the normal end of the program.
  void OnWindowClosed();

  // Draws the layouts file; none in a build without drawing.
  void SetLayoutsWriterFactory(LayoutsWriterFactory factory) {
    layoutsFactory_ = std::move(factory);
  }
  // Plans the materials beyond the layout search's limits; by default
  // SolveLargeMaterial.
  void SetLargePlanner(LargePlanner planner) { largePlanner_ = std::move(planner); }
  // The materials finished so far, and the run's heading for them.
  const PlanOutputs& Plans() const { return plans_; }

  bool CloseButtonEnabled() const { return closeEnabled_; }
  ExitStatus Status() const;
  // The run was ended because memory ran out.
  bool OutOfMemory() const { return outOfMemory_; }
  RunState& State() { return run_; }

 private:
  void RunBatchOnce();
  void EndRun();
  void Initialise();
  void StartBatch();
  void BatchRun();
  bool ResolveFiles();
  bool OpenOutputs();
  bool OpenRemnants();
  void CommitRemnants();
  bool StopOnLockedOutput(const std::string& name);
  void MaterialLoop();
  void WarnHeaderLikeAPiece();
  void ReportEmptyOrderFile();
  void NoteFailedMaterial();
  bool SolveMaterial();
  int32_t CallSolverFor(MaterialPass& pass);
  void WarnCutMoreByExactMethod();
  int32_t PlanLargeMaterial(MaterialPass& pass);
  PlanProgressTexts LargeProgressTexts(const LargeProgress& progress) const;
  void WarnUncutPieces();
  bool HandOnResult(const plan::MaterialPlan& material);
  bool AddPlan(plan::MaterialPlan material);
  void EndPlans(plan::RunEnd end);
  void FinishBatch();
  bool PumpAndCheck();
  void EndOutOfMemory();
  std::string MemoHeader() const;
  std::string MaterialMemoLine() const;

  Toolkit& toolkit_;
  ProcessView& view_;
  PleaseWaitView& pleaseWait_;
  Printer* printer_;
  std::vector<std::string> params_;
  std::optional<TarvolinView> solverView_;
  // The progress of a material the exact method plans alone: the solver's
  // view when it can show it, else nothing.
  PlanProgressView* planProgress_ = nullptr;
  LargePlanner largePlanner_ = SolveLargeMaterial;
  SolverContext solverContext_{TarvolinCreateContext()};
  RunState run_;

  bool painted_ = false;
  bool closeEnabled_ = false;
  bool closed_ = false;
  bool alreadyRunning_ = false;
  bool endedNormally_ = false;
  bool printLabels_ = false;
  bool outOfMemory_ = false;
  std::string memoLine_;  // the current material's memo line
  LayoutsWriterFactory layoutsFactory_;
  BatchOptions options_;
  int passNumber_ = 0;                 // passes of the material loop so far
  std::unique_ptr<SolveAhead> ahead_;  // with more than one job
  PlanOutputs plans_;
  RemnantKeeping remnants_;  // with the remnant store kept
  std::string remnantDate_;  // the day of the run, as the store writes it
};

}  // namespace tarvolin
