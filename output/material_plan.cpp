#include "material_plan.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <set>

namespace tarvolin::plan {

namespace {

int32_t At(const std::vector<int32_t>& values, int item) {
  return item >= 1 && item <= static_cast<int>(values.size()) ? values[item - 1] : 0;
}

const PlanStockGroup* StockGroup(const MaterialPlanInput& in, int g) {
  return g >= 1 && g <= static_cast<int>(in.stockGroups.size()) ? &in.stockGroups[g - 1] : nullptr;
}

PlanPiece PieceOfGroup(const std::vector<PlanPartGroup>& groups, int g) {
  if (g < 1 || g > static_cast<int>(groups.size())) return {};
  const PlanPartGroup& group = groups[g - 1];
  return {group.length, group.mark, group.orderLine};
}

// Same formula and rounding (halves to even) as the report's utilisation.
int32_t UtilRateOf(int64_t lengthUsed, int64_t waste) {
  const double used = static_cast<double>(lengthUsed - waste);
  const double rate = std::nearbyint(used / (static_cast<double>(lengthUsed) + 1e-11) * 100000);
  return static_cast<int32_t>(std::clamp<double>(rate, INT32_MIN, INT32_MAX));
}

// What is left of a bar after its pieces and one cut behind each of them.
int32_t RemainderOf(int32_t stockLength, const std::vector<PlanPiece>& pieces, int32_t kerf) {
  int64_t left = stockLength;
  for (const PlanPiece& p : pieces) left -= static_cast<int64_t>(p.length) + kerf;
  return static_cast<int32_t>(std::clamp<int64_t>(left, 0, INT32_MAX));
}

// The order lines of every place of a layout's pieces over all its bars.
// A place is the k-th piece of one length and mark on the first bar; on
// every other bar it is the k-th piece of that length and mark, in item
// order. Lines of pieces a bar has beyond the first bar's are not listed.
void ListOrderLines(PlanLayout& layout, const std::vector<OrderedPiece>& pieces,
                    const std::vector<PlanBar>& bars) {
  auto sameKind = [](const PlanPiece& a, const PlanPiece& b) {
    return a.length == b.length && a.mark == b.mark;
  };
  std::vector<std::set<int>> lines(layout.pieces.size());
  for (const int bar : layout.bars) {
    std::vector<bool> taken(bars[bar].pieces.size(), false);
    for (size_t place = 0; place < layout.pieces.size(); ++place) {
      for (size_t i = 0; i < bars[bar].pieces.size(); ++i) {
        const PlanPiece& piece = pieces[bars[bar].pieces[i]].piece;
        if (taken[i] || !sameKind(piece, layout.pieces[place])) continue;
        taken[i] = true;
        if (piece.orderLine > 0) lines[place].insert(piece.orderLine);
        break;
      }
    }
  }
  layout.pieceOrderLines.clear();
  for (size_t place = 0; place < layout.pieces.size(); ++place) {
    layout.pieceOrderLines.emplace_back(lines[place].begin(), lines[place].end());
    layout.pieces[place].orderLine = lines[place].size() == 1 ? *lines[place].begin() : 0;
  }
}

int ClampedInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// The figures from the solver's totals with the last stock, which they
// leave apart, folded in.
PlanFigures FiguresOfTotals(const MaterialPlanInput& in, const SolverTotals& t) {
  int64_t bars = t.barsUsed, cut = t.piecesCut, length = t.lengthUsed, cost = t.cost;
  int64_t waste = t.waste, layoutCuts = t.layoutCuts;
  const int barItems = static_cast<int>(in.barLayout.size());
  if (in.lastStock >= 1 && in.lastStock <= barItems) {
    const PlanStockGroup* g = StockGroup(in, At(in.barGroup, in.lastStock));
    bars += 1;
    length += g ? g->length : 0;
    cost += g ? g->cost : 0;
    cut += t.lastPieces;
    layoutCuts += t.lastPieces;
    waste += t.lastWaste;
  }
  PlanFigures f;
  f.pieces = static_cast<int>(in.pieceGroup.size());
  f.piecesLeft = ClampedInt(f.pieces - cut);
  f.barsUsed = ClampedInt(bars);
  f.stockLengthUsed = length;
  f.waste = waste;
  f.cost = cost;
  f.utilRate = UtilRateOf(length, waste);
  f.differentLayouts = t.differentLayouts;
  f.layoutCuts = ClampedInt(layoutCuts);
  return f;
}

// The figures counted from the bars, for an answer without totals.
PlanFigures CountedFigures(const MaterialPlanInput& in, const MaterialPlan& plan) {
  PlanFigures f;
  f.pieces = static_cast<int>(plan.pieces.size());
  f.piecesLeft =
      static_cast<int>(std::count_if(plan.pieces.begin(), plan.pieces.end(),
                                     [](const OrderedPiece& p) { return !p.bar.has_value(); }));
  f.barsUsed = static_cast<int>(plan.bars.size());
  std::set<int> layoutNumbers;
  for (const PlanBar& bar : plan.bars) {
    f.stockLengthUsed += bar.stockLength;
    f.waste += bar.waste;
    f.cost += bar.stockCost;
    // Layout cuts: the pieces of one bar of every different layout.
    if (layoutNumbers.insert(At(in.barLayout, bar.stockItem)).second)
      f.layoutCuts += static_cast<int>(bar.pieces.size());
  }
  f.differentLayouts = static_cast<int>(layoutNumbers.size());
  f.utilRate = UtilRateOf(f.stockLengthUsed, f.waste);
  return f;
}

}  // namespace

PlanSetting PlanSetting::Integer(std::string name, int64_t value) {
  return {std::move(name), Kind::kInteger, value, {}};
}
PlanSetting PlanSetting::Switch(std::string name, bool on) {
  return {std::move(name), Kind::kSwitch, on ? 1 : 0, {}};
}
PlanSetting PlanSetting::Length(std::string name, int32_t units) {
  return {std::move(name), Kind::kLength, units, {}};
}
PlanSetting PlanSetting::Cost(std::string name, int32_t units) {
  return {std::move(name), Kind::kCost, units, {}};
}
PlanSetting PlanSetting::Text(std::string name, std::string text) {
  return {std::move(name), Kind::kText, 0, std::move(text)};
}

namespace {

// The used bars in item order; returns, per stock item, its index in
// plan.bars (-1: not used).
std::vector<int> AddUsedBars(const MaterialPlanInput& in, MaterialPlan& plan) {
  const int barItems = static_cast<int>(in.barLayout.size());
  std::vector<int> barIndex(barItems + 1, -1);
  for (int item = 1; item <= barItems; ++item) {
    if (At(in.barLayout, item) <= 0) continue;
    const PlanStockGroup* g = StockGroup(in, At(in.barGroup, item));
    PlanBar bar;
    bar.number = static_cast<int>(plan.bars.size()) + 1;
    bar.stockItem = item;
    bar.layoutNumber = At(in.barLayout, item);
    bar.stockLength = g ? g->length : 0;
    bar.stockCost = g ? g->cost : 0;
    bar.waste = At(in.barWaste, item);
    if (static_cast<size_t>(item) <= in.barRemnant.size())
      bar.remnant = in.barRemnant[static_cast<size_t>(item) - 1];
    if (static_cast<size_t>(item) <= in.barOffcut.size())
      bar.offcut = in.barOffcut[static_cast<size_t>(item) - 1];
    barIndex[item] = static_cast<int>(plan.bars.size());
    plan.bars.push_back(bar);
  }
  plan.stockItems = barItems;
  return barIndex;
}

// The pieces in item order, each on its bar; a bar's pieces in the piece
// order: longest first, equal lengths in item order.
void AddPieces(const MaterialPlanInput& in, const std::vector<int>& barIndex, MaterialPlan& plan) {
  const int barItems = static_cast<int>(barIndex.size()) - 1;
  for (int item = 1; item <= static_cast<int>(in.pieceGroup.size()); ++item) {
    OrderedPiece ordered{PieceOfGroup(in.partGroups, At(in.pieceGroup, item)), std::nullopt};
    const int stockItem = At(in.pieceBar, item);
    if (stockItem >= 1 && stockItem <= barItems && barIndex[stockItem] >= 0) {
      ordered.bar = barIndex[stockItem];
      plan.bars[barIndex[stockItem]].pieces.push_back(static_cast<int>(plan.pieces.size()));
    }
    plan.pieces.push_back(std::move(ordered));
  }
  for (PlanBar& bar : plan.bars) {
    std::stable_sort(bar.pieces.begin(), bar.pieces.end(), [&](int a, int b) {
      return plan.pieces[a].piece.length > plan.pieces[b].piece.length;
    });
  }
}

// The layout rows by pattern number, as the report lists them; a row shows
// its first bar.
void AddLayouts(const MaterialPlanInput& in, MaterialPlan& plan) {
  std::map<int, int> layoutOfPattern;
  for (const PlanBar& bar : plan.bars) layoutOfPattern[At(in.barPattern, bar.stockItem)] = 0;
  for (auto& [pattern, index] : layoutOfPattern) {
    index = static_cast<int>(plan.layouts.size());
    plan.layouts.push_back({});
    plan.layouts.back().number = pattern;
  }
  for (PlanBar& bar : plan.bars) {
    const int index = layoutOfPattern.at(At(in.barPattern, bar.stockItem));
    bar.layoutIndex = index;
    PlanLayout& layout = plan.layouts[index];
    if (layout.barCount++ == 0) {
      layout.layoutNumber = bar.layoutNumber;
      layout.lastStock = bar.stockItem == in.lastStock;
      layout.stockLength = bar.stockLength;
      layout.stockCost = bar.stockCost;
      layout.waste = bar.waste;
      for (const int p : bar.pieces) layout.pieces.push_back(plan.pieces[p].piece);
      layout.remainder = RemainderOf(layout.stockLength, layout.pieces, in.kerf);
      layout.reusable = in.minReusable > 0 && layout.remainder >= in.minReusable;
    }
    layout.bars.push_back(bar.number - 1);
  }
  for (PlanLayout& layout : plan.layouts) ListOrderLines(layout, plan.pieces, plan.bars);
}

}  // namespace

MaterialPlan BuildMaterialPlan(const MaterialPlanInput& in) {
  MaterialPlan plan;
  plan.materialKey = in.materialKey;
  plan.method = in.method;
  plan.calculationMs = in.calculationMs;
  plan.bound = in.bound;
  plan.kerf = in.kerf;
  plan.endZone = in.endZone;
  plan.gripLength = in.gripLength;
  plan.minReusable = in.minReusable;
  plan.remnantStore = in.remnantStore;

  AddPieces(in, AddUsedBars(in, plan), plan);
  AddLayouts(in, plan);
  plan.figures = in.totals ? FiguresOfTotals(in, *in.totals) : CountedFigures(in, plan);
  plan.figures.lastStockApart = in.lastStock > 0;
  return plan;
}

MaterialPlan FailedMaterialPlan(std::string materialKey, std::string method,
                                const std::vector<PlanPartGroup>& partGroups, PlanError error) {
  MaterialPlan plan;
  plan.materialKey = std::move(materialKey);
  plan.method = std::move(method);
  plan.error = std::move(error);
  for (int g = 1; g <= static_cast<int>(partGroups.size()); ++g) {
    for (int q = 0; q < partGroups[g - 1].quantity; ++q)
      plan.pieces.push_back({PieceOfGroup(partGroups, g), std::nullopt});
  }
  plan.figures.pieces = static_cast<int>(plan.pieces.size());
  plan.figures.piecesLeft = plan.figures.pieces;
  return plan;
}

std::string ScaledText(int64_t units, int32_t scale, int decimals, char separator) {
  if (scale < 1) scale = 1;
  decimals = std::clamp(decimals, 0, 9);
  int64_t pow10 = 1;
  for (int i = 0; i < decimals; ++i) pow10 *= 10;
  // units * pow10 / scale, halves away from zero, in integers.
  const bool negative = units < 0;
  const __int128 numerator = static_cast<__int128>(negative ? -units : units) * pow10;
  const __int128 rounded = (numerator * 2 + scale) / (2 * static_cast<__int128>(scale));
  const int64_t whole = static_cast<int64_t>(rounded / pow10);
  const int64_t fraction = static_cast<int64_t>(rounded % pow10);
  std::string out = negative && rounded != 0 ? "-" : "";
  out += std::to_string(whole);
  if (decimals > 0) {
    std::string digits = std::to_string(fraction);
    out.push_back(separator);
    out.append(decimals - digits.size(), '0');
    out += digits;
  }
  return out;
}

std::string LengthText(const NumberForm& form, int64_t units) {
  return ScaledText(units, form.lengthScale, form.lengthPrecision, form.decimalSeparator);
}

std::string CostText(const NumberForm& form, int64_t units) {
  return ScaledText(units, form.costScale, form.costPrecision, form.decimalSeparator);
}

std::string UtilisationText(int32_t utilRate) {
  return ScaledText(utilRate, 1000, 2, '.');
}

namespace {

std::vector<std::string> LayoutIds(const MaterialPlan& material, const PlanLayout& layout,
                                   std::string PlanBar::*id) {
  std::vector<std::string> ids;
  for (const int b : layout.bars) {
    if (b < 0 || static_cast<size_t>(b) >= material.bars.size()) continue;
    const std::string& text = material.bars[static_cast<size_t>(b)].*id;
    if (!text.empty()) ids.push_back(text);
  }
  return ids;
}

}  // namespace

std::vector<std::string> LayoutRemnants(const MaterialPlan& material, const PlanLayout& layout) {
  return LayoutIds(material, layout, &PlanBar::remnant);
}

std::vector<std::string> LayoutOffcuts(const MaterialPlan& material, const PlanLayout& layout) {
  return LayoutIds(material, layout, &PlanBar::offcut);
}

}  // namespace tarvolin::plan
