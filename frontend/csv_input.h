// Order and stock files exported from a spreadsheet (CSV). A header row
// names the columns; the rows are turned into the lines the order and stock
// readers walk, so that a CSV file goes through the same checks, limits,
// number formats and messages (with its own line numbers) as a text file.
#pragma once

#include <string>
#include <string_view>

namespace tarvolin {

// Between the fields of a line made from a CSV row. A text file's fields are
// separated by blanks and tabs instead; a CSV field may hold blanks.
inline constexpr char kCsvFieldSeparator = '\x1f';

enum class CsvKind { kOrder, kStock };

// Whether a file name is read as CSV: it ends in ".csv" (any case).
bool IsCsvFileName(std::string_view name);

struct CsvConversion {
  // One line per physical line of the file, each row's fields in the
  // readers' order (material, profile, length, quantity, then mark or
  // cost) separated by kCsvFieldSeparator; the header row becomes the
  // first non-empty line, which the readers skip. Lines that continue a
  // quoted field are left empty, so every row keeps its line number.
  std::string lines;
  // Empty on success; otherwise why the file cannot be read, with the line
  // (e.g. "The CSV header has no column for the length").
  std::string error;
  int errorLine = 0;
};

// Reads a CSV file's content (a UTF-8 byte-order mark is ignored). The
// separator is the one of ',', ';' and tab under which the header row names
// every column needed; fields may be quoted with '"', a quote inside
// written twice. A column named twice (e.g. "Qty" and "Menge") is an error. Column names are
// matched without regard to case, blanks around them and their order; columns of other names are
// ignored.
CsvConversion ConvertCsv(std::string_view content, CsvKind kind);

}  // namespace tarvolin
