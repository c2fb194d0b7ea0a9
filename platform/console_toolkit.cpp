#include "console_toolkit.h"

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <iostream>

#include "user_locale.h"

namespace tarvolin {

namespace {

const char* KindName(BoxKind kind) {
  switch (kind) {
    case BoxKind::Warning:
      return "Warning";
    case BoxKind::Error:
      return "Error";
    case BoxKind::Information:
      return "Information";
    case BoxKind::Confirmation:
      return "Confirm";
  }
  return "Message";
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::string Trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(first, last - first + 1));
}

bool ControlByte(unsigned char c) {
  return c < 0x20 || c == 0x7f;
}

void AppendEscaped(std::string& r, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  r += "\\x";
  r += kHex[c >> 4];
  r += kHex[c & 0xf];
}

}  // namespace

std::string ConsoleText(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r') {
      r += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (ControlByte(c) && c != '\t' && c != '\n') {
      AppendEscaped(r, c);
    } else {
      r += static_cast<char>(c);
    }
  }
  return r;
}

std::string OneLineText(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (ControlByte(c)) {
      AppendEscaped(r, c);
    } else {
      r += ch;
    }
  }
  return r;
}

std::string ConsoleBoxText(BoxKind kind, std::string_view text) {
  return std::string(KindName(kind)) + ": " + ConsoleText(text);
}

ConsoleToolkit::ConsoleToolkit(bool assumeYes)
    : ConsoleToolkit(assumeYes, std::cin, std::cerr, isatty(STDIN_FILENO) == 1) {}

ConsoleToolkit::ConsoleToolkit(bool assumeYes, std::istream& in, std::ostream& out,
                               bool interactive)
    : assumeYes_(assumeYes), in_(&in), out_(&out), interactive_(interactive) {}

bool ConsoleToolkit::ReadAnswer(std::string& answer) {
  out_->flush();
  if (!std::getline(*in_, answer)) return false;
  answer = Trimmed(answer);
  return true;
}

BoxResult ConsoleToolkit::ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) {
  if (terminating_) return BoxResult::Cancel;
  *out_ << ConsoleBoxText(kind, text) << '\n';
  if (buttons == BoxButtons::Ok) {
    out_->flush();
    return BoxResult::Ok;
  }
  const bool yesNo = buttons == BoxButtons::YesNo;
  const BoxResult accept = yesNo ? BoxResult::Yes : BoxResult::Ok;
  const BoxResult refuse = yesNo ? BoxResult::No : BoxResult::Cancel;
  const char* acceptName = yesNo ? "Yes" : "OK";
  const char* refuseName = yesNo ? "No" : "Cancel";
  if (assumeYes_ && !operatorOnly_) {
    *out_ << "Answered " << acceptName << " (--yes).\n";
    out_->flush();
    return accept;
  }
  if (!interactive_) {
    *out_ << "Answered " << refuseName << ": no terminal to ask";
    if (operatorOnly_) {
      *out_ << ".\n";
    } else {
      *out_ << "; run with --yes to answer " << acceptName << ".\n";
    }
    out_->flush();
    return refuse;
  }
  for (;;) {
    *out_ << "[" << acceptName << "/" << refuseName << "]? ";
    std::string answer;
    if (!ReadAnswer(answer)) {
      *out_ << '\n';
      return refuse;
    }
    const std::string a = Lower(answer);
    if (a == "y" || a == "yes" || a == "o" || a == "ok") return accept;
    if (a == "n" || a == "no" || a == "c" || a == "cancel") return refuse;
  }
}

BoxResult ConsoleToolkit::AskOperator(std::string_view text, BoxButtons buttons) {
  operatorOnly_ = true;
  const BoxResult result = Confirm(text, buttons);
  operatorOnly_ = false;
  return result;
}

std::optional<std::string> ConsoleToolkit::OpenFileDialog(const FileDialogRequest& request) {
  if (terminating_) return std::nullopt;
  *out_ << ConsoleText(request.title) << '\n';
  if (!interactive_) {
    *out_ << "Cancelled: no terminal to ask for a file name.\n";
    out_->flush();
    return std::nullopt;
  }
  for (;;) {
    *out_ << "File name (" << request.filter << "), empty to cancel: ";
    std::string answer;
    if (!ReadAnswer(answer) || answer.empty()) return std::nullopt;
    std::filesystem::path p(answer);
    if (p.is_relative() && !request.initialDirectory.empty())
      p = std::filesystem::path(request.initialDirectory) / p;
    std::error_code ec;
    if (!request.mustExist || std::filesystem::is_regular_file(p, ec)) return answer;
    *out_ << "No such file: " << answer << '\n';
  }
}

void ConsoleToolkit::ProcessMessages() {
  out_->flush();
}

char ConsoleToolkit::DecimalSeparator() const {
  return UserDecimalSeparator();
}

std::string ConsoleToolkit::ShortDateToday() const {
  return UserShortDateToday();
}

int64_t ConsoleToolkit::Milliseconds() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

}  // namespace tarvolin
