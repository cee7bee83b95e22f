// The UPS handed to NUT: a definition file for NUT's dummy-ups driver (in mode
// dummy-loop it reads the file again and again), one "variable: value" a line:
//   ups.status        OL or OB, with CHRG or DISCHRG, and LB when discharging at
//                     or below the low-battery percent; a disabled UPS is OL with
//                     an ups.alarm that says there is no backup
//   battery.charge    while charging or discharging only
//   battery.charge.low, ups.mfr, ups.model (the mainboard), and the power-fail
//   counter as experimental.dalv.power_failures
// A value no longer published is written empty: dummy-ups keeps a variable that
// the file merely leaves out. A failed read or an unknown status never claims
// OB: the last state stands for at most three reads, then the file is removed,
// and NUT reports the data stale.
#ifndef VEMID_UPS_FILE_H
#define VEMID_UPS_FILE_H

#include "VemiReaders.h"

enum UpsLine { kLineUnknown, kLineOnline, kLineOnBattery, kLineLowBattery, kLineNoBackup, kLineNoUps };

struct UpsFile {
    const char* path;
    int lowPercent;
    char mfr[20], model[40]; // from the mainboard, escaped: 8 characters, each at most 2
    UpsLine line;            // as last read
    UpsLine writtenLine;     // what the file says,
    int charge, counter;     //   and its charge and counter (-1: not published)
    int misses;              // reads in a row that gave no state
    bool written;            // the file stands
    unsigned writeFailures;  // in a row: the first is logged
};

void UpsFileStart(UpsFile* file, const char* path, int lowPercent, const VemiMainboardInfo* board);

// One read of the UPS and what it means for the file; each change of state is one
// log line. The file is written again only when what it says changes (or it has
// gone): dummy-loop reads it anyway, and an appliance's flash is spared a write
// every few seconds.
void UpsFileRound(UpsFile* file, VemiChannel* channel);

// vemid stops: the file goes, so that NUT does not report the last state for ever.
void UpsFileRemove(UpsFile* file);

#endif
