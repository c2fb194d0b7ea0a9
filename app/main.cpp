// tarvolin [options] [order-file [stock-file]]
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "batch_controller.h"
#include "console_toolkit.h"
#include "console_views.h"
#include "interrupt.h"
#ifdef TARVOLIN_DESKTOP
#include "desktop_run.h"
#endif

namespace {

// The conventional exit status of a usage error.
constexpr int kExitBadCommandLine = 64;
constexpr int kMaxJobs = 256;
// The order file and the stock file.
constexpr size_t kMaxFileNames = 2;

constexpr const char* kUsage =
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

struct Options {
  bool gui = false;      // --gui
  bool console = false;  // --console
  bool yes = false;
  bool layouts = false;  // --layouts
  bool json = false;     // --json
  bool cutList = false;  // --cut-list
  int jobs = 0;          // --jobs; 0: the console takes every core, the desktop one
  bool defaultsOnError = false;
  std::string pdfFile;
  std::vector<std::string> params;
};

#ifdef TARVOLIN_DESKTOP
constexpr bool kDesktopBuilt = true;
#else
constexpr bool kDesktopBuilt = false;
#endif

#ifdef TARVOLIN_DESKTOP
enum class FrontEnd { kConsole, kDesktop, kNoDisplay };

// The desktop windows when a display is there, unless an option forces one
// front end. A named display that cannot be opened falls back to the
// console with a note; with --gui it is an error.
FrontEnd ChooseFrontEnd(const Options& options) {
  if (options.console) return FrontEnd::kConsole;
  if (!options.gui && !tarvolin::desktop::DisplayNamed()) return FrontEnd::kConsole;
  if (tarvolin::desktop::DisplayAvailable()) return FrontEnd::kDesktop;
  if (options.gui) return FrontEnd::kNoDisplay;
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && platform[0] != '\0') {
    std::cerr << "tarvolin: the display platform of QT_QPA_PLATFORM cannot be used; running in"
                 " the console\n";
  } else {
    std::cerr << "tarvolin: the display cannot be opened; running in the console\n";
  }
  return FrontEnd::kConsole;
}
#endif

std::unique_ptr<tarvolin::Printer> LabelPrinter([[maybe_unused]] const Options& options) {
#ifdef TARVOLIN_DESKTOP
  return tarvolin::desktop::MakeConsolePrinter(options.pdfFile);
#else
  return nullptr;
#endif
}

// The value of an option, after "=" in the same argument or as the next
// argument (which `i` then skips); empty when there is none.
std::string_view OptionValue(std::string_view arg, std::string_view name, int argc, char** argv,
                             int& i) {
  if (arg.size() > name.size()) return arg.substr(name.size() + 1);
  if (i + 1 >= argc) return {};
  return argv[++i];
}

