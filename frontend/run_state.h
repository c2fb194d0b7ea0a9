// The batch run's state: settings, file names, counters and the tables of the
// material being processed. One instance lives for the whole run; the
// per-material part is cleared at the start of every pass.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "fract.h"
#include "text_file.h"  // platform: output files with I/O results

namespace tarvolin {

inline constexpr int kMaxPartGroups = 20;
inline constexpr int kMaxStockGroups = 10;
inline constexpr int kMaxItems = 100;
inline constexpr int kMaxCheckedMaterials = 101;
inline constexpr int kMaterialKeyChars = 32;
inline constexpr int kMarkChars = 16;
inline constexpr int kSourceLineChars = 254;

// Lengths and costs travel as integers in hundredths of the user's unit.
inline constexpr int kLengthPrecision = 2;
inline constexpr int kCostPrecision = 2;

inline constexpr const char* kMaterialHeader = "Mater/Sect";
inline constexpr const char* kUndefinedMaterial = "?UnDefined?";
inline constexpr int32_t kStockTrailer = 555;
inline constexpr int32_t kPartTrailer = 777;
inline constexpr int32_t kResultTrailer = 1332;

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
  int labelPrintMode = 0;  // 0 no printed labels, 1 or 2 the label layout
};

// Optimizer settings as handed to the solver (lengths in length units).
struct OptimizerSettings {
  int32_t optimizeCost = 0;  // 1: the cheapest stock instead of the least waste
  int32_t ignoreLastStock = 1;
  int32_t stockLengthPreference = 0;  // -5 shorter .. +5 longer stocks
  int32_t reduceLayouts = 1;
  int32_t effortLevel = 5;
  int32_t maxDifferentStocks = 0;
  // Different pieces in one layout, 0 unlimited; -2 and below: no such limit,
  // a stock/cut bundle of that many bars instead.
  int32_t maxDifferentPieces = 0;
  int32_t minReusableLength = 0;
  int32_t kerf = 0;        // saw blade thickness
  int32_t endZone = 0;     // non-usable length at the bar end
  int32_t gripLength = 0;  // usable gripping length at the bar end
  int32_t timeLimitSeconds = 0;
  int32_t iterationMultiplier = 20;
  int32_t layoutsByMark = 0;
  int32_t maxPiecesPerLayout = 0;
};

// One accepted order line of the current material.
struct PartGroup {
  int32_t length = 0;
  int32_t markId = 0;
  int16_t quantity = 0;
  std::string mark;         // at most kMarkChars characters
  std::string materialKey;  // at most kMaterialKeyChars characters
  std::string sourceLine;   // at most kSourceLineChars characters
};

// One accepted stock line of the current material.
struct StockGroup {
  int32_t length = 0;
  int32_t cost = 0;
  int16_t quantity = 0;
  std::string materialKey;
  std::string sourceLine;
};

// Scalar result cells and result arrays of one solver call. The arrays hold
// the item count in slot 0, one value per item and a marker slot.
struct SolverResults {
  int32_t criterion = 0;
  int32_t utilization = 0;  // thousandths of a percent
  int32_t stockUsed = 0, partsCut = 0, lengthUsed = 0, wasteSum = 0, costUsed = 0;
  // The last stock, when the solver reports it apart from the rest.
  int32_t lastStock = 0, lastParts = 0, lastLengthUsed = 0, lastWaste = 0, lastCost = 0;
  int32_t patternCount = 0, layoutCount = 0, layoutCuts = 0, reserved1 = 0, reserved2 = 0;
  std::array<int16_t, 102> stockItemGroup{}, partItemGroup{}, partItemStock{}, stockItemLayout{},
      stockItemPattern{}, stockItemParts{};
  std::array<int32_t, 102> stockItemWaste{};
  int partItemCount = 0;   // slot 0 of partItemStock
  int stockItemCount = 0;  // slot 0 of stockItemLayout
};

// Everything that belongs to one pass of the material loop.
struct MaterialPass {
  int partGroupCount = 0;
  std::array<PartGroup, kMaxPartGroups + 2> partGroups{};  // 1..n
  int stockGroupCount = 0;
  std::array<StockGroup, kMaxStockGroups + 2> stockGroups{};  // 1..n

  // Solver input arrays: [0] = n, [1..n] groups, [n+1] trailer.
  std::array<int32_t, kMaxPartGroups + 2> PartGrLth{}, PartGrMrkID{};
  std::array<int16_t, kMaxPartGroups + 2> PartGrQty{};
  std::array<int32_t, kMaxStockGroups + 2> StockGrLth{}, StockGrCst{};
  std::array<int16_t, kMaxStockGroups + 2> StockGrQty{};

  int partQuantitySum = 0;
  int64_t partLengthSum = 0;
  int stockQuantitySum = 0;
  int64_t stockLengthSum = 0;
  int64_t stockCostSum = 0;

  int32_t solverError = 0;
  SolverResults results;
  std::array<int16_t, kMaxItems + 2> pieceOrder{};  // 1..piece count, item numbers
  double solverStartMs = 0;                         // solver clock at the call
};

// Run-wide state: one instance for the whole batch run.
struct RunState {
  std::string configFile = "QM_Config.txt";
  std::string errorLogFile = "QM^ErrLog.txt";
  std::string warningLogFile = "QM^WrnLog.txt";
  std::string optSetFile, orderFile, stockFile, reportFile, labelsFile = "LabelsFN";
  std::string inputExtension = ".txt";
  std::string banner = "Velmora";

  InitialSettings init;
  OptimizerSettings opt;
  fract::NumberFormat format;

  int processed = 0;            // materials solved or being solved
  int errorsLogged = 0;         // LogError calls; a run with errors ends with a failure status
  bool finished = false;        // FinishRun has run (or there was nothing to finish)
  bool secondInstance = false;  // another instance holds the logs of this directory
  int checked = 0;              // entries of checkedMaterials
  std::array<std::string, kMaxCheckedMaterials + 1> checkedMaterials{};  // 1..checked
  std::string currentMaterial = kUndefinedMaterial;

  TextOutFile report, labels;        // each keeps its own error counter
  TextOutFile errorLog, warningLog;  // open for the whole run

  MaterialPass pass;
};

}  // namespace tarvolin
