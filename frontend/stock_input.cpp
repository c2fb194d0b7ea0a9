#include "stock_input.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "group_input.h"
#include "input_text.h"
#include "logs.h"
#include "solver_call.h"
#include "tarvolin/compat.h"
#include "tarvolin/limits.h"
#include "tarvolin/stock_lowering.h"

namespace tarvolin {

namespace {

// The bar-demand bound for the pass's parts: the most bars of a length the
// parts can occupy under the layout limits (pieces per layout, different
// pieces, bundle), at least 1. Stock lines of one length share the answer.
class BarDemand {
 public:
  explicit BarDemand(const RunState& run) : opt_(run.opt) {
    const MaterialPass& pass = run.pass;
    const int n = pass.partGroupCount;
    lengths_.assign(n + 1, 0);
    quantities_.assign(n + 1, 0);
    for (int i = 1; i <= n; ++i) {
      lengths_[i] = pass.partGroups[i].length;
      quantities_[i] = pass.partGroups[i].quantity;
    }
  }

  int32_t For(int32_t stockLength) {
    const auto known = demand_.find(stockLength);
    if (known != demand_.end()) return known->second;
    const int32_t e = BarDemandBoundWithLimits(
        lengths_.data(), quantities_.data(), static_cast<int32_t>(lengths_.size()) - 1,
        TARVOLIN_BAR_DEMAND_SLACK, opt_.gripLength, opt_.endZone, opt_.kerf, stockLength,
        opt_.maxPiecesPerLayout, DiffPiecesOfFlatCall());
    return demand_[stockLength] = e < 1 ? 1 : e;
  }

 private:
  // The flat call's one field for both: the limit, or a bundle as its
  // negative.
  int32_t DiffPiecesOfFlatCall() const {
    return CutsBundles(opt_) ? -opt_.bundleSize : opt_.maxDifferentPieces;
  }

