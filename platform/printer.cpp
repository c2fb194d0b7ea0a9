#include "printer.h"

namespace tarvolin {

bool RecordingPrinter::Begin(const PrinterSetup& setup) {
  if (failBegin || inJob_) return false;
  jobs_.push_back(setup);
  inJob_ = true;
  return true;
}

bool RecordingPrinter::NextWriteFails() {
  ++writes_;
  return !inJob_ || (failWriteNumber > 0 && writes_ >= failWriteNumber);
}

bool RecordingPrinter::WriteLine(std::string_view text) {
  if (NextWriteFails()) return false;
  transcript_.append(text);
  transcript_.append("\r\n");
  return true;
}

bool RecordingPrinter::FormFeed() {
  if (NextWriteFails()) return false;
  transcript_.push_back('\f');
  ++formFeeds_;
  return true;
}

bool RecordingPrinter::End() {
  if (!inJob_) return false;
  inJob_ = false;
  if (failEnd) return false;
  ++endedJobs_;
  return true;
}

}  // namespace tarvolin
