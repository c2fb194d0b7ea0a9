#include "report_writer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "fract.h"
#include "output_text.h"

namespace tarvolin {

namespace {

using output_text::CostText;
using output_text::LeftAligned;
using output_text::LengthText;
using output_text::RightAligned;

int AbsPrecision(const fract::NumberFormat& format) {
  return std::abs(format.lengthPrecision);
}

// Column widths derived from the number column width W.
struct ReportWidths {
  int settingsInteger;
  int settingsLength;
  int totalsInteger;
  int totalsLength;
};

ReportWidths WidthsFor(int w, const fract::NumberFormat& format) {
  return {w + 1 - AbsPrecision(format), w + 2, w + 6 - AbsPrecision(format), w + 5};
}

bool ValidStockItem(const SolverResults& r, int item) {
  return item >= 1 && item <= std::min(r.stockItemCount, kMaxItems);
}

bool ValidStockGroup(const MaterialPass& pass, int g) {
  return g >= 1 && g <= std::min(pass.stockGroupCount, kMaxStockGroups);
}

bool ValidPartGroup(const MaterialPass& pass, int g) {
  return g >= 1 && g <= std::min(pass.partGroupCount, kMaxPartGroups);
}

// Sums stay within 32 bits for any plan the solver accepts; bad figures are
// held at the limit instead of wrapping.
void AddTo(int32_t& total, int64_t amount) {
  total = static_cast<int32_t>(std::clamp<int64_t>(total + amount, INT32_MIN, INT32_MAX));
}

std::string YesNo(int32_t value) {
  return value > 0 ? "Y" : "N";
}

std::string FileLine(const ReportContext& context, const RunState& run, const char* caption) {
  return context.dateText + caption + run.orderFile + " / " + run.stockFile;
}

// The utilization (thousandths of a percent) as a percentage with two decimals and
// a point, halves away from zero.
std::string UtilisationText(int32_t utilRate) {
  const int64_t v = utilRate;
  const int64_t hundredths = v < 0 ? -((-v + 5) / 10) : (v + 5) / 10;
  return output_text::ScaledFixedText(hundredths, 2, '.');
}

std::string CalcTimeText(const ReportContext& context, const MaterialPass& pass,
                         char decimalSeparator) {
  const double seconds = (context.clockMs - pass.solverStartMs) / 1000.0;
  return output_text::ScaledFixedText(output_text::ScaleRounded(seconds, 1), 1, decimalSeparator);
}

void WriteTotals(RunState& run, const ReportContext& context, const ReportWidths& widths) {
  const SolverResults& r = run.pass.results;
  TextOutFile& out = run.report;

  std::string line = "TOTALS";
  if (!run.currentMaterial.empty()) {
    line += std::string(" for ") + kMaterialHeader + ": " + run.currentMaterial + " ";
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
                RightAligned(LengthText(r.lengthUsed, run.format), widths.totalsLength));
  if (run.init.reportCosts)
    out.WriteLine("Total Cost used:    " +
                  RightAligned(CostText(r.costUsed, run.format), widths.totalsLength));
  out.WriteLine("Total Waste:        " +
                RightAligned(LengthText(r.wasteSum, run.format), widths.totalsLength));
  out.WriteLine("Total Utilization,%:" + RightAligned(UtilisationText(r.utilization), 13) +
                "     Calc.time: " + CalcTimeText(context, run.pass, run.format.decimalSeparator) +
                " sec");
  out.WriteLine("");
}

void WriteTableHeader(RunState& run, int partsMode) {
  const InitialSettings& s = run.init;
  const int w = s.numberColumnWidth;
  std::string line;
  if (s.reportMaterialColumn)
    line = LeftAligned(kMaterialHeader, s.materialColumnWidth - 6 + 3 * partsMode) + " Lay#/Pat# ";
  else
    line = "LayNo ";
  line += "  Mult " + RightAligned("Stock", w - 2) + " " + RightAligned("Waste", w) + " ";
  if (s.reportCosts) line += RightAligned("Cost", w) + " ";
  line += partsMode == 0 ? "    Parts in Layout: " : "    Parts/Marks in Layout: ";
  run.report.WriteLine(line);
}

std::string LayoutLabel(const SolverResults& r, int pattern, int bar, int partsMode) {
  const bool last = bar == r.lastStock;
  const int64_t number = partsMode == 0 ? pattern : r.stockItemLayout[bar];
  std::string label = last ? "L" + RightAligned(number, 2) : RightAligned(number, 3);
  if (partsMode == 1) label += "/" + RightAligned(pattern, 2);
  return label;
}

void WriteLayoutRow(RunState& run, int pattern, int bar, int multiplicity, int partsMode) {
  const InitialSettings& s = run.init;
  const MaterialPass& pass = run.pass;
  const SolverResults& r = pass.results;
  const int w = s.numberColumnWidth;
  const int g = r.stockItemGroup[bar];
  const bool groupOk = ValidStockGroup(pass, g);

  std::string line;
  if (s.reportMaterialColumn)
    line +=
        LeftAligned(groupOk ? pass.stockGroups[g].materialKey : "", s.materialColumnWidth) + " ";
  line += LayoutLabel(r, pattern, bar, partsMode) + " ";
  line += RightAligned(multiplicity, 4) + " ";
  line += RightAligned(LengthText(groupOk ? pass.StockGrLth[g] : 0, run.format), w) + " ";
  line += RightAligned(LengthText(r.stockItemWaste[bar], run.format), w) + " ";
  if (s.reportCosts)
    line += RightAligned(CostText(groupOk ? pass.StockGrCst[g] : 0, run.format), w) + " ";

  const int pieces = std::clamp(r.partItemCount, 0, kMaxItems);
  std::string pieceIndent;
  if (partsMode == 1) {
    run.report.WriteLine(line);
    line.clear();
    const int indent = (s.reportMaterialColumn ? s.materialColumnWidth : 0) +
                       (s.reportCosts ? w + 1 : 0) + 2 * w + 15;
    pieceIndent.assign(std::max(indent, 0), ' ');
  }
  for (int k = 1; k <= pieces; ++k) {
    const int piece = pass.pieceOrder[k];
    if (piece < 1 || piece > pieces || r.partItemStock[piece] != bar) continue;
    const int pg = r.partItemGroup[piece];
    const bool partOk = ValidPartGroup(pass, pg);
    const std::string length =
        RightAligned(LengthText(partOk ? pass.PartGrLth[pg] : 0, run.format), w);
    if (partsMode == 0) {
      line += length + " ";
    } else {
      run.report.WriteLine(pieceIndent + length + "  " + (partOk ? pass.partGroups[pg].mark : "") +
                           " ");
    }
  }
  run.report.WriteLine(partsMode == 0 ? line + " " : " ");
}

void WriteLayoutRows(RunState& run, int partsMode) {
  const SolverResults& r = run.pass.results;
  const int bars = std::clamp(r.stockItemCount, 0, kMaxItems);
  // Patterns above the highest one any bar carries have no row, so a wild
  // pattern count costs nothing.
  int highest = 0;
  for (int bar = 1; bar <= bars; ++bar) highest = std::max<int>(highest, r.stockItemPattern[bar]);
  const int patterns = std::min<int>(r.patternCount, highest);
  for (int pattern = 1; pattern <= patterns; ++pattern) {
    int count = 0;
    int first = 0;
    for (int bar = 1; bar <= bars; ++bar) {
      if (r.stockItemPattern[bar] != pattern) continue;
      if (count++ == 0) first = bar;
    }
    if (count > 0) WriteLayoutRow(run, pattern, first, count, partsMode);
  }
}

}  // namespace

void FinaliseFigures(MaterialPass& pass) {
  SolverResults& r = pass.results;
  if (r.lastStock > 0 && ValidStockItem(r, r.lastStock)) {
    const int g = r.stockItemGroup[r.lastStock];
    const bool groupOk = ValidStockGroup(pass, g);
    AddTo(r.stockUsed, 1);
    AddTo(r.lengthUsed, groupOk ? pass.StockGrLth[g] : 0);
    AddTo(r.costUsed, groupOk ? pass.StockGrCst[g] : 0);
    AddTo(r.partsCut, r.lastParts);
    AddTo(r.layoutCuts, r.lastParts);
    AddTo(r.wasteSum, r.lastWaste);
  }
  const double used = static_cast<double>(static_cast<int64_t>(r.lengthUsed) - r.wasteSum);
  const double rate = std::nearbyint(used / (r.lengthUsed + 1e-11) * 100000);
  r.utilization = static_cast<int32_t>(std::clamp<double>(rate, INT32_MIN, INT32_MAX));
}

void WriteReportHeading(RunState& run, const ReportContext& context) {
  const OptimizerSettings& o = run.opt;
  const ReportWidths widths = WidthsFor(run.init.numberColumnWidth, run.format);
  TextOutFile& out = run.report;

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
  integer("Max.Differ.Pieces :    ", std::max<int64_t>(0, o.maxDifferentPieces));
  integer("Stock/Cut Bundle  :    ",
          std::max<int64_t>(0, -static_cast<int64_t>(o.maxDifferentPieces)));
  integer("Max.Pieces in Layout:  ", o.maxPiecesPerLayout);
  length("Min.Reusable Length:   ", o.minReusableLength);
  length("Saw blade thickness:   ", o.kerf);
  if (o.gripLength > 0)
    length("Gripping (usable):     ", o.gripLength);
  else
    length("End-zone (non-usable): ", o.endZone);
  out.WriteLine("");
  out.WriteLine("");
}

void WriteReportSection(RunState& run, const ReportContext& context) {
  FinaliseFigures(run.pass);
  const int partsMode = run.init.reportPartsMode == 1 ? 1 : 0;
  if (run.init.reportTotals) {
    WriteTotals(run, context, WidthsFor(run.init.numberColumnWidth, run.format));
    WriteTableHeader(run, partsMode);
  }
  WriteLayoutRows(run, partsMode);
  run.report.WriteLine("");
}

void WriteReportEnd(RunState& run, const ReportContext& context) {
  run.report.WriteLine(FileLine(context, run, "   REPORT END for:  "));
  run.report.WriteLine("");
}

}  // namespace tarvolin
