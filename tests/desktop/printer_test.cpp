#include <gtest/gtest.h>

#include <QFontInfo>
#include <cmath>
#include <sstream>

#include "console_views.h"
#include "desktop_fixture.h"
#include "label_writer.h"
#include "qm5r_main.h"
#include "qt_printer.h"
#include "scripted_toolkit.h"

namespace tarvolin {
namespace {

using testing::ConfigValues;
using testing::PdfPageCount;
using testing::ScratchDirectory;

PrinterSetup LabelFont(int cellHeight) {
  PrinterSetup setup;
  setup.fontName = "Courier New";
  setup.fixedPitch = true;
  setup.bold = true;
  setup.cellHeight = cellHeight;
  return setup;
}

struct PageCase {
  const char* name;
  std::vector<const char*> jobs;  // per job: 'L' a line, 'F' a form feed
  int pages;
};

class QtPrinterPagesTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(QtPrinterPagesTest, FormFeedsAndJobsMakePages) {
  ScratchDirectory dir;
  const std::string pdf = (dir.Path() / "labels.pdf").string();
  {
    QtPrinter printer(pdf);
    for (const char* job : GetParam().jobs) {
      ASSERT_TRUE(printer.Begin(LabelFont(100)));
      for (const char* op = job; *op != '\0'; ++op) {
        ASSERT_TRUE(*op == 'L' ? printer.WriteLine("Page 1") : printer.FormFeed());
      }
      ASSERT_TRUE(printer.End());
    }
    ASSERT_TRUE(printer.Finish());
  }
  EXPECT_EQ(PdfPageCount(dir.Read("labels.pdf")), GetParam().pages);
}

INSTANTIATE_TEST_SUITE_P(Sequences, QtPrinterPagesTest,
                         ::testing::Values(PageCase{"LinesOnly", {"LLL"}, 1},
                                           PageCase{"FormFeedBetween", {"LFL"}, 2},
                                           // The new page starts with the next line only.
                                           PageCase{"TrailingFormFeed", {"LLF"}, 1},
                                           PageCase{"TwoFormFeeds", {"LFLFL"}, 3},
                                           // Every job starts on a new page.
                                           PageCase{"TwoJobs", {"LL", "LL"}, 2},
                                           PageCase{"JobAfterTrailingFormFeed", {"LF", "L"}, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QtPrinterTest, LongJobContinuesOnANewPage) {
  ScratchDirectory dir;
  const std::string pdf = (dir.Path() / "long.pdf").string();
  {
    QtPrinter printer(pdf);
    // Lines of a fifth of an inch: far more than one page holds.
    ASSERT_TRUE(printer.Begin(LabelFont(printer.VerticalResolution() / 5)));
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(printer.WriteLine("line"));
    ASSERT_TRUE(printer.End());
  }
  EXPECT_GE(PdfPageCount(dir.Read("long.pdf")), 2);
}

TEST(QtPrinterTest, FontIsFixedPitchBoldWithTheCellHeight) {
  ScratchDirectory dir;
  QtPrinter printer((dir.Path() / "font.pdf").string());
  const int ppi = printer.VerticalResolution();
  ASSERT_GT(ppi, 0);
  // Mode 1 asks for a cell of round(PPI / 5 * 0.8) printer pixels.
  const int cell = static_cast<int>(std::lround(ppi / 5.0 * 0.8));
  const PrinterSetup setup = LabelPrinterSetup(1, ppi);
  EXPECT_EQ(setup.cellHeight, cell);
  ASSERT_TRUE(printer.Begin(setup));
  EXPECT_TRUE(printer.Font().bold());
  EXPECT_TRUE(QFontInfo(printer.Font()).fixedPitch());
  EXPECT_GE(printer.LineHeight(), cell - 2);
  EXPECT_LE(printer.LineHeight(), cell + cell / 5);
  EXPECT_TRUE(printer.End());
}

TEST(QtPrinterTest, PrinterThatCannotBeOpenedFails) {
  ScratchDirectory dir;
  QtPrinter printer((dir.Path() / "missing" / "labels.pdf").string());
  EXPECT_FALSE(printer.Begin(LabelFont(100)));
  EXPECT_FALSE(printer.WriteLine("Page 1"));
  EXPECT_FALSE(printer.FormFeed());
  EXPECT_FALSE(printer.End());
}

// A whole batch with label printing into a PDF file.
struct PrintRun {
  ExitStatus status;
  int pages;
  std::string errorLog;
};

PrintRun RunWithLabels(int mode, const std::vector<std::string>& orderLines,
                       const std::vector<std::string>& stockLines, bool pdfWritable = true) {
  ScratchDirectory dir;
  ConfigValues config;
  config.runMsgMode = 0;
  config.printLabels = mode;
  dir.Write("QM_Config.txt", testing::ConfigLines(config));
  dir.Write("QM_OptSet.txt", testing::OptSetLines());
  dir.Write("QM_Orders.txt", orderLines);
  dir.Write("QM_Stocks.txt", stockLines);

  ScriptedToolkit toolkit;
  toolkit.answers = {BoxResult::Ok, BoxResult::Yes};  // files, label printing
  toolkit.defaultAnswer = BoxResult::Ok;
  std::ostringstream memo, messages;
  ConsoleProcessView view(memo);
  ConsoleWaitMsg waitMsg(messages);
  const std::string pdf = (dir.Path() / (pdfWritable ? "" : "missing") / "labels.pdf").string();
  PrintRun result{};
  {
    QtPrinter printer(pdf);
    Qm5rMain app(toolkit, view, waitMsg, &printer, {});
    app.FormCreate();
    app.FormPaint();
    app.FormClose();
    result.status = app.Status();
  }
  result.pages = PdfPageCount(dir.Read("labels.pdf"));
  result.errorLog = dir.Read("QM^ErrLog.txt");
  return result;
}

struct LabelPagesCase {
  const char* name;
  int mode;
  int pieces;
  int pages;
};

class LabelPrintingTest : public ::testing::TestWithParam<LabelPagesCase> {};

// Mode 1 puts 12 rows of three labels on a page, mode 2 puts 10 rows.
TEST_P(LabelPrintingTest, PagesOfOneMaterial) {
  const LabelPagesCase& c = GetParam();
  const PrintRun run = RunWithLabels(
      c.mode, {"Material Profile Length Qty", "Steel 40x40 1000 " + std::to_string(c.pieces)},
      {"Material Profile Length Qty", "Steel 40x40 6000 10"});
  EXPECT_EQ(run.status, kExitOk) << run.errorLog;
  EXPECT_EQ(run.pages, c.pages);
}

INSTANTIATE_TEST_SUITE_P(Modes, LabelPrintingTest,
                         ::testing::Values(LabelPagesCase{"Mode1Pieces37", 1, 37, 2},
                                           LabelPagesCase{"Mode1Pieces36", 1, 36, 1},
                                           LabelPagesCase{"Mode1Pieces4", 1, 4, 1},
                                           LabelPagesCase{"Mode2Pieces37", 2, 37, 2},
                                           LabelPagesCase{"Mode2Pieces30", 2, 30, 1},
                                           LabelPagesCase{"Mode2Pieces31", 2, 31, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LabelPrintingRunTest, EveryMaterialStartsOnANewPage) {
  const PrintRun run =
      RunWithLabels(1, {"Material Profile Length Qty", "Steel 40x40 1000 4", "Alu 30x30 1000 4"},
                    {"Material Profile Length Qty", "Steel 40x40 6000 2", "Alu 30x30 6000 2"});
  EXPECT_EQ(run.status, kExitOk) << run.errorLog;
  EXPECT_EQ(run.pages, 2);
}

TEST(LabelPrintingRunTest, PrinterThatCannotBeOpenedEndsTheRunWithAnError) {
  const PrintRun run = RunWithLabels(1, {"Material Profile Length Qty", "Steel 40x40 1000 4"},
                                     {"Material Profile Length Qty", "Steel 40x40 6000 2"}, false);
  EXPECT_EQ(run.status, kExitError);
  EXPECT_NE(run.errorLog.find(LabelStatusMessage(LabelStatus::kPrinterOpenFailed)),
            std::string::npos)
      << run.errorLog;
}

}  // namespace
}  // namespace tarvolin
