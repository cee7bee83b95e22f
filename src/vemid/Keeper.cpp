#include "Keeper.h"

#include <errno.h>
#include <signal.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "Outcome.h"
#include "VemiWatchdog.h"

namespace {

const int kBusyStartTries = 30;   // once a second
const int64_t kFeedRetryMs = 250; // a failed feed is asked again this soon
const int kDisarmTries = 4;       // a busy disarm: the first and three more, a second apart
const int64_t kLateFeedMs = 1000; // a feed this late is logged

int64_t Min(int64_t a, int64_t b)
{
    return a < b ? a : b;
}

void LogOutcome(LogLevel level, const char* what, uint32_t status, const char* after)
{
    char line[160];
    FormatOutcome(line, sizeof(line), what, status);
    Log(level, "%s%s", line, after);
}

// The next health check. One that cannot be asked for has failed: it could not run.
void StartCheck(Keeper* k, int64_t nowMs)
{
    k->checkId++;
    k->checkStartedMs = nowMs;
    k->checkRunning = true;
    if (!k->world.startCheck(k->world.context, k->checkId)) {
        CheckReport notRun = {k->checkId, kCheckNotRun, ECHILD, 0};
        KeeperCheckEnded(k, &notRun, nowMs);
    }
}

// One retrigger. False when it failed: it is asked again shortly.
bool Retrigger(Keeper* k, int64_t nowMs)
{
    uint32_t status = k->o->neverArm ? 0 : VemiWatchdogRetrigger(k->p.channel);
    if (status == 0) {
        if (!k->o->neverArm) {
            k->c.feeds++;
            k->c.lastFeedTime = (int64_t)time(NULL);
        }
        if (k->failuresInARow != 0)
            Log(kLogNotice, "feeding again after %u failed tries", k->failuresInARow);
        k->failuresInARow = 0;
        k->retryFeed = 0;
        LogThrottleReset(&k->feedLog);
        return true;
    }
    k->c.feedFailures++;
    if (LogAllowed(&k->feedLog, nowMs)) {
        char after[48];
        snprintf(after, sizeof(after), " (%u in a row): asking again", k->failuresInARow + 1);
        LogOutcome(kLogError, "Feeding the watchdog", status, after);
    }
    k->failuresInARow++;
    k->retryFeed = nowMs + kFeedRetryMs; // within the interval, while the watchdog still waits
    return false;
}

// The feed on the schedule: a retrigger while the latest check passed, owed
// otherwise; then the next check starts, unless one still runs. The schedule
// keeps its times: a late feed delays none after it, and slots missed in a stall
// are made up by one feed.
void ScheduledFeed(Keeper* k, int64_t nowMs)
{
    int64_t due = k->nextFeed;
    if (KeeperHealthy(k)) {
        k->feedOwed = false;
        Retrigger(k, nowMs);
    } else {
        k->feedOwed = !k->o->neverArm;
    }
    if (k->nextFeed <= nowMs)
        k->nextFeed += ((nowMs - k->nextFeed) / k->feedMs + 1) * k->feedMs;
    if (nowMs - due > kLateFeedMs && LogAllowed(&k->lateLog, nowMs))
        Log(kLogWarning, "a feed came %lld ms late (a driver request held it up)", (long long)(nowMs - due));
    if (k->o->check != NULL && !k->checkRunning && k->phase == kRunning)
        StartCheck(k, nowMs);
}

int64_t CheckDeadline(const Keeper* k)
{
    return k->checkStartedMs + k->o->checkSeconds * 1000LL;
}

void CheckTimedOut(Keeper* k, int64_t nowMs)
{
    k->world.killCheck(k->world.context, k->checkId);
    CheckReport late = {k->checkId, kCheckTimedOut, 0, nowMs - k->checkStartedMs};
    KeeperCheckEnded(k, &late, nowMs);
}

// A stop: the watchdog disarmed, or for a reboot (SIGUSR1) left armed for -x
// seconds, so that a shutdown that hangs is still reset; but disarmed when NUT's
// power-down flag says the machine powers off on battery, where the watchdog would
// start it again on an empty battery. A busy answer is asked again as the watchdog
// test does: a retrigger, a second, again.
int StopSeconds(const Keeper* k, bool* poweringOff)
{
    const VemidOptions* o = k->o;
    bool reboot = k->stopSignal == SIGUSR1;
    *poweringOff = reboot && o->powerDownFlag != NULL && access(o->powerDownFlag, F_OK) == 0;
    return reboot && !*poweringOff ? o->shutdownSeconds : 0;
}

void DisarmStep(Keeper* k, int64_t nowMs)
{
    if (k->phase == kStopRetrigger) {
        VemiWatchdogRetrigger(k->p.channel);
        k->phase = kStopDisarm;
        k->nextDisarm = nowMs + 1000;
        return;
    }
    bool poweringOff;
    int seconds = StopSeconds(k, &poweringOff);
    uint32_t status = k->o->neverArm ? 0 : VemiWatchdogSetTime(k->p.channel, (uint8_t)seconds);
    k->disarmTries++;
    if (status == VEMI_DEVICE_BUSY && k->disarmTries < kDisarmTries) {
        k->phase = kStopRetrigger;
        return;
    }
    if (status != 0) {
        LogOutcome(kLogError, seconds ? "Arming for the reboot" : "Disarming", status,
                   ": the watchdog stays armed and fed");
        k->stopSignal = 0;
        k->phase = kRunning;
        k->retryFeed = nowMs; // fed at once: the tries took their time
        return;
    }
    k->phase = kStopped;
    if (k->o->neverArm)
        return;
    k->c.armed = seconds != 0;
    if (seconds != 0)
        Log(kLogNotice, "stopping for a reboot: the watchdog restarts the machine in %d s unless it is up again",
            seconds);
    else
        Log(kLogNotice, "stopped: the watchdog is disarmed%s", poweringOff ? " (powering off on battery)" : "");
}

bool Stopping(const Keeper* k)
{
    return k->phase == kStopDisarm || k->phase == kStopRetrigger;
}

} // namespace

