// Integer programmes over the pattern pool of the master, solved with CBC:
// the master's rows and bounds as they stand, every pattern and every
// uncut-pieces column integral, the artificial column fixed at 0.
#pragma once

#include <atomic>
#include <limits>
#include <vector>

#include "master.h"
#include "watch.h"

namespace solver::exact {

struct MipRequest {
  // Objective per pool column; empty: the master's costs in its mode.
  std::vector<double> patternCost;
  // Cost per uncut piece of each part type; empty: the master's.
  std::vector<double> uncutCost;
  // Extra rows: sum of coefficient x pattern <= rhs, over pool columns.
  std::vector<std::pair<std::vector<double>, double>> rows;
  // With layoutCount the objective is the number of patterns used (the
  // costs above are ignored).
  bool layoutCount = false;
  double cutoff = std::numeric_limits<double>::infinity();  // only better than this
  // Work limits: nodes keep the outcome independent of the machine's
  // speed; the time limit is only the caller's.
  int32_t nodeLimit = 1000;
  double timeLimitMs = 0;  // 0 = none
  // Probing cuts; off above the search's limits, where one probing pass
  // can outlast the stop time (it asks no event handler).
  bool probing = true;
  // Strong branching (trial programmes for the branch to take); off where
  // a feasible plan is all that is asked and plain branching finds it
  // sooner.
  bool strongBranching = true;
  // Search heuristics beyond rounding (feasibility pump, neighbourhood
  // searches, diving): better plans early where the pool is large and
  // the bound leaves a gap; they cost time at every node otherwise.
  bool heuristics = false;
  const Watch* watch = nullptr;  // a stop ends the branch and bound
  std::vector<double> start;     // pool column values of a known solution; may be empty
  // Every piece cut exactly as often as the restriction's demand asks (cut
  // plus uncut); otherwise more may be cut.
  bool exactDemand = false;
};

struct MipOutcome {
  bool found = false;
  bool optimal = false;  // proven optimal (or proven infeasible when !found)
  double objective = 0;
  // The least objective any solution better than the cutoff can have, as
  // far as the branch and bound got (its open nodes' least bound); valid
  // only when it ran undisturbed by a stop.
  double bound = -std::numeric_limits<double>::infinity();
  std::vector<int32_t> x;      // per pool column
  std::vector<int32_t> uncut;  // per part type
};

MipOutcome SolveMip(const Master& master, const MipRequest& request);

}  // namespace solver::exact
