#include "settings.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "fract.h"
#include "input_text.h"
#include "logs.h"
#include "tarvolin/limits.h"

namespace tarvolin {

namespace {

// A settings length is at most what a whole plan's total may reach.
constexpr int32_t kLengthLimit = TARVOLIN_MAX_SUM;
// The value of the last line of both settings files: a file that ends early
// or whose lines are out of step fails on it.
constexpr int kEndMarker = 555;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Goes on with defaults after a reading error when the command line said
// so or the operator agrees; ends the run otherwise.
bool OfferDefaults(RunState& run, Toolkit& toolkit, const char* question) {
  if (run.defaultsOnError) return true;
  if (run.init.confirmSteps && toolkit.AskOperator(question, BoxButtons::OkCancel) == BoxResult::Ok)
    return true;
  FinishRun(run, toolkit, false, "");
  return false;
}

}  // namespace

int SettingsLineReader::Fail(std::string reason) {
  if (errors++ == 0) {
    failedLine = LineAt(valueAt_);
    failReason = std::move(reason);
  }
  return 0;
}

void SettingsLineReader::FailFile(std::string reason) {
  if (errors++ == 0) failReason = std::move(reason);
}

int SettingsLineReader::LineAt(size_t pos) const {
  const auto end = text_.begin() + static_cast<std::ptrdiff_t>(std::min(pos, text_.size()));
  return 1 + static_cast<int>(std::count(text_.begin(), end, '\n'));
}

std::string SettingsLineReader::FailureText() const {
  if (failedLine == 0) return failReason;
  return "See line: " + std::to_string(failedLine) + " (" + failReason + ")";
}

void SettingsLineReader::SkipLine() {
  const size_t end = text_.find('\n', pos_);
  pos_ = end == std::string::npos ? text_.size() : end + 1;
}

int SettingsLineReader::IntegerLine(int lo, int hi) {
  if (errors > 0) return 0;
  while (pos_ < text_.size() && IsBlankOrControl(text_[pos_])) ++pos_;
  valueAt_ = pos_;
  const std::string range = std::to_string(lo) + ".." + std::to_string(hi);
  int64_t value = 0;
  if (pos_ < text_.size()) {
    bool negative = false;
    if (text_[pos_] == '+' || text_[pos_] == '-') negative = text_[pos_++] == '-';
    if (pos_ >= text_.size() || !IsDigit(text_[pos_])) return Fail("not a whole number " + range);
    while (pos_ < text_.size() && IsDigit(text_[pos_])) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > INT32_MAX) return Fail("out of range " + range);
    }
    if (pos_ < text_.size()) {
      const char next = text_[pos_];
      if (next != ' ' && next != '\t' && next != '\r' && next != '\n')
        return Fail("not a whole number " + range);
    }
    if (negative) value = -value;
    SkipLine();
  } else if (lo > 0 || hi < 0) {
    return Fail(lo == kEndMarker ? "the file ends before the end marker 555"
                                 : "the file ends early");
  }
  if (value < lo || value > hi) {
    return Fail(lo == kEndMarker && hi == kEndMarker ? "not the end marker 555"
                                                     : "out of range " + range);
  }
  return static_cast<int>(value);
}

int32_t SettingsLineReader::LengthLine() {
  if (errors > 0) return 0;
  valueAt_ = pos_;
  const size_t end = std::min(text_.find('\n', pos_), text_.size());
  std::string_view line(text_.data() + pos_, end - pos_);
  pos_ = end < text_.size() ? end + 1 : end;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  size_t start = 0;
  while (start < line.size() && IsBlankOrControl(line[start])) ++start;
  line.remove_prefix(start);
  if (line.empty()) return Fail("no length");
  const size_t stop = std::min(line.find_first_of(" \t"), line.size());
  int parseErrors = 0;
  const int32_t value = fract::ParseLengthUnits(line.substr(0, stop), format_, parseErrors);
  if (parseErrors > 0 || value < 0 || value > kLengthLimit)
    return Fail("not a length of 0 or more");
  return value;
}

void LoadDefaultOptimizerSettings(OptimizerSettings& settings) {
  settings = OptimizerSettings{};
}

