#include "plan_json.h"

#include <nlohmann/json.hpp>

#include "text_file.h"

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

const char* ObjectiveName(PlanObjective::Kind kind) {
  switch (kind) {
    case PlanObjective::Kind::kStockLength:
      return "stock_length";
    case PlanObjective::Kind::kStockLengthLessLastRemainder:
      return "stock_length_less_last_remainder";
    case PlanObjective::Kind::kCost:
      return "cost";
    case PlanObjective::Kind::kCostLessLastRemainderWorth:
      return "cost_less_last_remainder_worth";
  }
  return "stock_length";
}

Json ObjectiveJson(const NumberForm& form, const PlanObjective& o, bool remnantStore) {
  auto figure = [&](int64_t units) { return o.InCost() ? Cost(form, units) : Length(form, units); };
  Json out = {{"name", ObjectiveName(o.kind)},
              {"value", figure(o.value)},
              {"lower_bound", o.bound ? figure(*o.bound) : Json(nullptr)},
              {"short_stock", o.shortStock}};
  if (remnantStore) out["new_stock_only"] = o.newStockOnly;
  return out;
}

Json ResultsJson(const NumberForm& form, const MaterialPlan& m, bool remnantStore) {
  const PlanFigures& f = m.figures;
  Json results = {
      {"pieces", f.pieces},
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
  if (m.bound.objective)
    results["objective"] = ObjectiveJson(form, *m.bound.objective, remnantStore);
  return results;
}

Json LayoutJson(const NumberForm& form, const PlanLayout& l) {
  Json pieces = Json::array();
  for (size_t i = 0; i < l.pieces.size(); ++i) {
    Json piece = PieceJson(form, l.pieces[i]);
    piece["order_lines"] =
        i < l.pieceOrderLines.size() ? Json(l.pieceOrderLines[i]) : Json::array();
    pieces.push_back(std::move(piece));
  }
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

Json BarJson(const NumberForm& form, const PlanBar& b, bool remnantStore) {
  Json out = {{"number", b.number},
              {"stock_item", b.stockItem},
              {"layout", b.layoutIndex},
              {"stock_length", Length(form, b.stockLength)},
              {"stock_cost", Cost(form, b.stockCost)},
              {"waste", Length(form, b.waste)}};
  if (remnantStore) {
    out["remnant"] = b.remnant.empty() ? Json(nullptr) : Json(b.remnant);
    out["offcut"] = b.offcut.empty() ? Json(nullptr) : Json(b.offcut);
  }
  return out;
}

Json MaterialJson(const NumberForm& form, const MaterialPlan& m, bool remnantStore) {
  Json out = {{"key", m.materialKey}, {"method", m.method}};
  if (m.error) {
    out["status"] = "failed";
    out["error"] = {{"kind", ErrorKindName(m.error->kind)},
                    {"number", OrNull(m.error->number)},
                    {"text", m.error->text}};
  } else {
    out["status"] = "solved";
    out["results"] = ResultsJson(form, m, remnantStore);
    Json layouts = Json::array();
    for (const PlanLayout& l : m.layouts) layouts.push_back(LayoutJson(form, l));
    out["layouts"] = std::move(layouts);
    Json bars = Json::array();
    for (const PlanBar& b : m.bars) bars.push_back(BarJson(form, b, remnantStore));
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

}  // namespace

std::string MaterialJsonText(const NumberForm& numbers, const MaterialPlan& material,
                             bool remnantStore) {
  // The list's items stand four blanks in: every line of the item's own
  // text moves in by that much (strings hold no raw line ends).
  const std::string text = MaterialJson(numbers, material, remnantStore)
                               .dump(2, ' ', false, Json::error_handler_t::replace);
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
      {"version", run.remnantStore ? kPlanFormatVersionRemnants : kPlanFormatVersion},
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
  for (const MaterialPlan& m : materials)
    texts.push_back(MaterialJsonText(run.numbers, m, run.remnantStore));
  return PlanJsonFromTexts(run, texts);
}

PlanDocument::PlanDocument(std::string path, PlanRun run)
    : path_(std::move(path)), run_(std::move(run)) {}

bool PlanDocument::Start() {
  return Write();
}

bool PlanDocument::Add(const MaterialPlan& material) {
  materialTexts_.push_back(MaterialJsonText(run_.numbers, material, run_.remnantStore));
  return Write();
}

bool PlanDocument::Finish(RunEnd end) {
  run_.end = end;
  return Write();
}

bool PlanDocument::Write() {
  lastError_ = ReplaceFile(path_, PlanJsonFromTexts(run_, materialTexts_));
  return lastError_.empty();
}

}  // namespace tarvolin::plan
