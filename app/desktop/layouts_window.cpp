#include "layouts_window.h"

#include <QEvent>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "discovery.h"
#include "layout_diagram.h"
#include "layout_pdf.h"
#include "qt_printer.h"
#include "text_file.h"
#include "toolkit.h"

namespace tarvolin::desktop {
namespace {

constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 640;
constexpr double kPointsPerInch = 72.0;
constexpr int kButtonMargin = 6;
// The object name that finds the windows among a widget's children.
constexpr const char* kObjectName = "LayoutsWindow";

// Paints the diagram at page width with the painter scaled to its own width.
class DiagramCanvas final : public QWidget {
 public:
  DiagramCanvas(const plan::PlanRun& run, const plan::MaterialPlan& material, QWidget* parent)
      : QWidget(parent), diagram_(run, material) {
    setAutoFillBackground(true);
    QPalette page = palette();
    page.setColor(QPalette::Window, Qt::white);
    setPalette(page);
  }

  int HeightAt(int width) const {
    return static_cast<int>(
        std::ceil(diagram_.Height(plan::kPageWidth) * width / plan::kPageWidth));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = width() / plan::kPageWidth;
    painter.scale(scale, scale);
    diagram_.Draw(painter, QRectF(0, 0, plan::kPageWidth, diagram_.Height(plan::kPageWidth)));
  }

 private:
  plan::MaterialDiagram diagram_;
};

}  // namespace

LayoutsWindow::LayoutsWindow(plan::PlanRun run, plan::MaterialPlan material, Toolkit& toolkit,
                             Printer* printer, std::vector<std::string> runFiles, QWidget* parent)
    : QWidget(parent),
      run_(std::move(run)),
      material_(std::move(material)),
      toolkit_(toolkit),
      printer_(printer),
      runFiles_(std::move(runFiles)),
      scroll_(new QScrollArea(this)),
      print_(new QPushButton(QString::fromUtf8(kPrintButtonText), this)),
      export_(new QPushButton(QString::fromUtf8(kExportButtonText), this)) {
  setObjectName(QString::fromUtf8(kObjectName));
  setWindowTitle(QStringLiteral("Layouts - ") + QString::fromStdString(material_.materialKey));
  setAttribute(Qt::WA_DeleteOnClose);
  // Always there, so the width the drawing is zoomed to does not jump.
  scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll_->setWidgetResizable(false);
  QPalette paper = scroll_->viewport()->palette();
  paper.setColor(QPalette::Window, Qt::white);
  scroll_->viewport()->setPalette(paper);
  scroll_->viewport()->setAutoFillBackground(true);
  // The canvas keeps references into this window's copies of the records.
  canvas_ = new DiagramCanvas(run_, material_, scroll_);
  scroll_->setWidget(canvas_);
  scroll_->viewport()->installEventFilter(this);

  // The drawing from edge to edge, the buttons below it.
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(kButtonMargin, 0, kButtonMargin, 0);
  buttons->addStretch(1);
  buttons->addWidget(print_);
  buttons->addWidget(export_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, kButtonMargin);
  layout->addWidget(scroll_, 1);
  layout->addLayout(buttons);
  connect(print_, &QPushButton::clicked, this, [this] { Print(); });
  connect(export_, &QPushButton::clicked, this, [this] { ExportPdf(); });

  // Wide enough to show the drawing at its least size without scrolling
  // sideways.
  const QMargins margins = layout->contentsMargins();
  const int least = static_cast<int>(std::ceil(plan::kPageWidth * MinimumTextPixels() /
                                               plan::DiagramStyle{}.smallSize)) +
                    scroll_->verticalScrollBar()->sizeHint().width() + 2 * scroll_->frameWidth() +
                    margins.left() + margins.right();
  resize(std::max(kInitialWidth, least), kInitialHeight);
  FitDrawing();
}

LayoutsWindow::~LayoutsWindow() = default;

QList<LayoutsWindow*> LayoutsWindow::OpenWindows(const QWidget& owner) {
  QList<LayoutsWindow*> windows;
  for (QWidget* child :
       owner.findChildren<QWidget*>(QString::fromUtf8(kObjectName), Qt::FindDirectChildrenOnly)) {
    if (auto* window = dynamic_cast<LayoutsWindow*>(child)) windows.append(window);
  }
  return windows;
}

double LayoutsWindow::MinimumTextPixels() const {
  const double readable = kMinimumTextPoints * logicalDpiY() / kPointsPerInch;
  return std::max<double>(QFontInfo(font()).pixelSize(), readable);
}

int LayoutsWindow::DrawingWidth() const {
  const int least = static_cast<int>(
      std::ceil(plan::kPageWidth * MinimumTextPixels() / plan::DiagramStyle{}.smallSize));
  return std::max(scroll_->viewport()->width(), least);
}

int LayoutsWindow::DrawingHeight() const {
  return static_cast<const DiagramCanvas*>(canvas_)->HeightAt(DrawingWidth());
}

double LayoutsWindow::SmallestTextPixels() const {
  return plan::DiagramStyle{}.smallSize * canvas_->width() / plan::kPageWidth;
}

void LayoutsWindow::FitDrawing() {
  canvas_->resize(DrawingWidth(), DrawingHeight());
}

bool LayoutsWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scroll_->viewport() && event->type() == QEvent::Resize) FitDrawing();
  return QWidget::eventFilter(watched, event);
}

bool LayoutsWindow::Print() {
  if (printer_ == nullptr) {
    if (ownPrinter_ == nullptr) ownPrinter_ = std::make_unique<QtPrinter>();
    printer_ = ownPrinter_.get();
  }
  const plan::DiagramStyle style;
  const bool printed = printer_->PrintPages(
      plan::kPageMarginMm,
      [&](QPainter& painter, double width, double height, const std::function<bool()>& turnPage) {
        return plan::DrawMaterialPages(painter, QSizeF(width, height), style, run_, material_, 0,
                                       turnPage) > 0;
      });
  if (!printed) toolkit_.ShowError(kPrintFailed);
  return printed;
}

std::string LayoutsWindow::SuggestedFileName() const {
  std::string name = "Layouts " + material_.materialKey;
  std::replace(name.begin(), name.end(), '/', '-');
  std::replace(name.begin(), name.end(), '\\', '-');
  return name + ".pdf";
}

bool LayoutsWindow::ExportPdf() {
  FileDialogRequest request;
  request.title = kExportDialogTitle;
  request.filter = kExportFilter;
  request.mustExist = false;
  request.save = true;
  request.fileName = SuggestedFileName();
  request.defaultSuffix = "pdf";
  const std::optional<std::string> chosen = toolkit_.OpenFileDialog(request);
  if (!chosen || chosen->empty()) return false;
  // Neither the file nor the temporary it is written through may be a
  // file of the run.
  for (const std::string& path : {*chosen, TextOutFile::TemporaryPath(*chosen)}) {
    if (const std::string* other = SameFileAs(path, runFiles_)) {
      toolkit_.ShowError(OverwriteMessage(path, *other));
      return false;
    }
  }
  const std::string error = plan::WriteLayoutPdf(*chosen, run_, {material_});
  if (!error.empty()) {
    toolkit_.ShowError(std::string(kExportFailed) + "\r" + error);
    return false;
  }
  return true;
}

}  // namespace tarvolin::desktop
