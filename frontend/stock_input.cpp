#include "stock_input.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
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

// How many pieces some plan on the stock cuts for sure. Two plans are
// tried. One piece per bar is always open, whatever the layout limits (a
// bundle aside): a piece fits the bars at least as long as the piece plus
// the end zone, so the bars a longer piece fits are bars every shorter one
// fits too; whichever of its bars a piece takes, the shorter ones keep the
// same choice, and a bar each, longest pieces first, places as many pieces
// as any such plan can. Packing the pieces longest first into the first bar
// with room (a new bar from the shortest line that takes the piece), within
// the pieces-per-layout and different-pieces limits, needs fewer bars; it
// stands in for the solver's plans only without a gripping length or a
// bundle, whose rules it does not follow.
class PiecePlacement {
 public:
  PiecePlacement(const MaterialPass& pass, const OptimizerSettings& opt)
      : lines_(pass.stockGroupCount),
        kerf_(opt.kerf),
        maxPieces_(opt.maxPiecesPerLayout),
        maxGroups_(opt.maxDifferentPieces),
        packing_(opt.gripLength == 0 && !CutsBundles(opt)) {
    for (int g = 1; g <= pass.partGroupCount; ++g)
      pieces_.insert(pieces_.end(), pass.partGroups[g].quantity, {pass.partGroups[g].length, g});
    std::stable_sort(pieces_.begin(), pieces_.end(),
                     [](const Piece& a, const Piece& b) { return a.length > b.length; });
    for (int i = 1; i <= lines_; ++i) {
      usable_[i] = int64_t{pass.stockGroups[i].length} - opt.endZone;
      room_[i] = usable_[i] + opt.kerf;
    }
    std::iota(order_.begin() + 1, order_.begin() + 1 + lines_, 1);
    std::stable_sort(order_.begin() + 1, order_.begin() + 1 + lines_,
                     [&](int a, int b) { return usable_[a] < usable_[b]; });
  }

  int Placed(const Quantities& quantities) const {
    Quantities unused;
    return Place(quantities, unused);
  }

  // The bars of each line that the plan placing the most pieces takes.
  Quantities Used(const Quantities& quantities) const {
    Quantities used;
    Place(quantities, used);
    return used;
  }

  // The lines by length: Line(1) is the shortest; a piece that fits
  // Line(k) fits Line(k + 1) too.
  int Lines() const { return lines_; }
  int Line(int k) const { return order_[k]; }
  bool LongerThanBefore(int k) const {
    return k == 1 || usable_[order_[k]] > usable_[order_[k - 1]];
  }

 private:
  struct Piece {
    int32_t length;
    int group;
  };
  struct Bar {
    int64_t room;
    int pieces = 0;
    std::vector<int> groups;
  };

  // The shortest line with a bar left that the piece fits, or 0.
  int LineFor(const Piece& piece, const Quantities& spare) const {
    for (int k = 1; k <= lines_; ++k) {
      const int line = order_[k];
      if (usable_[line] >= piece.length && spare[line] > 0) return line;
    }
    return 0;
  }

  int Place(const Quantities& quantities, Quantities& used) const {
    Quantities spare = quantities;
    int placed = OnePerBar(spare);
    if (packing_) {
      Quantities packedSpare = quantities;
      if (const int packed = Packed(packedSpare); packed >= placed) {
        placed = packed;
        spare = packedSpare;
      }
    }
    for (int i = 1; i <= lines_; ++i) used[i] = quantities[i] - spare[i];
    return placed;
  }

  int OnePerBar(Quantities& spare) const {
    int placed = 0;
    for (const Piece& piece : pieces_) {
      const int line = LineFor(piece, spare);
      if (line == 0) continue;
      --spare[line];
      ++placed;
    }
    return placed;
  }

  bool Takes(const Bar& bar, const Piece& piece, int64_t working) const {
    if (bar.room < working || (maxPieces_ >= 1 && bar.pieces >= maxPieces_)) return false;
    if (maxGroups_ < 1 || static_cast<int>(bar.groups.size()) < maxGroups_) return true;
    return std::find(bar.groups.begin(), bar.groups.end(), piece.group) != bar.groups.end();
  }

