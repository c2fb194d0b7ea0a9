// The message of every error number, in one table.
#include "tarvolin/errors.h"

#include <cstdint>

namespace {

struct ErrorMessage {
  int32_t number;
  const char* text;
};

constexpr ErrorMessage kMessages[] = {
    {TARVOLIN_ERROR_STOCK_GROUP_COUNT, "Stock array index out of range"},
    {TARVOLIN_ERROR_PART_GROUP_COUNT, "Part array index out of range"},
    {TARVOLIN_ERROR_STOCK_COUNT_MISMATCH, "Stock array index difference"},
    {TARVOLIN_ERROR_PART_COUNT_MISMATCH, "Part array index difference"},
    {TARVOLIN_ERROR_STOCK_LENGTH, "Stock Length array data error"},
    {TARVOLIN_ERROR_PART_LENGTH, "Part Length array data error"},
    {TARVOLIN_ERROR_STOCK_COST, "Stock Cost array data error"},
    {TARVOLIN_ERROR_PART_MARK, "Part MarkID array data error"},
    {TARVOLIN_ERROR_STOCK_QUANTITY, "Stock Quantity array data error"},
    {TARVOLIN_ERROR_PART_QUANTITY, "Part Quantity array data error"},
    {TARVOLIN_ERROR_NO_STOCK, "No any suitable stocks defined,\ror Gripping/End-zone is too long"},
    {TARVOLIN_ERROR_NO_PARTS, "No any parts defined"},
    {TARVOLIN_ERROR_TOO_MANY_STOCK_GROUPS, "Too many stock groups"},
    {TARVOLIN_ERROR_TOO_MANY_PART_GROUPS, "Too many part groups"},
    {TARVOLIN_ERROR_TOO_MANY_STOCK_ITEMS, "Too many stock items"},
    {TARVOLIN_ERROR_TOO_MANY_PART_ITEMS, "Too many part items"},
    {TARVOLIN_ERROR_STOCK_LENGTH_SUM, "Stock length sum exceeds limit"},
    {TARVOLIN_ERROR_PART_LENGTH_SUM, "Part length sum exceeds limit"},
    {TARVOLIN_ERROR_STOCK_COST_SUM, "Stock cost sum exceeds limit"},
    {TARVOLIN_ERROR_NO_PART_FITS, "No parts fit in any stock"},
    {TARVOLIN_ERROR_STOCK_GROUP_LENGTH, "End Gap exceeds stock length"},
    {TARVOLIN_ERROR_BUNDLE_TOO_LARGE, "Stock bundle exceeds part Qty"},
    {TARVOLIN_ERROR_SETTINGS, "Error Opt.Settings"},
    {TARVOLIN_ERROR_EXACT_NOT_AVAILABLE, "Exact method not available in this build"},
};

constexpr const char* kCheckText = "Calc.Check";
constexpr const char* kInternalText = "Calc.Error";

}  // namespace

extern "C" TARVOLIN_API const char* TarvolinErrorText(int32_t number) {
  for (const ErrorMessage& m : kMessages) {
    if (m.number == number) return m.text;
  }
  if (number >= TARVOLIN_ERROR_CHECK_FIRST && number <= TARVOLIN_ERROR_CHECK_LAST) {
    return kCheckText;
  }
  if (number >= TARVOLIN_ERROR_INTERNAL_FIRST && number <= TARVOLIN_ERROR_INTERNAL_LAST) {
    return kInternalText;
  }
  return nullptr;
}
