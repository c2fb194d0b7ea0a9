#include "layouts_window.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <cmath>

#include "layout_diagram.h"

namespace tarvolin::desktop {
namespace {

constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 640;

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

LayoutsWindow::LayoutsWindow(plan::PlanRun run, plan::MaterialPlan material, QWidget* parent)
    : QScrollArea(parent), run_(std::move(run)), material_(std::move(material)) {
  setWindowTitle(QStringLiteral("Layouts - ") + QString::fromStdString(material_.materialKey));
  setAttribute(Qt::WA_DeleteOnClose);
  // Always there, so the width the drawing is zoomed to does not jump.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWidgetResizable(true);
  // The canvas keeps references into this window's copies of the records.
  setWidget(new DiagramCanvas(run_, material_, this));
  resize(kInitialWidth, kInitialHeight);
}

int LayoutsWindow::DrawingHeight() const {
  return static_cast<const DiagramCanvas*>(widget())->HeightAt(viewport()->width());
}

void LayoutsWindow::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  widget()->setMinimumHeight(DrawingHeight());
}

}  // namespace tarvolin::desktop
