/* Tarvolin cutting optimizer: the stock offered to the layout search,
 * lowered to the search's item limit before the call.
 *
 * A material whose stock lines offer more than TARVOLIN_MAX_ITEMS bars can
 * still be planned by the layout search when it needs fewer: the lowering
 * takes bars away, one at a time from the largest quantity (from the later
 * group of equal ones), as long as a quick plan on what is left still cuts
 * as many pieces as on the whole stock, and as long as the bars that the
 * longer pieces need keep the room of TARVOLIN_BAR_DEMAND_SLACK (the
 * search's plans are not packed as tightly as the quick plan). When no bar
 * can go on those terms, the room goes, then the plan. Every group keeps at
 * least one bar.
 *
 * The quick plan: a bar for each piece, longest pieces first, each on the
 * shortest bar it fits; and, without a gripping length or a bundle, the
 * pieces packed longest first into the first bar with room (first fit
 * decreasing) within the limits of pieces and of different pieces per
 * layout. The plan that cuts more counts. */
#ifndef TARVOLIN_STOCK_LOWERING_H
#define TARVOLIN_STOCK_LOWERING_H

#include <stdint.h>

#include "tarvolin/export.h"
#include "tarvolin/solver.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Lowers stockQty[0..stockGroups-1] in place until the quantities sum to at
 * most TARVOLIN_MAX_ITEMS (a sum at or below it is left alone). The parts:
 * partLength and partQty, partGroups entries; the stock lengths:
 * stockLength. The rules come from settings: kerf, endZone, gripLength,
 * maxPiecesPerLayout, maxDifferentPieces and bundleSize; the rest is not
 * read. Returns 0, or TARVOLIN_ERROR_NULL_ARGUMENT,
 * TARVOLIN_ERROR_STOCK_GROUP_COUNT (more than TARVOLIN_MAX_STOCK_GROUPS
 * groups) or TARVOLIN_ERROR_UNEXPECTED (no memory), the quantities then
 * unchanged. */
TARVOLIN_API int32_t TarvolinLowerStockToItemLimit(const int32_t* partLength,
                                                   const int32_t* partQty, int32_t partGroups,
                                                   const int32_t* stockLength, int32_t* stockQty,
                                                   int32_t stockGroups,
                                                   const TarvolinSettings* settings);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif
