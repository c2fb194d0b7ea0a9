// Cutting layouts drawn to scale: for one material a heading with its
// figures, then every layout as a horizontal bar of boxes (pieces, the kerf
// behind each cut, the end zone shaded, the remainder hatched, or drawn as
// an offcut when it is long enough to keep). The pieces stand in the order
// they are cut from the bar's start (cutting_order.h), so cutting from left
// to right is always allowed; the piece that reaches into the gripping
// length is marked with a triangle.
//
// The diagram is a stack of blocks (the heading, then one block per layout)
// that draw onto any QPainter: the PDF writer deals them out on pages, a
// window can stack them all and scale the painter to its width. Sizes are in
// the painter's logical units; the default style is in typographic points
// for an A4 page (kPageWidth wide), and every colour keeps its meaning when
// printed in grey. A window that shows the diagram at its own width w draws
// it at kPageWidth with the painter scaled by w / kPageWidth, so text and
// bars keep the proportions of the printed page.
#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <vector>

#include "material_plan.h"

class QPainter;

namespace tarvolin::plan {

// The printable width of an A4 page with margins of 15 mm, in points.
inline constexpr double kPageWidth = (210.0 - 2 * 15.0) / 25.4 * 72.0;

struct DiagramStyle {
  QString fontFamily = QStringLiteral("DejaVu Sans");
  int titleSize = 15;  // font pixel sizes, in logical units
  int textSize = 9;
  int smallSize = 8;
  double barHeight = 30;
  double blockGap = 12;  // below every block
  QColor ink = QColor(0, 0, 0);
  QColor pieceFill = QColor(0xe4, 0xee, 0xf8);    // light: text on it stays black
  QColor offcutFill = QColor(0xd6, 0xec, 0xcf);   // light, with a dashed border
  QColor endZoneFill = QColor(0x80, 0x80, 0x80);  // mid grey, solid
  QColor kerfFill = QColor(0x20, 0x20, 0x20);
  QColor hatch = QColor(0x30, 0x30, 0x30);  // waste: diagonal lines on white
  QColor rule = QColor(0xa0, 0xa0, 0xa0);
};

class MaterialDiagram {
 public:
  MaterialDiagram(const PlanRun& run, const MaterialPlan& plan, DiagramStyle style = {});

  // Block 0 is the heading, block i >= 1 the layout plan.layouts[i - 1].
  int BlockCount() const;
  // Height of a block drawn at `width`, its gap below included.
  double BlockHeight(int block, double width) const;
  // Draws a block into rect (its width as given to BlockHeight).
  void DrawBlock(QPainter& painter, int block, const QRectF& rect) const;

  // All blocks stacked, for a window that scrolls.
  double Height(double width) const;
  void Draw(QPainter& painter, const QRectF& rect) const;

  // The text a layout's caption starts with: "Layout 3", or "Layout L3"
  // for the last stock as the report marks it.
  static QString LayoutTitle(const PlanLayout& layout);

 private:
  double HeadingHeight(double width) const;
  double LayoutHeight(const PlanLayout& layout, double width) const;
  void DrawHeading(QPainter& painter, const QRectF& rect) const;
  void DrawLayout(QPainter& painter, const PlanLayout& layout, const QRectF& rect) const;

  const PlanRun& run_;
  const MaterialPlan& plan_;
  DiagramStyle style_;
  int32_t longestStock_ = 0;  // sets the common scale of the material's bars
};

}  // namespace tarvolin::plan
