// Figure 2 of the exact method: the search over stock profiles in the
// order of their bound, and the lower bound and proof it leaves.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine.h"

namespace solver::exact {

namespace {

// Lighter patterns per stock type and round in the first column generation
// above the search's limits: fewer rounds, but more make the pool, and so
// every later programme, large.
constexpr int kRootExtraPatterns = 2;
// Profiles of the least objective that holds the pieces' length filled bar
// by bar at most, and the words of all their tables.
constexpr size_t kLevelProfiles = 8;
constexpr int64_t kLevelFillWork = 30000000;

}  // namespace

LpOutcome Engine::RootProgramme() {
  allowance_ = static_cast<double>(Uncut(bestKey_));
  master_->SetMode(Mode::kOptimize);
  master_->Restrict(master_->Whole());
  // The first programme over the whole problem gathers patterns in
  // numbers; later ones, restricted, keep the pool small.
  master_->SetExtraPatterns(m_.large ? kRootExtraPatterns : 0);
  LpOutcome lp = Lp();
  master_->SetExtraPatterns(0);
  if (m_.large && lp.solved && !Stopped()) {
    // The whole bars of the linear programme's solution, the rest filled
    // in by patterns: near the bound when there are many bars.
    Restriction whole = master_->Whole();
    whole.lastOpen = false;
    RoundAndFill(whole, lp);
  }
  return lp;
}

bool Engine::PlanAtCapacityLevel() {
  if (!m_.large || m_.ignoreLast || Uncut(bestKey_) != 0 || Stopped()) return false;
  if (!m_.LengthRulesOnly()) return false;
  // Only where the least profile objective is tabulated at once: the
  // search for it level by level can take long from this far below.
  const int64_t unit = ObjectiveUnit();
  if (m_.diffStocks != 0 || unit < 1 ||
      bestKey_.objective / static_cast<double>(unit) >= static_cast<double>(kProfileLevelLimit)) {
    return false;
  }
  allowance_ = 0;
  const int64_t level = SmallestProfileFrom(CapacityBound());
  const double best = bestKey_.objective;
  if (static_cast<double>(level) >= best - Tolerance(best)) return true;
  const std::vector<std::vector<int32_t>> profiles = CapaciousProfiles(level, kLevelProfiles);
  const std::vector<int32_t> pieces = master_->Whole().demand;
  std::vector<Column> columns;
  int64_t work = kLevelFillWork;
  for (const std::vector<int32_t>& p : profiles) {
    if (Stopped()) return false;
    std::vector<int32_t> demand = pieces, bars = p;
    ModelPlan plan;
    const bool placed = FillFullest(m_, demand, bars, work, plan.patterns);
    for (const ModelPattern& mp : plan.patterns)
      columns.push_back(Column{mp.stock, false, mp.counts});
    if (placed) {
      Offer(NormalizePlan(m_, plan));
      if (bestKey_.objective <=
          static_cast<double>(level) + Tolerance(static_cast<double>(level))) {
        return true;
      }
    }
  }
  std::sort(columns.begin(), columns.end());
  columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
  master_->AddMany(columns);
  return false;
}

double Engine::GlobalBound(const LpOutcome& root, int64_t& lo) const {
  double globalBound = root.bound;
  lo = 0;
  if (!m_.ignoreLast) {
    globalBound = static_cast<double>(SmallestProfileFrom(root.bound));
    lo = static_cast<int64_t>(globalBound);
  } else {
    if (!m_.costObjective) globalBound = std::ceil(root.bound - 1e-6);
    double lastMost = 0;
    for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
      lastMost = std::max(lastMost, LastRate(j) * static_cast<double>(m_.LastCapacity(j)));
    }
    lo = std::max<int64_t>(0, static_cast<int64_t>(std::floor(globalBound - lastMost)));
  }
  return globalBound;
}

