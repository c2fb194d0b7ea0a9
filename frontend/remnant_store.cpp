#include "remnant_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <map>

#include "fract.h"
#include "input_files.h"
#include "input_text.h"
#include "output_text.h"
#include "quoted.h"
#include "text_file.h"

namespace tarvolin {
namespace {

constexpr int kFields = 8;  // material, profile, length, quantity, cost, id, date, order file
constexpr int kIdDigits = 5;
constexpr int kMaxIdDigits = 9;
constexpr const char* kHeaderLine = "Material Profile Length Qty Cost Id Date Order";
constexpr std::string_view kNextMark = "# next ";
constexpr const char* kNone = "-";

// Lengths and costs in the store are written with a point, whatever the
// locale; the readers take a point or a comma.
const fract::NumberFormat kStoreFormat{};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The number of an identifier "R" + digits, or 0 when it is none.
int64_t IdNumber(std::string_view id) {
  if (id.size() < 2 || id.size() > 1 + kMaxIdDigits || id[0] != 'R') return 0;
  int64_t number = 0;
  for (const char c : id.substr(1)) {
    if (!IsDigit(c)) return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

// The fields of a line: separated by blanks or tabs; a field that starts
// with a quote runs to the closing quote, a quote inside written twice.
// False when a quote is not closed.
bool SplitStoreFields(std::string_view line, std::vector<std::string>& fields) {
  fields.clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string field;
    if (line[i] == '"') {
      ++i;
      for (;;) {
        if (i >= line.size()) return false;
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += line[i++];
      }
    } else {
      while (i < line.size() && !IsBlank(line[i])) field += line[i++];
    }
    fields.push_back(std::move(field));
  }
  return true;
}

std::string StoreField(std::string_view text) {
  if (!text.empty() && text.find_first_of(" \t\"") == std::string_view::npos)
    return std::string(text);
  return quoted::DoubleQuoted(text);
}

bool IsDate(std::string_view text) {
  if (text == kNone) return true;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (const size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (!IsDigit(text[i])) return false;
  return true;
}

// The number a line "# next R00043" names, or 0 for any other line.
int64_t NextMark(std::string_view line) {
  line = TrimRightText(line);
  if (!line.starts_with(kNextMark)) return 0;
  return IdNumber(line.substr(kNextMark.size()));
}

// Reads one data line into `r`; the reason when it is malformed.
std::string ReadRemnant(const std::vector<std::string>& f, Remnant& r) {
  if (f.size() != kFields) {
    return std::to_string(kFields) +
           " fields expected (material, profile, length, quantity, cost, identifier, date, "
           "order file), found " +
           std::to_string(f.size());
  }
  r.material = f[0] + " " + f[1];
  if (r.material.size() > static_cast<size_t>(kMaterialKeyChars))
    return "material and profile longer than " + std::to_string(kMaterialKeyChars) + " characters";
  int errors = 0;
  r.length = fract::ParseLengthUnits(f[2], kStoreFormat, errors);
  if (errors > 0 || r.length <= 0) return "the length is not a length above 0";
  if (f[3] != "1") return "the quantity of a remnant must be 1";
  r.cost = fract::ParseNumberText(f[4], kStoreFormat.costPrecision, fract::NoValue, '.');
  if (r.cost == fract::NoValue || r.cost < 0) return "the cost is not a number of 0 or more";
  r.id = f[5];
  if (IdNumber(r.id) <= 0) return "the identifier is not R and a number, such as R00042";
  r.date = f[6];
  if (!IsDate(r.date)) return "the date is not YYYY-MM-DD or -";
  r.orderFile = f[7];
  if (r.orderFile.empty()) return "the order file is empty (write - for none)";
  return "";
}

void StopForTest(std::string_view step) {
  // A test seam: the end-to-end tests stop the program at each step of the
  // store's rewrite, as a kill -9 would.
  const char* at = std::getenv("TARVOLIN_TEST_REMNANTS_STOP");
  if (at != nullptr && step == at) std::raise(SIGKILL);
}

// Whether `fd` is still the file that `path` names.
bool StillNamed(int fd, const std::string& path) {
  struct stat opened {};
  struct stat named {};
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
}

int ReadAllFrom(int fd, std::string& content) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno != 0 ? errno : EIO;
    if (n == 0) return 0;
    content.append(buffer, static_cast<size_t>(n));
    if (content.size() > static_cast<size_t>(kMaxInputFileBytes)) return EFBIG;
  }
}

}  // namespace

bool ParseRemnantStore(std::string_view content, RemnantStoreText& store, int& failedLine,
                       std::string& reason) {
  store = RemnantStoreText{};
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  std::map<std::string, int> idLines;
  bool header = false;
  std::vector<std::string> fields;
  for (size_t start = 0; start < content.size();) {
    const size_t end = std::min(content.find('\n', start), content.size());
    std::string_view raw = content.substr(start, end - start);
    start = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    store.lines.emplace_back(raw);
    const int lineNumber = static_cast<int>(store.lines.size());
    const std::string_view line = TrimRightText(raw);
    size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size()) continue;
    if (line[first] == '#') {
      store.nextNumber = std::max(store.nextNumber, NextMark(line));
      continue;
    }
    if (!header) {
      header = true;
      continue;
    }
    Remnant remnant;
    failedLine = lineNumber;
    if (!SplitStoreFields(line, fields)) {
      reason = "a quote is not closed";
      return false;
    }
    if (reason = ReadRemnant(fields, remnant); !reason.empty()) return false;
    if (const auto seen = idLines.find(remnant.id); seen != idLines.end()) {
      reason =
          "the identifier " + remnant.id + " is on line " + std::to_string(seen->second) + " too";
      return false;
    }
    idLines[remnant.id] = lineNumber;
    store.nextNumber = std::max(store.nextNumber, IdNumber(remnant.id) + 1);
    store.remnantLine.push_back(store.lines.size() - 1);
    store.remnants.push_back(std::move(remnant));
  }
  failedLine = 0;
  return true;
}

