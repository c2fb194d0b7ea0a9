#include "stock_input.h"

#include <algorithm>
#include <array>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "group_input.h"
#include "input_text.h"
#include "logs.h"
#include "tarvolin/cut_optimize.h"
#include "tarvolin/limits.h"

namespace tarvolin {

namespace {

using Quantities = std::array<int, kMaxStockGroups + 2>;  // 1..n

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

// Which pieces the stock can cut, judged by one piece per bar: a plan that
// is always open, whatever the layout limits (a bundle aside). A piece fits
// the bars at least as long as the piece plus the end zone, so the bars a
// longer piece fits are bars every shorter piece fits too; whichever of its
// bars a piece takes, the shorter ones keep the same choice, and giving the
// pieces a bar each, longest first, places as many as any assignment can.
class SinglePieceBars {
 public:
  SinglePieceBars(const MaterialPass& pass, int32_t endZone) : lines_(pass.stockGroupCount) {
    for (int g = 1; g <= pass.partGroupCount; ++g)
      pieces_.insert(pieces_.end(), pass.partGroups[g].quantity, pass.partGroups[g].length);
    std::sort(pieces_.begin(), pieces_.end(), std::greater<>());
    for (int i = 1; i <= lines_; ++i) usable_[i] = int64_t{pass.stockGroups[i].length} - endZone;
    std::iota(order_.begin() + 1, order_.begin() + 1 + lines_, 1);
    // Shortest bars first, so each piece takes the shortest bar it fits.
    std::stable_sort(order_.begin() + 1, order_.begin() + 1 + lines_,
                     [&](int a, int b) { return usable_[a] < usable_[b]; });
  }

  // The pieces that get a bar of their own from these quantities.
  int Placed(const Quantities& quantities) const {
    Quantities spare = quantities;
    int placed = 0;
    for (const int32_t piece : pieces_) {
      for (int k = 1; k <= lines_; ++k) {
        const int line = order_[k];
        if (usable_[line] < piece || spare[line] == 0) continue;
        --spare[line];
        ++placed;
        break;
      }
    }
    return placed;
  }

 private:
  int lines_;
  std::vector<int32_t> pieces_;                        // longest first
  std::array<int64_t, kMaxStockGroups + 2> usable_{};  // 1..lines_
  std::array<int, kMaxStockGroups + 2> order_{};       // 1..lines_, shortest bars first
};

// Lowers the quantities until their sum fits the item limit: one bar at a
// time from the largest quantity (from the later line of equal ones), as
// long as every line keeps a bar and every piece the stock could cut keeps
// a bar of its own. Returns the sum, still above the limit when nothing
// more can go.
int LowerToItemLimit(MaterialPass& pass, int32_t endZone) {
  const int n = pass.stockGroupCount;
  Quantities q{};
  int sum = 0;
  for (int i = 1; i <= n; ++i) sum += q[i] = pass.stockGroups[i].quantity;
  if (sum <= kMaxItems) return sum;

  const SinglePieceBars bars(pass, endZone);
  const int placed = bars.Placed(q);
  while (sum > kMaxItems) {
    std::array<int, kMaxStockGroups + 2> candidates{};
    int count = 0;
    for (int i = n; i >= 1; --i)
      if (q[i] > 1) candidates[count++] = i;
    std::stable_sort(candidates.begin(), candidates.begin() + count,
                     [&](int a, int b) { return q[a] > q[b]; });
    bool lowered = false;
    for (int k = 0; k < count && !lowered; ++k) {
      --q[candidates[k]];
      lowered = bars.Placed(q) >= placed;
      if (!lowered) ++q[candidates[k]];
    }
    if (!lowered) break;
    --sum;
  }
  for (int i = 1; i <= n; ++i) pass.stockGroups[i].quantity = static_cast<int16_t>(q[i]);
  return sum;
}

void WarnLowered(RunState& run, Toolkit& toolkit, const GroupReading& reading,
                 const Quantities& capped, const Quantities& stated) {
  const MaterialPass& pass = run.pass;
  std::string lines;
  for (int i = 1; i <= pass.stockGroupCount; ++i) {
    if (pass.stockGroups[i].quantity == capped[i]) continue;
    lines += "\rStock group " + std::to_string(i) + ", line " + std::to_string(reading.LineOf(i)) +
             ": " + std::to_string(stated[i]) + " bars -> " +
             std::to_string(pass.stockGroups[i].quantity);
  }
  if (lines.empty()) return;
  LogWarning(run, toolkit,
             "Stock quantities lowered to the program limit of " + std::to_string(kMaxItems) +
                 " bars\r" + kMaterialHeader + ": " + pass.material + lines);
}

// Settings and stock that make the material's plan meaningless.
void WarnUnusableStock(RunState& run, Toolkit& toolkit) {
  const MaterialPass& pass = run.pass;
  if (pass.stockGroupCount == 0) return;
  int32_t longest = 0;
  for (int i = 1; i <= pass.stockGroupCount; ++i)
    longest = std::max(longest, pass.stockGroups[i].length);
  if (run.opt.kerf >= longest) {
    LogWarning(run, toolkit,
               std::string("Kerf is at least as long as every stock length\r") + kMaterialHeader +
                   ": " + pass.material);
  }
  if (run.opt.optimizeCost != 0 && pass.stockCostSum == 0) {
    LogWarning(run, toolkit,
               std::string("Cost optimization is on, but no stock line gives a cost\r") +
                   kMaterialHeader + ": " + pass.material);
  }
}

}  // namespace

bool ReadStockPass(RunState& run, Toolkit& toolkit) {
  MaterialPass& pass = run.pass;
  pass.stockGroupCount = 0;
  pass.stockQuantitySum = 0;
  pass.stockLengthSum = 0;
  pass.stockCostSum = 0;
  GroupReading reading(run, toolkit, kStockFile);
  Quantities stated{}, capped{};

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
    stated[n] = g.quantity;
    const int32_t demand = BarDemand(run, g.length);
    if (demand < g.quantity) g.quantity = static_cast<int16_t>(demand);
    capped[n] = g.quantity;
    return true;
  };
  if (!reading.ReadLines(run.stockFile, anyMaterial, readGroup)) return false;

  // Capped lines that together still pass the item limit give up bars the
  // parts can do without; the totals then hold for what is offered.
  LowerToItemLimit(pass, run.opt.endZone);
  for (int n = 1; n <= pass.stockGroupCount; ++n) {
    const StockGroup& g = pass.stockGroups[n];
    if (!reading.AddItems(pass.stockQuantitySum, g.quantity, n) ||
        !reading.AddToTotal(pass.stockLengthSum, g.length, g.quantity, "length",
                            run.format.lengthScale, n) ||
        !reading.AddToTotal(pass.stockCostSum, g.cost, g.quantity, "cost", run.format.costScale,
                            n)) {
      return false;
    }
  }
  WarnLowered(run, toolkit, reading, capped, stated);
  WarnUnusableStock(run, toolkit);
  return true;
}

}  // namespace tarvolin
