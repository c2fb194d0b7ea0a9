// The exact method alone on a material above the search's limits, as the
// planner runs it: the one place where the planner meets the exact
// method's own types.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "planner_plan.h"
#include "tarvolin/planner.h"
#include "tarvolin/solver.h"

namespace solver::planner {

struct ExactOutcome {
  enum class Kind { kPlan, kNotAvailable, kInvalid, kFault };
  Kind kind = Kind::kFault;
  bool proven = false;
  bool cutShort = false;  // the time limit or the stop request ended the work
  std::string message;    // why there is no plan, or why it is not proven
  Assignment assignment;
  double bound = 0;
  bool hasBound = false;
  double elapsedMs = 0;
};

// Hears the exact method's progress: the objective of its best plan (-1:
// none yet) and its bound (-1: none yet); returns true to stop it.
using ExactProgress = std::function<bool(double bestObjective, double bound)>;

// Solves the problem with the exact method from its own first plan, with
// the settings as the struct call takes them (checked), within
// exactTimeLimitSeconds (0: the method's default); `stop` ends the work
// with the best plan so far. `progress` hears the method's progress where
// the method reports it.
ExactOutcome SolveExactAlone(const TarvolinPlannerProblem& problem,
                             const TarvolinSettings& settings, const std::atomic<bool>& stop,
                             const ExactProgress& progress);

// Whether this build has the exact method.
bool ExactMethodAvailable();

}  // namespace solver::planner
