// Seeded random valid solver calls: every part fits the shortest bar with
// kerf, end zone and gripping reserve, so each call must come back with a
// plan and no error.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>

#include "call_harness.h"

namespace solver::testing {

class RandomCall {
 public:
  explicit RandomCall(uint32_t seed) : gen_(seed) {}

  // large: up to 100 pieces and 100 bars, at low effort.
  CallSetup Make(bool large = false) {
    CallSetup s;
    const int effortDraw = Int(1, 100);
    s.effortLev = effortDraw <= 80 ? Int(0, 2) : (effortDraw <= 95 ? Int(3, 6) : Int(7, 10));
    if (large) s.effortLev = Int(0, 3);
    s.iterMult = Chance(80) ? Int(1, 6) : Int(7, 25);
    s.costOptim = Int(0, 1);
    s.ignoreLast = Int(0, 1);
    s.reduceLays = Chance(50) ? 0 : Int(1, 6);
    s.prefShort = Chance(50) ? 0 : Int(-5, 5);
    s.layByMark = Int(0, 1);
    s.kerf = Chance(50) ? 0 : Int(1, 25);
    s.endZone = Chance(60) ? 0 : Int(1, 60);
    // Now and then every piece is shorter than a long gripping length.
    const bool shortPieces = Chance(15);
    s.grip = shortPieces ? Int(500, 2500) : (Chance(60) ? 0 : Int(1, 900));
    s.minReusable = Chance(50) ? 0 : Int(1, 3000);
    s.diffStocks = Chance(60) ? 0 : Int(1, 3);
    s.maxPieces = Chance(60) ? 0 : Int(1, 8);

    const int stockGroups = large || Chance(15) ? Int(5, 10) : Int(1, 4);
    int stockItems = 0;
    int32_t shortest = INT32_MAX;
    for (int g = 0; g < stockGroups; ++g) {
      const int qty = std::min(large ? Int(5, 20) : Int(1, 9), 100 - stockItems);
      if (qty < 1) break;
      const int32_t length = Int(3000, 12000);
      // Equal lengths now and then, to merge or split groups by cost.
      const int32_t len = g > 0 && Chance(15) ? s.stockLth[g] : length;
      const int32_t cost = s.costOptim != 0 || Chance(30) ? Int(0, 6000) : 0;
      s.AddStock(len, qty, cost);
      stockItems += qty;
      shortest = std::min(shortest, len);
    }

    // The longest piece leaves room for kerf, end zone and the gripping
    // reserve on the shortest bar.
    int32_t longest = std::max<int32_t>(20, (shortest - s.endZone - s.grip - 2 * s.kerf) * 9 / 10);
    if (shortPieces) longest = std::min(longest, s.grip - 1);
    const int partGroups = large || Chance(20) ? Int(9, 20) : Int(1, 8);
    int partItems = 0;
    int maxQty = 0;
    for (int g = 0; g < partGroups; ++g) {
      const int qty =
          std::min(large ? Int(3, 12) : (Chance(80) ? Int(1, 6) : Int(7, 15)), 100 - partItems);
      if (qty < 1) break;
      const int32_t len = g > 0 && Chance(15) ? s.partLth[g] : Int(10, longest);
      const int32_t mark = Chance(50) ? 0 : Int(1, 4);
      s.AddPart(len, qty, mark);
      partItems += qty;
      maxQty = std::max(maxQty, qty);
    }

    if (Chance(25) && maxQty >= 2) {
      s.diffPieces = -Int(2, std::min(maxQty, 4));
    } else if (Chance(30)) {
      s.diffPieces = Int(1, 4);
    }
    return s;
  }

 private:
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
  bool Chance(int percent) { return Int(1, 100) <= percent; }

  std::mt19937 gen_;
};

}  // namespace solver::testing
