// /wdt: arms the hardware watchdog, keeps it from expiring for ten seconds, disarms it.
// Once armed, only a deliberate key press may leave it armed: a failed retrigger, a
// signal or an output error disarms it first, since an armed watchdog left behind
// restarts the machine. Nothing the test does while armed may wait, but for its
// one-second waits: output is held and goes out as its stream takes it.
#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "ArmedGuard.h"
#include "ArmedWait.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "HeldOutput.h"
#include "KeyWatch.h"
#include "MonotonicClock.h"
#include "CommandLine.h"
#include "OutputStyle.h"
#include "ProcessName.h"
#include "VemiInterface.h"
#include "VemiReaders.h"
#include "VemiWatchdog.h"
#include "VemiTransport.h"
#include "LockFile.h"

namespace {

// While the test guards the watchdog: Ctrl-Z and a background terminal write do
// not stop it, and a reader that has gone is an output error, reported at the end
// of the run like any other.
const int kIgnoredWhileArmed[] = {SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE};

const int kBusyRetries = 3; // a busy disarm is asked again this many times at most
// The test: armed for 5 s, retriggered every 2 s, five times, then disarmed.
const uint8_t kTestSeconds = 5;
const uint8_t kTestInterval = 2;
const uint8_t kTestRetriggers = 5;

// A busy answer means "try again", and giving up on it restarts the machine: the
// watchdog is kept alive meanwhile, and each try waits its whole second, also
// with a signal pending. Only the final outcome is printed.
uint32_t DisarmWdt(VemiChannel* channel)
{
    uint32_t status = VemiWatchdogSetTime(channel, 0);
    for (int retry = 0; status == VEMI_DEVICE_BUSY && retry < kBusyRetries; retry++) {
        VemiWatchdogRetrigger(channel);
        WaitUntil(VemiNowMs() + 1000, false, false);
        status = VemiWatchdogSetTime(channel, 0);
    }
    PrintVemiError("Disabling Wdt", status);
    return status;
}

// A genuine fault's handler: the transport alone, the terminal, and a write(2) that
// is made only when the stream takes it at once.
void DisarmFromHandler(void)
{
    uint8_t off = 0;
    uint32_t returned = 0;
    vemix_struct request(kVemiWdtTime.group, kVemiWdtTime.offset, &off, 1, NULL, 0, &returned, NULL);
    const VemiTransport* transport = gRun.transport;
    uint32_t status = transport->request(transport->context, gVemix_dev, &request);
    RestoreTerminalFromHandler();
    const char* line = status == 0 ? "Disabling Wdt succeeded\n" : "Disabling Wdt failed\n";
    struct pollfd out = {MachineOutput() ? STDERR_FILENO : STDOUT_FILENO, POLLOUT, 0};
    if (poll(&out, 1, 0) == 1 && (out.revents & POLLOUT) && write(out.fd, line, strlen(line)) < 0) {
        /* nothing more to do */
    }
}

// The lock goes with the process however a signal ends it: from the handler
// when the signal ends the test at once, or a genuine fault does.
void RemoveLockAtEnd(void)
{
    LockFileRemoveAtEnd(&gRun.watchdogLock);
}

// Every disposition as it was; SIGPIPE stays ignored once the output failed, so
// that the failure is reported rather than fatal.
void ReleaseGuard(void)
{
    GuardRelease(ferror(StreamOut(&gRun.streams)) || gRun.streams.outputErrno != 0);
}

// The run ends by the caught signal: the document is whole, what the streams take
// now is written, the rest is dropped, and the process dies as the signal would
// have made it.
[[noreturn]] void EndRunBySignal(int sig)
{
    StopKeyWatch();
    WRITE(&gRun.writer, end, -sig);
    PumpOutput();
    ReleaseOutput();
    LockFileRelease(&gRun.watchdogLock);
    ReleaseGuard();
    EndBySignal(sig);
}

// The watchdog is settled (disarmed, never armed, or left armed on purpose): what
// was held may now go out, waiting for its streams, and then the lock goes. A
// signal caught while the test guarded the watchdog, up to the moment the signals
// are handed back, ends the run.
uint32_t LeaveArmedState(uint32_t result)
{
    StopKeyWatch();
    if (!DrainOutput() || GuardEndingSignal() != 0)
        EndRunBySignal(GuardEndingSignal());
    LockFileRelease(&gRun.watchdogLock);
    ReleaseGuard();
    if (GuardEndingSignal() != 0)
        EndRunBySignal(GuardEndingSignal());
    ReleaseOutput();
    return result;
}

uint32_t TestWatchdog(void)
{
    VemiChannel channel = VemiToolChannel();
    uint8_t pwrCtrlMode = 1;
    uint8_t wdtTime = kTestSeconds;
    uint8_t retriggerInterval = kTestInterval;
    uint8_t retriggerCount = kTestRetriggers;
    WatchdogTestRecord record = {wdtTime, retriggerInterval, 0, kWdtNotArmed, 0, false, 0};

    uint32_t status = VemiWatchdogPowerControl(&channel, pwrCtrlMode);
    if (status != 0 && status != VEMI_NOT_SUPPORTED) {
        char line[96];
        snprintf(line, sizeof(line), "Enabling Wdt PwrCtrl-Mode failed with error 0x%04X", status);
        StdoutIfText("%s\n", line);
        WRITE(&gRun.writer, failure, "Enabling Wdt PwrCtrl-Mode", status, line);
        WRITE(&gRun.writer, watchdogTest, &record);
        return LeaveArmedState(status);
    }

    // What was printed so far goes out now, waiting if need be: nothing is armed
    // yet, and a signal meanwhile ends the run at once.
    HoldOutput();
    GuardArming();
    status = VemiWatchdogSetTime(&channel, wdtTime);
    int64_t armedAt = VemiNowMs();
    if (status != 0) {
        PrintVemiError("Setting Wdt time", status);
        WRITE(&gRun.writer, watchdogTest, &record);
        return LeaveArmedState(status);
    }
    StdoutOrStderr("Watchdog set to %d sec\nRetrigger every %d sec\n", wdtTime, retriggerInterval);
    // The terminal stops echoing before the prompt shows, so that a key typed on
    // seeing it is not echoed.
    StartKeyWatch(MachineOutput() ? STDERR_FILENO : STDOUT_FILENO);
    StdoutOrStderr("Retriggering...(please Wait)\nPress any key to abort retriggering(cause restart!)\n");
    PumpOutput(); // shown at once, where the stream takes it

    // Retrigger k is due k intervals after the arm, the disarm at the end of the
    // last: a late answer or a stall delays one retrigger, never the ones after.
    // Slots missed in a stall are made up by one retrigger as soon as the test runs.
    uint32_t failed = 0;
    bool keyed = false;
    const int64_t intervalMs = retriggerInterval * 1000;
    for (int slot = 0; slot < retriggerCount && !keyed && GuardEndingSignal() == 0;) {
        int covered = (int)((VemiNowMs() - armedAt) / intervalMs); // the slots that have come
        failed = VemiWatchdogRetrigger(&channel);
        if (failed != 0) {
            PrintVemiError("Retriggering Wdt", failed);
            break;
        }
        record.retriggers++;
        slot = (covered > slot ? covered : slot) + 1;
        keyed = WaitUntil(armedAt + (slot < retriggerCount ? slot : retriggerCount) * intervalMs, true, true);
    }
    StopKeyWatch();

    // A caught signal wins over a key pressed in the same second.
    if (keyed && GuardEndingSignal() == 0) {
        // Leaving the watchdog armed is what the key is for.
        StdoutOrStderr("Retriggering stopped by key press: the watchdog will restart the machine\n");
        record.outcome = kWdtKeyPressed;
        WRITE(&gRun.writer, watchdogTest, &record);
        return LeaveArmedState(0);
    }
    // The retriggers made: slots a stall merged were made up by one.
    if (failed == 0 && GuardEndingSignal() == 0)
        StdoutOrStderr("Wdt was retrigger %u times\n", record.retriggers);
    status = DisarmWdt(&channel);
    int sig = GuardEndingSignal();
    record.outcome = sig != 0 ? kWdtSignal : failed != 0 ? kWdtRetriggerFailed : kWdtCompleted;
    record.signal = sig;
    record.disarmed = true;
    record.disarmStatus = status;
    WRITE(&gRun.writer, watchdogTest, &record);
    return LeaveArmedState(failed != 0 ? failed : status);
}

} // namespace

