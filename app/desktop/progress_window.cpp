#include "progress_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "qt_convert.h"
#include "tarvolin/colours.h"
#include "toolkit.h"

namespace tarvolin::desktop {
namespace {

constexpr uint32_t kBlue = TARVOLIN_COLOUR_BLUE;
constexpr uint32_t kNavy = TARVOLIN_COLOUR_NAVY;
constexpr uint32_t kGrey = TARVOLIN_COLOUR_GREY;

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, uint32_t colour,
                  const QRect& geometry, Qt::Alignment alignment = Qt::AlignLeft) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  label->setAlignment(alignment | Qt::AlignVCenter);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QtColour(colour));
  label->setPalette(palette);
  return label;
}

QProgressBar* MakeBar(QWidget* parent, const char* name, const QRect& geometry) {
  auto* bar = new QProgressBar(parent);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  bar->setGeometry(geometry);
  return bar;
}

}  // namespace

ProgressWindow::ProgressWindow(Toolkit& toolkit)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ToolkitSolverView(toolkit),
      multiProgBar_(MakeBar(this, "MultiProgBar", QRect(8, 26, 256, 18))),
      packProgBar_(MakeBar(this, "PackProgBar", QRect(8, 50, 184, 8))),
      progLab_(MakeLabel(this, "ProgLab", "Optimizer Run...  ", kBlue, QRect(8, 4, 150, 18))),
      waitLab_(MakeLabel(this, "WaitLab", "Esc to abort", kBlue, QRect(160, 4, 104, 18),
                         Qt::AlignRight)),
      timeLab_(MakeLabel(this, "TimeLab", "0 sec", kBlue, QRect(196, 45, 68, 18), Qt::AlignRight)),
      critTimeLab_(
          MakeLabel(this, "CritTimeLab", "Criterion / Time:", kGrey, QRect(8, 80, 110, 18))),
      critTopLab_(MakeLabel(this, "CritTopLab", "0", kNavy, QRect(120, 80, 70, 18))),
      timeTopLab_(
          MakeLabel(this, "TimeTopLab", "0 sec", kNavy, QRect(192, 80, 72, 18), Qt::AlignRight)) {
  setObjectName(QStringLiteral("ProgressWindow"));
  setWindowTitle(QStringLiteral("KVSO Optimizer "));
  setFixedSize(272, 106);
  setCursor(Qt::WaitCursor);
  timeLab_->setToolTip(QStringLiteral("Clear packing time"));
}

void ProgressWindow::OpenProgress(bool showEsc) {
  escShown_ = showEsc;
  waitLab_->setVisible(showEsc);
  multiProgBar_->setValue(0);
  packProgBar_->setValue(0);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  show();
  raise();
  activateWindow();
}

void ProgressWindow::CloseProgress() {
  escShown_ = false;
  hide();
}

void ProgressWindow::SetMultiPosition(int position) {
  multiProgBar_->setValue(std::clamp(position, 0, 100));
}

void ProgressWindow::SetPackPosition(int position) {
  packProgBar_->setValue(std::clamp(position, 0, 100));
}

void ProgressWindow::SetTimeText(const char* text) {
  timeLab_->setText(QString::fromLatin1(text));
}

void ProgressWindow::SetBestTexts(const char* criterion, const char* time) {
  critTopLab_->setText(QString::fromLatin1(criterion));
  timeTopLab_->setText(QString::fromLatin1(time));
}

void ProgressWindow::SetBestColour(int32_t colour) {
  for (QLabel* label : {critTopLab_, timeTopLab_}) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QtColour(static_cast<uint32_t>(colour)));
    label->setPalette(palette);
  }
}

void ProgressWindow::Repaint() {
  if (isVisible()) repaint();
}

void ProgressWindow::PumpMessages() {
  if (escShown_ && escapeRequest && escapeRequest()) {
    stopRequested_ = true;
    FormKeyPress(kEscapeKey);
  }
  QCoreApplication::processEvents();
}

void ProgressWindow::OpenPlanProgress(bool stopOffered) {
  stopRequested_ = false;
  OpenProgress(stopOffered);
  critTimeLab_->setText(QStringLiteral("Bound / Best:"));
  ShowPlanProgress(PlanProgressTexts{0, "0.0 sec", {}, {}});
}

void ProgressWindow::ShowPlanProgress(const PlanProgressTexts& texts) {
  const auto orDash = [](const std::string& text) {
    return text.empty() ? QStringLiteral("-") : QString::fromStdString(text);
  };
  SetMultiPosition(texts.position);
  timeLab_->setText(QString::fromStdString(texts.time));
  critTopLab_->setText(orDash(texts.bound));
  timeTopLab_->setText(orDash(texts.best));
  Repaint();
}

bool ProgressWindow::PlanStopRequested() {
  PumpMessages();
  return stopRequested_;
}

void ProgressWindow::ClosePlanProgress() {
  critTimeLab_->setText(QStringLiteral("Criterion / Time:"));
  CloseProgress();
}

void ProgressWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    if (escShown_) stopRequested_ = true;
    FormKeyPress(kEscapeKey);
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace tarvolin::desktop
