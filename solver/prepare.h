// Input validation and problem preparation: the settings and array checks
// of a call, the expansion of groups into items, sorting and regrouping,
// and the problem check with its statistics and derived limits.
#pragma once

#include <cstdint>

#include "tarvolin/solver.h"

namespace solver {

struct SolverState;

// Faults that only the flat call's parallel arrays can have: the element 0
// of the three stock (or part) arrays disagree.
struct ArrayCountMismatch {
  bool stock = false;
  bool part = false;
};

// Checks every setting; raises TARVOLIN_ERROR_SETTINGS when any is out of
// range, otherwise takes them over into st.settings. Returns whether they
// were taken over.
bool CheckSettings(SolverState& st, const TarvolinSettings& in);

// Checks the group counts, all of them before stopping, and then the group
// values, stopping at the first bad one.
void CheckGroups(SolverState& st, const TarvolinProblem& in, ArrayCountMismatch mismatch = {});

// Zeroes the problem tables, statistics, run tables and solution tables and
// makes the effective copies of cost mode and layout reduction.
void ClearProblemTables(SolverState& st);

// Appends one item per piece and per bar in input order and records each
// item's input group in the plan (partItemGroup, stockItemGroup and their
// counts) as it goes. Fails beyond TARVOLIN_MAX_ITEMS items of a kind.
void ExpandItems(SolverState& st, const TarvolinProblem& in, TarvolinPlan& plan);

// Stable sorts of the items, longest first, and regrouping into internal
// groups; too many groups, or items lost on the way, fail the call.
void SortPartItems(SolverState& st);
void GroupPartItems(SolverState& st);
void SortStockItems(SolverState& st);
void GroupStockItems(SolverState& st);
void SortAndRegroup(SolverState& st);

// Problem check with capped quantities, statistics and derived limits;
// raises the problem errors (no stock, no parts, sums, no part fits,
// bundle too large).
void CheckProblem(SolverState& st);

// Writes the driver's result (internal numbering) into the plan in input
// numbering.
void WriteResults(const SolverState& st, TarvolinPlan& plan);

}  // namespace solver
