/* Tarvolin cutting optimizer: the planner, the C interface for a material
 * of any size.
 *
 * The planner works out which pieces to cut from which bars so that every
 * piece is cut with as little stock length, or as little stock cost, as
 * possible. A caller describes one material with two arrays it owns (its
 * stock groups and its part groups), picks the settings and receives one
 * cutting plan, arranged by layouts:
 *
 *   TarvolinPlanner* planner = TarvolinPlannerCreate();
 *   TarvolinPlannerSettings settings;
 *   TarvolinPlannerDefaults(&settings);
 *   TarvolinPlannerStockGroup stock[] = {{6000, 0, 10}};
 *   TarvolinPlannerPartGroup parts[] = {{1250, 0, 12}, {800, 0, 6}};
 *   TarvolinPlannerProblem problem = {stock, 1, parts, 2};
 *   TarvolinPlannerPlan plan;
 *   TarvolinPlannerStatus status =
 *       TarvolinPlannerSolve(planner, &settings, &problem, NULL, NULL, &plan);
 *   if (TarvolinPlannerHasPlan(status)) { ... read plan.layouts ... }
 *   TarvolinPlannerDestroy(planner);
 *
 * Two methods plan a material:
 *   - method 0, the layout search: a randomized greedy search over complete
 *     plans, for materials of at most TARVOLIN_MAX_PART_GROUPS part groups,
 *     TARVOLIN_MAX_STOCK_GROUPS stock groups, TARVOLIN_MAX_ITEMS pieces and
 *     TARVOLIN_MAX_ITEMS bars (tarvolin/limits.h: 20, 10, 100, 100), whose
 *     total stock length, stock cost and piece length are each at most
 *     TARVOLIN_MAX_SUM;
 *   - method 1, the exact method: column generation and integer
 *     programming, which proves its plan optimal when it can, for materials
 *     of up to TARVOLIN_EXACT_MAX_PART_GROUPS part groups,
 *     TARVOLIN_EXACT_MAX_STOCK_GROUPS stock groups and TARVOLIN_EXACT_MAX_ITEMS
 *     pieces and bars (10000, 1000, 1000000). On a material within the
 *     search's limits it starts from the search's plan and, when it cannot
 *     prove its plan optimal, lets the search try to better it in the rest
 *     of its time; above those limits (sums included) it plans alone.
 * Within the search's limits both methods give exactly the plan that
 * TarvolinSolve (tarvolin/solver.h) gives with the same settings.
 *
 * Units: lengths are integers in the caller's length unit (for example
 * hundredths of a millimetre), costs integers in the caller's cost unit;
 * the planner never converts them. Totals are 64-bit.
 *
 * Numbering: everything counts from 0. Part group p is problem.partGroups[p],
 * stock group s is problem.stockGroups[s]. The pieces are numbered in input
 * order: the pieces of part group 0 first, then those of group 1, and so
 * on; the bars (single stock items) likewise from the stock groups. A group
 * with quantity 0 contributes none. -1 stands for "none".
 *
 * Memory: the caller owns everything it passes in; the planner reads it
 * only during the call. A plan's arrays belong to the planner and stay valid
 * until the next TarvolinPlannerSolve on the same planner or until
 * TarvolinPlannerDestroy; there is nothing to free.
 *
 * Threads: a planner serves one call at a time; calls on different planners
 * may run at the same time on different threads. TarvolinPlannerRequestStop
 * may be called from any thread. No call throws, and none writes to the
 * terminal or shows a window. */
#ifndef TARVOLIN_PLANNER_H
#define TARVOLIN_PLANNER_H

#include <stdint.h>

#include "tarvolin/errors.h"
#include "tarvolin/export.h"
#include "tarvolin/limits.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The planner ---- */

/* The working memory of planner calls and the plan of the last one; opaque. */
typedef struct TarvolinPlanner TarvolinPlanner;

/* A new planner, or NULL when there is not enough memory. */
TARVOLIN_API TarvolinPlanner* TarvolinPlannerCreate(void);

/* Frees a planner, and with it the plan of its last call. No call may be
 * running in it. NULL is ignored. */
TARVOLIN_API void TarvolinPlannerDestroy(TarvolinPlanner* planner);

/* Asks the planner to stop and return the best plan found so far (status
 * TARVOLIN_PLANNER_STOPPED). Safe to call from any thread, at any time: a
 * request made while no call runs is kept, and the next call stops at its
 * first opportunity (after its first plan). Every TarvolinPlannerSolve
 * clears the request when it returns. NULL is ignored. */
TARVOLIN_API void TarvolinPlannerRequestStop(TarvolinPlanner* planner);

