// The exact method: a quick plan to start from, column generation for the
// lower bound, then a search over stock profiles (how many bars of each
// stock type, and the last bar's type) in the order of their bound. Each
// profile is ruled out by its linear programme (or the duals of an earlier
// one), or settled by rounding, a short branch over patterns, or an integer
// programme over every pattern whose reduced cost fits the gap; the first
// profile that holds a plan gives the optimum.
#include "exact.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>

#include "integer.h"
#include "master.h"
#include "model.h"
#include "pricing.h"
#include "solver_services.h"
#include "watch.h"

namespace solver::exact {
namespace {

constexpr size_t kProfileWindowLimit = 20000;
constexpr int kDiveNodeLimit = 400;
constexpr int kQuickDiveNodes = 40;
constexpr size_t kListLimit = 20000;
// Branch-and-bound nodes of one integer programme: over every pattern in
// the gap, over the generated patterns, and for fewer layouts.
constexpr int32_t kEnumerationMipNodes = 20000;
constexpr int32_t kPoolMipNodes = 300;
constexpr int32_t kLayoutMipNodes = 1000;
// Numbers of bars per stock type for which the layout reduction adds a
// pattern that can be cut so often, and the nodes of each search.
constexpr int32_t kMostFrequencies = 40;
constexpr int64_t kFrequentPatternNodes = 20000;
// Under a limit on pieces or different pieces per layout, the integer
// programme over every pattern in the gap of the whole problem: tried first
// from this many stock types on when the rules leave few patterns, else
// after this many stock profiles; the
// most patterns it takes, its nodes and its share of the time left.
constexpr size_t kManyStockTypes = 4;
constexpr int32_t kProfilesBeforeWhole = 64;
constexpr size_t kWholeListLimit = 3000;
constexpr int32_t kWholeMipNodes = 2000;
constexpr double kWholeTimeShare = 0.15;
// Nodes of the search for the least load above a given one on a last bar.
constexpr int64_t kNextLoadNodes = 200000;
// Long loops ask the watch once in this many steps (a power of two less one).
constexpr int64_t kWatchEvery = 1023;
// Overflow of the uncut row below which the linear programme cuts every
// piece.
constexpr double kArtificialTolerance = 1e-7;
// Lighter patterns per stock type and round in the first column generation
// above the search's limits.
constexpr int kRootExtraPatterns = 8;
// Part types up to which the pool starts with one pattern per type.
constexpr size_t kMostSeededTypes = 2000;
// Programmes of the rounding dive above the search's limits.
constexpr int kRoundingDiveSteps = 60;
// The same when one pattern is cut at a time.
constexpr int kGentleDiveSteps = 400;
// Default interval of the progress callback.
constexpr double kProgressIntervalMs = 100;
// Choices of stock types (with a limit on different stock groups) that the
// search for the most length cut tries one by one; beyond it the search
// runs on every type at once and the most length cut stays unproven.
constexpr size_t kMostTypeChoices = 64;

// A stock profile: bars of each stock type.
struct Profile {
  std::vector<int32_t> bars;
  int64_t objective = 0;
  int64_t length = 0;
  int32_t barOrder = 0;
};

// The bound that a converged feasibility programme gives on the uncut
// length of any profile: its dual solution stays feasible when only the
// bar limits change.
struct Certificate {
  double base = 0;
  std::vector<double> perBar;  // per stock type: dual - pricing tolerance
};

enum class Outcome { kFound, kInfeasible, kUnknown };

class Engine {
 public:
  explicit Engine(const ExactInput& in)
      : in_(in),
        start_(ClockMs()),
        deadline_(in.timeLimitMs > 0 ? start_ + in.timeLimitMs : 0),
        watch_(deadline_, in.abort) {
    if (in.progress) {
      watch_.SetTick([this] { return Report(); },
                     in.progressIntervalMs > 0 ? in.progressIntervalMs : kProgressIntervalMs);
    }
  }

  ExactResult Solve() {
    ExactResult r;
    if (!Prepare(r)) return Finish(r);
    if (Stopped()) {
      proven_ = false;
      note_ = "time limit or abort";
      return Finish(r);
    }
    EnterPhase(Phase::kMostCut);
    Stage1();
    EnterPhase(Phase::kProfiles);
    CandidateSearch();
    EnterPhase(Phase::kFewerLayouts);
    ReduceLayouts();
    return Finish(r);
  }

  BoundResult Bound() {
    BoundResult b;
    ExactResult r;
    if (!Prepare(r)) {
      b.status = r.status;
      b.message = r.message;
      b.elapsedMs = ClockMs() - start_;
      return b;
    }
    EnterPhase(Phase::kBound);
    master_->SetMode(Mode::kOptimize);
    master_->SetUncutAllowance(0);
    const LpOutcome lp = Lp();
    b.elapsedMs = ClockMs() - start_;
    if (!lp.solved || !lp.converged) {
      b.status = Status::kFeasible;
      b.message = Stopped() ? "time limit or abort" : "column generation did not finish";
      b.lowerBound = 0;
      return b;
    }
    if (lp.artificial > kArtificialTolerance) {
      // Not even the linear programme cuts every piece that fits: the
      // stock is short, and the bound would hold only for plans that do.
      b.status = Status::kFeasible;
      b.message = "the stock cannot hold every piece";
      b.lowerBound = 0;
      return b;
    }
    double bound = lp.bound;
    if (!m_.ignoreLast) {
      bound = static_cast<double>(SmallestProfileFrom(lp.bound));
    } else if (!m_.costObjective) {
      bound = std::ceil(lp.bound - 1e-9);
    }
    b.status = Status::kOptimal;
    b.lowerBound = ToCaller(bound);
    b.elapsedMs = ClockMs() - start_;
    return b;
  }

 private:
  // ---- Setting up ----

  bool Prepare(ExactResult& r) {
    if (std::string error = BuildModel(in_, m_); !error.empty()) {
      r.status = Status::kInvalidInput;
      r.message = error;
      return false;
    }
    if (in_.rules.bundle >= 2) {
      r.status = Status::kNotSupported;
      r.message = "stock/cut bundles are not supported by the exact method";
      return false;
    }
    EnterPhase(Phase::kFirstPlan);
    best_ = m_.large ? PatternGreedyPlan(m_) : GreedyPlan(m_);
    bestKey_ = KeyOf(m_, best_);
    if (in_.incumbent != nullptr && CheckPlan(in_, *in_.incumbent).empty()) {
      ModelPlan given;
      if (ToModelPlan(in_, m_, *in_.incumbent, given)) {
        given_ = NormalizePlan(m_, given);
        Offer(given_);
      }
    }
    master_ = std::make_unique<Master>(m_, Uncut(bestKey_), &watch_);
    SeedPool();
    return true;
  }

