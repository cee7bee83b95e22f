#include "RunCommand.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "ArmedGuard.h"
#include "EndingSignals.h"
#include "ProcessTree.h"

namespace {

const int kStops[] = {SIGTSTP, SIGTTIN, SIGTTOU};
const int64_t kTraceDrainMs = 2000; // at the end, what waits for the trace file is dropped after this

void OnChild(int) {} // caught, not ignored, so that a blocked SIGCHLD stays pending

// vemisim's own lines go where the programs' go, in order with them, with the
// board's clock where theirs have it.
void TraceLine(SharedBoard* board, int fd, const std::string& line)
{
    if (fd < 0)
        return;
    const char* times = getenv("VEMISIM_TRACE_TIMES");
    std::string timed = line;
    if (board != nullptr && times != nullptr && strcmp(times, "1") == 0) {
        int64_t us = BoardClockUs(board);
        timed = std::to_string(us / 1000) + "." + std::to_string(1000 + us % 1000).substr(1) + " " + line;
    }
    if (board != nullptr) {
        TraceAppend(board, timed);
        return;
    }
    std::string text = line + "\n";
    if (write(fd, text.data(), text.size()) < 0) { /* tracing must not change the run */ }
}

// Reaps what ended; true while any process under vemisim runs (orphans become its
// children, so that a daemon that detached is still one of them).
bool DescendantsRemain(void)
{
    for (;;) {
        pid_t pid = waitpid(-1, nullptr, WNOHANG);
        if (pid > 0)
            continue;
        return !(pid < 0 && errno == ECHILD);
    }
}

// What waits for the trace file goes out, for a bounded time at most.
void FlushTrace(SharedBoard* board, int fd)
{
    if (board == nullptr || fd < 0)
        return;
    for (int64_t until = MonotonicMs() + kTraceDrainMs; !TraceDrain(board, fd) && MonotonicMs() < until;) {
        struct pollfd out = {fd, POLLOUT, 0};
        poll(&out, 1, 50);
    }
}

// Records a restart that no program can record any more: the watchdog expired
// while every program slept or was stopped, or no program is left to disarm it.
// True once the board has restarted, whoever recorded it.
bool WatchBoard(SharedBoard* board, int traceFd, bool allEnded)
{
    if (board == nullptr)
        return false;
    LockBoard(board); // a retrigger counts when it arrives, under the board's lock
    int64_t deadline = WatchdogDeadlineMs(board);
    uint32_t seconds = __atomic_load_n(&board->wdt.armedSeconds, __ATOMIC_ACQUIRE);
    bool expired = deadline >= 0 && BoardClockMs(board) > deadline;
    UnlockBoard(board);
    if (expired && TakeRestart(board))
        TraceLine(board, traceFd, "event restart: watchdog expired after " + std::to_string(seconds) +
                                      " s without retrigger");
    else if (deadline >= 0 && allEnded && TakeRestart(board))
        TraceLine(board, traceFd, "event restart: watchdog left armed (" + std::to_string(seconds) +
                                      " s) when the program ended");
    return __atomic_load_n(&board->restarted, __ATOMIC_ACQUIRE) != 0;
}

// Ends every process under vemisim, as power going away would, and waits for them.
void EndEverything(void)
{
    for (int round = 0; round < 100 && SignalDescendants(SIGKILL) > 0; round++) {
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        usleep(10000);
    }
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

// What the helper and vemisim tell each other, a byte and a number at a time.
struct Message {
    char kind;  // helper: 'P' the command's pid, 'S' stopped, 'C' continued, 'X' ended
                // (wait status); vemisim: 'S' stopping, 'R' running again
    int value;
};

void Send(int fd, char kind, int value = 0)
{
    Message m = {kind, value};
    if (write(fd, &m, sizeof(m)) != (ssize_t)sizeof(m)) { /* the other side has gone */ }
}

bool Receive(int fd, Message* m)
{
    return read(fd, m, sizeof(*m)) == (ssize_t)sizeof(*m);
}

// The command's parent: a process that never stops, so that it sees the command
// stop and go on and can continue vemisim, which stops with its command for the
// shell's sake and can do nothing while stopped. It takes no signal but SIGKILL.
[[noreturn]] void Helper(char** argv, const sigset_t& original, const struct sigaction* savedStops, int toVemisim,
                         int fromVemisim, pid_t vemisim, const char* run)
{
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    pid_t command = fork();
    if (command == 0) {
        for (int i = 0; i < 3; i++)
            sigaction(kStops[i], &savedStops[i], nullptr);
        signal(SIGCHLD, SIG_DFL);
        sigprocmask(SIG_SETMASK, &original, nullptr);
        close(toVemisim);
        close(fromVemisim);
        execvp(argv[0], argv);
        fprintf(stderr, "vemisim: cannot run %s: %s\n", argv[0], strerror(errno));
        _exit(errno == ENOENT ? 127 : 126);
    }
    if (command < 0) {
        fprintf(stderr, "vemisim: cannot start %s: %s\n", argv[0], strerror(errno));
        Send(toVemisim, 'X', 126 << 8);
        _exit(0);
    }
    Send(toVemisim, 'P', command);
    fcntl(fromVemisim, F_SETFL, O_NONBLOCK); // this process's own end of its own pipe
    bool stopped = false, ended = false, vemisimStopping = false;
    while (getppid() == vemisim && (!ended || vemisimStopping)) {
        int status;
        if (!ended && waitpid(command, &status, WNOHANG | WUNTRACED | WCONTINUED) == command) {
            stopped = WIFSTOPPED(status);
            ended = !stopped && !WIFCONTINUED(status);
            Send(toVemisim, ended ? 'X' : stopped ? 'S' : 'C', status);
        }
        for (Message m; Receive(fromVemisim, &m);)
            vemisimStopping = m.kind == 'S';
        if (vemisimStopping && !stopped)
            kill(vemisim, SIGCONT); // again until vemisim says it runs: it may not have stopped yet
        struct pollfd wait = {fromVemisim, POLLIN, 0};
        poll(&wait, 1, 20);
    }
    // vemisim was killed: its run's folder goes all the same. The processes still
    // running keep their descriptors of the board.
    if (getppid() != vemisim) {
        std::error_code ec;
        std::filesystem::remove_all(run, ec);
    }
    _exit(0);
}

} // namespace

void EndAs(int waitStatus)
{
    if (!WIFSIGNALED(waitStatus))
        exit(WEXITSTATUS(waitStatus));
    struct rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore); // the command has dumped its core already, if any
    EndBySignal(WTERMSIG(waitStatus));
}