/* Drops a stop request that no call has honoured yet, for example one that
 * came after the call it was meant for had returned. NULL is ignored. */
TARVOLIN_API void TarvolinPlannerClearStop(TarvolinPlanner* planner);

/* ---- The problem ---- */

/* One group of equal bars. */
typedef struct TarvolinPlannerStockGroup {
  int32_t length;   /* 1 or more, length units */
  int32_t cost;     /* 0 or more, cost units: the price of one bar */
  int32_t quantity; /* 0..32767: bars available (0: the group offers none) */
} TarvolinPlannerStockGroup;

/* One group of equal pieces. */
typedef struct TarvolinPlannerPartGroup {
  int32_t length;   /* 1 or more, length units */
  int32_t markId;   /* 0 or more: identifier of the pieces' mark; 0 = none */
  int32_t quantity; /* 0..32767: pieces ordered (0: the group orders none) */
} TarvolinPlannerPartGroup;

/* The stock and the order of one material, in arrays the caller owns. */
typedef struct TarvolinPlannerProblem {
  const TarvolinPlannerStockGroup* stockGroups; /* stockGroupCount entries */
  int32_t stockGroupCount;                      /* 1 or more */
  const TarvolinPlannerPartGroup* partGroups;   /* partGroupCount entries */
  int32_t partGroupCount;                       /* 1 or more */
} TarvolinPlannerProblem;

/* ---- The settings ---- */

/* How the planner optimizes. TarvolinPlannerDefaults fills the recommended
 * values (shown in brackets); a value outside its range fails the call with
 * TARVOLIN_PLANNER_INVALID_SETTINGS. */
typedef struct TarvolinPlannerSettings {
  /* 0 or 1 [0]. 0: the layout search; 1: the exact method (see the top of
   * this header). */
  int32_t method;
  /* 0 or 1 [0]. 1: minimize the stock cost; 0: minimize the stock length
   * used (the waste). */
  int32_t costMode;
  /* 0 or 1 [1]. 1: the used bar with the largest remainder, when that
   * remainder is at least minReusable, may be reported apart as the last
   * stock: the remainder goes back to stock and is not counted as used. */
  int32_t ignoreLast;
  /* 0..10 [5]. How hard the search tries: how many search levels it runs.
   * With method 1 on a material within the search's limits, 0 skips the
   * search after the exact method. */
  int32_t effortLevel;
  /* 0..6 [1]. How strongly plans with fewer different layouts are
   * preferred. */
  int32_t reduceLayouts;
  /* -5..5 [0]. Preference for shorter (negative) or longer (positive) bars
   * among plans that are otherwise equal; 0 is neutral. */
  int32_t preferShort;
  /* 0..TARVOLIN_EXACT_MAX_STOCK_GROUPS [0]. Most different stock groups a
   * plan may use; 0: not limited. */
  int32_t maxStockGroups;
  /* 0..100 [0]. Most different pieces on one bar; 0: not limited. Must be
   * 0 with a bundle. */
  int32_t maxDifferentPieces;
  /* 0..100 [0]. Most pieces on one bar; 0: not limited. */
  int32_t maxPiecesPerLayout;
  /* 0 or 2..100 [0]. Stock/cut bundle: bars cut together with one layout;
   * 0: none. A bundle is planned by the search only: with either method it
   * needs a material within the search's limits. */
  int32_t bundleSize;
  /* 0 or more [0], length units. Shortest remainder worth keeping; only
   * such a remainder can make a bar the last stock. */
  int32_t minReusable;
  /* 0 or more [0], length units. Saw kerf: the length each cut consumes. */
  int32_t kerf;
  /* 0 or more [0], length units. Length at the end of every bar that
   * cannot be used. */
  int32_t endZone;
  /* 0 or more [0], length units. Length at the end of every bar that the
   * saw needs to hold the bar; usable, but the last piece must reach into
   * it or leave it free. */
  int32_t gripLength;
  /* 0 or 1 [0]. 1: layouts are told apart by the pieces' marks as well as
   * by their lengths. */
  int32_t layoutsByMark;
  /* 0..55555 [0], seconds. Time limit of the layout search (method 0); 0:
   * none, the search runs all its levels. */
  int32_t timeLimitSeconds;
  /* 1..100 [20]. Multiplies the number of plans the search builds per
   * pass: more tries, more time. */
  int32_t iterationMultiplier;
  /* 0..100 [0], seconds. Time limit of method 1, counted from the call's
   * start, the searches it runs included; 0: 10 seconds. */
  int32_t exactTimeLimitSeconds;
  /* 0 or 1 [0]. 1 with method 0: the plan also carries the exact method's
   * lower bound (a few milliseconds), so that its gap can be shown. */
  int32_t computeBound;
  /* 0 or 1 [0]. 1 with costMode: bars of cost 0 (offcuts kept as stock)
   * are free, and among plans of the least cost the plan cuts from as much
   * of their length as it can (method 1 takes it into its objective; after
   * method 0 the exact method moves pieces onto free bars at the same cost). */
  int32_t preferFreeStock;
} TarvolinPlannerSettings;

