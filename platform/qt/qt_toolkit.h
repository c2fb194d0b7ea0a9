// The toolkit on Qt widgets: message boxes, the file-open dialog, the event
// loop, termination, the locale of LC_NUMERIC/LC_TIME and a monotonic clock.
// Needs a QApplication.
#pragma once

#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <ostream>

#include "toolkit.h"

namespace tarvolin {

class QtToolkit final : public Toolkit {
 public:
  // assumeYes (--yes): no box is shown, so that an unattended run never
  // waits. Confirmations are answered OK or Yes, questions only the
  // operator may answer Cancel or No, other boxes OK; each box's text and
  // answer go to `unseen` (standard error by default).
  explicit QtToolkit(bool assumeYes = false, std::ostream* unseen = nullptr);

  BoxResult ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) override;
  BoxResult AskOperator(std::string_view text, BoxButtons buttons) override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  void ProcessMessages() override;
  bool Terminating() const override { return terminating_; }
  // Also asks the event loop to end.
  void Terminate() override;
  void SetTitle(std::string_view title) override { title_ = title; }
  std::string Title() const override { return title_; }
  char DecimalSeparator() const override;
  std::string ShortDateToday() const override;
  int64_t Milliseconds() const override { return clock_.elapsed(); }

  // The dialog to use for OpenFileDialog (the process window's `OpenDialog1`);
  // without one a dialog is made for each request.
  void SetFileDialog(QFileDialog* dialog) { fileDialog_ = dialog; }

 private:
  BoxResult AnswerUnseen(BoxKind kind, std::string_view text, BoxButtons buttons, bool accept);

  bool assumeYes_;
  std::ostream* unseen_;
  bool terminating_ = false;
  std::string title_ = "Tarvolin";
  QPointer<QFileDialog> fileDialog_;
  QElapsedTimer clock_;
};

QMessageBox::Icon BoxIcon(BoxKind kind);
QMessageBox::StandardButtons BoxStandardButtons(BoxButtons buttons);
// The button pressed as the toolkit's result; a box closed otherwise counts
// as its negative answer (Cancel, No), or OK for a box with only OK.
BoxResult BoxAnswer(BoxButtons buttons, int pressed);

}  // namespace tarvolin
