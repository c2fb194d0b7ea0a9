#include "tarvolin/stock_lowering.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <numeric>
#include <vector>

#include "tarvolin/errors.h"
#include "tarvolin/limits.h"

namespace solver {
namespace {

using Quantities = std::array<int, TARVOLIN_MAX_STOCK_GROUPS + 2>;  // 1..n

// The material as the caller hands it (arrays from element 0).
struct Material {
  const int32_t* partLength;
  const int32_t* partQty;
  int partGroups;
  const int32_t* stockLength;
  int stockGroups;
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
  PiecePlacement(const Material& m, const TarvolinSettings& s)
      : lines_(m.stockGroups),
        kerf_(s.kerf),
        maxPieces_(s.maxPiecesPerLayout),
        maxGroups_(s.maxDifferentPieces),
        packing_(s.gripLength == 0 && s.bundleSize < 2) {
    for (int g = 1; g <= m.partGroups; ++g)
      pieces_.insert(pieces_.end(), std::max(m.partQty[g - 1], 0), {m.partLength[g - 1], g});
    std::stable_sort(pieces_.begin(), pieces_.end(),
                     [](const Piece& a, const Piece& b) { return a.length > b.length; });
    for (int i = 1; i <= lines_; ++i) {
      usable_[i] = int64_t{m.stockLength[i - 1]} - s.endZone;
      room_[i] = usable_[i] + s.kerf;
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
  std::vector<Piece> pieces_;                                    // longest first
  std::array<int64_t, TARVOLIN_MAX_STOCK_GROUPS + 2> usable_{};  // 1..lines_: bar length - end zone
  std::array<int64_t, TARVOLIN_MAX_STOCK_GROUPS + 2> room_{};    // working length of a bar
  std::array<int, TARVOLIN_MAX_STOCK_GROUPS + 2> order_{};       // 1..lines_, shortest bars first
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
void LowerToItemLimit(const Material& m, const TarvolinSettings& s, int32_t* stockQty) {
  const int n = m.stockGroups;
  Quantities q{};
  int64_t sum = 0;
  for (int i = 1; i <= n; ++i) sum += q[i] = stockQty[i - 1];
  if (sum <= TARVOLIN_MAX_ITEMS) return;

  const PiecePlacement plans(m, s);
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
  while (sum > TARVOLIN_MAX_ITEMS) {
    std::array<int, TARVOLIN_MAX_STOCK_GROUPS + 2> candidates{};
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
  for (int i = 1; i <= n; ++i) stockQty[i - 1] = q[i];
}

}  // namespace
}  // namespace solver

extern "C" TARVOLIN_API int32_t
TarvolinLowerStockToItemLimit(const int32_t* partLength, const int32_t* partQty, int32_t partGroups,
                              const int32_t* stockLength, int32_t* stockQty, int32_t stockGroups,
                              const TarvolinSettings* settings) {
  if (settings == nullptr || stockQty == nullptr || (stockGroups > 0 && stockLength == nullptr) ||
      (partGroups > 0 && (partLength == nullptr || partQty == nullptr))) {
    return TARVOLIN_ERROR_NULL_ARGUMENT;
  }
  if (stockGroups > TARVOLIN_MAX_STOCK_GROUPS) return TARVOLIN_ERROR_STOCK_GROUP_COUNT;
  const solver::Material m{partLength, partQty, std::max(partGroups, 0), stockLength,
                           std::max(stockGroups, 0)};
  // Lowered in a copy, so that a failure leaves the caller's quantities.
  std::array<int32_t, TARVOLIN_MAX_STOCK_GROUPS> lowered{};
  std::copy(stockQty, stockQty + m.stockGroups, lowered.begin());
  try {
    solver::LowerToItemLimit(m, *settings, lowered.data());
  } catch (const std::bad_alloc&) {
    return TARVOLIN_ERROR_UNEXPECTED;
  }
  std::copy(lowered.begin(), lowered.begin() + m.stockGroups, stockQty);
  return 0;
}
