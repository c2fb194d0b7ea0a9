// The exact method in a build without the COIN-OR LP/MIP libraries.
#include "exact.h"

namespace solver::exact {
namespace {

constexpr const char* kNotAvailable = "exact method not available in this build";

}  // namespace

bool ExactAvailable() {
  return false;
}

ExactResult SolveExact(const ExactInput&) {
  ExactResult r;
  r.status = Status::kNotAvailable;
  r.message = kNotAvailable;
  return r;
}

ExactResult MoreFreeStock(const ExactInput& input) {
  return SolveExact(input);
}

BoundResult ExactLowerBound(const ExactInput&) {
  BoundResult b;
  b.status = Status::kNotAvailable;
  b.message = kNotAvailable;
  return b;
}

}  // namespace solver::exact
