#include "stock_input.h"

#include <array>
#include <string>

#include "fract.h"
#include "input_text.h"
#include "logs.h"
#include "tarvolin/cut_optimize.h"

namespace tarvolin {

namespace {

// The most bars of this length the pass's parts can occupy, at least 1.
int32_t BarDemand(const RunState& run, int32_t stockLength) {
  std::array<int32_t, kMaxPartGroups + 2> lengths{};
  std::array<int16_t, kMaxPartGroups + 2> quantities{};
  const int n = run.pass.partGroupCount;
  for (int i = 1; i <= n; ++i) {
    lengths[i] = run.pass.partGroups[i].length;
    quantities[i] = run.pass.partGroups[i].quantity;
  }
  const int32_t e = BarDemandBound(lengths.data(), quantities.data(), n, TARVOLIN_BAR_DEMAND_SLACK,
                                   run.opt.gripLength, run.opt.endZone, run.opt.kerf, stockLength);
  return e < 1 ? 1 : e;
}

}  // namespace

bool ReadStockPass(RunState& run, Toolkit& toolkit) {
  MaterialPass& pass = run.pass;
  pass.stockQuantitySum = 0;
  pass.stockLengthSum = 0;
  pass.stockCostSum = 0;
  int errors = 0;
  int n = 0;
  const fract::NumberFormat& format = run.format;

  std::string content;
  if (ReadWholeFile(run.stockFile, content) != 0) ++errors;
  DataLineReader reader(content);
  DataLine d;
  while (errors == 0 && reader.Next(d)) {
    const std::string_view line = d.text;
    const FieldBounds& f = d.fields;
    if (f.tooMany) return FailRun(run, toolkit, TooManyFieldsMessage("stock", d.number));
    const MaterialKeyResult& key = d.key;
    if (!key.hasSecondField) ++errors;
    if (key.key != run.pass.material) continue;
    if (n >= kMaxStockGroups)
      return FailRun(
          run, toolkit,
          "Too many stock input lines/groups\r" + GroupTail("stock", n + 1, run.pass.material));

    StockGroup& g = pass.stockGroups[++n];
    pass.stockGroupCount = n;
    g = StockGroup{};
    g.sourceLine = CutToChars(line, kSourceLineChars);
    g.materialKey = key.key;
    g.length = LengthField(line, f, 3, format, errors);
    if (f.k >= 5) {
      const std::string text = ReplaceDecimalMarks(FieldText(line, f, 5), format.decimalSeparator);
      g.cost = fract::ParseNumberText(TrimText(text), format.costPrecision, fract::NoValue,
                                      format.decimalSeparator);
      if (g.cost == fract::NoValue) ++errors;
    }
    if (f.k < 4 || !ParseWholeNumber16(FieldText(line, f, 4), g.quantity)) {
      g.quantity = 0;
      ++errors;
    }

    if (g.length <= 0)
      return FailRun(
          run, toolkit,
          "Error reading stock input file.\rAll stock lengths must be positive\rand have "
          "proper format.\r" +
              GroupTail("stock", n, run.pass.material));
    if (g.cost < 0)
      return FailRun(run, toolkit,
                     "Error reading stock input file.\rAll stock costs must be positive\rand have "
                     "proper format.\r" +
                         GroupTail("stock", n, run.pass.material));
    if (g.quantity <= 0)
      return FailRun(run, toolkit,
                     "Error reading stock input file.\rAll stock quantities must be positive "
                     "integers.\r" +
                         GroupTail("stock", n, run.pass.material));

    const int32_t demand = BarDemand(run, g.length);
    if (demand < g.quantity) g.quantity = static_cast<int16_t>(demand);

    if (pass.stockQuantitySum + g.quantity > kMaxItems)
      return FailRun(run, toolkit,
                     "Stocks total number exceeds \rprogram limit:  " + std::to_string(kMaxItems) +
                         "\r" + GroupTail("stock", n, run.pass.material));
    pass.stockQuantitySum += g.quantity;
    if (ExceedsTotalLimit(g.length, g.quantity, pass.stockLengthSum))
      return FailRun(run, toolkit,
                     "Stock total length exceeds limit: \r" +
                         std::to_string(LimitInUserUnits(format.lengthScale)) + "\r" +
                         GroupTail("stock", n, run.pass.material));
    pass.stockLengthSum += int64_t{g.length} * g.quantity;
    if (ExceedsTotalLimit(g.cost, g.quantity, pass.stockCostSum))
      return FailRun(run, toolkit,
                     "Stock total cost exceeds limit: \r" +
                         std::to_string(LimitInUserUnits(format.costScale)) + "\r" +
                         GroupTail("stock", n, run.pass.material));
    pass.stockCostSum += int64_t{g.cost} * g.quantity;
  }
  pass.stockGroupCount = n;
  if (errors > 0) return FailRun(run, toolkit, "Error open/read stock input file");
  return true;
}

}  // namespace tarvolin
