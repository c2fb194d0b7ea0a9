// The program with its desktop windows, and label printing through Qt for
// runs without windows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "batch_controller.h"
#include "printer.h"

namespace tarvolin::desktop {

struct DesktopOptions {
  bool assumeYes = false;  // confirmations answered OK or Yes unseen
  std::string pdfFile;     // labels into this PDF file instead of the printer
  std::vector<std::string> params;
  BatchOptions batch;
};

// DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM names a display.
bool DisplayNamed();

// A display that windows can be opened on: the display server named by
// DISPLAY or WAYLAND_DISPLAY accepts a connection, or QT_QPA_PLATFORM names
// a platform that starts (offscreen and minimal always do; others are
// started in a child process). Qt aborts a program on a display it cannot
// open, so this is asked before Qt starts in this process.
bool DisplayAvailable();

// Keeps Qt's debug, information and warning messages (such as the note on
// an unset XDG_RUNTIME_DIR) off standard error, unless QT_LOGGING_RULES
// asks for them.
void FilterQtMessages();

// Runs the batch with the process window, the progress window and the
// please-wait window; returns the exit status. Ctrl-C on the terminal ends
// the run like closing the window, or aborts the solver search where Esc
// is offered.
int RunDesktop(const char* programName, const DesktopOptions& options);

// The label printer for a run without windows: the default printer or the
// PDF file. Qt is started, without a display if there is none, only when
// labels are printed.
std::unique_ptr<Printer> MakeConsolePrinter(const std::string& pdfFile);

// Lets the batch draw the layouts file (with Qt's PDF writer).
void SetUpDrawing(BatchController& app);

}  // namespace tarvolin::desktop
