#include "planner_plan.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>

namespace solver::planner {
namespace {

using PartCounts = std::vector<TarvolinPlannerLayoutPart>;

// What tells two bars' layouts apart: stock group, last stock or not, and
// the pieces per part group.
struct LayoutKey {
  int32_t stockGroup = 0;
  bool lastStock = false;
  PartCounts parts;
  bool operator<(const LayoutKey& o) const {
    if (stockGroup != o.stockGroup) return stockGroup < o.stockGroup;
    if (lastStock != o.lastStock) return lastStock < o.lastStock;
    return std::lexicographical_compare(
        parts.begin(), parts.end(), o.parts.begin(), o.parts.end(),
        [](const TarvolinPlannerLayoutPart& a, const TarvolinPlannerLayoutPart& b) {
          return a.partGroup != b.partGroup ? a.partGroup < b.partGroup : a.count < b.count;
        });
  }
};

// The pieces of every bar as part counts in ascending part group: pieces
// come in input order, so each bar's list is sorted as it is built.
std::vector<PartCounts> PartsPerBar(const Assignment& a) {
  std::vector<PartCounts> perBar(a.bars.size());
  for (const TarvolinPlannerPiece& piece : a.pieces) {
    if (piece.bar < 0) continue;
    PartCounts& list = perBar[static_cast<size_t>(piece.bar)];
    if (list.empty() || list.back().partGroup != piece.partGroup) {
      list.push_back({piece.partGroup, 0});
    }
    ++list.back().count;
  }
  return perBar;
}

struct BarLoad {
  int64_t length = 0;  // the pieces' lengths
  int64_t work = 0;    // with one kerf each
};

BarLoad LoadOf(const TarvolinPlannerProblem& p, const PlanRules& rules, const PartCounts& parts) {
  BarLoad load;
  for (const TarvolinPlannerLayoutPart& part : parts) {
    const int64_t length = p.partGroups[part.partGroup].length;
    load.length += length * part.count;
    load.work += (length + rules.kerf) * part.count;
  }
  return load;
}

// Layouts as the cutting report counts them: by stock length and the
// lengths (and, with layoutsByMark, marks) of the pieces; the last stock's
// layout counts apart. Returns the count and the cuts to set up.
std::pair<int32_t, int32_t> ReportLayouts(const TarvolinPlannerProblem& p, const PlanRules& rules,
                                          const std::vector<TarvolinPlannerLayout>& layouts) {
  using Piece = std::pair<int32_t, int32_t>;  // length, mark
  std::set<std::pair<std::pair<int32_t, bool>, std::map<Piece, int32_t>>> distinct;
  int32_t cuts = 0;
  for (const TarvolinPlannerLayout& layout : layouts) {
    std::map<Piece, int32_t> pieces;
    for (int32_t k = 0; k < layout.partCount; ++k) {
      const TarvolinPlannerPartGroup& g = p.partGroups[layout.parts[k].partGroup];
      pieces[{g.length, rules.layoutsByMark ? g.markId : 0}] += layout.parts[k].count;
    }
    const int32_t stockLength = p.stockGroups[layout.stockGroup].length;
    if (distinct.insert({{stockLength, layout.lastStock != 0}, std::move(pieces)}).second) {
      cuts += layout.pieceCount;
    }
  }
  return {static_cast<int32_t>(distinct.size()), cuts};
}

int32_t Scaled(double fraction) {
  return std::isfinite(fraction) ? static_cast<int32_t>(std::nearbyint(fraction * 100000.0)) : 0;
}

// Points every layout at its parts, once the parts' storage no longer moves.
void LinkLayoutParts(PlanStore& store, const std::vector<size_t>& firstPart) {
  for (size_t l = 0; l < store.layouts.size(); ++l) {
    store.layouts[l].parts = store.layoutParts.data() + firstPart[l];
  }
}

}  // namespace

Assignment EmptyAssignment(const TarvolinPlannerProblem& p) {
  Assignment a;
  for (int32_t g = 0; g < p.partGroupCount; ++g) {
    a.pieces.insert(a.pieces.end(), static_cast<size_t>(std::max(p.partGroups[g].quantity, 0)),
                    TarvolinPlannerPiece{g, -1});
  }
  for (int32_t g = 0; g < p.stockGroupCount; ++g) {
    a.bars.insert(a.bars.end(), static_cast<size_t>(std::max(p.stockGroups[g].quantity, 0)),
                  TarvolinPlannerBar{g, -1, 0, 0});
  }
  return a;
}

bool CostObjective(const TarvolinPlannerProblem& p, bool costMode) {
  if (!costMode) return false;
  for (int32_t g = 0; g < p.stockGroupCount; ++g) {
    if (p.stockGroups[g].cost > 0 && p.stockGroups[g].quantity > 0) return true;
  }
  return false;
}

double Objective(bool costObjective, int64_t stockLength, int64_t stockCost, int32_t lastLength,
                 int32_t lastCost, int64_t lastRemainder) {
  if (!costObjective) return static_cast<double>(stockLength - lastRemainder);
  const double worth = lastLength > 0
                           ? static_cast<double>(lastCost) * static_cast<double>(lastRemainder) /
                                 static_cast<double>(lastLength)
                           : 0.0;
  return static_cast<double>(stockCost) - worth;
}

void BuildPlan(const TarvolinPlannerProblem& p, const PlanRules& rules, Assignment a,
               PlanStore& store, TarvolinPlannerPlan& plan) {
  const std::vector<PartCounts> perBar = PartsPerBar(a);
  store.layouts.clear();
  store.layoutParts.clear();
  std::vector<size_t> firstPart;
  std::map<LayoutKey, int32_t> index;

  int64_t stockLength = 0, stockCost = 0, lengthCut = 0, barsUsed = 0;
  int64_t lastRemainder = 0, utilLength = 0, utilWaste = 0;
  for (size_t b = 0; b < a.bars.size(); ++b) {
    TarvolinPlannerBar& bar = a.bars[b];
    const PartCounts& parts = perBar[b];
    if (parts.empty()) continue;
    const TarvolinPlannerStockGroup& group = p.stockGroups[bar.stockGroup];
    const BarLoad load = LoadOf(p, rules, parts);
    const bool last = static_cast<int32_t>(b) == a.lastBar;
    const int64_t waste = group.length - load.length;
    const int64_t remainder = group.length - load.work;

    LayoutKey key{bar.stockGroup, last, parts};
    auto [at, added] = index.try_emplace(std::move(key), static_cast<int32_t>(index.size()));
    if (added) {
      firstPart.push_back(store.layoutParts.size());
      store.layoutParts.insert(store.layoutParts.end(), parts.begin(), parts.end());
      int32_t pieces = 0;
      for (const TarvolinPlannerLayoutPart& part : parts) pieces += part.count;
      store.layouts.push_back(TarvolinPlannerLayout{
          bar.stockGroup, 0, last ? 1 : 0, pieces, nullptr, static_cast<int32_t>(parts.size()),
          static_cast<int32_t>(waste), static_cast<int32_t>(std::max<int64_t>(remainder, 0))});
    }
    TarvolinPlannerLayout& layout = store.layouts[static_cast<size_t>(at->second)];
    ++layout.barCount;
    bar.layout = at->second;
    bar.pieceCount = layout.pieceCount;
    bar.waste = layout.waste;

    ++barsUsed;
    stockLength += group.length;
    stockCost += group.cost;
    lengthCut += load.length;
    if (last) {
      lastRemainder = remainder;
    } else {
      utilLength += group.length;
      utilWaste += waste;
    }
  }
  LinkLayoutParts(store, firstPart);

  int64_t piecesCut = 0;
  for (const TarvolinPlannerPiece& piece : a.pieces) piecesCut += piece.bar >= 0 ? 1 : 0;
  store.pieces = std::move(a.pieces);
  store.bars = std::move(a.bars);

  plan.layouts = store.layouts.empty() ? nullptr : store.layouts.data();
  plan.layoutCount = static_cast<int32_t>(store.layouts.size());
  plan.pieces = store.pieces.empty() ? nullptr : store.pieces.data();
  plan.pieceCount = static_cast<int32_t>(store.pieces.size());
  plan.bars = store.bars.empty() ? nullptr : store.bars.data();
  plan.barCount = static_cast<int32_t>(store.bars.size());

  plan.barsUsed = barsUsed;
  plan.piecesCut = piecesCut;
  plan.piecesUncut = static_cast<int64_t>(store.pieces.size()) - piecesCut;
  plan.stockLength = stockLength;
  plan.stockCost = stockCost;
  plan.lengthCut = lengthCut;
  plan.waste = stockLength - lengthCut;
  plan.lastStockBar = a.lastBar;
  plan.lastRemainder = a.lastBar >= 0 ? lastRemainder : 0;
  const auto [different, cuts] = ReportLayouts(p, rules, store.layouts);
  plan.differentLayouts = different;
  plan.layoutCuts = cuts;

  const TarvolinPlannerStockGroup* lastGroup =
      a.lastBar >= 0 ? &p.stockGroups[store.bars[static_cast<size_t>(a.lastBar)].stockGroup]
                     : nullptr;
  plan.objective = Objective(CostObjective(p, rules.costMode), stockLength, stockCost,
                             lastGroup != nullptr ? lastGroup->length : 0,
                             lastGroup != nullptr ? lastGroup->cost : 0, plan.lastRemainder);
  plan.utilization =
      utilLength > 0
          ? Scaled(static_cast<double>(utilLength - utilWaste) / static_cast<double>(utilLength))
          : 0;
  plan.criterion = plan.utilization;
}

}  // namespace solver::planner
