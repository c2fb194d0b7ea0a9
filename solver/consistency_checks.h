// The solver's internal consistency checks. Each failure of a check adds one
// to its counter; after every run and every new best plan the driver raises
// error 100 + index for each counter above 0, lowest index first. Every
// index stands for exactly one fault, so an error number names the fault.
#pragma once

#include <cstdint>

namespace solver {

enum class Check : int {
  // Plan construction.
  kPieceListOverrun = 1,        // the walk over the piece list left the table
  kBarOverfilled = 2,           // a bar's remaining length became negative
  kCountAboveRun = 3,           // a chosen count exceeded its run (cut back to the run)
  kCommitWithoutOpenPiece = 4,  // a committed bar's pieces met an empty open list
  kOpenPieceCountNegative = 5,  // the open piece count became negative
  kBarsLeftNegative = 6,        // more bars visited than were open
  kPieceListCountNegative = 7,  // the piece list count became negative
  kBarListOverrun = 8,          // the walk over the open bars left the list

  // Layout numbering of a plan.
  kLayoutAboveCount = 11,         // a bar's layout number above the layout count
  kLayoutBeyondBars = 12,         // a layout number on a bar beyond the bar count
  kLastBarWithoutLayout = 13,     // the last bar has no valid layout number
  kLayoutCountMismatch = 14,      // the layout count differs from the numbers given
  kPieceBeyondBars = 15,          // a piece on a bar beyond the bar count
  kPieceOnBarWithoutLayout = 16,  // a piece on a bar without a layout number

  // End of a search run: the saved plan against the summary of the restored plan.
  kRunLastPieces = 19,     // pieces of the last bar
  kRunPieces = 20,         // pieces
  kRunLayouts = 21,        // bars with a layout
  kRunCost = 22,           // cost
  kRunWaste = 23,          // waste
  kRunUsed = 24,           // used length minus waste
  kRunPieceCount = 25,     // pieces outside 0..run pieces
  kRunBarCount = 26,       // bars outside 0..bars offered
  kRunStockOverused = 27,  // a stock group used beyond its quantity (bundle runs)
  kRunPartOverused = 28,   // a part group cut beyond its quantity (bundle runs)

  // A new best plan: the consolidated result against the runs it came from.
  kResultLastParts = 29,      // last bar's pieces changed by the summary
  kResultLastLength = 30,     // last bar's length changed
  kResultLastRemainder = 31,  // last bar's remainder changed
  kResultLastCost = 32,       // last bar's cost changed
  kResultMaxRemainder = 33,   // largest remainder below that of a run
  kResultBars = 34,           // bars differ from bundle run x m + remainder run
  kResultParts = 35,          // pieces differ likewise
  kResultLength = 36,         // used length differs likewise
  kResultWaste = 37,          // waste differs likewise
  kResultCost = 38,           // cost differs likewise
  kResultItemMapping = 39,    // a run's piece or bar maps outside the problem's items
};

// Counters 1..kLastCheck; index 0 is unused.
inline constexpr int kLastCheck = 50;
inline constexpr int kCheckSlots = kLastCheck + 1;

inline void CountFailure(int32_t* counters, Check check) {
  ++counters[static_cast<int>(check)];
}

}  // namespace solver
