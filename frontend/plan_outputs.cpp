#include "plan_outputs.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "cut_list.h"
#include "text_file.h"

namespace tarvolin {
namespace {

using plan::PlanSetting;

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
  heading.numbers = run.format;
  heading.showCosts = run.init.reportCosts;
  heading.remnantStore = run.init.keepRemnants;
  if (heading.remnantStore) heading.settings.push_back(PlanSetting::Switch("remnants", true));
  return heading;
}

plan::MaterialPlan SolvedMaterialPlan(const RunState& run, int64_t calculationMs) {
  return SolvedPlanOf(run.opt, run.pass, calculationMs);
}

plan::MaterialPlan UnsolvedMaterialPlan(const RunState& run, plan::PlanError error) {
  plan::MaterialPlan material = plan::FailedMaterialPlan(
      run.pass.material, MethodName(run.opt.method), PlanPartGroupsOf(run.pass), std::move(error));
  // The run's settings, which the layout diagrams show for this material too.
  material.kerf = run.opt.kerf;
  material.endZone = run.opt.endZone;
  material.gripLength = run.opt.gripLength;
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
