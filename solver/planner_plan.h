// The planner's plan: who cuts what (a bar per piece, a stock group per
// bar), arranged into layouts and totals, in memory the planner owns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tarvolin/planner.h"

namespace solver::planner {

// Which bar each piece is cut from and which group each bar comes from, in
// piece and bar numbering (from 0); the builder fills in the rest.
struct Assignment {
  std::vector<TarvolinPlannerPiece> pieces;  // partGroup and bar (-1: not cut)
  std::vector<TarvolinPlannerBar> bars;      // stockGroup
  int32_t lastBar = -1;                      // the last stock's bar; -1: none
};

// The memory behind a plan's pointers: kept until the next call.
struct PlanStore {
  std::vector<TarvolinPlannerLayout> layouts;
  std::vector<TarvolinPlannerLayoutPart> layoutParts;
  std::vector<TarvolinPlannerPiece> pieces;
  std::vector<TarvolinPlannerBar> bars;
  std::string message;
};

// What the figures of a plan depend on beyond its assignment.
struct PlanRules {
  int32_t kerf = 0;
  bool costMode = false;
  bool layoutsByMark = false;
};

// The pieces and bars of a problem in numbering order, nothing cut.
Assignment EmptyAssignment(const TarvolinPlannerProblem& problem);

// Moves the assignment into the store and fills the plan from it: per-bar
// figures, layouts in the order of their first bar, totals, objective,
// utilization (taken for the criterion too) and the layouts as the cutting
// report counts them. Status, message and the figures of the methods
// (bound, proven, times) are the caller's.
void BuildPlan(const TarvolinPlannerProblem& problem, const PlanRules& rules, Assignment assignment,
               PlanStore& store, TarvolinPlannerPlan& plan);

// The objective of a plan as its figures give it: the stock length or cost
// used, minus the last stock's remainder or the remainder's worth.
double Objective(bool costObjective, int64_t stockLength, int64_t stockCost, int32_t lastLength,
                 int32_t lastCost, int64_t lastRemainder);

// Whether the objective counts cost: cost mode with some bar on offer that
// costs more than 0.
bool CostObjective(const TarvolinPlannerProblem& problem, bool costMode);

}  // namespace solver::planner