bool ReadInitialSettings(RunState& run, Toolkit& toolkit) {
  std::string content;
  const bool readable = ReadWholeFile(run.configFile, content) == 0;
  SettingsLineReader reader(std::move(content), run.format);
  if (!readable) reader.FailFile("The file cannot be read: " + run.configFile);

  // Ranges of lines 1..22 (element 0 unused); line 22 is the end marker.
  static constexpr int kLow[23] = {0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0,         0,
                                   0, 0, 0, 8, 6, 0, 0, -9, 0, 0, kEndMarker};
  static constexpr int kHigh[23] = {0, 1, 1, 1,  1,  2, 1, 1, 1, 1, 1,         1,
                                    1, 1, 1, 32, 24, 1, 2, 9, 1, 1, kEndMarker};
  std::array<int, 23> v{};
  for (int line = 1; line <= 22; ++line) v[line] = reader.IntegerLine(kLow[line], kHigh[line]);

  if (reader.errors > 0) {
    LogError(run, toolkit, "Initial Settings (Config) file reading error\r" + reader.FailureText());
    return OfferDefaults(run, toolkit, "Load default Initial Settings and go?");
  }
  InitialSettings& s = run.init;
  s.showWindow = v[1] > 0;
  s.askInputFiles = v[2] > 0;
  s.confirmSteps = v[3] > 0;
  s.showMessages = v[4] > 0;
  s.progressWindowMode = v[5];
  s.writeCutList = v[7] > 0;
  s.reportFrame = v[8] > 0;
  s.reportTotals = v[9] > 0;
  s.reportMaterialColumn = v[10] > 0;
  s.reportPartsMode = std::min(v[11], 1);
  s.reportCosts = v[12] > 0;
  s.writeLayoutsFile = v[13] > 0;
  s.writePlanFile = v[14] > 0;
  s.materialColumnWidth = v[15];
  s.numberColumnWidth = v[16];
  s.writeLabelsFile = v[17] > 0;
  s.labelPrintMode = v[18];
  s.continueAfterError = v[20] > 0;
  return true;
}

bool ReadOptimizerSettings(RunState& run, Toolkit& toolkit) {
  std::string content;
  const bool readable = ReadWholeFile(run.optSetFile, content) == 0;
  SettingsLineReader r(std::move(content), run.format);
  OptimizerSettings& o = run.opt;
  if (readable) {
    o.optimizeCost = r.IntegerLine(0, 1);
    o.ignoreLastStock = r.IntegerLine(0, 1);
    o.stockLengthPreference = r.IntegerLine(-5, 5);
    o.reduceLayouts = r.IntegerLine(0, 6);
    o.effortLevel = r.IntegerLine(0, 10);
    o.maxDifferentStocks = r.IntegerLine(0, 10);
    o.maxDifferentPieces = r.IntegerLine(0, 100);
    o.minReusableLength = r.LengthLine();
    o.kerf = r.LengthLine();
    const int32_t endLength = r.LengthLine();
    if (r.IntegerLine(0, 1) > 0) {  // the end length is a non-usable end zone
      o.endZone = endLength;
      o.gripLength = 0;
    } else {  // the end length is a usable gripping length
      o.gripLength = endLength;
      o.endZone = 0;
    }
    o.maxPiecesPerLayout = r.IntegerLine(0, 100);
    const int bundle = r.IntegerLine(0, 100);
    if (bundle > 0) o.maxDifferentPieces = -bundle;
    o.method = r.IntegerLine(0, 100);
    o.exactTimeLimitSeconds = r.IntegerLine(0, 100);
    r.IntegerLine(0, 100);  // range-checked only
    r.IntegerLine(kEndMarker, kEndMarker);
  } else {
    r.FailFile("The file cannot be read: " + run.optSetFile);
  }
  o.timeLimitSeconds = 0;
  o.iterationMultiplier = 20;
  o.layoutsByMark = 0;

  if (r.errors > 0) {
    LogError(run, toolkit, "Optimizer Settings file reading error\r" + r.FailureText());
    if (!OfferDefaults(run, toolkit, "Load default Optimizer Settings and go?")) return false;
    LoadDefaultOptimizerSettings(run.opt);
  }
  if (o.method != kMethodSearch && o.method != kMethodExact) {
    LogWarning(run, toolkit,
               "Unknown solution method " + std::to_string(o.method) + ": the search is used");
    o.method = kMethodSearch;
  }
  if (o.method == kMethodExact && o.maxDifferentPieces < -1) {
    LogWarning(run, toolkit, "Exact method does not cut stock bundles: the search is used");
    o.method = kMethodSearch;
  }
  return true;
}

}  // namespace tarvolin
