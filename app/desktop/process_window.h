// The process window: a status label, the memo of one line per material,
// the exit button and the file-open dialog. Its first paint schedules the
// batch run, which then runs in the event loop's thread; closing the window
// ends the program through OnWindowClosed.
#pragma once

#include <QWidget>

#include "process_view.h"

class QFileDialog;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tarvolin {
class BatchController;
class Printer;
class Toolkit;
}  // namespace tarvolin

namespace tarvolin::desktop {

// The hint the process lines give when the pointer rests on them.
inline constexpr const char* kLayoutsHint = "Double-click a material's line to see its layouts";
// How far each layouts window opens below and right of the one before.
inline constexpr int kCascadeStep = 32;

class ProcessWindow final : public QWidget, public ProcessView {
 public:
  ProcessWindow();

  // Connects the window to the batch controller and runs its start-up. The
  // toolkit is asked to terminate when the operator closes the window while
  // the batch runs.
  void Attach(BatchController& main, Toolkit& toolkit);
  // The printer the layouts windows print on; without one they print on
  // the system's default printer.
  void SetPrinter(Printer* printer) { printer_ = printer; }

  // ProcessView
  void SetCaption(std::string_view caption) override;
  void SetWaitLabel(std::string_view text, uint32_t colour) override;
  void AddMemoLine(std::string_view line) override;
  void ReplaceLastMemoLine(std::string_view line) override;
  int MemoFontPoints() const override;
  void Widen(int pixels) override;
  void HideAndBringToFront() override;
  void EnableCloseButton() override;
  void CloseWindow() override;

  QLabel* WaitLabel() const { return waitLabel_; }
  QPlainTextEdit* ProcessMemo() const { return processMemo_; }
  QPushButton* CloseBut() const { return closeBut_; }
  QFileDialog* OpenDialog1() const { return openDialog1_; }

  // After the run: opens the layouts of the material a memo line names, or
  // returns nullptr when the line names no material with layouts.
  QWidget* OpenLayouts(const QString& memoLine);

  // The memo's lines, top to bottom.
  QStringList MemoLines() const;
  // The first paint has scheduled the batch run.
  bool BatchScheduled() const { return batchScheduled_; }
  // The batch run is executing.
  bool Busy() const { return busy_; }
  // OnWindowClosed has run.
  bool Closed() const { return closed_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunBatch();

  QLabel* waitLabel_;
  QPlainTextEdit* processMemo_;
  QPushButton* closeBut_;
  QFileDialog* openDialog1_;
  BatchController* main_ = nullptr;
  Toolkit* toolkit_ = nullptr;
  Printer* printer_ = nullptr;
  bool batchScheduled_ = false;
  bool busy_ = false;
  bool closing_ = false;  // the program closes the window itself
  bool closed_ = false;
};

}  // namespace tarvolin::desktop
