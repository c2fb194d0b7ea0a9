// Fuzz target for the number readers: any text must be read without crash or
// undefined behaviour, and every length ParseLengthUnits accepts, written back
// with FormatLength, must read back to the same length units.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fract.h"

namespace {

void CheckText(std::string_view text, const fract::NumberFormat& format) {
  const char sep = format.decimalSeparator;
  const int precisions[] = {2, 0, 1, 9, 10, -1, -9, -31, -2147483647 - 1};
  for (const int p : precisions) fract::ParseNumberText(text, p, fract::NoValue, sep);

  int errors = 0;
  fract::ParseLengthValue(text, format, errors);
  errors = 0;
  const int32_t units = fract::ParseLengthUnits(text, format, errors);
  if (errors != 0) {
    if (units != 0) std::abort();
    return;
  }
  const std::string written =
      fract::FormatLength(format.lengthPrecision, units / double(format.lengthScale), sep);
  int errorsBack = 0;
  const int32_t back = fract::ParseLengthUnits(written, format, errorsBack);
  if (errorsBack != 0 || back != units) {
    std::fprintf(stderr, "read back failed: \"%.*s\" -> %d -> \"%s\" -> %d\n",
                 static_cast<int>(text.size()), text.data(), static_cast<int>(units),
                 written.c_str(), static_cast<int>(back));
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const char separator : {'.', ','}) {
    CheckText(text, fract::MakeNumberFormat(2, 2, separator));
    if (size >= sizeof(double)) {
      double value = 0;
      std::memcpy(&value, data, sizeof value);
      for (int p = 0; p <= 9; ++p) fract::FormatLength(p, value, separator);
    }
  }
  return 0;
}
