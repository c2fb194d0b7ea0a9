#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "context.h"
#include "flat_call.h"
#include "solve.h"
#include "tarvolin/compat.h"
#include "tarvolin/errors.h"

namespace solver {

namespace {

// The flat call's own view, for its own context.
SolverView* cutOptimizeView = nullptr;

// The context of the flat call: static storage, never allocated per call.
// This is why CutOptimize is not reentrant.
TarvolinContext& FlatContext() {
  static TarvolinContext context;
  context.state.owner = &context;
  return context;
}

struct FlatCall {
  int32_t* ErrorNumb;
  int32_t* ErrorMsgs;
  FlatSettings settings;
  FlatArrays arrays;
  FlatResults results;
};

bool AnyNullPointer(const FlatCall& a) {
  const FlatArrays& i = a.arrays;
  const FlatResults& r = a.results;
  const void* pointers[] = {
      a.ErrorMsgs,   i.StockGrLth, i.StockGrCst,  i.StockGrQty, i.PartGrLth,   i.PartGrMrkID,
      i.PartGrQty,   r.CritValue,  r.UtilRate,    r.StockUsed,  r.PartsCut,    r.LthUsed,
      r.WasteSum,    r.CostUsed,   r.LastStock,   r.LastParts,  r.LastLthUsed, r.LastWaste,
      r.LastCost,    r.PatternNum, r.LayoutNum,   r.LayoutCuts, r.Reserved1,   r.Reserved2,
      r.StockItGr,   r.PartItGr,   r.PartItStock, r.StockItLay, r.StockItPat,  r.StockItParts,
      r.StockItWaste};
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

void ShowInfoBox(const TarvolinView* view, const char* text) {
  if (view != nullptr && view->showInfoBox != nullptr) view->showInfoBox(view->user, text);
}

// The two information boxes that list what the call received, under the
// flat call's own argument names.
void ShowArgumentLists(const FlatCall& a, const TarvolinView* view) {
  if (view == nullptr) return;
  const FlatSettings& s = a.settings;
  const struct {
    const char* label;
    int32_t value;
  } values[] = {{"ErrorNumb:     ", *a.ErrorNumb}, {"ErrorMsgs:     ", *a.ErrorMsgs},
                {"CostOptim:     ", s.CostOptim},  {"IgnoreLast:    ", s.IgnoreLast},
                {"EffortLev:     ", s.EffortLev},  {"ReduceLays:    ", s.ReduceLays},
                {"PrefShort:     ", s.PrefShort},  {"DiffStocks:    ", s.DiffStocks},
                {"DiffPieces:    ", s.DiffPieces}, {"MaxPieces:     ", s.MaxPieces},
                {"GapItIt:       ", s.GapItIt},    {"GapItEnd:      ", s.GapItEnd},
                {"GapGripEnd:    ", s.GapGripEnd}, {"OptimTime:     ", s.OptimTime},
                {"IterMult:      ", s.IterMult},   {"LayByMark:     ", s.LayByMark},
                {"RunMsgMode:    ", s.RunMsgMode}};
  TextBuffer first;
  first.Append("DLL input arguments received: \r\r");
  bool separate = false;
  for (const auto& v : values) {
    first.Append("%s%s%d", separate ? "\r" : "", v.label, static_cast<int>(v.value));
    separate = true;
  }
  ShowInfoBox(view, first.text);

  const FlatArrays& r = a.arrays;
  TextBuffer second;
  second.Append("DLL input array data[0,1,2,3,4,5...] received:\r\r");
  const struct {
    const char* label;
    const int32_t* wide;
    const int16_t* narrow;
  } arrays[] = {
      {"StockGrLth:  ", r.StockGrLth, nullptr},  {"StockGrCst:  ", r.StockGrCst, nullptr},
      {"StockGrQty:  ", nullptr, r.StockGrQty},  {"PartGrLth:    ", r.PartGrLth, nullptr},
      {"PartGrMrkID: ", r.PartGrMrkID, nullptr}, {"PartGrQty:    ", nullptr, r.PartGrQty}};
  for (const auto& array : arrays) {
    if (&array != &arrays[0]) second.Append("\r");
    if (array.wide != nullptr) {
      AppendArray(second, array.label, array.wide);
    } else {
      AppendArray(second, array.label, array.narrow);
    }
  }
  ShowInfoBox(view, second.text);
}

// Copies items 1..count of a plan table, the count in element 0 and the
// transfer check value behind the last item.
template <typename T>
void WriteItemArray(T* array, const T* items, int32_t count, int32_t checkValue) {
  std::copy(items + 1, items + count + 1, array + 1);
  array[0] = static_cast<T>(count);
  array[count + 1] = static_cast<T>(checkValue);
}

// What a failed call leaves: the target values read 0 once the settings
// were accepted, and the items expanded before the failure carry their
// input group.
void WriteFlatFailure(int32_t status, const TarvolinPlan& plan, const FlatResults& r) {
  if (status != TARVOLIN_ERROR_SETTINGS) {
    *r.UtilRate = *r.StockUsed = *r.PartsCut = *r.CostUsed = *r.LayoutNum = *r.LayoutCuts = 0;
  }
  std::copy(plan.partItemGroup + 1, plan.partItemGroup + plan.partItemCount + 1, r.PartItGr + 1);
  std::copy(plan.stockItemGroup + 1, plan.stockItemGroup + plan.stockItemCount + 1,
            r.StockItGr + 1);
}

int32_t RunFlatCall(const FlatCall& call) {
  TarvolinContext& context = FlatContext();
  TarvolinView view{};
  const TarvolinView* shown = nullptr;
  if (cutOptimizeView != nullptr) {
    view = cutOptimizeView->AsTarvolinView();
    shown = &view;
  }
  // A null array or result cell is bad input that no group check can see:
  // it is reported before anything is read or written.
  if (AnyNullPointer(call)) {
    const bool boxes = call.ErrorMsgs != nullptr && *call.ErrorMsgs != 0;
    return ReportCallFailure(context, shown, boxes, TARVOLIN_ERROR_NULL_ARGUMENT);
  }
  const int32_t errorMsgs = *call.ErrorMsgs;
  try {
    if (errorMsgs >= 2) ShowArgumentLists(call, shown);
  } catch (...) {
    return ReportCallFailure(context, shown, errorMsgs != 0, TARVOLIN_ERROR_UNEXPECTED);
  }
  const TarvolinSettings settings = PackSettings(call.settings, errorMsgs);
  TarvolinProblem problem{};
  const ArrayCountMismatch mismatch = PackGroups(call.arrays, problem);
  const FlatResults& r = call.results;
  problem.target = TarvolinTarget{*r.UtilRate, *r.StockUsed, *r.PartsCut,
                                  *r.CostUsed, *r.LayoutNum, *r.LayoutCuts};
  TarvolinPlan plan{};
  const int32_t status = SolveInContext(context, settings, problem, shown, plan, mismatch);
  if (status == 0) {
    WriteFlatResults(plan, call.arrays, call.results);
  } else {
    WriteFlatFailure(status, plan, call.results);
  }
  return status;
}

}  // namespace

TarvolinSettings PackSettings(const FlatSettings& s, int32_t errorMsgs) {
  TarvolinSettings t{};
  t.costMode = s.CostOptim;
  t.ignoreLast = s.IgnoreLast;
  t.effortLevel = s.EffortLev;
  t.reduceLayouts = s.ReduceLays;
  t.preferShort = s.PrefShort;
  t.maxStockGroups = s.DiffStocks;
  // DiffPieces carries two settings: -1..100 the most different pieces per
  // layout (-1 and 0: not limited), -2..-100 the bundle as its negative.
  // Values beyond -100..100 stay out of range in the packed field.
  if (s.DiffPieces >= -1) {
    t.maxDifferentPieces = std::max(s.DiffPieces, 0);
  } else {
    t.bundleSize = s.DiffPieces >= -kMaxItems ? -s.DiffPieces : -1;
  }
  t.minReusable = s.MinReusable;
  t.kerf = s.GapItIt;
  t.endZone = s.GapItEnd;
  t.gripLength = s.GapGripEnd;
  t.timeLimitSeconds = s.OptimTime;
  t.iterationMultiplier = s.IterMult;
  t.layoutsByMark = s.LayByMark;
  t.progressMode = s.RunMsgMode;
  t.maxPiecesPerLayout = s.MaxPieces;
  t.showErrorBoxes = errorMsgs;
  return t;
}

ArrayCountMismatch PackGroups(const FlatArrays& a, TarvolinProblem& problem) {
  const int32_t n = a.StockGrLth[0];
  const int32_t m = a.PartGrLth[0];
  const ArrayCountMismatch mismatch{a.StockGrQty[0] != n || a.StockGrCst[0] != n,
                                    a.PartGrQty[0] != m || a.PartGrMrkID[0] != m};
  problem.stockGroupCount = n;
  problem.partGroupCount = m;
  if (!mismatch.stock && n >= 1 && n <= kMaxStockGroups) {
    for (int g = 1; g <= n; ++g) {
      problem.stockGroups[g] =
          TarvolinStockGroup{a.StockGrLth[g], a.StockGrCst[g], a.StockGrQty[g]};
    }
  }
  if (!mismatch.part && m >= 1 && m <= kMaxPartGroups) {
    for (int g = 1; g <= m; ++g) {
      problem.partGroups[g] = TarvolinPartGroup{a.PartGrLth[g], a.PartGrMrkID[g], a.PartGrQty[g]};
    }
  }
  return mismatch;
}

// Writes a successful plan into the result cells and arrays.
void WriteFlatResults(const TarvolinPlan& plan, const FlatArrays& a, const FlatResults& r) {
  *r.CritValue = plan.criterion;
  *r.UtilRate = plan.utilization;
  *r.StockUsed = plan.stockUsed;
  *r.PartsCut = plan.partsCut;
  *r.LthUsed = plan.lengthUsed;
  *r.WasteSum = plan.wasteSum;
  *r.CostUsed = plan.costUsed;
  *r.LastParts = plan.lastParts;
  *r.LastLthUsed = plan.lastLengthUsed;
  *r.LastWaste = plan.lastWaste;
  *r.LastCost = plan.lastCost;
  *r.PatternNum = plan.patternCount;
  *r.LayoutNum = plan.layoutCount;
  *r.LayoutCuts = plan.layoutCuts;
  *r.LastStock = plan.lastStock;
  *r.Reserved1 = 0;
  *r.Reserved2 = 0;

  // The sum of the two input check values, wrapped to the element size.
  const auto check = static_cast<int32_t>(static_cast<uint32_t>(
      int64_t{a.StockGrLth[a.StockGrLth[0] + 1]} + int64_t{a.PartGrLth[a.PartGrLth[0] + 1]}));
  const int32_t parts = plan.partItemCount;
  const int32_t bars = plan.stockItemCount;
  WriteItemArray(r.PartItGr, plan.partItemGroup, parts, check);
  WriteItemArray(r.PartItStock, plan.partItemStock, parts, check);
  WriteItemArray(r.StockItGr, plan.stockItemGroup, bars, check);
  WriteItemArray(r.StockItLay, plan.stockItemLayout, bars, check);
  WriteItemArray(r.StockItPat, plan.stockItemPattern, bars, check);
  WriteItemArray(r.StockItParts, plan.stockItemParts, bars, check);
  WriteItemArray(r.StockItWaste, plan.stockItemWaste, bars, check);
}

void SetCutOptimizeView(SolverView* view) {
  cutOptimizeView = view;
}

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
  const FlatCall call{
      ErrorNumb, ErrorMsgs,
      FlatSettings{CostOptim, IgnoreLast, EffortLev, ReduceLays, PrefShort, DiffStocks, DiffPieces,
                   MinReusable, GapItIt, GapItEnd, GapGripEnd, OptimTime, IterMult, LayByMark,
                   RunMsgMode, MaxPieces},
      FlatArrays{StockGrLth, StockGrCst, StockGrQty, PartGrLth, PartGrMrkID, PartGrQty},
      FlatResults{CritValue,  UtilRate,    StockUsed,  PartsCut,    LthUsed,      WasteSum,
                  CostUsed,   LastStock,   LastParts,  LastLthUsed, LastWaste,    LastCost,
                  PatternNum, LayoutNum,   LayoutCuts, Reserved1,   Reserved2,    StockItGr,
                  PartItGr,   PartItStock, StockItLay, StockItPat,  StockItParts, StockItWaste}};
  const int32_t status = RunFlatCall(call);
  if (status != 0) *ErrorNumb = status;
}
