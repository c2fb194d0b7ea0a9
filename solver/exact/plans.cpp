// Plans in model terms and in the caller's groups: normalization, figures,
// the order of plans, conversions and the greedy plan.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "construction.h"
#include "model.h"

namespace solver::exact {
namespace {

// Bars in plan order, equal neighbours run together: `count` bars of one
// stock type carrying the same pieces.
struct Run {
  int stock = 0;
  Counts counts;
  int32_t count = 1;
};

std::vector<Run> RunsOf(const ModelPlan& plan) {
  std::vector<Run> runs;
  for (const ModelPattern& p : plan.patterns) {
    if (p.bars > 0) runs.push_back(Run{p.stock, p.counts, p.bars});
  }
  if (plan.hasLast) runs.push_back(Run{plan.last.stock, plan.last.counts, 1});
  return runs;
}

bool Empty(const Counts& c) {
  return std::all_of(c.begin(), c.end(), [](int32_t v) { return v == 0; });
}

// Equal bars become one pattern; patterns in the canonical order: by stock
// type, then by counts, larger first.
std::vector<ModelPattern> MergeBars(const std::vector<Run>& runs) {
  const auto before = [](const std::pair<int, const Counts*>& a,
                         const std::pair<int, const Counts*>& b) {
    if (a.first != b.first) return a.first < b.first;
    return *a.second > *b.second;
  };
  std::map<std::pair<int, const Counts*>, int64_t, decltype(before)> bars(before);
  for (const Run& run : runs) bars[{run.stock, &run.counts}] += run.count;
  std::vector<ModelPattern> out;
  out.reserve(bars.size());
  for (const auto& [key, count] : bars) {
    out.push_back(ModelPattern{key.first, *key.second, static_cast<int32_t>(count)});
  }
  return out;
}

int64_t Remainder(const Model& m, int stock, const Counts& counts) {
  return m.stock[stock].length - LoadOf(m, counts).work;
}

// Value of returning a bar's remainder to stock, in objective units.
double RemainderValue(const Model& m, int stock, const Counts& counts) {
  const int64_t rest = Remainder(m, stock, counts);
  if (!m.costObjective) return static_cast<double>(rest);
  return static_cast<double>(m.stock[stock].cost) * static_cast<double>(rest) /
         m.stock[stock].length;
}

int Sign(double v) {
  return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// Drops `surplus` pieces of type i from the bars, the last bar first, each
// bar giving all it has of the type before the one in front of it.
void DropSurplus(std::vector<Run>& runs, int i, int64_t surplus) {
  for (int r = static_cast<int>(runs.size()) - 1; r >= 0 && surplus > 0; --r) {
    const int32_t has = runs[r].counts[i];
    if (has == 0) continue;
    const int64_t emptied = std::min<int64_t>(runs[r].count, surplus / has);
    surplus -= emptied * has;
    const bool partial = emptied < runs[r].count && surplus > 0;
    std::vector<Run> pieces;
    const int32_t kept = runs[r].count - static_cast<int32_t>(emptied) - (partial ? 1 : 0);
    if (kept > 0) pieces.push_back(Run{runs[r].stock, runs[r].counts, kept});
    if (partial) {
      pieces.push_back(Run{runs[r].stock, runs[r].counts, 1});
      pieces.back().counts[i] = static_cast<int32_t>(has - surplus);
      surplus = 0;
    }
    if (emptied > 0) {
      pieces.push_back(Run{runs[r].stock, runs[r].counts, static_cast<int32_t>(emptied)});
      pieces.back().counts[i] = 0;
    }
    runs.erase(runs.begin() + r);
    runs.insert(runs.begin() + r, pieces.begin(), pieces.end());
  }
}

}  // namespace

int CompareKeys(const PlanKey& a, const PlanKey& b) {
  if (a.uncut != b.uncut) return a.uncut < b.uncut ? -1 : 1;
  const double tol = 1e-9 * std::max({1.0, std::fabs(a.objective), std::fabs(b.objective)});
  if (std::fabs(a.objective - b.objective) > tol) return Sign(a.objective - b.objective);
  if (a.freeLength != b.freeLength) return a.freeLength > b.freeLength ? -1 : 1;
  if (a.length != b.length) return a.length < b.length ? -1 : 1;
  if (a.barOrder != b.barOrder) return a.barOrder < b.barOrder ? -1 : 1;
  if (a.layouts != b.layouts) return a.layouts < b.layouts ? -1 : 1;
  return 0;
}

ModelPlan NormalizePlan(const Model& m, const ModelPlan& plan) {
  std::vector<Run> runs = RunsOf(plan);
  const int types = static_cast<int>(m.parts.size());
  // Pieces cut per type, summed bar by bar (dropping pieces of one type
  // leaves the sums of the others as they are).
  std::vector<int64_t> cut(types, 0);
  for (const Run& run : runs) {
    for (int i = 0; i < types; ++i) cut[i] += int64_t{run.count} * run.counts[i];
  }
  for (int i = 0; i < types; ++i) {
    const int64_t surplus = cut[i] - m.parts[i].demand;
    if (surplus > 0) DropSurplus(runs, i, surplus);
  }
  std::erase_if(runs, [](const Run& run) { return run.count < 1 || Empty(run.counts); });

  ModelPlan out;
  int64_t bars = 0;
  for (const Run& run : runs) bars += run.count;
  int last = -1;
  if (m.ignoreLast && bars >= 2) {
    double bestValue = 0;
    for (int r = 0; r < static_cast<int>(runs.size()); ++r) {
      const int64_t rest = Remainder(m, runs[r].stock, runs[r].counts);
      if (rest <= 0 || rest < m.minRemainder) continue;
      const double value = RemainderValue(m, runs[r].stock, runs[r].counts);
      if (value > bestValue) {
        bestValue = value;
        last = r;
      }
    }
  }
  if (last >= 0) {
    out.hasLast = true;
    out.last = ModelPattern{runs[last].stock, runs[last].counts, 1};
    if (--runs[last].count == 0) runs.erase(runs.begin() + last);
  }
  out.patterns = MergeBars(runs);
  return out;
}

double ObjectiveOf(const Model& m, const ModelPlan& plan) {
  double objective = 0;
  for (const ModelPattern& p : plan.patterns) objective += p.bars * m.BarWeight(p.stock);
  if (plan.hasLast) {
    objective += m.LastWeight(plan.last.stock, LoadOf(m, plan.last.counts).work);
  }
  return objective;
}

PlanKey KeyOf(const Model& m, const ModelPlan& plan) {
  PlanKey key;
  std::vector<int64_t> cut(m.parts.size(), 0);
  int32_t bars = 0;
  for (const Run& run : RunsOf(plan)) {
    bars += run.count;
    key.length += int64_t{run.count} * m.stock[run.stock].length;
    if (m.Free(run.stock)) key.freeLength += int64_t{run.count} * m.stock[run.stock].length;
    for (size_t i = 0; i < m.parts.size(); ++i) cut[i] += int64_t{run.count} * run.counts[i];
  }
  key.uncut = m.unfitLength;
  for (size_t i = 0; i < m.parts.size(); ++i) {
    key.uncut += int64_t{m.parts[i].length} * std::max<int64_t>(0, m.parts[i].demand - cut[i]);
  }
  key.objective = ObjectiveOf(m, plan);
  key.barOrder = m.prefShort < 0 ? -bars : (m.prefShort > 0 ? bars : 0);
  if (m.reduceLays >= 1) {
    key.layouts = static_cast<int32_t>(plan.patterns.size()) + (plan.hasLast ? 1 : 0);
  }
  return key;
}

bool ValidPlan(const Model& m, const ModelPlan& plan) {
  std::vector<int64_t> bars(m.stock.size(), 0), pieces(m.parts.size(), 0);
  for (const ModelPattern& p : plan.patterns) {
    if (p.bars < 0 || !FitsBar(m, p.stock, p.counts)) return false;
    bars[p.stock] += p.bars;
    for (size_t i = 0; i < m.parts.size(); ++i) pieces[i] += int64_t{p.bars} * p.counts[i];
  }
  if (plan.hasLast) {
    if (!FitsLastBar(m, plan.last.stock, plan.last.counts)) return false;
    bars[plan.last.stock] += 1;
    for (size_t i = 0; i < m.parts.size(); ++i) pieces[i] += plan.last.counts[i];
  }
  int types = 0;
  for (size_t j = 0; j < m.stock.size(); ++j) {
    if (bars[j] > m.stock[j].quantity) return false;
    types += bars[j] > 0 ? 1 : 0;
  }
  for (size_t i = 0; i < m.parts.size(); ++i) {
    if (pieces[i] > m.parts[i].demand) return false;
  }
  return m.diffStocks < 1 || types <= m.diffStocks;
}

bool ToModelPlan(const ExactInput& in, const Model& m, const Plan& plan, ModelPlan& out) {
  out = ModelPlan{};
  std::vector<int> stockType(in.stock.size(), -1), partType(in.parts.size(), -1);
  for (int j = 0; j < static_cast<int>(m.stock.size()); ++j) {
    for (int g : m.stock[j].inputs) stockType[g] = j;
  }
  for (int i = 0; i < static_cast<int>(m.parts.size()); ++i) {
    if (m.parts[i].demand == 0) continue;
    for (int g : m.parts[i].inputs) partType[g] = i;
  }
  const auto convert = [&](const Pattern& p, ModelPattern& mp) {
    if (p.stockGroup < 0 || p.stockGroup >= static_cast<int>(in.stock.size())) return false;
    if (stockType[p.stockGroup] < 0 || p.counts.size() != in.parts.size()) return false;
    mp.stock = stockType[p.stockGroup];
    mp.bars = p.bars;
    mp.counts = m.Zero();
    for (size_t g = 0; g < in.parts.size(); ++g) {
      if (p.counts[g] == 0) continue;
      if (p.counts[g] < 0 || partType[g] < 0) return false;
      const int64_t total = int64_t{mp.counts[partType[g]]} + p.counts[g];
      if (total > m.parts[partType[g]].demand) return false;
      mp.counts[partType[g]] = static_cast<int32_t>(total);
    }
    return true;
  };
  for (const Pattern& p : plan.patterns) {
    ModelPattern mp;
    if (p.bars < 0 || !convert(p, mp)) return false;
    if (p.bars > 0) out.patterns.push_back(mp);
  }
  if (plan.hasLast) {
    out.hasLast = true;
    if (!convert(plan.last, out.last)) return false;
    out.last.bars = 1;
  }
  return true;
}

Plan FromModelPlan(const ExactInput& in, const Model& m, const ModelPlan& plan) {
  std::vector<int32_t> barsLeft(in.stock.size()), piecesLeft(in.parts.size());
  for (size_t g = 0; g < in.stock.size(); ++g) barsLeft[g] = in.stock[g].quantity;
  for (size_t g = 0; g < in.parts.size(); ++g) piecesLeft[g] = in.parts[g].quantity;

  // The first input group of a type with something left, -1 when none.
  const auto firstWith = [](const std::vector<int>& inputs, const std::vector<int32_t>& left) {
    for (int g : inputs) {
      if (left[g] > 0) return g;
    }
    return -1;
  };
  // How many bars of the pattern, up to `most`, take their stock and
  // pieces from the same input groups as the next one: those are cut alike.
  const auto alike = [&](const ModelPattern& mp, int32_t most) {
    int64_t n = most;
    const int g = firstWith(m.stock[mp.stock].inputs, barsLeft);
    n = g < 0 ? 1 : std::min<int64_t>(n, barsLeft[g]);
    for (size_t i = 0; i < m.parts.size() && n > 1; ++i) {
      if (mp.counts[i] == 0) continue;
      const int h = firstWith(m.parts[i].inputs, piecesLeft);
      if (h >= 0) n = std::min<int64_t>(n, piecesLeft[h] / mp.counts[i]);
    }
    return static_cast<int32_t>(std::max<int64_t>(1, n));
  };
  // `bars` bars of the model pattern into the caller's groups: each takes
  // its bar from the first stock group with bars left, its pieces from the
  // first part groups with pieces left.
  const auto take = [&](const ModelPattern& mp, int32_t bars) {
    Pattern p;
    const int g = firstWith(m.stock[mp.stock].inputs, barsLeft);
    p.stockGroup = g >= 0 ? g : m.stock[mp.stock].inputs.front();
    barsLeft[p.stockGroup] -= bars;
    p.counts.assign(in.parts.size(), 0);
    for (size_t i = 0; i < m.parts.size(); ++i) {
      int32_t need = mp.counts[i];
      for (int h : m.parts[i].inputs) {
        if (need == 0) break;
        const int32_t n = std::min(need, piecesLeft[h]);
        p.counts[h] += n;
        piecesLeft[h] -= n * bars;
        need -= n;
      }
    }
    p.bars = bars;
    return p;
  };

  Plan out;
  for (const ModelPattern& mp : plan.patterns) {
    for (int32_t left = mp.bars; left > 0;) {
      const int32_t bars = alike(mp, left);
      Pattern p = take(mp, bars);
      left -= bars;
      if (!out.patterns.empty() && out.patterns.back().stockGroup == p.stockGroup &&
          out.patterns.back().counts == p.counts) {
        out.patterns.back().bars += p.bars;
      } else {
        out.patterns.push_back(std::move(p));
      }
    }
  }
  if (plan.hasLast) {
    out.hasLast = true;
    out.last = take(plan.last, 1);
  }
  return out;
}

ModelPlan GreedyPlan(const Model& m) {
  std::vector<Run> bars;
  std::vector<int32_t> left(m.stock.size());
  for (size_t j = 0; j < m.stock.size(); ++j) left[j] = m.stock[j].quantity;
  std::vector<bool> used(m.stock.size(), false);
  int usedTypes = 0;
  const auto allowed = [&](int j) {
    return left[j] > 0 && (m.diffStocks < 1 || used[j] || usedTypes < m.diffStocks);
  };
  // Pieces longest first, each into the first bar it fits, else a new bar
  // of the longest type that takes it.
  for (int i = 0; i < static_cast<int>(m.parts.size()); ++i) {
    for (int32_t n = 0; n < m.parts[i].demand; ++n) {
      bool placed = false;
      for (Run& bar : bars) {
        ++bar.counts[i];
        if (FitsBar(m, bar.stock, bar.counts)) {
          placed = true;
          break;
        }
        --bar.counts[i];
      }
      if (placed) continue;
      for (int j = 0; j < static_cast<int>(m.stock.size()) && !placed; ++j) {
        Run bar{j, m.Zero(), 1};
        bar.counts[i] = 1;
        if (!allowed(j) || !FitsBar(m, j, bar.counts)) continue;
        --left[j];
        if (!used[j]) ++usedTypes;
        used[j] = true;
        bars.push_back(bar);
        placed = true;
      }
    }
  }
  // Each bar onto the type of least weight that still takes its pieces.
  for (Run& bar : bars) {
    for (int j = 0; j < static_cast<int>(m.stock.size()); ++j) {
      if (j == bar.stock || !used[j] || left[j] < 1 || m.BarWeight(j) >= m.BarWeight(bar.stock) ||
          !FitsBar(m, j, bar.counts)) {
        continue;
      }
      ++left[bar.stock];
      --left[j];
      bar.stock = j;
    }
  }
  ModelPlan plan;
  plan.patterns = MergeBars(bars);
  return NormalizePlan(m, plan);
}

bool FillGreedy(const Model& m, const std::vector<int32_t>& demand,
                const std::vector<int32_t>& bars, std::vector<ModelPattern>& out) {
  std::vector<Run> open;
  std::vector<int32_t> left = bars;
  for (int i = 0; i < static_cast<int>(m.parts.size()); ++i) {
    for (int32_t n = 0; n < demand[i]; ++n) {
      bool placed = false;
      for (Run& bar : open) {
        ++bar.counts[i];
        if (FitsBar(m, bar.stock, bar.counts)) {
          placed = true;
          break;
        }
        --bar.counts[i];
      }
      for (int j = 0; j < static_cast<int>(m.stock.size()) && !placed; ++j) {
        Run bar{j, m.Zero(), 1};
        bar.counts[i] = 1;
        if (left[j] < 1 || !FitsBar(m, j, bar.counts)) continue;
        --left[j];
        open.push_back(bar);
        placed = true;
      }
      if (!placed) return false;
    }
  }
  for (const ModelPattern& p : MergeBars(open)) out.push_back(p);
  return true;
}

namespace {

// Stock types tried for each pattern of FillByPatterns at most.
constexpr size_t kMostTypesTried = 16;

// One bar filled on stock type j from the open pieces, longest first, as
// many of each as fit; its pieces and load.
struct FilledBar {
  std::vector<std::pair<int, int32_t>> pieces;  // part type, count
  Load load;
  int64_t cut = 0;  // real length of the pieces
};

FilledBar FillOneBar(const Model& m, int j, const std::vector<int32_t>& open,
                     const std::vector<int>& openTypes) {
  FilledBar bar;
  const int64_t capacity = m.stock[j].capacity;
  const int32_t shortest = m.parts[openTypes.back()].work;
  for (int i : openTypes) {
    if (capacity - bar.load.work < shortest) break;  // not even the shortest fits
    if (bar.load.work + m.parts[i].work > capacity) continue;
    if (m.maxPieces >= 1 && bar.load.pieces >= m.maxPieces) break;
    const int32_t n = MostThatFit(m, capacity, bar.load, i, 0, open[i]);
    if (n < 1) continue;
    bar.load = AddPieces(m, bar.load, i, 0, n);
    bar.pieces.emplace_back(i, n);
    bar.cut += int64_t{m.parts[i].length} * n;
  }
  return bar;
}

}  // namespace

bool FillByPatterns(const Model& m, const std::vector<int32_t>& demand,
                    const std::vector<int32_t>& bars, std::vector<ModelPattern>& out) {
  std::vector<int32_t> open = demand, left = bars;
  std::vector<int> openTypes;  // longest first, as the model orders them
  for (int i = 0; i < static_cast<int>(m.parts.size()); ++i) {
    if (open[i] > 0) openTypes.push_back(i);
  }
  std::vector<bool> used(m.stock.size(), false);
  int usedTypes = 0;
  int last = -1;  // the stock type of the pattern before
  while (!openTypes.empty()) {
    // The stock types to try: all of them, or with very many an even
    // spread over their lengths and the type chosen last.
    std::vector<int> tried;
    for (int j = 0; j < static_cast<int>(m.stock.size()); ++j) {
      if (left[j] < 1 || (m.diffStocks >= 1 && !used[j] && usedTypes >= m.diffStocks)) continue;
      tried.push_back(j);
    }
    if (tried.size() > kMostTypesTried) {
      std::vector<int> spread;
      for (size_t k = 0; k < kMostTypesTried; ++k) {
        spread.push_back(tried[k * (tried.size() - 1) / (kMostTypesTried - 1)]);
      }
      if (last >= 0 && left[last] > 0 &&
          std::find(spread.begin(), spread.end(), last) == spread.end()) {
        spread.push_back(last);
      }
      tried = std::move(spread);
    }
    int best = -1;
    FilledBar chosen;
    double bestRate = 0;
    for (const int j : tried) {
      FilledBar bar = FillOneBar(m, j, open, openTypes);
      if (bar.cut < 1) continue;
      // Stock weight per length cut: the bar that wastes least.
      const double rate = m.BarWeight(j) / static_cast<double>(bar.cut);
      if (best < 0 || rate < bestRate) {
        best = j;
        bestRate = rate;
        chosen = std::move(bar);
      }
    }
    if (best < 0) return false;
    int64_t copies = left[best];
    for (const auto& [i, n] : chosen.pieces) copies = std::min<int64_t>(copies, open[i] / n);
    ModelPattern p{best, m.Zero(), static_cast<int32_t>(std::max<int64_t>(1, copies))};
    for (const auto& [i, n] : chosen.pieces) {
      p.counts[i] = n;
      open[i] -= n * p.bars;
    }
    left[best] -= p.bars;
    last = best;
    if (!used[best]) ++usedTypes;
    used[best] = true;
    out.push_back(std::move(p));
    std::erase_if(openTypes, [&](int i) { return open[i] < 1; });
  }
  return true;
}

ModelPlan PatternGreedyPlan(const Model& m) {
  std::vector<int32_t> demand, bars;
  for (const PartType& t : m.parts) demand.push_back(t.demand);
  for (const StockType& s : m.stock) bars.push_back(s.quantity);
  ModelPlan plan;
  FillByPatterns(m, demand, bars, plan.patterns);
  return NormalizePlan(m, plan);
}

// ---- Plans in the caller's groups ----

namespace {

// `count` bars of one stock group cut alike.
struct InputBars {
  int stock = 0;
  const std::vector<int32_t>* counts = nullptr;
  int64_t count = 0;
};

struct BarFigures {
  int64_t work = 0;  // pieces and their kerfs
  int64_t length = 0;
  int64_t longest = 0;
  int32_t pieces = 0;
  int32_t types = 0;
};

BarFigures FiguresOf(const ExactInput& in, const std::vector<int32_t>& counts) {
  BarFigures f;
  std::vector<std::pair<int32_t, int32_t>> kinds;  // length, and mark when it counts
  for (size_t g = 0; g < in.parts.size(); ++g) {
    if (counts[g] == 0) continue;
    const int64_t work = int64_t{in.parts[g].length} + in.rules.kerf;
    f.work += work * counts[g];
    f.length += int64_t{in.parts[g].length} * counts[g];
    f.longest = std::max(f.longest, work);
    f.pieces += counts[g];
    const std::pair<int32_t, int32_t> kind{in.parts[g].length,
                                           in.rules.piecesByMark ? in.parts[g].mark : 0};
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
  }
  f.types = static_cast<int32_t>(kinds.size());
  return f;
}

std::vector<InputBars> BarsOf(const Plan& plan) {
  std::vector<InputBars> bars;
  for (const Pattern& p : plan.patterns) {
    if (p.bars > 0) bars.push_back(InputBars{p.stockGroup, &p.counts, p.bars});
  }
  if (plan.hasLast) bars.push_back(InputBars{plan.last.stockGroup, &plan.last.counts, 1});
  return bars;
}

}  // namespace

std::string CheckPlan(const ExactInput& in, const Plan& plan) {
  const Rules& r = in.rules;
  const auto checkPattern = [&](const Pattern& p) -> std::string {
    if (p.stockGroup < 0 || p.stockGroup >= static_cast<int>(in.stock.size())) {
      return "stock group out of range";
    }
    if (p.counts.size() != in.parts.size()) return "counts do not match the part groups";
    if (p.bars < 0) return "negative bar count";
    for (int32_t c : p.counts) {
      if (c < 0) return "negative piece count";
    }
    const BarFigures f = FiguresOf(in, p.counts);
    if (f.pieces == 0) return "a bar without pieces";
    const int64_t capacity = int64_t{in.stock[p.stockGroup].length} + r.kerf - r.endZone;
    const int64_t grip = r.gripLength > 0 ? int64_t{r.gripLength} + r.kerf : 0;
    if (!solver::LayoutFits(capacity, f.work, f.longest, grip)) return "pieces do not fit";
    if (r.maxPieces >= 1 && f.pieces > r.maxPieces) return "too many pieces on a bar";
    if (r.diffPieces >= 1 && f.types > r.diffPieces) return "too many different pieces";
    return {};
  };
  for (const Pattern& p : plan.patterns) {
    if (std::string e = checkPattern(p); !e.empty()) return e;
  }
  if (plan.hasLast) {
    if (std::string e = checkPattern(plan.last); !e.empty()) return e;
    if (plan.last.bars != 1) return "the last bar is not one bar";
    if (!r.ignoreLast) return "a last bar without ignoreLast";
    const int64_t rest =
        in.stock[plan.last.stockGroup].length - FiguresOf(in, plan.last.counts).work;
    if (rest < r.minReusable || rest <= 0) return "the last bar's remainder is too short";
  }
  std::vector<int64_t> bars(in.stock.size(), 0), pieces(in.parts.size(), 0);
  std::set<std::pair<int32_t, int32_t>> kinds;
  int64_t total = 0;
  for (const InputBars& run : BarsOf(plan)) {
    bars[run.stock] += run.count;
    total += run.count;
    kinds.insert({in.stock[run.stock].length, in.stock[run.stock].cost});
    for (size_t g = 0; g < in.parts.size(); ++g) pieces[g] += run.count * (*run.counts)[g];
  }
  for (size_t g = 0; g < in.stock.size(); ++g) {
    if (bars[g] > in.stock[g].quantity) return "more bars than in stock";
  }
  for (size_t g = 0; g < in.parts.size(); ++g) {
    if (pieces[g] > in.parts[g].quantity) return "more pieces than ordered";
  }
  if (r.diffStocks >= 1 && static_cast<int>(kinds.size()) > r.diffStocks) {
    return "too many different stock groups";
  }
  if (plan.hasLast && total < 2) return "a last bar alone";
  return {};
}

PlanFigures MeasurePlan(const ExactInput& in, const Plan& plan) {
  PlanFigures f;
  std::vector<int64_t> cut(in.parts.size(), 0);
  for (const InputBars& run : BarsOf(plan)) {
    f.bars += static_cast<int32_t>(run.count);
    f.stockLength += run.count * in.stock[run.stock].length;
    f.stockCost += run.count * in.stock[run.stock].cost;
    for (size_t g = 0; g < in.parts.size(); ++g) cut[g] += run.count * (*run.counts)[g];
  }
  for (size_t g = 0; g < in.parts.size(); ++g) {
    f.piecesCut += static_cast<int32_t>(cut[g]);
    f.lengthCut += cut[g] * in.parts[g].length;
    f.piecesUncut += static_cast<int32_t>(in.parts[g].quantity - cut[g]);
    f.lengthUncut += (in.parts[g].quantity - cut[g]) * in.parts[g].length;
  }
  bool costObjective = false;
  if (in.rules.costMode) {
    for (const StockGroupIn& s : in.stock)
      costObjective = costObjective || (s.cost > 0 && s.quantity > 0);
  }
  f.objective =
      costObjective ? static_cast<double>(f.stockCost) : static_cast<double>(f.stockLength);
  if (plan.hasLast) {
    const StockGroupIn& s = in.stock[plan.last.stockGroup];
    f.lastLength = s.length;
    f.lastRemainder = s.length - FiguresOf(in, plan.last.counts).work;
    f.lastValue = costObjective ? static_cast<double>(s.cost) * f.lastRemainder / s.length
                                : static_cast<double>(f.lastRemainder);
    f.objective -= f.lastValue;
  }
  // Layouts as the search tells them apart: by stock length and cost and by
  // the lengths of the pieces, not by their groups.
  using LayoutKey = std::pair<std::pair<int32_t, int32_t>, std::map<int32_t, int32_t>>;
  std::set<LayoutKey> distinct;
  for (const Pattern& p : plan.patterns) {
    if (p.bars < 1) continue;
    LayoutKey key{{in.stock[p.stockGroup].length, in.stock[p.stockGroup].cost}, {}};
    for (size_t g = 0; g < in.parts.size(); ++g) {
      if (p.counts[g] > 0) key.second[in.parts[g].length] += p.counts[g];
    }
    distinct.insert(std::move(key));
  }
  f.layouts = static_cast<int32_t>(distinct.size()) + (plan.hasLast ? 1 : 0);
  return f;
}

namespace {

// Cost mode with some bar priced and some free: the free bars' length counts.
bool CountsFreeLength(const ExactInput& in) {
  if (!in.rules.preferFree || !in.rules.costMode) return false;
  bool priced = false, free = false;
  for (const StockGroupIn& s : in.stock) {
    priced = priced || s.cost > 0;
    free = free || s.cost == 0;
  }
  return priced && free;
}

int64_t FreeLengthOf(const ExactInput& in, const Plan& plan) {
  int64_t length = 0;
  const auto add = [&](const Pattern& p, int64_t bars) {
    const StockGroupIn& s = in.stock[p.stockGroup];
    if (s.cost == 0) length += bars * s.length;
  };
  for (const Pattern& p : plan.patterns) add(p, std::max(0, p.bars));
  if (plan.hasLast) add(plan.last, 1);
  return length;
}

// Figures 1, 2 and 2b of two plans as keys.
std::pair<PlanKey, PlanKey> CostKeys(const ExactInput& in, const Plan& a, const Plan& b,
                                     const PlanFigures& fa, const PlanFigures& fb) {
  PlanKey ka, kb;
  ka.uncut = fa.lengthUncut;
  kb.uncut = fb.lengthUncut;
  ka.objective = fa.objective;
  kb.objective = fb.objective;
  if (CountsFreeLength(in)) {
    ka.freeLength = FreeLengthOf(in, a);
    kb.freeLength = FreeLengthOf(in, b);
  }
  return {ka, kb};
}

}  // namespace

int ComparePlansByCost(const ExactInput& in, const Plan& a, const Plan& b) {
  const auto [ka, kb] = CostKeys(in, a, b, MeasurePlan(in, a), MeasurePlan(in, b));
  return CompareKeys(ka, kb);
}

int ComparePlans(const ExactInput& in, const Plan& a, const Plan& b) {
  const PlanFigures fa = MeasurePlan(in, a), fb = MeasurePlan(in, b);
  auto [ka, kb] = CostKeys(in, a, b, fa, fb);
  ka.length = fa.stockLength;
  kb.length = fb.stockLength;
  const int32_t pref = in.rules.prefShort;
  ka.barOrder = pref < 0 ? -fa.bars : (pref > 0 ? fa.bars : 0);
  kb.barOrder = pref < 0 ? -fb.bars : (pref > 0 ? fb.bars : 0);
  if (in.rules.reduceLays >= 1) {
    ka.layouts = fa.layouts;
    kb.layouts = fb.layouts;
  }
  return CompareKeys(ka, kb);
}

}  // namespace solver::exact
