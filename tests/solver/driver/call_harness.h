// Fixed-size inputs and outputs of one CutOptimize call, and the same
// preparation steps into a caller-owned state record for figures the call
// does not return (plans built). No heap: usable around an allocation count.
#pragma once

#include <cstdint>

#include "flat_call.h"
#include "prepare.h"
#include "solver_services.h"
#include "solver_state.h"
#include "tarvolin/cut_optimize.h"
#include "tarvolin/solver.h"

namespace solver::testing {

struct CallSetup {
  int32_t costOptim = 0, ignoreLast = 0, effortLev = 5, reduceLays = 0, prefShort = 0;
  int32_t diffStocks = 0, diffPieces = 0, minReusable = 0;
  int32_t kerf = 0, endZone = 0, grip = 0, optimTime = 0, iterMult = 20;
  int32_t layByMark = 0, runMsgMode = 0, maxPieces = 0;
  int32_t stockLth[12] = {}, stockCst[12] = {};
  int16_t stockQty[12] = {};
  int32_t partLth[22] = {}, partMrk[22] = {};
  int16_t partQty[22] = {};

  void AddStock(int32_t length, int32_t quantity, int32_t cost = 0) {
    const int n = ++stockLth[0];
    stockCst[0] = stockQty[0] = static_cast<int16_t>(n);
    stockLth[n] = length;
    stockCst[n] = cost;
    stockQty[n] = static_cast<int16_t>(quantity);
    stockLth[n + 1] = stockCst[n + 1] = stockQty[n + 1] = 555;
  }
  void AddPart(int32_t length, int32_t quantity, int32_t mark = 0) {
    const int n = ++partLth[0];
    partMrk[0] = partQty[0] = static_cast<int16_t>(n);
    partLth[n] = length;
    partMrk[n] = mark;
    partQty[n] = static_cast<int16_t>(quantity);
    partLth[n + 1] = partMrk[n + 1] = partQty[n + 1] = 777;
  }
};

struct CallResult {
  int32_t error = 0, msgs = 0;
  int32_t crit = 0, util = 0, stockUsed = 0, partsCut = 0, lthUsed = 0, waste = 0, cost = 0;
  int32_t lastStock = 0, lastParts = 0, lastLth = 0, lastWaste = 0, lastCost = 0;
  int32_t patterns = 0, layouts = 0, layoutCuts = 0, reserved1 = 0, reserved2 = 0;
  int16_t stockItGr[102] = {}, partItGr[102] = {}, partItStock[102] = {};
  int16_t stockItLay[102] = {}, stockItPat[102] = {}, stockItParts[102] = {};
  int32_t stockItWaste[102] = {};
};

// The call; the six target values are whatever `out` holds on entry.
inline void Call(const CallSetup& in, CallResult& out) {
  CutOptimize(&out.error, &out.msgs, in.costOptim, in.ignoreLast, in.effortLev, in.reduceLays,
              in.prefShort, in.diffStocks, in.diffPieces, in.minReusable, in.kerf, in.endZone,
              in.grip, in.optimTime, in.iterMult, in.layByMark, in.runMsgMode, in.maxPieces,
              in.stockLth, in.stockCst, in.stockQty, in.partLth, in.partMrk, in.partQty, &out.crit,
              &out.util, &out.stockUsed, &out.partsCut, &out.lthUsed, &out.waste, &out.cost,
              &out.lastStock, &out.lastParts, &out.lastLth, &out.lastWaste, &out.lastCost,
              &out.patterns, &out.layouts, &out.layoutCuts, &out.reserved1, &out.reserved2,
              out.stockItGr, out.partItGr, out.partItStock, out.stockItLay, out.stockItPat,
              out.stockItParts, out.stockItWaste);
}

// The same call in the structured interface. The settings are written out
// field by field rather than packed the way CutOptimize packs them, so that
// comparing the two interfaces compares two independent readings.
inline TarvolinSettings ToSettings(const CallSetup& in, int32_t errorBoxes = 0) {
  TarvolinSettings s{};
  s.costMode = in.costOptim;
  s.ignoreLast = in.ignoreLast;
  s.effortLevel = in.effortLev;
  s.reduceLayouts = in.reduceLays;
  s.preferShort = in.prefShort;
  s.maxStockGroups = in.diffStocks;
  if (in.diffPieces <= -2) {
    s.bundleSize = -in.diffPieces;
  } else if (in.diffPieces >= 1) {
    s.maxDifferentPieces = in.diffPieces;
  }
  s.minReusable = in.minReusable;
  s.kerf = in.kerf;
  s.endZone = in.endZone;
  s.gripLength = in.grip;
  s.timeLimitSeconds = in.optimTime;
  s.iterationMultiplier = in.iterMult;
  s.layoutsByMark = in.layByMark;
  s.progressMode = in.runMsgMode;
  s.maxPiecesPerLayout = in.maxPieces;
  s.showErrorBoxes = errorBoxes;
  return s;
}

// The groups of a setup whose counts are in range and agree.
inline TarvolinProblem ToProblem(const CallSetup& in) {
  TarvolinProblem p{};
  p.stockGroupCount = in.stockLth[0];
  for (int g = 1; g <= in.stockLth[0] && g <= TARVOLIN_MAX_STOCK_GROUPS; ++g) {
    p.stockGroups[g] = TarvolinStockGroup{in.stockLth[g], in.stockCst[g], in.stockQty[g]};
  }
  p.partGroupCount = in.partLth[0];
  for (int g = 1; g <= in.partLth[0] && g <= TARVOLIN_MAX_PART_GROUPS; ++g) {
    p.partGroups[g] = TarvolinPartGroup{in.partLth[g], in.partMrk[g], in.partQty[g]};
  }
  return p;
}

// Whether a plan of the structured interface says what the flat call's
// results say: every figure, and every item array element by element.
inline bool SamePlan(const TarvolinPlan& p, const CallResult& r) {
  const bool figures =
      p.criterion == r.crit && p.utilization == r.util && p.stockUsed == r.stockUsed &&
      p.partsCut == r.partsCut && p.lengthUsed == r.lthUsed && p.wasteSum == r.waste &&
      p.costUsed == r.cost && p.lastStock == r.lastStock && p.lastParts == r.lastParts &&
      p.lastLengthUsed == r.lastLth && p.lastWaste == r.lastWaste && p.lastCost == r.lastCost &&
      p.patternCount == r.patterns && p.layoutCount == r.layouts && p.layoutCuts == r.layoutCuts &&
      p.stockItemCount == r.stockItGr[0] && p.partItemCount == r.partItGr[0];
  if (!figures) return false;
  for (int i = 1; i <= p.partItemCount; ++i) {
    if (p.partItemGroup[i] != r.partItGr[i] || p.partItemStock[i] != r.partItStock[i]) {
      return false;
    }
  }
  for (int i = 1; i <= p.stockItemCount; ++i) {
    if (p.stockItemGroup[i] != r.stockItGr[i] || p.stockItemLayout[i] != r.stockItLay[i] ||
        p.stockItemPattern[i] != r.stockItPat[i] || p.stockItemParts[i] != r.stockItParts[i] ||
        p.stockItemWaste[i] != r.stockItWaste[i]) {
      return false;
    }
  }
  return true;
}

// The call's preparation steps into st, ready for the driver; returns the
// error number (0 = ready).
inline int32_t PrepareState(const CallSetup& in, SolverState& st) {
  st.error.number = 0;
  st.progress.callStartMs = NowMs(st);
  st.driver = DriverTables{};
  st.tuning = TuningConstants{};
  const FlatSettings settings{in.costOptim, in.ignoreLast, in.effortLev,  in.reduceLays,
                              in.prefShort, in.diffStocks, in.diffPieces, in.minReusable,
                              in.kerf,      in.endZone,    in.grip,       in.optimTime,
                              in.iterMult,  in.layByMark,  in.runMsgMode, in.maxPieces};
  const FlatArrays arrays{in.stockLth, in.stockCst, in.stockQty,
                          in.partLth,  in.partMrk,  in.partQty};
  if (!CheckSettings(st, PackSettings(settings, 0))) return st.error.number;
  TarvolinProblem problem{};
  const ArrayCountMismatch mismatch = PackGroups(arrays, problem);
  CheckGroups(st, problem, mismatch);
  if (st.error.number != 0) return st.error.number;
  ClearProblemTables(st);
  TarvolinPlan plan{};
  ExpandItems(st, problem, plan);
  if (st.error.number == 0) SortAndRegroup(st);
  if (st.error.number == 0) CheckProblem(st);
  return st.error.number;
}

// The bench and test instances.
inline CallSetup TwentyGroupsThreeStocks(int32_t effort) {
  CallSetup s;
  s.effortLev = effort;
  s.AddStock(600000, 40);
  s.AddStock(500000, 30);
  s.AddStock(400000, 30);
  for (int g = 0; g < 20; ++g) s.AddPart(30000 + ((g * 7919) % 20) * 12500 + g * 130, 5);
  return s;
}

inline CallSetup OneLength(int32_t effort) {
  CallSetup s;
  s.effortLev = effort;
  s.AddStock(600000, 40);
  s.AddPart(123400, 100);
  return s;
}

inline CallSetup CostTenStockGroups(int32_t effort) {
  CallSetup s;
  s.effortLev = effort;
  s.costOptim = 1;
  const int32_t lengths[10] = {750000, 700000, 650000, 600000, 550000,
                               500000, 450000, 400000, 350000, 300000};
  const int32_t costs[10] = {9800, 8600, 8700, 7000, 7400, 5900, 6100, 4500, 4300, 3300};
  for (int g = 0; g < 10; ++g) s.AddStock(lengths[g], 10, costs[g]);
  const int32_t parts[6] = {270000, 215000, 160000, 125000, 90000, 45000};
  for (int32_t p : parts) s.AddPart(p, 10);
  return s;
}

inline CallSetup KerfEndZoneGrip(int32_t effort) {
  CallSetup s;
  s.effortLev = effort;
  s.kerf = 300;
  s.endZone = 2000;
  s.grip = 12000;
  s.AddStock(600000, 30);
  s.AddStock(650000, 20);
  const int32_t parts[8] = {185000, 142500, 121000, 98000, 76500, 54000, 31000, 9500};
  const int16_t qty[8] = {6, 8, 10, 12, 10, 8, 6, 4};
  for (int g = 0; g < 8; ++g) s.AddPart(parts[g], qty[g]);
  return s;
}

}  // namespace solver::testing
