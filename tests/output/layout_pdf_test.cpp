#include "layout_pdf.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "layout_diagram.h"
#include "plan_fixtures.h"

namespace tarvolin::plan {
namespace {

using testing_support::ReadFile;
using testing_support::SampleRun;
using testing_support::SteelInput;
using testing_support::TempPath;

bool HavePdfToText() {
  return std::system("pdftotext -v >/dev/null 2>&1") == 0;
}

// The text of every page of a PDF, in page order.
std::vector<std::string> PageTexts(const std::string& pdf) {
  const std::string txt = pdf + ".txt";
  const std::string command = "pdftotext -enc UTF-8 '" + pdf + "' '" + txt + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::vector<std::string> pages;
  std::string text = ReadFile(txt);
  size_t start = 0;
  for (size_t ff; (ff = text.find('\f', start)) != std::string::npos; start = ff + 1)
    pages.push_back(text.substr(start, ff - start));
  return pages;
}

int SumOfBarCounts(const std::string& text) {
  static const std::regex times("\u00d7\\s*([0-9]+)");
  int sum = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), times), end; it != end; ++it)
    sum += std::stoi((*it)[1]);
  return sum;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// One bar per pattern: 30 layouts of a single 1000.00 piece on 6000.00.
MaterialPlanInput ManyLayouts() {
  MaterialPlanInput in;
  in.materialKey = "BIG";
  in.partGroups = {{100000, "", 30, 2}};
  in.stockGroups = {{600000, 0, 30}};
  for (int i = 1; i <= 30; ++i) {
    in.barGroup.push_back(1);
    in.barLayout.push_back(i);
    in.barPattern.push_back(i);
    in.barPieceCount.push_back(1);
    in.barWaste.push_back(500000);
    in.pieceGroup.push_back(1);
    in.pieceBar.push_back(i);
  }
  return in;
}

class LayoutPdfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HavePdfToText()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  }
};

