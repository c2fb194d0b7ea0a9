// Figure 2 settled at once: the integer programme over every pattern of
// the whole problem whose reduced cost fits the gap between the root bound
// and the best plan.
#include <algorithm>
#include <cmath>

#include "engine.h"

namespace solver::exact {

// Figure 2 settled at once for the whole problem: an integer programme
// over every pattern whose reduced cost under the root duals fits the gap
// between the root bound and the best plan (the only patterns a better
// plan can use). Pays where the rules keep that list short (pieces or
// different pieces per layout limited) and the profiles between bound and
// plan are many. True when the best plan is then proven optimal in
// figure 2; a better plan it finds is kept either way, and `bound` is
// raised to what the programme's branch and bound proved. The programme
// knows no limit on different stock groups: then it only bounds.
//
// A long list is taken in turns: the first programme, with search
// heuristics, mostly finds a better plan; the gap it leaves is smaller, so
// the next list is shorter and its programme may prove.
bool Engine::SettleWhole(const LpOutcome& root, double& bound) {
  // Under a limit of two pieces or two different pieces per layout every
  // bar is a pair of part types: the list stays short enough for a longer
  // one.
  const bool pairs =
      (m_.maxPieces >= 1 && m_.maxPieces <= 2) || (m_.diffPieces >= 1 && m_.diffPieces <= 2);
  const size_t limit = pairs ? kWholePairListLimit : kWholeListLimit;
  for (int turn = 0; turn < kWholeTurns; ++turn) {
    const double target = bestKey_.objective;
    const double gap = target - root.bound;
    if (gap < 0 || Stopped()) return false;
    // The root duals price the whole problem in the optimizing mode.
    master_->SetMode(Mode::kOptimize);
    master_->Restrict(master_->Whole());
    bool complete = false;
    std::vector<Column> columns = master_->ListColumns(root, gap, limit, complete);
    if (!complete || Stopped()) return false;
    ++stats_.enumerations;
    stats_.enumeratedColumns += static_cast<int32_t>(columns.size());
    const bool heuristics = columns.size() > kWholeListLimit;
    const MipOutcome mip = WholeProgramme(std::move(columns), heuristics,
                                          pairs ? kWholePairTimeShare : kWholeTimeShare);
    const bool integral = !m_.costObjective;
    if (mip.optimal) {
      const double least = mip.found ? mip.objective : target;
      return bestKey_.objective <= least + (integral ? 0.5 : Tolerance(least));
    }
    // No plan below the target uses other patterns: the programme's bound
    // holds for every plan (the target's own plan is there).
    if (std::isfinite(mip.bound)) bound = std::max(bound, std::min(target, mip.bound));
    if (!mip.found || bestKey_.objective >= target) return false;
  }
  return false;
}

MipOutcome Engine::WholeProgramme(std::vector<Column> columns, bool heuristics, double share) {
  const double target = bestKey_.objective;
  // The best plan's own patterns, which need not be maximal, as the start.
  for (const ModelPattern& p : best_.patterns) columns.push_back(Column{p.stock, false, p.counts});
  if (best_.hasLast) columns.push_back(Column{best_.last.stock, true, best_.last.counts});
  Master all(m_, static_cast<int64_t>(allowance_), &watch_);
  all.SetMode(Mode::kOptimize);
  all.Restrict(all.Whole());
  all.AddMany(columns);
  MipRequest req;
  // The heuristics find far better plans when no cutoff (nor a start,
  // which sets one) narrows their search: then plans of any worth count.
  if (!heuristics) {
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
  }
  req.nodeLimit = kWholeMipNodes;
  // A share of the time: when it cannot prove, the better plan it finds
  // shortens the profile search that follows.
  req.timeLimitMs = Remaining() * share;
  // A probing pass over a long list can outlast the stop time (it asks no
  // event handler).
  req.probing = !heuristics;
  req.heuristics = heuristics;
  req.watch = &watch_;
  const MipOutcome mip = Mip(all, req);
  if (mip.found) Offer(PlanFrom(all.Pool(), mip.x, {}));
  return mip;
}

}  // namespace solver::exact
