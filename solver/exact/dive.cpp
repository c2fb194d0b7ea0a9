// The diving heuristic over the column generation, with a repair of the
// rest: the linear programme's whole bars are cut, patterns of least waste
// first, and the rest planned anew (with new patterns) each time, until few
// bars are left open or the rest has no fractional plan. The rest is then
// filled by sequential value correction, or, when its bars must be filled
// exactly (no waste to share out, where corrected prices fail), by an
// integer programme over every pattern it can use; when neither finds a
// plan, the bars fixed last go back to the rest and it is tried again. A
// profile whose bound is tight is almost always settled so, long before a
// branch over patterns would be.
#include <algorithm>
#include <cmath>

#include "engine.h"

namespace solver::exact {

namespace {

// Linear programmes of one dive at most.
constexpr int kDiveProgrammes = 800;
// The rest is filled by corrected prices once this few bars are open.
constexpr int32_t kRestBars = 24;
// Attempts of the repair: each gives back as many bars again as the rest
// had (at least kRestBars more).
constexpr int kRepairs = 4;
constexpr double kWhole = 1e-6;
// Rounds of the corrected prices, and nodes of one bar's search.
constexpr int kFillRounds = 30;
constexpr int64_t kFillNodes = 20000;
// Work of one fill at most (table cells), the largest table for one bar,
// and what a node of the branch and bound counts.
constexpr int64_t kFillWork = 8000000;
constexpr int64_t kFillTableCells = 400000;
constexpr int64_t kNodeCells = 8;
// Patterns of the integer programme over the rest at most, and its nodes.
constexpr size_t kRestColumns = 3000;
constexpr int32_t kRestMipNodes = 2000;
// The integer programme over the rest only when its gap is below this share
// of the lightest bar.
constexpr double kRestGapShare = 0.01;

}  // namespace

int64_t Engine::Waste(const Column& c, const std::vector<int32_t>& demand) const {
  Counts counts = c.counts;
  for (size_t i = 0; i < counts.size(); ++i) counts[i] = std::min(counts[i], demand[i]);
  return m_.stock[c.stock].capacity - LoadOf(m_, counts).work;
}

bool Engine::FixPattern(Restriction& r, ModelPlan& plan, int p, int32_t bars) const {
  Column c = master_->Pool()[static_cast<size_t>(p)];
  bool useful = false;
  for (size_t i = 0; i < m_.parts.size(); ++i) {
    c.counts[i] = std::min(c.counts[i], r.demand[i]);
    useful = useful || c.counts[i] > 0;
  }
  // No more bars than the open demand needs: a piece counted twice would
  // leave the demand below zero and every later programme infeasible.
  for (size_t i = 0; i < m_.parts.size(); ++i) {
    if (c.counts[i] > 0) bars = std::min(bars, r.demand[i] / c.counts[i]);
  }
  if (!useful || bars < 1 || r.bars[c.stock] < bars) return false;
  if (c.last ? !r.lastOpen || bars != 1 : r.regularBars[c.stock] < bars) return false;
  for (size_t i = 0; i < m_.parts.size(); ++i) r.demand[i] -= bars * c.counts[i];
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
  return true;
}

// Gives up to `bars` regular bars of the plan back to the restriction, the
// last fixed first; the number given back.
int32_t Engine::Release(Restriction& r, ModelPlan& plan, int32_t bars) const {
  int32_t given = 0;
  while (given < bars && !plan.patterns.empty()) {
    ModelPattern& p = plan.patterns.back();
    const int32_t take = std::min(p.bars, bars - given);
    for (size_t i = 0; i < m_.parts.size(); ++i) r.demand[i] += take * p.counts[i];
    r.bars[p.stock] += take;
    r.regularBars[p.stock] += take;
    r.regularFixed -= take;
    given += take;
    p.bars -= take;
    if (p.bars == 0) plan.patterns.pop_back();
  }
  return given;
}

Outcome Engine::SettleRest(const Restriction& r, const ModelPlan& fixed) {
  if (r.lastOpen) return Outcome::kUnknown;
  // The duals of the least stock for the rest price the patterns: in the
  // programme of the least uncut length nearly every pattern costs nothing.
  double target = 0;
  for (size_t j = 0; j < r.regularBars.size(); ++j) {
    target += m_.BarWeight(static_cast<int>(j)) * r.regularBars[j];
  }
  master_->SetMode(Mode::kOptimize);
  master_->Restrict(r);
  const LpOutcome lp = Lp();
  if (!lp.solved || !lp.converged || lp.artificial > 1e-7) return Outcome::kUnknown;
  const double gap = target - lp.bound;
  if (gap < -1e-6 * std::max(1.0, target)) return Outcome::kInfeasible;
  // A wide gap lets in more patterns than are worth listing.
  double lightest = m_.BarWeight(0);
  for (int j = 1; j < static_cast<int>(m_.stock.size()); ++j) {
    lightest = std::min(lightest, m_.BarWeight(j));
  }
  if (gap > kRestGapShare * lightest) return Outcome::kUnknown;
  bool complete = false;
  const std::vector<Column> columns =
      master_->ListColumns(lp, std::max(gap, 0.0), kRestColumns, complete);
  if (!complete || Stopped()) return Outcome::kUnknown;
  Master rest(m_, static_cast<int64_t>(allowance_), &watch_);
  rest.SetMode(Mode::kFeasibility);
  rest.Restrict(r);
  rest.AddMany(columns);
  MipRequest req;
  req.cutoff = std::floor(allowance_ + 1e-6) + 0.5;
  req.nodeLimit = kRestMipNodes;
  req.timeLimitMs = Remaining();
  req.probing = false;
  req.strongBranching = false;
  req.watch = &watch_;
  const MipOutcome mip = Mip(rest, req);
  if (!mip.found) return mip.optimal ? Outcome::kInfeasible : Outcome::kUnknown;
  ModelPlan plan = fixed;
  AppendPlan(plan, PlanFrom(rest.Pool(), mip.x, {}));
  Offer(NormalizePlan(m_, plan));
  return Outcome::kFound;
}

bool Engine::CorrectedFill(const Restriction& r, ModelPlan& out) const {
  if (r.lastOpen) return false;
  const size_t n = m_.parts.size();
  std::vector<double> price(n);
  for (size_t i = 0; i < n; ++i) price[i] = m_.parts[i].work;
  // Work of the bars' searches: table cells, or nodes of the branch and
  // bound (each counted as a few cells).
  int64_t work = 0;
  for (int round = 0; round < kFillRounds && work < kFillWork && !Stopped(); ++round) {
    std::vector<int32_t> demand = r.demand, bars = r.regularBars;
    ModelPlan plan;
    bool placed = true;
    while (std::any_of(demand.begin(), demand.end(), [](int32_t d) { return d > 0; })) {
      // The fullest bar by the corrected prices, on the stock type that
      // gives the most per weight.
      int best = -1;
      double bestRate = 0;
      PricingResult pattern;
      for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
        if (bars[j] < 1) continue;
        PricingTask task = BarTask(m_, j, &watch_);
        task.bound = demand;
        task.profit = price;
        task.nodeLimit = kFillNodes;
        int64_t open = 0;
        for (int32_t d : demand) open += d > 0 ? 1 : 0;
        const int64_t cells = open * task.capacity;
        const bool table = cells <= kFillTableCells && TableApplies(task);
        PricingResult found = table ? PriceByTable({task}, 0).front() : PriceBestPattern(task);
        work += table ? cells : found.nodes * kNodeCells;
        if (!found.found) continue;
        const double rate = found.value / std::max(1.0, m_.BarWeight(j));
        if (best < 0 || rate > bestRate) {
          best = j;
          bestRate = rate;
          pattern = std::move(found);
        }
      }
      if (best < 0) {
        placed = false;
        break;
      }
      // Cut as often as the demand of its pieces allows.
      int32_t times = bars[best];
      int64_t load = 0;
      for (size_t i = 0; i < n; ++i) {
        if (pattern.counts[i] < 1) continue;
        times = std::min(times, std::max(1, demand[i] / pattern.counts[i]));
        load += static_cast<int64_t>(pattern.counts[i]) * m_.parts[i].work;
      }
      for (size_t i = 0; i < n; ++i) {
        if (pattern.counts[i] < 1) continue;
        // A piece on a bar that leaves waste is worth more next round.
        const double share = std::min(
            1.0, static_cast<double>(times) * pattern.counts[i] / std::max(1, r.demand[i]));
        const double fair = static_cast<double>(m_.parts[i].work) * m_.stock[best].capacity /
                            std::max<int64_t>(1, load);
        price[i] = (1 - share) * price[i] + share * fair;
        pattern.counts[i] = std::min(pattern.counts[i], demand[i]);
        demand[i] -= times * pattern.counts[i];
        demand[i] = std::max(0, demand[i]);
      }
      bars[best] -= times;
      plan.patterns.push_back(ModelPattern{best, pattern.counts, times});
    }
    if (placed) {
      out = std::move(plan);
      return true;
    }
  }
  return false;
}

