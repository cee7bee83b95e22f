// FreeBSD: procctl(2)'s reaper, which also signals all of its descendants.
#include <signal.h>
#include <sys/procctl.h>
#include <unistd.h>

#include "ProcessTree.h"

bool BecomeReaper(void)
{
    return procctl(P_PID, getpid(), PROC_REAP_ACQUIRE, nullptr) == 0;
}

int SignalDescendants(int sig)
{
    struct procctl_reaper_kill rk = {};
    rk.rk_sig = sig;
    if (procctl(P_PID, getpid(), PROC_REAP_KILL, &rk) != 0)
        return 0;
    return (int)rk.rk_killed;
}
