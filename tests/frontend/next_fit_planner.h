// A stand-in for the planner of large materials in tests and benchmarks:
// next fit, longest pieces first, on the first stock group's bars (then the
// next group's), without kerf or end zone. Quick and plain; its plans are
// valid, not good.
#pragma once

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "pattern_plan.h"
#include "solver_call.h"

namespace tarvolin::test_support {

inline LargeOutcome NextFitPlan(const MaterialPlan& plan, const OptimizerSettings&,
                                const LargeProgressFn& progress, SolverResults& results) {
  if (progress) progress(LargeProgress{});  // a stop asked this early still gets the plan
  std::vector<int> groups;
  for (int g = 1; g <= plan.partGroupCount; ++g) groups.push_back(g);
  std::stable_sort(groups.begin(), groups.end(), [&](int a, int b) {
    return plan.partGroups[a].length > plan.partGroups[b].length;
  });
  std::map<std::pair<int, std::vector<int32_t>>, int64_t> bars;  // pattern -> bars
  std::vector<int64_t> left(plan.stockGroupCount + 1);
  for (int s = 1; s <= plan.stockGroupCount; ++s) left[s] = plan.stockGroups[s].quantity;
  int stock = 0;
  int64_t room = 0;
  std::vector<int32_t> counts(plan.partGroupCount, 0);
  const auto close = [&] {
    if (stock > 0 && std::any_of(counts.begin(), counts.end(), [](int32_t c) { return c > 0; }))
      ++bars[{stock, counts}];
    std::fill(counts.begin(), counts.end(), 0);
    stock = 0;
  };
  for (const int g : groups) {
    const int32_t length = plan.partGroups[g].length;
    for (int q = 0; q < plan.partGroups[g].quantity; ++q) {
      if (stock == 0 || room < length) {
        close();
        for (int s = 1; s <= plan.stockGroupCount && stock == 0; ++s) {
          if (left[s] > 0 && plan.stockGroups[s].length >= length) {
            stock = s;
            --left[s];
            room = plan.stockGroups[s].length;
          }
        }
        if (stock == 0) continue;  // no bar left for it: uncut
      }
      room -= length;
      ++counts[g - 1];
    }
  }
  close();
  std::vector<CutPattern> patterns;
  for (const auto& [pattern, count] : bars)
    patterns.push_back({pattern.first, pattern.second, count});
  if (!FillResultsFromPatterns(plan, patterns, results)) return {210, "stand-in plan refused"};
  return {};
}

}  // namespace tarvolin::test_support
