#include "process_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest/QTest>

#include "batch_controller.h"
#include "desktop_fixture.h"
#include "fixed_pitch_font.h"
#include "layouts_window.h"
#include "please_wait_window.h"
#include "progress_window.h"
#include "qt_toolkit.h"

namespace tarvolin::desktop {
namespace {

using testing::BoxAnswerer;
using testing::ConfigValues;
using testing::ScratchDirectory;

const QColor kGreyText(128, 128, 128);
const QColor kRedText(255, 0, 0);

// Records the process window's state each time the solver opens its window.
class WatchingProgressWindow final : public ProgressWindow {
 public:
  WatchingProgressWindow(Toolkit& toolkit, const ProcessWindow& form)
      : ProgressWindow(toolkit), form_(form) {}
  void OpenProgress(bool showEsc) override {
    ProgressWindow::OpenProgress(showEsc);
    waitTexts << form_.WaitLabel()->text();
    waitColours << form_.WaitLabel()->palette().color(QPalette::WindowText);
    exitEnabled << form_.CloseBut()->isEnabled();
  }
  QStringList waitTexts;
  QList<QColor> waitColours;
  QList<bool> exitEnabled;

 private:
  const ProcessWindow& form_;
};

// Three materials in order Steel, Wood, Alu; Wood has no stock. Steel: four
// pieces of 3000 fill two bars of 6000; Alu: three of 2000 fill one.
void WriteWorkingDirectory(const ScratchDirectory& dir, const ConfigValues& config) {
  dir.Write("QM_Config.txt", testing::ConfigLines(config));
  dir.Write("QM_OptSet.txt", testing::OptSetLines());
  dir.Write("QM_Orders.txt", {"Material Profile Length Qty Mark", "Steel 40x40 3000 4 A1",
                              "Wood 2x4 1000 2", "Alu 30x30 2000 3 B1"});
  dir.Write("QM_Stocks.txt",
            {"Material Profile Length Qty Cost", "Steel 40x40 6000 3 30.00", "Alu 30x30 6000 1"});
}

// Records whether the process window was hidden when the please-wait
// window came up.
class WatchingPleaseWait final : public PleaseWaitWindow {
 public:
  explicit WatchingPleaseWait(const ProcessWindow& form) : form_(form) {}
  void Show() override {
    PleaseWaitWindow::Show();
    shownWithFormHidden << !form_.isVisible();
  }
  void Close() override {
    PleaseWaitWindow::Close();
    ++closes;
  }
  QList<bool> shownWithFormHidden;
  int closes = 0;

 private:
  const ProcessWindow& form_;
};

struct Desktop {
  explicit Desktop(std::vector<std::string> params = {})
      : pleaseWait(form),
        progressWindow(toolkit, form),
        app(toolkit, form, pleaseWait, nullptr, std::move(params), &progressWindow) {
    form.Attach(app, toolkit);
  }

  // Shows the window and lets the event loop run until the batch is over.
  bool RunToEnd() {
    form.show();
    return QTest::qWaitFor([&] { return form.CloseBut()->isEnabled() || toolkit.Terminating(); },
                           60000);
  }

