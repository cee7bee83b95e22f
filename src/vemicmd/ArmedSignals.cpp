#include "ArmedSignals.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "EndingSignals.h"
#include "RunState.h"
#include "GuardTimer.h"
#include "SignalWait.h"

namespace {

const int kStopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE};

const int kSlots = 129; // above every signal number of Linux (64) and FreeBSD (128)
struct sigaction sSaved[kSlots]; // dispositions before GuardArmedState
bool sHeld[kSlots];              // signals whose disposition was changed
volatile sig_atomic_t sEndingSignal = 0;
volatile sig_atomic_t sBeforeArm = 0; // nothing armed yet: a signal ends the process at once
const int kGuardCookie = 0x56454D49;  // in the guard timer's signal, to know it for ours
bool sGuarding = false;
void (*sOnFault)(void) = nullptr;

int GuardSignal(void)
{
#ifdef SIGRTMIN
    return SIGRTMIN;
#else
    return SIGUSR2;
#endif
}

bool FromGuardTimer(int sig, const siginfo_t* info)
{
    return sig == GuardSignal() && info->si_code == SI_TIMER && info->si_value.sival_int == kGuardCookie;
}

void OnEndingSignal(int sig, siginfo_t* info, void*)
{
    if (FromGuardTimer(sig, info))
        return; // cutting the write short was all it was for
    bool sent = VemiSentByAnother(info);
    if (sBeforeArm && (!VemiIsFaultSignal(sig) || sent))
        EndBySignal(sig); // async-signal-safe: sigaction, sigprocmask, raise
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
    if (action.sa_sigaction == OnEndingSignal && ignored && sig != GuardSignal())
        return; // a signal that our parent had us ignore stays ignored
    sHeld[sig] = sigaction(sig, &action, nullptr) == 0;
}

} // namespace

void GuardArmedState(void (*onFault)(void))
{
    sEndingSignal = 0;
    sBeforeArm = 1;
    sOnFault = onFault;
    struct sigaction catchIt = {};
    catchIt.sa_sigaction = OnEndingSignal;
    sigfillset(&catchIt.sa_mask); // one handler at a time
    catchIt.sa_flags = SA_SIGINFO | SA_RESTART; // requests complete; sleeps and polls end early
    for (int sig : kVemiEndingSignals)
        Hold(sig, catchIt);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN + 1; sig <= SIGRTMAX; sig++)
        Hold(sig, catchIt);
#endif
    catchIt.sa_flags = SA_SIGINFO; // interrupts the write it guards
    Hold(GuardSignal(), catchIt);
    sGuarding = sHeld[GuardSignal()] && GuardTimerCreate(GuardSignal(), kGuardCookie);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    for (int sig : kStopSignals)
        Hold(sig, ignore);
    struct sigaction wake = {};
    wake.sa_handler = VemiWakeOnContinue; // a stopped test reads the clock as it continues
    wake.sa_flags = SA_RESTART;
    Hold(SIGCONT, wake);
}

void ArmingNow(void)
{
    sBeforeArm = 0;
}

int ArmedEndingSignal(void)
{
    return sEndingSignal;
}

void ArmedSignalsOfWaits(sigset_t* set)
{
    sigemptyset(set);
    for (int sig = 1; sig < kSlots; sig++) {
        struct sigaction now;
        if (sHeld[sig] && !VemiIsFaultSignal(sig) && sig != GuardSignal() && sigaction(sig, nullptr, &now) == 0 &&
            (now.sa_flags & SA_SIGINFO) && now.sa_sigaction == OnEndingSignal)
            sigaddset(set, sig);
    }
}

void ReleaseArmedState(void)
{
    DisarmWriteGuard();
    if (sGuarding)
        GuardTimerDelete();
    sGuarding = false;
    sBeforeArm = 0;
    bool outputFailed = ferror(StreamOut(&gRun.streams)) || gRun.streams.outputErrno != 0;
    for (int sig = 1; sig < kSlots; sig++) {
        if (!sHeld[sig] || (sig == SIGPIPE && outputFailed))
            continue;
        sigaction(sig, &sSaved[sig], nullptr);
        sHeld[sig] = false;
    }
}

void ArmWriteGuard(void)
{
    if (sGuarding)
        GuardTimerSet(50);
}

void DisarmWriteGuard(void)
{
    if (sGuarding)
        GuardTimerSet(0);
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
