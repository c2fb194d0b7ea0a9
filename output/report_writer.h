// The cutting report: a heading with the optimizer settings of the run, one
// section per solved material (totals and the table of cutting layouts) and
// an end line. Lines end with CR LF; figures are right-aligned in fixed-width
// columns so the file reads as a table in a fixed-pitch font.
//
// The writers never stop on an error: the report file counts the I/O result
// of every write in its error counter, which the batch run inspects after
// the heading and after each material.
#pragma once

#include <string>

#include "plan_records.h"
#include "text_file.h"

namespace tarvolin {

// What the writers take from the world outside the records, so that they
// stay pure: today's date as text and the solver clock at the time of writing.
struct ReportContext {
  std::string dateText;  // today's date in the locale's short date format
  double clockMs = 0;    // solver clock now; the calculation time is measured
                         // from the plan's solverStartMs
};

// Folds the separately reported last stock back into the totals and
// recomputes the utilization (thousandths of a percent). Changes the results
// in place, so it must run exactly once per material; WriteReportSection
// calls it.
void FinaliseFigures(MaterialPlan& plan);

void WriteReportHeading(TextOutFile& report, const RunRecord& run, const ReportContext& context);

// Finalises the figures of the material and writes its section. The piece
// order must have been built before.
void WriteReportSection(TextOutFile& report, const RunRecord& run, MaterialPlan& plan,
                        const ReportContext& context);

void WriteReportEnd(TextOutFile& report, const RunRecord& run, const ReportContext& context);

}  // namespace tarvolin
