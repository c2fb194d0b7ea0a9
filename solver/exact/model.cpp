#include "model.h"

#include <algorithm>
#include <limits>
#include <map>
#include <numeric>

#include "construction.h"

namespace solver::exact {
namespace {

std::string CheckInput(const ExactInput& in) {
  const Rules& r = in.rules;
  if (in.stock.empty() || in.stock.size() > TARVOLIN_EXACT_MAX_STOCK_GROUPS) {
    return "stock group count out of range";
  }
  if (in.parts.empty() || in.parts.size() > TARVOLIN_EXACT_MAX_PART_GROUPS) {
    return "part group count out of range";
  }
  if (r.kerf < 0 || r.endZone < 0 || r.gripLength < 0 || r.minReusable < 0) {
    return "kerf, end zone, gripping length or remainder below 0";
  }
  if (r.kerf > TARVOLIN_MAX_SUM / 4 || r.endZone > TARVOLIN_MAX_SUM / 4 ||
      r.gripLength > TARVOLIN_MAX_SUM / 4) {
    return "kerf, end zone or gripping length too long";
  }
  // Working lengths (a length and one kerf) are 32-bit.
  const int64_t longest = std::numeric_limits<int32_t>::max() - int64_t{r.kerf};
  int64_t bars = 0, pieces = 0, stockLength = 0, stockCost = 0, partLength = 0;
  for (const StockGroupIn& s : in.stock) {
    if (s.length < 1) return "stock length below 1";
    if (s.length > longest) return "stock length with the kerf too long";
    if (s.cost < 0) return "stock cost below 0";
    if (s.quantity < 0) return "stock quantity below 0";
    if (s.quantity > TARVOLIN_EXACT_MAX_GROUP_QUANTITY) return "stock quantity above 32767";
    bars += s.quantity;
    stockLength += int64_t{s.length} * s.quantity;
    stockCost += int64_t{s.cost} * s.quantity;
  }
  for (const PartGroupIn& p : in.parts) {
    if (p.length < 1) return "part length below 1";
    if (p.length > longest) return "part length with the kerf too long";
    if (p.quantity < 0) return "part quantity below 0";
    if (p.quantity > TARVOLIN_EXACT_MAX_GROUP_QUANTITY) return "part quantity above 32767";
    pieces += p.quantity;
    partLength += int64_t{p.length} * p.quantity;
  }
  if (bars < 1) return "no stock";
  if (pieces < 1) return "no parts";
  if (bars > TARVOLIN_EXACT_MAX_ITEMS) return "too many stock items";
  if (pieces > TARVOLIN_EXACT_MAX_ITEMS) return "too many part items";
  if (stockLength > TARVOLIN_EXACT_MAX_SUM || partLength > TARVOLIN_EXACT_MAX_SUM ||
      stockCost > TARVOLIN_EXACT_MAX_SUM) {
    return "length or cost sum exceeds limit";
  }
  if (r.maxPieces < 0 || r.maxPieces > TARVOLIN_EXACT_MAX_ITEMS || r.diffPieces < 0 ||
      r.diffPieces > TARVOLIN_EXACT_MAX_ITEMS || r.diffStocks < 0 ||
      r.diffStocks > TARVOLIN_EXACT_MAX_STOCK_GROUPS || r.prefShort < -5 || r.prefShort > 5 ||
      r.reduceLays < 0 || r.reduceLays > 6 || r.bundle < 0) {
    return "setting out of range";
  }
  if (in.timeLimitMs < 0) return "time limit below 0";
  return {};
}

// Above the layout search's tables: more groups or items than it takes.
bool AboveSearchLimits(const ExactInput& in) {
  int64_t bars = 0, pieces = 0;
  for (const StockGroupIn& s : in.stock) bars += s.quantity;
  for (const PartGroupIn& p : in.parts) pieces += p.quantity;
  return in.stock.size() > TARVOLIN_MAX_STOCK_GROUPS ||
         in.parts.size() > TARVOLIN_MAX_PART_GROUPS || bars > TARVOLIN_MAX_ITEMS ||
         pieces > TARVOLIN_MAX_ITEMS;
}

int32_t Gcd(int32_t a, int32_t b) {
  return std::gcd(a, b);
}

}  // namespace

int64_t Model::LastCapacity(int j) const {
  const StockType& s = stock[j];
  return std::min<int64_t>(s.capacity, int64_t{s.length} - minRemainder);
}

std::string BuildModel(const ExactInput& in, Model& m) {
  m = Model{};
  if (std::string error = CheckInput(in); !error.empty()) return error;
  const Rules& r = in.rules;

  int32_t unit = Gcd(Gcd(r.kerf, r.endZone), r.gripLength);
  for (const StockGroupIn& s : in.stock) unit = Gcd(unit, s.length);
  for (const PartGroupIn& p : in.parts) unit = Gcd(unit, p.length);
  m.unit = unit;
  const int32_t kerf = r.kerf / unit;
  const int32_t endZone = r.endZone / unit;
  m.grip = r.gripLength > 0 ? r.gripLength / unit + kerf : 0;
  m.minRemainder = (r.minReusable + unit - 1) / unit;

  m.large = AboveSearchLimits(in);
  int32_t pieces = 0;
  std::map<std::pair<int32_t, int32_t>, size_t> partOf;  // length and mark: type
  for (int g = 0; g < static_cast<int>(in.parts.size()); ++g) {
    const PartGroupIn& p = in.parts[g];
    if (p.quantity == 0) continue;
    pieces += p.quantity;
    const int32_t length = p.length / unit;
    const int32_t mark = r.piecesByMark ? p.mark : 0;
    const auto [at, added] = partOf.try_emplace({length, mark}, m.parts.size());
    if (added) m.parts.push_back(PartType{length + kerf, length, 0, {}, mark});
    PartType& same = m.parts[at->second];
    same.demand += p.quantity;
    same.inputs.push_back(g);
  }
  // Longest first: the pricing and the greedy plan like that order.
  std::stable_sort(m.parts.begin(), m.parts.end(),
                   [](const PartType& a, const PartType& b) { return a.length > b.length; });

  std::map<std::pair<int32_t, int32_t>, size_t> stockOf;  // length and cost: type
  for (int g = 0; g < static_cast<int>(in.stock.size()); ++g) {
    const StockGroupIn& s = in.stock[g];
    if (s.quantity == 0) continue;
    const int32_t length = s.length / unit;
    const auto [at, added] = stockOf.try_emplace({length, s.cost}, m.stock.size());
    if (added) m.stock.push_back(StockType{length + kerf - endZone, length, s.cost, 0, {}});
    StockType& same = m.stock[at->second];
    same.quantity += s.quantity;
    same.inputs.push_back(g);
  }
  // A bar too short for anything can never be used.
  std::erase_if(m.stock, [](const StockType& s) { return s.capacity < 1; });
  std::stable_sort(m.stock.begin(), m.stock.end(), [](const StockType& a, const StockType& b) {
    return a.length != b.length ? a.length > b.length : a.cost > b.cost;
  });
  for (StockType& s : m.stock) s.quantity = std::min(s.quantity, pieces);

  m.maxPieces = r.maxPieces >= pieces ? 0 : r.maxPieces;
  m.diffPieces = r.diffPieces >= static_cast<int>(m.parts.size()) ? 0 : r.diffPieces;
  m.diffStocks = r.diffStocks >= static_cast<int>(m.stock.size()) ? 0 : r.diffStocks;
  m.ignoreLast = r.ignoreLast;
  m.prefShort = r.prefShort;
  m.reduceLays = r.reduceLays;
  m.costObjective = false;
  m.everyPlanFree = false;
  if (r.costMode) {
    for (const StockType& s : m.stock) m.costObjective = m.costObjective || s.cost > 0;
    for (const StockGroupIn& s : in.stock) {
      m.everyPlanFree = m.everyPlanFree || (!m.costObjective && s.cost > 0 && s.quantity > 0);
    }
  }
  m.preferFree = false;
  if (m.costObjective && r.preferFree) {
    for (const StockType& s : m.stock) m.preferFree = m.preferFree || s.cost == 0;
  }

  // Pieces that fit no bar on their own stay uncut in every plan.
  for (PartType& t : m.parts) {
    bool fits = false;
    for (const StockType& s : m.stock) {
      fits = fits || solver::LayoutFits(s.capacity, t.work, t.work, m.grip);
    }
    if (!fits) {
      m.unfitPieces += t.demand;
      m.unfitLength += int64_t{t.length} * t.demand;
      t.demand = 0;
    }
    m.cutLength += int64_t{t.length} * t.demand;
  }
  return {};
}

Load LoadOf(const Model& m, const Counts& c) {
  Load load;
  for (int i = 0; i < static_cast<int>(m.parts.size()); ++i) {
    if (c[i] == 0) continue;
    load.work += int64_t{m.parts[i].work} * c[i];
    load.longest = std::max(load.longest, m.parts[i].work);
    load.pieces += c[i];
    load.types += 1;
  }
  return load;
}

bool FitsLoad(const Model& m, int64_t capacity, const Load& load) {
  if (m.maxPieces >= 1 && load.pieces > m.maxPieces) return false;
  if (m.diffPieces >= 1 && load.types > m.diffPieces) return false;
  return solver::LayoutFits(capacity, load.work, load.longest, m.grip);
}

Load AddPieces(const Model& m, const Load& load, int i, int32_t had, int32_t n) {
  Load out = load;
  if (n <= 0) return out;
  out.work += int64_t{m.parts[i].work} * n;
  out.longest = std::max(out.longest, m.parts[i].work);
  out.pieces += n;
  out.types += had == 0 ? 1 : 0;
  return out;
}

int32_t MostThatFit(const Model& m, int64_t capacity, const Load& load, int i, int32_t had,
                    int32_t limit) {
  const int64_t work = m.parts[i].work;
  int64_t most = std::min<int64_t>(limit, (capacity - load.work) / work);
  if (m.maxPieces >= 1) most = std::min<int64_t>(most, m.maxPieces - load.pieces);
  if (most < 1 || !FitsLoad(m, capacity, AddPieces(m, load, i, had, 1))) return 0;
  if (FitsLoad(m, capacity, AddPieces(m, load, i, had, static_cast<int32_t>(most)))) {
    return static_cast<int32_t>(most);
  }
  // Only the gripping rule can refuse more pieces once one fits: the most
  // that fit lie between 1 and `most`.
  int64_t lo = 1, hi = most;
  while (hi - lo > 1) {
    const int64_t mid = lo + (hi - lo) / 2;
    (FitsLoad(m, capacity, AddPieces(m, load, i, had, static_cast<int32_t>(mid))) ? lo : hi) = mid;
  }
  return static_cast<int32_t>(lo);
}

bool FitsBar(const Model& m, int j, const Counts& c) {
  return FitsLoad(m, m.stock[j].capacity, LoadOf(m, c));
}

bool FitsLastBar(const Model& m, int j, const Counts& c) {
  // The gripping rule is that of the whole bar; the remainder limit only
  // lowers how much the bar may carry.
  if (LoadOf(m, c).work > m.LastCapacity(j)) return false;
  return FitsBar(m, j, c);
}

}  // namespace solver::exact
