// The order file and the stock file, read once per run: every material's
// pass walks the lines kept in memory instead of reading the file again.
#pragma once

#include <string>

#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

// Reads the order file and the stock file into run.inputs. A file above
// kMaxInputFileBytes or with a line above kMaxInputLineBytes ends the run
// with an error that names the file; false then. A file that cannot be
// read is not kept: its reader reports it as before.
bool LoadInputFiles(RunState& run, Toolkit& toolkit);

// The kept contents of the file, or nullptr when it was not loaded. A CSV
// file (by its name) is kept as the lines its rows make (see csv_input.h).
const LoadedInput* LoadedInputOf(const RunState& run, const std::string& path);
const std::string* LoadedInputContent(const RunState& run, const std::string& path);

}  // namespace tarvolin
