#include "plan_records.h"

#include <algorithm>

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
