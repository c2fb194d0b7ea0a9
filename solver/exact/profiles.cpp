// Stock profiles for figure 2 of the exact method: listing the profiles
// whose objective lies in a window, the candidates made of them (with or
// without a last bar), their bounds and order, and the certificates that
// rule profiles out without a programme.
#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <numeric>

#include "bit_rows.h"
#include "engine.h"

namespace solver::exact {

namespace {

// Nodes of the search for the least load above a given one on a last bar.
constexpr int64_t kNextLoadNodes = 200000;
// Long loops ask the watch once in this many steps (a power of two less one).
constexpr int64_t kWatchEvery = 1023;
// Words of the reachable levels of CapaciousProfiles at most, and the nodes
// of its search.
constexpr int64_t kCapaciousWords = int64_t{1} << 22;
constexpr int64_t kCapaciousVisits = 200000;
// Largest profile objective up to which the sums the stock types can reach
// are kept as bit sets (one per suffix of the types).
// Growth factor of the windows in which the least profile is looked for.
constexpr int64_t kWindowGrowth = 8;
constexpr int64_t kReachLimit = int64_t{1} << 24;

// Set bits before position p (0 <= p <= 64 * words).
int64_t Rank(const ReachSet& set, int64_t p) {
  const size_t word = static_cast<size_t>(p / 64);
  const int bit = static_cast<int>(p % 64);
  int64_t rank = set.before[word];
  if (bit > 0) rank += std::popcount(set.bits[word] & ((uint64_t{1} << bit) - 1));
  return rank;
}

// Whether a bit in [from, to] is set.
bool AnyIn(const ReachSet& set, int64_t from, int64_t to) {
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, static_cast<int64_t>(set.bits.size()) * 64 - 1);
  return from <= to && Rank(set, to + 1) > Rank(set, from);
}

}  // namespace

// Heap order: the smallest bound on top; ties by length, bar order, then
// the profile itself so that the order never depends on the heap.
bool Engine::After(const Candidate& a, const Candidate& b) {
  if (a.bound != b.bound) return a.bound > b.bound;
  if (a.length != b.length) return a.length > b.length;
  if (a.barOrder != b.barOrder) return a.barOrder > b.barOrder;
  if (a.last != b.last) return a.last > b.last;
  return a.bars > b.bars;
}

double Engine::LastRate(int j) const {
  return m_.costObjective ? static_cast<double>(m_.stock[j].cost) / m_.stock[j].length : 1.0;
}

bool Engine::LastAllowed(const std::vector<int32_t>& bars, int j) const {
  if (m_.LastCapacity(j) < 1 || bars[j] + 1 > m_.stock[j].quantity) return false;
  int types = 0, count = 0;
  for (size_t k = 0; k < bars.size(); ++k) {
    types += bars[k] > 0 || static_cast<int>(k) == j ? 1 : 0;
    count += bars[k];
  }
  return count >= 1 && (m_.diffStocks < 1 || types <= m_.diffStocks);
}

// What the bars must hold: working length and pieces, less what the
// uncut allowance may leave.
void Engine::Needed(double& work, double& pieces) const {
  double stretch = 1;
  int64_t w = 0, p = 0;
  for (const PartType& t : m_.parts) {
    w += int64_t{t.work} * t.demand;
    p += t.demand;
    stretch = std::max(stretch, static_cast<double>(t.work) / t.length);
  }
  const double uncut = allowance_;
  const int64_t shortest = m_.parts.empty() ? 1 : m_.parts.back().length;
  work = static_cast<double>(w) - uncut * stretch;
  pieces = static_cast<double>(p) - uncut / shortest;
}

