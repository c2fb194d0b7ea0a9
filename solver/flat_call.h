// The flat CutOptimize call packed into the structured interface: its
// settings and arrays, under the flat call's own names, and their packing.
#pragma once

#include <cstdint>

#include "prepare.h"
#include "tarvolin/solver.h"

namespace solver {

// The sixteen settings of the flat call, in argument order.
struct FlatSettings {
  int32_t CostOptim = 0, IgnoreLast = 0, EffortLev = 0, ReduceLays = 0, PrefShort = 0,
          DiffStocks = 0, DiffPieces = 0, MinReusable = 0, GapItIt = 0, GapItEnd = 0,
          GapGripEnd = 0, OptimTime = 0, IterMult = 0, LayByMark = 0, RunMsgMode = 0, MaxPieces = 0;
};

// The six input arrays: element 0 the group count, 1..n the groups, n+1
// the caller's transfer check value.
struct FlatArrays {
  const int32_t* StockGrLth;
  const int32_t* StockGrCst;
  const int16_t* StockGrQty;
  const int32_t* PartGrLth;
  const int32_t* PartGrMrkID;
  const int16_t* PartGrQty;
};

// The result cells and result arrays (TARVOLIN_MAX_ITEMS + 2 elements each).
struct FlatResults {
  int32_t *CritValue, *UtilRate, *StockUsed, *PartsCut, *LthUsed, *WasteSum, *CostUsed, *LastStock,
      *LastParts, *LastLthUsed, *LastWaste, *LastCost, *PatternNum, *LayoutNum, *LayoutCuts,
      *Reserved1, *Reserved2;
  int16_t *StockItGr, *PartItGr, *PartItStock, *StockItLay, *StockItPat, *StockItParts;
  int32_t* StockItWaste;
};

// The settings as TarvolinSettings; errorMsgs is the ErrorMsgs value.
TarvolinSettings PackSettings(const FlatSettings& s, int32_t errorMsgs);

// Packs the group arrays into a problem (the target is left alone). Groups
// are read only when their count is in range and the three arrays agree on
// it; otherwise the group check fails before any group is looked at.
ArrayCountMismatch PackGroups(const FlatArrays& a, TarvolinProblem& problem);

// Writes a successful plan into the result cells and arrays, with the item
// count in element 0 of every array and the sum of the two input check
// values behind its last item.
void WriteFlatResults(const TarvolinPlan& plan, const FlatArrays& a, const FlatResults& r);

}  // namespace solver
