#include "logs.h"

#include <cerrno>
#include <string>

#include "input_text.h"

namespace tarvolin {

namespace {

// A message's line breaks are bare CRs; a log file's lines end in CR LF.
void AppendEntry(TextOutFile& log, std::string_view text) {
  if (!log.IsOpen()) return;
  std::string lines;
  lines.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    lines += text[i];
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) lines += '\n';
  }
  log.WriteLine(lines);
  log.WriteLine("");
  // Through to the file at once: a killed run keeps what it logged.
  log.Flush();
}

// Closes an output file of the run once. Without a processed material
// only this run's temporary is removed: what stood under the output's name
// before the run stays as it was.
void CloseOutput(RunState& run, Toolkit& toolkit, TextOutFile& file, const std::string& name,
                 std::string_view errorText) {
  if (!file.IsOpen()) return;
  if (run.processed == 0) {
    file.Discard();
    return;
  }
  file.Close();
  if (file.Errors() > 0) {
    std::string text(errorText);
    text.append(name);
    if (file.FirstError() != 0) text.append(1, '\r').append(IoErrorText(file.FirstError()));
    LogError(run, toolkit, text);
  }
}

// A log that could not be written: shown, since it cannot go to a log.
void ShowLostLog(Toolkit& toolkit, const TextOutFile& log, std::string_view what) {
  std::string text = "Error writing ";
  text.append(what).append(": \r").append(log.FailedPath()).append("\r");
  toolkit.ShowError(text.append(IoErrorText(log.FirstError())));
}

void EndLog(TextOutFile& log) {
  log.Write("END");
  log.Flush();
}

}  // namespace

bool InitialiseLogs(RunState& run, Toolkit& toolkit) {
  if (run.warningLog.CreateLocked(run.warningLogFile) == EWOULDBLOCK) {
    run.finished = true;  // the logs belong to the other instance
    run.secondInstance = true;
    toolkit.ShowWarning(kAlreadyRunning);
    toolkit.Terminate();
    return false;
  }
  run.errorLog.Create(run.errorLogFile);
  return true;
}

std::string EscapeControlBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string r;
  r.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool lineBreak = c == '\r' || (c == '\n' && i > 0 && text[i - 1] == '\r');
    if ((c < 0x20 && c != '\t' && !lineBreak) || c == 0x7f) {
      r += "\\x";
      r += kHex[c >> 4];
      r += kHex[c & 0xf];
    } else {
      r += static_cast<char>(c);
    }
  }
  return r;
}

void LogWarning(RunState& run, Toolkit& toolkit, std::string_view text) {
  const std::string shown = EscapeControlBytes(text);
  if (run.init.showMessages) toolkit.ShowBox(BoxKind::Warning, shown, BoxButtons::Ok);
  AppendEntry(run.warningLog, shown);
}

void LogError(RunState& run, Toolkit& toolkit, std::string_view text) {
  ++run.errorsLogged;
  const std::string shown = EscapeControlBytes(text);
  if (run.init.showMessages) toolkit.ShowBox(BoxKind::Error, shown, BoxButtons::Ok);
  AppendEntry(run.errorLog, shown);
}

void CloseOutputs(RunState& run, Toolkit& toolkit) {
  CloseOutput(run, toolkit, run.report, run.reportFile, "Error writing resulting Report file: \r");
  if (run.init.writeLabelsFile)
    CloseOutput(run, toolkit, run.labels, run.labelsFile,
                "Error writing resulting Labels file: \r");
}

void FinishRun(RunState& run, Toolkit& toolkit, bool closeOutputs, std::string_view text) {
  // Runs once. A terminate request from outside (Ctrl-C) still ends here,
  // so the logs are always closed with "END".
  if (run.finished) return;
  run.finished = true;
  if (!TrimText(text).empty()) LogError(run, toolkit, text);
  if (closeOutputs) CloseOutputs(run, toolkit);
  EndLog(run.errorLog);
  EndLog(run.warningLog);
  run.errorLog.Close();
  run.warningLog.Close();
  // These cannot go to a log: always shown, and the run fails.
  run.logLost = run.errorLog.Errors() > 0 || run.warningLog.Errors() > 0;
  if (run.errorLog.Errors() > 0) ShowLostLog(toolkit, run.errorLog, "Error Log file");
  if (run.warningLog.Errors() > 0) ShowLostLog(toolkit, run.warningLog, "Warning Log file");
  toolkit.Terminate();
}

bool FailRun(RunState& run, Toolkit& toolkit, std::string_view text) {
  FinishRun(run, toolkit, true, text);
  return false;
}

}  // namespace tarvolin