void Engine::ExamineCandidate(std::vector<Candidate>& heap, Candidate c, double& open) {
  ++stats_.profiles;
  if (c.last < 0 && Refuted(c.bars)) return;
  if (c.last < 0 || c.exact) {
    const Outcome o = Check(RestrictionFor(c), c.last < 0, Mode::kOptimize, c.bound);
    if (o == Outcome::kUnknown) open = std::min(open, c.bound);
    if (o != Outcome::kInfeasible || c.last < 0) return;
    const int64_t next = NextLoad(c.last, c.load);
    if (next > m_.LastCapacity(c.last)) return;
    c.load = next;
  } else {
    // The least the last bar must carry, from the linear programme.
    master_->SetMode(Mode::kLastLoad);
    master_->Restrict(RestrictionFor(c));
    const LpOutcome least = Lp();
    if (!least.solved || !least.converged) {
      open = std::min(open, c.bound);
      return;
    }
    c.load = std::max(c.load, static_cast<int64_t>(std::ceil(least.bound - 1e-6)));
    if (c.load > m_.LastCapacity(c.last)) return;
    c.exact = true;
  }
  c.bound = static_cast<double>(c.regular) + LastRate(c.last) * static_cast<double>(c.load);
  Push(heap, std::move(c));
}

void Engine::CandidateSearch() {
  if (PlanAtCapacityLevel()) {
    lowerBound_ = bestKey_.objective;
    return;
  }
  const LpOutcome lp = RootProgramme();
  if (!lp.solved || !lp.converged) {
    proven_ = false;
    note_ = Stopped() ? "time limit or abort" : "column generation did not finish";
    return;
  }
  // Under a limit on pieces or different pieces per layout the profiles
  // between bound and plan are many: the whole problem's programme first.
  const bool hardRules = !m_.large && (m_.maxPieces >= 1 || m_.diffPieces >= 1);
  // With few stock types the profiles are few and quickly settled one
  // by one: the whole problem's programme only when they take long. The
  // list of patterns is short by the rules alone when a bar holds at most
  // two pieces or two lengths.
  const bool fewPatterns =
      (m_.maxPieces >= 1 && m_.maxPieces <= 2) || (m_.diffPieces >= 1 && m_.diffPieces <= 2);
  const bool settleFirst = hardRules && fewPatterns && m_.stock.size() >= kManyStockTypes &&
                           bestKey_.objective > RoundedUp(lp.bound);
  // The bound the whole problem's programme proves, when it cannot settle.
  double wholeBound = lp.bound;
  if (settleFirst && SettleWhole(lp, wholeBound)) {
    lowerBound_ = bestKey_.objective;
    return;
  }
  int64_t lo = 0;
  double globalBound = GlobalBound(lp, lo);
  // A bound raised by the whole problem's programme: the profiles below it
  // need no listing, the candidates no examining below it.
  const auto raise = [&] {
    if (wholeBound <= lp.bound) return;
    LpOutcome raised;
    raised.bound = wholeBound;
    int64_t raisedLo = 0;
    globalBound = std::max(globalBound, GlobalBound(raised, raisedLo));
    lo = std::max(lo, raisedLo);
  };
  raise();
  lowerBound_ = std::min(globalBound, bestKey_.objective);  // for the progress until the end
  int64_t step = 1;
  for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) step = std::max(step, Weight(j));

  std::vector<Candidate> heap;
  double open = std::numeric_limits<double>::infinity();  // least bound left undecided
  bool stopped = false;
  bool settled = false;  // figure 2 proven by SettleWhole
  bool wholeTried = settleFirst;
  // Above the search's limits with several stock types a plan at the
  // bound is looked for first among the profiles nearest the linear
  // programme's: when it is there, the walk over the bound's profiles in
  // their order would mostly reach it late.
  int64_t nearLevel = -1;  // the level whose nearest profiles were checked
  if (m_.large && m_.stock.size() > 1 &&
      bestKey_.objective > globalBound + Tolerance(globalBound) && !Stopped()) {
    nearLevel = static_cast<int64_t>(globalBound);
    CheckNearProfiles(lp, nearLevel);
  }
  for (;;) {
    if (hardRules && !wholeTried && stats_.profiles >= kProfilesBeforeWhole) {
      wholeTried = true;
      if (SettleWhole(lp, wholeBound)) {
        settled = true;
        break;
      }
      raise();
    }
    if (Stopped()) {
      stopped = true;
      note_ = "time limit or abort";
      break;
    }
    if (in_.profileLimit > 0 && stats_.profiles >= in_.profileLimit) {
      stopped = true;
      note_ = "stock profile limit";
      break;
    }
    const double bestObjective = bestKey_.objective;
    if (heap.empty() || heap.front().bound >= static_cast<double>(lo)) {
      if (static_cast<double>(lo) > bestObjective + 1e-9) break;
      // Above the search's limits a plan that meets the bound ends the
      // search: equal plans of less stock length are not looked for.
      // So also where the objective is the stock length and no bar order is
      // preferred: then no plan of equal objective is better.
      const bool ties = m_.costObjective || m_.ignoreLast || m_.prefShort != 0;
      if ((m_.large || !ties) &&
          static_cast<double>(lo) >= bestObjective - Tolerance(bestObjective)) {
        break;
      }
      int64_t hi =
          std::min<int64_t>(lo + step - 1, static_cast<int64_t>(std::floor(bestObjective)));
      hi = std::max(hi, lo);
      if (!AddWindow(heap, lo, hi)) {
        if (hardRules && !wholeTried && !Stopped()) {
          wholeTried = true;
          if (SettleWhole(lp, wholeBound)) {
            settled = true;
            break;
          }
          raise();
          if (!Stopped() && static_cast<double>(lo) > hi) continue;
        }
        if (m_.large && lo != nearLevel && !Stopped()) {
          nearLevel = lo;
          if (CheckNearProfiles(lp, lo)) continue;
        }
        if (m_.large && m_.stock.size() > 1) CheckLevelsAbove(lp, lo);
        stopped = true;
        note_ = Stopped() ? "time limit or abort" : "too many stock profiles";
        break;
      }
      lo = hi + 1;
      continue;
    }
    std::pop_heap(heap.begin(), heap.end(), After);
    Candidate c = std::move(heap.back());
    heap.pop_back();
    if (c.bound < globalBound) {
      // Every plan is worth the global bound at least.
      c.bound = globalBound;
      Push(heap, std::move(c));
      continue;
    }
    if (!BeforeBest(c)) {
      Push(heap, std::move(c));
      break;
    }
    ExamineCandidate(heap, std::move(c), open);
  }
  CloseCandidateSearch(globalBound, lo, heap, open, stopped, settled);
}

