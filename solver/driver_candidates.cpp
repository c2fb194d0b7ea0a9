// The driver's candidates: order weights of the items, and the table of
// multiplicities (bundle sizes) to try, measured and ordered by estimate.
#include <algorithm>
#include <cmath>

#include "driver.h"
#include "solver_services.h"
#include "solver_state.h"

namespace solver {

int32_t OrderWeight(int r, int n, int items) {
  if (n <= 0 || items <= 0) return 0;
  // A curved, strictly rising shape keeps sums of weights of different
  // ranks from coinciding easily; shape / 3 stays below 1, so the weights
  // of all items of a call add up to less than the sum limit.
  const double a = static_cast<double>(r) / n;
  const double shape = std::sin(a) + a + a * a;
  return static_cast<int32_t>(RoundEven(shape / 3 * kMaxSum / items));
}

void ComputeOrderWeights(SolverState& st) {
  ProblemTables& problem = st.problem;
  const int n = problem.partGroupCount;
  for (int g = 1; g <= n; ++g) problem.partGroupWeight[g] = OrderWeight(g, n, problem.partCount);

  int32_t marks[kItemSlots] = {};
  int32_t rank[kItemSlots] = {};
  int distinct = 0;
  for (int i = 1; i <= problem.partCount; ++i) {
    if (problem.partMark[i] <= 0) continue;
    int r = 0;
    for (int j = 1; j <= distinct; ++j) {
      if (marks[j] == problem.partMark[i]) r = j;
    }
    if (r == 0) {
      r = ++distinct;
      marks[r] = problem.partMark[i];
    }
    rank[i] = r;
  }
  if (distinct == 0) return;
  for (int i = 1; i <= problem.partCount; ++i) {
    const int32_t markWeight = OrderWeight(rank[i], distinct, problem.partCount);
    problem.partMark[i] = static_cast<int32_t>(
        RoundEven(0.5 * markWeight + 0.5 * problem.partGroupWeight[problem.partGroup[i]]));
  }
}

void MeasureCandidate(const SolverState& st, int32_t m, Candidate& c) {
  const ProblemTables& problem = st.problem;
  c.multiplicity = m;
  c.bundles = 0;
  c.remainderPieces = 0;
  c.bundleLength = 0;
  c.remainderLength = 0;
  for (int g = 1; g <= problem.partGroupCount; ++g) {
    const int32_t q = problem.partGroupQty[g];
    c.bundles += q / m;
    c.remainderPieces += q % m;
    c.bundleLength += int64_t{q / m} * problem.partGroupLength[g];
    c.remainderLength += int64_t{q % m} * problem.partGroupLength[g];
  }
}

// A guess of how good a plan with multiplicity m can be, relative to cutting
// every piece one by one (1.01). Bundles pay off while there are many of
// them: log(bundles / limit) is negative below a limit that grows with the
// pieces per bar and the number of groups, and costs 0.6 % per unit then;
// above it, more bundles gain 0.2 % per unit. A multiplicity that leaves
// no remainder halves the distance to 1.
double EstimateCandidate(const SolverState& st, const Candidate& c) {
  double estimate = 0;
  if (c.bundles == 0) return 0;
  if (c.multiplicity == 1) {
    estimate = 1.01;
  } else {
    const double x =
        static_cast<double>(st.stats.avgStockLength) / std::max(st.stats.avgPartLength, 1) / 4;
    const double y = static_cast<double>(st.problem.partGroupCount) / 10;
    const double limit = static_cast<double>(std::clamp<int64_t>(RoundEven(120 * x * y), 30, 200));
    const double f = std::clamp(y, 0.2, 5.0);
    const double g = std::log(c.bundles / limit);
    estimate = g < 0 ? 1 + 0.006 * g * f : 1 - 0.002 * g;
  }
  if (c.remainderPieces == 0) estimate = 1 - (1 - estimate) * 0.5;
  return estimate;
}

int InsertCandidate(SolverState& st, const Candidate& c) {
  DriverTables& driver = st.driver;
  int pos = driver.candidateCount + 1;
  for (int j = 1; j <= driver.candidateCount; ++j) {
    if (driver.candidates[j].estimate < c.estimate) {
      pos = j;
      break;
    }
  }
  if (pos >= kCandidateSlots) return 0;
  for (int j = std::min(driver.candidateCount, kMaxCandidates - 1); j >= pos; --j) {
    driver.candidates[j + 1] = driver.candidates[j];
  }
  driver.candidates[pos] = c;
  driver.candidateCount = std::min(driver.candidateCount + 1, kMaxCandidates);
  return pos;
}

void BuildCandidateTable(SolverState& st) {
  DriverTables& driver = st.driver;
  for (Candidate& c : driver.candidates) c = Candidate{};
  driver.candidateCount = 0;
  if (st.settings.bundle >= 1) {
    driver.mode = kModeBundleGiven;
    Candidate c;
    MeasureCandidate(st, st.settings.bundle, c);
    c.estimate = EstimateCandidate(st, c);
    driver.candidates[1] = c;
    driver.candidateCount = 1;
    return;
  }
  driver.mode = kModeSearch;
  const int32_t start =
      std::max(1, std::min({st.problem.partCount, st.stats.maxPartQty, st.stats.maxStockQty}));
  for (int32_t m = start; m >= 1; --m) {
    Candidate c;
    MeasureCandidate(st, m, c);
    if (m != 1 && 2 * c.bundleLength <= st.stats.minStockLength) continue;
    c.estimate = EstimateCandidate(st, c);
    InsertCandidate(st, c);
  }
}

}  // namespace solver
