#include "qt_printer.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <cmath>
#include <string>
#include <vector>

#include "fixed_pitch_font.h"
#include "qt_test_support.h"

namespace tarvolin {
namespace {

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
  // The cell of the first label mode: round(PPI / 5 * 0.8) printer pixels.
  const int cell = static_cast<int>(std::lround(ppi / 5.0 * 0.8));
  ASSERT_TRUE(printer.Begin(LabelFont(cell)));
  EXPECT_TRUE(printer.Font().bold());
  // Whatever fonts the machine has: fixed pitch whenever any such font exists.
  EXPECT_TRUE(QFontInfo(printer.Font()).fixedPitch() || !AnyFixedPitchFontInstalled());
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

}  // namespace
}  // namespace tarvolin
