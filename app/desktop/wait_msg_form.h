// The "Please wait..." window shown during a solver call while the process
// window is hidden. It takes no input.
#pragma once

#include <QWidget>

#include "wait_msg.h"

class QLabel;

namespace tarvolin::desktop {

class TWaitMsgForm : public QWidget, public WaitMsgView {
 public:
  TWaitMsgForm();
  void Show() override;
  void Close() override;
  QLabel* Label1() const { return label1_; }

 private:
  QLabel* label1_;
};

}  // namespace tarvolin::desktop
