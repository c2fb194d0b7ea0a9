// The two optional plan files of a batch run: the layout diagrams (a PDF
// drawn by the desktop build) and the plan as JSON. Both take every
// material when its pass is over, solved or not, and are finished however
// the run ends, so what stands on disk holds the materials done so far.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "material_plan.h"
#include "plan_json.h"
#include "run_state.h"

namespace tarvolin {

// Where the layout diagrams go. The front end knows no drawing; the build
// with Qt supplies a writer, a console-only build none.
class LayoutsWriter {
 public:
  virtual ~LayoutsWriter() = default;
  virtual bool Add(const plan::PlanRun& run, const plan::MaterialPlan& material) = 0;
  virtual bool Finish() = 0;
  virtual std::string Error() const = 0;
};

// Opens a layouts writer on the file `path`.
using LayoutsWriterFactory = std::function<std::unique_ptr<LayoutsWriter>(const std::string& path)>;

// Why the layouts file cannot be written by a build without drawing.
std::string NoLayoutsMessage(const RunState& run);

// The run's heading of the plan files.
plan::PlanRun MakePlanRun(const RunState& run, std::string dateText, std::string isoDate);

// The current material's plan from the solver's results.
plan::MaterialPlan SolvedMaterialPlan(const RunState& run, int64_t calculationMs);
// The current material without a plan.
plan::MaterialPlan UnsolvedMaterialPlan(const RunState& run, plan::PlanError error);
// The current material, skipped because its stock lines or, with
// ordersRead false, its order lines could not be read; the message is the
// one logged. Order lines read only in part list no pieces.
plan::MaterialPlan UnreadMaterialPlan(const RunState& run, bool ordersRead);

// The date and time now in UTC, ISO 8601.
std::string IsoDateTimeNow();

class PlanOutputs {
 public:
  // Opens the files the run's switches ask for (run.layoutsFile,
  // run.planFile, run.cutListFile; the cut list is written whole when the
  // run ends). On failure `message` says what failed.
  bool Open(const RunState& run, const LayoutsWriterFactory& layouts, plan::PlanRun heading,
            std::string& message);
  // Adds a material to both files; every material is kept for the windows.
  bool Add(plan::MaterialPlan material, std::string& message);
  // Writes how the run ended and closes the files; later calls do nothing.
  // Without `drawLayouts` the layouts file is not finished (after memory
  // ran out, drawing it could not be trusted): the file of its name keeps
  // what it held.
  bool Finish(plan::RunEnd end, std::string& message, bool drawLayouts = true);

  const plan::PlanRun& Heading() const { return heading_; }
  const std::vector<plan::MaterialPlan>& Materials() const { return materials_; }

 private:
  plan::PlanRun heading_;
  std::vector<plan::MaterialPlan> materials_;
  std::unique_ptr<plan::PlanDocument> document_;
  std::string cutListFile_;  // empty when no cut list is written
  std::string cutList_;      // its rows so far
  std::unique_ptr<LayoutsWriter> layouts_;
  bool finished_ = false;
};

}  // namespace tarvolin
