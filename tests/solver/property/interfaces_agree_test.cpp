// The structured interface and the flat call give the same plan for the
// same problem, over seeded random valid calls, with and without a target.
#include <gtest/gtest.h>

#include <memory>

#include "call_harness.h"
#include "random_call.h"
#include "tarvolin/solver.h"

namespace solver {
namespace {

using testing::CallResult;
using testing::CallSetup;
using testing::RandomCall;

using ContextPtr = std::unique_ptr<TarvolinContext, void (*)(TarvolinContext*)>;

TEST(InterfacesAgree, SamePlanOverRandomCalls) {
  ContextPtr context(TarvolinCreateContext(), TarvolinDestroyContext);
  ASSERT_NE(context, nullptr);
  auto flat = std::make_unique<CallResult>();
  auto plan = std::make_unique<TarvolinPlan>();
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    RandomCall random(seed);
    const CallSetup in = random.Make(seed % 25 == 0);
    *flat = CallResult{};
    testing::Call(in, *flat);
    TarvolinProblem problem = testing::ToProblem(in);
    const TarvolinSettings settings = testing::ToSettings(in);
    const int32_t status = TarvolinSolve(context.get(), &settings, &problem, nullptr, plan.get());
    ASSERT_EQ(status, flat->error) << "seed " << seed;
    EXPECT_TRUE(testing::SamePlan(*plan, *flat)) << "seed " << seed;

    // A target equal to the plan found stops both at the same plan.
    if (seed % 10 != 0 || status != 0) continue;
    const TarvolinTarget target{plan->utilization,
                                plan->stockUsed + (plan->lastStock != 0),
                                plan->partsCut + plan->lastParts,
                                plan->costUsed,
                                plan->layoutCount,
                                plan->layoutCuts};
    *flat = CallResult{};
    flat->util = target.utilization;
    flat->stockUsed = target.stockUsed;
    flat->partsCut = target.partsCut;
    flat->cost = target.costUsed;
    flat->layouts = target.layoutCount;
    flat->layoutCuts = target.layoutCuts;
    testing::Call(in, *flat);
    problem.target = target;
    ASSERT_EQ(TarvolinSolve(context.get(), &settings, &problem, nullptr, plan.get()), flat->error);
    EXPECT_TRUE(testing::SamePlan(*plan, *flat)) << "seed " << seed << " with target";
  }
}

}  // namespace
}  // namespace solver
