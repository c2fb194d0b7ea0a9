/* Tarvolin cutting optimizer: the compatibility interfaces of the solver
 * library, kept so that existing callers build and behave as before. New
 * callers use the planner (tarvolin/planner.h) for any size of material, or
 * the struct call (tarvolin/solver.h) for fixed tables.
 *
 * The flat call: one call, CutOptimize, optimizes the cutting of one
 * material. Settings are plain integers; stock groups and part groups are
 * parallel arrays whose element 0 holds the group count n, elements 1..n
 * the groups and element n+1 a caller-chosen transfer check value. Result
 * arrays have 102 elements: element 0 the item count, elements 1..count one
 * value per item in input numbering, element count+1 the sum of the two
 * input check values. Lengths are integers in the caller's length unit,
 * costs in the caller's cost unit. The call is not reentrant.
 *
 * For C++ callers, the view adapter: the window side of the solver's
 * messages and progress window. The solver library draws nothing itself:
 * it calls the callbacks of a TarvolinView (tarvolin/solver.h). A
 * SolverView is the C++ form of such a view: implement its members and hand
 * AsTarvolinView() to TarvolinSolve, or set it as the view of the flat
 * CutOptimize call. */
#ifndef TARVOLIN_COMPAT_H
#define TARVOLIN_COMPAT_H

#include <stdint.h>

#include "tarvolin/colours.h"
#include "tarvolin/export.h"
#include "tarvolin/solver.h"

#ifdef __cplusplus
extern "C" {
#endif

TARVOLIN_API void CutOptimize(
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
    int16_t* StockItPat, int16_t* StockItParts, int32_t* StockItWaste);

/* Estimated number of bars of length stockLength that the part groups
 * (lengths partLth[1..n], quantities partQty[1..n]) can occupy at most,
 * multiplied by slack and rounded half to even, counting lengths only.
 * Pure; never fails. */
TARVOLIN_API int32_t BarDemandBound(const int32_t* partLth, const int16_t* partQty, int32_t n,
                                    double slack, int32_t gripLength, int32_t endZone, int32_t kerf,
                                    int32_t stockLength);

/* The same bound under the layout limits of a CutOptimize call, given as
 * that call's MaxPieces and DiffPieces settings: a limit on the pieces per
 * layout, on the different pieces per layout, or a stock/cut bundle can
 * need more bars than the lengths alone. Capping a stock quantity at this
 * bound never leaves a piece uncut for want of bars. */
TARVOLIN_API int32_t BarDemandBoundWithLimits(const int32_t* partLth, const int16_t* partQty,
                                              int32_t n, double slack, int32_t gripLength,
                                              int32_t endZone, int32_t kerf, int32_t stockLength,
                                              int32_t MaxPieces, int32_t DiffPieces);

#ifdef __cplusplus
} /* extern "C" */

/* ---- The C++ view adapter ---- */

namespace solver {

// Font colours of the best-plan labels (tarvolin/colours.h).
inline constexpr int32_t kColourNavy = TARVOLIN_COLOUR_NAVY;
inline constexpr int32_t kColourGrey = TARVOLIN_COLOUR_GREY;

class TARVOLIN_API SolverView {
 public:
  virtual ~SolverView() = default;

  // Modal boxes with an OK button. Line breaks inside a text are bare
  // carriage returns.
  virtual void ShowErrorBox(const char* text) = 0;
  virtual void ShowInfoBox(const char* text) = 0;

  // Creates (when needed) and shows the progress window, not modal, with
  // "Esc to abort" visible exactly when showEsc is set. The solver then sets
  // the bars, labels and colour and asks for a repaint.
  virtual void OpenProgress(bool showEsc) = 0;
  // Hides and destroys the progress window.
  virtual void CloseProgress() = 0;

  // Bar positions 0..100: the whole optimization and the current run.
  virtual void SetMultiPosition(int position) = 0;
  virtual void SetPackPosition(int position) = 0;
  // Elapsed time label beside the run bar, e.g. "12.3 sec".
  virtual void SetTimeText(const char* text) = 0;
  // Best criterion (percent) and the time it was found.
  virtual void SetBestTexts(const char* criterion, const char* time) = 0;
  // Font colour of both best-plan labels.
  virtual void SetBestColour(int32_t colour) = 0;
  // Repaints the window at once.
  virtual void Repaint() = 0;
  // Lets pending window messages run; a key handler then calls FormKeyPress.
  virtual void PumpMessages() = 0;

  // Esc, the key that stops a call.
  static constexpr char kEscapeKey = 27;

  // To be called by the window's key handler: Esc (kEscapeKey) asks the
  // call whose progress window is open to stop.
  void FormKeyPress(char key);

  // The C view that forwards every callback to this object. The object must
  // outlive every call that uses the returned view.
  TarvolinView AsTarvolinView();

 private:
  friend struct SolverViewCallbacks;
  // The context whose progress window this view shows; null while none is
  // open.
  TarvolinContext* context_ = nullptr;
};

// The view of the flat CutOptimize call (nullptr: nothing shown). The view
// must outlive every CutOptimize call made while it is set. Like
// CutOptimize itself, not for use from several threads.
TARVOLIN_API void SetCutOptimizeView(SolverView* view);

}  // namespace solver

#endif

#endif
