// Tables of one run of the layout search: the sub-problem that the driver
// prepares, the working state of the search and construction, and what the
// run hands back. Every table is fixed-size; items are numbered 1..count
// with spare elements 0 and 101, groups 1..20 (parts) and 1..10 (stock).
//
// Numbering: "run pieces" are 1..pieceCount and "run bars" 1..stockCount of
// the current run (not the internal items of ProblemTables); the group
// numbers of a run are the internal group numbers.
//
// Lengths: on entry to LayoutSearch every length of this record is a working
// length (real length + kerf for parts, real length + kerf - end zone for
// bars, gripLength = grip length + kerf). On exit partGroupLength, stockGroupLength and
// gripLength hold real lengths again, and every figure handed back is real.
#pragma once

#include <cstdint>

#include "consistency_checks.h"
#include "solver_common.h"

namespace solver {

// Run kinds that the driver sets before each run.
inline constexpr int kRunBundleNoRemainder = 2;
inline constexpr int kRunBundleWithRemainder = 3;
inline constexpr int kRunPlain = 4;
inline constexpr int kRunRemainder = 6;

// Counting distinct orders of items stops at this many; the iteration
// budgets of a pass never exceed it either.
inline constexpr int32_t kOrderCountCap = 25555;

// How large the part groups of a run are against a bar: each group is
// small (at most half a bar on average), medium, or large (two bars or
// more). The piece orderings and the pair combinations depend on it.
inline constexpr int32_t kMixSmallGroups = 1;
inline constexpr int32_t kMixMediumGroups = 2;
inline constexpr int32_t kMixLargeGroups = 3;

// A run of equal pieces joins a combination when its length is at least
// runShare of the free bar length, and a pair when both runs together fill
// pairFill of it. With triples allowed pairs are looser; without them only
// pairs that nearly fill a bar are tried.
inline constexpr double kRunShare = 0.2;
inline constexpr double kPairFill = 0.6;
inline constexpr double kPairOnlyRunShare = 0.4;
inline constexpr double kPairOnlyFill = 0.95;

// Bar states during one construction.
inline constexpr int16_t kBarFree = 0;
inline constexpr int16_t kBarLookedAt = 1;  // looked at, left empty
inline constexpr int16_t kBarUsed = 2;
inline constexpr int16_t kBarCommitted = 3;

// Remainder of a bar no piece has touched: above every real remainder,
// since every length stays within the sum limit.
inline constexpr int32_t kUntouchedRemainder = kMaxSum;

// Figures of a plan under construction, in working lengths until the kerf
// correction turns them into real lengths.
//   used:  sum of the piece lengths cut (working: part + kerf each; real:
//          part lengths), so used + waste is the bar length;
//   waste: sum of the bar remainders (working: working remainders; real:
//          bar length - part lengths, kerf losses and end zone included).
// The last bar, when one is reported separately, is not in layouts..cost.
struct PlanTotals {
  int32_t layouts = 0;  // bars with pieces
  int32_t pieces = 0;
  int32_t used = 0;
  int32_t waste = 0;
  int32_t cost = 0;
  // The separately reported last bar (run bar number, 0 = none).
  int32_t lastStock = 0;
  int32_t lastPieces = 0;
  int32_t lastUsed = 0;
  int32_t lastRemainder = 0;
  int32_t lastCost = 0;
};

// Layout signature of a bar: four sums over its pieces.
struct LayoutSignature {
  int32_t codes = 0, codeRoots = 0, marks = 0, markRoots = 0;
  bool operator==(const LayoutSignature&) const = default;
};

// The part of the solution that the driver has fixed before a remainder run
// (the bundle run). Its figures count m times in the score. Empty
// (present = false) outside a remainder run.
struct FixedPart {
  bool present = false;
  int32_t multiplicity = 1;  // m of the driver's current candidate
  RunRecord record;          // bundle run's record (real lengths)
  int32_t layoutCount = 0;
  int32_t layoutCuts = 0;
  int32_t barCount = 0;  // bars of the bundle run
  int16_t barGroup[kItemSlots] = {};
  int32_t barLayout[kItemSlots] = {};
  LayoutSignature barSignature[kItemSlots] = {};
  // Stock groups with bars used (1..usedStockGroupCount), for the stock group limit.
  int16_t usedStockGroups[kStockGroupSlots] = {};
  int32_t usedStockGroupCount = 0;
};

// The best plan of the run so far, saved after adjustment and scoring
// (totals in real lengths).
struct BestPlan {
  int16_t stockOfPiece[kItemSlots] = {};
  int16_t openStocks[kItemSlots] = {};
  int32_t openStockCount = 0;
  PlanTotals totals;
  double score = 0;
  double utilization = 0;
  int32_t pieceIter = 0;
  int32_t stockIter = 0;
};

struct RunTables {
  // ---- Sub-problem prepared by the driver (read-only for the search,
  // ---- except the lengths, which the search turns back into real ones) ----
  int32_t runKind = kRunPlain;
  int32_t subLevel = 0;      // effort sub-level 0..10
  int32_t driverMode = 2;    // 0: bundle given (single candidate); 2: multiplicity search
  double driverStartMs = 0;  // the time limit counts from here

