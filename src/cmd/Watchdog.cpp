// /wdt: arms the hardware watchdog, keeps it from expiring for ten seconds, disarms it.
// Once armed, only a deliberate key press may leave it armed: a failed retrigger, a
// signal or an output error disarms it first, since an armed watchdog left behind
// restarts the machine.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "ArmedSignals.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "KeyWatch.h"
#include "MachineReport.h"
#include "OutputStyle.h"
#include "VemiInterface.h"
#include "VemiTransport.h"

namespace {

uint32_t DisarmWdt(uint32_t* bytesReturned)
{
    uint8_t off = 0;
    uint32_t status = VemiIoCall(0x6000, 0, &off, 1, NULL, 0, bytesReturned);
    PrintVemiError("Disabling Wdt", status);
    return status;
}

// The disarm for a fault signal's handler: the transport alone, and write(2).
void DisarmFromHandler(void)
{
    uint8_t off = 0;
    uint32_t returned = 0;
    vemix_struct request(0x6000, 0, &off, 1, NULL, 0, &returned, NULL);
    uint32_t status = VemiTransportRequest(gVemix_dev, &request);
    const char* line = status == 0 ? "Disabling Wdt succeeded\n" : "Disabling Wdt failed\n";
    if (write(MachineOutput() ? STDERR_FILENO : STDOUT_FILENO, line, strlen(line)) < 0) { /* nothing more */ }
}

} // namespace

uint32_t TriggerWdt(void*)
{
    uint8_t pwrCtrlMode = 1;
    uint8_t wdtTime = 5;
    uint8_t retriggerInterval = 2;
    uint8_t retriggerCount = 5;
    uint32_t bytesReturned = 0;
    WatchdogRecord record = {wdtTime, retriggerInterval, 0, kWdtNotArmed, 0, false, 0};

    uint32_t status = VemiIoCall(0x6000, 4, &pwrCtrlMode, 1, NULL, 0, &bytesReturned);
    if (status != 0 && status != VEMI_NOT_SUPPORTED) {
        char line[96];
        snprintf(line, sizeof(line), "Enabling Wdt PwrCtrl-Mode failed with error 0x%04X", status);
        Out("%s\n", line);
        MachineFailure("Enabling Wdt PwrCtrl-Mode", status, line);
        MachineWatchdog(&record);
        return status;
    }

    GuardArmedState(DisarmFromHandler); // before arming: no moment armed without it
    status = VemiIoCall(0x6000, 0, &wdtTime, 1, NULL, 0, &bytesReturned);
    if (status != 0) {
        PrintVemiError("Setting Wdt time", status);
        ReleaseArmedState();
        MachineWatchdog(&record);
        return status;
    }
    Say("Watchdog set to %d sec\nRetrigger every %d sec\n", wdtTime, retriggerInterval);
    Say("Retriggering...(please Wait)\nPress any key to abort retriggering(cause restart!)\n");

    KeyWatch keys;
    StartKeyWatch(&keys);
    uint32_t failed = 0;
    bool keyPressed = false;
    for (int i = 0; i < retriggerCount * retriggerInterval && !ArmedEndingSignal(); i++) {
        if (i % retriggerInterval == 0) {
            failed = VemiIoCall(0x6000, 6, NULL, 0, NULL, 0, &bytesReturned);
            if (failed != 0) {
                PrintVemiError("Retriggering Wdt", failed);
                break;
            }
            record.retriggers++;
        }
        if (!ArmedEndingSignal() && WaitOneSecond(&keys)) {
            keyPressed = true;
            break;
        }
    }
    StopKeyWatch(&keys);

    if (keyPressed) {
        // Leaving the watchdog armed is what the key is for.
        Say("Retriggering stopped by key press: the watchdog will restart the machine\n");
        ReleaseArmedState();
        record.outcome = kWdtKeyPressed;
        MachineWatchdog(&record);
        return 0;
    }
    if (failed == 0 && !ArmedEndingSignal())
        Say("Wdt was retrigger %u times\n", retriggerCount);
    status = DisarmWdt(&bytesReturned);
    int sig = ArmedEndingSignal();
    record.outcome = sig != 0 ? kWdtSignal : failed != 0 ? kWdtRetriggerFailed : kWdtCompleted;
    record.signal = sig;
    record.disarmed = true;
    record.disarmStatus = status;
    MachineWatchdog(&record);
    if (sig != 0)
        MachineEnd(-sig); // the document is whole before the signal ends the process
    FlushOutput(); // while a reader that has gone is still only an error
    ReleaseArmedState();
    if (sig != 0)
        EndBySignal(sig);
    return failed != 0 ? failed : status;
}
