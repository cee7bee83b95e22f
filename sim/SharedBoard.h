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

// Trace lines wait here for vemisim to write them, so that a trace file that
// blocks (a terminal stopped with Ctrl-S) never holds up a request; past this they
// are dropped and counted.
#define BOARD_TRACE_BYTES 65536
// Requests a replay's recording lacks, each told once in the run; more are told again.
#define BOARD_TOLD_SLOTS 1024

struct SharedWatchdog {
    uint32_t armedSeconds; // 0: disarmed
    uint32_t kicks;        // retriggers since it was armed
    int64_t kickMs;        // board time of the last arm, retrigger or disarm
    int64_t armedAtMs;     // board time of the arm
    int64_t longestGapMs;  // longest time without an arm, retrigger or disarm
    uint8_t powerControl;
};

struct SharedTrace {
    uint64_t head, tail;   // bytes ever written in and taken out
    uint64_t dropped;      // lines dropped since the last that went out
    char data[BOARD_TRACE_BYTES];
};

struct SharedBoard {
    int32_t lockOwner;     // pid holding the lock, 0: free
    int64_t originMs;      // monotonic clock when the board started
    int64_t skippedMs;     // time the fast clock skipped
    SharedWatchdog wdt;
    int32_t restarted;     // the board restarted: recorded once, by whoever saw it first
    uint32_t processCount; // processes that ever opened the node
    SharedTrace trace;
    uint64_t told[BOARD_TOLD_SLOTS]; // replay: requests the recording lacks, told (hashes; 0: free)
    uint32_t replayEntries; // replay: the recording's length; a flag each follows the board
};

// A new board in a file under `dir`, unlinked already, its descriptor `*fd` left
// open for the command to inherit, with room for `replayEntries` flags of a
// replay's answered requests; null (errno set) when that cannot be had.
SharedBoard* CreateSharedBoard(const char* dir, int* fd, uint32_t replayEntries);
// The replay's flags: entry i of the recording was answered in this run.
uint8_t* ReplayAnswered(SharedBoard* board);

// An unlinked file of the run's own, open at `*fd` (above the descriptors a
// script uses) for its processes to inherit; its reference as SharedBoardReference.
bool CreateRunFile(const char* dir, int* fd);
// What a process passes on in VEMISIM_SHARED for `fd`, and maps from it: the
// descriptor, checked to be that file still. Null when it is not.
std::string SharedBoardReference(int fd);
SharedBoard* MapSharedBoard(const char* reference);

// A board of this process's own, started now.
SharedBoard* NewLocalBoard(void);

// A short critical section between processes. A holder that died is overtaken.
void LockBoard(SharedBoard* board);
void UnlockBoard(SharedBoard* board);

// A trace line (without its line end) for vemisim to write; dropped and counted
// when the buffer is full.
void TraceAppend(SharedBoard* board, const std::string& line);
// Writes what waits to `fd` as far as it takes it without waiting, with a line
// that counts what was dropped; true when nothing waits any more.
bool TraceDrain(SharedBoard* board, int fd);

// The board's clock: milliseconds since it started, the fast clock's skips included;
// and the same in microseconds.
int64_t BoardClockMs(const SharedBoard* board);
int64_t BoardClockUs(const SharedBoard* board);

// The board restarted; true for the one caller that records it.
bool TakeRestart(SharedBoard* board);

// When the armed watchdog must be retriggered next, in board time; -1 when disarmed.
int64_t WatchdogDeadlineMs(const SharedBoard* board);

// The host's monotonic clock, in milliseconds. The preload library, whose fast
// clock shows programs a clock that moves with the board's, hands the real one here.
int64_t MonotonicMs(void);
int64_t MonotonicUs(void);
void SetRealClock(int (*clockGettime)(clockid_t, struct timespec*));

#endif
