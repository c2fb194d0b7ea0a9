#include "input_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "fract.h"
#include "run_state.h"
#include "tarvolin/limits.h"
#include "utf8.h"

namespace tarvolin {

namespace {

bool IsSeparator(char c, char s1, char s2) {
  return c == s1 || c == s2;
}
}  // namespace

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

namespace {

// Ends field k + 1 before the 1-based position; past kMaxFields the line has
// too many fields.
void AddFieldEnd(FieldBounds& f, int position) {
  if (f.k == kMaxFields) {
    f.tooMany = true;
    return;
  }
  f.b[++f.k] = position;
}

}  // namespace

FieldBounds SplitFields(std::string_view line, char separator1, char separator2) {
  FieldBounds f;
  const int length = static_cast<int>(line.size());
  const auto add = [&f](int position) { AddFieldEnd(f, position); };
  for (int i = 1; i <= length && !f.tooMany; ++i) {
    if (!IsSeparator(line[i - 1], separator1, separator2)) continue;
    if (i > 1 && !IsSeparator(line[i - 2], separator1, separator2)) add(i);
  }
  if (!f.tooMany && length > 0 && !IsSeparator(line[length - 1], separator1, separator2))
    add(length + 1);
  return f;
}

FieldBounds SplitExactFields(std::string_view line, char separator) {
  FieldBounds f;
  const int length = static_cast<int>(line.size());
  const auto add = [&f](int position) { AddFieldEnd(f, position); };
  for (int i = 1; i <= length && !f.tooMany; ++i)
    if (line[i - 1] == separator) add(i);
  if (!f.tooMany && length > 0) add(length + 1);
  return f;
}

std::string_view FieldText(std::string_view line, const FieldBounds& fields, int j) {
  if (j < 1 || j > fields.k) return {};
  const size_t start = static_cast<size_t>(fields.b[j - 1]);
  const size_t end = static_cast<size_t>(fields.b[j] - 1);  // 0-based, exclusive
  if (start >= line.size() || end <= start) return {};
  return line.substr(start, end - start);
}

std::string_view TrimRightText(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && IsBlankOrControl(text[n - 1])) --n;
  return text.substr(0, n);
}

std::string_view TrimText(std::string_view text) {
  text = TrimRightText(text);
  size_t i = 0;
  while (i < text.size() && IsBlankOrControl(text[i])) ++i;
  return text.substr(i);
}

std::string CutToChars(std::string_view text, size_t chars) {
  size_t i = 0;
  for (size_t count = 0; i < text.size() && count < chars; ++count) i = utf8::CharacterEnd(text, i);
  return std::string(text.substr(0, i));
}

std::string ReplaceDecimalMarks(std::string_view text, char decimalSeparator) {
  std::string r(text);
  if (const size_t p = r.find('.'); p != std::string::npos) r[p] = decimalSeparator;
  if (const size_t p = r.find(','); p != std::string::npos) r[p] = decimalSeparator;
  return r;
}

bool ParseWholeNumber16(std::string_view text, int16_t& value) {
  text = TrimText(text);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > INT16_MAX + 1) return false;  // no need to read further digits
  }
  if (negative) v = -v;
  if (v < INT16_MIN || v > INT16_MAX) return false;
  value = static_cast<int16_t>(v);
  return true;
}

MaterialKeyResult MaterialKeyOf(std::string_view line, const FieldBounds& fields) {
  MaterialKeyResult r;
  r.name = TrimText(FieldText(line, fields, 1));
  if (fields.k >= 2) {
    r.hasSecondField = true;
    r.name += ' ';
    r.name += TrimText(FieldText(line, fields, 2));
  }
  // The key is the first kMaterialKeyChars characters of the name.
  r.key = CutToChars(r.name, kMaterialKeyChars);
  return r;
}

int ReadWholeFile(const std::string& path, std::string& content, size_t maxBytes) {
  content.clear();
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return errno != 0 ? errno : EIO;
  int result = 0;
  char buffer[8192];
  for (;;) {
    errno = 0;
    const size_t got = std::fread(buffer, 1, sizeof buffer, f);
    content.append(buffer, got);
    if (content.size() > maxBytes) {
      content.clear();
      content.shrink_to_fit();
      result = EFBIG;
      break;
    }
    if (got < sizeof buffer) {
      if (std::ferror(f)) result = errno != 0 ? errno : EIO;
      break;
    }
  }
  errno = 0;
  if (std::fclose(f) != 0 && result == 0) result = errno != 0 ? errno : EIO;
  // A UTF-8 byte-order mark, as some editors write one, is no part of the text.
  if (content.starts_with("\xEF\xBB\xBF")) content.erase(0, 3);
  return result;
}

int64_t LimitInUserUnits(int scale) {
  return static_cast<int64_t>(
      std::nearbyint(static_cast<double>(TARVOLIN_MAX_SUM) / (scale > 0 ? scale : 1)));
}

std::vector<std::string_view> SplitLines(std::string_view content) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < content.size()) {
    const size_t end = content.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

int32_t LengthField(std::string_view line, const FieldBounds& fields, int j,
                    const fract::NumberFormat& format, int& errorCount) {
  if (fields.k < j) {
    ++errorCount;
    return 0;
  }
  const std::string text = ReplaceDecimalMarks(FieldText(line, fields, j), format.decimalSeparator);
  return fract::ParseLengthUnits(TrimText(text), format, errorCount);
}

bool ExceedsTotalLimit(int64_t value, int quantity, int64_t sum) {
  constexpr int64_t kLimit = TARVOLIN_MAX_SUM;
  return value >= kLimit / quantity || value * quantity >= kLimit - sum;
}

int LongLineNumber(std::string_view content, size_t maxBytes) {
  int number = 0;
  size_t start = 0;
  while (start < content.size()) {
    ++number;
    size_t end = content.find('\n', start);
    const size_t next = end == std::string_view::npos ? content.size() : end + 1;
    if (end == std::string_view::npos) end = content.size();
    if (end > start && content[end - 1] == '\r') --end;
    if (end - start > maxBytes) return number;
    start = next;
  }
  return 0;
}

bool DataLineReader::Next(DataLine& line) {
  while (next_ < content_.size()) {
    const size_t end = content_.find('\n', next_);
    const size_t length = (end == std::string_view::npos ? content_.size() : end) - next_;
    const std::string_view raw = content_.substr(next_, length);
    next_ += length + 1;
    ++number_;
    const std::string_view text = TrimRightText(raw);
    if (text.empty()) continue;
    if (!headerSeen_) {
      headerSeen_ = true;
      continue;
    }
    line.text = text;
    line.fields =
        exactSeparator_ != 0 ? SplitExactFields(text, exactSeparator_) : SplitFields(text);
    line.key = MaterialKeyOf(text, line.fields);
    line.number = number_;
    return true;
  }
  return false;
}

}  // namespace tarvolin
