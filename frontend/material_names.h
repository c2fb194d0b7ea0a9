// Material names longer than a material key: the key keeps their first
// kMaterialKeyChars characters, so two different names can end up as one
// key, and the pieces of one material would be planned on the stock of the
// other.
#pragma once

#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

// Checks the names of the order file and of the stock lines of ordered
// materials. A name cut to its key is logged as a warning, once per name
// and file. Two different names with one key in the order file, or a stock
// line whose name has the key of an order name but is another name, end the
// run with an error naming both lines; false then.
bool CheckMaterialNames(RunState& run, Toolkit& toolkit);

}  // namespace tarvolin
