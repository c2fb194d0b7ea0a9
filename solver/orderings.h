// Orders of the open pieces and open bars that drive the plan construction:
// stable sorts by length-derived keys, random class shuffles, random swaps of
// adjacent class runs and class splits. All work in place on the run tables.
#pragma once

#include <cstdint>

namespace solver {

struct SolverState;

// Stable descending sort of openPieces by float(L * (L - x)).
void SortPiecesByLength(SolverState& st, float x);
// Stable descending sort of openPieces by float(L * (L - x) * (q + a)).
void SortPiecesByDemand(SolverState& st, int a, float x);
// Stable descending sort of openStocks by float(s * h * (h - x)), with
// h = float(c * C + S) and c = float(0.1 / refCostRate) when that rate is > 0.
void SortStocksByLength(SolverState& st, int s, float x);
// The same, key multiplied by (Q + b).
void SortStocksByDemand(SolverState& st, int s, int b, float x);

// Random order of whole classes; classes drawn in ascending number, classes
// of groups without open quantity draw nothing and go last.
void ShufflePieceClasses(SolverState& st);
void ShuffleStockClasses(SolverState& st);

// Random exchanges of adjacent runs of equal class, front to back; a run pair
// is exchanged when Random(a + 1) draws 0.
void SwapPieceRuns(SolverState& st, int a);
void SwapStockRuns(SolverState& st, int a);

// Splits one class of consecutive items in two; false when no class is large
// enough.
bool SplitPieceClass(SolverState& st);
bool SplitStockClass(SolverState& st);

// Moves list[from] to position first (first <= from), shifting the entries
// between back by one; MoveToBack moves list[from] to position last.
void MoveToFront(int16_t* list, int first, int from);
void MoveToBack(int16_t* list, int from, int last);

// The ordering of piece-order iteration i (by mixType) and of stock-order
// iteration j (by the stock group limit and cost mode).
void OrderPieces(SolverState& st, int i);
void OrderStocks(SolverState& st, int j);

}  // namespace solver
