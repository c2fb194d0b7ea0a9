// Checks of a planner plan that hold whatever the problem: the plan obeys
// every rule (the exact method's plan check), its layouts, bars, pieces and
// totals say the same thing, its objective is what the exact method
// measures, and it is not better than its bound. Shared by the planner's
// tests and its fuzz target.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "exact.h"
#include "tarvolin/planner.h"

namespace solver::testing {

// The problem and rules in the exact method's terms, read field by field.
inline exact::ExactInput PlannerInput(const TarvolinPlannerProblem& p,
                                      const TarvolinPlannerSettings& s) {
  exact::ExactInput in;
  for (int32_t g = 0; g < p.stockGroupCount; ++g) {
    in.stock.push_back({p.stockGroups[g].length, p.stockGroups[g].cost, p.stockGroups[g].quantity});
  }
  for (int32_t g = 0; g < p.partGroupCount; ++g) {
    in.parts.push_back({p.partGroups[g].length, p.partGroups[g].quantity, p.partGroups[g].markId});
  }
  exact::Rules& r = in.rules;
  r.kerf = s.kerf;
  r.endZone = s.endZone;
  r.gripLength = s.gripLength;
  r.maxPieces = s.maxPiecesPerLayout;
  r.diffPieces = s.maxDifferentPieces;
  r.diffStocks = s.maxStockGroups;
  r.minReusable = s.minReusable;
  r.prefShort = s.preferShort;
  r.reduceLays = s.reduceLayouts;
  r.costMode = s.costMode != 0;
  r.ignoreLast = s.ignoreLast != 0;
  r.piecesByMark = s.layoutsByMark != 0 && s.reduceLayouts > 0;
  return in;
}

// The plan's layouts as the exact method's plan.
inline exact::Plan ExactPlanOf(const TarvolinPlannerProblem& p, const TarvolinPlannerPlan& plan) {
  exact::Plan out;
  for (int32_t l = 0; l < plan.layoutCount; ++l) {
    const TarvolinPlannerLayout& layout = plan.layouts[l];
    exact::Pattern pattern{layout.stockGroup,
                           std::vector<int32_t>(static_cast<size_t>(p.partGroupCount), 0),
                           layout.barCount};
    for (int32_t k = 0; k < layout.partCount; ++k) {
      pattern.counts[static_cast<size_t>(layout.parts[k].partGroup)] = layout.parts[k].count;
    }
    if (layout.lastStock != 0) {
      out.hasLast = true;
      out.last = pattern;
    } else {
      out.patterns.push_back(pattern);
    }
  }
  return out;
}

// The layouts against the bars and pieces: every bar's pieces are its
// layout's, every layout counts its bars, the totals add up.
inline std::string CheckItems(const TarvolinPlannerProblem& p, const TarvolinPlannerPlan& plan) {
  std::vector<std::vector<int32_t>> onBar(static_cast<size_t>(plan.barCount),
                                          std::vector<int32_t>(p.partGroupCount, 0));
  int64_t cut = 0, lengthCut = 0;
  for (int32_t i = 0; i < plan.pieceCount; ++i) {
    const TarvolinPlannerPiece& piece = plan.pieces[i];
    if (piece.partGroup < 0 || piece.partGroup >= p.partGroupCount) return "piece group";
    if (piece.bar < -1 || piece.bar >= plan.barCount) return "piece bar";
    if (piece.bar < 0) continue;
    ++onBar[static_cast<size_t>(piece.bar)][static_cast<size_t>(piece.partGroup)];
    ++cut;
    lengthCut += p.partGroups[piece.partGroup].length;
  }
  std::vector<int32_t> bars(static_cast<size_t>(plan.layoutCount), 0);
  int64_t used = 0, stockLength = 0;
  for (int32_t b = 0; b < plan.barCount; ++b) {
    const TarvolinPlannerBar& bar = plan.bars[b];
    if (bar.layout < 0) {
      for (int32_t n : onBar[static_cast<size_t>(b)]) {
        if (n != 0) return "pieces on an unused bar";
      }
      continue;
    }
    if (bar.layout >= plan.layoutCount) return "bar layout";
    const TarvolinPlannerLayout& layout = plan.layouts[bar.layout];
    if (layout.stockGroup != bar.stockGroup) return "bar group against its layout";
    std::vector<int32_t> expected(static_cast<size_t>(p.partGroupCount), 0);
    for (int32_t k = 0; k < layout.partCount; ++k) {
      expected[static_cast<size_t>(layout.parts[k].partGroup)] = layout.parts[k].count;
    }
    if (expected != onBar[static_cast<size_t>(b)]) return "bar pieces against its layout";
    if ((layout.lastStock != 0) != (b == plan.lastStockBar)) return "last stock";
    ++bars[static_cast<size_t>(bar.layout)];
    ++used;
    stockLength += p.stockGroups[bar.stockGroup].length;
  }
  for (int32_t l = 0; l < plan.layoutCount; ++l) {
    if (bars[static_cast<size_t>(l)] != plan.layouts[l].barCount) return "layout bar count";
  }
  if (used != plan.barsUsed || cut != plan.piecesCut || lengthCut != plan.lengthCut ||
      stockLength != plan.stockLength || plan.pieceCount - cut != plan.piecesUncut ||
      plan.waste != stockLength - lengthCut) {
    return "totals";
  }
  return {};
}

// Every check of a plan; empty when it passes, otherwise the first fault.
inline std::string CheckPlannerPlan(const TarvolinPlannerProblem& p,
                                    const TarvolinPlannerSettings& s,
                                    const TarvolinPlannerPlan& plan) {
  if (std::string fault = CheckItems(p, plan); !fault.empty()) return fault;
  const exact::ExactInput in = PlannerInput(p, s);
  const exact::Plan exactPlan = ExactPlanOf(p, plan);
  if (std::string fault = exact::CheckPlan(in, exactPlan); !fault.empty()) return fault;
  const double objective = exact::MeasurePlan(in, exactPlan).objective;
  const double tolerance = 1e-6 * std::max(1.0, std::fabs(objective));
  if (std::fabs(objective - plan.objective) > tolerance) return "objective";
  // The bound holds for plans that cut every piece that fits.
  if (plan.hasBound != 0 && plan.piecesUncut == 0 && plan.objective < plan.bound - tolerance) {
    return "objective below the bound";
  }
  if (plan.proven != 0 && std::fabs(plan.objective - plan.bound) > tolerance) {
    return "proven but not at the bound";
  }
  return {};
}

}  // namespace solver::testing