  int64_t Uncut(const PlanKey& key) const { return key.uncut - m_.unfitLength; }

  // Above the search's limits: per part type one pattern of that type
  // alone, as many pieces as fit, on the stock type that carries them at
  // the least weight per length.
  void SeedLargePool() {
    // With very many part types the first plan's patterns must do: a
    // column per type would hold a count for every type.
    if (m_.parts.size() > kMostSeededTypes) return;
    std::vector<Column> columns;
    for (int i = 0; i < static_cast<int>(m_.parts.size()); ++i) {
      if (m_.parts[i].demand < 1) continue;
      int best = -1;
      int32_t bestCount = 0;
      double bestRate = 0;
      for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
        const int32_t n = MostThatFit(m_, m_.stock[j].capacity, Load{}, i, 0, m_.parts[i].demand);
        if (n < 1) continue;
        const double rate = m_.BarWeight(j) / (static_cast<double>(n) * m_.parts[i].length);
        if (best < 0 || rate < bestRate) {
          best = j;
          bestCount = n;
          bestRate = rate;
        }
      }
      if (best < 0) continue;
      Column c{best, false, m_.Zero()};
      c.counts[i] = bestCount;
      columns.push_back(std::move(c));
    }
    master_->AddMany(columns);
  }

  void SeedPool() {
    const auto addPlan = [&](const ModelPlan& plan) {
      for (const ModelPattern& p : plan.patterns) master_->Add(Column{p.stock, false, p.counts});
      if (plan.hasLast) master_->Add(Column{plan.last.stock, true, plan.last.counts});
    };
    addPlan(best_);
    if (m_.large) {
      SeedLargePool();
      return;
    }
    // One pattern per stock type and part type: as many pieces as fit.
    for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
      for (int i = 0; i < static_cast<int>(m_.parts.size()); ++i) {
        Counts c = m_.Zero();
        while (c[i] < m_.parts[i].demand) {
          ++c[i];
          if (!FitsBar(m_, j, c)) {
            --c[i];
            break;
          }
        }
        if (c[i] > 0) master_->Add(Column{j, false, c});
      }
    }
  }

  // ---- Time ----

  bool Stopped() const { return watch_.Stop(); }

  // Time left for one integer programme: what the caller's limit leaves
  // (0 = no limit).
  double Remaining() const { return watch_.Remaining(); }

  // ---- Progress ----

  void EnterPhase(Phase phase) {
    phase_ = phase;
    if (in_.progress && Report()) watch_.RequestStop();
  }

  // Tells the caller how far the method has got; true when it asks to stop.
  bool Report() {
    Progress p;
    p.elapsedMs = ClockMs() - start_;
    p.phase = phase_;
    p.hasPlan = phase_ != Phase::kFirstPlan;
    if (p.hasPlan) {
      p.bestObjective = ToCaller(bestKey_.objective);
      p.uncutLength = static_cast<double>(bestKey_.uncut) * m_.unit;
      p.cutLength = static_cast<double>(m_.cutLength + m_.unfitLength - bestKey_.uncut) * m_.unit;
      p.stockLength = static_cast<double>(bestKey_.length) * m_.unit;
    }
    p.lowerBound = ToCaller(lowerBound_);
    return in_.progress(p);
  }

  LpOutcome Lp() {
    LpOutcome lp = master_->Solve();
    stats_.lpRounds += lp.iterations;
    stats_.pricingNodes += lp.pricingNodes;
    return lp;
  }

  MipOutcome Mip(const MipRequest& req) {
    const double t = ClockMs();
    MipOutcome mip = SolveMip(*master_, req);
    stats_.mips += 1;
    stats_.mipMs += ClockMs() - t;
    return mip;
  }

  // ---- Plans ----

  void Offer(const ModelPlan& plan) {
    if (!ValidPlan(m_, plan)) return;
    const PlanKey key = KeyOf(m_, plan);
    if (CompareKeys(key, bestKey_) < 0) {
      best_ = plan;
      bestKey_ = key;
    }
  }

  ModelPlan PlanFrom(const std::vector<int32_t>& x, const std::vector<Column>& fixed) const {
    return PlanFrom(master_->Pool(), x, fixed);
  }

  ModelPlan PlanFrom(const std::vector<Column>& pool, const std::vector<int32_t>& x,
                     const std::vector<Column>& fixed) const {
    ModelPlan plan;
    const auto add = [&](const Column& c, int32_t bars) {
      if (bars < 1) return;
      if (c.last) {
        plan.hasLast = true;
        plan.last = ModelPattern{c.stock, c.counts, 1};
      } else {
        plan.patterns.push_back(ModelPattern{c.stock, c.counts, bars});
      }
    };
    for (size_t p = 0; p < x.size() && p < pool.size(); ++p) add(pool[p], x[p]);
    for (const Column& c : fixed) add(c, 1);
    return NormalizePlan(m_, plan);
  }

  // ---- Figure 1: the most length cut ----

  // Bar limits of the stock types a plan may use: every type, or with a
  // limit on different stock groups each choice of that many types.
  // Empty when there are more than kMostTypeChoices choices.
  std::vector<std::vector<int32_t>> TypeChoices() const {
    const int types = static_cast<int>(m_.stock.size());
    std::vector<int32_t> all;
    for (const StockType& s : m_.stock) all.push_back(s.quantity);
    if (m_.diffStocks < 1) return {all};
    std::vector<std::vector<int32_t>> out;
    std::vector<int32_t> limits(types, 0);
    std::function<void(int, int)> choose = [&](int j, int left) {
      if (out.size() > kMostTypeChoices) return;
      if (left == 0 || j == types) {
        if (left == 0) out.push_back(limits);
        return;
      }
      limits[j] = all[j];
      choose(j + 1, left - 1);
      limits[j] = 0;
      choose(j + 1, left);
    };
    choose(0, std::min(m_.diffStocks, types));
    if (out.size() > kMostTypeChoices) out.clear();
    return out;
  }

  // Fewer uncut pieces, until no choice of stock types allows less.
  void Stage1() {
    if (Uncut(bestKey_) == 0) return;
    uncutFloor_ = Uncut(bestKey_);
    const std::vector<std::vector<int32_t>> choices = TypeChoices();
    if (choices.empty()) uncutFloor_ = 0;
    for (const std::vector<int32_t>& limits : choices) {
      if (Stopped()) break;
      Restriction r = master_->Whole();
      r.bars = r.regularBars = limits;
      r.lastOpen = false;
      for (;;) {
        if (Uncut(bestKey_) == 0) break;
        allowance_ = static_cast<double>(Uncut(bestKey_) - 1);
        const Outcome o = Check(r, false, Mode::kFeasibility, allowance_);
        if (o == Outcome::kUnknown) uncutFloor_ = 0;
        if (o != Outcome::kFound) break;
      }
      if (Stopped()) uncutFloor_ = 0;
    }
    if (Stopped()) uncutFloor_ = 0;
    master_->Restrict(master_->Whole());
    master_->SetUncutAllowance(Uncut(bestKey_));
  }

