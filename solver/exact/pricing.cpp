#include "pricing.h"

#include <algorithm>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
#include <cmath>
#include <numeric>

#include "construction.h"

namespace solver::exact {
namespace {

// The stop is asked once in this many nodes (a power of two less one).
constexpr int64_t kWatchEvery = 255;
// Limits on different pieces up to which the bound counts the best items
// one by one (above it the bound by length alone is used).
constexpr int32_t kMostTopTypes = 8;

class Knapsack {
 public:
  explicit Knapsack(const PricingTask& t) : t_(t) {
    for (int i = 0; i < static_cast<int>(t.work.size()); ++i) {
      const int64_t fit = std::min<int64_t>(t.bound[i], t.loadLimit / std::max(1, t.work[i]));
      if (fit >= 1) items_.push_back(Item{i, t.work[i], t.profit[i], static_cast<int32_t>(fit)});
    }
    // Best value per length first; equal ratios longest first.
    std::stable_sort(items_.begin(), items_.end(), [](const Item& a, const Item& b) {
      const double ra = a.profit / a.work, rb = b.profit / b.work;
      return ra != rb ? ra > rb : a.work > b.work;
    });
    const int n = static_cast<int>(items_.size());
    longAhead_.assign(n + 1, false);
    for (int k = n - 1; k >= 0; --k) {
      longAhead_[k] = longAhead_[k + 1] || (t.grip > 0 && items_[k].work >= t.grip);
    }
    if (t.maxPieces >= 1) {
      // The items by unit profit from the largest down, equal profits the
      // later item first, for the bound on a limited number of pieces: the
      // items of a suffix are the ones at or behind its start.
      for (int k = n - 1; k >= 0; --k) byProfit_.push_back(k);
      std::stable_sort(byProfit_.begin(), byProfit_.end(),
                       [&](int a, int b) { return items_[a].profit > items_[b].profit; });
    }
    counts_.assign(t.work.size(), 0);
    best_ = t.threshold;
    eps_ = 1e-9 * std::max(1.0, std::fabs(t.threshold));
  }

  PricingResult Run() {
    Search(0, 0, 0, 0, 0.0, 0);
    result_.complete = !stopped_;
    result_.nodes = nodes_;
    return result_;
  }

  std::vector<Counts> List(double minValue, bool maximalOnly, size_t limit, bool& complete) {
    listing_ = true;
    maximalOnly_ = maximalOnly;
    limit_ = limit;
    eps_ = 1e-9 * std::max(1.0, std::fabs(minValue));
    best_ = minValue - 2 * eps_;  // patterns worth minValue itself are wanted
    Search(0, 0, 0, 0, 0.0, 0);
    complete = !stopped_;
    return std::move(list_);
  }

 private:
  struct Item {
    int type;
    int32_t work;
    double profit;
    int32_t bound;
  };

  // Capacity left for the bound: a bar without a long piece, and none left
  // to come, keeps its gripping length free.
  int64_t RoomLeft(int k, int64_t load, int32_t longest) const {
    int64_t limit = t_.loadLimit;
    if (t_.grip > 0 && longest < t_.grip && !longAhead_[k]) {
      limit = std::min(limit, t_.capacity - t_.grip);
    }
    return limit - load;
  }

  // With a limit on different pieces: each item can add at most what it
  // is worth filling the room alone, and only the best `left` items count.
  double ByTypes(int k, int64_t room, int32_t pieces, int32_t types) const {
    const int32_t left = t_.diffPieces - types;
    if (left <= 0) return 0;
    const int32_t slots = t_.maxPieces >= 1 ? t_.maxPieces - pieces : -1;
    double top[kMostTopTypes] = {};
    const int32_t kept = std::min<int32_t>(left, kMostTopTypes);
    for (int i = k; i < static_cast<int>(items_.size()); ++i) {
      const Item& it = items_[i];
      if (it.profit <= 0) continue;
      double n = std::min<double>(it.bound, static_cast<double>(room) / it.work);
      if (slots >= 0) n = std::min<double>(n, slots);
      double v = n * it.profit;
      // Insertion into the falling list of the `kept` largest.
      for (int32_t s = 0; s < kept; ++s) {
        if (v > top[s]) std::swap(v, top[s]);
      }
    }
    double sum = 0;
    for (int32_t s = 0; s < kept; ++s) sum += top[s];
    return sum;
  }

