// The exact method: a quick plan to start from, column generation for the
// lower bound, then a search over stock profiles (how many bars of each
// stock type, and the last bar's type) in the order of their bound. Each
// profile is ruled out by its linear programme (or the duals of an earlier
// one), or settled by rounding, a short branch over patterns, or an integer
// programme over every pattern whose reduced cost fits the gap; the first
// profile that holds a plan gives the optimum.
//
// The engine is one object whose member functions are defined by stage:
// engine.cpp (the run, progress, result), first_plan.cpp, most_cut.cpp
// (figure 1), profiles.cpp, profile_check.cpp, whole_problem.cpp and
// candidate_search.cpp (figure 2), free_stock.cpp (figure 2b),
// layout_reduction.cpp (figure 4).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exact.h"
#include "integer.h"
#include "master.h"
#include "model.h"
#include "pricing.h"
#include "solver_services.h"
#include "watch.h"

namespace solver::exact {

constexpr size_t kProfileWindowLimit = 20000;
constexpr int kDiveNodeLimit = 400;
constexpr int kQuickDiveNodes = 40;
constexpr size_t kListLimit = 20000;
// Branch-and-bound nodes of one integer programme: over every pattern in
// the gap, over the generated patterns, and for fewer layouts.
constexpr int32_t kEnumerationMipNodes = 20000;
constexpr int32_t kPoolMipNodes = 300;
constexpr int32_t kLayoutMipNodes = 1000;
// Under a limit on pieces or different pieces per layout, the integer
// programme over every pattern in the gap of the whole problem: tried first
// from this many stock types on when the rules leave few patterns, else
// after this many stock profiles; the
// most patterns it takes, its nodes and its share of the time left.
constexpr size_t kManyStockTypes = 4;
constexpr int32_t kProfilesBeforeWhole = 64;
constexpr size_t kWholeListLimit = 3000;
// The same under two pieces or two different pieces per layout, where the
// list is taken in turns (the first with search heuristics).
constexpr size_t kWholePairListLimit = 8000;
constexpr int kWholeTurns = 3;
constexpr double kWholePairTimeShare = 0.3;
constexpr int32_t kWholeMipNodes = 2000;
constexpr double kWholeTimeShare = 0.15;
// Share of the time left for the free bars' programme after the search:
// figure 2 is settled, and this one only tells apart plans of equal cost.
constexpr double kFreeStockTimeShare = 0.1;
// Default interval of the progress callback.
constexpr double kProgressIntervalMs = 100;
// Choices of stock types (with a limit on different stock groups) that the
// search for the most length cut tries one by one; beyond it the search
// runs on every type at once and the most length cut stays unproven.
constexpr size_t kMostTypeChoices = 64;
// Most objective levels that the least profile objective is tabulated over.
constexpr int64_t kProfileLevelLimit = int64_t{1} << 20;
// Nodes of one listing of profiles above the search's limits at most.
constexpr int64_t kListVisitLimit = 4000000;
// Profiles of the bound's level checked when they are too many to list:
// how many, how far each stock type's bars may be from the root
// programme's (doubled up to the most while the level has none that near),
// and the nodes of the search for them.
constexpr size_t kNearProfiles = 8;
constexpr int32_t kNearBarsAround = 2;
constexpr int32_t kNearBarsAroundMost = 16;
constexpr int64_t kNearVisitLimit = 2000000;

// The objectives some bars can sum to, as a bit set, with the number of
// set bits before each word (so that a range is asked at once).
struct ReachSet {
  std::vector<uint64_t> bits;
  std::vector<int64_t> before;
};

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

  ExactResult Solve();

  BoundResult Bound();

  // Figure 2b alone, on the caller's plan (free_stock.cpp).
  ExactResult FreeStockOnly();

 private:
  // ---- Setting up (first_plan.cpp) ----

  bool Prepare(ExactResult& r);

  int64_t Uncut(const PlanKey& key) const { return key.uncut - m_.unfitLength; }

  // Above the search's limits: per part type one pattern of that type
  // alone, as many pieces as fit, on the stock type that carries them at
  // the least weight per length.
  void SeedLargePool();

  void SeedPool();

  // ---- Time ----

  bool Stopped() const { return watch_.Stop(); }

  // Time left for one integer programme: what the caller's limit leaves
  // (0 = no limit).
  double Remaining() const { return watch_.Remaining(); }

  // ---- Progress (engine.cpp) ----

  void EnterPhase(Phase phase);

  // Tells the caller how far the method has got; true when it asks to stop.
  bool Report();

  LpOutcome Lp();

  MipOutcome Mip(const MipRequest& req);

