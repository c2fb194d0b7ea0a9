#include "console_toolkit.h"

#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <iostream>

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

// A locale object for the user's settings, or the C locale when the
// environment names one that is not installed.
locale_t UserLocale(int mask) {
  locale_t loc = newlocale(mask, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) loc = newlocale(mask, "C", static_cast<locale_t>(0));
  return loc;
}

}  // namespace

std::string ConsoleText(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      r += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      r += text[i];
    }
  }
  return r;
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
  *out_ << KindName(kind) << ": " << ConsoleText(text) << '\n';
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
  char sep = '.';
  const locale_t loc = UserLocale(LC_NUMERIC_MASK);
  if (loc != static_cast<locale_t>(0)) {
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') sep = radix[0];
    freelocale(loc);
  }
  return sep;
}

std::string ConsoleToolkit::ShortDateToday() const {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[64] = {};
  const locale_t loc = UserLocale(LC_TIME_MASK);
  size_t n = 0;
  if (loc != static_cast<locale_t>(0)) {
    n = strftime_l(buf, sizeof buf, "%x", &tm, loc);
    freelocale(loc);
  }
  if (n == 0) n = std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
  return std::string(buf, n);
}

int64_t ConsoleToolkit::Milliseconds() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

}  // namespace tarvolin
