// Hand-built cutting plans and file helpers for the report and label tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "batch_records.h"
#include "run_record.h"
#include "text_file.h"

namespace tarvolin::testing_support {

std::string Golden(const std::string& name);
std::string ReadBytes(const std::string& path);
std::string TempPath(const std::string& name);

// One material's plan with the run record the writers read and the two
// files they write. The record starts with the banner and the report style
// the golden files were written with; `opt` are the settings the plan was
// solved with, which the plan every output reads is made from.
struct PlanCase : RunRecord {
  PlanCase();
  OptimizerSettings opt;
  MaterialPlan plan;
  TextOutFile report, labels;
};

// Four bars of 6500.00 and one of 4000.00 for "STEEL 40x40"; eleven pieces
// (six of 2500.00 "A1", three of 1200.00 "B-22", two of 2900.00 "C") on
// pattern 1 (bars 1-3) and pattern 3 (bar 4); pattern 2 has no bar and
// bar 5 is unused. The solver started at 1000 ms.
std::unique_ptr<PlanCase> SteelPlan();

// The same plan with bar 4 reported separately as the last stock.
std::unique_ptr<PlanCase> SteelPlanWithLastStock();

// Seven cut pieces and one uncut piece on bars 2 and 3 of a 27-character
// material; bar 1 is unused.
std::unique_ptr<PlanCase> SevenPieces();

// 37 pieces of "ALU 20x20" on eight used bars out of nine (bar 7 unused):
// items 1-25 are 1000.00 "B7", items 26-37 are 1500.00 "FRAME-LEFT".
std::unique_ptr<PlanCase> ThirtySevenPieces();

// The solver clock when the writers run: a plan whose solver started at
// 1000 ms took 2340 ms.
inline constexpr double kWritingClockMs = 3340;

// The plan every output reads, made from the case's solver answer.
plan::MaterialPlan Model(const PlanCase& run);

class OutputTest : public ::testing::Test {
 protected:
  static void UseCommaLocale(PlanCase& run) { run.format.decimalSeparator = ','; }
};

}  // namespace tarvolin::testing_support
