// A board outlives the program that uses it: when the program dies by a signal, or
// stays stopped past the armed time, an armed watchdog still restarts the machine.
// vemisim stands for that part of the board. Each process that opens the node
// publishes its board's watchdog in a slot of a table that vemisim maps from a file
// (VEMISIM_WATCHDOG), and whichever of the two sees the restart first records it.
#ifndef VEMISIM_WATCHDOG_SHARE_H
#define VEMISIM_WATCHDOG_SHARE_H

#include <stdint.h>

struct WatchdogSlot {
    int32_t pid;           // the process whose board this is; 0: free
    uint32_t armedSeconds; // 0: disarmed, or its restart already recorded
    int64_t deadlineMs;    // monotonic clock by which the next retrigger must come
};

#define WATCHDOG_SLOTS 64

struct WatchdogTable {
    WatchdogSlot slots[WATCHDOG_SLOTS];
};

// Creates the table in a new file under `dir` (path returned in `path`), or maps an
// existing one. Null when that fails: the board then keeps its watchdog to itself.
WatchdogTable* CreateWatchdogTable(const char* dir, char* path, int pathSize);
WatchdogTable* MapWatchdogTable(const char* path);

// A free slot for `pid`, or null when the table is full.
WatchdogSlot* TakeWatchdogSlot(WatchdogTable* table, int32_t pid);

// Publishes the watchdog's state.
void PublishWatchdog(WatchdogSlot* slot, uint32_t armedSeconds, int64_t deadlineMs);
uint32_t WatchdogArmed(const WatchdogSlot* slot);

// Takes the restart of an armed watchdog, once for both sides: the armed time, or 0
// when it was not armed or its restart was taken already.
uint32_t TakeRestart(WatchdogSlot* slot);

// The monotonic clock in milliseconds, the clock of the deadlines.
int64_t MonotonicMs(void);

#endif
