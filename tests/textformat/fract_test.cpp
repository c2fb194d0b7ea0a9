#include "fract.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using fract::NoValue;

// Writes the expected text for the separator under test: tables below are
// written with a point.
std::string WithSeparator(std::string text, char separator) {
  for (char& c : text) {
    if (c == '.') c = separator;
  }
  return text;
}

// Runs each test once with a point and once with a comma as the locale's
// decimal separator; the module's operations are called through the format
// under test.
class FractTest : public ::testing::TestWithParam<char> {
 protected:
  char Sep() const { return GetParam(); }
  fract::NumberFormat Format() const { return fract::MakeNumberFormat(2, 2, Sep()); }

  std::string FormatLength(int precision, double value) const {
    return fract::FormatLength(precision, value, Sep());
  }
  int32_t ParseNumberText(std::string_view text, int precision, int32_t defaultValue) const {
    return fract::ParseNumberText(text, precision, defaultValue, Sep());
  }
  double ParseLengthValue(std::string_view text, int& errors) const {
    return fract::ParseLengthValue(text, Format(), errors);
  }
  int32_t ParseLengthUnits(std::string_view text, int& errors) const {
    return fract::ParseLengthUnits(text, Format(), errors);
  }
};

INSTANTIATE_TEST_SUITE_P(Separators, FractTest, ::testing::Values('.', ','),
                         [](const ::testing::TestParamInfo<char>& info) {
                           return info.param == '.' ? std::string("Point") : std::string("Comma");
                         });

TEST(FractBasics, PowerCappedStopsBeforeTwoBillion) {
  struct Row {
    int base, exponent, expected;
  };
  const std::vector<Row> rows = {
      {10, 0, 1},
      {10, -3, 1},
      {0, 5, 0},
      {0, 0, 0},
      {10, 2, 100},
      {10, 9, 1000000000},
      {10, 10, 1000000000},
      {10, 1000, 1000000000},
      {2, 9, 512},
      {2, 30, 1073741824},
      {2, 31, 1073741824},
      {3, 20, 1162261467},
      {-10, 3, -1000},
      {1, 2000000000, 1},
      {-1, 3, -1},
      {-1, 4, 1},
      {2000000001, 2, 1},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(fract::PowerCapped(r.base, r.exponent), r.expected)
        << "PowerCapped(" << r.base << ", " << r.exponent << ")";
  }
}

TEST(FractBasics, SignOfCountsZeroAsPositive) {
  EXPECT_EQ(fract::SignOf(0.0), 1);
  EXPECT_EQ(fract::SignOf(-0.0), 1);
  EXPECT_EQ(fract::SignOf(3.5), 1);
  EXPECT_EQ(fract::SignOf(-1e-300), -1);
}

TEST(FractBasics, RoundingNudge) {
  EXPECT_EQ(fract::RoundingNudge(1), 1.0 + 5e-12);
  EXPECT_EQ(fract::RoundingNudge(-1), 1.0 - 5e-12);
  EXPECT_EQ(fract::RoundingNudge(0), 1.0);
}

TEST(FractBasics, TrimChars) {
  EXPECT_EQ(fract::TrimCharsLeft("  +-5 ", " +-"), "5 ");
  EXPECT_EQ(fract::TrimCharsRight(" 5\" \"", " \""), " 5");
  EXPECT_EQ(fract::TrimCharsLeft("---", "-"), "");
  EXPECT_EQ(fract::TrimCharsRight("", " "), "");
  EXPECT_EQ(fract::TrimCharsLeft(" x", ""), " x");
  EXPECT_EQ(fract::TrimCharsRight("a-b-", "-"), "a-b");
}

