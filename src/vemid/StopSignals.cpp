#include "StopSignals.h"

#include <sys/time.h>
#include <unistd.h>

#include "EndingSignals.h"
#include "SignalWait.h"

volatile sig_atomic_t gStopSignal = 0;

namespace {

sigset_t sOpen;
bool sInstalled = false; // before, nothing is armed and a write may wait

// Only wakes the wait: the check that ended is reaped in the loop.
void OnChild(int) {}

void OnStop(int sig, siginfo_t* info, void*)
{
    if (VemiIsFaultSignal(sig) && !VemiSentByAnother(info)) {
        signal(sig, SIG_DFL); // returning would fault again: end here, and let the watchdog act
        raise(sig);
        return;
    }
    if (gStopSignal == 0)
        gStopSignal = sig;
}

// SIGALRM is a stop when another process sends it; from vemid's own timer it only
// interrupts the write the timer guards, so it is caught without SA_RESTART.
void OnAlarm(int sig, siginfo_t* info, void* context)
{
    if (VemiSentByAnother(info))
        OnStop(sig, info, context);
}

} // namespace

void InstallStopSignals(void)
{
    struct sigaction stop = {};
    stop.sa_sigaction = OnStop;
    stop.sa_flags = SA_SIGINFO | SA_RESTART;
    sigfillset(&stop.sa_mask);
    sigset_t held;
    sigemptyset(&held);
    for (int sig : kVemiEndingSignals) {
        if (sig == SIGHUP || sig == SIGALRM)
            continue; // ignored, and the write guard's, below
        sigaction(sig, &stop, nullptr);
        if (!VemiIsFaultSignal(sig))
            sigaddset(&held, sig);
    }
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++) {
        sigaction(sig, &stop, nullptr);
        sigaddset(&held, sig);
    }
#endif
    struct sigaction alarm = {};
    alarm.sa_sigaction = OnAlarm;
    alarm.sa_flags = SA_SIGINFO;
    sigfillset(&alarm.sa_mask);
    sigaction(SIGALRM, &alarm, nullptr);
    struct sigaction child = {};
    child.sa_handler = OnChild;
    child.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigaction(SIGCHLD, &child, nullptr);
    sigaddset(&held, SIGCHLD);
    struct sigaction wake = {};
    wake.sa_handler = VemiWakeOnContinue; // a stopped vemid reads the clock as it continues
    wake.sa_flags = SA_RESTART;
    sigaction(SIGCONT, &wake, nullptr);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    const int ignored[] = {SIGHUP, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU};
    for (int sig : ignored)
        sigaction(sig, &ignore, nullptr);
    sigprocmask(SIG_BLOCK, &held, &sOpen);
    sInstalled = true;
}

const sigset_t* StopSignalsOpen(void)
{
    return &sOpen;
}

void GuardWrite(bool on)
{
    if (!sInstalled)
        return;
    struct itimerval timer = {{0, 0}, {0, on ? 50000 : 0}};
    setitimer(ITIMER_REAL, &timer, nullptr);
}
