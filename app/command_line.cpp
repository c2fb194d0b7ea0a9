#include "command_line.h"

#include <charconv>

namespace tarvolin {

const char* const kUsage =
    "Usage: tarvolin [options] [order-file [stock-file]]\n"
    "\n"
    "Optimizes the cutting of bars, tubes and profiles to length, material by\n"
    "material, and writes a cutting report, a label file, printed labels, the\n"
    "layout diagrams as PDF and the plan as JSON.\n"
    "Run it in the working directory that holds QM_Config.txt, QM_OptSet.txt and\n"
    "the input files. Without file names the order file is found by the mask\n"
    "QM_Orders*.txt and the stock file by QM_Stocks*.txt.\n"
    "\n"
    "Options:\n"
    "  --gui       the desktop windows (the default when a display can be opened);\n"
    "              without a display the program ends with status 1\n"
    "  --console   no windows: process lines to standard output, messages to\n"
    "              standard error, solver progress on standard error (terminal only)\n"
    "  --yes       answer OK/Yes to every confirmation and show no message box\n"
    "              (for scripts)\n"
    "  --layouts   write the layout diagrams (<name>_Layouts.pdf) for this run,\n"
    "              whatever QM_Config.txt says\n"
    "  --json      write the plan as JSON (<name>_Plan.json) for this run,\n"
    "              whatever QM_Config.txt says\n"
    "  --cut-list  write every cut piece as a CSV row (<name>_CutList.csv) for this\n"
    "              run, whatever QM_Config.txt says\n"
    "  --jobs N, --jobs=N\n"
    "              solve up to N materials at once (console: every core by\n"
    "              default; desktop: one unless given); the outputs are the same\n"
    "  --defaults-on-error\n"
    "              go on with the default settings when a settings file cannot be\n"
    "              read (--yes does not answer that offer)\n"
    "  --print-pdf FILE, --print-pdf=FILE\n"
    "              print labels into the PDF file FILE instead of the default printer\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Ctrl-C stops the run at the next material step; the logs are closed properly.\n"
    "\n"
    "Exit status:\n"
    "  0  the run ended normally (warnings included)\n"
    "  1  the run ended through an error (see QM^ErrLog.txt), a log could not be\n"
    "     written, or --gui found no usable display\n"
    "  2  a confirmation or the file dialog was cancelled, or the run was interrupted\n"
    "  3  another instance is running in this directory, or another run writes the\n"
    "     same report or labels; their files were left alone\n"
    "  64 bad command line\n";

namespace {

// The order file and the stock file.
constexpr size_t kMaxFileNames = 2;

CommandLine Mistake(CommandLine line, std::string text) {
  line.action = CommandLine::Action::kBadUsage;
  line.mistake = std::move(text);
  return line;
}

// An option that takes a value: "--name=value", or "--name" and the next
// argument.
bool IsValued(std::string_view arg, std::string_view name) {
  return arg == name ||
         (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=');
}

// The option's value; `i` skips the next argument when that holds it.
// Empty when there is none.
std::string_view ValueOf(std::string_view arg, std::string_view name,
                         const std::vector<std::string_view>& args, size_t& i) {
  if (arg.size() > name.size()) return arg.substr(name.size() + 1);
  if (i + 1 >= args.size()) return {};
  return args[++i];
}

// A whole number from 1 to kMaxJobs; 0 otherwise.
int JobsOf(std::string_view value) {
  int jobs = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
  if (value.empty() || error != std::errc() || end != value.data() + value.size()) return 0;
  return jobs >= 1 && jobs <= kMaxJobs ? jobs : 0;
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string_view>& args) {
  CommandLine line;
  bool endOfOptions = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool option = !endOfOptions && arg.size() > 1 && arg[0] == '-';
    if (!option) {
      if (line.files.size() >= kMaxFileNames) return Mistake(line, "too many file names");
      line.files.emplace_back(arg);
    } else if (arg == "--") {
      endOfOptions = true;
    } else if (arg == "--help") {
      line.action = CommandLine::Action::kHelp;
      return line;
    } else if (arg == "--version") {
      line.action = CommandLine::Action::kVersion;
      return line;
    } else if (arg == "--console" || arg == "--gui") {
      line.console = arg == "--console";
      line.gui = !line.console;
    } else if (IsValued(arg, "--print-pdf")) {
      line.pdfFile = ValueOf(arg, "--print-pdf", args, i);
      if (line.pdfFile.empty()) return Mistake(line, "--print-pdf needs a file name");
    } else if (IsValued(arg, "--jobs")) {
      line.batch.jobs = JobsOf(ValueOf(arg, "--jobs", args, i));
      if (line.batch.jobs == 0) {
        return Mistake(line, "--jobs needs a number from 1 to " + std::to_string(kMaxJobs));
      }
    } else if (arg == "--layouts") {
      line.batch.layouts = true;
    } else if (arg == "--json") {
      line.batch.plan = true;
    } else if (arg == "--cut-list") {
      line.batch.cutList = true;
    } else if (arg == "--yes") {
      line.yes = true;
    } else if (arg == "--defaults-on-error") {
      line.batch.defaultsOnError = true;
    } else {
      return Mistake(line, "unknown option " + std::string(arg));
    }
  }
  return line;
}

}  // namespace tarvolin