// Regular profiles with lo <= objective <= hi that could hold the pieces
// with `extra` working length more (the last bar), pruned by capacity,
// pieces per layout, different stock groups and, without `extra`, the
// stored certificates.
// The objectives the bars of stock types j.. can sum to, per j, as bit
// sets; empty when the objectives are too large (or not whole).
const std::vector<ReachSet>& Engine::ReachableSums() const {
  if (reachDone_) return reach_;
  reachDone_ = true;
  const int types = static_cast<int>(m_.stock.size());
  int64_t total = 0;
  for (int j = 0; j < types; ++j) total += Weight(j) * m_.stock[j].quantity;
  if (total >= kReachLimit || m_.costObjective) return reach_;
  const size_t words = static_cast<size_t>(total / 64 + 1);
  std::vector<std::vector<uint64_t>> reach(types + 1, std::vector<uint64_t>(words, 0));
  reach[types][0] = 1;
  for (int j = types - 1; j >= 0; --j) {
    std::vector<uint64_t>& to = reach[j];
    const std::vector<uint64_t>& from = reach[j + 1];
    for (int32_t n = 0; n <= m_.stock[j].quantity; ++n) {
      OrShifted(to.data(), from.data(), words, n * Weight(j));
      if (Stopped()) return reach_;
    }
  }
  for (std::vector<uint64_t>& bits : reach) {
    ReachSet set;
    set.before.assign(bits.size() + 1, 0);
    for (size_t w = 0; w < bits.size(); ++w) {
      set.before[w + 1] = set.before[w] + std::popcount(bits[w]);
    }
    set.bits = std::move(bits);
    reach_.push_back(std::move(set));
  }
  return reach_;
}

std::vector<Profile> Engine::ProfilesIn(int64_t lo, int64_t hi, double extra, bool& truncated,
                                        size_t enough, int64_t visitLimit) const {
  std::vector<Profile> out;
  truncated = false;
  const int types = static_cast<int>(m_.stock.size());
  std::vector<int64_t> most(types + 1, 0);
  for (int j = types - 1; j >= 0; --j) most[j] = most[j + 1] + Weight(j) * m_.stock[j].quantity;
  const std::vector<ReachSet>& reach = ReachableSums();
  std::vector<int> byRate(types);
  for (int j = 0; j < types; ++j) byRate[j] = j;
  std::stable_sort(byRate.begin(), byRate.end(), [&](int a, int b) {
    return m_.BarWeight(a) / m_.stock[a].capacity < m_.BarWeight(b) / m_.stock[b].capacity;
  });
  double needWork = 0, needPieces = 0;
  Needed(needWork, needPieces);
  needWork -= extra;
  if (extra > 0) needPieces -= m_.maxPieces >= 1 ? m_.maxPieces : needPieces;
  const double allowance = allowance_ + 1e-6;
  const bool certify = extra <= 0;

  std::vector<int32_t> bars(types, 0);
  int64_t visits = 0;
  std::function<void(int, int64_t, double, double, int)> visit = [&](int j, int64_t objective,
                                                                     double capacity, double slots,
                                                                     int used) {
    if ((++visits & kWatchEvery) == 0 && (Stopped() || (visitLimit > 0 && visits > visitLimit))) {
      truncated = true;
    }
    if (truncated || (enough > 0 && out.size() >= enough) || objective > hi ||
        objective + most[j] < lo) {
      return;
    }
    // No choice of the bars left reaches the window.
    if (!reach.empty() && !AnyIn(reach[j], lo - objective, hi - objective)) return;
    // Least cost to add the capacity still missing, from the types left.
    double missing = needWork - capacity, cost = 0, slotsLeft = 0;
    for (int k : byRate) {
      if (k < j) continue;
      slotsLeft += m_.stock[k].quantity;
      if (missing <= 0) continue;
      const double take = std::min<double>(m_.stock[k].quantity, missing / m_.stock[k].capacity);
      cost += take * m_.BarWeight(k);
      missing -= take * m_.stock[k].capacity;
    }
    if (missing > 1e-9 || objective + cost > hi + 1e-9) return;
    if (m_.maxPieces >= 1 && (slots + slotsLeft) * m_.maxPieces < needPieces) return;
    if (certify) {
      for (const Certificate& c : certificates_) {
        double b = c.base;
        for (int k = 0; k < types; ++k) {
          b += c.perBar[k] * (k < j ? bars[k] : m_.stock[k].quantity);
        }
        if (b > allowance + 1e-6 * std::fabs(c.base)) return;
      }
    }
    if (j == types) {
      if (objective < lo || capacity < needWork) return;
      Profile p;
      p.bars = bars;
      p.objective = objective;
      int32_t count = 0;
      for (int k = 0; k < types; ++k) {
        p.length += int64_t{bars[k]} * m_.stock[k].length;
        count += bars[k];
      }
      p.barOrder = count;
      out.push_back(std::move(p));
      if (out.size() > kProfileWindowLimit) truncated = true;
      return;
    }
    // Fewer bars of this type than `first` leave the window out of reach.
    int32_t first = 0;
    if (Weight(j) > 0 && objective + most[j + 1] < lo) {
      const int64_t w = Weight(j);
      first = static_cast<int32_t>(
          std::min<int64_t>(m_.stock[j].quantity, (lo - objective - most[j + 1] + w - 1) / w));
    }
    for (int32_t n = first; n <= m_.stock[j].quantity; ++n) {
      const int nowUsed = used + (n > 0 ? 1 : 0);
      if (m_.diffStocks >= 1 && nowUsed > m_.diffStocks) break;
      if (objective + n * Weight(j) > hi) break;
      bars[j] = n;
      visit(j + 1, objective + n * Weight(j), capacity + double{1} * n * m_.stock[j].capacity,
            slots + n, nowUsed);
    }
    bars[j] = 0;
  };
  visit(0, 0, 0, 0, 0);
  return out;
}

