// The key watch on a real terminal, in a child that leads a session of its own on a
// pseudo-terminal: a key typed is taken, a key another reader of the terminal took
// first leaves nothing to wait for, and the terminal's modes come back.
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
enum { kOk, kNotWatched, kKeyNotTaken, kOtherReaderGotNothing, kStolenKeyTaken, kModesNotBack };

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
    StopKeyWatch();
    struct termios now;
    if (tcgetattr(STDIN_FILENO, &now) != 0 || (now.c_lflag & (ICANON | ECHO)) != (ICANON | ECHO))
        return kModesNotBack;
    return kOk;
}

TEST(KeyWatch, TakesAKeyAndNeverWaitsForOneAnotherReaderTook)
{
    int master, slave;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(5); // a read that waits ends the child by SIGALRM
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        _exit(WatchKeys(master));
    }
    close(slave);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(master);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << " (SIGALRM: a read waited)";
    EXPECT_EQ(WEXITSTATUS(status), kOk) << "failed at step " << WEXITSTATUS(status);
}

} // namespace
