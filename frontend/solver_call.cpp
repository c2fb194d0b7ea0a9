#include "solver_call.h"

#include "tarvolin/cut_optimize.h"

namespace tarvolin {
namespace {

// Packs one field of groups 1..n into a solver input array.
template <typename Group, size_t N, typename Value, typename Field>
void PackColumn(const std::array<Group, N>& groups, int n, int32_t marker,
                std::array<Value, N>& column, Field field) {
  column.fill(0);
  column[0] = static_cast<Value>(n);
  for (int i = 1; i <= n; ++i) column[i] = field(groups[i]);
  column[n + 1] = static_cast<Value>(marker);
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
  const int np = plan.partGroupCount;
  const int32_t partMarker = TARVOLIN_PART_ARRAY_MARKER;
  PackColumn(plan.partGroups, np, partMarker, in.partLengths,
             [](const PartGroup& g) { return g.length; });
  PackColumn(plan.partGroups, np, partMarker, in.partMarkIds,
             [](const PartGroup& g) { return g.markId; });
  PackColumn(plan.partGroups, np, partMarker, in.partQuantities,
             [](const PartGroup& g) { return g.quantity; });
  const int ns = plan.stockGroupCount;
  const int32_t stockMarker = TARVOLIN_STOCK_ARRAY_MARKER;
  PackColumn(plan.stockGroups, ns, stockMarker, in.stockLengths,
             [](const StockGroup& g) { return g.length; });
  PackColumn(plan.stockGroups, ns, stockMarker, in.stockCosts,
             [](const StockGroup& g) { return g.cost; });
  PackColumn(plan.stockGroups, ns, stockMarker, in.stockQuantities,
             [](const StockGroup& g) { return g.quantity; });
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
