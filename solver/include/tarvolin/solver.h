/* Tarvolin cutting optimizer: the structured C interface of the solver.
 *
 * The solver works out which pieces to cut from which bars so that every
 * piece is cut with as little waste, or as little stock cost, as possible.
 * A caller describes one material: its stock (groups of equal bars) and its
 * order (groups of equal pieces), chooses the settings, and receives one
 * cutting plan.
 *
 *   TarvolinContext* context = TarvolinCreateContext();
 *   TarvolinPlan plan;
 *   int32_t status = TarvolinSolve(context, &settings, &problem, NULL, &plan);
 *   ...
 *   TarvolinDestroyContext(context);
 *
 * Every solver call runs in a context, which holds all of the call's working
 * tables; a context is made once and serves any number of calls, one at a
 * time. Calls in different contexts may run at the same time on different
 * threads. Nothing is allocated per call.
 *
 * Units: lengths are integers in the caller's length unit (for example
 * hundredths of a millimetre), costs integers in the caller's cost unit; the
 * solver never converts them. Fractions handed back (criterion,
 * utilization) are multiplied by 100000 and rounded.
 *
 * Numbering: groups and items count from 1; element 0 of every group and
 * item table is unused. Bars (stock items) and pieces (part items) are
 * numbered in input order: the bars of stock group 1 first, then those of
 * group 2, and so on; a group with quantity 0 contributes none. */
#ifndef TARVOLIN_SOLVER_H
#define TARVOLIN_SOLVER_H

#include <stdint.h>

#include "tarvolin/errors.h"
#include "tarvolin/export.h"
#include "tarvolin/limits.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The working tables of solver calls; opaque. */
typedef struct TarvolinContext TarvolinContext;

/* A new context, or NULL when there is not enough memory. */
TARVOLIN_API TarvolinContext* TarvolinCreateContext(void);

/* Frees a context that no call is using. NULL is ignored. */
TARVOLIN_API void TarvolinDestroyContext(TarvolinContext* context);

/* Asks the call running in the context to stop and return the best plan
 * found so far, as the Esc key does in the progress window. Safe to call
 * from any thread. Honoured only while the call shows its progress window
 * with Esc offered (progressMode 2 or more); the request is forgotten when
 * a call opens its progress window. NULL is ignored. */
TARVOLIN_API void TarvolinRequestAbort(TarvolinContext* context);

/* How the solver optimizes. Every field is checked; any value outside its
 * range fails the call with TARVOLIN_ERROR_SETTINGS. A zeroed record is not
 * valid: iterationMultiplier must be at least 1. */
typedef struct TarvolinSettings {
  /* 0..1. 1: optimize for stock cost; 0: optimize for material (waste). */
  int32_t costMode;
  /* 0..1. 1: a bar with a large reusable remainder may be reported apart as
   * the last stock, outside the plan's totals. */
  int32_t ignoreLast;
  /* 0..10. How hard the optimizer tries: how many search levels it runs. */
  int32_t effortLevel;
  /* 0..6. How strongly plans with fewer different layouts are preferred. */
  int32_t reduceLayouts;
  /* -5..5. Preference for shorter (negative) or longer (positive) bars; 0
   * is neutral. */
  int32_t preferShort;
  /* 0..TARVOLIN_MAX_STOCK_GROUPS. Most different stock groups a plan may
   * use; 0: not limited. */
  int32_t maxStockGroups;
  /* 0..100. Most different pieces (part groups) in one layout; 0: not
   * limited. Must be 0 when bundleSize is set. */
  int32_t maxDifferentPieces;
  /* 0 or 2..100. Bars cut together with one layout (stock/cut bundle); 0:
   * no bundle. */
  int32_t bundleSize;
  /* 0 or more, length units. Shortest remainder worth keeping; only such a
   * remainder can make a bar the separately reported last stock. */
  int32_t minReusable;
  /* 0 or more, length units. Saw kerf: the length each cut consumes. */
  int32_t kerf;
  /* 0 or more, length units. Length at the end of every bar that cannot be
   * used. */
  int32_t endZone;
  /* 0 or more, length units. Length at the end of every bar that the saw
   * needs to hold the bar; usable, but the last piece must reach into it or
   * leave it free. */
  int32_t gripLength;
  /* 0..55555, seconds. Time limit of the search; 0: none. */
  int32_t timeLimitSeconds;
  /* 1..100. Multiplies the number of plans built per search pass. */
  int32_t iterationMultiplier;
  /* 0..1. 1: layouts are told apart by the pieces' mark identifiers as well
   * as by their lengths. */
  int32_t layoutsByMark;
  /* 0 or more. 0: no progress window; 1: progress window; 2 or more:
   * progress window offering Esc (and TarvolinRequestAbort) to stop. */
  int32_t progressMode;
  /* 0..100. Most pieces in one layout; 0: not limited. */
  int32_t maxPiecesPerLayout;
  /* Any value. Not 0: every failure is also shown in an error box. */
  int32_t showErrorBoxes;
  /* Settings of further optimization methods are added after this point. */
  /* 0..1. 0: the layout search; 1: the exact method (column generation
   * and integer programming), started from the search's plan at effort 0.
   * When it does not prove its plan optimal within the first half of its
   * time limit, the search at effortLevel runs in the rest (at least half
   * the limit long) and the better of the plans is returned. A stock/cut bundle always uses the
   * search. A build without the exact method fails the call with
   * TARVOLIN_ERROR_EXACT_NOT_AVAILABLE. */
  int32_t method;
  /* 0..100, seconds. Time limit of the exact method, counted from the
   * call's start, the searches it runs included; 0: 10 seconds. */
  int32_t exactTimeLimitSeconds;
  /* 0..1. 1 with method 0: the plan also carries the column-generation
   * lower bound (a few milliseconds), so that its gap can be shown. */
  int32_t computeBound;
  /* 0..1. 1 with costMode: bars of cost 0 (offcuts kept as stock) are
   * free, and among plans of the least cost the plan cuts from as much of
   * their length as it can. Method 1 takes it into its objective; after
   * method 0 the exact method's integer programme over the patterns (for
   * at most 0.4 seconds) moves pieces onto free bars at the same cost, when
   * the build has the exact method. 0: plans of equal cost are told apart
   * as without it. */
  int32_t preferFreeStock;
} TarvolinSettings;

