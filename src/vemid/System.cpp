#include "System.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __FreeBSD__
#include <sys/rtprio.h>
#endif

#include "Log.h"

void LockMemoryAndRaisePriority(void)
{
    if (mlockall(MCL_CURRENT | MCL_FUTURE) != 0)
        Log(kLogNotice, "memory not locked: %s", strerror(errno));
#ifdef __FreeBSD__
    struct rtprio rtp = {RTP_PRIO_REALTIME, 0};
    if (rtprio(RTP_SET, 0, &rtp) != 0)
        Log(kLogNotice, "no real-time priority: %s", strerror(errno));
#else
    if (setpriority(PRIO_PROCESS, 0, -20) != 0)
        Log(kLogNotice, "priority not raised: %s", strerror(errno));
#endif
}

bool Detach(void)
{
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid > 0)
        _exit(0); // the start succeeded: the watchdog is armed and in the child's hands
    setsid();
    if (chdir("/") != 0) { /* stays where it started */ }
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (null > STDERR_FILENO)
            close(null);
    }
    return true;
}
