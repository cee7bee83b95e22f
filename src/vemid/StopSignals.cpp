#include "StopSignals.h"

#include "ArmedGuard.h"

namespace {

const int kIgnored[] = {SIGHUP, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU};
const int kWakers[] = {SIGCHLD};
sigset_t sOpen;

} // namespace

void InstallStopSignals(void)
{
    const GuardPolicy policy = {kIgnored, 5, kWakers, 1, nullptr};
    GuardInstall(&policy, false);
    sigset_t held;
    GuardSignalsOfWaits(&held);
    sigprocmask(SIG_BLOCK, &held, &sOpen);
}

const sigset_t* StopSignalsOpen(void)
{
    return &sOpen;
}

int TakeStopSignal(void)
{
    int sig = GuardEndingSignal();
    GuardForgetSignal();
    return sig;
}
