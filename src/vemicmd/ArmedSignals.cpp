#include "ArmedSignals.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/time.h>
#include <unistd.h>

#include "EndingSignals.h"
#include "ExitStatus.h"

namespace {

const int kStopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE};

const int kSlots = 129; // above every signal number of Linux (64) and FreeBSD (128)
struct sigaction sSaved[kSlots]; // dispositions before GuardArmedState
bool sHeld[kSlots];              // signals whose disposition was changed
volatile sig_atomic_t sEndingSignal = 0;
bool sAlarmIgnored = false;      // our parent had us ignore SIGALRM; the guard needs it caught
bool sGuarding = false;
void (*sOnFault)(void) = nullptr;

void OnEndingSignal(int sig, siginfo_t* info, void*)
{
    bool sent = VemiSentByAnother(info);
    if (sig == SIGALRM && (!sent || sAlarmIgnored))
        return; // the write guard's timer: cutting the write short was all it was for
    if (!VemiIsFaultSignal(sig) || sent) {
        if (sEndingSignal == 0)
            sEndingSignal = sig;
        return;
    }
    // A genuine fault returns to the instruction that raised it: the test never resumes.
    sOnFault();
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigaction(sig, &dfl, nullptr);
    raise(sig); // pending until the handler returns; a genuine fault recurs anyway
}

void Hold(int sig, const struct sigaction& action)
{
    if (sig <= 0 || sig >= kSlots || sigaction(sig, nullptr, &sSaved[sig]) != 0)
        return;
    bool ignored = sSaved[sig].sa_handler == SIG_IGN;
    if (sig == SIGALRM)
        sAlarmIgnored = ignored;
    else if (action.sa_sigaction == OnEndingSignal && ignored)
        return; // a signal that our parent had us ignore stays ignored
    sHeld[sig] = sigaction(sig, &action, nullptr) == 0;
}

} // namespace

void GuardArmedState(void (*onFault)(void))
{
    sEndingSignal = 0;
    sOnFault = onFault;
    struct sigaction catchIt = {};
    catchIt.sa_sigaction = OnEndingSignal;
    sigfillset(&catchIt.sa_mask); // one handler at a time
    catchIt.sa_flags = SA_SIGINFO | SA_RESTART; // requests complete; sleeps and polls end early
    for (int sig : kVemiEndingSignals)
        if (sig != SIGALRM)
            Hold(sig, catchIt);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        Hold(sig, catchIt);
#endif
    catchIt.sa_flags = SA_SIGINFO; // interrupts the write it guards
    Hold(SIGALRM, catchIt);
    sGuarding = sHeld[SIGALRM];
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    for (int sig : kStopSignals)
        Hold(sig, ignore);
}

int ArmedEndingSignal(void)
{
    return sEndingSignal;
}

void ReleaseArmedState(void)
{
    DisarmWriteGuard();
    sGuarding = false;
    bool outputFailed = ferror(stdout) || gOutputErrno != 0;
    for (int sig = 1; sig < kSlots; sig++) {
        if (!sHeld[sig] || (sig == SIGPIPE && outputFailed))
            continue;
        sigaction(sig, &sSaved[sig], nullptr);
        sHeld[sig] = false;
    }
}

void ArmWriteGuard(void)
{
    struct itimerval once = {{0, 0}, {0, 50000}};
    if (sGuarding)
        setitimer(ITIMER_REAL, &once, nullptr);
}

void DisarmWriteGuard(void)
{
    struct itimerval off = {};
    if (sGuarding)
        setitimer(ITIMER_REAL, &off, nullptr);
}

void EndBySignal(int sig)
{
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigaction(sig, &dfl, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    _exit(128 + sig); // a signal that does not end the process after all
}