void Engine::CloseCandidateSearch(double globalBound, int64_t lo,
                                  const std::vector<Candidate>& heap, double open, bool stopped,
                                  bool settled) {
  if (settled) {
    lowerBound_ = bestKey_.objective;
    master_->SetMode(Mode::kOptimize);
    master_->Restrict(master_->Whole());
    return;
  }
  double bound = bestKey_.objective;
  if (stopped) bound = std::min(bound, static_cast<double>(lo));
  if (stopped && !heap.empty()) bound = std::min(bound, heap.front().bound);
  bound = std::min(bound, open);
  lowerBound_ = std::max(globalBound, bound);
  lowerBound_ = std::min(lowerBound_, bestKey_.objective);
  if (stopped || open < bestKey_.objective - 1e-9 * std::max(1.0, bestKey_.objective)) {
    proven_ = false;
    if (note_.empty()) note_ = "a stock profile could not be decided";
  }
  master_->SetMode(Mode::kOptimize);
  master_->Restrict(master_->Whole());
}

bool Engine::CheckNearProfiles(const LpOutcome& root, int64_t level) {
  if (m_.ignoreLast || root.x.empty()) return false;
  const int types = static_cast<int>(m_.stock.size());
  std::vector<double> use(m_.stock.size(), 0.0);
  const std::vector<Column>& pool = master_->Pool();
  for (size_t p = 0; p < root.x.size() && p < pool.size(); ++p) use[pool[p].stock] += root.x[p];
  double needWork = 0, needPieces = 0;
  Needed(needWork, needPieces);
  // Profiles of exactly `level`, each type's bars within a few of its use,
  // the nearest kept.
  struct Near {
    double distance;
    std::vector<int32_t> bars;
  };
  std::vector<Near> nearest;
  std::vector<int32_t> bars(m_.stock.size(), 0), from(m_.stock.size()), to(m_.stock.size());
  // The most the types from j on can add within their ranges.
  std::vector<int64_t> most(m_.stock.size() + 1, 0);
  int64_t visits = 0;
  const auto visit = [&](const auto& self, int j, int64_t objective, double capacity,
                         double distance) -> void {
    if (++visits > kNearVisitLimit || objective + most[j] < level) return;
    if ((visits & 1023) == 0 && Stopped()) visits = kNearVisitLimit;
    if (j == types) {
      if (objective != level || capacity + 1e-9 < needWork) return;
      if (m_.diffStocks > 0 && std::count_if(bars.begin(), bars.end(),
                                             [](int32_t b) { return b > 0; }) > m_.diffStocks) {
        return;
      }
      nearest.push_back({distance, bars});
      std::stable_sort(nearest.begin(), nearest.end(),
                       [](const Near& a, const Near& b) { return a.distance < b.distance; });
      if (nearest.size() > kNearProfiles) nearest.pop_back();
      return;
    }
    for (int32_t b = from[j]; b <= to[j]; ++b) {
      const int64_t next = objective + Weight(j) * b;
      if (next > level) break;
      bars[j] = b;
      self(self, j + 1, next, capacity + double{1} * b * m_.stock[j].capacity,
           distance + std::fabs(b - use[j]));
    }
    bars[j] = 0;
  };
  // The ranges widen while they hold no profile of the level: the bars of
  // the level's profiles can lie further from the programme's than a few.
  for (int32_t around = kNearBarsAround;
       nearest.empty() && around <= kNearBarsAroundMost && visits < kNearVisitLimit; around *= 2) {
    for (int j = types - 1; j >= 0; --j) {
      const int32_t centre = static_cast<int32_t>(std::floor(use[j]));
      from[j] = std::max(0, centre - around);
      to[j] = std::max(from[j], std::min(m_.stock[j].quantity, centre + 1 + around));
      most[j] = most[j + 1] + Weight(j) * to[j];
    }
    visit(visit, 0, 0, 0.0, 0.0);
  }
  // Each check is bounded in work, not in time, so that a material that
  // ends before its limit ends with the same plan on any machine. The
  // integer programme over the generated patterns is left out: on
  // profiles this large it takes seconds and seldom finds what the
  // branch over patterns does not.
  for (const Near& n : nearest) {
    if (Stopped()) return false;
    if (Refuted(n.bars)) continue;
    ++stats_.profiles;
    Candidate c{n.bars, -1, level, 0, 0, 0, static_cast<double>(level), true};
    Check(RestrictionFor(c), true, Mode::kOptimize, c.bound, false);
    if (bestKey_.objective <= static_cast<double>(level) + Tolerance(static_cast<double>(level))) {
      return true;
    }
  }
  return false;
}

void Engine::CheckLevelsAbove(const LpOutcome& root, int64_t level) {
  for (int64_t above = SmallestProfileFrom(static_cast<double>(level) + 1);
       !Stopped() &&
       static_cast<double>(above) < bestKey_.objective - Tolerance(bestKey_.objective);
       above = SmallestProfileFrom(static_cast<double>(above) + 1)) {
    if (CheckNearProfiles(root, above)) return;
  }
}

}  // namespace solver::exact
