#include "call_steps.h"

#include "driver.h"
#include "prepare.h"
#include "solver_services.h"

namespace solver {

bool PrepareProblem(SolverState& st, const TarvolinProblem& problem, TarvolinPlan& plan) {
  ClearProblemTables(st);
  ExpandItems(st, problem, plan);
  if (st.error.number != 0) return false;
  SortAndRegroup(st);
  if (st.error.number != 0) return false;
  CheckProblem(st);
  return st.error.number == 0;
}

bool SearchAndWrite(SolverState& st, TarvolinPlan& plan) {
  RunOptimizationDriver(st);
  if (st.error.number != 0) return false;
  WriteResults(st, plan);
  return true;
}

}  // namespace solver
