#include <cmath>
#include <cstdint>

#include "tarvolin/cut_optimize.h"

namespace {

constexpr int kClasses = 99;

}  // namespace

extern "C" int32_t BarDemandBound(const int32_t* partLength, const int16_t* partQty, int32_t n,
                                  double slack, int32_t gripLength, int32_t endZone, int32_t kerf,
                                  int32_t stockLength) {
  // Usable length: the last cut of a bar needs no kerf, the end zone is lost.
  const int64_t usable = int64_t{stockLength} + kerf - endZone;
  if (partLength == nullptr || partQty == nullptr || n <= 0 || usable <= 0) return 0;
  const double u = static_cast<double>(usable);

  // c[i]: parts of which i - 1, but not i, fit into one bar by length.
  int64_t c[kClasses + 2] = {};
  for (int i = 1; i <= kClasses; ++i) {
    const double threshold = (i == kClasses) ? 0.0 : u / i;
    for (int32_t g = 1; g <= n; ++g) {
      if (static_cast<double>(int64_t{partLength[g]} + kerf) > threshold) c[i] += partQty[g];
    }
  }
  for (int i = kClasses; i >= 2; --i) c[i] -= c[i - 1];

  // A long gripping length costs places in a bar of short pieces.
  const auto capacity = [&](int i) -> int64_t {
    if (static_cast<double>(gripLength) <= u / i) return i - 1;
    const int64_t cap = (i - 2) - (int64_t{gripLength} * (i - 1)) / usable;
    return cap > 1 ? cap : 1;
  };

  double bars = 0;
  for (int i = 2; i <= kClasses; ++i) {
    int64_t spare;
    if (c[i] > 0) {
      const int64_t cap = capacity(i);
      const int64_t b = (c[i] + cap - 1) / cap;
      bars += static_cast<double>(b);
      spare = b * cap - c[i];
    } else {
      spare = -c[i];  // unused places carried over to the shorter parts
    }
    if (i < kClasses) c[i + 1] -= spare;
  }

  const double result = std::nearbyint(bars * slack);  // ties to even
  if (!(result >= 0)) return 0;
  if (result > 2147483647.0) return 2147483647;
  return static_cast<int32_t>(result);
}
