// Lengths and costs between text and scaled integers.
//
// Lengths and costs travel through the program as signed 32-bit integers in
// hundredths of the user's unit. This module reads the texts users type
// (decimal point or comma, fractions with feet and inch marks) into those
// integers and writes them back as plain decimals with the locale's separator.
//
// Decimal literals: a mantissa needs at least one digit, on either side of the
// separator, so ".5" and "5." are read as 0.5 and 5. The writer always puts
// digits on both sides ("0.50", "5.00"), which the reader accepts as well.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fract {

// Marker that callers pass as the default of ParseNumberText and compare
// against to detect an unreadable text.
inline constexpr int32_t NoValue = -555555555;

// How lengths and costs are held and written: decimal places, the scales
// they give (units per user unit) and the decimal separator of the user's
// locale. Callers hold one value for the run and pass it where numbers are
// read or written.
struct NumberFormat {
  int lengthPrecision = 2;
  int costPrecision = 2;
  int lengthScale = 100;  // PowerCapped(10, lengthPrecision)
  int costScale = 100;    // PowerCapped(10, costPrecision)
  // Written by the formatter; the readers accept "." and "," (and this one)
  // whatever it is.
  char decimalSeparator = '.';
};

// The format for the given precisions and separator, with the scales derived
// from the precisions.
NumberFormat MakeNumberFormat(int lengthPrecision, int costPrecision, char decimalSeparator);

// Integer power that stops growing before it passes 2,000,000,000:
// PowerCapped(10, n) = 10^min(n, 9), PowerCapped(2, n) = 2^min(n, 30).
int PowerCapped(int base, int exponent);
// +1 for x >= 0 (zero included), -1 for x < 0.
int SignOf(double x);
// 1 + s * 5e-12: multiplied into a value before rounding so that exact halves
// move away from zero in the direction of s.
double RoundingNudge(int s);

// The text of a length or cost in user units with exactly `precision`
// decimals (precision >= 0), e.g. FormatLength(2, 0.125, '.') == "0.13".
std::string FormatLength(int precision, double value, char decimalSeparator);
// The value of a text in units of 10^-precision (precision >= 0) or, for a
// negative precision -n, in units of 2^-n with the fraction notation
// (5 1/2, 1'6-1/2"); defaultValue when the text cannot be read. Besides "."
// and "," the decimal separator given is accepted.
int32_t ParseNumberText(std::string_view text, int precision, int32_t defaultValue,
                        char decimalSeparator);
// A length in user units, resolved to 1/lengthScale for decimals and to
// 1/512 (at the standard scale) for fractions; 0.0 and errorCount + 1 when the
// text cannot be read.
double ParseLengthValue(std::string_view text, const NumberFormat& format, int& errorCount);
// A length in length units; 0 whenever errorCount is non-zero afterwards
// (the counter is cumulative over calls).
int32_t ParseLengthUnits(std::string_view text, const NumberFormat& format, int& errorCount);

// Remove leading (trailing) characters that belong to `set`.
std::string TrimCharsLeft(std::string_view text, std::string_view set);
std::string TrimCharsRight(std::string_view text, std::string_view set);
// Appends the decimal separator when the text has none, then zeros until at
// least n digits follow it. n < 1 leaves the text unchanged.
std::string PadDecimals(std::string_view text, int n, char decimalSeparator);

}  // namespace fract