int64_t Engine::ObjectiveUnit() const {
  int64_t unit = 0;
  for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
    if (m_.stock[j].quantity > 0) unit = std::gcd(unit, Weight(j));
  }
  return unit;
}

std::vector<int> Engine::ByCapacityPerWeight() const {
  std::vector<int> order(m_.stock.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return double{1} * m_.stock[a].capacity * Weight(b) >
           double{1} * m_.stock[b].capacity * Weight(a);
  });
  return order;
}

double Engine::CapacityBound() const {
  double needWork = 0, needPieces = 0;
  Needed(needWork, needPieces);
  double bound = 0;
  for (const int j : ByCapacityPerWeight()) {
    if (needWork <= 0) break;
    const double capacity = m_.stock[j].capacity;
    const double bars = std::min<double>(m_.stock[j].quantity, needWork / capacity);
    bound += bars * Weight(j);
    needWork -= bars * capacity;
  }
  return bound;
}

std::vector<std::vector<int32_t>> Engine::CapaciousProfiles(int64_t level, size_t count) const {
  std::vector<std::vector<int32_t>> out;
  double needWork = 0, needPieces = 0;
  Needed(needWork, needPieces);
  std::vector<int32_t> bars(m_.stock.size(), 0);
  std::vector<int> order;  // priced types, the most capacity per weight first
  const int64_t unit = ObjectiveUnit();
  double capacity = 0;
  for (const int j : ByCapacityPerWeight()) {
    if (m_.stock[j].quantity < 1) continue;
    if (Weight(j) == 0) {
      // Free bars add capacity at no cost: all of them.
      bars[j] = m_.stock[j].quantity;
      capacity += double{1} * bars[j] * m_.stock[j].capacity;
      continue;
    }
    order.push_back(j);
  }
  if (unit < 1 || level % unit != 0) return out;
  const int64_t levels = level / unit;
  const size_t words = static_cast<size_t>(levels / 64 + 1);
  if (static_cast<int64_t>(words * (order.size() + 1)) > kCapaciousWords) return out;
  // reach[k]: the levels the types order[k..] can sum to.
  std::vector<uint64_t> reach(words * (order.size() + 1), 0);
  const auto has = [&](size_t k, int64_t at) { return HasBit(reach.data() + k * words, at); };
  reach[order.size() * words] = 1;
  for (size_t k = order.size(); k-- > 0;) {
    uint64_t* bits = reach.data() + k * words;
    std::copy(bits + words, bits + 2 * words, bits);
    const int64_t step = Weight(order[k]) / unit;
    for (int32_t left = m_.stock[order[k]].quantity, chunk = 1; left > 0; chunk *= 2) {
      const int32_t take = std::min(chunk, left);
      left -= take;
      if (step * take <= levels) OrShifted(bits, bits, words, step * take);
    }
  }
  // Capacity the types order[k..] add at most.
  std::vector<double> most(order.size() + 1, 0);
  for (size_t k = order.size(); k-- > 0;) {
    most[k] = most[k + 1] + double{1} * m_.stock[order[k]].quantity * m_.stock[order[k]].capacity;
  }
  int64_t visits = 0;
  const auto visit = [&](const auto& self, size_t k, int64_t left, double cap, int used) -> void {
    if (out.size() >= count || ++visits > kCapaciousVisits || cap + most[k] < needWork) return;
    if (k == order.size()) {
      if (left == 0) out.push_back(bars);
      return;
    }
    const int j = order[k];
    const int64_t step = Weight(j) / unit;
    const auto top = static_cast<int32_t>(std::min<int64_t>(m_.stock[j].quantity, left / step));
    for (int32_t n = top; n >= 0 && visits <= kCapaciousVisits; --n) {
      ++visits;
      // Fewer bars of this type leave less capacity still.
      if (cap + double{1} * n * m_.stock[j].capacity + most[k + 1] < needWork) break;
      if (!has(k + 1, left - n * step)) continue;
      if (n > 0 && m_.diffStocks >= 1 && used >= m_.diffStocks) continue;
      bars[j] = n;
      self(self, k + 1, left - n * step, cap + double{1} * n * m_.stock[j].capacity,
           used + (n > 0 ? 1 : 0));
    }
    bars[j] = 0;
  };
  visit(visit, 0, levels, capacity, 0);
  return out;
}

