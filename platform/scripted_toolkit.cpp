#include "scripted_toolkit.h"

namespace tarvolin {

BoxResult ScriptedToolkit::ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) {
  if (terminating_) return BoxResult::Cancel;
  boxes.push_back(Box{kind, title_, std::string(text), buttons});
  if (buttons == BoxButtons::Ok) return BoxResult::Ok;
  if (!answers.empty()) {
    const BoxResult r = answers.front();
    answers.pop_front();
    return r;
  }
  if (defaultAnswer) return *defaultAnswer;
  return buttons == BoxButtons::YesNo ? BoxResult::No : BoxResult::Cancel;
}

std::optional<std::string> ScriptedToolkit::OpenFileDialog(const FileDialogRequest& request) {
  if (terminating_) return std::nullopt;
  fileDialogs.push_back(request);
  if (fileAnswers.empty()) return std::nullopt;
  std::optional<std::string> r = fileAnswers.front();
  fileAnswers.pop_front();
  return r;
}

}  // namespace tarvolin
