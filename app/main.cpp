// tarvolin [options] [order-file [stock-file]]
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "console_toolkit.h"
#include "console_views.h"
#include "interrupt.h"
#include "qm5r_main.h"

namespace {

constexpr const char* kVersion = "0.1.0";

constexpr const char* kUsage =
    "Usage: tarvolin [options] [order-file [stock-file]]\n"
    "\n"
    "Optimizes the cutting of bars, tubes and profiles to length, material by\n"
    "material, and writes a cutting report, a label file and printed labels.\n"
    "Run it in the working directory that holds QM_Config.txt, QM_OptSet.txt and\n"
    "the input files. Without file names the order file is found by the mask\n"
    "QM_Orders*.txt and the stock file by QM_Stocks*.txt.\n"
    "\n"
    "Options:\n"
    "  --console   no windows: process lines to standard output, messages to\n"
    "              standard error, solver progress on standard error (terminal only)\n"
    "  --yes       answer OK/Yes to every confirmation (for scripts)\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Ctrl-C stops the run at the next material step; the logs are closed properly.\n"
    "\n"
    "Exit status:\n"
    "  0  the run ended normally\n"
    "  1  the run ended through an error (see QM^ErrLog.txt)\n"
    "  2  a confirmation or the file dialog was cancelled, or the run was interrupted\n"
    "  3  another instance is running in this directory\n"
    "  64 bad command line\n";

struct Options {
  bool console = true;  // the only front end of this build
  bool yes = false;
  std::vector<std::string> params;
};

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
      std::cout << "tarvolin " << kVersion << '\n';
      return 0;
    } else if (!endOfOptions && arg == "--console") {
      options.console = true;
    } else if (!endOfOptions && arg == "--yes") {
      options.yes = true;
    } else if (!endOfOptions && arg.size() > 1 && arg[0] == '-') {
      std::cerr << "tarvolin: unknown option " << arg << "\n\n" << kUsage;
      return 64;
    } else if (options.params.size() < 2) {
      options.params.emplace_back(arg);
    } else {
      std::cerr << "tarvolin: too many file names\n\n" << kUsage;
      return 64;
    }
  }

  std::setlocale(LC_ALL, "");
  tarvolin::InstallInterruptHandler();

  tarvolin::ConsoleToolkit console(options.yes);
  tarvolin::InterruptibleToolkit toolkit(console);
  tarvolin::ConsoleProcessView view(std::cout);
  tarvolin::ConsoleWaitMsg waitMsg(std::cerr);
  tarvolin::ConsoleSolverView solverView(toolkit, std::cerr, isatty(STDERR_FILENO) != 0);
  solver::RegisterSolverView(&solverView);

  tarvolin::Qm5rMain app(toolkit, view, waitMsg, nullptr, options.params);
  app.FormCreate();
  app.FormPaint();
  // A console has no exit button to wait for: the window closes at once.
  view.Flush();
  app.FormClose();
  solver::RegisterSolverView(nullptr);
  return app.Status();
}
