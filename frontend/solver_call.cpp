#include "solver_call.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <future>
#include <memory>
#include <new>
#include <vector>

#include "pattern_plan.h"
#include "tarvolin/errors.h"
#include "tarvolin/planner.h"

namespace tarvolin {
namespace {

// Copies items 1..count of a plan table into a result table; the rest is 0.
template <typename Plan, size_t N>
void CopyItems(SolverResults::ItemTable& result, const Plan (&plan)[N], int count) {
  result.assign(kResultArraySize, 0);
  const int n = std::clamp(count, 0, static_cast<int>(std::min(N, result.size()) - 1));
  std::copy(plan + 1, plan + 1 + n, result.begin() + 1);
}

}  // namespace

TarvolinProblem BuildSolverProblem(const MaterialPlan& plan) {
  TarvolinProblem problem{};
  problem.partGroupCount = std::clamp(plan.partGroupCount, 0, kMaxPartGroups);
  for (int i = 1; i <= problem.partGroupCount; ++i) {
    const PartGroup& g = plan.partGroups[i];
    problem.partGroups[i] = TarvolinPartGroup{g.length, g.markId, g.quantity};
  }
  problem.stockGroupCount = std::clamp(plan.stockGroupCount, 0, kMaxStockGroups);
  for (int i = 1; i <= problem.stockGroupCount; ++i) {
    const StockGroup& g = plan.stockGroups[i];
    problem.stockGroups[i] = TarvolinStockGroup{g.length, g.cost, g.quantity};
  }
  return problem;
}

bool OffersRemnants(const MaterialPlan& plan) {
  for (int g = 1; g <= plan.stockGroupCount; ++g)
    if (!plan.stockGroups[g].remnants.empty()) return true;
  return false;
}

namespace {

// Cost mode counts only when some bar of the stock file is priced.
bool PricedStock(const MaterialPlan& plan) {
  for (int g = 1; g <= plan.stockGroupCount; ++g) {
    const StockGroup& s = plan.stockGroups[g];
    if (s.remnants.empty() && s.cost > 0 && s.quantity > 0) return true;
  }
  return false;
}

}  // namespace

bool SolverCostMode(const MaterialPlan& plan, const OptimizerSettings& settings) {
  return settings.optimizeCost != 0 || OffersRemnants(plan);
}

int32_t SolverStockCost(const MaterialPlan& plan, const OptimizerSettings& settings, int group) {
  const StockGroup& s = plan.stockGroups[group];
  if (!OffersRemnants(plan)) return s.cost;
  if (!s.remnants.empty()) return 0;
  return settings.optimizeCost != 0 && PricedStock(plan) ? s.cost : s.length;
}

void PreferRemnants(const MaterialPlan& plan, const OptimizerSettings& settings,
                    TarvolinSettings& solverSettings, TarvolinProblem& problem) {
  if (!OffersRemnants(plan)) return;
  solverSettings.costMode = 1;
  solverSettings.preferFreeStock = 1;
  for (int g = 1; g <= problem.stockGroupCount; ++g)
    problem.stockGroups[g].cost = SolverStockCost(plan, settings, g);
}

void RealStockCosts(const MaterialPlan& plan, SolverResults& r) {
  r.costUsed = 0;
  r.lastCost = 0;
  for (int bar = 1; bar <= BarCount(r); ++bar) {
    if (r.stockItemLayout[bar] <= 0) continue;
    const StockGroup* group = StockGroupAt(plan, r.stockItemGroup[bar]);
    const int32_t cost = group != nullptr ? group->cost : 0;
    if (bar == r.lastStock) {
      r.lastCost = cost;
    } else {
      r.costUsed += cost;
    }
  }
}

TarvolinSettings BuildSolverSettings(const OptimizerSettings& o, int progressWindowMode,
                                     bool showMessages) {
  TarvolinSettings s{};
  s.costMode = o.optimizeCost;
  s.ignoreLast = o.ignoreLastStock;
  s.effortLevel = o.effortLevel;
  s.reduceLayouts = o.reduceLayouts;
  s.preferShort = o.stockLengthPreference;
  s.maxStockGroups = o.maxDifferentStocks;
  s.maxDifferentPieces = o.maxDifferentPieces;
  s.bundleSize = CutsBundles(o) ? o.bundleSize : 0;
  s.minReusable = o.minReusableLength;
  s.kerf = o.kerf;
  s.endZone = o.endZone;
  s.gripLength = o.gripLength;
  s.timeLimitSeconds = o.timeLimitSeconds;
  s.iterationMultiplier = o.iterationMultiplier;
  s.layoutsByMark = o.layoutsByMark;
  s.progressMode = progressWindowMode;
  s.maxPiecesPerLayout = o.maxPiecesPerLayout;
  s.showErrorBoxes = showMessages ? 1 : 0;
  s.method = o.method;
  s.exactTimeLimitSeconds = o.exactTimeLimitSeconds;
  return s;
}

int32_t CallSolver(TarvolinContext* context, const TarvolinView* view,
                   const TarvolinSettings& settings, const TarvolinProblem& problem,
                   SolverResults& r) {
  TarvolinPlan plan{};
  const int32_t error = TarvolinSolve(context, &settings, &problem, view, &plan);
  r.criterion = plan.criterion;
  r.utilization = plan.utilization;
  r.stockUsed = plan.stockUsed;
  r.partsCut = plan.partsCut;
  r.lengthUsed = plan.lengthUsed;
  r.wasteSum = plan.wasteSum;
  r.costUsed = plan.costUsed;
  r.lastStock = plan.lastStock;
  r.lastParts = plan.lastParts;
  r.lastLengthUsed = plan.lastLengthUsed;
  r.lastWaste = plan.lastWaste;
  r.lastCost = plan.lastCost;
  r.patternCount = plan.patternCount;
  r.layoutCount = plan.layoutCount;
  r.layoutCuts = plan.layoutCuts;
  r.lowerBound = plan.lowerBound;
  r.proven = plan.proven != 0;
  r.exactMs = plan.exactMs;
  r.exactMethod = settings.method == kMethodExact && settings.bundleSize == 0;
  r.partItemCount = std::clamp(plan.partItemCount, 0, kMaxItems);
  r.stockItemCount = std::clamp(plan.stockItemCount, 0, kMaxItems);
  CopyItems(r.partItemGroup, plan.partItemGroup, r.partItemCount);
  CopyItems(r.partItemStock, plan.partItemStock, r.partItemCount);
  CopyItems(r.stockItemGroup, plan.stockItemGroup, r.stockItemCount);
  CopyItems(r.stockItemLayout, plan.stockItemLayout, r.stockItemCount);
  CopyItems(r.stockItemPattern, plan.stockItemPattern, r.stockItemCount);
  CopyItems(r.stockItemParts, plan.stockItemParts, r.stockItemCount);
  CopyItems(r.stockItemWaste, plan.stockItemWaste, r.stockItemCount);
  return error;
}

int64_t CutLength(const TarvolinProblem& problem, const SolverResults& results) {
  int64_t length = 0;
  for (int piece = 1; piece <= PieceCount(results); ++piece) {
    const int group = results.partItemGroup[piece];
    if (results.partItemStock[piece] != 0 && group >= 1 && group <= problem.partGroupCount)
      length += problem.partGroups[group].length;
  }
  return length;
}

bool CutMoreByExactMethod(TarvolinContext* context, const TarvolinView* view,
                          const TarvolinSettings& settings, const TarvolinProblem& problem,
                          SolverResults& results) {
  if (settings.method != kMethodSearch || settings.bundleSize != 0) return false;
  const int pieces = PieceCount(results);
  const bool uncut =
      std::any_of(results.partItemStock.begin() + 1, results.partItemStock.begin() + 1 + pieces,
                  [](auto bar) { return bar == 0; });
  if (!uncut) return false;
  TarvolinSettings exact = settings;
  exact.method = kMethodExact;
  // The search has run at its effort already: the exact method alone, and
  // no boxes for a check the operator did not ask for.
  exact.effortLevel = 0;
  exact.showErrorBoxes = 0;
  const auto check = std::make_unique<SolverResults>();
  if (CallSolver(context, view, exact, problem, *check) != 0) return false;
  if (CutLength(problem, *check) <= CutLength(problem, results)) return false;
  results = *check;
  return true;
}

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// The planner's settings: those of the struct call, through the one mapping
// above.
TarvolinPlannerSettings BuildPlannerSettings(const OptimizerSettings& o) {
  const TarvolinSettings s = BuildSolverSettings(o, 0, false);
  TarvolinPlannerSettings p{};
  TarvolinPlannerDefaults(&p);
  p.method = s.method;
  p.costMode = s.costMode;
  p.ignoreLast = s.ignoreLast;
  p.effortLevel = s.effortLevel;
  p.reduceLayouts = s.reduceLayouts;
  p.preferShort = s.preferShort;
  p.maxStockGroups = s.maxStockGroups;
  p.maxDifferentPieces = s.maxDifferentPieces;
  p.maxPiecesPerLayout = s.maxPiecesPerLayout;
  p.bundleSize = s.bundleSize;
  p.minReusable = s.minReusable;
  p.kerf = s.kerf;
  p.endZone = s.endZone;
  p.gripLength = s.gripLength;
  p.layoutsByMark = s.layoutsByMark;
  p.timeLimitSeconds = s.timeLimitSeconds;
  p.iterationMultiplier = s.iterationMultiplier;
  p.exactTimeLimitSeconds = s.exactTimeLimitSeconds;
  return p;
}

// The material's groups as the planner takes them (its groups count from 0).
struct PlannerGroups {
  std::vector<TarvolinPlannerStockGroup> stock;
  std::vector<TarvolinPlannerPartGroup> parts;
};

PlannerGroups PlannerGroupsOf(const MaterialPlan& plan, const OptimizerSettings& settings) {
  PlannerGroups groups;
  for (int g = 1; g <= plan.stockGroupCount; ++g) {
    const StockGroup& s = plan.stockGroups[g];
    groups.stock.push_back({s.length, SolverStockCost(plan, settings, g), s.quantity});
  }
  for (int g = 1; g <= plan.partGroupCount; ++g) {
    const PartGroup& p = plan.partGroups[g];
    groups.parts.push_back({p.length, p.markId, p.quantity});
  }
  return groups;
}

std::vector<CutPattern> PatternsOf(const TarvolinPlannerPlan& plan, int partGroupCount) {
  std::vector<CutPattern> patterns;
  for (int32_t l = 0; l < plan.layoutCount; ++l) {
    const TarvolinPlannerLayout& layout = plan.layouts[l];
    CutPattern pattern{layout.stockGroup + 1, std::vector<int32_t>(partGroupCount, 0),
                       layout.barCount, layout.lastStock != 0};
    for (int32_t k = 0; k < layout.partCount; ++k) {
      const TarvolinPlannerLayoutPart& part = layout.parts[k];
      if (part.partGroup >= 0 && part.partGroup < partGroupCount)
        pattern.counts[part.partGroup] += part.count;
    }
    patterns.push_back(std::move(pattern));
  }
  return patterns;
}

struct PlannerDeleter {
  void operator()(TarvolinPlanner* planner) const { TarvolinPlannerDestroy(planner); }
};

// The latest figures the planner reported, read by the caller's thread
// (negative: not known yet).
struct ReportedFigures {
  std::atomic<double> bound{-1};
  std::atomic<double> best{-1};
};

int32_t KeepFigures(void* user, const TarvolinPlannerProgress* p) {
  auto& figures = *static_cast<ReportedFigures*>(user);
  if (p->bound >= 0) figures.bound.store(p->bound);
  if (p->bestObjective >= 0) figures.best.store(p->bestObjective);
  return 0;
}

}  // namespace

