#include "qt_printer.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <cmath>

#include "barcode.h"
#include "fixed_pitch_font.h"
#include "qt_convert.h"

namespace tarvolin {

QtPrinter::QtPrinter(std::string pdfFile) : pdfFile_(std::move(pdfFile)) {}

QtPrinter::~QtPrinter() {
  if (painter_ != nullptr && painter_->isActive()) painter_->end();
}

QPrinter& QtPrinter::Device() const {
  if (printer_ == nullptr) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!pdfFile_.empty()) {
      printer_->setOutputFormat(QPrinter::PdfFormat);
      printer_->setOutputFileName(ToQString(pdfFile_));
    }
  }
  return *printer_;
}

int QtPrinter::VerticalResolution() const {
  return Device().resolution();
}

bool QtPrinter::Begin(const PrinterSetup& setup) {
  QPrinter& device = Device();
  if (inJob_) return false;
  const bool toPdf = !pdfFile_.empty();
  if (!toPdf && (!device.isValid() || device.printerName().isEmpty())) return false;
  device.setPageOrientation(setup.orientation == PageOrientation::kLandscape
                                ? QPageLayout::Landscape
                                : QPageLayout::Portrait);

  // The PDF file collects every job: a later job goes on a new page.
  const bool documentOpen = toPdf && painter_ != nullptr && painter_->isActive();
  if (!documentOpen) {
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&device)) {
      painter_.reset();
      return false;
    }
    pageUsed_ = false;
  } else if (pageUsed_ && !NewPage()) {
    return false;
  }

  // The requested cell height (ascent + descent) decides the pixel size;
  // Qt's matching picks the closest font present when the name is missing.
  if (setup.fixedPitch) {
    font_ = FixedPitchFont(ToQString(setup.fontName));
  } else {
    font_ = QFont(ToQString(setup.fontName));
  }
  font_.setBold(setup.bold);
  const int cell = std::max(1, setup.cellHeight);
  font_.setPixelSize(cell);
  const int measured = QFontMetrics(font_, &device).height();
  if (measured > 0 && measured != cell) {
    font_.setPixelSize(std::max(1, static_cast<int>(std::lround(1.0 * cell * cell / measured))));
  }
  painter_->setFont(font_);
  const QFontMetrics metrics(font_, &device);
  lineHeight_ = std::max(1, metrics.lineSpacing());
  ascent_ = metrics.ascent();
  y_ = 0;
  pendingPage_ = false;
  inJob_ = true;
  return true;
}

bool QtPrinter::NewPage() {
  if (!Device().newPage()) return false;
  y_ = 0;
  pageUsed_ = false;
  return true;
}

bool QtPrinter::MakeRoom(int height) {
  if (pendingPage_) {
    pendingPage_ = false;
    if (!NewPage()) return false;
  }
  return !(pageUsed_ && y_ + height > Device().height()) || NewPage();
}

bool QtPrinter::WriteLine(std::string_view text) {
  if (!inJob_ || painter_ == nullptr || !painter_->isActive()) return false;
  if (!MakeRoom(lineHeight_)) return false;
  painter_->drawText(0, y_ + ascent_, ToQString(text));
  y_ += lineHeight_;
  pageUsed_ = true;
  return true;
}

// The new page begins with the next line, so a form feed at the end of a
// job leaves no empty page behind.
bool QtPrinter::FormFeed() {
  if (!inJob_ || painter_ == nullptr || !painter_->isActive()) return false;
  pendingPage_ = true;
  return true;
}

bool QtPrinter::WriteBarcodes(BarcodeKind kind, const std::vector<BarcodeCell>& cells, int width,
                              int heightLines) {
  if (!inJob_ || painter_ == nullptr || !painter_->isActive()) return false;
  const int height = heightLines * lineHeight_;
  if (!MakeRoom(height)) return false;
  const double charWidth = QFontMetricsF(font_, &Device()).horizontalAdvance(QLatin1Char('M'));
  // A quiet zone of half a line above and below the symbols.
  const QRectF box(0, y_ + lineHeight_ / 2.0, width * charWidth, height - lineHeight_);
  // A text the symbol cannot hold (Code 128 takes Latin-1 only) leaves its
  // place empty rather than losing the labels.
  for (const BarcodeCell& cell : cells)
    DrawBarcode(*painter_, kind, cell.text, box.translated(cell.column * charWidth, 0));
  y_ += height;
  pageUsed_ = true;
  return true;
}

bool QtPrinter::PrintPages(double marginMm, const PageDrawing& draw) {
  QPrinter& device = Device();
  if (inJob_) return false;
  const bool toPdf = !pdfFile_.empty();
  if (!toPdf && (!device.isValid() || device.printerName().isEmpty())) return false;
  const QPageLayout before = device.pageLayout();
  // A new layout takes effect from the next page begun.
  device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                   QMarginsF(marginMm, marginMm, marginMm, marginMm),
                                   QPageLayout::Millimeter));
  const bool documentOpen = toPdf && painter_ != nullptr && painter_->isActive();
  bool ok = true;
  if (!documentOpen) {
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&device)) {
      painter_.reset();
      ok = false;
    }
    pageUsed_ = false;
  } else if (pageUsed_) {
    ok = NewPage();
  }
  if (ok) {
    const double scale = device.resolution() / 72.0;
    painter_->save();
    painter_->scale(scale, scale);
    ok = draw(*painter_, device.width() / scale, device.height() / scale,
              [this] { return NewPage(); });
    painter_->restore();
    pageUsed_ = true;
    if (!toPdf) ok = painter_->end() && ok;
  }
  if (!toPdf) painter_.reset();
  device.setPageLayout(before);
  return ok;
}

bool QtPrinter::End() {
  if (!inJob_) return false;
  inJob_ = false;
  pendingPage_ = false;
  if (!pdfFile_.empty()) return painter_ != nullptr && painter_->isActive();
  const bool ok = painter_ != nullptr && painter_->end();
  painter_.reset();
  return ok;
}

bool QtPrinter::Finish() {
  if (painter_ == nullptr) return true;
  const bool ok = !painter_->isActive() || painter_->end();
  painter_.reset();
  return ok;
}

}  // namespace tarvolin
