#include "KeyWatch.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t sActive = 0; // keys are watched; the terminal's modes are changed
int sTerminal = -1;      // the watch's own descriptor of the terminal: non-blocking, shared with no one
struct termios sBefore;  // the modes before,
struct termios sSet;     // and as the watch set them
bool sCanonChanged, sEchoChanged, sMinChanged, sTimeChanged; // what the watch changed

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
    if (tcgetattr(STDIN_FILENO, &now) != 0 || (now.c_lflag & kModes) != (sSet.c_lflag & kModes) ||
        now.c_cc[VMIN] != sSet.c_cc[VMIN] || now.c_cc[VTIME] != sSet.c_cc[VTIME])
        return;
    if (!sCanonChanged && !sEchoChanged && !sMinChanged && !sTimeChanged)
        return;
    if (sCanonChanged)
        now.c_lflag |= ICANON;
    if (sEchoChanged)
        now.c_lflag |= ECHO;
    if (sMinChanged)
        now.c_cc[VMIN] = sBefore.c_cc[VMIN];
    if (sTimeChanged)
        now.c_cc[VTIME] = sBefore.c_cc[VTIME];
    tcsetattr(STDIN_FILENO, TCSANOW, &now);
}

} // namespace

void StartKeyWatch(int promptFd)
{
    sActive = 0;
    // The controlling terminal, in the foreground, and the prompt, the input and the
    // output all on it: nothing else of the pipeline reads it.
    if (!SameTerminal(STDIN_FILENO, STDOUT_FILENO) || !SameTerminal(STDIN_FILENO, promptFd) ||
        tcgetpgrp(STDIN_FILENO) != getpgrp() || tcgetattr(STDIN_FILENO, &sBefore) != 0)
        return;
    // Opened anew by its name: a file description of the watch's own, which the
    // other processes of the pipeline do not share.
    const char* name = ttyname(STDIN_FILENO);
    sTerminal = name != NULL ? open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
    if (sTerminal < 0)
        return;
    if (!SameTerminal(sTerminal, STDIN_FILENO)) {
        close(sTerminal);
        sTerminal = -1;
        return;
    }
    struct termios raw = sBefore;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    sCanonChanged = (sBefore.c_lflag & ICANON) != 0;
    sEchoChanged = (sBefore.c_lflag & ECHO) != 0;
    sMinChanged = sBefore.c_cc[VMIN] != 0;
    sTimeChanged = sBefore.c_cc[VTIME] != 0;
    sSet = raw;
    tcflush(STDIN_FILENO, TCIFLUSH); // keys typed before the test started do not count
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) {
        close(sTerminal);
        sTerminal = -1;
        return;
    }
    sActive = 1;
}

bool KeysWatched(void)
{
    return sActive != 0;
}

int KeyWatchFd(void)
{
    return sActive ? sTerminal : -1;
}

int TakeKey(void)
{
    if (!sActive)
        return 0;
    char key;
    ssize_t n = read(sTerminal, &key, 1);
    if (n == 1)
        return 1;
    if (n < 0 && errno != EINTR && errno != EAGAIN)
        StopKeyWatch(); // the terminal went away: keep retriggering without it
    return 0;
}

void StopKeyWatch(void)
{
    if (!sActive)
        return;
    sActive = 0;
    PutBack();
    close(sTerminal);
    sTerminal = -1;
}

void RestoreTerminalFromHandler(void)
{
    if (sActive)
        PutBack();
}
