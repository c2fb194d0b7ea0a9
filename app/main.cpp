// tarvolin [options] [order-file [stock-file]]
#include <unistd.h>

#include <algorithm>
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
#include "command_line.h"
#include "console_toolkit.h"
#include "console_views.h"
#include "interrupt.h"
#ifdef TARVOLIN_DESKTOP
#include "desktop_run.h"
#endif

namespace {

using tarvolin::CommandLine;

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
FrontEnd ChooseFrontEnd(const CommandLine& options) {
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

std::unique_ptr<tarvolin::Printer> LabelPrinter([[maybe_unused]] const CommandLine& options) {
#ifdef TARVOLIN_DESKTOP
  return tarvolin::desktop::MakeConsolePrinter(options.pdfFile);
#else
  return nullptr;
#endif
}

// The run itself, once the command line has been read.
int RunProgram(const CommandLine& options, const char* programName) {
  std::setlocale(LC_ALL, "");
  tarvolin::InstallInterruptHandler();
  // A reader that went away (a pipe into `head`) only ends the printing:
  // the failed write sets the stream's error state, and the run goes on to
  // close its files.
  std::signal(SIGPIPE, SIG_IGN);

#ifdef TARVOLIN_DESKTOP
  tarvolin::desktop::FilterQtMessages();
  switch (ChooseFrontEnd(options)) {
    case FrontEnd::kDesktop: {
      tarvolin::BatchOptions batch = options.batch;
      if (batch.jobs == 0) batch.jobs = 1;  // one material at a time beside the window
      return tarvolin::desktop::RunDesktop(programName,
                                           {options.yes, options.pdfFile, options.files, batch});
    }
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
  tarvolin::BatchController app(toolkit, view, pleaseWait, printer.get(), options.files,
                                &solverView);
  solverView.NameMaterial([&app] { return app.State().pass.material; });
#ifdef TARVOLIN_DESKTOP
  tarvolin::desktop::SetUpDrawing(app);
#endif
  tarvolin::BatchOptions batch = options.batch;
  if (batch.jobs == 0)
    batch.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const tarvolin::ExitStatus status = app.Run(batch);
  view.Flush();
  if (app.OutOfMemory()) tarvolin::LeaveAfterMemoryRanOut(status);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine options = tarvolin::ReadCommandLine(
      std::vector<std::string_view>(argv + std::min(argc, 1), argv + argc));
  switch (options.action) {
    case CommandLine::Action::kHelp:
      std::cout << tarvolin::kUsage;
      return 0;
    case CommandLine::Action::kVersion:
      std::cout << "tarvolin " << TARVOLIN_VERSION << '\n';
      return 0;
    case CommandLine::Action::kBadUsage:
      std::cerr << "tarvolin: " << options.mistake << "\n\n" << tarvolin::kUsage;
      return tarvolin::kExitBadCommandLine;
    case CommandLine::Action::kRun:
      break;
  }
  if (!kDesktopBuilt && (options.gui || !options.pdfFile.empty())) {
    std::cerr << "tarvolin: this build has no desktop windows and no label printing;"
                 " use --console\n";
    return tarvolin::kExitBadCommandLine;
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
