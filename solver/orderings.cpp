#include "orderings.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "solver_state.h"

namespace solver {
namespace {

// Class numbers stay below this: classes only grow by splitting classes of
// at least two items, so there are never more classes than items plus groups.
constexpr int kClassSlots = kItemSlots + kPartGroupSlots + 2;

// Random class keys are drawn from 1..kClassKeyRange; 0 is left for
// classes that draw nothing.
constexpr uint32_t kClassKeyRange = 9999;

// Stable descending sort of list[1..count] by key[1..count] (keys move with
// their entries). Equal keys keep their order, and that order matters: it
// is the order left by the previous iteration. Written out as an insertion
// sort because it runs before every plan built, on lists that are mostly in
// order already, where it beats a general sort and allocates nothing.
void StableSortDescending(int16_t* list, float* key, int count) {
  for (int i = 2; i <= count; ++i) {
    const int16_t item = list[i];
    const float k = key[i];
    int j = i - 1;
    while (j >= 1 && key[j] < k) {
      list[j + 1] = list[j];
      key[j + 1] = key[j];
      --j;
    }
    list[j + 1] = item;
    key[j + 1] = k;
  }
}

float PieceLengthKey(int32_t length, float x) {
  return static_cast<float>(static_cast<double>(length) *
                            (static_cast<double>(length) - static_cast<double>(x)));
}

// h of a stock group: its length, raised by its cost when a reference cost
// rate is known.
float StockWeight(const RunTables& run, int group) {
  const float c = run.refCostRate > 0 ? static_cast<float>(0.1 / run.refCostRate) : 0.0f;
  return static_cast<float>(static_cast<double>(c) * run.stockGroupCost[group] +
                            run.stockGroupLength[group]);
}

float StockLengthKey(const RunTables& run, int group, int s, float x) {
  const double h = StockWeight(run, group);
  return static_cast<float>(s * h * (h - static_cast<double>(x)));
}

void SortPieces(SolverState& st, int a, float x, bool byDemand) {
  RunTables& run = st.run;
  float key[kItemSlots];
  for (int p = 1; p <= run.openPieceCount; ++p) {
    const int g = run.pieceGroup[run.openPieces[p]];
    const double base = static_cast<double>(run.partGroupLength[g]) *
                        (static_cast<double>(run.partGroupLength[g]) - static_cast<double>(x));
    key[p] = byDemand ? static_cast<float>(base * (static_cast<double>(run.partGroupQty[g]) + a))
                      : PieceLengthKey(run.partGroupLength[g], x);
  }
  StableSortDescending(run.openPieces, key, run.openPieceCount);
}

void SortStocks(SolverState& st, int s, int b, float x, bool byDemand) {
  RunTables& run = st.run;
  float key[kItemSlots];
  for (int p = 1; p <= run.openStockCount; ++p) {
    const int g = run.stockGroup[run.openStocks[p]];
    if (byDemand) {
      const double h = StockWeight(run, g);
      key[p] = static_cast<float>(s * h * (h - static_cast<double>(x)) *
                                  (static_cast<double>(run.stockGroupQty[g]) + b));
    } else {
      key[p] = StockLengthKey(run, g, s, x);
    }
  }
  StableSortDescending(run.openStocks, key, run.openStockCount);
}

// Shared class shuffle: groups 1..groupCount with quantity below 1 draw
// nothing and keep key 0.
void ShuffleClasses(Random& rng, int16_t* list, int count, const int16_t* itemClass, int classCount,
                    int groupCount, const int32_t* groupQty) {
  float classKey[kClassSlots] = {};
  const int last = std::min(classCount, kClassSlots - 2);
  for (int k = 1; k <= last; ++k) {
    if (k <= groupCount && groupQty[k] < 1) continue;
    classKey[k] = static_cast<float>(rng.Next(kClassKeyRange) + 1);
  }
  float key[kItemSlots];
  for (int p = 1; p <= count; ++p) {
    const int c = itemClass[list[p]];
    key[p] = (c >= 0 && c < kClassSlots) ? classKey[c] : 0.0f;
  }
  StableSortDescending(list, key, count);
}

void SwapRuns(Random& rng, int16_t* list, int count, const int16_t* itemClass, int a) {
  if (count < 2) return;
  int pos = 1;
  while (pos < count) {
    int end1 = pos;
    while (end1 < count && itemClass[list[end1 + 1]] == itemClass[list[pos]]) ++end1;
    if (end1 >= count) return;
    int end2 = end1 + 1;
    while (end2 < count && itemClass[list[end2 + 1]] == itemClass[list[end1 + 1]]) ++end2;
    if (rng.Next(static_cast<uint32_t>(a + 1)) == 0) {
      int16_t tmp[kItemSlots];
      int n = 0;
      for (int p = end1 + 1; p <= end2; ++p) tmp[n++] = list[p];
      for (int p = pos; p <= end1; ++p) tmp[n++] = list[p];
      for (int p = 0; p < n; ++p) list[pos + p] = tmp[p];
      pos = end2 + 1;
    } else {
      pos = end1 + 1;
    }
  }
}

// Shared class split over items 1..itemCount; available = classes that can
// hold items (empty and trimmed groups excluded).
bool SplitClass(Random& rng, const int16_t* openList, int openCount, int16_t* itemClass,
                int itemCount, int32_t& classCount, int available, int maxQty) {
  if (openCount < 1 || classCount + 1 >= kClassSlots - 1) return false;
  int limit = std::min(available, maxQty);
  int tries = 0;
  for (;;) {
    limit = limit >= 3 ? limit - 1 : 2;
    const int item = openList[rng.Next(static_cast<uint32_t>(openCount)) + 1];
    const int16_t cls = itemClass[item];
    int lo = item;
    while (lo > 1 && itemClass[lo - 1] == cls) --lo;
    int hi = item;
    while (hi < itemCount && itemClass[hi + 1] == cls) ++hi;
    const int size = hi - lo + 1;
    if (size < limit) {
      ++tries;
      if (tries <= available) continue;
      return false;
    }
    ++classCount;
    for (int i = lo; i < lo + size / 2; ++i) itemClass[i] = static_cast<int16_t>(classCount);
    return true;
  }
}

// Piece orders of the iteration table.
enum class PieceX {
  TwoMin,
  TwoMax,
  TwoAvg,
  MinThreeMax,
  ThreeMinMax,
  MinFiveMax,
  FiveMinMax,
  TwoMinTwoMax,
  Zero
};
struct PieceOrder {
  bool byDemand;
  int qtyFactor;  // a = qtyFactor * maxPartQty
  PieceX x;
};

constexpr PieceOrder L(PieceX x) {
  return {false, 0, x};
}
constexpr PieceOrder D(int q, PieceX x) {
  return {true, q, x};
}

using enum PieceX;
// Odd iterations 1, 3, 5, ... of each mixType (index (i - 1) / 2).
constexpr PieceOrder kMix1[] = {L(TwoMax),       L(TwoAvg),      D(1, TwoMin),  D(3, TwoAvg),
                                L(MinThreeMax),  L(ThreeMinMax), L(MinFiveMax), L(FiveMinMax),
                                L(TwoMinTwoMax), L(Zero)};
constexpr PieceOrder kMix2[] = {L(TwoMax),     L(TwoAvg),    D(0, TwoMin),   D(4, TwoMin),
                                D(0, TwoMax),  D(4, TwoMax), D(1, TwoAvg),   D(3, TwoAvg),
                                D(2, TwoMin),  D(2, TwoMax), L(MinThreeMax), L(ThreeMinMax),
                                L(MinFiveMax), L(FiveMinMax)};
constexpr PieceOrder kMix3[] = {L(TwoMax),    D(1, TwoMin),   D(4, TwoMin),   D(0, TwoMin),
                                D(0, TwoMax), D(0, TwoAvg),   D(2, TwoMin),   D(2, TwoMax),
                                D(3, TwoAvg), D(1, TwoMax),   D(4, TwoMax),   D(1, TwoAvg),
                                D(4, TwoAvg), L(MinThreeMax), L(ThreeMinMax), L(TwoAvg)};

// Bar orders of the odd stock-order iterations 1, 3, 5, ... (index
// (j - 1) / 2): sort by length (or by length and quantity) with x twice the
// shortest or twice the mean bar, ascending (sign -1) or descending.
struct StockOrder {
  int sign;
  bool byDemand;
  int qtyFactor;  // b = qtyFactor * largest stock quantity
  bool fromMean;  // x = 2 * mean bar rather than 2 * shortest bar
  bool shuffleInCostMode;
};
constexpr StockOrder kStockOrders[] = {{+1, false, 0, false, false}, {-1, false, 0, false, false},
                                       {+1, false, 0, true, false},  {+1, true, 0, false, false},
                                       {-1, true, 3, false, false},  {+1, true, 10, false, true},
                                       {+1, true, 2, true, false}};
// With a limit on the stock groups used, fewer sorted orders are tried.
constexpr StockOrder kStockOrdersLimited[] = {
    {+1, false, 0, false, false}, {-1, false, 0, true, false}, {+1, false, 0, true, false}};
// Beyond the sorted orders, iterations swap neighbouring classes, every
// fifth one shuffles them; before this iteration they only shuffle.
constexpr int kStockSwapsFrom = 12;
constexpr int kStockSwapsFromLimited = 10;

float PieceXValue(const RunTables& run, PieceX x) {
  const double mn = run.minPart, mx = run.maxPart, avg = run.meanPiece;
  double v = 0;
  switch (x) {
    case TwoMin:
      v = 2 * mn;
      break;
    case TwoMax:
      v = 2 * mx;
      break;
    case TwoAvg:
      v = 2 * avg;
      break;
    case MinThreeMax:
      v = (mn + 3 * mx) / 2;
      break;
    case ThreeMinMax:
      v = (3 * mn + mx) / 2;
      break;
    case MinFiveMax:
      v = (mn + 5 * mx) / 3;
      break;
    case FiveMinMax:
      v = (5 * mn + mx) / 3;
      break;
    case TwoMinTwoMax:
      v = (2 * mn + 2 * mx) / 2;
      break;
    case Zero:
      v = 0;
      break;
  }
  return static_cast<float>(v);
}

}  // namespace

void SortPiecesByLength(SolverState& st, float x) {
  SortPieces(st, 0, x, false);
}

void SortPiecesByDemand(SolverState& st, int a, float x) {
  SortPieces(st, a, x, true);
}

void SortStocksByLength(SolverState& st, int s, float x) {
  SortStocks(st, s, 0, x, false);
}

void SortStocksByDemand(SolverState& st, int s, int b, float x) {
  SortStocks(st, s, b, x, true);
}

void ShufflePieceClasses(SolverState& st) {
  RunTables& run = st.run;
  ShuffleClasses(st.rng, run.openPieces, run.openPieceCount, run.pieceClass, run.pieceClassCount,
                 run.partGroupCount, run.partGroupQty);
}

void ShuffleStockClasses(SolverState& st) {
  RunTables& run = st.run;
  ShuffleClasses(st.rng, run.openStocks, run.openStockCount, run.stockClass, run.stockClassCount,
                 run.stockGroupCount, run.stockGroupQty);
}

void SwapPieceRuns(SolverState& st, int a) {
  SwapRuns(st.rng, st.run.openPieces, st.run.openPieceCount, st.run.pieceClass, a);
}

void SwapStockRuns(SolverState& st, int a) {
  SwapRuns(st.rng, st.run.openStocks, st.run.openStockCount, st.run.stockClass, a);
}

bool SplitPieceClass(SolverState& st) {
  RunTables& run = st.run;
  return SplitClass(st.rng, run.openPieces, run.openPieceCount, run.pieceClass, run.pieceCount,
                    run.pieceClassCount, run.pieceClassCount - run.emptyPartGroups, run.maxPartQty);
}

bool SplitStockClass(SolverState& st) {
  RunTables& run = st.run;
  return SplitClass(st.rng, run.openStocks, run.openStockCount, run.stockClass, run.stockCount,
                    run.stockClassCount,
                    run.stockClassCount - run.emptyStockGroups - run.trimmedStockGroups,
                    run.maxStockQty);
}

void MoveToFront(int16_t* list, int first, int from) {
  const int16_t item = list[from];
  for (int p = from; p > first; --p) list[p] = list[p - 1];
  list[first] = item;
}

void MoveToBack(int16_t* list, int from, int last) {
  const int16_t item = list[from];
  for (int p = from; p < last; ++p) list[p] = list[p + 1];
  list[last] = item;
}

void OrderPieces(SolverState& st, int i) {
  const RunTables& run = st.run;
  const PieceOrder* table = kMix2;
  int tableEnd = 28;
  if (run.mixType == 1) {
    table = kMix1;
    tableEnd = 20;
  } else if (run.mixType == 3) {
    table = kMix3;
    tableEnd = 32;
  }
  if (i == 0) {
    SortPiecesByLength(st, PieceXValue(run, TwoMin));
    return;
  }
  if (i < tableEnd && i % 2 == 1) {
    const PieceOrder& o = table[(i - 1) / 2];
    const float x = PieceXValue(run, o.x);
    if (o.byDemand) {
      SortPiecesByDemand(st, o.qtyFactor * run.maxPartQty, x);
    } else {
      SortPiecesByLength(st, x);
    }
    return;
  }
  if (i > tableEnd && i % 5 != 0) {
    SwapPieceRuns(st, 1);
  } else {
    ShufflePieceClasses(st);
  }
}

void OrderStocks(SolverState& st, int j) {
  const RunTables& run = st.run;
  const bool limited = st.settings.maxStockGroups >= 1;
  const StockOrder* table = limited ? kStockOrdersLimited : kStockOrders;
  const int entries = limited ? std::size(kStockOrdersLimited) : std::size(kStockOrders);
  if (j % 2 == 1 && (j - 1) / 2 < entries) {
    const StockOrder& o = table[(j - 1) / 2];
    if (o.shuffleInCostMode && st.settings.effectiveCostMode) {
      ShuffleStockClasses(st);
      return;
    }
    const double base = o.fromMean ? run.meanStock : run.minStock;
    const float x = static_cast<float>(2.0 * base);
    if (o.byDemand) {
      SortStocksByDemand(st, o.sign, o.qtyFactor * run.maxStockQty, x);
    } else {
      SortStocksByLength(st, o.sign, x);
    }
    return;
  }
  const int swapsFrom = limited ? kStockSwapsFromLimited : kStockSwapsFrom;
  if (j > swapsFrom && j % 5 != 0) {
    SwapStockRuns(st, 1);
  } else {
    ShuffleStockClasses(st);
  }
}

}  // namespace solver