int32_t Engine::BarOrder(int32_t bars) const {
  return m_.prefShort < 0 ? -bars : (m_.prefShort > 0 ? bars : 0);
}

// The smallest profile objective at or above `bound`.
int64_t Engine::SmallestProfileFrom(double bound) const {
  // No profile costs less than nothing; a programme's bound can lie below
  // it, by a pricing tolerance that grows with the bars' working lengths.
  int64_t lo = std::max<int64_t>(0, static_cast<int64_t>(std::ceil(bound - 1e-6)));
  int64_t total = 0, step = 1, unit = ObjectiveUnit();
  for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
    total += Weight(j) * m_.stock[j].quantity;
    step = std::max(step, Weight(j));
  }
  // Every profile's objective is a sum of bar weights, a multiple of their
  // greatest common divisor: the levels between are skipped (listing them
  // would search for sums that do not exist).
  if (unit > 1) lo = (lo + unit - 1) / unit * unit;
  unit = std::max<int64_t>(unit, 1);
  int64_t least = 0;
  if (m_.large && m_.diffStocks == 0 && SmallestLevelFrom(lo, unit, total, least)) {
    return least;
  }
  // Windows from one level wide, growing to the longest bar: with many
  // stock types the profiles near the bound are dense, and a wide window
  // would list them all. A list cut short proves nothing about the
  // profiles it did not reach: the window narrows, and a window of one
  // level that holds a profile gives that level.
  int64_t width = unit;
  int64_t widest = std::max(unit, step / unit * unit);
  for (;;) {
    const int64_t hi = lo + width - 1;
    // No profile lies below lo: it bounds as well, if less tightly.
    if (Stopped()) return lo;
    bool truncated = false;
    // In a window of one level any profile will do.
    const std::vector<Profile> list = ProfilesIn(lo, hi, 0, truncated, width == unit ? 1 : 0);
    if (truncated) {
      if (width == unit) return lo;
      // Windows this wide hold too many profiles from here on as well.
      width = std::max(unit, width / kWindowGrowth / unit * unit);
      widest = width;
      continue;
    }
    if (!list.empty()) {
      int64_t least = list.front().objective;
      for (const Profile& p : list) least = std::min(least, p.objective);
      return least;
    }
    if (hi > total) return lo;
    lo = hi + 1;
    width = std::min(kWindowGrowth * width, widest);
  }
}

