#include "qt_toolkit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <memory>
#include <utility>

#include "qt_convert.h"
#include "user_locale.h"

namespace tarvolin {

QtToolkit::QtToolkit(bool assumeYes) : assumeYes_(assumeYes) {
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

BoxResult QtToolkit::AskOperator(std::string_view text, BoxButtons buttons) {
  const bool assumeYes = std::exchange(assumeYes_, false);
  const BoxResult result = Confirm(text, buttons);
  assumeYes_ = assumeYes;
  return result;
}

BoxResult QtToolkit::ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) {
  if (terminating_) return BoxResult::Cancel;
  if (assumeYes_ && kind == BoxKind::Confirmation)
    return buttons == BoxButtons::YesNo ? BoxResult::Yes : BoxResult::Ok;

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
  dialog->selectFile(QString());
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
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
