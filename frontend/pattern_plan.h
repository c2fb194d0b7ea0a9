// A cutting plan given by its patterns (how many bars of a stock group are
// cut to one set of pieces) turned into the per-bar and per-piece tables
// that the report, the labels and the plan files read.
#pragma once

#include <cstdint>
#include <vector>

#include "batch_records.h"

namespace tarvolin {

// One pattern of a plan.
struct CutPattern {
  int stockGroup = 0;           // 1..stock group count
  std::vector<int32_t> counts;  // pieces per part group, [g - 1] for group g
  int64_t bars = 0;             // bars cut to it
  bool last = false;            // the last stock: one bar, reported apart
};

// Fills the results from the patterns of a plan for the groups of `plan`:
// bars and pieces numbered in input order (all of stock group 1 first, and
// so on). Patterns are numbered by stock group, in their order within it,
// the last stock behind its group's other patterns; each pattern is a
// layout of its own and its bars follow each other. Pieces of a part group
// go to the bars in ascending order, those left uncut last. The figures
// leave the last stock apart, as the search's do; a bar's waste is its
// length less the lengths of its pieces. False, and the results cleared,
// when the patterns do not fit the groups (a group out of range, more bars
// or pieces than the groups hold, or a last stock that is not one bar).
bool FillResultsFromPatterns(const MaterialPlan& plan, std::vector<CutPattern> patterns,
                             SolverResults& results);

}  // namespace tarvolin