/* Fills the recommended settings: the values in brackets above. NULL is
 * ignored. */
TARVOLIN_API void TarvolinPlannerDefaults(TarvolinPlannerSettings* settings);

/* ---- Progress ---- */

typedef enum TarvolinPlannerPhase {
  TARVOLIN_PLANNER_PHASE_SEARCH = 1, /* the layout search runs */
  TARVOLIN_PLANNER_PHASE_EXACT = 2,  /* the exact method runs */
  TARVOLIN_PLANNER_PHASE_DONE = 3    /* the work is over; the final figures */
} TarvolinPlannerPhase;

/* Where a call stands. Figures that are not known yet read -1. */
typedef struct TarvolinPlannerProgress {
  TarvolinPlannerPhase phase;
  int64_t elapsedMs;    /* milliseconds since the call started */
  double bestObjective; /* objective (see TarvolinPlannerPlan) of the best plan so far; -1: none */
  double bound;         /* lower bound on the objective; -1: none known */
  int32_t percent;      /* the search's share of its levels done, 0..100; -1 outside it */
} TarvolinPlannerProgress;

/* Receives the progress of a call: during the search at most every few
 * tens of milliseconds, at the start of the exact method, and once with
 * phase DONE at the end. It runs on the calling thread, inside the call;
 * it must not call the planner itself (TarvolinPlannerRequestStop
 * excepted). Returning non-zero asks the call to stop, as
 * TarvolinPlannerRequestStop does (ignored with phase DONE). */
typedef int32_t (*TarvolinPlannerProgressFn)(void* user, const TarvolinPlannerProgress* progress);

/* ---- The plan ---- */

typedef enum TarvolinPlannerStatus {
  /* A plan. plan->proven tells whether it is proven optimal. */
  TARVOLIN_PLANNER_OK = 0,
  /* A plan: the best one found before a stop request ended the work. */
  TARVOLIN_PLANNER_STOPPED = 1,
  /* A plan: the best one found before the time limit ended the work. */
  TARVOLIN_PLANNER_TIME_LIMIT = 2,

  /* No plan from here on; plan->message says why. */
  /* A NULL planner, settings, problem, plan or group array. */
  TARVOLIN_PLANNER_INVALID_ARGUMENT = 10,
  /* A setting outside its range (plan->error 25). */
  TARVOLIN_PLANNER_INVALID_SETTINGS = 11,
  /* A group count or value outside its range, no stock or no pieces, no
   * piece fits any bar, a total above its limit (plan->error names it
   * when one of tarvolin/errors.h does). */
  TARVOLIN_PLANNER_INVALID_PROBLEM = 12,
  /* Method 0, or a stock/cut bundle, on a material above the search's
   * limits; the message names the limit (plan->error 1, 2, 15 or 16). */
  TARVOLIN_PLANNER_SEARCH_LIMIT = 13,
  /* A material above the exact method's limits; the message names the
   * limit (plan->error 1, 2, 15 or 16). */
  TARVOLIN_PLANNER_SIZE_LIMIT = 14,
  /* Method 1 in a build without the exact method (plan->error 26). */
  TARVOLIN_PLANNER_NOT_AVAILABLE = 15,
  /* Not enough memory. */
  TARVOLIN_PLANNER_OUT_OF_MEMORY = 16,
  /* A fault inside the planner (plan->error 101..150, 201..222). */
  TARVOLIN_PLANNER_INTERNAL_ERROR = 17
} TarvolinPlannerStatus;

/* Whether a status comes with a plan: OK, STOPPED or TIME_LIMIT. */
TARVOLIN_API int32_t TarvolinPlannerHasPlan(TarvolinPlannerStatus status);

/* Pieces of one part group on one bar of a layout. */
typedef struct TarvolinPlannerLayoutPart {
  int32_t partGroup; /* the part group */
  int32_t count;     /* pieces of it on one bar, 1 or more */
} TarvolinPlannerLayoutPart;

/* One way of cutting a bar, and how many bars are cut so. Two bars share a
 * layout when they come from the same stock group, carry the same number of
 * pieces of every part group and are both, or both not, the last stock. */
