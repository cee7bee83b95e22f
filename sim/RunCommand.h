// vemisim runs the command as its child and stays, as the board outlives a program.
#ifndef VEMISIM_RUN_COMMAND_H
#define VEMISIM_RUN_COMMAND_H

#include "WatchdogShare.h"

// Runs argv and waits for it. Meanwhile it records, in the trace (traceFd, -1 for
// none), the restart of a watchdog left armed in `table` by a process that ended or
// stayed silent past its deadline. Signals sent to vemisim by another process are
// passed on to the command; those from the terminal reach it directly. When the
// command stops, vemisim stops too, once no watchdog is armed (the board's clock
// runs on while a program is stopped), so that the shell sees the job stopped.
// Returns the command's wait status.
int RunCommand(char** argv, WatchdogTable* table, int traceFd);

// Ends vemisim as the command ended: with its exit status, or by its signal.
[[noreturn]] void EndAs(int waitStatus);

#endif
