// The key watch on a real terminal, in a child that leads a session of its own on a
// pseudo-terminal: a key typed is taken, a key another reader of the terminal took
// first leaves nothing to wait for, whatever mode that reader sets, and the
// terminal's modes come back unless another program has set its own.
#include <gtest/gtest.h>

#include <poll.h>
#ifdef __FreeBSD__
#include <libutil.h>
#else
#include <pty.h>
#endif
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "KeyWatch.h"

namespace {

// The child's steps; its exit status is the first that went wrong.
enum { kOk, kNotWatched, kKeyNotTaken, kOtherReaderGotNothing, kStolenKeyTaken, kModesNotBack, kCanonKeyTaken,
       kOthersModesChanged, kWatchEndedOnNothing };

bool Readable(int fd)
{
    struct pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, 2000) == 1;
}

int WatchKeys(int master)
{
    StartKeyWatch(STDOUT_FILENO);
    if (!KeysWatched())
        return kNotWatched;
    if (write(master, "k", 1) != 1 || !Readable(STDIN_FILENO) || TakeKey() != 1)
        return kKeyNotTaken;
    // Another process of the group (dd from the terminal, say) reads the next key
    // after the terminal said one was there: the watch's read must not wait for more.
    char key;
    if (write(master, "x", 1) != 1 || !Readable(STDIN_FILENO) || read(STDIN_FILENO, &key, 1) != 1)
        return kOtherReaderGotNothing;
    if (TakeKey() != 0)
        return kStolenKeyTaken;
    // A pager or a shell takes the next key and puts the terminal back in canonical
    // mode: the watch's read still must not wait (for a whole line, now).
    struct termios canon;
    tcgetattr(STDIN_FILENO, &canon);
    canon.c_lflag |= ICANON;
    tcsetattr(STDIN_FILENO, TCSANOW, &canon);
    if (write(master, "y", 1) != 1 || TakeKey() != 0)
        return kCanonKeyTaken;
    if (!KeysWatched()) // a read that found no whole line (EAGAIN) is no lost terminal
        return kWatchEndedOnNothing;
    // Those modes are another program's now: the watch leaves them as they are.
    StopKeyWatch();
    struct termios now;
    if (tcgetattr(STDIN_FILENO, &now) != 0 || (now.c_lflag & (ICANON | ECHO)) != ICANON)
        return kOthersModesChanged;
    return kOk;
}

// Keys typed, then the watch ends: the modes it changed come back.
int ModesComeBack(int master)
{
    StartKeyWatch(STDOUT_FILENO);
    if (!KeysWatched())
        return kNotWatched;
    if (write(master, "k", 1) != 1 || !Readable(KeyWatchFd()) || TakeKey() != 1)
        return kKeyNotTaken;
    StopKeyWatch();
    struct termios now;
    if (tcgetattr(STDIN_FILENO, &now) != 0 || (now.c_lflag & (ICANON | ECHO)) != (ICANON | ECHO))
        return kModesNotBack;
    return kOk;
}

// Runs `step` in a child that leads a session of its own on a pseudo-terminal.
int OnATerminal(int (*step)(int master))
{
    int master, slave;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        alarm(5); // a read that waits ends the child by SIGALRM
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        _exit(step(master));
    }
    close(slave);
    int status = 0;
    waitpid(child, &status, 0);
    close(master);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

TEST(KeyWatch, TakesAKeyAndPutsBackTheModesItChanged)
{
    EXPECT_EQ(OnATerminal(ModesComeBack), kOk) << "1014: a read waited";
}

TEST(KeyWatch, TakesAKeyAndNeverWaitsForOneAnotherReaderTook)
{
    EXPECT_EQ(OnATerminal(WatchKeys), kOk) << "1014: a read waited (SIGALRM)";
}

} // namespace
