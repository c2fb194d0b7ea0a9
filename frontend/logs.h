// The error and warning logs, operator messages, the single-instance rule
// and FinishRun, the one routine through which the program ends.
#pragma once

#include <string>
#include <string_view>

#include "run_state.h"
#include "toolkit.h"

namespace tarvolin {

inline constexpr const char* kAlreadyRunning = "Tarvolin is already running";

// Single-instance test and creation of both logs. The running instance
// holds a lock on its open warning log; when another instance holds it,
// shows "Tarvolin is already running", requests termination and returns
// false without touching any file.
bool InitialiseLogs(RunState& run, Toolkit& toolkit);

// Control bytes other than tab and the message line break (CR, or CR LF) as
// "\x1b", so that bytes from a binary input never reach a terminal raw.
std::string EscapeControlBytes(std::string_view text);

// Shows the text, control bytes escaped, when showMessages is on, then
// appends it and an empty line to the warning (error) log, each line break
// of the message written as CR LF.
void LogWarning(RunState& run, Toolkit& toolkit, std::string_view text);
void LogError(RunState& run, Toolkit& toolkit, std::string_view text);

// Closes the report and the labels. When a material was processed and
// every write reached the disk, they take the place of the files of their
// names; otherwise only this run's temporaries are removed and the files
// of those names stay as they were. A failure is logged with the file and
// the system's reason. Outputs closed already are left alone.
void CloseOutputs(RunState& run, Toolkit& toolkit);

// Ends the program: logs the text (when not blank), closes the outputs when
// asked (see CloseOutputs), ends both logs with
// "END", reports log write failures and requests termination. It
// runs only once per run (a second instance has nothing to finish).
void FinishRun(RunState& run, Toolkit& toolkit, bool closeOutputs, std::string_view text);

// A fatal input error: FinishRun with the outputs closed; returns false so
// readers can `return FailRun(...)`.
bool FailRun(RunState& run, Toolkit& toolkit, std::string_view text);

}  // namespace tarvolin
