#include "master.h"

#include <ClpSimplex.hpp>
#include <algorithm>
#include <cmath>

#include "clp_stop.h"
#include "pricing.h"
#include "solver_services.h"

namespace solver::exact {
namespace {

const double kInfinity = COIN_DBL_MAX;
constexpr int kMaxRounds = 2000;
constexpr int kMaxPenaltyRaises = 3;
constexpr double kPenaltyCeiling = 1e6;
// CLP's start and finish options between the solves of one master: keep
// the work areas and the factorization (1), and reuse the factorization
// while the rows are the same (2).
constexpr int kKeepFactorization = 1 | 2;

}  // namespace

Master::Master(const Model& model, int64_t uncutAllowance, const Watch* watch)
    : model_(model),
      watch_(watch),
      lp_(std::make_unique<ClpSimplex>()),
      uncutAllowance_(uncutAllowance) {
  const int n = static_cast<int>(model.parts.size());
  const int m = static_cast<int>(model.stock.size());
  lp_->setLogLevel(0);
  if (watch != nullptr) {
    const ClpStopHandler handler(watch);
    lp_->passInEventHandler(&handler);
  }
  lastRow_ = n + 2 * m;
  needRow_ = lastRow_ + 1;
  uncutRow_ = lastRow_ + 2;
  lp_->resize(uncutRow_ + 1, 0);

  double rate = 0, stretch = 1, scale = 1;
  for (const StockType& s : model.stock) {
    rate = std::max(rate, model.BarWeight(static_cast<int>(&s - model.stock.data())) / s.capacity);
    scale = std::max({scale, model.BarWeight(static_cast<int>(&s - model.stock.data())),
                      static_cast<double>(s.capacity)});
  }
  for (const PartType& p : model.parts) {
    stretch = std::max(stretch, static_cast<double>(p.work) / p.length);
  }
  penalty_ = basePenalty_ = 2 * rate * stretch + 1;
  tolerance_ = 1e-7 * scale;
  loadPenalty_ = baseLoadPenalty_ = 2 * stretch + 1;

  for (int i = 0; i < n; ++i) {
    const int rows[2] = {i, uncutRow_};
    const double values[2] = {1.0, static_cast<double>(model.parts[i].length)};
    lp_->addColumn(2, rows, values, 0.0, model.parts[i].demand, 0.0);
  }
  const int artificialRow[1] = {uncutRow_};
  const double minusOne[1] = {-1.0};
  lp_->addColumn(1, artificialRow, minusOne, 0.0, kInfinity, 0.0);
  firstPattern_ = n + 1;
  restriction_ = Whole();
  ApplyBounds();
  ApplyObjective();
}

Master::~Master() = default;

Restriction Master::Whole() const {
  Restriction r;
  for (const PartType& p : model_.parts) r.demand.push_back(p.demand);
  for (const StockType& s : model_.stock) r.bars.push_back(s.quantity);
  r.regularBars = r.bars;
  r.lastOpen = model_.ignoreLast;
  return r;
}

int Master::Add(const Column& c) {
  const size_t before = pool_.size();
  AddMany({c});
  return pool_.size() > before ? static_cast<int>(before) : *index_.find(c);
}

void Master::AddMany(const std::vector<Column>& columns) {
  std::vector<int> starts{0}, rows;
  std::vector<double> values, lower, upper, cost;
  for (const Column& c : columns) {
    if (index_.find(c) != index_.end()) continue;
    for (int i = 0; i < static_cast<int>(model_.parts.size()); ++i) {
      if (c.counts[i] == 0) continue;
      rows.push_back(i);
      values.push_back(c.counts[i]);
    }
    rows.push_back(StockRow(c.stock));
    values.push_back(1.0);
    if (!c.last) {
      rows.push_back(RegularRow(c.stock));
      values.push_back(1.0);
    } else {
      rows.push_back(lastRow_);
      values.push_back(1.0);
    }
    rows.push_back(needRow_);
    values.push_back(c.last ? 1.0 : -1.0);
    starts.push_back(static_cast<int>(rows.size()));
    const int index = static_cast<int>(pool_.size());
    pool_.push_back(c);
    index_.insert(index);
    lower.push_back(0.0);
    upper.push_back(Allowed(c) ? kInfinity : 0.0);
    cost.push_back(ColumnCost(index));
  }
  if (lower.empty()) return;
  lp_->addColumns(static_cast<int>(lower.size()), lower.data(), upper.data(), cost.data(),
                  starts.data(), rows.data(), values.data());
}

// Above the search's limits a pattern with more pieces of a type than are
// still open is left out of the programme: the pricing offers the pattern
// cut down to the demand when it is worth it, and a dive's programmes carry
// fewer columns as its demand falls. (Small materials keep every pattern,
// so that their plans stay as they were.)
bool Master::WithinDemand(const Column& c) const {
  for (size_t i = 0; i < model_.parts.size(); ++i) {
    if (c.counts[i] > restriction_.demand[i]) return false;
  }
  return true;
}

// A forbidden pattern also rules out every pool pattern that comes to the
// same pieces once cut down to the open demand.
bool Master::Allowed(const Column& c) const {
  if (c.last && !restriction_.lastOpen) return false;
  if (restriction_.bars[c.stock] < 1) return false;
  if (!c.last && restriction_.regularBars[c.stock] < 1) return false;
  if (c.last && restriction_.lastType >= 0 && c.stock != restriction_.lastType) return false;
  if (c.last && restriction_.lastLoadLimit >= 0 &&
      LoadOf(model_, c.counts).work > restriction_.lastLoadLimit) {
    return false;
  }
  if (model_.large && !WithinDemand(c)) return false;
  if (restriction_.forbidden.empty()) return true;
  Column clamped = c;
  for (size_t i = 0; i < model_.parts.size(); ++i) {
    clamped.counts[i] = std::min<int32_t>(clamped.counts[i], restriction_.demand[i]);
  }
  return std::find(restriction_.forbidden.begin(), restriction_.forbidden.end(), clamped) ==
         restriction_.forbidden.end();
}

double Master::ColumnCost(int index) const {
  if (mode_ == Mode::kFeasibility) return 0.0;
  const Column& c = pool_[index];
  if (mode_ == Mode::kLastLoad) {
    return c.last ? static_cast<double>(LoadOf(model_, c.counts).work) : 0.0;
  }
  if (!c.last) return model_.BarWeight(c.stock);
  return model_.LastWeight(c.stock, LoadOf(model_, c.counts).work);
}

void Master::Restrict(const Restriction& r) {
  restriction_ = r;
  ApplyBounds();
}

void Master::SetMode(Mode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  ApplyObjective();
  ApplyBounds();
}

void Master::SetUncutAllowance(int64_t allowance) {
  uncutAllowance_ = allowance;
  ApplyBounds();
}

void Master::ApplyBounds() {
  const int n = static_cast<int>(model_.parts.size());
  for (int i = 0; i < n; ++i) {
    lp_->setRowLower(i, restriction_.demand[i]);
    lp_->setRowUpper(i, kInfinity);
    lp_->setColumnUpper(i, restriction_.demand[i]);
  }
  for (int j = 0; j < static_cast<int>(model_.stock.size()); ++j) {
    lp_->setRowLower(StockRow(j), -kInfinity);
    lp_->setRowUpper(StockRow(j), restriction_.bars[j]);
    lp_->setRowLower(RegularRow(j), -kInfinity);
    lp_->setRowUpper(RegularRow(j), restriction_.regularBars[j]);
  }
  lp_->setRowLower(lastRow_, -kInfinity);
  lp_->setRowUpper(lastRow_, restriction_.lastOpen ? 1.0 : 0.0);
  lp_->setRowLower(needRow_, -kInfinity);
  lp_->setRowUpper(needRow_, restriction_.regularFixed);
  lp_->setRowLower(uncutRow_, -kInfinity);
  lp_->setRowUpper(uncutRow_,
                   mode_ == Mode::kFeasibility ? kInfinity : static_cast<double>(uncutAllowance_));
  for (int p = 0; p < static_cast<int>(pool_.size()); ++p) {
    lp_->setColumnUpper(firstPattern_ + p, Allowed(pool_[p]) ? kInfinity : 0.0);
  }
}

void Master::ApplyObjective() {
  const int n = static_cast<int>(model_.parts.size());
  const bool feasibility = mode_ == Mode::kFeasibility;
  for (int i = 0; i < n; ++i) {
    lp_->setObjectiveCoefficient(i, feasibility ? model_.parts[i].length : 0.0);
  }
  lp_->setObjectiveCoefficient(ArtificialColumn(), feasibility ? 0.0 : Penalty());
  for (int p = 0; p < static_cast<int>(pool_.size()); ++p) {
    lp_->setObjectiveCoefficient(firstPattern_ + p, ColumnCost(p));
  }
}

// Whether patterns of type j (last bars or not) may be used at all.
bool Master::Priced(int j, bool last) const {
  if (restriction_.bars[j] < 1) return false;
  if (!last) return restriction_.regularBars[j] >= 1;
  if (!restriction_.lastOpen || model_.LastCapacity(j) < 1) return false;
  return restriction_.lastType < 0 || restriction_.lastType == j;
}

// The pricing problem of type j under the duals of `lp`: a pattern prices
// out (reduced cost below 0) when it is worth more than the threshold.
PricingTask Master::TaskFor(int j, bool last, const LpOutcome& lp) const {
  const int n = static_cast<int>(model_.parts.size());
  const int m = static_cast<int>(model_.stock.size());
  const StockType& s = model_.stock[j];
  PricingTask task = BarTask(model_, j, watch_);
  if (last) {
    task.loadLimit = model_.LastCapacity(j);
    if (restriction_.lastLoadLimit >= 0) {
      task.loadLimit = std::min(task.loadLimit, restriction_.lastLoadLimit);
    }
  }
  double rate = 0.0;  // objective per working length on the last bar
  if (last && mode_ == Mode::kOptimize) {
    rate = model_.costObjective ? static_cast<double>(s.cost) / s.length : 1.0;
  } else if (last && mode_ == Mode::kLastLoad) {
    rate = 1.0;
  }
  for (int i = 0; i < n; ++i) {
    task.bound.push_back(restriction_.demand[i]);
    task.profit.push_back(lp.dualDemand[i] - rate * model_.parts[i].work);
  }
  const double cost = last || mode_ != Mode::kOptimize ? 0.0 : model_.BarWeight(j);
  const double stockDual = last ? lp.dualStock[j] : lp.dualStock[j] + lp.dualStock[m + j];
  task.threshold = cost - stockDual + (last ? -lp.dualLast - lp.dualNeed : lp.dualNeed);
  return task;
}

// Adds the best pattern of every stock type (and the best last bar) that
// prices out; false when none does or the pricing could not finish.
bool Master::Price(LpOutcome& lp) {
  bool added = false;
  bool complete = true;
  // The round's new patterns go to the programme together: CLP copies its
  // matrix at every addition.
  std::vector<Column> found;
  const auto keep = [&](Column c) {
    const bool fresh =
        index_.find(c) == index_.end() && std::find(found.begin(), found.end(), c) == found.end();
    if (fresh) found.push_back(std::move(c));
    return fresh;
  };
  const auto take = [&](int j, bool last, const PricingResult& r) {
    lp.pricingNodes += r.nodes;
    complete = complete && r.complete;
    if (!r.found) return;
    if (keep(Column{j, last, r.counts})) added = true;
  };
  const auto forbiddenOf = [&](int j, bool last) {
    std::vector<Counts> out;
    for (const Column& f : restriction_.forbidden) {
      if (f.stock == j && f.last == last) out.push_back(f.counts);
    }
    return out;
  };
  // Above the search's limits the regular bars of every stock type share
  // one table where the rules allow it. A type with forbidden patterns
  // takes the table's pattern unless it is one of them; then its own
  // search runs below.
  std::vector<bool> tabled(model_.stock.size(), false);
  if (model_.large) {
    std::vector<int> types;
    std::vector<PricingTask> tasks;
    for (int j = 0; j < static_cast<int>(model_.stock.size()); ++j) {
      if (!Priced(j, false)) continue;
      PricingTask task = TaskFor(j, false, lp);
      task.threshold += tolerance_;
      if (!TableApplies(task)) continue;
      types.push_back(j);
      tasks.push_back(std::move(task));
    }
    const std::vector<PricingResult> results = PriceWithoutRules(tasks, extraPatterns_);
    for (size_t k = 0; k < results.size(); ++k) {
      const std::vector<Counts> forbidden = forbiddenOf(types[k], false);
      const auto allowed = [&](const Counts& c) {
        return std::find(forbidden.begin(), forbidden.end(), c) == forbidden.end();
      };
      if (results[k].found && !allowed(results[k].counts)) continue;
      tabled[types[k]] = true;
      take(types[k], false, results[k]);
      for (const Counts& c : results[k].more) {
        if (allowed(c)) keep(Column{types[k], false, c});
      }
    }
  }
  for (int j = 0; j < static_cast<int>(model_.stock.size()); ++j) {
    // With many stock types a round is long: the watch is asked between
    // the types (a stop leaves the round incomplete).
    if (model_.large && watch_ != nullptr && watch_->Stop()) {
      pricingComplete_ = false;
      AddMany(found);
      return added;
    }
    for (const bool last : {false, true}) {
      if (!Priced(j, last) || (!last && tabled[j])) continue;
      PricingTask task = TaskFor(j, last, lp);
      task.threshold += tolerance_;
      const std::vector<Counts> forbidden = forbiddenOf(j, last);
      task.forbidden = &forbidden;
      take(j, last, PriceBestPattern(task));
    }
  }
  pricingComplete_ = complete;
  AddMany(found);
  return added;
}

std::vector<Column> Master::ListColumns(const LpOutcome& lp, double gap, size_t limit,
                                        bool& complete) const {
  std::vector<Column> out;
  complete = true;
  for (int j = 0; j < static_cast<int>(model_.stock.size()); ++j) {
    for (const bool last : {false, true}) {
      if (!Priced(j, last)) continue;
      const PricingTask task = TaskFor(j, last, lp);
      bool done = true;
      // A regular bar that could take one more piece is never needed: the
      // bar with that piece added costs the same. The last bar's objective
      // grows with its load, so every one counts.
      const std::vector<Counts> list = ListPatterns(task, task.threshold - gap - tolerance_, !last,
                                                    limit - std::min(limit, out.size()), done);
      complete = complete && done;
      for (const Counts& c : list) out.push_back(Column{j, last, c});
      if (!complete) return out;
    }
  }
  return out;
}

LpOutcome Master::Solve() {
  LpOutcome out;
  const int n = static_cast<int>(model_.parts.size());
  const int m = static_cast<int>(model_.stock.size());
  for (int raise = 0;; ++raise) {
    bool priced = false;
    for (int round = 0; round < kMaxRounds; ++round) {
      // Above the search's limits a solve's set-up costs as much as its
      // few pivots. Small materials solve as they always did: other
      // pivots could give other plans of equal worth.
      lp_->primal(0, model_.large ? kKeepFactorization : 0);
      if (lp_->status() != 0) lp_->dual();
      if (lp_->status() != 0) return out;
      ++out.iterations;
      const double* duals = lp_->dualRowSolution();
      out.dualDemand.assign(duals, duals + n);
      out.dualStock.assign(duals + n, duals + n + 2 * m);
      out.dualLast = duals[lastRow_];
      out.dualNeed = duals[needRow_];
      if (!Price(out)) {
        priced = pricingComplete_;
        break;
      }
      if (watch_ != nullptr && watch_->Stop()) break;
    }
    out.solved = true;
    out.converged = priced;
    out.value = lp_->objectiveValue();
    const double* x = lp_->primalColumnSolution();
    out.artificial = x[ArtificialColumn()];
    out.slack.assign(x, x + n);
    out.x.assign(x + firstPattern_, x + firstPattern_ + pool_.size());
    const double bars = 1.0 + static_cast<double>(BarsAllowed(restriction_));
    out.bound = out.value - tolerance_ * bars;
    // An overflowing uncut row means the penalty was too low to tell: raise
    // it and solve again. The value is a valid bound either way, since no
    // plan overflows.
    double& penalty = mode_ == Mode::kLastLoad ? loadPenalty_ : penalty_;
    const double base = mode_ == Mode::kLastLoad ? baseLoadPenalty_ : basePenalty_;
    if (mode_ == Mode::kFeasibility || out.artificial <= 1e-7 || !priced ||
        raise >= kMaxPenaltyRaises || penalty >= kPenaltyCeiling * base) {
      return out;
    }
    penalty *= 10;
    ApplyObjective();
  }
}

}  // namespace solver::exact
