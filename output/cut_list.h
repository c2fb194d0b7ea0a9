// The cut list: every cut piece of a batch run as one row of a CSV file, in
// the order the saw cuts them, for saw controllers and spreadsheets
// (docs/cut-list.md describes the columns).
#pragma once

#include <string>

#include "material_plan.h"

namespace tarvolin::plan {

// The header row; the separator is ';' where the decimal separator is a
// comma (as spreadsheets there expect), ',' otherwise. Rows end with CR LF.
// With the remnant store a last column, `offcut`, names the offcut each
// bar leaves.
std::string CutListHeader(const NumberForm& form, bool remnantStore = false);

// The rows of one material: its bars in the order of their numbers, on
// each bar its pieces from the bar's start in the layout's order. A
// material without a plan has no rows.
std::string CutListRows(const NumberForm& form, const MaterialPlan& material,
                        bool remnantStore = false);

}  // namespace tarvolin::plan