/* One group of equal bars. */
typedef struct TarvolinStockGroup {
  int32_t length;   /* 1 or more, length units */
  int32_t cost;     /* 0 or more, cost units: the price of one bar */
  int16_t quantity; /* 0 or more: bars available (0: the group offers none) */
} TarvolinStockGroup;

/* One group of equal pieces. */
typedef struct TarvolinPartGroup {
  int32_t length;   /* 1 or more, length units */
  int32_t markId;   /* 0 or more: identifier of the pieces' mark; 0 = none */
  int16_t quantity; /* 0 or more: pieces ordered (0: the group orders none) */
} TarvolinPartGroup;

/* A known plan to stop at: the search ends as soon as it finds a new plan
 * whose six figures all equal these (the figures are those of
 * TarvolinPlan, last stock included in stockUsed and partsCut). All zero:
 * no target, since no real plan matches it. */
typedef struct TarvolinTarget {
  int32_t utilization; /* x 100000 */
  int32_t stockUsed;
  int32_t partsCut;
  int32_t costUsed;
  int32_t layoutCount;
  int32_t layoutCuts;
} TarvolinTarget;

/* The stock and the order of one material. */
typedef struct TarvolinProblem {
  /* 1..TARVOLIN_MAX_STOCK_GROUPS. Groups in stockGroups[1..count]. */
  int32_t stockGroupCount;
  TarvolinStockGroup stockGroups[TARVOLIN_MAX_STOCK_GROUPS + 1];
  /* 1..TARVOLIN_MAX_PART_GROUPS. Groups in partGroups[1..count]. */
  int32_t partGroupCount;
  TarvolinPartGroup partGroups[TARVOLIN_MAX_PART_GROUPS + 1];
  /* Optional: all zero for none. */
  TarvolinTarget target;
} TarvolinProblem;

/* The plan a call returns. Bars are "used" when at least one piece is cut
 * from them. The last stock is the bar reported apart (settings.ignoreLast):
 * its figures are not in the totals. */
