#include "interrupt.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace tarvolin {
namespace {

volatile std::sig_atomic_t interrupts = 0;

extern "C" void OnInterrupt(int) {
  // A bound far above any operator's patience keeps the count from wrapping.
  if (interrupts < 1000) interrupts = interrupts + 1;
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
  return interrupts;
}

bool TakeInterrupt() {
  if (interrupts <= 0) return false;
  interrupts = interrupts - 1;
  return true;
}

void LeaveAfterMemoryRanOut(int status) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace tarvolin
