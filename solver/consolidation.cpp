#include "consolidation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "solver_state.h"

namespace solver {

namespace {

// round(sqrt(value / P * sum limit)) of a code or mark value, negatives
// taken as 0. A second, non-linear sum over the same values makes two
// different layouts with equal plain sums unlikely to look alike.
int64_t RootTerm(int64_t value, int32_t items) {
  const double v = static_cast<double>(std::max<int64_t>(value, 0));
  return RoundEven(std::sqrt(v / std::max(items, 1) * kMaxSum));
}

// Running 64-bit sums of one signature; they wrap to 32 bits like the sums
// they stand for.
struct SignatureSums {
  int64_t codes = 0, codeRoots = 0, marks = 0, markRoots = 0;

  void Add(const LayoutPlan& plan, int32_t piece, bool withMarks) {
    const int32_t code = plan.groupCode[plan.pieceGroup[piece]];
    codes += code;
    codeRoots += RootTerm(code, plan.codeItems);
    if (withMarks && plan.pieceMark != nullptr) {
      marks += plan.pieceMark[piece];
      markRoots += RootTerm(plan.pieceMark[piece], plan.codeItems);
    }
  }

  LayoutSignature Get() const {
    const auto wrap = [](int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); };
    return LayoutSignature{wrap(codes), wrap(codeRoots), wrap(marks), wrap(markRoots)};
  }
};

bool SameBar(const LayoutPlan& plan, const LayoutSignature (&sig)[kItemSlots], int32_t a,
             int32_t b) {
  return plan.barGroup[a] == plan.barGroup[b] && sig[a] == sig[b];
}

}  // namespace

namespace {

// The pieces and bars a plan numbers, and the group tables of their
// lengths and costs.
struct PlanSource {
  int32_t pieceCount;
  const int16_t* pieceGroup;
  const int32_t* pieceMark;
  int16_t* stockOfPiece;
  int32_t barCount;
  const int16_t* barGroup;
  const int32_t* partGroupLength;
  const int32_t* stockGroupLength;
  const int32_t* stockGroupCost;
};

LayoutPlan MakeLayoutPlan(const SolverState& st, const PlanSource& source, int32_t* barLayout,
                          LayoutSignature* barSignature, int32_t lastBar, const FixedPart* fixed) {
  LayoutPlan p;
  p.pieceCount = source.pieceCount;
  p.pieceGroup = source.pieceGroup;
  p.pieceMark = source.pieceMark;
  p.stockOfPiece = source.stockOfPiece;
  p.barCount = source.barCount;
  p.barGroup = source.barGroup;
  p.barLayout = barLayout;
  p.barSignature = barSignature;
  p.partGroupLength = source.partGroupLength;
  p.stockGroupLength = source.stockGroupLength;
  p.stockGroupCost = source.stockGroupCost;
  p.groupCode = st.problem.partGroupWeight;
  p.codeItems = st.problem.partCount;
  p.kerf = st.settings.kerf;
  p.lastBar = lastBar;
  p.fixed = fixed;
  return p;
}

}  // namespace

LayoutPlan RunLayoutPlan(SolverState& st, int32_t lastBar, int32_t* barLayout,
                         LayoutSignature* barSignature) {
  RunTables& run = st.run;
  // Run pieces carry only their group: marks are not told apart.
  const PlanSource source{run.pieceCount,      run.pieceGroup,       nullptr,
                          run.stockOfPiece,    run.stockCount,       run.stockGroup,
                          run.partGroupLength, run.stockGroupLength, run.stockGroupCost};
  return MakeLayoutPlan(st, source, barLayout, barSignature, lastBar,
                        run.fixed.present ? &run.fixed : nullptr);
}

LayoutPlan RunLayoutPlan(SolverState& st, int32_t lastBar) {
  return RunLayoutPlan(st, lastBar, st.run.barLayout, st.run.barSignature);
}

LayoutPlan ProblemLayoutPlan(SolverState& st, int32_t* barLayout) {
  ProblemTables& pr = st.problem;
  const PlanSource source{
      pr.partCount,     pr.partGroup,  pr.partMark,        st.driver.resultStockOfPiece,
      pr.stockCount,    pr.stockGroup, pr.partGroupLength, pr.stockGroupLength,
      pr.stockGroupCost};
  return MakeLayoutPlan(st, source, barLayout, nullptr, st.driver.result.lastStock, nullptr);
}

LayoutSignature BarSignature(const LayoutPlan& plan, int32_t bar, bool withMarks) {
  SignatureSums sums;
  for (int32_t i = 1; i <= plan.pieceCount; ++i) {
    if (plan.stockOfPiece[i] == bar) sums.Add(plan, i, withMarks);
  }
  return sums.Get();
}

