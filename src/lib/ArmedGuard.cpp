#include "ArmedGuard.h"

#include <signal.h>
#include <unistd.h>

#include "EndingSignals.h"
#include "GuardTimer.h"
#include "SignalWait.h"

namespace {

const int kSlots = 129;            // above every signal number of Linux (64) and FreeBSD (128)
const int kGuardCookie = 0x56454D49; // in the guard timer's signal, to know it for ours

struct sigaction sSaved[kSlots];   // dispositions before GuardInstall
bool sChanged[kSlots];             // signals whose disposition GuardInstall changed
bool sWaker[kSlots];
volatile sig_atomic_t sEndingSignal = 0;
volatile sig_atomic_t sEndAtOnce = 0;
void (*sOnFault)(void) = nullptr;
void (*sOnEnd)(void) = nullptr;
int sTimerSignal = 0;              // the write guard's; 0: writes go unguarded

bool FromGuardTimer(int sig, const siginfo_t* info)
{
    return sig == sTimerSignal && info->si_code == SI_TIMER && info->si_value.sival_int == kGuardCookie;
}

void OnEndingSignal(int sig, siginfo_t* info, void*)
{
    if (FromGuardTimer(sig, info))
        return; // cutting the write short was all it was for
    bool sent = VemiSentByAnother(info);
    bool fault = VemiIsFaultSignal(sig) && !sent;
    // A genuine fault returns to the instruction that raised it: nothing resumes.
    if (fault && sOnFault != nullptr)
        sOnFault();
    if (fault || sEndAtOnce) {
        if (sOnEnd != nullptr)
            sOnEnd();
        EndBySignal(sig); // async-signal-safe: sigaction, sigprocmask, raise
    }
    if (sEndingSignal == 0)
        sEndingSignal = sig;
}

void OnWake(int) {}

bool Ignored(int sig)
{
    struct sigaction now;
    return sigaction(sig, nullptr, &now) == 0 && !(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_IGN;
}

// Installs `action` for `sig`, keeping what was there; a signal the caller had
// ignored stays ignored.
void Hold(int sig, const struct sigaction& action)
{
    if (sig <= 0 || sig >= kSlots || sChanged[sig] || sigaction(sig, nullptr, &sSaved[sig]) != 0)
        return;
    if (Ignored(sig) && action.sa_handler != SIG_IGN)
        return;
    sChanged[sig] = sigaction(sig, &action, nullptr) == 0;
}

// The first real-time signal the caller does not ignore.
int TimerSignal(void)
{
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        if (!Ignored(sig))
            return sig;
#endif
    return 0;
}

} // namespace

void GuardInstall(const GuardPolicy* p, bool endAtOnce)
{
    sEndingSignal = 0;
    sEndAtOnce = endAtOnce;
    sOnFault = p->onFault;
    sOnEnd = p->onEnd;
    sTimerSignal = TimerSignal();
    struct sigaction catchIt = {};
    catchIt.sa_sigaction = OnEndingSignal;
    sigfillset(&catchIt.sa_mask); // one handler at a time
    catchIt.sa_flags = SA_SIGINFO | SA_RESTART; // requests complete; sleeps and polls end early
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    for (int i = 0; i < p->ignoredCount; i++)
        Hold(p->ignored[i], ignore);
    struct sigaction wake = {};
    wake.sa_handler = OnWake;
    wake.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    for (int i = 0; i < p->wakerCount; i++) {
        Hold(p->wakers[i], wake);
        sWaker[p->wakers[i]] = true;
    }
    struct sigaction cont = {};
    cont.sa_handler = VemiWakeOnContinue; // a stopped program reads the clock as it continues
    cont.sa_flags = SA_RESTART;
    Hold(SIGCONT, cont);
    for (int sig : kVemiEndingSignals)
        Hold(sig, catchIt);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        if (sig != sTimerSignal)
            Hold(sig, catchIt);
#endif
    if (sTimerSignal != 0) {
        catchIt.sa_flags = SA_SIGINFO; // interrupts the write it guards
        Hold(sTimerSignal, catchIt);
        if (!sChanged[sTimerSignal] || !GuardTimerCreate(sTimerSignal, kGuardCookie))
            sTimerSignal = 0;
    }
}

void GuardArming(void)
{
    sEndAtOnce = 0;
}

int GuardEndingSignal(void)
{
    return sEndingSignal;
}

void GuardForgetSignal(void)
{
    sEndingSignal = 0;
}

void GuardSignalsOfWaits(sigset_t* set)
{
    sigemptyset(set);
    for (int sig = 1; sig < kSlots; sig++) {
        struct sigaction now;
        if (!sChanged[sig] || VemiIsFaultSignal(sig) || sig == sTimerSignal || sigaction(sig, nullptr, &now) != 0)
            continue;
        bool ending = (now.sa_flags & SA_SIGINFO) && now.sa_sigaction == OnEndingSignal;
        if (ending || (sWaker[sig] && now.sa_handler == OnWake))
            sigaddset(set, sig);
    }
}

void GuardRelease(bool keepPipeIgnored)
{
    if (sTimerSignal != 0) {
        GuardWriteEnd();
        GuardTimerDelete();
    }
    sTimerSignal = 0;
    sEndAtOnce = 0;
    for (int sig = 1; sig < kSlots; sig++) {
        if (!sChanged[sig] || (sig == SIGPIPE && keepPipeIgnored))
            continue;
        sigaction(sig, &sSaved[sig], nullptr);
        sChanged[sig] = sWaker[sig] = false;
    }
}

bool GuardWriteBegin(void)
{
    return sTimerSignal == 0 || GuardTimerSet(50);
}

void GuardWriteEnd(void)
{
    if (sTimerSignal != 0 && !GuardTimerSet(0)) {
        // A timer that would not stop cuts a later write short: once, harmlessly.
    }
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
