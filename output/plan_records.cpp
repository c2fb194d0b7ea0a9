#include "plan_records.h"

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

void BuildPieceOrder(MaterialPlan& plan) {
  const int n = PieceCount(plan.results);
  auto& order = plan.pieceOrder;
  order.assign(std::max(n + 2, kMaxItems + 2), 0);
  // The lengths once, so that the sort does not look up groups.
  std::vector<int32_t> length(n + 1, 0);
  for (int i = 1; i <= n; ++i) {
    order[i] = i;
    length[i] = PieceLength(plan, i);
  }
  // A stable sort keeps pieces of equal length in item order.
  std::stable_sort(order.begin() + 1, order.begin() + 1 + n,
                   [&length](int32_t a, int32_t b) { return length[a] > length[b]; });
}

PiecesByBar::PiecesByBar(const MaterialPlan& plan) {
  const SolverResults& r = plan.results;
  const int bars = BarCount(r);
  const int pieces = PieceCount(r);
  const int ordered = std::min(pieces, static_cast<int>(plan.pieceOrder.size()) - 1);
  const auto barOf = [&](int piece) {
    const int bar = piece >= 1 && piece <= pieces ? r.partItemStock[piece] : 0;
    return bar >= 1 && bar <= bars ? bar : 0;
  };
  start_.assign(bars + 2, 0);
  for (int k = 1; k <= ordered; ++k)
    if (const int bar = barOf(plan.pieceOrder[k]); bar > 0) ++start_[bar + 1];
  for (int bar = 1; bar <= bars; ++bar) start_[bar + 1] += start_[bar];
  pieces_.assign(start_[bars + 1], 0);
  std::vector<int32_t> next(start_.begin(), start_.end() - 1);
  for (int k = 1; k <= ordered; ++k)
    if (const int bar = barOf(plan.pieceOrder[k]); bar > 0)
      pieces_[next[bar]++] = plan.pieceOrder[k];
}

std::span<const int32_t> PiecesByBar::Of(int bar) const {
  if (bar < 1 || bar + 1 >= static_cast<int>(start_.size())) return {};
  return std::span<const int32_t>(pieces_).subspan(start_[bar], start_[bar + 1] - start_[bar]);
}

}  // namespace tarvolin
