#include "search_plan.h"

#include <algorithm>
#include <memory>

#include "settings_rules.h"
#include "solver_services.h"
#include "tarvolin/errors.h"
#include "tarvolin/limits.h"
#include "tarvolin/solver.h"

namespace solver::exact {
namespace {

constexpr int32_t kIterMult = 20;

}  // namespace

SearchOutcome RunSearch(const ExactInput& in, int32_t effort) {
  return RunCall(in, effort, 0);
}

SearchOutcome RunCall(const ExactInput& in, int32_t effort, int32_t method) {
  SearchOutcome out;
  const int ns = static_cast<int>(in.stock.size());
  const int np = static_cast<int>(in.parts.size());
  if (ns < 1 || ns > TARVOLIN_MAX_STOCK_GROUPS || np < 1 || np > TARVOLIN_MAX_PART_GROUPS) {
    out.error = ns < 1 || ns > TARVOLIN_MAX_STOCK_GROUPS ? 1 : 2;
    return out;
  }
  auto problem = std::make_unique<TarvolinProblem>();
  problem->stockGroupCount = ns;
  for (int g = 0; g < ns; ++g) {
    problem->stockGroups[g + 1] = {
        in.stock[g].length, in.stock[g].cost,
        static_cast<int16_t>(std::clamp(in.stock[g].quantity, -1, 32767))};
  }
  problem->partGroupCount = np;
  for (int g = 0; g < np; ++g) {
    problem->partGroups[g + 1] = {
        in.parts[g].length, in.parts[g].mark,
        static_cast<int16_t>(std::clamp(in.parts[g].quantity, -1, 32767))};
  }
  TarvolinSettings s = SettingsOf(in.rules);
  s.effortLevel = effort;
  s.iterationMultiplier = kIterMult;
  s.method = method;
  const int32_t seconds = in.timeLimitMs > 0 ? std::max(1, (in.timeLimitMs + 999) / 1000) : 0;
  if (method == 0) {
    s.timeLimitSeconds = seconds;
  } else {
    s.exactTimeLimitSeconds = seconds;
  }

  std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)> context(TarvolinCreateContext(),
                                                                       TarvolinDestroyContext);
  auto plan = std::make_unique<TarvolinPlan>();
  const double start = ClockMs();
  out.error = context == nullptr
                  ? TARVOLIN_ERROR_UNEXPECTED
                  : TarvolinSolve(context.get(), &s, problem.get(), nullptr, plan.get());
  out.elapsedMs = ClockMs() - start;
  if (out.error != 0) return out;
  // The conversion reads the item counts from element 0.
  plan->stockItemGroup[0] = static_cast<int16_t>(plan->stockItemCount);
  plan->partItemGroup[0] = static_cast<int16_t>(plan->partItemCount);
  out.plan = PlanFromCallArrays(in, plan->stockItemGroup, plan->partItemGroup, plan->partItemStock,
                                plan->lastStock);
  out.lowerBound = plan->lowerBound;
  out.proven = plan->proven != 0;
  return out;
}

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
