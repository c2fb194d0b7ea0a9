#include "plan_json.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "plan_fixtures.h"

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
  EXPECT_EQ(WriteFileAtomically(path, text), "");
  return path;
}

TEST(PlanJson, HeadingCarriesFormatRunAndSettings) {
  PlanRun run = SampleRun();
  run.end = RunEnd::kInterrupted;
  const Json doc = Parse(PlanJsonText(run, {}));
  EXPECT_EQ(doc["format"], "tarvolin-plan");
  EXPECT_EQ(doc["version"], 1);
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
  bounded.bound = {4, 1500000, 11000, false};
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
