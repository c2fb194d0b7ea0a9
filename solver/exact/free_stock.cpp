// Figure 2b of the exact method: with free bars (offcuts kept as stock at
// cost 0) the most free length cut at the cost of the best plan, by an
// integer programme over the pool (every pattern, where they are few) that
// holds the cost at most where it is and cuts exactly the pieces ordered (a
// surplus piece would only make a free bar look used).
#include <algorithm>

#include "engine.h"

namespace solver::exact {

namespace {

constexpr int32_t kFreeStockMipNodes = 500;
// Within the search's limits every pattern within the demand is listed
// when there are at most this many: the programme then holds every plan.
constexpr size_t kEveryPatternLimit = 20000;
constexpr int64_t kEveryPatternNodes = 2000000;
// Entries of the counts that the one-piece patterns of the free bars may
// take (part types x their patterns); beyond it only the pool serves.
constexpr size_t kMostFreePatternCells = 4000000;

}  // namespace

// One piece of each part type on each free stock type, and as many as the
// demand and the bar allow: a free bar that holds one piece is used, which
// the column generation, pricing bars by their cost, has no reason to find.
void Engine::AddFreePatterns() {
  std::vector<int32_t> bars(m_.stock.size(), 0);
  size_t freeTypes = 0;
  for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
    if (!m_.Free(j)) continue;
    bars[j] = m_.stock[j].quantity;
    ++freeTypes;
  }
  AddFrequentPatterns(bars);
  if (freeTypes * m_.parts.size() * m_.parts.size() > kMostFreePatternCells) return;
  std::vector<Column> columns;
  for (int j = 0; j < static_cast<int>(m_.stock.size()) && !Stopped(); ++j) {
    if (!m_.Free(j)) continue;
    for (int i = 0; i < static_cast<int>(m_.parts.size()); ++i) {
      const int32_t most = MostThatFit(m_, m_.stock[j].capacity, Load{}, i, 0, m_.parts[i].demand);
      if (most < 1) continue;
      Column one{j, false, m_.Zero()};
      one.counts[i] = 1;
      columns.push_back(one);
      if (most > 1) {
        one.counts[i] = most;
        columns.push_back(std::move(one));
      }
    }
  }
  master_->AddMany(columns);
}

// Every pattern of every stock type within the demand, when they are few;
// false (and nothing added) when the list would be too long.
bool Engine::AddEveryPattern() {
  std::vector<Column> columns;
  for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
    if (m_.stock[j].quantity < 1) continue;
    PricingTask task = BarTask(m_, j, &watch_);
    task.nodeLimit = kEveryPatternNodes;
    for (const PartType& part : m_.parts) {
      task.bound.push_back(part.demand);
      task.profit.push_back(part.work);
    }
    bool complete = false;
    // Every pattern that holds a piece is worth at least 1.
    const std::vector<Counts> list =
        ListPatterns(task, 1.0, false, kEveryPatternLimit - columns.size(), complete);
    if (!complete || Stopped()) return false;
    for (const Counts& counts : list) {
      if (FitsBar(m_, j, counts)) columns.push_back(Column{j, false, counts});
    }
  }
  master_->AddMany(columns);
  return true;
}

// The most free length any plan could cut: every free bar that can hold
// some piece.
int64_t Engine::MostFreeLength() const {
  int64_t most = 0;
  for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
    if (!m_.Free(j)) continue;
    for (int i = 0; i < static_cast<int>(m_.parts.size()); ++i) {
      if (m_.parts[i].demand > 0 && MostThatFit(m_, m_.stock[j].capacity, Load{}, i, 0, 1) > 0) {
        most += int64_t{m_.stock[j].quantity} * m_.stock[j].length;
        break;
      }
    }
  }
  return most;
}

