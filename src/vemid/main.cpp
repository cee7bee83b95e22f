// vemid: keeps the board's watchdog fed while the system is healthy, and hands
// the board's UPS to NUT, through the driver at /dev/vemix.
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "ArmedGuard.h"
#include "CheckHelper.h"
#include "Keeper.h"
#include "LockFile.h"
#include "Log.h"
#include "Metrics.h"
#include "MonotonicClock.h"
#include "VemidOptions.h"
#include "RealWorld.h"
#include "StopSignals.h"
#include "System.h"
#include "UpsFile.h"
#include "UpsWatch.h"
#include "VemiReaders.h"
#include "VemiRequest.h"

namespace {

struct Start {
    const VemidOptions* o;
    LockFile pidFile; // the lock on the watchdog, unless -n
    UpsWatch ups;
    UpsFile upsFile;
    NutServer nut;
    CheckHelper helper;
};

// A start that failed: NUT is told there is no state, the pidfile goes. With a
// stop signal behind it, vemid ends by that signal.
int Refused(Start* s, int status, int stopSignal)
{
    UpsWatchNoState(&s->ups, "vemid did not start: no UPS state", VemiNowMs());
    NutServerStop(&s->nut);
    CheckHelperEnd(&s->helper);
    LockFileRelease(&s->pidFile);
    if (stopSignal != 0)
        EndBySignal(stopSignal);
    return status;
}

const char* CannotRun(const CheckReport* check)
{
    if (check->outcome == kCheckNotRun)
        return strerror(check->detail);
    if (check->outcome == kCheckFailed && check->detail == 127)
        return "exit 127: not found";
    if (check->outcome == kCheckFailed && check->detail == 126)
        return "exit 126: not executable";
    return NULL;
}

} // namespace

int main(int argc, char** argv)
{
    VemidOptions o;
    if (int rc = ParseVemidOptions(argc, argv, &o); rc != 0 || o.help)
        return rc;
    LogOpen(o.foreground ? kLogInfo : kLogError); // a start that fails says why where it was started

    Start s = {&o, LockFile(), UpsWatch(), UpsFile(), NutServer(), CheckHelper()};
    NutServerInit(&s.nut);
    // Before the pidfile is taken: a stop during the start is vemid's to see to,
    // the pidfile's removal with it.
    InstallStopSignals(&s.pidFile);
    long holder = 0;
    char why[PATH_MAX + 96];
    LockFileResult taken = LockFileTake(&s.pidFile, o.pidFile, &holder, why, sizeof(why));
    char holderName[32] = "another process";
    if (holder != 0)
        snprintf(holderName, sizeof(holderName), "pid %ld", holder);
    if (taken == kLockHeld)
        Log(kLogError, "%s: %s has the lock on %s", o.neverArm ? "another vemid -n runs" : "the watchdog is held",
            holderName, o.pidFile);
    else if (taken == kLockRefused)
        Log(kLogError, "%s: refused: %s", o.pidFile, why);
    if (taken != kLockTaken)
        return taken == kLockHeld ? VEMID_EXIT_RUNNING : VEMID_EXIT_OSERR;
    // Ours now: whatever an earlier run left is replaced by a file that claims no state.
    UpsWatchInit(&s.ups, o.lowBatteryPercent, o.upsSeconds, VemiNowMs());
    if (o.upsFile != NULL) {
        UpsFileStart(&s.upsFile, o.upsFile, &s.ups.state);
        UpsWatchAddSink(&s.ups, UpsFileSink(&s.upsFile));
    }
    if (o.upsName != NULL) {
        NutServerStart(&s.nut, o.nutFolder, o.upsName, (gid_t)o.nutGroup, &s.ups.state);
        UpsWatchAddSink(&s.ups, NutServerSink(&s.nut));
    }
    bool ups = o.upsFile != NULL || o.upsName != NULL;
    MetricsFile metrics;
    if (o.metricsFile != NULL)
        MetricsFileStart(&metrics, o.metricsFile, VemiNowMs());
    // The checks' helper, before vemid raises its priority and locks its memory.
    CheckUser user = {o.checkUser, (uid_t)o.checkUid, (gid_t)o.checkGid};
    CheckHelperInit(&s.helper, o.check, o.startFolder, o.foreground, o.checkUser != NULL ? &user : NULL);
    if (o.check != NULL && !CheckHelperStart(&s.helper))
        Log(kLogError, "the health check's helper cannot start: %s", strerror(errno));

    VemiChannel channel = VemiChannelOn(&kVemiIoctlTransport);
    RealWorldParts worldParts = {o.check != NULL ? &s.helper : NULL, o.upsName != NULL ? &s.nut : NULL};
    KeeperWorld world = RealWorld(&worldParts);
    KeeperParts parts = {&channel, ups ? &s.ups : NULL, o.metricsFile != NULL ? &metrics : NULL};
    Keeper keeper;
    KeeperInit(&keeper, &o, &world, &parts);
    // A check that cannot run would let the machine restart at every boot: refused.
    if (o.check != NULL) {
        KeeperFirstCheck(&keeper);
        if (keeper.stopSignal != 0)
            return Refused(&s, 0, keeper.stopSignal);
        if (const char* cannot = CannotRun(&keeper.latest)) {
            Log(kLogError, "the health check cannot run (%s): not started", cannot);
            return Refused(&s, VEMID_EXIT_CONFIG, 0);
        }
    }
    // A stop that came during the start: nothing was armed, vemid ends by it.
    if (int sig = keeper.stopSignal != 0 ? keeper.stopSignal : TakeHeldStopSignal())
        return Refused(&s, 0, sig);
    int error = VemiChannelOpen(&channel, VEMI_DEVICE_PATH);
    if (error != 0) {
        Log(kLogError, "cannot open %s: %s", VEMI_DEVICE_PATH, strerror(error));
        return Refused(&s, VEMID_EXIT_UNAVAILABLE, 0);
    }
    if (!o.neverArm && (error = KeeperArm(&keeper)) != 0)
        return Refused(&s, error, keeper.stopSignal);
    // NUT finds the board's state once the start returns.
    if (ups) {
        VemiMainboardInfo board;
        VemiReadMainboard(&channel, &board);
        UpsWatchSetBoard(&s.ups, &board);
        UpsWatchRound(&s.ups, &channel, VemiNowMs());
    }
    // Armed before detaching: a start that fails shows in the start's exit status.
    if (!o.foreground && !Detach())
        Log(kLogError, "cannot detach: %s: running in the foreground", strerror(errno));
    LogOpen(o.foreground ? kLogInfo : kLogNone);
    if (!o.neverArm)
        Log(kLogNotice, "watchdog armed for %d s, fed every %d s", o.watchdogSeconds, o.feedSeconds);
    if (!LockFileName(&s.pidFile))
        Log(kLogWarning, "%s: the pid cannot be written (%s): the lock holds, unnamed", o.pidFile, strerror(errno));
    StartComplete();
    LockMemoryAndRaisePriority();

    int status = KeeperRun(&keeper);
    UpsWatchNoState(&s.ups, "vemid stopped: no UPS state", VemiNowMs());
    UpsFileClose(&s.upsFile);
    NutServerStop(&s.nut);
    if (o.metricsFile != NULL)
        MetricsFileClose(&metrics);
    CheckHelperEnd(&s.helper);
    LockFileRelease(&s.pidFile);
    return status;
}
