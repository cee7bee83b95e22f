// Key presses at the terminal during the watchdog test: a key stops retriggering.
// A key is the tool's only where its prompt is seen: standard input is a terminal,
// this process's group is its foreground group, and the stream that carries the
// prompt is that same terminal. Otherwise (a pager reading the terminal while the
// tool writes into a pipe, a job in the background) the test runs as without one.
#ifndef VEMI_KEY_WATCH_H
#define VEMI_KEY_WATCH_H

// Starts watching when the terminal is the tool's, `promptFd` being the descriptor
// the prompt was written to: one key at a time, no echo, and reads that never wait
// (VMIN and VTIME 0), with signals left on so that Ctrl-C stays an interrupt.
void StartKeyWatch(int promptFd);
bool KeysWatched(void);

// 1 when a key was pressed, 0 when none is there (another reader of the terminal
// may have taken it), without waiting. A terminal that has gone is no longer watched.
int TakeKey(void);

// Puts back what StartKeyWatch changed, leaving other settings as they are now.
void StopKeyWatch(void);

// The same from a signal handler: async-signal-safe.
void RestoreTerminalFromHandler(void);

#endif
