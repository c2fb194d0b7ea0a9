// Text helpers shared by the report and the labels: column alignment and the
// number forms of lengths, costs and fixed-point figures.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fract.h"

namespace tarvolin::output_text {

// Number of characters of a UTF-8 text (continuation bytes not counted), so
// that names with accented letters keep the columns of a fixed-pitch font.
int CharCount(std::string_view text);
// The first n characters of a UTF-8 text; never splits a character.
std::string_view FirstChars(std::string_view text, int n);

// Padded with blanks on the left (right) to n characters; a longer text is
// kept whole.
std::string RightAligned(std::string_view text, int n);
std::string LeftAligned(std::string_view text, int n);
std::string RightAligned(int64_t value, int n);

// A length (cost) in the locale's decimal form.
std::string LengthText(int64_t units, const fract::NumberFormat& format);
std::string CostText(int64_t units, const fract::NumberFormat& format);

// scaled / 10^decimals written with exactly `decimals` decimals; halves of
// the last place have already been settled by the caller.
std::string ScaledFixedText(int64_t scaled, int decimals, char separator);

// value rounded to `decimals` places, halves away from zero.
int64_t ScaleRounded(double value, int decimals);

}  // namespace tarvolin::output_text
