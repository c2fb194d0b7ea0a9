// Filling given bars one at a time with the fullest choice of the open
// pieces: a subset-sum table over the working loads, as bit sets.
#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

#include "bit_rows.h"
#include "model.h"

namespace solver::exact {

namespace {

// Words of one fill's tables at most (one bit set per lot of pieces).
constexpr int64_t kFullestTableWords = int64_t{1} << 20;

// A lot of pieces of one part type: 1, 2, 4, ... of them, so that any
// count up to the demand is a choice of lots.
struct SumLot {
  int type = 0;
  int32_t count = 0;
  int64_t work = 0;
};

// The fullest choice of the open pieces within `capacity`; among equally
// full choices the one whose pieces are longest (lots of short pieces are
// left out wherever the load can be reached without them). Empty counts
// when not even one piece fits or the table would be too large or take
// more than `work` words (lowered by what it takes).
Counts Fullest(const Model& m, const std::vector<int32_t>& demand, int64_t capacity,
               int64_t& work) {
  std::vector<SumLot> lots;
  for (int i = 0; i < static_cast<int>(m.parts.size()); ++i) {  // longest first
    const int32_t piece = m.parts[i].work;
    if (piece < 1 || piece > capacity) continue;
    const int32_t most = static_cast<int32_t>(std::min<int64_t>(demand[i], capacity / piece));
    for (int32_t left = most, chunk = 1; left > 0; chunk *= 2) {
      const int32_t take = std::min(chunk, left);
      left -= take;
      lots.push_back({i, take, int64_t{take} * piece});
    }
  }
  if (lots.empty()) return {};
  const size_t words = static_cast<size_t>(capacity / 64 + 1);
  const auto cells = static_cast<int64_t>(words * (lots.size() + 1));
  if (cells > kFullestTableWords || cells > work) return {};
  work -= cells;
  // reach[k]: the loads lots 0..k-1 can make.
  std::vector<uint64_t> reach(words * (lots.size() + 1), 0);
  reach[0] = 1;
  for (size_t k = 0; k < lots.size(); ++k) {
    const uint64_t* before = reach.data() + k * words;
    uint64_t* after = reach.data() + (k + 1) * words;
    std::copy(before, before + words, after);
    OrShifted(after, before, words, lots[k].work);
  }
  const uint64_t* all = reach.data() + lots.size() * words;
  int64_t load = capacity;
  while (load > 0 && !HasBit(all, load)) --load;
  if (load == 0) return {};
  Counts counts = m.Zero();
  for (size_t k = lots.size(); k-- > 0 && load > 0;) {
    if (HasBit(reach.data() + k * words, load)) continue;  // reached without lot k
    counts[lots[k].type] += lots[k].count;
    load -= lots[k].work;
  }
  return counts;
}

}  // namespace

bool FillFullest(const Model& m, std::vector<int32_t>& demand, std::vector<int32_t>& bars,
                 int64_t& work, std::vector<ModelPattern>& out) {
  std::vector<int> order(m.stock.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return m.stock[a].capacity > m.stock[b].capacity; });
  const auto done = [&] {
    return std::all_of(demand.begin(), demand.end(), [](int32_t d) { return d < 1; });
  };
  for (const int j : order) {
    while (bars[j] > 0 && !done()) {
      Counts counts = Fullest(m, demand, m.stock[j].capacity, work);
      if (counts.empty()) return false;
      int32_t times = bars[j];
      for (size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] > 0) times = std::min(times, demand[i] / counts[i]);
      }
      for (size_t i = 0; i < counts.size(); ++i) demand[i] -= counts[i] * times;
      bars[j] -= times;
      out.push_back(ModelPattern{j, std::move(counts), times});
    }
  }
  return done();
}

}  // namespace solver::exact
