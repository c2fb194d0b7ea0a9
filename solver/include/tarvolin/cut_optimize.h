/* Tarvolin cutting optimizer: the flat C call boundary of the solver library.
 *
 * One call, CutOptimize, optimizes the cutting of one material. Settings are
 * plain integers; stock groups and part groups are parallel arrays whose
 * element 0 holds the group count n, elements 1..n the groups and element
 * n+1 a caller-chosen transfer check value. Result arrays have 102 elements:
 * element 0 the item count, elements 1..count one value per item in input
 * numbering, element count+1 the sum of the two input check values.
 *
 * Lengths are integers in the caller's length unit, costs in the caller's
 * cost unit. The call is not reentrant. */
#ifndef TARVOLIN_CUT_OPTIMIZE_H
#define TARVOLIN_CUT_OPTIMIZE_H

#include <stdint.h>

#include "tarvolin/export.h"

#ifdef __cplusplus
extern "C" {
#endif

TARVOLIN_API void CutOptimize(
    int32_t* ErrorNumb, int32_t* ErrorMsgs, int32_t CostOptim, int32_t IgnoreLast,
    int32_t EffortLev, int32_t ReduceLays, int32_t PrefShort, int32_t DiffStocks,
    int32_t DiffPieces, int32_t MinReusable, int32_t GapItIt, int32_t GapItEnd, int32_t GapGripEnd,
    int32_t OptimTime, int32_t IterMult, int32_t LayByMark, int32_t RunMsgMode, int32_t MaxPieces,
    const int32_t* StockGrLth, const int32_t* StockGrCst, const int16_t* StockGrQty,
    const int32_t* PartGrLth, const int32_t* PartGrMrkID, const int16_t* PartGrQty,
    int32_t* CritValue, int32_t* UtilRate, int32_t* StockUsed, int32_t* PartsCut, int32_t* LthUsed,
    int32_t* WasteSum, int32_t* CostUsed, int32_t* LastStock, int32_t* LastParts,
    int32_t* LastLthUsed, int32_t* LastWaste, int32_t* LastCost, int32_t* PatternNum,
    int32_t* LayoutNum, int32_t* LayoutCuts, int32_t* Reserved1, int32_t* Reserved2,
    int16_t* StockItGr, int16_t* PartItGr, int16_t* PartItStock, int16_t* StockItLay,
    int16_t* StockItPat, int16_t* StockItParts, int32_t* StockItWaste);

/* Estimated number of bars of length stockLength that the part groups
 * (lengths partLth[1..n], quantities partQty[1..n]) can occupy at most,
 * multiplied by slack and rounded half to even, counting lengths only.
 * Pure; never fails. */
TARVOLIN_API int32_t BarDemandBound(const int32_t* partLth, const int16_t* partQty, int32_t n,
                                    double slack, int32_t gripLength, int32_t endZone, int32_t kerf,
                                    int32_t stockLength);

/* The same bound under the layout limits of a CutOptimize call, given as
 * that call's MaxPieces and DiffPieces settings: a limit on the pieces per
 * layout, on the different pieces per layout, or a stock/cut bundle can
 * need more bars than the lengths alone. Capping a stock quantity at this
 * bound never leaves a piece uncut for want of bars. */
TARVOLIN_API int32_t BarDemandBoundWithLimits(const int32_t* partLth, const int16_t* partQty,
                                              int32_t n, double slack, int32_t gripLength,
                                              int32_t endZone, int32_t kerf, int32_t stockLength,
                                              int32_t MaxPieces, int32_t DiffPieces);

#ifdef __cplusplus
}
#endif

#endif
