#include "RunCommand.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

// Every signal that would end vemisim, besides the real-time ones: vemisim waits for
// them and passes them on instead.
const int kPassedOn[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
    SIGXFSZ, SIGILL, SIGTRAP, SIGABRT, SIGFPE, SIGBUS, SIGSEGV, SIGSYS,
#ifdef __linux__
    SIGIO, SIGPWR, SIGSTKFLT,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
};
const int kStops[] = {SIGTSTP, SIGTTIN, SIGTTOU};
const int64_t kGraceMs = 250; // a running program's own board sees its deadline first

void OnChild(int) {} // caught, not ignored, so that a blocked SIGCHLD stays pending

void TraceLine(int fd, const std::string& line)
{
    std::string text = line + "\n";
    if (fd >= 0 && write(fd, text.data(), text.size()) < 0) { /* tracing must not change the run */ }
}

bool Gone(pid_t pid)
{
    return kill(pid, 0) != 0 && errno == ESRCH;
}

// Records the restarts that no program can record any more; true while a
// watchdog is armed.
bool KeepWatch(WatchdogTable* table, int traceFd, pid_t child, bool childEnded)
{
    if (table == nullptr)
        return false;
    bool armed = false;
    for (WatchdogSlot& slot : table->slots) {
        pid_t pid = __atomic_load_n(&slot.pid, __ATOMIC_SEQ_CST);
        if (pid == 0)
            continue;
        bool gone = (pid == child && childEnded) || Gone(pid);
        uint32_t seconds = WatchdogArmed(&slot);
        if (seconds != 0 && MonotonicMs() > __atomic_load_n(&slot.deadlineMs, __ATOMIC_SEQ_CST) + kGraceMs) {
            if ((seconds = TakeRestart(&slot)) != 0)
                TraceLine(traceFd, "event restart: watchdog expired after " + std::to_string(seconds) +
                                       " s without retrigger");
        } else if (seconds != 0 && gone && (seconds = TakeRestart(&slot)) != 0) {
            TraceLine(traceFd, "event restart: watchdog left armed (" + std::to_string(seconds) +
                                   " s) when the program ended");
        }
        if (gone)
            __atomic_store_n(&slot.pid, 0, __ATOMIC_SEQ_CST);
        else
            armed = armed || WatchdogArmed(&slot) != 0;
    }
    return armed;
}

} // namespace

void EndAs(int waitStatus)
{
    if (!WIFSIGNALED(waitStatus))
        exit(WEXITSTATUS(waitStatus));
    int sig = WTERMSIG(waitStatus);
    struct rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore); // the command has dumped its core already, if any
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    _exit(128 + sig);
}

int RunCommand(char** argv, WatchdogTable* table, int traceFd)
{
    sigset_t waited, original;
    sigemptyset(&waited);
    sigaddset(&waited, SIGCHLD);
    for (int sig : kPassedOn)
        sigaddset(&waited, sig);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        sigaddset(&waited, sig);
#endif
    sigprocmask(SIG_BLOCK, &waited, &original);
    struct sigaction onChild = {}, ignore = {}, savedStops[3];
    onChild.sa_handler = OnChild;
    sigaction(SIGCHLD, &onChild, nullptr);
    ignore.sa_handler = SIG_IGN;
    for (int i = 0; i < 3; i++)
        sigaction(kStops[i], &ignore, &savedStops[i]); // vemisim stops when its command does

    pid_t child = fork();
    if (child < 0) {
        fprintf(stderr, "vemisim: cannot start %s: %s\n", argv[0], strerror(errno));
        return 126;
    }
    if (child == 0) {
        for (int i = 0; i < 3; i++)
            sigaction(kStops[i], &savedStops[i], nullptr);
        signal(SIGCHLD, SIG_DFL);
        sigprocmask(SIG_SETMASK, &original, nullptr);
        execvp(argv[0], argv);
        fprintf(stderr, "vemisim: cannot run %s: %s\n", argv[0], strerror(errno));
        _exit(errno == ENOENT ? 127 : 126);
    }

    int status = 0;
    bool stopped = false;
    for (;;) {
        pid_t r = waitpid(child, &status, WNOHANG | WUNTRACED);
        if (r == child && !WIFSTOPPED(status))
            break;
        stopped = stopped || r == child;
        bool armed = KeepWatch(table, traceFd, child, false);
        if (stopped && !armed) {
            kill(getpid(), SIGSTOP); // until the shell continues the job
            kill(child, SIGCONT);
            stopped = false;
        }
        siginfo_t info;
        struct timespec tick = {0, 100 * 1000000};
        int sig = sigtimedwait(&waited, &info, &tick);
        // From another process (kill), not from the terminal, which signals the command itself.
        if (sig > 0 && sig != SIGCHLD && (info.si_code == SI_USER || info.si_code == SI_QUEUE))
            kill(child, sig);
    }
    KeepWatch(table, traceFd, child, true);
    return status;
}
