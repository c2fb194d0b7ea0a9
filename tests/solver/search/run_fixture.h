// Hand-built sub-problems for the search tests, prepared the way the driver
// prepares a run (lengths given as working lengths).
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "solver_state.h"

namespace solver::testing {

struct PartSpec {
  int32_t length;
  int32_t qty;
};
struct StockSpec {
  int32_t length;
  int32_t qty;
  int32_t cost = 0;
};

inline std::unique_ptr<SolverState> MakeState() {
  auto st = std::make_unique<SolverState>();
  st->settings.iterationMultiplier = 20;
  st->settings.iterationFactor = 20 * 0.002;
  return st;
}

inline void ResetOpenLists(SolverState& st) {
  RunTables& run = st.run;
  run.openPieceCount = run.pieceCount;
  for (int i = 1; i <= run.pieceCount; ++i) {
    run.openPieces[i] = static_cast<int16_t>(i);
    run.stockOfPiece[i] = 0;
    run.pieceClass[i] = run.pieceGroup[i];
  }
  run.openStockCount = run.initialStockCount;
  for (int p = 1; p <= run.stockCount; ++p) {
    run.openStocks[p] = run.initialStockOrder[p];
    run.stockState[p] = kBarFree;
    run.stockPieces[p] = 0;
    run.stockRemainder[p] = kUntouchedRemainder;
    run.stockClass[p] = run.stockGroup[p];
  }
  run.pieceClassCount = run.partGroupCount;
  run.stockClassCount = run.stockGroupCount;
  run.committedTotals = PlanTotals{};
}

inline void SetupRun(SolverState& st, const std::vector<PartSpec>& parts,
                     const std::vector<StockSpec>& stocks) {
  RunTables& run = st.run;
  run = RunTables{};
  run.partGroupCount = static_cast<int32_t>(parts.size());
  int64_t orders = 1;
  for (int g = 1; g <= run.partGroupCount; ++g) {
    const PartSpec& p = parts[g - 1];
    run.partGroupLength[g] = p.length;
    run.partGroupQty[g] = p.qty;
    if (p.qty == 0) ++run.emptyPartGroups;
    for (int i = 1; i <= p.qty; ++i) {
      run.pieceGroup[++run.pieceCount] = static_cast<int16_t>(g);
      if (orders < 25555) orders = orders * run.pieceCount / i;
    }
  }
  run.distinctPieceOrders = static_cast<int32_t>(orders) + 1;
  run.stockGroupCount = static_cast<int32_t>(stocks.size());
  orders = 1;
  for (int g = 1; g <= run.stockGroupCount; ++g) {
    const StockSpec& s = stocks[g - 1];
    run.stockGroupLength[g] = s.length;
    run.stockGroupQty[g] = s.qty;
    run.stockGroupCost[g] = s.cost;
    if (s.qty == 0) ++run.emptyStockGroups;
    for (int i = 1; i <= s.qty; ++i) {
      run.stockGroup[++run.stockCount] = static_cast<int16_t>(g);
      if (orders < 25555) orders = orders * run.stockCount / i;
    }
  }
  run.distinctStockOrders = static_cast<int32_t>(orders) + 1;
  for (int b = 1; b <= run.stockCount; ++b) run.initialStockOrder[b] = static_cast<int16_t>(b);
  run.initialStockCount = run.stockCount;
  int n = 0;
  for (int g = run.stockGroupCount; g >= 1; --g) {
    for (int b = 1; b <= run.stockCount; ++b) {
      if (run.stockGroup[b] == g) run.barsByGroup[++n] = static_cast<int16_t>(b);
    }
  }

  run.minPart = run.minStock = 2000000000;
  int openParts = 0;
  for (int g = 1; g <= run.partGroupCount; ++g) {
    if (run.partGroupQty[g] < 1) continue;
    ++openParts;
    run.minPart = std::min(run.minPart, run.partGroupLength[g]);
    run.maxPart = std::max(run.maxPart, run.partGroupLength[g]);
    run.maxPartQty = std::max(run.maxPartQty, run.partGroupQty[g]);
    run.totalPartLength += int64_t{run.partGroupLength[g]} * run.partGroupQty[g];
  }
  for (int g = 1; g <= run.stockGroupCount; ++g) {
    if (run.stockGroupQty[g] < 1) continue;
    run.minStock = std::min(run.minStock, run.stockGroupLength[g]);
    run.maxStock = std::max(run.maxStock, run.stockGroupLength[g]);
    run.maxStockQty = std::max(run.maxStockQty, run.stockGroupQty[g]);
    run.totalStockLength += int64_t{run.stockGroupLength[g]} * run.stockGroupQty[g];
    run.totalStockCost += int64_t{run.stockGroupCost[g]} * run.stockGroupQty[g];
  }
  run.meanPiece = static_cast<int32_t>(run.totalPartLength / run.pieceCount);
  run.meanStock = static_cast<int32_t>(run.totalStockLength / run.initialStockCount);
  run.meanCost = static_cast<int32_t>(run.totalStockCost / run.initialStockCount);
  run.estPieces = std::min<int32_t>(
      run.pieceCount, static_cast<int32_t>(RoundEven(
                          static_cast<double>(run.totalStockLength) / run.meanPiece + 0.51)));
  run.estStocks = std::min<int32_t>(
      run.initialStockCount, static_cast<int32_t>(RoundEven(
                                 static_cast<double>(run.totalPartLength) / run.meanStock + 0.51)));
  const double r = static_cast<double>(run.totalPartLength) / openParts / run.meanStock;
  run.mixType = r <= 0.5 ? 1 : (r >= 2 ? 3 : 2);
  run.pairCombos = openParts >= 2 && run.mixType != 1;
  run.tripleCombos = openParts >= 3;
  if (!run.tripleCombos) {
    run.runShare = 0.4;
    run.pairFill = 0.95;
  }
  run.runKind = kRunPlain;
  run.driverMode = 0;
  ResetOpenLists(st);
}

// The pieces cut from one bar, in item order.
inline std::vector<int> PiecesOn(const SolverState& st, int bar) {
  std::vector<int> out;
  for (int i = 1; i <= st.run.pieceCount; ++i) {
    if (st.run.stockOfPiece[i] == bar) out.push_back(i);
  }
  return out;
}

}  // namespace solver::testing