  // The same over another master's pool (counted and timed alike).
  MipOutcome Mip(const Master& master, const MipRequest& req);

  // ---- Plans (engine.cpp) ----

  void Offer(const ModelPlan& plan);

  ModelPlan PlanFrom(const std::vector<int32_t>& x, const std::vector<Column>& fixed) const;

  ModelPlan PlanFrom(const std::vector<Column>& pool, const std::vector<int32_t>& x,
                     const std::vector<Column>& fixed) const;

  // ---- Figure 1: the most length cut (most_cut.cpp) ----

  // Bar limits of the stock types a plan may use: every type, or with a
  // limit on different stock groups each choice of that many types.
  // Empty when there are more than kMostTypeChoices choices.
  std::vector<std::vector<int32_t>> TypeChoices() const;

  // Fewer uncut pieces, until no choice of stock types allows less.
  void Stage1();

  // ---- Figure 2: candidates in the order of their bound (profiles.cpp,
  // profile_check.cpp, whole_problem.cpp, candidate_search.cpp) ----
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
  static bool After(const Candidate& a, const Candidate& b);

  int64_t Weight(int j) const { return static_cast<int64_t>(m_.BarWeight(j)); }

  double LastRate(int j) const;

  bool LastAllowed(const std::vector<int32_t>& bars, int j) const;

  // What the bars must hold: working length and pieces, less what the
  // uncut allowance may leave.
  void Needed(double& work, double& pieces) const;

  // Regular profiles with lo <= objective <= hi that could hold the pieces
  // with `extra` working length more (the last bar), pruned by capacity,
  // pieces per layout, different stock groups and, without `extra`, the
  // stored certificates.
  // `enough` > 0: the listing ends after that many profiles.
  // `visitLimit` > 0: the listing ends (truncated) after about that many
  // nodes.
  std::vector<Profile> ProfilesIn(int64_t lo, int64_t hi, double extra, bool& truncated,
                                  size_t enough = 0, int64_t visitLimit = 0) const;

  // The greatest common divisor of the weights of the stock types there are
  // bars of (0 when every bar is free): every profile objective is a
  // multiple of it.
  int64_t ObjectiveUnit() const;

  // Every stock type, free ones first, then the most capacity per weight
  // first (ties in input order).
  std::vector<int> ByCapacityPerWeight() const;

  // The least objective of bars whose capacity holds the pieces' working
  // length, bars taken in parts: a bound below every profile's.
  double CapacityBound() const;

  // Up to `count` profiles of objective `level` that could hold the pieces,
  // those with the most bars of the stock types of most capacity per
  // weight first (free bars all taken). Empty when the levels are too many
  // to tabulate.
  std::vector<std::vector<int32_t>> CapaciousProfiles(int64_t level, size_t count) const;

  int32_t BarOrder(int32_t bars) const;

  // The objectives the bars of stock types j.. can sum to, per j, as bit
  // sets (computed once); empty when they would be too large.
  const std::vector<ReachSet>& ReachableSums() const;

  // The smallest profile objective at or above `bound`.
  int64_t SmallestProfileFrom(double bound) const;

  // The same above the search's limits without a limit on stock groups,
  // from lo (a multiple of `unit`, the weights' common divisor) up to the
  // best plan: the least objective whose profiles can have the capacity
  // and, with a limit on pieces per layout, the bars that the pieces need
  // (certificates aside, so it may lie below the listing's). False when
  // the objectives are too many to tabulate. `total`: the objective of
  // every bar there is.
  bool SmallestLevelFrom(int64_t lo, int64_t unit, int64_t total, int64_t& least) const;

  Restriction RestrictionFor(const Candidate& c) const;

  // Whether a stored certificate rules out a profile of regular bars.
  bool Refuted(const std::vector<int32_t>& bars) const;

  // The duals of an infeasible profile's programme as a certificate. The
  // pricing covered only the stock types the profile uses; for the others
  // the per-bar dual is lowered until no pattern of that type prices out,
  // which keeps the duals feasible for every profile.
  void StoreCertificate(const LpOutcome& lp, const Restriction& r);

  // Whether a plan within r worth at most `target` in `mode` exists, by an
  // integer programme over every pattern that such a plan could use: those
  // whose reduced cost is within target - bound of the linear programme.
  Outcome Enumerate(const Restriction& r, Mode mode, double target);

  // A plan within the restriction (the uncut allowance kept), or proof
  // that none exists. `certify`: the restriction differs from the whole
  // problem only in its bar limits, so an infeasible programme's duals
  // rule out other profiles as well.
  // `poolProgramme`: an integer programme over the generated patterns
  // before the last, long branch (it seldom pays on large profiles).
  Outcome Check(const Restriction& r, bool certify, Mode mode, double target,
                bool poolProgramme = true);

