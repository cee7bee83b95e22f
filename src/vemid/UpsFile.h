// The UPS handed to NUT through a definition file for NUT's dummy-ups driver (in
// mode dummy-loop it reads the file again and again), one "variable: value" a line:
//   ups.status        OL or OB, with CHRG or DISCHRG, and LB when discharging at
//                     or below the low-battery percent; a disabled UPS is
//                     "OL ALARM", with an ups.alarm that says there is no backup;
//                     empty when vemid has no state, ups.alarm saying why
//   battery.charge    while charging or discharging only
//   battery.charge.low, ups.model (the mainboard), ups.firmware (the UPS's
//   version), and the power-fail counter as experimental.dalv.power_failures
// A value no longer published is written empty: dummy-ups keeps a variable that
// the file merely leaves out.
//
// The file stands from the start to the stop, so that NUT's driver never loses its
// source (dummy-ups exits for good when the file is gone): one that could not be
// made, or was removed, is made again at the next read. upsmon takes an empty
// status as a UPS it cannot reach, as it does data that its server calls stale.
#ifndef VEMID_UPS_FILE_H
#define VEMID_UPS_FILE_H

#include <stdint.h>

#include "ReservedFile.h"
#include "UpsWatch.h"

struct UpsFile {
    const char* path;
    ReservedFile file;
    bool open;                // the file was made, and is ours
    unsigned writeFailures;   // in a row: the first is logged, then once a minute
    int64_t lastWriteLogMs;
    char written[512];        // what the file says
};

// Takes the file over before anything else is done: whatever an earlier run left
// is replaced by one that tells `state` (no state yet). False, logged, when it
// cannot be: an earlier run's file is then removed, and the file made at a later
// read.
bool UpsFileStart(UpsFile* file, const char* path, const UpsState* state);

// A sink of the UPS watch: the file is written again when what it says changes.
UpsSink UpsFileSink(UpsFile* file);

// The last state told (no state, saying why), and the file let go: it stays.
void UpsFileClose(UpsFile* file);

#endif
