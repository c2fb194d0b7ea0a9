// A call's written plan in the exact method's terms: the exact method
// starts from the layout search's plan and compares its own with it.
#pragma once

#include <cstdint>

#include "exact.h"

namespace solver::exact {

// The plan described by the call's result arrays (input numbering, element
// 0 the count): stock group per bar, part group per piece, bar per piece
// (0 = not cut), and the separately reported last bar (0 = none).
Plan PlanFromCallArrays(const ExactInput& input, const int16_t* stockItGr, const int16_t* partItGr,
                        const int16_t* partItStock, int32_t lastStock);

}  // namespace solver::exact
