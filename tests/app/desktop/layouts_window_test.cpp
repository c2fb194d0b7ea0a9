#include "layouts_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest/QTest>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "layout_pdf.h"
#include "plan_fixtures.h"
#include "printer.h"
#include "qt_printer.h"
#include "qt_test_support.h"
#include "scripted_toolkit.h"
#include "text_file.h"

namespace tarvolin::desktop {
namespace {

namespace fs = std::filesystem;
using plan::testing_support::ReadFile;
using plan::testing_support::SampleRun;
using plan::testing_support::SteelInput;
using testing::ScratchDirectory;

bool HavePdfToText() {
  return std::system("pdftotext -v >/dev/null 2>&1") == 0;
}

// The text of every page of a PDF with its page number taken out, so that
// pages of one material compare equal wherever they stand in a document.
std::vector<std::string> PageTexts(const std::string& pdf) {
  const std::string txt = pdf + ".txt";
  const std::string command = "pdftotext -enc UTF-8 '" + pdf + "' '" + txt + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  static const std::regex pageNumber("Page [0-9]+");
  std::vector<std::string> pages;
  const std::string text = ReadFile(txt);
  size_t start = 0;
  for (size_t ff; (ff = text.find('\f', start)) != std::string::npos; start = ff + 1)
    pages.push_back(std::regex_replace(text.substr(start, ff - start), pageNumber, "Page"));
  return pages;
}

plan::MaterialPlan Steel() {
  return plan::BuildMaterialPlan(SteelInput());
}

plan::MaterialPlan Alu() {
  plan::MaterialPlanInput in = SteelInput();
  in.materialKey = "ALU 20x20";
  in.kerf = 320;
  return plan::BuildMaterialPlan(in);
}

std::string AbsolutePath(const ScratchDirectory& dir, const std::string& name) {
  return (dir.Path() / name).string();
}

TEST(LayoutsWindowTest, TextStaysReadableInANarrowWindowWhichScrollsInstead) {
  ScriptedToolkit toolkit;
  LayoutsWindow window(SampleRun(), Steel(), toolkit);
  window.show();
  const double least = window.MinimumTextPixels();
  EXPECT_GE(least, kMinimumTextPoints * window.logicalDpiY() / 72.0 - 1e-9);

  // Narrow: the smallest text keeps the least size, the drawing is wider
  // than the window shows, and the window scrolls sideways.
  window.resize(300, 300);
  QApplication::processEvents();
  QScrollArea* scroll = window.ScrollArea();
  EXPECT_NEAR(window.SmallestTextPixels(), least, 0.02 * least);
  EXPECT_GT(scroll->widget()->width(), scroll->viewport()->width());
  EXPECT_GT(scroll->horizontalScrollBar()->maximum(), 0);
  const int narrowHeight = scroll->widget()->height();

  // Wide: zoomed to the window's width, larger text, nothing to scroll sideways.
  window.resize(2000, 300);
  QApplication::processEvents();
  EXPECT_EQ(scroll->widget()->width(), scroll->viewport()->width());
  EXPECT_GT(window.SmallestTextPixels(), least);
  EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
  EXPECT_GT(scroll->widget()->height(), narrowHeight);
}

TEST(LayoutsWindowTest, OpensWideEnoughForTheLeastTextSizeWithTheButtons) {
  ScriptedToolkit toolkit;
  LayoutsWindow window(SampleRun(), Steel(), toolkit);
  window.show();
  QApplication::processEvents();
  EXPECT_EQ(window.ScrollArea()->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(window.PrintButton()->text(), QStringLiteral("Print"));
  EXPECT_EQ(window.ExportButton()->text(), QStringLiteral("Export PDF"));
}

class LayoutsExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HavePdfToText()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  }
  ScratchDirectory dir;
  ScriptedToolkit toolkit;
};

// The export holds the pages the layouts file has for that material.
TEST_F(LayoutsExportTest, ExportWritesTheMaterialsPagesOfTheLayoutsFile) {
  const std::string layouts = AbsolutePath(dir, "QM_Layouts1.pdf");
  ASSERT_EQ(plan::WriteLayoutPdf(layouts, SampleRun(), {Steel(), Alu()}), "");
  const std::vector<std::string> filePages = PageTexts(layouts);
  ASSERT_EQ(filePages.size(), 2u);

  const std::string exported = AbsolutePath(dir, "alu.pdf");
  toolkit.fileAnswers.push_back(exported);
  LayoutsWindow window(SampleRun(), Alu(), toolkit, nullptr, {"QM_Layouts1.pdf"});
  QTest::mouseClick(window.ExportButton(), Qt::LeftButton);

  ASSERT_EQ(toolkit.fileDialogs.size(), 1u);
  const FileDialogRequest& request = toolkit.fileDialogs[0];
  EXPECT_EQ(request.title, "Export PDF");
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.fileName, "Layouts ALU 20x20.pdf");
  EXPECT_EQ(request.defaultSuffix, "pdf");
  EXPECT_TRUE(toolkit.boxes.empty());
  EXPECT_EQ(ReadFile(exported).substr(0, 5), "%PDF-");
  EXPECT_EQ(PageTexts(exported), std::vector<std::string>{filePages[1]});
  EXPECT_FALSE(fs::exists(TextOutFile::TemporaryPath(exported)));
}