// The test holds the lock that vemid holds while it keeps the watchdog fed, and
// refuses to run while vemid or anything else does: its disarm would silently end
// vemid's protection, and vemid cannot arm meanwhile. A lock that cannot be had
// at all is no reason to go ahead unguarded: the test is refused too.
uint32_t TriggerWdt(void*)
{
    // The guard comes first: however a signal ends the test from the lock's taking
    // on, the lock file goes with it. Before the arm, a signal ends it at once.
    const GuardPolicy policy = {kIgnoredWhileArmed, 4, NULL, 0, DisarmFromHandler, RemoveLockAtEnd};
    GuardInstall(&policy, true);
    long holder = 0;
    char why[PATH_MAX + 96], line[2 * PATH_MAX + 160];
    LockFileResult taken = LockFileTake(&gRun.watchdogLock, WatchdogLockPath(), &holder, why, sizeof(why));
    if (taken != kLockTaken) {
        ReleaseGuard(); // the refusal is printed as any output is
        uint32_t status = taken == kLockHeld ? WDT_HELD : WDT_LOCK_REFUSED;
        char name[32] = "another process";
        if (taken == kLockHeld && (holder <= 0 || !VemiProcessName(holder, name, sizeof(name))))
            snprintf(name, sizeof(name), "another process");
        if (taken == kLockHeld)
            snprintf(line, sizeof(line), "Watchdog held by %s (lock on %s): not tested", name, WatchdogLockPath());
        else
            snprintf(line, sizeof(line), "Watchdog lock on %s cannot be had (%s): not tested", WatchdogLockPath(), why);
        StdoutIfText("%s\n", line);
        WRITE(&gRun.writer, failure, "Taking the watchdog", status, line);
        WatchdogTestRecord record = {kTestSeconds, kTestInterval, 0, kWdtNotArmed, 0, false, 0};
        WRITE(&gRun.writer, watchdogTest, &record);
        return status;
    }
    // Unnamed, the lock still holds: a test refused meanwhile finds its holder anyway.
    (void)LockFileName(&gRun.watchdogLock);
    return TestWatchdog();
}
