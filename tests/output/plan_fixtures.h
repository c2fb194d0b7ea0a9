// Hand-made solver answers for the plan, JSON and layout PDF tests.
#pragma once

#include <string>

#include "material_plan.h"

namespace tarvolin::plan::testing_support {

// "STEEL 40x40", kerf 5.00, end zone 10.00, MinReusable 1000.00.
// Order lines: 2500.00 "A1" x4 (line 2), 1200.50 "B-22" x2 (line 3),
// 800.00 unmarked x2 (line 5), 3000.00 "X" x1 (line 6, not cut).
// Stock: 6000.00 at 45.50 x3, 4000.00 at 30.00 x2.
// Bars 1 and 2 (pattern 1): 2500, 2500, 800, waste 200.00 each; bar 4
// (pattern 2, the last stock): 1200.50 twice, waste 1599.00; bars 3, 5 unused.
MaterialPlanInput SteelInput();

// A run heading with a few settings; numbers at the standard scale of 100.
PlanRun SampleRun();

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// A fresh path under the test temporary directory.
std::string TempPath(const std::string& name);

}  // namespace tarvolin::plan::testing_support
