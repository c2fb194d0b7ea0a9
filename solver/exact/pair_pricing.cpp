// Pricing of long bars that hold few pieces, by halves of patterns.
//
// When at most four pieces fit one bar, a pattern has at most four types,
// and it splits into two halves of at most two types each: the first half
// takes the pattern's first two types (in the task's order) with all their
// pieces, the second half the rest. So the best pattern is the best sum of
// two halves whose loads fit together and whose types do not overlap: the
// second half's first type after the first half's last. The halves are
// walked by their last type from the end, while the halves that start
// after it enter a Fenwick tree of the best value over the loads up to
// each load; each half then asks for the best partner within the load it
// leaves. The piece bounds hold within every half, and no type is in both,
// so the answer is exact; its cost grows with the pairs of types, not with
// the bar's length as the table's does.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "pricing.h"

namespace solver::exact {
namespace {

// Patterns of at most this many pieces split into halves of two types.
constexpr int32_t kMostPairPieces = 4;
// The watch is asked once in this many halves (a power of two less one).
constexpr size_t kPairWatchEvery = 4095;
// Estimated cost of one half against one table cell: the halves are priced
// when their count times its logarithm times this is below the table's
// cells.
constexpr int64_t kHalfCostInCells = 8;
// A round by pairs is cheap and finds many patterns that price out: it
// adds this many times the patterns a round by the table would, for fewer
// rounds of the column generation.
constexpr int kPairPatternsScale = 4;
// Tables smaller than this many cells (lots by loads) take under a
// millisecond: they are kept.
constexpr int64_t kPairCellsFrom = 1000000;
// Most types priced by halves (their pairs are kept in memory).
constexpr size_t kMostPairTypes = 600;
// A half's place in its sort key beside its load.
constexpr int kPlaceBits = 24;
constexpr uint64_t kPlaceMask = (uint64_t{1} << kPlaceBits) - 1;

struct Item {
  int type;
  int32_t work;
  double profit;
  int32_t most;  // pieces that fit the load and the bound
};

// Pieces of type i that fit the load and the bound, 0 when the type is
// not worth taking.
int32_t MostOf(const PricingTask& t, int i) {
  if (t.profit[i] <= 0 || t.work[i] < 1 || t.bound[i] < 1 || t.work[i] > t.loadLimit) return 0;
  return static_cast<int32_t>(std::min<int64_t>(t.bound[i], t.loadLimit / t.work[i]));
}

// The types worth taking, in the task's order.
std::vector<Item> ItemsOf(const PricingTask& t) {
  std::vector<Item> items;
  for (int i = 0; i < static_cast<int>(t.work.size()); ++i) {
    const int32_t most = MostOf(t, i);
    if (most > 0) items.push_back(Item{i, t.work[i], t.profit[i], most});
  }
  return items;
}

// Whether more than kMostPairPieces pieces fit one bar: the lightest
// that many and one, the bounds counted, within the load.
bool MorePiecesFit(const std::vector<Item>& items, int64_t load) {
  constexpr int32_t kCount = kMostPairPieces + 1;
  std::array<int64_t, kCount> lightest;  // rising
  lightest.fill(std::numeric_limits<int64_t>::max());
  for (const Item& it : items) {
    for (int32_t c = 0; c < std::min(it.most, kCount) && it.work < lightest.back(); ++c) {
      int32_t k = kCount - 1;
      for (; k > 0 && lightest[k - 1] > it.work; --k) lightest[k] = lightest[k - 1];
      lightest[k] = it.work;
    }
  }
  int64_t sum = 0;
  for (const int64_t w : lightest) {
    if (w > load - sum) return false;
    sum += w;
  }
  return true;
}

// A part of a pattern: pieces of one or two types (none for the empty
// half). `first` and `last` are item positions; the empty half starts
// after every item and ends before them.
struct Half {
  int64_t work;
  double value;
  int32_t first;
  int32_t last;
  int32_t firstCount;
  int32_t lastCount;  // 0 when the half has one type
};

// The halves in the order of their first item (the empty half last, as
// if its first item came after all); start[a] is where those of item a
// begin.
std::vector<Half> HalvesOf(const std::vector<Item>& items, int64_t load,
                           std::vector<size_t>& start) {
  const int32_t n = static_cast<int32_t>(items.size());
  std::vector<Half> halves;
  start.clear();
  for (int32_t a = 0; a < n; ++a) {
    start.push_back(halves.size());
    const Item& x = items[a];
    for (int32_t ca = 1; ca <= x.most; ++ca) {
      const int64_t wa = int64_t{ca} * x.work;
      halves.push_back(Half{wa, ca * x.profit, a, a, ca, 0});
      for (int32_t b = a + 1; b < n; ++b) {
        const Item& y = items[b];
        for (int32_t cb = 1; cb <= y.most && wa + int64_t{cb} * y.work <= load; ++cb) {
          halves.push_back(
              Half{wa + int64_t{cb} * y.work, ca * x.profit + cb * y.profit, a, b, ca, cb});
        }
      }
    }
  }
  start.push_back(halves.size());
  halves.push_back(Half{0, 0.0, n, -1, 0, 0});
  start.push_back(halves.size());
  return halves;
}

// The best value over the loads up to a rank, with the half that has it.
class BestByLoad {
 public:
  explicit BestByLoad(size_t size) : best_(size + 1, Entry{kNone, -1}) {}
  void Put(size_t rank, double value, int32_t half) {
    for (size_t k = rank + 1; k < best_.size(); k += k & (~k + 1)) {
      if (value > best_[k].value) best_[k] = Entry{value, half};
    }
  }
  // Over ranks below `end`; the half is -1 when there is none.
  std::pair<double, int32_t> Best(size_t end) const {
    Entry e{kNone, -1};
    for (size_t k = end; k > 0; k -= k & (~k + 1)) {
      if (best_[k].value > e.value) e = best_[k];
    }
    return {e.value, e.half};
  }

