// An exact plan as the solver's result: the plan goes into the driver's
// result tables of a prepared state, and the driver's own layout numbering
// and consolidation fill the result record, so that the call's result
// writing produces the usual result arrays.
#pragma once

#include "exact.h"

namespace solver {
struct SolverState;
}

namespace solver::exact {

// `st` holds the call's problem as the driver leaves it (items sorted and
// grouped, marks turned into item weights); `input` lists the same stock and
// part groups in the same order as the call's arrays. Replaces the result
// with `plan`: each bar takes the first free stock item of its group, each
// piece the first free part item of its group. The criterion becomes the
// plan's utilization. Returns false (result untouched) when the plan does
// not fit the state's items.
bool StorePlanAsResult(SolverState& st, const ExactInput& input, const Plan& plan);

}  // namespace solver::exact
