// Piece labels, three across in rows of four text lines, to the labels file
// or to the printer; and the piece order (longest first) that the labels and
// the report's layout table share.
//
// Failure contract: every write is checked at once and the first failure
// stops the labels of the material. WriteLabels then returns a status other
// than kOk and throws nothing; the batch driver logs LabelStatusMessage() as
// an error and ends the run through FinishRun. A print job that was begun is
// always ended, also after a failed write.
#pragma once

#include <string>
#include <string_view>

#include "printer.h"
#include "run_state.h"

namespace tarvolin {

enum class LabelStatus {
  kOk,
  kFileWriteFailed,
  kPrinterOpenFailed,
  kPrinterWriteFailed,
  kPrinterCloseFailed,
  kBadMode,
};

// The error text for the log; empty for kOk.
std::string LabelStatusMessage(LabelStatus status);

// Fills run.pass.pieceOrder[1..piece count] with the piece item numbers
// sorted by length, longest first, equal lengths in item order.
void BuildPieceOrder(MaterialPass& pass);

// Blanks in front up to n characters; a longer text is cut to n - 1
// characters and ends in "?".
std::string FitLabelField(std::string_view text, int n);

// The printer font and orientation for a label mode (1 or 2).
PrinterSetup LabelPrinterSetup(int mode, int verticalResolution);

// Labels of the current material to the labels file (mode 1, no paging).
LabelStatus WriteLabels(const RunState& run, TextOutFile& file);

// Labels of the current material as one print job in the given mode (1 or
// 2): begins the job with the mode's font in portrait orientation, writes
// the pages and ends the job, so every material starts on a new page.
LabelStatus WriteLabels(const RunState& run, Printer& printer, int mode);

}  // namespace tarvolin
