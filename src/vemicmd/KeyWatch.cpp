#include "KeyWatch.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "RunState.h"

namespace {

TKeyWatch* const k = &gRun.keys;

bool SameTerminal(int a, int b)
{
    struct stat sa, sb;
    return isatty(a) && isatty(b) && fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_rdev == sb.st_rdev;
}

// The settings the watch changed go back, but only while the terminal still holds
// all four as the watch set them: another program's modes (a shell that took the
// terminal back, a second test) stand. tcgetattr and tcsetattr are async-signal-safe.
void PutBack(void)
{
    struct termios now;
    const tcflag_t kModes = ICANON | ECHO;
    if (tcgetattr(STDIN_FILENO, &now) != 0 || (now.c_lflag & kModes) != (k->set.c_lflag & kModes) ||
        now.c_cc[VMIN] != k->set.c_cc[VMIN] || now.c_cc[VTIME] != k->set.c_cc[VTIME])
        return;
    if (!k->canonChanged && !k->echoChanged && !k->minChanged && !k->timeChanged)
        return;
    if (k->canonChanged)
        now.c_lflag |= ICANON;
    if (k->echoChanged)
        now.c_lflag |= ECHO;
    if (k->minChanged)
        now.c_cc[VMIN] = k->before.c_cc[VMIN];
    if (k->timeChanged)
        now.c_cc[VTIME] = k->before.c_cc[VTIME];
    tcsetattr(STDIN_FILENO, TCSANOW, &now);
}

} // namespace

void StartKeyWatch(int promptFd)
{
    k->active = 0;
    // The controlling terminal, in the foreground, and the prompt, the input and the
    // output all on it: nothing else of the pipeline reads it.
    if (!SameTerminal(STDIN_FILENO, STDOUT_FILENO) || !SameTerminal(STDIN_FILENO, promptFd) ||
        tcgetpgrp(STDIN_FILENO) != getpgrp() || tcgetattr(STDIN_FILENO, &k->before) != 0)
        return;
    // Opened anew by its name: a file description of the watch's own, which the
    // other processes of the pipeline do not share.
    const char* name = ttyname(STDIN_FILENO);
    k->terminal = name != NULL ? open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
    if (k->terminal < 0)
        return;
    if (!SameTerminal(k->terminal, STDIN_FILENO)) {
        close(k->terminal);
        k->terminal = -1;
        return;
    }
    struct termios raw = k->before;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    k->canonChanged = (k->before.c_lflag & ICANON) != 0;
    k->echoChanged = (k->before.c_lflag & ECHO) != 0;
    k->minChanged = k->before.c_cc[VMIN] != 0;
    k->timeChanged = k->before.c_cc[VTIME] != 0;
    k->set = raw;
    tcflush(STDIN_FILENO, TCIFLUSH); // keys typed before the test started do not count
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) {
        close(k->terminal);
        k->terminal = -1;
        return;
    }
    k->active = 1;
}

bool KeysWatched(void)
{
    return k->active != 0;
}

int KeyWatchFd(void)
{
    return k->active ? k->terminal : -1;
}

int TakeKey(void)
{
    if (!k->active)
        return 0;
    char key;
    ssize_t n = read(k->terminal, &key, 1);
    if (n == 1)
        return 1;
    if (n < 0 && errno != EINTR && errno != EAGAIN)
        StopKeyWatch(); // the terminal went away: keep retriggering without it
    return 0;
}

void StopKeyWatch(void)
{
    if (!k->active)
        return;
    k->active = 0;
    PutBack();
    close(k->terminal);
    k->terminal = -1;
}

void RestoreTerminalFromHandler(void)
{
    if (k->active)
        PutBack();
}