bool Engine::SmallestLevelFrom(int64_t lo, int64_t unit, int64_t total, int64_t& least) const {
  const int types = static_cast<int>(m_.stock.size());
  const int64_t top = std::min<int64_t>(total, static_cast<int64_t>(std::ceil(bestKey_.objective)));
  least = lo;
  if (top < lo) return true;
  const int64_t levels = top / unit + 1;
  if (levels > kProfileLevelLimit) return false;
  double needWork = 0, needPieces = 0;
  Needed(needWork, needPieces);
  // Per level (objective / unit): the most capacity and the most bars that
  // profiles of exactly that objective have; bars of weight 0 add to every
  // level. A bounded knapsack, each type's bars split into 1, 2, 4, ...
  constexpr double kNone = -1;
  std::vector<double> capacity(static_cast<size_t>(levels), kNone);
  std::vector<double> bars(static_cast<size_t>(levels), kNone);
  capacity[0] = 0;
  bars[0] = 0;
  double freeCapacity = 0, freeBars = 0;
  for (int j = 0; j < types; ++j) {
    const StockType& s = m_.stock[j];
    if (Weight(j) == 0) {
      freeCapacity += double{1} * s.capacity * s.quantity;
      freeBars += s.quantity;
      continue;
    }
    const int64_t step = Weight(j) / unit;
    for (int32_t left = s.quantity, chunk = 1; left > 0; chunk *= 2) {
      const int32_t take = std::min(chunk, left);
      left -= take;
      const int64_t shift = step * take;
      for (int64_t l = levels - 1; l >= shift; --l) {
        const size_t from = static_cast<size_t>(l - shift);
        if (capacity[from] == kNone) continue;
        const size_t to = static_cast<size_t>(l);
        capacity[to] = std::max(capacity[to], capacity[from] + double{1} * take * s.capacity);
        bars[to] = std::max(bars[to], bars[from] + take);
      }
      if (Stopped()) return true;
    }
  }
  for (int64_t l = lo / unit; l < levels; ++l) {
    const size_t at = static_cast<size_t>(l);
    if (capacity[at] == kNone || capacity[at] + freeCapacity < needWork) continue;
    if (m_.maxPieces >= 1 && (bars[at] + freeBars) * m_.maxPieces < needPieces) continue;
    least = l * unit;
    return true;
  }
  least = top + 1;
  return true;
}

Restriction Engine::RestrictionFor(const Candidate& c) const {
  Restriction r = master_->Whole();
  r.regularBars = c.bars;
  r.bars = c.bars;
  r.lastOpen = c.last >= 0;
  r.lastType = c.last;
  if (c.last >= 0) {
    r.bars[c.last] += 1;
    if (c.exact) r.lastLoadLimit = c.load;
  }
  return r;
}

// Whether a stored certificate rules out a profile of regular bars.
bool Engine::Refuted(const std::vector<int32_t>& bars) const {
  for (const Certificate& c : certificates_) {
    double b = c.base;
    for (size_t j = 0; j < bars.size(); ++j) b += c.perBar[j] * bars[j];
    if (b > allowance_ + 1e-6 + 1e-6 * std::fabs(c.base)) return true;
  }
  return false;
}

// The duals of an infeasible profile's programme as a certificate. The
// pricing covered only the stock types the profile uses; for the others
// the per-bar dual is lowered until no pattern of that type prices out,
// which keeps the duals feasible for every profile.
void Engine::StoreCertificate(const LpOutcome& lp, const Restriction& r) {
  Certificate c;
  const Restriction whole = master_->Whole();
  const size_t types = m_.stock.size();
  for (size_t i = 0; i < m_.parts.size(); ++i) {
    const double pi = lp.dualDemand[i];
    c.base += pi * whole.demand[i] + whole.demand[i] * std::min(0.0, m_.parts[i].length - pi);
  }
  for (size_t j = 0; j < types; ++j) {
    double perBar = lp.dualStock[j] + lp.dualStock[types + j];
    if (r.regularBars[j] < 1) {
      PricingTask task = BarTask(m_, static_cast<int>(j), &watch_);
      for (size_t i = 0; i < m_.parts.size(); ++i) {
        task.bound.push_back(whole.demand[i]);
        task.profit.push_back(lp.dualDemand[i]);
      }
      task.threshold = -1;
      const PricingResult best = PriceBestPattern(task);
      if (!best.complete) return;
      perBar = std::min(perBar, lp.dualNeed - best.value);
    }
    c.perBar.push_back(perBar - master_->PricingTolerance());
  }
  certificates_.push_back(std::move(c));
}

