// Key presses at the terminal during the watchdog test: a key stops retriggering.
// A key is the tool's only where nothing else reads it: standard input, standard
// output and the stream that carries the prompt are all the controlling terminal,
// and this process's group is its foreground group. Otherwise (a pager reading
// the terminal while the tool writes into a pipe, in any style; a job in the
// background) the test runs as without one, and Ctrl-C still disarms.
#ifndef VEMI_KEY_WATCH_H
#define VEMI_KEY_WATCH_H

#include <signal.h>
#include <termios.h>

// The watch, a run's (RunState.h); zero: not watching.
struct TKeyWatch {
    volatile sig_atomic_t active; // keys are watched and the terminal's modes changed (a handler reads it)
    int terminal;                 // the watch's own descriptor of the terminal: non-blocking, shared with no one
    struct termios before;        // the modes before,
    struct termios set;           // and as the watch set them
    bool canonChanged, echoChanged, minChanged, timeChanged; // what the watch changed
};

// Starts watching when the terminal is the tool's, `promptFd` being the descriptor
// the prompt is written to: one key at a time, no echo, signals left on so that
// Ctrl-C stays an interrupt. Keys are read through a descriptor of the terminal of
// the watch's own, which never waits, whatever mode another process sets.
void StartKeyWatch(int promptFd);
bool KeysWatched(void);

// The descriptor to poll for a key, -1 while keys are not watched.
int KeyWatchFd(void);

// 1 when a key was pressed, 0 when none is there (another reader of the terminal
// may have taken it), without waiting. A terminal that has gone is no longer watched.
int TakeKey(void);

// Puts back what StartKeyWatch changed, and only while the terminal still holds
// what it set: modes another program set meanwhile (a shell that took the terminal
// back, a second test) are left alone.
void StopKeyWatch(void);

// The same from a signal handler: async-signal-safe.
void RestoreTerminalFromHandler(void);

#endif
