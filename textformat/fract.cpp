#include "fract.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <system_error>

namespace fract {
namespace {

// Largest scaled magnitude the module produces, so that every length and
// cost fits a signed 32-bit integer with room to spare.
constexpr int64_t kMagnitudeCap = 2000000000;
constexpr std::string_view kBlanks = " ";
constexpr char kFeetMark = '\'';
constexpr double kInchesPerFoot = 12.0;
// The formatter writes this many significant digits at most.
constexpr int kSignificantDigits = 15;
// Decimal magnitudes beyond this are far outside every reader's range: they
// are settled (too large, or zero) without converting.
constexpr int64_t kMagnitudeOutOfRange = 30;
// Exponent digits stop counting here; the magnitude test rejects the text.
constexpr int64_t kExponentCeiling = 1000000;

// Round to nearest, halves to the even neighbour, independent of the
// floating-point environment's rounding mode.
double RoundHalfEven(double x) {
  if (!std::isfinite(x)) return x;
  const double f = std::floor(x);
  const double diff = x - f;  // exact for every finite x
  if (diff > 0.5) return f + 1.0;
  if (diff < 0.5) return f;
  return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

// A rounded value as a 32-bit integer. The magnitude limits of the readers
// keep results in range; odd settings saturate instead of overflowing.
int32_t ToInt32(double r) {
  if (std::isnan(r)) return 0;
  if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

// Largest magnitude a reader accepts at scale d: 20,000,000 for d = 100.
double MagnitudeLimit(double d) {
  return 10.0 * std::floor(static_cast<double>(kMagnitudeCap) / d / 10.0);
}

std::string_view TrimLeftView(std::string_view text, std::string_view set) {
  const size_t first = text.find_first_not_of(set);
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view TrimRightView(std::string_view text, std::string_view set) {
  const size_t last = text.find_last_not_of(set);
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsDecimalSeparator(char c, char decimalSeparator) {
  return c == '.' || c == ',' || c == decimalSeparator;
}

// Reads a decimal floating-point literal: optional sign, digits with at most
// one decimal separator ("." or "," or the locale's), at least one digit, and
// an optional exponent (E or e, optional sign, digits). Nothing else, no
// blanks inside. The conversion itself never consults the process locale.
bool ReadDecimalLiteral(std::string_view text, char decimalSeparator, double& value) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const size_t intStart = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  const std::string_view intDigits = text.substr(intStart, pos - intStart);
  std::string_view fracDigits;
  if (pos < text.size() && IsDecimalSeparator(text[pos], decimalSeparator)) {
    const size_t fracStart = ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    fracDigits = text.substr(fracStart, pos - fracStart);
  }
  if (intDigits.empty() && fracDigits.empty()) return false;

  int64_t exponent = 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool expNegative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
      expNegative = text[pos] == '-';
      ++pos;
    }
    const size_t expStart = pos;
    while (pos < text.size() && IsDigit(text[pos])) {
      if (exponent < kExponentCeiling) exponent = exponent * 10 + (text[pos] - '0');
      ++pos;
    }
    if (pos == expStart) return false;
    if (expNegative) exponent = -exponent;
  }
  if (pos != text.size()) return false;

  // Decimal magnitude m: the value lies in [10^(m-1), 10^m).
  const size_t intLead = intDigits.find_first_not_of('0');
  const size_t fracLead = fracDigits.find_first_not_of('0');
  if (intLead == std::string_view::npos && fracLead == std::string_view::npos) {
    value = 0.0;
    return true;
  }
  const int64_t magnitude =
      (intLead != std::string_view::npos ? static_cast<int64_t>(intDigits.size() - intLead)
                                         : -static_cast<int64_t>(fracLead)) +
      exponent;
  if (magnitude > kMagnitudeOutOfRange) return false;
  if (magnitude < -kMagnitudeOutOfRange) {
    value = 0.0;
    return true;
  }

  std::string canonical;
  canonical.reserve(intDigits.size() + fracDigits.size() + 16);
  canonical.append(intDigits.empty() ? std::string_view{"0"} : intDigits);
  if (!fracDigits.empty()) {
    canonical.push_back('.');
    canonical.append(fracDigits);
  }
  canonical.push_back('e');
  canonical.append(std::to_string(exponent));
  double v = 0.0;
  const auto [end, ec] = std::from_chars(canonical.data(), canonical.data() + canonical.size(), v,
                                         std::chars_format::general);
  if (ec != std::errc{} || end != canonical.data() + canonical.size()) return false;
  value = negative ? -v : v;
  return true;
}

// An optionally signed decimal integer that fits 32 bits; empty reads as 0.
bool ReadWholeNumber(std::string_view text, int32_t& value) {
  value = 0;
  if (text.empty()) return true;
  size_t pos = 0;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    pos = 1;
  }
  if (pos == text.size()) return false;
  int64_t v = 0;
  for (; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos])) return false;
    v = v * 10 + (text[pos] - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min()) {
    return false;
  }
  value = static_cast<int32_t>(v);
  return true;
}

