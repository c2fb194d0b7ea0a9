#include "print_exp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "fract.h"
#include "output_text.h"

namespace tarvolin {

namespace {

using output_text::CharCount;
using output_text::FirstChars;
using output_text::RightAligned;

// Where the lines go: the labels file or a print job.
class LabelSink {
 public:
  virtual ~LabelSink() = default;
  virtual bool WriteLine(std::string_view text) = 0;
  virtual bool FormFeed() = 0;
};

class FileSink : public LabelSink {
 public:
  explicit FileSink(TextOutFile& file) : file_(file) {}
  bool WriteLine(std::string_view text) override { return file_.WriteLine(text) == 0; }
  bool FormFeed() override { return file_.Write("\f") == 0; }

 private:
  TextOutFile& file_;
};

class PrinterSink : public LabelSink {
 public:
  explicit PrinterSink(Printer& printer) : printer_(printer) {}
  bool WriteLine(std::string_view text) override { return printer_.WriteLine(text); }
  bool FormFeed() override { return printer_.FormFeed(); }

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
};

LabelLayout LayoutFor(bool toPrinter, int mode, int pieceCount) {
  if (!toPrinter) return {false, 1, 15, pieceCount / 3 + 2, "", "  .  "};
  if (mode == 2) return {true, 2, 16, 10, " ", "     "};
  return {true, 1, 15, 12, "  ", "  .  "};
}

int PieceCount(const SolverResults& r) {
  return std::clamp(r.partItemCount, 0, kMaxItems);
}

int PieceLength(const MaterialPass& pass, int piece) {
  const int g = pass.results.partItemGroup[piece];
  return g >= 1 && g <= std::min(pass.partGroupCount, kMaxPartGroups) ? pass.PartGrLth[g] : 0;
}

// A length as a fixed-point number with the length precision and a point.
std::string LabelLength(int32_t units, const fract::NumberFormat& format) {
  const int decimals = std::max(format.lengthPrecision, 0);
  const double value = static_cast<double>(units) / format.lengthScale;
  return output_text::ScaledFixedText(output_text::ScaleRounded(value, decimals), decimals, '.');
}

class LabelWriter {
 public:
  LabelWriter(const RunState& run, LabelSink& sink, const LabelLayout& layout)
      : run_(run), sink_(sink), layout_(layout) {}

  bool Run() {
    const MaterialPass& pass = run_.pass;
    const SolverResults& r = pass.results;
    const int w = layout_.fieldWidth;
    materialText_ = FitLabelField(run_.currentMaterial, w + 11);
    const int bars = std::clamp(r.stockItemCount, 0, kMaxItems);
    const int pieces = PieceCount(r);
    int usedBar = 0;
    for (int bar = 1; bar <= bars; ++bar) {
      if (r.stockItemLayout[bar] <= 0) continue;
      ++usedBar;
      const int g = r.stockItemGroup[bar];
      const bool groupOk = g >= 1 && g <= std::min(pass.stockGroupCount, kMaxStockGroups);
      const std::string stockLength =
          FitLabelField(LabelLength(groupOk ? pass.StockGrLth[g] : 0, run_.format), w);
      for (int k = 1; k <= pieces; ++k) {
        const int piece = pass.pieceOrder[k];
        if (piece < 1 || piece > pieces || r.partItemStock[piece] != bar) continue;
        if (!AddLabel(usedBar, stockLength, bar, piece)) return false;
      }
    }
    // A plan whose partsCut disagrees with its pieces still gets every label.
    return buffers_[0].empty() || CompleteRow();
  }

