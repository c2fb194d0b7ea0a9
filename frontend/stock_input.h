// The stock file: the lines of the current material become its stock
// groups, their quantities capped to what the parts can occupy.
#pragma once

#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

// Reads run.stockFile for run.pass.material into run.pass, using the part
// groups of the pass and the optimizer settings. On a fatal error ends the
// run through FinishRun and returns false.
bool ReadStockPass(RunState& run, Toolkit& toolkit);

}  // namespace tarvolin
