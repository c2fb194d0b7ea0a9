// Ctrl-C (and SIGTERM, SIGHUP) as a request to the application: the signal handler only counts;
// the message pump turns the count into Esc or a terminate request.
#pragma once

namespace tarvolin {

void InstallInterruptHandler();
// Number of Ctrl-C presses not yet taken.
int PendingInterrupts();
// Takes one press; false when none is pending.
bool TakeInterrupt();

// Ends the process with `status` once a run that ran out of memory has
// closed its logs and outputs. What is left (a layouts file's page held in
// memory) cannot be given back without memory: its destruction would fail
// again, so nothing more is destroyed. Standard output and error are
// flushed first.
[[noreturn]] void LeaveAfterMemoryRanOut(int status);

}  // namespace tarvolin
