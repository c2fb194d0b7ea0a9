// The small "Please wait..." window that shows the program is busy during a
// solver call while the process window is hidden. It takes no input.
#pragma once

#include "tarvolin/colours.h"

namespace tarvolin {

// How the window looks; the desktop view draws it from these values.
struct PleaseWaitLook {
  static constexpr const char* kCaption = "QM5R.exe";
  static constexpr int kClientWidth = 243;  // pixels at 120 pixels per inch
  static constexpr int kClientHeight = 110;
  static constexpr const char* kFontName = "MS Sans Serif";
  static constexpr int kFontHeight = 13;
  // Label1
  static constexpr const char* kLabelCaption = "Please wait...";
  static constexpr int kLabelLeft = 64, kLabelTop = 32, kLabelWidth = 126, kLabelHeight = 26;
  static constexpr int kLabelFontHeight = 23;
  static constexpr unsigned kLabelColour = TARVOLIN_COLOUR_RED;
};

class PleaseWaitView {
 public:
  virtual ~PleaseWaitView() = default;
  // Shows the window, not modal; the caller then lets pending messages run
  // once so it is painted before the solver call blocks the thread.
  virtual void Show() = 0;
  // Hides the window again.
  virtual void Close() = 0;
};

}  // namespace tarvolin
