// Settings files of the batch runs that the desktop tests start.
#pragma once

#include <string>
#include <vector>

#include "qt_test_support.h"

namespace tarvolin::testing {

struct ConfigValues {
  int showWindow = 1;
  int askInputFiles = 0;
  int confirmSteps = 1;
  int showMessages = 1;
  int progressWindowMode = 1;
  int materialColumnWidth = 18;
  int writeLabelsFile = 0;
  int labelPrintMode = 0;
};

inline std::vector<std::string> ConfigLines(const ConfigValues& c) {
  const auto v = [](int value, const char* comment) {
    return std::to_string(value) + "    " + comment;
  };
  return {v(c.showWindow, "ShowWindow"),
          v(c.askInputFiles, "AskInputFiles"),
          v(c.confirmSteps, "ConfirmSteps"),
          v(c.showMessages, "ShowMessages"),
          v(c.progressWindowMode, "RunMsgMode"),
          v(0, "not used"),
          v(0, "not used"),
          v(1, "ReportFrame"),
          v(1, "ReportTotals"),
          v(1, "ReportMaterialColumn"),
          v(0, "ReportPartsMode"),
          v(0, "ReportCosts"),
          v(0, "not used"),
          v(0, "not used"),
          v(c.materialColumnWidth, "MaterialColumnWidth"),
          v(8, "NumberColumnWidth"),
          v(c.writeLabelsFile, "LabelsFile"),
          v(c.labelPrintMode, "PrintLabels"),
          v(0, "not used"),
          v(0, "not used"),
          v(0, "not used"),
          "555  end"};
}

// Least waste, no kerf, no end zone, a low effort level.
inline std::vector<std::string> OptSetLines() {
  return {"0    CostOptim",  "0    IgnoreLast", "0    PrefShort",   "0    ReduceLays",
          "2    EffortLev",  "0    DiffStocks", "0    DiffPieces",  "0 MinReusable",
          "0 GapItIt",       "0 end length",    "1    EndZoneKind", "0    MaxPieces",
          "0    BundleSize", "0    not used",   "0    not used",    "0    not used",
          "555  end"};
}

}  // namespace tarvolin::testing
