#include "run_state.h"

namespace tarvolin {

RunRecord RunRecordOf(const RunState& run) {
  const InitialSettings& s = run.init;
  const OptimizerSettings& o = run.opt;
  RunRecord record;
  record.banner = run.banner;
  record.orderFile = run.orderFile;
  record.stockFile = run.stockFile;
  record.style = ReportStyle{
      .totals = s.reportTotals,
      .materialColumn = s.reportMaterialColumn,
      .partsMode = s.reportPartsMode,
      .costs = s.reportCosts,
      .materialColumnWidth = s.materialColumnWidth,
      .numberColumnWidth = s.numberColumnWidth,
  };
  record.settings = ReportedSettings{
      .optimizeCost = o.optimizeCost,
      .ignoreLastStock = o.ignoreLastStock,
      .stockLengthPreference = o.stockLengthPreference,
      .reduceLayouts = o.reduceLayouts,
      .effortLevel = o.effortLevel,
      .maxDifferentStocks = o.maxDifferentStocks,
      .maxDifferentPieces = o.maxDifferentPieces,
      .bundleSize = o.bundleSize,
      .maxPiecesPerLayout = o.maxPiecesPerLayout,
      .minReusableLength = o.minReusableLength,
      .kerf = o.kerf,
      .endZone = o.endZone,
      .gripLength = o.gripLength,
      .exactMethod = o.method == kMethodExact,
  };
  record.format = run.format;
  return record;
}

}  // namespace tarvolin
