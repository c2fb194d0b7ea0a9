// Writes pictures of the process window after a run, of the progress
// window during one and of the first material's layouts window, for the
// documentation.
// Usage: tarvolin_screenshots EXAMPLE_DIR OUTPUT_DIR
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "batch_controller.h"
#include "desktop_run.h"
#include "please_wait_window.h"
#include "process_window.h"
#include "progress_window.h"
#include "scripted_toolkit.h"

namespace {

namespace fs = std::filesystem;
using tarvolin::desktop::ProgressWindow;

// Takes its picture at the first pump after the whole-optimization bar has
// passed the middle, or at the last pump of the call.
class PicturedProgressWindow final : public ProgressWindow {
 public:
  PicturedProgressWindow(tarvolin::Toolkit& toolkit, QString file)
      : ProgressWindow(toolkit), file_(std::move(file)) {}
  void PumpMessages() override {
    ProgressWindow::PumpMessages();
    if (saved_) return;
    latest_ = grab();
    if (MultiProgBar()->value() >= 50) Save();
  }
  void CloseProgress() override {
    if (!saved_ && !latest_.isNull()) Save();
    ProgressWindow::CloseProgress();
  }
  bool Saved() const { return saved_; }

 private:
  void Save() { saved_ = latest_.save(file_, "PNG"); }
  QString file_;
  QPixmap latest_;
  bool saved_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "Usage: tarvolin_screenshots EXAMPLE_DIR OUTPUT_DIR\n";
    return 64;
  }
  const fs::path example = fs::absolute(argv[1]);
  const fs::path output = fs::absolute(argv[2]);
  std::error_code ec;
  const fs::path work = fs::temp_directory_path() / "tarvolin-screenshots";
  fs::remove_all(work, ec);
  fs::create_directories(work, ec);
  fs::create_directories(output, ec);
  fs::copy(example, work, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  if (ec) {
    std::cerr << "tarvolin_screenshots: cannot copy " << example << ": " << ec.message() << '\n';
    return 1;
  }
  fs::current_path(work);

  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  tarvolin::ScriptedToolkit toolkit;
  toolkit.defaultAnswer = tarvolin::BoxResult::Ok;
  tarvolin::desktop::ProcessWindow processWindow;
  tarvolin::desktop::PleaseWaitWindow pleaseWait;
  PicturedProgressWindow progressWindow(
      toolkit, QString::fromStdString((output / "progress_window.png").string()));
  tarvolin::BatchController run(toolkit, processWindow, pleaseWait, nullptr, {}, &progressWindow);
  tarvolin::desktop::SetUpDrawing(run);
  processWindow.Attach(run, toolkit);
  processWindow.show();
  while (!processWindow.CloseBut()->isEnabled() && !toolkit.Terminating())
    QApplication::processEvents();

  const bool processSaved = processWindow.grab().save(
      QString::fromStdString((output / "process_window.png").string()), "PNG");
  bool layoutsSaved = false;
  const QStringList lines = processWindow.MemoLines();
  if (QWidget* layouts = lines.size() > 1 ? processWindow.OpenLayouts(lines[1]) : nullptr) {
    QApplication::processEvents();
    layoutsSaved = layouts->grab().save(
        QString::fromStdString((output / "layouts_window.png").string()), "PNG");
  }
  run.OnWindowClosed();
  fs::current_path(output, ec);
  fs::remove_all(work, ec);
  if (!processSaved || !progressWindow.Saved() || !layoutsSaved) {
    std::cerr << "tarvolin_screenshots: a picture could not be written\n";
    return 1;
  }
  return 0;
}
