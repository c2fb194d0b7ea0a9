// Text fields in double quotes, as spreadsheets and the program's own text
// files write a field that holds a separator: every quote inside doubled.
#pragma once

#include <string>
#include <string_view>

namespace quoted {

inline std::string DoubleQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

}  // namespace quoted
