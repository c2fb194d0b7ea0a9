#include "report_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "output_fixtures.h"
#include "print_exp.h"

namespace tarvolin {
namespace {

using testing_support::Golden;
using testing_support::OutputTest;
using testing_support::ReadBytes;
using testing_support::SteelPlan;
using testing_support::SteelPlanWithLastStock;
using testing_support::TempPath;

const ReportContext kContext{"07.03.2024", 3340};

class ReportTest : public OutputTest {
 protected:
  // Runs `write` against a fresh report file and returns the file's bytes.
  template <typename Write>
  std::string Written(RunState& run, Write write) {
    const std::string path = TempPath("report.txt");
    EXPECT_EQ(run.report.Create(path), 0);
    write(run);
    EXPECT_EQ(run.report.Close(), 0);
    EXPECT_EQ(run.report.errors, 0);
    return ReadBytes(path);
  }

  std::string Section(RunState& run) {
    BuildPieceOrder(run.pass);
    return Written(run, [](RunState& r) { WriteReportSection(r, kContext); });
  }
};

void SetDefaultOptimizerSettings(OptimizerSettings& o) {
  o = OptimizerSettings{};
  o.CostOptim = 0;
  o.IgnoreLast = 1;
  o.PrefShort = 0;
  o.ReduceLays = 1;
  o.EffortLev = 5;
  o.DiffStocks = 0;
  o.DiffPieces = 0;
  o.MaxPieces = 0;
}

TEST_F(ReportTest, HeadingWithDefaultSettings) {
  auto run = SteelPlan();
  SetDefaultOptimizerSettings(run->opt);
  EXPECT_EQ(Written(*run, [](RunState& r) { WriteReportHeading(r, kContext); }),
            Golden("heading_default.txt"));
}

TEST_F(ReportTest, HeadingWithGrippingLengthAndBundle) {
  auto run = SteelPlan();
  OptimizerSettings& o = run->opt;
  o.CostOptim = 1;
  o.IgnoreLast = 0;
  o.PrefShort = -3;
  o.ReduceLays = 2;
  o.EffortLev = 10;
  o.DiffStocks = 4;
  o.DiffPieces = -4;
  o.MaxPieces = 12;
  o.MinReusable = 50000;
  o.GapItIt = 350;
  o.GapItEnd = 500;
  o.GapGripEnd = 300;
  EXPECT_EQ(Written(*run, [](RunState& r) { WriteReportHeading(r, kContext); }),
            Golden("heading_gripping.txt"));
}

TEST_F(ReportTest, HeadingLengthsFollowLocaleAndColumnWidth) {
  UseCommaLocale();
  auto run = SteelPlan();
  run->opt.GapItEnd = 500;
  run->opt.DiffPieces = 7;
  run->init.NumberColumnWidth = 12;
  const std::string text = Written(*run, [](RunState& r) { WriteReportHeading(r, kContext); });
  EXPECT_NE(text.find("\r\nMax.Differ.Pieces :              7\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nStock/Cut Bundle  :              0\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nEnd-zone (non-usable):           5,00\r\n"), std::string::npos);
}

TEST_F(ReportTest, EndLine) {
  auto run = SteelPlan();
  EXPECT_EQ(Written(*run, [](RunState& r) { WriteReportEnd(r, kContext); }),
            "07.03.2024   REPORT END for:  QM_Orders1.txt / QM_Stocks1.txt\r\n\r\n");
}

TEST_F(ReportTest, SectionWithTotalsInPartsMode0) {
  auto run = SteelPlan();
  EXPECT_EQ(Section(*run), Golden("section_mode0.txt"));
}

TEST_F(ReportTest, SectionWithoutTotalsStillFinalisesFigures) {
  auto run = SteelPlan();
  run->init.ReportTotals = false;
  EXPECT_EQ(Section(*run), Golden("section_totals_off.txt"));
  EXPECT_EQ(run->pass.results.UtilRate, 93846);
}

TEST_F(ReportTest, SectionWithCostsLastStockInPartsMode1) {
  auto run = SteelPlanWithLastStock();
  run->init.ReportCosts = true;
  run->init.ReportPartsMode = 1;
  EXPECT_EQ(Section(*run), Golden("section_mode1_costs_last.txt"));
}

TEST_F(ReportTest, SectionWithoutMaterialColumnOnCommaLocale) {
  UseCommaLocale();
  auto run = SteelPlanWithLastStock();
  run->init.ReportCosts = true;
  run->init.ReportMaterialColumn = false;
  EXPECT_EQ(Section(*run), Golden("section_no_matcol_comma.txt"));
}

TEST_F(ReportTest, LastStockIsFoldedIntoTheTotals) {
  auto run = SteelPlanWithLastStock();
  run->init.ReportTotals = false;
  Section(*run);
  const SolverResults& r = run->pass.results;
  EXPECT_EQ(r.StockUsed, 4);
  EXPECT_EQ(r.LthUsed, 2600000);
  EXPECT_EQ(r.CostUsed, 10200);
  EXPECT_EQ(r.PartsCut, 11);
  EXPECT_EQ(r.LayoutCuts, 6);
  EXPECT_EQ(r.WasteSum, 160000);
  EXPECT_EQ(r.UtilRate, 93846);
}

TEST_F(ReportTest, UtilisationOfAnEmptyPlanIsZero) {
  auto run = SteelPlan();
  SolverResults& r = run->pass.results;
  r.LthUsed = 0;
  r.WasteSum = 0;
  r.PatternNum = 0;
  const std::string text = Section(*run);
  EXPECT_EQ(r.UtilRate, 0);
  EXPECT_NE(text.find("\r\nTotal Utilization,%:         0.00     Calc.time: 2.3 sec\r\n"),
            std::string::npos);
}

TEST_F(ReportTest, UtilisationKeepsAPointAndRoundsHalvesUp) {
  UseCommaLocale();
  auto run = SteelPlan();
  SolverResults& r = run->pass.results;
  r.LthUsed = 100000;
  r.WasteSum = 15;
  run->pass.solverStartMs = 500;
  const std::string text = Written(*run, [](RunState& s) { WriteReportSection(s, {"", 62960}); });
  EXPECT_EQ(r.UtilRate, 99985);
  EXPECT_NE(text.find("\r\nTotal Utilization,%:        99.99     Calc.time: 62,5 sec\r\n"),
            std::string::npos);
}

TEST_F(ReportTest, TotalsHeadingWithoutMaterialKey) {
  auto run = SteelPlan();
  run->currentMaterial.clear();
  EXPECT_EQ(Section(*run).substr(0, 40), "TOTALS\r\nParts Left Number:           0\r\n");

  auto last = SteelPlanWithLastStock();
  last->currentMaterial.clear();
  EXPECT_EQ(Section(*last).substr(0, 40), "TOTALS(including Last Stock layout)\r\n\r\nP");
}

TEST_F(ReportTest, RowShowsLowestBarAndPiecesLongestFirst) {
  auto run = SteelPlan();
  run->init.ReportTotals = false;
  run->init.ReportMaterialColumn = false;
  SolverResults& r = run->pass.results;
  // Bar 2 is the last stock but bar 1 is the lowest-numbered bar of pattern
  // 1, so its row has no "L"; bar 1 holds 1200.00 before two 2500.00 pieces
  // in item order.
  r.LastStock = 2;
  r.PatternNum = 1;
  r.StockItWaste[1] = 11100;
  r.PartItGr[1] = 2;
  r.PartItGr[7] = 1;
  EXPECT_EQ(Section(*run), "  1    3  6500.00   111.00  2500.00  2500.00  1200.00  \r\n\r\n");
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

TEST_F(ReportTest, TableHeaderAndFirstPieceLineInEverySwitchCombination) {
  const struct {
    bool materialColumn;
    int partsMode;
    bool costs;
    int w, m;
    std::string header;
    std::string firstRow;    // the row of pattern 1
    std::string firstPiece;  // mode 1: the first piece line below it
  } cases[] = {
      {true, 0, false, 8, 18, "Mater/Sect   Lay#/Pat#   Mult  Stock    Waste     Parts in Layout: ",
       "STEEL 40x40          1    3  6500.00   300.00  2500.00  2500.00  1200.00  ", ""},
      {true, 0, true, 8, 18,
       "Mater/Sect   Lay#/Pat#   Mult  Stock    Waste     Cost     Parts in Layout: ",
       "STEEL 40x40          1    3  6500.00   300.00    25.50  2500.00  2500.00  1200.00  ", ""},
      {true, 1, false, 8, 18,
       "Mater/Sect      Lay#/Pat#   Mult  Stock    Waste     Parts/Marks in Layout: ",
       "STEEL 40x40          1/ 1    3  6500.00   300.00 ", std::string(50, ' ') + "2500.00  A1 "},
      {true, 1, true, 8, 18,
       "Mater/Sect      Lay#/Pat#   Mult  Stock    Waste     Cost     Parts/Marks in Layout: ",
       "STEEL 40x40          1/ 1    3  6500.00   300.00    25.50 ",
       std::string(59, ' ') + "2500.00  A1 "},
      {false, 0, false, 8, 18, "LayNo   Mult  Stock    Waste     Parts in Layout: ",
       "  1    3  6500.00   300.00  2500.00  2500.00  1200.00  ", ""},
      {false, 0, true, 8, 18, "LayNo   Mult  Stock    Waste     Cost     Parts in Layout: ",
       "  1    3  6500.00   300.00    25.50  2500.00  2500.00  1200.00  ", ""},
      {false, 1, false, 8, 18, "LayNo   Mult  Stock    Waste     Parts/Marks in Layout: ",
       "  1/ 1    3  6500.00   300.00 ", std::string(32, ' ') + "2500.00  A1 "},
      {false, 1, true, 8, 18, "LayNo   Mult  Stock    Waste     Cost     Parts/Marks in Layout: ",
       "  1/ 1    3  6500.00   300.00    25.50 ", std::string(41, ' ') + "2500.00  A1 "},
      {true, 1, true, 10, 20,
       "Mater/Sect        Lay#/Pat#   Mult    Stock      Waste       Cost     Parts/Marks in "
       "Layout: ",
       "STEEL 40x40            1/ 1    3    6500.00     300.00      25.50 ",
       std::string(20 + 11 + 35 + 3, ' ') + "2500.00  A1 "},
  };
  for (const auto& c : cases) {
    auto run = SteelPlan();
    run->init.ReportMaterialColumn = c.materialColumn;
    run->init.ReportPartsMode = c.partsMode;
    run->init.ReportCosts = c.costs;
    run->init.NumberColumnWidth = c.w;
    run->init.MaterialColumnWidth = c.m;
    const std::vector<std::string> lines = Lines(Section(*run));
    const auto header = std::find(lines.begin(), lines.end(), c.header);
    ASSERT_NE(header, lines.end()) << c.header;
    ASSERT_GE(lines.end() - header, 3);
    EXPECT_EQ(header[1], c.firstRow) << c.header;
    if (c.partsMode == 1) {
      EXPECT_EQ(header[2], c.firstPiece) << c.header;
    }
  }
}

TEST_F(ReportTest, GrippingOrEndZoneLine) {
  const struct {
    int32_t grip, endZone;
    std::string line;
  } cases[] = {
      {0, 500, "\r\nEnd-zone (non-usable):       5.00\r\n"},
      {300, 500, "\r\nGripping (usable):           3.00\r\n"},
      {-1, 0, "\r\nEnd-zone (non-usable):       0.00\r\n"},
  };
  for (const auto& c : cases) {
    auto run = SteelPlan();
    run->opt.GapGripEnd = c.grip;
    run->opt.GapItEnd = c.endZone;
    const std::string text = Written(*run, [](RunState& r) { WriteReportHeading(r, kContext); });
    EXPECT_NE(text.find(c.line), std::string::npos) << c.line;
    EXPECT_EQ(text.find(c.grip > 0 ? "End-zone" : "Gripping"), std::string::npos) << c.line;
  }
}

TEST_F(ReportTest, PatternCountBeyondTheBarsAddsNoRows) {
  auto run = SteelPlan();
  run->init.ReportTotals = false;
  run->pass.results.PatternNum = INT32_MAX;
  EXPECT_EQ(Section(*run), Golden("section_totals_off.txt"));
}

TEST_F(ReportTest, WideNumbersAreWrittenWhole) {
  auto run = SteelPlan();
  run->init.ReportTotals = false;
  run->init.ReportMaterialColumn = false;
  run->init.NumberColumnWidth = 6;
  run->pass.StockGrLth[1] = 12345678;
  run->pass.results.PatternNum = 1;
  EXPECT_EQ(Section(*run), "  1    3 123456.78 300.00 2500.00 2500.00 1200.00  \r\n\r\n");
}

TEST_F(ReportTest, WriteFailuresAreCountedAndWritingGoesOn) {
  auto run = SteelPlanWithLastStock();
  BuildPieceOrder(run->pass);
  WriteReportHeading(*run, kContext);
  const long afterHeading = run->report.errors;
  EXPECT_GT(afterHeading, 0);
  WriteReportSection(*run, kContext);
  EXPECT_GT(run->report.errors, afterHeading);
  EXPECT_EQ(run->pass.results.StockUsed, 4);
}

}  // namespace
}  // namespace tarvolin
