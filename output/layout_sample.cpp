// Writes the layout diagrams of two small sample plans as a PDF, for the
// pictures in the documentation: page 1 a material with an end zone, page
// 2 one with a gripping length, where a piece is cut last into the grip.
// Usage: tarvolin_layout_sample OUTPUT.pdf
#include <QGuiApplication>
#include <iostream>

#include "layout_pdf.h"
#include "material_plan.h"

namespace {

using namespace tarvolin::plan;

MaterialPlanInput SamplePlan() {
  MaterialPlanInput in;
  in.materialKey = "STEEL 40x40x3";
  in.method = "heuristic";
  in.partGroups = {{245000, "F-101", 4, 2},
                   {183050, "F-102", 3, 3},
                   {96000, "", 5, 4},
                   {4500, "SP", 4, 5},
                   {310000, "BEAM", 2, 6}};
  in.stockGroups = {{600000, 5240, 6}, {450000, 3990, 2}};
  in.barGroup = {1, 1, 1, 1, 1, 1, 2, 2};
  in.barLayout = {1, 1, 2, 2, 0, 0, 3, 0};
  in.barPattern = {1, 1, 2, 2, 0, 0, 3, 0};
  in.barPieceCount = {5, 5, 3, 3, 0, 0, 2, 0};
  in.barWaste = {5000, 5000, 10950, 10950, 0, 0, 170950, 0};
  in.pieceGroup = {1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5};
  in.pieceBar = {1, 1, 2, 2, 3, 4, 7, 1, 2, 3, 4, 7, 1, 1, 2, 2, 3, 4};
  in.lastStock = 7;
  in.kerf = 300;
  in.endZone = 1000;
  in.minReusable = 50000;
  in.calculationMs = 1840;
  in.bound.bars = 5;
  return in;
}

// Stock of 6000.00 gripped over 150.00 at its end, kerf 3.00. Layout 1:
// 2400.00, 1800.00, 1500.00 and two 120.00 leave 45.00 behind, less than
// the grip, so the 1500.00 (the shortest piece at least 150.00 long) is cut
// last. Layout 2: two 2400.00 leave an offcut that holds the grip.
MaterialPlanInput GripPlan() {
  MaterialPlanInput in;
  in.materialKey = "ALU 50x20";
  in.method = "heuristic";
  in.partGroups = {
      {240000, "P1", 4, 2}, {180000, "P2", 2, 3}, {150000, "P3", 2, 4}, {12000, "C", 4, 5}};
  in.stockGroups = {{600000, 3100, 4}};
  in.barGroup = {1, 1, 1, 1};
  in.barLayout = {1, 1, 2, 0};
  in.barPattern = {1, 1, 2, 0};
  in.barPieceCount = {5, 5, 2, 0};
  in.barWaste = {6000, 6000, 120000, 0};
  in.pieceGroup = {1, 1, 1, 1, 2, 2, 3, 3, 4, 4, 4, 4};
  in.pieceBar = {1, 2, 3, 3, 1, 2, 1, 2, 1, 1, 2, 2};
  in.kerf = 300;
  in.gripLength = 15000;
  in.minReusable = 50000;
  in.calculationMs = 420;
  return in;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Usage: tarvolin_layout_sample OUTPUT.pdf\n";
    return 64;
  }
  // Drawing text needs a GUI application; no display is needed.
  int qtArgc = 3;
  char name[] = "tarvolin_layout_sample";
  char option[] = "-platform";
  char platform[] = "offscreen";
  char* qtArgv[] = {name, option, platform, nullptr};
  QGuiApplication application(qtArgc, qtArgv);
  PlanRun run;
  run.programVersion = "sample";
  run.dateText = "2025-03-14";
  run.orderFile = "QM_Orders_frame.txt";
  run.stockFile = "QM_Stocks_yard.txt";
  run.materialHeader = "Mater/Sect";
  run.showCosts = true;
  const std::string error = WriteLayoutPdf(
      argv[1], run, {BuildMaterialPlan(SamplePlan()), BuildMaterialPlan(GripPlan())});
  if (!error.empty()) {
    std::cerr << error << "\n";
    return 1;
  }
  return 0;
}