LargeOutcome SolveLargeMaterial(const MaterialPlan& plan, const OptimizerSettings& settings,
                                const LargeProgressFn& progress, SolverResults& results) {
  results = SolverResults{};
  const std::unique_ptr<TarvolinPlanner, PlannerDeleter> planner(TarvolinPlannerCreate());
  if (planner == nullptr) throw std::bad_alloc();
  const PlannerGroups groups = PlannerGroupsOf(plan, settings);
  const TarvolinPlannerProblem problem{
      groups.stock.data(), static_cast<int32_t>(groups.stock.size()), groups.parts.data(),
      static_cast<int32_t>(groups.parts.size())};
  TarvolinPlannerSettings plannerSettings = BuildPlannerSettings(settings);
  plannerSettings.costMode = SolverCostMode(plan, settings) ? 1 : 0;
  plannerSettings.preferFreeStock = OffersRemnants(plan) ? 1 : 0;
  ReportedFigures figures;
  TarvolinPlannerPlan answer{};
  // The planning runs beside the caller, who sees its progress and may stop
  // it; the plan is the same whichever thread makes it.
  const auto start = std::chrono::steady_clock::now();
  std::future<TarvolinPlannerStatus> planning = std::async(std::launch::async, [&] {
    return TarvolinPlannerSolve(planner.get(), &plannerSettings, &problem, KeepFigures, &figures,
                                &answer);
  });
  while (planning.wait_for(kProgressInterval) != std::future_status::ready) {
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    const auto known = [](double value) {
      return value >= 0 ? std::optional<double>(value) : std::nullopt;
    };
    if (progress && progress(LargeProgress{elapsed.count(), known(figures.bound.load()),
                                           known(figures.best.load())}))
      TarvolinPlannerRequestStop(planner.get());
  }
  const TarvolinPlannerStatus status = planning.get();
  if (status == TARVOLIN_PLANNER_OUT_OF_MEMORY) throw std::bad_alloc();
  if (!TarvolinPlannerHasPlan(status)) {
    return {answer.error > 0 ? answer.error : TARVOLIN_ERROR_UNEXPECTED, answer.message};
  }
  if (!FillResultsFromPatterns(plan, PatternsOf(answer, plan.partGroupCount), results))
    return {TARVOLIN_ERROR_UNEXPECTED, "the plan does not fit the material's groups"};
  results.lowerBound = answer.hasBound != 0 ? answer.bound : 0;
  results.proven = answer.proven != 0;
  results.exactMs = static_cast<int32_t>(std::min<int64_t>(answer.exactMs, INT32_MAX));
  return {};
}

}  // namespace tarvolin
