#include "StopSignals.h"

#include "ArmedGuard.h"
#include "LockFile.h"

namespace {

const int kIgnored[] = {SIGHUP, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU};
const int kWakers[] = {SIGCHLD};
sigset_t sOpen;
const LockFile* sPidFile; // for the handler

void RemovePidFile(void)
{
    LockFileRemoveAtEnd(sPidFile);
}

} // namespace

void InstallStopSignals(const LockFile* pidFile)
{
    sPidFile = pidFile;
    const GuardPolicy policy = {kIgnored, 5, kWakers, 1, nullptr, RemovePidFile};
    GuardInstall(&policy, false);
    sigset_t held;
    GuardSignalsOfWaits(&held);
    sigprocmask(SIG_BLOCK, &held, &sOpen);
}

const sigset_t* StopSignalsOpen(void)
{
    return &sOpen;
}

int TakeHeldStopSignal(void)
{
    sigset_t held;
    sigprocmask(SIG_SETMASK, &sOpen, &held); // a pending stop is caught here
    sigprocmask(SIG_SETMASK, &held, nullptr);
    return TakeStopSignal();
}

int TakeStopSignal(void)
{
    int sig = GuardEndingSignal();
    GuardForgetSignal();
    return sig;
}
