#include "label_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "output_text.h"

namespace tarvolin {

namespace {

using output_text::CharCount;
using output_text::FirstChars;
using output_text::RightAligned;

constexpr int kLabelsPerRow = 3;
constexpr int kLinesPerLabel = 4;
// With the remnant store a fifth line names the remnant a bar is and the
// offcut it leaves; a printed page then holds fewer rows.
constexpr int kRemnantRowsPerPageMode1 = 10;
constexpr int kRemnantRowsPerPageMode2 = 8;
// Numbers on a label: the used bar and the piece behind their five-letter
// captions, the layout behind "Lay#".
constexpr int kCaptionNumberWidth = 5;
constexpr int kLayoutNumberWidth = 4;
// A label is its value field width W plus this much: a caption, its number
// and a blank ("Lay#", its number and ", " take as much with a one wider
// mark field).
constexpr int kLabelExtraWidth = 5 + kCaptionNumberWidth + 1;
static_assert(4 + kLayoutNumberWidth + 2 + 1 == kLabelExtraWidth);
// The separator between two labels is five characters wide.
constexpr int kSeparatorWidth = 5;
constexpr char kFormFeed = '\f';

// Where the lines go: the labels file or a print job.
class LabelSink {
 public:
  virtual ~LabelSink() = default;
  virtual bool WriteLine(std::string_view text) = 0;
  virtual bool FormFeed() = 0;
  virtual bool WriteBarcodes(BarcodeKind kind, const std::vector<BarcodeCell>& cells, int width,
                             int heightLines) = 0;
};

class FileSink : public LabelSink {
 public:
  explicit FileSink(TextOutFile& file) : file_(file) {}
  bool WriteLine(std::string_view text) override { return file_.WriteLine(text) == 0; }
  bool FormFeed() override { return file_.Write(std::string(1, kFormFeed)) == 0; }
  bool WriteBarcodes(BarcodeKind, const std::vector<BarcodeCell>&, int, int) override {
    return true;  // the labels file carries no barcodes
  }

 private:
  TextOutFile& file_;
};

class PrinterSink : public LabelSink {
 public:
  explicit PrinterSink(Printer& printer) : printer_(printer) {}
  bool WriteLine(std::string_view text) override { return printer_.WriteLine(text); }
  bool FormFeed() override { return printer_.FormFeed(); }
  bool WriteBarcodes(BarcodeKind kind, const std::vector<BarcodeCell>& cells, int width,
                     int heightLines) override {
    return printer_.WriteBarcodes(kind, cells, width, heightLines);
  }

 private:
  Printer& printer_;
};

struct LabelLayout {
  bool toPrinter;
  int mode;
  int fieldWidth;   // W
  int rowsPerPage;  // label rows per page
  std::string margin;
  std::string separator;
  BarcodeKind barcode = BarcodeKind::kNone;  // printed below each row's labels
  bool remnantLine = false;                  // the fifth line of the remnant store
};

// A row of barcodes takes this many lines; a page then holds fewer rows.
constexpr int kBarcodeLines = 4;
constexpr int kBarcodeRowsPerPage = 6;

// Value field width, rows per page, margin and separator of each output:
// the labels file and printer mode 1 have W = 15, dotted separators and
// lines; printer mode 2 has W = 16 and blank separators. A printed page holds
// 12 rows in mode 1 and 10 in mode 2; the labels file has no pages: its one
// page has more rows than its labels fill.
LabelLayout LayoutFor(bool toPrinter, int mode, int pieceCount, bool remnants,
                      BarcodeKind barcode = BarcodeKind::kNone) {
  if (!toPrinter) return {false, 1, 15, pieceCount / kLabelsPerRow + 2, "", "  .  ", {}, remnants};
  const bool codes = barcode != BarcodeKind::kNone;
  if (mode == 2) {
    const int rows = codes ? kBarcodeRowsPerPage : remnants ? kRemnantRowsPerPageMode2 : 10;
    return {true, 2, 16, rows, " ", "     ", barcode, remnants};
  }
  const int rows = codes ? kBarcodeRowsPerPage : remnants ? kRemnantRowsPerPageMode1 : 12;
  return {true, 1, 15, rows, "  ", "  .  ", barcode, remnants};
}

// The fifth line: the remnant the bar is ("new" for a bar of the stock
// file) and the offcut it leaves, when it leaves one.
std::string RemnantLabelText(const plan::PlanBar& bar) {
  std::string text = "Bar " + (bar.remnant.empty() ? std::string("new") : bar.remnant);
  if (!bar.offcut.empty()) text += " Offcut " + bar.offcut;
  return text;
}

// A length as a fixed-point number with the length precision and a point.
std::string LabelLength(int32_t units, const fract::NumberFormat& format) {
  const int decimals = std::max(format.lengthPrecision, 0);
  const double value = static_cast<double>(units) / format.lengthScale;
  return output_text::ScaledFixedText(output_text::ScaleRounded(value, decimals), decimals, '.');
}

// Writes the labels of one material, bar by bar in the piece order.
class LabelRows {
 public:
  LabelRows(const plan::MaterialPlan& plan, const fract::NumberFormat& format, LabelSink& sink,
            const LabelLayout& layout)
      : plan_(plan), format_(format), sink_(sink), layout_(layout) {}

