#include "report_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "label_writer.h"
#include "output_fixtures.h"

namespace tarvolin {
namespace {

using testing_support::Golden;
using testing_support::Model;
using testing_support::OutputTest;
using testing_support::PlanCase;
using testing_support::ReadBytes;
using testing_support::SevenPieces;
using testing_support::SteelPlan;
using testing_support::SteelPlanWithLastStock;
using testing_support::TempPath;

const ReportContext kContext{"07.03.2024"};

class ReportTest : public OutputTest {
 protected:
  // Runs `write` against a fresh report file and returns the file's bytes.
  template <typename Write>
  std::string Written(PlanCase& run, Write write) {
    const std::string path = TempPath("report.txt");
    EXPECT_EQ(run.report.Create(path), 0);
    write(run);
    EXPECT_EQ(run.report.Close(), 0);
    EXPECT_EQ(run.report.Errors(), 0);
    return ReadBytes(path);
  }

  std::string Section(PlanCase& run) {
    return Written(run, [](PlanCase& r) { WriteReportSection(r.report, r, Model(r)); });
  }
};

// The heading's settings as a settings file without optimizer lines gives them.
void SetDefaultHeadingSettings(ReportedSettings& o) {
  o = ReportedSettings{};
  o.optimizeCost = 0;
  o.ignoreLastStock = 1;
  o.stockLengthPreference = 0;
  o.reduceLayouts = 1;
  o.effortLevel = 5;
  o.maxDifferentStocks = 0;
  o.maxDifferentPieces = 0;
  o.maxPiecesPerLayout = 0;
}

TEST_F(ReportTest, HeadingWithDefaultSettings) {
  auto run = SteelPlan();
  SetDefaultHeadingSettings(run->settings);
  EXPECT_EQ(Written(*run, [](PlanCase& r) { WriteReportHeading(r.report, r, kContext); }),
            Golden("heading_default.txt"));
}

TEST_F(ReportTest, HeadingWithGrippingLengthAndBundle) {
  auto run = SteelPlan();
  ReportedSettings& o = run->settings;
  o.optimizeCost = 1;
  o.ignoreLastStock = 0;
  o.stockLengthPreference = -3;
  o.reduceLayouts = 2;
  o.effortLevel = 10;
  o.maxDifferentStocks = 4;
  o.maxDifferentPieces = 0;
  o.bundleSize = 4;
  o.maxPiecesPerLayout = 12;
  o.minReusableLength = 50000;
  o.kerf = 350;
  o.endZone = 500;
  o.gripLength = 300;
  EXPECT_EQ(Written(*run, [](PlanCase& r) { WriteReportHeading(r.report, r, kContext); }),
            Golden("heading_gripping.txt"));
}

TEST_F(ReportTest, HeadingLengthsFollowLocaleAndColumnWidth) {
  auto run = SteelPlan();
  UseCommaLocale(*run);
  run->settings.endZone = 500;
  run->settings.maxDifferentPieces = 7;
  run->style.numberColumnWidth = 12;
  const std::string text =
      Written(*run, [](PlanCase& r) { WriteReportHeading(r.report, r, kContext); });
  EXPECT_NE(text.find("\r\nMax.Differ.Pieces :              7\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nStock/Cut Bundle  :              0\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nEnd-zone (non-usable):           5,00\r\n"), std::string::npos);
}

TEST_F(ReportTest, EndLine) {
  auto run = SteelPlan();
  EXPECT_EQ(Written(*run, [](PlanCase& r) { WriteReportEnd(r.report, r, kContext); }),
            "07.03.2024   REPORT END for:  QM_Orders1.txt / QM_Stocks1.txt\r\n\r\n");
}

TEST_F(ReportTest, SectionWithTotalsInPartsMode0) {
  auto run = SteelPlan();
  EXPECT_EQ(Section(*run), Golden("section_mode0.txt"));
}

TEST_F(ReportTest, SectionWithoutTotals) {
  auto run = SteelPlan();
  run->style.totals = false;
  EXPECT_EQ(Section(*run), Golden("section_totals_off.txt"));
}

TEST_F(ReportTest, SectionWithCostsLastStockInPartsMode1) {
  auto run = SteelPlanWithLastStock();
  run->style.costs = true;
  run->style.partsMode = 1;
  EXPECT_EQ(Section(*run), Golden("section_mode1_costs_last.txt"));
}

TEST_F(ReportTest, SectionWithoutMaterialColumnOnCommaLocale) {
  auto run = SteelPlanWithLastStock();
  UseCommaLocale(*run);
  run->style.costs = true;
  run->style.materialColumn = false;
  EXPECT_EQ(Section(*run), Golden("section_no_matcol_comma.txt"));
}

TEST_F(ReportTest, LastStockIsFoldedIntoTheTotals) {
  auto run = SteelPlanWithLastStock();
  const plan::PlanFigures f = Model(*run).figures;
  EXPECT_EQ(f.barsUsed, 4);
  EXPECT_EQ(f.stockLengthUsed, 2600000);
  EXPECT_EQ(f.cost, 10200);
  EXPECT_EQ(f.pieces - f.piecesLeft, 11);
  EXPECT_EQ(f.layoutCuts, 6);
  EXPECT_EQ(f.differentLayouts, 2);
  EXPECT_EQ(f.waste, 160000);
  EXPECT_EQ(f.utilRate, 93846);
  EXPECT_TRUE(f.lastStockApart);
}

TEST_F(ReportTest, UtilisationOfAnEmptyPlanIsZero) {
  auto run = SteelPlan();
  SolverResults& r = run->plan.results;
  r.lengthUsed = 0;
  r.wasteSum = 0;
  const std::string text = Section(*run);
  EXPECT_EQ(Model(*run).figures.utilRate, 0);
  EXPECT_NE(text.find("\r\nTotal Utilization,%:         0.00     Calc.time: 2.3 sec\r\n"),
            std::string::npos);
}

TEST_F(ReportTest, UtilisationKeepsAPointAndRoundsHalvesUp) {
  auto run = SteelPlan();
  UseCommaLocale(*run);
  SolverResults& r = run->plan.results;
  r.lengthUsed = 100000;
  r.wasteSum = 15;
  const std::string text = Written(*run, [](PlanCase& s) {
    WriteReportSection(s.report, s, SolvedPlanOf(s.opt, s.plan, 62460));
  });
  EXPECT_EQ(Model(*run).figures.utilRate, 99985);
  EXPECT_NE(text.find("\r\nTotal Utilization,%:        99.99     Calc.time: 62,5 sec\r\n"),
            std::string::npos);
}

// With the exact method the heading gains the method line after the last
// settings line, and the totals the bound and the proof, right-aligned with
// the length lines above them.
TEST_F(ReportTest, ExactMethodAddsItsLines) {
  auto search = SteelPlan();
  SetDefaultHeadingSettings(search->settings);
  std::string expected =
      Written(*search, [](PlanCase& r) { WriteReportHeading(r.report, r, kContext); });
  const size_t endZone = expected.find("End-zone (non-usable):");
  const size_t lineEnd = expected.find("\r\n", endZone) + 2;
  expected.insert(lineEnd, "Solution method:            Exact\r\n");

  auto run = SteelPlan();
  SetDefaultHeadingSettings(run->settings);
  run->settings.exactMethod = true;
  run->opt.method = kMethodExact;
  EXPECT_EQ(Written(*run, [](PlanCase& r) { WriteReportHeading(r.report, r, kContext); }),
            expected);

  run->plan.results.lowerBound = 2345600.2;  // rounds up to 23456.01
  run->plan.results.proven = false;
  const std::string text = Section(*run);
  const size_t used = text.find("Total Length used:  ");
  ASSERT_NE(used, std::string::npos);
  const size_t width = text.find("\r\n", used) - used;
  const std::string bound = "Lower bound length: ";
  const std::string proof = "Proven optimal:     ";
  EXPECT_NE(
      text.find("sec\r\n" + bound + std::string(width - bound.size() - 8, ' ') + "23456.01\r\n" +
                proof + std::string(width - proof.size() - 1, ' ') + "N\r\n\r\n"),
      std::string::npos)
      << text;
}

// The exact method's lines after the utilisation: what the bound bounds
// when no total shows it, the bound or "unknown", and the proof. Values are
// right-aligned in the totals length width (13 at a column width of 8).
TEST_F(ReportTest, ExactMethodNamesItsObjectiveAndAnUnknownBound) {
  auto line = [](const std::string& label, const std::string& value) {
    return label + std::string(13 - value.size(), ' ') + value + "\r\n";
  };
  const std::string lengthBound = "Lower bound length: ", costBound = "Lower bound cost:   ";
  const std::string objective = "Objective:          ", proof = "Proven optimal:     ";
  struct Case {
    const char* name;
    std::unique_ptr<PlanCase> (*plan)();
    void (*change)(PlanCase&);
    std::string lines;  // from the line after the utilisation to the empty line
  };
  const std::vector<Case> cases = {
      {"no bound is unknown, never 0.00", SteelPlan,
       [](PlanCase& c) { c.plan.results.lowerBound = 0; },
       line(lengthBound, "unknown") + line(proof, "N")},
      // Four bars of 6500.00; the last one's remainder is 6500 - 2 x
      // (2900 + 5) = 690.00 of the 26000.00 used.
      {"the last stock's remainder is taken off", SteelPlanWithLastStock,
       [](PlanCase& c) {
         c.opt.kerf = 500;
         c.plan.results.lowerBound = 2531000;
         c.plan.results.proven = true;
       },
       line(objective, "25310.00").insert(33, "  (length used less last stock remainder)") +
           line(lengthBound, "25310.00") + line(proof, "Y")},
      // 4 x 25.50 less 25.50 x 700 / 6500 = 99.2538..., a fractional
      // objective: bound and figure are rounded down.
      {"cost less the remainder's worth", SteelPlanWithLastStock,
       [](PlanCase& c) {
         c.opt.optimizeCost = 1;
         c.plan.results.lowerBound = 9900.7;
       },
       line(objective, "99.25").insert(33, "  (cost used less last stock remainder's worth)") +
           line(costBound, "99.00") + line(proof, "N")},
      {"a cost no total shows", SteelPlan,
       [](PlanCase& c) {
         c.opt.optimizeCost = 1;
         c.plan.results.lowerBound = 10199.2;  // rounded up: whole hundredths
       },
       line(objective, "102.00").insert(33, "  (cost used)") + line(costBound, "102.00") +
           line(proof, "N")},
      {"a cost the totals show", SteelPlan,
       [](PlanCase& c) {
         c.opt.optimizeCost = 1;
         c.style.costs = true;
         c.plan.results.lowerBound = 10200;
       },
       line(costBound, "102.00") + line(proof, "N")},
      {"unpriced stock in cost mode is a length", SteelPlan,
       [](PlanCase& c) {
         c.opt.optimizeCost = 1;
         for (StockGroup& g : c.plan.stockGroups) g.cost = 0;
         c.plan.results.lowerBound = 2600000;
       },
       line(lengthBound, "26000.00") + line(proof, "N")},
      {"short stock says what comes first", SevenPieces,
       [](PlanCase& c) { c.plan.results.lowerBound = 1800000; },
       "Short stock:        greatest length cut first; the bound holds for plans that cut as "
       "much\r\n" +
           line(lengthBound, "18000.00") + line(proof, "N")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto run = c.plan();
    run->opt.method = kMethodExact;
    c.change(*run);
    const std::string text = Section(*run);
    const size_t from = text.find(" sec\r\n");
    ASSERT_NE(from, std::string::npos) << text;
    const size_t to = text.find("\r\n\r\n", from);
    EXPECT_EQ(text.substr(from + 6, to + 2 - from - 6), c.lines);
  }
}

// A plan of the exact method in a run of the search (it cut what the
// search left) shows its lines; a plan of the search does not.
TEST_F(ReportTest, ExactLinesFollowThePlansMethod) {
  for (const bool exact : {false, true}) {
    auto run = SteelPlan();
    run->plan.results.exactMethod = exact;
    run->plan.results.lowerBound = 2600000;
    EXPECT_EQ(Section(*run).find("Lower bound length:") != std::string::npos, exact);
  }
}

TEST_F(ReportTest, TotalsHeadingWithoutMaterialKey) {
  auto run = SteelPlan();
  run->plan.material.clear();
  EXPECT_EQ(Section(*run).substr(0, 40), "TOTALS\r\nParts Left Number:           0\r\n");

  auto last = SteelPlanWithLastStock();
  last->plan.material.clear();
  EXPECT_EQ(Section(*last).substr(0, 40), "TOTALS(including Last Stock layout)\r\n\r\nP");
}

TEST_F(ReportTest, RowShowsLowestBarAndPiecesLongestFirst) {
  auto run = SteelPlan();
  run->style.totals = false;
  run->style.materialColumn = false;
  SolverResults& r = run->plan.results;
  // Bar 2 is the last stock but bar 1 is the lowest-numbered bar of pattern
  // 1, so its row has no "L"; bar 1 holds 1200.00 before two 2500.00 pieces
  // in item order.
  r.lastStock = 2;
  r.stockItemWaste[1] = 11100;
  r.partItemGroup[1] = 2;
  r.partItemGroup[7] = 1;
  EXPECT_EQ(Section(*run),
            "  1    3  6500.00   111.00  2500.00  2500.00  1200.00  \r\n"
            "  3    1  6500.00   700.00  2900.00  2900.00  \r\n\r\n");
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
    run->style.materialColumn = c.materialColumn;
    run->style.partsMode = c.partsMode;
    run->style.costs = c.costs;
    run->style.numberColumnWidth = c.w;
    run->style.materialColumnWidth = c.m;
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
    run->settings.gripLength = c.grip;
    run->settings.endZone = c.endZone;
    const std::string text =
        Written(*run, [](PlanCase& r) { WriteReportHeading(r.report, r, kContext); });
    EXPECT_NE(text.find(c.line), std::string::npos) << c.line;
    EXPECT_EQ(text.find(c.grip > 0 ? "End-zone" : "Gripping"), std::string::npos) << c.line;
  }
}

TEST_F(ReportTest, WideNumbersAreWrittenWhole) {
  auto run = SteelPlan();
  run->style.totals = false;
  run->style.materialColumn = false;
  run->style.numberColumnWidth = 6;
  run->plan.stockGroups[1].length = 12345678;
  EXPECT_EQ(Section(*run),
            "  1    3 123456.78 300.00 2500.00 2500.00 1200.00  \r\n"
            "  3    1 123456.78 700.00 2900.00 2900.00  \r\n\r\n");
}

// A plan beyond the search's tables: 10002 bars of 6000.00 with a piece of
// 1000.00 each; bars 1..10000 are cut to pattern 1 (layout 1), bar 10001 to
// pattern 1000 (layout 2), bar 10002, the last stock, to pattern 1001
// (layout 3).
std::unique_ptr<PlanCase> LargePlan() {
  auto run = std::make_unique<PlanCase>();
  MaterialPlan& plan = run->plan;
  plan.material = "ALU";
  plan.stockGroupCount = 1;
  plan.stockGroups[1] = {600000, 0, 10002, "ALU", ""};
  plan.partGroupCount = 1;
  plan.partGroups[1].length = 100000;
  plan.partGroups[1].quantity = 10002;
  SolverResults& r = plan.results;
  r.SizeTables(10002, 10002);
  for (int i = 1; i <= 10002; ++i) {
    const int pattern = i <= 10000 ? 1 : (i == 10001 ? 1000 : 1001);
    r.stockItemGroup[i] = 1;
    r.stockItemPattern[i] = pattern;
    r.stockItemLayout[i] = i <= 10000 ? 1 : i - 9999;
    r.stockItemWaste[i] = 500000;
    r.stockItemParts[i] = 1;
    r.partItemGroup[i] = 1;
    r.partItemStock[i] = i;
  }
  r.patternCount = 1001;
  r.layoutCount = 3;
  r.lastStock = 10002;
  r.stockUsed = 10001;
  r.partsCut = 10001;
  r.lastParts = 1;
  return run;
}

TEST_F(ReportTest, ALargePlanWidensTheLabelAndMultiplicityColumns) {
  const std::string row = "  6000.00  5000.00  1000.00  ";
  const struct {
    int partsMode;
    std::vector<std::string> table;  // the header and the rows
  } cases[] = {
      // Labels of five (L1001), multiplicities of five (10000).
      {0,
       {"Mater/Sect     Lay#/Pat#    Mult  Stock    Waste     Parts in Layout: ",
        "ALU                    1 10000" + row, "ALU                 1000     1" + row,
        "ALU                L1001     1" + row}},
      // Layout numbers keep three, patterns take four behind the "/".
      {1,
       {"Mater/Sect        Lay#/Pat#    Mult  Stock    Waste     Parts/Marks in Layout: ",
        "ALU                  1/   1 10000  6000.00  5000.00 ",
        std::string(52, ' ') + " 1000.00   ", " ",
        "ALU                  2/1000     1  6000.00  5000.00 "}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.partsMode);
    auto run = LargePlan();
    run->style.partsMode = c.partsMode;
    const std::vector<std::string> lines = Lines(Section(*run));
    const auto header = std::find(lines.begin(), lines.end(), c.table[0]);
    ASSERT_NE(header, lines.end()) << lines[15];
    for (size_t i = 1; i < c.table.size(); ++i) EXPECT_EQ(header[i], c.table[i]) << i;
  }
}

TEST_F(ReportTest, WriteFailuresAreCountedAndWritingGoesOn) {
  auto run = SteelPlanWithLastStock();
  WriteReportHeading(run->report, *run, kContext);
  const long afterHeading = run->report.Errors();
  EXPECT_GT(afterHeading, 0);
  WriteReportSection(run->report, *run, Model(*run));
  EXPECT_GT(run->report.Errors(), afterHeading);
}

}  // namespace
}  // namespace tarvolin
