// The exact method on large materials, by benchmark family: the share
// proven optimal, the time per material (median, p90, max) and the peak
// memory of the process that planned it.
//
//   exact_large_bench              a short run: few materials, 2 s limit
//   EXACT_LARGE_FULL=1             every family in full, 10 s limit
//   EXACT_LARGE_FAMILY=NAME        only the families whose name starts so
//   EXACT_LARGE_NAME=NAME          only the materials whose name starts so
//   EXACT_LARGE_MILLION=1          also the material of 1,000,000 pieces
//   EXACT_LARGE_VERBOSE=1          one line per material
//   EXACT_LARGE_TRACE=1            the phases of each material
//   EXACT_LARGE_LIMIT_MS=N         another limit per material
//
// Families (fixed seeds), modelled on the literature's classes:
//   uniform    capacity 150, sizes 20..100, 120 to 1,000 pieces
//   triplets   capacity 1,000, three pieces fill a bar exactly, 60 to 501
//              pieces (optimum: pieces / 3)
//   scholl1    capacity 100..150, sizes 1..100, 20..100 or 30..100, 50 to 500
//   scholl2    capacity 1,000, sizes a fifth to a half of it, 50 to 500
//   scholl3    capacity 100,000, sizes 20,000 to 35,000, 50 to 200
//   shop       300 to 3,000 pieces of 50 to 200 lengths, 3 to 8 stock
//              lengths with limited quantities, kerf 3, end zone 10 (whole
//              mm, in hundredths)
// Each material is planned in a child process (its peak memory is the
// child's); every plan is checked, and a proven plan must meet its bound.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "exact.h"

