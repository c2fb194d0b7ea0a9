// Piece labels, three across in rows of four text lines, to the labels file
// or to the printer.
//
// Failure contract: every write is checked at once and the first failure
// stops the labels of the material. WriteLabels then returns a status other
// than kOk and throws nothing; the batch run logs LabelStatusMessage() as an
// error and ends the run. A print job that was begun is always ended, also
// after a failed write.
#pragma once

#include <string>
#include <string_view>

#include "fract.h"
#include "material_plan.h"
#include "printer.h"
#include "text_file.h"

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

// Blanks in front up to n characters; a longer text is cut to n - 1
// characters and ends in "?".
std::string FitLabelField(std::string_view text, int n);

// The printer font and orientation for a label mode (1 or 2).
PrinterSetup LabelPrinterSetup(int mode, int verticalResolution);

// Labels of the material to the labels file (mode 1, no paging). Lengths are written with the
// format's length precision and always with a point.
LabelStatus WriteLabels(const plan::MaterialPlan& plan, const fract::NumberFormat& format,
                        TextOutFile& file);

// Labels of the material as one print job in the given mode (1 or 2):
// begins the job with the mode's font in portrait orientation, writes the
// pages and ends the job, so every material starts on a new page. With a
// barcode kind, each row of labels is followed by a row of barcodes, one
// under each label, holding PieceBarcodeText; a page then holds fewer rows.
LabelStatus WriteLabels(const plan::MaterialPlan& plan, const fract::NumberFormat& format,
                        Printer& printer, int mode, BarcodeKind barcode = BarcodeKind::kNone);

// What a piece's barcode holds: the line of the order file it comes from,
// its piece number (as on its label) and its mark when it has one, joined
// by "/", e.g. "12/3/A17" or "12/4".
std::string PieceBarcodeText(int orderLine, int piece, std::string_view mark);

}  // namespace tarvolin
