#include "tarvolin/cut_optimize.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "driver.h"
#include "prepare.h"
#include "solver_services.h"
#include "solver_state.h"
#include "tarvolin/errors.h"
#include "tarvolin/solver_view.h"

namespace solver {

namespace {

// Everything the call receives, gathered once.
struct CallArgs {
  int32_t* errorNumb;
  int32_t* errorMsgs;
  CallSettings settings;
  CallArrays arrays;
  CallResults results;
};

// The one process-wide state: static storage, never allocated per call.
SolverState& ProcessState() {
  static SolverState state;
  return state;
}

bool AnyNullPointer(const CallArgs& a) {
  const CallArrays& i = a.arrays;
  const CallResults& r = a.results;
  const void* pointers[] = {
      a.errorMsgs,   i.stockGrLth, i.stockGrCst,  i.stockGrQty, i.partGrLth,   i.partGrMrkID,
      i.partGrQty,   r.critValue,  r.utilRate,    r.stockUsed,  r.partsCut,    r.lthUsed,
      r.wasteSum,    r.costUsed,   r.lastStock,   r.lastParts,  r.lastLthUsed, r.lastWaste,
      r.lastCost,    r.patternNum, r.layoutNum,   r.layoutCuts, r.reserved1,   r.reserved2,
      r.stockItGr,   r.partItGr,   r.partItStock, r.stockItLay, r.stockItPat,  r.stockItParts,
      r.stockItWaste};
  for (const void* p : pointers) {
    if (p == nullptr) return true;
  }
  return false;
}

// A text built in a fixed buffer; output beyond its size is cut off.
struct TextBuffer {
  char text[2048] = {};
  size_t length = 0;
  __attribute__((format(printf, 2, 3))) void Append(const char* format, ...) {
    if (length >= sizeof text - 1) return;
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(text + length, sizeof text - length, format, args);
    va_end(args);
    if (written > 0) length = std::min(sizeof text - 1, length + static_cast<size_t>(written));
  }
};

template <typename T>
void AppendArray(TextBuffer& b, const char* label, const T* array) {
  b.Append("%s", label);
  for (int i = 0; i <= 5; ++i) b.Append("%d, ", static_cast<int>(array[i]));
  b.Append("...");
}

// The two information boxes that list what the call received.
void ShowArgumentLists(const CallArgs& a) {
  SolverView* view = RegisteredView();
  if (view == nullptr) return;
  const CallSettings& s = a.settings;
  const struct {
    const char* label;
    int32_t value;
  } values[] = {{"ErrorNumb:     ", *a.errorNumb}, {"ErrorMsgs:     ", *a.errorMsgs},
                {"CostOptim:     ", s.costOptim},  {"IgnoreLast:    ", s.ignoreLast},
                {"EffortLev:     ", s.effortLev},  {"ReduceLays:    ", s.reduceLays},
                {"PrefShort:     ", s.prefShort},  {"DiffStocks:    ", s.diffStocks},
                {"DiffPieces:    ", s.diffPieces}, {"MaxPieces:     ", s.maxPieces},
                {"GapItIt:       ", s.gapItIt},    {"GapItEnd:      ", s.gapItEnd},
                {"GapGripEnd:    ", s.gapGripEnd}, {"OptimTime:     ", s.optimTime},
                {"IterMult:      ", s.iterMult},   {"LayByMark:     ", s.layByMark},
                {"RunMsgMode:    ", s.runMsgMode}};
  TextBuffer first;
  first.Append("DLL input arguments received: \r\r");
  bool separate = false;
  for (const auto& v : values) {
    first.Append("%s%s%d", separate ? "\r" : "", v.label, static_cast<int>(v.value));
    separate = true;
  }
  view->ShowInfoBox(first.text);

  const CallArrays& r = a.arrays;
  TextBuffer second;
  second.Append("DLL input array data[0,1,2,3,4,5...] received:\r\r");
  AppendArray(second, "StockGrLth:  ", r.stockGrLth);
  second.Append("\r");
  AppendArray(second, "StockGrCst:  ", r.stockGrCst);
  second.Append("\r");
  AppendArray(second, "StockGrQty:  ", r.stockGrQty);
  second.Append("\r");
  AppendArray(second, "PartGrLth:    ", r.partGrLth);
  second.Append("\r");
  AppendArray(second, "PartGrMrkID: ", r.partGrMrkID);
  second.Append("\r");
  AppendArray(second, "PartGrQty:    ", r.partGrQty);
  view->ShowInfoBox(second.text);
}

// Keeps the caller's target solution and clears the six caller values.
void TakeOverTarget(SolverState& st, const CallResults& r) {
  st.target = TargetSolution{*r.utilRate, *r.stockUsed, *r.partsCut,
                             *r.costUsed, *r.layoutNum, *r.layoutCuts};
  *r.utilRate = 0;
  *r.stockUsed = 0;
  *r.partsCut = 0;
  *r.costUsed = 0;
  *r.layoutNum = 0;
  *r.layoutCuts = 0;
}

// The call's steps; returns after the first step that raised an error.
void RunCall(SolverState& st, const CallArgs& a) {
  st.error.showBoxes = *a.errorMsgs != 0;
  if (*a.errorMsgs >= 2) ShowArgumentLists(a);

  st.error.number = 0;
  st.progress.callStartMs = NowMs(st);

  ResetRecord(st.driver);
  ResetRecord(st.tuning);

  if (!CheckSettings(st, a.settings)) return;
  TakeOverTarget(st, a.results);

  CheckArrays(st, a.arrays);
  if (st.error.number != 0) return;

  OpenProgressWindow(st);

  ClearProblemTables(st);

  ExpandItems(st, a.arrays, a.results.stockItGr, a.results.partItGr);
  if (st.error.number != 0) return;
  SortAndRegroup(st);
  if (st.error.number != 0) return;

  CheckProblem(st);
  if (st.error.number != 0) return;

  RunOptimizationDriver(st);
  if (st.error.number != 0) return;

  WriteResults(st, a.arrays, a.results);
  CloseProgressWindow(st);
}

// Ends a call that failed: the progress window goes, the first number is
// handed back.
void FinishFailedCall(SolverState& st, int32_t* errorNumb) {
  CloseProgressWindow(st);
  *errorNumb = st.error.number;
}

}  // namespace

}  // namespace solver

