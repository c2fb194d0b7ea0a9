// The optimization driver: plans multiplicities and search levels, runs the
// layout search on each sub-problem and keeps the best plan.
#pragma once

#include <cstdint>

namespace solver {

struct SolverState;
struct Candidate;

// Runs the whole optimization on the prepared problem; the best plan is left
// in st.driver. Failures are raised through the error reporter.
void RunOptimizationDriver(SolverState& st);

// The steps of the driver, open to tests.

// Group weights into problem.partGroupWeight; item weights in place of the
// mark identifiers when any item has a positive mark identifier.
void ComputeOrderWeights(SolverState& st);

// Weight of rank r of n among `items` items: round((sin a + a + a^2) / 3 *
// sum limit / items) with a = r / n.
int32_t OrderWeight(int r, int n, int items);

// Fills B, C and the bundle and remainder lengths of multiplicity m.
void MeasureCandidate(const SolverState& st, int32_t m, Candidate& c);

// Estimate of a measured candidate.
double EstimateCandidate(const SolverState& st, const Candidate& c);

// Inserts before the first entry with a strictly smaller estimate; returns
// the position taken, or 0 when the candidate was dropped.
int InsertCandidate(SolverState& st, const Candidate& c);

// Driver mode and candidate table from the settings and statistics.
void BuildCandidateTable(SolverState& st);

// Prepares the run tables from st.driver.workPartQty / workStockQty at
// sub-level `subLevel`. Returns false when there is nothing to plan (also
// after a preparation error).
bool PrepareRun(SolverState& st, int subLevel);

// Checks the plan of the current and best-of-run records against the
// best-ten list; returns true when it entered the list and equals the target.
bool UpdateBestTen(SolverState& st, int32_t m);

// Permutes the result layout numbers inside each stock group so that the
// layout of the bar with the largest waste carries the highest number.
void OrderLayoutsByWaste(SolverState& st);

// Numbers, groups and tidies the layouts of the plan in the result tables
// (resultStockOfPiece, result.lastStock) and fills the result record, as
// for a new best plan.
void ConsolidateBestPlan(SolverState& st);

// Raises error 100 + k for every non-zero consistency counter k.
void RaiseConsistencyErrors(SolverState& st);

// Evaluates candidate `entry` at sub-level s (skipped when it already holds
// a criterion for s).
void EvaluateCandidate(SolverState& st, int entry, int s);

// The driver's stop test after a candidate.
bool StopSearch(SolverState& st);

}  // namespace solver
