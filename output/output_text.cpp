#include "output_text.h"

#include <cmath>
#include <cstdlib>

#include "fract.h"

namespace tarvolin::output_text {

std::string RightAligned(std::string_view text, int n) {
  std::string out;
  if (static_cast<int>(text.size()) < n) out.assign(n - text.size(), ' ');
  out.append(text);
  return out;
}

std::string LeftAligned(std::string_view text, int n) {
  std::string out(text);
  if (static_cast<int>(out.size()) < n) out.append(n - out.size(), ' ');
  return out;
}

std::string RightAligned(int64_t value, int n) {
  return RightAligned(std::to_string(value), n);
}

std::string LengthText(int32_t units) {
  const fract::FractSettings& s = fract::Settings();
  return fract::FormatLength(s.LengthPrecision, static_cast<double>(units) / s.LengthScale);
}

std::string CostText(int32_t units) {
  const fract::FractSettings& s = fract::Settings();
  return fract::FormatLength(s.CostPrecision, static_cast<double>(units) / s.CostScale);
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