  int32_t pieceCount = 0;               // n_p
  int16_t pieceGroup[kItemSlots] = {};  // part group of run piece 1..n_p, groups consecutive
  int32_t partGroupCount = 0;           // internal part groups, empty ones included
  int32_t partGroupLength[kPartGroupSlots] = {};  // working length: real + kerf
  int32_t partGroupQty[kPartGroupSlots] = {};     // open quantity of the run
  int32_t emptyPartGroups = 0;

  int32_t stockCount = 0;               // n_s
  int16_t stockGroup[kItemSlots] = {};  // stock group of run bar 1..n_s, groups consecutive
  int32_t stockGroupCount = 0;          // internal stock groups, empty ones included
  int32_t stockGroupLength[kStockGroupSlots] = {};  // working length: real + kerf - end zone
  int32_t stockGroupCost[kStockGroupSlots] = {};
  int32_t stockGroupQty[kStockGroupSlots] = {};  // available quantity after trimming
  int32_t emptyStockGroups = 0;
  int32_t trimmedStockGroups = 0;

  // All n_s run bars: the kept bars at positions 1..initialStockCount, the
  // bars trimmed by the bar-demand bound behind them (positions
  // initialStockCount+1..n_s). Trimmed bars get stock class 0 and are never
  // looked at by the construction.
  int16_t initialStockOrder[kItemSlots] = {};
  int32_t initialStockCount = 0;
  int16_t barsByGroup[kItemSlots] = {};  // kept bars, last (shortest) group first

  // Statistics on working lengths over groups with quantity >= 1.
  int32_t minPart = 0, maxPart = 0, maxPartQty = 0;
  int32_t minStock = 0, maxStock = 0, maxStockQty = 0;
  int64_t totalPartLength = 0, totalStockLength = 0, totalStockCost = 0;
  double minCostRate = 0;
  int32_t meanPiece = 0, meanStock = 0, meanCost = 0;  // avgPart, avgStock of the orderings
  int32_t estPieces = 0, estStocks = 0;
  // Distinct orders of the pieces and of the bars (see kOrderCountCap), plus 1.
  int32_t distinctPieceOrders = 1, distinctStockOrders = 1;
  int32_t mixType = kMixMediumGroups;
  int32_t passLimit = 0;
  double refCostRate = 0;  // cost mode only, per working length unit
  int32_t gripLength = 0;  // working: grip length + kerf when there is a grip length
  bool pairCombos = true;
  bool tripleCombos = true;
  double runShare = kRunShare;
  double pairFill = kPairFill;

  FixedPart fixed;

  // ---- Working state of the search ----
  int32_t multiplicity = 1;  // k of the current LayoutSearch call
  int16_t openPieces[kItemSlots] = {};
  int32_t openPieceCount = 0;
  int16_t openStocks[kItemSlots] = {};
  int32_t openStockCount = 0;
  int16_t pieceClass[kItemSlots] = {};
  int16_t stockClass[kItemSlots] = {};
  int32_t pieceClassCount = 0;
  int32_t stockClassCount = 0;
  int16_t stockOfPiece[kItemSlots] = {};  // run bar of each run piece, 0 = not cut
  int16_t stockState[kItemSlots] = {};    // kBarFree .. kBarCommitted
  int32_t stockPieces[kItemSlots] = {};
  int32_t stockRemainder[kItemSlots] = {};  // working length left, kUntouchedRemainder if untouched
  PlanTotals committedTotals;               // committed layouts of the current pass (working)
  PlanTotals planTotals;                    // the plan just built, committed layouts included
  BestPlan bestPlan;
  double bestScore = 0;
  int32_t restart = 0, pass = 0, rule = 0, pieceIter = 0, stockIter = 0;
  int32_t pieceIterLimit = 0, stockIterLimit = 0;
  int32_t pieceClassLimit = 0, stockClassLimit = 0;
  double commitTolerance = -1.0;
  double toleranceStep = 0;
  int32_t constructionCount = 0;
  bool stopSearch = false;  // Esc or time limit

  // Left by the construction for the adjustment (stock group limit):
  // the stock groups that received pieces, committed and fixed-part bars
  // included; kept only when that limit is set.
  int16_t usedStockGroups[kStockGroupSlots] = {};
  int32_t usedStockGroupCount = 0;
  int32_t lastUsedGroup = 0;

  // ---- What the run hands back (after LayoutSearch returns) ----
  // current: the kept plan's record in real lengths, filled by FillSummary of
  //   the restored plan; criterion = the best score, utilization as
  //   FillSummary computes it, layouts/layoutCuts of the final numbering,
  //   lastStock = run bar of the separately reported last bar (0 = none).
  //   All zero (criterion 0) when no plan scored above 0.
  // stockOfPiece: run bar of each run piece of the kept plan, after bars were
  //   grouped by layout and pieces tidied (0 = not cut).
  // planTotals: the kept plan's totals (real lengths); lastStock follows the
  //   renumbering of bars.
  // barLayout/layoutCount/layoutCuts/barSignature: the final numbering, with
  //   the fixed part's layouts first when one is present.
  RunRecord current;
  int32_t barLayout[kItemSlots] = {};  // layout number of each run bar, 0 = unused
  int32_t layoutCount = 0;
  int32_t layoutCuts = 0;
  LayoutSignature barSignature[kItemSlots] = {};

  // Consistency counters, indexed by Check (consistency_checks.h). The
  // search only adds to them; the driver clears them once per call and
  // raises them after every run and every new best plan.
  int32_t check[kCheckSlots] = {};
};

}  // namespace solver
