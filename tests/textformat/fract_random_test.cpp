// Deterministic randomized check of the number readers: arbitrary texts
// built from the characters that matter to the grammar never crash, and
// every accepted length, written back, reads back to the same length units.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "fract.h"

namespace {

class FractRandomTest : public ::testing::TestWithParam<char> {};

INSTANTIATE_TEST_SUITE_P(Separators, FractRandomTest, ::testing::Values('.', ','),
                         [](const ::testing::TestParamInfo<char>& info) {
                           return info.param == '.' ? std::string("Point") : std::string("Comma");
                         });

// The raw output of mt19937 is fixed by the standard, so the texts are the
// same everywhere (distributions are not, hence the plain modulo).
class TextSource {
 public:
  explicit TextSource(uint32_t seed) : engine_(seed) {}

  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(engine_() % n); }

  std::string Digits(uint32_t maxCount) {
    std::string s;
    const uint32_t count = Below(maxCount + 1);
    for (uint32_t i = 0; i < count; ++i) s.push_back(static_cast<char>('0' + Below(10)));
    return s;
  }

  // Any mix of the characters the readers care about.
  std::string Scrambled() {
    static const std::string alphabet = "0123456789012345678901234567890 ..,,//''\"\"--+_eE";
    std::string s;
    const uint32_t length = Below(15);
    for (uint32_t i = 0; i < length; ++i) s.push_back(alphabet[Below(alphabet.size())]);
    return s;
  }

  // Texts shaped like real lengths, so that many of them are accepted.
  std::string LengthLike() {
    static const char* const joins[] = {" ", "-", "_", "\"", " - "};
    std::string s(Below(3), ' ');
    if (Below(4) == 0) s += "-";
    if (Below(3) == 0) s += Digits(3) + "'" + std::string(Below(2), ' ');
    switch (Below(3)) {
      case 0:
        s += Digits(8);
        if (Below(2) == 0) s += std::string(1, ".,"[Below(2)]) + Digits(4);
        break;
      case 1:
        s += Digits(7) + joins[Below(5)] + Digits(3) + "/" + std::to_string(1u << Below(12));
        break;
      default:
        s += Digits(3) + "/" + std::to_string(Below(70));
        break;
    }
    if (Below(3) == 0) s += "\"";
    s += std::string(Below(3), ' ');
    return s;
  }

 private:
  std::mt19937 engine_;
};

// Returns true when the text was accepted.
bool CheckReadBack(const std::string& text, const fract::NumberFormat& format) {
  const char sep = format.decimalSeparator;
  const int precisions[] = {2, 0, 9, -1, -9, -31};
  for (const int p : precisions) fract::ParseNumberText(text, p, fract::NoValue, sep);

  int errors = 0;
  const int32_t units = fract::ParseLengthUnits(text, format, errors);
  if (errors != 0) {
    EXPECT_EQ(units, 0) << "\"" << text << "\"";
    return false;
  }
  const std::string written =
      fract::FormatLength(format.lengthPrecision, units / double(format.lengthScale), sep);
  EXPECT_EQ(written.find_first_not_of(std::string("-0123456789") + sep), std::string::npos)
      << written;
  int errorsBack = 0;
  EXPECT_EQ(fract::ParseLengthUnits(written, format, errorsBack), units)
      << "\"" << text << "\" written as \"" << written << "\"";
  EXPECT_EQ(errorsBack, 0) << written;
  return true;
}

TEST_P(FractRandomTest, AcceptedTextsReadBackAfterWriting) {
  const fract::NumberFormat format = fract::MakeNumberFormat(2, 2, GetParam());
  TextSource source(20240611u);
  int accepted = 0;
  for (int i = 0; i < 3000; ++i) accepted += CheckReadBack(source.Scrambled(), format) ? 1 : 0;
  for (int i = 0; i < 3000; ++i) accepted += CheckReadBack(source.LengthLike(), format) ? 1 : 0;
  // Enough accepted texts for the property to mean something.
  EXPECT_GT(accepted, 1500);
}

}  // namespace
