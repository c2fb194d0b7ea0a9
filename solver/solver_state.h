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
  int32_t prefShort = 0;
  int32_t reduceLays = 0;
  int32_t effortLev = 0;
  double timeLimitMs = 0;  // 0 = none
  int32_t diffStocks = 0;  // 0 = not limited
  int32_t diffPieces = 0;  // 0 = not limited
  int32_t bundle = 0;      // stock/cut bundle, 0 = none
  int32_t maxPieces = 0;   // 0 = not limited
  int32_t iterMult = 0;
  double iterFactor = 0;  // iterMult * 0.002
  int32_t minReusable = 0;
  int32_t kerf = 0;        // GapItIt
  int32_t endZone = 0;     // GapItEnd
  int32_t gripLength = 0;  // GapGripEnd
  bool layByMark = false;
  bool showProgress = false;  // RunMsgMode > 0
  bool escEnabled = false;    // RunMsgMode > 1
  // Effective copies that the problem check may switch off.
  bool effCostMode = false;
  int32_t effReduceLays = 0;
  bool groupPartsByMark = false;
};

// The internal problem: items in internal (sorted) order and their groups.
struct ProblemTables {
  int32_t partCount = 0;
  int32_t partLth[kItemSlots] = {};
  int32_t partMark[kItemSlots] = {};  // mark id; item weight once the driver starts
  int16_t partInputNo[kItemSlots] = {};
  int16_t partGroup[kItemSlots] = {};

  int32_t stockCount = 0;
  int32_t stockLth[kItemSlots] = {};
  int32_t stockCost[kItemSlots] = {};
  int16_t stockInputNo[kItemSlots] = {};
  int16_t stockGroup[kItemSlots] = {};

  int32_t partGroupCount = 0;
  int32_t partGrLth[kPartGroupSlots] = {};
  int16_t partGrQty[kPartGroupSlots] = {};
  int32_t partGroupWeight[kPartGroupSlots] = {};  // layout signature code

  int32_t stockGroupCount = 0;
  int32_t stockGrLth[kStockGroupSlots] = {};
  int32_t stockGrCst[kStockGroupSlots] = {};
  int16_t stockGrQty[kStockGroupSlots] = {};
};

// Whole-problem statistics of the problem check.
struct ProblemStats {
  int32_t maxStockLth = 0, minStockLth = 0, maxStockQty = 0;
  double maxCostRate = 0;
  int64_t totalStockLth = 0, totalStockCost = 0;
  int32_t maxPartLth = 0, minPartLth = 0, maxPartQty = 0;
  int64_t totalPartLth = 0;
  int32_t avgStockLth = 0, avgPartLth = 0;
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
