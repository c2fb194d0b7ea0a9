#include "csv_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input_text.h"

namespace tarvolin {
namespace {

// The data lines the readers would see: each as "line: field|field|...";
// empty fields at the end of a line are no fields, as in a text file.
std::vector<std::string> DataLines(const std::string& lines) {
  std::vector<std::string> out;
  DataLineReader reader(lines, kCsvFieldSeparator);
  DataLine line;
  while (reader.Next(line)) {
    std::string text = std::to_string(line.number) + ":";
    for (int j = 1; j <= line.fields.k; ++j) {
      if (j > 1) text += '|';
      text += TrimText(FieldText(line.text, line.fields, j));
    }
    out.push_back(text);
  }
  return out;
}

TEST(CsvInput, RowsBecomeTheReadersLinesWithTheirLineNumbers) {
  struct Case {
    const char* what;
    std::string csv;
    CsvKind kind;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"comma",
       "Material,Profile,Length,Quantity,Mark\r\nSteel,40x40,1250.5,3,A1\r\n",
       CsvKind::kOrder,
       {"2:Steel|40x40|1250.5|3|A1"}},
      {"semicolon with decimal comma, German headings in another order",
       "Menge;L\xc3\x84NGE;Werkstoff;Profil\n3;1250,5;Steel;St 37\n",
       CsvKind::kOrder,
       {"2:Steel|St 37|1250,5|3"}},
      {"tab, line feeds only, extra columns ignored",
       "qty\tnote\tlength\tprofile\tmaterial\tcost\n5\tmind\t6000\tRHS 40\tAlu\t12.50\n",
       CsvKind::kStock,
       {"2:Alu|RHS 40|6000|5|12.50"}},
      {"quotes: separator and doubled quote inside, blanks around",
       "material,profile,length,qty,mark\n Steel , \"40,40\" ,\"1,5\",2,\"say \"\"hi\"\"\"\n",
       CsvKind::kOrder,
       {"2:Steel|40,40|1,5|2|say \"hi\""}},
      {"a field over two lines keeps the next row's number",
       "material,profile,length,qty,mark\nA,x,100,1,\"two\nlines\"\nB,y,200,2\n",
       CsvKind::kOrder,
       {"2:A|x|100|1|two lines", "4:B|y|200|2"}},
      {"empty lines before the header and between rows, byte-order mark",
       "\xEF\xBB\xBF\r\n\r\nMaterial;Profile;Length;Qty\r\n\r\nA;x;100;1\r\n",
       CsvKind::kOrder,
       {"5:A|x|100|1"}},
      {"an empty field in the middle stays a field",
       "material,profile,length,qty\nA,,100,1\n",
       CsvKind::kOrder,
       {"2:A||100|1"}},
      {"the mark column of an order is not a stock's cost",
       "material,profile,length,qty,mark\nA,x,100,1,M\n",
       CsvKind::kStock,
       {"2:A|x|100|1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CsvConversion r = ConvertCsv(c.csv, c.kind);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(DataLines(r.lines), c.lines);
  }
}

TEST(CsvInput, HeadersThatCannotBeReadAreErrorsWithTheirLine) {
  struct Case {
    std::string csv;
    CsvKind kind;
    std::string error;
    int line;
  };
  const std::vector<Case> cases = {
      {"material,profile,qty,mark\nA,x,1,M\n", CsvKind::kOrder,
       "The CSV header has no column for the length", 1},
      {"\nmaterial;profile;length;mark\nA;x;1;M\n", CsvKind::kOrder,
       "The CSV header has no column for the quantity", 2},
      {"material,profile,length,qty,price,cost\n", CsvKind::kStock,
       "The CSV header has two columns for the cost: price and cost", 1},
      {"Material Profile Length Qty\nA x 100 1\n", CsvKind::kOrder,
       "The CSV header names no columns separated by ',', ';' or tab", 1},
      {"material,profile,length,qty\nA,\"x,100,1\n", CsvKind::kOrder,
       "A quoted CSV field is not closed", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.csv);
    const CsvConversion r = ConvertCsv(c.csv, c.kind);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.errorLine, c.line);
    EXPECT_EQ(r.lines, "");
  }
}

TEST(CsvInput, FileNamesEndingInCsvAreSpreadsheets) {
  EXPECT_TRUE(IsCsvFileName("QM_Orders.csv"));
  EXPECT_TRUE(IsCsvFileName("in/orders.CSV"));
  EXPECT_FALSE(IsCsvFileName("QM_Orders.txt"));
  EXPECT_FALSE(IsCsvFileName("csv"));
  EXPECT_FALSE(IsCsvFileName("orders.csv.txt"));
}

}  // namespace
}  // namespace tarvolin
