// The name of a running program, by its pid: who holds the watchdog's lock.
#ifndef VEMI_PROCESS_NAME_H
#define VEMI_PROCESS_NAME_H

#include <stddef.h>

// The command name the system keeps for process `pid` (as ps shows it), into
// `out`; false when there is no such process or its name cannot be told.
bool VemiProcessName(long pid, char* out, size_t size);

#endif
