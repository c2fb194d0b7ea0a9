// The "Please wait..." window shown during a solver call while the process
// window is hidden. It takes no input.
#pragma once

#include <QWidget>

#include "please_wait_view.h"

class QLabel;

namespace tarvolin::desktop {

class PleaseWaitWindow : public QWidget, public PleaseWaitView {
 public:
  PleaseWaitWindow();
  void Show() override;
  void Close() override;
  QLabel* Label1() const { return label1_; }

 private:
  QLabel* label1_;
};

}  // namespace tarvolin::desktop
