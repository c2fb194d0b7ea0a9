#include "construction.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "orderings.h"
#include "solver_state.h"

namespace solver {
namespace {

// A bar whose cost rate exceeds the reference rate by more than this is
// never committed; the margin only tells a rate of 0 from a tiny one.
constexpr double kCommitRateMargin = 1e-31;

constexpr double kPairStart = 0.5;
constexpr double kTripleFill = 0.9;
constexpr double kSpreadHigh = 0.65;
constexpr double kSpreadLow = 0.55;
constexpr double kWasteBias = 0.002;
constexpr double kSpreadBias = 0.1;

// One run of a combination: positions first..last of the piece list.
struct ComboRun {
  int first = 0, last = 0, group = 0;
  int32_t length = 0;
  int count() const { return last - first + 1; }
};

struct Combo {
  int runs = 0;  // 0 = none, 2 = pair, 3 = triple
  ComboRun run[3];
};

void AddTotals(PlanTotals& t, int32_t used, int32_t waste, int32_t pieces, int32_t cost) {
  t.layouts += 1;
  t.pieces += pieces;
  t.used += used;
  t.waste += waste;
  t.cost += cost;
}

class Builder {
 public:
  explicit Builder(SolverState& st) : st_(st), run_(st.run), set_(st.settings) {}

  void Build() {
    Start();
    while (barsLeft_ >= 1 && count_ >= 1 && run_.openStockCount >= 1) {
      ++barPos_;
      if (barPos_ < 1 || barPos_ > run_.openStockCount) {
        CountFailure(run_.check, Check::kBarListOverrun);
        break;
      }
      if (run_.stockState[run_.openStocks[barPos_]] == kBarFree) VisitBar();
      if (barPos_ >= run_.openStockCount) barPos_ = 0;
    }
    PlanTotals& p = run_.planTotals;
    const PlanTotals& c = run_.committedTotals;
    p.layouts += c.layouts;
    p.pieces += c.pieces;
    p.used += c.used;
    p.waste += c.waste;
    p.cost += c.cost;
  }

 private:
  void Start() {
    for (int p = 1; p <= run_.openPieceCount; ++p) run_.stockOfPiece[run_.openPieces[p]] = 0;
    run_.planTotals = PlanTotals{};
    for (int p = 1; p <= run_.openStockCount; ++p) {
      const int bar = run_.openStocks[p];
      run_.stockState[bar] = kBarFree;
      run_.stockPieces[bar] = 0;
      run_.stockRemainder[bar] = kUntouchedRemainder;
    }
    count_ = run_.openPieceCount;
    for (int p = 1; p <= count_; ++p) list_[p] = run_.openPieces[p];
    barsLeft_ = run_.openStockCount;
    barPos_ = 0;
    run_.lastUsedGroup = 0;
    comboSet_ = false;
    run_.usedStockGroupCount = 0;
    if (set_.maxStockGroups >= 1) {
      for (int p = run_.openStockCount + 1; p <= run_.initialStockCount; ++p) {
        const int bar = run_.openStocks[p];
        if (run_.stockState[bar] >= kBarUsed) AddUsedGroup(run_.stockGroup[bar]);
      }
      if (run_.fixed.present) {
        for (int i = 1; i <= run_.fixed.usedStockGroupCount && i < kStockGroupSlots; ++i) {
          AddUsedGroup(run_.fixed.usedStockGroups[i]);
        }
      }
    }
    usableStockGroups_ = run_.stockGroupCount - run_.emptyStockGroups - run_.trimmedStockGroups;
  }

  bool GroupUsed(int g) const {
    for (int i = 1; i <= run_.usedStockGroupCount; ++i) {
      if (run_.usedStockGroups[i] == g) return true;
    }
    return false;
  }

  void AddUsedGroup(int g) {
    if (GroupUsed(g) || run_.usedStockGroupCount >= kMaxStockGroups) return;
    run_.usedStockGroups[++run_.usedStockGroupCount] = static_cast<int16_t>(g);
  }

