#include "progress_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "scripted_toolkit.h"
#include "tarvolin/cut_optimize.h"

namespace tarvolin::desktop {
namespace {

QColor TextColour(const QLabel* label) {
  return label->palette().color(QPalette::WindowText);
}

const QColor kBlue(0, 0, 255);
const QColor kNavy(0, 0, 128);
const QColor kGrey(128, 128, 128);

TEST(ProgressWindowTest, LooksAsDeclared) {
  ScriptedToolkit toolkit;
  ProgressWindow form(toolkit);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("KVSO Optimizer "));
  EXPECT_EQ(form.size(), QSize(272, 106));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
  EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMinMaxButtonsHint);

  struct LabelCase {
    QLabel* label;
    const char* name;
    const char* text;
    QColor colour;
  };
  for (const LabelCase& c :
       {LabelCase{form.ProgLab(), "ProgLab", "Optimizer Run...  ", kBlue},
        LabelCase{form.WaitLab(), "WaitLab", "Esc to abort", kBlue},
        LabelCase{form.TimeLab(), "TimeLab", "0 sec", kBlue},
        LabelCase{form.CritTimeLab(), "CritTimeLab", "Criterion / Time:", kGrey},
        LabelCase{form.CritTopLab(), "CritTopLab", "0", kNavy},
        LabelCase{form.TimeTopLab(), "TimeTopLab", "0 sec", kNavy}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.label->objectName(), QString::fromLatin1(c.name));
    EXPECT_EQ(c.label->text(), QString::fromLatin1(c.text));
    EXPECT_EQ(TextColour(c.label), c.colour);
  }
  EXPECT_TRUE(form.TimeLab()->alignment() & Qt::AlignRight);
  EXPECT_TRUE(form.TimeTopLab()->alignment() & Qt::AlignRight);
  EXPECT_EQ(form.TimeLab()->toolTip(), QStringLiteral("Clear packing time"));
  for (QProgressBar* bar : {form.MultiProgBar(), form.PackProgBar()}) {
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
  }
  // The run bar is the thin one below the full-width bar.
  EXPECT_LT(form.PackProgBar()->height(), form.MultiProgBar()->height());
  EXPECT_GT(form.PackProgBar()->y(), form.MultiProgBar()->y());
}

TEST(ProgressWindowTest, OpenShowsEscOnlyWhenOfferedAndResetsTheBars) {
  ScriptedToolkit toolkit;
  ProgressWindow form(toolkit);
  form.SetMultiPosition(70);
  form.SetPackPosition(30);
  form.OpenProgress(true);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.WaitLab()->isVisible());
  EXPECT_EQ(form.MultiProgBar()->value(), 0);
  EXPECT_EQ(form.PackProgBar()->value(), 0);
  form.CloseProgress();
  EXPECT_FALSE(form.isVisible());

  form.OpenProgress(false);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.WaitLab()->isVisible());
  form.CloseProgress();
}

TEST(ProgressWindowTest, DisplaysWhatTheSolverSets) {
  ScriptedToolkit toolkit;
  ProgressWindow form(toolkit);
  form.OpenProgress(false);
  form.SetMultiPosition(42);
  form.SetPackPosition(7);
  form.SetTimeText("12.3 sec");
  form.SetBestTexts("97.125", "4.5 sec");
  EXPECT_EQ(form.MultiProgBar()->value(), 42);
  EXPECT_EQ(form.PackProgBar()->value(), 7);
  EXPECT_EQ(form.TimeLab()->text(), QStringLiteral("12.3 sec"));
  EXPECT_EQ(form.CritTopLab()->text(), QStringLiteral("97.125"));
  EXPECT_EQ(form.TimeTopLab()->text(), QStringLiteral("4.5 sec"));

  // Fading: one step from navy is 0x810101 as 0xBBGGRR.
  form.SetBestColour(0x810101);
  EXPECT_EQ(TextColour(form.CritTopLab()), QColor(1, 1, 129));
  EXPECT_EQ(TextColour(form.TimeTopLab()), QColor(1, 1, 129));
  form.SetBestColour(0x800000);
  EXPECT_EQ(TextColour(form.CritTopLab()), kNavy);
  // The other labels keep their colours.
  EXPECT_EQ(TextColour(form.TimeLab()), kBlue);

  form.ShowErrorBox("Q5R: No any parts defined (#12).");
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].kind, BoxKind::Error);
  EXPECT_EQ(toolkit.boxes[0].text, "Q5R: No any parts defined (#12).");
  EXPECT_EQ(toolkit.boxes[0].buttons, BoxButtons::Ok);
  form.CloseProgress();
}

// A progress window that presses Esc (a real key event) at its first pump
// and records how far the whole-optimization bar got.
class EscPressingForm final : public ProgressWindow {
 public:
  using ProgressWindow::ProgressWindow;
  void OpenProgress(bool showEsc) override {
    ProgressWindow::OpenProgress(showEsc);
    escVisible = WaitLab()->isVisible();
  }
  void SetMultiPosition(int position) override {
    ProgressWindow::SetMultiPosition(position);
    highestMulti = std::max(highestMulti, position);
  }
  void PumpMessages() override {
    if (pumps++ == 0) {
      QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape,
                                                      Qt::NoModifier, QString(QChar(27))));
    }
    ProgressWindow::PumpMessages();
  }
  int pumps = 0;
  int highestMulti = 0;
  bool escVisible = false;
};

