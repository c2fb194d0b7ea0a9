// Greedy construction of one cutting plan from the current order of the open
// pieces and the open bars, with pair and triple combinations of part groups,
// and the commit of near-perfect layouts.
#pragma once

#include <cstdint>

namespace solver {

struct SolverState;

// Builds one plan from openPieces and openStocks: fills stockOfPiece,
// stockState, stockPieces, stockRemainder, usedStockGroups, planTotals
// (working lengths, committed layouts included) and commits layouts whose
// waste is within commitTolerance.
void BuildPlan(SolverState& st);

// With count different groups in list[1..count]: count when group is listed;
// -1 when count has reached the different-pieces limit; otherwise writes group to
// list[count + 1] and returns count + 1.
int AddDifferentPiece(const SolverState& st, int group, int count, int16_t* list);

// The commit rule for a filled bar (working lengths).
bool CommitAllowed(const SolverState& st, int barLength, int barRemaining, int barCost);

// The rating of "nothing rated yet": above every real rating, which is a
// waste length or a product of small fractions.
inline constexpr float kNoCountsRated = 5.5e26f;

// The fit rule of one bar, in working lengths: pieces that take `load` of a
// bar offering `barLength` fit when the load does not exceed it and the bar
// can still be gripped: the rest is at least the gripping length, or one of
// the pieces (the longest, `longest`) is at least that long itself.
inline bool LayoutFits(int64_t barLength, int64_t load, int64_t longest, int64_t gripLength) {
  const int64_t rest = barLength - load;
  return rest >= 0 && (rest >= gripLength || longest >= gripLength);
}

// The count enumeration of a combination on the current bar.
struct ComboCounts {
  int groups = 2;                  // 2 or 3
  int32_t L1 = 0, L2 = 0, L3 = 0;  // working lengths
  int32_t k1 = 0, k2 = 0, k3 = 0;  // run lengths
  int32_t barLength = 0, barRemaining = 0, barPieces = 0;
  int32_t maxPiecesPerLayout = 0;  // 0 = not limited
  int32_t gripLength = 0;          // working
  int32_t r0 = 0;                  // reserve of the first group
  bool spread = false;
  // Results.
  int32_t a = 0, b = 0, c = 0;
  float bestScore = kNoCountsRated;
};

// Enumerates a (and b with three groups) ascending and rates each candidate.
void ChooseCounts(ComboCounts& cc, bool spread);
// Rates one candidate after its top-ups; keeps it when strictly better.
void RateCounts(ComboCounts& cc, int a, int b, int c);

}  // namespace solver