// The programme does not count the stock types it uses: with a limit on
// them it may use the best plan's priced types (or, with `keepFree`, all
// of its types) and as many free types, longest first, as the limit leaves.
Restriction Engine::FreeStockRestriction(bool keepFree) const {
  Restriction r = master_->Whole();
  if (m_.diffStocks < 1) return r;
  std::vector<bool> allowed(m_.stock.size(), false);
  int32_t types = 0;
  const auto allow = [&](int j) {
    if (!allowed[j]) ++types;
    allowed[j] = true;
  };
  const auto allowUsed = [&](int j) {
    if (keepFree || !m_.Free(j)) allow(j);
  };
  for (const ModelPattern& p : best_.patterns) allowUsed(p.stock);
  if (best_.hasLast) allowUsed(best_.last.stock);
  std::vector<int> free;
  for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
    if (m_.Free(j) && !allowed[j]) free.push_back(j);
  }
  std::stable_sort(free.begin(), free.end(),
                   [&](int a, int b) { return m_.stock[a].length > m_.stock[b].length; });
  for (const int j : free) {
    if (types >= m_.diffStocks) break;
    allow(j);
  }
  for (size_t j = 0; j < m_.stock.size(); ++j) {
    if (allowed[j]) continue;
    r.bars[j] = 0;
    r.regularBars[j] = 0;
  }
  return r;
}

void Engine::MoreFreeStock(double timeShare) {
  if (!m_.preferFree || Stopped() || bestKey_.freeLength >= MostFreeLength()) return;
  for (const ModelPlan* plan : {&best_, &given_}) {
    for (const ModelPattern& p : plan->patterns) master_->Add(Column{p.stock, false, p.counts});
    if (plan->hasLast) master_->Add(Column{plan->last.stock, true, plan->last.counts});
  }
  if (m_.large || !AddEveryPattern()) AddFreePatterns();
  master_->SetMode(Mode::kOptimize);
  // With a limit on stock types: the longest free types beside the best
  // plan's priced ones first, then beside all of its types.
  for (const bool keepFree : {false, true}) {
    if (Stopped() || (keepFree && m_.diffStocks < 1)) break;
    master_->Restrict(FreeStockRestriction(keepFree));
    const int64_t before = bestKey_.freeLength;
    FreeStockProgramme(timeShare);
    if (bestKey_.freeLength > before) break;
  }
  master_->Restrict(master_->Whole());
}

void Engine::FreeStockProgramme(double timeShare) {
  const std::vector<Column>& pool = master_->Pool();

  double freeTotal = 0;
  for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
    if (m_.Free(j)) freeTotal += static_cast<double>(m_.stock[j].quantity) * m_.stock[j].length;
  }
  MipRequest req;
  std::vector<double> cost;
  for (size_t p = 0; p < pool.size(); ++p) {
    const int j = pool[p].stock;
    req.patternCost.push_back(m_.Free(j) ? -static_cast<double>(m_.stock[j].length) : 0.0);
    cost.push_back(master_->ColumnCost(static_cast<int>(p)));
  }
  // A piece left uncut costs more than every free bar could gain.
  for (const PartType& part : m_.parts) req.uncutCost.push_back((freeTotal + 1) * part.length);
  req.rows.emplace_back(std::move(cost), bestKey_.objective + Tolerance(bestKey_.objective));
  req.exactDemand = true;
  req.start.assign(pool.size(), 0.0);
  const auto use = [&](const ModelPattern& p, bool last) {
    const auto at = std::find(pool.begin(), pool.end(), Column{p.stock, last, p.counts});
    if (at != pool.end()) req.start[at - pool.begin()] += p.bars;
  };
  for (const ModelPattern& p : best_.patterns) use(p, false);
  if (best_.hasLast) use(best_.last, true);
  // Only a plan with more free length is wanted.
  req.cutoff = -static_cast<double>(bestKey_.freeLength) - 0.5;
  req.nodeLimit = kFreeStockMipNodes;
  const double left = Remaining();
  req.timeLimitMs = left > 0 ? std::max(1.0, left * timeShare) : 0;
  req.probing = !m_.large;
  req.watch = &watch_;
  const MipOutcome mip = Mip(req);
  if (mip.found) Offer(PlanFrom(mip.x, {}));
}

ExactResult Engine::FreeStockOnly() {
  ExactResult r;
  if (!Prepare(r)) return Finish(r);
  proven_ = false;
  note_ = "only the free bars' share was worked on";
  if (m_.preferFree && !Stopped()) {
    EnterPhase(Phase::kProfiles);
    // The root programme's patterns, at the plans' cost.
    master_->SetMode(Mode::kOptimize);
    master_->Restrict(master_->Whole());
    if (!m_.large) Lp();
    MoreFreeStock(1.0);
  }
  return Finish(r);
}

ExactResult MoreFreeStock(const ExactInput& input) {
  Engine engine(input);
  return engine.FreeStockOnly();
}

}  // namespace solver::exact
