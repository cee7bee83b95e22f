// vemid: keeps the board's watchdog fed while the system is healthy, and hands
// the board's UPS to NUT, through the driver at /dev/vemix.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "HealthCheck.h"
#include "Keeper.h"
#include "LockFile.h"
#include "Log.h"
#include "Metrics.h"
#include "MonotonicClock.h"
#include "Options.h"
#include "StopSignals.h"
#include "System.h"
#include "UpsFile.h"
#include "VemiReaders.h"
#include "VemiRequest.h"

namespace {

struct Start {
    const VemidOptions* o;
    LockFile pidFile; // the lock on the watchdog, unless -n
    UpsFile ups;
};

// A start that failed: the UPS file claims no state, the pidfile goes. With a stop
// signal behind it, vemid ends by that signal.
int Refused(Start* s, int status)
{
    if (s->o->upsFile != NULL)
        UpsFileStop(&s->ups, "vemid did not start: no UPS state");
    LockFileRelease(&s->pidFile);
    int sig = gStopSignal;
    if (sig != 0) {
        signal(sig, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, sig);
        sigprocmask(SIG_UNBLOCK, &only, NULL);
        raise(sig);
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    VemidOptions o;
    if (int rc = ParseVemidOptions(argc, argv, &o); rc != 0 || o.help)
        return rc;
    LogOpen(o.foreground ? kLogInfo : kLogError); // a start that fails says why where it was started

    Start s = {&o, LockFile(), UpsFile()};
    long holder = 0;
    char why[96];
    LockFileResult taken = LockFileTake(&s.pidFile, o.pidFile, &holder, why, sizeof(why));
    if (taken == kLockHeld)
        Log(kLogError, "%s: pid %ld has the lock on %s", o.neverArm ? "another vemid -n runs" : "the watchdog is held",
            holder, o.pidFile);
    else if (taken == kLockRefused)
        Log(kLogError, "%s: refused: %s", o.pidFile, why);
    if (taken != kLockTaken)
        return taken == kLockHeld ? VEMID_EXIT_RUNNING : VEMID_EXIT_OSERR;
    // Ours now: whatever an earlier run left is replaced by a file that claims no state.
    if (o.upsFile != NULL)
        UpsFileStart(&s.ups, o.upsFile, o.lowBatteryPercent);
    MetricsFile metrics;
    if (o.metricsFile != NULL)
        MetricsFileStart(&metrics, o.metricsFile);
    InstallStopSignals();

    // A check that cannot run would let the machine restart at every boot: refused.
    HealthCheck check;
    if (o.check != NULL) {
        HealthCheckInit(&check, o.check, o.startFolder, o.checkSeconds, o.foreground);
        HealthCheckRunOnce(&check);
        if (gStopSignal != 0)
            return Refused(&s, 0);
        if (HealthCheckCannotRun(&check)) {
            Log(kLogError, "the health check cannot run (%s): not started",
                check.outcome == kCheckNotRun ? strerror(check.detail)
                : check.detail == 127        ? "exit 127: not found"
                                             : "exit 126: not executable");
            return Refused(&s, VEMID_EXIT_CONFIG);
        }
    }
    int device = -1;
    VemiChannel channel = {&device, NULL, NULL};
    int error = VemiChannelOpen(&channel, VEMI_DEVICE_PATH);
    if (error != 0) {
        Log(kLogError, "cannot open %s: %s", VEMI_DEVICE_PATH, strerror(error));
        return Refused(&s, VEMID_EXIT_UNAVAILABLE);
    }
    if (!o.neverArm && (error = ArmWatchdog(&o, &channel)) != 0)
        return Refused(&s, error);
    // NUT's driver finds the board's state once the start returns.
    if (o.upsFile != NULL) {
        VemiMainboardInfo board;
        VemiReadMainboard(&channel, &board);
        UpsFileSetBoard(&s.ups, &board);
        UpsFileRound(&s.ups, &channel, VemiNowMs(), o.upsSeconds * 1000LL);
    }
    // Armed before detaching: a start that fails shows in the start's exit status.
    if (!o.foreground && !Detach())
        Log(kLogError, "cannot detach: %s: running in the foreground", strerror(errno));
    LogOpen(o.foreground ? kLogInfo : kLogNone);
    if (!o.neverArm)
        Log(kLogNotice, "watchdog armed for %d s, fed every %d s", o.watchdogSeconds, o.feedSeconds);
    LockFileName(&s.pidFile);
    StartComplete();
    LockMemoryAndRaisePriority();

    KeeperParts parts = {&channel, o.check != NULL ? &check : NULL, o.upsFile != NULL ? &s.ups : NULL,
                         o.metricsFile != NULL ? &metrics : NULL};
    int status = KeepWatchdog(&o, &parts);
    if (o.upsFile != NULL)
        UpsFileStop(&s.ups, "vemid stopped: no UPS state");
    LockFileRelease(&s.pidFile);
    return status;
}
