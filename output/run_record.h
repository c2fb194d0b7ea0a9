// The run as the report and label writers see it: the banner and input files
// the report names, the report's layout switches, the optimizer settings its
// heading prints and how numbers are written. The batch run fills it from its
// own settings; the writers read nothing else of the run.
#pragma once

#include <cstdint>
#include <string>

#include "fract.h"

namespace tarvolin {

// The word that names a material in messages and in the report.
inline constexpr const char* kMaterialHeader = "Mater/Sect";

// How the report lays out a material's section.
struct ReportStyle {
  bool totals = false;          // the totals and the table header above the layouts
  bool materialColumn = false;  // a column with the material in front of every layout
  int partsMode = 0;            // 0 piece lengths in the layout row, 1 a line per piece
  bool costs = false;           // the cost column and the total cost
  int materialColumnWidth = 0;
  int numberColumnWidth = 0;
};

// The optimizer settings the report's heading prints (lengths in length
// units).
struct ReportedSettings {
  int32_t optimizeCost = 0;
  int32_t ignoreLastStock = 0;
  int32_t stockLengthPreference = 0;
  int32_t reduceLayouts = 0;
  int32_t effortLevel = 0;
  int32_t maxDifferentStocks = 0;
  int32_t maxDifferentPieces = 0;
  int32_t bundleSize = 0;
  int32_t maxPiecesPerLayout = 0;
  int32_t minReusableLength = 0;
  int32_t kerf = 0;
  int32_t endZone = 0;       // printed when there is no gripping length
  int32_t gripLength = 0;    // printed when above 0
  bool exactMethod = false;  // the run asked for the exact method
};

struct RunRecord {
  std::string banner;
  std::string orderFile, stockFile;
  ReportStyle style;
  ReportedSettings settings;
  fract::NumberFormat format;
};

}  // namespace tarvolin