  bool Write() {
    const int w = layout_.fieldWidth;
    numberExtra_ = NumberExtra();
    materialText_ = FitLabelField(plan_.materialKey, w + kLabelExtraWidth + numberExtra_);
    for (const plan::PlanBar& bar : plan_.bars) {
      const std::string stockLength = FitLabelField(LabelLength(bar.stockLength, format_), w);
      for (const int piece : bar.pieces)
        if (!AddLabel(bar, stockLength, piece)) return false;
    }
    // A plan whose pieces cut disagree with its pieces still gets every label.
    return buffers_[0].empty() || CompleteRow();
  }

 private:
  // Columns the numbers of this material need beyond the fixed ones: the
  // used bar and the piece number (five) and the layout number (four). A
  // material within the search's limits never needs any.
  int NumberExtra() const {
    int extra = 0;
    for (const plan::PlanBar& bar : plan_.bars) {
      extra = std::max(extra, Digits(bar.layoutNumber) - kLayoutNumberWidth);
      for (const int piece : bar.pieces)
        extra = std::max(extra, Digits(piece + 1) - kCaptionNumberWidth);
    }
    return std::max(extra, Digits(static_cast<int64_t>(plan_.bars.size())) - kCaptionNumberWidth);
  }

  static int Digits(int64_t value) { return static_cast<int>(std::to_string(value).size()); }

  // `piece` indexes the plan's pieces; the label shows its item number.
  bool AddLabel(const plan::PlanBar& bar, const std::string& stockLength, int piece) {
    const int w = layout_.fieldWidth;
    const plan::PlanPiece& p = plan_.pieces[piece].piece;
    const int item = piece + 1;
    const int captionWidth = kCaptionNumberWidth + numberExtra_;

    ++labels_;
    buffers_[0] += materialText_;
    buffers_[1] += "Stock" + RightAligned(bar.number, captionWidth) + " " + stockLength;
    buffers_[2] += "Piece" + RightAligned(item, captionWidth) + " " +
                   FitLabelField(LabelLength(p.length, format_), w);
    buffers_[3] += "Lay#" + RightAligned(bar.layoutNumber, kLayoutNumberWidth + numberExtra_) +
                   ", " + FitLabelField(p.mark, w + 1);
    if (layout_.remnantLine) buffers_[4] += FitLabelField(RemnantLabelText(bar), LabelWidth());
    if (layout_.barcode != BarcodeKind::kNone) {
      const int column = static_cast<int>(layout_.margin.size()) +
                         (labels_ - 1) % kLabelsPerRow * (LabelWidth() + kSeparatorWidth);
      codes_.push_back({PieceBarcodeText(p.orderLine, item, p.mark), column});
    }

    const int pageLabels = kLabelsPerRow * layout_.rowsPerPage;
    if ((labels_ - 1) % pageLabels == 0 && layout_.toPrinter) {
      if (!sink_.WriteLine(layout_.margin + "Page " + std::to_string(page_))) return false;
      if (!sink_.WriteLine("")) return false;
    }
    if (labels_ % kLabelsPerRow != 0)
      for (int line = 0; line < Lines(); ++line) buffers_[line] += layout_.separator;
    const int piecesCut = plan_.figures.pieces - plan_.figures.piecesLeft;
    if (labels_ % kLabelsPerRow == 0 || labels_ == piecesCut) return CompleteRow();
    return true;
  }

