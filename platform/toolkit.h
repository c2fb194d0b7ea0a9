// The platform facilities the front end uses, behind one interface: message
// boxes, the file-open dialog, the message loop, termination, the locale and
// the millisecond clock. A console implementation serves unattended runs, a
// scripted one serves tests, and a windowing toolkit can be plugged in later.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvolin {

enum class BoxKind { Warning, Error, Information, Confirmation };
enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxResult { Ok, Cancel, Yes, No };

struct FileDialogRequest {
  std::string title;
  std::string filter;  // description|pattern
  std::string initialDirectory;
  bool mustExist = true;
  // A file to write: the dialog proposes `fileName`, adds `defaultSuffix`
  // to a name without one and asks before an existing file is replaced.
  bool save = false;
  std::string fileName = {};
  std::string defaultSuffix = {};
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Shows a modal box and returns the button pressed. Line breaks in the
  // text are bare carriage returns. Once termination was requested every
  // box returns Cancel at once without being shown.
  virtual BoxResult ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) = 0;

  // The chosen file name, or nothing when the operator cancels.
  virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;

  // Lets pending window messages run.
  virtual void ProcessMessages() = 0;

  virtual bool Terminating() const = 0;
  virtual void Terminate() = 0;

  // The application title, used as the caption of every box.
  virtual void SetTitle(std::string_view title) = 0;
  virtual std::string Title() const = 0;

  // Locale: decimal separator and today's date in the short date format.
  virtual char DecimalSeparator() const = 0;
  virtual std::string ShortDateToday() const = 0;

  // Monotonic milliseconds.
  virtual int64_t Milliseconds() const = 0;

  void ShowWarning(std::string_view text) { ShowBox(BoxKind::Warning, text, BoxButtons::Ok); }
  void ShowError(std::string_view text) { ShowBox(BoxKind::Error, text, BoxButtons::Ok); }
  void ShowInformation(std::string_view text) {
    ShowBox(BoxKind::Information, text, BoxButtons::Ok);
  }
  BoxResult Confirm(std::string_view text, BoxButtons buttons) {
    return ShowBox(BoxKind::Confirmation, text, buttons);
  }

  // A confirmation that only the operator may answer: a standing answer to
  // the run's confirmations (--yes) does not count, and without anybody to
  // ask it is refused.
  virtual BoxResult AskOperator(std::string_view text, BoxButtons buttons) {
    return Confirm(text, buttons);
  }
};

}  // namespace tarvolin
