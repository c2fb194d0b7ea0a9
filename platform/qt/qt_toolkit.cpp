#include "qt_toolkit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <iostream>
#include <memory>
#include <utility>

#include "console_toolkit.h"
#include "qt_convert.h"
#include "user_locale.h"

namespace tarvolin {

QtToolkit::QtToolkit(bool assumeYes, std::ostream* unseen)
    : assumeYes_(assumeYes), unseen_(unseen != nullptr ? unseen : &std::cerr) {
  clock_.start();
}

QMessageBox::Icon BoxIcon(BoxKind kind) {
  switch (kind) {
    case BoxKind::Warning:
      return QMessageBox::Warning;
    case BoxKind::Error:
      return QMessageBox::Critical;
    case BoxKind::Information:
      return QMessageBox::Information;
    case BoxKind::Confirmation:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxStandardButtons(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok:
      return QMessageBox::Ok;
    case BoxButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
  }
  return QMessageBox::Ok;
}

BoxResult BoxAnswer(BoxButtons buttons, int pressed) {
  switch (pressed) {
    case QMessageBox::Ok:
      return BoxResult::Ok;
    case QMessageBox::Cancel:
      return BoxResult::Cancel;
    case QMessageBox::Yes:
      return BoxResult::Yes;
    case QMessageBox::No:
      return BoxResult::No;
    default:
      break;
  }
  switch (buttons) {
    case BoxButtons::Ok:
      return BoxResult::Ok;
    case BoxButtons::OkCancel:
      return BoxResult::Cancel;
    case BoxButtons::YesNo:
      return BoxResult::No;
  }
  return BoxResult::Cancel;
}

// The box's kind and text as the console writes them, and the answer.
BoxResult QtToolkit::AnswerUnseen(BoxKind kind, std::string_view text, BoxButtons buttons,
                                  bool accept) {
  const bool yesNo = buttons == BoxButtons::YesNo;
  const BoxResult answer = buttons == BoxButtons::Ok ? BoxResult::Ok
                           : accept                  ? (yesNo ? BoxResult::Yes : BoxResult::Ok)
                                                     : (yesNo ? BoxResult::No : BoxResult::Cancel);
  *unseen_ << ConsoleBoxText(kind, text) << '\n';
  if (buttons != BoxButtons::Ok) {
    if (accept) {
      *unseen_ << "Answered " << (yesNo ? "Yes" : "OK") << " (--yes).\n";
    } else {
      *unseen_ << "Answered " << (yesNo ? "No" : "Cancel") << ": --yes does not answer this.\n";
    }
  }
  unseen_->flush();
  return answer;
}

BoxResult QtToolkit::AskOperator(std::string_view text, BoxButtons buttons) {
  if (terminating_) return BoxResult::Cancel;
  if (assumeYes_) return AnswerUnseen(BoxKind::Confirmation, text, buttons, false);
  return Confirm(text, buttons);
}

BoxResult QtToolkit::ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) {
  if (terminating_) return BoxResult::Cancel;
  if (assumeYes_) return AnswerUnseen(kind, text, buttons, true);

  QMessageBox box(BoxIcon(kind), ToQString(title_), ToQString(text, true),
                  BoxStandardButtons(buttons));
  // The first button is the default, as the operator expects OK or Yes.
  switch (buttons) {
    case BoxButtons::Ok:
      box.setDefaultButton(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Ok);
      break;
    case BoxButtons::OkCancel:
      box.setDefaultButton(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case BoxButtons::YesNo:
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::No);
      break;
  }
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  const int pressed = clicked != nullptr ? box.standardButton(clicked) : QMessageBox::NoButton;
  return BoxAnswer(buttons, pressed);
}

std::optional<std::string> QtToolkit::OpenFileDialog(const FileDialogRequest& request) {
  if (terminating_) return std::nullopt;
  std::unique_ptr<QFileDialog> owned;
  QFileDialog* dialog = fileDialog_;
  if (dialog == nullptr) {
    owned = std::make_unique<QFileDialog>();
    dialog = owned.get();
  }
  dialog->setWindowTitle(ToQString(request.title));
  dialog->setNameFilter(QtFilter(request.filter));
  dialog->setDirectory(request.initialDirectory.empty() ? QDir::currentPath()
                                                        : ToQString(request.initialDirectory));
  dialog->selectFile(ToQString(request.fileName));
  dialog->setDefaultSuffix(ToQString(request.defaultSuffix));
  dialog->setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(request.mustExist && !request.save ? QFileDialog::ExistingFile
                                                         : QFileDialog::AnyFile);
  dialog->setSizeGripEnabled(true);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog->selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return QFile::encodeName(chosen.first()).toStdString();
}

void QtToolkit::ProcessMessages() {
  QCoreApplication::processEvents();
}

void QtToolkit::Terminate() {
  terminating_ = true;
  QCoreApplication::quit();
}

// The C library's locale data, as on the console: Qt's own locale data
// would write other dates and separators for the same environment.
char QtToolkit::DecimalSeparator() const {
  return UserDecimalSeparator();
}

std::string QtToolkit::ShortDateToday() const {
  return UserShortDateToday();
}

}  // namespace tarvolin