  // The linear programme's whole bars, the rest filled (above the search's
  // limits under no bar rule but the length by FillFullest, else or when
  // that fails first fit decreasing); with `fixed` (a bar each) and `base`
  // cut already. True with the plan offered when every piece is placed.
  bool RoundAndFill(const Restriction& r, const LpOutcome& lp,
                    const std::vector<Column>& fixed = {}, const ModelPlan& base = ModelPlan{});

  // Above the search's limits: the linear programme's whole bars are cut
  // (or, when it has none, one bar of its largest pattern), and the rest
  // planned anew, until nothing is left. Finds plans near the bound in a
  // few dozen programmes where a branch bar by bar would need thousands;
  // proves nothing. Runs in the feasibility mode, where the programme's
  // value is the uncut length (in the optimizing mode it would stop at
  // once).
  // With onePattern only the largest pattern's whole bars (at least one)
  // are cut each time: more programmes, a gentler rounding.
  Outcome RoundingDive(Restriction r, bool onePattern);

  // Above the search's limits: the diving heuristic (dive.cpp). Whole bars
  // of the linear programme are cut, least waste first (one bar of the
  // pattern nearest to one when none is whole), and the rest planned anew
  // with new patterns, until few bars are open; the rest is filled by
  // corrected prices or an integer programme, with bars fixed last given
  // back when both fail. Proves nothing; leaves the master's mode as it
  // found it.
  Outcome FractionalDive(const Restriction& start);

  // Cuts `bars` bars of pool column p, as far as the open demand needs its
  // pieces (pieces beyond it dropped, bars beyond it not cut), from r into
  // the plan; false when that would cut nothing.
  bool FixPattern(Restriction& r, ModelPlan& plan, int p, int32_t bars) const;

  // The working length a bar of column c leaves unused once its pieces are
  // cut down to the open demand.
  int64_t Waste(const Column& c, const std::vector<int32_t>& demand) const;

  // Gives up to `bars` regular bars of the plan back to r, the last fixed
  // first; returns how many it gave back.
  int32_t Release(Restriction& r, ModelPlan& plan, int32_t bars) const;

  // The rest of a dive by sequential value correction: bars filled one
  // pattern at a time by the pieces' prices, each round raising the price
  // of pieces that ended on bars with waste; true with the plan of the
  // rest in `out` when it fits the rest's bars. Regular bars only.
  bool CorrectedFill(const Restriction& r, ModelPlan& out) const;

  // The rest of a dive (r, with `fixed` cut already) by an integer
  // programme over every pattern whose reduced cost under the duals of the
  // least stock fits the rest's bars: kFound with the whole plan offered,
  // kInfeasible when the rest has no plan, kUnknown when the patterns are
  // too many or the programme too long. Regular bars only; changes the
  // master's mode.
  Outcome SettleRest(const Restriction& r, const ModelPlan& fixed);

  // Depth-first branch over patterns: one bar of the chosen pattern is cut
  // (first branch), or the pattern is forbidden (second branch); above the
  // search's limits DiveWholeBars comes first.
  // `base`: bars cut before the branch, part of every plan it finds.
  Outcome Dive(const Restriction& r, const std::vector<Column>& fixed,
               const ModelPlan& base = ModelPlan{});

  // The child of a branch node that cuts every whole bar of the node's
  // programme at once (kUnknown without trying when that is under two
  // bars). It is tried before the node's own branches and proves nothing:
  // they still decide when it finds no plan.
  Outcome DiveWholeBars(const Restriction& r, const std::vector<Column>& fixed,
                        const ModelPlan& base, const LpOutcome& lp);

  // The least working length above `load` that a last bar of type j can
  // carry; load + 1 when the search for it runs too long.
  int64_t NextLoad(int j, int64_t load) const;

  // The least objective a plan can have at or above a bound: whole
  // lengths in material mode.
  double RoundedUp(double bound) const;

  static double Tolerance(double objective) { return 1e-9 * std::max(1.0, std::fabs(objective)); }

  bool BeforeBest(const Candidate& c) const;

  void Push(std::vector<Candidate>& heap, Candidate c);

  // Adds the candidates whose regular bars cost lo..hi; false when there
  // were too many to list.
  bool AddWindow(std::vector<Candidate>& heap, int64_t lo, int64_t& hi);

  // Above the search's limits: the few profiles of objective `level`
  // nearest to the root programme's use of each stock type are checked
  // (without the integer programme over the pool), before the walk over
  // the bound's profiles and at a level whose profiles are too many to
  // list. A plan found there meets the level. True when one was found.
  bool CheckNearProfiles(const LpOutcome& root, int64_t level);

