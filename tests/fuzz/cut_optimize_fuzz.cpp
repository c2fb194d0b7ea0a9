// Fuzz target for the solver call: any settings and any arrays must come
// back as a result or an error number, never as a crash, and a successful
// call must carry the transfer check value behind every result array.
#include <cstdint>
#include <cstdlib>

#include "fuzz_bytes.h"
#include "tarvolin/cut_optimize.h"

using fuzz::Bytes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  int32_t settings[16];
  const int32_t ranges[16][2] = {{0, 1},      {0, 1},   {0, 2},  {0, 6},   {-5, 5},  {0, 10},
                                 {-100, 100}, {0, 500}, {0, 50}, {0, 200}, {0, 300}, {0, 0},
                                 {1, 100},    {0, 1},   {0, 0},  {0, 100}};
  const int kIterMult = 12;
  for (int i = 0; i < 16; ++i) {
    settings[i] = i == kIterMult ? in.Repeats(ranges[i][0], ranges[i][1])
                                 : in.Setting(ranges[i][0], ranges[i][1]);
  }

  int32_t stockLth[12] = {}, stockCst[12] = {}, partLth[22] = {}, partMrk[22] = {};
  int16_t stockQty[12] = {}, partQty[22] = {};
  const int32_t ns = in.Setting(0, 10);
  const int32_t np = in.Setting(0, 20);
  stockLth[0] = stockCst[0] = ns;
  stockQty[0] = static_cast<int16_t>(ns);
  partLth[0] = partMrk[0] = np;
  partQty[0] = static_cast<int16_t>(np);
  for (int i = 1; i <= 10 && i <= ns; ++i) {
    stockLth[i] = in.Setting(1, 20000);
    stockCst[i] = in.Setting(0, 5000);
    stockQty[i] = static_cast<int16_t>(in.Setting(0, 30));
  }
  for (int i = 1; i <= 20 && i <= np; ++i) {
    partLth[i] = in.Setting(1, 8000);
    partMrk[i] = in.Setting(0, 5);
    partQty[i] = static_cast<int16_t>(in.Setting(0, 12));
  }
  if (ns >= 0 && ns <= 10) stockLth[ns + 1] = stockCst[ns + 1] = stockQty[ns + 1] = 555;
  if (np >= 0 && np <= 20) partLth[np + 1] = partMrk[np + 1] = partQty[np + 1] = 777;

  int32_t error = 0, msgs = 0, scalars[17] = {};
  int16_t stockItGr[102], partItGr[102], partItStock[102], stockItLay[102], stockItPat[102],
      stockItParts[102];
  int32_t stockItWaste[102];
  CutOptimize(&error, &msgs, settings[0], settings[1], settings[2], settings[3], settings[4],
              settings[5], settings[6], settings[7], settings[8], settings[9], settings[10],
              settings[11], settings[12], settings[13], settings[14], settings[15], stockLth,
              stockCst, stockQty, partLth, partMrk, partQty, &scalars[0], &scalars[1], &scalars[2],
              &scalars[3], &scalars[4], &scalars[5], &scalars[6], &scalars[7], &scalars[8],
              &scalars[9], &scalars[10], &scalars[11], &scalars[12], &scalars[13], &scalars[14],
              &scalars[15], &scalars[16], stockItGr, partItGr, partItStock, stockItLay, stockItPat,
              stockItParts, stockItWaste);
  if (error == 0) {
    const int parts = partItStock[0], stocks = stockItLay[0];
    if (parts < 0 || parts > 100 || stocks < 0 || stocks > 100) std::abort();
    if (partItGr[parts + 1] != 1332 || partItStock[parts + 1] != 1332) std::abort();
    if (stockItGr[stocks + 1] != 1332 || stockItWaste[stocks + 1] != 1332) std::abort();
  }
  return 0;
}
