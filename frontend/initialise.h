// Start-up of a run: single-instance test, logs, defaults and the initial
// settings file.
#pragma once

#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

// Returns false when another instance runs or the run was ended while
// reading "QM_Config.txt"; the toolkit is then terminating.
bool InitialiseRun(RunState& run, Toolkit& toolkit);

}  // namespace tarvolin
