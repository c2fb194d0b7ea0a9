/* The solver's two call interfaces as a C program sees them: the headers
 * compiled as C, the shared library, the flat call with the front end's
 * transfer markers 555 and 777, and the structured call on the same
 * problem giving the same plan. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "tarvolin/cut_optimize.h"
#include "tarvolin/errors.h"
#include "tarvolin/limits.h"
#include "tarvolin/solver.h"

static int failures = 0;

static void Expect(int ok, const char* what, long value) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s (value %ld)\n", what, value);
    ++failures;
  }
}

int main(void) {
  int32_t errorNumb = 0, errorMsgs = 0;
  int32_t stockLth[12] = {3, 6000, 4000, 6000, TARVOLIN_STOCK_ARRAY_MARKER};
  int32_t stockCst[12] = {3, 0, 0, 0, 555};
  int16_t stockQty[12] = {3, 2, 0, 1, 555};
  int32_t partLth[22] = {2, 1500, 2500, TARVOLIN_PART_ARRAY_MARKER};
  int32_t partMrk[22] = {2, 1, 2, 777};
  int16_t partQty[22] = {2, 3, 2, 777};
  int32_t critValue = 0, utilRate = 0, stockUsed = 0, partsCut = 0, lthUsed = 0, wasteSum = 0;
  int32_t costUsed = 0, lastStock = 0, lastParts = 0, lastLthUsed = 0, lastWaste = 0;
  int32_t lastCost = 0, patternNum = 0, layoutNum = 0, layoutCuts = 0;
  int32_t reserved1 = -1, reserved2 = -1;
  int16_t stockItGr[102], partItGr[102], partItStock[102], stockItLay[102], stockItPat[102];
  int16_t stockItParts[102];
  int32_t stockItWaste[102];
  int16_t* stockArrays[4] = {stockItGr, stockItLay, stockItPat, stockItParts};
  int16_t* partArrays[2] = {partItGr, partItStock};
  TarvolinSettings settings;
  TarvolinProblem problem;
  TarvolinPlan plan;
  TarvolinContext* context;
  int32_t status;
  int i, k, g;
  for (i = 0; i < 102; ++i) {
    stockItGr[i] = partItGr[i] = partItStock[i] = stockItLay[i] = stockItPat[i] = -1;
    stockItParts[i] = -1;
    stockItWaste[i] = -1;
  }

  CutOptimize(&errorNumb, &errorMsgs, 0, 0, 1, 0, 0, 0, 0, 0, 3, 0, 0, 2, 1, 0, 0, 0, stockLth,
              stockCst, stockQty, partLth, partMrk, partQty, &critValue, &utilRate, &stockUsed,
              &partsCut, &lthUsed, &wasteSum, &costUsed, &lastStock, &lastParts, &lastLthUsed,
              &lastWaste, &lastCost, &patternNum, &layoutNum, &layoutCuts, &reserved1, &reserved2,
              stockItGr, partItGr, partItStock, stockItLay, stockItPat, stockItParts, stockItWaste);

  Expect(errorNumb == 0, "no error", errorNumb);
  Expect(reserved1 == 0 && reserved2 == 0, "reserved values cleared", reserved1);
  /* Three stock items and five part items; 1332 behind every result array. */
  for (k = 0; k < 4; ++k) {
    Expect(stockArrays[k][0] == 3, "stock item count", stockArrays[k][0]);
    Expect(stockArrays[k][4] == TARVOLIN_RESULT_ARRAY_MARKER, "stock array marker",
           stockArrays[k][4]);
  }
  Expect(stockItWaste[0] == 3, "waste item count", stockItWaste[0]);
  Expect(stockItWaste[4] == 1332, "waste marker", stockItWaste[4]);
  for (k = 0; k < 2; ++k) {
    Expect(partArrays[k][0] == 5, "part item count", partArrays[k][0]);
    Expect(partArrays[k][6] == 1332, "part array marker", partArrays[k][6]);
  }
  /* Input numbering: the empty stock group 2 contributes no item. */
  Expect(stockItGr[1] == 1 && stockItGr[2] == 1 && stockItGr[3] == 3, "stock groups", stockItGr[3]);
  Expect(partItGr[3] == 1 && partItGr[4] == 2 && partItGr[5] == 2, "part groups", partItGr[4]);

  /* The same problem through the structured interface. */
  memset(&settings, 0, sizeof settings);
  settings.effortLevel = 1;
  settings.kerf = 3;
  settings.timeLimitSeconds = 2;
  settings.iterationMultiplier = 1;
  memset(&problem, 0, sizeof problem);
  problem.stockGroupCount = stockLth[0];
  for (g = 1; g <= problem.stockGroupCount; ++g) {
    problem.stockGroups[g].length = stockLth[g];
    problem.stockGroups[g].cost = stockCst[g];
    problem.stockGroups[g].quantity = stockQty[g];
  }
  problem.partGroupCount = partLth[0];
  for (g = 1; g <= problem.partGroupCount; ++g) {
    problem.partGroups[g].length = partLth[g];
    problem.partGroups[g].markId = partMrk[g];
    problem.partGroups[g].quantity = partQty[g];
  }
  context = TarvolinCreateContext();
  Expect(context != NULL, "context made", 0);
  status = TarvolinSolve(context, &settings, &problem, NULL, &plan);
  Expect(status == 0, "structured call succeeds", status);
  Expect(plan.criterion == critValue && plan.utilization == utilRate, "same criterion",
         plan.criterion);
  Expect(plan.stockUsed == stockUsed && plan.partsCut == partsCut, "same totals", plan.stockUsed);
  Expect(plan.wasteSum == wasteSum && plan.layoutCount == layoutNum, "same waste and layouts",
         plan.wasteSum);
  Expect(plan.stockItemCount == 3 && plan.partItemCount == 5, "item counts", plan.stockItemCount);
  for (i = 1; i <= 3; ++i) {
    Expect(plan.stockItemLayout[i] == stockItLay[i] && plan.stockItemWaste[i] == stockItWaste[i],
           "same bar", i);
  }
  for (i = 1; i <= 5; ++i) Expect(plan.partItemStock[i] == partItStock[i], "same piece", i);

  /* A bad setting: the number and its message. */
  settings.iterationMultiplier = 0;
  status = TarvolinSolve(context, &settings, &problem, NULL, &plan);
  Expect(status == TARVOLIN_ERROR_SETTINGS, "settings refused", status);
  Expect(strcmp(TarvolinErrorText(status), "Error Opt.Settings") == 0, "settings message", 0);
  Expect(TarvolinErrorText(0) == NULL, "no message for 0", 0);
  TarvolinDestroyContext(context);

  if (failures == 0) printf("C boundary test passed\n");
  return failures == 0 ? 0 : 1;
}
