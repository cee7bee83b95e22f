#include "Keeper.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

#include "HealthCheck.h"
#include "Log.h"
#include "Metrics.h"
#include "Outcome.h"
#include "StopSignals.h"
#include "VemiReaders.h"

namespace {

const int kBusyStartTries = 30;  // once a second
const int64_t kFeedRetryMs = 250; // a failed feed is asked again this soon

int64_t NowMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

const char* Words(const char* what, uint32_t status)
{
    static char line[160];
    FormatOutcome(line, sizeof(line), what, status);
    return line;
}

// Waits until `untilMs` or a stop signal, whichever comes first.
void WaitUntil(int64_t untilMs)
{
    int64_t left = untilMs - NowMs();
    if (left <= 0 || gStopSignal != 0)
        return;
    struct timespec wait = {(time_t)(left / 1000), (long)(left % 1000) * 1000000};
    pselect(0, NULL, NULL, NULL, &wait, StopSignalsOpen());
}

// The health check, when there is one; true when the system is healthy.
bool Healthy(const VemidOptions* o, KeeperCounters* c, LogThrottle* log, int64_t now)
{
    if (o->check == NULL)
        return true;
    int detail = 0;
    CheckOutcome outcome = RunHealthCheck(o->check, o->checkSeconds, &gStopSignal, &detail);
    if (outcome == kCheckPassed) {
        LogThrottleReset(log);
        return true;
    }
    if (outcome == kCheckStopped)
        return false;
    c->checkFailures++;
    if (LogAllowed(log, now)) {
        if (outcome == kCheckFailed)
            Log(kLogError, "health check failed (exit %d): the watchdog is not fed", detail);
        else if (outcome == kCheckTimedOut)
            Log(kLogError, "health check timed out after %d s and was killed: the watchdog is not fed",
                o->checkSeconds);
        else
            Log(kLogError, "health check could not run (%s): the watchdog is not fed", strerror(detail));
    }
    return false;
}

// A stop: the watchdog disarmed, or for a reboot (SIGUSR1) left armed for -x
// seconds, so that a shutdown that hangs is still reset; but disarmed when NUT's
// power-down flag says the machine powers off on battery, where the watchdog would
// start it again on an empty battery. True when vemid may go.
bool Settle(const VemidOptions* o, VemiChannel* channel, KeeperCounters* c)
{
    int sig = gStopSignal;
    if (o->neverArm)
        return true;
    bool reboot = sig == SIGUSR1;
    bool poweringOff = reboot && o->powerDownFlag != NULL && access(o->powerDownFlag, F_OK) == 0;
    int seconds = reboot && !poweringOff ? o->shutdownSeconds : 0;
    uint32_t status = VemiWatchdogSetTime(channel, (uint8_t)seconds);
    if (status != 0) {
        Log(kLogError, "%s: the watchdog stays armed and fed", Words(seconds ? "Arming for the reboot" : "Disarming",
                                                                    status));
        gStopSignal = 0;
        return false;
    }
    c->armed = seconds != 0;
    if (seconds != 0)
        Log(kLogNotice, "stopping for a reboot: the watchdog restarts the machine in %d s unless it is up again",
            seconds);
    else
        Log(kLogNotice, "stopped: the watchdog is disarmed%s", poweringOff ? " (powering off on battery)" : "");
    return true;
}

} // namespace

int ArmWatchdog(const VemidOptions* o, VemiChannel* channel)
{
    for (int attempt = 1;; attempt++) {
        uint32_t status = VemiWatchdogPowerControl(channel, 1);
        const char* what = "Enabling the watchdog's power-control mode";
        if (status == 0 || status == VEMI_NOT_SUPPORTED) {
            status = VemiWatchdogSetTime(channel, (uint8_t)o->watchdogSeconds);
            what = "Arming the watchdog";
        }
        if (status == 0) {
            Log(kLogNotice, "watchdog armed for %d s, fed every %d s", o->watchdogSeconds, o->feedSeconds);
            return 0;
        }
        bool busy = status == VEMI_DEVICE_BUSY;
        if (!busy || attempt == kBusyStartTries || gStopSignal != 0) {
            Log(kLogError, "%s%s: not started", Words(what, status),
                busy && attempt == kBusyStartTries ? " for 30 s" : "");
            return busy ? VEMID_EXIT_UNAVAILABLE : VEMID_EXIT_SOFTWARE;
        }
        if (attempt == 1)
            Log(kLogWarning, "the device is busy: asking again for up to 30 s");
        sleep(1);
    }
}

int KeepWatchdog(const VemidOptions* o, VemiChannel* channel, UpsFile* ups)
{
    KeeperCounters c = {!o->neverArm, 0, 0, 0, 0};
    LogThrottle feedLog = {}, checkLog = {};
    unsigned failuresInARow = 0;
    const int64_t feedMs = o->feedSeconds * 1000LL, upsMs = o->upsSeconds * 1000LL;
    int64_t nextFeed = NowMs() + feedMs, nextUps = NowMs() + upsMs, lastHealthy = 0;
    if (o->metricsFile != NULL)
        WriteMetricsFile(o->metricsFile, channel, &c);
    for (;;) {
        if (gStopSignal != 0 && Settle(o, channel, &c))
            break;
        int64_t start = NowMs();
        if (start >= nextFeed) {
            // A feed asked again soon after it failed stands on the check just passed.
            bool recheck = failuresInARow == 0 || start - lastHealthy >= feedMs;
            bool healthy = !recheck || Healthy(o, &c, &checkLog, start);
            if (healthy && recheck)
                lastHealthy = start;
            if (gStopSignal != 0)
                continue; // the stop comes first
            nextFeed = start + feedMs;
            uint32_t status = healthy && !o->neverArm ? VemiWatchdogRetrigger(channel) : 0;
            if (healthy && !o->neverArm && status == 0) {
                c.feeds++;
                c.lastFeedTime = (int64_t)time(NULL);
                if (failuresInARow != 0)
                    Log(kLogNotice, "feeding again after %u failed tries", failuresInARow);
                failuresInARow = 0;
                LogThrottleReset(&feedLog);
            } else if (status != 0) {
                c.feedFailures++;
                if (LogAllowed(&feedLog, start))
                    Log(kLogError, "%s (%u in a row): asking again", Words("Feeding the watchdog", status),
                        failuresInARow + 1);
                failuresInARow++;
                nextFeed = NowMs() + kFeedRetryMs; // within the interval, while the watchdog still waits
            }
            if (o->metricsFile != NULL && status == 0)
                WriteMetricsFile(o->metricsFile, channel, &c);
            int64_t took = NowMs() - start;
            if (took > feedMs)
                Log(kLogWarning, "a round took %lld ms, more than the %d s between feeds", (long long)took,
                    o->feedSeconds);
        }
        if (ups != NULL && NowMs() >= nextUps) {
            UpsFileRound(ups, channel);
            nextUps = nextUps + upsMs > NowMs() ? nextUps + upsMs : NowMs() + upsMs;
        }
        WaitUntil(ups != NULL && nextUps < nextFeed ? nextUps : nextFeed);
    }
    if (o->metricsFile != NULL)
        WriteMetricsFile(o->metricsFile, channel, &c);
    return 0;
}
