// The struct call run as a user runs it, on the exact method's input: the
// layout search's plan or the exact method's for the same order, for the
// tests and the benchmarks that compare the methods. It sits above the call
// (it builds a context and runs the call's internal entry); the methods
// never use it.
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

}  // namespace solver::exact
