#include "process_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include "batch_controller.h"
#include "discovery.h"
#include "fixed_pitch_font.h"
#include "layouts_window.h"
#include "qt_convert.h"
#include "toolkit.h"

namespace tarvolin::desktop {
namespace {

constexpr int kMemoPoints = 10;
// Columns the memo shows before it is widened: the material column the
// window fits, the figures behind it and two columns of margin.
constexpr int kMemoColumns = kFittingMaterialColumnWidth + kMemoFiguresWidth + 2;
constexpr int kMemoRows = 16;
// Where the window opens on the screen.
constexpr int kWindowLeft = 8;
constexpr int kWindowTop = 8;
// The memo's document margin on each side, in pixels.
constexpr int kMemoMargin = 4;

void SetTextColour(QLabel* label, const QColor& colour) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
}

}  // namespace

ProcessWindow::ProcessWindow()
    : waitLabel_(new QLabel(QStringLiteral("Process window"), this)),
      processMemo_(new QPlainTextEdit(this)),
      closeBut_(new QPushButton(QStringLiteral("&Exit"), this)),
      openDialog1_(new QFileDialog(this)) {
  setObjectName(QStringLiteral("ProcessWindow"));
  waitLabel_->setObjectName(QStringLiteral("WaitLabel"));
  processMemo_->setObjectName(QStringLiteral("ProcessMemo"));
  closeBut_->setObjectName(QStringLiteral("CloseBut"));
  openDialog1_->setObjectName(QStringLiteral("OpenDialog1"));

  QFont memoFont = FixedPitchFont(QStringLiteral("Courier New"));
  memoFont.setPointSize(kMemoPoints);
  processMemo_->setFont(memoFont);
  processMemo_->setReadOnly(true);
  processMemo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  processMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  processMemo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  processMemo_->setToolTip(QString::fromUtf8(kLayoutsHint));
  const QFontMetrics metrics(memoFont);
  const int frame = 2 * processMemo_->frameWidth() + 2 * kMemoMargin;
  processMemo_->setMinimumSize(metrics.horizontalAdvance(QString(kMemoColumns, QChar('0'))) +
                                   frame + processMemo_->verticalScrollBar()->sizeHint().width(),
                               metrics.lineSpacing() * kMemoRows + frame);

  // The exit button is the default and the cancel button of the window.
  closeBut_->setDefault(true);
  closeBut_->setEnabled(false);
  connect(closeBut_, &QPushButton::clicked, this, [this] {
    if (main_ != nullptr) main_->OnExitClicked();
  });
  for (const QKeySequence& key :
       {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Escape)}) {
    auto* shortcut = new QShortcut(key, this);
    connect(shortcut, &QShortcut::activated, this, [this] {
      if (closeBut_->isEnabled()) closeBut_->click();
    });
  }

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(closeBut_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(waitLabel_);
  layout->addWidget(processMemo_, 1);
  layout->addLayout(buttons);

  resize(sizeHint());
  move(kWindowLeft, kWindowTop);
}

void ProcessWindow::Attach(BatchController& main, Toolkit& toolkit) {
  main_ = &main;
  toolkit_ = &toolkit;
  processMemo_->viewport()->installEventFilter(this);
  main_->OnStartUp();
}

QWidget* ProcessWindow::OpenLayouts(const QString& memoLine) {
  if (main_ == nullptr || busy_) return nullptr;
  // The memo line starts with the material key; the longest key that
  // matches wins, so "A x" does not take the line of "A x2".
  const plan::MaterialPlan* found = nullptr;
  for (const plan::MaterialPlan& material : main_->Plans().Materials()) {
    const QString key = QString::fromStdString(material.materialKey);
    if (!material.Solved() || !memoLine.startsWith(key)) continue;
    if (memoLine.size() > key.size() && memoLine[key.size()] != QChar(' ')) continue;
    if (found == nullptr || material.materialKey.size() > found->materialKey.size())
      found = &material;
  }
  if (found == nullptr) return nullptr;
  // Each layouts window opens a step below and right of the one before, so
  // that none hides another.
  const qsizetype before = LayoutsWindow::OpenWindows(*this).size();
  auto* window = new LayoutsWindow(main_->Plans().Heading(), *found, *toolkit_, printer_,
                                   FilesOfTheRun(main_->State()), this);
  window->setWindowFlag(Qt::Window);
  const int step = static_cast<int>(kCascadeStep * (before + 1));
  window->move(pos() + QPoint(step, step));
  window->show();
  return window;
}

bool ProcessWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == processMemo_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    const auto* click = static_cast<QMouseEvent*>(event);
    OpenLayouts(processMemo_->cursorForPosition(click->position().toPoint()).block().text());
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void ProcessWindow::SetCaption(std::string_view caption) {
  setWindowTitle(ToQString(caption));
}

void ProcessWindow::SetWaitLabel(std::string_view text, uint32_t colour) {
  waitLabel_->setText(ToQString(text));
  SetTextColour(waitLabel_, QtColour(colour));
}

void ProcessWindow::AddMemoLine(std::string_view line) {
  processMemo_->appendPlainText(ToQString(line));
}

void ProcessWindow::ReplaceLastMemoLine(std::string_view line) {
  QTextCursor cursor(processMemo_->document()->lastBlock());
  cursor.movePosition(QTextCursor::StartOfBlock);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  cursor.insertText(ToQString(line));
}

int ProcessWindow::MemoFontPoints() const {
  const int points = processMemo_->font().pointSize();
  return points > 0 ? points : kMemoPoints;
}

void ProcessWindow::Widen(int pixels) {
  resize(width() + pixels, height());
}

void ProcessWindow::HideAndBringToFront() {
  hide();
  raise();
}

void ProcessWindow::EnableCloseButton() {
  closeBut_->setEnabled(true);
  closeBut_->setFocus();
}

void ProcessWindow::CloseWindow() {
  closing_ = true;
  close();
}

QStringList ProcessWindow::MemoLines() const {
  QStringList lines;
  if (processMemo_->document()->isEmpty()) return lines;
  for (QTextBlock block = processMemo_->document()->begin(); block.isValid();
       block = block.next()) {
    lines << block.text();
  }
  return lines;
}

void ProcessWindow::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (batchScheduled_ || main_ == nullptr) return;
  // The batch is long; it must not run inside the paint handler, so the
  // first paint only queues it for the event loop.
  batchScheduled_ = true;
  QTimer::singleShot(0, this, [this] { RunBatch(); });
}

void ProcessWindow::RunBatch() {
  busy_ = true;
  main_->OnFirstPaint();
  busy_ = false;
}

void ProcessWindow::closeEvent(QCloseEvent* event) {
  if (busy_ && !closing_) {
    // The operator closes the window during the run: the batch stops at its
    // next termination check, and the program then ends.
    if (toolkit_ != nullptr) toolkit_->Terminate();
    event->ignore();
    return;
  }
  closing_ = false;
  closed_ = true;
  event->accept();
  if (main_ != nullptr) main_->OnWindowClosed();
}

}  // namespace tarvolin::desktop
