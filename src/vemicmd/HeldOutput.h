// While the watchdog is armed nothing may wait on standard output or error: a
// terminal stopped with Ctrl-S, a full pipe or a stalled reader would hold up the
// retriggers, and the machine would restart. From HoldOutput on, what the tool
// prints is kept in memory, stream by stream and in order, and goes out only as
// fast as each stream takes it without waiting. The bytes are the same; only the
// moment they leave changes.
#ifndef VEMI_HELD_OUTPUT_H
#define VEMI_HELD_OUTPUT_H

#include <poll.h>
#include <stddef.h>
#include <stdio.h>

// The held output, a run's (RunState.h); zero: not holding.
struct THeldStream {
    FILE* was;    // the run's stream before (null: the C library's)
    FILE* real;   // where its bytes go out
    FILE* memory; // where the run prints now
    char* bytes;  // the memory stream's buffer and size, as of its last fflush
    size_t size;
    size_t sent;  // of them, written out
    bool failed;  // the stream cannot be written: its bytes are dropped
};
struct THeldOutput {
    THeldStream streams[2]; // the output, the errors
    bool holding;
};

// Writes out what was printed before (this may wait: nothing is armed yet) and
// holds what follows. Where memory for it cannot be had, output is not held.
void HoldOutput(void);

// Writes what the streams take now, without waiting.
void PumpOutput(void);

// Adds a POLLOUT entry to `fds` for each held stream with bytes still to write;
// returns how many were added (at most 2).
int PendingOutputFds(struct pollfd* fds);

// Writes the rest, waiting for each stream as long as it takes, until all is out or
// an ending signal is caught. False when a signal cut it short.
bool DrainOutput(void);

// Hands the run its streams back. Bytes still held are dropped: only a signal's
// end of the run leaves any.
void ReleaseOutput(void);

#endif
