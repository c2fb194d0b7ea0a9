#include "solver_call.h"

#include <algorithm>
#include <memory>

namespace tarvolin {
namespace {

// Copies items 1..count of a plan table into a result table; the rest is 0.
template <typename Result, typename Plan, size_t N>
void CopyItems(Result& result, const Plan (&plan)[N], int count) {
  result.fill(0);
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

TarvolinSettings BuildSolverSettings(const OptimizerSettings& o, int progressWindowMode,
                                     bool showMessages) {
  TarvolinSettings s{};
  s.costMode = o.optimizeCost;
  s.ignoreLast = o.ignoreLastStock;
  s.effortLevel = o.effortLevel;
  s.reduceLayouts = o.reduceLayouts;
  s.preferShort = o.stockLengthPreference;
  s.maxStockGroups = o.maxDifferentStocks;
  // The settings reader packs a stock/cut bundle into this field as its
  // negative; the solver takes the two apart.
  if (o.maxDifferentPieces >= 0) {
    s.maxDifferentPieces = o.maxDifferentPieces;
  } else {
    s.bundleSize = -o.maxDifferentPieces;
  }
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
                  [](int16_t bar) { return bar == 0; });
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

}  // namespace tarvolin
