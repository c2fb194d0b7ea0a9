// A whole CutOptimize call allocates nothing from the heap: every global
// operator new is counted while the call runs.
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

}  // namespace
}  // namespace solver
