// The cutting plan of one material arranged by layouts, and the run it
// belongs to: plain records that the layout diagrams and the JSON plan are
// drawn from. BuildMaterialPlan fills a plan from the solver's per-item
// result arrays and the material's groups; it is pure and never fails on
// bad references (a piece on a bar that does not exist counts as uncut, a
// bar of an unknown stock group has length and cost 0).
//
// Lengths and costs are scaled integers as everywhere in the program; the
// run record carries the scales and the text form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fract.h"

namespace tarvolin::plan {

// How lengths and costs turn into text and numbers: value = units / scale,
// written with the precision's places and the decimal separator (texts
// only); the run's one number format.
using NumberForm = fract::NumberFormat;

// One setting of the run by its name. Lengths and costs are in scaled
// units; switches and integers are written as such.
struct PlanSetting {
  enum class Kind { kInteger, kSwitch, kLength, kCost, kText };
  std::string name;
  Kind kind = Kind::kInteger;
  int64_t value = 0;  // kInteger, kSwitch (0/1), kLength, kCost
  std::string text;   // kText

  static PlanSetting Integer(std::string name, int64_t value);
  static PlanSetting Switch(std::string name, bool on);
  static PlanSetting Length(std::string name, int32_t units);
  static PlanSetting Cost(std::string name, int32_t units);
  static PlanSetting Text(std::string name, std::string text);
};

// How far the batch run got when a plan document was written.
enum class RunEnd {
  kRunning,       // more materials may follow
  kCompleted,     // every material was taken
  kEndedByError,  // the run stopped on an error (solver, input or output)
  kInterrupted,   // the operator stopped the run
};

// What every material of one batch run shares: the headings of the layout
// diagrams and of the JSON plan.
struct PlanRun {
  std::string programVersion;
  std::string isoDate;   // date and time of the run, ISO 8601 (JSON)
  std::string dateText;  // the same in the locale's short date form (diagrams)
  std::string orderFile;
  std::string stockFile;
  std::string settingsFile;    // the optimizer settings file
  std::string materialHeader;  // the word that names a material in the report
  std::vector<PlanSetting> settings;
  NumberForm numbers;
  bool showCosts = false;     // cost figures in the diagrams
  bool remnantStore = false;  // the remnant store is kept: bars name remnants and offcuts
  RunEnd end = RunEnd::kRunning;
};

// ---- Input of BuildMaterialPlan ----

struct PlanPartGroup {
  int32_t length = 0;
  std::string mark;  // empty when the order line has no mark
  int quantity = 0;
  int orderLine = 0;  // line number in the order file; 0 when unknown
};

struct PlanStockGroup {
  int32_t length = 0;
  int32_t cost = 0;  // cost of one bar
  int quantity = 0;
};

// What the exact method minimises once it cuts the greatest length it can,
// the plan's figure of it and the method's lower bound on it.
struct PlanObjective {
  enum class Kind {
    kStockLength,                   // the stock length used
    kStockLengthLessLastRemainder,  // less the last stock's remainder
    kCost,                          // the stock cost
    kCostLessLastRemainderWorth,    // less the worth of the last stock's remainder
  };
  Kind kind = Kind::kStockLength;
  int64_t value = 0;             // the plan's, in length or cost units
  std::optional<int64_t> bound;  // no plan does better; empty when unknown
  bool shortStock = false;       // pieces are left: the greatest cut length came first
  bool newStockOnly = false;     // remnants are offered: only new stock counts
  bool InCost() const { return kind == Kind::kCost || kind == Kind::kCostLessLastRemainderWorth; }
  bool LessLastRemainder() const {
    return kind == Kind::kStockLengthLessLastRemainder || kind == Kind::kCostLessLastRemainderWorth;
  }
};

// What is known about how good the plan is; each part is optional.
struct PlanBound {
  std::optional<int> bars;                 // no plan needs fewer bars
  std::optional<int32_t> stockLength;      // nor less stock length (length units)
  std::optional<int32_t> cost;             // nor a lower stock cost (cost units)
  std::optional<bool> provenOptimal;       // the plan was shown to be optimal
  std::optional<PlanObjective> objective;  // set when the exact method ran
};

// The totals of a plan as the solver counts them, the last stock left
// apart when the solver reports it apart (its pieces, its waste).
struct SolverTotals {
  int64_t barsUsed = 0, piecesCut = 0, lengthUsed = 0, waste = 0, cost = 0;
  int32_t differentLayouts = 0;
  int64_t layoutCuts = 0;
  int64_t lastPieces = 0, lastWaste = 0;
};

// The solver's answer for one material, as plain arrays. Every per-item
// vector is indexed by item number - 1 (item 1 first), in the solver's input
// numbering; ItemValues copies a result array whose slot 0 holds no item.
struct MaterialPlanInput {
  std::string materialKey;
  std::string method;                     // how the plan was found, e.g. "heuristic"
  std::vector<PlanPartGroup> partGroups;  // in file order: group g at [g - 1]
  std::vector<PlanStockGroup> stockGroups;

