// A prepared problem built directly in the state record, for driver tests
// that do not go through the call boundary.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "solver_state.h"

namespace solver::testing {

struct PartGroupSpec {
  int32_t length;
  int32_t quantity;
  int32_t mark = 0;
};

struct StockGroupSpec {
  int32_t length;
  int32_t quantity;
  int32_t cost = 0;
};

// Groups must be given in internal order (longest first). Statistics are
// those of the problem check, with the quantities taken as they are.
inline std::unique_ptr<SolverState> MakeProblem(const std::vector<PartGroupSpec>& parts,
                                                const std::vector<StockGroupSpec>& stocks) {
  auto st = std::make_unique<SolverState>();
  ProblemTables& pr = st->problem;
  ProblemStats& sx = st->stats;
  sx.minPartLength = 2000000000;
  sx.minStockLength = 2000000000;
  for (const PartGroupSpec& g : parts) {
    const int group = ++pr.partGroupCount;
    pr.partGroupLength[group] = g.length;
    pr.partGroupQty[group] = static_cast<int16_t>(g.quantity);
    for (int j = 0; j < g.quantity; ++j) {
      const int i = ++pr.partCount;
      pr.partLength[i] = g.length;
      pr.partMark[i] = g.mark;
      pr.partInputNo[i] = static_cast<int16_t>(i);
      pr.partGroup[i] = static_cast<int16_t>(group);
    }
    sx.maxPartLength = std::max(sx.maxPartLength, g.length);
    sx.minPartLength = std::min(sx.minPartLength, g.length);
    sx.maxPartQty = std::max(sx.maxPartQty, g.quantity);
    sx.totalPartLength += int64_t{g.length} * g.quantity;
  }
  for (const StockGroupSpec& g : stocks) {
    const int group = ++pr.stockGroupCount;
    pr.stockGroupLength[group] = g.length;
    pr.stockGroupCost[group] = g.cost;
    pr.stockGroupQty[group] = static_cast<int16_t>(g.quantity);
    for (int j = 0; j < g.quantity; ++j) {
      const int i = ++pr.stockCount;
      pr.stockLength[i] = g.length;
      pr.stockCost[i] = g.cost;
      pr.stockInputNo[i] = static_cast<int16_t>(i);
      pr.stockGroup[i] = static_cast<int16_t>(group);
    }
    sx.maxStockLength = std::max(sx.maxStockLength, g.length);
    sx.minStockLength = std::min(sx.minStockLength, g.length);
    sx.maxStockQty = std::max(sx.maxStockQty, g.quantity);
    sx.totalStockLength += int64_t{g.length} * g.quantity;
    sx.totalStockCost += int64_t{g.cost} * g.quantity;
  }
  sx.cappedStockCount = pr.stockCount;
  sx.avgStockLength = static_cast<int32_t>(sx.totalStockLength / std::max(pr.stockCount, 1));
  sx.avgPartLength = static_cast<int32_t>(sx.totalPartLength / std::max(pr.partCount, 1));
  st->settings.iterationMultiplier = 20;
  st->settings.iterationFactor = 20 * 0.002;
  return st;
}

}  // namespace solver::testing