TEST_F(LayoutPdfTest, SmallOrderShowsEveryPieceAndTheBarCounts) {
  const MaterialPlanInput input = SteelInput();
  const MaterialPlan steel = BuildMaterialPlan(input);
  const MaterialPlan failed =
      FailedMaterialPlan("ALU 20x20", "heuristic", input.partGroups,
                         {PlanError::Kind::kSolver, 21, "Solver reports error 21"});
  const std::string path = TempPath("small.pdf");
  ASSERT_EQ(WriteLayoutPdf(path, SampleRun(), {steel, failed}), "");

  const std::vector<std::string> pages = PageTexts(path);
  ASSERT_EQ(pages.size(), 2u);  // every material from a new page
  const std::string& first = pages[0];
  for (const char* part : {"STEEL 40x40", "2500.00", "1200.50", "800.00", "A1", "B-22",
                           "QM_Orders1.txt", "QM_Stocks1.txt", "Layout 1", "Layout L2"})
    EXPECT_TRUE(Contains(first, part)) << part << " missing from\n" << first;
  EXPECT_EQ(SumOfBarCounts(first), steel.figures.barsUsed);
  EXPECT_TRUE(Contains(first, "87.51 %"));
  EXPECT_TRUE(Contains(pages[1], "Solver reports error 21"));
  EXPECT_EQ(SumOfBarCounts(pages[1]), 0);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(LayoutPdfTest, LayoutsFlowOverPagesAndMaterialsStartANewPage) {
  const MaterialPlan big = BuildMaterialPlan(ManyLayouts());
  const MaterialPlan steel = BuildMaterialPlan(SteelInput());
  const std::string path = TempPath("many.pdf");
  LayoutPdf pdf(path);
  ASSERT_TRUE(pdf.Ok()) << pdf.Error();
  pdf.AddMaterial(SampleRun(), big);
  const int bigPages = pdf.PageCount();
  pdf.AddMaterial(SampleRun(), steel);
  ASSERT_TRUE(pdf.Finish()) << pdf.Error();

  const std::vector<std::string> pages = PageTexts(path);
  ASSERT_EQ(static_cast<int>(pages.size()), pdf.PageCount());
  ASSERT_GE(bigPages, 2);
  int bars = 0;
  for (int p = 0; p < bigPages; ++p) {
    bars += SumOfBarCounts(pages[p]);
    EXPECT_FALSE(Contains(pages[p], "STEEL")) << "page " << p + 1;
  }
  EXPECT_EQ(bars, 30);
  EXPECT_TRUE(Contains(pages[bigPages], "Mater/Sect: STEEL 40x40"));
  EXPECT_TRUE(Contains(pages[bigPages], "Layout 1"));
}

TEST_F(LayoutPdfTest, NarrowPieceTextIsListedBesideTheBar) {
  MaterialPlanInput input = SteelInput();
  input.partGroups[2] = {1000, "N7", 2, 5};  // 10.00 on 6000.00: far too narrow for its text
  const std::string path = TempPath("narrow.pdf");
  ASSERT_EQ(WriteLayoutPdf(path, SampleRun(), {BuildMaterialPlan(input)}), "");
  const std::string text = PageTexts(path).at(0);
  EXPECT_TRUE(Contains(text, "1: 10.00 N7")) << text;
}

TEST(LayoutPdf, UnwritablePathIsReported) {
  LayoutPdf pdf("/nonexistent-dir/layouts.pdf");
  EXPECT_FALSE(pdf.Ok() && pdf.Finish());
  EXPECT_FALSE(pdf.Error().empty());
}

// The diagram draws onto any painter: on an image, bars keep to one scale.
TEST(MaterialDiagram, BarsAreDrawnToScaleOnAnyPainter) {
  const PlanRun run = SampleRun();
  const MaterialPlan plan = BuildMaterialPlan(SteelInput());
  const DiagramStyle style;
  const MaterialDiagram diagram(run, plan, style);
  const double width = 500;
  const double scale = 2;
  QImage image(static_cast<int>(width * scale), static_cast<int>(diagram.Height(width) * scale),
               QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.scale(scale, scale);
    diagram.Draw(painter, QRectF(0, 0, width, diagram.Height(width)));
  }
  // The middle of each layout's bar, in image pixels.
  auto barMiddle = [&](int block) {
    double top = 0;
    for (int b = 0; b < block; ++b) top += diagram.BlockHeight(b, width);
    const double bottom = top + diagram.BlockHeight(block, width) - style.blockGap;
    return static_cast<int>((bottom - style.barHeight / 2) * scale);
  };
  auto colourAt = [&](double share, int y) {
    return image.pixelColor(static_cast<int>(share * width * scale), y);
  };
  // Layout 1 (6000.00): the first piece covers the first 2500 / 6000.
  EXPECT_EQ(colourAt(0.2, barMiddle(1)), style.pieceFill);
  // Layout L2 (4000.00): its offcut starts after 2411.00 (0.40 of the
  // width, left of the offcut's label) and the bar ends at two thirds.
  EXPECT_EQ(colourAt(0.43, barMiddle(2)), style.offcutFill);
  EXPECT_EQ(colourAt(0.8, barMiddle(2)), QColor(Qt::white));
}

// One 2000.00 piece on a 6000.00 bar with an end zone of 1000.00: the
// waste runs from 2000.00 to 5000.00, the end zone from there to the end.
TEST(MaterialDiagram, RemainderEndsWhereTheEndZoneBegins) {
  MaterialPlanInput in;
  in.materialKey = "END";
  in.partGroups = {{200000, "", 1, 2}};
  in.stockGroups = {{600000, 0, 1}};
  in.barGroup = {1};
  in.barLayout = {1};
  in.barPattern = {1};
  in.barPieceCount = {1};
  in.barWaste = {400000};
  in.pieceGroup = {1};
  in.pieceBar = {1};
  in.endZone = 100000;
  const MaterialPlan plan = BuildMaterialPlan(in);
  DiagramStyle style;
  style.endZoneFill = QColor(0xff, 0, 0);  // a colour nothing else uses
  const PlanRun run = SampleRun();         // the diagram keeps references to run and plan
  const MaterialDiagram diagram(run, plan, style);
  const int width = 600;
  QImage image(width, static_cast<int>(diagram.Height(width)) + 1, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    diagram.Draw(painter, QRectF(0, 0, width, diagram.Height(width)));
  }
  const double top = diagram.BlockHeight(0, width);
  const int y =
      static_cast<int>(top + diagram.BlockHeight(1, width) - style.blockGap - style.barHeight / 4);
  int first = -1, last = -1;
  for (int x = 0; x < width; ++x) {
    if (image.pixelColor(x, y) != style.endZoneFill) continue;
    if (first < 0) first = x;
    last = x;
  }
  // 5000 / 6000 and 6000 / 6000 of the width, give or take the bar's border.
  EXPECT_NEAR(first, 500, 2);
  EXPECT_NEAR(last, 600, 2);
  EXPECT_NE(image.pixelColor(497, y), style.endZoneFill);
  EXPECT_EQ(plan.layouts[0].remainder, 400000);  // the end zone included
}

}  // namespace
}  // namespace tarvolin::plan

