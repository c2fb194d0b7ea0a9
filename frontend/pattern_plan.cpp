#include "pattern_plan.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tarvolin {
namespace {

// Hands out the item numbers of each group in turn; groups are numbered
// from 1 and their items follow each other in group order.
class ItemDealer {
 public:
  explicit ItemDealer(const std::vector<int64_t>& quantities) : next_(quantities.size()) {
    int64_t first = 1;
    for (size_t g = 1; g < quantities.size(); ++g) {
      next_[g] = first;
      end_.push_back(first += quantities[g]);
    }
  }
  // The next `count` items of group g, or 0 when it has fewer left.
  int64_t Take(int g, int64_t count) {
    if (g < 1 || g >= static_cast<int>(next_.size()) || count < 0) return 0;
    if (next_[g] + count > end_[g - 1]) return 0;
    const int64_t first = next_[g];
    next_[g] += count;
    return first;
  }

 private:
  std::vector<int64_t> next_;  // 1..groups
  std::vector<int64_t> end_;   // [g - 1]: one past the last item of group g
};

bool Valid(const MaterialPlan& plan, const CutPattern& p) {
  return p.stockGroup >= 1 && p.stockGroup <= plan.stockGroupCount &&
         static_cast<int>(p.counts.size()) == plan.partGroupCount && p.bars >= 0 &&
         (!p.last || p.bars == 1) &&
         std::all_of(p.counts.begin(), p.counts.end(), [](int32_t c) { return c >= 0; });
}

}  // namespace

bool FillResultsFromPatterns(const MaterialPlan& plan, std::vector<CutPattern> patterns,
                             SolverResults& r) {
  std::vector<int64_t> stockQuantity(plan.stockGroupCount + 1),
      partQuantity(plan.partGroupCount + 1);
  for (int g = 1; g <= plan.stockGroupCount; ++g) stockQuantity[g] = plan.stockGroups[g].quantity;
  for (int g = 1; g <= plan.partGroupCount; ++g) partQuantity[g] = plan.partGroups[g].quantity;
  const int64_t bars = std::accumulate(stockQuantity.begin(), stockQuantity.end(), int64_t{0});
  const int64_t pieces = std::accumulate(partQuantity.begin(), partQuantity.end(), int64_t{0});
  r = SolverResults{};
  if (bars > kExactMaxItems || pieces > kExactMaxItems) return false;
  r.SizeTables(static_cast<int>(bars), static_cast<int>(pieces));

  std::erase_if(patterns, [](const CutPattern& p) { return p.bars == 0; });
  // By stock group, the last stock behind the group's other patterns.
  std::stable_sort(patterns.begin(), patterns.end(), [](const CutPattern& a, const CutPattern& b) {
    return a.stockGroup != b.stockGroup ? a.stockGroup < b.stockGroup : !a.last && b.last;
  });
  ItemDealer barDealer(stockQuantity), pieceDealer(partQuantity);
  int32_t pattern = 0;
  int lastCount = 0;
  for (const CutPattern& p : patterns) {
    if (!Valid(plan, p) || (p.last && ++lastCount > 1)) {
      r = SolverResults{};
      return false;
    }
    const int64_t firstBar = barDealer.Take(p.stockGroup, p.bars);
    if (firstBar == 0) {
      r = SolverResults{};
      return false;
    }
    ++pattern;
    const StockGroup& stock = plan.stockGroups[p.stockGroup];
    int64_t partsOnBar = 0, lengthOnBar = 0;
    std::vector<int> cut;  // the part groups on the bar
    for (int g = 1; g <= plan.partGroupCount; ++g) {
      if (p.counts[g - 1] == 0) continue;
      cut.push_back(g);
      partsOnBar += p.counts[g - 1];
      lengthOnBar += int64_t{p.counts[g - 1]} * plan.partGroups[g].length;
    }
    const int64_t waste = stock.length - lengthOnBar;
    for (int64_t bar = firstBar; bar < firstBar + p.bars; ++bar) {
      for (const int g : cut) {
        const int32_t count = p.counts[g - 1];
        const int64_t first = pieceDealer.Take(g, count);
        if (first == 0) {
          r = SolverResults{};
          return false;
        }
        for (int64_t piece = first; piece < first + count; ++piece) {
          r.partItemStock[piece] = static_cast<int32_t>(bar);
        }
      }
      r.stockItemLayout[bar] = pattern;
      r.stockItemPattern[bar] = pattern;
      r.stockItemParts[bar] = static_cast<int32_t>(partsOnBar);
      r.stockItemWaste[bar] = static_cast<int32_t>(waste);
    }
    if (p.last) {
      r.lastStock = static_cast<int32_t>(firstBar);
      r.lastParts = partsOnBar;
      r.lastLengthUsed = stock.length;
      r.lastWaste = waste;
      r.lastCost = stock.cost;
    } else {
      r.stockUsed += p.bars;
      r.partsCut += partsOnBar * p.bars;
      r.lengthUsed += int64_t{stock.length} * p.bars;
      r.wasteSum += waste * p.bars;
      r.costUsed += int64_t{stock.cost} * p.bars;
      r.layoutCuts += partsOnBar;
    }
  }
  // Groups of every bar and piece, cut or not.
  int64_t item = 0;
  for (int g = 1; g <= plan.stockGroupCount; ++g)
    for (int64_t q = 0; q < stockQuantity[g]; ++q) r.stockItemGroup[++item] = g;
  item = 0;
  for (int g = 1; g <= plan.partGroupCount; ++g)
    for (int64_t q = 0; q < partQuantity[g]; ++q) r.partItemGroup[++item] = g;
  r.patternCount = pattern;
  r.layoutCount = pattern;
  // Thousandths of a percent, as the search reports it.
  const double used = static_cast<double>(r.lengthUsed - r.wasteSum);
  r.utilization =
      r.lengthUsed > 0 ? static_cast<int32_t>(std::nearbyint(used / r.lengthUsed * 100000)) : 0;
  r.criterion = r.utilization;
  return true;
}

}  // namespace tarvolin
