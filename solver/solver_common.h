// Small shared pieces of the solver: limits, rounding, the random generator
// and the run record of a cutting plan.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "tarvolin/limits.h"

namespace solver {

inline constexpr int kMaxItems = TARVOLIN_MAX_ITEMS;               // pieces and bars per call
inline constexpr int kMaxPartGroups = TARVOLIN_MAX_PART_GROUPS;    // internal part groups
inline constexpr int kMaxStockGroups = TARVOLIN_MAX_STOCK_GROUPS;  // internal stock groups
// Every total of lengths or costs stays at or below this.
inline constexpr int32_t kMaxSum = TARVOLIN_MAX_SUM;
inline constexpr int kItemSlots = kMaxItems + 2;              // tables 0..101
inline constexpr int kPartGroupSlots = kMaxPartGroups + 2;    // 0..21
inline constexpr int kStockGroupSlots = kMaxStockGroups + 2;  // 0..11

// Shortest and longest length, largest quantity and total length over the
// groups that have a quantity.
struct GroupSpan {
  int32_t minLength = kMaxSum;
  int32_t maxLength = 0;
  int32_t maxQty = 0;
  int64_t totalLength = 0;
  int32_t groups = 0;  // groups with a quantity
};

// The span of groups 1..count.
template <typename Qty>
GroupSpan SpanOfGroups(const int32_t* length, const Qty* qty, int count) {
  GroupSpan span;
  for (int g = 1; g <= count; ++g) {
    if (qty[g] < 1) continue;
    ++span.groups;
    span.minLength = std::min(span.minLength, length[g]);
    span.maxLength = std::max(span.maxLength, length[g]);
    span.maxQty = std::max<int32_t>(span.maxQty, qty[g]);
    span.totalLength += int64_t{length[g]} * qty[g];
  }
  return span;
}

// Cost rates (cost per length unit) closer than this count as equal.
inline constexpr double kRateTolerance = 1e-11;

// Added to a denominator that may be 0; far too small to change any real
// ratio of lengths or costs.
inline constexpr double kDenominatorGuard = 1e-11;

// Nearest integer, halves to the even neighbour.
inline int64_t RoundEven(double x) {
  return static_cast<int64_t>(std::nearbyint(x));
}

// A fraction handed back as an integer: x 100000, rounded, held within the
// 32-bit range; a value that is not a finite number gives 0.
inline int32_t ScaledFraction(double fraction) {
  if (!std::isfinite(fraction)) return 0;
  const double x = std::nearbyint(fraction * 100000.0);
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(x);
}

// Sorts table[0..count-1] by `less`, elements it does not tell apart keeping
// their order, as std::stable_sort does but without the buffer that one
// allocates: equal elements are told apart by where they stood. count is at
// most kItemSlots.
template <typename T, typename Less>
void StableSort(T* table, int count, Less less) {
  int16_t from[kItemSlots];
  std::iota(from, from + count, int16_t{0});
  std::sort(from, from + count, [&](int16_t a, int16_t b) {
    if (less(table[a], table[b])) return true;
    if (less(table[b], table[a])) return false;
    return a < b;
  });
  T sorted[kItemSlots];
  for (int i = 0; i < count; ++i) sorted[i] = table[from[i]];
  std::copy(sorted, sorted + count, table);
}

// The one 32-bit linear congruential generator of the search. Seeded from
// loop counters, so the sequence of plans depends only on input and settings.
struct Random {
  uint32_t seed = 0;
  void Seed(uint32_t s) { seed = s; }
  // A draw in 0..n-1: advance, then the upper 32 bits of seed * n.
  uint32_t Next(uint32_t n) {
    seed = seed * 134775813u + 1u;
    return static_cast<uint32_t>((uint64_t{seed} * n) >> 32);
  }
};

// Figures of one cutting plan. "Last" is the bar reported separately.
struct RunRecord {
  double criterion = 0;    // larger is better
  double utilization = 0;  // (used length - waste) / used length
  int32_t lastStock = 0;   // internal stock item, 0 = none
  int32_t patterns = 0;
  int32_t layouts = 0;
  int32_t layoutCuts = 0;
  int32_t parts = 0;   // all bars but the last
  int32_t length = 0;  // bar length used, all bars but the last
  int32_t waste = 0;
  int32_t cost = 0;
  int32_t lastParts = 0;
  int32_t lastLength = 0;
  int32_t lastRemainder = 0;
  int32_t bars = 0;          // bars used but the last
  int32_t maxRemainder = 0;  // largest bar remainder net of kerf
  int32_t lastCost = 0;
};

}  // namespace solver
