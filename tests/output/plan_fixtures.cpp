#include "plan_fixtures.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarvolin::plan::testing_support {

MaterialPlanInput SteelInput() {
  MaterialPlanInput in;
  in.materialKey = "STEEL 40x40";
  in.method = "heuristic";
  in.partGroups = {
      {250000, "A1", 4, 2}, {120050, "B-22", 2, 3}, {80000, "", 2, 5}, {300000, "X", 1, 6}};
  in.stockGroups = {{600000, 4550, 3}, {400000, 3000, 2}};
  in.barGroup = {1, 1, 1, 2, 2};
  in.barLayout = {1, 1, 0, 2, 0};
  in.barPattern = {1, 1, 0, 2, 0};
  in.barPieceCount = {3, 3, 0, 2, 0};
  in.barWaste = {20000, 20000, 0, 159900, 0};
  // Items 1-4 "A1", 5-6 "B-22", 7-8 unmarked, 9 "X".
  in.pieceGroup = {1, 1, 1, 1, 2, 2, 3, 3, 4};
  in.pieceBar = {1, 2, 1, 2, 4, 4, 1, 2, 0};
  in.lastStock = 4;
  in.kerf = 500;
  in.endZone = 1000;
  in.minReusable = 100000;
  in.calculationMs = 250;
  return in;
}

PlanRun SampleRun() {
  PlanRun run;
  run.programVersion = "0.1.0";
  run.isoDate = "2025-03-14T09:30:00";
  run.dateText = "14.03.2025";
  run.orderFile = "QM_Orders1.txt";
  run.stockFile = "QM_Stocks1.txt";
  run.settingsFile = "QM_OptSet.txt";
  run.materialHeader = "Mater/Sect";
  run.settings = {PlanSetting::Switch("CostOptim", false),
                  PlanSetting::Integer("EffortLev", 5),
                  PlanSetting::Integer("DiffPieces", -4),
                  PlanSetting::Length("GapItIt", 500),
                  PlanSetting::Length("MinReusable", 100000),
                  PlanSetting::Text("MaterialHeader", "Mater/Sect")};
  return run;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string TempPath(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / "tarvolin-plan-tests";
  std::filesystem::create_directories(dir);
  const auto path = dir / name;
  std::filesystem::remove_all(path);
  return path.string();
}

}  // namespace tarvolin::plan::testing_support
