// Reading helpers shared by the settings, order and stock readers: whole
// files as bytes, lines, blank/tab separated fields, trimming, and cutting
// texts to a number of UTF-8 characters.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fract.h"

namespace tarvolin {

inline constexpr int kMaxFields = 50;

// Field boundaries of one line: b[0] = 0, field j (1..k) lies between the
// 1-based positions b[j-1]+1 and b[j]-1. A line with more than kMaxFields
// fields sets tooMany and keeps the first kMaxFields.
struct FieldBounds {
  std::array<int, kMaxFields + 1> b{};
  int k = 0;
  bool tooMany = false;
};

FieldBounds SplitFields(std::string_view line, char separator1 = ' ', char separator2 = '\t');
// Fields between every two separators, empty ones included (lines made
// from a spreadsheet's rows).
FieldBounds SplitExactFields(std::string_view line, char separator);

// Field j (1..k) as it stands, with the separators that follow it in a run.
std::string_view FieldText(std::string_view line, const FieldBounds& fields, int j);

// Blanks and control characters: the bytes up to 0x20.
bool IsBlankOrControl(char c);

// Removes blanks and control characters at both ends or at the end only.
std::string_view TrimText(std::string_view text);
std::string_view TrimRightText(std::string_view text);

// The first `chars` UTF-8 characters of the text; never splits a character.
std::string CutToChars(std::string_view text, size_t chars);

// Replaces the first "." and then the first "," by the decimal separator.
std::string ReplaceDecimalMarks(std::string_view text, char decimalSeparator);

// Field j read as a length in length units, after ReplaceDecimalMarks and
// trimming; a missing field or an unreadable text adds to errorCount.
int32_t LengthField(std::string_view line, const FieldBounds& fields, int j,
                    const fract::NumberFormat& format, int& errorCount);

// An optionally signed decimal whole number that fits 16 bits.
bool ParseWholeNumber16(std::string_view text, int16_t& value);

// Material key of a data line: field 1, one blank, field 2, cut to
// kMaterialKeyChars characters. hasSecondField is false when field 2 is
// missing; the key is then field 1 alone. name is the same text uncut.
struct MaterialKeyResult {
  std::string key;
  bool hasSecondField = false;
  std::string name;
};
MaterialKeyResult MaterialKeyOf(std::string_view line, const FieldBounds& fields);

// What a run reads of an input file at most: its size, and the length of
// one line without its line end.
inline constexpr size_t kMaxInputFileBytes = size_t{16} * 1024 * 1024;
inline constexpr size_t kMaxInputLineBytes = 4096;

// Reads a whole file, without a leading UTF-8 byte-order mark. Returns 0 or the I/O result (errno)
// of the first failing open, read or close; EFBIG when the file holds more than maxBytes (reading
// stops there, so an endless file ends too).
int ReadWholeFile(const std::string& path, std::string& content,
                  size_t maxBytes = kMaxInputFileBytes);

// The 1-based number of the first line longer than maxBytes without its
// LF or CR LF, or 0 when there is none.
int LongLineNumber(std::string_view content, size_t maxBytes = kMaxInputLineBytes);

// The limit of a total (TARVOLIN_MAX_SUM scaled units) in user units,
// rounded: the figure that the limit messages name.
int64_t LimitInUserUnits(int scale);

// True when value x quantity (quantity >= 1) reaches the total limit
// (TARVOLIN_MAX_SUM) by itself or together with the running sum.
bool ExceedsTotalLimit(int64_t value, int quantity, int64_t sum);

// Lines without their LF; a final line end does not make an extra line.
std::vector<std::string_view> SplitLines(std::string_view content);

// A data line of an order or stock file, split into fields, with its
// material key and its 1-based line number in the file.
struct DataLine {
  std::string_view text;  // without trailing blanks and control characters
  FieldBounds fields;
  MaterialKeyResult key;
  int number = 0;
};

// Walks the data lines of an order or stock file: empty lines and the
// header (the first non-empty line) are skipped.
class DataLineReader {
 public:
  // exactSeparator: 0 for fields between runs of blanks and tabs, otherwise
  // the one byte between every two fields.
  explicit DataLineReader(std::string_view content, char exactSeparator = 0)
      : content_(content), exactSeparator_(exactSeparator) {}
  bool Next(DataLine& line);

 private:
  // The lines are found as the walk goes: no table of all lines is kept.
  std::string_view content_;
  char exactSeparator_ = 0;
  size_t next_ = 0;  // byte offset of the next line
  int number_ = 0;   // lines taken so far
  bool headerSeen_ = false;
};

}  // namespace tarvolin
