// vemid: keeps the board's watchdog fed while the system is healthy, and hands
// the board's UPS to NUT, through the driver at /dev/vemix.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "Keeper.h"
#include "Log.h"
#include "Options.h"
#include "PidFile.h"
#include "StopSignals.h"
#include "System.h"
#include "UpsFile.h"
#include "VemiReaders.h"
#include "VemiRequest.h"

int main(int argc, char** argv)
{
    VemidOptions o;
    if (int rc = ParseVemidOptions(argc, argv, &o))
        return rc;
    LogOpen(o.foreground ? kLogInfo : kLogError); // a start that fails says why where it was started

    int pidFile = -1;
    long holder = 0;
    int error = PidFileOpen(o.pidFile, &pidFile, &holder);
    if (error != 0) {
        if (error == EWOULDBLOCK)
            Log(kLogError, "the watchdog is held: pid %ld has the lock on %s", holder, o.pidFile);
        else
            Log(kLogError, "%s: %s", o.pidFile, strerror(error));
        return error == EWOULDBLOCK ? VEMID_EXIT_RUNNING : VEMID_EXIT_OSERR;
    }
    VemiChannel channel = {-1, NULL, NULL};
    if ((error = VemiChannelOpen(&channel, VEMI_DEVICE_PATH)) != 0) {
        Log(kLogError, "cannot open %s: %s", VEMI_DEVICE_PATH, strerror(error));
        PidFileRemove(o.pidFile, pidFile);
        return VEMID_EXIT_UNAVAILABLE;
    }

    InstallStopSignals();
    if (!o.neverArm && (error = ArmWatchdog(&o, &channel)) != 0) {
        PidFileRemove(o.pidFile, pidFile);
        return error;
    }
    // NUT's driver cannot start without the UPS file: it is there once the start returns.
    UpsFile ups;
    if (o.upsFile != NULL) {
        VemiMainboardInfo board;
        VemiReadMainboard(&channel, &board);
        UpsFileStart(&ups, o.upsFile, o.lowBatteryPercent, &board);
        UpsFileRound(&ups, &channel);
    }
    // Armed before detaching: a start that fails shows in the start's exit status.
    if (!o.foreground && !Detach())
        Log(kLogError, "cannot detach: %s: running in the foreground", strerror(errno));
    LogOpen(o.foreground ? kLogInfo : kLogNone);
    PidFileWrite(pidFile);
    StartComplete();
    LockMemoryAndRaisePriority();

    int status = KeepWatchdog(&o, &channel, o.upsFile != NULL ? &ups : NULL);
    if (o.upsFile != NULL)
        UpsFileRemove(&ups);
    PidFileRemove(o.pidFile, pidFile);
    return status;
}
