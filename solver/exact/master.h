// The master linear programme of the column generation, solved with CLP,
// and its pool of patterns.
//
// Rows: one per part type (pieces cut + pieces left uncut >= demand), two
// per stock type (all bars <= limit, bars but the last <= limit), the last
// bar (at most one), "a last bar needs another bar", and the uncut length
// (at most the allowance).
// Columns: one uncut-pieces column per part type, one artificial column that
// lets the uncut row overflow at a penalty (so the programme is always
// feasible), and the patterns: a regular pattern stands for bars cut so, a
// last pattern for the one bar whose remainder goes back to stock.
//
// The objective is one of three modes (below).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <numeric>
#include <set>
#include <vector>

#include "model.h"
#include "pricing.h"
#include "watch.h"

class ClpSimplex;

namespace solver::exact {

struct Column {
  int stock = 0;
  bool last = false;
  Counts counts;
  auto operator<=>(const Column&) const = default;
};

// Adds `bars` bars cut as column c to a plan (none when bars < 1); a last
// bar becomes the plan's last bar.
inline void AddBars(ModelPlan& plan, const Column& c, int32_t bars) {
  if (bars < 1) return;
  if (c.last) {
    plan.hasLast = true;
    plan.last = ModelPattern{c.stock, c.counts, 1};
  } else {
    plan.patterns.push_back(ModelPattern{c.stock, c.counts, bars});
  }
}

// What the master is asked about: the demand still open, the bars still
// free, what is forbidden, and whether the last bar is still open.
struct Restriction {
  std::vector<int32_t> demand;       // per part type
  std::vector<int32_t> bars;         // per stock type, the last bar included
  std::vector<int32_t> regularBars;  // per stock type, without the last bar
  bool lastOpen = false;             // a last bar may still be added
  int32_t regularFixed = 0;          // regular bars already fixed outside the programme
  int lastType = -1;                 // stock type of the last bar, -1 = any
  int64_t lastLoadLimit = -1;        // most working length on the last bar, -1 = its own limit
  std::vector<Column> forbidden;     // patterns that may not be used
};

// The bars a restriction still allows, the last bar included.
inline int64_t BarsAllowed(const Restriction& r) {
  return std::accumulate(r.bars.begin(), r.bars.end(), int64_t{0});
}

// Cuts the forbidden patterns down to the open demand, the form in which
// the master compares its patterns with them.
inline void ClampForbidden(Restriction& r) {
  for (Column& f : r.forbidden) {
    for (size_t i = 0; i < f.counts.size(); ++i) f.counts[i] = std::min(f.counts[i], r.demand[i]);
  }
}

// kOptimize: figure 2. kFeasibility: the real length left uncut.
// kLastLoad: the working length on the last bar (regular bars are free).
enum class Mode { kOptimize, kFeasibility, kLastLoad };

struct LpOutcome {
  bool solved = false;             // the programme was solved to optimality
  bool converged = false;          // no pattern prices out: the value bounds every pattern
  double value = 0;                // objective of the programme
  double bound = 0;                // a valid lower bound (value less the pricing tolerance)
  double artificial = 0;           // overflow of the uncut row (optimize mode)
  std::vector<double> x;           // per pool column
  std::vector<double> slack;       // uncut pieces per part type
  std::vector<double> dualDemand;  // per part type
  std::vector<double> dualStock;   // per stock type: all bars plus bars but the last
  double dualLast = 0;             // the last-bar row
  double dualNeed = 0;             // the "a last bar needs another bar" row
  int iterations = 0;
  int64_t pricingNodes = 0;  // branch-and-bound nodes of the pricing
};

class Master {
 public:
  // `watch` (may be null) ends the column generation, its pricing and its
  // linear programmes early.
  Master(const Model& model, int64_t uncutAllowance, const Watch* watch);
  ~Master();
  Master(const Master&) = delete;
  Master& operator=(const Master&) = delete;

  // Adds a pattern unless the pool has it; returns its pool index.
  int Add(const Column& column);
  // Adds the patterns the pool does not have, all at once.
  void AddMany(const std::vector<Column>& columns);
  const std::vector<Column>& Pool() const { return pool_; }

  // The restriction for the next solves (the whole problem by default).
  void Restrict(const Restriction& r);
  const Restriction& Current() const { return restriction_; }
  Restriction Whole() const;

  void SetMode(Mode mode);
  Mode CurrentMode() const { return mode_; }
  void SetUncutAllowance(int64_t allowance);

  // Column generation to convergence (or until the watch says stop).
  LpOutcome Solve();

  // Every pattern (outside the pool as well) whose reduced cost under the
  // duals of `lp` is at most `gap`: the only ones a solution worth at most
  // lp.bound + gap can use. Regular patterns that could take one more piece
  // are left out. `complete` is false when more than `limit` were found.
  std::vector<Column> ListColumns(const LpOutcome& lp, double gap, size_t limit,
                                  bool& complete) const;

  // Cost of a pool column in the current mode.
  double ColumnCost(int index) const;

  // The solver object, for the integer programme over the pool.
  const ClpSimplex& Lp() const { return *lp_; }
  int FirstPatternColumn() const { return firstPattern_; }
  int ArtificialColumn() const { return firstPattern_ - 1; }
  int UncutRow() const { return uncutRow_; }
  int StockRow(int j) const { return static_cast<int>(model_.parts.size()) + j; }
  int RegularRow(int j) const {
    return static_cast<int>(model_.parts.size() + model_.stock.size()) + j;
  }
  double PricingTolerance() const { return tolerance_; }
  // Lighter patterns that price out, taken per stock type and round where
  // the pricing uses a table (above the search's limits); 0 by default.
  void SetExtraPatterns(int extra) { extraPatterns_ = extra; }

 private:
  void ApplyBounds();
  void ApplyObjective();
  bool Allowed(const Column& c) const;
  bool WithinDemand(const Column& c) const;
  bool Priced(int j, bool last) const;
  PricingTask TaskFor(int j, bool last, const LpOutcome& lp) const;
  bool Price(LpOutcome& lp);

  const Model& model_;
  const Watch* watch_ = nullptr;
  std::unique_ptr<ClpSimplex> lp_;
  std::vector<Column> pool_;
  // Pool indices ordered by their columns, so that a column is found
  // without a second copy of it.
  struct ByColumn {
    using is_transparent = void;
    const std::vector<Column>* pool;
    const Column& Of(int index) const { return (*pool)[index]; }
    const Column& Of(const Column& c) const { return c; }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
      return Of(a) < Of(b);
    }
  };
  std::set<int, ByColumn> index_{ByColumn{&pool_}};
  Restriction restriction_;
  Mode mode_ = Mode::kOptimize;
  int64_t uncutAllowance_ = 0;
  double Penalty() const { return mode_ == Mode::kLastLoad ? loadPenalty_ : penalty_; }

  double penalty_ = 1;  // per unit of overflowing uncut length
  double basePenalty_ = 1;
  double loadPenalty_ = 1;  // the same in kLastLoad mode
  double baseLoadPenalty_ = 1;
  double tolerance_ = 1e-6;
  bool pricingComplete_ = true;
  int extraPatterns_ = 0;
  int firstPattern_ = 0;
  int lastRow_ = 0, needRow_ = 0, uncutRow_ = 0;
};

}  // namespace solver::exact
