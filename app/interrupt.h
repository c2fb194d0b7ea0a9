// Ctrl-C (and SIGTERM, SIGHUP) as a request to the application: the signal handler only counts;
// the message pump turns the count into Esc or a terminate request.
#pragma once

namespace tarvolin {

void InstallInterruptHandler();
// Number of Ctrl-C presses not yet taken.
int PendingInterrupts();
// Takes one press; false when none is pending.
bool TakeInterrupt();

}  // namespace tarvolin
