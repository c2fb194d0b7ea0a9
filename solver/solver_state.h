// The record of everything a solver call works on. A context owns one; every
// call re-initialises it, and all tables have fixed sizes, so a call
// allocates nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "driver_tables.h"
#include "run_tables.h"
#include "solver_common.h"
#include "tarvolin/solver.h"

namespace solver {

// The call's settings converted for internal use.
struct SolverSettings {
  bool costMode = false;
  bool ignoreLast = false;
  int32_t preferShort = 0;
  int32_t reduceLayouts = 0;
  int32_t effortLevel = 0;
  double timeLimitMs = 0;  // 0 = none
  // Clock time at which the search stops as at its time limit; 0 = none.
  // Set for the searches that run inside the exact method's time limit.
  double deadlineMs = 0;
  int32_t maxStockGroups = 0;      // 0 = not limited
  int32_t maxDifferentPieces = 0;  // 0 = not limited
  int32_t bundle = 0;              // stock/cut bundle, 0 = none
  int32_t maxPiecesPerLayout = 0;  // 0 = not limited
  int32_t iterationMultiplier = 0;
  double iterationFactor = 0;  // search effort per pass from the multiplier
  int32_t minReusable = 0;
  int32_t kerf = 0;
  int32_t endZone = 0;
  int32_t gripLength = 0;
  bool layoutsByMark = false;
  bool showProgress = false;  // progress mode 1 or more
  bool escEnabled = false;    // progress mode 2 or more: Esc stops the search
  // Effective copies that the problem check may switch off.
  bool effectiveCostMode = false;
  int32_t effectiveReduceLayouts = 0;
  bool groupPartsByMark = false;
};

// The internal problem: items in internal (sorted) order and their groups.
struct ProblemTables {
  int32_t partCount = 0;
  int32_t partLength[kItemSlots] = {};
  int32_t partMark[kItemSlots] = {};  // mark id; item weight once the driver starts
  int16_t partInputNo[kItemSlots] = {};
  int16_t partGroup[kItemSlots] = {};

  int32_t stockCount = 0;
  int32_t stockLength[kItemSlots] = {};
  int32_t stockCost[kItemSlots] = {};
  int16_t stockInputNo[kItemSlots] = {};
  int16_t stockGroup[kItemSlots] = {};

  int32_t partGroupCount = 0;
  int32_t partGroupLength[kPartGroupSlots] = {};
  int16_t partGroupQty[kPartGroupSlots] = {};
  int32_t partGroupWeight[kPartGroupSlots] = {};  // layout signature code

  int32_t stockGroupCount = 0;
  int32_t stockGroupLength[kStockGroupSlots] = {};
  int32_t stockGroupCost[kStockGroupSlots] = {};
  int16_t stockGroupQty[kStockGroupSlots] = {};
};

// Whole-problem statistics of the problem check.
struct ProblemStats {
  int32_t maxStockLength = 0, minStockLength = 0, maxStockQty = 0;
  double maxCostRate = 0;
  int64_t totalStockLength = 0, totalStockCost = 0;
  int32_t maxPartLength = 0, minPartLength = 0, maxPartQty = 0;
  int64_t totalPartLength = 0;
  int32_t avgStockLength = 0, avgPartLength = 0;
  int32_t cappedStockCount = 0;
  int32_t estPieceCapacity = 0;  // estimated parts that fit
  int32_t estBarsNeeded = 0;     // estimated bars needed
};

// Error state of the call: the first error number raised (0 = none) and
// whether each error is also shown in a box.
struct ErrorState {
  int32_t number = 0;
  bool showBoxes = false;
};

// The caller's target solution: the search stops as soon as a new plan
// matches all six figures.
struct TargetSolution {
  int32_t utilRate = 0;
  int32_t stockUsed = 0;
  int32_t partsCut = 0;
  int32_t costUsed = 0;
  int32_t layoutNum = 0;
  int32_t layoutCuts = 0;
};

// Internal tuning constants, reloaded with these defaults on every call.
struct TuningConstants {
  int32_t twoPassAboveLevel = 1;  // levels above this one run two passes
  bool consistencyChecks = true;
};

// The progress window's logical state and the call's clock.
struct ProgressState {
  // Esc pressed (or an abort requested) since the window was opened; set
  // from the window's key handler or from another thread.
  std::atomic<bool> abort = false;
  bool windowOpen = false;   // the window currently exists
  double callStartMs = 0;    // clock at the start of the call
  int64_t packTicks = 0;     // ticks of the current run so far
  int64_t packExpected = 0;  // ticks the current run expects
  double lastPackUpdateMs = 0;
  int32_t multiPosition = 0;      // MultiProgBar 0..100
  int32_t packPosition = 0;       // PackProgBar 0..100
  int32_t bestColour = 0x800000;  // font colour of the best-plan labels
  // Clock used by the solver for this state; nullptr reads ClockMs. Tests
  // inject their own to drive the time-dependent logic.
  double (*clock)() = nullptr;
};

// Puts a record back to its initial values in place, without a temporary
// copy of it on the stack.
template <typename T>
void ResetRecord(T& record) {
  std::destroy_at(&record);
  std::construct_at(&record);
}

struct SolverState {
  // The context holding this record (null for a record of its own, as tests
  // make them); the progress window hands it to the key handler for Esc.
  TarvolinContext* owner = nullptr;
  // Where the current call shows boxes and progress; null shows nothing.
  const TarvolinView* view = nullptr;
  ErrorState error;
  TargetSolution target;
  TuningConstants tuning;
  ProgressState progress;
  SolverSettings settings;
  ProblemTables problem;
  ProblemStats stats;
  DriverTables driver;  // multiplicity candidates, best-ten list, result record
  RunTables run;        // the sub-problem of one search run and the search's tables
  Random rng;
};

}  // namespace solver