  // When the profiles of `level` are too many to list and none of the
  // nearest held a plan: the nearest profiles of each level above it and
  // below the best plan, lowest first, until one holds a plan. It is not
  // proven, but it uses less stock.
  void CheckLevelsAbove(const LpOutcome& root, int64_t level);

  // Figure 2 settled at once for the whole problem: an integer programme
  // over every pattern whose reduced cost under the root duals fits the gap
  // between the root bound and the best plan (the only patterns a better
  // plan can use). Pays where the rules keep that list short (pieces or
  // different pieces per layout limited) and the profiles between bound and
  // plan are many. True when the best plan is then proven optimal in
  // figure 2; a better plan it finds is kept either way. The programme
  // knows no limit on different stock groups: then it only bounds.
  // `bound` is raised to the least objective the programme leaves open.
  bool SettleWhole(const LpOutcome& root, double& bound);

  // The integer programme over `columns` and the best plan's patterns,
  // cut off at the best plan (with heuristics: not cut off), within a
  // share of the time left; a better plan it finds is offered.
  MipOutcome WholeProgramme(std::vector<Column> columns, bool heuristics, double share);

  // Above the search's limits, with no bar rule beyond the length: the
  // profiles of the least objective that holds the pieces' length filled
  // by FillFullest. No plan costs less than that level, so a plan found
  // there is optimal without any linear programme: true then. Else the
  // fills' patterns, most of them full to the last unit, join the pool:
  // they are what the first column generation looks for, which then takes
  // about half the rounds.
  bool PlanAtCapacityLevel();

  // The first programme over the whole problem (its duals price the
  // search), and above the search's limits the plans rounded from it.
  LpOutcome RootProgramme();

  // The bound of figure 2 from the root programme: the least profile
  // objective at or above its bound (or, when the last bar is ignored, the
  // bound in whole lengths); lo is set to the least objective of regular
  // bars the search must list.
  double GlobalBound(const LpOutcome& root, int64_t& lo) const;

  // Examines the candidate taken from the heap: a profile ruled out by a
  // certificate, settled by Check, or (with a last bar) its bound raised to
  // the least load the last bar can carry and pushed back. open: the least
  // bound left undecided.
  void ExamineCandidate(std::vector<Candidate>& heap, Candidate c, double& open);

  void CandidateSearch();

  // The epilogue of the search: the lower bound it leaves (the global
  // bound, raised to the least bound of a candidate not settled: left
  // undecided, or not reached when the search stopped) and whether the best
  // plan stays proven. `lo`: the least objective of the profiles not yet
  // listed; `settled`: the whole problem's programme proved the best plan.
  // Leaves the master on the whole problem.
  void CloseCandidateSearch(double globalBound, int64_t lo, const std::vector<Candidate>& heap,
                            double open, bool stopped, bool settled);

  // ---- Figure 2b: more free stock (free_stock.cpp) ----

  // Patterns of one piece type on each free stock type, and the fullest
  // ones within the demand.
  void AddFreePatterns();

  // Every pattern of every stock type within the demand, when they are few.
  bool AddEveryPattern();

  // The most free length any plan could cut.
  int64_t MostFreeLength() const;

  // The whole problem, or with a limit on different stock groups only the
  // best plan's priced types (all its types with keepFree) and the free
  // types that the limit leaves room for.
  Restriction FreeStockRestriction(bool keepFree) const;

  // The integer programme of figure 2b over the pool, within the master's
  // restriction.
  void FreeStockProgramme(double timeShare);

  // With free bars: the most free length at the cost of the best plan, the
  // integer programme taking at most `timeShare` of the time left.
  void MoreFreeStock(double timeShare);

  // ---- Figure 4: fewer layouts (layout_reduction.cpp) ----

  // Patterns that can be cut often: for each stock type the plan uses and
  // each number of bars f it has of that type, the fullest bar whose pieces
  // are at most a share 1/f of the demand. A plan of few layouts is made of
  // such patterns; the column generation seldom finds them, since it
  // prices bars, not layouts.
  void AddFrequentPatterns(const std::vector<int32_t>& bars);

  void ReduceLayouts();

  // ---- Result (engine.cpp) ----

  // An objective or bound of the model as the caller measures plans.
  double ToCaller(double v) const {
    if (m_.everyPlanFree) return 0;
    return m_.costObjective ? v : v * m_.unit;
  }

  ExactResult Finish(ExactResult& r);

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
  mutable std::vector<ReachSet> reach_;
  mutable bool reachDone_ = false;
};

}  // namespace solver::exact
