// Rows of bits over loads or objective levels, for subset-sum tables.
#pragma once

#include <cstddef>
#include <cstdint>

namespace solver::exact {

// bits |= from << shift over `words` words; bits and from may be the same
// row (the words are written from the top down, each after it was read).
inline void OrShifted(uint64_t* bits, const uint64_t* from, size_t words, int64_t shift) {
  const auto wordShift = static_cast<size_t>(shift / 64);
  const int bitShift = static_cast<int>(shift % 64);
  for (size_t w = words; w-- > wordShift;) {
    const size_t src = w - wordShift;
    uint64_t v = from[src] << bitShift;
    if (bitShift != 0 && src > 0) v |= from[src - 1] >> (64 - bitShift);
    bits[w] |= v;
  }
}

inline bool HasBit(const uint64_t* bits, int64_t at) {
  return ((bits[at / 64] >> (at % 64)) & 1U) != 0;
}

}  // namespace solver::exact
