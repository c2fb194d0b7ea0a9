#include "desktop_run.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdlib>
#include <string_view>

#include "batch_controller.h"
#include "console_views.h"
#include "interrupt.h"
#include "layouts_file.h"
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

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Opens and closes a connection to the X server of DISPLAY through the
// library that Qt's X plugin uses, loaded only for this test.
bool XServerReachable() {
  if (!EnvironmentSet("DISPLAY")) return false;
  void* library = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return false;
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  const auto connect = reinterpret_cast<Connect>(::dlsym(library, "xcb_connect"));
  const auto hasError = reinterpret_cast<HasError>(::dlsym(library, "xcb_connection_has_error"));
  const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(library, "xcb_disconnect"));
  bool reachable = false;
  if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
    void* connection = connect(nullptr, nullptr);
    if (connection != nullptr) {
      reachable = hasError(connection) == 0;
      disconnect(connection);
    }
  }
  ::dlclose(library);
  return reachable;
}

// Connects to the Wayland compositor's socket named by WAYLAND_DISPLAY.
bool WaylandReachable() {
  std::string path = Environment("WAYLAND_DISPLAY");
  if (path.empty()) return false;
  if (path[0] != '/') {
    const std::string runtimeDir = Environment("XDG_RUNTIME_DIR");
    if (runtimeDir.empty()) return false;
    path = runtimeDir + "/" + path;
  }
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool reachable =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return reachable;
}

// One entry of QT_QPA_PLATFORM ("name" or "name:options"): the platforms
// with a display server are tested, the others (offscreen, minimal, a
// frame buffer) need none.
bool PlatformUsable(std::string_view entry) {
  const std::string_view name = entry.substr(0, entry.find(':'));
  if (name == "xcb") return XServerReachable();
  if (name.substr(0, 7) == "wayland") return WaylandReachable();
  return !name.empty();
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
  std::string OutputFile() const override { return pdfFile_; }

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

bool DisplayNamed() {
  return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY") ||
         EnvironmentSet("QT_QPA_PLATFORM");
}

bool DisplayAvailable() {
  const std::string platforms = Environment("QT_QPA_PLATFORM");
  if (platforms.empty()) return WaylandReachable() || XServerReachable();
  // A list is tried in order; one usable entry is enough.
  size_t start = 0;
  for (;;) {
    const size_t end = platforms.find(';', start);
    const std::string_view entry = std::string_view(platforms).substr(start, end - start);
    if (PlatformUsable(entry)) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

int RunDesktop(const char* programName, const DesktopOptions& options) {
  QtArguments args(programName);
  QApplication application(args.argc, args.argv);

  QtToolkit qtToolkit(options.assumeYes);
  InterruptibleToolkit toolkit(qtToolkit);
  QtPrinter printer(options.pdfFile);

  ProgressWindow progressWindow(toolkit);
  progressWindow.escapeRequest = [] { return TakeInterrupt(); };

  ProcessWindow processWindow;
  PleaseWaitWindow pleaseWait;
  qtToolkit.SetFileDialog(processWindow.OpenDialog1());
  BatchController app(toolkit, processWindow, pleaseWait, &printer, options.params,
                      &progressWindow);
  SetUpPlanFiles(app, options.layouts, options.plan);
  app.ForceCutList(options.cutList);
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
  return app.Status();
}

std::unique_ptr<Printer> MakeConsolePrinter(const std::string& pdfFile) {
  return std::make_unique<ConsolePrinter>(pdfFile);
}

void SetUpPlanFiles(BatchController& app, bool layouts, bool plan) {
  app.SetLayoutsWriterFactory(PdfLayoutsWriterFactory());
  app.ForceOutputs(layouts, plan);
}

}  // namespace tarvolin::desktop
