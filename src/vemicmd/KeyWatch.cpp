#include "KeyWatch.h"

#include <errno.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile bool sActive = false; // keys are watched; the terminal's modes are changed
struct termios sSaved;         // the modes before

bool SameTerminal(int a, int b)
{
    struct stat sa, sb;
    return isatty(a) && isatty(b) && fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_rdev == sb.st_rdev;
}

// Only the settings StartKeyWatch changes, so that a change another process made
// meanwhile stands.
void PutBack(void)
{
    struct termios now;
    if (tcgetattr(STDIN_FILENO, &now) != 0)
        return;
    now.c_lflag = (now.c_lflag & ~(tcflag_t)(ICANON | ECHO)) | (sSaved.c_lflag & (ICANON | ECHO));
    now.c_cc[VMIN] = sSaved.c_cc[VMIN];
    now.c_cc[VTIME] = sSaved.c_cc[VTIME];
    tcsetattr(STDIN_FILENO, TCSANOW, &now);
}

} // namespace

void StartKeyWatch(int promptFd)
{
    sActive = false;
    if (!SameTerminal(STDIN_FILENO, promptFd) || tcgetpgrp(STDIN_FILENO) != getpgrp() ||
        tcgetattr(STDIN_FILENO, &sSaved) != 0)
        return;
    struct termios raw = sSaved;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    tcflush(STDIN_FILENO, TCIFLUSH); // keys typed before the test started do not count
    sActive = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

bool KeysWatched(void)
{
    return sActive;
}

int TakeKey(void)
{
    if (!sActive)
        return 0;
    char key;
    ssize_t n = read(STDIN_FILENO, &key, 1);
    if (n == 1)
        return 1;
    if (n < 0 && errno != EINTR && errno != EAGAIN)
        StopKeyWatch(); // the terminal went away: keep retriggering without it
    return 0;
}

void StopKeyWatch(void)
{
    if (sActive)
        PutBack();
    sActive = false;
}

void RestoreTerminalFromHandler(void)
{
    if (sActive)
        PutBack(); // tcgetattr and tcsetattr are async-signal-safe
}