  // ---- Figure 2: candidates in the order of their bound ----
  //
  // A candidate is a profile of regular bars, with or without a last bar
  // of a given stock type. Without a last bar its objective is fixed by
  // the profile; with one, the bound adds the least working length the
  // last bar must carry (from the linear programme, then raised step by
  // step while no plan carries that little). Candidates are examined in the
  // order of their bound; the first that holds a plan gives the optimum.

  struct Candidate {
    std::vector<int32_t> bars;  // regular bars per stock type
    int last = -1;              // stock type of the last bar, -1 = none
    int64_t regular = 0;        // objective of the regular bars
    int64_t length = 0;         // stock length, the last bar included
    int32_t barOrder = 0;
    int64_t load = 0;  // working length the bound allows the last bar
    double bound = 0;
    bool exact = false;  // the last bar's load comes from the linear programme
  };

  // Heap order: the smallest bound on top; ties by length, bar order, then
  // the profile itself so that the order never depends on the heap.
  static bool After(const Candidate& a, const Candidate& b) {
    if (a.bound != b.bound) return a.bound > b.bound;
    if (a.length != b.length) return a.length > b.length;
    if (a.barOrder != b.barOrder) return a.barOrder > b.barOrder;
    if (a.last != b.last) return a.last > b.last;
    return a.bars > b.bars;
  }

  int64_t Weight(int j) const { return static_cast<int64_t>(m_.BarWeight(j)); }

  double LastRate(int j) const {
    return m_.costObjective ? static_cast<double>(m_.stock[j].cost) / m_.stock[j].length : 1.0;
  }

  bool LastAllowed(const std::vector<int32_t>& bars, int j) const {
    if (m_.LastCapacity(j) < 1 || bars[j] + 1 > m_.stock[j].quantity) return false;
    int types = 0, count = 0;
    for (size_t k = 0; k < bars.size(); ++k) {
      types += bars[k] > 0 || static_cast<int>(k) == j ? 1 : 0;
      count += bars[k];
    }
    return count >= 1 && (m_.diffStocks < 1 || types <= m_.diffStocks);
  }

  // What the bars must hold: working length and pieces, less what the
  // uncut allowance may leave.
  void Needed(double& work, double& pieces) const {
    double stretch = 1;
    int64_t w = 0, p = 0;
    for (const PartType& t : m_.parts) {
      w += int64_t{t.work} * t.demand;
      p += t.demand;
      stretch = std::max(stretch, static_cast<double>(t.work) / t.length);
    }
    const double uncut = allowance_;
    const int64_t shortest = m_.parts.empty() ? 1 : m_.parts.back().length;
    work = static_cast<double>(w) - uncut * stretch;
    pieces = static_cast<double>(p) - uncut / shortest;
  }

  // Regular profiles with lo <= objective <= hi that could hold the pieces
  // with `extra` working length more (the last bar), pruned by capacity,
  // pieces per layout, different stock groups and, without `extra`, the
  // stored certificates.
  std::vector<Profile> ProfilesIn(int64_t lo, int64_t hi, double extra, bool& truncated) const {
    std::vector<Profile> out;
    truncated = false;
    const int types = static_cast<int>(m_.stock.size());
    std::vector<int64_t> most(types + 1, 0);
    for (int j = types - 1; j >= 0; --j) most[j] = most[j + 1] + Weight(j) * m_.stock[j].quantity;
    std::vector<int> byRate(types);
    for (int j = 0; j < types; ++j) byRate[j] = j;
    std::stable_sort(byRate.begin(), byRate.end(), [&](int a, int b) {
      return m_.BarWeight(a) / m_.stock[a].capacity < m_.BarWeight(b) / m_.stock[b].capacity;
    });
    double needWork = 0, needPieces = 0;
    Needed(needWork, needPieces);
    needWork -= extra;
    if (extra > 0) needPieces -= m_.maxPieces >= 1 ? m_.maxPieces : needPieces;
    const double allowance = allowance_ + 1e-6;
    const bool certify = extra <= 0;

    std::vector<int32_t> bars(types, 0);
    int64_t visits = 0;
    std::function<void(int, int64_t, double, double, int)> visit = [&](int j, int64_t objective,
                                                                       double capacity,
                                                                       double slots, int used) {
      if ((++visits & kWatchEvery) == 0 && Stopped()) truncated = true;
      if (truncated || objective > hi || objective + most[j] < lo) return;
      // Least cost to add the capacity still missing, from the types left.
      double missing = needWork - capacity, cost = 0, slotsLeft = 0;
      for (int k : byRate) {
        if (k < j) continue;
        slotsLeft += m_.stock[k].quantity;
        if (missing <= 0) continue;
        const double take = std::min<double>(m_.stock[k].quantity, missing / m_.stock[k].capacity);
        cost += take * m_.BarWeight(k);
        missing -= take * m_.stock[k].capacity;
      }
      if (missing > 1e-9 || objective + cost > hi + 1e-9) return;
      if (m_.maxPieces >= 1 && (slots + slotsLeft) * m_.maxPieces < needPieces) return;
      if (certify) {
        for (const Certificate& c : certificates_) {
          double b = c.base;
          for (int k = 0; k < types; ++k) {
            b += c.perBar[k] * (k < j ? bars[k] : m_.stock[k].quantity);
          }
          if (b > allowance + 1e-6 * std::fabs(c.base)) return;
        }
      }
      if (j == types) {
        if (objective < lo || capacity < needWork) return;
        Profile p;
        p.bars = bars;
        p.objective = objective;
        int32_t count = 0;
        for (int k = 0; k < types; ++k) {
          p.length += int64_t{bars[k]} * m_.stock[k].length;
          count += bars[k];
        }
        p.barOrder = count;
        out.push_back(std::move(p));
        if (out.size() > kProfileWindowLimit) truncated = true;
        return;
      }
      // Fewer bars of this type than `first` leave the window out of reach.
      int32_t first = 0;
      if (Weight(j) > 0 && objective + most[j + 1] < lo) {
        const int64_t w = Weight(j);
        first = static_cast<int32_t>(
            std::min<int64_t>(m_.stock[j].quantity, (lo - objective - most[j + 1] + w - 1) / w));
      }
      for (int32_t n = first; n <= m_.stock[j].quantity; ++n) {
        const int nowUsed = used + (n > 0 ? 1 : 0);
        if (m_.diffStocks >= 1 && nowUsed > m_.diffStocks) break;
        if (objective + n * Weight(j) > hi) break;
        bars[j] = n;
        visit(j + 1, objective + n * Weight(j), capacity + double{1} * n * m_.stock[j].capacity,
              slots + n, nowUsed);
      }
      bars[j] = 0;
    };
    visit(0, 0, 0, 0, 0);
    return out;
  }

