#include "KeyWatch.h"

#include <poll.h>
#include <unistd.h>

#include "ExitStatus.h"

// Character at a time and no echo, with signals left on, so that Ctrl-C stays an
// interrupt rather than a key.
void StartKeyWatch(KeyWatch* keys)
{
    keys->active = false;
    if (!isatty(STDIN_FILENO) || tcgetpgrp(STDIN_FILENO) != getpgrp() ||
        tcgetattr(STDIN_FILENO, &keys->saved) != 0)
        return;
    struct termios raw = keys->saved;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcflush(STDIN_FILENO, TCIFLUSH); // keys typed before the test started do not count
    keys->active = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

void StopKeyWatch(KeyWatch* keys)
{
    if (keys->active)
        tcsetattr(STDIN_FILENO, TCSANOW, &keys->saved);
    keys->active = false;
}

bool WaitOneSecond(KeyWatch* keys)
{
    FlushOutput(); // progress shows while the test runs, also through a pipe
    if (keys->active) {
        struct pollfd pfd = {STDIN_FILENO, POLLIN, 0};
        int rc = poll(&pfd, 1, 1000);
        if (rc <= 0)
            return false;
        char key;
        if (read(STDIN_FILENO, &key, 1) == 1)
            return true;
        StopKeyWatch(keys); // the terminal went away: keep retriggering without it
    }
    sleep(1);
    return false;
}