  double Bound(int k, int64_t room, int32_t pieces, int32_t types) const {
    const double byLength = Bound(k, room, pieces);
    if (t_.diffPieces < 1 || t_.diffPieces > kMostTopTypes) return byLength;
    return std::min(byLength, ByTypes(k, room, pieces, types));
  }

  double Bound(int k, int64_t room, int32_t pieces) const {
    double byLength = 0;
    double left = static_cast<double>(room);
    for (int i = k; i < static_cast<int>(items_.size()) && left > 0; ++i) {
      const Item& it = items_[i];
      if (it.profit <= 0) break;
      const double all = static_cast<double>(it.bound) * it.work;
      if (all <= left) {
        byLength += it.bound * it.profit;
        left -= all;
      } else {
        byLength += left / it.work * it.profit;
        left = 0;
      }
    }
    if (t_.maxPieces < 1) return byLength;
    double byCount = 0;
    int32_t slots = t_.maxPieces - pieces;
    for (int i : byProfit_) {
      if (slots <= 0 || items_[i].profit <= 0) break;
      if (i < k) continue;
      const int32_t take = std::min(slots, items_[i].bound);
      byCount += take * items_[i].profit;
      slots -= take;
    }
    return std::min(byLength, byCount);
  }

  bool Forbidden() const {
    if (t_.forbidden == nullptr) return false;
    for (const Counts& f : *t_.forbidden) {
      if (f == counts_) return true;
    }
    return false;
  }

  void Search(int k, int64_t load, int32_t pieces, int32_t types, double value, int32_t longest) {
    if (stopped_) return;
    if (++nodes_ > t_.nodeLimit) {
      stopped_ = true;
      return;
    }
    if ((nodes_ & kWatchEvery) == 0 && t_.watch != nullptr && t_.watch->Stop()) {
      stopped_ = true;
      return;
    }
    const int64_t room = RoomLeft(k, load, longest);
    if (room < 0) return;  // nothing below can leave the bar grippable
    if (k == static_cast<int>(items_.size())) {
      if (listing_) {
        Collect(load, pieces, types, value, longest);
        return;
      }
      if (value > best_ + eps_ && solver::LayoutFits(t_.capacity, load, longest, t_.grip) &&
          !Forbidden()) {
        best_ = value;
        result_.found = true;
        result_.value = value;
        result_.counts = counts_;
      }
      return;
    }
    if (value + Bound(k, room, pieces, types) <= best_ + eps_) return;
    const Item& it = items_[k];
    int64_t most = std::min<int64_t>(it.bound, (t_.loadLimit - load) / it.work);
    if (t_.maxPieces >= 1) most = std::min<int64_t>(most, t_.maxPieces - pieces);
    if (t_.diffPieces >= 1 && types >= t_.diffPieces) most = 0;
    for (int64_t c = std::max<int64_t>(most, 0); c >= 0; --c) {
      const int64_t childLoad = load + c * it.work;
      const int32_t childLongest = c > 0 ? std::max(longest, it.work) : longest;
      const double childValue = value + static_cast<double>(c) * it.profit;
      const int32_t childPieces = pieces + static_cast<int32_t>(c);
      // Items come in falling value per length, so with the length bound
      // alone one piece fewer of this item never raises the bound: the
      // first count whose bound fails ends the loop.
      if (it.profit > 0 && t_.maxPieces < 1 && k + 1 < static_cast<int>(items_.size())) {
        const int64_t room = RoomLeft(k + 1, childLoad, childLongest);
        if (room >= 0 && childValue + Bound(k + 1, room, childPieces) <= best_ + eps_) break;
      }
      counts_[it.type] = static_cast<int32_t>(c);
      Search(k + 1, childLoad, childPieces, types + (c > 0 ? 1 : 0), childValue, childLongest);
      if (stopped_) break;
    }
    counts_[it.type] = 0;
  }

