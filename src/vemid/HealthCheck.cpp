#include "HealthCheck.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

long long NowMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// The check starts with every signal at its default and none blocked, whatever
// vemid ignores or holds back for itself.
void PrepareAttributes(posix_spawnattr_t* attr)
{
    posix_spawnattr_init(attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL); // FreeBSD's posix_spawn fails on the two it cannot set
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigmask(attr, &none);
    posix_spawnattr_setsigdefault(attr, &all);
    posix_spawnattr_setpgroup(attr, 0);
    posix_spawnattr_setflags(attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

} // namespace

CheckOutcome RunHealthCheck(const char* command, int seconds, volatile const sig_atomic_t* stopped, int* detail)
{
    posix_spawnattr_t attr;
    PrepareAttributes(&attr);
    char shell[] = "sh", flag[] = "-c";
    char* argv[] = {shell, flag, (char*)command, NULL};
    pid_t pid;
    int error = posix_spawn(&pid, "/bin/sh", NULL, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    if (error != 0) {
        *detail = error;
        return kCheckNotRun;
    }
    long long deadline = NowMs() + seconds * 1000LL;
    sigset_t open;
    sigemptyset(&open);
    for (;;) {
        int status;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            kill(-pid, SIGKILL); // what it left running in its group goes with it
            *detail = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? kCheckPassed : kCheckFailed;
        }
        if (done < 0 && errno != EINTR) {
            *detail = errno;
            return kCheckNotRun;
        }
        bool stop = *stopped != 0;
        if (stop || NowMs() >= deadline) {
            kill(-pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return stop ? kCheckStopped : kCheckTimedOut;
        }
        // A short wait in which vemid's stop signals come through.
        struct timespec tick = {0, 20 * 1000000};
        pselect(0, NULL, NULL, NULL, &tick, &open);
    }
}
