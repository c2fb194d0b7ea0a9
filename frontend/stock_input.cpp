#include "stock_input.h"

#include <array>
#include <string>

#include "group_input.h"
#include "input_text.h"
#include "tarvolin/cut_optimize.h"
#include "tarvolin/limits.h"

namespace tarvolin {

namespace {

// The most bars of this length the pass's parts can occupy under the
// layout limits (pieces per layout, different pieces, bundle), at least 1.
int32_t BarDemand(const RunState& run, int32_t stockLength) {
  std::array<int32_t, kMaxPartGroups + 2> lengths{};
  std::array<int16_t, kMaxPartGroups + 2> quantities{};
  const int n = run.pass.partGroupCount;
  for (int i = 1; i <= n; ++i) {
    lengths[i] = run.pass.partGroups[i].length;
    quantities[i] = run.pass.partGroups[i].quantity;
  }
  const int32_t e =
      BarDemandBoundWithLimits(lengths.data(), quantities.data(), n, TARVOLIN_BAR_DEMAND_SLACK,
                               run.opt.gripLength, run.opt.endZone, run.opt.kerf, stockLength,
                               run.opt.maxPiecesPerLayout, run.opt.maxDifferentPieces);
  return e < 1 ? 1 : e;
}

}  // namespace

bool ReadStockPass(RunState& run, Toolkit& toolkit) {
  MaterialPass& pass = run.pass;
  pass.stockGroupCount = 0;
  pass.stockQuantitySum = 0;
  pass.stockLengthSum = 0;
  pass.stockCostSum = 0;
  GroupReading reading(run, toolkit, kStockFile);

  const auto anyMaterial = [](const std::string&) { return true; };
  const auto readGroup = [&](const DataLine& line, int n) {
    StockGroup& g = reading.StartGroup(pass.stockGroups, pass.stockGroupCount, line, n);
    if (line.fields.k >= 5) g.cost = reading.Cost(FieldText(line.text, line.fields, 5));
    g.quantity = reading.Quantity(line);
    if (!reading.CheckLength(g.length, n) || !reading.CheckCost(g.cost, n) ||
        !reading.CheckQuantity(g.quantity, n)) {
      return false;
    }
    // No more bars of a length than the parts can occupy are offered.
    const int32_t demand = BarDemand(run, g.length);
    if (demand < g.quantity) g.quantity = static_cast<int16_t>(demand);
    return reading.AddItems(pass.stockQuantitySum, g.quantity, n) &&
           reading.AddToTotal(pass.stockLengthSum, g.length, g.quantity, "length",
                              run.format.lengthScale, n) &&
           reading.AddToTotal(pass.stockCostSum, g.cost, g.quantity, "cost", run.format.costScale,
                              n);
  };
  return reading.ReadLines(run.stockFile, anyMaterial, readGroup);
}

}  // namespace tarvolin
