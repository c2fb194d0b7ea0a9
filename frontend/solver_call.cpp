#include "solver_call.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <memory>

#include "exact.h"
#include "pattern_plan.h"
#include "tarvolin/errors.h"

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

constexpr int32_t kDefaultExactSeconds = 10;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

solver::exact::ExactInput ExactInputOf(const MaterialPlan& plan, const OptimizerSettings& o) {
  solver::exact::ExactInput in;
  for (int g = 1; g <= plan.stockGroupCount; ++g) {
    const StockGroup& s = plan.stockGroups[g];
    in.stock.push_back({s.length, SolverStockCost(plan, o, g), s.quantity});
  }
  for (int g = 1; g <= plan.partGroupCount; ++g) {
    const PartGroup& p = plan.partGroups[g];
    in.parts.push_back({p.length, p.quantity, p.markId});
  }
  // The rules as the struct call hands them to the exact method.
  solver::exact::Rules& r = in.rules;
  r.kerf = o.kerf;
  r.endZone = o.endZone;
  r.gripLength = o.gripLength;
  r.maxPieces = o.maxPiecesPerLayout;
  r.diffPieces = std::max(o.maxDifferentPieces, 0);
  r.diffStocks = o.maxDifferentStocks;
  r.minReusable = o.minReusableLength;
  r.prefShort = o.stockLengthPreference;
  r.reduceLays = o.reduceLayouts;
  r.bundle = o.maxDifferentPieces <= -2 ? -o.maxDifferentPieces : 0;
  r.costMode = SolverCostMode(plan, o);
  r.ignoreLast = o.ignoreLastStock != 0;
  r.piecesByMark = o.layoutsByMark != 0 && o.reduceLayouts > 0;
  const int32_t seconds =
      o.exactTimeLimitSeconds > 0 ? o.exactTimeLimitSeconds : kDefaultExactSeconds;
  in.timeLimitMs = seconds * 1000;
  return in;
}

std::vector<CutPattern> PatternsOf(const solver::exact::Plan& plan) {
  std::vector<CutPattern> patterns;
  for (const solver::exact::Pattern& p : plan.patterns)
    patterns.push_back({p.stockGroup + 1, p.counts, p.bars, false});
  if (plan.hasLast)
    patterns.push_back({plan.last.stockGroup + 1, plan.last.counts, plan.last.bars, true});
  return patterns;
}

// The error number that stands for the exact method's reason to fail.
int32_t ErrorNumberOf(const solver::exact::ExactResult& r) {
  using solver::exact::Status;
  if (r.status == Status::kNotAvailable) return TARVOLIN_ERROR_EXACT_NOT_AVAILABLE;
  const struct {
    const char* words;
    int32_t number;
  } known[] = {
      {"no stock", TARVOLIN_ERROR_NO_STOCK},
      {"no parts", TARVOLIN_ERROR_NO_PARTS},
      {"too many stock items", TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS},
      {"too many part items", TARVOLIN_ERROR_TOO_MANY_PART_ITEMS},
      {"stock group count", TARVOLIN_ERROR_STOCK_GROUP_COUNT},
      {"part group count", TARVOLIN_ERROR_PART_GROUP_COUNT},
      {"setting out of range", TARVOLIN_ERROR_SETTINGS},
  };
  for (const auto& k : known)
    if (r.message == k.words || r.message.starts_with(k.words)) return k.number;
  return TARVOLIN_ERROR_UNEXPECTED;
}

}  // namespace

LargeOutcome SolveLargeMaterial(const MaterialPlan& plan, const OptimizerSettings& settings,
                                const LargeProgressFn& progress, SolverResults& results) {
  results = SolverResults{};
  solver::exact::ExactInput in = ExactInputOf(plan, settings);
  std::atomic<bool> abort{false};
  in.abort = &abort;
  // The method reports its bound and best plan on its own thread; the
  // caller's thread reads the latest figures (negative: not known yet).
  std::atomic<double> bound{-1};
  std::atomic<double> best{-1};
  in.progress = [&bound, &best](const solver::exact::Progress& p) {
    if (p.lowerBound > 0) bound.store(p.lowerBound);
    if (p.hasPlan) best.store(p.bestObjective);
    return false;
  };
  // The planning runs beside the caller, who sees its progress and may stop
  // it; the plan is the same whichever thread makes it.
  const auto start = std::chrono::steady_clock::now();
  std::future<solver::exact::ExactResult> planning =
      std::async(std::launch::async, [&in] { return solver::exact::SolveExact(in); });
  while (planning.wait_for(kProgressInterval) != std::future_status::ready) {
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    const auto known = [](double value) {
      return value >= 0 ? std::optional<double>(value) : std::nullopt;
    };
    if (progress &&
        progress(LargeProgress{elapsed.count(), known(bound.load()), known(best.load())}))
      abort.store(true);
  }
  const solver::exact::ExactResult r = planning.get();
  using solver::exact::Status;
  if (r.status != Status::kOptimal && r.status != Status::kFeasible)
    return {ErrorNumberOf(r), r.message};
  if (!FillResultsFromPatterns(plan, PatternsOf(r.plan), results))
    return {TARVOLIN_ERROR_UNEXPECTED, "the plan does not fit the material's groups"};
  results.lowerBound = r.lowerBound;
  results.proven = r.proven;
  results.exactMs = static_cast<int32_t>(std::lround(r.elapsedMs));
  return {};
}

}  // namespace tarvolin