typedef struct TarvolinPlannerLayout {
  int32_t stockGroup; /* the stock group of its bars */
  int32_t barCount;   /* bars cut to this layout */
  int32_t lastStock;  /* 1: the layout of the last stock (barCount 1); 0: not */
  int32_t pieceCount; /* pieces on one bar */
  /* Pieces on one bar, one entry per part group, in ascending part group:
   * parts[0..partCount-1]. */
  const TarvolinPlannerLayoutPart* parts;
  int32_t partCount;
  int32_t waste;     /* length units: bar length minus the lengths of its pieces */
  int32_t remainder; /* length units: what is left after the last cut (bar length
                        minus every piece and one kerf each), 0 at least */
} TarvolinPlannerLayout;

/* One piece, in piece numbering. */
typedef struct TarvolinPlannerPiece {
  int32_t partGroup; /* its part group */
  int32_t bar;       /* the bar it is cut from; -1: not cut */
} TarvolinPlannerPiece;

/* One bar, in bar numbering. */
typedef struct TarvolinPlannerBar {
  int32_t stockGroup; /* its stock group */
  int32_t layout;     /* its layout (index into plan.layouts); -1: not used */
  int32_t pieceCount; /* pieces cut from it */
  int32_t waste;      /* length units: its length minus its pieces' lengths; 0 unused */
} TarvolinPlannerBar;

/* The answer of a call. After a failure only status, error, message and
 * elapsedMs are set, every count is 0 and every pointer NULL. A used bar is
 * one that at least one piece is cut from; the last stock is counted in
 * every total. */
typedef struct TarvolinPlannerPlan {
  TarvolinPlannerStatus status; /* as returned */
  int32_t error;                /* the number of tarvolin/errors.h for the failure; 0: none */
  const char* message;          /* why there is no plan, or why it is not proven; never NULL */

  /* The layouts, in the order of their first bar: layouts[0..layoutCount-1]. */
  const TarvolinPlannerLayout* layouts;
  int32_t layoutCount;
  /* Every piece: pieces[0..pieceCount-1]; every bar: bars[0..barCount-1]. */
  const TarvolinPlannerPiece* pieces;
  int32_t pieceCount;
  const TarvolinPlannerBar* bars;
  int32_t barCount;

  /* Totals. */
  int64_t barsUsed;         /* bars used */
  int64_t piecesCut;        /* pieces cut */
  int64_t piecesUncut;      /* pieces left uncut (too long for every usable bar, or no bar left) */
  int64_t stockLength;      /* length units: total length of the bars used */
  int64_t stockCost;        /* cost units: total cost of the bars used */
  int64_t lengthCut;        /* length units: total length of the pieces cut */
  int64_t waste;            /* length units: stockLength - lengthCut */
  int32_t lastStockBar;     /* the last stock's bar; -1: none */
  int64_t lastRemainder;    /* length units: the last stock's remainder; 0: none */
  int32_t differentLayouts; /* layouts told apart by stock length and piece lengths (and
                               marks with layoutsByMark), as the cutting report counts them */
  int32_t layoutCuts;       /* pieces on one bar summed over those layouts: the cuts to set up */

  /* Quality. The objective is what both methods minimize once every piece
   * that fits is cut: the stock length used (with costMode and some bar
   * costing more than 0: the stock cost), minus the last stock's remainder
   * (its worth at its bar's cost per length). */
  double objective;
  /* Lower bound on the objective of any plan that cuts every piece that
   * fits; valid when hasBound is 1 (method 1, or computeBound). */
  double bound;
  int32_t hasBound;
  /* 1: the exact method proved the plan optimal (objective = bound). */
  int32_t proven;
  /* The search's rating of the plan x 100000, higher is better: the
   * utilization of the bars used, adjusted for the settings' preferences
   * (shorter or longer bars, fewer layouts, a reusable remainder). A plan
   * of the exact method alone has its utilization here. */
  int32_t criterion;
  /* (stock length - waste) / stock length x 100000, the last stock left
   * out of both, as the cutting report shows it. */
  int32_t utilization;

  /* Times, milliseconds. */
  int64_t elapsedMs; /* the whole call */
  int64_t exactMs;   /* spent in the exact method or on the bound */
} TarvolinPlannerPlan;

/* Plans one material. Returns the status and fills *plan (also on failure,
 * see TarvolinPlannerPlan). progress may be NULL; user is handed to it.
 * Runs on the calling thread until the plan is done, the time limit ends it
 * or a stop is requested. */
TARVOLIN_API TarvolinPlannerStatus TarvolinPlannerSolve(TarvolinPlanner* planner,
                                                        const TarvolinPlannerSettings* settings,
                                                        const TarvolinPlannerProblem* problem,
                                                        TarvolinPlannerProgressFn progress,
                                                        void* user, TarvolinPlannerPlan* plan);

#ifdef __cplusplus
}
#endif

#endif
