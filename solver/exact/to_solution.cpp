#include "to_solution.h"

#include <algorithm>
#include <vector>

#include "driver.h"
#include "driver_tables.h"
#include "solver_state.h"

namespace solver::exact {
namespace {

// Input group (0-based) of each input item number 1..count, from the
// groups' quantities in input order.
std::vector<int> GroupOfInputItem(const std::vector<int32_t>& quantities) {
  std::vector<int> group{-1};
  for (size_t g = 0; g < quantities.size(); ++g) {
    for (int32_t q = 0; q < quantities[g]; ++q) group.push_back(static_cast<int>(g));
  }
  return group;
}

// Hands out internal items of one input group, first free first.
class ItemPicker {
 public:
  ItemPicker(const int16_t* inputNo, int32_t count, const std::vector<int32_t>& quantities) {
    const std::vector<int> groupOf = GroupOfInputItem(quantities);
    byGroup_.resize(quantities.size());
    for (int32_t i = 1; i <= count; ++i) {
      const int no = inputNo[i];
      if (no >= 1 && no < static_cast<int>(groupOf.size())) byGroup_[groupOf[no]].push_back(i);
    }
    next_.assign(quantities.size(), 0);
  }
  // An internal item of input group g, 0 when none is left.
  int32_t Take(int g) {
    if (g < 0 || g >= static_cast<int>(byGroup_.size())) return 0;
    if (next_[g] >= byGroup_[g].size()) return 0;
    return byGroup_[g][next_[g]++];
  }

 private:
  std::vector<std::vector<int32_t>> byGroup_;
  std::vector<size_t> next_;
};

}  // namespace

bool StorePlanAsResult(SolverState& st, const ExactInput& in, const Plan& plan) {
  const ProblemTables& t = st.problem;
  std::vector<int32_t> stockQty, partQty;
  for (const StockGroupIn& s : in.stock) stockQty.push_back(std::max(0, s.quantity));
  for (const PartGroupIn& p : in.parts) partQty.push_back(std::max(0, p.quantity));
  ItemPicker bars(t.stockInputNo, t.stockCount, stockQty);
  ItemPicker pieces(t.partInputNo, t.partCount, partQty);

  int16_t stockOfPiece[kItemSlots] = {};
  const auto place = [&](const Pattern& p) -> int32_t {
    const int32_t bar = bars.Take(p.stockGroup);
    if (bar == 0 || p.counts.size() != in.parts.size()) return 0;
    for (size_t g = 0; g < p.counts.size(); ++g) {
      for (int32_t c = 0; c < p.counts[g]; ++c) {
        const int32_t piece = pieces.Take(static_cast<int>(g));
        if (piece == 0) return 0;
        stockOfPiece[piece] = static_cast<int16_t>(bar);
      }
    }
    return bar;
  };
  for (const Pattern& p : plan.patterns) {
    for (int32_t b = 0; b < p.bars; ++b) {
      if (place(p) == 0) return false;
    }
  }
  int32_t last = 0;
  if (plan.hasLast && (last = place(plan.last)) == 0) return false;

  DriverTables& d = st.driver;
  ClearResult(d);
  std::copy(std::begin(stockOfPiece), std::end(stockOfPiece), d.resultStockOfPiece);
  d.result.lastStock = last;
  ConsolidateBestPlan(st);
  d.result.criterion = d.result.utilization;
  return true;
}

}  // namespace solver::exact
