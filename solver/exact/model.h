// The exact method's view of one material: lengths divided by their greatest
// common divisor, working lengths as the search uses them (every piece
// carries one kerf, every bar offers length + kerf - end zone), part groups
// of equal length (and mark, with piecesByMark) and stock groups of equal
// length and cost merged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exact.h"
#include "tarvolin/limits.h"

namespace solver::exact {

// Pieces of each part type on one bar: one entry per part type of the
// model (every Counts of a model has the same size).
using Counts = std::vector<int32_t>;

struct PartType {
  int32_t work = 0;         // working length: length + kerf (reduced)
  int32_t length = 0;       // real length (reduced)
  int32_t demand = 0;       // pieces that can be cut at all
  std::vector<int> inputs;  // input part groups of this length
  int32_t mark = 0;         // with piecesByMark: the groups' mark
};

struct StockType {
  int32_t capacity = 0;     // working length: length + kerf - end zone (reduced)
  int32_t length = 0;       // real length (reduced)
  int32_t cost = 0;         // of one bar, in cost units
  int32_t quantity = 0;     // bars available, capped at the pieces there are
  std::vector<int> inputs;  // input stock groups of this length and cost
};

struct Model {
  int32_t unit = 1;  // every length below is a multiple of this many caller units
  std::vector<PartType> parts;
  std::vector<StockType> stock;
  int32_t grip = 0;  // working gripping length (gripLength + kerf), 0 = none
  int32_t maxPieces = 0;
  int32_t diffPieces = 0;
  int32_t diffStocks = 0;      // 0 also when it cannot bind
  bool costObjective = false;  // cost mode with some usable bar cost above 0
  // Cost mode whose only bars with a cost are too short to use: the caller
  // measures every plan by its cost, which is 0, while the model tells
  // plans apart by their stock length.
  bool everyPlanFree = false;
  // Cost mode with free bars (cost 0) whose length cut counts (figure 2b).
  bool preferFree = false;
  bool ignoreLast = false;
  int32_t minRemainder = 0;  // reduced, rounded up
  int32_t prefShort = 0;
  int32_t reduceLays = 0;
  int32_t unfitPieces = 0;  // pieces no bar can take
  int64_t unfitLength = 0;  // their real length (reduced)
  int64_t cutLength = 0;    // real length (reduced) of the pieces that fit somewhere
  // Above the layout search's limits (groups or items): the method plans
  // alone and uses the ways that scale with the number of bars.
  bool large = false;

  // No pieces of any type.
  Counts Zero() const { return Counts(parts.size(), 0); }

  // No bar rule beyond the length: no gripping length, no limit on pieces
  // or different pieces per layout.
  bool LengthRulesOnly() const { return grip == 0 && maxPieces < 1 && diffPieces < 1; }

  // Whether bars of stock type j are free and their length counts.
  bool Free(int j) const { return preferFree && stock[j].cost == 0; }

