// The context behind the opaque TarvolinContext of the C interface: it owns
// the record every call in it works on, allocated once with the context.
#pragma once

#include "solver_state.h"
#include "tarvolin/solver.h"

struct TarvolinContext {
  solver::SolverState state;
};
