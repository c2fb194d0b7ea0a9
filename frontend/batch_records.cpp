#include "batch_records.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace tarvolin {

namespace {

// The items a table holds: its slots less slot 0 and the marker slot.
int ItemsHeld(const SolverResults::ItemTable& table) {
  return std::max(static_cast<int>(table.size()) - 2, 0);
}

void SizeTable(SolverResults::ItemTable& table, int items) {
  table.assign(std::max(items + 2, kResultArraySize), 0);
}

}  // namespace

void SolverResults::SizeTables(int bars, int pieces) {
  bars = std::max(bars, 0);
  pieces = std::max(pieces, 0);
  for (ItemTable* t :
       {&stockItemGroup, &stockItemLayout, &stockItemPattern, &stockItemParts, &stockItemWaste})
    SizeTable(*t, bars);
  SizeTable(partItemGroup, pieces);
  SizeTable(partItemStock, pieces);
  stockItemCount = bars;
  partItemCount = pieces;
}

int PieceCount(const SolverResults& results) {
  const int held = std::min(ItemsHeld(results.partItemGroup), ItemsHeld(results.partItemStock));
  return std::clamp(results.partItemCount, 0, held);
}

int BarCount(const SolverResults& results) {
  int held = ItemsHeld(results.stockItemGroup);
  for (const auto* t : {&results.stockItemLayout, &results.stockItemPattern,
                        &results.stockItemParts, &results.stockItemWaste})
    held = std::min(held, ItemsHeld(*t));
  return std::clamp(results.stockItemCount, 0, held);
}

const PartGroup* PartGroupAt(const MaterialPlan& plan, int group) {
  const int count =
      std::min<int>(plan.partGroupCount, static_cast<int>(plan.partGroups.size()) - 1);
  return group >= 1 && group <= count ? &plan.partGroups[group] : nullptr;
}

const StockGroup* StockGroupAt(const MaterialPlan& plan, int group) {
  const int count =
      std::min<int>(plan.stockGroupCount, static_cast<int>(plan.stockGroups.size()) - 1);
  return group >= 1 && group <= count ? &plan.stockGroups[group] : nullptr;
}

int32_t PieceLength(const MaterialPlan& plan, int piece) {
  const PartGroup* group = PartGroupAt(plan, plan.results.partItemGroup[piece]);
  return group != nullptr ? group->length : 0;
}

namespace {

// Cost mode counts only when some bar costs anything, as in the solver.
bool ObjectiveInCost(const OptimizerSettings& settings, const MaterialPlan& plan) {
  if (settings.optimizeCost == 0) return false;
  for (int g = 1; g <= std::min(plan.stockGroupCount, kMaxStockGroups); ++g) {
    if (plan.stockGroups[g].cost > 0 && plan.stockGroups[g].quantity > 0) return true;
  }
  return false;
}

// The whole units of a figure: rounded up for a lower bound on a whole
// number, down otherwise; the tiny allowance absorbs the solver's
// floating-point noise.
int64_t WholeUnits(double value, bool roundUp) {
  constexpr double kNoise = 1e-6;
  const double whole = roundUp ? std::ceil(value - kNoise) : std::floor(value + kNoise);
  return static_cast<int64_t>(std::clamp<double>(whole, INT32_MIN, INT32_MAX));
}

}  // namespace

ExactObjective ExactObjectiveOf(const OptimizerSettings& settings, const MaterialPlan& plan) {
  const SolverResults& r = plan.results;
  ExactObjective o;
  o.inCost = ObjectiveInCost(settings, plan);
  int64_t length = 0, cost = 0;
  for (int g = 1; g <= plan.stockGroupCount; ++g)
    o.newStockOnly = o.newStockOnly || !plan.stockGroups[g].remnants.empty();
  // Remnants count for nothing: neither their length nor their remainder.
  const auto counted = [](const StockGroup* stock) {
    return stock != nullptr && stock->remnants.empty();
  };
  for (int bar = 1; bar <= BarCount(r); ++bar) {
    if (r.stockItemLayout[bar] <= 0) continue;
    const StockGroup* stock = StockGroupAt(plan, r.stockItemGroup[bar]);
    if (!counted(stock) && stock != nullptr) continue;
    length += stock != nullptr ? stock->length : 0;
    cost += stock != nullptr ? stock->cost : 0;
  }
  // The last stock's remainder: its length less its pieces and a cut behind
  // each of them.
  const bool last = r.lastStock >= 1 && r.lastStock <= BarCount(r);
  const StockGroup* lastStock = last ? StockGroupAt(plan, r.stockItemGroup[r.lastStock]) : nullptr;
  int64_t remainder = lastStock != nullptr ? lastStock->length : 0;
  for (int piece = 1; piece <= PieceCount(r); ++piece) {
    if (r.partItemStock[piece] == 0) o.piecesLeft = true;
    if (last && r.partItemStock[piece] == r.lastStock)
      remainder -= static_cast<int64_t>(PieceLength(plan, piece)) + settings.kerf;
  }
  o.lessLastRemainder = counted(lastStock) && lastStock->length > 0;
  double value = static_cast<double>(o.inCost ? cost : length);
  if (o.lessLastRemainder) {
    value -= o.inCost ? static_cast<double>(lastStock->cost) * static_cast<double>(remainder) /
                            lastStock->length
                      : static_cast<double>(remainder);
  }
  // Only a cost less a remainder's worth is fractional.
  const bool whole = !(o.inCost && o.lessLastRemainder);
  o.value = WholeUnits(value, false);
  if (r.lowerBound > 0) o.bound = WholeUnits(r.lowerBound, whole);
  return o;
}