int32_t ParseDecimal(std::string_view text, int precision, int s, int32_t defaultValue,
                     char decimalSeparator) {
  double v = 0.0;
  if (!ReadDecimalLiteral(text, decimalSeparator, v)) return defaultValue;
  const double d = PowerCapped(10, precision);
  if (std::fabs(v) > MagnitudeLimit(d)) return defaultValue;
  return ToInt32(RoundHalfEven(RoundingNudge(s) * (d * v)));
}

// Fraction notation with optional feet: 5 1/2, 5-1/2", 1'6-1/2", 1', 3/64.
int32_t ParseFraction(std::string_view text, int binaryDigits, int s, int32_t defaultValue) {
  const std::string trimmed = TrimCharsRight(TrimCharsLeft(text, " +-"), " \"");
  // Signs and marks alone carry no number.
  if (trimmed.empty()) return defaultValue;
  const std::string_view t = trimmed;

  std::string_view feetText;
  std::string_view rest = t;
  if (const size_t feetMark = t.rfind(kFeetMark); feetMark != std::string_view::npos) {
    feetText = TrimRightView(t.substr(0, feetMark), kBlanks);
    if (feetText.empty()) return defaultValue;
    rest = TrimLeftView(t.substr(feetMark + 1), " -_");
  }

  std::string_view wholeText = rest;
  std::string_view numeratorText;
  std::string_view denominatorText;
  const size_t slash = rest.rfind('/');
  const bool hasFraction = slash != std::string_view::npos;
  if (hasFraction) {
    denominatorText = TrimLeftView(rest.substr(slash + 1), kBlanks);
    const std::string_view before = TrimRightView(rest.substr(0, slash), kBlanks);
    const size_t split = before.find_last_of(" -_\"");
    if (split == std::string_view::npos) {
      wholeText = {};
      numeratorText = before;  // 51/2 reads as 25.5
    } else {
      numeratorText = before.substr(split + 1);
      wholeText = TrimRightView(before.substr(0, split), " \"-_");
    }
    if (numeratorText.empty() || denominatorText.empty() || denominatorText.front() == '-') {
      return defaultValue;
    }
  }

  int32_t whole = 0;
  int32_t feet = 0;
  int32_t numerator = 0;
  int32_t denominator = 1;
  if (!ReadWholeNumber(wholeText, whole) || !ReadWholeNumber(feetText, feet)) return defaultValue;
  if (hasFraction) {
    if (!ReadWholeNumber(numeratorText, numerator) ||
        !ReadWholeNumber(denominatorText, denominator) || denominator == 0) {
      return defaultValue;
    }
  }
  double v = static_cast<double>(whole) + kInchesPerFoot * static_cast<double>(feet);
  if (hasFraction) v += static_cast<double>(numerator) / static_cast<double>(denominator);
  v = s * v;

  if (hasFraction) {
    // A power of two of at least 2: 1/3 and 2/1 fail, 3/64 is read.
    const double l = std::log2(static_cast<double>(denominator));
    const double rl = RoundHalfEven(l);
    if (!(std::fabs(l - rl) <= std::fabs(l * 1e-11)) || rl == 0.0) return defaultValue;
  }

  const double scale = PowerCapped(2, binaryDigits);
  if (std::fabs(v) > MagnitudeLimit(scale)) return defaultValue;
  return ToInt32(RoundHalfEven(RoundingNudge(s) * (scale * v)));
}

// Digits and exponent of |x| to 15 significant digits, trailing zeros
// dropped: 1234567.89 gives "123456789" and 6.
void SignificantDigits(double x, std::string& digits, int& exponent) {
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(x),
                                       std::chars_format::scientific, kSignificantDigits - 1);
  digits.clear();
  exponent = 0;
  if (ec != std::errc{}) return;
  const std::string_view s(buf, static_cast<size_t>(end - buf));
  const size_t e = s.find('e');
  for (const char c : s.substr(0, e)) {
    if (IsDigit(c)) digits.push_back(c);
  }
  if (e != std::string_view::npos) {
    const std::string_view expText = s.substr(e + 1);
    const bool negative = !expText.empty() && expText.front() == '-';
    int v = 0;
    for (const char c : expText) {
      if (IsDigit(c)) v = v * 10 + (c - '0');
    }
    exponent = negative ? -v : v;
  }
  const size_t last = digits.find_last_not_of('0');
  digits.resize(last == std::string::npos ? 1 : last + 1);
}

