// The order in which the saw cuts the pieces of one bar, from the bar's
// start. The pieces of a layout are listed longest first, and that is the
// order they are cut in, with one exception: with a gripping length, the
// saw grips the end of the bar's usable length, and a piece that reaches
// into that length can only be cut when it is at least the gripping length
// long itself. When the pieces leave less than the gripping length behind
// (after each piece's kerf, before the end zone), one such piece is cut
// last: the shortest one, of equal pieces the last listed, so that as few
// pieces as possible move from their place in the list. The plan's fit rule
// guarantees that there is one; without one the list stays as it is.
#pragma once

#include <cstdint>
#include <vector>

#include "material_plan.h"

namespace tarvolin::plan {

struct CutOrder {
  std::vector<int> pieces;  // indexes into the layout's pieces, from the bar's start
  int gripPiece = -1;       // the piece that reaches into the gripping length; -1 = none
};

CutOrder CuttingOrder(const std::vector<PlanPiece>& pieces, int32_t stockLength, int32_t kerf,
                      int32_t endZone, int32_t gripLength);
CutOrder CuttingOrder(const PlanLayout& layout, const MaterialPlan& material);

}  // namespace tarvolin::plan
