// Figure 4 of the exact method: fewer layouts for the bars of the best
// plan, by an integer programme that counts layouts over the pool and the
// patterns that can be cut often.
#include <algorithm>

#include "engine.h"

namespace solver::exact {

namespace {

// Numbers of bars per stock type for which the layout reduction adds a
// pattern that can be cut so often, and the nodes of each search.
constexpr int32_t kMostFrequencies = 40;
constexpr int64_t kFrequentPatternNodes = 20000;

}  // namespace

// Patterns that can be cut often: for each stock type the plan uses and
// each number of bars f it has of that type, the fullest bar whose pieces
// are at most a share 1/f of the demand. A plan of few layouts is made of
// such patterns; the column generation seldom finds them, since it
// prices bars, not layouts.
void Engine::AddFrequentPatterns(const std::vector<int32_t>& bars) {
  const Restriction whole = master_->Whole();
  std::vector<Column> columns;
  for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
    const int32_t most = std::min(bars[j], kMostFrequencies);
    for (int32_t f = 1; f <= most && !Stopped(); ++f) {
      PricingTask task = BarTask(m_, j, &watch_);
      task.nodeLimit = kFrequentPatternNodes;
      bool any = false;
      for (size_t i = 0; i < m_.parts.size(); ++i) {
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

void Engine::ReduceLayouts() {
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

}  // namespace solver::exact
