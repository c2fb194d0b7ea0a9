// The exact method for the cutting of one material.
//
// What "best" means, in this order:
//   1. the greatest total length of pieces cut (normally every piece);
//   2. the least total stock length used (cost mode: the least stock cost).
//      With ignoreLast the bar with the largest remainder goes back to stock
//      and is the plan's last bar: the objective is the stock length used
//      minus that remainder (cost mode: minus the remainder's value at its
//      bar's cost per length);
//   2b. with preferFree in cost mode: the greatest length of free bars
//      (cost 0) cut, best effort within the time limit (an integer
//      programme over the patterns at the cost of the best plan);
//   3. among plans equal in 1 and 2: the smaller total stock length, then
//      more and shorter bars (prefShort < 0) or fewer and longer bars
//      (prefShort > 0);
//   4. with reduceLays >= 1: fewer different layouts (best effort within
//      the time limit).
// "Proven" refers to 1 and 2.
//
// Every rule of the search binds: stock quantities, the kerf between pieces
// and the end zone, the gripping length, pieces per layout, different pieces
// per layout, different stock groups per plan and cost mode.
//
// Sizes: up to TARVOLIN_EXACT_MAX_PART_GROUPS part groups and
// TARVOLIN_EXACT_MAX_STOCK_GROUPS stock groups, TARVOLIN_EXACT_MAX_ITEMS
// pieces and as many bars, at most TARVOLIN_EXACT_MAX_GROUP_QUANTITY per
// group (tarvolin/limits.h). Above the layout search's limits the method
// plans alone: its first plan is its own (first fit decreasing by patterns,
// then the rounded column-generation solution with the rest filled in).
//
// Time: every phase asks the stop time, the abort flag and the progress
// callback often; the method ends within a few milliseconds of either
// (longer only inside one simplex iteration of a very large programme) with
// the best plan so far. The first plan is always made whole: for 10,000
// part groups on 1,000 stock groups it takes a few seconds.
//
// Lengths are in the caller's length unit, costs in the caller's cost unit.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace solver::exact {

struct StockGroupIn {
  int32_t length = 0;
  int32_t cost = 0;  // of one bar
  int32_t quantity = 0;
};

struct PartGroupIn {
  int32_t length = 0;
  int32_t quantity = 0;
  int32_t mark = 0;  // kept for the output only
};

struct Rules {
  int32_t kerf = 0;         // length consumed by each cut
  int32_t endZone = 0;      // unusable length at the end of each bar
  int32_t gripLength = 0;   // usable gripping length at the end of each bar
  int32_t maxPieces = 0;    // pieces per layout, 0 = not limited
  int32_t diffPieces = 0;   // different part groups per layout, 0 = not limited
  int32_t diffStocks = 0;   // different stock groups per plan, 0 = not limited
  int32_t minReusable = 0;  // least remainder worth returning to stock (ignoreLast)
  int32_t prefShort = 0;    // < 0 shorter bars, > 0 longer bars, among equal plans
  int32_t reduceLays = 0;   // >= 1: fewer different layouts among equal plans
  int32_t bundle = 0;       // bars cut together with one layout; >= 2 is not supported
  bool costMode = false;
  bool ignoreLast = false;
  // Part groups of equal length and different marks are different pieces
  // (for diffPieces), as when the search tells layouts apart by mark.
  bool piecesByMark = false;
  // Cost mode: bars of cost 0 are free (offcuts kept as stock); among
  // plans of the least cost, more of their length cut is better.
  bool preferFree = false;
};

// One cutting pattern and the number of bars cut so. The counts hold one
// entry for every part group, so a plan of many patterns over thousands of
// part groups takes memory in proportion to both.
struct Pattern {
  int32_t stockGroup = 0;       // index into ExactInput::stock
  std::vector<int32_t> counts;  // pieces per part group (index into ExactInput::parts)
  int32_t bars = 0;
  bool operator==(const Pattern&) const = default;
};

// A cutting plan. The last bar, when there is one, is a pattern of its own
// with one bar; it is not part of `patterns`.
struct Plan {
  std::vector<Pattern> patterns;
  bool hasLast = false;
  Pattern last;
  bool operator==(const Plan&) const = default;
};

// The steps of the method, in the order they run.
enum class Phase {
  kFirstPlan,     // the greedy plan to start from
  kBound,         // the column-generation lower bound alone (ExactLowerBound)
  kMostCut,       // the most length that can be cut, when the first plan leaves pieces
  kProfiles,      // the lower bound, then stock profiles in the order of their bound
  kFewerLayouts,  // fewer different layouts at the same stock
};

// What the progress callback receives.
struct Progress {
  double elapsedMs = 0;  // since SolveExact began
  Phase phase = Phase::kFirstPlan;
  bool hasPlan = false;      // false until the first plan exists
  double bestObjective = 0;  // figure 2 of the best plan so far (units as lowerBound)
  double uncutLength = 0;    // length of the pieces it leaves uncut, caller's unit
  double cutLength = 0;      // length of the pieces it cuts, caller's unit
  double stockLength = 0;    // length of the bars it uses, caller's unit
  double lowerBound = 0;     // the best bound known so far on figure 2, 0 = none yet
};

