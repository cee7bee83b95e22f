// Key presses at the terminal during the watchdog test: a key stops retriggering.
#ifndef VEMI_KEY_WATCH_H
#define VEMI_KEY_WATCH_H

#include <termios.h>

struct KeyWatch {
    bool active;          // keys are being watched
    struct termios saved; // the terminal's modes before
};

// Watches keys only when standard input is a terminal and this process's group is
// its foreground group: started in the background, the test runs as without one.
void StartKeyWatch(KeyWatch* keys);
void StopKeyWatch(KeyWatch* keys);

// One second of the test; true when a key was pressed during it.
bool WaitOneSecond(KeyWatch* keys);

#endif