// Plain decimal form with up to 15 significant digits: no exponent, no
// thousands separators, no trailing zeros, a leading minus for negatives.
std::string GeneralDecimal(double x, char decimalSeparator) {
  if (x == 0.0) return "0";
  if (!std::isfinite(x)) return std::isnan(x) ? "nan" : (x < 0 ? "-inf" : "inf");
  std::string digits;
  int exponent = 0;
  SignificantDigits(x, digits, exponent);
  std::string intPart;
  std::string fracPart;
  if (exponent >= 0) {
    const size_t intLen = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intLen) {
      intPart = digits + std::string(intLen - digits.size(), '0');
    } else {
      intPart = digits.substr(0, intLen);
      fracPart = digits.substr(intLen);
    }
  } else {
    intPart = "0";
    fracPart = std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  std::string text = x < 0 ? "-" : "";
  text += intPart;
  if (!fracPart.empty()) {
    text.push_back(decimalSeparator);
    text += fracPart;
  }
  return text;
}

}  // namespace

NumberFormat MakeNumberFormat(int lengthPrecision, int costPrecision, char decimalSeparator) {
  return {lengthPrecision, costPrecision, PowerCapped(10, lengthPrecision),
          PowerCapped(10, costPrecision), decimalSeparator};
}

int PowerCapped(int base, int exponent) {
  if (base == 0) return 0;
  if (exponent <= 0) return 1;
  if (base == 1 || base == -1) return exponent % 2 == 0 ? 1 : base;
  const int64_t b = base;
  const int64_t cap = std::llabs(kMagnitudeCap / b);
  int64_t result = 1;
  for (int i = 0; i < exponent; ++i) {
    if (std::llabs(result) >= cap) break;  // it would stay unchanged from here on
    result *= b;
  }
  return static_cast<int>(result);
}

int SignOf(double x) {
  return x >= 0 ? 1 : -1;
}

double RoundingNudge(int s) {
  return 1.0 + s * 5e-12;
}

std::string FormatLength(int precision, double value, char decimalSeparator) {
  const double d = PowerCapped(10, precision);
  const double scaled = d * value;
  double r = RoundHalfEven(RoundingNudge(SignOf(value)) * scaled);
  if (r == 0.0) r = 0.0;  // no "-0"
  std::string text = GeneralDecimal(r / d, decimalSeparator);
  if (precision >= 1 && std::isfinite(r)) text = PadDecimals(text, precision, decimalSeparator);
  return TrimCharsRight(TrimCharsLeft(text, kBlanks), kBlanks);
}

int32_t ParseNumberText(std::string_view text, int precision, int32_t defaultValue,
                        char decimalSeparator) {
  const std::string_view t = TrimRightView(TrimLeftView(text, kBlanks), kBlanks);
  if (t.empty()) return defaultValue;
  const int s = t.front() == '-' ? -1 : 1;
  if (precision >= 0) return ParseDecimal(t, precision, s, defaultValue, decimalSeparator);
  const int binaryDigits =
      precision == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max() : -precision;
  return ParseFraction(t, binaryDigits, s, defaultValue);
}

double ParseLengthValue(std::string_view text, const NumberFormat& format, int& errorCount) {
  const char separator = format.decimalSeparator;
  int32_t r = ParseNumberText(text, format.lengthPrecision, NoValue, separator);
  double scale = format.lengthScale;
  if (r == NoValue) {
    // Fractions are resolved four binary places finer than the decimal
    // resolution: 1/512 at a scale of 100.
    const int n =
        static_cast<int>(RoundHalfEven(std::log2(std::max(1.0, static_cast<double>(scale))))) + 2;
    r = ParseNumberText(text, -n, NoValue, separator);
    scale = PowerCapped(2, n);
  }
  if (r == NoValue) {
    ++errorCount;
    return 0.0;
  }
  return r / scale;
}

int32_t ParseLengthUnits(std::string_view text, const NumberFormat& format, int& errorCount) {
  const double v = ParseLengthValue(text, format, errorCount);
  if (errorCount != 0) return 0;
  const double scale = format.lengthScale;
  if (scale * v > static_cast<double>(kMagnitudeCap)) {
    ++errorCount;
    return 0;
  }
  return ToInt32(RoundHalfEven(RoundingNudge(SignOf(v)) * scale * v));
}

std::string TrimCharsLeft(std::string_view text, std::string_view set) {
  return std::string(TrimLeftView(text, set));
}

std::string TrimCharsRight(std::string_view text, std::string_view set) {
  return std::string(TrimRightView(text, set));
}

std::string PadDecimals(std::string_view text, int n, char separator) {
  std::string padded(text);
  if (n < 1) return padded;
  size_t at = padded.find(separator);
  if (at == std::string::npos) {
    padded.push_back(separator);
    at = padded.size() - 1;
  }
  const size_t have = padded.size() - at - 1;
  if (have < static_cast<size_t>(n)) padded.append(static_cast<size_t>(n) - have, '0');
  return padded;
}

}  // namespace fract
