#include "input_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tarvolin {
namespace {

std::vector<std::string> Fields(std::string_view line) {
  const FieldBounds f = SplitFields(line);
  std::vector<std::string> r;
  for (int j = 1; j <= f.k; ++j) r.emplace_back(FieldText(line, f, j));
  return r;
}

TEST(SplitFields, BoundariesAndFieldTexts) {
  struct Case {
    std::string line;
    std::vector<int> bounds;  // b[1..k]
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {"Steel 40x40 1250.5 12 A17", {6, 12, 19, 22, 26}, {"Steel", "40x40", "1250.5", "12", "A17"}},
      {"Steel  \t40x40\t 1250,5", {6, 14, 22}, {"Steel", " \t40x40", " 1250,5"}},
      {"  a b", {4, 6}, {"  a", "b"}},
      {"a b  ", {2, 4}, {"a", "b"}},
      {"word", {5}, {"word"}},
      {"", {}, {}},
      {" \t ", {}, {}},
  };
  for (const Case& c : cases) {
    const FieldBounds f = SplitFields(c.line);
    EXPECT_FALSE(f.tooMany);
    EXPECT_EQ(f.b[0], 0);
    ASSERT_EQ(f.k, static_cast<int>(c.bounds.size())) << c.line;
    for (int j = 1; j <= f.k; ++j) EXPECT_EQ(f.b[j], c.bounds[j - 1]) << c.line;
    EXPECT_EQ(Fields(c.line), c.fields) << c.line;
  }
}

TEST(SplitFields, FiftyFieldsAreTheLimit) {
  std::string line;
  for (int i = 0; i < 50; ++i) line += "x ";
  EXPECT_FALSE(SplitFields(line).tooMany);
  EXPECT_EQ(SplitFields(line).k, 50);
  EXPECT_TRUE(SplitFields(line + "y").tooMany);
}

TEST(MaterialKey, FieldOneBlankFieldTwoCutTo32Characters) {
  const auto key = [](std::string_view line) { return MaterialKeyOf(line, SplitFields(line)); };
  EXPECT_EQ(key("Steel 40x40 1 2").key, "Steel 40x40");
  EXPECT_EQ(key("  Steel \t\t40x40\t1").key, "Steel 40x40");
  EXPECT_TRUE(key("Steel 40x40").hasSecondField);
  EXPECT_FALSE(key("Steel").hasSecondField);
  EXPECT_EQ(key("Steel").key, "Steel");
  EXPECT_EQ(key("ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 1 1").key,
            "ABCDEFGHIJKLMNOPQRSTUVWXYZ 01234");
  // 30 two-byte characters, a blank and "ab": cut after "a" at 32 characters.
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "\xC3\xA9";
  EXPECT_EQ(key(wide + " abc 1 1").key, wide + " a");
  // The name is the same text uncut.
  EXPECT_EQ(key("  Steel \t\t40x40\t1").name, "Steel 40x40");
  EXPECT_EQ(key("ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 1 1").name,
            "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789");
  EXPECT_EQ(key(wide + " abc 1 1").name, wide + " abc");
  const std::string longFieldOne(40, 'x');
  EXPECT_EQ(key(longFieldOne + " y 1 1").key, std::string(32, 'x'));
  EXPECT_EQ(key(longFieldOne).name, longFieldOne);
}

TEST(CutToChars, NeverSplitsAUtf8Character) {
  EXPECT_EQ(CutToChars("abcdef", 3), "abc");
  EXPECT_EQ(CutToChars("ab", 3), "ab");
  EXPECT_EQ(CutToChars("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80x", 3),
            "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(CutToChars("\xE2\x82\xAC\xE2\x82\xAC", 1), "\xE2\x82\xAC");
  EXPECT_EQ(CutToChars("\x80\x80\x80\x80\x80", 2), "\x80\x80\x80\x80\x80");
}

TEST(ParseWholeNumber16, SignedSixteenBitWholeNumbers) {
  struct Case {
    const char* text;
    bool ok;
    int16_t value;
  };
  const Case cases[] = {
      {"12", true, 12},       {" +7 ", true, 7},        {"-3", true, -3},
      {"32767", true, 32767}, {"-32768", true, -32768}, {"32768", false, 0},
      {"40000", false, 0},    {"2.5", false, 0},        {"", false, 0},
      {"-", false, 0},        {"1e2", false, 0},        {"99999999999999", false, 0},
  };
  for (const Case& c : cases) {
    int16_t v = 0;
    EXPECT_EQ(ParseWholeNumber16(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(InputText, TrimmingAndDecimalMarks) {
  EXPECT_EQ(TrimRightText("a b \t\r\x1A"), "a b");
  EXPECT_EQ(TrimText(" \ta b \r"), "a b");
  EXPECT_EQ(ReplaceDecimalMarks("1.2,3.4,5", ','), "1,2,3.4,5");
  EXPECT_EQ(ReplaceDecimalMarks("1250,5", '.'), "1250.5");
  EXPECT_EQ(LimitInUserUnits(100), 20000000);
}

// A file of exactly the size limit is read whole; one byte more is
// refused as too large and nothing of it is kept. The default limit is
// the input files' 16 MiB; a small limit is tried where the reading's
// chunks end.
TEST(ReadWholeFile, AFileOfTheLimitIsReadOneByteMoreIsRefused) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarvolin-size-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path file = std::filesystem::path(pattern) / "QM_Orders.txt";
  struct Case {
    size_t limit;
    size_t size;
    int expected;
  };
  const Case cases[] = {
      {kMaxInputFileBytes, kMaxInputFileBytes, 0},
      {kMaxInputFileBytes, kMaxInputFileBytes + 1, EFBIG},
      {8192, 8192, 0},
      {8192, 8193, EFBIG},
      {8191, 8192, EFBIG},
      {10, 10, 0},
      {10, 11, EFBIG},
      {0, 0, 0},
      {0, 1, EFBIG},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " bytes against " + std::to_string(c.limit));
    std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(c.size, 'x');
    std::string content = "left over";
    const int result = c.limit == kMaxInputFileBytes
                           ? ReadWholeFile(file.string(), content)
                           : ReadWholeFile(file.string(), content, c.limit);
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(content.size(), c.expected == 0 ? c.size : 0);
  }
  std::filesystem::remove_all(pattern);
}

TEST(InputText, LinesOfCrLfAndLfFiles) {
  const auto lines = SplitLines("a\r\nb\n\nc");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "a\r");
  EXPECT_EQ(lines[3], "c");
  EXPECT_EQ(SplitLines("a\n").size(), 1u);
}

TEST(InputText, LongLineNumberCountsBytesWithoutTheLineEnd) {
  struct Case {
    std::string content;
    int expected;
  };
  const std::vector<Case> cases = {
      {"", 0},
      {"abcd\r\nabcd\n", 0},                     // CR LF and LF are not counted
      {"ab\nabcde\r\nabcdef", 2},                // the first long line
      {"\n\n\nabcde", 4},                        // a last line without line end
      {std::string(3, '\n') + "abcd\r\r\n", 4},  // only one CR belongs to the end
  };
  for (const Case& c : cases) EXPECT_EQ(LongLineNumber(c.content, 4), c.expected) << c.content;
}

TEST(InputText, DataLinesAreNumberedAsInTheFile) {
  DataLineReader reader("\r\nheader\r\n\r\nA x 1 2\r\n   \nB y 3 4");
  DataLine line;
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line.text, "A x 1 2");
  EXPECT_EQ(line.number, 4);
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line.text, "B y 3 4");
  EXPECT_EQ(line.number, 6);
  EXPECT_FALSE(reader.Next(line));
}

}  // namespace
}  // namespace tarvolin
