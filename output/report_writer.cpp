#include "report_writer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "fract.h"
#include "output_text.h"

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

bool ValidStockItem(const SolverResults& r, int item) {
  return item >= 1 && item <= BarCount(r);
}

// Bad figures are held at the limit instead of wrapping.
void AddTo(int64_t& total, int64_t amount) {
  const int64_t limit = int64_t{1} << 62;
  total = std::clamp<int64_t>(
      std::clamp<int64_t>(total, -limit, limit) + std::clamp<int64_t>(amount, -limit, limit),
      -limit, limit);
}

std::string YesNo(int32_t value) {
  return value > 0 ? "Y" : "N";
}

std::string FileLine(const ReportContext& context, const RunRecord& run, const char* caption) {
  return context.dateText + caption + run.orderFile + " / " + run.stockFile;
}

// The utilization (thousandths of a percent) as a percentage with two
// decimals and a point, halves away from zero.
std::string UtilizationText(int32_t utilization) {
  const int64_t v = utilization;
  const int64_t hundredths = v < 0 ? -((-v + 5) / 10) : (v + 5) / 10;
  return output_text::ScaledFixedText(hundredths, 2, '.');
}

// Seconds since the solver call began, with one decimal.
std::string CalcTimeText(const ReportContext& context, const MaterialPlan& plan,
                         char decimalSeparator) {
  const double seconds = (context.clockMs - plan.solverStartMs) / 1000.0;
  return output_text::ScaledFixedText(output_text::ScaleRounded(seconds, 1), 1, decimalSeparator);
}

// The exact method's lines: with short stock a note that the greatest cut
// length comes first, the objective when no total above shows it, its
// lower bound ("unknown" when the solver has none) and whether the plan
// meets it.
void WriteBoundLines(TextOutFile& out, const RunRecord& run, const MaterialPlan& plan,
                     const ReportWidths& widths) {
  const ExactObjective o = ExactObjectiveOf(run.opt, plan);
  auto figure = [&](int64_t value) {
    return o.inCost ? CostText(value, run.format) : LengthText(value, run.format);
  };
  if (o.piecesLeft)
    out.WriteLine(
        "Short stock:        greatest length cut first; the bound holds for plans "
        "that cut as much");
  if (o.lessLastRemainder || (o.inCost && !run.init.reportCosts) || o.newStockOnly) {
    const char* what = !o.lessLastRemainder ? (o.inCost ? "cost used" : "length used")
                       : o.inCost           ? "cost used less last stock remainder's worth"
                                            : "length used less last stock remainder";
    out.WriteLine("Objective:          " + RightAligned(figure(o.value), widths.totalsLength) +
                  "  (" + (o.newStockOnly ? "new stock " : "") + what + ")");
  }
  out.WriteLine((o.inCost ? "Lower bound cost:   " : "Lower bound length: ") +
                RightAligned(o.bound ? figure(*o.bound) : "unknown", widths.totalsLength));
  out.WriteLine("Proven optimal:     " +
                RightAligned(plan.results.proven ? "Y" : "N", widths.totalsLength));
}

// With the remnant store: how many remnants the plan cuts and how many
// offcuts it adds to the store, each with their total length.
void WriteRemnantLines(TextOutFile& out, const MaterialPlan& plan,
                       const fract::NumberFormat& format, const ReportWidths& widths) {
  int64_t used = 0, usedLength = 0, added = 0, addedLength = 0;
  const SolverResults& r = plan.results;
  for (int bar = 1; bar <= BarCount(r) && static_cast<size_t>(bar) < plan.barRemnant.size();
       ++bar) {
    if (!plan.barRemnant[bar].empty()) {
      const StockGroup* stock = StockGroupAt(plan, r.stockItemGroup[bar]);
      ++used;
      usedLength += stock != nullptr ? stock->length : 0;
    }
    if (!plan.barOffcut[bar].empty()) {
      ++added;
      addedLength += plan.barOffcutLength[bar];
    }
  }
  out.WriteLine("Remnants used:    " + RightAligned(used, widths.totalsInteger) + " " +
                RightAligned(LengthText(usedLength, format), widths.totalsLength));
  out.WriteLine("Remnants added:   " + RightAligned(added, widths.totalsInteger) + " " +
                RightAligned(LengthText(addedLength, format), widths.totalsLength));
}