RunOutcome RunCommand(char** argv, SharedBoard* board, int traceFd, const char* run)
{
    BecomeReaper();
    if (board != nullptr && traceFd >= 0) {
        struct stat st;
        board->trace.writer = (int32_t)getpid();
        board->trace.takesAll = fstat(traceFd, &st) == 0 && S_ISREG(st.st_mode);
    }
    sigset_t waited, original;
    sigemptyset(&waited);
    sigaddset(&waited, SIGCHLD);
    sigaddset(&waited, TRACE_WAKE_SIGNAL);
    for (int sig : kVemiEndingSignals)
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

    RunOutcome outcome = {0, false};
    int toVemisim[2], toHelper[2];
    if (pipe(toVemisim) != 0 || pipe(toHelper) != 0) {
        fprintf(stderr, "vemisim: cannot start %s: %s\n", argv[0], strerror(errno));
        outcome.waitStatus = 126 << 8;
        return outcome;
    }
    pid_t vemisim = getpid(), helper = fork();
    if (helper == 0) {
        close(toVemisim[0]);
        close(toHelper[1]);
        Helper(argv, original, savedStops, toVemisim[1], toHelper[0], vemisim, run);
    }
    close(toVemisim[1]);
    close(toHelper[0]);
    fcntl(toVemisim[0], F_SETFL, O_NONBLOCK); // vemisim's own end of its own pipe
    if (helper < 0) {
        fprintf(stderr, "vemisim: cannot start %s: %s\n", argv[0], strerror(errno));
        outcome.waitStatus = 126 << 8;
        return outcome;
    }

    pid_t command = 0;
    bool ended = false, stopped = false;
    for (;;) {
        for (Message m; Receive(toVemisim[0], &m);) {
            if (m.kind == 'P')
                command = m.value;
            stopped = m.kind == 'S';
            if (m.kind == 'X')
                ended = true, outcome.waitStatus = m.value;
        }
        // The helper, and the orphans of the command's processes, which come to vemisim.
        bool remain = DescendantsRemain();
        if (WatchBoard(board, traceFd, ended && !remain)) {
            EndEverything();
            FlushTrace(board, traceFd);
            outcome.restarted = true;
            return outcome;
        }
        if (board != nullptr && traceFd >= 0)
            TraceDrain(board, traceFd);
        if (ended && !remain) {
            FlushTrace(board, traceFd);
            return outcome;
        }
        if (stopped && !ended && (board == nullptr || WatchdogDeadlineMs(board) < 0)) {
            Send(toHelper[1], 'S');
            kill(vemisim, SIGSTOP); // until the shell, or the helper, continues it
            Send(toHelper[1], 'R');
            kill(command, SIGCONT);
            stopped = false;
        }
        siginfo_t info;
        struct timespec tick = {0, 50 * 1000000};
        int sig = sigtimedwait(&waited, &info, &tick);
        // From another process (kill), not from the terminal, which signals the
        // command itself; but a hangup comes to the session leader alone.
        bool sent = (info.si_code == SI_USER || info.si_code == SI_QUEUE) && info.si_pid != vemisim;
        if (sig > 0 && sig != SIGCHLD && sig != TRACE_WAKE_SIGNAL && (sent || sig == SIGHUP))
            SignalDescendants(sig);
    }
}
