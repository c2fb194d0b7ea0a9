#include "scoring.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "consolidation.h"
#include "construction.h"
#include "solver_state.h"

namespace solver {

namespace {

constexpr double kCostModeWeight = 0.1;
constexpr double kMaterialModeWeight = 0.01;
constexpr double kReduceLayoutsWeight[7] = {0, 1, 3, 10, 25, 50, 100};
constexpr double kPreferShortWeight[6] = {0, 1, 2, 4, 8, 20};
// Each unit of those weights changes the score by 5 % of its measure.
constexpr double kWeightUnit = 0.05;
// A last bar's remainder lowers the score by 0.3 % per bar's worth of it.
constexpr double kLastRemainderWeight = 0.003;
// A plan that cuts nothing scores at most 1 / 1.5 of one that cuts all.
constexpr double kUncutWeight = 0.5;

// Longest working piece length on a bar.
int32_t LongestPiece(const RunTables& run, int32_t bar) {
  int32_t longest = 0;
  for (int32_t i = 1; i <= run.pieceCount; ++i) {
    if (run.stockOfPiece[i] == bar)
      longest = std::max(longest, run.partGroupLength[run.pieceGroup[i]]);
  }
  return longest;
}

bool GroupUsed(const RunTables& run, int32_t g) {
  for (int32_t j = 1; j <= run.usedStockGroupCount; ++j) {
    if (run.usedStockGroups[j] == g) return true;
  }
  return false;
}

// First bar among the first `count` entries of barsByGroup that satisfies pred.
template <typename Pred>
int32_t FindInBarsByGroup(const RunTables& run, int32_t count, Pred pred) {
  for (int32_t j = 1; j <= count; ++j) {
    const int32_t bar = run.barsByGroup[j];
    if (bar >= 1 && bar <= run.stockCount && pred(bar)) return bar;
  }
  return 0;
}

// Moves the layout of bar `from` onto the free bar `to`, which is d shorter.
void MoveLayout(RunTables& run, int32_t from, int32_t to, int32_t d) {
  for (int32_t i = 1; i <= run.pieceCount; ++i) {
    if (run.stockOfPiece[i] == from) run.stockOfPiece[i] = static_cast<int16_t>(to);
  }
  run.stockPieces[to] = run.stockPieces[from];
  run.stockRemainder[to] = run.stockRemainder[from] - d;
  run.stockState[to] = kBarUsed;
  run.stockPieces[from] = 0;
  run.stockRemainder[from] = kUntouchedRemainder;
  run.stockState[from] = kBarFree;
  run.planTotals.cost -=
      run.stockGroupCost[run.stockGroup[from]] - run.stockGroupCost[run.stockGroup[to]];
  run.planTotals.waste -= d;
}

int32_t ToInt32(int64_t v) {
  return static_cast<int32_t>(v);
}

}  // namespace

void ShiftToShorterBars(SolverState& st) {
  RunTables& run = st.run;
  if (run.openStockCount < 2) return;
  const int32_t listCount = std::min(run.openStockCount, run.initialStockCount);
  const int32_t maxStockGroups = st.settings.maxStockGroups;

  for (int32_t g = run.stockGroupCount; g >= 2; --g) {
    if (st.settings.effectiveCostMode && run.stockGroupCost[g - 1] < run.stockGroupCost[g])
      continue;
    for (;;) {
      if (maxStockGroups >= 1 && run.usedStockGroupCount >= maxStockGroups && !GroupUsed(run, g))
        break;
      const int32_t to = FindInBarsByGroup(run, listCount, [&](int32_t bar) {
        return run.stockGroup[bar] == g && run.stockState[bar] < kBarUsed;
      });
      if (to == 0) break;
      const int32_t from = FindInBarsByGroup(run, listCount, [&](int32_t bar) {
        const int32_t h = run.stockGroup[bar];
        if (h >= g || run.stockState[bar] != kBarUsed) return false;
        const int32_t used = run.stockGroupLength[h] - run.stockRemainder[bar];
        return LayoutFits(run.stockGroupLength[g], used, LongestPiece(run, bar), run.gripLength);
      });
      if (from == 0) break;
      MoveLayout(run, from, to,
                 run.stockGroupLength[run.stockGroup[from]] - run.stockGroupLength[g]);
      if (!GroupUsed(run, g) && run.usedStockGroupCount < kMaxStockGroups) {
        run.usedStockGroups[++run.usedStockGroupCount] = static_cast<int16_t>(g);
      }
    }
  }
}

PickedBar PickLastBar(const SolverState& st) {
  const RunTables& run = st.run;
  int32_t best = -1;
  int32_t candidate = 0;
  int32_t candidateGroup = 0;
  for (int32_t pos = run.openStockCount; pos >= 1; --pos) {
    const int32_t bar = run.openStocks[pos];
    if (bar < 1 || bar > run.stockCount || run.stockState[bar] != kBarUsed) continue;
    const int32_t left = run.stockRemainder[bar];
    if (left > best) {
      best = left;
      candidate = bar;
      candidateGroup = run.stockGroup[bar];
    } else if (left == best && run.stockGroup[bar] == candidateGroup) {
      // A tie within one stock group cancels; only a strictly larger one wins later.
      candidate = 0;
    }
  }
  PickedBar picked;
  if (candidate == 0) return picked;
  picked.stock = candidate;
  picked.group = run.stockGroup[candidate];
  picked.pieces = run.stockPieces[candidate];
  picked.length = run.stockGroupLength[picked.group];
  picked.remainder = run.stockRemainder[candidate];
  picked.used = picked.length - picked.remainder;
  picked.cost = run.stockGroupCost[picked.group];
  return picked;
}

void DropBarFromTotals(PlanTotals& totals, const PickedBar& bar) {
  totals.used -= bar.used;
  totals.waste -= bar.remainder;
  totals.cost -= bar.cost;
  totals.layouts -= 1;
  totals.pieces -= bar.pieces;
}

void SetAsideLastBar(SolverState& st, int k) {
  RunTables& run = st.run;
  if (!st.settings.ignoreLast || k != 1) return;
  for (int32_t pos = 1; pos <= run.openPieceCount; ++pos) {
    if (run.stockOfPiece[run.openPieces[pos]] == 0) return;
  }
  if (run.planTotals.layouts < 2 && run.runKind != kRunRemainder) return;
  const PickedBar bar = PickLastBar(st);
  if (bar.stock == 0) return;
  const int64_t realRemainder = int64_t{bar.remainder} + st.settings.endZone - st.settings.kerf;
  const int32_t fixedLargest = run.fixed.present ? run.fixed.record.maxRemainder : 0;
  if (realRemainder < st.settings.minReusable || realRemainder <= fixedLargest) return;
  PlanTotals& t = run.planTotals;
  t.lastStock = bar.stock;
  t.lastPieces = bar.pieces;
  t.lastUsed = bar.used;
  t.lastRemainder = bar.remainder;
  t.lastCost = bar.cost;
  DropBarFromTotals(t, bar);
}

void ApplyRemainderRule(SolverState& st, int k) {
  if (k < 2) return;
  RunTables& run = st.run;
  const bool bundle = st.settings.bundle >= 1;
  const double share = bundle ? 25.0 : 50.0;
  const double pct = bundle ? 5.0 : 0.3;
  PlanTotals& t = run.planTotals;
  const double waste = t.waste;
  if (!(waste > (static_cast<double>(t.used) + waste) * pct / 100.0) || t.layouts < 2) return;
  const PickedBar bar = PickLastBar(st);
  if (bar.stock == 0) return;
  if (!(bar.remainder > (100.0 / share) * waste / t.layouts)) return;
  for (int32_t i = 1; i <= run.pieceCount; ++i) {
    if (run.stockOfPiece[i] == bar.stock) run.stockOfPiece[i] = 0;
  }
  run.stockState[bar.stock] = kBarFree;
  run.stockPieces[bar.stock] = 0;
  run.stockRemainder[bar.stock] = kUntouchedRemainder;
  DropBarFromTotals(t, bar);
}

void ApplyKerfCorrection(SolverState& st) {
  PlanTotals& t = st.run.planTotals;
  const int64_t kerf = st.settings.kerf;
  const int64_t endZone = st.settings.endZone;
  t.used = ToInt32(t.used - kerf * t.pieces);
  t.waste = ToInt32(t.waste + kerf * t.pieces + (endZone - kerf) * t.layouts);
  if (t.lastStock != 0) {
    t.lastRemainder = ToInt32(t.lastRemainder + (t.lastPieces - 1) * kerf + endZone);
    t.lastUsed = ToInt32(t.lastUsed - kerf * t.lastPieces);
  }
}

int32_t BundleMisfits(const SolverState& st, const int32_t* barLayout, int32_t layoutCount) {
  const int32_t bundle = st.settings.bundle;
  if (bundle < 1) return 0;
  const RunTables& run = st.run;
  constexpr int32_t kMaxLayouts = 2 * kItemSlots;
  int64_t bars[kMaxLayouts] = {};
  for (int32_t bar = 1; bar <= run.stockCount; ++bar) {
    const int32_t c = barLayout[bar];
    if (c >= 1 && c < kMaxLayouts) ++bars[c];
  }
  if (run.fixed.present) {
    const FixedPart& fx = run.fixed;
    for (int32_t f = 1; f <= fx.barCount && f < kItemSlots; ++f) {
      const int32_t c = fx.barLayout[f];
      if (c >= 1 && c < kMaxLayouts) bars[c] += fx.multiplicity;
    }
  }
  const int32_t last = run.planTotals.lastStock;
  const int32_t lastLayout = last >= 1 && last <= run.stockCount ? barLayout[last] : 0;
  int32_t misfits = 0;
  for (int32_t c = 1; c <= layoutCount && c < kMaxLayouts; ++c) {
    if (c != lastLayout && bars[c] % bundle != 0) ++misfits;
  }
  return misfits;
}

PlanScore ScorePlan(SolverState& st, int k) {
  const RunTables& run = st.run;
  const PlanTotals& t = run.planTotals;
  const ProblemStats& stats = st.stats;
  const SolverSettings& set = st.settings;

  // The part of the plan fixed by earlier runs (a repeated bundle run).
  double fixedBars = 0, fixedLength = 0, fixedWaste = 0, fixedCost = 0, fixedLastUsed = 0;
  if (run.fixed.present) {
    const double repeats = run.fixed.multiplicity;
    const RunRecord& fixed = run.fixed.record;
    fixedBars = fixed.bars * repeats;
    fixedLength = fixed.length * repeats;
    fixedWaste = fixed.waste * repeats;
    fixedCost = fixed.cost * repeats;
    fixedLastUsed = static_cast<double>(fixed.lastLength - fixed.lastRemainder) * repeats;
  }
  const double used = t.used;
  const double waste = t.waste;
  const double totalPart = static_cast<double>(stats.totalPartLength);

  // Utilisation: the share of the stock used that becomes pieces.
  const double utilisation =
      (used + fixedLength - fixedWaste) / (used + waste + fixedLength + kDenominatorGuard);
  // Twice what the pieces would cost at the stock's mean cost per length.
  const double costOfPieces = stats.totalStockLength > 0
                                  ? 2.0 * static_cast<double>(stats.totalStockCost) * totalPart /
                                        static_cast<double>(stats.totalStockLength)
                                  : 0.0;
  // Near 1 when the plan's stock costs what its pieces are worth, smaller
  // the more it costs beyond that.
  const double costRatio =
      2.0 * costOfPieces /
      (static_cast<double>(t.cost) * k + costOfPieces + fixedCost + kDenominatorGuard);
  double score = set.effectiveCostMode ? (kCostModeWeight * utilisation + 1.0) * costRatio
                                       : (kMaterialModeWeight * costRatio + 1.0) * utilisation;

  const bool reduce = set.effectiveReduceLayouts >= 1;
  const bool bundleRule = set.bundle >= 1 && k == 1;
  if (reduce || bundleRule) {
    int32_t layout[kItemSlots] = {};
    LayoutPlan plan = RunLayoutPlan(st, t.lastStock, layout, nullptr);
    NumberLayouts(plan, true, false);
    if (reduce) {
      const double w = kReduceLayoutsWeight[std::min(set.effectiveReduceLayouts, 6)];
      score /=
          w * kWeightUnit * plan.layoutCuts / (stats.estPieceCapacity + kDenominatorGuard) + 1.0;
    }
    if (bundleRule) score /= BundleMisfits(st, layout, plan.layoutCount) + 1.0;
  }

  // The preference compares the plan's mean bar with the mean stock length:
  // a plan that uses no bar has no mean bar (and at the strongest
  // preference for short bars its factor would be 0), so it is left alone.
  const double barLength = used + waste + fixedLength;
  if (set.preferShort != 0 && stats.avgStockLength > 0 && barLength > 0) {
    // How much longer than the mean stock length the plan's mean bar is.
    const double longer =
        barLength / stats.avgStockLength / (t.layouts + fixedBars + kDenominatorGuard) - 1.0;
    const double w = kPreferShortWeight[std::min(std::abs(set.preferShort), 5)];
    if (set.preferShort < 0) {
      score /= w * kWeightUnit * longer + 1.0;
    } else {
      score *= w * kWeightUnit * longer + 1.0;
    }
  }

  if (totalPart > 0) {
    if (t.lastStock != 0 && t.lastRemainder >= 1) {
      score /= t.lastRemainder * kLastRemainderWeight * stats.estBarsNeeded / totalPart + 1.0;
    }
    const double cut = (used + t.lastUsed) * k + fixedLastUsed + fixedLength - fixedWaste;
    score /= kUncutWeight * (1.0 - cut / totalPart) + 1.0;
  }

  // A score that is not a finite number would win or lose every comparison
  // and cannot be handed back; such a plan counts as worthless.
  if (!std::isfinite(score)) score = 0;
  return PlanScore{score, utilisation};
}

PlanScore AdjustAndScorePlan(SolverState& st, int k) {
  ShiftToShorterBars(st);
  SetAsideLastBar(st, k);
  ApplyRemainderRule(st, k);
  ApplyKerfCorrection(st);
  return ScorePlan(st, k);
}

}  // namespace solver
