// The one place where the batch run meets the solver: packing a material's
// groups into the solver's input arrays, the call itself, and taking the
// result arrays back.
#pragma once

#include <array>
#include <cstdint>

#include "plan_records.h"

namespace tarvolin {

// The solver's input arrays of one material: slot 0 holds the group count
// n, slots 1..n the groups in file order and slot n+1 the transfer marker
// that the solver checks.
struct SolverInput {
  std::array<int32_t, kMaxPartGroups + 2> partLengths{}, partMarkIds{};
  std::array<int16_t, kMaxPartGroups + 2> partQuantities{};
  std::array<int32_t, kMaxStockGroups + 2> stockLengths{}, stockCosts{};
  std::array<int16_t, kMaxStockGroups + 2> stockQuantities{};
};

SolverInput PackSolverInput(const MaterialPlan& plan);

// One solver call. showMessages lets the solver show its own error boxes;
// progressWindowMode is the initial settings' switch of that name. Returns
// the solver's error number, 0 on success.
int32_t CallSolver(const OptimizerSettings& settings, int progressWindowMode, bool showMessages,
                   const SolverInput& input, SolverResults& results);

// Reads the item counts from slot 0 of the result arrays, checks the marker
// behind the last item of each array and clears slot 0 and the marker slot.
// False when a marker is missing or a count is out of range; the counts are
// then held within the tables' bounds.
bool TakeResultArrays(SolverResults& results);

}  // namespace tarvolin