namespace {

using solver::exact::ExactInput;
using solver::exact::ExactResult;

struct Material {
  std::string family;
  std::string name;
  ExactInput input;
  int64_t pieces = 0;
};

// What a child reports back.
struct Outcome {
  int ok = 0;  // 1: plan valid (and a proven plan meets its bound)
  int proven = 0;
  double ms = 0;
  double objective = 0;
  double bound = 0;
  double barLength = 0;  // for the gap in bars
  // When the best plan was first known to be within one bar of the bound
  // (the bound then known); the whole time when only at the end.
  double withinBarMs = 0;
  char message[96] = {};
  int32_t columns = 0;
  int32_t lpRounds = 0;
  int64_t pricingNodes = 0;
};

bool Flag(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && std::strcmp(v, "0") != 0 && *v != '\0';
}

// Pieces as part groups: equal lengths counted together.
void AddPieces(ExactInput& in, const std::vector<int32_t>& lengths) {
  std::map<int32_t, int32_t, std::greater<>> count;
  for (int32_t l : lengths) ++count[l];
  for (const auto& [length, q] : count) {
    in.parts.push_back({length, q, static_cast<int32_t>(in.parts.size()) + 1});
  }
}

Material Bins(const std::string& family, const std::string& name, int32_t capacity,
              const std::vector<int32_t>& sizes) {
  Material m;
  m.family = family;
  m.name = name;
  m.pieces = static_cast<int64_t>(sizes.size());
  AddPieces(m.input, sizes);
  m.input.stock.push_back({capacity, 0, static_cast<int32_t>(sizes.size())});
  return m;
}

std::vector<Material> Families(bool full, bool million, uint32_t seed) {
  std::vector<Material> out;
  std::mt19937 rng(seed);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int per = full ? 5 : 2;
  const auto sizes = [&](int n, int lo, int hi) {
    std::vector<int32_t> s;
    for (int k = 0; k < n; ++k) s.push_back(pick(lo, hi));
    return s;
  };
  for (int n : full ? std::vector<int>{120, 250, 500, 1000} : std::vector<int>{120, 250}) {
    for (int k = 0; k < per; ++k) {
      out.push_back(Bins("uniform", "u" + std::to_string(n) + "_" + std::to_string(k), 150,
                         sizes(n, 20, 100)));
    }
  }
  for (int n : full ? std::vector<int>{60, 120, 249, 501} : std::vector<int>{60, 120}) {
    for (int k = 0; k < per; ++k) {
      std::vector<int32_t> s;
      for (int t = 0; t < n / 3; ++t) {
        const int a = pick(380, 490);
        const int b = pick(250, std::min(499, 1000 - a - 251));
        s.push_back(a);
        s.push_back(b);
        s.push_back(1000 - a - b);
      }
      out.push_back(Bins("triplets", "t" + std::to_string(n) + "_" + std::to_string(k), 1000, s));
    }
  }
  for (int n : full ? std::vector<int>{50, 100, 200, 500} : std::vector<int>{50, 200}) {
    for (int k = 0; k < per; ++k) {
      const int capacity = std::vector<int>{100, 120, 150}[k % 3];
      const int lo = std::vector<int>{1, 20, 30}[(k / 3) % 3];
      out.push_back(Bins("scholl1", "s1_" + std::to_string(n) + "_" + std::to_string(k), capacity,
                         sizes(n, lo, 100)));
      out.push_back(Bins("scholl2", "s2_" + std::to_string(n) + "_" + std::to_string(k), 1000,
                         sizes(n, 200, 500)));
    }
  }
  for (int n : full ? std::vector<int>{50, 100, 200} : std::vector<int>{50}) {
    for (int k = 0; k < per; ++k) {
      out.push_back(Bins("scholl3", "s3_" + std::to_string(n) + "_" + std::to_string(k), 100000,
                         sizes(n, 20000, 35000)));
    }
  }
  const int stockMm[] = {6000, 6500, 5000, 7000, 4000, 12000, 3000, 8000};
  for (int n : full ? std::vector<int>{300, 1000, 3000} : std::vector<int>{300, 1000}) {
    for (int k = 0; k < per; ++k) {
      Material m;
      m.family = "shop";
      m.name = "shop" + std::to_string(n) + "_" + std::to_string(k);
      ExactInput& in = m.input;
      in.rules.kerf = 300;
      in.rules.endZone = 1000;
      const int lengths = pick(50, 200);
      std::vector<int32_t> s;
      double work = 0;
      for (int p = 0; p < n; ++p) {
        // Lengths of 150..2,800 whole mm, in hundredths.
        const int32_t l = (150 + (pick(0, lengths - 1) * 2650) / lengths) * 100;
        s.push_back(l);
        work += l + 300;
      }
      AddPieces(in, s);
      m.pieces = n;
      const int stocks = pick(3, 8);
      for (int j = 0; j < stocks; ++j) {
        const int32_t length = stockMm[j] * 100;
        const int32_t q =
            static_cast<int32_t>(std::ceil(work * 1.3 / stocks / length)) + pick(0, 3);
        in.stock.push_back({length, 0, q});
      }
      out.push_back(m);
    }
  }
  if (million) {
    Material m;
    m.family = "million";
    m.name = "shop1000000";
    ExactInput& in = m.input;
    in.rules.kerf = 300;
    in.rules.endZone = 1000;
    for (int g = 0; g < 200; ++g) {
      in.parts.push_back({(150 + g * 13) * 100, 5000, g + 1});
    }
    m.pieces = 1000000;
    for (int j = 0; j < 5; ++j) {
      for (int copy = 0; copy < 4; ++copy) in.stock.push_back({stockMm[j] * 100, 0, 20000});
    }
    out.push_back(m);
  }
  return out;
}

Outcome Plan(const Material& m, int32_t limitMs) {
  ExactInput in = m.input;
  in.timeLimitMs = limitMs;
  const bool trace = Flag("EXACT_LARGE_TRACE");
  // Best plan and bound over time, to tell when the plan was known to be
  // within a bar of the optimum; with the trace, phase changes on
  // standard error.
  struct Seen {
    double elapsedMs, best, bound;
  };
  std::vector<Seen> bestOverTime;
  in.progressIntervalMs = 20;
  in.progress = [&bestOverTime, trace, phase = -1](const solver::exact::Progress& p) mutable {
    if (p.hasPlan && p.lowerBound > 0) {
      bestOverTime.push_back({p.elapsedMs, p.bestObjective, p.lowerBound});
    }
    if (trace && static_cast<int>(p.phase) != phase) {
      phase = static_cast<int>(p.phase);
      std::fprintf(stderr, "    %8.1f ms phase %d best %.0f bound %.0f uncut %.0f\n", p.elapsedMs,
                   phase, p.bestObjective, p.lowerBound, p.uncutLength);
    }
    return false;
  };
  const auto start = std::chrono::steady_clock::now();
  const ExactResult r = solver::exact::SolveExact(in);
  Outcome o;
  o.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const std::string check = solver::exact::CheckPlan(in, r.plan);
  const double tol = 1e-6 * std::max(1.0, r.figures.objective);
  o.ok = check.empty() && r.figures.piecesUncut == 0 &&
         (!r.proven || std::fabs(r.figures.objective - r.lowerBound) <= tol) &&
         r.lowerBound <= r.figures.objective + tol;
  o.proven = r.proven ? 1 : 0;
  o.objective = r.figures.objective;
  o.bound = r.lowerBound;
  o.barLength = in.stock.front().length;
  o.withinBarMs = o.ms;
  for (const Seen& seen : bestOverTime) {
    if (seen.best - seen.bound <= o.barLength) {
      o.withinBarMs = seen.elapsedMs;
      break;
    }
  }
  o.columns = r.stats.columns;
  o.lpRounds = r.stats.lpRounds;
  o.pricingNodes = r.stats.pricingNodes;
  std::snprintf(o.message, sizeof o.message, "%s",
                check.empty() ? r.message.c_str() : check.c_str());
  return o;
}

// Plans one material in a child process; the child's peak memory in MiB.
bool PlanInChild(const Material& m, int32_t limitMs, Outcome& o, double& peakMiB) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return false;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    close(pipeEnds[0]);
    const Outcome mine = Plan(m, limitMs);
    const bool written = write(pipeEnds[1], &mine, sizeof mine) == sizeof mine;
    _exit(written ? 0 : 1);
  }
  close(pipeEnds[1]);
  const bool read_ = read(pipeEnds[0], &o, sizeof o) == sizeof o;
  close(pipeEnds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  peakMiB = usage.ru_maxrss / 1024.0;
  return read_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  const size_t k = std::min(v.size() - 1, static_cast<size_t>(std::ceil(q * v.size())) - 1);
  return v[k];
}

}  // namespace

