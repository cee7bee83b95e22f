// One vemisim run is one board: every process under it sees one watchdog and one
// clock, and the board outlives each program. That state lives in a file of the
// run's folder (VEMISIM_RUN, which vemisim removes at the end, and its helper when
// vemisim is killed), handed to the command as an inherited descriptor
// (VEMISIM_SHARED); a process whose parent closed its descriptors finds it by its
// name, which only vemisim's user can open. A process outside vemisim keeps a
// board of its own, in its own memory.
#ifndef VEMISIM_SHARED_BOARD_H
#define VEMISIM_SHARED_BOARD_H

#include <stdint.h>
#include <time.h>

#include <string>

// Trace lines wait here for vemisim to write them, so that a trace file that
// blocks (a terminal stopped with Ctrl-S) never holds up a request; past this they
// are dropped and counted. A trace into a regular file, which takes every line,
// loses none: a request waits for vemisim to make room.
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
    int32_t takesAll;      // the trace is a regular file: lines wait for room, none is dropped
    int32_t writer;        // vemisim's pid, woken (SIGURG) to make room
    int32_t woken;         // it was woken and has not drained since
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

// The run's files, in its folder: the board, the node's stand-in (each open of
// the node is a descriptor of it: read-only, empty, never the board itself), the
// journal of a recording.
#define kRunBoardName "board"
#define kRunNodeName "node"
#define kRunJournalName "journal"

// A new file `name` of the run, this user's alone (0600; 0400 and open read-only
// with `readOnly`), open at `*fd` (above the descriptors a script uses) for the
// run's processes to inherit; its reference as SharedBoardReference.
bool CreateRunFile(const char* dir, const char* name, bool readOnly, int* fd);
// What a process passes on for `fd` ("fd:dev:ino"), and finds from it: the
// descriptor when it is that file still, else the file `name` of the run's folder
// opened anew, when it is that file; -1 otherwise.
std::string SharedBoardReference(int fd);
int FindRunFile(const char* reference, const char* name, bool readOnly);
// The board, mapped from its reference; null when it cannot be found.
SharedBoard* MapSharedBoard(const char* reference);

// A board of this process's own, started now.
SharedBoard* NewLocalBoard(void);

// A short critical section between processes. A holder that died is overtaken.
void LockBoard(SharedBoard* board);
void UnlockBoard(SharedBoard* board);

// A trace line (without its line end) for vemisim to write; when the buffer is
// full, dropped and counted, or, into a file that takes all, waited for (2 s at
// most) once vemisim is woken.
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

// vemisim's wake-up to drain the trace: a signal it takes for nothing else.
#define TRACE_WAKE_SIGNAL SIGURG

// The host's monotonic clock, in milliseconds. The preload library, whose fast
// clock shows programs a clock that moves with the board's, hands the real one here.
int64_t MonotonicMs(void);
int64_t MonotonicUs(void);
void SetRealClock(int (*clockGettime)(clockid_t, struct timespec*));

#endif