// The least working length above `load` that a last bar of type j can
// carry; load + 1 when the search for it runs too long.
int64_t Engine::NextLoad(int j, int64_t load) const {
  const int64_t limit = m_.LastCapacity(j);
  int64_t best = limit + 1;
  int64_t nodes = 0;
  Counts c = m_.Zero();
  bool stopped = false;
  std::function<void(int, int64_t)> visit = [&](int i, int64_t sum) {
    if (stopped || ++nodes > kNextLoadNodes || sum >= best) return;
    if ((nodes & kWatchEvery) == 0 && Stopped()) {
      stopped = true;
      return;
    }
    if (i == static_cast<int>(m_.parts.size())) {
      if (sum > load && FitsLastBar(m_, j, c)) best = sum;
      return;
    }
    const int32_t most = static_cast<int32_t>(
        std::min<int64_t>(m_.parts[i].demand, (limit - sum) / m_.parts[i].work));
    for (int32_t n = 0; n <= most; ++n) {
      c[i] = n;
      visit(i + 1, sum + int64_t{n} * m_.parts[i].work);
    }
    c[i] = 0;
  };
  visit(0, 0);
  return stopped || nodes > kNextLoadNodes ? load + 1 : best;
}

// The least objective a plan can have at or above a bound: whole
// lengths in material mode.
double Engine::RoundedUp(double bound) const {
  return m_.costObjective ? bound + Tolerance(bound) : std::ceil(bound - 1e-6) + 0.5;
}

bool Engine::BeforeBest(const Candidate& c) const {
  const double tol = 1e-9 * std::max(1.0, std::fabs(bestKey_.objective));
  if (std::fabs(c.bound - bestKey_.objective) > tol) return c.bound < bestKey_.objective;
  if (c.length != bestKey_.length) return c.length < bestKey_.length;
  return c.barOrder < bestKey_.barOrder;
}

void Engine::Push(std::vector<Candidate>& heap, Candidate c) {
  heap.push_back(std::move(c));
  std::push_heap(heap.begin(), heap.end(), After);
}

// Adds the candidates whose regular bars cost lo..hi; false when there
// were too many to list.
bool Engine::AddWindow(std::vector<Candidate>& heap, int64_t lo, int64_t& hi) {
  double lastMost = 0;
  if (m_.ignoreLast) {
    for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
      lastMost = std::max<double>(lastMost, static_cast<double>(m_.LastCapacity(j)));
    }
  }
  for (;;) {
    bool truncated = false;
    // Above the search's limits a listing that finds few profiles in much
    // work is given up like one that finds too many.
    const int64_t visits = m_.large ? kListVisitLimit : 0;
    std::vector<Profile> plain = ProfilesIn(lo, hi, 0, truncated, 0, visits);
    std::vector<Profile> withLast;
    if (!truncated && m_.ignoreLast) withLast = ProfilesIn(lo, hi, lastMost, truncated, 0, visits);
    if (truncated) {
      if (hi == lo || Stopped()) return false;
      hi = lo + (hi - lo) / 4;
      continue;
    }
    for (const Profile& p : plain) {
      Candidate c{p.bars,
                  -1,
                  p.objective,
                  p.length,
                  BarOrder(p.barOrder),
                  0,
                  static_cast<double>(p.objective),
                  true};
      Push(heap, std::move(c));
    }
    double needWork = 0, needPieces = 0;
    Needed(needWork, needPieces);
    for (const Profile& p : withLast) {
      double capacity = 0;
      for (size_t k = 0; k < p.bars.size(); ++k)
        capacity += double{1} * p.bars[k] * m_.stock[k].capacity;
      for (int j = 0; j < static_cast<int>(m_.stock.size()); ++j) {
        if (!LastAllowed(p.bars, j)) continue;
        const double least = std::max(0.0, std::ceil(needWork - capacity - 1e-9));
        if (least > static_cast<double>(m_.LastCapacity(j))) continue;
        Candidate c{p.bars,
                    j,
                    p.objective,
                    p.length + m_.stock[j].length,
                    BarOrder(p.barOrder + 1),
                    static_cast<int64_t>(least),
                    static_cast<double>(p.objective) + LastRate(j) * least,
                    false};
        Push(heap, std::move(c));
      }
    }
    return true;
  }
}

}  // namespace solver::exact
