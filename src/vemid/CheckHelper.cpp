#include "CheckHelper.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __FreeBSD__
#include <sys/rtprio.h>
#else
#include <sched.h>
#endif

#include "HealthCheck.h"
#include "Log.h"
#include "MonotonicClock.h"

namespace {

enum : uint32_t { kRun = 'r', kKill = 'k' };
struct Request {
    uint32_t op;
    uint32_t id;
};
struct Report {
    uint32_t id;
    int32_t outcome;
    int32_t detail;
    int32_t unused;
    int64_t durationMs;
};
static_assert(sizeof(Request) == 8 && sizeof(Report) == 24, "messages a pipe passes whole");

const int kRequestFd = 3, kReportFd = 4; // the helper's ends of its pipes

int sChildEnded[2] = {-1, -1}; // the helper's SIGCHLD, turned into a byte for its poll

void OnChild(int)
{
    int saved = errno;
    if (write(sChildEnded[1], "", 1) < 0) { /* a byte is already waiting */ }
    errno = saved;
}

// Whatever the process that started it ran at, the helper and its checks run at
// normal priority, in no real-time class.
void NormalPriority(void)
{
#ifdef __FreeBSD__
    struct rtprio normal = {RTP_PRIO_NORMAL, 0};
    rtprio(RTP_SET, 0, &normal);
#else
    struct sched_param none = {};
    sched_setscheduler(0, SCHED_OTHER, &none);
#endif
    setpriority(PRIO_PROCESS, 0, 0);
}

void Send(const Report& r)
{
    while (write(kReportFd, &r, sizeof(r)) < 0 && errno == EINTR) {
    }
}

// Every signal at its default and none blocked, whatever vemid had set when it
// started this helper; SIGCHLD wakes its poll.
void PlainSignals(void)
{
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; sig++)
        if (sig != SIGKILL && sig != SIGSTOP)
            sigaction(sig, &dfl, nullptr);
    signal(SIGPIPE, SIG_IGN);
    struct sigaction child = {};
    child.sa_handler = OnChild;
    child.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &child, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

[[noreturn]] void HelperMain(const CheckHelper* h)
{
    setsid(); // no signal of vemid's terminal reaches it
    NormalPriority();
    if (pipe(sChildEnded) != 0)
        _exit(1);
    for (int fd : sChildEnded) {
        fcntl(fd, F_SETFL, O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    PlainSignals();
    // The checks' user, for good: this process runs nothing else. A helper that
    // could not become that user runs no check: each is one that cannot run.
    int userError = 0;
    if (h->user.name != nullptr &&
        (initgroups(h->user.name, (int)h->user.gid) != 0 || setgid(h->user.gid) != 0 || setuid(h->user.uid) != 0))
        userError = errno;
    HealthCheck check;
    HealthCheckInit(&check, h->command, h->folder, h->logOutput);
    uint32_t id = 0;
    int64_t startedMs = 0;
    for (;;) {
        struct pollfd fds[3] = {{kRequestFd, POLLIN, 0}, {sChildEnded[0], POLLIN, 0}, {check.output, POLLIN, 0}};
        if (poll(fds, check.pid != 0 && check.output >= 0 ? 3 : 2, -1) < 0)
            continue;
        char drained[16];
        while (read(sChildEnded[0], drained, sizeof(drained)) > 0) {
        }
        int status;
        if (HealthCheckEnded(&check, &status))
            Send({id, status == 0 ? kCheckPassed : kCheckFailed, status, 0, VemiNowMs() - startedMs});
        else if (check.pid != 0)
            HealthCheckReadOutput(&check);
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        Request r;
        ssize_t n = read(kRequestFd, &r, sizeof(r));
        if (n <= 0 && !(n < 0 && errno == EINTR)) { // vemid has gone
            HealthCheckKill(&check);
            _exit(0);
        }
        if (n != (ssize_t)sizeof(r))
            continue;
        if (r.op == kKill && check.pid != 0 && r.id == id) {
            HealthCheckKill(&check);
            Send({id, kCheckTimedOut, 0, 0, VemiNowMs() - startedMs});
        } else if (r.op == kRun && check.pid == 0) {
            id = r.id;
            startedMs = VemiNowMs();
            int error = userError != 0 ? userError : HealthCheckStart(&check);
            if (error != 0)
                Send({id, kCheckNotRun, error, 0, 0});
        }
    }
}

// The helper's ends of the pipes at fixed numbers, every other descriptor closed:
// it holds neither the device, nor the pidfile's lock, nor vemid's files.
void KeepOnly(int requestEnd, int reportEnd)
{
    int request = fcntl(requestEnd, F_DUPFD, 10), report = fcntl(reportEnd, F_DUPFD, 10);
    dup2(request, kRequestFd);
    dup2(report, kReportFd);
    closefrom(kReportFd + 1);
    fcntl(kRequestFd, F_SETFD, FD_CLOEXEC); // no check holds them
    fcntl(kReportFd, F_SETFD, FD_CLOEXEC);
    LogForked(); // its socket was closed: a new one when it logs
}

} // namespace

void CheckHelperInit(CheckHelper* h, const char* command, const char* folder, bool logOutput,
                     const CheckUser* user)
{
    *h = CheckHelper();
    h->command = command;
    if (user != nullptr)
        h->user = *user;
    h->folder = folder;
    h->logOutput = logOutput;
    h->requests = h->reports = -1;
}

bool CheckHelperStart(CheckHelper* h)
{
    int toHelper[2], fromHelper[2];
    if (pipe(toHelper) != 0)
        return false;
    if (pipe(fromHelper) != 0) {
        close(toHelper[0]);
        close(toHelper[1]);
        return false;
    }
    pid_t pid = fork();
    if (pid == 0) {
        KeepOnly(toHelper[0], fromHelper[1]);
        HelperMain(h);
    }
    close(toHelper[0]);
    close(fromHelper[1]);
    if (pid < 0) {
        int error = errno;
        close(toHelper[1]);
        close(fromHelper[0]);
        errno = error;
        return false;
    }
    const int ours[] = {toHelper[1], fromHelper[0]};
    for (int fd : ours) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    h->pid = pid;
    h->parent = getpid();
    h->requests = toHelper[1];
    h->reports = fromHelper[0];
    return true;
}

bool CheckHelperRun(CheckHelper* h, uint32_t id)
{
    Request r = {kRun, id};
    return h->requests >= 0 && write(h->requests, &r, sizeof(r)) == (ssize_t)sizeof(r);
}

void CheckHelperKill(CheckHelper* h, uint32_t id)
{
    Request r = {kKill, id};
    if (h->requests >= 0 && write(h->requests, &r, sizeof(r)) != (ssize_t)sizeof(r)) {
        /* a helper that does not take it has gone, and its check with it */
    }
}

int CheckHelperTake(CheckHelper* h, CheckReport* out, int max)
{
    if (h->reports < 0)
        return -1;
    int n = 0;
    while (n < max) {
        Report r;
        ssize_t got = read(h->reports, &r, sizeof(r));
        if (got == (ssize_t)sizeof(r)) {
            out[n++] = {r.id, (CheckOutcome)r.outcome, r.detail, r.durationMs};
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return n;
        return n != 0 ? n : -1; // the end of the pipe: the helper has gone
    }
    return n;
}

void CheckHelperEnd(CheckHelper* h)
{
    int* const ours[] = {&h->requests, &h->reports};
    for (int* fd : ours) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    if (h->pid > 0 && h->parent == getpid())
        while (waitpid(h->pid, NULL, 0) < 0 && errno == EINTR) {
        }
    h->pid = 0;
}