  // Listing: keeps a pattern worth at least the floor (and maximal when
  // asked).
  void Collect(int64_t load, int32_t pieces, int32_t types, double value, int32_t longest) {
    if (value <= best_ + eps_ || !solver::LayoutFits(t_.capacity, load, longest, t_.grip)) return;
    if (maximalOnly_) {
      for (const Item& it : items_) {
        if (counts_[it.type] >= it.bound || load + it.work > t_.loadLimit) continue;
        if (t_.maxPieces >= 1 && pieces + 1 > t_.maxPieces) continue;
        if (t_.diffPieces >= 1 && counts_[it.type] == 0 && types + 1 > t_.diffPieces) continue;
        if (solver::LayoutFits(t_.capacity, load + it.work, std::max(longest, it.work), t_.grip)) {
          return;  // one more piece fits
        }
      }
    }
    list_.push_back(counts_);
    if (list_.size() > limit_) stopped_ = true;
  }

  const PricingTask& t_;
  bool listing_ = false;
  bool maximalOnly_ = false;
  size_t limit_ = 0;
  std::vector<Counts> list_;
  std::vector<Item> items_;
  std::vector<bool> longAhead_;
  std::vector<int> byProfit_;
  Counts counts_;
  double best_ = 0;
  double eps_ = 0;
  int64_t nodes_ = 0;
  bool stopped_ = false;
  PricingResult result_;
};

// Pieces of one type taken together in the table.
struct Lot {
  int type;
  int32_t count;
  int64_t work;
  double value;
};

std::vector<Lot> LotsOf(const PricingTask& t, int64_t load) {
  std::vector<Lot> lots;
  for (int i = 0; i < static_cast<int>(t.work.size()); ++i) {
    if (t.profit[i] <= 0 || t.work[i] < 1) continue;
    int64_t fit = std::min<int64_t>(t.bound[i], load / t.work[i]);
    for (int64_t k = 1; fit > 0; k *= 2) {
      const int64_t n = std::min(k, fit);
      lots.push_back(
          Lot{i, static_cast<int32_t>(n), n * t.work[i], static_cast<double>(n) * t.profit[i]});
      fit -= n;
    }
  }
  return lots;
}

// One lot into the table: best[c] = max(best[c], best[c - work] + value)
// for every load c from the top down, with the bit of c set where the lot
// gains. Going down, best[c - work] still holds the value without the lot.
void AddLotCells(double* best, uint64_t* bits, int64_t hi, int64_t lo, int64_t work, double value) {
  for (int64_t c = hi; c >= lo; --c) {
    const double v = best[c - work] + value;
    if (v > best[c]) {
      best[c] = v;
      bits[c / 64] |= uint64_t{1} << (c % 64);
    }
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define TARVOLIN_WIDE_TABLE 1

bool WideVectors() {
  return __builtin_cpu_supports("avx2");
}

// The whole words of loads 64 at a time, four loads a step. A lot at least
// a word long reads only words below the one it writes, none of them
// updated yet, so every load of a word gets the value the scalar loop
// would give it.
__attribute__((target("avx2"))) void AddLotWords(double* best, uint64_t* bits, int64_t firstWord,
                                                 int64_t lastWord, int64_t work, double value) {
  const __m256d add = _mm256_set1_pd(value);
  for (int64_t w = lastWord; w >= firstWord; --w) {
    double* to = best + w * 64;
    const double* from = to - work;
    uint64_t gained = 0;
    for (int i = 0; i < 64; i += 4) {
      const __m256d v = _mm256_add_pd(_mm256_loadu_pd(from + i), add);
      const __m256d d = _mm256_loadu_pd(to + i);
      const __m256d gain = _mm256_cmp_pd(v, d, _CMP_GT_OQ);
      _mm256_storeu_pd(to + i, _mm256_blendv_pd(d, v, gain));
      gained |= static_cast<uint64_t>(_mm256_movemask_pd(gain)) << i;
    }
    bits[w] |= gained;
  }
}
#else
bool WideVectors() {
  return false;
}
#endif

void AddLot(double* best, uint64_t* bits, int64_t load, int64_t work, double value, bool wide) {
#ifdef TARVOLIN_WIDE_TABLE
  // Whole words from the first one all of whose loads can take the lot.
  const int64_t firstWord = (work + 63) / 64;
  const int64_t lastWord = (load + 1) / 64 - 1;
  if (wide && work >= 64 && firstWord <= lastWord) {
    AddLotCells(best, bits, load, (lastWord + 1) * 64, work, value);
    AddLotWords(best, bits, firstWord, lastWord, work, value);
    AddLotCells(best, bits, firstWord * 64 - 1, work, work, value);
    return;
  }
#endif
  (void)wide;
  AddLotCells(best, bits, load, work, work, value);
}

// Largest load and table size (lots x loads) priced by a table.
constexpr int64_t kTableLoadLimit = 4000000;
constexpr int64_t kTableCellLimit = 300000000;
// Table size from which the extra patterns are listed.
constexpr int64_t kExtraCellsFrom = 1000000;

}  // namespace

bool TableApplies(const PricingTask& t) {
  if (t.grip > 0 || t.maxPieces >= 1 || t.diffPieces >= 1) return false;
  if (t.forbidden != nullptr && !t.forbidden->empty()) return false;
  if (t.loadLimit < 1 || t.loadLimit > kTableLoadLimit) return false;
  return static_cast<int64_t>(LotsOf(t, t.loadLimit).size()) * t.loadLimit <= kTableCellLimit;
}

std::vector<PricingResult> PriceByTable(const std::vector<PricingTask>& tasks, int extra) {
  std::vector<PricingResult> out(tasks.size());
  if (tasks.empty()) return out;
  int64_t load = 0;
  for (const PricingTask& t : tasks) load = std::max(load, t.loadLimit);
  const PricingTask& first = tasks.front();
  const std::vector<Lot> lots = LotsOf(first, load);
  // Extra patterns only where a round costs much: fewer rounds pay then.
  if (static_cast<int64_t>(lots.size()) * load < kExtraCellsFrom) extra = 0;
  const size_t words = static_cast<size_t>(load / 64 + 1);
  // best[c]: the most value of pieces whose working length is at most c;
  // taken: whether lot k is in the best choice for c among lots 0..k.
  std::vector<double> best(static_cast<size_t>(load) + 1, 0.0);
  std::vector<uint64_t> taken(lots.size() * words, 0);
  const bool wide = WideVectors();
  for (size_t k = 0; k < lots.size(); ++k) {
    const Lot& lot = lots[k];
    uint64_t* bits = taken.data() + k * words;
    AddLot(best.data(), bits, load, lot.work, lot.value, wide);
    if (first.watch != nullptr && (k & 15) == 15 && first.watch->Stop()) {
      for (PricingResult& r : out) r.complete = false;
      return out;
    }
  }
  for (size_t n = 0; n < tasks.size(); ++n) {
    const PricingTask& t = tasks[n];
    PricingResult& r = out[n];
    r.nodes = static_cast<int64_t>(lots.size());
    const double eps = 1e-9 * std::max(1.0, std::fabs(t.threshold));
    // The best choice for load c and its working length.
    const auto choice = [&](int64_t c, Counts& counts) {
      counts.assign(t.work.size(), 0);
      int64_t used = 0;
      for (size_t k = lots.size(); k-- > 0;) {
        if ((taken[k * words + c / 64] >> (c % 64) & 1) == 0) continue;
        counts[lots[k].type] += lots[k].count;
        c -= lots[k].work;
        used += lots[k].work;
      }
      return used;
    };
    int64_t c = t.loadLimit;
    if (!(best[c] > t.threshold + eps)) continue;
    r.found = true;
    r.value = best[c];
    int64_t used = choice(c, r.counts);
    for (int e = 0; e < extra && used >= 1 && best[used - 1] > t.threshold + eps; ++e) {
      Counts counts;
      used = choice(used - 1, counts);
      r.more.push_back(std::move(counts));
    }
  }
  return out;
}

PricingTask BarTask(const Model& model, int j, const Watch* watch) {
  PricingTask task;
  task.capacity = task.loadLimit = model.stock[j].capacity;
  task.grip = model.grip;
  task.maxPieces = model.maxPieces;
  task.diffPieces = model.diffPieces;
  for (const PartType& part : model.parts) task.work.push_back(part.work);
  task.watch = watch;
  return task;
}

PricingResult PriceBestPattern(const PricingTask& task) {
  Knapsack knapsack(task);
  return knapsack.Run();
}

std::vector<Counts> ListPatterns(const PricingTask& task, double minValue, bool maximalOnly,
                                 size_t limit, bool& complete) {
  PricingTask open = task;
  open.forbidden = nullptr;
  Knapsack knapsack(open);
  return knapsack.List(minValue, maximalOnly, limit, complete);
}

}  // namespace solver::exact
