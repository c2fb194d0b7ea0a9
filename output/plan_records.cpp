#include "plan_records.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace tarvolin {

int PieceCount(const SolverResults& results) {
  return std::clamp(results.partItemCount, 0, kMaxItems);
}

int BarCount(const SolverResults& results) {
  return std::clamp(results.stockItemCount, 0, kMaxItems);
}

const PartGroup* PartGroupAt(const MaterialPlan& plan, int group) {
  const int count = std::min(plan.partGroupCount, kMaxPartGroups);
  return group >= 1 && group <= count ? &plan.partGroups[group] : nullptr;
}

const StockGroup* StockGroupAt(const MaterialPlan& plan, int group) {
  const int count = std::min(plan.stockGroupCount, kMaxStockGroups);
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
  for (int bar = 1; bar <= BarCount(r); ++bar) {
    if (r.stockItemLayout[bar] <= 0) continue;
    const StockGroup* stock = StockGroupAt(plan, r.stockItemGroup[bar]);
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
  o.lessLastRemainder = lastStock != nullptr && lastStock->length > 0;
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

void BuildPieceOrder(MaterialPlan& plan) {
  auto& order = plan.pieceOrder;
  order.fill(0);
  const int n = PieceCount(plan.results);
  for (int i = 1; i <= n; ++i) order[i] = static_cast<int16_t>(i);
  // A stable sort keeps pieces of equal length in item order.
  std::stable_sort(order.begin() + 1, order.begin() + 1 + n, [&plan](int16_t a, int16_t b) {
    return PieceLength(plan, a) > PieceLength(plan, b);
  });
}

}  // namespace tarvolin
