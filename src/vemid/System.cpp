#include "System.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __FreeBSD__
#include <sys/rtprio.h>
#else
#include <sched.h>
#endif

#include "Log.h"
#include "VemidOptions.h"

#ifndef __FreeBSD__
namespace {

// Linux: the lowest real-time priority, above every process of the normal class,
// where the system permits it. A process of that class that never blocks holds its
// CPU: the kernel kills one that runs this long without a blocking call, and the
// watchdog then does what it is for. Its children (the check helper started anew)
// start in the normal class.
const rlim_t kRealTimeLimitUs = 5000000;

bool RealTimePriority(void)
{
    struct rlimit limit = {kRealTimeLimitUs, kRealTimeLimitUs};
    struct sched_param param = {};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    if (setrlimit(RLIMIT_RTTIME, &limit) != 0 || sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) != 0) {
        Log(kLogNotice, "no real-time priority: %s", strerror(errno));
        return false;
    }
    return true;
}

} // namespace
#endif

void LockMemoryAndRaisePriority(void)
{
    if (mlockall(MCL_CURRENT | MCL_FUTURE) != 0)
        Log(kLogNotice, "memory not locked: %s", strerror(errno));
#ifdef __FreeBSD__
    struct rtprio rtp = {RTP_PRIO_REALTIME, 0};
    if (rtprio(RTP_SET, 0, &rtp) != 0)
        Log(kLogNotice, "no real-time priority: %s", strerror(errno));
#else
    if (!RealTimePriority() && setpriority(PRIO_PROCESS, 0, -20) != 0)
        Log(kLogNotice, "priority not raised: %s", strerror(errno));
#endif
}

namespace {
int sStarter = -1; // the pipe to the starting process, while it waits
}

bool Detach(void)
{
    // Opened before the fork: without /dev/null, vemid stays in the foreground.
    int null = open("/dev/null", O_RDWR);
    if (null < 0)
        return false;
    int ready[2];
    if (pipe(ready) != 0) {
        close(null);
        return false;
    }
    fcntl(ready[1], F_SETFD, FD_CLOEXEC); // a health check must not hold the start up
    pid_t pid = fork();
    if (pid < 0) {
        close(ready[0]);
        close(ready[1]);
        close(null);
        return false;
    }
    if (pid > 0) {
        close(ready[1]);
        char byte;
        ssize_t n;
        while ((n = read(ready[0], &byte, 1)) < 0 && errno == EINTR) {
        }
        _exit(n == 1 ? 0 : VEMID_EXIT_OSERR);
    }
    close(ready[0]);
    sStarter = ready[1];
    setsid();
    if (chdir("/") != 0) { /* stays where it started */ }
    // dup2 onto the standard descriptors of an open /dev/null does not fail; and
    // a daemon writes only to syslog, so nothing could block on the terminal.
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    if (null > STDERR_FILENO)
        close(null);
    return true;
}

void StartComplete(void)
{
    if (sStarter < 0)
        return;
    if (write(sStarter, "", 1) != 1) { /* the starting process has gone: nothing waits */ }
    close(sStarter);
    sStarter = -1;
}