  const OptimizerSettings& opt_;
  std::vector<int32_t> lengths_;     // 1..n
  std::vector<int16_t> quantities_;  // 1..n
  std::map<int32_t, int32_t> demand_;
};

void WarnLowered(RunState& run, Toolkit& toolkit, const GroupReading& reading,
                 const std::vector<int>& capped, const std::vector<int>& stated) {
  const MaterialPass& pass = run.pass;
  std::string lines;
  for (int i = 1; i <= pass.stockGroupCount; ++i) {
    if (pass.stockGroups[i].quantity == capped[i]) continue;
    const std::string where = pass.stockGroups[i].remnants.empty()
                                  ? "line " + std::to_string(reading.LineOf(i))
                                  : std::string("remnants");
    lines += "\rStock group " + std::to_string(i) + ", " + where + ": " +
             std::to_string(stated[i]) + " bars -> " + std::to_string(pass.stockGroups[i].quantity);
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

// The totals the optimizer works with: every piece and every bar one kerf
// longer, every bar shorter by its end zone. A kerf that passes the limit
// of a total there is named with its settings line, never left for the
// optimizer to fail on.
bool KerfFitsTheTotals(RunState& run, GroupReading& reading) {
  const MaterialPass& pass = run.pass;
  if (pass.stockGroupCount == 0) return true;  // not planned: only warned
  const OptimizerSettings& o = run.opt;
  int64_t pieces = 0, bars = 0;
  for (int i = 1; i <= pass.partGroupCount; ++i)
    pieces += (int64_t{pass.partGroups[i].length} + o.kerf) * pass.partGroups[i].quantity;
  for (int i = 1; i <= pass.stockGroupCount; ++i) {
    bars +=
        (int64_t{pass.stockGroups[i].length} + o.kerf - o.endZone) * pass.stockGroups[i].quantity;
  }
  if (pieces <= TARVOLIN_MAX_SUM && bars <= TARVOLIN_MAX_SUM) return true;
  return reading.Fail("Total length with a kerf for every piece and bar exceeds limit: \r" +
                      std::to_string(LimitInUserUnits(run.format.lengthScale)) +
                      "\rSee line: 9 of " + run.optSetFile + " (saw blade thickness)\r" +
                      kMaterialHeader + ": " + pass.material);
}

// The pass's stock totals of what is offered, checked against the limits.
bool SumStock(RunState& run, GroupReading& reading) {
  MaterialPass& pass = run.pass;
  pass.stockQuantitySum = 0;
  pass.stockLengthSum = 0;
  pass.stockCostSum = 0;
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
  return true;
}

// The remnant store's remnants of the material, offered as stock after
// the stock file's lines: one group per length, longest first, its
// remnants in the order of the store's lines, each at
// cost 0 (the solver's objective prices them apart, see solver_call.h).
// The search takes 10 groups: a material it plans gets the longest lengths
// that fit beside the stock file's lines; the exact method takes them all.
// Remnants shorter than every piece (with the end zone) are not offered.
void AddRemnantGroups(RunState& run, BarDemand& demand, std::vector<int>& stated,
                      std::vector<int>& capped) {
  MaterialPass& pass = run.pass;
  std::map<int32_t, std::vector<std::string>, std::greater<>> byLength;
  // A remnant that holds no piece with its end zone would only take a slot.
  int64_t shortest = INT64_MAX;
  for (int i = 1; i <= pass.partGroupCount; ++i)
    shortest = std::min<int64_t>(shortest, pass.partGroups[i].length);
  for (const Remnant& r : run.remnants) {
    if (r.material == pass.material && int64_t{r.length} - run.opt.endZone >= shortest)
      byLength[r.length].push_back(r.id);
  }
  const int limit = UsesExactLimits(run.opt) ? kExactMaxStockGroups : kMaxStockGroups;
  for (auto& [length, ids] : byLength) {
    if (pass.stockGroupCount >= limit) break;
    const int n = ++pass.stockGroupCount;
    if (n + 2 > static_cast<int>(pass.stockGroups.size())) pass.stockGroups.resize(2 * (n + 2));
    StockGroup& g = pass.stockGroups[n];
    g = StockGroup{};
    g.length = length;
    g.materialKey = pass.material;
    g.sourceLine = "remnants";
    for (const std::string& id : ids) g.sourceLine += " " + id;
    g.sourceLine = CutToChars(g.sourceLine, kSourceLineChars);
    stated.push_back(static_cast<int>(std::min<size_t>(ids.size(), INT16_MAX)));
    g.quantity = static_cast<int16_t>(std::min(stated.back(), demand.For(length)));
    g.remnants = std::move(ids);
    capped.push_back(g.quantity);
    if (n > kMaxStockGroups) pass.beyondSearch = true;
  }
}

// A group of remnants offers its first remnants, as many as its quantity.
void TrimRemnantGroups(MaterialPass& pass) {
  for (int i = 1; i <= pass.stockGroupCount; ++i) {
    std::vector<std::string>& ids = pass.stockGroups[i].remnants;
    const auto quantity = static_cast<size_t>(std::max<int>(pass.stockGroups[i].quantity, 0));
    if (ids.size() > quantity) ids.resize(quantity);
  }
}

// Stock beyond the search's item limit lowered by the solver library's
// rule (tarvolin/stock_lowering.h); the quantities stay when it fails, and
// the limit check that follows names the excess.
void LowerToItemLimit(MaterialPass& pass, const OptimizerSettings& opt) {
  std::vector<int32_t> partLength, partQty, stockLength, stockQty;
  for (int g = 1; g <= pass.partGroupCount; ++g) {
    partLength.push_back(pass.partGroups[g].length);
    partQty.push_back(pass.partGroups[g].quantity);
  }
  for (int g = 1; g <= pass.stockGroupCount; ++g) {
    stockLength.push_back(pass.stockGroups[g].length);
    stockQty.push_back(pass.stockGroups[g].quantity);
  }
  const TarvolinSettings rules = BuildSolverSettings(opt, 0, false);
  if (TarvolinLowerStockToItemLimit(partLength.data(), partQty.data(), pass.partGroupCount,
                                    stockLength.data(), stockQty.data(), pass.stockGroupCount,
                                    &rules) != 0)
    return;
  for (int g = 1; g <= pass.stockGroupCount; ++g)
    pass.stockGroups[g].quantity = static_cast<int16_t>(stockQty[g - 1]);
}

void SetQuantities(MaterialPass& pass, const std::vector<int>& quantities) {
  for (int i = 1; i <= pass.stockGroupCount; ++i)
    pass.stockGroups[i].quantity = static_cast<int16_t>(quantities[i]);
}

}  // namespace

bool ReadStockPass(RunState& run, Toolkit& toolkit) {
  MaterialPass& pass = run.pass;
  pass.stockGroupCount = 0;
  pass.stockQuantitySum = 0;
  pass.stockLengthSum = 0;
  pass.stockCostSum = 0;
  GroupReading reading(run, toolkit, kStockFile);
  BarDemand demand(run);
  std::vector<int> stated(1), capped(1);  // 1..n

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
    stated.push_back(g.quantity);
    const int32_t e = demand.For(g.length);
    if (e < g.quantity) g.quantity = static_cast<int16_t>(e);
    capped.push_back(g.quantity);
    return true;
  };
  if (!reading.ReadLines(run.stockFile, anyMaterial, readGroup)) return false;
  if (run.init.keepRemnants) AddRemnantGroups(run, demand, stated, capped);

  // A material the search plans: capped lines that together still pass the
  // item limit give up bars the parts can do without; the totals then hold
  // for what is offered. With the exact method's limits a material beyond
  // the search's keeps the capped stock, and so does one whose stock still
  // passes the search's totals when lowered.
  bool lowered = false;
  if (!pass.beyondSearch && !reading.BeyondSearch()) {
    LowerToItemLimit(pass, run.opt);
    if (!SumStock(run, reading)) return false;
    lowered = !reading.BeyondSearch();
    if (!lowered) SetQuantities(pass, capped);
  }
  if (!lowered && !SumStock(run, reading)) return false;
  pass.beyondSearch = pass.beyondSearch || reading.BeyondSearch();
  // The optimizer's totals bind the search; the exact method keeps 64-bit totals.
  if (!pass.beyondSearch && !KerfFitsTheTotals(run, reading)) return false;
  TrimRemnantGroups(pass);
  if (lowered) WarnLowered(run, toolkit, reading, capped, stated);
  WarnUnusableStock(run, toolkit);
  return true;
}

}  // namespace tarvolin
