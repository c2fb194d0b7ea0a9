// How closely the exact method keeps its time limit and how soon it ends
// after a stop request, on materials that it cannot prove within the limit.
//
//   exact_time_bench            each case once
//   EXACT_TIME_REPEAT=N         each case N times (figures: worst and median)
//
// The struct call gives the exact method the first half of the limit and
// runs the search (at effort 0: none) in the rest; "alone" runs the exact
// method by itself with the whole limit.
//
// Cases: 20 order lines of 1500..3100 (5 each), 10 stock lengths
// 6001..12999 (10 each), kerf 3.2, end zone 17, effort 0, under a rule that
// makes the method slow (at most 2 or 3 pieces a layout, at most 2
// different pieces a layout), through the struct call with the exact method
// and a limit of 1 s and 10 s; then the same call stopped by
// TarvolinRequestAbort from another thread after 300 ms. Overrun = wall
// time of the call minus the limit; stop delay = wall time from the request
// to the end of the call.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "exact.h"
#include "tarvolin/solver.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
  const char* name;
  int32_t maxPieces;
  int32_t diffPieces;
};

std::unique_ptr<TarvolinProblem> Material() {
  auto p = std::make_unique<TarvolinProblem>();
  p->partGroupCount = 20;
  for (int i = 0; i < 20; ++i) {
    p->partGroups[i + 1] = {(1500 + (i * 1600 + 9) / 19) * 100, 0, 5};
  }
  p->stockGroupCount = 10;
  for (int j = 0; j < 10; ++j) {
    p->stockGroups[j + 1] = {(6001 + (j * 6998 + 4) / 9) * 100, 0, 10};
  }
  return p;
}

TarvolinSettings Settings(const Case& c, int32_t seconds) {
  TarvolinSettings s{};
  s.effortLevel = 0;
  s.kerf = 320;
  s.endZone = 1700;
  s.iterationMultiplier = 1;
  s.maxPiecesPerLayout = c.maxPieces;
  s.maxDifferentPieces = c.diffPieces;
  s.method = 1;
  s.exactTimeLimitSeconds = seconds;
  return s;
}

// Wall milliseconds of one call; with abortAfterMs > 0 another thread asks
// the call to stop then, and the delay from the request is returned.
double RunOnce(const Case& c, int32_t seconds, int abortAfterMs, int32_t& proven) {
  std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)> context(TarvolinCreateContext(),
                                                                       TarvolinDestroyContext);
  const auto problem = Material();
  const TarvolinSettings settings = Settings(c, seconds);
  auto plan = std::make_unique<TarvolinPlan>();
  Clock::time_point requested{};
  std::thread stopper;
  const Clock::time_point start = Clock::now();
  if (abortAfterMs > 0) {
    stopper = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(abortAfterMs));
      requested = Clock::now();
      TarvolinRequestAbort(context.get());
    });
  }
  const int32_t error = TarvolinSolve(context.get(), &settings, problem.get(), nullptr, plan.get());
  const Clock::time_point end = Clock::now();
  if (stopper.joinable()) stopper.join();
  if (error != 0) {
    std::fprintf(stderr, "%s: solver error %d\n", c.name, error);
    std::exit(1);
  }
  proven = plan->proven;
  const Clock::time_point from = abortAfterMs > 0 ? requested : start;
  return std::chrono::duration<double, std::milli>(end - from).count();
}

// Wall milliseconds of SolveExact alone (no search before it) with the
// given limit.
double RunExactAlone(const Case& c, int32_t limitMs, int32_t& proven) {
  const auto problem = Material();
  solver::exact::ExactInput in;
  for (int g = 1; g <= problem->stockGroupCount; ++g) {
    const TarvolinStockGroup& s = problem->stockGroups[g];
    in.stock.push_back({s.length, s.cost, s.quantity});
  }
  for (int g = 1; g <= problem->partGroupCount; ++g) {
    const TarvolinPartGroup& p = problem->partGroups[g];
    in.parts.push_back({p.length, p.quantity, p.markId});
  }
  in.rules.kerf = 320;
  in.rules.endZone = 1700;
  in.rules.maxPieces = c.maxPieces;
  in.rules.diffPieces = c.diffPieces;
  in.timeLimitMs = limitMs;
  const Clock::time_point start = Clock::now();
  const solver::exact::ExactResult r = solver::exact::SolveExact(in);
  proven = r.proven ? 1 : 0;
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
  const char* repeatText = std::getenv("EXACT_TIME_REPEAT");
  const int repeat = repeatText != nullptr ? std::max(1, std::atoi(repeatText)) : 1;
  const Case cases[] = {{"MaxPieces 2", 2, 0}, {"MaxPieces 3", 3, 0}, {"DiffPieces 2", 0, 2}};
  std::printf("%-14s %-10s %10s %10s %8s\n", "rule", "run", "worst ms", "median ms", "proven");
  for (const Case& c : cases) {
    const struct {
      const char* name;
      int32_t seconds;
      int abortAfterMs;
      double limitMs;
    } runs[] = {
        {"limit 1 s", 1, 0, 1000}, {"limit 10 s", 10, 0, 10000}, {"stop 0.3 s", 10, 300, 0}};
    for (const auto& run : runs) {
      std::vector<double> over;
      int proven = 0;
      for (int k = 0; k < repeat; ++k) {
        int32_t p = 0;
        over.push_back(RunOnce(c, run.seconds, run.abortAfterMs, p) - run.limitMs);
        proven += p;
      }
      std::sort(over.begin(), over.end());
      std::printf("%-14s %-10s %10.1f %10.1f %5d/%d\n", c.name, run.name, over.back(),
                  over[over.size() / 2], proven, repeat);
      std::fflush(stdout);
    }
    for (const int32_t limitMs : {1000, 10000}) {
      std::vector<double> over;
      int proven = 0;
      for (int k = 0; k < repeat; ++k) {
        int32_t p = 0;
        over.push_back(RunExactAlone(c, limitMs, p) - limitMs);
        proven += p;
      }
      std::sort(over.begin(), over.end());
      std::printf("%-14s alone %2d s %10.1f %10.1f %5d/%d\n", c.name, limitMs / 1000, over.back(),
                  over[over.size() / 2], proven, repeat);
      std::fflush(stdout);
    }
  }
  std::printf("(limit runs: wall time minus the limit; stop runs: time from the request)\n");
  return 0;
}
