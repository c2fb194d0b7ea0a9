#include "search_plan.h"

#include <algorithm>

#include "tarvolin/limits.h"

namespace solver::exact {
Plan PlanFromCallArrays(const ExactInput& in, const int16_t* stockItGr, const int16_t* partItGr,
                        const int16_t* partItStock, int32_t lastStock) {
  const int bars = std::clamp<int>(stockItGr[0], 0, TARVOLIN_MAX_ITEMS);
  const int pieces = std::clamp<int>(partItGr[0], 0, TARVOLIN_MAX_ITEMS);
  std::vector<std::vector<int32_t>> counts(bars + 1, std::vector<int32_t>(in.parts.size(), 0));
  for (int p = 1; p <= pieces; ++p) {
    const int bar = partItStock[p];
    const int group = partItGr[p] - 1;
    if (bar < 1 || bar > bars || group < 0 || group >= static_cast<int>(in.parts.size())) continue;
    ++counts[bar][group];
  }
  Plan plan;
  for (int b = 1; b <= bars; ++b) {
    const bool empty =
        std::all_of(counts[b].begin(), counts[b].end(), [](int32_t c) { return c == 0; });
    if (empty) continue;
    const Pattern bar{stockItGr[b] - 1, counts[b], 1};
    if (b == lastStock) {
      plan.hasLast = true;
      plan.last = bar;
      continue;
    }
    auto same = std::find_if(plan.patterns.begin(), plan.patterns.end(), [&](const Pattern& p) {
      return p.stockGroup == bar.stockGroup && p.counts == bar.counts;
    });
    if (same == plan.patterns.end()) {
      plan.patterns.push_back(bar);
    } else {
      ++same->bars;
    }
  }
  return plan;
}

}  // namespace solver::exact
