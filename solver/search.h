// The layout search: many greedy plans from varied orders, commit of good
// layouts with a growing tolerance, the best plan kept and consolidated.
#pragma once

#include <cstdint>

namespace solver {

struct SolverState;

// Runs the search on the sub-problem in st.run for multiplicity k >= 1 and
// leaves the kept plan, its record and layout numbering in st.run (see
// run_tables.h). Consistency failures go to st.run.check.
void LayoutSearch(SolverState& st, int k);

// Iteration budget of one pass: highest piece-order and stock-order iteration.
struct PassBudget {
  int32_t pieceIterLimit = 0;
  int32_t stockIterLimit = 0;
};
PassBudget ComputePassBudget(const SolverState& st, int pass);

// Number of orders of n classes: 0 for none, n! up to 7 classes, and a
// fixed "many" above.
int32_t ClassOrderCount(int n);

// Whether pass p runs rule r.
bool PassRunsRule(int pass, int rule);

}  // namespace solver
