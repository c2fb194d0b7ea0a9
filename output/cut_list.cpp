#include "cut_list.h"

#include <cstdint>
#include <string_view>

#include "cutting_order.h"
#include "quoted.h"

namespace tarvolin::plan {
namespace {

char Separator(const NumberForm& form) {
  return form.decimalSeparator == ',' ? ';' : ',';
}

// A text field, quoted when it holds the separator, a quote or a line end.
std::string Field(std::string_view text, char separator) {
  if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string_view::npos)
    return std::string(text);
  return quoted::DoubleQuoted(text);
}

class Row {
 public:
  explicit Row(char separator) : separator_(separator) {}
  Row& operator<<(std::string_view field) {
    if (started_) text_ += separator_;
    started_ = true;
    text_ += Field(field, separator_);
    return *this;
  }
  std::string Line() const { return text_ + "\r\n"; }

 private:
  char separator_;
  bool started_ = false;
  std::string text_;
};

}  // namespace

std::string CutListHeader(const NumberForm& form, bool remnantStore) {
  Row row(Separator(form));
  for (const char* name : {"material", "bar", "stock_length", "remnant", "layout", "position",
                           "length", "mark", "order_line", "bar_remainder"})
    row << name;
  if (remnantStore) row << "offcut";
  return row.Line();
}

std::string CutListRows(const NumberForm& form, const MaterialPlan& material, bool remnantStore) {
  std::string rows;
  if (!material.Solved()) return rows;
  for (const PlanBar& bar : material.bars) {
    if (bar.layoutIndex < 0 || static_cast<size_t>(bar.layoutIndex) >= material.layouts.size())
      continue;
    const PlanLayout& layout = material.layouts[static_cast<size_t>(bar.layoutIndex)];
    std::string layoutText = std::to_string(layout.number);
    if (layout.lastStock) layoutText.insert(0, 1, 'L');
    int64_t position = 0;  // where the next piece starts
    for (const int index : CuttingOrder(layout, material).pieces) {
      const PlanPiece& piece = layout.pieces[static_cast<size_t>(index)];
      Row row(Separator(form));
      row << material.materialKey << std::to_string(bar.number) << LengthText(form, bar.stockLength)
          << bar.remnant << layoutText << LengthText(form, position)
          << LengthText(form, piece.length) << piece.mark
          << (piece.orderLine > 0 ? std::to_string(piece.orderLine) : std::string())
          << LengthText(form, layout.remainder);
      if (remnantStore) row << bar.offcut;
      rows += row.Line();
      position += piece.length + material.kerf;
    }
  }
  return rows;
}

}  // namespace tarvolin::plan
