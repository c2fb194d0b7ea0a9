// Settling one stock profile: its linear programme (rules it out or gives
// the duals of a certificate), rounding, rounding dives, a short branch
// over patterns and integer programmes over the pool or over every pattern
// whose reduced cost fits the gap.
#include <algorithm>
#include <cmath>

#include "engine.h"

namespace solver::exact {

namespace {

// Programmes of the rounding dive above the search's limits.
constexpr int kRoundingDiveSteps = 60;
// The same when one pattern is cut at a time.
constexpr int kGentleDiveSteps = 400;
// Open bars below which the rest goes to the branch over patterns.
constexpr int32_t kBranchRestBars = 100;
// Words of the tables of one rounding's fill at most.
constexpr int64_t kRestFillWork = 4000000;
// What counts of a pattern's bars beyond the whole ones as a fraction.
constexpr double kFractionalPart = 1e-6;

// The rest of a rounding where only the length binds: the programme's
// fractional patterns rounded up, the most used first, while their pieces
// and bars are open, and what is left filled by FillFullest (bars filled
// to the last unit, where first fit decreasing leaves a little waste in
// each, more than a profile at the bound has room for). `whole`: the bars
// of each pattern cut already. True with every piece placed.
bool RoundUpAndFill(const Model& m, const std::vector<Column>& pool, const LpOutcome& lp,
                    const std::vector<int32_t>& whole, std::vector<int32_t> demand,
                    std::vector<int32_t> bars, std::vector<ModelPattern>& rest) {
  std::vector<size_t> fractional;
  for (size_t p = 0; p < lp.x.size(); ++p) {
    if (lp.x[p] - whole[p] > kFractionalPart && !pool[p].last) fractional.push_back(p);
  }
  std::stable_sort(fractional.begin(), fractional.end(),
                   [&](size_t a, size_t b) { return lp.x[a] - whole[a] > lp.x[b] - whole[b]; });
  for (const size_t p : fractional) {
    const Column& c = pool[p];
    bool open = bars[c.stock] >= 1;
    for (size_t i = 0; open && i < demand.size(); ++i) open = c.counts[i] <= demand[i];
    if (!open) continue;
    for (size_t i = 0; i < demand.size(); ++i) demand[i] -= c.counts[i];
    bars[c.stock] -= 1;
    rest.push_back(ModelPattern{c.stock, c.counts, 1});
  }
  int64_t work = kRestFillWork;
  return FillFullest(m, demand, bars, work, rest);
}

}  // namespace

// Whether a plan within r worth at most `target` in `mode` exists, by an
// integer programme over every pattern that such a plan could use: those
// whose reduced cost is within target - bound of the linear programme.
Outcome Engine::Enumerate(const Restriction& r, Mode mode, double target) {
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
  const MipOutcome mip = Mip(all, req);
  if (mip.found) {
    Offer(PlanFrom(all.Pool(), mip.x, {}));
    return Outcome::kFound;
  }
  return mip.optimal ? Outcome::kInfeasible : Outcome::kUnknown;
}

// A plan within the restriction (the uncut allowance kept), or proof
// that none exists. `certify`: the restriction differs from the whole
// problem only in its bar limits, so an infeasible programme's duals
// rule out other profiles as well.
Outcome Engine::Check(const Restriction& r, bool certify, Mode mode, double target,
                      bool poolProgramme) {
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
  // With one stock type the profile of the bound is nearly always the
  // optimum's: the dive finds its plan.
  if (m_.large && m_.stock.size() == 1 && FractionalDive(r) == Outcome::kFound) {
    return Outcome::kFound;
  }
  // With several stock types the branch over patterns finds the plans of
  // a profile it can reach within its nodes (a bar a node) sooner than the
  // rounding dives, which seldom find them there; it runs once.
  bool branched = false;
  const auto branch = [&] {
    branched = true;
    nodes_ = 0;
    return Dive(r, {});
  };
  if (m_.large && m_.stock.size() > 1 && BarsAllowed(r) < kDiveNodeLimit) {
    const Outcome o = branch();
    if (o != Outcome::kUnknown || Stopped()) return o;
  }
  if (m_.large && (RoundingDive(r, false) == Outcome::kFound ||
                   (!Stopped() && RoundingDive(r, true) == Outcome::kFound))) {
    return Outcome::kFound;
  }
  if (Stopped()) return Outcome::kUnknown;
  if (!branched) {
    // A short branch first: it settles most profiles at once.
    nodes_ = kDiveNodeLimit - kQuickDiveNodes;
    const Outcome quick = Dive(r, {});
    if (quick != Outcome::kUnknown || Stopped()) return quick;
  }
  const Outcome listed = Enumerate(r, mode, target);
  if (listed != Outcome::kUnknown || Stopped()) return listed;
  master_->SetMode(Mode::kFeasibility);
  master_->Restrict(r);
  if (!poolProgramme) return branched ? Outcome::kUnknown : branch();
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
  return branched ? Outcome::kUnknown : branch();
}

bool Engine::RoundAndFill(const Restriction& r, const LpOutcome& lp,
                          const std::vector<Column>& fixed, const ModelPlan& base) {
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
  bool filled =
      m_.large && m_.LengthRulesOnly() && RoundUpAndFill(m_, pool, lp, x, demand, bars, rest);
  if (!filled) {
    rest.clear();
    filled = m_.large ? FillByPatterns(m_, demand, bars, rest) : FillGreedy(m_, demand, bars, rest);
  }
  if (!filled) return false;
  ModelPlan raw;
  for (size_t p = 0; p < x.size(); ++p) AddBars(raw, pool[p], x[p]);
  for (const ModelPattern& p : rest) raw.patterns.push_back(p);
  for (const Column& c : fixed) AddBars(raw, c, 1);
  AppendPlan(raw, base);
  // A fill knows no limit on stock groups: only a plan that keeps every
  // rule settles the restriction.
  const ModelPlan plan = NormalizePlan(m_, raw);
  if (!ValidPlan(m_, plan)) return false;
  Offer(plan);
  return true;
}

// Above the search's limits: the linear programme's whole bars are cut
// (or, when it has none, one bar of its largest pattern), and the rest
// planned anew, until nothing is left. Finds plans near the bound in a
// few dozen programmes where a branch bar by bar would need thousands;
// proves nothing.
// With onePattern only the largest pattern's whole bars (at least one)
// are cut each time: more programmes, a gentler rounding.
Outcome Engine::RoundingDive(Restriction r, bool onePattern) {
  ModelPlan plan;
  const int steps = onePattern ? kGentleDiveSteps : kRoundingDiveSteps;
  bool branched = false;
  for (int step = 0; step < steps && !Stopped(); ++step) {
    if (!branched && step > 0 && BarsAllowed(r) < kBranchRestBars) {
      // The rest is small enough for the branch over patterns, which can
      // step back where the rounding cannot (the whole profile has its own
      // branch in Check).
      branched = true;
      nodes_ = 0;
      if (Dive(r, {}, plan) == Outcome::kFound) {
        master_->Restrict(master_->Whole());
        return Outcome::kFound;
      }
    }
    master_->Restrict(r);
    const LpOutcome lp = Lp();
    if (!lp.solved || lp.bound > allowance_ + 1e-6) break;
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
    for (const auto& [p, bars] : cut) FixPattern(r, plan, p, bars);
    const bool done =
        integral || std::all_of(r.demand.begin(), r.demand.end(), [](int32_t d) { return d == 0; });
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
// (first branch), or the pattern is forbidden (second branch); above the
// search's limits the programme's whole bars are cut first, in a child of
// their own.
Outcome Engine::Dive(const Restriction& r, const std::vector<Column>& fixed,
                     const ModelPlan& base) {
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
    ModelPlan plan = PlanFrom(x, fixed);
    AppendPlan(plan, base);
    Offer(NormalizePlan(m_, plan));
    return Outcome::kFound;
  }
  if (pick < 0) return Outcome::kUnknown;
  // Above the search's limits a programme with nothing left uncut is
  // rounded at every node: its solutions are many, spread thin over the
  // patterns, and the bar-by-bar branch would need a node for each bar.
  if (m_.large && RoundAndFill(r, lp, fixed, base)) return Outcome::kFound;
  // Above the search's limits the programme's whole bars are tried at
  // once before one bar at a time: its solution stays feasible without
  // them, and a profile of hundreds of bars would take as many nodes.
  if (m_.large && DiveWholeBars(r, fixed, base, lp) == Outcome::kFound) return Outcome::kFound;

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
  ClampForbidden(use);
  std::vector<Column> withChosen = fixed;
  withChosen.push_back(chosen);
  const Outcome first = Dive(use, withChosen, base);
  if (first == Outcome::kFound) return first;
  Restriction avoid = r;
  avoid.forbidden.push_back(chosen);
  const Outcome second = Dive(avoid, fixed, base);
  if (second == Outcome::kFound) return second;
  return first == Outcome::kInfeasible && second == Outcome::kInfeasible ? Outcome::kInfeasible
                                                                         : Outcome::kUnknown;
}

Outcome Engine::DiveWholeBars(const Restriction& r, const std::vector<Column>& fixed,
                              const ModelPlan& base, const LpOutcome& lp) {
  Restriction use = r;
  ModelPlan plan = base;
  int32_t cut = 0;
  for (size_t p = 0; p < lp.x.size(); ++p) {
    const int32_t whole = static_cast<int32_t>(std::floor(lp.x[p] + 1e-6));
    if (whole >= 1 && FixPattern(use, plan, static_cast<int>(p), whole)) cut += whole;
  }
  // One bar is what the branch below cuts anyway.
  if (cut < 2) return Outcome::kUnknown;
  ClampForbidden(use);
  return Dive(use, fixed, plan);
}

}  // namespace solver::exact
