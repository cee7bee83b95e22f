#include "ArmedSignals.h"

#include <signal.h>
#include <stdio.h>

#include "ExitStatus.h"

namespace {

// Every signal whose default action ends the process, on Linux and on FreeBSD,
// besides the real-time signals, which are added at run time.
const int kEndingSignals[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF,
    SIGXCPU, SIGXFSZ,
#ifdef __linux__
    SIGIO, SIGPWR, SIGSTKFLT, // on FreeBSD, SIGIO is ignored by default
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
    SIGILL, SIGTRAP, SIGABRT, SIGFPE, SIGBUS, SIGSEGV, SIGSYS,
};
const int kStopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE};

const int kSlots = 129; // above every signal number of Linux (64) and FreeBSD (128)
struct sigaction sSaved[kSlots]; // dispositions before GuardArmedState
bool sHeld[kSlots];              // signals whose disposition was changed
volatile sig_atomic_t sEndingSignal = 0;
void (*sDisarmNow)(void) = nullptr;

bool IsFault(int sig)
{
    return sig == SIGILL || sig == SIGTRAP || sig == SIGABRT || sig == SIGFPE || sig == SIGBUS ||
           sig == SIGSEGV || sig == SIGSYS;
}

void OnEndingSignal(int sig)
{
    if (!IsFault(sig)) {
        sEndingSignal = sig;
        return;
    }
    // A fault returns to the instruction that raised it, so the test never resumes.
    sDisarmNow();
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
    if (action.sa_handler == OnEndingSignal && ignored)
        return; // a signal that our parent had us ignore stays ignored
    sHeld[sig] = sigaction(sig, &action, nullptr) == 0;
}

} // namespace

void GuardArmedState(void (*disarmNow)(void))
{
    sEndingSignal = 0;
    sDisarmNow = disarmNow;
    struct sigaction catchIt = {};
    catchIt.sa_handler = OnEndingSignal;
    sigfillset(&catchIt.sa_mask); // one handler at a time
    catchIt.sa_flags = SA_RESTART; // requests complete; sleeps and key waits end early
    for (int sig : kEndingSignals)
        Hold(sig, catchIt);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        Hold(sig, catchIt);
#endif
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
    bool outputFailed = ferror(stdout) || gOutputErrno != 0;
    for (int sig = 1; sig < kSlots; sig++) {
        if (!sHeld[sig] || (sig == SIGPIPE && outputFailed))
            continue;
        sigaction(sig, &sSaved[sig], nullptr);
        sHeld[sig] = false;
    }
}

void EndBySignal(int sig)
{
    FlushOutput();
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigaction(sig, &dfl, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}
