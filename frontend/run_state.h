// The batch run's state: settings, file names, counters and the tables of the
// material being processed. One instance lives for the whole run; the
// per-material part is cleared at the start of every pass.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "batch_records.h"
#include "fract.h"
#include "run_record.h"
#include "text_file.h"  // platform: output files with I/O results

namespace tarvolin {

// Materials one run can tell apart: the order file's materials, checked or
// processed, each taken once.
inline constexpr int kMaxCheckedMaterials = 101;

// Lengths and costs travel as integers in hundredths of the user's unit.
inline constexpr int kLengthPrecision = 2;
inline constexpr int kCostPrecision = 2;

// Everything that belongs to one pass of the material loop: the material's
// plan and the totals the readers keep while they read its groups.
struct MaterialPass : MaterialPlan {
  bool hasMaterial = false;  // the pass has taken a material (MaterialPlan::material)
  int partQuantitySum = 0;
  int64_t partLengthSum = 0;
  int stockQuantitySum = 0;
  int64_t stockLengthSum = 0;
  int64_t stockCostSum = 0;

  // The groups pass one of the layout search's limits, which only the exact
  // method's limits allow: the exact method plans the material alone.
  bool beyondSearch = false;

  int32_t solverError = 0;  // the solver's error number, 0 when the call succeeded
  // The error that stopped this material's reading or solving, as logged;
  // empty when none did.
  std::string failure;
};

// An input file read once for the whole run.
struct LoadedInput {
  std::string path;
  std::string content;
  char exactSeparator = 0;  // a spreadsheet's rows: see DataLineReader
};

// One remnant of the remnant store (remnant_store.h).
struct Remnant {
  std::string id;         // "R00042"
  std::string material;   // the material key: material and profile
  int32_t length = 0;     // length units
  int32_t cost = 0;       // cost units: what its length was worth in its bar
  std::string date;       // the day it was cut, YYYY-MM-DD, or "-"
  std::string orderFile;  // the order file of the run that cut it, or "-"
};

// Run-wide state: one instance for the whole batch run.
struct RunState {
  std::string banner = "Velmora";  // the report's first line
  std::string orderFile, stockFile;
  InitialSettings init;
  OptimizerSettings opt;
  fract::NumberFormat format;  // how lengths and costs are read and written

  std::string configFile = "QM_Config.txt";
  std::string errorLogFile = "QM^ErrLog.txt";
  std::string warningLogFile = "QM^WrnLog.txt";
  std::string optSetFile, reportFile, labelsFile;
  std::string layoutsFile, planFile;  // empty when the file is not written
  std::string cutListFile;            // likewise
  std::string remnantsFile;           // the remnant store; empty when it is not kept
  std::string printFile;              // labels printed into this file (--print-pdf), or empty
  std::string inputExtension = ".txt";

  int processed = 0;             // materials solved or being solved
  int errorsLogged = 0;          // LogError calls; a run with errors ends with a failure status
  bool finished = false;         // FinishRun has run (or there was nothing to finish)
  bool secondInstance = false;   // another instance holds the logs of this directory
  bool logLost = false;          // a log could not be written; the run fails
  bool defaultsOnError = false;  // a settings file that fails is replaced by the defaults unasked
  int checked = 0;               // entries of checkedMaterials
  std::array<std::string, kMaxCheckedMaterials + 1> checkedMaterials{};  // 1..checked

  TextOutFile report, labels;        // each keeps its own error counter
  TextOutFile errorLog, warningLog;  // open for the whole run

  std::vector<LoadedInput> inputs;  // the order and stock files' contents
  std::vector<Remnant> remnants;    // the remnant store's, offered as stock

  MaterialPass pass;
};

// The run as the report and label writers see it, made afresh from the run's
// settings for every write so that it never lags behind them.
RunRecord RunRecordOf(const RunState& run);

}  // namespace tarvolin
