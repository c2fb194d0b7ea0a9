#include "plan_json.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

namespace tarvolin::plan {

namespace {

using Json = nlohmann::ordered_json;

// units / scale as a JSON number: an integer when the division is exact,
// otherwise the nearest double, which the writer prints in its shortest form
// (1250.5 for 125050 at a scale of 100, never 1250.4999999).
Json ScaledNumber(int64_t units, int32_t scale) {
  if (scale <= 1) return units;
  if (units % scale == 0) return units / scale;
  return static_cast<double>(units) / scale;
}

Json Length(const NumberForm& form, int64_t units) {
  return ScaledNumber(units, form.lengthScale);
}

Json Cost(const NumberForm& form, int64_t units) {
  return ScaledNumber(units, form.costScale);
}

Json OrNull(const std::optional<int>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json TextOrNull(const std::string& text) {
  return text.empty() ? Json(nullptr) : Json(text);
}

Json LineOrNull(int line) {
  return line > 0 ? Json(line) : Json(nullptr);
}

const char* RunEndName(RunEnd end) {
  switch (end) {
    case RunEnd::kRunning:
      return "running";
    case RunEnd::kCompleted:
      return "completed";
    case RunEnd::kEndedByError:
      return "ended_by_error";
    case RunEnd::kInterrupted:
      return "interrupted";
  }
  return "running";
}

const char* ErrorKindName(PlanError::Kind kind) {
  switch (kind) {
    case PlanError::Kind::kSolver:
      return "solver";
    case PlanError::Kind::kNoStock:
      return "no_stock";
    case PlanError::Kind::kOther:
      return "other";
  }
  return "other";
}

Json SettingValue(const NumberForm& form, const PlanSetting& s) {
  switch (s.kind) {
    case PlanSetting::Kind::kInteger:
      return s.value;
    case PlanSetting::Kind::kSwitch:
      return s.value != 0;
    case PlanSetting::Kind::kLength:
      return Length(form, s.value);
    case PlanSetting::Kind::kCost:
      return Cost(form, s.value);
    case PlanSetting::Kind::kText:
      return s.text;
  }
  return nullptr;
}

Json PieceJson(const NumberForm& form, const PlanPiece& p) {
  return {{"length", Length(form, p.length)},
          {"mark", TextOrNull(p.mark)},
          {"order_line", LineOrNull(p.orderLine)}};
}

Json BoundJson(const NumberForm& form, const PlanBound& b) {
  if (!b.bars && !b.stockLength && !b.cost) return nullptr;
  return {{"bars", OrNull(b.bars)},
          {"stock_length", b.stockLength ? Length(form, *b.stockLength) : Json(nullptr)},
          {"cost", b.cost ? Cost(form, *b.cost) : Json(nullptr)}};
}

Json ResultsJson(const NumberForm& form, const MaterialPlan& m) {
  const PlanFigures& f = m.figures;
  return {{"pieces", f.pieces},
          {"pieces_left", f.piecesLeft},
          {"bars_used", f.barsUsed},
          {"stock_length_used", Length(form, f.stockLengthUsed)},
          {"waste", Length(form, f.waste)},
          {"utilisation", ScaledNumber(f.utilRate, 1000)},
          {"cost", Cost(form, f.cost)},
          {"different_layouts", f.differentLayouts},
          {"layout_cuts", f.layoutCuts},
          {"calculation_ms", m.calculationMs},
          {"lower_bound", BoundJson(form, m.bound)},
          {"proven_optimal", m.bound.provenOptimal ? Json(*m.bound.provenOptimal) : Json(nullptr)}};
}

Json LayoutJson(const NumberForm& form, const PlanLayout& l) {
  Json pieces = Json::array();
  for (const PlanPiece& p : l.pieces) pieces.push_back(PieceJson(form, p));
  return {{"number", l.number},
          {"layout_number", l.layoutNumber},
          {"last_stock", l.lastStock},
          {"bar_count", l.barCount},
          {"stock_length", Length(form, l.stockLength)},
          {"stock_cost", Cost(form, l.stockCost)},
          {"waste", Length(form, l.waste)},
          {"remainder", Length(form, l.remainder)},
          {"reusable", l.reusable},
          {"pieces", std::move(pieces)},
          {"bars", l.bars}};
}

Json BarJson(const NumberForm& form, const PlanBar& b) {
  return {{"number", b.number},
          {"stock_item", b.stockItem},
          {"layout", b.layoutIndex},
          {"stock_length", Length(form, b.stockLength)},
          {"stock_cost", Cost(form, b.stockCost)},
          {"waste", Length(form, b.waste)}};
}

Json MaterialJson(const NumberForm& form, const MaterialPlan& m) {
  Json out = {{"key", m.materialKey}, {"method", m.method}};
  if (m.error) {
    out["status"] = "failed";
    out["error"] = {{"kind", ErrorKindName(m.error->kind)},
                    {"number", OrNull(m.error->number)},
                    {"text", m.error->text}};
  } else {
    out["status"] = "solved";
    out["results"] = ResultsJson(form, m);
    Json layouts = Json::array();
    for (const PlanLayout& l : m.layouts) layouts.push_back(LayoutJson(form, l));
    out["layouts"] = std::move(layouts);
    Json bars = Json::array();
    for (const PlanBar& b : m.bars) bars.push_back(BarJson(form, b));
    out["bars"] = std::move(bars);
  }
  Json pieces = Json::array();
  for (const OrderedPiece& p : m.pieces) {
    Json piece = PieceJson(form, p.piece);
    piece["bar"] = OrNull(p.bar);
    pieces.push_back(std::move(piece));
  }
  out["pieces"] = std::move(pieces);
  return out;
}

std::string SystemError(const char* what, const std::string& path) {
  return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string MaterialJsonText(const NumberForm& numbers, const MaterialPlan& material) {
  // The list's items stand four blanks in: every line of the item's own
  // text moves in by that much (strings hold no raw line ends).
  const std::string text =
      MaterialJson(numbers, material).dump(2, ' ', false, Json::error_handler_t::replace);
  std::string indented = "    ";
  indented.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    indented += c;
    if (c == '\n') indented += "    ";
  }
  return indented;
}

std::string PlanJsonFromTexts(const PlanRun& run, const std::vector<std::string>& materialTexts) {
  const NumberForm& form = run.numbers;
  Json settings = Json::object();
  for (const PlanSetting& s : run.settings) settings[s.name] = SettingValue(form, s);

  const Json doc = {
      {"format", kPlanFormat},
      {"version", kPlanFormatVersion},
      {"program", {{"name", "Tarvolin"}, {"version", run.programVersion}}},
      {"date", run.isoDate},
      {"run_end", RunEndName(run.end)},
      {"files",
       {{"order", run.orderFile}, {"stock", run.stockFile}, {"settings", run.settingsFile}}},
      {"units", {{"length_scale", form.lengthScale}, {"cost_scale", form.costScale}}},
      {"settings", std::move(settings)},
      {"materials", Json::array()},
  };
  // The materials come last: their empty list closes the document, and
  // their texts take its place.
  std::string text = doc.dump(2, ' ', false, Json::error_handler_t::replace);
  if (!materialTexts.empty()) {
    constexpr std::string_view kEmptyEnd = "[]\n}";
    text.resize(text.size() - kEmptyEnd.size());
    text += "[\n";
    for (size_t i = 0; i < materialTexts.size(); ++i) {
      if (i > 0) text += ",\n";
      text += materialTexts[i];
    }
    text += "\n  ]\n}";
  }
  return text + "\n";
}

std::string PlanJsonText(const PlanRun& run, const std::vector<MaterialPlan>& materials) {
  std::vector<std::string> texts;
  for (const MaterialPlan& m : materials) texts.push_back(MaterialJsonText(run.numbers, m));
  return PlanJsonFromTexts(run, texts);
}

std::string WriteFileAtomically(const std::string& path, const std::string& text) {
  const std::string temp = path + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return SystemError("cannot create", temp);
  std::string error;
  size_t done = 0;
  while (done < text.size() && error.empty()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      error = SystemError("cannot write", temp);
    else
      done += static_cast<size_t>(n);
  }
  if (error.empty() && ::fsync(fd) != 0) error = SystemError("cannot flush", temp);
  if (::close(fd) != 0 && error.empty()) error = SystemError("cannot close", temp);
  if (error.empty() && std::rename(temp.c_str(), path.c_str()) != 0)
    error = SystemError("cannot rename to", path);
  if (!error.empty()) std::remove(temp.c_str());
  return error;
}

PlanDocument::PlanDocument(std::string path, PlanRun run)
    : path_(std::move(path)), run_(std::move(run)) {}

bool PlanDocument::Start() {
  return Write();
}

bool PlanDocument::Add(const MaterialPlan& material) {
  materialTexts_.push_back(MaterialJsonText(run_.numbers, material));
  return Write();
}

bool PlanDocument::Finish(RunEnd end) {
  run_.end = end;
  return Write();
}

bool PlanDocument::Write() {
  lastError_ = WriteFileAtomically(path_, PlanJsonFromTexts(run_, materialTexts_));
  return lastError_.empty();
}

}  // namespace tarvolin::plan
