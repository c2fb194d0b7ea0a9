#include "console_views.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "console_toolkit.h"
#include "interrupt.h"
#include "utf8.h"

namespace tarvolin {
namespace {

constexpr int kDefaultColumns = 80;
// The two bars of the progress window: the whole optimization and the
// current run, half as wide.
constexpr int kMultiBarWidth = 20;
constexpr int kPackBarWidth = 10;
// A long material name is shortened to no fewer columns than this before
// the best criterion and the time are left out.
constexpr int kShortestMaterial = 8;

// The code point of the UTF-8 sequence at text[i], and where the next one
// starts; a byte that starts no valid sequence counts as itself.
char32_t CodePointAt(std::string_view text, size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  char32_t code = more == 3   ? lead & 0x07
                  : more == 2 ? lead & 0x0F
                  : more == 1 ? lead & 0x1F
                              : lead;
  for (int k = 0; k < more && i < text.size() && utf8::IsContinuation(text[i]); ++k)
    code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  while (i < text.size() && utf8::IsContinuation(text[i])) ++i;
  return code;
}

// Characters that a terminal draws two columns wide: the East Asian wide
// and full-width blocks (Hangul, CJK, kana, full-width forms, emoji).
bool WideCharacter(char32_t c) {
  static constexpr std::pair<char32_t, char32_t> kWide[] = {
      {0x1100, 0x115F},   {0x231A, 0x231B},  {0x2E80, 0x303E},   {0x3041, 0x33FF},
      {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},  {0xA000, 0xA4CF},   {0xA960, 0xA97F},
      {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},  {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
      {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},  {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF},
      {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
  return std::any_of(std::begin(kWide), std::end(kWide),
                     [c](const auto& range) { return c >= range.first && c <= range.second; });
}

int CharacterColumns(char32_t c) {
  return WideCharacter(c) ? 2 : 1;
}

// Columns of UTF-8 text on a terminal: two for a wide character, one for
// any other.
int TextColumns(std::string_view text) {
  int columns = 0;
  for (size_t i = 0; i < text.size();) columns += CharacterColumns(CodePointAt(text, i));
  return columns;
}

int FirstCharacterColumns(std::string_view text) {
  size_t i = 0;
  return text.empty() ? 0 : CharacterColumns(CodePointAt(text, i));
}

// The longest start of UTF-8 text that takes at most `columns` columns.
std::string FirstColumns(std::string_view text, int columns) {
  size_t end = 0;
  for (int used = 0; end < text.size();) {
    size_t next = end;
    used += CharacterColumns(CodePointAt(text, next));
    if (used > columns) break;
    end = next;
  }
  return std::string(text.substr(0, end));
}

std::string Bar(int position, int width) {
  const int filled = position < 0 ? 0 : (position > 100 ? width : position * width / 100);
  std::string bar(filled, '#');
  bar.append(width - filled, '.');
  return bar;
}

// The parts of the line that may be left out.
struct ShownParts {
  bool caption = true;  // "Optimizer Run..." before the material
  bool packBar = true;
  bool criterionTime = true;
  bool esc = true;
  bool criterion = true;
  bool time = true;
};

std::string ComposeLine(const ProgressTexts& t, std::string_view material,
                        const ShownParts& shown) {
  std::string line;
  if (t.material.empty()) {
    line = "Optimizer Run...";
  } else {
    if (shown.caption) line = "Optimizer Run...  ";
    line += material;
  }
  line.append("  [").append(Bar(t.multi, kMultiBarWidth)).append("]");
  if (shown.packBar && !t.plan) line.append(" [").append(Bar(t.pack, kPackBarWidth)).append("]");
  if (shown.time) line.append(" ").append(t.time);
  if (t.plan) {
    // The bound, then the best plan: the best plan goes last.
    const bool bound = !t.bound.empty() && shown.criterionTime;
    if (shown.criterion && bound && !t.best.empty()) {
      line.append("  Bound / Best: ").append(t.bound).append(" / ").append(t.best);
    } else if (shown.criterion && !t.best.empty()) {
      line.append("  Best: ").append(t.best);
    } else if (bound) {
      line.append("  Bound: ").append(t.bound);
    }
  } else if (shown.criterion && shown.criterionTime) {
    line.append("  Criterion / Time: ").append(t.criterion).append(" / ").append(t.criterionTime);
  } else if (shown.criterion) {
    line.append("  Criterion: ").append(t.criterion);
  }
  if (t.esc && shown.esc) line += "  Esc to abort";
  return line;
}

}  // namespace

int TerminalColumns(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* env = std::getenv("COLUMNS"); env != nullptr) {
    const char* end = env + std::strlen(env);
    int columns = 0;
    const auto [stop, error] = std::from_chars(env, end, columns);
    if (error == std::errc() && stop == end && columns > 0) return columns;
  }
  return kDefaultColumns;
}

std::string ProgressLine(const ProgressTexts& texts, int columns) {
  const int room = std::max(columns - 1, 1);
  const int material = TextColumns(texts.material);
  ShownParts shown;
  int shortest = material;  // the material may be shortened down to this
  std::string line;
  // The line as shown, with the material shortened to fit where allowed.
  const auto fits = [&] {
    line = ComposeLine(texts, texts.material, shown);
    const int over = TextColumns(line) - room;
    if (over > 0 && shortest < material) {
      const int keep = std::max(material - over, shortest);
      line = ComposeLine(texts, FirstColumns(texts.material, keep), shown);
    }
    return TextColumns(line) <= room;
  };
  // What goes first when the line is too long, in order.
  const std::function<void()> steps[] = {
      [&] { shown.caption = false; },
      [&] { shown.packBar = false; },
      [&] { shown.criterionTime = false; },
      [&] { shown.esc = false; },
      [&] { shortest = std::min(material, kShortestMaterial); },
      [&] { shown.criterion = false; },
      [&] { shown.time = false; },
      [&] { shortest = std::min(material, FirstCharacterColumns(texts.material)); },
  };
  if (fits()) return line;
  for (const auto& step : steps) {
    step();
    if (fits()) return line;
  }
  return FirstColumns(line, room);
}

BoxResult InterruptibleToolkit::ShowBox(BoxKind kind, std::string_view text, BoxButtons buttons) {
  return inner_.ShowBox(kind, text, buttons);
}

std::optional<std::string> InterruptibleToolkit::OpenFileDialog(const FileDialogRequest& request) {
  return inner_.OpenFileDialog(request);
}

void InterruptibleToolkit::ProcessMessages() {
  inner_.ProcessMessages();
  if (TakeInterrupt()) inner_.Terminate();
}

void ConsoleProcessView::AddMemoLine(std::string_view line) {
  Flush();
  pending_ = std::string(line);
}

void ConsoleProcessView::ReplaceLastMemoLine(std::string_view line) {
  pending_ = std::string(line);
}

void ConsoleProcessView::Flush() {
  if (!pending_) return;
  // A material's name comes from the order file: its control bytes are
  // written as text, never sent to the terminal.
  out_ << OneLineText(*pending_) << '\n' << std::flush;
  pending_.reset();
}

void ConsoleProcessView::CloseWindow() {
  Flush();
  closeRequested_ = true;
}

void ConsolePleaseWait::Show() {
  err_ << PleaseWaitLook::kLabelCaption << '\n' << std::flush;
}

ConsoleProgressView::ConsoleProgressView(Toolkit& toolkit, std::ostream& err, bool drawProgress,
                                         std::function<int()> columns)
    : ToolkitSolverView(toolkit), err_(err), draw_(drawProgress), columns_(std::move(columns)) {
  if (!columns_) columns_ = [] { return TerminalColumns(STDERR_FILENO); };
}

void ConsoleProgressView::OpenProgress(bool showEsc) {
  open_ = true;
  texts_.esc = showEsc;
  texts_.multi = texts_.pack = 0;
}

void ConsoleProgressView::CloseProgress() {
  if (open_ && draw_) err_ << "\r\033[K" << std::flush;
  open_ = false;
}

void ConsoleProgressView::SetMultiPosition(int position) {
  texts_.multi = position;
}
void ConsoleProgressView::SetPackPosition(int position) {
  texts_.pack = position;
}
void ConsoleProgressView::SetTimeText(const char* text) {
  texts_.time = text;
}

void ConsoleProgressView::SetBestTexts(const char* criterion, const char* time) {
  texts_.criterion = criterion;
  texts_.criterionTime = time;
}

void ConsoleProgressView::PumpMessages() {
  // While Esc is offered, the first Ctrl-C ends the search and keeps the
  // best plan; otherwise it waits for the batch's next termination check.
  if (open_ && texts_.esc && TakeInterrupt()) FormKeyPress(kEscapeKey);
  Draw();
}

void ConsoleProgressView::OpenPlanProgress(bool stopOffered) {
  OpenProgress(stopOffered);
  stopRequested_ = false;
  texts_.plan = true;
  texts_.time = "0.0 sec";
  texts_.bound.clear();
  texts_.best.clear();
  Draw();
}

void ConsoleProgressView::ShowPlanProgress(const PlanProgressTexts& texts) {
  texts_.multi = texts.position;
  texts_.time = texts.time;
  texts_.bound = texts.bound;
  texts_.best = texts.best;
  Draw();
}

bool ConsoleProgressView::PlanStopRequested() {
  // While Esc is offered, Ctrl-C is the Esc key: the planning stops with
  // its best plan and the batch goes on.
  if (open_ && texts_.esc && TakeInterrupt()) stopRequested_ = true;
  return stopRequested_;
}

void ConsoleProgressView::ClosePlanProgress() {
  CloseProgress();
  texts_.plan = false;
  texts_.time = "0 sec";
}

void ConsoleProgressView::Draw() {
  if (!open_ || !draw_) return;
  texts_.material = material_ ? OneLineText(material_()) : std::string();
  err_ << "\r\033[K" << ProgressLine(texts_, columns_()) << std::flush;
}

}  // namespace tarvolin