std::string RemnantId(int64_t number) {
  std::string digits = std::to_string(number);
  if (digits.size() < static_cast<size_t>(kIdDigits))
    digits.insert(0, static_cast<size_t>(kIdDigits) - digits.size(), '0');
  return "R" + digits;
}

std::string RemnantLine(const Remnant& r) {
  // The key is material and profile joined by a blank: split at its last.
  const size_t blank = r.material.rfind(' ');
  const std::string material =
      blank == std::string::npos ? r.material : r.material.substr(0, blank);
  const std::string profile = blank == std::string::npos ? "" : r.material.substr(blank + 1);
  return StoreField(material) + " " + StoreField(profile) + " " +
         output_text::LengthText(r.length, kStoreFormat) + " 1 " +
         output_text::CostText(r.cost, kStoreFormat) + " " + r.id + " " +
         StoreField(r.date.empty() ? kNone : r.date) + " " +
         StoreField(r.orderFile.empty() ? kNone : r.orderFile);
}

std::string UpdatedRemnantStore(const RemnantStoreText& store, const std::set<std::string>& used,
                                const std::vector<Remnant>& added, int64_t nextNumber) {
  std::vector<bool> dropped(store.lines.size(), false);
  for (size_t i = 0; i < store.remnants.size(); ++i)
    if (used.contains(store.remnants[i].id)) dropped[store.remnantLine[i]] = true;
  std::string text = std::string(kNextMark) + RemnantId(nextNumber) + "\r\n";
  bool any = false;  // a line besides the next mark
  for (size_t i = 0; i < store.lines.size(); ++i) {
    if (dropped[i] || NextMark(store.lines[i]) > 0) continue;
    text += store.lines[i] + "\r\n";
    any = any || !TrimRightText(store.lines[i]).empty();
  }
  if (!any) text += std::string(kHeaderLine) + "\r\n";
  for (const Remnant& r : added) text += RemnantLine(r) + "\r\n";
  return text;
}

RemnantStoreFile::~RemnantStoreFile() {
  Close();
}

void RemnantStoreFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int RemnantStoreFile::Open(const std::string& path, std::string& content) {
  Close();
  path_ = path;
  content.clear();
  // A holder may rename the file between our open and our lock: the lock
  // then sits on a file the name no longer shows, and we open again.
  constexpr int kAttempts = 8;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? 0 : (errno != 0 ? errno : EIO);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK && errno != EINVAL &&
        errno != EOPNOTSUPP) {
      const int e = errno;
      ::close(fd);
      return e == EWOULDBLOCK ? EWOULDBLOCK : e;
    }
    if (!StillNamed(fd, path)) {
      ::close(fd);
      continue;
    }
    if (const int e = ReadAllFrom(fd, content); e != 0) {
      ::close(fd);
      return e;
    }
    fd_ = fd;
    return 0;
  }
  return EAGAIN;
}

std::string RemnantStoreFile::Replace(std::string_view bytes) {
  StopForTest("before");
  TextOutFile out;
  if (const int e = out.CreateReplacing(path_); e != 0) {
    return "cannot create " + out.FailedPath() + ": " +
           IoErrorText(e == EWOULDBLOCK ? EWOULDBLOCK : out.FirstError());
  }
  out.Write(bytes);
  out.Flush();
  if (out.Errors() == 0) StopForTest("written");
  if (const int e = out.Close(); e != 0) return "cannot write " + path_ + ": " + IoErrorText(e);
  StopForTest("renamed");
  return "";
}

bool RemnantKeeping::Open(RunState& run, std::string& message, bool& inUse) {
  inUse = false;
  std::string content;
  const int e = file_.Open(run.remnantsFile, content);
  if (e == EWOULDBLOCK) {
    inUse = true;
    return false;
  }
  if (e != 0) {
    message = "Error reading Remnants file: \r" + run.remnantsFile + "\r" + IoErrorText(e);
    return false;
  }
  int line = 0;
  std::string reason;
  if (!ParseRemnantStore(content, store_, line, reason)) {
    message = "Error reading Remnants file: \r" + run.remnantsFile +
              "\rSee line: " + std::to_string(line) + " (" + reason + ")";
    return false;
  }
  next_ = store_.nextNumber;
  run.remnants = store_.remnants;
  return true;
}

void RemnantKeeping::MarkPlan(const RunState& run, MaterialPass& pass, const std::string& date) {
  const SolverResults& r = pass.results;
  const int bars = BarCount(r);
  pass.barRemnant.assign(static_cast<size_t>(bars) + 1, "");
  pass.barOffcut.assign(static_cast<size_t>(bars) + 1, "");
  // What each bar's pieces take: a piece and the cut behind it.
  std::vector<int64_t> taken(static_cast<size_t>(bars) + 1, 0);
  for (int piece = 1; piece <= PieceCount(r); ++piece) {
    const int bar = r.partItemStock[piece];
    if (bar >= 1 && bar <= bars) taken[bar] += int64_t{PieceLength(pass, piece)} + run.opt.kerf;
  }
  // Bars are numbered group by group: the k-th bar of a group of remnants
  // is its k-th remnant.
  std::map<int, size_t> seen;
  const int32_t minimum = run.opt.minReusableLength;
  for (int bar = 1; bar <= bars; ++bar) {
    const StockGroup* group = StockGroupAt(pass, r.stockItemGroup[bar]);
    if (group == nullptr) continue;
    const size_t k = seen[r.stockItemGroup[bar]]++;
    if (r.stockItemLayout[bar] <= 0) continue;
    if (k < group->remnants.size()) {
      pass.barRemnant[bar] = group->remnants[k];
      used_.insert(group->remnants[k]);
    }
    const int64_t rest = std::max<int64_t>(0, group->length - taken[bar]);
    if (minimum <= 0 || rest < minimum) continue;
    Remnant offcut;
    offcut.id = RemnantId(next_++);
    offcut.material = pass.material;
    offcut.length = static_cast<int32_t>(rest);
    offcut.cost = group->length > 0
                      ? static_cast<int32_t>((int64_t{group->cost} * rest + group->length / 2) /
                                             group->length)
                      : 0;
    offcut.date = date;
    offcut.orderFile = run.orderFile;
    pass.barOffcut[bar] = offcut.id;
    added_.push_back(std::move(offcut));
  }
}

std::string RemnantKeeping::Commit() {
  return file_.Replace(UpdatedRemnantStore(store_, used_, added_, next_));
}

std::string IsoDateToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

}  // namespace tarvolin
