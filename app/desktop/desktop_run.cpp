#include "desktop_run.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

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

// Qt must not see the program's own options.
struct QtArguments {
  explicit QtArguments(const char* programName) : name(programName != nullptr ? programName : "") {
    argv[0] = name.data();
  }
  std::string name;
  int argc = 1;
  char* argv[2] = {nullptr, nullptr};
};

// How long a child may take to start Qt on the named platform.
constexpr auto kPlatformProbeLimit = std::chrono::seconds(10);
constexpr auto kPlatformProbePoll = std::chrono::milliseconds(10);

// Starts Qt with the environment's platform in a child process, which
// ends at once: whether it got a screen. Qt aborts the process on a
// platform it cannot load or start (an unknown name, a frame buffer or a
// DRM device that is not there), which only the child suffers. Its output
// goes nowhere.
bool PlatformStartsInChild() {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devnull >= 0) {
      ::dup2(devnull, STDOUT_FILENO);
      ::dup2(devnull, STDERR_FILENO);
    }
    QtArguments args("tarvolin");
    const QGuiApplication application(args.argc, args.argv);
    ::_exit(QGuiApplication::primaryScreen() != nullptr ? 0 : 1);
  }
  const auto deadline = std::chrono::steady_clock::now() + kPlatformProbeLimit;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0 || std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(kPlatformProbePoll);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  return false;
}

// Whether Qt, given QT_QPA_PLATFORM, will open its windows somewhere.
// Qt tries the entries of the list ("name" or "name:options", separated
// by ";") in order and takes the first whose plugin starts; xcb and
// wayland do not start without their server, which is tested directly.
// offscreen and minimal need nothing. Any other entry (a frame buffer,
// eglfs, vnc, or a name without a plugin), and a reachable wayland
// compositor, are left to Qt itself, in a child.
bool PlatformListUsable(std::string_view platforms) {
  size_t start = 0;
  for (;;) {
    const size_t end = platforms.find(';', start);
    const std::string_view entry = platforms.substr(start, end - start);
    const std::string_view name = entry.substr(0, entry.find(':'));
    if (name == "offscreen" || name == "minimal") return true;
    if (name == "xcb") {
      if (XServerReachable()) return true;
    } else if (name.substr(0, 7) == "wayland") {
      // The compositor may be there while Qt's plugin for it is not.
      if (WaylandReachable()) return PlatformStartsInChild();
    } else if (!name.empty()) {
      return PlatformStartsInChild();
    }
    if (end == std::string_view::npos) return false;
    start = end + 1;
  }
}

// Qt's own diagnostics are no concern of the operator's: only its
// critical and fatal messages reach standard error. QT_LOGGING_RULES, set
// to look into Qt, keeps them all.
void QtMessageFilter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtCriticalMsg && type != QtFatalMsg) return;
  const QByteArray line = qFormatLogMessage(type, context, text).toLocal8Bit();
  std::fprintf(stderr, "%s\n", line.constData());
  std::fflush(stderr);
}

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
  bool WriteBarcodes(BarcodeKind kind, const std::vector<BarcodeCell>& cells, int width,
                     int heightLines) override {
    return Device().WriteBarcodes(kind, cells, width, heightLines);
  }
  bool PrintPages(double marginMm, const PageDrawing& draw) override {
    return Device().PrintPages(marginMm, draw);
  }
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
  return PlatformListUsable(platforms);
}

void FilterQtMessages() {
  if (!EnvironmentSet("QT_LOGGING_RULES")) qInstallMessageHandler(QtMessageFilter);
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
  SetUpDrawing(app);
  app.Configure(options.batch);
  processWindow.SetPrinter(&printer);
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
  if (app.OutOfMemory()) LeaveAfterMemoryRanOut(app.Status());
  printer.Finish();
  return app.Status();
}

std::unique_ptr<Printer> MakeConsolePrinter(const std::string& pdfFile) {
  return std::make_unique<ConsolePrinter>(pdfFile);
}

void SetUpDrawing(BatchController& app) {
  app.SetLayoutsWriterFactory(PdfLayoutsWriterFactory());
}

}  // namespace tarvolin::desktop