void NumberLayouts(LayoutPlan& plan, bool withCuts, bool withMarks) {
  const int32_t n = std::clamp(plan.barCount, 0, kMaxItems);
  int32_t pieces[kItemSlots] = {};
  SignatureSums sums[kItemSlots];
  for (int32_t i = 1; i <= plan.pieceCount; ++i) {
    const int32_t bar = plan.stockOfPiece[i];
    if (bar < 1 || bar > n) continue;
    ++pieces[bar];
    sums[bar].Add(plan, i, withMarks);
  }

  LayoutSignature sig[kItemSlots] = {};
  for (int32_t bar = 1; bar <= n; ++bar) {
    sig[bar] = sums[bar].Get();
    plan.barLayout[bar] = 0;
    if (plan.barSignature != nullptr) plan.barSignature[bar] = sig[bar];
  }

  // Layouts of the fixed part keep their numbers.
  const FixedPart* fx = plan.fixed;
  const int32_t fixedCount = fx != nullptr ? fx->layoutCount : 0;
  for (int32_t c = 1; c <= fixedCount; ++c) {
    int32_t first = 0;
    for (int32_t f = 1; f <= fx->barCount && f < kItemSlots; ++f) {
      if (fx->barLayout[f] == c) {
        first = f;
        break;
      }
    }
    if (first == 0) continue;
    for (int32_t bar = 1; bar <= n; ++bar) {
      if (bar == plan.lastBar || pieces[bar] == 0 || plan.barLayout[bar] != 0) continue;
      if (plan.barGroup[bar] == fx->barGroup[first] && sig[bar] == fx->barSignature[first]) {
        plan.barLayout[bar] = c;
      }
    }
  }

  // New layouts in bar order; the last bar always has a number of its own.
  int32_t next = fixedCount;
  int32_t cuts = fx != nullptr ? fx->layoutCuts : 0;
  for (int32_t bar = 1; bar <= n; ++bar) {
    if (pieces[bar] == 0 || plan.barLayout[bar] != 0) continue;
    plan.barLayout[bar] = ++next;
    if (bar == plan.lastBar) continue;
    cuts += pieces[bar];
    for (int32_t other = bar + 1; other <= n; ++other) {
      if (other == plan.lastBar || pieces[other] == 0 || plan.barLayout[other] != 0) continue;
      if (SameBar(plan, sig, bar, other)) plan.barLayout[other] = next;
    }
  }

  plan.layoutCount = next;
  if (withCuts) plan.layoutCuts = cuts;
}

void GroupBarsByLayout(LayoutPlan& plan) {
  const int32_t n = std::clamp(plan.barCount, 0, kMaxItems);
  int16_t newOfOld[kItemSlots] = {};
  int16_t order[kItemSlots];  // new position -> old bar, within the current block

  int32_t start = 1;
  while (start <= n) {
    int32_t end = start;
    while (end + 1 <= n && plan.barGroup[end + 1] == plan.barGroup[start]) ++end;

    // Used bars by layout, equal layouts in their order, unused bars last.
    const int32_t count = end - start + 1;
    for (int32_t j = 0; j < count; ++j) order[j] = static_cast<int16_t>(start + j);
    const auto key = [&](int16_t bar) {
      return plan.barLayout[bar] > 0 ? plan.barLayout[bar] : INT32_MAX;
    };
    StableSort(order, count, [&](int16_t a, int16_t b) { return key(a) < key(b); });

    int32_t layouts[kItemSlots];
    LayoutSignature sigs[kItemSlots];
    for (int32_t j = 0; j < count; ++j) {
      const int32_t old = order[j];
      newOfOld[old] = static_cast<int16_t>(start + j);
      layouts[j] = plan.barLayout[old];
      if (plan.barSignature != nullptr) sigs[j] = plan.barSignature[old];
    }
    for (int32_t j = 0; j < count; ++j) {
      plan.barLayout[start + j] = layouts[j];
      if (plan.barSignature != nullptr) plan.barSignature[start + j] = sigs[j];
    }
    start = end + 1;
  }

  for (int32_t i = 1; i <= plan.pieceCount; ++i) {
    const int32_t bar = plan.stockOfPiece[i];
    if (bar >= 1 && bar <= n) plan.stockOfPiece[i] = newOfOld[bar];
  }
  if (plan.lastBar >= 1 && plan.lastBar <= n) plan.lastBar = newOfOld[plan.lastBar];
}

void TidyPieceBars(LayoutPlan& plan, bool byMark) {
  const bool marks = byMark && plan.pieceMark != nullptr;
  int32_t start = 1;
  while (start <= plan.pieceCount) {
    int32_t end = start;
    while (end + 1 <= plan.pieceCount && plan.pieceGroup[end + 1] == plan.pieceGroup[start] &&
           (!marks || plan.pieceMark[end + 1] == plan.pieceMark[start])) {
      ++end;
    }
    // Ascending bar numbers, uncut pieces (bar 0) at the end of the run.
    std::sort(plan.stockOfPiece + start, plan.stockOfPiece + end + 1, [](int16_t a, int16_t b) {
      if (a == 0 || b == 0) return a != 0 && b == 0;
      return a < b;
    });
    start = end + 1;
  }
}

