#include "settings_rules.h"

#include "tarvolin/limits.h"

namespace solver::exact {

Rules RulesOf(const TarvolinSettings& s) {
  Rules r;
  r.kerf = s.kerf;
  r.endZone = s.endZone;
  r.gripLength = s.gripLength;
  r.maxPieces = s.maxPiecesPerLayout;
  r.diffPieces = s.maxDifferentPieces;
  r.diffStocks = s.maxStockGroups;
  r.minReusable = s.minReusable;
  r.prefShort = s.preferShort;
  r.reduceLays = s.reduceLayouts;
  r.bundle = s.bundleSize;
  r.costMode = s.costMode != 0;
  r.ignoreLast = s.ignoreLast != 0;
  // Layouts told apart by mark only matter where layouts are reduced.
  r.piecesByMark = s.layoutsByMark != 0 && s.reduceLayouts > 0;
  r.preferFree = s.preferFreeStock != 0;
  return r;
}

int32_t ExactTimeLimitMs(const TarvolinSettings& s) {
  const int32_t seconds =
      s.exactTimeLimitSeconds > 0 ? s.exactTimeLimitSeconds : TARVOLIN_EXACT_DEFAULT_SECONDS;
  return seconds * 1000;
}

TarvolinSettings SettingsOf(const Rules& r) {
  TarvolinSettings s{};
  s.costMode = r.costMode ? 1 : 0;
  s.ignoreLast = r.ignoreLast ? 1 : 0;
  s.reduceLayouts = r.reduceLays;
  s.preferShort = r.prefShort;
  s.maxStockGroups = r.diffStocks;
  // A bundle takes the place of the different-pieces limit, as in the
  // settings file.
  s.maxDifferentPieces = r.bundle >= 2 ? 0 : r.diffPieces;
  s.bundleSize = r.bundle >= 2 ? r.bundle : 0;
  s.minReusable = r.minReusable;
  s.kerf = r.kerf;
  s.endZone = r.endZone;
  s.gripLength = r.gripLength;
  s.maxPiecesPerLayout = r.maxPieces;
  s.layoutsByMark = r.piecesByMark ? 1 : 0;
  s.preferFreeStock = r.preferFree ? 1 : 0;
  return s;
}

}  // namespace solver::exact
