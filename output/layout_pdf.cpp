#include "layout_pdf.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <cstdlib>
#include <new>
#include <string_view>

#include "memory_headroom.h"
#include "text_file.h"

namespace tarvolin::plan {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr int kFooterSize = 7;

// Qt's PDF writer does not survive a failed allocation (it may crash
// instead of throwing), so the document is only worked on while this much
// memory could still be had: before a material's pages, and before the
// document is finished (which embeds the fonts and writes every page
// again), the latter with room for copies of what is drawn so far.
constexpr size_t kDrawingHeadroom = size_t{8} << 20;
constexpr size_t kFinishingHeadroom = size_t{16} << 20;
constexpr size_t kCopiesOfTheDocument = 4;

std::string NoMemoryText(const std::string& path) {
  return "not enough memory to draw the PDF document for " + path;
}

}  // namespace

LayoutPdf::LayoutPdf(std::string path, DiagramStyle style)
    : path_(std::move(path)), style_(std::move(style)) {
  // Text needs the font database of a GUI application, which the
  // application starts.
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    error_ = "drawing the layouts needs a GUI application";
    return;
  }
  // Drawn into memory and written in one go when finished: the PDF writer
  // itself does not report a full disk, and nothing half-drawn should
  // stand on disk.
  buffer_.open(QIODevice::WriteOnly);
  writer_ = std::make_unique<QPdfWriter>(&buffer_);
  writer_->setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                  QMarginsF(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm),
                  QPageLayout::Millimeter));
  writer_->setTitle(QStringLiteral("Cutting layouts"));
  writer_->setCreator(QStringLiteral("Tarvolin"));
  if (!painter_->begin(writer_.get())) {
    error_ = "cannot start the PDF document for " + path_;
    writer_.reset();
    return;
  }
  // Draw in points whatever the writer's resolution.
  const double scale = writer_->resolution() / kPointsPerInch;
  painter_->scale(scale, scale);
  width_ = writer_->width() / scale;
  height_ = writer_->height() / scale;
}

LayoutPdf::~LayoutPdf() {
  try {
    Finish();
  } catch (const std::bad_alloc&) {
    // Finish has dropped the document; a destructor does not throw.
  }
}

void LayoutPdf::Abandon(std::string reason) {
  // The painter and the writer are left as they are, never ended or
  // destroyed: after a failed allocation inside them either could crash.
  // What they hold is lost memory until the process ends, which the failed
  // run is about to do.
  static_cast<void>(painter_.release());
  static_cast<void>(writer_.release());
  finished_ = true;
  error_ = std::move(reason);
}

void DrawPageFooter(QPainter& painter, const QSizeF& page, const DiagramStyle& style,
                    const QString& text, int pageNumber) {
  QFont font(style.fontFamily);
  font.setPixelSize(kFooterSize);
  painter.save();
  painter.setFont(font);
  painter.setPen(style.ink);
  const QRectF line(0, page.height() - kFooterSize - 2, page.width(), kFooterSize + 2);
  painter.drawText(line, Qt::AlignLeft | Qt::AlignBottom, text);
  painter.drawText(line, Qt::AlignRight | Qt::AlignBottom,
                   QStringLiteral("Page ") + QString::number(pageNumber));
  painter.restore();
}

int DrawMaterialPages(QPainter& painter, const QSizeF& page, const DiagramStyle& style,
                      const PlanRun& run, const MaterialPlan& material, int pagesBefore,
                      const std::function<bool()>& turnPage) {
  const MaterialDiagram diagram(run, material, style);
  const QString footer = QString::fromStdString(material.materialKey);
  const double bottom = page.height() - kFooterSize - 8;
  int pages = 0;
  const auto newPage = [&] {
    if (pagesBefore + pages > 0 && !turnPage()) return false;
    ++pages;
    DrawPageFooter(painter, page, style, footer, pagesBefore + pages);
    return true;
  };
  if (!newPage()) return -1;
  double y = 0;
  for (int block = 0; block < diagram.BlockCount(); ++block) {
    const double h = diagram.BlockHeight(block, page.width());
    // A block that does not fit goes to the next page, unless it is taller
    // than a page of its own.
    if (y > 0 && y + h > bottom) {
      if (!newPage()) return -1;
      y = 0;
    }
    diagram.DrawBlock(painter, block, QRectF(0, y, page.width(), h));
    y += h;
  }
  return pages;
}

bool LayoutPdf::AddMaterial(const PlanRun& run, const MaterialPlan& material) {
  if (!Ok() || finished_) return false;
  if (!MemoryAvailable(kDrawingHeadroom)) throw std::bad_alloc();
  int pages = 0;
  try {
    pages = DrawMaterialPages(*painter_, QSizeF(width_, height_), style_, run, material, pages_,
                              [this] { return writer_->newPage(); });
  } catch (const std::bad_alloc&) {
    Abandon(NoMemoryText(path_));
    throw;
  }
  if (pages < 0) {
    error_ = "cannot add a page to the PDF document for " + path_;
    return false;
  }
  pages_ += pages;
  return true;
}

bool LayoutPdf::Finish() {
  if (finished_) return Ok();
  finished_ = true;
  if (!writer_) return false;
  const size_t drawn = static_cast<size_t>(buffer_.size());
  if (!MemoryAvailable(kFinishingHeadroom + kCopiesOfTheDocument * drawn)) {
    Abandon(NoMemoryText(path_));
    return false;
  }
  try {
    if (pages_ == 0) {  // a PDF needs a page, even an empty one
      DrawPageFooter(*painter_, QSizeF(width_, height_), style_, QString(), 1);
      pages_ = 1;
    }
    if (!painter_->end()) error_ = "cannot finish the PDF document for " + path_;
  } catch (const std::bad_alloc&) {
    Abandon(NoMemoryText(path_));
    throw;
  }
  writer_.reset();
  buffer_.close();
  if (Ok()) {
    const QByteArray& bytes = buffer_.data();
    error_ = ReplaceFile(path_, std::string_view(bytes.constData(), bytes.size()));
  }
  return Ok();
}

std::string WriteLayoutPdf(const std::string& path, const PlanRun& run,
                           const std::vector<MaterialPlan>& materials) {
  LayoutPdf pdf(path);
  for (const MaterialPlan& m : materials) pdf.AddMaterial(run, m);
  pdf.Finish();
  return pdf.Error();
}

}  // namespace tarvolin::plan
