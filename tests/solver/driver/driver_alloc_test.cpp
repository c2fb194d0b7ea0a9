// A whole solver call allocates nothing from the heap, through either
// interface: every global operator new is counted while the call runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "call_harness.h"

namespace {
bool g_counting = false;
long g_allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace solver {
namespace {

TEST(DriverAllocation, CallAllocatesNothing) {
  using testing::CallSetup;
  static const CallSetup kCalls[] = {testing::TwentyGroupsThreeStocks(2),
                                     testing::CostTenStockGroups(1), testing::KerfEndZoneGrip(1)};
  static testing::CallResult out;
  testing::Call(kCalls[0], out);  // first call: static state and clock set up
  for (const CallSetup& in : kCalls) {
    g_allocations = 0;
    g_counting = true;
    testing::Call(in, out);
    g_counting = false;
    EXPECT_EQ(out.error, 0);
    EXPECT_EQ(g_allocations, 0);
  }
}

// Only making the context allocates; the calls in it do not.
TEST(DriverAllocation, StructuredCallAllocatesNothing) {
  using testing::CallSetup;
  static const CallSetup kCalls[] = {testing::TwentyGroupsThreeStocks(2),
                                     testing::CostTenStockGroups(1), testing::KerfEndZoneGrip(1)};
  static TarvolinPlan plan;
  TarvolinContext* context = TarvolinCreateContext();
  ASSERT_NE(context, nullptr);
  for (const CallSetup& in : kCalls) {
    const TarvolinSettings settings = testing::ToSettings(in);
    const TarvolinProblem problem = testing::ToProblem(in);
    g_allocations = 0;
    g_counting = true;
    const int32_t status = TarvolinSolve(context, &settings, &problem, nullptr, &plan);
    g_counting = false;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(g_allocations, 0);
  }
  TarvolinDestroyContext(context);
}

}  // namespace
}  // namespace solver
