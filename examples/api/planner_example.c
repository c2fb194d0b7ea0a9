/* A short program that plans one material through the planner interface:
 * two stock lengths, three piece lengths, a kerf of 3, and the plan printed
 * layout by layout. Build it with the project; run it without arguments. */
#include <stdio.h>

#include "tarvolin/planner.h"

/* Shows the search's progress on one line of standard error. */
static int32_t ShowProgress(void* user, const TarvolinPlannerProgress* progress) {
  (void)user;
  if (progress->phase == TARVOLIN_PLANNER_PHASE_SEARCH && progress->bestObjective >= 0) {
    fprintf(stderr, "\r%lld ms, best %.0f", (long long)progress->elapsedMs,
            progress->bestObjective);
  }
  return 0; /* 1 would stop the search with the best plan so far */
}

int main(void) {
  const TarvolinPlannerStockGroup stock[] = {{6000, 1200, 8}, {4000, 850, 5}};
  const TarvolinPlannerPartGroup parts[] = {{1250, 1, 12}, {800, 2, 9}, {2400, 3, 4}};
  const TarvolinPlannerProblem problem = {stock, 2, parts, 3};
  TarvolinPlannerSettings settings;
  TarvolinPlannerPlan plan;
  TarvolinPlanner* planner = TarvolinPlannerCreate();
  TarvolinPlannerStatus status;
  int32_t l, k;
  if (planner == NULL) return 1;

  TarvolinPlannerDefaults(&settings);
  settings.kerf = 3;
  settings.effortLevel = 3;
  status = TarvolinPlannerSolve(planner, &settings, &problem, ShowProgress, NULL, &plan);
  fprintf(stderr, "\n");
  if (!TarvolinPlannerHasPlan(status)) {
    fprintf(stderr, "no plan: %s (status %d, error %d)\n", plan.message, (int)status,
            (int)plan.error);
    TarvolinPlannerDestroy(planner);
    return 1;
  }

  printf("%lld bars, %lld pieces cut, %lld left, waste %lld, utilization %.3f %%\n",
         (long long)plan.barsUsed, (long long)plan.piecesCut, (long long)plan.piecesUncut,
         (long long)plan.waste, plan.utilization / 1000.0);
  for (l = 0; l < plan.layoutCount; ++l) {
    const TarvolinPlannerLayout* layout = &plan.layouts[l];
    printf("%d x %d:", (int)layout->barCount, (int)stock[layout->stockGroup].length);
    for (k = 0; k < layout->partCount; ++k) {
      printf(" %d x %d", (int)layout->parts[k].count,
             (int)parts[layout->parts[k].partGroup].length);
    }
    printf("  remainder %d%s\n", (int)layout->remainder, layout->lastStock ? " (last stock)" : "");
  }
  TarvolinPlannerDestroy(planner); /* frees the plan with the planner */
  return 0;
}