TEST_P(FractTest, PadDecimals) {
  struct Row {
    const char* text;
    int n;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {"12", 2, "12.00"},      {"12.5", 2, "12.50"}, {"12.", 2, "12.00"},
      {"12.345", 2, "12.345"}, {"-3", 1, "-3.0"},    {"7", 0, "7"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(fract::PadDecimals(WithSeparator(r.text, Sep()), r.n, Sep()),
              WithSeparator(r.expected, Sep()))
        << r.text << ", " << r.n;
  }
}

TEST_P(FractTest, FormatLengthAtTwoPlaces) {
  struct Row {
    double value;
    const char* text;
  };
  const std::vector<Row> rows = {
      {0, "0.00"},
      {12, "12.00"},
      {12.5, "12.50"},
      {0.125, "0.13"},
      {-0.125, "-0.12"},
      {-0.001, "0.00"},
      {-3.25, "-3.25"},
      {1234567.891, "1234567.89"},
      {10000000, "10000000.00"},
      {20000000, "20000000.00"},
      {-20000000, "-20000000.00"},
      {0.1 + 0.2, "0.30"},
      {-0.005, "0.00"},
      {0.005, "0.01"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(FormatLength(2, r.value), WithSeparator(r.text, Sep())) << r.value;
  }
}

TEST_P(FractTest, FormatLengthOtherPrecisions) {
  struct Row {
    int precision;
    double value;
    const char* text;
  };
  const std::vector<Row> rows = {
      {0, 12.5, "13"},
      {0, 13.5, "14"},
      {0, -12.5, "-12"},
      {0, 7, "7"},
      {1, 0.25, "0.3"},
      {3, 0.0005, "0.001"},
      {9, 1e-9, "0.000000001"},
      {2, 123456789.01, "123456789.01"},
      // The nudge is relative: far beyond lengths it shows in the digits.
      {0, 1e16, "10000000000050000"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(FormatLength(r.precision, r.value), WithSeparator(r.text, Sep()))
        << r.precision << ", " << r.value;
  }
}

TEST_P(FractTest, FormatLengthSurvivesNonFiniteValues) {
  EXPECT_FALSE(FormatLength(2, std::nan("")).empty());
  EXPECT_FALSE(FormatLength(2, HUGE_VAL).empty());
  EXPECT_FALSE(FormatLength(2, -HUGE_VAL).empty());
}

TEST_P(FractTest, ParseNumberTextDecimals) {
  struct Row {
    const char* text;
    int precision;
    int32_t expected;
  };
  const int32_t d = -1;  // the caller's default
  const std::vector<Row> rows = {
      {"12.5", 2, 1250},
      {"12,5", 2, 1250},
      {"  7  ", 2, 700},
      {"0.125", 2, 13},
      {"-0.125", 2, -12},
      {"12.345", 2, 1235},
      {"-0.005", 2, 0},
      {"1e2", 2, 10000},
      {"1.5E-1", 2, 15},
      {"+3", 2, 300},
      {".5", 2, 50},
      {"5.", 2, 500},
      {",5", 2, 50},
      {"-0", 2, 0},
      {"20000000", 2, 2000000000},
      {"-20000000", 2, -2000000000},
      {"12.5", 0, 13},
      {"2.5", 0, 3},
      {"-2.5", 0, -2},
      {"0", 9, 0},
      {"1", 9, d},
      {"1.2345", 3, 1235},
      {"1e-400", 2, 0},
      {"", 2, d},
      {"   ", 2, d},
      {"abc", 2, d},
      {"1 000", 2, d},
      {"1.234,5", 2, d},
      {"1,2,3", 2, d},
      {"1..2", 2, d},
      {"20000001", 2, d},
      {"20000000.01", 2, d},
      {"0x10", 2, d},
      {"inf", 2, d},
      {"nan", 2, d},
      {"1e", 2, d},
      {"e5", 2, d},
      {".", 2, d},
      {"-", 2, d},
      {"--5", 2, d},
      {"5-", 2, d},
      {"1e999", 2, d},
      {"- 5", 2, d},
      {"5 1/2", 2, d},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ParseNumberText(r.text, r.precision, d), r.expected)
        << "\"" << r.text << "\" at " << r.precision;
  }
  EXPECT_EQ(ParseNumberText("1.5", Format().costPrecision, NoValue), 150);
  EXPECT_EQ(ParseNumberText("x", Format().costPrecision, NoValue), NoValue);
}

TEST_P(FractTest, ParseNumberTextFractions) {
  struct Row {
    const char* text;
    int precision;
    int32_t expected;
  };
  const int32_t d = -1;
  const std::vector<Row> rows = {
      {"5 1/2", -9, 2816}, {"5-1/2\"", -9, 2816}, {"5_1/2", -9, 2816}, {"5\"1/2", -9, 2816},
      {"1'6", -9, 9216},   {"-1'6", -9, -9216},   {"1/1024", -9, 1},   {"-1/1024", -9, 0},
      {"1/16", -3, 1},     {"3/16", -3, 2},       {"51/2", -9, 13056}, {"+5", -9, 2560},
      {"1'+6", -9, 9216},  {"5 +1/+2", -9, 2816}, {"12.5", -9, d},     {"-", -9, d},
      {"\"", -9, d},       {"1'2'3", -9, d},      {"2/1", -9, d},      {"5 6", -9, d},
      {"1/2/4", -9, d},    {"1/2 3", -9, d},      {"1/+-2", -9, d},    {"99999999999", -9, d},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(ParseNumberText(r.text, r.precision, d), r.expected)
        << "\"" << r.text << "\" at " << r.precision;
  }
}

TEST_P(FractTest, ReadsTheLengthTable) {
  struct Row {
    const char* text;
    int32_t units;
    const char* writtenBack;
  };
  const std::vector<Row> rows = {
      {"12.5", 1250, "12.50"},   {"12,5", 1250, "12.50"},       {"  7  ", 700, "7.00"},
      {"12 1/2", 1250, "12.50"}, {"12-1/2\"", 1250, "12.50"},   {"1'0-1/2\"", 1250, "12.50"},
      {"3/4", 75, "0.75"},       {"5 1/8", 513, "5.13"},        {"1'", 1200, "12.00"},
      {"1'6", 1800, "18.00"},    {"1' 6-1/2\"", 1850, "18.50"}, {"-1'6", -1800, "-18.00"},
      {"0.005", 1, "0.01"},      {"-0.005", 0, "0.00"},         {"1/1024", 0, "0.00"},
  };
  for (const Row& r : rows) {
    int errors = 0;
    const int32_t units = ParseLengthUnits(r.text, errors);
    EXPECT_EQ(errors, 0) << r.text;
    EXPECT_EQ(units, r.units) << r.text;
    EXPECT_EQ(FormatLength(Format().lengthPrecision, units / double(Format().lengthScale)),
              WithSeparator(r.writtenBack, Sep()))
        << r.text;
  }
}

TEST_P(FractTest, RejectsUnreadableLengths) {
  const std::vector<std::string> texts = {
      "1.234,5", "1,2,3", "1/0",     "1/3",      "1/1",         "1/-2",  "/2",
      "1/",      "'6",    "5.5 1/2", "20000001", "3906250 1/2", "",      "   ",
      "-",       "\"",    "abc",     "2/1",      "5 6",         "1e999", "1'2'3",
  };
  for (const std::string& text : texts) {
    int errors = 0;
    EXPECT_EQ(ParseLengthUnits(text, errors), 0) << "\"" << text << "\"";
    EXPECT_EQ(errors, 1) << "\"" << text << "\"";
    errors = 0;
    EXPECT_EQ(ParseLengthValue(text, errors), 0.0) << "\"" << text << "\"";
    EXPECT_EQ(errors, 1) << "\"" << text << "\"";
  }
}

TEST_P(FractTest, AcceptsLengthsAtTheLimits) {
  struct Row {
    const char* text;
    int32_t units;
  };
  const std::vector<Row> rows = {
      {"20000000", 2000000000}, {"-20000000", -2000000000}, {"3906249 1/2", 390624950}, {"3/64", 5},
      {"51/2", 2550},
  };
  for (const Row& r : rows) {
    int errors = 0;
    EXPECT_EQ(ParseLengthUnits(r.text, errors), r.units) << r.text;
    EXPECT_EQ(errors, 0) << r.text;
  }
}

TEST_P(FractTest, LengthValueKeepsFractionsAtOneFiveHundredTwelfth) {
  int errors = 0;
  EXPECT_EQ(ParseLengthValue("5 1/8", errors), 5.125);
  EXPECT_EQ(ParseLengthValue("1/1024", errors), 1.0 / 512);
  EXPECT_EQ(ParseLengthValue("3/64", errors), 3.0 / 64);
  EXPECT_EQ(ParseLengthValue("12.345", errors), 12.35);
  EXPECT_EQ(errors, 0);
}

TEST_P(FractTest, ErrorCounterIsCumulative) {
  int errors = 0;
  EXPECT_EQ(ParseLengthUnits("1/3", errors), 0);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(ParseLengthUnits("12.5", errors), 0);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(ParseLengthUnits("x", errors), 0);
  EXPECT_EQ(errors, 2);
}

TEST_P(FractTest, MarkerValueCannotBeTold) {
  int errors = 0;
  EXPECT_EQ(ParseNumberText("-5555555.55", 2, NoValue), NoValue);
  EXPECT_EQ(ParseLengthUnits("-5555555.55", errors), 0);
  EXPECT_EQ(errors, 1);
}

TEST_P(FractTest, WrittenLengthsReadBack) {
  const auto check = [&](int32_t units) {
    const std::string text =
        FormatLength(Format().lengthPrecision, units / double(Format().lengthScale));
    int errors = 0;
    EXPECT_EQ(ParseLengthUnits(text, errors), units) << text;
    EXPECT_EQ(errors, 0) << text;
  };
  for (int32_t units = -200000; units <= 200000; units += 7) check(units);
  for (int32_t units :
       {2000000000, -2000000000, 1999999999, -1999999999, 123456789, -98765, 390624950, 1, -1, 0}) {
    check(units);
  }
  for (int64_t units = -2000000000; units <= 2000000000; units += 999983) {
    check(static_cast<int32_t>(units));
  }
}

TEST(FractBasics, MakeNumberFormatDerivesTheScales) {
  const fract::NumberFormat f = fract::MakeNumberFormat(2, 3, ',');
  EXPECT_EQ(f.lengthScale, 100);
  EXPECT_EQ(f.costScale, 1000);
  EXPECT_EQ(f.decimalSeparator, ',');
  EXPECT_EQ(fract::MakeNumberFormat(12, 0, '.').lengthScale, 1000000000);
}

}  // namespace
