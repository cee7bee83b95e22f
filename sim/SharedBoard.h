// One vemisim run is one board: every process under it sees one watchdog and one
// clock, and the board outlives each program. That state lives in a file that
// vemisim creates and unlinks at once, handed to its command as an inherited
// descriptor (VEMISIM_SHARED), so that nothing is left behind even when vemisim is
// killed. A process outside vemisim keeps a board of its own, in its own memory.
#ifndef VEMISIM_SHARED_BOARD_H
#define VEMISIM_SHARED_BOARD_H

#include <stdint.h>
#include <time.h>

#include <string>

#define BOARD_MAX_USERS 64

struct SharedWatchdog {
    uint32_t armedSeconds; // 0: disarmed
    uint32_t kicks;        // retriggers since it was armed
    int64_t kickMs;        // board time of the last arm, retrigger or disarm
    int64_t armedAtMs;     // board time of the arm
    int64_t longestGapMs;  // longest time without an arm, retrigger or disarm
    uint8_t powerControl;
};

struct SharedBoard {
    int32_t lockOwner;     // pid holding the lock, 0: free
    int64_t originMs;      // monotonic clock when the board started
    int64_t skippedMs;     // time the fast clock skipped
    SharedWatchdog wdt;
    int32_t restarted;     // the board restarted: recorded once, by whoever saw it first
    uint32_t processCount; // processes that ever opened the node
    int32_t users[BOARD_MAX_USERS]; // pids of the processes that opened the node; 0: free
};

// A new board in a file under `dir`, unlinked already, its descriptor `*fd` left
// open for the command to inherit; null (errno set) when that cannot be had.
SharedBoard* CreateSharedBoard(const char* dir, int* fd);
// What a process passes on in VEMISIM_SHARED for `fd`, and maps from it: the
// descriptor, checked to be that file still. Null when it is not.
std::string SharedBoardReference(int fd);
SharedBoard* MapSharedBoard(const char* reference);

// A board of this process's own, started now.
SharedBoard* NewLocalBoard(void);

// A short critical section between processes. A holder that died is overtaken.
void LockBoard(SharedBoard* board);
void UnlockBoard(SharedBoard* board);

// Notes `pid` among the processes that opened the node; false when it was already.
bool AddBoardUser(SharedBoard* board, int32_t pid);

// The board's clock: milliseconds since it started, the fast clock's skips included.
int64_t BoardClockMs(const SharedBoard* board);

// The board restarted; true for the one caller that records it.
bool TakeRestart(SharedBoard* board);

// When the armed watchdog must be retriggered next, in board time; -1 when disarmed.
int64_t WatchdogDeadlineMs(const SharedBoard* board);

// The host's monotonic clock, in milliseconds. The preload library, whose fast
// clock shows programs a clock that moves with the board's, hands the real one here.
int64_t MonotonicMs(void);
void SetRealClock(int (*clockGettime)(clockid_t, struct timespec*));

#endif