  // Per stock item (bar):
  std::vector<int32_t> barGroup;       // its stock group (1-based)
  std::vector<int32_t> barLayout;      // its layout number; 0 = bar not used
  std::vector<int32_t> barPattern;     // its pattern number (the report's layout rows)
  std::vector<int32_t> barPieceCount;  // pieces cut from it
  std::vector<int32_t> barWaste;       // bar length minus the lengths of its pieces
  // Per part item (piece):
  std::vector<int32_t> pieceGroup;  // its part group (1-based)
  std::vector<int32_t> pieceBar;    // the stock item it is cut from; 0 = not cut

  int32_t lastStock = 0;  // stock item reported as the last stock; 0 = none
  // With the remnant store, per stock item: the remnant it is and the
  // offcut it leaves (empty strings for none); both empty without the store.
  std::vector<std::string> barRemnant;
  std::vector<std::string> barOffcut;
  bool remnantStore = false;  // the run keeps the remnant store
  // The solver's totals; without them the figures are counted from the bars.
  std::optional<SolverTotals> totals;

  int32_t kerf = 0;         // the saw blade's width, one cut behind each piece
  int32_t endZone = 0;      // not usable at the end of a bar
  int32_t gripLength = 0;   // gripping length at the end of a bar; 0 = none
  int32_t minReusable = 0;  // the shortest remainder kept; 0 = none is kept
  int64_t calculationMs = 0;
  PlanBound bound;
};

// Slots 1..count of a result array whose slot 0 is not an item.
template <class T>
std::vector<int32_t> ItemValues(const T* resultArray, int count) {
  std::vector<int32_t> out;
  for (int i = 1; i <= count; ++i) out.push_back(static_cast<int32_t>(resultArray[i]));
  return out;
}

// ---- The plan ----

struct PlanPiece {
  int32_t length = 0;
  std::string mark;
  int orderLine = 0;  // 0 when unknown
};

// A piece of the order and where it was cut.
struct OrderedPiece {
  PlanPiece piece;
  std::optional<int> bar;  // index into MaterialPlan::bars; empty when not cut
};

// One used bar, in stock item order. `number` counts used bars from 1, the
// number the piece labels show as "Stock".
struct PlanBar {
  int number = 0;
  int stockItem = 0;
  int layoutIndex = 0;   // index into MaterialPlan::layouts
  int layoutNumber = 0;  // the solver's layout number of this bar
  int32_t stockLength = 0;
  int32_t stockCost = 0;
  int32_t waste = 0;
  // With the remnant store: the identifier of the remnant the bar is, and
  // of the offcut it leaves; empty for none.
  std::string remnant;
  std::string offcut;
  // Its pieces (indexes into MaterialPlan::pieces), longest first, equal
  // lengths in item order.
  std::vector<int> pieces;
};

// A layout row of the report: every bar cut to one pattern.
struct PlanLayout {
  int number = 0;          // pattern number, as in the report's layout rows
  int layoutNumber = 0;    // the solver's layout number of the first bar
  bool lastStock = false;  // the first bar is the last stock ("L" in the report)
  int barCount = 0;
  int32_t stockLength = 0;
  int32_t stockCost = 0;
  int32_t waste = 0;      // of one bar, end zone and kerfs included
  int32_t remainder = 0;  // what is left after the last cut, end zone included
  bool reusable = false;  // remainder >= MinReusable > 0: kept as an offcut
  // The pieces of one bar, longest first, equal lengths in item order. Bars
  // of one layout carry the same lengths and marks, but pieces of two order
  // lines of equal length and mark may be on different bars: a piece's
  // orderLine is its line only when every bar's piece in its place comes
  // from that line, else 0.
  std::vector<PlanPiece> pieces;
  // Per piece: the order lines its place comes from over all the bars,
  // ascending.
  std::vector<std::vector<int>> pieceOrderLines;
  std::vector<int> bars;  // indexes into MaterialPlan::bars
};

// The figures of a solved material, the last stock included.
struct PlanFigures {
  int pieces = 0;
  int piecesLeft = 0;
  int barsUsed = 0;
  int64_t stockLengthUsed = 0;
  int64_t waste = 0;
  int64_t cost = 0;
  int32_t utilRate = 0;  // thousandths of a percent, as in the report
  int differentLayouts = 0;
  int layoutCuts = 0;
  // The solver reported a last stock apart from the rest (its figures are
  // in the totals above all the same).
  bool lastStockApart = false;
};

struct PlanError {
  enum class Kind {
    kSolver,   // the solver returned an error number
    kNoStock,  // the stock file has nothing for the material
    kOther,    // the pass failed otherwise (input, result check, output)
  };
  Kind kind = Kind::kOther;
  std::optional<int> number;  // the solver's error number
  std::string text;           // the message as logged
};

struct MaterialPlan {
  std::string materialKey;
  std::string method;
  std::optional<PlanError> error;  // set: no plan, only the ordered pieces
  PlanFigures figures;
  int64_t calculationMs = 0;
  PlanBound bound;
  int32_t kerf = 0;
  int32_t endZone = 0;
  int32_t gripLength = 0;  // usable, at the end of the bar; 0 = none
  int32_t minReusable = 0;
  std::vector<PlanLayout> layouts;  // ascending pattern number
  std::vector<PlanBar> bars;
  std::vector<OrderedPiece> pieces;  // every ordered piece once, in item order
  // The run keeps the remnant store: bars name remnants and offcuts, and
  // the report and labels say so.
  bool remnantStore = false;
  int stockItems = 0;  // bars the solver numbered, used or not

  bool Solved() const { return !error.has_value(); }
};

MaterialPlan BuildMaterialPlan(const MaterialPlanInput& input);

// The identifiers of the remnants a layout's bars are cut from, and of the
// offcuts they leave, in bar order; empty without the remnant store.
std::vector<std::string> LayoutRemnants(const MaterialPlan& material, const PlanLayout& layout);
std::vector<std::string> LayoutOffcuts(const MaterialPlan& material, const PlanLayout& layout);

// A material that has no plan: a solver error, no stock, or another failure
// of the pass. The ordered pieces are listed, all uncut.
MaterialPlan FailedMaterialPlan(std::string materialKey, std::string method,
                                const std::vector<PlanPartGroup>& partGroups, PlanError error);

// ---- Numbers as text ----

// units / scale with exactly `decimals` places, halves away from zero.
std::string ScaledText(int64_t units, int32_t scale, int decimals, char separator);
std::string LengthText(const NumberForm& form, int64_t units);
std::string CostText(const NumberForm& form, int64_t units);
// Thousandths of a percent as a percentage with two decimals and a point.
std::string UtilisationText(int32_t utilRate);

}  // namespace tarvolin::plan
