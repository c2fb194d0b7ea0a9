// Toolkit for runs without windows: boxes go to standard error, questions are
// asked on the terminal when there is one, answered by --yes otherwise.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

#include "toolkit.h"

namespace tarvolin {

class ConsoleToolkit final : public Toolkit {
 public:
  // assumeYes: answer every confirmation with OK or Yes (the --yes flag).
  explicit ConsoleToolkit(bool assumeYes);
  // For tests: explicit streams and whether input counts as a terminal.
  ConsoleToolkit(bool assumeYes, std::istream& in, std::ostream& out, bool interactive);

  BoxResult ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) override;
  BoxResult AskOperator(std::string_view text, BoxButtons buttons) override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  void ProcessMessages() override;
  bool Terminating() const override { return terminating_; }
  void Terminate() override { terminating_ = true; }
  void SetTitle(std::string_view title) override { title_ = title; }
  std::string Title() const override { return title_; }
  char DecimalSeparator() const override;
  std::string ShortDateToday() const override;
  int64_t Milliseconds() const override;

 private:
  bool ReadAnswer(std::string& answer);

  bool assumeYes_;
  std::istream* in_;
  std::ostream* out_;
  bool interactive_;
  bool operatorOnly_ = false;  // the question being asked is not answered by --yes
  bool terminating_ = false;
  std::string title_ = "Tarvolin";
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Box text for a terminal: every carriage return (or CR LF) becomes a line
// break, and other control bytes are written as "\x1b", so that bytes from
// a file name or an input never reach a terminal raw.
std::string ConsoleText(std::string_view text);

// One line for a terminal: every control byte, line breaks and tabs
// included, written as "\x1b".
std::string OneLineText(std::string_view text);

// A box as the console shows it: its kind ("Warning", "Error",
// "Information", "Confirm"), ": " and the text.
std::string ConsoleBoxText(BoxKind kind, std::string_view text);

}  // namespace tarvolin