 private:
  struct Entry {
    double value;
    int32_t half;
  };
  static constexpr double kNone = -std::numeric_limits<double>::infinity();
  std::vector<Entry> best_;
};

// A pattern as two halves and its value.
struct Joined {
  double value;
  int32_t first;
  int32_t second;
};

class PairPricing {
 public:
  PairPricing(const PricingTask& t, std::vector<Item> items)
      : t_(t), items_(std::move(items)), halves_(HalvesOf(items_, t.loadLimit, firstStart_)) {
    const size_t count = halves_.size();
    // The halves by load (load and place in one key), each load's rank
    // among the loads, and the loads that fit beside each half.
    std::vector<uint64_t> byLoad(count);
    for (size_t h = 0; h < count; ++h) {
      byLoad[h] = static_cast<uint64_t>(halves_[h].work) << kPlaceBits | h;
    }
    std::sort(byLoad.begin(), byLoad.end());
    rank_.assign(count, 0);
    room_.assign(count, 0);
    std::vector<int64_t> loads;  // each load once, rising
    for (const uint64_t key : byLoad) {
      const int64_t work = static_cast<int64_t>(key >> kPlaceBits);
      if (loads.empty() || loads.back() != work) loads.push_back(work);
      rank_[key & kPlaceMask] = loads.size() - 1;
    }
    size_t fit = 0;  // loads up to the room of the heavier halves, falling
    for (size_t k = count; k-- > 0;) {
      const size_t h = byLoad[k] & kPlaceMask;
      while (fit < loads.size() && loads[fit] <= t.loadLimit - halves_[h].work) ++fit;
      room_[h] = fit;
    }
    loadCount_ = loads.size();
    // The halves by their last item (a counting sort).
    const size_t n = items_.size();
    lastStart_.assign(n + 1, 0);
    for (const Half& h : halves_) {
      if (h.last >= 0) ++lastStart_[h.last + 1];
    }
    for (size_t i = 0; i < n; ++i) lastStart_[i + 1] += lastStart_[i];
    byLast_.resize(lastStart_[n]);
    std::vector<size_t> next(lastStart_.begin(), lastStart_.end() - 1);
    for (size_t h = 0; h < count; ++h) {
      if (halves_[h].last >= 0) byLast_[next[halves_[h].last]++] = static_cast<int32_t>(h);
    }
  }

  // Every half's best pattern (the half joined with its best partner)
  // worth more than `floor`; false when the watch stopped the walk. The
  // best of them is the best pattern of the task.
  bool Walk(double floor, std::vector<Joined>& out) const {
    const int32_t n = static_cast<int32_t>(items_.size());
    // A half joins a pattern worth more than the floor only with a partner
    // worth more than the floor less the best half.
    double most = 0;
    for (const Half& h : halves_) most = std::max(most, h.value);
    const double need = floor - most;
    BestByLoad tree(loadCount_);
    size_t asked = 0;
    for (int32_t last = n - 1; last >= 0; --last) {
      for (size_t h = firstStart_[last + 1]; h < firstStart_[last + 2]; ++h) {
        if (halves_[h].value > need) tree.Put(rank_[h], halves_[h].value, static_cast<int32_t>(h));
      }
      for (size_t k = lastStart_[last]; k < lastStart_[last + 1]; ++k) {
        const int32_t a = byLast_[k];
        if ((++asked & kPairWatchEvery) == 0 && t_.watch != nullptr && t_.watch->Stop()) {
          return false;
        }
        if (halves_[a].value <= need) continue;
        const auto [partner, b] = tree.Best(room_[a]);
        if (b >= 0 && halves_[a].value + partner > floor) {
          out.push_back(Joined{halves_[a].value + partner, a, b});
        }
      }
    }
    return true;
  }

  size_t Halves() const { return halves_.size(); }

  Counts CountsOf(const Joined& j) const {
    Counts counts(t_.work.size(), 0);
    for (const int32_t h : {j.first, j.second}) {
      const Half& half = halves_[h];
      if (half.last < 0) continue;
      counts[items_[half.first].type] += half.firstCount;
      if (half.lastCount > 0) counts[items_[half.last].type] += half.lastCount;
    }
    return counts;
  }

