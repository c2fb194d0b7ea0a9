// Plans in model terms and in the caller's groups: normalization, figures,
// the order of plans, conversions and the greedy plan.
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "construction.h"
#include "model.h"

namespace solver::exact {
namespace {

struct Bar {
  int stock = 0;
  Counts counts{};
};

std::vector<Bar> ExpandBars(const ModelPlan& plan) {
  std::vector<Bar> bars;
  for (const ModelPattern& p : plan.patterns) {
    for (int32_t b = 0; b < p.bars; ++b) bars.push_back(Bar{p.stock, p.counts});
  }
  if (plan.hasLast) bars.push_back(Bar{plan.last.stock, plan.last.counts});
  return bars;
}

bool Empty(const Counts& c) {
  return std::all_of(c.begin(), c.end(), [](uint8_t v) { return v == 0; });
}

// Canonical order of patterns: by stock type, then by counts, larger first.
bool PatternBefore(const ModelPattern& a, const ModelPattern& b) {
  if (a.stock != b.stock) return a.stock < b.stock;
  return a.counts > b.counts;
}

std::vector<ModelPattern> MergeBars(const std::vector<Bar>& bars) {
  std::vector<ModelPattern> out;
  for (const Bar& bar : bars) {
    auto same = std::find_if(out.begin(), out.end(), [&](const ModelPattern& p) {
      return p.stock == bar.stock && p.counts == bar.counts;
    });
    if (same == out.end()) {
      out.push_back(ModelPattern{bar.stock, bar.counts, 1});
    } else {
      ++same->bars;
    }
  }
  std::sort(out.begin(), out.end(), PatternBefore);
  return out;
}

int64_t Remainder(const Model& m, const Bar& bar) {
  return m.stock[bar.stock].length - LoadOf(m, bar.counts).work;
}

// Value of returning a bar's remainder to stock, in objective units.
double RemainderValue(const Model& m, const Bar& bar) {
  const int64_t rest = Remainder(m, bar);
  if (!m.costObjective) return static_cast<double>(rest);
  return static_cast<double>(m.stock[bar.stock].cost) * static_cast<double>(rest) /
         m.stock[bar.stock].length;
}

int Sign(double v) {
  return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

}  // namespace

int CompareKeys(const PlanKey& a, const PlanKey& b) {
  if (a.uncut != b.uncut) return a.uncut < b.uncut ? -1 : 1;
  const double tol = 1e-9 * std::max({1.0, std::fabs(a.objective), std::fabs(b.objective)});
  if (std::fabs(a.objective - b.objective) > tol) return Sign(a.objective - b.objective);
  if (a.length != b.length) return a.length < b.length ? -1 : 1;
  if (a.barOrder != b.barOrder) return a.barOrder < b.barOrder ? -1 : 1;
  if (a.layouts != b.layouts) return a.layouts < b.layouts ? -1 : 1;
  return 0;
}

ModelPlan NormalizePlan(const Model& m, const ModelPlan& plan) {
  std::vector<Bar> bars = ExpandBars(plan);
  const int types = static_cast<int>(m.parts.size());
  for (int i = 0; i < types; ++i) {
    int64_t surplus = -m.parts[i].demand;
    for (const Bar& bar : bars) surplus += bar.counts[i];
    for (int b = static_cast<int>(bars.size()) - 1; b >= 0 && surplus > 0; --b) {
      const int64_t drop = std::min<int64_t>(surplus, bars[b].counts[i]);
      bars[b].counts[i] = static_cast<uint8_t>(bars[b].counts[i] - drop);
      surplus -= drop;
    }
  }
  std::erase_if(bars, [](const Bar& bar) { return Empty(bar.counts); });

  ModelPlan out;
  int last = -1;
  if (m.ignoreLast && bars.size() >= 2) {
    double bestValue = 0;
    for (int b = 0; b < static_cast<int>(bars.size()); ++b) {
      const int64_t rest = Remainder(m, bars[b]);
      if (rest <= 0 || rest < m.minRemainder) continue;
      const double value = RemainderValue(m, bars[b]);
      if (value > bestValue) {
        bestValue = value;
        last = b;
      }
    }
  }
  if (last >= 0) {
    out.hasLast = true;
    out.last = ModelPattern{bars[last].stock, bars[last].counts, 1};
    bars.erase(bars.begin() + last);
  }
  out.patterns = MergeBars(bars);
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
  for (const Bar& bar : ExpandBars(plan)) {
    ++bars;
    key.length += m.stock[bar.stock].length;
    for (size_t i = 0; i < m.parts.size(); ++i) cut[i] += bar.counts[i];
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
    for (size_t g = 0; g < in.parts.size(); ++g) {
      if (p.counts[g] == 0) continue;
      if (p.counts[g] < 0 || partType[g] < 0) return false;
      const int total = mp.counts[partType[g]] + p.counts[g];
      if (total > 255) return false;
      mp.counts[partType[g]] = static_cast<uint8_t>(total);
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

  // One bar of the model into the caller's groups.
  const auto take = [&](const ModelPattern& mp) {
    Pattern p;
    p.stockGroup = m.stock[mp.stock].inputs.front();
    for (int g : m.stock[mp.stock].inputs) {
      if (barsLeft[g] > 0) {
        p.stockGroup = g;
        break;
      }
    }
    --barsLeft[p.stockGroup];
    p.counts.assign(in.parts.size(), 0);
    for (size_t i = 0; i < m.parts.size(); ++i) {
      int32_t need = mp.counts[i];
      for (int g : m.parts[i].inputs) {
        const int32_t n = std::min(need, piecesLeft[g]);
        p.counts[g] += n;
        piecesLeft[g] -= n;
        need -= n;
      }
    }
    p.bars = 1;
    return p;
  };

  Plan out;
  for (const ModelPattern& mp : plan.patterns) {
    for (int32_t b = 0; b < mp.bars; ++b) {
      Pattern p = take(mp);
      if (!out.patterns.empty() && out.patterns.back().stockGroup == p.stockGroup &&
          out.patterns.back().counts == p.counts) {
        ++out.patterns.back().bars;
      } else {
        out.patterns.push_back(p);
      }
    }
  }
  if (plan.hasLast) {
    out.hasLast = true;
    out.last = take(plan.last);
  }
  return out;
}

ModelPlan GreedyPlan(const Model& m) {
  std::vector<Bar> bars;
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
      for (Bar& bar : bars) {
        ++bar.counts[i];
        if (FitsBar(m, bar.stock, bar.counts)) {
          placed = true;
          break;
        }
        --bar.counts[i];
      }
      if (placed) continue;
      for (int j = 0; j < static_cast<int>(m.stock.size()) && !placed; ++j) {
        Bar bar{j, {}};
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
  for (Bar& bar : bars) {
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
  std::vector<Bar> open;
  std::vector<int32_t> left = bars;
  for (int i = 0; i < static_cast<int>(m.parts.size()); ++i) {
    for (int32_t n = 0; n < demand[i]; ++n) {
      bool placed = false;
      for (Bar& bar : open) {
        ++bar.counts[i];
        if (FitsBar(m, bar.stock, bar.counts)) {
          placed = true;
          break;
        }
        --bar.counts[i];
      }
      for (int j = 0; j < static_cast<int>(m.stock.size()) && !placed; ++j) {
        Bar bar{j, {}};
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

// ---- Plans in the caller's groups ----

namespace {

struct InputBar {
  int stock = 0;
  const std::vector<int32_t>* counts = nullptr;
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

std::vector<InputBar> BarsOf(const Plan& plan) {
  std::vector<InputBar> bars;
  for (const Pattern& p : plan.patterns) {
    for (int32_t b = 0; b < p.bars; ++b) bars.push_back(InputBar{p.stockGroup, &p.counts});
  }
  if (plan.hasLast) bars.push_back(InputBar{plan.last.stockGroup, &plan.last.counts});
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
  std::map<std::pair<int32_t, int32_t>, bool> kinds;
  int64_t total = 0;
  for (const InputBar& bar : BarsOf(plan)) {
    ++bars[bar.stock];
    ++total;
    kinds[{in.stock[bar.stock].length, in.stock[bar.stock].cost}] = true;
    for (size_t g = 0; g < in.parts.size(); ++g) pieces[g] += (*bar.counts)[g];
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
  for (const InputBar& bar : BarsOf(plan)) {
    ++f.bars;
    f.stockLength += in.stock[bar.stock].length;
    f.stockCost += in.stock[bar.stock].cost;
    for (size_t g = 0; g < in.parts.size(); ++g) cut[g] += (*bar.counts)[g];
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
  std::vector<LayoutKey> distinct;
  for (const Pattern& p : plan.patterns) {
    if (p.bars < 1) continue;
    LayoutKey key{{in.stock[p.stockGroup].length, in.stock[p.stockGroup].cost}, {}};
    for (size_t g = 0; g < in.parts.size(); ++g) {
      if (p.counts[g] > 0) key.second[in.parts[g].length] += p.counts[g];
    }
    if (std::find(distinct.begin(), distinct.end(), key) == distinct.end()) distinct.push_back(key);
  }
  f.layouts = static_cast<int32_t>(distinct.size()) + (plan.hasLast ? 1 : 0);
  return f;
}

int ComparePlans(const ExactInput& in, const Plan& a, const Plan& b) {
  const PlanFigures fa = MeasurePlan(in, a), fb = MeasurePlan(in, b);
  PlanKey ka, kb;
  ka.uncut = fa.lengthUncut;
  kb.uncut = fb.lengthUncut;
  ka.objective = fa.objective;
  kb.objective = fb.objective;
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