void KeeperInit(Keeper* k, const VemidOptions* o, const KeeperWorld* world, const KeeperParts* parts)
{
    *k = Keeper();
    k->o = o;
    k->world = *world;
    k->p = *parts;
    k->c.armed = !o->neverArm;
    k->feedMs = o->feedSeconds * 1000LL;
    k->phase = kRunning;
}

bool KeeperHealthy(const Keeper* k)
{
    return k->o->check == NULL || (k->checkFinished && k->latest.outcome == kCheckPassed);
}

int KeeperArm(Keeper* k)
{
    for (int attempt = 1;; attempt++) {
        uint32_t status = VemiWatchdogPowerControl(k->p.channel, 1);
        const char* what = "Enabling the watchdog's power-control mode";
        if (status == 0 || status == VEMI_NOT_SUPPORTED) {
            status = VemiWatchdogSetTime(k->p.channel, (uint8_t)k->o->watchdogSeconds);
            what = "Arming the watchdog";
        }
        if (status == 0) {
            k->nextFeed = k->world.now(k->world.context) + k->feedMs;
            return 0;
        }
        bool busy = status == VEMI_DEVICE_BUSY;
        if (!busy || attempt == kBusyStartTries || k->stopSignal != 0) {
            LogOutcome(kLogError, what, status,
                       busy && k->stopSignal != 0 ? ", and a stop came: not started"
                       : busy                     ? " for 30 s: not started"
                                                  : ": not started");
            return busy ? VEMID_EXIT_UNAVAILABLE : VEMID_EXIT_SOFTWARE;
        }
        if (attempt == 1)
            Log(kLogWarning, "the device is busy: asking again for up to 30 s");
        int64_t until = k->world.now(k->world.context) + 1000;
        while (k->stopSignal == 0 && k->world.now(k->world.context) < until)
            k->world.wait(k->world.context, k, until); // a stop ends the wait
    }
}