// The run itself, once the command line has been read.
int RunProgram(const Options& options, const char* programName) {
  std::setlocale(LC_ALL, "");
  tarvolin::InstallInterruptHandler();
  // A reader that went away (a pipe into `head`) only ends the printing:
  // the failed write sets the stream's error state, and the run goes on to
  // close its files.
  std::signal(SIGPIPE, SIG_IGN);

#ifdef TARVOLIN_DESKTOP
  tarvolin::desktop::FilterQtMessages();
  switch (ChooseFrontEnd(options)) {
    case FrontEnd::kDesktop:
      return tarvolin::desktop::RunDesktop(
          programName,
          {options.yes, options.pdfFile, options.params, options.layouts, options.json,
           options.defaultsOnError, options.cutList, options.jobs > 0 ? options.jobs : 1});
    case FrontEnd::kNoDisplay:
      std::cerr << "tarvolin: --gui needs a display, and none can be opened\n";
      return tarvolin::kExitError;
    case FrontEnd::kConsole:
      break;
  }
#endif

  tarvolin::ConsoleToolkit console(options.yes);
  tarvolin::InterruptibleToolkit toolkit(console);
  tarvolin::ConsoleProcessView view(std::cout);
  tarvolin::ConsolePleaseWait pleaseWait(std::cerr);
  tarvolin::ConsoleProgressView solverView(toolkit, std::cerr, isatty(STDERR_FILENO) != 0);

  const std::unique_ptr<tarvolin::Printer> printer = LabelPrinter(options);
  tarvolin::BatchController app(toolkit, view, pleaseWait, printer.get(), options.params,
                                &solverView);
  solverView.NameMaterial([&app] { return app.Run().pass.material; });
#ifdef TARVOLIN_DESKTOP
  tarvolin::desktop::SetUpPlanFiles(app, options.layouts, options.json);
#else
  app.ForceOutputs(options.layouts, options.json);
#endif
  app.ForceCutList(options.cutList);
  app.SetJobs(options.jobs > 0
                  ? options.jobs
                  : static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  app.Run().defaultsOnError = options.defaultsOnError;
  app.OnStartUp();
  app.OnFirstPaint();
  // A console has no exit button to wait for: the window closes at once.
  view.Flush();
  app.OnWindowClosed();
  if (app.OutOfMemory()) tarvolin::LeaveAfterMemoryRanOut(app.Status());
  return app.Status();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool endOfOptions = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!endOfOptions && arg == "--") {
      endOfOptions = true;
    } else if (!endOfOptions && arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (!endOfOptions && arg == "--version") {
      std::cout << "tarvolin " << TARVOLIN_VERSION << '\n';
      return 0;
    } else if (!endOfOptions && arg == "--console") {
      options.console = true;
      options.gui = false;
    } else if (!endOfOptions && arg == "--gui") {
      options.gui = true;
      options.console = false;
    } else if (!endOfOptions && (arg == "--print-pdf" || arg.starts_with("--print-pdf="))) {
      const std::string_view value = OptionValue(arg, "--print-pdf", argc, argv, i);
      if (value.empty()) {
        std::cerr << "tarvolin: --print-pdf needs a file name\n\n" << kUsage;
        return kExitBadCommandLine;
      }
      options.pdfFile = value;
    } else if (!endOfOptions && arg == "--layouts") {
      options.layouts = true;
    } else if (!endOfOptions && arg == "--json") {
      options.json = true;
    } else if (!endOfOptions && arg == "--cut-list") {
      options.cutList = true;
    } else if (!endOfOptions && (arg == "--jobs" || arg.starts_with("--jobs="))) {
      const std::string_view value = OptionValue(arg, "--jobs", argc, argv, i);
      int jobs = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), jobs);
      if (value.empty() || error != std::errc() || end != value.data() + value.size() || jobs < 1 ||
          jobs > kMaxJobs) {
        std::cerr << "tarvolin: --jobs needs a number from 1 to " << kMaxJobs << "\n\n" << kUsage;
        return kExitBadCommandLine;
      }
      options.jobs = jobs;
    } else if (!endOfOptions && arg == "--yes") {
      options.yes = true;
    } else if (!endOfOptions && arg == "--defaults-on-error") {
      options.defaultsOnError = true;
    } else if (!endOfOptions && arg.size() > 1 && arg[0] == '-') {
      std::cerr << "tarvolin: unknown option " << arg << "\n\n" << kUsage;
      return kExitBadCommandLine;
    } else if (options.params.size() < kMaxFileNames) {
      options.params.emplace_back(arg);
    } else {
      std::cerr << "tarvolin: too many file names\n\n" << kUsage;
      return kExitBadCommandLine;
    }
  }

  if (!kDesktopBuilt && (options.gui || !options.pdfFile.empty())) {
    std::cerr << "tarvolin: this build has no desktop windows and no label printing;"
                 " use --console\n";
    return kExitBadCommandLine;
  }
  // The batch ends a run that runs out of memory itself, with its logs
  // closed; this is the last resort when even that failed.
  try {
    return RunProgram(options, argv[0]);
  } catch (const std::bad_alloc&) {
    std::cerr << "tarvolin: Not enough memory\n";
    return tarvolin::kExitError;
  }
}
