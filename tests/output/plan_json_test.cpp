#include "plan_json.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <tuple>

#include "plan_fixtures.h"
#include "text_file.h"

namespace tarvolin::plan {
namespace {

using Json = nlohmann::json;
using testing_support::ReadFile;
using testing_support::SampleRun;
using testing_support::SteelInput;
using testing_support::TempPath;

Json Parse(const std::string& text) {
  return Json::parse(text);
}

// A run in which some materials failed: a solved one, a solver error, one
// without stock and one that failed in another way.
std::vector<MaterialPlan> PartialRun() {
  const MaterialPlanInput steel = SteelInput();
  return {BuildMaterialPlan(steel),
          FailedMaterialPlan("ALU 20x20", "heuristic", steel.partGroups,
                             {PlanError::Kind::kSolver, 21, "Solver reports error 21"}),
          FailedMaterialPlan("PVC 10", "heuristic", {{5000, "", 3, 9}},
                             {PlanError::Kind::kNoStock, std::nullopt,
                              "No stock length available for material: PVC 10"}),
          FailedMaterialPlan("CU 8", "", {}, {PlanError::Kind::kOther, std::nullopt, "?"})};
}

// Exit status of the schema validator over the given documents; -1 when it
// cannot run here.
int Validate(const std::vector<std::string>& paths, bool quiet = false) {
  const std::string python = TARVOLIN_PYTHON3;
  if (python.empty() || python.find("NOTFOUND") != std::string::npos) return -1;
  std::string command = python + " " + TARVOLIN_PLAN_VALIDATOR + " " + TARVOLIN_PLAN_SCHEMA;
  for (const std::string& p : paths) command += " '" + p + "'";
  if (quiet) command += " 2>/dev/null";
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  const int code = WEXITSTATUS(status);
  return code == 77 || code == 127 ? -1 : code;
}

std::string WriteDoc(const std::string& name, const std::string& text) {
  const std::string path = TempPath(name);
  EXPECT_EQ(ReplaceFile(path, text), "");
  return path;
}

TEST(PlanJson, HeadingCarriesFormatRunAndSettings) {
  PlanRun run = SampleRun();
  run.end = RunEnd::kInterrupted;
  const Json doc = Parse(PlanJsonText(run, {}));
  EXPECT_EQ(doc["format"], "tarvolin-plan");
  EXPECT_EQ(doc["version"], 2);
  EXPECT_EQ(doc["program"]["version"], "0.1.0");
  EXPECT_EQ(doc["run_end"], "interrupted");
  EXPECT_EQ(doc["files"]["stock"], "QM_Stocks1.txt");
  EXPECT_EQ(doc["units"]["length_scale"], 100);
  EXPECT_EQ(doc["settings"]["CostOptim"], false);
  EXPECT_EQ(doc["settings"]["DiffPieces"], -4);
  EXPECT_EQ(doc["settings"]["MinReusable"], 1000);
  EXPECT_EQ(doc["settings"]["MaterialHeader"], "Mater/Sect");
  EXPECT_TRUE(doc["materials"].empty());
}

// Lengths are written as the decimal the input file held, never with
// binary noise; whole values as integers.
TEST(PlanJson, LengthsAreExactDecimals) {
  struct Case {
    int32_t units;
    int32_t scale;
    const char* text;
  };
  const Case cases[] = {{125050, 100, "1250.5"}, {600000, 100, "6000"},   {1234, 100, "12.34"},
                        {1, 100, "0.01"},        {-5, 100, "-0.05"},      {10, 100, "0.1"},
                        {2816, 512, "5.5"},      {1, 512, "0.001953125"}, {7, 1, "7"}};
  for (const Case& c : cases) {
    PlanRun run;
    run.numbers.lengthScale = c.scale;
    run.settings = {PlanSetting::Length("L", c.units)};
    const std::string text = PlanJsonText(run, {});
    EXPECT_NE(text.find(std::string("\"L\": ") + c.text + "\n"), std::string::npos)
        << c.units << "/" << c.scale << " in " << text;
  }
}

TEST(PlanJson, ResultsMatchTheRecordAndPiecesCoverTheOrder) {
  const MaterialPlanInput input = SteelInput();
  const MaterialPlan plan = BuildMaterialPlan(input);
  const Json m = Parse(PlanJsonText(SampleRun(), {plan}))["materials"][0];
  EXPECT_EQ(m["key"], "STEEL 40x40");
  EXPECT_EQ(m["status"], "solved");

  const Json& r = m["results"];
  const PlanFigures& f = plan.figures;
  EXPECT_EQ(r["pieces"], f.pieces);
  EXPECT_EQ(r["pieces_left"], f.piecesLeft);
  EXPECT_EQ(r["bars_used"], f.barsUsed);
  EXPECT_EQ(r["stock_length_used"], 16000);
  EXPECT_EQ(r["waste"], 1999);
  EXPECT_EQ(r["cost"], 121);
  EXPECT_DOUBLE_EQ(r["utilisation"].get<double>(), 87.506);
  EXPECT_EQ(r["different_layouts"], f.differentLayouts);
  EXPECT_EQ(r["layout_cuts"], f.layoutCuts);
  EXPECT_EQ(r["calculation_ms"], 250);
  EXPECT_TRUE(r["lower_bound"].is_null());
  EXPECT_TRUE(r["proven_optimal"].is_null());

  // Every order line's quantity exactly, and every cut piece on a listed bar.
  std::map<int, int> perLine;
  int uncut = 0;
  for (const Json& p : m["pieces"]) {
    ++perLine[p["order_line"].get<int>()];
    if (p["bar"].is_null())
      ++uncut;
    else
      EXPECT_LT(p["bar"].get<size_t>(), m["bars"].size());
  }
  std::map<int, int> ordered;
  for (const PlanPartGroup& g : input.partGroups) ordered[g.orderLine] += g.quantity;
  EXPECT_EQ(perLine, ordered);
  EXPECT_EQ(uncut, r["pieces_left"]);

  // The layouts add up to the totals.
  int bars = 0;
  double length = 0;
  for (const Json& l : m["layouts"]) {
    bars += l["bar_count"].get<int>();
    length += l["bar_count"].get<int>() * l["stock_length"].get<double>();
  }
  EXPECT_EQ(bars, r["bars_used"]);
  EXPECT_DOUBLE_EQ(length, r["stock_length_used"].get<double>());
  EXPECT_EQ(m["layouts"][1]["pieces"][0]["length"].dump(), "1200.5");
  EXPECT_EQ(m["layouts"][1]["last_stock"], true);
  EXPECT_EQ(m["pieces"][6]["mark"], nullptr);
}

TEST(PlanJson, BoundIsWrittenWhereKnown) {
  MaterialPlanInput input = SteelInput();
  input.bound.stockLength = 1600000;
  input.bound.provenOptimal = true;
  const Json r =
      Parse(PlanJsonText(SampleRun(), {BuildMaterialPlan(input)}))["materials"][0]["results"];
  EXPECT_EQ(r["lower_bound"]["stock_length"], 16000);
  EXPECT_TRUE(r["lower_bound"]["bars"].is_null());
  EXPECT_EQ(r["proven_optimal"], true);
}

// A bound on the stock cost alone is a bound all the same.
TEST(PlanJson, ACostOnlyBoundIsWritten) {
  MaterialPlanInput input = SteelInput();
  input.bound.cost = 9050;
  input.bound.provenOptimal = false;
  const Json r =
      Parse(PlanJsonText(SampleRun(), {BuildMaterialPlan(input)}))["materials"][0]["results"];
  ASSERT_TRUE(r["lower_bound"].is_object()) << r.dump();
  EXPECT_EQ(r["lower_bound"]["cost"].dump(), "90.5");
  EXPECT_TRUE(r["lower_bound"]["stock_length"].is_null());
  EXPECT_EQ(r["proven_optimal"], false);
}

// The exact method's objective: its name, the plan's figure and the bound
// in length or cost units, and whether short stock put the cut length first.
TEST(PlanJson, ObjectiveSaysWhatTheBoundBounds) {
  using Kind = PlanObjective::Kind;
  struct Case {
    Kind kind;
    int64_t value;
    std::optional<int64_t> bound;
    bool shortStock;
    const char* json;
  };
  const Case cases[] = {
      {Kind::kStockLength, 1600000, 1550000, false,
       R"({"lower_bound":15500,"name":"stock_length","short_stock":false,"value":16000})"},
      {Kind::kStockLengthLessLastRemainder, 1245000, 1245000, false,
       R"({"lower_bound":12450,"name":"stock_length_less_last_remainder","short_stock":false,"value":12450})"},
      {Kind::kCost, 12100, std::nullopt, true,
       R"({"lower_bound":null,"name":"cost","short_stock":true,"value":121})"},
      {Kind::kCostLessLastRemainderWorth, 9925, 9900, false,
       R"({"lower_bound":99,"name":"cost_less_last_remainder_worth","short_stock":false,"value":99.25})"},
  };
  for (const Case& c : cases) {
    MaterialPlanInput input = SteelInput();
    input.bound.objective = PlanObjective{c.kind, c.value, c.bound, c.shortStock};
    const Json r =
        Parse(PlanJsonText(SampleRun(), {BuildMaterialPlan(input)}))["materials"][0]["results"];
    EXPECT_EQ(Json(r["objective"]).dump(), c.json);
  }
  // Without the exact method there is no objective.
  const Json r = Parse(
      PlanJsonText(SampleRun(), {BuildMaterialPlan(SteelInput())}))["materials"][0]["results"];
  EXPECT_FALSE(r.contains("objective"));
}

// Every cut piece's order line is one its layout lists in a place of its
// length and mark, and a place that names one line has a piece of that line
// on every bar of the layout.
void ExpectPiecesAgreeWithTheirLayouts(const Json& m) {
  using Kind = std::tuple<double, std::string>;
  auto kindOf = [](const Json& p) {
    return Kind{p["length"].get<double>(), p["mark"].is_null() ? "" : p["mark"].get<std::string>()};
  };
  // Per bar the (length, mark, line) of its pieces.
  std::map<size_t, std::multiset<std::tuple<double, std::string, int>>> onBar;
  for (const Json& p : m["pieces"]) {
    if (p["bar"].is_null()) continue;
    const size_t bar = p["bar"];
    const auto [length, mark] = kindOf(p);
    onBar[bar].insert({length, mark, p["order_line"].get<int>()});
    const Json& layout = m["layouts"][m["bars"][bar]["layout"].get<size_t>()];
    bool listed = false;
    for (const Json& place : layout["pieces"]) {
      if (kindOf(place) != kindOf(p)) continue;
      for (const Json& line : place["order_lines"]) listed = listed || line == p["order_line"];
    }
    EXPECT_TRUE(listed) << "piece " << p.dump() << " in layout " << layout.dump();
  }
  for (const Json& layout : m["layouts"]) {
    for (const size_t bar : layout["bars"]) {
      std::multiset<Kind> kinds;
      for (const auto& [length, mark, line] : onBar[bar]) kinds.insert({length, mark});
      std::multiset<Kind> expected;
      for (const Json& place : layout["pieces"]) {
        expected.insert(kindOf(place));
        if (place["order_line"].is_null()) continue;
        EXPECT_EQ(place["order_lines"], Json::array({place["order_line"]}));
        const auto [length, mark] = kindOf(place);
        EXPECT_GT(onBar[bar].count({length, mark, place["order_line"].get<int>()}), 0u)
            << "bar " << bar << " in layout " << layout.dump();
      }
      EXPECT_EQ(kinds, expected) << "bar " << bar;
    }
  }
}

// Orders 2900 x3 (line 2), 1500 x3 (line 3), 2900 x3 (line 4) on 6000: the
// solver's layout 2 cuts two 2900 from bars 2 and 3, the one bar's from
// line 2, the other's from line 4.
TEST(PlanJson, ALayoutOfBarsFromTwoLinesListsBoth) {
  MaterialPlanInput in;
  in.materialKey = "Steel 40x40";
  in.partGroups = {{290000, "", 3, 2}, {150000, "", 3, 3}, {290000, "", 3, 4}};
  in.stockGroups = {{600000, 3000, 10}};
  in.barGroup.assign(10, 1);
  in.barLayout = {1, 2, 2, 3, 0, 0, 0, 0, 0, 0};
  in.barPattern = {1, 2, 2, 3, 0, 0, 0, 0, 0, 0};
  in.barPieceCount = {3, 2, 2, 2, 0, 0, 0, 0, 0, 0};
  in.barWaste = {10000, 20000, 20000, 160000, 0, 0, 0, 0, 0, 0};
  in.pieceGroup = {1, 1, 1, 2, 2, 2, 3, 3, 3};
  in.pieceBar = {1, 2, 2, 1, 1, 4, 3, 3, 4};
  in.lastStock = 4;
  const Json m = Parse(PlanJsonText(SampleRun(), {BuildMaterialPlan(in)}))["materials"][0];
  const Json& twice = m["layouts"][1]["pieces"];
  ASSERT_EQ(twice.size(), 2u);
  for (const Json& place : twice) {
    EXPECT_TRUE(place["order_line"].is_null()) << place.dump();
    EXPECT_EQ(place["order_lines"], Json::array({2, 4}));
  }
  EXPECT_EQ(m["layouts"][0]["pieces"][0]["order_line"], 2);
  EXPECT_EQ(m["layouts"][0]["pieces"][0]["order_lines"], Json::array({2}));
  ExpectPiecesAgreeWithTheirLayouts(m);
}

// A plan as the solver makes them: pieces dealt to bars at random, and the
// bars of one stock group with the same lengths and marks share a pattern.
MaterialPlanInput RandomPlan(std::mt19937& random) {
  auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  MaterialPlanInput in;
  in.materialKey = "R";
  const int groups = 1 + below(6);
  for (int g = 0; g < groups; ++g) {
    // Few lengths and marks, so that lines share them.
    const int32_t length = 50000 * (1 + below(3));
    const std::string mark = below(3) == 0 ? "M" : "";
    in.partGroups.push_back({length, mark, 1 + below(4), 2 + g + below(2) * 10});
  }
  const int stockGroups = 1 + below(2);
  for (int g = 0; g < stockGroups; ++g) in.stockGroups.push_back({600000, 0, 2 + below(4)});
  for (int g = 1; g <= stockGroups; ++g) {
    for (int q = 0; q < in.stockGroups[g - 1].quantity; ++q) in.barGroup.push_back(g);
  }
  const int bars = static_cast<int>(in.barGroup.size());
  for (int g = 1; g <= groups; ++g) {
    for (int q = 0; q < in.partGroups[g - 1].quantity; ++q) {
      in.pieceGroup.push_back(g);
      in.pieceBar.push_back(below(bars + 1));  // 0: not cut
    }
  }
  // Patterns: stock group and the sorted (length, mark) of the pieces.
  std::map<std::pair<int, std::multiset<std::pair<int32_t, std::string>>>, int> patterns;
  for (int bar = 1; bar <= bars; ++bar) {
    std::multiset<std::pair<int32_t, std::string>> kinds;
    int pieces = 0;
    for (size_t p = 0; p < in.pieceGroup.size(); ++p) {
      if (in.pieceBar[p] != bar) continue;
      const PlanPartGroup& g = in.partGroups[in.pieceGroup[p] - 1];
      kinds.insert({g.length, g.mark});
      ++pieces;
    }
    int pattern = 0;
    if (pieces > 0) {
      const auto key = std::make_pair(in.barGroup[bar - 1], kinds);
      if (!patterns.count(key)) patterns[key] = static_cast<int>(patterns.size()) + 1;
      pattern = patterns[key];
    }
    in.barLayout.push_back(pattern);
    in.barPattern.push_back(pattern);
    in.barPieceCount.push_back(pieces);
    in.barWaste.push_back(0);
  }
  return in;
}

TEST(PlanJson, PiecesAgreeWithTheirLayoutsInRandomPlans) {
  std::mt19937 random(20251209);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const Json m =
        Parse(PlanJsonText(SampleRun(), {BuildMaterialPlan(RandomPlan(random))}))["materials"][0];
    ExpectPiecesAgreeWithTheirLayouts(m);
    if (::testing::Test::HasFailure()) break;
  }
}

TEST(PlanJson, FailedMaterialsCarryTheirErrorAndNoResults) {
  const Json materials = Parse(PlanJsonText(SampleRun(), PartialRun()))["materials"];
  ASSERT_EQ(materials.size(), 4u);
  const Json& solverError = materials[1];
  EXPECT_EQ(solverError["status"], "failed");
  EXPECT_EQ(solverError["error"]["number"], 21);
  EXPECT_FALSE(solverError.contains("results"));
  EXPECT_EQ(solverError["pieces"].size(), 9u);
  EXPECT_EQ(materials[2]["error"]["kind"], "no_stock");
  EXPECT_TRUE(materials[2]["error"]["number"].is_null());
}

TEST(PlanJson, BadBytesInTextsAreReplaced) {
  MaterialPlanInput input = SteelInput();
  input.materialKey = "ST\xff\xfe";
  const Json doc = Parse(PlanJsonText(SampleRun(), {BuildMaterialPlan(input)}));
  EXPECT_EQ(doc["materials"][0]["key"], "ST\xef\xbf\xbd\xef\xbf\xbd");
}

// The document is assembled from the materials' own texts: it must read
// back to the very bytes that one dump of the whole document gives.
TEST(PlanJson, TheAssembledDocumentIsTheWholeDocumentsDump) {
  MaterialPlanInput odd = SteelInput();
  odd.materialKey = "ST\xff \"q\"\n";
  const std::vector<std::vector<MaterialPlan>> runs = {
      {}, {BuildMaterialPlan(SteelInput())}, PartialRun(), {BuildMaterialPlan(odd)}};
  for (const auto& materials : runs) {
    const std::string text = PlanJsonText(SampleRun(), materials);
    EXPECT_EQ(nlohmann::ordered_json::parse(text).dump(2) + "\n", text);
  }
}

// The document is valid after every way a run can end.
TEST(PlanJson, DocumentsValidateAgainstTheSchema) {
  PlanRun running = SampleRun();
  PlanRun completed = SampleRun();
  completed.end = RunEnd::kCompleted;
  PlanRun stopped = SampleRun();
  stopped.end = RunEnd::kEndedByError;
  MaterialPlanInput bounded = SteelInput();
  bounded.bound = {4, 1500000, 11000, false, std::nullopt};
  const std::vector<MaterialPlan> partial = PartialRun();

  const std::vector<std::string> valid = {
      WriteDoc("schema_empty.json", PlanJsonText(running, {})),
      WriteDoc("schema_completed.json", PlanJsonText(completed, {BuildMaterialPlan(SteelInput()),
                                                                 BuildMaterialPlan(bounded)})),
      WriteDoc("schema_partial.json", PlanJsonText(stopped, partial)),
  };
  const int status = Validate(valid);
  if (status < 0) GTEST_SKIP() << "python3 with jsonschema is not installed";
  EXPECT_EQ(status, 0);

  // The schema must be able to say no.
  Json broken = Parse(PlanJsonText(stopped, partial));
  broken["materials"][0]["pieces"][0]["bar"] = -1;
  EXPECT_EQ(Validate({WriteDoc("schema_broken_bar.json", broken.dump())}, true), 1);
  broken = Parse(PlanJsonText(stopped, partial));
  broken["materials"][1].erase("error");
  EXPECT_EQ(Validate({WriteDoc("schema_broken_error.json", broken.dump())}, true), 1);
}

TEST(PlanDocument, FileHoldsTheMaterialsFinishedSoFar) {
  const std::string path = TempPath("document.json");
  PlanDocument doc(path, SampleRun());
  ASSERT_TRUE(doc.Start());
  EXPECT_TRUE(Parse(ReadFile(path))["materials"].empty());

  const std::vector<MaterialPlan> partial = PartialRun();
  for (size_t i = 0; i < partial.size(); ++i) {
    ASSERT_TRUE(doc.Add(partial[i])) << doc.LastError();
    const Json now = Parse(ReadFile(path));
    EXPECT_EQ(now["materials"].size(), i + 1);
    EXPECT_EQ(now["run_end"], "running");
  }
  ASSERT_TRUE(doc.Finish(RunEnd::kEndedByError));
  EXPECT_EQ(Parse(ReadFile(path))["run_end"], "ended_by_error");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(PlanDocument, FailedWriteKeepsThePreviousFileAndSaysWhy) {
  const std::string dir = TempPath("blocked-dir");
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/plan.json";
  PlanDocument doc(path, SampleRun());
  ASSERT_TRUE(doc.Start());
  const std::string before = ReadFile(path);
  // A directory where the temporary file should go makes the write fail.
  std::filesystem::create_directories(path + ".tmp");
  EXPECT_FALSE(doc.Add(BuildMaterialPlan(SteelInput())));
  EXPECT_NE(doc.LastError().find("plan.json.tmp"), std::string::npos) << doc.LastError();
  EXPECT_EQ(ReadFile(path), before);

  PlanDocument nowhere("/nonexistent-dir/plan.json", SampleRun());
  EXPECT_FALSE(nowhere.Start());
  EXPECT_FALSE(nowhere.LastError().empty());
}

}  // namespace
}  // namespace tarvolin::plan