  bool CompleteRow() {
    const bool mode2 = layout_.toPrinter && layout_.mode == 2;
    if (mode2 && !sink_.WriteLine("")) return false;
    for (int line = 0; line < Lines(); ++line) {
      if (!sink_.WriteLine(layout_.margin + buffers_[line])) return false;
      buffers_[line].clear();
    }
    if (!codes_.empty()) {
      if (!sink_.WriteBarcodes(layout_.barcode, codes_, LabelWidth(), kBarcodeLines)) return false;
      codes_.clear();
    }
    if (mode2) {
      if (!sink_.WriteLine("")) return false;
    } else {
      // Dots as wide as a full row: three labels and the two separators
      // between them.
      const int rowWidth = kLabelsPerRow * (LabelWidth() + kSeparatorWidth) - kSeparatorWidth;
      if (!sink_.WriteLine(layout_.margin + std::string(rowWidth, '.'))) return false;
    }
    if (layout_.toPrinter && labels_ % (kLabelsPerRow * layout_.rowsPerPage) == 0) {
      if (!sink_.FormFeed()) return false;
      ++page_;
    }
    return true;
  }

  int Lines() const { return kLinesPerLabel + (layout_.remnantLine ? 1 : 0); }
  int LabelWidth() const { return layout_.fieldWidth + kLabelExtraWidth + numberExtra_; }

  const plan::MaterialPlan& plan_;
  const fract::NumberFormat& format_;
  LabelSink& sink_;
  const LabelLayout layout_;
  std::vector<BarcodeCell> codes_;  // of the labels of the row being filled
  std::string materialText_;
  std::array<std::string, kLinesPerLabel + 1> buffers_;
  int numberExtra_ = 0;  // see NumberExtra
  int labels_ = 0;
  int page_ = 1;
};

}  // namespace

std::string LabelStatusMessage(LabelStatus status) {
  switch (status) {
    case LabelStatus::kOk:
      return "";
    case LabelStatus::kFileWriteFailed:
      return "Error writing Labels file";
    case LabelStatus::kPrinterOpenFailed:
      return "Error opening Labels printer";
    case LabelStatus::kPrinterWriteFailed:
      return "Error printing Labels";
    case LabelStatus::kPrinterCloseFailed:
      return "Error closing Labels printer";
    case LabelStatus::kBadMode:
      return "Error Label printing mode";
  }
  return "Error printing Labels";
}

std::string FitLabelField(std::string_view text, int n) {
  const int chars = CharCount(text);
  if (chars < n) return RightAligned(text, n);
  if (chars > n) return std::string(FirstChars(text, std::max(n - 1, 0))) + "?";
  return std::string(text);
}

PrinterSetup LabelPrinterSetup(int mode, int verticalResolution) {
  // Font cell heights: mode 1 fits five lines per inch, scaled by 0.8;
  // mode 2 six lines per inch, scaled by 0.985.
  const double ppi = verticalResolution;
  const double height = mode == 2 ? ppi / 6 * 0.985 : ppi / 5 * 0.8;
  return {"Courier New", true, true, static_cast<int>(std::nearbyint(height)),
          PageOrientation::kPortrait};
}

LabelStatus WriteLabels(const plan::MaterialPlan& plan, const fract::NumberFormat& format,
                        TextOutFile& file) {
  FileSink sink(file);
  LabelRows rows(plan, format, sink,
                 LayoutFor(false, 1, static_cast<int>(plan.pieces.size()), plan.remnantStore));
  return rows.Write() ? LabelStatus::kOk : LabelStatus::kFileWriteFailed;
}

std::string PieceBarcodeText(int orderLine, int piece, std::string_view mark) {
  std::string text = std::to_string(orderLine) + "/" + std::to_string(piece);
  if (!mark.empty()) text.append("/").append(mark);
  return text;
}

LabelStatus WriteLabels(const plan::MaterialPlan& plan, const fract::NumberFormat& format,
                        Printer& printer, int mode, BarcodeKind barcode) {
  if (mode != 1 && mode != 2) return LabelStatus::kBadMode;
  if (!printer.Begin(LabelPrinterSetup(mode, printer.VerticalResolution())))
    return LabelStatus::kPrinterOpenFailed;
  PrinterSink sink(printer);
  LabelRows rows(
      plan, format, sink,
      LayoutFor(true, mode, static_cast<int>(plan.pieces.size()), plan.remnantStore, barcode));
  const bool written = rows.Write();
  const bool ended = printer.End();
  if (!written) return LabelStatus::kPrinterWriteFailed;
  return ended ? LabelStatus::kOk : LabelStatus::kPrinterCloseFailed;
}

}  // namespace tarvolin