 private:
  bool AddLabel(int usedBar, const std::string& stockLength, int bar, int piece) {
    const MaterialPass& pass = run_.pass;
    const SolverResults& r = pass.results;
    const int w = layout_.fieldWidth;
    const int g = r.partItemGroup[piece];
    const bool partOk = g >= 1 && g <= std::min(pass.partGroupCount, kMaxPartGroups);

    ++labels_;
    buffers_[0] += materialText_;
    buffers_[1] += "Stock" + RightAligned(usedBar, 5) + " " + stockLength;
    buffers_[2] += "Piece" + RightAligned(piece, 5) + " " +
                   FitLabelField(LabelLength(PieceLength(pass, piece), run_.format), w);
    buffers_[3] += "Lay#" + RightAligned(r.stockItemLayout[bar], 4) + ", " +
                   FitLabelField(partOk ? pass.partGroups[g].mark : "", w + 1);

    const int pageLabels = 3 * layout_.rowsPerPage;
    if ((labels_ - 1) % pageLabels == 0 && layout_.toPrinter) {
      if (!sink_.WriteLine(layout_.margin + "Page " + std::to_string(page_))) return false;
      if (!sink_.WriteLine("")) return false;
    }
    if (labels_ % 3 != 0)
      for (std::string& b : buffers_) b += layout_.separator;
    if (labels_ % 3 == 0 || labels_ == r.partsCut) return CompleteRow();
    return true;
  }

  bool CompleteRow() {
    const int w = layout_.fieldWidth;
    const bool mode2 = layout_.toPrinter && layout_.mode == 2;
    if (mode2 && !sink_.WriteLine("")) return false;
    for (std::string& b : buffers_) {
      if (!sink_.WriteLine(layout_.margin + b)) return false;
      b.clear();
    }
    if (mode2) {
      if (!sink_.WriteLine("")) return false;
    } else {
      if (!sink_.WriteLine(layout_.margin + std::string(3 * (w + 16) - 5, '.'))) return false;
    }
    if (layout_.toPrinter && labels_ % (3 * layout_.rowsPerPage) == 0) {
      if (!sink_.FormFeed()) return false;
      ++page_;
    }
    return true;
  }

  const RunState& run_;
  LabelSink& sink_;
  const LabelLayout layout_;
  std::string materialText_;
  std::array<std::string, 4> buffers_;
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

void BuildPieceOrder(MaterialPass& pass) {
  auto& order = pass.pieceOrder;
  order.fill(0);
  const int n = PieceCount(pass.results);
  for (int i = 1; i <= n; ++i) order[i] = static_cast<int16_t>(i);

  // Bubble sort, each pass narrowed to the range between the first and the
  // last exchange of the pass before; exchanging only strictly longer later
  // pieces keeps equal lengths in item order.
  int low = 1;
  int high = n - 1;
  while (low <= high) {
    int firstExchange = 0;
    int lastExchange = 0;
    for (int i = low; i <= high; ++i) {
      if (PieceLength(pass, order[i + 1]) > PieceLength(pass, order[i])) {
        std::swap(order[i], order[i + 1]);
        if (firstExchange == 0) firstExchange = i;
        lastExchange = i;
      }
    }
    if (firstExchange == 0) break;
    low = std::max(1, firstExchange - 1);
    high = lastExchange - 1;
  }
}

std::string FitLabelField(std::string_view text, int n) {
  const int chars = CharCount(text);
  if (chars < n) return RightAligned(text, n);
  if (chars > n) return std::string(FirstChars(text, std::max(n - 1, 0))) + "?";
  return std::string(text);
}

PrinterSetup LabelPrinterSetup(int mode, int verticalResolution) {
  const double ppi = verticalResolution;
  const double height = mode == 2 ? ppi / 6 * 0.985 : ppi / 5 * 0.8;
  return {"Courier New", true, true, static_cast<int>(std::nearbyint(height)),
          PageOrientation::kPortrait};
}

LabelStatus WriteLabels(const RunState& run, TextOutFile& file) {
  FileSink sink(file);
  LabelWriter writer(run, sink, LayoutFor(false, 1, PieceCount(run.pass.results)));
  return writer.Run() ? LabelStatus::kOk : LabelStatus::kFileWriteFailed;
}

LabelStatus WriteLabels(const RunState& run, Printer& printer, int mode) {
  if (mode != 1 && mode != 2) return LabelStatus::kBadMode;
  if (!printer.Begin(LabelPrinterSetup(mode, printer.VerticalResolution())))
    return LabelStatus::kPrinterOpenFailed;
  PrinterSink sink(printer);
  LabelWriter writer(run, sink, LayoutFor(true, mode, PieceCount(run.pass.results)));
  const bool written = writer.Run();
  const bool ended = printer.End();
  if (!written) return LabelStatus::kPrinterWriteFailed;
  return ended ? LabelStatus::kOk : LabelStatus::kPrinterCloseFailed;
}

}  // namespace tarvolin
