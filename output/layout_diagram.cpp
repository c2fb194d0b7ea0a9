#include "layout_diagram.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <utility>

#include "cutting_order.h"

namespace tarvolin::plan {

namespace {

constexpr double kPad = 2.0;         // inside a box, around its text
constexpr double kCaptionGap = 3.0;  // between a layout's caption and its bar
// A kerf and an end zone stay visible at any scale; their true lengths
// are given in the legend.
constexpr double kMinKerf = 1.5;
constexpr double kMinEndZone = 3.0;
constexpr double kHatchStep = 4.0;
// The mark of the piece that reaches into the gripping length: a
// triangle in its top right corner.
constexpr double kGripMark = 7.0;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QFont MakeFont(const DiagramStyle& s, int pixelSize, bool bold = false) {
  QFont font(s.fontFamily);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(pixelSize, 1));
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

double LineHeight(const QFont& font) {
  return QFontMetricsF(font).height();
}

double TextWidth(const QFont& font, const QString& text) {
  return QFontMetricsF(font).horizontalAdvance(text);
}

double WrappedHeight(const QFont& font, const QString& text, double width) {
  if (text.isEmpty()) return 0;
  return QFontMetricsF(font)
      .boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap | Qt::AlignLeft, text)
      .height();
}

QString PieceText(const NumberForm& form, const PlanPiece& p) {
  QString text = Q(LengthText(form, p.length));
  if (!p.mark.empty()) text += QStringLiteral(" ") + Q(p.mark);
  return text;
}

// One labelled figure of the heading.
struct Figure {
  QString label;
  QString value;
};

std::vector<Figure> FiguresOf(const PlanRun& run, const MaterialPlan& m) {
  const NumberForm& n = run.numbers;
  const PlanFigures& f = m.figures;
  std::vector<Figure> out;
  if (m.Solved()) {
    out.push_back({"Bars used", QString::number(f.barsUsed)});
    out.push_back({"Stock length used", Q(LengthText(n, f.stockLengthUsed))});
    out.push_back({"Waste", Q(LengthText(n, f.waste))});
    out.push_back({"Utilisation", Q(UtilisationText(f.utilRate)) + " %"});
    out.push_back(
        {"Pieces", QString::number(f.pieces) + " (" + QString::number(f.piecesLeft) + " left)"});
    out.push_back({"Different layouts", QString::number(f.differentLayouts)});
    out.push_back({"Layout cuts", QString::number(f.layoutCuts)});
    out.push_back(
        {"Calculation time", Q(ScaledText(m.calculationMs, 1000, 1, n.decimalSeparator)) + " s"});
    if (run.showCosts) out.push_back({"Cost", Q(CostText(n, f.cost))});
  } else {
    out.push_back({"Pieces", QString::number(f.pieces) + " (none cut)"});
  }
  const PlanBound& b = m.bound;
  QStringList bound;
  if (b.bars) bound << QString::number(*b.bars) + " bars";
  if (b.stockLength) bound << "length " + Q(LengthText(n, *b.stockLength));
  if (b.cost) bound << "cost " + Q(CostText(n, *b.cost));
  if (!bound.isEmpty())
    out.push_back({"Lower bound", bound.join(", ")});
  else if (b.objective)
    out.push_back({"Lower bound", "unknown"});
  if (b.provenOptimal) out.push_back({"Proven optimal", *b.provenOptimal ? "yes" : "no"});
  out.push_back({"Kerf", Q(LengthText(n, m.kerf))});
  out.push_back({"End zone", Q(LengthText(n, m.endZone))});
  if (m.minReusable > 0) out.push_back({"Min. reusable", Q(LengthText(n, m.minReusable))});
  return out;
}

constexpr int kFigureColumns = 3;

// What the exact method's objective is, when no figure above shows it:
// with short stock the greatest cut length comes first; with a last stock
// its remainder is taken off; in cost mode the figure is a cost.
QString ObjectiveNote(const PlanRun& run, const MaterialPlan& m) {
  if (!m.bound.objective) return {};
  const PlanObjective& o = *m.bound.objective;
  QString note;
  if (o.shortStock)
    note = "Short stock: the greatest length cut comes first, the objective second. ";
  if (o.LessLastRemainder() || (o.InCost() && !run.showCosts)) {
    const QString what = !o.LessLastRemainder() ? "cost used"
                         : o.InCost()           ? "cost used less last stock remainder's worth"
                                                : "length used less last stock remainder";
    const std::string value =
        o.InCost() ? CostText(run.numbers, o.value) : LengthText(run.numbers, o.value);
    note += "Objective (" + what + "): " + Q(value);
  }
  return note.trimmed();
}

// The parts of a bar from left to right, in logical units.
struct Segment {
  enum Kind { kPiece, kKerf, kRemainder, kEndZone };
  Kind kind;
  double x0;
  double x1;
  int piece = -1;  // index into the layout's pieces
  int slot = -1;   // a piece's place from the bar's start (0 = cut first)
};

// The pieces are drawn in the order they are cut, from the bar's start.
std::vector<Segment> SegmentsOf(const PlanLayout& layout, const MaterialPlan& plan,
                                const CutOrder& order, double left, double unit) {
  std::vector<Segment> out;
  const double end = layout.stockLength;
  const double usableEnd = std::max(0.0, end - plan.endZone);
  double x = 0;
  auto at = [&](double units) { return left + std::clamp(units, 0.0, end) * unit; };
  for (size_t slot = 0; slot < order.pieces.size(); ++slot) {
    const int i = order.pieces[slot];
    const double next = x + layout.pieces[i].length;
    out.push_back({Segment::kPiece, at(x), at(next), i, static_cast<int>(slot)});
    x = next;
    if (plan.kerf > 0 && x < end) {
      const double mid = (at(x) + at(x + plan.kerf)) / 2;
      const double half = std::max(at(x + plan.kerf) - at(x), kMinKerf) / 2;
      out.push_back({Segment::kKerf, mid - half, mid + half});
    }
    x += plan.kerf;
  }
  if (x < usableEnd) out.push_back({Segment::kRemainder, at(x), at(usableEnd)});
  if (plan.endZone > 0 && end > 0) {
    const double x1 = at(end);
    out.push_back({Segment::kEndZone, std::min(at(usableEnd), x1 - kMinEndZone), x1});
  }
  return out;
}

// Pieces whose text does not fit their box, with the reference number the
// box shows instead.
struct NarrowPiece {
  int piece;
  int slot;
  int reference;
};

bool TextFits(const DiagramStyle& s, const NumberForm& form, const PlanPiece& p, double width) {
  const QFont font = MakeFont(s, s.smallSize);
  double textWidth = TextWidth(font, Q(LengthText(form, p.length)));
  int lines = 1;
  if (!p.mark.empty()) {
    textWidth = std::max(textWidth, TextWidth(font, Q(p.mark)));
    ++lines;
  }
  return textWidth + 2 * kPad <= width && lines * LineHeight(font) + kPad <= s.barHeight;
}

std::vector<NarrowPiece> NarrowPieces(const DiagramStyle& s, const NumberForm& form,
                                      const PlanLayout& layout,
                                      const std::vector<Segment>& segments) {
  std::vector<NarrowPiece> out;
  for (const Segment& seg : segments) {
    if (seg.kind != Segment::kPiece) continue;
    if (!TextFits(s, form, layout.pieces[seg.piece], seg.x1 - seg.x0))
      out.push_back({seg.piece, seg.slot, static_cast<int>(out.size()) + 1});
  }
  return out;
}

// "1: 10.00 N7", and neighbouring equal pieces as one entry:
// "2-7: 6 × 345.00 A12".
QString NarrowList(const NumberForm& form, const PlanLayout& layout,
                   const std::vector<NarrowPiece>& narrow) {
  QStringList items;
  for (size_t first = 0; first < narrow.size();) {
    const QString text = PieceText(form, layout.pieces[narrow[first].piece]);
    size_t last = first;
    while (last + 1 < narrow.size() && narrow[last + 1].slot == narrow[last].slot + 1 &&
           PieceText(form, layout.pieces[narrow[last + 1].piece]) == text)
      ++last;
    QString item = QString::number(narrow[first].reference);
    if (last > first) {
      item += QStringLiteral("-") + QString::number(narrow[last].reference) + QStringLiteral(": ") +
              QString::number(last - first + 1) + QStringLiteral(" \u00d7 ") + text;
    } else {
      item += QStringLiteral(": ") + text;
    }
    items << item;
    first = last + 1;
  }
  return items.join(QStringLiteral("    "));
}

// Under the bar, the reference numbers of narrow pieces: one mark for each
// run of neighbouring narrow pieces ("4" or "4-6"), centred under the run and
// pushed right where it would overlap the previous mark.
void DrawNarrowMarks(QPainter& painter, const std::vector<Segment>& segments,
                     const std::vector<NarrowPiece>& narrow, const QRectF& row) {
  std::vector<std::pair<int, int>> runs;  // first and last index into narrow
  for (size_t i = 0; i < narrow.size(); ++i) {
    if (!runs.empty() && narrow[i].slot == narrow[runs.back().second].slot + 1)
      runs.back().second = static_cast<int>(i);
    else
      runs.push_back({static_cast<int>(i), static_cast<int>(i)});
  }
  auto pieceSegment = [&](int slot) -> const Segment& {
    for (const Segment& seg : segments)
      if (seg.kind == Segment::kPiece && seg.slot == slot) return seg;
    return segments.front();
  };
  double freeFrom = row.left();
  for (const auto& [first, last] : runs) {
    QString mark = QString::number(narrow[first].reference);
    if (last > first) mark += QStringLiteral("-") + QString::number(narrow[last].reference);
    const double x0 = pieceSegment(narrow[first].slot).x0;
    const double x1 = pieceSegment(narrow[last].slot).x1;
    const double w = TextWidth(painter.font(), mark) + 2;
    double left = std::max((x0 + x1) / 2 - w / 2, freeFrom);
    left = std::min(left, row.right() - w);
    painter.drawText(QRectF(left, row.top(), w, row.height()), Qt::AlignCenter, mark);
    freeFrom = left + w + 2;
  }
}

void Hatch(QPainter& painter, const QRectF& r, const QColor& colour) {
  painter.save();
  painter.setClipRect(r, Qt::IntersectClip);
  painter.fillRect(r, Qt::white);
  painter.setPen(QPen(colour, 0.6));
  for (double x = r.left() - r.height(); x < r.right() + r.height(); x += kHatchStep)
    painter.drawLine(QPointF(x, r.bottom()), QPointF(x + r.height(), r.top()));
  painter.restore();
}

void CentredText(QPainter& painter, const QRectF& r, const QString& text) {
  painter.drawText(r, Qt::AlignCenter, text);
}

// Text with a white ground, so that it reads on top of a hatch.
void LabelOnGround(QPainter& painter, const QRectF& area, const QString& text) {
  const QFontMetricsF fm(painter.font());
  const double w = fm.horizontalAdvance(text) + 2 * kPad;
  const double h = fm.height();
  if (w > area.width() || h > area.height()) return;
  const QRectF box(area.center().x() - w / 2, area.center().y() - h / 2, w, h);
  painter.fillRect(box, Qt::white);
  CentredText(painter, box, text);
}

// The triangle in the top right corner of the piece that reaches into the
// gripping length, at most as wide as the box.
void GripMark(QPainter& painter, const DiagramStyle& s, const QRectF& box) {
  const double side = std::min({kGripMark, box.width(), box.height()});
  QPainterPath triangle;
  triangle.moveTo(box.right() - side, box.top());
  triangle.lineTo(box.right(), box.top());
  triangle.lineTo(box.right(), box.top() + side);
  triangle.closeSubpath();
  painter.fillPath(triangle, s.ink);
}

// One legend entry: a small sample box followed by its caption.
struct LegendItem {
  Segment::Kind kind;
  bool offcut = false;
  bool grip = false;  // the marked piece
  QString caption;
};

constexpr double kLegendSample = 16;
constexpr double kLegendTextGap = 4;
constexpr double kLegendItemGap = 14;

std::vector<LegendItem> LegendOf(const PlanRun& run, const MaterialPlan& m) {
  std::vector<LegendItem> items = {
      {Segment::kPiece, false, false, "Piece"},
      {Segment::kKerf, false, false, "Kerf " + Q(LengthText(run.numbers, m.kerf))},
      {Segment::kEndZone, false, false, "End zone " + Q(LengthText(run.numbers, m.endZone))},
      {Segment::kRemainder, false, false, "Waste"},
      {Segment::kRemainder, true, false, "Reusable offcut"}};
  if (m.gripLength > 0)
    items.push_back(
        {Segment::kPiece, false, true,
         "Cut last (gripping length " + Q(LengthText(run.numbers, m.gripLength)) + ")"});
  return items;
}

// Where each entry starts: rows of entries, a new row where the next one
// would not fit the width.
std::vector<QPointF> LegendPlaces(const QFont& font, const std::vector<LegendItem>& items,
                                  double width, double rowHeight) {
  std::vector<QPointF> places;
  double x = 0, y = 0;
  for (const LegendItem& item : items) {
    const double w = kLegendSample + kLegendTextGap + TextWidth(font, item.caption);
    if (x > 0 && x + w > width) {
      x = 0;
      y += rowHeight;
    }
    places.emplace_back(x, y);
    x += w + kLegendItemGap;
  }
  return places;
}

double LegendHeight(const QFont& font, const std::vector<LegendItem>& items, double width) {
  const double rowHeight = LineHeight(font);
  const std::vector<QPointF> places = LegendPlaces(font, items, width, rowHeight);
  return places.empty() ? 0 : places.back().y() + rowHeight;
}

void LegendEntry(QPainter& painter, const DiagramStyle& s, double x, double y, double h,
                 const LegendItem& item) {
  const Segment::Kind kind = item.kind;
  const bool offcut = item.offcut;
  const QRectF sample(x, y + 1, kLegendSample, h - 2);
  painter.save();
  switch (kind) {
    case Segment::kPiece:
      painter.fillRect(sample, s.pieceFill);
      if (item.grip) GripMark(painter, s, sample);
      break;
    case Segment::kKerf:
      painter.fillRect(QRectF(sample.center().x() - 1, sample.top(), 2, sample.height()),
                       s.kerfFill);
      break;
    case Segment::kRemainder:
      if (offcut)
        painter.fillRect(sample, s.offcutFill);
      else
        Hatch(painter, sample, s.hatch);
      break;
    case Segment::kEndZone:
      painter.fillRect(sample, s.endZoneFill);
      break;
  }
  if (kind != Segment::kKerf) {
    QPen pen(s.ink, 0.6);
    if (offcut) pen.setStyle(Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(sample);
  }
  painter.restore();
  const double textX = sample.right() + kLegendTextGap;
  painter.drawText(QRectF(textX, y, 1000, h), Qt::AlignLeft | Qt::AlignVCenter, item.caption);
}

}  // namespace

MaterialDiagram::MaterialDiagram(const PlanRun& run, const MaterialPlan& plan, DiagramStyle style)
    : run_(run), plan_(plan), style_(std::move(style)) {
  for (const PlanLayout& l : plan_.layouts) longestStock_ = std::max(longestStock_, l.stockLength);
}

int MaterialDiagram::BlockCount() const {
  return 1 + static_cast<int>(plan_.layouts.size());
}

double MaterialDiagram::BlockHeight(int block, double width) const {
  if (block == 0) return HeadingHeight(width);
  if (block < 1 || block >= BlockCount()) return 0;
  return LayoutHeight(plan_.layouts[block - 1], width);
}

void MaterialDiagram::DrawBlock(QPainter& painter, int block, const QRectF& rect) const {
  if (block == 0)
    DrawHeading(painter, rect);
  else if (block >= 1 && block < BlockCount())
    DrawLayout(painter, plan_.layouts[block - 1], rect);
}

double MaterialDiagram::Height(double width) const {
  double h = 0;
  for (int b = 0; b < BlockCount(); ++b) h += BlockHeight(b, width);
  return h;
}

void MaterialDiagram::Draw(QPainter& painter, const QRectF& rect) const {
  double y = rect.top();
  for (int b = 0; b < BlockCount(); ++b) {
    const double h = BlockHeight(b, rect.width());
    DrawBlock(painter, b, QRectF(rect.left(), y, rect.width(), h));
    y += h;
  }
}

QString MaterialDiagram::LayoutTitle(const PlanLayout& layout) {
  return QStringLiteral("Layout ") + (layout.lastStock ? QStringLiteral("L") : QString()) +
         QString::number(layout.number);
}

// ---- Heading ----

double MaterialDiagram::HeadingHeight(double width) const {
  const QFont small = MakeFont(style_, style_.smallSize);
  const QFont text = MakeFont(style_, style_.textSize);
  const QFont title = MakeFont(style_, style_.titleSize, true);
  const int figures = static_cast<int>(FiguresOf(run_, plan_).size());
  const int rows = (figures + kFigureColumns - 1) / kFigureColumns;
  double h = LineHeight(small) + LineHeight(title) + LineHeight(small) + 6;
  h += rows * LineHeight(text) + 6;
  const QString note = ObjectiveNote(run_, plan_);
  if (!note.isEmpty()) h += WrappedHeight(text, note, width) + 6;
  if (plan_.error) {
    const QString message = "No cutting plan: " + Q(plan_.error->text);
    h += WrappedHeight(MakeFont(style_, style_.textSize, true), message, width) + 6;
  } else {
    h += LegendHeight(small, LegendOf(run_, plan_), width) + 4;
  }
  return h + 2 + style_.blockGap;
}

void MaterialDiagram::DrawHeading(QPainter& painter, const QRectF& rect) const {
  const QFont small = MakeFont(style_, style_.smallSize);
  const QFont text = MakeFont(style_, style_.textSize);
  const QFont bold = MakeFont(style_, style_.textSize, true);
  const QFont title = MakeFont(style_, style_.titleSize, true);
  painter.save();
  painter.setPen(style_.ink);
  double y = rect.top();
  const double w = rect.width();

  painter.setFont(small);
  const double sh = LineHeight(small);
  painter.drawText(QRectF(rect.left(), y, w, sh), Qt::AlignLeft, "Cutting layouts");
  painter.drawText(QRectF(rect.left(), y, w, sh), Qt::AlignRight, Q(run_.dateText));
  y += sh;
  painter.setFont(title);
  const double th = LineHeight(title);
  const QString header = run_.materialHeader.empty() ? QString() : Q(run_.materialHeader) + ": ";
  painter.drawText(QRectF(rect.left(), y, w, th), Qt::AlignLeft, header + Q(plan_.materialKey));
  y += th;
  painter.setFont(small);
  painter.drawText(QRectF(rect.left(), y, w, sh), Qt::AlignLeft,
                   "Order file: " + Q(run_.orderFile) + "     Stock file: " + Q(run_.stockFile));
  y += sh + 6;

  const std::vector<Figure> figures = FiguresOf(run_, plan_);
  const double columnWidth = w / kFigureColumns;
  const double lh = LineHeight(text);
  for (size_t i = 0; i < figures.size(); ++i) {
    const double x = rect.left() + (i % kFigureColumns) * columnWidth;
    const double rowY = y + (i / kFigureColumns) * lh;
    painter.setFont(text);
    const QString label = figures[i].label + ": ";
    painter.drawText(QRectF(x, rowY, columnWidth, lh), Qt::AlignLeft, label);
    painter.setFont(bold);
    painter.drawText(QRectF(x + TextWidth(text, label), rowY, columnWidth, lh), Qt::AlignLeft,
                     figures[i].value);
  }
  y += ((figures.size() + kFigureColumns - 1) / kFigureColumns) * lh + 6;

  const QString note = ObjectiveNote(run_, plan_);
  if (!note.isEmpty()) {
    painter.setFont(text);
    const double h = WrappedHeight(text, note, w);
    painter.drawText(QRectF(rect.left(), y, w, h), Qt::TextWordWrap | Qt::AlignLeft, note);
    y += h + 6;
  }

  if (plan_.error) {
    painter.setFont(bold);
    QString message = "No cutting plan: " + Q(plan_.error->text);
    const double h = WrappedHeight(bold, message, w);
    painter.drawText(QRectF(rect.left(), y, w, h), Qt::TextWordWrap | Qt::AlignLeft, message);
    y += h + 6;
  } else {
    painter.setFont(small);
    const std::vector<LegendItem> legend = LegendOf(run_, plan_);
    const std::vector<QPointF> places = LegendPlaces(small, legend, w, sh);
    for (size_t i = 0; i < legend.size(); ++i)
      LegendEntry(painter, style_, rect.left() + places[i].x(), y + places[i].y(), sh, legend[i]);
    y += LegendHeight(small, legend, w) + 4;
  }
  painter.setPen(QPen(style_.rule, 0.8));
  painter.drawLine(QPointF(rect.left(), y + 1), QPointF(rect.right(), y + 1));
  painter.restore();
}

// ---- One layout ----

double MaterialDiagram::LayoutHeight(const PlanLayout& layout, double width) const {
  const QFont text = MakeFont(style_, style_.textSize);
  const QFont small = MakeFont(style_, style_.smallSize);
  const double unit = longestStock_ > 0 ? width / longestStock_ : 0;
  const std::vector<Segment> segments =
      SegmentsOf(layout, plan_, CuttingOrder(layout, plan_), 0, unit);
  const auto narrow = NarrowPieces(style_, run_.numbers, layout, segments);
  double h = LineHeight(text) + kCaptionGap + style_.barHeight;
  if (!narrow.empty())
    h += 1 + LineHeight(small) +
         WrappedHeight(small, NarrowList(run_.numbers, layout, narrow), width);
  return h + style_.blockGap;
}

void MaterialDiagram::DrawLayout(QPainter& painter, const PlanLayout& layout,
                                 const QRectF& rect) const {
  const NumberForm& form = run_.numbers;
  const QFont text = MakeFont(style_, style_.textSize);
  const QFont bold = MakeFont(style_, style_.textSize, true);
  const QFont small = MakeFont(style_, style_.smallSize);
  painter.save();
  painter.setPen(style_.ink);

  // Caption: title, bar count, then the figures of one bar.
  const double ch = LineHeight(text);
  double x = rect.left();
  auto run = [&](const QFont& font, const QString& part) {
    painter.setFont(font);
    painter.drawText(QRectF(x, rect.top(), rect.right() - x, ch), Qt::AlignLeft, part);
    x += TextWidth(font, part);
  };
  run(bold, LayoutTitle(layout));
  run(bold, QStringLiteral("    \u00d7 ") + QString::number(layout.barCount));
  QString figures = "    Stock " + Q(LengthText(form, layout.stockLength));
  if (run_.showCosts) figures += "    Cost " + Q(CostText(form, layout.stockCost));
  figures += "    Waste " + Q(LengthText(form, layout.waste));
  if (layout.remainder > 0)
    figures += (layout.reusable ? "    Offcut " : "    Remainder ") +
               Q(LengthText(form, layout.remainder));
  if (layout.lastStock) figures += "    (last stock)";
  run(text, figures);
  // With the remnant store: the remnants cut and the offcuts left, by name.
  const auto ids = [](const char* caption, const std::vector<std::string>& list) {
    QString text;
    for (size_t i = 0; i < list.size(); ++i) text += (i == 0 ? caption : ", ") + Q(list[i]);
    return text;
  };
  const QString names = ids("    Remnant ", LayoutRemnants(plan_, layout)) +
                        ids("    Offcut id ", LayoutOffcuts(plan_, layout));
  if (!names.isEmpty()) run(bold, names);

  // The bar, to the material's common scale.
  const double top = rect.top() + ch + kCaptionGap;
  const double h = style_.barHeight;
  const double unit = longestStock_ > 0 ? rect.width() / longestStock_ : 0;
  const CutOrder order = CuttingOrder(layout, plan_);
  const std::vector<Segment> segments = SegmentsOf(layout, plan_, order, rect.left(), unit);
  const auto narrow = NarrowPieces(style_, form, layout, segments);
  auto referenceOf = [&](int piece) {
    for (const NarrowPiece& n : narrow)
      if (n.piece == piece) return n.reference;
    return 0;
  };

  painter.setFont(small);
  const QRectF whole(rect.left(), top, layout.stockLength * unit, h);
  painter.fillRect(whole, Qt::white);
  for (const Segment& seg : segments) {
    const QRectF r(seg.x0, top, seg.x1 - seg.x0, h);
    switch (seg.kind) {
      case Segment::kPiece: {
        painter.fillRect(r, style_.pieceFill);
        painter.setPen(QPen(style_.ink, 0.8));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r);
        const PlanPiece& p = layout.pieces[seg.piece];
        const int reference = referenceOf(seg.piece);
        if (reference == 0) {
          QString label = Q(LengthText(form, p.length));
          if (!p.mark.empty()) label += "\n" + Q(p.mark);
          CentredText(painter, r, label);
        } else if (TextWidth(small, QString::number(reference)) + 1 <= r.width()) {
          CentredText(painter, r, QString::number(reference));
        }
        if (seg.piece == order.gripPiece) GripMark(painter, style_, r);
        break;
      }
      case Segment::kKerf:
        painter.fillRect(r, style_.kerfFill);
        break;
      case Segment::kRemainder:
        if (layout.reusable) {
          painter.fillRect(r, style_.offcutFill);
          QPen pen(style_.ink, 0.8);
          pen.setStyle(Qt::DashLine);
          painter.setPen(pen);
          painter.setBrush(Qt::NoBrush);
          painter.drawRect(r);
          LabelOnGround(painter, r.adjusted(kPad, kPad, -kPad, -kPad),
                        "Offcut " + Q(LengthText(form, layout.remainder)));
        } else {
          Hatch(painter, r, style_.hatch);
          painter.setPen(style_.ink);
          LabelOnGround(painter, r.adjusted(kPad, kPad, -kPad, -kPad),
                        Q(LengthText(form, layout.remainder)));
        }
        break;
      case Segment::kEndZone:
        painter.fillRect(r, style_.endZoneFill);
        break;
    }
    painter.setPen(style_.ink);
  }
  painter.setPen(QPen(style_.ink, 1.0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(whole);

  if (!narrow.empty()) {
    const double markY = top + h + 1;
    DrawNarrowMarks(painter, segments, narrow,
                    QRectF(rect.left(), markY, rect.width(), LineHeight(small)));
    const QString list = NarrowList(form, layout, narrow);
    const double y = markY + LineHeight(small);
    painter.drawText(QRectF(rect.left(), y, rect.width(), WrappedHeight(small, list, rect.width())),
                     Qt::TextWordWrap | Qt::AlignLeft, list);
  }
  painter.restore();
}

}  // namespace tarvolin::plan
