// The order file: one pass per material, each re-reading the whole file and
// taking the lines of the first material not yet taken.
#pragma once

#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

// Clears the per-material tables; the pass has no material yet.
void StartMaterialPass(RunState& run);

// Reads run.orderFile for the next material into run.pass. Leaves no part
// group when every material was taken. The first pass (no material taken
// yet) checks the material names of both input files first. On a fatal
// error ends the run through FinishRun and returns false.
bool ReadOrderPass(RunState& run, Toolkit& toolkit);

// Gives equal marks one id, numbered from 1 in order of first appearance.
void AssignMarkIds(MaterialPass& pass);

}  // namespace tarvolin
