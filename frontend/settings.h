// The two positional settings files: "QM_Config.txt" with the front end's
// switches and the optimizer settings file with the solver's parameters.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "fract.h"
#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

// One line of a settings file: the name the documents and the example
// files give it (empty for a line that is only range-checked), its range,
// and whether it holds a length (range in length units) rather than a
// whole number.
struct SettingsLine {
  const char* name;
  int32_t low;
  int32_t high;
  bool length = false;
};

// The lines of "QM_Config.txt" and of the optimizer settings file, the
// first line at index 0. The readers take their ranges from these tables.
std::span<const SettingsLine> InitialSettingsLines();
std::span<const SettingsLine> OptimizerSettingsLines();

// Line readers of a settings file. Once a line failed every further read
// returns 0 without reading.
class SettingsLineReader {
 public:
  SettingsLineReader(std::string content, const fract::NumberFormat& format);

  // An optionally signed whole number followed by a blank, a tab or the line
  // end; the rest of the line is a comment. Empty lines before it are
  // skipped; at the end of the file the value is 0. Out of [lo, hi] fails.
  int IntegerLine(int lo, int hi);
  // A length in length units, alone on its line or followed by a blank or
  // tab and a comment, between 0 and `high` (2,000,000,000 by default).
  int32_t LengthLine(int32_t high = kMaxSettingsLength);
  // The line as the table describes it.
  int32_t Line(const SettingsLine& line);

  // The largest length of a length line.
  static constexpr int32_t kMaxSettingsLength = 2000000000;

  // Counts a failure that is not tied to a line, such as an unreadable file.
  void FailFile(std::string reason);

  int errors = 0;
  // Where and why the first failure happened: its 1-based line (0 when the
  // failure has no line) and a short reason.
  int failedLine = 0;
  std::string failReason;

  // "See line: N (reason)", or the reason alone when no line is known.
  std::string FailureText() const;

 private:
  int Fail(std::string reason);
  int LineAt(size_t pos) const;
  void SkipLine();

  std::string text_;
  // A file with carriage returns but no line feed holds one line to this
  // reader: its failure says that its line ends are not recognised.
  bool bareCarriageReturns_ = false;
  fract::NumberFormat format_;
  size_t pos_ = 0;
  size_t valueAt_ = 0;  // where the value being read starts
};

// Defaults of the optimizer settings and the fixed solver parameters.
void LoadDefaultOptimizerSettings(OptimizerSettings& settings);

// Reads run.configFile. On a reading error logs it with the failing line
// and goes on with the defaults when run.defaultsOnError is set; otherwise,
// with confirmSteps on, offers them to the operator (an offer that a
// standing "yes" to confirmations does not answer). Returns false when the
// run was ended.
bool ReadInitialSettings(RunState& run, Toolkit& toolkit);

// Reads run.optSetFile, likewise.
bool ReadOptimizerSettings(RunState& run, Toolkit& toolkit);

}  // namespace tarvolin