CheckOutcome KeeperFirstCheck(Keeper* k)
{
    int64_t now = k->world.now(k->world.context);
    StartCheck(k, now);
    while (k->checkRunning && k->stopSignal == 0) {
        now = k->world.now(k->world.context);
        if (now >= CheckDeadline(k))
            CheckTimedOut(k, now);
        else
            k->world.wait(k->world.context, k, CheckDeadline(k));
    }
    if (k->checkRunning) { // a stop: the check goes with the start
        k->world.killCheck(k->world.context, k->checkId);
        k->checkRunning = false;
    }
    return k->latest.outcome;
}

void KeeperCheckEnded(Keeper* k, const CheckReport* report, int64_t nowMs)
{
    if (!k->checkRunning || report->id != k->checkId)
        return; // a check already settled: its limit passed, and it was killed
    k->checkRunning = false;
    k->checkFinished = true;
    k->latest = *report;
    k->c.checked = true;
    k->c.checkPassed = report->outcome == kCheckPassed;
    k->c.checkMs = report->durationMs;
    if (report->outcome == kCheckPassed) {
        LogThrottleReset(&k->checkLog);
        return;
    }
    k->c.checkFailures++;
    if (!LogAllowed(&k->checkLog, nowMs))
        return;
    if (report->outcome == kCheckFailed)
        Log(kLogError, "health check failed (exit %d): the watchdog is not fed", report->detail);
    else if (report->outcome == kCheckTimedOut)
        Log(kLogError, "health check timed out after %d s and was killed: the watchdog is not fed",
            k->o->checkSeconds);
    else
        Log(kLogError, "health check could not run (%s): the watchdog is not fed", strerror(report->detail));
}

void KeeperStopAsked(Keeper* k, int sig)
{
    if (k->stopSignal != 0 || k->phase == kStopped)
        return;
    k->stopSignal = sig;
    k->phase = kStopDisarm;
    k->disarmTries = 0;
    k->nextDisarm = 0;
    if (k->p.metrics != NULL)
        MetricsFileAbandon(k->p.metrics);
}

int64_t KeeperStep(Keeper* k, int64_t now)
{
    // The feed first: on the schedule, asked again, or owed to a check that passed.
    if (now >= k->nextFeed) {
        ScheduledFeed(k, now);
    } else if (k->retryFeed != 0 && now >= k->retryFeed) {
        Retrigger(k, now);
    } else if (k->feedOwed && KeeperHealthy(k)) {
        k->feedOwed = false;
        Retrigger(k, now);
    } else if (Stopping(k)) {
        if (now >= k->nextDisarm)
            DisarmStep(k, now);
    } else {
        if (k->checkRunning && now >= CheckDeadline(k))
            CheckTimedOut(k, now); // a kill, no driver request: the turn goes on
        if (k->p.ups != NULL && now >= UpsWatchDue(k->p.ups))
            UpsWatchStep(k->p.ups, k->p.channel, now);
        else if (k->p.metrics != NULL && now >= MetricsFileDue(k->p.metrics))
            MetricsFileStep(k->p.metrics, k->p.channel, &k->c, now, k->feedMs);
    }
    // The next turn is due at the earliest of these.
    int64_t next = k->nextFeed;
    if (k->retryFeed != 0)
        next = Min(next, k->retryFeed);
    if (k->feedOwed && KeeperHealthy(k))
        next = now;
    if (Stopping(k))
        return Min(next, k->nextDisarm);
    if (k->checkRunning)
        next = Min(next, CheckDeadline(k));
    if (k->p.ups != NULL)
        next = Min(next, UpsWatchDue(k->p.ups));
    if (k->p.metrics != NULL)
        next = Min(next, MetricsFileDue(k->p.metrics));
    return next;
}

int KeeperRun(Keeper* k)
{
    int64_t now = k->world.now(k->world.context);
    if (k->nextFeed == 0)
        k->nextFeed = now + k->feedMs;
    while (k->phase != kStopped) {
        int64_t next = KeeperStep(k, now);
        if (k->phase == kStopped)
            break;
        k->world.wait(k->world.context, k, next);
        now = k->world.now(k->world.context);
    }
    if (k->checkRunning) {
        k->world.killCheck(k->world.context, k->checkId);
        k->checkRunning = false;
    }
    if (k->p.metrics != NULL)
        MetricsFileWrite(k->p.metrics, &k->c, k->world.now(k->world.context));
    return k->exitStatus;
}
