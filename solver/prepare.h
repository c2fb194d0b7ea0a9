// Input validation and problem preparation: the settings and array checks
// of a call, the expansion of groups into items, sorting and regrouping,
// and the problem check with its statistics and derived limits.
#pragma once

#include <cstdint>

namespace solver {

struct SolverState;

// The call's settings as received.
struct CallSettings {
  int32_t costOptim = 0;
  int32_t ignoreLast = 0;
  int32_t effortLev = 0;
  int32_t reduceLays = 0;
  int32_t prefShort = 0;
  int32_t diffStocks = 0;
  int32_t diffPieces = 0;
  int32_t minReusable = 0;
  int32_t gapItIt = 0;
  int32_t gapItEnd = 0;
  int32_t gapGripEnd = 0;
  int32_t optimTime = 0;
  int32_t iterMult = 0;
  int32_t layByMark = 0;
  int32_t runMsgMode = 0;
  int32_t maxPieces = 0;
};

// The call's six input arrays: element 0 the group count, 1..n the groups,
// n+1 the caller's transfer check value.
struct CallArrays {
  const int32_t* stockGrLth = nullptr;
  const int32_t* stockGrCst = nullptr;
  const int16_t* stockGrQty = nullptr;
  const int32_t* partGrLth = nullptr;
  const int32_t* partGrMrkID = nullptr;
  const int16_t* partGrQty = nullptr;
};

// The call's result cells and result arrays (102 elements each).
struct CallResults {
  int32_t* critValue = nullptr;
  int32_t* utilRate = nullptr;
  int32_t* stockUsed = nullptr;
  int32_t* partsCut = nullptr;
  int32_t* lthUsed = nullptr;
  int32_t* wasteSum = nullptr;
  int32_t* costUsed = nullptr;
  int32_t* lastStock = nullptr;
  int32_t* lastParts = nullptr;
  int32_t* lastLthUsed = nullptr;
  int32_t* lastWaste = nullptr;
  int32_t* lastCost = nullptr;
  int32_t* patternNum = nullptr;
  int32_t* layoutNum = nullptr;
  int32_t* layoutCuts = nullptr;
  int32_t* reserved1 = nullptr;
  int32_t* reserved2 = nullptr;
  int16_t* stockItGr = nullptr;
  int16_t* partItGr = nullptr;
  int16_t* partItStock = nullptr;
  int16_t* stockItLay = nullptr;
  int16_t* stockItPat = nullptr;
  int16_t* stockItParts = nullptr;
  int32_t* stockItWaste = nullptr;
};

// Checks every setting; raises 25 when any is out of range, otherwise takes
// them over into st.settings. Returns whether they were taken over.
bool CheckSettings(SolverState& st, const CallSettings& in);

// Checks group counts (1..4) and group values (5..10).
void CheckArrays(SolverState& st, const CallArrays& in);

// Zeroes the problem tables, statistics, run tables and solution tables and
// makes the effective copies of cost mode and layout reduction.
void ClearProblemTables(SolverState& st);

// Appends one item per piece and per bar in input order (15, 16) and fills
// partItGr/stockItGr[1..count] with the input group numbers.
void ExpandItems(SolverState& st, const CallArrays& in, int16_t* stockItGr, int16_t* partItGr);

// Stable sorts of the items, longest first, and regrouping into internal
// groups (13, 14, 221, 222).
void SortPartItems(SolverState& st);
void GroupPartItems(SolverState& st);
void SortStockItems(SolverState& st);
void GroupStockItems(SolverState& st);
void SortAndRegroup(SolverState& st);

// Problem check with capped quantities, statistics and derived limits
// (11 to 23).
void CheckProblem(SolverState& st);

// Writes the driver's result (internal numbering) into the caller's cells
// and arrays in input numbering, with item counts in element 0 and the
// transfer check value behind the last item.
void WriteResults(const SolverState& st, const CallArrays& in, const CallResults& out);

}  // namespace solver