const char* MethodName(int32_t method) {
  return method == kMethodExact ? kMethodExactName : kMethodSearchName;
}

std::vector<plan::PlanPartGroup> PlanPartGroupsOf(const MaterialPlan& answer) {
  std::vector<plan::PlanPartGroup> groups;
  for (int g = 1; g <= answer.partGroupCount; ++g) {
    const PartGroup& p = answer.partGroups[g];
    groups.push_back({p.length, p.mark, p.quantity, p.lineNumber});
  }
  return groups;
}

namespace {

std::vector<plan::PlanStockGroup> PlanStockGroupsOf(const MaterialPlan& answer) {
  std::vector<plan::PlanStockGroup> groups;
  for (int g = 1; g <= answer.stockGroupCount; ++g) {
    const StockGroup& s = answer.stockGroups[g];
    groups.push_back({s.length, s.cost, s.quantity});
  }
  return groups;
}

// The exact method's objective and bound. The bound on the objective also
// bounds the stock length (or cost) alone, which is never below it.
plan::PlanBound ExactBound(const OptimizerSettings& settings, const MaterialPlan& answer) {
  using Kind = plan::PlanObjective::Kind;
  const ExactObjective o = ExactObjectiveOf(settings, answer);
  plan::PlanObjective objective;
  objective.kind =
      o.inCost ? (o.lessLastRemainder ? Kind::kCostLessLastRemainderWorth : Kind::kCost)
               : (o.lessLastRemainder ? Kind::kStockLengthLessLastRemainder : Kind::kStockLength);
  objective.value = o.value;
  objective.bound = o.bound;
  objective.shortStock = o.piecesLeft;
  objective.newStockOnly = o.newStockOnly;
  plan::PlanBound bound;
  if (o.bound) {
    const auto units = static_cast<int32_t>(*o.bound);
    if (o.inCost)
      bound.cost = units;
    else
      bound.stockLength = units;
  }
  bound.provenOptimal = answer.results.proven;
  bound.objective = objective;
  return bound;
}

}  // namespace

plan::MaterialPlan SolvedPlanOf(const OptimizerSettings& settings, const MaterialPlan& answer,
                                int64_t calculationMs) {
  const SolverResults& r = answer.results;
  const int bars = BarCount(r);
  const int pieces = PieceCount(r);
  plan::MaterialPlanInput in;
  in.materialKey = answer.material;
  in.method = kMethodSearchName;
  in.partGroups = PlanPartGroupsOf(answer);
  in.stockGroups = PlanStockGroupsOf(answer);
  in.barGroup = plan::ItemValues(r.stockItemGroup.data(), bars);
  in.barLayout = plan::ItemValues(r.stockItemLayout.data(), bars);
  in.barPattern = plan::ItemValues(r.stockItemPattern.data(), bars);
  in.barPieceCount = plan::ItemValues(r.stockItemParts.data(), bars);
  in.barWaste = plan::ItemValues(r.stockItemWaste.data(), bars);
  in.pieceGroup = plan::ItemValues(r.partItemGroup.data(), pieces);
  in.pieceBar = plan::ItemValues(r.partItemStock.data(), pieces);
  in.lastStock = r.lastStock;
  if (!answer.barRemnant.empty()) {
    in.remnantStore = true;
    in.barRemnant.assign(answer.barRemnant.begin() + 1, answer.barRemnant.end());
    in.barOffcut.assign(answer.barOffcut.begin() + 1, answer.barOffcut.end());
  }
  in.totals = plan::SolverTotals{r.stockUsed,   r.partsCut,   r.lengthUsed, r.wasteSum, r.costUsed,
                                 r.layoutCount, r.layoutCuts, r.lastParts,  r.lastWaste};
  in.kerf = settings.kerf;
  in.endZone = settings.endZone;
  in.gripLength = settings.gripLength;
  in.minReusable = settings.minReusableLength;
  in.calculationMs = calculationMs;
  if (r.exactMethod || settings.method == kMethodExact) {
    in.method = kMethodExactName;
    in.bound = ExactBound(settings, answer);
  }
  return plan::BuildMaterialPlan(in);
}

}  // namespace tarvolin
