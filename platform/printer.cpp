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

bool RecordingPrinter::WriteBarcodes(BarcodeKind kind, const std::vector<BarcodeCell>& cells,
                                     int /*width*/, int /*heightLines*/) {
  if (NextWriteFails()) return false;
  transcript_.append(kind == BarcodeKind::kQr ? "[qr" : "[code128");
  for (size_t i = 0; i < cells.size(); ++i) {
    transcript_.append(i == 0 ? " " : " | ");
    transcript_.append(cells[i].text).append(" @").append(std::to_string(cells[i].column));
  }
  transcript_.append("]\r\n");
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
