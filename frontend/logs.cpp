#include "logs.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "input_text.h"

namespace tarvolin {

namespace {

void AppendEntry(TextOutFile& log, std::string_view text) {
  if (!log.IsOpen()) return;
  log.WriteLine(text);
  log.WriteLine("");
  // Through to the file at once: a killed run keeps what it logged.
  log.Flush();
}

// Closes an output file of the run. Without a processed material the file
// is removed, but only when this run created it.
void CloseOutput(RunState& run, Toolkit& toolkit, TextOutFile& file, const std::string& name,
                 std::string_view errorText) {
  if (run.processed == 0) {
    if (file.IsOpen()) {
      file.Discard();
      ::unlink(file.Path().c_str());
    }
    return;
  }
  if (file.IsOpen()) file.Close();
  if (file.errors > 0) {
    LogError(run, toolkit, std::string(errorText) + name);
  }
}

void EndLog(TextOutFile& log) {
  log.Write("END");
  log.Flush();
}

}  // namespace

bool InitialiseLogs(RunState& run, Toolkit& toolkit) {
  run.errorLog.errors = 0;
  run.warningLog.errors = 0;
  if (run.warningLog.CreateLocked(run.warningLogFile) == EWOULDBLOCK) {
    run.warningLog.errors = 0;
    run.finished = true;  // the logs belong to the other instance
    run.secondInstance = true;
    toolkit.ShowWarning(kAlreadyRunning);
    toolkit.Terminate();
    return false;
  }
  run.errorLog.Create(run.errorLogFile);
  return true;
}

void LogWarning(RunState& run, Toolkit& toolkit, std::string_view text) {
  if (run.init.showMessages) toolkit.ShowBox(BoxKind::Warning, text, BoxButtons::Ok);
  AppendEntry(run.warningLog, text);
}

void LogError(RunState& run, Toolkit& toolkit, std::string_view text) {
  ++run.errorsLogged;
  if (run.init.showMessages) toolkit.ShowBox(BoxKind::Error, text, BoxButtons::Ok);
  AppendEntry(run.errorLog, text);
}

void FinishRun(RunState& run, Toolkit& toolkit, bool closeOutputs, std::string_view text) {
  // Runs once. A terminate request from outside (Ctrl-C) still ends here,
  // so the logs are always closed with "END".
  if (run.finished) return;
  run.finished = true;
  if (!TrimText(text).empty()) LogError(run, toolkit, text);
  if (closeOutputs) {
    CloseOutput(run, toolkit, run.report, run.reportFile,
                "Error writing resulting Report file: \r");
    if (run.init.writeLabelsFile)
      CloseOutput(run, toolkit, run.labels, run.labelsFile,
                  "Error writing resulting Labels file: \r");
  }
  EndLog(run.errorLog);
  EndLog(run.warningLog);
  run.errorLog.Close();
  run.warningLog.Close();
  // These cannot go to a log: always shown, and the run fails.
  run.logLost = run.errorLog.errors > 0 || run.warningLog.errors > 0;
  if (run.errorLog.errors > 0) toolkit.ShowError("Error writing Error Log file");
  if (run.warningLog.errors > 0) toolkit.ShowError("Error writing Warning Log file");
  toolkit.Terminate();
}

bool FailRun(RunState& run, Toolkit& toolkit, std::string_view text) {
  FinishRun(run, toolkit, true, text);
  return false;
}

}  // namespace tarvolin
