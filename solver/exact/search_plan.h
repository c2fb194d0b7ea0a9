// The layout search's plan for the same input, through the solver's call:
// a quick plan to start the exact method from, and the plan to compare it
// with.
#pragma once

#include <cstdint>

#include "exact.h"

namespace solver::exact {

struct SearchOutcome {
  int32_t error = 0;  // the call's error number, 0 = a plan
  Plan plan;
  double elapsedMs = 0;
  double lowerBound = 0;  // struct call with method 1: the plan's bound
  bool proven = false;    // and whether the plan meets it
};

// The search alone at the given effort level (IterMult 20, no progress
// window); input.timeLimitMs rounded up to seconds is its time limit (0:
// none).
SearchOutcome RunSearch(const ExactInput& input, int32_t effort);

// The struct call with the given method, as a user runs it; with method 1
// input.timeLimitMs rounded up to seconds is the exact method's limit (0:
// its default).
SearchOutcome RunCall(const ExactInput& input, int32_t effort, int32_t method);

// The plan described by the call's result arrays (input numbering, element
// 0 the count): stock group per bar, part group per piece, bar per piece
// (0 = not cut), and the separately reported last bar (0 = none).
Plan PlanFromCallArrays(const ExactInput& input, const int16_t* stockItGr, const int16_t* partItGr,
                        const int16_t* partItStock, int32_t lastStock);

}  // namespace solver::exact
