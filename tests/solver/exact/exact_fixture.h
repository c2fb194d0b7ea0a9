// Instances for the tests of the exact method.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "exact.h"

namespace exact_test {

using solver::exact::ExactInput;
using solver::exact::PartGroupIn;
using solver::exact::Rules;
using solver::exact::StockGroupIn;

// A small random instance for the enumeration: 1..3 stock groups of 1..3
// bars, 2..4 part groups, at most `maxPieces` pieces.
inline ExactInput SmallInstance(uint32_t seed, const Rules& rules, int maxPieces = 7) {
  std::mt19937 rng(seed);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  ExactInput in;
  in.rules = rules;
  const int stockGroups = pick(1, 3);
  for (int g = 0; g < stockGroups; ++g) {
    in.stock.push_back(StockGroupIn{pick(12, 30) * 100, pick(5, 40) * 10, pick(1, 3)});
  }
  const int partGroups = pick(2, 4);
  int pieces = 0;
  for (int g = 0; g < partGroups && pieces < maxPieces; ++g) {
    const int q = std::min(pick(1, 3), maxPieces - pieces);
    in.parts.push_back(PartGroupIn{pick(2, 16) * 50 + pick(0, 3) * 10, q, g + 1});
    pieces += q;
  }
  return in;
}

// A small instance where pieces of a quarter to a half bar leave little
// room: linear programmes are often feasible where no plan is.
inline ExactInput TightInstance(uint32_t seed, const Rules& rules, int maxPieces = 8) {
  std::mt19937 rng(seed);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  ExactInput in;
  in.rules = rules;
  in.stock = {{1000, 100, pick(2, 4)}, {900 - pick(0, 2) * 50, 85, pick(1, 3)}};
  int pieces = 0;
  while (pieces < maxPieces) {
    const int q = std::min(pick(1, 3), maxPieces - pieces);
    in.parts.push_back(PartGroupIn{pick(25, 52) * 10, q, static_cast<int>(in.parts.size()) + 1});
    pieces += q;
  }
  return in;
}

// A realistic random order: lengths in hundredths of a millimetre.
inline ExactInput OrderInstance(uint32_t seed, const Rules& rules) {
  std::mt19937 rng(seed);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  ExactInput in;
  in.rules = rules;
  const int lengths[3] = {600000, 650000, 500000};
  const int stockGroups = pick(1, 3);
  for (int g = 0; g < stockGroups; ++g) {
    in.stock.push_back(StockGroupIn{lengths[g], pick(50, 90) * 100, pick(8, 25)});
  }
  const int partGroups = pick(3, 10);
  int pieces = 0;
  for (int g = 0; g < partGroups && pieces < 80; ++g) {
    const int q = std::min(pick(1, 12), 80 - pieces);
    in.parts.push_back(PartGroupIn{pick(300, 2800) * 100, q, g + 1});
    pieces += q;
  }
  return in;
}

}  // namespace exact_test
