#include "barcode.h"

#include <zint.h>

#include <algorithm>
#include <memory>

namespace tarvolin {

bool DrawBarcode(QPainter& painter, BarcodeKind kind, const std::string& text, const QRectF& box) {
  if (kind == BarcodeKind::kNone || text.empty()) return false;
  const std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)> symbol(ZBarcode_Create(),
                                                                        ZBarcode_Delete);
  if (!symbol) return false;
  symbol->symbology = kind == BarcodeKind::kQr ? BARCODE_QRCODE : BARCODE_CODE128;
  symbol->input_mode = UNICODE_MODE;
  symbol->show_hrt = 0;
  const int result = ZBarcode_Encode_and_Buffer_Vector(
      symbol.get(), reinterpret_cast<const unsigned char*>(text.data()),
      static_cast<int>(text.size()), 0);
  const zint_vector* vector = symbol->vector;
  if (result >= ZINT_ERROR || vector == nullptr || vector->width <= 0 || vector->height <= 0)
    return false;
  double sx = box.width() / vector->width;
  double sy = box.height() / vector->height;
  if (kind == BarcodeKind::kQr) sx = sy = std::min(sx, sy);  // modules stay square
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  for (const zint_vector_rect* r = vector->rectangles; r != nullptr; r = r->next) {
    painter.drawRect(
        QRectF(box.x() + r->x * sx, box.y() + r->y * sy, r->width * sx, r->height * sy));
  }
  painter.restore();
  return true;
}

}  // namespace tarvolin
