// Solver calls in different contexts run at the same time on different
// threads and give exactly the plans that one call after the other gives.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "call_harness.h"
#include "recording_view.h"
#include "tarvolin/solver.h"

namespace {

using solver::testing::CallSetup;
using solver_test::RecordingView;

using ContextPtr = std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)>;

struct Job {
  TarvolinSettings settings;
  TarvolinProblem problem;
};

Job MakeJob(const CallSetup& in) {
  Job job{solver::testing::ToSettings(in), solver::testing::ToProblem(in)};
  job.settings.progressMode = 1;  // each thread's own view sees its own window
  return job;
}

// Solves the jobs in order in one context; returns the plans.
std::vector<TarvolinPlan> SolveAll(const std::vector<Job>& jobs, RecordingView& view) {
  ContextPtr context(TarvolinCreateContext(), TarvolinDestroyContext);
  const TarvolinView cview = view.AsTarvolinView();
  std::vector<TarvolinPlan> plans(jobs.size());
  for (size_t i = 0; i < jobs.size(); ++i) {
    const int32_t status =
        TarvolinSolve(context.get(), &jobs[i].settings, &jobs[i].problem, &cview, &plans[i]);
    EXPECT_EQ(status, 0);
  }
  return plans;
}

bool Same(const TarvolinPlan& a, const TarvolinPlan& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(SolveThreadsTest, TwoThreadsGiveTheSequentialPlans) {
  const std::vector<Job> first = {MakeJob(solver::testing::TwentyGroupsThreeStocks(3)),
                                  MakeJob(solver::testing::KerfEndZoneGrip(2))};
  const std::vector<Job> second = {MakeJob(solver::testing::CostTenStockGroups(1)),
                                   MakeJob(solver::testing::OneLength(4))};
  RecordingView sequentialView;
  const std::vector<TarvolinPlan> expectFirst = SolveAll(first, sequentialView);
  const std::vector<TarvolinPlan> expectSecond = SolveAll(second, sequentialView);

  for (int round = 0; round < 2; ++round) {
    std::vector<TarvolinPlan> gotFirst, gotSecond;
    RecordingView viewFirst, viewSecond;
    std::thread a([&] { gotFirst = SolveAll(first, viewFirst); });
    std::thread b([&] { gotSecond = SolveAll(second, viewSecond); });
    a.join();
    b.join();
    for (size_t i = 0; i < first.size(); ++i) EXPECT_TRUE(Same(gotFirst[i], expectFirst[i])) << i;
    for (size_t i = 0; i < second.size(); ++i) {
      EXPECT_TRUE(Same(gotSecond[i], expectSecond[i])) << i;
    }
    // Each view saw the windows of its own thread's calls only.
    EXPECT_EQ(viewFirst.opens, 2);
    EXPECT_EQ(viewSecond.opens, 2);
  }
}

}  // namespace
