// The windows of a console run: the process memo goes to standard output,
// the solver's progress to standard error (only on a terminal), and Ctrl-C
// reaches the run through the message pump.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "plan_progress_view.h"
#include "please_wait_view.h"
#include "process_view.h"
#include "toolkit.h"
#include "toolkit_solver_view.h"

namespace tarvolin {

// Wraps a toolkit so that a pending Ctrl-C becomes a terminate request the
// next time messages run.
class InterruptibleToolkit final : public Toolkit {
 public:
  explicit InterruptibleToolkit(Toolkit& inner) : inner_(inner) {}
  BoxResult ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) override;
  BoxResult AskOperator(std::string_view text, BoxButtons buttons) override {
    return inner_.AskOperator(text, buttons);
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  void ProcessMessages() override;
  bool Terminating() const override { return inner_.Terminating(); }
  void Terminate() override { inner_.Terminate(); }
  void SetTitle(std::string_view title) override { inner_.SetTitle(title); }
  std::string Title() const override { return inner_.Title(); }
  char DecimalSeparator() const override { return inner_.DecimalSeparator(); }
  std::string ShortDateToday() const override { return inner_.ShortDateToday(); }
  int64_t Milliseconds() const override { return inner_.Milliseconds(); }

 private:
  Toolkit& inner_;
};

// Each memo line is printed once it is complete: a material's line is held
// back until it has been extended with its results.
class ConsoleProcessView final : public ProcessView {
 public:
  explicit ConsoleProcessView(std::ostream& out) : out_(out) {}
  ~ConsoleProcessView() override { Flush(); }
  void SetCaption(std::string_view) override {}
  void SetWaitLabel(std::string_view, uint32_t) override {}
  void AddMemoLine(std::string_view line) override;
  void ReplaceLastMemoLine(std::string_view line) override;
  int MemoFontPoints() const override { return 10; }
  void Widen(int) override {}
  void HideAndBringToFront() override {}
  void EnableCloseButton() override { Flush(); }
  void CloseWindow() override;
  bool CloseRequested() const { return closeRequested_; }
  void Flush();

 private:
  std::ostream& out_;
  std::optional<std::string> pending_;
  bool closeRequested_ = false;
};

class ConsolePleaseWait final : public PleaseWaitView {
 public:
  explicit ConsolePleaseWait(std::ostream& err) : err_(err) {}
  void Show() override;
  void Close() override {}

 private:
  std::ostream& err_;
};

// The columns of the terminal on fd: its window size, else the COLUMNS
// environment variable, else 80.
int TerminalColumns(int fd);

// What the console's progress line shows.
struct ProgressTexts {
  std::string material;  // the material being optimized; may be empty
  int multi = 0;         // the whole optimization, 0..100
  int pack = 0;          // the current run, 0..100
  std::string time;      // elapsed, e.g. "12.3 sec"
  std::string criterion;
  std::string criterionTime;
  bool esc = false;  // "Esc to abort" is offered
  // A material the exact method plans alone: the bound and the best plan
  // stand in for the criterion (each empty while unknown), and there is no
  // run bar.
  bool plan = false;
  std::string bound{};
  std::string best{};
};

// The progress line for a terminal of the given columns, one column short of
// the width so that it never wraps: what matters least is left out first.
std::string ProgressLine(const ProgressTexts& texts, int columns);

// The solver's progress window on a terminal: one status line on standard
// error, redrawn in place. Message boxes go through the toolkit. It also
// shows the progress of a material the exact method plans alone.
class ConsoleProgressView final : public ToolkitSolverView, public PlanProgressView {
 public:
  // columns: the terminal's width, asked at every redraw; by default that
  // of standard error.
  ConsoleProgressView(Toolkit& toolkit, std::ostream& err, bool drawProgress,
                      std::function<int()> columns = {});
  // The material being optimized, asked at every redraw.
  void NameMaterial(std::function<std::string()> material) { material_ = std::move(material); }
  void OpenProgress(bool showEsc) override;
  void CloseProgress() override;
  void SetMultiPosition(int position) override;
  void SetPackPosition(int position) override;
  void SetTimeText(const char* text) override;
  void SetBestTexts(const char* criterion, const char* time) override;
  void SetBestColour(int32_t) override {}
  void Repaint() override { Draw(); }
  void PumpMessages() override;

  void OpenPlanProgress(bool stopOffered) override;
  void ShowPlanProgress(const PlanProgressTexts& texts) override;
  bool PlanStopRequested() override;
  void ClosePlanProgress() override;

 private:
  void Draw();
  std::ostream& err_;
  bool draw_;
  std::function<int()> columns_;
  std::function<std::string()> material_;
  bool open_ = false;
  bool stopRequested_ = false;
  ProgressTexts texts_{{}, 0, 0, "0 sec", "0", "0 sec", false, false, {}, {}};
};

}  // namespace tarvolin
