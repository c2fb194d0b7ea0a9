// Test double: answers set in advance, every box and dialog recorded.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "toolkit.h"

namespace tarvolin {

class ScriptedToolkit final : public Toolkit {
 public:
  struct Box {
    BoxKind kind;
    std::string caption;
    std::string text;
    BoxButtons buttons;
  };

  // Answers to confirmations, used in order; when they run out,
  // `defaultAnswer` is given (Cancel or No, matching the buttons, unless set).
  std::deque<BoxResult> answers;
  std::optional<BoxResult> defaultAnswer;
  // Answers to file dialogs, used in order; nothing left means cancelled.
  std::deque<std::optional<std::string>> fileAnswers;

  char decimalSeparator = '.';
  std::string shortDate = "01/02/2024";
  int64_t clockMs = 0;
  // Runs at every message pump, e.g. to request termination at a chosen step.
  std::function<void()> onPump;

  // What happened.
  std::vector<Box> boxes;
  std::vector<FileDialogRequest> fileDialogs;
  int messagePumps = 0;

  BoxResult ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  void ProcessMessages() override {
    ++messagePumps;
    if (onPump) onPump();
  }
  bool Terminating() const override { return terminating_; }
  void Terminate() override { terminating_ = true; }
  void SetTitle(std::string_view title) override { title_ = title; }
  std::string Title() const override { return title_; }
  char DecimalSeparator() const override { return decimalSeparator; }
  std::string ShortDateToday() const override { return shortDate; }
  int64_t Milliseconds() const override { return clockMs; }

 private:
  bool terminating_ = false;
  std::string title_ = "Tarvolin";
};

}  // namespace tarvolin
