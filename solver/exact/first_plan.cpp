// Setting up the exact method: the model, the first plan (greedy, or the
// caller's plan when it is better) and the first patterns of the pool.
#include "engine.h"

namespace solver::exact {

namespace {

// Part types up to which the pool starts with one pattern per type.
constexpr size_t kMostSeededTypes = 2000;

}  // namespace

bool Engine::Prepare(ExactResult& r) {
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

// Above the search's limits: per part type one pattern of that type
// alone, as many pieces as fit, on the stock type that carries them at
// the least weight per length.
void Engine::SeedLargePool() {
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

void Engine::SeedPool() {
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

}  // namespace solver::exact
