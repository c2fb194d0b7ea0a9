// The driver's stages share these steps across their files; tests reach
// the driver through driver.h.
#pragma once

#include <cstdint>

namespace solver {

struct SolverState;

// Whether the call has raised an error (the driver then stops).
bool ErrorRaised(const SolverState& st);

// The plan of the current candidate becomes the best: the result tables
// are rebuilt in internal item numbering, consolidated, and checked against
// the runs they came from.
void TakeNewBest(SolverState& st, int32_t m);

}  // namespace solver