TEST_F(LayoutsExportTest, CancelledDialogWritesNothing) {
  LayoutsWindow window(SampleRun(), Steel(), toolkit);
  EXPECT_FALSE(window.ExportPdf());
  EXPECT_EQ(toolkit.fileDialogs.size(), 1u);
  EXPECT_TRUE(toolkit.boxes.empty());
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

// The dialog names files absolutely, the run relatively to its directory:
// either way a file of the run is refused with the batch's message, and
// so is a name whose temporary would be one.
TEST_F(LayoutsExportTest, FilesOfTheRunAreNotReplaced) {
  dir.Write("QM_Orders1.txt", {"STEEL 40x40 2500 4 A1"});
  const std::string order = ReadFile(AbsolutePath(dir, "QM_Orders1.txt"));
  const std::vector<std::string> runFiles = {"QM_Orders1.txt", "QM_Stocks1.txt",
                                             "QM_Layouts1.pdf.tmp"};
  for (const char* name : {"QM_Orders1.txt", "QM_Layouts1.pdf"}) {
    toolkit.fileAnswers.push_back(AbsolutePath(dir, name));
    toolkit.boxes.clear();
    LayoutsWindow window(SampleRun(), Steel(), toolkit, nullptr, runFiles);
    EXPECT_FALSE(window.ExportPdf()) << name;
    ASSERT_EQ(toolkit.boxes.size(), 1u) << name;
    EXPECT_EQ(toolkit.boxes[0].kind, BoxKind::Error);
    const std::string written = AbsolutePath(dir, name);
    const std::string other = std::string(name) == "QM_Orders1.txt"
                                  ? std::string("QM_Orders1.txt")
                                  : std::string("QM_Layouts1.pdf.tmp");
    const std::string path =
        std::string(name) == "QM_Orders1.txt" ? written : TextOutFile::TemporaryPath(written);
    EXPECT_EQ(toolkit.boxes[0].text, "Output file would overwrite a file of this run:\r" + path +
                                         "\rSame file as: " + other);
  }
  EXPECT_EQ(ReadFile(AbsolutePath(dir, "QM_Orders1.txt")), order);
  EXPECT_FALSE(fs::exists(AbsolutePath(dir, "QM_Layouts1.pdf")));
}

TEST_F(LayoutsExportTest, UnwritableFileIsReported) {
  toolkit.fileAnswers.push_back(AbsolutePath(dir, "missing/alu.pdf"));
  LayoutsWindow window(SampleRun(), Alu(), toolkit);
  EXPECT_FALSE(window.ExportPdf());
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].kind, BoxKind::Error);
  const std::string& text = toolkit.boxes[0].text;
  EXPECT_EQ(text.rfind("The layouts could not be exported:\rcannot ", 0), 0u) << text;
  EXPECT_NE(text.find(AbsolutePath(dir, "missing/alu.pdf")), std::string::npos) << text;
}

// Print draws the same pages on the printer; printing into a PDF file they
// follow the labels printed before.
TEST_F(LayoutsExportTest, PrintDrawsTheSamePagesAfterTheJobsBefore) {
  const std::string exported = AbsolutePath(dir, "steel.pdf");
  toolkit.fileAnswers.push_back(exported);
  const std::string printed = AbsolutePath(dir, "printed.pdf");
  {
    QtPrinter printer(printed);
    ASSERT_TRUE(printer.Begin({"Courier New", true, true, 100}));
    ASSERT_TRUE(printer.WriteLine("label of a piece"));
    ASSERT_TRUE(printer.End());
    LayoutsWindow window(SampleRun(), Steel(), toolkit, &printer);
    ASSERT_TRUE(window.ExportPdf());
    QTest::mouseClick(window.PrintButton(), Qt::LeftButton);
    EXPECT_TRUE(toolkit.boxes.empty());
    ASSERT_TRUE(printer.Finish());
  }
  std::vector<std::string> pages = PageTexts(printed);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_NE(pages[0].find("label of a piece"), std::string::npos);
  pages.erase(pages.begin());
  EXPECT_EQ(pages, PageTexts(exported));
}

TEST_F(LayoutsExportTest, PrinterThatCannotDrawIsReported) {
  RecordingPrinter printer;  // a text device only
  LayoutsWindow window(SampleRun(), Steel(), toolkit, &printer);
  EXPECT_FALSE(window.Print());
  ASSERT_EQ(toolkit.boxes.size(), 1u);
  EXPECT_EQ(toolkit.boxes[0].text,
            "The layouts could not be printed: no printer could be opened, or the printer "
            "failed.");
}

}  // namespace
}  // namespace tarvolin::desktop