typedef struct TarvolinPlan {
  int32_t criterion;      /* plan quality x 100000, higher is better; 0: nothing cut */
  int32_t utilization;    /* (lengthUsed - wasteSum) / lengthUsed x 100000 */
  int32_t stockUsed;      /* bars used, the last stock not counted */
  int32_t partsCut;       /* pieces cut, those of the last stock not counted */
  int32_t lengthUsed;     /* length units: total length of the bars used */
  int32_t wasteSum;       /* length units: total waste of the bars used */
  int32_t costUsed;       /* cost units: total cost of the bars used */
  int32_t lastStock;      /* bar number of the last stock; 0: none */
  int32_t lastParts;      /* pieces cut from the last stock */
  int32_t lastLengthUsed; /* length units: length of the last stock */
  int32_t lastWaste;      /* length units: remainder of the last stock */
  int32_t lastCost;       /* cost units: cost of the last stock */
  int32_t patternCount;   /* distinct cutting patterns (numbers in stockItemPattern) */
  int32_t layoutCount;    /* distinct layouts (numbers in stockItemLayout) */
  int32_t layoutCuts;     /* pieces over all distinct layouts: the cuts to set up */

  /* Bars 1..stockItemCount and pieces 1..partItemCount, in input numbering.
   * The counts and the two group tables are filled while the groups are
   * expanded, so after a failure they hold the items expanded so far. */
  int32_t stockItemCount;
  int32_t partItemCount;
  int16_t stockItemGroup[TARVOLIN_MAX_ITEMS + 1];   /* stock group of each bar */
  int16_t partItemGroup[TARVOLIN_MAX_ITEMS + 1];    /* part group of each piece */
  int16_t partItemStock[TARVOLIN_MAX_ITEMS + 1];    /* bar each piece is cut from; 0: not cut */
  int16_t stockItemLayout[TARVOLIN_MAX_ITEMS + 1];  /* layout number 1..layoutCount; 0: unused */
  int16_t stockItemPattern[TARVOLIN_MAX_ITEMS + 1]; /* pattern number 1..patternCount; 0: unused */
  int16_t stockItemParts[TARVOLIN_MAX_ITEMS + 1];   /* pieces cut from each bar */
  int32_t stockItemWaste[TARVOLIN_MAX_ITEMS + 1];   /* length units: waste of each bar */
  /* Figures of further optimization methods (bounds) are added after this
   * point. */
  /* Lower bound on the plan's objective (the stock length used, in cost
   * mode the stock cost; with the last stock apart, minus its remainder or
   * the remainder's worth), for plans that cut every piece that fits.
   * Filled with method 1 or computeBound; 0: none. */
  double lowerBound;
  /* 1: the plan is proven optimal by the exact method (objective equal to
   * the bound); 0: not proven, or method 0. */
  int32_t proven;
  /* Milliseconds spent in the exact method (method 1) or on the bound. */
  int32_t exactMs;
} TarvolinPlan;

/* Where the solver shows its message boxes and its progress window. Every
 * callback receives `user` first. A NULL view, or a NULL callback, shows
 * nothing. Callbacks run on the calling thread, inside the call. */
typedef struct TarvolinView {
  void* user;
  /* Modal boxes with an OK button; line breaks are bare carriage returns. */
  void (*showErrorBox)(void* user, const char* text);
  void (*showInfoBox)(void* user, const char* text);
  /* Shows the progress window, with "Esc to abort" visible when showEsc is
   * not 0. Esc pressed while it is open should reach
   * TarvolinRequestAbort(context). */
  void (*openProgress)(void* user, TarvolinContext* context, int32_t showEsc);
  /* Hides and destroys the progress window. */
  void (*closeProgress)(void* user);
  /* Bar positions 0..100: the whole optimization, and the current run. */
  void (*setMultiPosition)(void* user, int32_t position);
  void (*setPackPosition)(void* user, int32_t position);
  /* Elapsed time beside the run bar, e.g. "12.3 sec". */
  void (*setTimeText)(void* user, const char* text);
  /* Best criterion in percent (e.g. "97.125") and when it was found. */
  void (*setBestTexts)(void* user, const char* criterion, const char* time);
  /* Font colour of both best-plan labels: red in the low byte, blue in the
   * high byte. */
  void (*setBestColour)(void* user, int32_t colour);
  /* Repaints the window at once. */
  void (*repaint)(void* user);
  /* Lets pending window messages run (key presses included). */
  void (*pumpMessages)(void* user);
} TarvolinView;

/* Solves one problem in the context. Returns 0 and fills the plan, or
 * returns the number of the first failure (tarvolin/errors.h); the plan is
 * cleared on entry and on failure holds no result beyond the items expanded
 * before the failure. A NULL context, settings, problem or plan returns
 * TARVOLIN_ERROR_NULL_ARGUMENT and shows nothing. view may be NULL. */
TARVOLIN_API int32_t TarvolinSolve(TarvolinContext* context, const TarvolinSettings* settings,
                                   const TarvolinProblem* problem, const TarvolinView* view,
                                   TarvolinPlan* plan);

#ifdef __cplusplus
}
#endif

#endif
