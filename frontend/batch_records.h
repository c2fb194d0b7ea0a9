// The plain records of a batch run: the settings of the run, the groups of
// one material, the solver's answer for them, and the plan every output
// reads made from that answer once. Nothing here reads files or talks to the
// operator; the writers see the run only through their own RunRecord.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "material_plan.h"
#include "tarvolin/limits.h"

namespace tarvolin {

// Bounds of the layout search's tables, the same as the solver's.
inline constexpr int kMaxItems = TARVOLIN_MAX_ITEMS;
inline constexpr int kMaxPartGroups = TARVOLIN_MAX_PART_GROUPS;
inline constexpr int kMaxStockGroups = TARVOLIN_MAX_STOCK_GROUPS;
// What the exact method plans of one material.
inline constexpr int kExactMaxItems = TARVOLIN_EXACT_MAX_ITEMS;
inline constexpr int kExactMaxPartGroups = TARVOLIN_EXACT_MAX_PART_GROUPS;
inline constexpr int kExactMaxStockGroups = TARVOLIN_EXACT_MAX_STOCK_GROUPS;
// A result table: the item count in slot 0, one slot per item and the
// marker slot behind the last item. Tables hold at least this many slots,
// the search's whole range; a larger plan makes them as long as it needs.
inline constexpr int kResultArraySize = kMaxItems + 2;

inline constexpr int kMaterialKeyChars = 32;
inline constexpr int kMarkChars = 16;
inline constexpr int kSourceLineChars = 254;

// Switches of the initial settings file, with their defaults.
struct InitialSettings {
  bool showWindow = true;
  bool askInputFiles = false;
  bool confirmSteps = true;
  bool showMessages = true;
  // 0 no progress window during a solver call, 1 the progress window, 2 or
  // more the progress window offering Esc.
  int progressWindowMode = 1;
  bool reportFrame = true;
  bool reportTotals = true;
  bool reportMaterialColumn = true;
  int reportPartsMode = 0;  // 0 piece lengths in the layout row, 1 a line per piece
  bool reportCosts = false;
  int materialColumnWidth = 18;
  int numberColumnWidth = 8;
  bool writeLabelsFile = false;
  int labelPrintMode = 0;         // 0 no printed labels, 1 or 2 the label layout
  bool writeLayoutsFile = false;  // the layout diagrams as a PDF file
  bool writePlanFile = false;     // the plan as a JSON file
  bool writeCutList = false;      // every cut piece as a row of a CSV file
  int labelBarcode = 0;           // printed labels: 0 no barcode, 1 Code 128, 2 QR
  // A material whose reading or solving fails is logged, noted in the report
  // and skipped, and the batch goes on; off, the batch stops there.
  bool continueAfterError = false;
  // Offcuts are kept in the remnant store and offered as stock.
  bool keepRemnants = false;
};

// Optimizer settings as handed to the solver (lengths in length units).
struct OptimizerSettings {
  int32_t optimizeCost = 0;  // 1: the cheapest stock instead of the least waste
  int32_t ignoreLastStock = 1;
  int32_t stockLengthPreference = 0;  // -5 shorter .. +5 longer stocks
  int32_t reduceLayouts = 1;
  int32_t effortLevel = 5;
  int32_t maxDifferentStocks = 0;
  int32_t maxDifferentPieces = 0;  // different pieces in one layout, 0 unlimited
  // A stock/cut bundle: bars cut together with one layout; it replaces the
  // limit of different pieces. 0 none; 1 is read as given and cuts no bundle.
  int32_t bundleSize = 0;
  int32_t minReusableLength = 0;
  int32_t kerf = 0;        // saw blade thickness
  int32_t endZone = 0;     // non-usable length at the bar end
  int32_t gripLength = 0;  // usable gripping length at the bar end
  int32_t timeLimitSeconds = 0;
  int32_t iterationMultiplier = 20;
  int32_t layoutsByMark = 0;
  int32_t maxPiecesPerLayout = 0;
  int32_t method = 0;                 // kMethodSearch or kMethodExact
  int32_t exactTimeLimitSeconds = 0;  // per material; 0: the solver's default
};

// Whether the settings cut stock/cut bundles (of two bars or more).
inline bool CutsBundles(const OptimizerSettings& settings) {
  return settings.bundleSize >= 2;
}

// Solution methods (optimizer settings line 14).
inline constexpr int32_t kMethodSearch = 0;
inline constexpr int32_t kMethodExact = 1;

// One accepted order line of the current material.
struct PartGroup {
  int32_t length = 0;
  int32_t markId = 0;
  int16_t quantity = 0;
  std::string mark;         // at most kMarkChars characters
  std::string materialKey;  // at most kMaterialKeyChars characters
  std::string sourceLine;   // at most kSourceLineChars characters
  int lineNumber = 0;       // of the order line in its file
};

// One accepted stock line of the current material.
struct StockGroup {
  int32_t length = 0;
  int32_t cost = 0;
  int16_t quantity = 0;
  std::string materialKey;
  std::string sourceLine;
  // Remnants of the remnant store offered as this group's bars: their
  // identifiers, one per bar in item order; empty for a stock file line.
  std::vector<std::string> remnants{};
};

// Scalar result cells and result tables of one solver call. The tables hold
// the item count in slot 0, one value per item and a marker slot; figures
// that add up lengths, costs or items are 64-bit, so that the plans of the
// exact method, beyond the search's limits, fit them.
struct SolverResults {
  using ItemTable = std::vector<int32_t>;

