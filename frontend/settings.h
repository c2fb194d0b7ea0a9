// The two positional settings files: "QM_Config.txt" with the front end's
// switches and the optimizer settings file with the solver's parameters.
#pragma once

#include <cstdint>
#include <string>

#include "fract.h"
#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

// Line readers of a settings file. Once a line failed every further read
// returns 0 without reading.
class SettingsLineReader {
 public:
  SettingsLineReader(std::string content, const fract::NumberFormat& format)
      : text_(std::move(content)), format_(format) {}

  // An optionally signed whole number followed by a blank, a tab or the line
  // end; the rest of the line is a comment. Empty lines before it are
  // skipped; at the end of the file the value is 0. Out of [lo, hi] fails.
  int IntegerLine(int lo, int hi);
  // A length in length units followed by a blank or tab on the same line,
  // between 0 and 2,000,000,000.
  int32_t LengthLine();

  int errors = 0;

 private:
  int Fail() {
    ++errors;
    return 0;
  }
  void SkipLine();

  std::string text_;
  fract::NumberFormat format_;
  size_t pos_ = 0;
};

// Defaults of the optimizer settings and the fixed solver parameters.
void LoadDefaultOptimizerSettings(OptimizerSettings& settings);

// Reads run.configFile. On a reading error logs it and, with confirmSteps on,
// offers the defaults; returns false when the run was ended.
bool ReadInitialSettings(RunState& run, Toolkit& toolkit);

// Reads run.optSetFile, likewise.
bool ReadOptimizerSettings(RunState& run, Toolkit& toolkit);

}  // namespace tarvolin