  void VisitBar() {
    const int bar = run_.openStocks[barPos_];
    const int g = run_.stockGroup[bar];
    if (set_.maxStockGroups >= 1 && run_.usedStockGroupCount >= set_.maxStockGroups &&
        !GroupUsed(g)) {
      run_.stockState[bar] = kBarLookedAt;
      if (--barsLeft_ < 0) CountFailure(run_.check, Check::kBarsLeftNegative);
      return;
    }
    bar_ = bar;
    barLength_ = barRemaining_ = run_.stockGroupLength[g];
    barPieces_ = 0;
    barCost_ = run_.stockGroupCost[g];
    gripReserve_ = run_.gripLength;
    barGroupCount_ = 0;
    barRun_ = 0;
    for (int p = barPos_; p <= run_.openStockCount && run_.stockGroup[run_.openStocks[p]] == g;
         ++p) {
      ++barRun_;
    }
    if (g != run_.lastUsedGroup) comboSet_ = false;

    if (!FillBar()) {
      barPos_ += barRun_ - 1;
      comboSet_ = false;
      return;
    }

    const bool committed =
        barPieces_ >= 1 && CommitAllowed(st_, barLength_, barRemaining_, barCost_);
    if (--barsLeft_ < 0) CountFailure(run_.check, Check::kBarsLeftNegative);
    run_.stockPieces[bar] = barPieces_;
    run_.stockRemainder[bar] = barRemaining_;
    if (committed) {
      run_.stockState[bar] = kBarCommitted;
      AddTotals(run_.committedTotals, barLength_ - barRemaining_, barRemaining_, barPieces_,
                barCost_);
    } else {
      run_.stockState[bar] = barPieces_ == 0 ? kBarLookedAt : kBarUsed;
      if (barPieces_ >= 1) {
        AddTotals(run_.planTotals, barLength_ - barRemaining_, barRemaining_, barPieces_, barCost_);
      }
    }
    if (barPieces_ >= 1) {
      if (set_.maxStockGroups >= 1) AddUsedGroup(g);
      run_.lastUsedGroup = g;
    }
    if (committed) Commit(bar);
  }

  // Takes a committed bar and its pieces out of the open lists; the bar
  // that moves into its place is looked at next.
  void Commit(int bar) {
    for (int i = 0; i < barItemCount_; ++i) {
      if (run_.openPieceCount <= 0) {
        CountFailure(run_.check, Check::kCommitWithoutOpenPiece);
        break;
      }
      for (int p = 1; p <= run_.openPieceCount; ++p) {
        if (run_.openPieces[p] == barItems_[i]) {
          MoveToBack(run_.openPieces, p, run_.openPieceCount);
          if (--run_.openPieceCount < 0) CountFailure(run_.check, Check::kOpenPieceCountNegative);
          break;
        }
      }
    }
    if (run_.openStocks[barPos_] == bar) {
      MoveToBack(run_.openStocks, barPos_, run_.openStockCount);
      --run_.openStockCount;
      --barPos_;
    }
  }

  void PlacePiece(int piece) {
    run_.stockOfPiece[piece] = static_cast<int16_t>(bar_);
    if (barItemCount_ < kItemSlots) barItems_[barItemCount_++] = static_cast<int16_t>(piece);
  }

  void AddBarGroup(int g) {
    for (int i = 1; i <= barGroupCount_; ++i) {
      if (barGroups_[i] == g) return;
    }
    if (barGroupCount_ < kMaxPartGroups) barGroups_[++barGroupCount_] = static_cast<int16_t>(g);
  }

  int Group(int pos) const { return run_.pieceGroup[list_[pos]]; }

  ComboRun RunAt(int pos) const {
    ComboRun r;
    r.first = pos;
    r.group = Group(pos);
    r.length = run_.partGroupLength[r.group];
    r.last = pos;
    while (r.last < count_ && Group(r.last + 1) == r.group) ++r.last;
    return r;
  }

