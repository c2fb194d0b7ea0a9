// The optimization driver's own tables: multiplicity candidates, the
// best-ten list, the bundle run kept while the remainder run goes, and the
// result that the call writes back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "run_tables.h"
#include "solver_common.h"

namespace solver {

inline constexpr int kCandidateSlots = 78;  // entry 0 is scratch
inline constexpr int kMaxCandidates = kCandidateSlots - 1;
inline constexpr int kSubLevels = 11;  // effort sub-levels 0..10
// The criterion of a candidate not evaluated at a sub-level: below every
// real criterion (they are never negative), so such candidates sort last.
inline constexpr double kNotEvaluated = -5.55;
// Remainder pieces of a candidate not yet measured: more than any call has.
inline constexpr int32_t kRemainderUnknown = 25555;
inline constexpr int kBestTenSlots = 10;

// Driver modes: a bundle was given (single candidate), or multiplicities
// are searched.
inline constexpr int kModeBundleGiven = 0;
inline constexpr int kModeSearch = 2;

// One multiplicity candidate.
struct Candidate {
  int32_t multiplicity = 0;
  int32_t bundles = 0;                          // B: sum of quantity div m
  int32_t remainderPieces = kRemainderUnknown;  // C: sum of quantity mod m
  int64_t bundleLength = 0;                     // sum of (quantity div m) * length
  int64_t remainderLength = 0;                  // sum of (quantity mod m) * length
  double estimate = 0;
  double criterion[kSubLevels] = {kNotEvaluated, kNotEvaluated, kNotEvaluated, kNotEvaluated,
                                  kNotEvaluated, kNotEvaluated, kNotEvaluated, kNotEvaluated,
                                  kNotEvaluated, kNotEvaluated, kNotEvaluated};
};

// One plan of the best-ten list; totals of the complete plan (bundle part
// times m plus remainder part, the last stock included).
struct BestTenEntry {
  int32_t elapsedMs = 0;    // since the start of the call
  int32_t criterion = 0;    // x 100000
  int32_t utilization = 0;  // x 100000
  int32_t parts = 0;
  int32_t stocks = 0;
  int32_t cost = 0;
  int32_t layouts = 0;
  int32_t layoutCuts = 0;
};

// The bundle run of the candidate being evaluated, in run numbering: what
// the remainder run and the result mapping need once the run tables are
// prepared again.
struct BundleRunTables {
  int32_t pieceCount = 0;
  int16_t pieceGroup[kItemSlots] = {};
  int16_t stockOfPiece[kItemSlots] = {};  // run bar, 0 = not cut
  int32_t stockCount = 0;
  int16_t stockGroup[kItemSlots] = {};
  int32_t barLayout[kItemSlots] = {};
  LayoutSignature barSignature[kItemSlots] = {};
  int32_t layoutCount = 0;
  int32_t layoutCuts = 0;
  int32_t usedPieces[kPartGroupSlots] = {};  // cut bundle pieces per part group
  int32_t usedBars[kStockGroupSlots] = {};   // used bundle bars per stock group
};

struct DriverTables {
  int32_t mode = kModeSearch;
  double startMs = 0;     // driver start; the search's time limit counts from here
  double runStartMs = 0;  // start of the latest run

  // Multiplicity candidates, best estimate first.
  Candidate candidates[kCandidateSlots] = {};
  int32_t candidateCount = 0;
  int16_t order[kCandidateSlots] = {};  // entry numbers, positions 1..77
  double bestCriterion = 0;
  int32_t bestMultiplicity = 0;

  // The candidate under evaluation.
  int32_t multiplicity = 1;
  int32_t workPartQty[kPartGroupSlots] = {};
  int32_t workStockQty[kStockGroupSlots] = {};
  RunRecord bestOfRun;  // the bundle run
  BundleRunTables bundle;
  bool bundleKept = false;    // bestOfRun holds a bundle run
  bool remainderRan = false;  // st.run holds the remainder (or plain) run
  bool targetReached = false;

  BestTenEntry bestTen[kBestTenSlots + 1] = {};  // slots 1..10
  int32_t bestTenCount = 0;

  int64_t constructionCount = 0;  // plans built over all runs of the call

  // The plan the call returns, in internal item numbering (1..count of the
  // problem tables). Cleared when no plan was found.
  RunRecord result;
  int16_t resultStockOfPiece[kItemSlots] = {};  // internal stock item, 0 = not cut
  int32_t resultBarLayout[kItemSlots] = {};     // 0 = bar not used
  int32_t resultBarPattern[kItemSlots] = {};
  int32_t resultBarParts[kItemSlots] = {};
  int32_t resultBarWaste[kItemSlots] = {};
};

// No plan: the result record and the per-item result tables cleared.
inline void ClearResult(DriverTables& d) {
  d.result = RunRecord{};
  std::fill(std::begin(d.resultStockOfPiece), std::end(d.resultStockOfPiece), int16_t{0});
  std::fill(std::begin(d.resultBarLayout), std::end(d.resultBarLayout), 0);
  std::fill(std::begin(d.resultBarPattern), std::end(d.resultBarPattern), 0);
  std::fill(std::begin(d.resultBarParts), std::end(d.resultBarParts), 0);
  std::fill(std::begin(d.resultBarWaste), std::end(d.resultBarWaste), 0);
}

}  // namespace solver
