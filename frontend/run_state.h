// The batch run's state: settings, file names, counters and the tables of the
// material being processed. One instance lives for the whole run; the
// per-material part is cleared at the start of every pass.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "text_file.h"  // platform: output files with I/O results

namespace tarvolin {

inline constexpr int kMaxPartGroups = 20;
inline constexpr int kMaxStockGroups = 10;
inline constexpr int kMaxItems = 100;
inline constexpr int kMaxCheckedMaterials = 101;
inline constexpr int kMaterialKeyChars = 32;
inline constexpr int kMarkChars = 16;
inline constexpr int kSourceLineChars = 254;

inline constexpr const char* kMaterialHeader = "Mater/Sect";
inline constexpr const char* kUndefinedMaterial = "?UnDefined?";
inline constexpr int32_t kStockTrailer = 555;
inline constexpr int32_t kPartTrailer = 777;
inline constexpr int32_t kResultTrailer = 1332;

// Switches of the initial settings file, with their defaults.
struct InitialSettings {
  bool ShowWindow = true;
  bool AskInputFiles = false;
  bool ConfirmSteps = true;
  bool ShowMessages = true;
  int RunMsgMode = 1;
  bool ReportFrame = true;
  bool ReportTotals = true;
  bool ReportMaterialColumn = true;
  int ReportPartsMode = 0;
  bool ReportCosts = false;
  int MaterialColumnWidth = 18;
  int NumberColumnWidth = 8;
  bool LabelsFile = false;
  int PrintLabels = 0;
};

// Optimizer settings as handed to the solver (lengths in length units).
struct OptimizerSettings {
  int32_t CostOptim = 0;
  int32_t IgnoreLast = 1;
  int32_t PrefShort = 0;
  int32_t ReduceLays = 1;
  int32_t EffortLev = 5;
  int32_t DiffStocks = 0;
  int32_t DiffPieces = 0;
  int32_t MinReusable = 0;
  int32_t GapItIt = 0;
  int32_t GapItEnd = 0;
  int32_t GapGripEnd = 0;
  int32_t OptimTime = 0;
  int32_t IterMult = 20;
  int32_t LayByMark = 0;
  int32_t MaxPieces = 0;
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

// Scalar result cells and result arrays of one solver call.
struct SolverResults {
  int32_t CritValue = 0, UtilRate = 0, StockUsed = 0, PartsCut = 0, LthUsed = 0, WasteSum = 0,
          CostUsed = 0, LastStock = 0, LastParts = 0, LastLthUsed = 0, LastWaste = 0, LastCost = 0,
          PatternNum = 0, LayoutNum = 0, LayoutCuts = 0, Reserved1 = 0, Reserved2 = 0;
  std::array<int16_t, 102> StockItGr{}, PartItGr{}, PartItStock{}, StockItLay{}, StockItPat{},
      StockItParts{};
  std::array<int32_t, 102> StockItWaste{};
  int partItemCount = 0;   // slot 0 of PartItStock
  int stockItemCount = 0;  // slot 0 of StockItLay
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

  int partQtySum = 0;
  int64_t partLthSum = 0;
  int stockQtySum = 0;
  int64_t stockLthSum = 0;
  int64_t stockCostSum = 0;

  int32_t ErrorNumb = 0;
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