  int32_t criterion = 0;
  int32_t utilization = 0;  // thousandths of a percent
  int64_t stockUsed = 0, partsCut = 0, lengthUsed = 0, wasteSum = 0, costUsed = 0;
  // The last stock, when the solver reports it apart from the rest.
  int32_t lastStock = 0;
  int64_t lastParts = 0, lastLengthUsed = 0, lastWaste = 0, lastCost = 0;
  int32_t patternCount = 0, layoutCount = 0;
  int64_t layoutCuts = 0;
  ItemTable stockItemGroup = ItemTable(kResultArraySize),
            partItemGroup = ItemTable(kResultArraySize),
            partItemStock = ItemTable(kResultArraySize),
            stockItemLayout = ItemTable(kResultArraySize),
            stockItemPattern = ItemTable(kResultArraySize),
            stockItemParts = ItemTable(kResultArraySize),
            stockItemWaste = ItemTable(kResultArraySize);
  int partItemCount = 0;   // slot 0 of partItemStock
  int stockItemCount = 0;  // slot 0 of stockItemLayout
  // The exact method's figures: the lower bound on the stock length used
  // (cost mode: the stock cost), and whether the plan meets it.
  double lowerBound = 0;
  bool proven = false;
  int32_t exactMs = 0;
  // The plan comes from a solver call with the exact method.
  bool exactMethod = false;

  // Zeroes the tables and makes them hold `bars` bars and `pieces` pieces
  // (at least the search's range); the counts are set to them.
  void SizeTables(int bars, int pieces);
};

// One material: its groups as read and the solver's answer for them. The group tables hold
// groups 1..n (at least the search's range of slots).
struct MaterialPlan {
  std::string material;  // the material key
  int partGroupCount = 0;
  std::vector<PartGroup> partGroups = std::vector<PartGroup>(kMaxPartGroups + 2);  // 1..n
  int stockGroupCount = 0;
  std::vector<StockGroup> stockGroups = std::vector<StockGroup>(kMaxStockGroups + 2);  // 1..n
  SolverResults results;
  double solverStartMs = 0;  // solver clock at the call
  // With the remnant store, per bar 1..count: the identifier of the remnant
  // the bar is, and of the offcut a used bar leaves; empty for none. Both
  // tables are empty when the store is not kept.
  std::vector<std::string> barRemnant, barOffcut;
};

// The item counts of the results, held within the tables' lengths.
int PieceCount(const SolverResults& results);
int BarCount(const SolverResults& results);

// The group of that number, or nullptr when the number is outside 1..count:
// a plan with wild figures reads as pieces and bars without a group.
const PartGroup* PartGroupAt(const MaterialPlan& plan, int group);
const StockGroup* StockGroupAt(const MaterialPlan& plan, int group);

// Length of a piece (item number), 0 when its group is unknown.
int32_t PieceLength(const MaterialPlan& plan, int piece);

// What the exact method minimises once it cuts the greatest length it can:
// the stock length used (cost mode with priced stock: the stock cost), less
// the last stock's remainder (cost mode: the remainder's worth at its bar's
// price per length) when the plan reports a last stock apart. The solver's
// lower bound bounds this figure.
struct ExactObjective {
  bool inCost = false;             // cost units, else length units
  bool lessLastRemainder = false;  // the last stock's remainder is taken off
  bool piecesLeft = false;         // short stock: the greatest cut length comes first
  // The material offers remnants of the remnant store: the figure counts
  // new stock only (the solver prices remnants at 0).
  bool newStockOnly = false;
  int64_t value = 0;             // the plan's figure
  std::optional<int64_t> bound;  // no plan does better; none when the solver has none
};

// The plan's objective figure and the solver's bound on it, both in whole
// units: an objective in whole units (lengths, costs without a remainder's
// worth) has its bound rounded up, a fractional one both rounded down. A
// bound of 0 or less is no bound.
ExactObjective ExactObjectiveOf(const OptimizerSettings& settings, const MaterialPlan& plan);

// How a plan was found, as the plan files name it.
inline constexpr const char* kMethodSearchName = "heuristic";
inline constexpr const char* kMethodExactName = "exact";
const char* MethodName(int32_t method);

// The material's order lines as the plan lists them, in file order.
std::vector<plan::PlanPartGroup> PlanPartGroupsOf(const MaterialPlan& answer);

// The plan of a solved material: the solver's answer with its groups
// turned into the plan that every output reads, once. `calculationMs` is
// the time the solver took; `settings` are those the material was solved with.
plan::MaterialPlan SolvedPlanOf(const OptimizerSettings& settings, const MaterialPlan& answer,
                                int64_t calculationMs);

}  // namespace tarvolin
