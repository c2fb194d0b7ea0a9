// Whole CutOptimize calls on fixed instances at effort levels 0, 5 and 10.
// Reported per instance: wall time per call, plans built per second, bars
// used, waste, utilization and criterion of the plan returned.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "call_harness.h"
#include "driver.h"

namespace {

using solver::testing::CallResult;
using solver::testing::CallSetup;

struct Instance {
  const char* name;
  CallSetup (*make)(int32_t);
};

const Instance kInstances[] = {
    {"parts100_groups20_stocks3", solver::testing::TwentyGroupsThreeStocks},
    {"parts100_one_length", solver::testing::OneLength},
    {"parts60_stockgroups10_cost", solver::testing::CostTenStockGroups},
    {"kerf_endzone_grip", solver::testing::KerfEndZoneGrip},
};

// Plans built by the same call, counted on a state record of our own (the
// search is deterministic, so the count is the call's).
int64_t PlansBuilt(const CallSetup& in) {
  auto st = std::make_unique<solver::SolverState>();
  if (solver::testing::PrepareState(in, *st) != 0) return 0;
  solver::RunOptimizationDriver(*st);
  return st->driver.constructionCount;
}

void CallBenchmark(benchmark::State& state, CallSetup in) {
  auto out = std::make_unique<CallResult>();
  for (auto _ : state) {
    *out = CallResult{};
    solver::testing::Call(in, *out);
    benchmark::DoNotOptimize(out->crit);
  }
  if (out->error != 0) {
    state.SkipWithError(("solver error " + std::to_string(out->error)).c_str());
    return;
  }
  const double plans = static_cast<double>(PlansBuilt(in));
  state.counters["plans_per_s"] = benchmark::Counter(
      plans * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["plans"] = plans;
  state.counters["bars"] = out->stockUsed + (out->lastStock != 0 ? 1 : 0);
  state.counters["waste"] = out->waste + out->lastWaste;
  state.counters["utilization"] = out->util / 100000.0;
  state.counters["criterion"] = out->crit / 100000.0;
}

void RegisterAll() {
  for (const Instance& inst : kInstances) {
    for (int32_t effort : {0, 5, 10}) {
      const std::string name = std::string(inst.name) + "/effort" + std::to_string(effort);
      benchmark::RegisterBenchmark(name.c_str(), CallBenchmark, inst.make(effort))
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
