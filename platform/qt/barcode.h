// Barcodes drawn with Qt: the symbol is made by the zint library and its
// bars or modules are painted as filled rectangles, so they stay sharp on
// a printer and in a PDF file.
#pragma once

#include <QPainter>
#include <QRectF>
#include <string>

#include "printer.h"

namespace tarvolin {

// Draws `text` (UTF-8) as a barcode of the kind into `box`, from its left
// edge: a QR symbol as a square as high as the box (or as wide, when the box
// is narrower), a Code 128 symbol across the box's width, its bars as high
// as the box. False when the text cannot be encoded in the symbol (Code 128
// holds Latin-1 characters only) or is too long for it.
bool DrawBarcode(QPainter& painter, BarcodeKind kind, const std::string& text, const QRectF& box);

}  // namespace tarvolin
