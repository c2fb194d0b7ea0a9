#include "settings.h"

#include <string>
#include <vector>

#include "frontend_fixture.h"
#include "logs.h"
#include "solver_call.h"

namespace tarvolin {
namespace {

using test_support::FrontEndTest;
using test_support::WriteFile;

// A valid initial settings file with every switch turned away from its default.
std::vector<std::string> ConfigLines() {
  return {"0 ShowWindow",
          "1 AskInputFiles",
          "0 ConfirmSteps",
          "0 ShowMessages",
          "0 RunMsgMode",
          "1",
          "0",
          "0 ReportFrame",
          "0 ReportTotals",
          "0 ReportMaterialColumn",
          "1 ReportPartsMode",
          "1 ReportCosts",
          "0",
          "1",
          "24 MaterialColumnWidth",
          "12 NumberColumnWidth",
          "1 LabelsFile",
          "2 PrintLabels",
          "-9",
          "0",
          "1",
          "555 end"};
}

std::string Join(const std::vector<std::string>& lines, const char* end = "\r\n") {
  std::string s;
  for (const std::string& l : lines) s += l + end;
  return s;
}

std::vector<std::string> OptSetLines() {
  return {"1 CostOptim",  "0 IgnoreLast",
          "-2 PrefShort", "3 ReduceLays",
          "7 EffortLev",  "4 DiffStocks",
          "9 DiffPieces", "12.5 MinReusable",
          "0,3 kerf",     "5 end length",
          "1 end zone",   "8 MaxPieces",
          "0 bundle",     "0",
          "100",          "0",
          "555"};
}

class InitialSettingsTest : public FrontEndTest {
 protected:
  bool Read(const std::string& content) {
    WriteFile("QM_Config.txt", content);
    return ReadInitialSettings(run, tk);
  }
  void ExpectDefaults() const {
    const InitialSettings d;
    EXPECT_EQ(run.init.showWindow, d.showWindow);
    EXPECT_EQ(run.init.confirmSteps, d.confirmSteps);
    EXPECT_EQ(run.init.materialColumnWidth, d.materialColumnWidth);
    EXPECT_EQ(run.init.labelPrintMode, d.labelPrintMode);
    EXPECT_EQ(run.init.writeLabelsFile, d.writeLabelsFile);
  }
  // The error logged, naming the failing line when there is one, and the
  // question asked.
  void ExpectOffered(int line = 0) {
    ASSERT_EQ(tk.boxes.size(), 2u);
    EXPECT_EQ(tk.boxes[0].kind, BoxKind::Error);
    const std::string first = "Initial Settings (Config) file reading error\r";
    EXPECT_EQ(tk.boxes[0].text.substr(0, first.size()), first);
    if (line > 0) {
      EXPECT_NE(tk.boxes[0].text.find("\rSee line: " + std::to_string(line) + " ("),
                std::string::npos)
          << tk.boxes[0].text;
    }
    EXPECT_EQ(tk.boxes[1].kind, BoxKind::Confirmation);
    EXPECT_EQ(tk.boxes[1].text, "Load default Initial Settings and go?");
    EXPECT_EQ(tk.boxes[1].buttons, BoxButtons::OkCancel);
  }
};

TEST_F(InitialSettingsTest, AllSwitchesAreApplied) {
  ASSERT_TRUE(Read(Join(ConfigLines())));
  const InitialSettings& s = run.init;
  EXPECT_FALSE(s.showWindow);
  EXPECT_TRUE(s.askInputFiles);
  EXPECT_FALSE(s.confirmSteps);
  EXPECT_FALSE(s.showMessages);
  EXPECT_EQ(s.progressWindowMode, 0);
  EXPECT_FALSE(s.reportFrame);
  EXPECT_FALSE(s.reportTotals);
  EXPECT_FALSE(s.reportMaterialColumn);
  EXPECT_EQ(s.reportPartsMode, 1);
  EXPECT_TRUE(s.reportCosts);
  EXPECT_EQ(s.materialColumnWidth, 24);
  EXPECT_EQ(s.numberColumnWidth, 12);
  EXPECT_TRUE(s.writeLabelsFile);
  EXPECT_EQ(s.labelPrintMode, 2);
  EXPECT_TRUE(tk.boxes.empty());
  EXPECT_FALSE(tk.Terminating());
}

TEST_F(InitialSettingsTest, EmptyLinesLfEndsAndTrailingTextAreAccepted) {
  std::vector<std::string> lines = ConfigLines();
  lines.insert(lines.begin() + 3, "");
  lines.insert(lines.begin(), "  \t");
  lines.emplace_back("23rd line, ignored");
  ASSERT_TRUE(Read(Join(lines, "\n") + "trailing text"));
  EXPECT_EQ(run.init.labelPrintMode, 2);
  EXPECT_TRUE(tk.boxes.empty());
}

TEST_F(InitialSettingsTest, FaultyFilesOfferTheDefaults) {
  struct Case {
    const char* what;
    int line;  // 1-based line to replace, 0 to drop the end marker
    const char* text;
  };
  const Case cases[] = {
      {"switch out of range", 1, "2"},  {"negative switch", 3, "-1"},
      {"width below range", 15, "7"},   {"width above range", 16, "25"},
      {"printing mode", 18, "3"},       {"unused line range", 19, "10"},
      {"not a number", 4, "yes"},       {"number glued to text", 2, "1x"},
      {"wrong end marker", 22, "554"},  {"missing end marker", 0, ""},
      {"message mode above 2", 5, "3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    run.init = InitialSettings{};
    tk.boxes.clear();
    tk.answers = {BoxResult::Ok};
    std::vector<std::string> lines = ConfigLines();
    if (c.line == 0)
      lines.pop_back();
    else
      lines[c.line - 1] = c.text;
    EXPECT_TRUE(Read(Join(lines)));
    ExpectOffered(c.line == 0 ? 22 : c.line);  // a missing marker: the line after the last
    ExpectDefaults();
    EXPECT_FALSE(tk.Terminating());
  }
}

TEST_F(InitialSettingsTest, MissingFileAndCancelEndTheRun) {
  EXPECT_FALSE(ReadInitialSettings(run, tk));
  ExpectOffered();
  EXPECT_TRUE(tk.Terminating());
  EXPECT_EQ(ErrorLog(),
            "Initial Settings (Config) file reading error\r\n"
            "The file cannot be read: QM_Config.txt\r\n\r\nEND");
}

TEST_F(InitialSettingsTest, DefaultsOnErrorGoOnUnasked) {
  run.defaultsOnError = true;
  EXPECT_TRUE(Read("7 ShowWindow\r\n"));
  ASSERT_EQ(tk.boxes.size(), 1u);
  EXPECT_EQ(tk.boxes[0].text,
            "Initial Settings (Config) file reading error\rSee line: 1 (out of range 0..1)");
  ExpectDefaults();
  EXPECT_FALSE(tk.Terminating());
}

TEST_F(InitialSettingsTest, MessageModeTwoAndByteOrderMarkAreAccepted) {
  std::vector<std::string> lines = ConfigLines();
  lines[4] = "2 RunMsgMode";
  ASSERT_TRUE(Read("\xEF\xBB\xBF" + Join(lines)));
  EXPECT_EQ(run.init.progressWindowMode, 2);
  EXPECT_TRUE(tk.boxes.empty());
}

TEST_F(InitialSettingsTest, WithoutConfirmStepsAnErrorEndsTheRunUnasked) {
  run.init.confirmSteps = false;
  run.init.showMessages = false;
  EXPECT_FALSE(Read("1\r\n"));
  EXPECT_TRUE(tk.boxes.empty());
  EXPECT_TRUE(tk.Terminating());
  EXPECT_EQ(ErrorLog(),
            "Initial Settings (Config) file reading error\r\n"
            "See line: 2 (the file ends early)\r\n\r\nEND");
}

class OptimizerSettingsTest : public FrontEndTest {
 protected:
  bool Read(const std::vector<std::string>& lines, const char* end = "\r\n") {
    run.optSetFile = "QM_OptSet.txt";
    WriteFile(run.optSetFile, Join(lines, end));
    return ReadOptimizerSettings(run, tk);
  }
  void ExpectOffered(const std::string& where) {
    ASSERT_EQ(tk.boxes.size(), 2u);
    EXPECT_EQ(tk.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(tk.boxes[0].text, "Optimizer Settings file reading error\r" + where);
    EXPECT_EQ(tk.boxes[1].text, "Load default Optimizer Settings and go?");
    EXPECT_EQ(tk.boxes[1].buttons, BoxButtons::OkCancel);
  }
};

TEST_F(OptimizerSettingsTest, AllLinesAreRead) {
  run.opt.timeLimitSeconds = 99;
  run.opt.iterationMultiplier = 1;
  run.opt.layoutsByMark = 1;
  ASSERT_TRUE(Read(OptSetLines()));
  const OptimizerSettings& o = run.opt;
  EXPECT_EQ(o.optimizeCost, 1);
  EXPECT_EQ(o.ignoreLastStock, 0);
  EXPECT_EQ(o.stockLengthPreference, -2);
  EXPECT_EQ(o.reduceLayouts, 3);
  EXPECT_EQ(o.effortLevel, 7);
  EXPECT_EQ(o.maxDifferentStocks, 4);
  EXPECT_EQ(o.maxDifferentPieces, 9);
  EXPECT_EQ(o.minReusableLength, 1250);
  EXPECT_EQ(o.kerf, 30);
  EXPECT_EQ(o.endZone, 500);
  EXPECT_EQ(o.gripLength, 0);
  EXPECT_EQ(o.maxPiecesPerLayout, 8);
  EXPECT_EQ(o.timeLimitSeconds, 0);
  EXPECT_EQ(o.iterationMultiplier, 20);
  EXPECT_EQ(o.layoutsByMark, 0);
  EXPECT_TRUE(tk.boxes.empty());
}

TEST_F(OptimizerSettingsTest, EndLengthKindAndBundleSize) {
  std::vector<std::string> lines = OptSetLines();
  lines[10] = "0 gripping";
  lines[12] = "3 bundle";
  lines[9] = "  1-1/2\tgrip";
  ASSERT_TRUE(Read(lines, "\n"));
  EXPECT_EQ(run.opt.gripLength, 150);
  EXPECT_EQ(run.opt.endZone, 0);
  // A bundle replaces the limit of different pieces (line 7 reads 9 here).
  EXPECT_EQ(run.opt.bundleSize, 3);
  EXPECT_EQ(run.opt.maxDifferentPieces, 0);
  EXPECT_TRUE(CutsBundles(run.opt));
}

// A bundle of one bar is no bundle: it still replaces the limit of
// different pieces, and the solver is handed no bundle.
TEST_F(OptimizerSettingsTest, BundleOfOneBarCutsNoBundle) {
  std::vector<std::string> lines = OptSetLines();
  lines[12] = "1 bundle";
  ASSERT_TRUE(Read(lines, "\n"));
  EXPECT_EQ(run.opt.bundleSize, 1);
  EXPECT_EQ(run.opt.maxDifferentPieces, 0);
  EXPECT_FALSE(CutsBundles(run.opt));
  const TarvolinSettings s = BuildSolverSettings(run.opt, 0, false);
  EXPECT_EQ(s.bundleSize, 0);
  EXPECT_EQ(s.maxDifferentPieces, 0);
}

TEST_F(OptimizerSettingsTest, MethodLineChoosesTheSolutionMethod) {
  struct Case {
    const char* method;
    const char* bundle;
    int32_t expected;
    const char* warning;  // nullptr: none
  };
  const Case cases[] = {
      {"0", "0 bundle", kMethodSearch, nullptr},
      {"1", "0 bundle", kMethodExact, nullptr},
      {"7", "0 bundle", kMethodSearch, "Unknown solution method 7: the search is used"},
      {"1", "3 bundle", kMethodSearch,
       "Exact method does not cut stock bundles: the search is used"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " / " + c.bundle);
    std::vector<std::string> lines = OptSetLines();
    lines[12] = c.bundle;
    lines[13] = c.method;
    lines[14] = "30";
    ASSERT_TRUE(Read(lines));
    EXPECT_EQ(run.opt.method, c.expected);
    EXPECT_EQ(run.opt.exactTimeLimitSeconds, 30);
  }
  FinishRun(run, tk, false, "");
  std::string expected;
  for (const Case& c : cases) {
    if (c.warning != nullptr) expected += std::string(c.warning) + "\r\n\r\n";
  }
  EXPECT_EQ(WarningLog(), expected + "END");
}

TEST_F(OptimizerSettingsTest, FaultyFilesOfferTheDefaults) {
  struct Case {
    const char* what;
    int line;
    const char* text;
    const char* reason;
  };
  const Case cases[] = {
      {"empty line in place of a length", 8, "", "no length"},
      {"unreadable length", 10, "abc end", "not a length of 0 or more"},
      {"negative length", 8, "-1 min", "not a length of 0 or more"},
      {"length too large", 9, "20000001 kerf", "not a length of 0 or more"},
      // 100 pieces with their kerfs would pass a total's limit of 20000000.
      {"kerf just above its limit", 9, "200000.01 kerf",
       "above 200000.00: the kerfs of 100 pieces would pass the limit of a total"},
      {"kerf of two million", 9, "2000000 kerf",
       "above 200000.00: the kerfs of 100 pieces would pass the limit of a total"},
      {"kerf of twenty million", 9, "20000000 kerf",
       "above 200000.00: the kerfs of 100 pieces would pass the limit of a total"},
      {"preference out of range", 3, "6", "out of range -5..5"},
      {"reduce out of range", 4, "7", "out of range 0..6"},
      {"effort out of range", 5, "11", "out of range 0..10"},
      {"pieces out of range", 7, "101", "out of range 0..100"},
      {"end kind out of range", 11, "2", "out of range 0..1"},
      {"method out of range", 14, "101", "out of range 0..100"},
      {"exact time limit out of range", 15, "101", "out of range 0..100"},
      {"unused line out of range", 16, "101", "out of range 0..100"},
      {"wrong end marker", 17, "0", "not the end marker 555"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tk.boxes.clear();
    tk.answers = {BoxResult::Ok};
    std::vector<std::string> lines = OptSetLines();
    lines[c.line - 1] = c.text;
    EXPECT_TRUE(Read(lines));
    ExpectOffered("See line: " + std::to_string(c.line) + " (" + c.reason + ")");
    OptimizerSettings defaults;
    LoadDefaultOptimizerSettings(defaults);
    EXPECT_EQ(run.opt.optimizeCost, defaults.optimizeCost);
    EXPECT_EQ(run.opt.ignoreLastStock, 1);
    EXPECT_EQ(run.opt.effortLevel, 5);
    EXPECT_EQ(run.opt.reduceLayouts, 1);
    EXPECT_EQ(run.opt.kerf, 0);
    EXPECT_EQ(run.opt.iterationMultiplier, 20);
  }
}

TEST_F(OptimizerSettingsTest, ShortFileOrMissingFileEndsOnCancel) {
  std::vector<std::string> lines = OptSetLines();
  lines.resize(12);
  EXPECT_FALSE(Read(lines));
  ExpectOffered("See line: 13 (the file ends before the end marker 555)");
  EXPECT_TRUE(tk.Terminating());
  EXPECT_EQ(ErrorLog(),
            "Optimizer Settings file reading error\r\n"
            "See line: 13 (the file ends before the end marker 555)\r\n\r\nEND");
}

TEST_F(OptimizerSettingsTest, LengthAloneOnItsLineAndByteOrderMarkAreAccepted) {
  std::vector<std::string> lines = OptSetLines();
  lines[0] = "\xEF\xBB\xBF" + lines[0];
  lines[8] = "0.3";
  ASSERT_TRUE(Read(lines));
  EXPECT_EQ(run.opt.kerf, 30);
  EXPECT_EQ(run.opt.optimizeCost, 1);
  EXPECT_TRUE(tk.boxes.empty());
}

// The largest kerf, and the largest end length and remainder, are read.
TEST_F(OptimizerSettingsTest, LengthsAtTheirLimitsAreAccepted) {
  std::vector<std::string> lines = OptSetLines();
  lines[7] = "20000000 MinReusable";
  lines[8] = "200000 kerf";
  lines[9] = "20000000 end length";
  ASSERT_TRUE(Read(lines));
  EXPECT_EQ(run.opt.minReusableLength, 2000000000);
  EXPECT_EQ(run.opt.kerf, 20000000);
  EXPECT_EQ(run.opt.endZone, 2000000000);
  EXPECT_TRUE(tk.boxes.empty());
}

// Lines ended by a carriage return alone run together into one line: the
// error says so instead of naming a line that does not exist.
TEST_F(OptimizerSettingsTest, BareCarriageReturnLineEndsAreNamed) {
  const std::string reason =
      "The line ends are not recognised: the lines end with a carriage return (CR) alone; use "
      "CR LF or LF";
  tk.answers = {BoxResult::Ok};
  EXPECT_TRUE(Read(OptSetLines(), "\r"));
  ExpectOffered(reason);
  tk.boxes.clear();
  tk.answers = {BoxResult::Ok};
  run.configFile = "QM_Config.txt";
  WriteFile(run.configFile, Join(ConfigLines(), "\r"));
  EXPECT_TRUE(ReadInitialSettings(run, tk));
  ASSERT_FALSE(tk.boxes.empty());
  EXPECT_EQ(tk.boxes[0].text, "Initial Settings (Config) file reading error\r" + reason);
  // A carriage return inside a file with line feeds is no line end of its own.
  tk.boxes.clear();
  std::vector<std::string> lines = OptSetLines();
  lines[0] = "1\r CostOptim";
  ASSERT_TRUE(Read(lines, "\n"));
  EXPECT_TRUE(tk.boxes.empty());
}

TEST_F(OptimizerSettingsTest, WithoutConfirmStepsAnErrorEndsTheRun) {
  run.init.confirmSteps = false;
  run.optSetFile = "missing.txt";
  EXPECT_FALSE(ReadOptimizerSettings(run, tk));
  ASSERT_EQ(tk.boxes.size(), 1u);
  EXPECT_EQ(tk.boxes[0].text,
            "Optimizer Settings file reading error\rThe file cannot be read: missing.txt");
  EXPECT_TRUE(tk.Terminating());
}

TEST(SettingsLineReader, IntegerAndLengthLines) {
  SettingsLineReader r("\r\n\t 7\tseven\n-3\n5 x\n 2,5\tc\n", fract::NumberFormat{});
  EXPECT_EQ(r.IntegerLine(0, 9), 7);
  EXPECT_EQ(r.IntegerLine(-5, 5), -3);
  EXPECT_EQ(r.LengthLine(), 500);
  EXPECT_EQ(r.LengthLine(), 250);
  EXPECT_EQ(r.IntegerLine(0, 1), 0);  // end of file: 0 without an error
  EXPECT_EQ(r.errors, 0);
  EXPECT_EQ(r.IntegerLine(555, 555), 0);
  EXPECT_EQ(r.errors, 1);
  SettingsLineReader failed("9\n1\n", fract::NumberFormat{});
  EXPECT_EQ(failed.IntegerLine(0, 1), 0);
  EXPECT_EQ(failed.IntegerLine(0, 1), 0);  // nothing more is read after an error
  EXPECT_EQ(failed.errors, 1);
}

TEST(LoadDefaultOptimizerSettings, DefaultsAndFixedParameters) {
  OptimizerSettings o;
  o.optimizeCost = 1;
  o.ignoreLastStock = 0;
  o.gripLength = 5;
  o.bundleSize = 3;
  o.timeLimitSeconds = 7;
  LoadDefaultOptimizerSettings(o);
  EXPECT_EQ(o.optimizeCost, 0);
  EXPECT_EQ(o.ignoreLastStock, 1);
  EXPECT_EQ(o.stockLengthPreference, 0);
  EXPECT_EQ(o.reduceLayouts, 1);
  EXPECT_EQ(o.effortLevel, 5);
  EXPECT_EQ(o.maxDifferentPieces, 0);
  EXPECT_EQ(o.bundleSize, 0);
  EXPECT_EQ(o.gripLength, 0);
  EXPECT_EQ(o.maxPiecesPerLayout, 0);
  EXPECT_EQ(o.timeLimitSeconds, 0);
  EXPECT_EQ(o.iterationMultiplier, 20);
  EXPECT_EQ(o.layoutsByMark, 0);
}

}  // namespace
}  // namespace tarvolin
