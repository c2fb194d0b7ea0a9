#include "solver_call.h"

#include <memory>
#include <type_traits>

#include "tarvolin/cut_optimize.h"
#include "tarvolin/solver.h"

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

// Copies one item table of a plan into a result array with the item count
// in slot 0 and the marker behind the last item, as the flat call leaves it.
template <typename Array, typename Value>
void CopyItems(Array& array, const Value* items, int count) {
  array.fill(0);
  array[0] = static_cast<typename Array::value_type>(count);
  for (int i = 1; i <= count; ++i) array[i] = static_cast<typename Array::value_type>(items[i]);
  array[count + 1] = TARVOLIN_RESULT_ARRAY_MARKER;
}

TarvolinSettings ExactSettings(const OptimizerSettings& o, int progressWindowMode,
                               bool showMessages) {
  TarvolinSettings t{};
  t.costMode = o.optimizeCost;
  t.ignoreLast = o.ignoreLastStock;
  t.effortLevel = o.effortLevel;
  t.reduceLayouts = o.reduceLayouts;
  t.preferShort = o.stockLengthPreference;
  t.maxStockGroups = o.maxDifferentStocks;
  t.maxDifferentPieces = o.maxDifferentPieces > 0 ? o.maxDifferentPieces : 0;
  t.bundleSize = o.maxDifferentPieces < -1 ? -o.maxDifferentPieces : 0;
  t.minReusable = o.minReusableLength;
  t.kerf = o.kerf;
  t.endZone = o.endZone;
  t.gripLength = o.gripLength;
  t.timeLimitSeconds = o.timeLimitSeconds;
  t.iterationMultiplier = o.iterationMultiplier;
  t.layoutsByMark = o.layoutsByMark;
  t.progressMode = progressWindowMode;
  t.maxPiecesPerLayout = o.maxPiecesPerLayout;
  t.showErrorBoxes = showMessages ? 1 : 0;
  t.method = o.method;
  t.exactTimeLimitSeconds = o.exactTimeLimitSeconds;
  return t;
}

// The exact method goes through the struct call in a context of its own.
int32_t CallExactSolver(const OptimizerSettings& o, int progressWindowMode, bool showMessages,
                        const SolverInput& in, SolverResults& r) {
  const std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)> context(
      TarvolinCreateContext(), TarvolinDestroyContext);
  if (!context) return TARVOLIN_ERROR_UNEXPECTED;
  TarvolinProblem problem{};
  problem.stockGroupCount = in.stockLengths[0];
  for (int g = 1; g <= problem.stockGroupCount; ++g) {
    problem.stockGroups[g] = {in.stockLengths[g], in.stockCosts[g], in.stockQuantities[g]};
  }
  problem.partGroupCount = in.partLengths[0];
  for (int g = 1; g <= problem.partGroupCount; ++g) {
    problem.partGroups[g] = {in.partLengths[g], in.partMarkIds[g], in.partQuantities[g]};
  }
  const TarvolinSettings settings = ExactSettings(o, progressWindowMode, showMessages);
  auto plan = std::make_unique<TarvolinPlan>();
  const int32_t error = TarvolinSolve(context.get(), &settings, &problem, nullptr, plan.get());
  if (error != 0) return error;
  const TarvolinPlan& p = *plan;
  r.criterion = p.criterion;
  r.utilization = p.utilization;
  r.stockUsed = p.stockUsed;
  r.partsCut = p.partsCut;
  r.lengthUsed = p.lengthUsed;
  r.wasteSum = p.wasteSum;
  r.costUsed = p.costUsed;
  r.lastStock = p.lastStock;
  r.lastParts = p.lastParts;
  r.lastLengthUsed = p.lastLengthUsed;
  r.lastWaste = p.lastWaste;
  r.lastCost = p.lastCost;
  r.patternCount = p.patternCount;
  r.layoutCount = p.layoutCount;
  r.layoutCuts = p.layoutCuts;
  CopyItems(r.partItemGroup, p.partItemGroup, p.partItemCount);
  CopyItems(r.partItemStock, p.partItemStock, p.partItemCount);
  CopyItems(r.stockItemGroup, p.stockItemGroup, p.stockItemCount);
  CopyItems(r.stockItemLayout, p.stockItemLayout, p.stockItemCount);
  CopyItems(r.stockItemPattern, p.stockItemPattern, p.stockItemCount);
  CopyItems(r.stockItemParts, p.stockItemParts, p.stockItemCount);
  CopyItems(r.stockItemWaste, p.stockItemWaste, p.stockItemCount);
  r.lowerBound = p.lowerBound;
  r.proven = p.proven != 0;
  r.exactMs = p.exactMs;
  return 0;
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
  if (o.method == kMethodExact) return CallExactSolver(o, progressWindowMode, showMessages, in, r);
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