struct SearchResult {
  int32_t error = 0;
  int32_t partsCut = 0;
  int32_t stockUsed = 0;
  int16_t partItStock[102] = {};
  int16_t stockItLay[102] = {};
};

// 20 part groups of 5 pieces on three stock lengths: a search of many runs.
SearchResult Search(int32_t progressWindowMode) {
  int32_t stockLth[12] = {3, 600000, 500000, 400000, 555};
  int32_t stockCst[12] = {3, 0, 0, 0, 555};
  int16_t stockQty[12] = {3, 40, 30, 30, 555};
  int32_t partLth[22] = {20};
  int32_t partMrk[22] = {20};
  int16_t partQty[22] = {20};
  for (int g = 1; g <= 20; ++g) {
    partLth[g] = 30000 + ((g * 7919) % 20) * 12500 + g * 130;
    partMrk[g] = 0;
    partQty[g] = 5;
  }
  partLth[21] = partMrk[21] = partQty[21] = 777;

  SearchResult r;
  int32_t msgs = 0;
  int32_t crit = 0, util = 0, lth = 0, waste = 0, cost = 0, lastStock = 0, lastParts = 0;
  int32_t lastLth = 0, lastWaste = 0, lastCost = 0, patterns = 0, layouts = 0, cuts = 0;
  int32_t res1 = 0, res2 = 0;
  int16_t stockItGr[102] = {}, partItGr[102] = {}, stockItPat[102] = {}, stockItParts[102] = {};
  int32_t stockItWaste[102] = {};
  CutOptimize(&r.error, &msgs, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, progressWindowMode, 0,
              stockLth, stockCst, stockQty, partLth, partMrk, partQty, &crit, &util, &r.stockUsed,
              &r.partsCut, &lth, &waste, &cost, &lastStock, &lastParts, &lastLth, &lastWaste,
              &lastCost, &patterns, &layouts, &cuts, &res1, &res2, stockItGr, partItGr,
              r.partItStock, r.stockItLay, stockItPat, stockItParts, stockItWaste);
  return r;
}

// A material the exact method plans alone: the time beside the run's bar,
// the bound and the best plan under "Bound / Best:", a dash while unknown;
// Esc asks it to stop only while offered.
TEST(ProgressWindowTest, ShowsThePlanningOfALargeMaterial) {
  ScriptedToolkit toolkit;
  ProgressWindow form(toolkit);
  form.OpenPlanProgress(true);
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(form.WaitLab()->isVisible());
  EXPECT_EQ(form.CritTimeLab()->text(), QStringLiteral("Bound / Best:"));
  EXPECT_EQ(form.TimeLab()->text(), QStringLiteral("0.0 sec"));
  EXPECT_EQ(form.CritTopLab()->text(), QStringLiteral("-"));
  EXPECT_EQ(form.TimeTopLab()->text(), QStringLiteral("-"));
  form.ShowPlanProgress({40, "4.0 sec", "12000.00", "12600.50"});
  EXPECT_EQ(form.MultiProgBar()->value(), 40);
  EXPECT_EQ(form.TimeLab()->text(), QStringLiteral("4.0 sec"));
  EXPECT_EQ(form.CritTopLab()->text(), QStringLiteral("12000.00"));
  EXPECT_EQ(form.TimeTopLab()->text(), QStringLiteral("12600.50"));
  EXPECT_FALSE(form.PlanStopRequested());
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &esc);
  EXPECT_TRUE(form.PlanStopRequested());
  form.ClosePlanProgress();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.CritTimeLab()->text(), QStringLiteral("Criterion / Time:"));

  form.OpenPlanProgress(false);
  EXPECT_FALSE(form.WaitLab()->isVisible());
  QCoreApplication::sendEvent(&form, &esc);
  EXPECT_FALSE(form.PlanStopRequested());
  form.ClosePlanProgress();
}

TEST(ProgressWindowEscTest, EscEndsTheSearchAndTheBestPlanIsKept) {
  ScriptedToolkit toolkit;
  EscPressingForm form(toolkit);
  solver::SetCutOptimizeView(&form);
  const SearchResult r = Search(2);
  solver::SetCutOptimizeView(nullptr);

  EXPECT_TRUE(form.escVisible);
  EXPECT_EQ(r.error, 0);
  EXPECT_LT(form.highestMulti, 100);  // the search stopped early
  // A complete plan: every one of the 100 pieces on a used bar.
  EXPECT_EQ(r.partsCut, 100);
  ASSERT_EQ(r.partItStock[0], 100);
  EXPECT_EQ(r.partItStock[101], 1332);
  for (int i = 1; i <= 100; ++i) {
    const int bar = r.partItStock[i];
    ASSERT_GE(bar, 1) << "piece " << i;
    EXPECT_GT(r.stockItLay[bar], 0) << "piece " << i;
  }
  EXPECT_GT(r.stockUsed, 0);
  EXPECT_FALSE(form.isVisible());  // the window closes with the call
}

TEST(ProgressWindowEscTest, WithoutEscOfferedTheKeyDoesNotStopTheSearch) {
  ScriptedToolkit toolkit;
  EscPressingForm form(toolkit);
  solver::SetCutOptimizeView(&form);
  const SearchResult r = Search(1);
  solver::SetCutOptimizeView(nullptr);

  EXPECT_FALSE(form.escVisible);
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(form.highestMulti, 100);
  EXPECT_EQ(r.partsCut, 100);
}

}  // namespace
}  // namespace tarvolin::desktop