void WriteTotals(TextOutFile& out, const RunRecord& run, const MaterialPlan& plan,
                 const ReportContext& context, const ReportWidths& widths) {
  const SolverResults& r = plan.results;
  const fract::NumberFormat& format = run.format;

  std::string line = "TOTALS";
  if (!plan.material.empty()) {
    line += std::string(" for ") + kMaterialHeader + ": " + plan.material + " ";
    out.WriteLine(line);
    line.clear();
  }
  if (r.lastStock > 0) {
    line += "(including Last Stock layout)";
    out.WriteLine(line);
    line.clear();
  }
  out.WriteLine(line);

  const struct {
    const char* label;
    int64_t value;
  } counts[] = {
      {"Parts Left Number:", static_cast<int64_t>(r.partItemCount) - r.partsCut},
      {"Part Total Number:", r.partItemCount},
      {"Different Layouts:", r.layoutCount},
      {"Diff. Layout Cuts:", r.layoutCuts},
      {"Stock Number used:", r.stockUsed},
  };
  for (const auto& c : counts) out.WriteLine(c.label + RightAligned(c.value, widths.totalsInteger));

  out.WriteLine("Total Length used:  " +
                RightAligned(LengthText(r.lengthUsed, format), widths.totalsLength));
  if (run.init.reportCosts)
    out.WriteLine("Total Cost used:    " +
                  RightAligned(CostText(r.costUsed, format), widths.totalsLength));
  out.WriteLine("Total Waste:        " +
                RightAligned(LengthText(r.wasteSum, format), widths.totalsLength));
  if (!plan.barRemnant.empty()) WriteRemnantLines(out, plan, format, widths);
  out.WriteLine(
      "Total Utilization,%:" + RightAligned(UtilizationText(r.utilization), kUtilizationWidth) +
      "     Calc.time: " + CalcTimeText(context, plan, format.decimalSeparator) + " sec");
  if (run.opt.method == kMethodExact || r.exactMethod) WriteBoundLines(out, run, plan, widths);
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

// One layout row: its pattern, the lowest-numbered bar cut to it and how
// many bars are.
struct LayoutRow {
  int pattern;
  int bar;
  int count;
};

// The rows of the layout table, ascending pattern number: one per pattern
// that a bar is cut to, showing its lowest-numbered bar. Patterns above the
// pattern count have no row, so a wild number costs nothing.
std::vector<LayoutRow> LayoutRows(const SolverResults& r) {
  const int bars = BarCount(r);
  std::vector<std::pair<int, int>> cut;  // pattern, bar
  for (int bar = 1; bar <= bars; ++bar) {
    const int pattern = r.stockItemPattern[bar];
    if (pattern >= 1 && pattern <= r.patternCount) cut.emplace_back(pattern, bar);
  }
  std::stable_sort(cut.begin(), cut.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<LayoutRow> rows;
  for (const auto& [pattern, bar] : cut) {
    if (rows.empty() || rows.back().pattern != pattern) rows.push_back({pattern, bar, 0});
    ++rows.back().count;
  }
  return rows;
}

RowWidths WidthsOf(const SolverResults& r, const std::vector<LayoutRow>& rows, int partsMode) {
  RowWidths widths;
  if (BarCount(r) <= kMaxItems && PieceCount(r) <= kMaxItems) return widths;
  for (const LayoutRow& row : rows) {
    const int64_t number = partsMode == 0 ? row.pattern : r.stockItemLayout[row.bar];
    widths.number = std::max(widths.number, Digits(number) + (row.bar == r.lastStock ? 1 : 0));
    widths.pattern = std::max(widths.pattern, Digits(row.pattern));
    widths.multiplicity = std::max(widths.multiplicity, Digits(row.count));
  }
  return widths;
}

void WriteTableHeader(TextOutFile& out, const RunRecord& run, int partsMode,
                      const RowWidths& widths) {
  const InitialSettings& s = run.init;
  const int w = s.numberColumnWidth;
  const int labelExtra = widths.LabelExtra(partsMode);
  std::string line;
  // The label and multiplicity headings are wider than their columns; the
  // material heading gives up the difference so that "Stock" ends where the
  // stock lengths end. A mode-1 layout label is three columns wider.
  if (s.reportMaterialColumn)
    line = LeftAligned(kMaterialHeader, s.materialColumnWidth - 6 + 3 * partsMode + labelExtra) +
           " Lay#/Pat# ";
  else
    line = LeftAligned("LayNo", 5 + labelExtra) + " ";
  line += std::string(widths.MultiplicityExtra(), ' ');
  line += "  Mult " + RightAligned("Stock", w - 2) + " " + RightAligned("Waste", w) + " ";
  if (s.reportCosts) line += RightAligned("Cost", w) + " ";
  line += partsMode == 0 ? "    Parts in Layout: " : "    Parts/Marks in Layout: ";
  out.WriteLine(line);
}

// The layout label: the pattern number (mode 0) or the layout number with the
// pattern behind it (mode 1); the last stock's label begins with "L".
std::string LayoutLabel(const SolverResults& r, const LayoutRow& row, int partsMode,
                        const RowWidths& widths) {
  const bool last = row.bar == r.lastStock;
  const int64_t number = partsMode == 0 ? row.pattern : r.stockItemLayout[row.bar];
  // Built by appending: GCC 12 at -O3 flags literal + string here as an
  // overlapping copy.
  std::string label = last ? std::string(1, 'L') : std::string();
  label += RightAligned(number, last ? widths.number - 1 : widths.number);
  if (partsMode == 1) {
    label += '/';
    label += RightAligned(row.pattern, widths.pattern);
  }
  return label;
}

// Columns in front of the pieces of a mode-1 row: the blanks between the
// columns, the layout label ("nnn/pp") and the multiplicity.
constexpr int kPieceIndentFixed = 15;

struct TableContext {
  const RunRecord& run;
  const MaterialPlan& plan;
  const PiecesByBar& pieces;
  RowWidths widths;
  int partsMode;
};

void WriteLayoutRow(TextOutFile& out, const TableContext& t, const LayoutRow& row) {
  const InitialSettings& s = t.run.init;
  const fract::NumberFormat& format = t.run.format;
  const SolverResults& r = t.plan.results;
  const int w = s.numberColumnWidth;
  const StockGroup* stock = StockGroupAt(t.plan, r.stockItemGroup[row.bar]);

  std::string line;
  if (s.reportMaterialColumn)
    line += LeftAligned(stock != nullptr ? stock->materialKey : "", s.materialColumnWidth) + " ";
  line += LayoutLabel(r, row, t.partsMode, t.widths) + " ";
  line += RightAligned(row.count, t.widths.multiplicity) + " ";
  line += RightAligned(LengthText(stock != nullptr ? stock->length : 0, format), w) + " ";
  line += RightAligned(LengthText(r.stockItemWaste[row.bar], format), w) + " ";
  if (s.reportCosts)
    line += RightAligned(CostText(stock != nullptr ? stock->cost : 0, format), w) + " ";

  std::string pieceIndent;
  if (t.partsMode == 1) {
    out.WriteLine(line);
    line.clear();
    const int indent = (s.reportMaterialColumn ? s.materialColumnWidth : 0) +
                       (s.reportCosts ? w + 1 : 0) + 2 * w + kPieceIndentFixed +
                       t.widths.LabelExtra(1) + t.widths.MultiplicityExtra();
    pieceIndent.assign(std::max(indent, 0), ' ');
  }
  for (const int32_t piece : t.pieces.Of(row.bar)) {
    const PartGroup* part = PartGroupAt(t.plan, r.partItemGroup[piece]);
    const std::string length =
        RightAligned(LengthText(part != nullptr ? part->length : 0, format), w);
    if (t.partsMode == 0) {
      line += length + " ";
    } else {
      out.WriteLine(pieceIndent + length + "  " + (part != nullptr ? part->mark : "") + " ");
    }
  }
  out.WriteLine(t.partsMode == 0 ? line + " " : " ");
}

}  // namespace

void FinaliseFigures(MaterialPlan& plan) {
  SolverResults& r = plan.results;
  if (r.lastStock > 0 && ValidStockItem(r, r.lastStock)) {
    const StockGroup* stock = StockGroupAt(plan, r.stockItemGroup[r.lastStock]);
    AddTo(r.stockUsed, 1);
    AddTo(r.lengthUsed, stock != nullptr ? stock->length : 0);
    AddTo(r.costUsed, stock != nullptr ? stock->cost : 0);
    AddTo(r.partsCut, r.lastParts);
    AddTo(r.layoutCuts, r.lastParts);
    AddTo(r.wasteSum, r.lastWaste);
  }
  // Thousandths of a percent; the tiny addend keeps an empty plan at 0.
  const double used = static_cast<double>(static_cast<int64_t>(r.lengthUsed) - r.wasteSum);
  const double rate = std::nearbyint(used / (r.lengthUsed + 1e-11) * 100000);
  r.utilization = static_cast<int32_t>(std::clamp<double>(rate, INT32_MIN, INT32_MAX));
}

void WriteReportHeading(TextOutFile& out, const RunRecord& run, const ReportContext& context) {
  const OptimizerSettings& o = run.opt;
  const ReportWidths widths = WidthsFor(run.init.numberColumnWidth, run.format);

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
  if (o.method == kMethodExact) out.WriteLine("Solution method:            Exact");
  out.WriteLine("");
  out.WriteLine("");
}

void WriteReportSection(TextOutFile& out, const RunRecord& run, MaterialPlan& plan,
                        const ReportContext& context) {
  FinaliseFigures(plan);
  const int partsMode = run.init.reportPartsMode == 1 ? 1 : 0;
  const std::vector<LayoutRow> rows = LayoutRows(plan.results);
  const RowWidths widths = WidthsOf(plan.results, rows, partsMode);
  if (run.init.reportTotals) {
    WriteTotals(out, run, plan, context, WidthsFor(run.init.numberColumnWidth, run.format));
    WriteTableHeader(out, run, partsMode, widths);
  }
  const PiecesByBar pieces(plan);
  const TableContext table{run, plan, pieces, widths, partsMode};
  for (const LayoutRow& row : rows) WriteLayoutRow(out, table, row);
  out.WriteLine("");
}

void WriteReportEnd(TextOutFile& out, const RunRecord& run, const ReportContext& context) {
  out.WriteLine(FileLine(context, run, "   REPORT END for:  "));
  out.WriteLine("");
}

}  // namespace tarvolin
