// Adjustment and scoring of a plan just built by the construction: a few
// cheap improving moves, the separately reported last bar, the remainder
// rule of bundle runs, the turn from working into real lengths, and the
// plan's criterion value (higher is better).
//
// Everything works on st.run: planTotals (working lengths, committed
// layouts included), stockOfPiece, stockState, stockPieces, stockRemainder,
// openStocks, barsByGroup and the fixed part st.run.fixed.
#pragma once

#include <cstdint>

#include "run_tables.h"

namespace solver {

struct SolverState;

struct PlanScore {
  double score = 0;        // the criterion value
  double utilization = 0;  // Y
};

// A bar picked by PickLastBar (working figures); stock 0 = none.
struct PickedBar {
  int32_t stock = 0;
  int32_t group = 0;
  int32_t pieces = 0;
  int32_t length = 0;
  int32_t remainder = 0;
  int32_t used = 0;
  int32_t cost = 0;
};

// The steps after every construction, in order: shift to shorter bars, last
// bar (k = 1), remainder rule (k >= 2), kerf correction, score. k is the
// run's multiplicity. The search calls this after each construction.
PlanScore AdjustAndScorePlan(SolverState& st, int k);

// Moves layouts onto free bars of shorter stock groups where they fit.
void ShiftToShorterBars(SolverState& st);

// The used, uncommitted bar with the largest remainder (open bars walked
// from the last open position to the first); a later bar of the same stock
// group with the same remainder cancels the candidate.
PickedBar PickLastBar(const SolverState& st);

// Takes a bar's figures out of the plan totals.
void DropBarFromTotals(PlanTotals& totals, const PickedBar& bar);

// Reports a bar with a large reusable remainder separately (ignore-last setting, k = 1).
void SetAsideLastBar(SolverState& st, int k);

// Bundle runs: empties the bar with the largest remainder when it holds a
// large share of the plan's waste (k >= 2).
void ApplyRemainderRule(SolverState& st, int k);

// Turns the plan totals from working into real lengths.
void ApplyKerfCorrection(SolverState& st);

// The criterion value of the plan (totals in real lengths).
PlanScore ScorePlan(SolverState& st, int k);

// Different layouts of the current plan whose bar count is not a multiple
// of the stock/cut bundle; fixed-part bars count m each, the last bar's own
// layout is left out. layouts/layoutCount come from NumberLayouts.
int32_t BundleMisfits(const SolverState& st, const int32_t* barLayout, int32_t layoutCount);

}  // namespace solver
