// The bar-demand bound with the layout rules that can force more bars than
// the lengths alone: the most pieces per layout, the most different pieces
// per layout, and the stock/cut bundle.
#pragma once

#include <cstdint>

namespace solver {

struct LayoutRules {
  int32_t maxPieces = 0;           // pieces per layout; 0: not limited
  int32_t maxDifferentPieces = 0;  // part groups per layout; 0: not limited
  int32_t bundle = 0;              // bars cut together with one layout; 0: none
};

// Estimated number of bars of length stockLength that the part groups
// (lengths partLength[1..n], quantities partQty[1..n]) can occupy at most
// under the rules, multiplied by slack and rounded half to even. Pure;
// never fails. Without rules it is the bound by length alone.
int32_t BarDemand(const int32_t* partLength, const int16_t* partQty, int32_t n, double slack,
                  int32_t gripLength, int32_t endZone, int32_t kerf, int32_t stockLength,
                  const LayoutRules& rules);

}  // namespace solver
