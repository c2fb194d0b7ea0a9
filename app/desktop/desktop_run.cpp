#include "desktop_run.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdlib>

#include "batch_controller.h"
#include "console_views.h"
#include "interrupt.h"
#include "please_wait_window.h"
#include "process_window.h"
#include "progress_window.h"
#include "qt_printer.h"
#include "qt_toolkit.h"

namespace tarvolin::desktop {
namespace {

bool EnvironmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// Qt must not see the program's own options.
struct QtArguments {
  explicit QtArguments(const char* programName) : name(programName != nullptr ? programName : "") {
    argv[0] = name.data();
  }
  std::string name;
  int argc = 1;
  char* argv[2] = {nullptr, nullptr};
};

class ConsolePrinter final : public Printer {
 public:
  explicit ConsolePrinter(std::string pdfFile) : pdfFile_(std::move(pdfFile)) {}
  ~ConsolePrinter() override {
    printer_.reset();
    app_.reset();
  }

  int VerticalResolution() const override { return Device().VerticalResolution(); }
  bool Begin(const PrinterSetup& setup) override { return Device().Begin(setup); }
  bool WriteLine(std::string_view text) override { return Device().WriteLine(text); }
  bool FormFeed() override { return Device().FormFeed(); }
  bool End() override { return Device().End(); }

 private:
  QtPrinter& Device() const {
    if (printer_ == nullptr) {
      if (QCoreApplication::instance() == nullptr) {
        if (!DisplayAvailable()) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(args_.argc, args_.argv);
      }
      printer_ = std::make_unique<QtPrinter>(pdfFile_);
    }
    return *printer_;
  }

  std::string pdfFile_;
  mutable QtArguments args_{"tarvolin"};
  mutable std::unique_ptr<QGuiApplication> app_;
  mutable std::unique_ptr<QtPrinter> printer_;
};

}  // namespace

bool DisplayAvailable() {
  return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY") ||
         EnvironmentSet("QT_QPA_PLATFORM");
}

int RunDesktop(const char* programName, const DesktopOptions& options) {
  QtArguments args(programName);
  QApplication application(args.argc, args.argv);

  QtToolkit qtToolkit(options.assumeYes);
  InterruptibleToolkit toolkit(qtToolkit);
  QtPrinter printer(options.pdfFile);

  ProgressWindow progressWindow(toolkit);
  progressWindow.escapeRequest = [] { return TakeInterrupt(); };
  solver::SetCutOptimizeView(&progressWindow);

  ProcessWindow processWindow;
  PleaseWaitWindow pleaseWait;
  qtToolkit.SetFileDialog(processWindow.OpenDialog1());
  BatchController app(toolkit, processWindow, pleaseWait, &printer, options.params);
  app.Run().defaultsOnError = options.defaultsOnError;
  processWindow.Attach(app, toolkit);

  // Ctrl-C ends the program also while the window or a box waits for the
  // operator; a terminate request leaves every event loop. While the
  // progress window offers Esc, its own pumps take Ctrl-C as Esc.
  QTimer interruptPoll;
  QObject::connect(&interruptPoll, &QTimer::timeout, [&] {
    if (progressWindow.isVisible() && progressWindow.WaitLab()->isVisible()) return;
    if (TakeInterrupt()) toolkit.Terminate();
  });
  interruptPoll.start(200);

  processWindow.show();
  if (!toolkit.Terminating()) QApplication::exec();

  // The loop also ends on a terminate request; the run still ends properly.
  app.OnWindowClosed();
  printer.Finish();
  solver::SetCutOptimizeView(nullptr);
  return app.Status();
}

std::unique_ptr<Printer> MakeConsolePrinter(const std::string& pdfFile) {
  return std::make_unique<ConsolePrinter>(pdfFile);
}

}  // namespace tarvolin::desktop
