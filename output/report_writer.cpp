#include "report_writer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "fract.h"
#include "output_text.h"
#include "tarvolin/limits.h"

namespace tarvolin {

namespace {

using output_text::CostText;
using output_text::LeftAligned;
using output_text::LengthText;
using output_text::RightAligned;

// Column widths derived from the number column width W: integers give up
// the places a length spends on its decimals, so integers and lengths end in
// the same column.
struct ReportWidths {
  int settingsInteger;
  int settingsLength;
  int totalsInteger;
  int totalsLength;
};

ReportWidths WidthsFor(int w, const fract::NumberFormat& format) {
  const int decimals = std::abs(format.lengthPrecision);
  return {w + 1 - decimals, w + 2, w + 6 - decimals, w + 5};
}

// Width of the multiplicity column of a layout row.
constexpr int kMultiplicityWidth = 4;
// Width of the utilization figure of the totals.
constexpr int kUtilizationWidth = 13;

std::string YesNo(int32_t value) {
  return value > 0 ? "Y" : "N";
}

std::string FileLine(const ReportContext& context, const RunRecord& run, const char* caption) {
  return context.dateText + caption + run.orderFile + " / " + run.stockFile;
}

// The calculation time in seconds with one decimal.
std::string CalcTimeText(const plan::MaterialPlan& plan, char decimalSeparator) {
  const double seconds = static_cast<double>(plan.calculationMs) / 1000.0;
  return output_text::ScaledFixedText(output_text::ScaleRounded(seconds, 1), 1, decimalSeparator);
}

// The exact method's lines: with short stock a note that the greatest cut
// length comes first, the objective when no total above shows it, its
// lower bound ("unknown" when the solver has none) and whether the plan
// meets it.
void WriteBoundLines(TextOutFile& out, const RunRecord& run, const plan::MaterialPlan& plan,
                     const plan::PlanObjective& o, const ReportWidths& widths) {
  auto figure = [&](int64_t value) {
    return o.InCost() ? CostText(value, run.format) : LengthText(value, run.format);
  };
  if (o.shortStock)
    out.WriteLine(
        "Short stock:        greatest length cut first; the bound holds for plans "
        "that cut as much");
  if (o.LessLastRemainder() || (o.InCost() && !run.style.costs) || o.newStockOnly) {
    const char* what = !o.LessLastRemainder() ? (o.InCost() ? "cost used" : "length used")
                       : o.InCost()           ? "cost used less last stock remainder's worth"
                                              : "length used less last stock remainder";
    out.WriteLine("Objective:          " + RightAligned(figure(o.value), widths.totalsLength) +
                  "  (" + (o.newStockOnly ? "new stock " : "") + what + ")");
  }
  out.WriteLine((o.InCost() ? "Lower bound cost:   " : "Lower bound length: ") +
                RightAligned(o.bound ? figure(*o.bound) : "unknown", widths.totalsLength));
  out.WriteLine(
      "Proven optimal:     " +
      RightAligned(plan.bound.provenOptimal.value_or(false) ? "Y" : "N", widths.totalsLength));
}

// With the remnant store: how many remnants the plan cuts and how many
// offcuts it adds to the store, each with their total length.
void WriteRemnantLines(TextOutFile& out, const plan::MaterialPlan& plan,
                       const fract::NumberFormat& format, const ReportWidths& widths) {
  int64_t used = 0, usedLength = 0, added = 0, addedLength = 0;
  for (const plan::PlanBar& bar : plan.bars) {
    if (!bar.remnant.empty()) {
      ++used;
      usedLength += bar.stockLength;
    }
    const bool known =
        bar.layoutIndex >= 0 && static_cast<size_t>(bar.layoutIndex) < plan.layouts.size();
    if (!bar.offcut.empty() && known) {
      ++added;
      addedLength += plan.layouts[static_cast<size_t>(bar.layoutIndex)].remainder;
    }
  }
  out.WriteLine("Remnants used:    " + RightAligned(used, widths.totalsInteger) + " " +
                RightAligned(LengthText(usedLength, format), widths.totalsLength));
  out.WriteLine("Remnants added:   " + RightAligned(added, widths.totalsInteger) + " " +
                RightAligned(LengthText(addedLength, format), widths.totalsLength));
}

void WriteTotals(TextOutFile& out, const RunRecord& run, const plan::MaterialPlan& plan,
                 const ReportWidths& widths) {
  const plan::PlanFigures& f = plan.figures;
  const fract::NumberFormat& format = run.format;

  std::string line = "TOTALS";
  if (!plan.materialKey.empty()) {
    line += std::string(" for ") + kMaterialHeader + ": " + plan.materialKey + " ";
    out.WriteLine(line);
    line.clear();
  }
  if (f.lastStockApart) {
    line += "(including Last Stock layout)";
    out.WriteLine(line);
    line.clear();
  }
  out.WriteLine(line);

  const struct {
    const char* label;
    int64_t value;
  } counts[] = {
      {"Parts Left Number:", f.piecesLeft},       {"Part Total Number:", f.pieces},
      {"Different Layouts:", f.differentLayouts}, {"Diff. Layout Cuts:", f.layoutCuts},
      {"Stock Number used:", f.barsUsed},
  };
  for (const auto& c : counts) out.WriteLine(c.label + RightAligned(c.value, widths.totalsInteger));

  out.WriteLine("Total Length used:  " +
                RightAligned(LengthText(f.stockLengthUsed, format), widths.totalsLength));
  if (run.style.costs)
    out.WriteLine("Total Cost used:    " +
                  RightAligned(CostText(f.cost, format), widths.totalsLength));
  out.WriteLine("Total Waste:        " +
                RightAligned(LengthText(f.waste, format), widths.totalsLength));
  if (plan.remnantStore) WriteRemnantLines(out, plan, format, widths);
  out.WriteLine(
      "Total Utilization,%:" + RightAligned(plan::UtilisationText(f.utilRate), kUtilizationWidth) +
      "     Calc.time: " + CalcTimeText(plan, format.decimalSeparator) + " sec");
  // The plan carries an objective when the exact method ran.
  if (plan.bound.objective) WriteBoundLines(out, run, plan, *plan.bound.objective, widths);
  out.WriteLine("");
}

// Widths of the layout label and the multiplicity column. A plan within the
// search's tables keeps the fixed columns (label "nnn" or "nnn/pp",
// multiplicity 4); a larger plan widens a column to its widest value so that
// the rows stay a table.
struct RowWidths {
  int number = 3;        // the label's number (pattern, or layout in mode 1); "L" takes one
  int pattern = 2;       // mode 1: the pattern behind the "/"
  int multiplicity = 4;  // bars cut to the pattern
  // Columns beyond the fixed ones, which the header and the piece indent
  // give room to.
  int LabelExtra(int partsMode) const { return number - 3 + (partsMode == 1 ? pattern - 2 : 0); }
  int MultiplicityExtra() const { return multiplicity - 4; }
};

int Digits(int64_t value) {
  return static_cast<int>(std::to_string(value).size());
}

// The layout label's number: the pattern (mode 0) or the layout (mode 1).
int LabelNumber(const plan::PlanLayout& layout, int partsMode) {
  return partsMode == 0 ? layout.number : layout.layoutNumber;
}

RowWidths WidthsOf(const plan::MaterialPlan& plan, int partsMode) {
  RowWidths widths;
  constexpr int kSearchItems = TARVOLIN_MAX_ITEMS;
  if (plan.stockItems <= kSearchItems && static_cast<int>(plan.pieces.size()) <= kSearchItems)
    return widths;
  for (const plan::PlanLayout& layout : plan.layouts) {
    widths.number = std::max(widths.number,
                             Digits(LabelNumber(layout, partsMode)) + (layout.lastStock ? 1 : 0));
    widths.pattern = std::max(widths.pattern, Digits(layout.number));
    widths.multiplicity = std::max(widths.multiplicity, Digits(layout.barCount));
  }
  return widths;
}

void WriteTableHeader(TextOutFile& out, const RunRecord& run, int partsMode,
                      const RowWidths& widths) {
  const ReportStyle& s = run.style;
  const int w = s.numberColumnWidth;
  const int labelExtra = widths.LabelExtra(partsMode);
  std::string line;
  // The label and multiplicity headings are wider than their columns; the
  // material heading gives up the difference so that "Stock" ends where the
  // stock lengths end. A mode-1 layout label is three columns wider.
  if (s.materialColumn)
    line = LeftAligned(kMaterialHeader, s.materialColumnWidth - 6 + 3 * partsMode + labelExtra) +
           " Lay#/Pat# ";
  else
    line = LeftAligned("LayNo", 5 + labelExtra) + " ";
  line += std::string(widths.MultiplicityExtra(), ' ');
  line += "  Mult " + RightAligned("Stock", w - 2) + " " + RightAligned("Waste", w) + " ";
  if (s.costs) line += RightAligned("Cost", w) + " ";
  line += partsMode == 0 ? "    Parts in Layout: " : "    Parts/Marks in Layout: ";
  out.WriteLine(line);
}

// The layout label: the pattern number (mode 0) or the layout number with the
// pattern behind it (mode 1); the last stock's label begins with "L".
std::string LayoutLabel(const plan::PlanLayout& layout, int partsMode, const RowWidths& widths) {
  const bool last = layout.lastStock;
  // Built by appending: GCC 12 at -O3 flags literal + string here as an
  // overlapping copy.
  std::string label = last ? std::string(1, 'L') : std::string();
  label += RightAligned(LabelNumber(layout, partsMode), last ? widths.number - 1 : widths.number);
  if (partsMode == 1) {
    label += '/';
    label += RightAligned(layout.number, widths.pattern);
  }
  return label;
}

// Columns in front of the pieces of a mode-1 row: the blanks between the
// columns, the layout label ("nnn/pp") and the multiplicity.
constexpr int kPieceIndentFixed = 15;

struct TableContext {
  const RunRecord& run;
  const plan::MaterialPlan& plan;
  RowWidths widths;
  int partsMode;
};

void WriteLayoutRow(TextOutFile& out, const TableContext& t, const plan::PlanLayout& layout) {
  const ReportStyle& s = t.run.style;
  const fract::NumberFormat& format = t.run.format;
  const int w = s.numberColumnWidth;

  std::string line;
  if (s.materialColumn) line += LeftAligned(t.plan.materialKey, s.materialColumnWidth) + " ";
  line += LayoutLabel(layout, t.partsMode, t.widths) + " ";
  line += RightAligned(layout.barCount, t.widths.multiplicity) + " ";
  line += RightAligned(LengthText(layout.stockLength, format), w) + " ";
  line += RightAligned(LengthText(layout.waste, format), w) + " ";
  if (s.costs) line += RightAligned(CostText(layout.stockCost, format), w) + " ";

  std::string pieceIndent;
  if (t.partsMode == 1) {
    out.WriteLine(line);
    line.clear();
    const int indent = (s.materialColumn ? s.materialColumnWidth : 0) + (s.costs ? w + 1 : 0) +
                       2 * w + kPieceIndentFixed + t.widths.LabelExtra(1) +
                       t.widths.MultiplicityExtra();
    pieceIndent.assign(std::max(indent, 0), ' ');
  }
  for (const plan::PlanPiece& piece : layout.pieces) {
    const std::string length = RightAligned(LengthText(piece.length, format), w);
    if (t.partsMode == 0) {
      line += length + " ";
    } else {
      out.WriteLine(pieceIndent + length + "  " + piece.mark + " ");
    }
  }
  out.WriteLine(t.partsMode == 0 ? line + " " : " ");
}

}  // namespace

void WriteReportHeading(TextOutFile& out, const RunRecord& run, const ReportContext& context) {
  const ReportedSettings& o = run.settings;
  const ReportWidths widths = WidthsFor(run.style.numberColumnWidth, run.format);

  out.WriteLine(run.banner);
  out.WriteLine(FileLine(context, run, "   REPORT for:  "));
  out.WriteLine("");
  out.WriteLine("SETTINGS: ");
  out.WriteLine("");

  auto integer = [&](const char* label, int64_t value) {
    out.WriteLine(label + RightAligned(value, widths.settingsInteger));
  };
  auto length = [&](const char* label, int32_t value) {
    out.WriteLine(label + RightAligned(LengthText(value, run.format), widths.settingsLength));
  };
  out.WriteLine("Cost Optimization Mode:" +
                RightAligned(YesNo(o.optimizeCost), widths.settingsInteger));
  out.WriteLine("Ignore Last Stock:     " +
                RightAligned(YesNo(o.ignoreLastStock), widths.settingsInteger));
  integer("Shorter/Longer Stocks: ", o.stockLengthPreference);
  integer("Reduce Layout Number:  ", o.reduceLayouts);
  integer("Optimizer Intensity:   ", o.effortLevel);
  integer("Max.Differ.Stocks :    ", o.maxDifferentStocks);
  integer("Max.Differ.Pieces :    ", o.maxDifferentPieces);
  integer("Stock/Cut Bundle  :    ", o.bundleSize);
  integer("Max.Pieces in Layout:  ", o.maxPiecesPerLayout);
  length("Min.Reusable Length:   ", o.minReusableLength);
  length("Saw blade thickness:   ", o.kerf);
  if (o.gripLength > 0)
    length("Gripping (usable):     ", o.gripLength);
  else
    length("End-zone (non-usable): ", o.endZone);
  if (o.exactMethod) out.WriteLine("Solution method:            Exact");
  out.WriteLine("");
  out.WriteLine("");
}

void WriteReportSection(TextOutFile& out, const RunRecord& run, const plan::MaterialPlan& plan) {
  const int partsMode = run.style.partsMode == 1 ? 1 : 0;
  const RowWidths widths = WidthsOf(plan, partsMode);
  if (run.style.totals) {
    WriteTotals(out, run, plan, WidthsFor(run.style.numberColumnWidth, run.format));
    WriteTableHeader(out, run, partsMode, widths);
  }
  const TableContext table{run, plan, widths, partsMode};
  for (const plan::PlanLayout& layout : plan.layouts) WriteLayoutRow(out, table, layout);
  out.WriteLine("");
}

void WriteReportEnd(TextOutFile& out, const RunRecord& run, const ReportContext& context) {
  out.WriteLine(FileLine(context, run, "   REPORT END for:  "));
  out.WriteLine("");
}

}  // namespace tarvolin