  int Packed(Quantities& spare) const {
    std::vector<Bar> bars;
    int placed = 0;
    for (const Piece& piece : pieces_) {
      const int64_t working = int64_t{piece.length} + kerf_;
      auto bar = std::find_if(bars.begin(), bars.end(),
                              [&](const Bar& b) { return Takes(b, piece, working); });
      if (bar == bars.end()) {
        const int line = LineFor(piece, spare);
        if (line == 0) continue;
        --spare[line];
        bar = bars.insert(bars.end(), Bar{room_[line], 0, {}});
      }
      bar->room -= working;
      ++bar->pieces;
      if (std::find(bar->groups.begin(), bar->groups.end(), piece.group) == bar->groups.end())
        bar->groups.push_back(piece.group);
      ++placed;
    }
    return placed;
  }

  int lines_;
  int64_t kerf_;
  int maxPieces_, maxGroups_;
  bool packing_;
  std::vector<Piece> pieces_;                          // longest first
  std::array<int64_t, kMaxStockGroups + 2> usable_{};  // 1..lines_: bar length - end zone
  std::array<int64_t, kMaxStockGroups + 2> room_{};    // working length of a bar
  std::array<int, kMaxStockGroups + 2> order_{};       // 1..lines_, shortest bars first
};

// The bars that lines at least as long as each line offer, for lines
// 1..n by length (PiecePlacement::Line).
Quantities LongerLineBars(const PiecePlacement& plans, const Quantities& q) {
  Quantities sums{};
  int sum = 0;
  for (int k = plans.Lines(); k >= 1; --k) sums[k] = sum += q[plans.Line(k)];
  return sums;
}

// Lowers the quantities until their sum fits the item limit: one bar at a
// time from the largest quantity (from the later line of equal ones), as
// long as a plan still cuts as many pieces as on the stock before, and the
// bars that the longer pieces need keep the room of the bar-demand slack,
// for the solver's plans are not packed as tightly as that plan. When no
// bar can go on those terms, the room goes, then the plan: a bar each for
// nearly the item limit of pieces, or rules the plan does not follow, leave
// a material planned with a piece the solver may leave uncut, and warn
// about, which serves better than a batch that stops. Every line keeps at
// least one bar, so the sum fits in the end.
void LowerToItemLimit(MaterialPass& pass, const OptimizerSettings& opt) {
  const int n = pass.stockGroupCount;
  Quantities q{};
  int sum = 0;
  for (int i = 1; i <= n; ++i) sum += q[i] = pass.stockGroups[i].quantity;
  if (sum <= kMaxItems) return;

  const PiecePlacement plans(pass, opt);
  const int placed = plans.Placed(q);
  const Quantities offered = LongerLineBars(plans, q);
  const Quantities used = LongerLineBars(plans, plans.Used(q));
  Quantities room{};
  for (int k = 1; k <= n; ++k) {
    const auto roomy = static_cast<int>(std::ceil(used[k] * TARVOLIN_BAR_DEMAND_SLACK));
    room[k] = plans.LongerThanBefore(k) ? std::min(offered[k], roomy) : 0;
  }
  const auto keepsRoom = [&] {
    const Quantities left = LongerLineBars(plans, q);
    for (int k = 1; k <= n; ++k)
      if (left[k] < room[k]) return false;
    return true;
  };

  enum class Terms { kRoom, kPlan, kNone } terms = Terms::kRoom;
  const auto allowed = [&] {
    if (terms == Terms::kNone) return true;
    return plans.Placed(q) >= placed && (terms == Terms::kPlan || keepsRoom());
  };
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
      lowered = allowed();
      if (!lowered) ++q[candidates[k]];
    }
    if (lowered) {
      --sum;
    } else if (terms == Terms::kRoom) {
      terms = Terms::kPlan;
    } else if (terms == Terms::kPlan) {
      terms = Terms::kNone;
    } else {
      break;  // every line holds its last bar
    }
  }
  for (int i = 1; i <= n; ++i) pass.stockGroups[i].quantity = static_cast<int16_t>(q[i]);
}

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
