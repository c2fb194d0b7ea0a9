#include "bar_demand.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "tarvolin/cut_optimize.h"

namespace solver {

namespace {

// Classes of pieces by how many fit into one bar: class i holds the pieces
// of which i - 1, but not i, fit by length; the last class those of which
// kClasses - 1 or more fit; class 1 those that do not fit at all.
constexpr int kClasses = 99;

struct Bar {
  int64_t usable;  // stock length + one kerf (the last cut needs none) - end zone
  int32_t gripLength;
  int32_t kerf;
  int32_t maxPieces;

  // Lower edge of class i: a piece (with its kerf) longer than this is in
  // class i or below.
  double Threshold(int i) const { return i == kClasses ? 0.0 : static_cast<double>(usable) / i; }

  int Class(int32_t length) const {
    for (int i = 1; i < kClasses; ++i) {
      if (static_cast<double>(int64_t{length} + kerf) > Threshold(i)) return i;
    }
    return kClasses;
  }

  // Places of a bar for pieces of class i: a long gripping length costs
  // places in a bar of short pieces, never the last one; the pieces-per-
  // layout limit caps them.
  int64_t Capacity(int i) const {
    int64_t places = i - 1;
    if (static_cast<double>(gripLength) > static_cast<double>(usable) / i) {
      places = std::max<int64_t>(1, (i - 2) - (int64_t{gripLength} * (i - 1)) / usable);
    }
    return maxPieces >= 1 ? std::min<int64_t>(places, maxPieces) : places;
  }
};

// Bars when pieces of all groups may share a bar: each class fills its own
// bars, and their spare places take the shorter pieces of the next class.
template <typename Qty>
double BarsByLength(const Bar& bar, const int32_t* partLength, int32_t n, Qty qty) {
  int64_t c[kClasses + 2] = {};
  for (int i = 1; i <= kClasses; ++i) {
    for (int32_t g = 1; g <= n; ++g) {
      if (static_cast<double>(int64_t{partLength[g]} + bar.kerf) > bar.Threshold(i)) c[i] += qty(g);
    }
  }
  for (int i = kClasses; i >= 2; --i) c[i] -= c[i - 1];

  double bars = 0;
  for (int i = 2; i <= kClasses; ++i) {
    int64_t spare;
    if (c[i] > 0) {
      const int64_t places = bar.Capacity(i);
      const int64_t b = (c[i] + places - 1) / places;
      bars += static_cast<double>(b);
      spare = b * places - c[i];
    } else {
      spare = -c[i];  // unused places carried over to the shorter parts
    }
    if (i < kClasses) c[i + 1] -= spare;
  }
  return bars;
}

// Bars when every bar holds pieces of one group only: always a possible
// plan, whatever limit there is on different pieces per layout.
template <typename Qty>
double BarsPerGroup(const Bar& bar, const int32_t* partLength, int32_t n, Qty qty) {
  double bars = 0;
  for (int32_t g = 1; g <= n; ++g) {
    const int i = bar.Class(partLength[g]);
    if (i < 2 || qty(g) <= 0) continue;
    const int64_t places = bar.Capacity(i);
    bars += static_cast<double>((qty(g) + places - 1) / places);
  }
  return bars;
}

template <typename Qty>
double Bars(const Bar& bar, const int32_t* partLength, int32_t n, Qty qty,
            const LayoutRules& rules) {
  double bars = BarsByLength(bar, partLength, n, qty);
  if (rules.maxDifferentPieces >= 1) {
    bars = std::max(bars, BarsPerGroup(bar, partLength, n, qty));
  }
  return bars;
}

}  // namespace

int32_t BarDemand(const int32_t* partLength, const int16_t* partQty, int32_t n, double slack,
                  int32_t gripLength, int32_t endZone, int32_t kerf, int32_t stockLength,
                  const LayoutRules& rules) {
  const Bar bar{int64_t{stockLength} + kerf - endZone, gripLength, kerf, rules.maxPieces};
  if (partLength == nullptr || partQty == nullptr || n <= 0 || bar.usable <= 0) return 0;

  const auto all = [&](int32_t g) { return int64_t{partQty[g]}; };
  double bars = Bars(bar, partLength, n, all, rules);
  // With a bundle, each layout of the bundled demand is cut bundle times,
  // and what does not make up a bundle is cut apart.
  if (rules.bundle >= 2) {
    const auto bundles = [&](int32_t g) { return int64_t{partQty[g]} / rules.bundle; };
    const auto rest = [&](int32_t g) { return int64_t{partQty[g]} % rules.bundle; };
    const double bundled = rules.bundle * Bars(bar, partLength, n, bundles, rules) +
                           Bars(bar, partLength, n, rest, rules);
    bars = std::max(bars, bundled);
  }

  const double result = std::nearbyint(bars * slack);  // ties to even
  if (!(result >= 0)) return 0;
  if (result > 2147483647.0) return 2147483647;
  return static_cast<int32_t>(result);
}

}  // namespace solver

extern "C" int32_t BarDemandBound(const int32_t* partLength, const int16_t* partQty, int32_t n,
                                  double slack, int32_t gripLength, int32_t endZone, int32_t kerf,
                                  int32_t stockLength) {
  return solver::BarDemand(partLength, partQty, n, slack, gripLength, endZone, kerf, stockLength,
                           solver::LayoutRules{});
}

extern "C" int32_t BarDemandBoundWithLimits(const int32_t* partLength, const int16_t* partQty,
                                            int32_t n, double slack, int32_t gripLength,
                                            int32_t endZone, int32_t kerf, int32_t stockLength,
                                            int32_t MaxPieces, int32_t DiffPieces) {
  solver::LayoutRules rules;
  rules.maxPieces = std::max(MaxPieces, 0);
  if (DiffPieces >= 1) rules.maxDifferentPieces = DiffPieces;
  if (DiffPieces <= -2) rules.bundle = DiffPieces == INT32_MIN ? INT32_MAX : -DiffPieces;
  return solver::BarDemand(partLength, partQty, n, slack, gripLength, endZone, kerf, stockLength,
                           rules);
}