int main() {
  const bool full = Flag("EXACT_LARGE_FULL");
  const bool verbose = Flag("EXACT_LARGE_VERBOSE");
  const char* only = std::getenv("EXACT_LARGE_FAMILY");
  const char* name = std::getenv("EXACT_LARGE_NAME");
  const char* limitText = std::getenv("EXACT_LARGE_LIMIT_MS");
  const int32_t limitMs = limitText != nullptr ? std::atoi(limitText) : (full ? 10000 : 2000);
  // Another seed draws other materials of the same families.
  const char* seedText = std::getenv("EXACT_LARGE_SEED");
  const uint32_t seed =
      seedText != nullptr ? static_cast<uint32_t>(std::strtoul(seedText, nullptr, 10)) : 20251209u;
  const std::vector<Material> materials = Families(full, Flag("EXACT_LARGE_MILLION"), seed);

  std::printf("limit %d ms per material\n", limitMs);
  std::printf("%-9s %5s %9s %9s %9s %9s %9s %8s %9s %11s\n", "family", "count", "proven", "median",
              "p90", "max", "max MiB", "invalid", "gap bars", "in a bar");
  std::map<std::string, std::vector<size_t>> byFamily;
  std::vector<std::string> order;
  for (size_t k = 0; k < materials.size(); ++k) {
    if (only != nullptr && materials[k].family.rfind(only, 0) != 0) continue;
    if (name != nullptr && materials[k].name.rfind(name, 0) != 0) continue;
    if (byFamily.count(materials[k].family) == 0) order.push_back(materials[k].family);
    byFamily[materials[k].family].push_back(k);
  }
  int failures = 0;
  for (const std::string& family : order) {
    std::vector<double> ms;
    int proven = 0, invalid = 0;
    double peak = 0, worstGap = 0, withinBar = 0;
    for (size_t k : byFamily[family]) {
      Outcome o;
      double mib = 0;
      if (!PlanInChild(materials[k], limitMs, o, mib)) {
        std::printf("%s: the child failed\n", materials[k].name.c_str());
        ++invalid;
        continue;
      }
      ms.push_back(o.ms);
      proven += o.proven;
      invalid += o.ok ? 0 : 1;
      peak = std::max(peak, mib);
      const double gapBars = (o.objective - o.bound) / o.barLength;
      worstGap = std::max(worstGap, gapBars);
      withinBar = std::max(withinBar, o.withinBarMs);
      if (verbose) {
        std::printf(
            "  %-14s pieces %7lld %9.1f ms proven %d objective %.0f bound %.0f gap %.2f "
            "bars (within a bar at %.0f ms) %.0f MiB columns %d lp %d pricing %lld %s\n",
            materials[k].name.c_str(), static_cast<long long>(materials[k].pieces), o.ms, o.proven,
            o.objective, o.bound, gapBars, o.withinBarMs, mib, o.columns, o.lpRounds,
            static_cast<long long>(o.pricingNodes), o.message);
        std::fflush(stdout);
      }
    }
    failures += invalid;
    if (ms.empty()) continue;
    std::printf("%-9s %5zu %4d/%-4zu %7.0fms %7.0fms %7.0fms %9.0f %8d %9.2f %9.0fms\n",
                family.c_str(), ms.size(), proven, ms.size(), Quantile(ms, 0.5), Quantile(ms, 0.9),
                *std::max_element(ms.begin(), ms.end()), peak, invalid, worstGap, withinBar);
    std::fflush(stdout);
  }
  return failures == 0 ? 0 : 1;
}