extern "C" TARVOLIN_API void CutOptimize(
    int32_t* ErrorNumb, int32_t* ErrorMsgs, int32_t CostOptim, int32_t IgnoreLast,
    int32_t EffortLev, int32_t ReduceLays, int32_t PrefShort, int32_t DiffStocks,
    int32_t DiffPieces, int32_t MinReusable, int32_t GapItIt, int32_t GapItEnd, int32_t GapGripEnd,
    int32_t OptimTime, int32_t IterMult, int32_t LayByMark, int32_t RunMsgMode, int32_t MaxPieces,
    const int32_t* StockGrLth, const int32_t* StockGrCst, const int16_t* StockGrQty,
    const int32_t* PartGrLth, const int32_t* PartGrMrkID, const int16_t* PartGrQty,
    int32_t* CritValue, int32_t* UtilRate, int32_t* StockUsed, int32_t* PartsCut, int32_t* LthUsed,
    int32_t* WasteSum, int32_t* CostUsed, int32_t* LastStock, int32_t* LastParts,
    int32_t* LastLthUsed, int32_t* LastWaste, int32_t* LastCost, int32_t* PatternNum,
    int32_t* LayoutNum, int32_t* LayoutCuts, int32_t* Reserved1, int32_t* Reserved2,
    int16_t* StockItGr, int16_t* PartItGr, int16_t* PartItStock, int16_t* StockItLay,
    int16_t* StockItPat, int16_t* StockItParts, int32_t* StockItWaste) {
  using namespace solver;
  // Without a cell for the error number there is no way to report anything.
  if (ErrorNumb == nullptr) return;
  const CallArgs args{
      ErrorNumb, ErrorMsgs,
      CallSettings{CostOptim, IgnoreLast, EffortLev, ReduceLays, PrefShort, DiffStocks, DiffPieces,
                   MinReusable, GapItIt, GapItEnd, GapGripEnd, OptimTime, IterMult, LayByMark,
                   RunMsgMode, MaxPieces},
      CallArrays{StockGrLth, StockGrCst, StockGrQty, PartGrLth, PartGrMrkID, PartGrQty},
      CallResults{CritValue,  UtilRate,    StockUsed,  PartsCut,    LthUsed,      WasteSum,
                  CostUsed,   LastStock,   LastParts,  LastLthUsed, LastWaste,    LastCost,
                  PatternNum, LayoutNum,   LayoutCuts, Reserved1,   Reserved2,    StockItGr,
                  PartItGr,   PartItStock, StockItLay, StockItPat,  StockItParts, StockItWaste}};
  SolverState& st = ProcessState();
  st.error.number = 0;
  try {
    // A null array or result cell is bad input that no array check can
    // see: it is reported as error 209 before anything is read or written.
    if (AnyNullPointer(args)) {
      st.error = ErrorState{0, ErrorMsgs != nullptr && *ErrorMsgs != 0};
      RaiseError(st, TARVOLIN_ERROR_NULL_ARGUMENT);
      FinishFailedCall(st, ErrorNumb);
      return;
    }
    RunCall(st, args);
    if (st.error.number != 0) FinishFailedCall(st, ErrorNumb);
  } catch (...) {
    // Nothing may cross the boundary: an unexpected failure is error 210.
    try {
      RaiseError(st, TARVOLIN_ERROR_UNEXPECTED);
      FinishFailedCall(st, ErrorNumb);
    } catch (...) {
      *ErrorNumb = st.error.number != 0 ? st.error.number : TARVOLIN_ERROR_UNEXPECTED;
    }
  }
}