Outcome Engine::FractionalDive(const Restriction& start) {
  const Mode before = master_->CurrentMode();
  master_->SetMode(Mode::kFeasibility);
  Restriction r = start;
  ModelPlan plan;
  const auto openBars = [&] {
    int32_t n = 0;
    for (int32_t b : r.regularBars) n += b;
    return n;
  };
  bool integral = false;
  for (int programmes = 0; programmes < kDiveProgrammes && !Stopped(); ++programmes) {
    if (openBars() <= kRestBars) break;
    master_->Restrict(r);
    const LpOutcome lp = Lp();
    if (!lp.solved || lp.bound > allowance_ + 1e-6) break;
    integral = true;
    for (double v : lp.x) integral = integral && std::fabs(v - std::round(v)) <= kWhole;
    for (double v : lp.slack) integral = integral && std::fabs(v - std::round(v)) <= kWhole;
    if (integral) {
      // What the programme leaves uncut stays uncut, within the allowance.
      for (size_t p = 0; p < lp.x.size(); ++p) {
        FixPattern(r, plan, static_cast<int>(p), static_cast<int32_t>(std::lround(lp.x[p])));
      }
      break;
    }
    // The whole bars, patterns of least waste first, as long as more than
    // the rest's bars stay open; without whole bars, one bar of the
    // pattern nearest to one.
    std::vector<int> whole;
    for (size_t p = 0; p < lp.x.size(); ++p) {
      if (lp.x[p] >= 1 - kWhole) whole.push_back(static_cast<int>(p));
    }
    std::vector<int64_t> waste(lp.x.size(), 0);
    for (int p : whole) waste[p] = Waste(master_->Pool()[p], r.demand);
    std::stable_sort(whole.begin(), whole.end(), [&](int a, int b) {
      return waste[a] != waste[b] ? waste[a] < waste[b] : lp.x[a] > lp.x[b];
    });
    bool fixed = false;
    for (int p : whole) {
      const int32_t room = openBars() - kRestBars;
      if (room < 1) break;
      const auto bars = std::min(room, static_cast<int32_t>(std::floor(lp.x[p] + kWhole)));
      fixed = FixPattern(r, plan, p, bars) || fixed;
    }
    if (fixed) continue;
    int pick = -1;
    for (size_t p = 0; p < lp.x.size(); ++p) {
      if (lp.x[p] > kWhole && (pick < 0 || lp.x[p] > lp.x[pick] + kWhole)) {
        pick = static_cast<int>(p);
      }
    }
    if (pick < 0 || !FixPattern(r, plan, pick, 1)) break;
  }
  Outcome o = Outcome::kUnknown;
  const bool done = std::all_of(r.demand.begin(), r.demand.end(), [](int32_t d) { return d == 0; });
  if (integral || done) {
    Offer(NormalizePlan(m_, plan));
    o = Outcome::kFound;
  }
  // The rest by an integer programme or corrected prices; when neither
  // finds a plan, the bars fixed last go back to it.
  bool listing = true;
  for (int repair = 0; repair < kRepairs && o == Outcome::kUnknown && !Stopped(); ++repair) {
    // Where the rest's bars must be filled exactly (no waste to share out,
    // which defeats corrected prices), an integer programme over every
    // pattern the rest can use, while they are few.
    if (listing) {
      o = SettleRest(r, plan);
      if (o == Outcome::kFound) break;
      listing = o == Outcome::kInfeasible;
      o = Outcome::kUnknown;
    }
    ModelPlan rest;
    if (CorrectedFill(r, rest)) {
      ModelPlan whole = plan;
      for (const ModelPattern& p : rest.patterns) whole.patterns.push_back(p);
      Offer(NormalizePlan(m_, whole));
      o = Outcome::kFound;
      break;
    }
    if (Release(r, plan, std::max(kRestBars, openBars())) == 0) break;
  }
  master_->SetMode(before);
  master_->Restrict(master_->Whole());
  return o == Outcome::kFound ? o : Outcome::kUnknown;
}

}  // namespace solver::exact
