// What vemisim needs to know and do about the processes under it, the one piece of
// it that differs between systems.
#ifndef VEMISIM_PROCESS_TREE_H
#define VEMISIM_PROCESS_TREE_H

#include <sys/types.h>

// Makes this process the reaper of its descendants: an orphan becomes its child, so
// that it can wait for every process of its command. False where that cannot be.
bool BecomeReaper(void);

// Sends `sig` to every descendant of this process; how many it reached.
int SignalDescendants(int sig);

#endif
