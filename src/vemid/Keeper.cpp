#include "Keeper.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "Log.h"
#include "MonotonicClock.h"
#include "Outcome.h"
#include "SignalWait.h"
#include "StopSignals.h"
#include "VemiReaders.h"
#include "VemiWatchdog.h"

namespace {

const int kBusyStartTries = 30;            // once a second
const int64_t kFeedRetryMs = 250;          // a failed feed is asked again this soon
const int kDisarmTries = 4;                // a busy disarm: the first and three more, a second apart
const int64_t kMetricsReadLimitMs = 10000; // a metrics read is cut short past this,
const uint32_t kMetricsReadLimitRequests = 1100; // or past this many requests (1024 sensors and the rest)
const int64_t kLateFeedMs = 1000;          // a feed this late is logged

struct Keeper {
    const VemidOptions* o;
    KeeperParts p;
    KeeperCounters c;
    int64_t feedMs, upsMs;
    int64_t nextFeed, nextUps, nextMetrics;
    bool feedOwed;            // a feed fell due while the latest check had not passed
    unsigned failuresInARow;  // failed retriggers
    LogThrottle feedLog, checkLog, lateLog, readLog;
    bool feeding;             // a retrigger is under way: its request is not a metrics read's
    bool reading;             // a metrics read is under way,
    int64_t readDeadline;     //   and may go on until then
    uint32_t readRequests;
};
Keeper sKeeper; // the channel's hook, which has no context, works on it

void Describe(char* line, size_t size, const char* what, uint32_t status)
{
    FormatOutcome(line, size, what, status);
}

bool Healthy(const Keeper* k)
{
    return k->p.check == NULL || (k->p.check->finished && k->p.check->outcome == kCheckPassed);
}

void CheckEnded(Keeper* k, int64_t now);

void Feed(Keeper* k, int64_t now, bool scheduled)
{
    if (scheduled && now - k->nextFeed > kLateFeedMs && LogAllowed(&k->lateLog, now))
        Log(kLogWarning, "a feed came %lld ms late (a driver request held it up)", (long long)(now - k->nextFeed));
    if (scheduled && k->p.check != NULL && !HealthCheckStart(k->p.check, now)) // for the next feed
        CheckEnded(k, now);
    if (!Healthy(k)) {
        k->feedOwed = !k->o->neverArm;
        k->nextFeed = now + k->feedMs;
        return;
    }
    k->feeding = true;
    uint32_t status = k->o->neverArm ? 0 : VemiWatchdogRetrigger(k->p.channel);
    k->feeding = false;
    if (status == 0) {
        if (!k->o->neverArm) {
            k->c.feeds++;
            k->c.lastFeedTime = (int64_t)time(NULL);
        }
        if (k->failuresInARow != 0)
            Log(kLogNotice, "feeding again after %u failed tries", k->failuresInARow);
        k->failuresInARow = 0;
        k->feedOwed = false;
        LogThrottleReset(&k->feedLog);
        k->nextFeed = now + k->feedMs;
        return;
    }
    k->c.feedFailures++;
    if (LogAllowed(&k->feedLog, now)) {
        char line[160];
        Describe(line, sizeof(line), "Feeding the watchdog", status);
        Log(kLogError, "%s (%u in a row): asking again", line, k->failuresInARow + 1);
    }
    k->failuresInARow++;
    k->nextFeed = VemiNowMs() + kFeedRetryMs; // within the interval, while the watchdog still waits
}

// A check that finished, or could not start: its outcome is the one the next
// feeds stand on.
void CheckEnded(Keeper* k, int64_t now)
{
    const HealthCheck* check = k->p.check;
    k->c.checked = true;
    k->c.checkPassed = check->outcome == kCheckPassed;
    k->c.checkMs = check->durationMs;
    if (check->outcome == kCheckPassed) {
        LogThrottleReset(&k->checkLog);
        if (k->feedOwed)
            Feed(k, now, false);
        return;
    }
    k->c.checkFailures++;
    if (!LogAllowed(&k->checkLog, now))
        return;
    if (check->outcome == kCheckFailed)
        Log(kLogError, "health check failed (exit %d): the watchdog is not fed", check->detail);
    else if (check->outcome == kCheckTimedOut)
        Log(kLogError, "health check timed out after %lld s and was killed: the watchdog is not fed",
            (long long)(check->limitMs / 1000));
    else
        Log(kLogError, "health check could not run (%s): the watchdog is not fed", strerror(check->detail));
}

void PollCheck(Keeper* k, int64_t now)
{
    if (k->p.check != NULL && HealthCheckPoll(k->p.check, now))
        CheckEnded(k, now);
}

void UpsRound(Keeper* k, int64_t now)
{
    bool reading = k->reading;
    k->reading = false; // the UPS's own requests are no part of the metrics read
    k->nextUps = UpsFileRound(k->p.ups, k->p.channel, now, k->upsMs);
    k->reading = reading;
}

// Everything that may fall due: the check's end, a feed, a UPS read.
void Service(Keeper* k, int64_t now)
{
    PollCheck(k, now);
    if (now >= k->nextFeed)
        Feed(k, now, true);
    if (k->p.ups != NULL && now >= k->nextUps)
        UpsRound(k, VemiNowMs());
}

// Before each request: a feed that fell due goes first; a metrics read also gives
// way to the UPS and the check, and ends at a stop or past its limits.
uint32_t BetweenRequests(void)
{
    Keeper* k = &sKeeper;
    if (k->feeding)
        return 0;
    int64_t now = VemiNowMs();
    if (now >= k->nextFeed)
        Feed(k, now, true);
    if (!k->reading)
        return 0;
    if (k->p.ups != NULL && now >= k->nextUps)
        UpsRound(k, now);
    PollCheck(k, now);
    if (StopRequested())
        return ECANCELED;
    if (now > k->readDeadline || ++k->readRequests > kMetricsReadLimitRequests) {
        if (LogAllowed(&k->readLog, now))
            Log(kLogWarning, "the metrics' read of the board was cut short after %u requests", k->readRequests);
        return ETIMEDOUT;
    }
    return 0;
}

void WriteMetrics(Keeper* k, int64_t now)
{
    k->reading = true;
    k->readDeadline = now + kMetricsReadLimitMs;
    k->readRequests = 0;
    MetricsFileRead(k->p.metrics, k->p.channel, &gStopSignal);
    k->reading = false;
    int64_t end = VemiNowMs();
    if (gStopSignal == 0)
        MetricsFileWrite(k->p.metrics, &k->c, end);
    // Once a round; a read that took longer leaves the driver a round of rest.
    k->nextMetrics = now + k->feedMs > end ? now + k->feedMs : end + k->feedMs;
}

// Waits for whatever falls due first, a stop signal, the check's end or its output.
void Wait(const Keeper* k)
{
    int64_t until = k->nextFeed;
    if (k->p.ups != NULL && k->nextUps < until)
        until = k->nextUps;
    if (k->p.metrics != NULL && k->nextMetrics < until)
        until = k->nextMetrics;
    int64_t deadline = k->p.check != NULL ? HealthCheckDeadline(k->p.check) : 0;
    if (deadline != 0 && deadline < until)
        until = deadline;
    if (gStopSignal != 0)
        return;
    struct pollfd output = {k->p.check != NULL ? k->p.check->output : -1, POLLIN, 0};
    VemiWaitUnder(&output, output.fd >= 0 ? 1 : 0, until, StopSignalsOpen());
}

// Waits a whole second, whatever signal comes meanwhile.
void WaitASecond(void)
{
    int64_t until = VemiNowMs() + 1000;
    for (int64_t left; (left = until - VemiNowMs()) > 0;) {
        struct timespec wait = {(time_t)(left / 1000), (long)(left % 1000) * 1000000};
        nanosleep(&wait, NULL);
    }
}

// A stop: the watchdog disarmed, or for a reboot (SIGUSR1) left armed for -x
// seconds, so that a shutdown that hangs is still reset; but disarmed when NUT's
// power-down flag says the machine powers off on battery, where the watchdog would
// start it again on an empty battery. A busy answer is asked again as the watchdog
// test does: retrigger, a second, again. True when vemid may go.
bool DisarmForStop(Keeper* k)
{
    const VemidOptions* o = k->o;
    int sig = gStopSignal;
    if (o->neverArm)
        return true;
    bool reboot = sig == SIGUSR1;
    bool poweringOff = reboot && o->powerDownFlag != NULL && access(o->powerDownFlag, F_OK) == 0;
    int seconds = reboot && !poweringOff ? o->shutdownSeconds : 0;
    uint32_t status = 0;
    for (int attempt = 1; attempt <= kDisarmTries; attempt++) {
        status = VemiWatchdogSetTime(k->p.channel, (uint8_t)seconds);
        if (status != VEMI_DEVICE_BUSY || attempt == kDisarmTries)
            break;
        VemiWatchdogRetrigger(k->p.channel);
        WaitASecond();
    }
    if (status != 0) {
        char line[160];
        Describe(line, sizeof(line), seconds ? "Arming for the reboot" : "Disarming", status);
        Log(kLogError, "%s: the watchdog stays armed and fed", line);
        gStopSignal = 0;
        k->nextFeed = VemiNowMs(); // fed at once: the tries took their time
        return false;
    }
    k->c.armed = seconds != 0;
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
        if (status == 0)
            return 0;
        bool busy = status == VEMI_DEVICE_BUSY;
        if (!busy || attempt == kBusyStartTries || gStopSignal != 0) {
            char line[160];
            Describe(line, sizeof(line), what, status);
            Log(kLogError, "%s%s: not started", line,
                busy && gStopSignal != 0 ? ", and a stop came" : busy ? " for 30 s" : "");
            return busy ? VEMID_EXIT_UNAVAILABLE : VEMID_EXIT_SOFTWARE;
        }
        if (attempt == 1)
            Log(kLogWarning, "the device is busy: asking again for up to 30 s");
        VemiWaitUnder(NULL, 0, VemiNowMs() + 1000, StopSignalsOpen()); // a stop ends the wait
    }
}