  // Objective weight of one bar of stock type j (figure 2).
  double BarWeight(int j) const {
    return costObjective ? stock[j].cost : static_cast<double>(stock[j].length);
  }
  // Objective weight of the last bar of type j carrying working length `load`:
  // the bar minus its remainder, remainder = length - load.
  double LastWeight(int j, int64_t load) const {
    const StockType& s = stock[j];
    if (!costObjective) return static_cast<double>(load);
    return static_cast<double>(s.cost) * static_cast<double>(load) / s.length;
  }
  // Working load that leaves the last bar of type j a remainder worth keeping.
  int64_t LastCapacity(int j) const;
};

// A pattern in model terms: stock type, pieces per part type, bars.
struct ModelPattern {
  int stock = 0;
  Counts counts{};
  int32_t bars = 0;
  bool operator==(const ModelPattern&) const = default;
};

struct ModelPlan {
  std::vector<ModelPattern> patterns;
  bool hasLast = false;
  ModelPattern last;  // one bar
};

// Adds the bars of `from` to `to`; a last bar of `from` becomes `to`'s.
inline void AppendPlan(ModelPlan& to, const ModelPlan& from) {
  to.patterns.insert(to.patterns.end(), from.patterns.begin(), from.patterns.end());
  if (from.hasLast) {
    to.hasLast = true;
    to.last = from.last;
  }
}

// The order of figures 1 to 4 in model terms; smaller is better.
struct PlanKey {
  int64_t uncut = 0;       // real length of the pieces not cut
  double objective = 0;    // figure 2
  int64_t freeLength = 0;  // with preferFree: length of the free bars cut (more is better)
  int64_t length = 0;      // total stock length
  int32_t barOrder = 0;    // bars, signed by the preference for shorter or longer bars
  int32_t layouts = 0;     // with layout reduction only
};
// Negative when a is better, positive when b is better.
int CompareKeys(const PlanKey& a, const PlanKey& b);

// Builds the model; returns the reason when the input is not acceptable.
std::string BuildModel(const ExactInput& input, Model& model);

// Working load, longest working piece, pieces and different types of counts.
struct Load {
  int64_t work = 0;
  int32_t longest = 0;
  int32_t pieces = 0;
  int32_t types = 0;
};
Load LoadOf(const Model& model, const Counts& counts);

// Whether a load fits a bar of the given working capacity under every bar
// rule: length with the gripping rule, pieces and different pieces per
// layout. Every fit test of the method ends here.
bool FitsLoad(const Model& model, int64_t capacity, const Load& load);

// The load with n more pieces of part type i (`had` of them already there).
Load AddPieces(const Model& model, const Load& load, int i, int32_t had, int32_t n);

// The most pieces of type i (at most `limit`) that can join a bar of
// working capacity `capacity` carrying `load`, `had` of them already there.
int32_t MostThatFit(const Model& model, int64_t capacity, const Load& load, int i, int32_t had,
                    int32_t limit);

// Whether counts fit one bar of stock type j under every bar rule.
bool FitsBar(const Model& model, int j, const Counts& counts);

// The same for the last bar (its remainder must be worth keeping).
bool FitsLastBar(const Model& model, int j, const Counts& counts);

// Pieces cut beyond the demand are dropped (a bar keeps fitting when pieces
// leave it), equal patterns merged, and with ignoreLast the bar whose
// remainder is worth most becomes the last bar when the rules allow one.
ModelPlan NormalizePlan(const Model& model, const ModelPlan& plan);

PlanKey KeyOf(const Model& model, const ModelPlan& plan);

// Whether every bar fits, no stock type gives more bars than it has, no
// part type more pieces than ordered, and no more stock types are used than
// allowed.
bool ValidPlan(const Model& model, const ModelPlan& plan);

// Figure 2 of a plan (no normalization).
double ObjectiveOf(const Model& model, const ModelPlan& plan);

// The plan in model terms; false when it uses a stock group or part group
// the model does not have.
bool ToModelPlan(const ExactInput& input, const Model& model, const Plan& plan, ModelPlan& out);

// The plan in the caller's groups: bars taken from the stock groups of a
// type in input order, pieces from the part groups of a type likewise.
Plan FromModelPlan(const ExactInput& input, const Model& model, const ModelPlan& plan);

// A quick first-fit-decreasing plan under every rule.
ModelPlan GreedyPlan(const Model& model);

// First fit decreasing by patterns, for any number of bars: a bar is
// filled longest pieces first, as many of each as fit, on the stock type
// that uses its length best (cost mode: its cost), and then cut as often as
// the open pieces and the bars allow. `demand` and `bars` as FillGreedy;
// false when some piece finds no place (the patterns found are kept).
bool FillByPatterns(const Model& model, const std::vector<int32_t>& demand,
                    const std::vector<int32_t>& bars, std::vector<ModelPattern>& out);

// Fills `bars` (per stock type), the longest first, one bar at a time with
// the fullest choice of the open pieces (the longest pieces among equally
// full choices), each pattern cut as often as its pieces allow; `demand`
// and `bars` are what is left, `out` gets the patterns. True when every
// piece is placed; false when the bars run out, a piece finds no place or
// the tables would take more than `work` words (lowered by what they
// take). Knows no bar rule beyond the length: no gripping length, no limit
// on pieces per layout.
bool FillFullest(const Model& model, std::vector<int32_t>& demand, std::vector<int32_t>& bars,
                 int64_t& work, std::vector<ModelPattern>& out);

// The plan of FillByPatterns on the whole demand, what it cannot place left
// uncut.
ModelPlan PatternGreedyPlan(const Model& model);

// First fit decreasing of `demand` (pieces per part type) into at most
// `bars` bars of each stock type; the patterns used go to `out`. False when
// some piece finds no place.
bool FillGreedy(const Model& model, const std::vector<int32_t>& demand,
                const std::vector<int32_t>& bars, std::vector<ModelPattern>& out);

}  // namespace solver::exact
