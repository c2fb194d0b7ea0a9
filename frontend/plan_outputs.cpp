#include "plan_outputs.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "cut_list.h"
#include "text_file.h"

namespace tarvolin {
namespace {

using plan::PlanSetting;

// How a plan was found, as the plan file names it.
constexpr const char* kMethodSearchName = "heuristic";
constexpr const char* kMethodExactName = "exact";

const char* MethodName(int32_t method) {
  return method == kMethodExact ? kMethodExactName : kMethodSearchName;
}

std::vector<PlanSetting> SettingsOf(const RunState& run) {
  const InitialSettings& s = run.init;
  const OptimizerSettings& o = run.opt;
  return {
      PlanSetting::Switch("show_window", s.showWindow),
      PlanSetting::Switch("ask_input_files", s.askInputFiles),
      PlanSetting::Switch("confirm_steps", s.confirmSteps),
      PlanSetting::Switch("show_messages", s.showMessages),
      PlanSetting::Integer("progress_window", s.progressWindowMode),
      PlanSetting::Switch("report_frame", s.reportFrame),
      PlanSetting::Switch("report_totals", s.reportTotals),
      PlanSetting::Switch("report_material_column", s.reportMaterialColumn),
      PlanSetting::Integer("report_parts_mode", s.reportPartsMode),
      PlanSetting::Switch("report_costs", s.reportCosts),
      PlanSetting::Switch("layouts_file", s.writeLayoutsFile),
      PlanSetting::Switch("plan_file", s.writePlanFile),
      PlanSetting::Integer("material_column_width", s.materialColumnWidth),
      PlanSetting::Integer("number_column_width", s.numberColumnWidth),
      PlanSetting::Switch("labels_file", s.writeLabelsFile),
      PlanSetting::Integer("print_labels", s.labelPrintMode),
      PlanSetting::Switch("optimize_cost", o.optimizeCost > 0),
      PlanSetting::Switch("ignore_last_stock", o.ignoreLastStock > 0),
      PlanSetting::Integer("stock_length_preference", o.stockLengthPreference),
      PlanSetting::Integer("reduce_layouts", o.reduceLayouts),
      PlanSetting::Integer("effort_level", o.effortLevel),
      PlanSetting::Integer("max_different_stocks", o.maxDifferentStocks),
      PlanSetting::Integer("max_different_pieces", o.maxDifferentPieces),
      PlanSetting::Integer("stock_cut_bundle", o.bundleSize),
      PlanSetting::Length("min_reusable_length", o.minReusableLength),
      PlanSetting::Length("kerf", o.kerf),
      PlanSetting::Length("end_zone", o.endZone),
      PlanSetting::Length("grip_length", o.gripLength),
      PlanSetting::Integer("max_pieces_per_layout", o.maxPiecesPerLayout),
      PlanSetting::Integer("time_limit_seconds", o.timeLimitSeconds),
      PlanSetting::Integer("iteration_multiplier", o.iterationMultiplier),
      PlanSetting::Integer("layouts_by_mark", o.layoutsByMark),
      PlanSetting::Text("method", MethodName(o.method)),
      PlanSetting::Integer("exact_time_limit_seconds", o.exactTimeLimitSeconds),
  };
}

std::vector<plan::PlanStockGroup> PlanStockGroups(const MaterialPass& pass) {
  std::vector<plan::PlanStockGroup> groups;
  for (int g = 1; g <= pass.stockGroupCount; ++g) {
    const StockGroup& s = pass.stockGroups[g];
    groups.push_back({s.length, s.cost, s.quantity});
  }
  return groups;
}

// The exact method's objective and bound. The bound on the objective also
// bounds the stock length (or cost) alone, which is never below it.
plan::PlanBound ExactBound(const OptimizerSettings& settings, const MaterialPass& pass) {
  using Kind = plan::PlanObjective::Kind;
  const ExactObjective o = ExactObjectiveOf(settings, pass);
  plan::PlanObjective objective;
  objective.kind =
      o.inCost ? (o.lessLastRemainder ? Kind::kCostLessLastRemainderWorth : Kind::kCost)
               : (o.lessLastRemainder ? Kind::kStockLengthLessLastRemainder : Kind::kStockLength);
  objective.value = o.value;
  objective.bound = o.bound;
  objective.shortStock = o.piecesLeft;
  objective.newStockOnly = o.newStockOnly;
  plan::PlanBound bound;
  if (o.bound) {
    const auto units = static_cast<int32_t>(*o.bound);
    if (o.inCost)
      bound.cost = units;
    else
      bound.stockLength = units;
  }
  bound.provenOptimal = pass.results.proven;
  bound.objective = objective;
  return bound;
}

}  // namespace

std::string NoLayoutsMessage(const RunState& run) {
  return "This build cannot draw layout diagrams (no Qt): switch the Layouts file off in " +
         run.configFile;
}

plan::PlanRun MakePlanRun(const RunState& run, std::string dateText, std::string isoDate) {
  plan::PlanRun heading;
  heading.programVersion = TARVOLIN_VERSION;
  heading.isoDate = std::move(isoDate);
  heading.dateText = std::move(dateText);
  heading.orderFile = run.orderFile;
  heading.stockFile = run.stockFile;
  heading.settingsFile = run.optSetFile;
  heading.materialHeader = kMaterialHeader;
  heading.settings = SettingsOf(run);
  heading.numbers = {run.format.lengthScale, run.format.lengthPrecision, run.format.costScale,
                     run.format.costPrecision, run.format.decimalSeparator};
  heading.showCosts = run.init.reportCosts;
  heading.remnantStore = run.init.keepRemnants;
  if (heading.remnantStore) heading.settings.push_back(PlanSetting::Switch("remnants", true));
  return heading;
}

std::vector<plan::PlanPartGroup> PlanPartGroups(const MaterialPass& pass) {
  std::vector<plan::PlanPartGroup> groups;
  for (int g = 1; g <= pass.partGroupCount; ++g) {
    const PartGroup& p = pass.partGroups[g];
    groups.push_back({p.length, p.mark, p.quantity, p.lineNumber});
  }
  return groups;
}

plan::MaterialPlan SolvedMaterialPlan(const RunState& run, int64_t calculationMs) {
  const MaterialPass& pass = run.pass;
  const SolverResults& r = pass.results;
  const int bars = BarCount(r);
  const int pieces = PieceCount(r);
  plan::MaterialPlanInput in;
  in.materialKey = pass.material;
  in.method = kMethodSearchName;
  in.partGroups = PlanPartGroups(pass);
  in.stockGroups = PlanStockGroups(pass);
  in.stockItGr = plan::ItemValues(r.stockItemGroup.data(), bars);
  in.stockItLay = plan::ItemValues(r.stockItemLayout.data(), bars);
  in.stockItPat = plan::ItemValues(r.stockItemPattern.data(), bars);
  in.stockItParts = plan::ItemValues(r.stockItemParts.data(), bars);
  in.stockItWaste = plan::ItemValues(r.stockItemWaste.data(), bars);
  in.partItGr = plan::ItemValues(r.partItemGroup.data(), pieces);
  in.partItStock = plan::ItemValues(r.partItemStock.data(), pieces);
  in.lastStock = r.lastStock;
  if (!pass.barRemnant.empty()) {
    in.stockItRemnant.assign(pass.barRemnant.begin() + 1, pass.barRemnant.end());
    in.stockItOffcut.assign(pass.barOffcut.begin() + 1, pass.barOffcut.end());
  }
  in.kerf = run.opt.kerf;
  in.endZone = run.opt.endZone;
  in.minReusable = run.opt.minReusableLength;
  in.calculationMs = calculationMs;
  if (r.exactMethod || run.opt.method == kMethodExact) {
    in.method = kMethodExactName;
    in.bound = ExactBound(run.opt, pass);
  }
  return plan::BuildMaterialPlan(in);
}

plan::MaterialPlan UnsolvedMaterialPlan(const RunState& run, plan::PlanError error) {
  plan::MaterialPlan material = plan::FailedMaterialPlan(
      run.pass.material, MethodName(run.opt.method), PlanPartGroups(run.pass), std::move(error));
  // The run's settings, which the layout diagrams show for this material too.
  material.kerf = run.opt.kerf;
  material.endZone = run.opt.endZone;
  material.minReusable = run.opt.minReusableLength;
  return material;
}

plan::MaterialPlan UnreadMaterialPlan(const RunState& run, bool ordersRead) {
  plan::MaterialPlan material =
      UnsolvedMaterialPlan(run, {plan::PlanError::Kind::kOther, std::nullopt, run.pass.failure});
  if (!ordersRead) {
    material.pieces.clear();
    material.figures = {};
  }
  return material;
}

std::string IsoDateTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

bool PlanOutputs::Open(const RunState& run, const LayoutsWriterFactory& layouts,
                       plan::PlanRun heading, std::string& message) {
  heading_ = std::move(heading);
  if (!run.planFile.empty()) {
    document_ = std::make_unique<plan::PlanDocument>(run.planFile, heading_);
    if (!document_->Start()) {
      message = "Error writing Plan file: \r" + document_->LastError();
      return false;
    }
  }
  cutListFile_ = run.cutListFile;
  if (!cutListFile_.empty())
    cutList_ = plan::CutListHeader(heading_.numbers, heading_.remnantStore);
  if (!run.layoutsFile.empty()) {
    if (!layouts) {
      message = NoLayoutsMessage(run);
      return false;
    }
    layouts_ = layouts(run.layoutsFile);
    if (!layouts_->Error().empty()) {
      message = "Error writing Layouts file: \r" + layouts_->Error();
      return false;
    }
  }
  return true;
}

bool PlanOutputs::Add(plan::MaterialPlan material, std::string& message) {
  if (finished_) return true;
  materials_.push_back(std::move(material));
  if (!cutListFile_.empty())
    cutList_ += plan::CutListRows(heading_.numbers, materials_.back(), heading_.remnantStore);
  if (document_ && !document_->Add(materials_.back())) {
    message = "Error writing Plan file: \r" + document_->LastError();
    return false;
  }
  if (layouts_ && !layouts_->Add(heading_, materials_.back())) {
    message = "Error writing Layouts file: \r" + layouts_->Error();
    return false;
  }
  return true;
}

bool PlanOutputs::Finish(plan::RunEnd end, std::string& message, bool drawLayouts) {
  if (finished_) return true;
  finished_ = true;
  // The layouts and the cut list first, so that the plan file's end says
  // when they failed.
  bool ok = true;
  if (layouts_ && drawLayouts && !layouts_->Finish()) {
    message = "Error writing Layouts file: \r" + layouts_->Error();
    if (end == plan::RunEnd::kCompleted) end = plan::RunEnd::kEndedByError;
    ok = false;
  }
  if (!cutListFile_.empty()) {
    if (const std::string error = ReplaceFile(cutListFile_, cutList_); !error.empty()) {
      if (ok) message = "Error writing Cut list file: \r" + error;
      if (end == plan::RunEnd::kCompleted) end = plan::RunEnd::kEndedByError;
      ok = false;
    }
  }
  heading_.end = end;
  if (document_ && !document_->Finish(end) && ok) {
    message = "Error writing Plan file: \r" + document_->LastError();
    ok = false;
  }
  return ok;
}

}  // namespace tarvolin