int KeepWatchdog(const VemidOptions* o, const KeeperParts* parts)
{
    Keeper* k = &sKeeper;
    *k = Keeper();
    k->o = o;
    k->p = *parts;
    k->c.armed = !o->neverArm;
    k->feedMs = o->feedSeconds * 1000LL;
    k->upsMs = o->upsSeconds * 1000LL;
    int64_t now = VemiNowMs();
    k->nextFeed = now + k->feedMs;
    k->nextUps = now + k->upsMs;
    k->nextMetrics = now;
    if (k->p.check != NULL && k->p.check->finished) { // the check the start ran
        k->c.checked = true;
        k->c.checkPassed = k->p.check->outcome == kCheckPassed;
        k->c.checkMs = k->p.check->durationMs;
    }
    k->p.channel->beforeRequest = BetweenRequests;
    for (;;) {
        if (gStopSignal != 0 && DisarmForStop(k))
            break;
        Service(k, VemiNowMs());
        if (k->p.metrics != NULL && VemiNowMs() >= k->nextMetrics)
            WriteMetrics(k, VemiNowMs());
        Wait(k);
    }
    k->p.channel->beforeRequest = NULL;
    if (k->p.check != NULL)
        HealthCheckStop(k->p.check);
    if (k->p.metrics != NULL)
        MetricsFileWrite(k->p.metrics, &k->c, VemiNowMs());
    return 0;
}