  // Pair and triple search at position u; g1 is the tentative group count.
  Combo FindCombo(int u, int32_t free, int g1) {
    Combo combo;
    if (!(barLength_ * kPairStart <= free) || !run_.pairCombos) return combo;
    const ComboRun r1 = RunAt(u);
    const double f1 = static_cast<double>(r1.length) * r1.count();
    if (!(free * run_.runShare <= f1) || r1.last >= count_) return combo;
    int g2 = g1;
    int s = r1.last + 1;
    bool found = false;
    ComboRun r2;
    while (s <= count_) {
      r2 = RunAt(s);
      const double f2 = static_cast<double>(r2.length) * r2.count();
      if (free * run_.runShare <= f2 && free * run_.pairFill <= f1 + f2 && free >= r2.length) {
        if (set_.maxDifferentPieces >= 1) g2 = AddDifferentPiece(st_, r2.group, g1, barGroups_);
        if (g2 >= 0) {
          found = true;
          break;
        }
      }
      s = r2.last + 1;
    }
    if (!found) return combo;
    combo.runs = 2;
    combo.run[0] = r1;
    combo.run[1] = r2;
    if (!run_.tripleCombos) return combo;
    const double f12 = f1 + static_cast<double>(r2.length) * r2.count();
    s = r2.last + 1;
    while (s <= count_) {
      const ComboRun r3 = RunAt(s);
      const double f3 = static_cast<double>(r3.length) * r3.count();
      if (free * run_.runShare <= f3 && free * kTripleFill <= f12 + f3 && free >= r3.length) {
        const int g3 =
            set_.maxDifferentPieces >= 1 ? AddDifferentPiece(st_, r3.group, g2, barGroups_) : 0;
        if (g3 >= 0) {
          combo.runs = 3;
          combo.run[2] = r3;
          return combo;
        }
      }
      s = r3.last + 1;
    }
    return combo;
  }

  bool SameAsLastCombo(const Combo& c) const {
    for (int i = 0; i < 3; ++i) {
      const int g = i < c.runs ? c.run[i].group : 0;
      if (g != lastCombo_[i]) return false;
    }
    return true;
  }

  // Places the chosen counts of a combination and rearranges the list: the
  // unplaced pieces of the runs join the rest list, the pieces skipped
  // between the runs are examined next, then those after the last run.
  void PlaceCombo(const Combo& combo, int32_t reserve, int& rest, int& u) {
    ComboCounts cc;
    cc.groups = combo.runs;
    cc.L1 = combo.run[0].length;
    cc.k1 = combo.run[0].count();
    cc.L2 = combo.run[1].length;
    cc.k2 = combo.run[1].count();
    double total = static_cast<double>(cc.L1) * cc.k1 + static_cast<double>(cc.L2) * cc.k2;
    if (combo.runs == 3) {
      cc.L3 = combo.run[2].length;
      cc.k3 = combo.run[2].count();
      total += static_cast<double>(cc.L3) * cc.k3;
    }
    cc.barLength = barLength_;
    cc.barRemaining = barRemaining_;
    cc.barPieces = barPieces_;
    cc.maxPiecesPerLayout = set_.maxPiecesPerLayout;
    cc.gripLength = run_.gripLength;
    cc.r0 = reserve;
    const bool spread = total * kSpreadHigh <= static_cast<double>(barLength_) * barRun_ &&
                        total * kSpreadLow >= barLength_;
    ChooseCounts(cc, spread);
    int chosen[3] = {cc.a, cc.b, cc.c};
    int placed = 0;
    for (int r = 0; r < combo.runs; ++r) {
      if (chosen[r] > combo.run[r].count()) {
        CountFailure(run_.check, Check::kCountAboveRun);
        chosen[r] = combo.run[r].count();
      }
      if (chosen[r] < 0) chosen[r] = 0;
      for (int p = combo.run[r].first; p < combo.run[r].first + chosen[r]; ++p) {
        PlacePiece(list_[p]);
      }
      if (chosen[r] > 0 && set_.maxDifferentPieces >= 1) AddBarGroup(combo.run[r].group);
      barRemaining_ -= chosen[r] * combo.run[r].length;
      placed += chosen[r];
    }
    if (barRemaining_ < 0) CountFailure(run_.check, Check::kBarOverfilled);
    barPieces_ += placed;
    if (placed > 0) gripReserve_ = reserve;

    int16_t tmp[kItemSlots];
    int n = 0;
    for (int r = 0; r < combo.runs; ++r) {
      for (int p = combo.run[r].first + chosen[r]; p <= combo.run[r].last; ++p) tmp[n++] = list_[p];
    }
    const int unplaced = n;
    for (int r = 0; r + 1 < combo.runs; ++r) {
      for (int p = combo.run[r].last + 1; p < combo.run[r + 1].first; ++p) tmp[n++] = list_[p];
    }
    for (int p = combo.run[combo.runs - 1].last + 1; p <= count_; ++p) tmp[n++] = list_[p];
    for (int i = 0; i < n; ++i) list_[rest + 1 + i] = tmp[i];
    count_ = rest + n;
    rest += unplaced;
    u = rest + 1;
  }