struct ExactInput {
  std::vector<StockGroupIn> stock;
  std::vector<PartGroupIn> parts;
  Rules rules;
  int32_t timeLimitMs = 0;                   // 0 = none
  const std::atomic<bool>* abort = nullptr;  // set from outside to stop with the best plan
  const Plan* incumbent = nullptr;           // a plan to start from, e.g. the search's
  // Called in the caller's thread when a phase begins and then every
  // progressIntervalMs at most (0: 100 ms) while the method works; returns
  // true to stop the method as the abort flag does. May be empty.
  std::function<bool(const Progress&)> progress;
  int32_t progressIntervalMs = 0;
  // Stock profiles examined at most (0: no limit); beyond it the method
  // stops as at its time limit. A work limit that does not depend on the
  // machine's speed.
  int32_t profileLimit = 0;
};

enum class Status {
  kOptimal,       // proven optimal in figures 1 and 2
  kFeasible,      // a plan, not proven optimal (time limit, abort, work limits)
  kNotSupported,  // a setting the method does not model; use the search
  kNotAvailable,  // this build has no LP/MIP solver
  kInvalidInput,
};

// Figures of a plan, in the caller's units; the last bar is counted in the
// totals and shown apart as well. The objective is in cost units when cost
// mode applies (some bar costs more than 0), else in length units.
struct PlanFigures {
  int32_t bars = 0;
  int64_t stockLength = 0;
  int64_t stockCost = 0;
  int32_t piecesCut = 0;
  int64_t lengthCut = 0;  // total length of the pieces cut
  int32_t piecesUncut = 0;
  int64_t lengthUncut = 0;
  int64_t lastLength = 0;     // the last bar's length, 0 without one
  int64_t lastRemainder = 0;  // bar length minus pieces and their kerfs
  double lastValue = 0;       // cost mode: the remainder at its bar's cost per length
  double objective = 0;       // figure 2
  int32_t layouts = 0;        // different patterns, the last bar's own included
};

// Work done, for benchmarks and diagnosis.
struct ExactStats {
  int32_t columns = 0;            // patterns generated
  int32_t lpRounds = 0;           // linear programmes solved
  int64_t pricingNodes = 0;       // branch-and-bound nodes of the pattern pricing
  int32_t mips = 0;               // integer programmes solved
  double mipMs = 0;               // time spent in them
  int32_t profiles = 0;           // stock profiles examined
  int32_t branchNodes = 0;        // nodes of the branch over patterns
  int32_t enumerations = 0;       // integer programmes over every pattern within a gap
  int32_t enumeratedColumns = 0;  // patterns listed for them
};

struct ExactResult {
  Status status = Status::kInvalidInput;
  std::string message;  // why a plan is missing or not proven
  Plan plan;
  PlanFigures figures;
  // On figure 2 for plans that cut the same length: in cost units when
  // cost mode applies (some bar costs more than 0), else in length units.
  double lowerBound = 0;
  bool proven = false;
  double elapsedMs = 0;
  ExactStats stats;
};

// Whether this build has the exact method.
bool ExactAvailable();

// Solves one material. Deterministic: the same input gives the same plan
// unless the time limit or the abort flag cuts the work short.
ExactResult SolveExact(const ExactInput& input);

// The column-generation lower bound on figure 2 alone (a few milliseconds),
// for showing the gap of another plan. Holds for plans that cut every piece
// that fits; status kOptimal when the bound was proven, message otherwise.
struct BoundResult {
  Status status = Status::kInvalidInput;
  std::string message;
  double lowerBound = 0;
  double elapsedMs = 0;
};
BoundResult ExactLowerBound(const ExactInput& input);

// Checks a plan against the input and its rules; empty when it is valid,
// otherwise the first rule it breaks.
std::string CheckPlan(const ExactInput& input, const Plan& plan);

// The figures of a valid plan.
PlanFigures MeasurePlan(const ExactInput& input, const Plan& plan);

// Orders two plans of the same input by figures 1 to 4: negative when a is
// better, positive when b is better, 0 when equal.
int ComparePlans(const ExactInput& input, const Plan& a, const Plan& b);

// The same by figures 1, 2 and 2b only: whether a plan is better in what
// it cuts, what it costs or, with preferFree, the free length it uses.
int ComparePlansByCost(const ExactInput& input, const Plan& a, const Plan& b);

// With preferFree: the free bars' share of a given plan raised at no more
// cost (the integer programme of figure 2b over the given plan's patterns,
// the pool's first patterns and those of the root programme), without the
// search over stock profiles. The result's plan is the given one when
// nothing better is found; nothing is proven. For plans that another
// method made.
ExactResult MoreFreeStock(const ExactInput& input);

}  // namespace solver::exact