void CheckLayouts(const LayoutPlan& plan, int32_t* counters) {
  const int32_t n = std::clamp(plan.barCount, 0, kMaxItems);
  int32_t highest = 0;
  for (int32_t bar = 1; bar <= n; ++bar) {
    const int32_t c = plan.barLayout[bar];
    if (c > plan.layoutCount) CountFailure(counters, Check::kLayoutAboveCount);
    highest = std::max(highest, c);
  }
  for (int32_t bar = n + 1; bar <= kMaxItems; ++bar) {
    if (plan.barLayout[bar] != 0) CountFailure(counters, Check::kLayoutBeyondBars);
  }
  if (plan.lastBar != 0) {
    const bool valid = plan.lastBar >= 1 && plan.lastBar <= n &&
                       plan.barLayout[plan.lastBar] >= 1 &&
                       plan.barLayout[plan.lastBar] <= plan.layoutCount;
    if (!valid) CountFailure(counters, Check::kLastBarWithoutLayout);
  }
  const int32_t fixedCount = plan.fixed != nullptr ? plan.fixed->layoutCount : 0;
  if (plan.layoutCount != std::max(highest, fixedCount))
    CountFailure(counters, Check::kLayoutCountMismatch);
  for (int32_t i = 1; i <= plan.pieceCount; ++i) {
    const int32_t bar = plan.stockOfPiece[i];
    if (bar > n || bar < 0) {
      CountFailure(counters, Check::kPieceBeyondBars);
    } else if (bar >= 1 && plan.barLayout[bar] == 0) {
      CountFailure(counters, Check::kPieceOnBarWithoutLayout);
    }
  }
}

void FillSummary(RunRecord& record, const LayoutPlan& plan, const SummaryDetail* detail) {
  const int32_t n = std::clamp(plan.barCount, 0, kMaxItems);
  int32_t pieces[kItemSlots] = {};
  int64_t partLength[kItemSlots] = {};
  for (int32_t i = 1; i <= plan.pieceCount; ++i) {
    const int32_t bar = plan.stockOfPiece[i];
    if (bar < 1 || bar > n) continue;
    ++pieces[bar];
    partLength[bar] += plan.partGroupLength[plan.pieceGroup[i]];
  }

  if (detail != nullptr && detail->stockGroupUsed != nullptr) {
    std::fill(detail->stockGroupUsed + 1, detail->stockGroupUsed + detail->stockGroups + 1, 0);
  }
  int64_t parts = 0, length = 0, waste = 0, cost = 0, bars = 0;
  int64_t maxRemainder = 0;
  record.lastStock = plan.lastBar;
  record.lastParts = record.lastLength = record.lastRemainder = record.lastCost = 0;
  for (int32_t bar = 1; bar <= n; ++bar) {
    if (detail != nullptr && detail->barParts != nullptr) detail->barParts[bar] = pieces[bar];
    if (detail != nullptr && detail->barWaste != nullptr) detail->barWaste[bar] = 0;
    if (pieces[bar] == 0) continue;
    const int32_t group = plan.barGroup[bar];
    const int64_t barLength = plan.stockGroupLength[group];
    const int64_t barWaste = barLength - partLength[bar];
    const int64_t net = std::max<int64_t>(0, barWaste - int64_t{plan.kerf} * pieces[bar]);
    maxRemainder = std::max(maxRemainder, net);
    if (detail != nullptr && detail->barWaste != nullptr) {
      detail->barWaste[bar] = static_cast<int32_t>(barWaste);
    }
    if (detail != nullptr && detail->stockGroupUsed != nullptr && group >= 1 &&
        group <= detail->stockGroups) {
      ++detail->stockGroupUsed[group];
    }
    if (bar == plan.lastBar) {
      record.lastParts = pieces[bar];
      record.lastLength = static_cast<int32_t>(barLength);
      record.lastRemainder = static_cast<int32_t>(barWaste);
      record.lastCost = plan.stockGroupCost[group];
      continue;
    }
    parts += pieces[bar];
    length += barLength;
    waste += barWaste;
    cost += plan.stockGroupCost[group];
    ++bars;
  }

  if (detail != nullptr && detail->partGroupUsed != nullptr) {
    std::fill(detail->partGroupUsed + 1, detail->partGroupUsed + detail->partGroups + 1, 0);
    for (int32_t i = 1; i <= plan.pieceCount; ++i) {
      const int32_t group = plan.pieceGroup[i];
      if (plan.stockOfPiece[i] != 0 && group >= 1 && group <= detail->partGroups) {
        ++detail->partGroupUsed[group];
      }
    }
  }

  record.layouts = plan.layoutCount;
  record.layoutCuts = plan.layoutCuts;
  record.parts = static_cast<int32_t>(parts);
  record.length = static_cast<int32_t>(length);
  record.waste = static_cast<int32_t>(waste);
  record.cost = static_cast<int32_t>(cost);
  record.bars = static_cast<int32_t>(bars);
  record.maxRemainder = static_cast<int32_t>(maxRemainder);
  record.utilization =
      length > 0 ? static_cast<double>(length - waste) / static_cast<double>(length) : 0.0;
}

}  // namespace solver
