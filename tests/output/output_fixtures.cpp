#include "output_fixtures.h"

#include <fstream>
#include <initializer_list>
#include <sstream>

namespace tarvolin::testing_support {

namespace {

void AddStockGroup(MaterialPlan& plan, const std::string& key, int32_t length, int32_t cost,
                   int16_t quantity) {
  StockGroup& group = plan.stockGroups[++plan.stockGroupCount];
  group.materialKey = key;
  group.length = length;
  group.cost = cost;
  group.quantity = quantity;
}

void AddPartGroup(MaterialPlan& plan, int32_t length, const std::string& mark, int16_t quantity) {
  const int g = ++plan.partGroupCount;
  PartGroup& group = plan.partGroups[g];
  group.length = length;
  group.mark = mark;
  group.markId = g;
  group.quantity = quantity;
}

// One entry per bar: group, layout, pattern, waste.
struct Bar {
  int16_t group, layout, pattern;
  int32_t waste;
};

void SetBars(SolverResults& r, std::initializer_list<Bar> bars) {
  int i = 0;
  for (const Bar& b : bars) {
    ++i;
    r.stockItemGroup[i] = b.group;
    r.stockItemLayout[i] = b.layout;
    r.stockItemPattern[i] = b.pattern;
    r.stockItemWaste[i] = b.waste;
  }
  r.stockItemCount = i;
}

// One entry per piece: group, bar (0 = not cut).
void SetPieces(SolverResults& r, std::initializer_list<std::pair<int16_t, int16_t>> pieces) {
  int i = 0;
  for (const auto& [group, bar] : pieces) {
    ++i;
    r.partItemGroup[i] = group;
    r.partItemStock[i] = bar;
  }
  r.partItemCount = i;
}

}  // namespace

std::string Golden(const std::string& name) {
  return ReadBytes(std::string(TARVOLIN_OUTPUT_GOLDEN_DIR) + "/" + name);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TempPath(const std::string& name) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "tarvolin_output_" + info->name() + "_" + name;
}

PlanCase::PlanCase() {
  banner = "Velmora";
  style = ReportStyle{.totals = true,
                      .materialColumn = true,
                      .partsMode = 0,
                      .costs = false,
                      .materialColumnWidth = 18,
                      .numberColumnWidth = 8};
}

plan::MaterialPlan Model(const PlanCase& run) {
  return SolvedPlanOf(run.opt, run.plan,
                      static_cast<int64_t>(kWritingClockMs - run.plan.solverStartMs));
}

std::unique_ptr<PlanCase> SteelPlan() {
  auto run = std::make_unique<PlanCase>();
  run->orderFile = "QM_Orders1.txt";
  run->stockFile = "QM_Stocks1.txt";
  run->plan.material = "STEEL 40x40";
  MaterialPlan& plan = run->plan;
  AddStockGroup(plan, "STEEL 40x40", 650000, 2550, 4);
  AddStockGroup(plan, "STEEL 40x40", 400000, 1800, 1);
  AddPartGroup(plan, 250000, "A1", 6);
  AddPartGroup(plan, 120000, "B-22", 3);
  AddPartGroup(plan, 290000, "C", 2);

  SolverResults& r = plan.results;
  SetBars(r,
          {{1, 1, 1, 30000}, {1, 1, 1, 30000}, {1, 1, 1, 30000}, {1, 2, 3, 70000}, {2, 0, 0, 0}});
  SetPieces(
      r, {{1, 1}, {1, 1}, {1, 2}, {1, 2}, {1, 3}, {1, 3}, {2, 1}, {2, 2}, {2, 3}, {3, 4}, {3, 4}});
  r.stockUsed = 4;
  r.partsCut = 11;
  r.lengthUsed = 2600000;
  r.wasteSum = 160000;
  r.costUsed = 10200;
  r.patternCount = 3;
  r.layoutCount = 2;
  r.layoutCuts = 5;
  r.utilization = 12345;
  plan.solverStartMs = 1000;
  return run;
}

std::unique_ptr<PlanCase> SteelPlanWithLastStock() {
  auto run = SteelPlan();
  SolverResults& r = run->plan.results;
  r.stockUsed = 3;
  r.partsCut = 9;
  r.lengthUsed = 1950000;
  r.wasteSum = 90000;
  r.costUsed = 7650;
  r.layoutCuts = 4;
  r.lastStock = 4;
  r.lastParts = 2;
  r.lastLengthUsed = 580000;
  r.lastWaste = 70000;
  r.lastCost = 2550;
  return run;
}

std::unique_ptr<PlanCase> SevenPieces() {
  auto run = std::make_unique<PlanCase>();
  run->plan.material = "ALUMINIUM PROFILE 40x80 RAW";
  MaterialPlan& plan = run->plan;
  AddStockGroup(plan, run->plan.material, 900000, 0, 3);
  AddPartGroup(plan, 120000, "SHORT", 1);
  AddPartGroup(plan, 250000, "EXACTLY-16-CHARS", 1);
  AddPartGroup(plan, 80000, "SEVENTEEN-CHARS-X", 1);
  AddPartGroup(plan, 250000, "", 1);
  AddPartGroup(plan, 80000, "M5", 1);
  AddPartGroup(plan, 120000, "M6", 1);
  AddPartGroup(plan, 300000, "LONGEST", 1);
  AddPartGroup(plan, 100000, "UNCUT", 1);

  SolverResults& r = plan.results;
  SetBars(r, {{1, 0, 0, 0}, {1, 1, 1, 100000}, {1, 2, 2, 500000}});
  SetPieces(r, {{1, 3}, {2, 2}, {3, 3}, {4, 2}, {5, 3}, {6, 3}, {7, 2}, {8, 0}});
  r.stockUsed = 2;
  r.partsCut = 7;
  r.patternCount = 2;
  r.layoutCount = 2;
  return run;
}

std::unique_ptr<PlanCase> ThirtySevenPieces() {
  auto run = std::make_unique<PlanCase>();
  run->plan.material = "ALU 20x20";
  MaterialPlan& plan = run->plan;
  AddStockGroup(plan, run->plan.material, 600000, 0, 9);
  AddPartGroup(plan, 100000, "B7", 25);
  AddPartGroup(plan, 150000, "FRAME-LEFT", 12);

  SolverResults& r = plan.results;
  SetBars(r, {{1, 1, 1, 0},
              {1, 1, 1, 0},
              {1, 1, 1, 0},
              {1, 1, 1, 0},
              {1, 1, 1, 0},
              {1, 1, 1, 0},
              {1, 0, 0, 0},
              {1, 2, 2, 0},
              {1, 3, 3, 500000}});
  // Bars 1-6: three short pieces each (items 1-18) and two long ones
  // (items 26-37); bar 8: items 19-24; bar 9: item 25.
  r.partItemCount = 37;
  for (int i = 1; i <= 37; ++i) {
    r.partItemGroup[i] = i <= 25 ? 1 : 2;
    if (i <= 18)
      r.partItemStock[i] = static_cast<int16_t>((i - 1) / 3 + 1);
    else if (i <= 24)
      r.partItemStock[i] = 8;
    else if (i == 25)
      r.partItemStock[i] = 9;
    else
      r.partItemStock[i] = static_cast<int16_t>((i - 26) / 2 + 1);
  }
  r.stockUsed = 8;
  r.partsCut = 37;
  r.patternCount = 3;
  r.layoutCount = 3;
  return run;
}

}  // namespace tarvolin::testing_support
