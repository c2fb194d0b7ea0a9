/* The solver's call boundary as a C program sees it: the header compiled
 * as C, the shared library, and the front end's transfer markers 555 behind
 * the stock arrays and 777 behind the part arrays. */
#include <stdint.h>
#include <stdio.h>

#include "tarvolin/cut_optimize.h"

static int failures = 0;

static void Expect(int ok, const char* what, long value) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s (value %ld)\n", what, value);
    ++failures;
  }
}

int main(void) {
  int32_t errorNumb = 0, errorMsgs = 0;
  int32_t stockLth[12] = {3, 6000, 4000, 6000, 555};
  int32_t stockCst[12] = {3, 0, 0, 0, 555};
  int16_t stockQty[12] = {3, 2, 0, 1, 555};
  int32_t partLth[22] = {2, 1500, 2500, 777};
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
  int i, k;
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
    Expect(stockArrays[k][4] == 1332, "stock array marker", stockArrays[k][4]);
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

  if (failures == 0) printf("C boundary test passed\n");
  return failures == 0 ? 0 : 1;
}