  // Fills the current bar from the piece list; false when the bar is left
  // free by the variation of bar choice (nothing placed, list unchanged).
  bool FillBar() {
    barItemCount_ = 0;
    int rest = 0;
    int u = 1;
    int prevGroup = 0;
    bool firstStep = true;
    while (u <= count_ && barRemaining_ >= run_.minPart &&
           !(set_.maxPiecesPerLayout >= 1 && barPieces_ >= set_.maxPiecesPerLayout)) {
      if (u < 1 || u >= kItemSlots) {
        CountFailure(run_.check, Check::kPieceListOverrun);
        break;
      }
      const int piece = list_[u];
      const int g = run_.pieceGroup[piece];
      const int32_t len = run_.partGroupLength[g];
      const int32_t reserve = len < run_.gripLength ? gripReserve_ : 0;
      const int g1 =
          set_.maxDifferentPieces >= 1 ? AddDifferentPiece(st_, g, barGroupCount_, barGroups_) : 0;
      const int32_t free = barRemaining_ - reserve;
      Combo combo;
      if (free >= len && g1 >= 0 && g != prevGroup) combo = FindCombo(u, free, g1);
      if (combo.runs > 0 && firstStep && comboSet_ && !SameAsLastCombo(combo) &&
          set_.maxStockGroups != 1 && set_.maxStockGroups != 2 && barsLeft_ >= 2 &&
          usableStockGroups_ >= 2) {
        if (st_.rng.Next(static_cast<uint32_t>(usableStockGroups_)) != 0) return false;
      }
      if (combo.runs > 0) {
        if (firstStep) {
          for (int i = 0; i < 3; ++i) lastCombo_[i] = i < combo.runs ? combo.run[i].group : 0;
          comboSet_ = true;
        }
        PlaceCombo(combo, reserve, rest, u);
      } else {
        if (free < len || g1 < 0) {
          list_[++rest] = static_cast<int16_t>(piece);
        } else {
          PlacePiece(piece);
          if (set_.maxDifferentPieces >= 1) barGroupCount_ = g1;
          gripReserve_ = reserve;
          barRemaining_ -= len;
          if (barRemaining_ < 0) CountFailure(run_.check, Check::kBarOverfilled);
          barPieces_ += 1;
        }
        ++u;
      }
      prevGroup = g;
      firstStep = false;
    }
    for (int p = u; p <= count_; ++p) list_[++rest] = list_[p];
    count_ = rest;
    if (count_ < 0) CountFailure(run_.check, Check::kPieceListCountNegative);
    return true;
  }

  SolverState& st_;
  RunTables& run_;
  const SolverSettings& set_;

  int16_t list_[kItemSlots] = {};
  int count_ = 0;
  int barsLeft_ = 0;
  int barPos_ = 0;
  int usableStockGroups_ = 0;
  bool comboSet_ = false;
  int lastCombo_[3] = {};

