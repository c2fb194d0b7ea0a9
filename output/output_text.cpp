#include "output_text.h"

#include <cmath>
#include <cstdlib>

#include "fract.h"
#include "utf8.h"

namespace tarvolin::output_text {

int CharCount(std::string_view text) {
  return utf8::CharacterCount(text);
}

std::string_view FirstChars(std::string_view text, int n) {
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (utf8::IsContinuation(text[i])) continue;
    if (count == n) return text.substr(0, i);
    ++count;
  }
  return text;
}

std::string RightAligned(std::string_view text, int n) {
  std::string out;
  const int chars = CharCount(text);
  if (chars < n) out.assign(n - chars, ' ');
  out.append(text);
  return out;
}

std::string LeftAligned(std::string_view text, int n) {
  std::string out(text);
  const int chars = CharCount(text);
  if (chars < n) out.append(n - chars, ' ');
  return out;
}

std::string RightAligned(int64_t value, int n) {
  return RightAligned(std::to_string(value), n);
}

std::string LengthText(int64_t units, const fract::NumberFormat& format) {
  return fract::FormatLength(format.lengthPrecision,
                             static_cast<double>(units) / format.lengthScale,
                             format.decimalSeparator);
}

std::string CostText(int64_t units, const fract::NumberFormat& format) {
  return fract::FormatLength(format.costPrecision, static_cast<double>(units) / format.costScale,
                             format.decimalSeparator);
}

std::string ScaledFixedText(int64_t scaled, int decimals, char separator) {
  if (decimals < 0) decimals = 0;
  const bool negative = scaled < 0;
  std::string digits = std::to_string(negative ? -scaled : scaled);
  if (static_cast<int>(digits.size()) <= decimals)
    digits.insert(0, decimals + 1 - digits.size(), '0');
  std::string out = negative ? "-" : "";
  out.append(digits, 0, digits.size() - decimals);
  if (decimals > 0) {
    out.push_back(separator);
    out.append(digits, digits.size() - decimals, std::string::npos);
  }
  return out;
}

int64_t ScaleRounded(double value, int decimals) {
  double scaled = value;
  for (int i = 0; i < decimals; ++i) scaled *= 10;
  if (!std::isfinite(scaled) || std::fabs(scaled) > 9e18) return 0;
  return static_cast<int64_t>(std::round(scaled));
}

}  // namespace tarvolin::output_text
