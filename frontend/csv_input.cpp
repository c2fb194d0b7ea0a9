#include "csv_input.h"

#include <array>
#include <optional>
#include <vector>

namespace tarvolin {
namespace {

// The columns a row is read from, in the readers' field order.
enum Column { kMaterial, kProfile, kLength, kQuantity, kExtra, kColumnCount };

constexpr std::array<const char*, kColumnCount> kColumnWords = {"material", "profile", "length",
                                                                "quantity", ""};

struct ColumnName {
  Column column;
  std::string_view name;  // lower case
};

// Common English and German headings. The last column is the mark in an
// order and the cost in a stock file.
constexpr ColumnName kSharedNames[] = {
    {kMaterial, "material"},
    {kMaterial, "werkstoff"},
    {kMaterial, "mat"},
    {kProfile, "profile"},
    {kProfile, "profil"},
    {kProfile, "section"},
    {kProfile, "querschnitt"},
    {kLength, "length"},
    {kLength, "l\xc3\xa4nge"},
    {kLength, "laenge"},
    {kLength, "len"},
    {kQuantity, "quantity"},
    {kQuantity, "qty"},
    {kQuantity, "menge"},
    {kQuantity, "anzahl"},
    {kQuantity,
     "st\xc3\xbc"
     "ck"},
    {kQuantity, "stueck"},
    {kQuantity, "pcs"},
    {kQuantity, "count"},
};
constexpr std::string_view kMarkNames[] = {"mark",     "markierung", "kennzeichen",
                                           "position", "pos",        "label"};
constexpr std::string_view kCostNames[] = {"cost", "kosten", "price", "preis"};

constexpr std::array<char, 3> kSeparators = {',', ';', '\t'};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Lower case for ASCII and the German umlauts.
std::string Lower(std::string_view text) {
  std::string r(text);
  for (size_t i = 0; i < r.size(); ++i) {
    if (r[i] >= 'A' && r[i] <= 'Z') r[i] = static_cast<char>(r[i] - 'A' + 'a');
    const bool umlaut = r[i] == '\xc3' && i + 1 < r.size() &&
                        (r[i + 1] == '\x84' || r[i + 1] == '\x96' || r[i + 1] == '\x9c');
    if (umlaut) r[i + 1] = static_cast<char>(r[i + 1] + 0x20);
  }
  return r;
}

std::optional<Column> ColumnOf(std::string_view heading, CsvKind kind) {
  const std::string name = Lower(Trim(heading));
  for (const ColumnName& n : kSharedNames)
    if (n.name == name) return n.column;
  if (kind == CsvKind::kOrder) {
    for (std::string_view n : kMarkNames)
      if (n == name) return kExtra;
  } else {
    for (std::string_view n : kCostNames)
      if (n == name) return kExtra;
  }
  return std::nullopt;
}

std::string ColumnWord(Column c, CsvKind kind) {
  if (c == kExtra) return kind == CsvKind::kOrder ? "mark" : "cost";
  return kColumnWords[c];
}

// One row: its fields and the physical lines it takes.
struct Row {
  std::vector<std::string> fields;
  int lines = 1;
  bool unclosedQuote = false;
};

// Reads the row that starts at `at`, moving `at` past its line end.
Row ReadRow(std::string_view content, size_t& at, char separator) {
  Row row;
  std::string field;
  bool quoted = false;     // inside quotes
  bool wasQuoted = false;  // the field began with a quote
  bool fieldStart = true;
  const auto endField = [&] {
    row.fields.push_back(wasQuoted ? field : std::string(Trim(field)));
    field.clear();
    wasQuoted = false;
    fieldStart = true;
  };
  while (at < content.size()) {
    const char c = content[at++];
    if (quoted) {
      if (c == '"' && at < content.size() && content[at] == '"') {
        field += '"';
        ++at;
      } else if (c == '"') {
        quoted = false;
      } else if (c == '\n') {
        ++row.lines;
        field += ' ';  // a line break inside a field reads as a blank
      } else if (c != '\r') {
        field += c == kCsvFieldSeparator ? ' ' : c;
      }
      continue;
    }
    if (c == '\n') break;
    if (c == separator) {
      endField();
    } else if (c == '"' && fieldStart && Trim(field).empty()) {
      field.clear();
      quoted = wasQuoted = true;
      fieldStart = false;
    } else {
      if (!IsBlank(c)) fieldStart = false;
      field += c == kCsvFieldSeparator ? ' ' : c;
    }
  }
  row.unclosedQuote = quoted;
  endField();
  return row;
}

bool RowIsEmpty(const Row& row) {
  for (const std::string& f : row.fields)
    if (!Trim(f).empty()) return false;
  return true;
}

// The header's columns under one separator, or why they do not serve.
struct Header {
  std::array<int, kColumnCount> index{};  // field index per column, -1 when absent
  std::string error;
};

Header ReadHeader(const Row& row, CsvKind kind) {
  Header h;
  h.index.fill(-1);
  for (size_t i = 0; i < row.fields.size(); ++i) {
    const std::optional<Column> c = ColumnOf(row.fields[i], kind);
    if (!c) continue;
    if (h.index[*c] >= 0) {
      h.error = "The CSV header has two columns for the " + ColumnWord(*c, kind) + ": " +
                std::string(Trim(row.fields[static_cast<size_t>(h.index[*c])])) + " and " +
                std::string(Trim(row.fields[i]));
      return h;
    }
    h.index[*c] = static_cast<int>(i);
  }
  for (int c = kMaterial; c < kExtra; ++c) {
    if (h.index[c] < 0) {
      h.error = "The CSV header has no column for the " + ColumnWord(static_cast<Column>(c), kind);
      return h;
    }
  }
  return h;
}

}  // namespace

bool IsCsvFileName(std::string_view name) {
  return name.size() >= 4 && Lower(name.substr(name.size() - 4)) == ".csv";
}

CsvConversion ConvertCsv(std::string_view content, CsvKind kind) {
  CsvConversion out;
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  size_t at = 0;
  int line = 1;
  // Empty lines before the header stay empty lines.
  while (at < content.size()) {
    const size_t end = content.find('\n', at);
    const std::string_view text =
        content.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    if (!Trim(text).empty()) break;
    out.lines += "\r\n";
    at = end == std::string_view::npos ? content.size() : end + 1;
    ++line;
  }
  const int headerLine = line;
  const auto fail = [&](std::string error, int errorLine) {
    out.lines.clear();
    out.error = std::move(error);
    out.errorLine = errorLine;
    return out;
  };
  if (at >= content.size()) return out;  // no header: the readers find no piece

  // The header decides the separator: the one under which it names every
  // column the file needs. Column names hold none of the separators, so at
  // most one can.
  std::optional<char> separator;
  Header header;
  std::string firstError;
  for (const char s : kSeparators) {
    size_t probe = at;
    const Row row = ReadRow(content, probe, s);
    if (row.fields.size() < 2) continue;
    header = ReadHeader(row, kind);
    if (header.error.empty()) {
      separator = s;
      break;
    }
    if (firstError.empty()) firstError = header.error;
  }
  if (!separator) {
    if (firstError.empty())
      firstError = "The CSV header names no columns separated by ',', ';' or tab";
    return fail(firstError, headerLine);
  }

  bool headerDone = false;
  while (at < content.size()) {
    const int rowLine = line;
    Row row = ReadRow(content, at, *separator);
    if (row.unclosedQuote) return fail("A quoted CSV field is not closed", rowLine);
    line += row.lines;
    std::string text;
    if (!headerDone) {
      text = "CSV header";
      headerDone = true;
    } else if (!RowIsEmpty(row)) {
      for (int c = kMaterial; c < kColumnCount; ++c) {
        const int i = header.index[c];
        if (c > kMaterial) text += kCsvFieldSeparator;
        if (i >= 0 && static_cast<size_t>(i) < row.fields.size())
          text += row.fields[static_cast<size_t>(i)];
      }
    }
    out.lines += text;
    for (int l = 0; l < row.lines; ++l) out.lines += "\r\n";
  }
  return out;
}

}  // namespace tarvolin