  int bar_ = 0;
  int32_t barLength_ = 0, barRemaining_ = 0, barPieces_ = 0, barCost_ = 0;
  int32_t gripReserve_ = 0;
  int barRun_ = 0;
  int16_t barGroups_[kPartGroupSlots + 1] = {};
  int barGroupCount_ = 0;
  int16_t barItems_[kItemSlots] = {};
  int barItemCount_ = 0;
};

int32_t PieceBound(const ComboCounts& cc, int32_t others) {
  return cc.maxPiecesPerLayout >= 1 ? cc.maxPiecesPerLayout - cc.barPieces - others : INT32_MAX;
}

int32_t Clamp(int32_t v, int32_t hi) {
  return std::max(0, std::min(v, hi));
}

int32_t Reserve2(const ComboCounts& cc) {
  return cc.L2 < cc.gripLength ? cc.r0 : 0;
}

int32_t Reserve3(const ComboCounts& cc, int b) {
  if (!(cc.L3 < cc.gripLength)) return 0;
  return b >= 1 ? Reserve2(cc) : cc.r0;
}

}  // namespace

void BuildPlan(SolverState& st) {
  Builder builder(st);
  builder.Build();
}

int AddDifferentPiece(const SolverState& st, int group, int count, int16_t* list) {
  for (int i = 1; i <= count; ++i) {
    if (list[i] == group) return count;
  }
  if (count >= st.settings.maxDifferentPieces || count + 1 >= kPartGroupSlots + 1) return -1;
  list[count + 1] = static_cast<int16_t>(group);
  return count + 1;
}

bool CommitAllowed(const SolverState& st, int barLength, int barRemaining, int barCost) {
  const RunTables& run = st.run;
  if (run.commitTolerance < 0) return false;
  double costFactor = 1.0;
  const bool costMode = st.settings.effectiveCostMode;
  if (costMode) {
    costFactor = run.refCostRate * barLength / (barCost + kDenominatorGuard);
    costFactor = std::clamp(costFactor, 1.0, 2.0);
  }
  if (!(barRemaining <= run.commitTolerance * costFactor * barLength)) return false;
  if (costMode &&
      !(static_cast<double>(barCost) / barLength <= run.refCostRate + kCommitRateMargin)) {
    return false;
  }
  return true;
}

void ChooseCounts(ComboCounts& cc, bool spread) {
  cc.spread = spread;
  cc.bestScore = kNoCountsRated;
  cc.a = cc.b = cc.c = 0;
  if (cc.L1 <= 0 || cc.L2 <= 0 || (cc.groups == 3 && cc.L3 <= 0)) return;
  const int32_t r2 = Reserve2(cc);
  const int32_t amax = Clamp(std::min((cc.barRemaining - cc.r0) / cc.L1, PieceBound(cc, 0)), cc.k1);
  for (int a = 1; a <= amax; ++a) {
    const int32_t bmax =
        Clamp(std::min((cc.barRemaining - r2 - a * cc.L1) / cc.L2, PieceBound(cc, a)), cc.k2);
    if (cc.groups < 3) {
      RateCounts(cc, a, bmax, 0);
      continue;
    }
    for (int b = 0; b <= bmax; ++b) {
      const int32_t r3 = Reserve3(cc, b);
      const int32_t cmax = Clamp(
          std::min((cc.barRemaining - r3 - a * cc.L1 - b * cc.L2) / cc.L3, PieceBound(cc, a + b)),
          cc.k3);
      RateCounts(cc, a, b, cmax);
    }
  }
}

void RateCounts(ComboCounts& cc, int a, int b, int c) {
  const bool three = cc.groups == 3;
  const auto wasteOf = [&] { return cc.barRemaining - a * cc.L1 - b * cc.L2 - c * cc.L3; };
  int32_t waste = wasteOf();
  const int32_t r2 = Reserve2(cc);
  int32_t o = cc.r0;
  if (cc.r0 != 0) {
    if (c >= 1) {
      o = Reserve3(cc, b);
    } else if (b >= 1) {
      o = r2;
    }
  }
  if (three) {
    const int32_t t = std::min(r2, o);
    if (waste - t >= cc.L2) {
      b = std::min(b + (waste - t) / cc.L2, std::min(cc.k2, PieceBound(cc, a + c)));
      waste = wasteOf();
      o = t;
    }
  }
  if (waste - o >= cc.L1) {
    a = std::min(a + (waste - o) / cc.L1, std::min(cc.k1, PieceBound(cc, b + c)));
    waste = wasteOf();
  }
  double score = waste;
  if (cc.spread) {
    const double v = static_cast<double>(waste) / cc.barLength + kWasteBias;
    const double ab = std::fabs(static_cast<double>(a) / cc.k1 - static_cast<double>(b) / cc.k2);
    if (three) {
      const double f = static_cast<double>(cc.k1 + cc.k2 + cc.k3) / (a + b + c);
      const double ac = std::fabs(static_cast<double>(a) / cc.k1 - static_cast<double>(c) / cc.k3);
      score = (ab * f + kSpreadBias) * v * (kSpreadBias + f * ac);
    } else {
      const double f = static_cast<double>(cc.k1 + cc.k2) / (a + b);
      score = v * (ab * f + kSpreadBias);
    }
  }
  const float s = static_cast<float>(score);
  if (s < cc.bestScore) {
    cc.bestScore = s;
    cc.a = a;
    cc.b = b;
    cc.c = c;
  }
}

}  // namespace solver