  QtToolkit toolkit;
  ProcessWindow form;
  WatchingPleaseWait pleaseWait;
  WatchingProgressWindow progressWindow;
  BatchController app;
};

TEST(ProcessWindowTest, LooksAsDeclaredBeforeTheRun) {
  ProcessWindow form;
  EXPECT_EQ(form.pos(), QPoint(8, 8));
  EXPECT_EQ(form.WaitLabel()->text(), QStringLiteral("Process window"));
  EXPECT_TRUE(form.ProcessMemo()->isReadOnly());
  // Whatever fonts the machine has: fixed pitch whenever any such font exists.
  EXPECT_TRUE(QFontInfo(form.ProcessMemo()->font()).fixedPitch() || !AnyFixedPitchFontInstalled());
  EXPECT_EQ(form.ProcessMemo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(form.CloseBut()->text(), QStringLiteral("&Exit"));
  EXPECT_TRUE(form.CloseBut()->isDefault());
  EXPECT_FALSE(form.CloseBut()->isEnabled());
  EXPECT_NE(form.OpenDialog1(), nullptr);
  EXPECT_TRUE(form.MemoLines().isEmpty());
}

TEST(ProcessWindowTest, MemoLinesAndLabelStatesOfARun) {
  ScratchDirectory dir;
  WriteWorkingDirectory(dir, ConfigValues{});
  BoxAnswerer boxes({QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok});
  Desktop d;
  const int widthBefore = d.form.width();
  ASSERT_TRUE(d.RunToEnd());

  const QStringList expected = {
      // "Material/Profile" in 18, then 12, 16, 12 and 14 columns.
      "Material/Profile   Parts   /Gr    Stocks   /Gr        Used       Utiliz.",
      // key in 18; 6, 6, 10, 6; then parts cut in 8, bars in 6, utilisation in 12.
      "Steel 40x40            4     1         3     1       4     2        100%",
      "Alu 30x30              3     1         1     1       3     1        100%",
      "  - Processed: 2 materials",
      "    - Checked: 3 materials",
  };
  EXPECT_EQ(d.form.MemoLines(), expected);

  // While the solver ran: "Wait please..." in red, no exit yet.
  EXPECT_EQ(d.progressWindow.waitTexts, (QStringList{"Wait please...", "Wait please..."}));
  EXPECT_EQ(d.progressWindow.waitColours, (QList<QColor>{kRedText, kRedText}));
  EXPECT_EQ(d.progressWindow.exitEnabled, (QList<bool>{false, false}));
  // After the run: idle label in grey, caption set, exit enabled, window
  // widened by the memo's points for each column above 16.
  EXPECT_EQ(d.form.WaitLabel()->text(), QStringLiteral("Process window"));
  EXPECT_EQ(d.form.WaitLabel()->palette().color(QPalette::WindowText), kGreyText);
  EXPECT_EQ(d.form.windowTitle(), QStringLiteral("Tarvolin - Velmora"));
  EXPECT_TRUE(d.form.CloseBut()->isEnabled());
  EXPECT_EQ(d.form.width(), widthBefore + d.form.MemoFontPoints() * 2);

  // The boxes of the run, in order, with the application title.
  const std::vector<BoxAnswerer::Seen>& seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].icon, QMessageBox::Question);
  EXPECT_EQ(seen[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(seen[0].text, QStringLiteral("Process files: \nQM_Orders.txt\nQM_Stocks.txt\n"
                                         "QM_OptSet.txt ?"));
  EXPECT_EQ(seen[1].icon, QMessageBox::Warning);
  EXPECT_EQ(seen[1].text, QStringLiteral("No stock length available for material: Wood 2x4"));
  EXPECT_EQ(seen[2].icon, QMessageBox::Information);
  EXPECT_EQ(seen[2].text, QStringLiteral("Report:  QM_Report.txt"));
  for (const BoxAnswerer::Seen& box : seen) {
    EXPECT_EQ(box.title, QStringLiteral("Tarvolin - Velmora"));
  }

  // Exit: the window closes and the program ends through OnWindowClosed.
  QTest::mouseClick(d.form.CloseBut(), Qt::LeftButton);
  EXPECT_TRUE(d.form.Closed());
  EXPECT_FALSE(d.form.isVisible());
  EXPECT_TRUE(d.toolkit.Terminating());
  EXPECT_EQ(d.app.Status(), kExitOk);
}

TEST(ProcessWindowTest, DoubleClickOnAMaterialLineOpensItsLayouts) {
  ScratchDirectory dir;
  WriteWorkingDirectory(dir, ConfigValues{});
  BoxAnswerer boxes({QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok});
  Desktop d;
  ASSERT_TRUE(d.RunToEnd());

  // Line 1 of the memo is Steel's.
  QPlainTextEdit* memo = d.form.ProcessMemo();
  const QTextBlock steel = memo->document()->findBlockByNumber(1);
  ASSERT_TRUE(steel.text().startsWith("Steel 40x40 "));
  QTest::mouseDClick(memo->viewport(), Qt::LeftButton, {},
                     memo->cursorRect(QTextCursor(steel)).center());
  EXPECT_EQ(memo->toolTip(), QStringLiteral("Double-click a material's line to see its layouts"));
  const QList<LayoutsWindow*> opened = LayoutsWindow::OpenWindows(d.form);
  ASSERT_EQ(opened.size(), 1);
  LayoutsWindow* window = opened.front();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Layouts - Steel 40x40"));
  // A second window opens a step below and right of the first.
  QWidget* second = d.form.OpenLayouts(steel.text());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->pos() - window->pos(), QPoint(32, 32));
  delete second;

  // Above the least width the drawing follows the window's width: twice
  // as wide, twice as high.
  QScrollArea* scroll = window->ScrollArea();
  window->resize(window->width() + 100, 300);
  const int narrow = window->DrawingHeight();
  window->resize(window->width() + scroll->viewport()->width(), 300);
  EXPECT_EQ(scroll->widget()->width(), scroll->viewport()->width());
  EXPECT_NEAR(window->DrawingHeight(), 2 * narrow, 2);
  EXPECT_GE(scroll->widget()->height(), window->DrawingHeight());

  // Lines that name no material with layouts open nothing: the heading,
  // the totals, and a material without stock (it has no memo line of its
  // own, but its key alone must not match either).
  for (const char* line : {"Material/Profile   Parts   /Gr", "  - Processed: 2 materials",
                           "Wood 2x4", "Steel 40x40x2      1"})
    EXPECT_EQ(d.form.OpenLayouts(line), nullptr) << line;
}

TEST(ProcessWindowTest, FirstPaintSchedulesTheBatchInsteadOfRunningIt) {
  ScratchDirectory dir;
  WriteWorkingDirectory(dir, ConfigValues{});
  BoxAnswerer boxes({QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok});
  Desktop d;
  QPaintEvent paint(d.form.rect());
  QApplication::sendEvent(&d.form, &paint);  // the paint handler, run at once
  EXPECT_TRUE(d.form.BatchScheduled());
  EXPECT_FALSE(d.form.Busy());
  EXPECT_TRUE(d.form.MemoLines().isEmpty());
  EXPECT_TRUE(boxes.Boxes().empty());
  // The event loop then runs it, once: later paints do nothing.
  ASSERT_TRUE(d.RunToEnd());
  const QStringList lines = d.form.MemoLines();
  QApplication::sendEvent(&d.form, &paint);
  QTest::qWait(20);
  EXPECT_EQ(d.form.MemoLines(), lines);
  EXPECT_EQ(boxes.Boxes().size(), 3u);
}

TEST(ProcessWindowTest, CancelledConfirmationEndsTheProgram) {
  ScratchDirectory dir;
  WriteWorkingDirectory(dir, ConfigValues{});
  BoxAnswerer boxes({QMessageBox::Cancel});
  Desktop d;
  ASSERT_TRUE(d.RunToEnd());
  EXPECT_TRUE(d.toolkit.Terminating());
  EXPECT_FALSE(d.form.CloseBut()->isEnabled());
  EXPECT_TRUE(d.form.MemoLines().isEmpty());  // nothing was processed
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
  d.app.OnWindowClosed();
  EXPECT_EQ(d.app.Status(), kExitCancelled);
}

TEST(ProcessWindowTest, HiddenWindowShowsPleaseWaitAndClosesItself) {
  ScratchDirectory dir;
  ConfigValues config;
  config.showWindow = 0;
  config.progressWindowMode = 0;
  WriteWorkingDirectory(dir, config);
  BoxAnswerer boxes({QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok});
  Desktop d;
  ASSERT_TRUE(d.RunToEnd());
  // Two materials solved, each with the please-wait window up while the
  // process window was hidden.
  EXPECT_EQ(d.pleaseWait.shownWithFormHidden, (QList<bool>{true, true}));
  EXPECT_EQ(d.pleaseWait.closes, 2);
  EXPECT_FALSE(d.pleaseWait.isVisible());
  EXPECT_TRUE(d.form.MemoLines().isEmpty());
  // The window closed itself, which ended the program through OnWindowClosed.
  EXPECT_TRUE(d.form.Closed());
  EXPECT_TRUE(d.toolkit.Terminating());
  EXPECT_EQ(d.app.Status(), kExitOk);
}

TEST(ProcessWindowTest, ClosingTheWindowDuringTheRunStopsIt) {
  ScratchDirectory dir;
  WriteWorkingDirectory(dir, ConfigValues{});
  // The operator closes the window instead of answering the first box.
  Desktop d;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (QApplication::activeModalWidget() == nullptr || !d.form.Busy()) return;
    closer.stop();
    d.form.close();
    QApplication::activeModalWidget()->close();
  });
  closer.start(5);
  ASSERT_TRUE(d.RunToEnd());
  EXPECT_TRUE(d.toolkit.Terminating());
  EXPECT_FALSE(d.form.Closed());  // refused while the batch ran
  EXPECT_TRUE(d.form.MemoLines().isEmpty());
  d.app.OnWindowClosed();
  EXPECT_EQ(d.app.Status(), kExitCancelled);
}

}  // namespace
}  // namespace tarvolin::desktop
