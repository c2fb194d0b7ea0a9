#include "solver_call.h"

#include <type_traits>

#include "tarvolin/cut_optimize.h"

namespace tarvolin {
namespace {

// One solver input array and the group field it carries.
template <typename Value, size_t N, typename Group, typename Field>
struct Column {
  std::array<Value, N>& array;
  Field Group::*field;
};

// Packs groups 1..n into solver input arrays, one array per field: the
// group count, the groups' values and the marker behind them.
template <typename Group, size_t N, typename... Columns>
void PackGroups(const std::array<Group, N>& groups, int n, int32_t marker, Columns... columns) {
  const auto pack = [&](auto column) {
    using Value = typename std::remove_reference_t<decltype(column.array)>::value_type;
    column.array.fill(0);
    column.array[0] = static_cast<Value>(n);
    for (int i = 1; i <= n; ++i) column.array[i] = static_cast<Value>(groups[i].*column.field);
    column.array[n + 1] = static_cast<Value>(marker);
  };
  (pack(columns), ...);
}

template <typename Value, size_t N, typename Group, typename Field>
Column<Value, N, Group, Field> ColumnOf(std::array<Value, N>& array, Field Group::*field) {
  return {array, field};
}

bool ValidItemCount(int count) {
  return count >= 0 && count <= kMaxItems;
}

// Checks and clears the marker slot behind `count` items, and slot 0.
template <typename Array>
bool TakeArray(Array& array, int count) {
  if (!ValidItemCount(count)) return false;
  const bool marked = array[count + 1] == TARVOLIN_RESULT_ARRAY_MARKER;
  array[0] = 0;
  array[count + 1] = 0;
  return marked;
}

}  // namespace

SolverInput PackSolverInput(const MaterialPlan& plan) {
  SolverInput in;
  PackGroups(plan.partGroups, plan.partGroupCount, TARVOLIN_PART_ARRAY_MARKER,
             ColumnOf(in.partLengths, &PartGroup::length),
             ColumnOf(in.partMarkIds, &PartGroup::markId),
             ColumnOf(in.partQuantities, &PartGroup::quantity));
  PackGroups(plan.stockGroups, plan.stockGroupCount, TARVOLIN_STOCK_ARRAY_MARKER,
             ColumnOf(in.stockLengths, &StockGroup::length),
             ColumnOf(in.stockCosts, &StockGroup::cost),
             ColumnOf(in.stockQuantities, &StockGroup::quantity));
  return in;
}

int32_t CallSolver(const OptimizerSettings& o, int progressWindowMode, bool showMessages,
                   const SolverInput& in, SolverResults& r) {
  int32_t error = 0;
  int32_t errorBoxes = showMessages ? 1 : 0;
  CutOptimize(&error, &errorBoxes, o.optimizeCost, o.ignoreLastStock, o.effortLevel,
              o.reduceLayouts, o.stockLengthPreference, o.maxDifferentStocks, o.maxDifferentPieces,
              o.minReusableLength, o.kerf, o.endZone, o.gripLength, o.timeLimitSeconds,
              o.iterationMultiplier, o.layoutsByMark, progressWindowMode, o.maxPiecesPerLayout,
              in.stockLengths.data(), in.stockCosts.data(), in.stockQuantities.data(),
              in.partLengths.data(), in.partMarkIds.data(), in.partQuantities.data(), &r.criterion,
              &r.utilization, &r.stockUsed, &r.partsCut, &r.lengthUsed, &r.wasteSum, &r.costUsed,
              &r.lastStock, &r.lastParts, &r.lastLengthUsed, &r.lastWaste, &r.lastCost,
              &r.patternCount, &r.layoutCount, &r.layoutCuts, &r.reserved1, &r.reserved2,
              r.stockItemGroup.data(), r.partItemGroup.data(), r.partItemStock.data(),
              r.stockItemLayout.data(), r.stockItemPattern.data(), r.stockItemParts.data(),
              r.stockItemWaste.data());
  return error;
}

bool TakeResultArrays(SolverResults& r) {
  r.partItemCount = r.partItemStock[0];
  r.stockItemCount = r.stockItemLayout[0];
  bool ok = true;
  for (auto* array : {&r.partItemGroup, &r.partItemStock})
    ok = TakeArray(*array, r.partItemCount) && ok;
  for (auto* array :
       {&r.stockItemGroup, &r.stockItemLayout, &r.stockItemPattern, &r.stockItemParts})
    ok = TakeArray(*array, r.stockItemCount) && ok;
  ok = TakeArray(r.stockItemWaste, r.stockItemCount) && ok;
  if (!ValidItemCount(r.partItemCount)) r.partItemCount = 0;
  if (!ValidItemCount(r.stockItemCount)) r.stockItemCount = 0;
  return ok;
}

}  // namespace tarvolin
