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
// figure 2; a better plan it finds is kept either way. The programme
// knows no limit on different stock groups: then it only bounds.
bool Engine::SettleWhole(const LpOutcome& root) {
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
  for (const ModelPattern& p : best_.patterns) columns.push_back(Column{p.stock, false, p.counts});
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

}  // namespace solver::exact
