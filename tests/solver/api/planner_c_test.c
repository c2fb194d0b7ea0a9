/* The planner interface as a C program sees it: the header compiled as C,
 * the shared library, the defaults, a plan read through its layouts, the
 * limits of the search, and the stop request. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "tarvolin/planner.h"

static int failures = 0;

static void Expect(int ok, const char* what, long long value) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s (value %lld)\n", what, value);
    ++failures;
  }
}

struct Seen {
  int search;
  int done;
  int last;
  int stopAtSearch;
};

static int32_t Watch(void* user, const TarvolinPlannerProgress* progress) {
  struct Seen* seen = (struct Seen*)user;
  seen->last = (int)progress->phase;
  if (progress->phase == TARVOLIN_PLANNER_PHASE_SEARCH) {
    ++seen->search;
    return seen->stopAtSearch;
  }
  if (progress->phase == TARVOLIN_PLANNER_PHASE_DONE) ++seen->done;
  return 0;
}

int main(void) {
  TarvolinPlanner* planner = TarvolinPlannerCreate();
  TarvolinPlannerSettings settings;
  TarvolinPlannerPlan plan;
  TarvolinPlannerStatus status;
  /* Four pieces of 500 on bars of 1000: two bars, two pieces each, no
   * remainder, so no last stock. */
  TarvolinPlannerStockGroup stock[1] = {{1000, 0, 3}};
  TarvolinPlannerPartGroup parts[1] = {{500, 0, 4}};
  TarvolinPlannerProblem problem = {stock, 1, parts, 1};
  TarvolinPlannerPartGroup many[2] = {{100, 0, 60}, {90, 0, 50}};
  TarvolinPlannerStockGroup rack[1] = {{1000, 0, 30}};
  TarvolinPlannerProblem large = {rack, 1, many, 2};
  struct Seen seen;
  int i, used = 0;
  if (planner == NULL) return 1;

  /* A zeroed record is not valid; the defaults are. */
  memset(&settings, 0, sizeof settings);
  status = TarvolinPlannerSolve(planner, &settings, &problem, NULL, NULL, &plan);
  Expect(status == TARVOLIN_PLANNER_INVALID_SETTINGS, "zeroed settings", status);
  Expect(plan.error == TARVOLIN_ERROR_SETTINGS && plan.layouts == NULL, "settings error",
         plan.error);
  TarvolinPlannerDefaults(&settings);
  Expect(settings.iterationMultiplier == 20 && settings.effortLevel == 5, "defaults", 0);

  status = TarvolinPlannerSolve(planner, &settings, &problem, NULL, NULL, &plan);
  Expect(status == TARVOLIN_PLANNER_OK && TarvolinPlannerHasPlan(status), "a plan", status);
  Expect(plan.layoutCount == 1, "one layout", plan.layoutCount);
  Expect(plan.layouts[0].barCount == 2 && plan.layouts[0].pieceCount == 2, "two bars of two", 0);
  Expect(plan.layouts[0].partCount == 1 && plan.layouts[0].parts[0].partGroup == 0 &&
             plan.layouts[0].parts[0].count == 2,
         "pieces of group 0", plan.layouts[0].partCount);
  Expect(plan.layouts[0].remainder == 0 && plan.layouts[0].waste == 0, "no remainder", 0);
  Expect(plan.barsUsed == 2 && plan.piecesCut == 4 && plan.piecesUncut == 0, "totals",
         plan.barsUsed);
  Expect(plan.stockLength == 2000 && plan.lengthCut == 2000 && plan.waste == 0, "lengths",
         plan.stockLength);
  Expect(plan.objective == 2000.0 && plan.utilization == 100000, "objective", plan.utilization);
  Expect(plan.lastStockBar == -1 && plan.pieceCount == 4 && plan.barCount == 3, "items",
         plan.barCount);
  for (i = 0; i < plan.barCount; ++i) {
    const TarvolinPlannerBar* bar = &plan.bars[i];
    Expect(bar->stockGroup == 0, "bar group", bar->stockGroup);
    if (bar->layout == 0) ++used;
    Expect(bar->layout == -1 ? bar->pieceCount == 0 : bar->pieceCount == 2, "bar pieces",
           bar->pieceCount);
  }
  Expect(used == 2, "two bars used", used);
  for (i = 0; i < plan.pieceCount; ++i) {
    Expect(plan.pieces[i].partGroup == 0 && plan.pieces[i].bar >= 0 &&
               plan.bars[plan.pieces[i].bar].layout == 0,
           "piece on a used bar", plan.pieces[i].bar);
  }

  /* 110 pieces are above the search's 100: method 0 says so. */
  status = TarvolinPlannerSolve(planner, &settings, &large, NULL, NULL, &plan);
  Expect(status == TARVOLIN_PLANNER_SEARCH_LIMIT, "search limit", status);
  Expect(plan.error == TARVOLIN_ERROR_TOO_MANY_PART_ITEMS, "pieces error", plan.error);
  Expect(strstr(plan.message, "110") != NULL && strstr(plan.message, "100") != NULL,
         "the message names the limit", 0);
  settings.method = 1;
  settings.bundleSize = 2;
  status = TarvolinPlannerSolve(planner, &settings, &large, NULL, NULL, &plan);
  Expect(status == TARVOLIN_PLANNER_SEARCH_LIMIT && strstr(plan.message, "bundle") != NULL,
         "a bundle needs the search", status);
  TarvolinPlannerDefaults(&settings);

  /* A stop requested before the call is kept and ends it with a plan; the
   * next call runs in full. */
  TarvolinPlannerRequestStop(planner);
  status = TarvolinPlannerSolve(planner, &settings, &problem, NULL, NULL, &plan);
  Expect(status == TARVOLIN_PLANNER_STOPPED && plan.piecesCut > 0, "stopped early", status);
  status = TarvolinPlannerSolve(planner, &settings, &problem, NULL, NULL, &plan);
  Expect(status == TARVOLIN_PLANNER_OK, "the request was used up", status);
  TarvolinPlannerRequestStop(planner);
  TarvolinPlannerClearStop(planner);
  status = TarvolinPlannerSolve(planner, &settings, &problem, NULL, NULL, &plan);
  Expect(status == TARVOLIN_PLANNER_OK, "a cleared request", status);

  /* The progress callback sees the search and the end; asking to stop
   * from it ends the search with its best plan. */
  memset(&seen, 0, sizeof seen);
  seen.stopAtSearch = 1;
  rack[0].quantity = 12;
  many[0].quantity = 50;
  status = TarvolinPlannerSolve(planner, &settings, &large, Watch, &seen, &plan);
  Expect(seen.search >= 1 && seen.done == 1 && seen.last == TARVOLIN_PLANNER_PHASE_DONE,
         "progress phases", seen.search);
  Expect(status == TARVOLIN_PLANNER_STOPPED && plan.piecesCut > 0, "stopped from progress", status);

  /* Bad arguments. */
  Expect(TarvolinPlannerSolve(NULL, &settings, &problem, NULL, NULL, &plan) ==
             TARVOLIN_PLANNER_INVALID_ARGUMENT,
         "no planner", 0);
  problem.stockGroups = NULL;
  Expect(TarvolinPlannerSolve(planner, &settings, &problem, NULL, NULL, &plan) ==
             TARVOLIN_PLANNER_INVALID_ARGUMENT,
         "no stock array", 0);
  problem.stockGroups = stock;
  stock[0].quantity = 40000;
  status = TarvolinPlannerSolve(planner, &settings, &problem, NULL, NULL, &plan);
  Expect(status == TARVOLIN_PLANNER_INVALID_PROBLEM && plan.error == TARVOLIN_ERROR_STOCK_QUANTITY,
         "quantity above 32767", plan.error);

  TarvolinPlannerDestroy(planner);
  if (failures == 0) printf("planner C interface: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
