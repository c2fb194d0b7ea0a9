#include "layout_pdf.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <cstdlib>
#include <new>
#include <string_view>

#include "text_file.h"

namespace tarvolin::plan {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kMarginMm = 15.0;  // kPageWidth assumes these margins
constexpr int kFooterSize = 7;

// Qt's PDF writer does not survive a failed allocation (it may crash
// instead of throwing), so the document is only worked on while this much
// memory could still be had: before a material's pages, and before the
// document is finished (which embeds the fonts and writes every page
// again), the latter with room for copies of what is drawn so far.
constexpr size_t kStartingHeadroom = size_t{32} << 20;  // the application as well
constexpr size_t kDrawingHeadroom = size_t{8} << 20;
constexpr size_t kFinishingHeadroom = size_t{16} << 20;
constexpr size_t kCopiesOfTheDocument = 4;

bool MemoryAvailable(size_t bytes) {
  // Stored through a volatile pointer, so that the compiler keeps the
  // allocation.
  void* volatile block = std::malloc(bytes);
  const bool available = block != nullptr;
  std::free(block);
  return available;
}

std::string NoMemoryText(const std::string& path) {
  return "not enough memory to draw the PDF document for " + path;
}

// Text needs the font database of a GUI application. A batch run without
// windows has none, so one is started on the offscreen platform and kept
// for the life of the process. Throws std::bad_alloc when memory is short.
bool EnsureGuiApplication() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) return true;
  if (QCoreApplication::instance() != nullptr) return false;
  if (!MemoryAvailable(kStartingHeadroom)) throw std::bad_alloc();
  static int argc = 3;
  static char name[] = "tarvolin";
  static char option[] = "-platform";
  static char platform[] = "offscreen";
  static char* argv[] = {name, option, platform, nullptr};
  static QGuiApplication app(argc, argv);
  return true;
}

}  // namespace

LayoutPdf::LayoutPdf(std::string path, DiagramStyle style)
    : path_(std::move(path)), style_(std::move(style)) {
  if (!EnsureGuiApplication()) {
    error_ = "drawing the layouts needs a GUI application";
    return;
  }
  // Drawn into memory and written in one go when finished: the PDF writer
  // itself does not report a full disk, and nothing half-drawn should
  // stand on disk.
  buffer_.open(QIODevice::WriteOnly);
  writer_ = std::make_unique<QPdfWriter>(&buffer_);
  writer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
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

void LayoutPdf::DrawFooter(const QString& footer) {
  QFont font(style_.fontFamily);
  font.setPixelSize(kFooterSize);
  painter_->save();
  painter_->setFont(font);
  painter_->setPen(style_.ink);
  const QRectF line(0, height_ - kFooterSize - 2, width_, kFooterSize + 2);
  painter_->drawText(line, Qt::AlignLeft | Qt::AlignBottom, footer);
  painter_->drawText(line, Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("Page ") + QString::number(pages_));
  painter_->restore();
}

void LayoutPdf::NewPage(const QString& footer) {
  if (pages_ > 0) writer_->newPage();
  ++pages_;
  DrawFooter(footer);
}

bool LayoutPdf::AddMaterial(const PlanRun& run, const MaterialPlan& material) {
  if (!Ok() || finished_) return false;
  if (!MemoryAvailable(kDrawingHeadroom)) throw std::bad_alloc();
  try {
    DrawMaterial(run, material);
  } catch (const std::bad_alloc&) {
    Abandon(NoMemoryText(path_));
    throw;
  }
  return true;
}

void LayoutPdf::DrawMaterial(const PlanRun& run, const MaterialPlan& material) {
  const MaterialDiagram diagram(run, material, style_);
  const QString footer = QString::fromStdString(material.materialKey);
  const double bottom = height_ - kFooterSize - 8;
  NewPage(footer);
  double y = 0;
  for (int block = 0; block < diagram.BlockCount(); ++block) {
    const double h = diagram.BlockHeight(block, width_);
    // A block that does not fit goes to the next page, unless it is taller
    // than a page of its own.
    if (y > 0 && y + h > bottom) {
      NewPage(footer);
      y = 0;
    }
    diagram.DrawBlock(*painter_, block, QRectF(0, y, width_, h));
    y += h;
  }
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
    if (pages_ == 0) NewPage(QString());  // a PDF needs a page, even an empty one
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
