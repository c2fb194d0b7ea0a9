#include "cutting_order.h"

#include <numeric>

namespace tarvolin::plan {

CutOrder CuttingOrder(const std::vector<PlanPiece>& pieces, int32_t stockLength, int32_t kerf,
                      int32_t endZone, int32_t gripLength) {
  CutOrder order;
  order.pieces.resize(pieces.size());
  std::iota(order.pieces.begin(), order.pieces.end(), 0);
  if (gripLength <= 0 || pieces.empty()) return order;

  // What is left of the usable length behind the last piece and its kerf.
  int64_t rest = int64_t{stockLength} - endZone;
  for (const PlanPiece& p : pieces) rest -= int64_t{p.length} + kerf;
  if (rest >= gripLength) return order;  // the grip holds the remainder

  int grip = -1;
  for (int i = 0; i < static_cast<int>(pieces.size()); ++i) {
    if (pieces[i].length < gripLength) continue;
    if (grip < 0 || pieces[i].length <= pieces[grip].length) grip = i;
  }
  if (grip < 0) return order;
  order.pieces.erase(order.pieces.begin() + grip);
  order.pieces.push_back(grip);
  order.gripPiece = grip;
  return order;
}

CutOrder CuttingOrder(const PlanLayout& layout, const MaterialPlan& material) {
  return CuttingOrder(layout.pieces, layout.stockLength, material.kerf, material.endZone,
                      material.gripLength);
}

}  // namespace tarvolin::plan
