#include "batch_controller.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "discovery.h"
#include "initialise.h"
#include "input_files.h"
#include "input_text.h"
#include "label_writer.h"
#include "logs.h"
#include "order_input.h"
#include "output_text.h"
#include "report_writer.h"
#include "settings.h"
#include "solver_call.h"
#include "stock_input.h"
#include "tarvolin/errors.h"

namespace tarvolin {
namespace {

using output_text::LeftAligned;
using output_text::RightAligned;

// Memo columns behind the material. Each heading spans the figures below
// it: "Parts   /Gr" the part quantity and the part group count, "Stocks
// /Gr" the stock quantity and the stock group count, "Used" and "Utiliz."
// the pieces cut, the bars used and the utilization.
constexpr int kPartsHeadingWidth = 12;
constexpr int kStocksHeadingWidth = 16;
constexpr int kUsedHeadingWidth = 12;
constexpr int kUtilizationHeadingWidth = 14;
constexpr int kPartQuantityWidth = 6;
constexpr int kPartGroupsWidth = 6;
constexpr int kStockQuantityWidth = 10;
constexpr int kStockGroupsWidth = 6;
constexpr int kPiecesCutWidth = 8;
constexpr int kBarsUsedWidth = 6;
constexpr int kUtilizationWidth = 12;
static_assert(kPartsHeadingWidth + kStocksHeadingWidth + kUsedHeadingWidth +
                  kUtilizationHeadingWidth ==
              kMemoFiguresWidth);
static_assert(kPartQuantityWidth + kPartGroupsWidth == kPartsHeadingWidth);
static_assert(kStockQuantityWidth + kStockGroupsWidth == kStocksHeadingWidth);
static_assert(kPiecesCutWidth + kBarsUsedWidth + kUtilizationWidth ==
              kUsedHeadingWidth + kUtilizationHeadingWidth);

// Thousandths of a percent as the shortest decimal number, e.g. "87.5".
std::string UtilizationText(int32_t utilization, char separator) {
  // Thousandths are exact with three decimals; the memo drops the zeros.
  std::string text = plan::ScaledText(utilization, 1000, 3, separator);
  while (text.back() == '0') text.pop_back();
  if (text.back() == separator) text.pop_back();
  return text;
}

constexpr const char* kNotEnoughMemory = "Not enough memory";

std::string Plural(int count) {
  return count == 1 ? "" : "s";
}

// An output that failed: its name and the system's reason.
std::string OutputFailure(std::string_view what, const TextOutFile& file) {
  std::string text(what);
  text.append(": \r").append(file.FailedPath());
  if (file.FirstError() != 0) text.append(1, '\r').append(IoErrorText(file.FirstError()));
  return text;
}

}  // namespace

BatchController::BatchController(Toolkit& toolkit, ProcessView& view, PleaseWaitView& pleaseWait,
                                 Printer* printer, std::vector<std::string> params,
                                 solver::SolverView* solverView)
    : toolkit_(toolkit),
      view_(view),
      pleaseWait_(pleaseWait),
      printer_(printer),
      params_(std::move(params)) {
  if (solverView != nullptr) solverView_ = solverView->AsTarvolinView();
  planProgress_ = dynamic_cast<PlanProgressView*>(solverView);
}

void BatchController::Configure(const BatchOptions& options) {
  options_ = options;
  run_.defaultsOnError = options.defaultsOnError;
}

ExitStatus BatchController::Run(const BatchOptions& options) {
  Configure(options);
  toolkit_.SetTitle(kApplicationTitle);
  RunBatchOnce();
  EndRun();
  return Status();
}

void BatchController::OnStartUp() {
  toolkit_.SetTitle(kApplicationTitle);
  painted_ = false;
}

void BatchController::OnFirstPaint() {
  RunBatchOnce();
}

void BatchController::RunBatchOnce() {
  if (painted_) return;
  painted_ = true;
  // Memory that runs out outside a material's step ends the run here.
  try {
    Initialise();
    StartBatch();
  } catch (const std::bad_alloc&) {
    EndOutOfMemory();
  }
}

// Ends the run as after an error, naming the material being worked on.
// Unwinding has given back what the failed step held, so the message and
// the closing of the logs and outputs can be written.
void BatchController::EndOutOfMemory() {
  outOfMemory_ = true;
  std::string text = kNotEnoughMemory;
  if (run_.pass.hasMaterial)
    text.append("\r").append(kMaterialHeader).append(": ").append(run_.pass.material);
  FinishRun(run_, toolkit_, true, text);
}

void BatchController::OnExitClicked() {
  view_.CloseWindow();
}

void BatchController::OnWindowClosed() {
  EndRun();
}

void BatchController::EndRun() {
  if (closed_) return;
  closed_ = true;
  FinishRun(run_, toolkit_, true, "");
}

ExitStatus BatchController::Status() const {
  if (alreadyRunning_) return kExitAlreadyRunning;
  if (run_.errorsLogged > 0 || run_.logLost || outOfMemory_) return kExitError;
  if (!endedNormally_) return kExitCancelled;
  return kExitOk;
}

void BatchController::Initialise() {
  if (!InitialiseRun(run_, toolkit_)) {
    alreadyRunning_ = run_.secondInstance;
    return;
  }
  if (options_.layouts) run_.init.writeLayoutsFile = true;
  if (options_.plan) run_.init.writePlanFile = true;
  if (options_.cutList) run_.init.writeCutList = true;
  if (run_.init.showWindow) view_.SetCaption(kApplicationTitle);
}

void BatchController::StartBatch() {
  if (!run_.init.showWindow) {
    view_.HideAndBringToFront();
  } else if (run_.init.materialColumnWidth > kFittingMaterialColumnWidth) {
    // One font size in pixels per column beyond what the window fits.
    view_.Widen(view_.MemoFontPoints() *
                (run_.init.materialColumnWidth - kFittingMaterialColumnWidth));
  }
  BatchRun();
}

bool BatchController::PumpAndCheck() {
  toolkit_.ProcessMessages();
  return !toolkit_.Terminating();
}

bool BatchController::ResolveFiles() {
  const std::string& ext = run_.inputExtension;
  run_.optSetFile =
      FindInputFile(run_, toolkit_, "QM_OptSet.txt", "Optimizer settings", true, false);
  if (run_.optSetFile.empty()) return false;

  const auto resolve = [&](size_t param, std::string_view titleWord, std::string_view mask,
                           std::string_view label) -> std::string {
    if (params_.size() > param)
      return FindInputFile(run_, toolkit_, params_[param], label, true, false);
    if (run_.init.askInputFiles)
      return AskInputFile(run_, toolkit_, titleWord, " *" + ext + "|*" + ext);
    return FindInputFile(run_, toolkit_, mask, label, true, false);
  };
  run_.orderFile = resolve(0, "Order input files", InputMask("QM_Orders*", ext), "Order input");
  if (run_.orderFile.empty()) return false;
  run_.stockFile = resolve(1, "Stock input files", InputMask("QM_Stocks*", ext), "Stock input");
  if (run_.stockFile.empty()) return false;

  ShortenToCurrentDirectory(run_.orderFile, run_.stockFile);
  DeriveOutputNames(run_);
  if (printer_ != nullptr) run_.printFile = printer_->OutputFile();
  // An output must never overwrite an input.
  return !OutputsCollideWithInputs(run_, toolkit_);
}

bool BatchController::OpenOutputs() {
  // Another run writing the same output: this run stops like a second
  // instance and leaves that output alone.
  if (run_.report.CreateReplacing(run_.reportFile) == EWOULDBLOCK)
    return StopOnLockedOutput(run_.reportFile);
  if (run_.init.writeLabelsFile && run_.labels.CreateReplacing(run_.labelsFile) == EWOULDBLOCK) {
    return StopOnLockedOutput(run_.labelsFile);
  }
  if (run_.init.reportFrame)
    WriteReportHeading(run_.report, RunRecordOf(run_), ReportContext{toolkit_.ShortDateToday()});
  if (run_.report.Errors() > 0) {
    FinishRun(run_, toolkit_, true, OutputFailure("Error writing Report file", run_.report));
    return false;
  }
  if (run_.labels.Errors() > 0) {
    FinishRun(run_, toolkit_, true, OutputFailure("Error writing Labels file", run_.labels));
    return false;
  }
  std::string message;
  if (!plans_.Open(run_, layoutsFactory_,
                   MakePlanRun(run_, toolkit_.ShortDateToday(), IsoDateTimeNow()), message)) {
    FinishRun(run_, toolkit_, true, message);
    return false;
  }
  return true;
}

// Reads and locks the remnant store, whose remnants are offered as stock.
bool BatchController::OpenRemnants() {
  if (run_.remnantsFile.empty()) return true;
  remnantDate_ = IsoDateToday();
  std::string message;
  bool inUse = false;
  if (remnants_.Open(run_, message, inUse)) return true;
  if (inUse) return StopOnLockedOutput(run_.remnantsFile);
  FinishRun(run_, toolkit_, false, message);
  return false;
}

// The remnant store takes this run's changes once every output is closed,
// and only after a run without an error: all of them or none.
void BatchController::CommitRemnants() {
  if (run_.remnantsFile.empty()) return;
  if (run_.errorsLogged == 0 && !run_.logLost) {
    if (const std::string error = remnants_.Commit(); !error.empty())
      LogError(run_, toolkit_, "Error writing Remnants file: \r" + error);
  }
  remnants_.Close();
}

bool BatchController::StopOnLockedOutput(const std::string& name) {
  alreadyRunning_ = true;
  run_.report.Discard();
  run_.labels.Discard();
  const std::string text = kOutputInUse + name;
  if (!run_.init.showMessages) toolkit_.ShowWarning(text);
  FinishRun(run_, toolkit_, false, text);
  return false;
}

void BatchController::BatchRun() {
  if (toolkit_.Terminating()) return;
  if (run_.init.showWindow) view_.SetWaitLabel("Process window", kColourGrey);

  if (run_.init.writeLayoutsFile && !layoutsFactory_) {
    FinishRun(run_, toolkit_, false, NoLayoutsMessage(run_));
    return;
  }
  if (!ResolveFiles()) return;

  if (run_.init.confirmSteps) {
    const std::string text = "Process files: \r" + run_.orderFile + "\r" + run_.stockFile + "\r" +
                             run_.optSetFile + " ?";
    if (toolkit_.Confirm(text, BoxButtons::OkCancel) != BoxResult::Ok) {
      FinishRun(run_, toolkit_, false, "");
      return;
    }
  }
  printLabels_ = run_.init.labelPrintMode > 0;
  if (!printLabels_ && printer_ != nullptr && !printer_->OutputFile().empty()) {
    LogWarning(run_, toolkit_,
               "Label printing is off in " + run_.configFile +
                   " (PrintLabels 0): no labels are printed into\r" + printer_->OutputFile());
  }
  if (printLabels_ &&
      toolkit_.Confirm("Confirm Label Printing", BoxButtons::YesNo) != BoxResult::Yes) {
    printLabels_ = false;
  }

  if (!ReadOptimizerSettings(run_, toolkit_)) return;
  if (!PumpAndCheck()) return;

  if (!LoadInputFiles(run_, toolkit_)) return;
  if (!OpenRemnants()) return;
  if (!OpenOutputs()) return;
  if (PumpAndCheck()) {
    if (run_.init.showWindow) view_.AddMemoLine(MemoHeader());
    WarnHeaderLikeAPiece();
    MaterialLoop();
  }
  // Solves ahead that the loop did not take (it ended early) are stopped.
  if (ahead_) ahead_->Stop();
  // A run that stopped once its plan files were open, before or inside the
  // loop: an error, or the operator.
  EndPlans(run_.errorsLogged > 0 ? plan::RunEnd::kEndedByError : plan::RunEnd::kInterrupted);
}

// The order file's first non-empty line is skipped as its header; when it
// reads as a piece line the file most likely has no header.
void BatchController::WarnHeaderLikeAPiece() {
  // A spreadsheet's header names its columns and never reads as a piece.
  const LoadedInput* order = LoadedInputOf(run_, run_.orderFile);
  if (order == nullptr || order->exactSeparator != 0) return;
  for (const std::string_view raw : SplitLines(order->content)) {
    const std::string_view line = TrimRightText(raw);
    if (line.empty()) continue;
    const FieldBounds fields = SplitFields(line);
    int errors = 0;
    int16_t quantity = 0;
    const bool piece = fields.k >= 4 && !fields.tooMany &&
                       LengthField(line, fields, 3, run_.format, errors) > 0 && errors == 0 &&
                       ParseWholeNumber16(FieldText(line, fields, 4), quantity) && quantity > 0;
    if (piece) {
      LogWarning(run_, toolkit_,
                 "The first line of " + run_.orderFile +
                     " reads as a piece line but is skipped as the header:\r" + std::string(line));
    }
    return;
  }
}

// An order file that yields no material at all: nothing to plan is an
// error, and a file that is no text at all says so.
void BatchController::ReportEmptyOrderFile() {
  const std::string* loaded = LoadedInputContent(run_, run_.orderFile);
  const std::string_view content = loaded != nullptr ? *loaded : std::string_view();
  const bool utf16 = content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF");
  if (utf16 || content.find('\0') != std::string::npos) {
    LogError(run_, toolkit_, run_.orderFile + " is not a text file in UTF-8 or ASCII");
  } else {
    LogError(run_, toolkit_, "no pieces found in " + run_.orderFile);
  }
}

std::string BatchController::MemoHeader() const {
  return LeftAligned("Material/Profile", run_.init.materialColumnWidth) +
         RightAligned("Parts   /Gr", kPartsHeadingWidth) +
         RightAligned("Stocks   /Gr", kStocksHeadingWidth) +
         RightAligned("Used", kUsedHeadingWidth) +
         RightAligned("Utiliz.", kUtilizationHeadingWidth);
}

std::string BatchController::MaterialMemoLine() const {
  const MaterialPass& p = run_.pass;
  return LeftAligned(p.material, run_.init.materialColumnWidth) +
         RightAligned(p.partQuantitySum, kPartQuantityWidth) +
         RightAligned(p.partGroupCount, kPartGroupsWidth) +
         RightAligned(p.stockQuantitySum, kStockQuantityWidth) +
         RightAligned(p.stockGroupCount, kStockGroupsWidth);
}

void BatchController::MaterialLoop() {
  // Where the progress window offers Esc, the operator stops each
  // material's search as it runs: one material at a time.
  if (options_.jobs >= 2 && run_.init.progressWindowMode != 2) {
    ahead_ = std::make_unique<SolveAhead>(options_.jobs);
    ahead_->Start(run_);
  }
  for (;;) {
    StartMaterialPass(run_);
    ++passNumber_;
    const bool orderRead = ReadOrderPass(run_, toolkit_);
    if (!PumpAndCheck()) return;  // the end of the batch is skipped

    MaterialPass& pass = run_.pass;
    // A reading failure that did not end the run: the run goes on after a
    // material's error. Without a material of its own the pass failed on
    // the file as a whole, and no later pass would get further.
    if (!orderRead) {
      if (!pass.hasMaterial) break;
      NoteFailedMaterial();
      if (!AddPlan(UnreadMaterialPlan(run_, false))) return;
      continue;
    }
    if (pass.partGroupCount > 0 && pass.partLengthSum != 0) {
      const bool stockRead = ReadStockPass(run_, toolkit_);
      if (!PumpAndCheck()) return;
      if (!stockRead) {
        NoteFailedMaterial();
        if (!AddPlan(UnreadMaterialPlan(run_, true))) return;
        continue;
      }
      if (pass.stockGroupCount == 0 || pass.stockLengthSum == 0) {
        const std::string warning = "No stock length available for material: " + pass.material;
        LogWarning(run_, toolkit_, warning);
        if (!AddPlan(UnsolvedMaterialPlan(run_, {plan::PlanError::Kind::kNoStock, {}, warning})))
          return;
      } else {
        const int processed = run_.processed;
        bool handedOn = false;
        try {
          handedOn = SolveMaterial();
        } catch (const std::bad_alloc&) {
          run_.processed = processed;  // the material was not finished
          EndOutOfMemory();
          return;
        }
        if (!handedOn) return;  // an output failure ended the run
      }
    }

    // End-of-material check.
    const bool outputErrors = run_.report.Errors() > 0 || run_.labels.Errors() > 0;
    if (run_.checked == 0) ReportEmptyOrderFile();
    if (pass.solverError > 0) {
      NoteFailedMaterial();
      if (run_.init.continueAfterError && !outputErrors) continue;
    }
    if (pass.solverError > 0 || outputErrors || pass.partGroupCount == 0) break;
  }
  FinishBatch();
}

// The report says which material was left out and why; the error itself
// is in the error log already.
void BatchController::NoteFailedMaterial() {
  std::string reason;
  for (const char c : run_.pass.failure) {
    if (c == '\r') {
      reason += "; ";
    } else if (c != '\n') {
      reason += c;
    }
  }
  run_.report.WriteLine("*** " + std::string(kMaterialHeader) + ": " + run_.pass.material +
                        " - not planned: " + reason);
  run_.report.WriteLine("");
}

// False when handing the result on ended the run.
bool BatchController::SolveMaterial() {
  MaterialPass& pass = run_.pass;
  const InitialSettings& init = run_.init;
  run_.processed += 1;
  if (init.showWindow) {
    memoLine_ = MaterialMemoLine();
    view_.AddMemoLine(memoLine_);
  }

  const bool showPleaseWait = !init.showWindow && init.confirmSteps && init.progressWindowMode == 0;
  if (init.showWindow) {
    view_.SetWaitLabel("Wait please...", kColourRed);
  } else if (showPleaseWait) {
    pleaseWait_.Show();
  }
  toolkit_.ProcessMessages();
  pass.solverStartMs = static_cast<double>(toolkit_.Milliseconds());

  pass.solverError = pass.beyondSearch ? PlanLargeMaterial(pass) : CallSolverFor(pass);

  if (init.showWindow) {
    view_.SetWaitLabel("Process window", kColourGrey);
  } else if (showPleaseWait) {
    pleaseWait_.Close();
  }
  toolkit_.ProcessMessages();

  if (pass.solverError > 0) {
    const char* solverText = TarvolinErrorText(pass.solverError);
    std::string text = solverText != nullptr ? solverText : "";
    // A large material's planner may say more; it goes on a line of its own.
    if (!pass.failure.empty()) text += (text.empty() ? "" : "\r") + pass.failure;
    pass.failure = "Solver reports error " + std::to_string(pass.solverError);
    if (!text.empty()) pass.failure.append(1, '\r').append(text);
    LogError(run_, toolkit_, pass.failure);
    run_.processed -= 1;
    return AddPlan(UnsolvedMaterialPlan(
        run_, {plan::PlanError::Kind::kSolver, static_cast<int>(pass.solverError), text}));
  }

  WarnUncutPieces();
  if (OffersRemnants(pass)) RealStockCosts(pass, pass.results);
  if (run_.init.keepRemnants) remnants_.MarkPlan(run_, pass, remnantDate_);
  // The solver's answer becomes the plan once; every output reads it.
  const auto calculationMs =
      static_cast<int64_t>(static_cast<double>(toolkit_.Milliseconds()) - pass.solverStartMs);
  plan::MaterialPlan material = SolvedMaterialPlan(run_, calculationMs);
  if (!HandOnResult(material)) return false;
  const plan::PlanFigures figures = material.figures;
  if (!AddPlan(std::move(material))) return false;

  if (init.showWindow) {
    if (run_.report.Errors() > 0 || run_.labels.Errors() > 0) {
      memoLine_ += "Error";
    } else if (pass.partGroupCount > 0) {
      memoLine_ +=
          RightAligned(figures.pieces - figures.piecesLeft, kPiecesCutWidth) +
          RightAligned(figures.barsUsed, kBarsUsedWidth) +
          RightAligned(UtilizationText(figures.utilRate, run_.format.decimalSeparator) + "%",
                       kUtilizationWidth);
    }
    view_.ReplaceLastMemoLine(memoLine_);
  }
  return true;
}

int32_t BatchController::CallSolverFor(MaterialPass& pass) {
  TarvolinProblem problem = BuildSolverProblem(pass);
  TarvolinSettings settings =
      BuildSolverSettings(run_.opt, run_.init.progressWindowMode, run_.init.showMessages);
  PreferRemnants(pass, run_.opt, settings, problem);
  if (ahead_) {
    std::optional<AheadSolve> solved = ahead_->Take(passNumber_, settings, problem, [this] {
      toolkit_.ProcessMessages();
      return toolkit_.Terminating();
    });
    if (solved) {
      pass.results = std::move(solved->results);
      // The calculation time is the solve's own, not the wait for it.
      pass.solverStartMs = static_cast<double>(toolkit_.Milliseconds()) - solved->milliseconds;
      if (solved->cutMoreByExactMethod) WarnCutMoreByExactMethod();
      return solved->error;
    }
  }
  const TarvolinView* solverView = solverView_ ? &*solverView_ : nullptr;
  const int32_t error =
      CallSolver(solverContext_.get(), solverView, settings, problem, pass.results);
  if (error == 0 && !toolkit_.Terminating() &&
      CutMoreByExactMethod(solverContext_.get(), solverView, settings, problem, pass.results)) {
    WarnCutMoreByExactMethod();
  }
  return error;
}

void BatchController::WarnCutMoreByExactMethod() {
  LogWarning(run_, toolkit_,
             "The search left pieces uncut; the exact method's plan cuts them\r" +
                 std::string(kMaterialHeader) + ": " + run_.pass.material);
}

// A material beyond the search's limits, planned by the exact method alone.
// Its progress shows in the solver's progress window when the settings ask
// for one; Esc (where offered) stops it with its best plan, and so does a
// request to end the program, which the batch then honours.
int32_t BatchController::PlanLargeMaterial(MaterialPass& pass) {
  const int mode = run_.init.progressWindowMode;
  PlanProgressView* view = mode >= 1 ? planProgress_ : nullptr;
  if (view != nullptr) view->OpenPlanProgress(mode >= 2);
  const auto progress = [&](const LargeProgress& p) {
    bool stop = false;
    if (view != nullptr) {
      view->ShowPlanProgress(LargeProgressTexts(p));
      stop = view->PlanStopRequested();
    }
    toolkit_.ProcessMessages();
    return stop || toolkit_.Terminating();
  };
  const LargeOutcome outcome = largePlanner_(pass, run_.opt, progress, pass.results);
  if (view != nullptr) view->ClosePlanProgress();
  pass.failure = outcome.error > 0 ? outcome.message : "";
  return outcome.error;
}

PlanProgressTexts BatchController::LargeProgressTexts(const LargeProgress& p) const {
  const int32_t seconds = run_.opt.exactTimeLimitSeconds > 0 ? run_.opt.exactTimeLimitSeconds
                                                             : TARVOLIN_EXACT_DEFAULT_SECONDS;
  PlanProgressTexts texts;
  texts.position = std::clamp(static_cast<int>(p.elapsedMs / (seconds * 10.0)), 0, 100);
  char time[48];
  std::snprintf(time, sizeof time, "%.1f sec", p.elapsedMs / 1000.0);
  texts.time = time;
  // The objective is a stock length, in cost mode a stock cost.
  const auto figure = [&](double value) {
    const auto units = static_cast<int64_t>(std::llround(value));
    return run_.opt.optimizeCost != 0 ? output_text::CostText(units, run_.format)
                                      : output_text::LengthText(units, run_.format);
  };
  if (p.bound) texts.bound = figure(*p.bound);
  if (p.best) texts.best = figure(*p.best);
  return texts;
}

// One warning per material that leaves pieces uncut, a line per part group
// with its length, mark and the count left.
void BatchController::WarnUncutPieces() {
  const MaterialPass& pass = run_.pass;
  const SolverResults& r = pass.results;
  std::vector<int> uncut(pass.partGroupCount + 2, 0);
  const int pieces = PieceCount(r);
  for (int piece = 1; piece <= pieces; ++piece) {
    const int group = r.partItemGroup[piece];
    if (r.partItemStock[piece] == 0 && group >= 1 && group <= pass.partGroupCount) ++uncut[group];
  }
  std::string lines;
  for (int group = 1; group <= pass.partGroupCount; ++group) {
    if (uncut[group] == 0) continue;
    const PartGroup& g = pass.partGroups[group];
    lines += '\r';
    lines += output_text::LengthText(g.length, run_.format) + " " +
             (g.mark.empty() ? std::string("(no mark)") : g.mark) + ": " +
             std::to_string(uncut[group]) + " not cut";
  }
  if (!lines.empty())
    LogWarning(run_, toolkit_, "Pieces left uncut for material: " + pass.material + lines);
}

// Report section and labels. False when the run was ended.
bool BatchController::HandOnResult(const plan::MaterialPlan& material) {
  WriteReportSection(run_.report, RunRecordOf(run_), material);
  if (run_.init.writeLabelsFile) {
    const LabelStatus status = WriteLabels(material, run_.format, run_.labels);
    if (status != LabelStatus::kOk) {
      FinishRun(run_, toolkit_, true, LabelStatusMessage(status));
      return false;
    }
  }
  if (printLabels_) {
    const LabelStatus status =
        printer_ != nullptr
            ? WriteLabels(material, run_.format, *printer_, run_.init.labelPrintMode,
                          static_cast<BarcodeKind>(run_.init.labelBarcode))
            : LabelStatus::kPrinterOpenFailed;
    if (status != LabelStatus::kOk) {
      FinishRun(run_, toolkit_, true, LabelStatusMessage(status));
      return false;
    }
  }
  return true;
}

// False when a plan file failed, which ended the run.
bool BatchController::AddPlan(plan::MaterialPlan material) {
  std::string message;
  if (plans_.Add(std::move(material), message)) return true;
  FinishRun(run_, toolkit_, true, message);
  return false;
}

void BatchController::EndPlans(plan::RunEnd end) {
  std::string message;
  if (!plans_.Finish(end, message, !outOfMemory_)) FinishRun(run_, toolkit_, true, message);
}

void BatchController::FinishBatch() {
  if (run_.init.reportFrame)
    WriteReportEnd(run_.report, RunRecordOf(run_), ReportContext{toolkit_.ShortDateToday()});
  // The report and labels are complete: put in place now, so that the plan
  // file's end can say whether they reached the disk.
  CloseOutputs(run_, toolkit_);
  EndPlans(run_.errorsLogged > 0 ? plan::RunEnd::kEndedByError : plan::RunEnd::kCompleted);
  CommitRemnants();
  if (run_.init.showWindow) {
    view_.AddMemoLine("  - Processed: " + std::to_string(run_.processed) + " material" +
                      Plural(run_.processed));
    if (run_.checked != run_.processed) {
      view_.AddMemoLine("    - Checked: " + std::to_string(run_.checked) + " material" +
                        Plural(run_.checked));
    }
  }
  if (run_.init.confirmSteps && run_.processed > 0)
    toolkit_.ShowInformation("Report:  " + run_.reportFile);
  endedNormally_ = true;
  if (run_.init.showWindow) {
    closeEnabled_ = true;
    view_.EnableCloseButton();
  } else {
    view_.CloseWindow();
  }
}

}  // namespace tarvolin
