#include <gtest/gtest.h>

#include <sstream>

#include "batch_controller.h"
#include "console_views.h"
#include "desktop_fixture.h"
#include "label_writer.h"
#include "qt_printer.h"
#include "scripted_toolkit.h"

namespace tarvolin {
namespace {

using testing::ConfigValues;
using testing::PdfPageCount;
using testing::ScratchDirectory;

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
  config.progressWindowMode = 0;
  config.labelPrintMode = mode;
  dir.Write("QM_Config.txt", testing::ConfigLines(config));
  dir.Write("QM_OptSet.txt", testing::OptSetLines());
  dir.Write("QM_Orders.txt", orderLines);
  dir.Write("QM_Stocks.txt", stockLines);

  ScriptedToolkit toolkit;
  toolkit.answers = {BoxResult::Ok, BoxResult::Yes};  // files, label printing
  toolkit.defaultAnswer = BoxResult::Ok;
  std::ostringstream memo, messages;
  ConsoleProcessView view(memo);
  ConsolePleaseWait pleaseWait(messages);
  const std::string pdf = (dir.Path() / (pdfWritable ? "" : "missing") / "labels.pdf").string();
  PrintRun result{};
  {
    QtPrinter printer(pdf);
    BatchController app(toolkit, view, pleaseWait, &printer, {});
    app.OnStartUp();
    app.OnFirstPaint();
    app.OnWindowClosed();
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
