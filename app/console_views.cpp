#include "console_views.h"

#include "interrupt.h"

namespace tarvolin {

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
  out_ << *pending_ << '\n' << std::flush;
  pending_.reset();
}

void ConsoleProcessView::CloseWindow() {
  Flush();
  closeRequested_ = true;
}

void ConsolePleaseWait::Show() {
  err_ << PleaseWaitLook::kLabelCaption << '\n' << std::flush;
}

void ConsoleProgressView::OpenProgress(bool showEsc) {
  open_ = true;
  escEnabled_ = showEsc;
  multi_ = pack_ = 0;
}

void ConsoleProgressView::CloseProgress() {
  if (open_ && draw_) err_ << "\r\033[K" << std::flush;
  open_ = false;
}

void ConsoleProgressView::SetMultiPosition(int position) {
  multi_ = position;
}
void ConsoleProgressView::SetPackPosition(int position) {
  pack_ = position;
}
void ConsoleProgressView::SetTimeText(const char* text) {
  time_ = text;
}

void ConsoleProgressView::SetBestTexts(const char* criterion, const char* time) {
  crit_ = criterion;
  critTime_ = time;
}

void ConsoleProgressView::PumpMessages() {
  // While Esc is offered, the first Ctrl-C ends the search and keeps the
  // best plan; otherwise it waits for the batch's next termination check.
  if (open_ && escEnabled_ && TakeInterrupt()) FormKeyPress(kEscapeKey);
  Draw();
}

void ConsoleProgressView::Draw() {
  if (!open_ || !draw_) return;
  const auto bar = [](int position, int width) {
    const int filled = position < 0 ? 0 : (position > 100 ? width : position * width / 100);
    return std::string(filled, '#') + std::string(width - filled, '.');
  };
  // The two bars of the progress window: the whole optimization and the
  // current run, half as wide.
  constexpr int kMultiBarWidth = 20;
  constexpr int kPackBarWidth = 10;
  err_ << "\r\033[KOptimizer Run...  [" << bar(multi_, kMultiBarWidth) << "] ["
       << bar(pack_, kPackBarWidth) << "] " << time_ << "  Criterion / Time: " << crit_ << " / "
       << critTime_ << (escEnabled_ ? "  Esc to abort" : "") << std::flush;
}

}  // namespace tarvolin