 private:
  const PricingTask& t_;
  std::vector<Item> items_;
  std::vector<size_t> firstStart_;  // per item (and the empty half): its halves by first item
  std::vector<Half> halves_;
  std::vector<size_t> rank_;       // per half: its load's place among the loads
  std::vector<size_t> room_;       // per half: how many loads fit beside it
  size_t loadCount_ = 0;           // different loads
  std::vector<size_t> lastStart_;  // per item: where its halves by last item begin
  std::vector<int32_t> byLast_;    // the halves by last item
};

double ValueOf(const PricingTask& t, const Counts& counts) {
  double value = 0;
  for (size_t i = 0; i < counts.size(); ++i) value += counts[i] * t.profit[i];
  return value;
}

}  // namespace

bool PairsApply(const PricingTask& task) {
  // The halves against the table's cells (lots by loads), first, as it is
  // the quickest to tell.
  int64_t n = 0, lots = 0;
  for (int i = 0; i < static_cast<int>(task.work.size()); ++i) {
    const int32_t most = MostOf(task, i);
    n += most > 0 ? 1 : 0;
    for (int32_t fit = most; fit > 0; fit /= 2) ++lots;  // lots of 1, 2, 4, ...
  }
  const int64_t cells = lots * std::max<int64_t>(task.loadLimit, 0);
  if (n > static_cast<int64_t>(kMostPairTypes) || cells < kPairCellsFrom) return false;
  const int64_t halves = n * (n + 1) / 2 + 1;
  const int64_t steps = static_cast<int64_t>(std::ceil(std::log2(static_cast<double>(halves)))) + 1;
  if (halves * steps * kHalfCostInCells >= cells || !TableApplies(task)) return false;
  return !MorePiecesFit(ItemsOf(task), task.loadLimit);
}

PricingResult PriceByPairs(const PricingTask& task, int extra) {
  PricingResult r;
  const PairPricing pricing(task, ItemsOf(task));
  const double eps = 1e-9 * std::max(1.0, std::fabs(task.threshold));
  std::vector<Joined> joined;
  r.nodes = static_cast<int64_t>(pricing.Halves());
  if (!pricing.Walk(task.threshold + eps, joined)) {
    r.complete = false;
    return r;
  }
  // The best first, equal values in the order of the walk; a pattern is
  // found from up to two of its halves, so twice the patterns wanted are
  // ordered.
  const auto better = [](const Joined& a, const Joined& b) {
    return a.value != b.value ? a.value > b.value : a.first < b.first;
  };
  const size_t wanted = std::min(joined.size(), 2 * static_cast<size_t>(extra + 1));
  std::partial_sort(joined.begin(), joined.begin() + wanted, joined.end(), better);
  joined.resize(wanted);
  if (joined.empty() && 0 > task.threshold + eps) {
    // No piece worth cutting, and the empty bar prices out.
    r.found = true;
    r.counts.assign(task.work.size(), 0);
    return r;
  }
  for (const Joined& j : joined) {
    if (r.found && static_cast<int>(r.more.size()) >= extra) break;
    Counts counts = pricing.CountsOf(j);
    if (!r.found) {
      r.found = true;
      r.value = ValueOf(task, counts);
      r.counts = std::move(counts);
    } else if (counts != r.counts &&
               std::find(r.more.begin(), r.more.end(), counts) == r.more.end()) {
      r.more.push_back(std::move(counts));
    }
  }
  return r;
}

namespace {

// A second table without the piece types of the first one's best patterns:
// each task's best pattern of other pieces, kept with its further patterns
// when it prices out. Such patterns hold what the best ones leave, where
// lighter ones repeat them: the column generation takes about half the
// rounds.
void AddPatternsOfOtherPieces(std::vector<PricingTask> tasks, std::vector<PricingResult>& out) {
  bool any = false;
  for (const PricingResult& r : out) {
    if (!r.found) continue;
    any = true;
    for (size_t i = 0; i < r.counts.size(); ++i) {
      if (r.counts[i] == 0) continue;
      for (PricingTask& t : tasks) t.bound[i] = 0;
    }
  }
  if (!any) return;
  const std::vector<PricingResult> other = PriceByTable(tasks, 0);
  for (size_t k = 0; k < out.size(); ++k) {
    if (other[k].found) out[k].more.push_back(other[k].counts);
  }
}

}  // namespace

std::vector<PricingResult> PriceWithoutRules(const std::vector<PricingTask>& tasks, int extra) {
  const bool pairs = !tasks.empty() && std::all_of(tasks.begin(), tasks.end(), PairsApply);
  if (!pairs) {
    std::vector<PricingResult> out = PriceByTable(tasks, extra);
    const bool complete =
        std::all_of(out.begin(), out.end(), [](const PricingResult& r) { return r.complete; });
    if (complete) AddPatternsOfOtherPieces(tasks, out);
    return out;
  }
  std::vector<PricingResult> out(tasks.size());
  for (size_t k = 0; k < tasks.size(); ++k) {
    out[k] = PriceByPairs(tasks[k], (extra + 1) * kPairPatternsScale - 1);
    if (out[k].complete) continue;
    for (PricingResult& r : out) r.complete = false;  // a stop leaves the round incomplete
    break;
  }
  return out;
}

}  // namespace solver::exact
