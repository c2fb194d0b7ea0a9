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

#include "material_plan.h"
#include "run_record.h"
#include "text_file.h"

namespace tarvolin {

// What the writers take from the world outside the records, so that they
// stay pure: today's date as text.
struct ReportContext {
  std::string dateText;  // today's date in the locale's short date format
};

void WriteReportHeading(TextOutFile& report, const RunRecord& run, const ReportContext& context);

// The section of one solved material: its totals (the last stock included)
// and its layout rows.
void WriteReportSection(TextOutFile& report, const RunRecord& run, const plan::MaterialPlan& plan);

void WriteReportEnd(TextOutFile& report, const RunRecord& run, const ReportContext& context);

}  // namespace tarvolin
