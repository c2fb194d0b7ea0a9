#include "settings.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "fract.h"
#include "input_text.h"
#include "logs.h"
#include "output_text.h"
#include "tarvolin/limits.h"

namespace tarvolin {

namespace {

// A settings length is at most what a whole plan's total may reach.
static_assert(SettingsLineReader::kMaxSettingsLength == TARVOLIN_MAX_SUM);
constexpr int32_t kLengthLimit = TARVOLIN_MAX_SUM;
// The saw kerf is added to every piece and every bar: the kerfs of a
// material's 100 pieces alone must not pass a total's limit.
constexpr int32_t kKerfLimit = TARVOLIN_MAX_SUM / TARVOLIN_MAX_ITEMS;
// The value of the last line of both settings files: a file that ends early
// or whose lines are out of step fails on it.
constexpr int kEndMarker = 555;

constexpr SettingsLine kInitialLines[] = {
    {"ShowWindow", 0, 1},
    {"AskInputFiles", 0, 1},
    {"ConfirmSteps", 0, 1},
    {"ShowMessages", 0, 1},
    {"RunMsgMode", 0, 2},
    {"", 0, 1},
    {"CutList", 0, 1},
    {"ReportFrame", 0, 1},
    {"ReportTotals", 0, 1},
    {"ReportMaterialColumn", 0, 1},
    {"ReportPartsMode", 0, 1},
    {"ReportCosts", 0, 1},
    {"LayoutsFile", 0, 1},
    {"PlanFile", 0, 1},
    {"MaterialColumnWidth", 8, 32},
    {"NumberColumnWidth", 6, 24},
    {"LabelsFile", 0, 1},
    {"PrintLabels", 0, 2},
    {"Remnants", -9, 9},
    {"ContinueAfterError", 0, 1},
    {"LabelBarcode", 0, 2},
    {"end marker", kEndMarker, kEndMarker},
};

constexpr SettingsLine kOptimizerLines[] = {
    {"CostOptim", 0, 1},
    {"IgnoreLast", 0, 1},
    {"PrefShort", -5, 5},
    {"ReduceLays", 0, 6},
    {"EffortLev", 0, 10},
    {"DiffStocks", 0, 10},
    {"DiffPieces", 0, 100},
    {"MinReusable", 0, kLengthLimit, true},
    {"GapItIt", 0, kKerfLimit, true},
    {"EndLength", 0, kLengthLimit, true},
    {"EndZoneKind", 0, 1},
    {"MaxPieces", 0, 100},
    {"BundleSize", 0, 100},
    {"Method", 0, 100},
    {"ExactTime", 0, 100},
    {"", 0, 100},
    {"end marker", kEndMarker, kEndMarker},
};

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

std::span<const SettingsLine> InitialSettingsLines() {
  return kInitialLines;
}

std::span<const SettingsLine> OptimizerSettingsLines() {
  return kOptimizerLines;
}

SettingsLineReader::SettingsLineReader(std::string content, const fract::NumberFormat& format)
    : text_(std::move(content)),
      bareCarriageReturns_(text_.find('\n') == std::string::npos &&
                           text_.find('\r') != std::string::npos),
      format_(format) {}

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
  if (bareCarriageReturns_) {
    return "The line ends are not recognised: the lines end with a carriage return (CR)"
           " alone; use CR LF or LF";
  }
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

int32_t SettingsLineReader::Line(const SettingsLine& line) {
  return line.length ? LengthLine(line.high) : IntegerLine(line.low, line.high);
}

int32_t SettingsLineReader::LengthLine(int32_t high) {
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
  if (value > high) {
    return Fail("above " + output_text::LengthText(high, format_) + ": the kerfs of " +
                std::to_string(TARVOLIN_MAX_ITEMS) + " pieces would pass the limit of a total");
  }
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

  // v[n] is line n; line 22 is the end marker.
  std::array<int, std::size(kInitialLines) + 1> v{};
  for (size_t line = 1; line < v.size(); ++line) v[line] = reader.Line(kInitialLines[line - 1]);

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
  // The line took -9..9 before it had a meaning: other values than 0 and 1
  // still read, and mean off.
  s.keepRemnants = v[19] == 1;
  if (v[19] != 0 && v[19] != 1) {
    LogWarning(run, toolkit,
               "Remnants (line 19 of " + run.configFile + ") is " + std::to_string(v[19]) +
                   ": only 0 (off) and 1 (on) are known; the remnant store stays off");
  }
  s.continueAfterError = v[20] > 0;
  s.labelBarcode = v[21];
  return true;
}

bool ReadOptimizerSettings(RunState& run, Toolkit& toolkit) {
  std::string content;
  const bool readable = ReadWholeFile(run.optSetFile, content) == 0;
  SettingsLineReader r(std::move(content), run.format);
  OptimizerSettings& o = run.opt;
  if (readable) {
    // v[n] is line n; line 17 is the end marker, line 16 range-checked only.
    std::array<int32_t, std::size(kOptimizerLines) + 1> v{};
    for (size_t line = 1; line < v.size(); ++line) v[line] = r.Line(kOptimizerLines[line - 1]);
    o.optimizeCost = v[1];
    o.ignoreLastStock = v[2];
    o.stockLengthPreference = v[3];
    o.reduceLayouts = v[4];
    o.effortLevel = v[5];
    o.maxDifferentStocks = v[6];
    o.maxDifferentPieces = v[7];
    o.minReusableLength = v[8];
    o.kerf = v[9];
    if (v[11] > 0) {  // the end length is a non-usable end zone
      o.endZone = v[10];
      o.gripLength = 0;
    } else {  // the end length is a usable gripping length
      o.gripLength = v[10];
      o.endZone = 0;
    }
    o.maxPiecesPerLayout = v[12];
    o.bundleSize = v[13];
    if (o.bundleSize > 0) o.maxDifferentPieces = 0;  // a bundle replaces the limit
    o.method = v[14];
    o.exactTimeLimitSeconds = v[15];
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
  if (o.method == kMethodExact && CutsBundles(o)) {
    LogWarning(run, toolkit, "Exact method does not cut stock bundles: the search is used");
    o.method = kMethodSearch;
  }
  return true;
}

}  // namespace tarvolin