  int32_t BarOrder(int32_t bars) const {
    return m_.prefShort < 0 ? -bars : (m_.prefShort > 0 ? bars : 0);
  }

  // The smallest profile objective at or above `bound`.
  int64_t SmallestProfileFrom(double bound) const {
    int64_t lo = static_cast<int64_t>(std::ceil(bound - 1e-6));
    int64_t total = 0, step = 1;
    for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
      total += Weight(j) * m_.stock[j].quantity;
      step = std::max(step, Weight(j));
    }
    for (int64_t hi = lo + step;; hi += step) {
      // No profile lies below lo: it bounds as well, if less tightly.
      if (Stopped()) return lo;
      bool truncated = false;
      const std::vector<Profile> list = ProfilesIn(lo, hi, 0, truncated);
      if (!list.empty()) {
        int64_t least = list.front().objective;
        for (const Profile& p : list) least = std::min(least, p.objective);
        return least;
      }
      if (truncated || hi > total) return lo;
      lo = hi + 1;
    }
  }

  Restriction RestrictionFor(const Candidate& c) const {
    Restriction r = master_->Whole();
    r.regularBars = c.bars;
    r.bars = c.bars;
    r.lastOpen = c.last >= 0;
    r.lastType = c.last;
    if (c.last >= 0) {
      r.bars[c.last] += 1;
      if (c.exact) r.lastLoadLimit = c.load;
    }
    return r;
  }

  // Whether a stored certificate rules out a profile of regular bars.
  bool Refuted(const std::vector<int32_t>& bars) const {
    for (const Certificate& c : certificates_) {
      double b = c.base;
      for (size_t j = 0; j < bars.size(); ++j) b += c.perBar[j] * bars[j];
      if (b > allowance_ + 1e-6 + 1e-6 * std::fabs(c.base)) return true;
    }
    return false;
  }

  // The duals of an infeasible profile's programme as a certificate. The
  // pricing covered only the stock types the profile uses; for the others
  // the per-bar dual is lowered until no pattern of that type prices out,
  // which keeps the duals feasible for every profile.
  void StoreCertificate(const LpOutcome& lp, const Restriction& r) {
    Certificate c;
    const Restriction whole = master_->Whole();
    const size_t types = m_.stock.size();
    for (size_t i = 0; i < m_.parts.size(); ++i) {
      const double pi = lp.dualDemand[i];
      c.base += pi * whole.demand[i] + whole.demand[i] * std::min(0.0, m_.parts[i].length - pi);
    }
    for (size_t j = 0; j < types; ++j) {
      double perBar = lp.dualStock[j] + lp.dualStock[types + j];
      if (r.regularBars[j] < 1) {
        PricingTask task;
        task.capacity = task.loadLimit = m_.stock[j].capacity;
        task.grip = m_.grip;
        task.maxPieces = m_.maxPieces;
        task.diffPieces = m_.diffPieces;
        task.watch = &watch_;
        for (size_t i = 0; i < m_.parts.size(); ++i) {
          task.work.push_back(m_.parts[i].work);
          task.bound.push_back(whole.demand[i]);
          task.profit.push_back(lp.dualDemand[i]);
        }
        task.threshold = -1;
        const PricingResult best = PriceBestPattern(task);
        if (!best.complete) return;
        perBar = std::min(perBar, lp.dualNeed - best.value);
      }
      c.perBar.push_back(perBar - master_->PricingTolerance());
    }
    certificates_.push_back(std::move(c));
  }

  // A plan within the restriction (the uncut allowance kept), or proof
  // that none exists. `certify`: the restriction differs from the whole
  // problem only in its bar limits, so an infeasible programme's duals
  // rule out other profiles as well.
  // Whether a plan within r worth at most `target` in `mode` exists, by an
  // integer programme over every pattern that such a plan could use: those
  // whose reduced cost is within target - bound of the linear programme.
  Outcome Enumerate(const Restriction& r, Mode mode, double target) {
    master_->SetMode(mode);
    master_->Restrict(r);
    const LpOutcome lp = Lp();
    if (!lp.solved || !lp.converged) return Outcome::kUnknown;
    const double gap = target - lp.bound;
    if (gap < -1e-6 * std::max(1.0, std::fabs(target))) return Outcome::kInfeasible;
    bool complete = false;
    const std::vector<Column> columns =
        master_->ListColumns(lp, std::max(gap, 0.0), kListLimit, complete);
    if (!complete || Stopped()) return Outcome::kUnknown;
    ++stats_.enumerations;
    stats_.enumeratedColumns += static_cast<int32_t>(columns.size());
    // Plans within r at or below the target, as an integer programme: the
    // least uncut length cut off at the allowance (or at the target when that
    // is what is asked), or with a last bar its worth cut off at the target.
    Master all(m_, static_cast<int64_t>(allowance_), &watch_);
    const bool worth = mode == Mode::kOptimize && r.lastOpen;
    all.SetMode(worth ? Mode::kOptimize : Mode::kFeasibility);
    all.Restrict(r);
    all.AddMany(columns);
    MipRequest req;
    if (worth) {
      const bool integral = !m_.costObjective;
      req.cutoff = target + (integral ? 0.5 : 1e-6 * std::max(1.0, std::fabs(target)));
    } else {
      const double uncut = mode == Mode::kFeasibility ? target : allowance_;
      req.cutoff = std::floor(uncut + 1e-6) + 0.5;
    }
    req.nodeLimit = kEnumerationMipNodes;
    req.timeLimitMs = Remaining();
    req.probing = !m_.large;
    req.watch = &watch_;
    const double t = ClockMs();
    const MipOutcome mip = SolveMip(all, req);
    stats_.mips += 1;
    stats_.mipMs += ClockMs() - t;
    if (mip.found) {
      Offer(PlanFrom(all.Pool(), mip.x, {}));
      return Outcome::kFound;
    }
    return mip.optimal ? Outcome::kInfeasible : Outcome::kUnknown;
  }

  Outcome Check(const Restriction& r, bool certify, Mode mode, double target) {
    master_->SetMode(Mode::kFeasibility);
    master_->Restrict(r);
    const LpOutcome lp = Lp();
    if (!lp.solved) return Outcome::kUnknown;
    const double allowance = allowance_;
    if (lp.converged && lp.bound > allowance + 1e-6) {
      if (certify) StoreCertificate(lp, r);
      return Outcome::kInfeasible;
    }
    if (RoundAndFill(r, lp)) return Outcome::kFound;
    if (Stopped()) return Outcome::kUnknown;
    if (m_.large && (RoundingDive(r, false) == Outcome::kFound ||
                     (!Stopped() && RoundingDive(r, true) == Outcome::kFound))) {
      return Outcome::kFound;
    }
    if (Stopped()) return Outcome::kUnknown;
    // A short branch first: it settles most profiles at once.
    nodes_ = kDiveNodeLimit - kQuickDiveNodes;
    const Outcome quick = Dive(r, {});
    if (quick != Outcome::kUnknown || Stopped()) return quick;
    const Outcome listed = Enumerate(r, mode, target);
    if (listed != Outcome::kUnknown || Stopped()) return listed;
    master_->SetMode(Mode::kFeasibility);
    master_->Restrict(r);
    MipRequest req;
    req.cutoff = allowance + 0.5;
    req.nodeLimit = kPoolMipNodes;
    req.timeLimitMs = Remaining();
    req.probing = !m_.large;
    req.watch = &watch_;
    const MipOutcome mip = Mip(req);
    if (mip.found) {
      Offer(PlanFrom(mip.x, {}));
      return Outcome::kFound;
    }
    nodes_ = 0;
    return Dive(r, {});
  }

  // The linear programme's whole bars, the rest first fit decreasing.
  bool RoundAndFill(const Restriction& r, const LpOutcome& lp) {
    const std::vector<Column>& pool = master_->Pool();
    std::vector<int32_t> demand = r.demand, bars = r.regularBars, x(lp.x.size(), 0);
    bool lastFixed = !r.lastOpen;
    for (size_t p = 0; p < lp.x.size(); ++p) {
      const int32_t whole = static_cast<int32_t>(std::floor(lp.x[p] + 1e-6));
      if (whole < 1) continue;
      const Column& c = pool[p];
      if (c.last) {
        lastFixed = true;
      } else {
        bars[c.stock] -= whole;
      }
      x[p] = whole;
      for (size_t i = 0; i < m_.parts.size(); ++i) {
        demand[i] = std::max(0, demand[i] - whole * c.counts[i]);
      }
    }
    if (!lastFixed) return false;
    for (int32_t b : bars) {
      if (b < 0) return false;
    }
    std::vector<ModelPattern> rest;
    const bool filled =
        m_.large ? FillByPatterns(m_, demand, bars, rest) : FillGreedy(m_, demand, bars, rest);
    if (!filled) return false;
    ModelPlan raw;
    for (size_t p = 0; p < x.size(); ++p) {
      if (x[p] < 1) continue;
      if (pool[p].last) {
        raw.hasLast = true;
        raw.last = ModelPattern{pool[p].stock, pool[p].counts, 1};
      } else {
        raw.patterns.push_back(ModelPattern{pool[p].stock, pool[p].counts, x[p]});
      }
    }
    for (const ModelPattern& p : rest) raw.patterns.push_back(p);
    Offer(NormalizePlan(m_, raw));
    return true;
  }

  // Above the search's limits: the linear programme's whole bars are cut
  // (or, when it has none, one bar of its largest pattern), and the rest
  // planned anew, until nothing is left. Finds plans near the bound in a
  // few dozen programmes where a branch bar by bar would need thousands;
  // proves nothing.
  // With onePattern only the largest pattern's whole bars (at least one)
  // are cut each time: more programmes, a gentler rounding.
  Outcome RoundingDive(Restriction r, bool onePattern) {
    ModelPlan plan;
    const int steps = onePattern ? kGentleDiveSteps : kRoundingDiveSteps;
    for (int step = 0; step < steps && !Stopped(); ++step) {
      master_->Restrict(r);
      const LpOutcome lp = Lp();
      if (!lp.solved || lp.bound > allowance_ + 1e-6) break;
      const std::vector<Column>& pool = master_->Pool();
      int pick = -1;
      bool whole = false, integral = true;
      for (size_t p = 0; p < lp.x.size(); ++p) {
        whole = whole || lp.x[p] >= 1 - 1e-6;
        integral = integral && std::fabs(lp.x[p] - std::round(lp.x[p])) <= 1e-6;
        if (lp.x[p] > 1e-6 && (pick < 0 || lp.x[p] > lp.x[pick] + 1e-9)) pick = static_cast<int>(p);
      }
      for (double v : lp.slack) integral = integral && std::fabs(v - std::round(v)) <= 1e-6;
      if (pick < 0 && !integral) break;
      std::vector<std::pair<int, int32_t>> cut;  // pool column, bars
      if (onePattern && !integral) {
        cut.emplace_back(pick, std::max(1, static_cast<int32_t>(std::floor(lp.x[pick] + 1e-6))));
      } else {
        for (size_t p = 0; p < lp.x.size(); ++p) {
          const int32_t bars =
              static_cast<int32_t>(integral ? std::lround(lp.x[p]) : std::floor(lp.x[p] + 1e-6));
          if (bars >= 1) cut.emplace_back(static_cast<int>(p), bars);
        }
        if (!whole && !integral) cut.emplace_back(pick, 1);
      }
      for (const auto& [p, bars] : cut) {
        Column c = pool[p];
        for (size_t i = 0; i < m_.parts.size(); ++i)
          c.counts[i] = std::min(c.counts[i], r.demand[i]);
        for (size_t i = 0; i < m_.parts.size(); ++i) {
          r.demand[i] = std::max(0, r.demand[i] - bars * c.counts[i]);
        }
        r.bars[c.stock] -= bars;
        if (c.last) {
          r.lastOpen = false;
          plan.hasLast = true;
          plan.last = ModelPattern{c.stock, c.counts, 1};
        } else {
          r.regularBars[c.stock] -= bars;
          r.regularFixed += bars;
          plan.patterns.push_back(ModelPattern{c.stock, c.counts, bars});
        }
      }
      const bool done = integral || std::all_of(r.demand.begin(), r.demand.end(),
                                                [](int32_t d) { return d == 0; });
      if (done) {
        Offer(NormalizePlan(m_, plan));
        master_->Restrict(master_->Whole());
        return Outcome::kFound;
      }
    }
    master_->Restrict(master_->Whole());
    return Outcome::kUnknown;
  }

  // Depth-first branch over patterns: one bar of the chosen pattern is cut
  // (first branch), or the pattern is forbidden (second branch).
  Outcome Dive(const Restriction& r, const std::vector<Column>& fixed) {
    if (++nodes_ > kDiveNodeLimit || Stopped()) return Outcome::kUnknown;
    ++stats_.branchNodes;
    master_->Restrict(r);
    const LpOutcome lp = Lp();
    if (!lp.solved) return Outcome::kUnknown;
    const double allowance = allowance_;
    if (lp.bound > allowance + 1e-6) return lp.converged ? Outcome::kInfeasible : Outcome::kUnknown;

    const std::vector<Column>& pool = master_->Pool();
    int pick = -1;
    bool integral = true;
    for (size_t p = 0; p < lp.x.size(); ++p) {
      const double v = lp.x[p];
      if (std::fabs(v - std::round(v)) > 1e-6) integral = false;
      if (v > 1e-6 && (pick < 0 || v > lp.x[pick] + 1e-9)) pick = static_cast<int>(p);
    }
    for (double s : lp.slack) integral = integral && std::fabs(s - std::round(s)) <= 1e-6;
    if (integral) {
      std::vector<int32_t> x(lp.x.size());
      for (size_t p = 0; p < x.size(); ++p) x[p] = static_cast<int32_t>(std::lround(lp.x[p]));
      Offer(PlanFrom(x, fixed));
      return Outcome::kFound;
    }
    if (pick < 0) return Outcome::kUnknown;

    // The pattern as far as the open demand needs it.
    Column chosen = pool[pick];
    for (size_t i = 0; i < m_.parts.size(); ++i) {
      chosen.counts[i] = std::min<int32_t>(chosen.counts[i], r.demand[i]);
    }
    Restriction use = r;
    for (size_t i = 0; i < m_.parts.size(); ++i) use.demand[i] -= chosen.counts[i];
    use.bars[chosen.stock] -= 1;
    if (chosen.last) {
      use.lastOpen = false;
    } else {
      use.regularBars[chosen.stock] -= 1;
      use.regularFixed += 1;
    }
    for (Column& f : use.forbidden) {
      for (size_t i = 0; i < m_.parts.size(); ++i) {
        f.counts[i] = std::min<int32_t>(f.counts[i], use.demand[i]);
      }
    }
    std::vector<Column> withChosen = fixed;
    withChosen.push_back(chosen);
    const Outcome first = Dive(use, withChosen);
    if (first == Outcome::kFound) return first;
    Restriction avoid = r;
    avoid.forbidden.push_back(chosen);
    const Outcome second = Dive(avoid, fixed);
    if (second == Outcome::kFound) return second;
    return first == Outcome::kInfeasible && second == Outcome::kInfeasible ? Outcome::kInfeasible
                                                                           : Outcome::kUnknown;
  }

  // The least working length above `load` that a last bar of type j can
  // carry; load + 1 when the search for it runs too long.
  int64_t NextLoad(int j, int64_t load) const {
    const int64_t limit = m_.LastCapacity(j);
    int64_t best = limit + 1;
    int64_t nodes = 0;
    Counts c = m_.Zero();
    bool stopped = false;
    std::function<void(int, int64_t)> visit = [&](int i, int64_t sum) {
      if (stopped || ++nodes > kNextLoadNodes || sum >= best) return;
      if ((nodes & kWatchEvery) == 0 && Stopped()) {
        stopped = true;
        return;
      }
      if (i == static_cast<int>(m_.parts.size())) {
        if (sum > load && FitsLastBar(m_, j, c)) best = sum;
        return;
      }
      const int32_t most = static_cast<int32_t>(
          std::min<int64_t>(m_.parts[i].demand, (limit - sum) / m_.parts[i].work));
      for (int32_t n = 0; n <= most; ++n) {
        c[i] = n;
        visit(i + 1, sum + int64_t{n} * m_.parts[i].work);
      }
      c[i] = 0;
    };
    visit(0, 0);
    return stopped || nodes > kNextLoadNodes ? load + 1 : best;
  }

  // The least objective a plan can have at or above a bound: whole
  // lengths in material mode.
  double RoundedUp(double bound) const {
    return m_.costObjective ? bound + Tolerance(bound) : std::ceil(bound - 1e-6) + 0.5;
  }

  static double Tolerance(double objective) { return 1e-9 * std::max(1.0, std::fabs(objective)); }

  bool BeforeBest(const Candidate& c) const {
    const double tol = 1e-9 * std::max(1.0, std::fabs(bestKey_.objective));
    if (std::fabs(c.bound - bestKey_.objective) > tol) return c.bound < bestKey_.objective;
    if (c.length != bestKey_.length) return c.length < bestKey_.length;
    return c.barOrder < bestKey_.barOrder;
  }

  void Push(std::vector<Candidate>& heap, Candidate c) {
    heap.push_back(std::move(c));
    std::push_heap(heap.begin(), heap.end(), After);
  }

  // Adds the candidates whose regular bars cost lo..hi; false when there
  // were too many to list.
  bool AddWindow(std::vector<Candidate>& heap, int64_t lo, int64_t& hi) {
    double lastMost = 0;
    if (m_.ignoreLast) {
      for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
        lastMost = std::max<double>(lastMost, static_cast<double>(m_.LastCapacity(j)));
      }
    }
    for (;;) {
      bool truncated = false;
      std::vector<Profile> plain = ProfilesIn(lo, hi, 0, truncated);
      std::vector<Profile> withLast;
      if (!truncated && m_.ignoreLast) withLast = ProfilesIn(lo, hi, lastMost, truncated);
      if (truncated) {
        if (hi == lo || Stopped()) return false;
        hi = lo + (hi - lo) / 4;
        continue;
      }
      for (const Profile& p : plain) {
        Candidate c{p.bars,
                    -1,
                    p.objective,
                    p.length,
                    BarOrder(p.barOrder),
                    0,
                    static_cast<double>(p.objective),
                    true};
        Push(heap, std::move(c));
      }
      double needWork = 0, needPieces = 0;
      Needed(needWork, needPieces);
      for (const Profile& p : withLast) {
        double capacity = 0;
        for (size_t k = 0; k < p.bars.size(); ++k)
          capacity += double{1} * p.bars[k] * m_.stock[k].capacity;
        for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
          if (!LastAllowed(p.bars, j)) continue;
          const double least = std::max(0.0, std::ceil(needWork - capacity - 1e-9));
          if (least > static_cast<double>(m_.LastCapacity(j))) continue;
          Candidate c{p.bars,
                      j,
                      p.objective,
                      p.length + m_.stock[j].length,
                      BarOrder(p.barOrder + 1),
                      static_cast<int64_t>(least),
                      static_cast<double>(p.objective) + LastRate(j) * least,
                      false};
          Push(heap, std::move(c));
        }
      }
      return true;
    }
  }

  // Figure 2 settled at once for the whole problem: an integer programme
  // over every pattern whose reduced cost under the root duals fits the gap
  // between the root bound and the best plan (the only patterns a better
  // plan can use). Pays where the rules keep that list short (pieces or
  // different pieces per layout limited) and the profiles between bound and
  // plan are many. True when the best plan is then proven optimal in
  // figure 2; a better plan it finds is kept either way. The programme
  // knows no limit on different stock groups: then it only bounds.
  bool SettleWhole(const LpOutcome& root) {
    const double target = bestKey_.objective;
    const double gap = target - root.bound;
    if (gap < 0 || Stopped()) return false;
    // The root duals price the whole problem in the optimizing mode.
    master_->SetMode(Mode::kOptimize);
    master_->Restrict(master_->Whole());
    bool complete = false;
    std::vector<Column> columns = master_->ListColumns(root, gap, kWholeListLimit, complete);
    if (!complete || Stopped()) return false;
    ++stats_.enumerations;
    stats_.enumeratedColumns += static_cast<int32_t>(columns.size());
    // The best plan's own patterns, which need not be maximal, as the start.
    for (const ModelPattern& p : best_.patterns)
      columns.push_back(Column{p.stock, false, p.counts});
    if (best_.hasLast) columns.push_back(Column{best_.last.stock, true, best_.last.counts});
    Master all(m_, static_cast<int64_t>(allowance_), &watch_);
    all.SetMode(Mode::kOptimize);
    all.Restrict(all.Whole());
    all.AddMany(columns);
    MipRequest req;
    req.start.assign(all.Pool().size(), 0.0);
    const auto use = [&](const ModelPattern& p, bool last) {
      const Column c{p.stock, last, p.counts};
      for (size_t k = 0; k < all.Pool().size(); ++k) {
        if (all.Pool()[k] == c) req.start[k] += p.bars;
      }
    };
    for (const ModelPattern& p : best_.patterns) use(p, false);
    if (best_.hasLast) use(best_.last, true);
    const bool integral = !m_.costObjective;
    req.cutoff = target + (integral ? 0.5 : 1e-6 * std::max(1.0, std::fabs(target)));
    req.nodeLimit = kWholeMipNodes;
    // A share of the time: when it cannot prove, the better plan it finds
    // shortens the profile search that follows.
    req.timeLimitMs = Remaining() * kWholeTimeShare;
    req.probing = true;
    req.watch = &watch_;
    const double t0 = ClockMs();
    const MipOutcome mip = SolveMip(all, req);
    stats_.mips += 1;
    stats_.mipMs += ClockMs() - t0;
    if (mip.found) Offer(PlanFrom(all.Pool(), mip.x, {}));
    if (!mip.optimal) return false;
    const double least = mip.found ? mip.objective : target;
    return bestKey_.objective <= least + (integral ? 0.5 : Tolerance(least));
  }

  void CandidateSearch() {
    allowance_ = static_cast<double>(Uncut(bestKey_));
    master_->SetMode(Mode::kOptimize);
    master_->Restrict(master_->Whole());
    // The first programme over the whole problem gathers patterns in
    // numbers; later ones, restricted, keep the pool small.
    master_->SetExtraPatterns(m_.large ? kRootExtraPatterns : 0);
    const LpOutcome lp = Lp();
    master_->SetExtraPatterns(0);
    if (m_.large && lp.solved && !Stopped()) {
      // The whole bars of the linear programme's solution, the rest filled
      // in by patterns: near the bound when there are many bars.
      Restriction whole = master_->Whole();
      whole.lastOpen = false;
      RoundAndFill(whole, lp);
      for (const bool gentle : {false, true}) {
        if (!lp.converged || bestKey_.objective <= std::ceil(lp.bound - 1e-6) + 0.5) break;
        RoundingDive(master_->Whole(), gentle);
      }
    }
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
    // two pieces or one length.
    const bool fewPatterns = (m_.maxPieces >= 1 && m_.maxPieces <= 2) || m_.diffPieces == 1;
    const bool settleFirst = hardRules && fewPatterns && m_.stock.size() >= kManyStockTypes &&
                             bestKey_.objective > RoundedUp(lp.bound);
    if (settleFirst && SettleWhole(lp)) {
      lowerBound_ = bestKey_.objective;
      return;
    }
    double globalBound = lp.bound;
    int64_t lo = 0;
    if (!m_.ignoreLast) {
      globalBound = static_cast<double>(SmallestProfileFrom(lp.bound));
      lo = static_cast<int64_t>(globalBound);
    } else {
      if (!m_.costObjective) globalBound = std::ceil(lp.bound - 1e-6);
      double lastMost = 0;
      for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
        lastMost = std::max(lastMost, LastRate(j) * static_cast<double>(m_.LastCapacity(j)));
      }
      lo = std::max<int64_t>(0, static_cast<int64_t>(std::floor(globalBound - lastMost)));
    }
    lowerBound_ = std::min(globalBound, bestKey_.objective);  // for the progress until the end
    int64_t step = 1;
    for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) step = std::max(step, Weight(j));

    std::vector<Candidate> heap;
    double open = std::numeric_limits<double>::infinity();  // least bound left undecided
    bool stopped = false;
    bool settled = false;  // figure 2 proven by SettleWhole
    bool wholeTried = settleFirst;
    for (;;) {
      if (hardRules && !wholeTried && stats_.profiles >= kProfilesBeforeWhole) {
        wholeTried = true;
        if (SettleWhole(lp)) {
          settled = true;
          break;
        }
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
        if (m_.large && static_cast<double>(lo) >= bestObjective - Tolerance(bestObjective)) break;
        int64_t hi =
            std::min<int64_t>(lo + step - 1, static_cast<int64_t>(std::floor(bestObjective)));
        hi = std::max(hi, lo);
        if (!AddWindow(heap, lo, hi)) {
          if (hardRules && !wholeTried && !Stopped()) {
            wholeTried = true;
            if (SettleWhole(lp)) {
              settled = true;
              break;
            }
          }
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
      if (!BeforeBest(c)) {
        Push(heap, std::move(c));
        break;
      }
      ++stats_.profiles;
      if (c.last < 0 && Refuted(c.bars)) continue;
      if (c.last < 0 || c.exact) {
        const Outcome o = Check(RestrictionFor(c), c.last < 0, Mode::kOptimize, c.bound);
        if (o == Outcome::kUnknown) open = std::min(open, c.bound);
        if (o != Outcome::kInfeasible || c.last < 0) continue;
        const int64_t next = NextLoad(c.last, c.load);
        if (next > m_.LastCapacity(c.last)) continue;
        c.load = next;
      } else {
        // The least the last bar must carry, from the linear programme.
        master_->SetMode(Mode::kLastLoad);
        master_->Restrict(RestrictionFor(c));
        const LpOutcome least = Lp();
        if (!least.solved || !least.converged) {
          open = std::min(open, c.bound);
          continue;
        }
        c.load = std::max(c.load, static_cast<int64_t>(std::ceil(least.bound - 1e-6)));
        if (c.load > m_.LastCapacity(c.last)) continue;
        c.exact = true;
      }
      c.bound = static_cast<double>(c.regular) + LastRate(c.last) * static_cast<double>(c.load);
      Push(heap, std::move(c));
    }
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

  // ---- Figure 4: fewer layouts ----

  // Patterns that can be cut often: for each stock type the plan uses and
  // each number of bars f it has of that type, the fullest bar whose pieces
  // are at most a share 1/f of the demand. A plan of few layouts is made of
  // such patterns; the column generation seldom finds them, since it
  // prices bars, not layouts.
  void AddFrequentPatterns(const std::vector<int32_t>& bars) {
    const Restriction whole = master_->Whole();
    std::vector<Column> columns;
    for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
      const int32_t most = std::min(bars[j], kMostFrequencies);
      for (int32_t f = 1; f <= most && !Stopped(); ++f) {
        PricingTask task;
        task.capacity = task.loadLimit = m_.stock[j].capacity;
        task.grip = m_.grip;
        task.maxPieces = m_.maxPieces;
        task.diffPieces = m_.diffPieces;
        task.nodeLimit = kFrequentPatternNodes;
        task.watch = &watch_;
        bool any = false;
        for (size_t i = 0; i < m_.parts.size(); ++i) {
          task.work.push_back(m_.parts[i].work);
          task.bound.push_back(whole.demand[i] / f);
          task.profit.push_back(m_.parts[i].work);
          any = any || whole.demand[i] / f > 0;
        }
        if (!any) break;
        const PricingResult best = PriceBestPattern(task);
        if (best.found) columns.push_back(Column{j, false, best.counts});
      }
    }
    master_->AddMany(columns);
  }

  void ReduceLayouts() {
    if (m_.reduceLays < 1 || Stopped() || best_.patterns.size() + (best_.hasLast ? 1 : 0) <= 1) {
      return;
    }
    for (const ModelPattern& p : best_.patterns) master_->Add(Column{p.stock, false, p.counts});
    if (best_.hasLast) master_->Add(Column{best_.last.stock, true, best_.last.counts});
    // The caller's plan often has few layouts: its patterns may serve.
    for (const ModelPattern& p : given_.patterns) master_->Add(Column{p.stock, false, p.counts});
    master_->SetMode(Mode::kOptimize);
    // The bars of the best plan, no more.
    Restriction r = master_->Whole();
    std::fill(r.regularBars.begin(), r.regularBars.end(), 0);
    for (const ModelPattern& p : best_.patterns) r.regularBars[p.stock] += p.bars;
    AddFrequentPatterns(r.regularBars);
    r.bars = r.regularBars;
    r.lastOpen = best_.hasLast;
    if (best_.hasLast) {
      r.lastType = best_.last.stock;
      r.bars[best_.last.stock] += 1;
    }
    master_->Restrict(r);
    MipRequest req;
    req.layoutCount = true;
    // The best plan as the start: its patterns are in the pool.
    req.start.assign(master_->Pool().size(), 0.0);
    const auto use = [&](const ModelPattern& p, bool last) {
      const Column c{p.stock, last, p.counts};
      for (size_t k = 0; k < master_->Pool().size(); ++k) {
        if (master_->Pool()[k] == c) req.start[k] += p.bars;
      }
    };
    for (const ModelPattern& p : best_.patterns) use(p, false);
    if (best_.hasLast) use(best_.last, true);
    req.nodeLimit = kLayoutMipNodes;
    req.timeLimitMs = Remaining();
    req.probing = !m_.large;
    req.watch = &watch_;
    if (m_.ignoreLast) {
      std::vector<double> cost;
      for (size_t p = 0; p < master_->Pool().size(); ++p) {
        cost.push_back(master_->ColumnCost(static_cast<int>(p)));
      }
      req.rows.emplace_back(cost, bestKey_.objective + 1e-6 * std::max(1.0, bestKey_.objective));
    }
    const MipOutcome mip = Mip(req);
    if (mip.found) Offer(PlanFrom(mip.x, {}));
    master_->Restrict(master_->Whole());
  }

  // ---- Result ----

  double ToCaller(double v) const { return m_.costObjective ? v : v * m_.unit; }

  ExactResult Finish(ExactResult& r) {
    r.elapsedMs = ClockMs() - start_;
    if (r.status == Status::kInvalidInput && !r.message.empty()) return r;
    if (r.status == Status::kNotSupported || master_ == nullptr) {
      if (r.message.empty()) r.message = note_;
      return r;
    }
    r.plan = FromModelPlan(in_, m_, best_);
    r.figures = MeasurePlan(in_, r.plan);
    if (Uncut(bestKey_) > uncutFloor_) {
      proven_ = false;
      note_ = "the most length that can be cut is not proven";
    } else if (m_.large && !proven_ &&
               lowerBound_ >= bestKey_.objective - Tolerance(bestKey_.objective)) {
      proven_ = true;  // stopped, but the plan meets the bound
    }
    r.proven = proven_;
    r.status = proven_ ? Status::kOptimal : Status::kFeasible;
    r.lowerBound = ToCaller(std::min(lowerBound_, bestKey_.objective));
    if (proven_) r.lowerBound = r.figures.objective;
    r.message = proven_ ? std::string() : note_;
    stats_.columns = static_cast<int32_t>(master_->Pool().size());
    r.stats = stats_;
    return r;
  }

  const ExactInput& in_;
  double start_ = 0;
  double deadline_ = 0;
  Watch watch_;
  Phase phase_ = Phase::kFirstPlan;
  Model m_;
  ModelPlan best_;
  PlanKey bestKey_;
  ModelPlan given_;  // the caller's plan to start from, normalized
  std::unique_ptr<Master> master_;
  std::vector<Certificate> certificates_;
  bool proven_ = true;
  double uncutFloor_ = 0;  // proven least uncut length of any plan
  double allowance_ = 0;   // the uncut length a plan may leave in checks
  double lowerBound_ = 0;
  std::string note_;
  int nodes_ = 0;
  ExactStats stats_;
};

}  // namespace

bool ExactAvailable() {
  return true;
}

ExactResult SolveExact(const ExactInput& input) {
  Engine engine(input);
  return engine.Solve();
}

BoundResult ExactLowerBound(const ExactInput& input) {
  Engine engine(input);
  return engine.Bound();
}

}  // namespace solver::exact
