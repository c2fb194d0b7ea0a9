// Pricing of cutting patterns: the most valuable pattern for one bar, a
// bounded knapsack solved by depth-first branch and bound under the bar
// rules (fit with gripping length, pieces per layout, different pieces per
// layout). No table over every capacity is built, so long bars in fine units
// cost nothing extra.
#pragma once

#include <cstdint>
#include <vector>

#include "model.h"
#include "watch.h"

namespace solver::exact {

struct PricingTask {
  int64_t capacity = 0;        // the bar's working length (the gripping rule counts from it)
  int64_t loadLimit = 0;       // the most the pieces may take, at most capacity
  int64_t grip = 0;            // working gripping length, 0 = none
  int32_t maxPieces = 0;       // 0 = not limited
  int32_t diffPieces = 0;      // 0 = not limited
  std::vector<int32_t> work;   // working length per type
  std::vector<int32_t> bound;  // most pieces of each type
  std::vector<double> profit;  // value of one piece of each type (may be negative)
  double threshold = 0;        // only patterns worth strictly more are wanted
  const std::vector<Counts>* forbidden = nullptr;  // patterns not to return
  int64_t nodeLimit = 2000000;
  const Watch* watch = nullptr;  // a stop ends the search as the node limit does
};

struct PricingResult {
  bool found = false;    // a pattern worth more than the threshold
  bool complete = true;  // the search ran to its end (not cut by the node limit)
  double value = 0;
  Counts counts;  // one entry per task type; empty unless found
  int64_t nodes = 0;
  std::vector<Counts> more;  // further patterns that price out (PriceByTable)
};

PricingResult PriceBestPattern(const PricingTask& task);

// The task of one bar of stock type j under the model's bar rules: its
// capacity (also the load limit), the gripping length, the limits on pieces
// and different pieces and every part type's working length. Bounds,
// profits, threshold and node limit are the caller's.
PricingTask BarTask(const Model& model, int j, const Watch* watch);

// Whether a task can be priced by a table over its loads: no gripping
// length, no limit on pieces or different pieces per layout, nothing
// forbidden, and a table of a bounded size.
bool TableApplies(const PricingTask& task);

// Prices tasks that differ only in their load limits and thresholds (bars
// of several lengths under the same piece values) with one table: the most
// value for every load up to the largest limit, a bounded knapsack of the
// pieces split into powers of two. Exact whatever the values; a search of
// many nodes with nearly equal values per length (where the branch and
// bound stalls) costs no more than any other.
// Besides its best pattern, each result lists in `more` up to `extra`
// lighter ones that price out as well (the best below the load of the one
// before), when the table is large: fewer rounds of the column generation
// then pay for the larger pool.
std::vector<PricingResult> PriceByTable(const std::vector<PricingTask>& tasks, int extra);

// Whether a task the table applies to holds so few pieces per bar (at
// most four) that pricing it by pairs of types costs less than the table.
bool PairsApply(const PricingTask& task);

// The best pattern of a task that PairsApply to, of the value PriceByTable
// finds (among equal values maybe another pattern); `more` holds up to
// `extra` further patterns that price out, the most valuable first. The
// cost grows with the pairs of types instead of the load.
PricingResult PriceByPairs(const PricingTask& task, int extra);

// Prices tasks for PriceByTable: by pairs when all of them allow it (with
// more further patterns than asked, as they cost little), else with one
// table, and a second one without the piece types of the first one's best
// patterns: `more` then ends with each task's best pattern of other pieces
// when one prices out.
std::vector<PricingResult> PriceWithoutRules(const std::vector<PricingTask>& tasks, int extra);

// Every pattern worth at least `minValue` (the threshold and the forbidden
// patterns of the task are not used). With `maximalOnly` a pattern that
// could take one more piece is left out. `complete` is false when the node
// limit or `limit` patterns cut the listing short.
std::vector<Counts> ListPatterns(const PricingTask& task, double minValue, bool maximalOnly,
                                 size_t limit, bool& complete);

}  // namespace solver::exact
