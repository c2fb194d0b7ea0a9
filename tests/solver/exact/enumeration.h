// An independent reference for small instances: every assignment of the
// pieces to bars (or to no bar) is tried, each plan is rated by the order
// of figures the issue defines, and the best rating is returned. The bar
// rules are written here in real lengths, apart from the solver's code:
//   pieces fit:  sum of lengths + (pieces - 1) x kerf + end zone <= bar length;
//   gripping:    bar length - end zone - sum - pieces x kerf >= gripping length,
//                or some piece is at least the gripping length long.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "exact.h"

namespace exact_test {

using solver::exact::ExactInput;
using solver::exact::Plan;

// Figures 1 to 3 of a plan; smaller is better in each, in this order.
struct Rating {
  int64_t uncut = 0;
  double objective = 0;
  int64_t freeLength = 0;  // with preferFree: length of the bars of cost 0 (more is better)
  int64_t length = 0;
  int32_t barOrder = 0;
};

inline int CompareRatings(const Rating& a, const Rating& b) {
  if (a.uncut != b.uncut) return a.uncut < b.uncut ? -1 : 1;
  const double tol = 1e-7 * std::max({1.0, std::fabs(a.objective), std::fabs(b.objective)});
  if (std::fabs(a.objective - b.objective) > tol) return a.objective < b.objective ? -1 : 1;
  if (a.freeLength != b.freeLength) return a.freeLength > b.freeLength ? -1 : 1;
  if (a.length != b.length) return a.length < b.length ? -1 : 1;
  if (a.barOrder != b.barOrder) return a.barOrder < b.barOrder ? -1 : 1;
  return 0;
}

struct RefBar {
  int group = 0;
  int64_t sum = 0;
  int32_t pieces = 0;
  int32_t longest = 0;
  std::vector<int32_t> lengths;  // different piece lengths on the bar
};

inline bool CostObjective(const ExactInput& in) {
  if (!in.rules.costMode) return false;
  for (const auto& s : in.stock) {
    if (s.cost > 0 && s.quantity > 0) return true;
  }
  return false;
}

inline bool FitsLength(const ExactInput& in, const RefBar& b) {
  const auto& r = in.rules;
  return b.sum + int64_t{b.pieces - 1} * r.kerf + r.endZone <= in.stock[b.group].length;
}

inline bool Grippable(const ExactInput& in, const RefBar& b) {
  const auto& r = in.rules;
  if (r.gripLength == 0 || b.longest >= r.gripLength) return true;
  return in.stock[b.group].length - r.endZone - b.sum - int64_t{b.pieces} * r.kerf >= r.gripLength;
}

inline int64_t Rest(const ExactInput& in, const RefBar& b) {
  return in.stock[b.group].length - b.sum - int64_t{b.pieces} * in.rules.kerf;
}

// Rating of a set of bars, the last bar chosen as well as the rules allow
// (or `declaredLast`, an index into bars, when >= -1 is given: -1 = none).
inline Rating RateBars(const ExactInput& in, const std::vector<RefBar>& bars, int64_t uncut,
                       int declaredLast = -2) {
  Rating r;
  r.uncut = uncut;
  const bool cost = CostObjective(in);
  double total = 0;
  for (const RefBar& b : bars) {
    total += cost ? in.stock[b.group].cost : in.stock[b.group].length;
    r.length += in.stock[b.group].length;
    if (cost && in.rules.preferFree && in.stock[b.group].cost == 0) {
      r.freeLength += in.stock[b.group].length;
    }
  }
  const auto value = [&](const RefBar& b) {
    const double rest = static_cast<double>(Rest(in, b));
    return cost ? in.stock[b.group].cost * rest / in.stock[b.group].length : rest;
  };
  double saved = 0;
  if (declaredLast >= 0) {
    saved = value(bars[declaredLast]);
  } else if (declaredLast == -2 && in.rules.ignoreLast && bars.size() >= 2) {
    for (const RefBar& b : bars) {
      const int64_t rest = Rest(in, b);
      if (rest > 0 && rest >= in.rules.minReusable) saved = std::max(saved, value(b));
    }
  }
  r.objective = total - saved;
  const int32_t n = static_cast<int32_t>(bars.size());
  r.barOrder = in.rules.prefShort < 0 ? -n : (in.rules.prefShort > 0 ? n : 0);
  return r;
}

// The best rating over every plan.
inline Rating BestByEnumeration(const ExactInput& in) {
  const auto& rules = in.rules;
  std::vector<int32_t> pieces;
  for (const auto& p : in.parts) {
    for (int32_t q = 0; q < p.quantity; ++q) pieces.push_back(p.length);
  }
  std::sort(pieces.rbegin(), pieces.rend());
  std::vector<int> usedOfGroup(in.stock.size(), 0);
  std::vector<RefBar> bars;
  Rating best;
  best.uncut = INT64_MAX;
  bool any = false;

  const auto kinds = [&]() {
    std::set<std::pair<int32_t, int32_t>> k;
    for (const RefBar& b : bars) k.insert({in.stock[b.group].length, in.stock[b.group].cost});
    return k.size();
  };
  // Equal pieces go to bars in ascending order (no bar = last of all), so
  // each plan is met once per arrangement of different pieces only.
  constexpr int kNoBar = 1 << 20;
  std::function<void(size_t, int64_t, int)> place = [&](size_t k, int64_t uncut, int previous) {
    if (any && uncut > best.uncut) return;
    if (k == pieces.size()) {
      for (const RefBar& b : bars) {
        if (!Grippable(in, b)) return;
      }
      const Rating r = RateBars(in, bars, uncut);
      if (!any || CompareRatings(r, best) < 0) best = r;
      any = true;
      return;
    }
    const int32_t len = pieces[k];
    const int floor = k > 0 && pieces[k - 1] == len ? previous : 0;
    // By index: the recursion may grow `bars` and move its elements.
    const auto tryOn = [&](size_t index, int choice) {
      const RefBar before = bars[index];
      RefBar& b = bars[index];
      b.sum += len;
      b.pieces += 1;
      b.longest = std::max(b.longest, len);
      if (std::find(b.lengths.begin(), b.lengths.end(), len) == b.lengths.end()) {
        b.lengths.push_back(len);
      }
      const bool ok =
          FitsLength(in, b) && (rules.maxPieces < 1 || b.pieces <= rules.maxPieces) &&
          (rules.diffPieces < 1 || static_cast<int>(b.lengths.size()) <= rules.diffPieces);
      if (ok) place(k + 1, uncut, choice);
      bars[index] = before;
    };
    for (size_t i = 0; i < bars.size(); ++i) {
      if (static_cast<int>(i) >= floor) tryOn(i, static_cast<int>(i));
    }
    const int fresh = static_cast<int>(bars.size());
    for (size_t g = 0; g < in.stock.size() && fresh >= floor; ++g) {
      if (usedOfGroup[g] >= in.stock[g].quantity) continue;
      bars.push_back(RefBar{static_cast<int>(g), 0, 0, 0, {}});
      if (rules.diffStocks < 1 || static_cast<int>(kinds()) <= rules.diffStocks) {
        ++usedOfGroup[g];
        tryOn(bars.size() - 1, fresh);
        --usedOfGroup[g];
      }
      bars.pop_back();
    }
    place(k + 1, uncut + len, kNoBar);
  };
  place(0, 0, 0);
  return best;
}

// Rating of a plan as given (its declared last bar).
inline Rating RatePlan(const ExactInput& in, const Plan& plan) {
  const auto barOf = [&](const solver::exact::Pattern& p) {
    RefBar b;
    b.group = p.stockGroup;
    for (size_t g = 0; g < in.parts.size(); ++g) {
      b.sum += int64_t{in.parts[g].length} * p.counts[g];
      b.pieces += p.counts[g];
      if (p.counts[g] > 0) b.longest = std::max(b.longest, in.parts[g].length);
    }
    return b;
  };
  std::vector<RefBar> bars;
  for (const auto& p : plan.patterns) {
    for (int32_t n = 0; n < p.bars; ++n) bars.push_back(barOf(p));
  }
  int last = -1;
  if (plan.hasLast) {
    bars.push_back(barOf(plan.last));
    last = static_cast<int>(bars.size()) - 1;
  }
  int64_t uncut = 0;
  for (const auto& p : in.parts) uncut += int64_t{p.length} * p.quantity;
  for (const RefBar& b : bars) uncut -= b.sum;
  return RateBars(in, bars, uncut, last);
}

}  // namespace exact_test
