#include "interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace tarvolin {
namespace {

// Signals add to the count while the batch takes from it: every change is
// one atomic step, so that a signal between a read and a write is never
// lost. The count is lock-free, as a signal handler needs.
std::atomic<int> interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

// A bound far above any operator's patience keeps the count from wrapping.
constexpr int kMostInterrupts = 1000;

extern "C" void OnInterrupt(int) {
  int count = interrupts.load();
  while (count < kMostInterrupts && !interrupts.compare_exchange_weak(count, count + 1)) {
  }
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

int PendingInterrupts() {
  return interrupts.load();
}

bool TakeInterrupt() {
  int count = interrupts.load();
  while (count > 0 && !interrupts.compare_exchange_weak(count, count - 1)) {
  }
  return count > 0;
}

void LeaveAfterMemoryRanOut(int status) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace tarvolin