namespace tarvolin::plan {
namespace {

// Six equal pieces too narrow for their text, side by side on one bar: one
// legend entry for the run. The kerf and the end zone, drawn wider than
// they are when they are thin, say their true lengths in the legend.
TEST_F(LayoutPdfTest, EqualNarrowPiecesShareOneEntryAndTheLegendGivesKerfAndEndZone) {
  MaterialPlanInput in;
  in.materialKey = "ALU 20x20";
  in.method = "heuristic";
  in.partGroups = {{1000, "N7", 6, 2}, {300000, "", 1, 3}};
  in.stockGroups = {{600000, 0, 1}};
  in.barGroup = {1};
  in.barLayout = {1};
  in.barPattern = {1};
  in.barPieceCount = {7};
  in.barWaste = {600000 - 306000};
  in.pieceGroup = {1, 1, 1, 1, 1, 1, 2};
  in.pieceBar = {1, 1, 1, 1, 1, 1, 1};
  in.kerf = 320;
  in.endZone = 1500;
  const std::string path = TempPath("grouped.pdf");
  ASSERT_EQ(WriteLayoutPdf(path, SampleRun(), {BuildMaterialPlan(in)}), "");
  const std::string text = PageTexts(path).at(0);
  EXPECT_TRUE(Contains(text, "1-6: 6 \u00d7 10.00 N7")) << text;
  EXPECT_FALSE(Contains(text, "2: 10.00 N7")) << text;
  EXPECT_TRUE(Contains(text, "Kerf 3.20")) << text;
  EXPECT_TRUE(Contains(text, "End zone 15.00")) << text;
}

}  // namespace
}  // namespace tarvolin::plan

namespace tarvolin::plan {
namespace {

// One 6000.00 bar with 3000.00, 1400.00 and 1000.00 (listed longest first),
// 600.00 left over. With a gripping length of 1200.00 the remainder cannot
// be gripped, so the shortest piece at least 1200.00 long, the 1400.00, is
// cut last and marked; without one the pieces stand as listed.
MaterialPlanInput GripInput(int32_t gripLength) {
  MaterialPlanInput in;
  in.materialKey = "ALU 50x20";
  in.method = "heuristic";
  in.partGroups = {{300000, "", 1, 2}, {140000, "", 1, 3}, {100000, "", 1, 4}};
  in.stockGroups = {{600000, 0, 1}};
  in.barGroup = {1};
  in.barLayout = {1};
  in.barPattern = {1};
  in.barPieceCount = {3};
  in.barWaste = {60000};
  in.pieceGroup = {1, 2, 3};
  in.pieceBar = {1, 1, 1};
  in.gripLength = gripLength;
  return in;
}

// The page's text as laid out, so that texts side by side stay on one line.
std::string LaidOutText(const std::string& pdf) {
  const std::string txt = pdf + ".layout.txt";
  const std::string command = "pdftotext -layout -enc UTF-8 '" + pdf + "' '" + txt + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return ReadFile(txt);
}

bool Matches(const std::string& text, const char* pattern) {
  return std::regex_search(text, std::regex(pattern));
}

TEST_F(LayoutPdfTest, PiecesStandInCuttingOrderAndTheLegendNamesTheGrip) {
  const std::string plain = TempPath("nogrip.pdf");
  const std::string grip = TempPath("grip.pdf");
  ASSERT_EQ(WriteLayoutPdf(plain, SampleRun(), {BuildMaterialPlan(GripInput(0))}), "");
  ASSERT_EQ(WriteLayoutPdf(grip, SampleRun(), {BuildMaterialPlan(GripInput(120000))}), "");
  const std::string without = LaidOutText(plain);
  const std::string with = LaidOutText(grip);
  EXPECT_TRUE(Matches(without, "3000\\.00 +1400\\.00 +1000\\.00")) << without;
  EXPECT_FALSE(Contains(without, "Cut last")) << without;
  EXPECT_TRUE(Matches(with, "3000\\.00 +1000\\.00 +1400\\.00")) << with;
  EXPECT_TRUE(Contains(with, "Cut last (gripping length 1200.00)")) << with;
}

// The piece cut last into the grip carries a dark triangle in its top right
// corner; the same piece without a gripping length does not.
TEST(MaterialDiagram, ThePieceInTheGripIsMarked) {
  const PlanRun run = SampleRun();
  const DiagramStyle style;
  for (const int32_t grip : {0, 120000}) {
    const MaterialPlan plan = BuildMaterialPlan(GripInput(grip));
    const MaterialDiagram diagram(run, plan, style);
    const int width = 600;
    QImage image(width, static_cast<int>(diagram.Height(width)) + 1, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      diagram.Draw(painter, QRectF(0, 0, width, diagram.Height(width)));
    }
    const double barTop = diagram.BlockHeight(0, width) + diagram.BlockHeight(1, width) -
                          style.blockGap - style.barHeight;
    // The last piece ends at 5400 / 6000 of the width.
    const QColor corner = image.pixelColor(538, static_cast<int>(barTop) + 3);
    const QColor middle = image.pixelColor(520, static_cast<int>(barTop + style.barHeight / 2));
    EXPECT_EQ(middle, style.pieceFill) << grip;
    if (grip > 0)
      EXPECT_EQ(corner, style.ink);
    else
      EXPECT_EQ(corner, style.pieceFill);
  }
}

}  // namespace
}  // namespace tarvolin::plan
