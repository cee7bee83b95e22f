// The watchdog keeper: arms the board's watchdog, feeds it while the system is
// healthy, keeps the UPS and metrics files, and settles the watchdog at a stop.
#ifndef VEMID_KEEPER_H
#define VEMID_KEEPER_H

#include "Options.h"
#include "UpsFile.h"
#include "VemiChannel.h"

// The power-control mode as the watchdog test sets it, then the watchdog armed
// for -t. A busy device is asked again once a second for up to 30 seconds. 0, or
// the exit status for a start that failed: the watchdog was never armed.
int ArmWatchdog(const VemidOptions* options, VemiChannel* channel);

// Feeds the watchdog every -s on the monotonic clock, each feed after a health
// check that passed, and writes the files; a feed that fails is asked again
// within the interval. Nothing waits but the wait for the next round: each round
// feeds first and reads after. Returns at a stop that settled the watchdog (a
// failed disarm keeps it fed), with the exit status.
int KeepWatchdog(const VemidOptions* options, VemiChannel* channel, UpsFile* ups);

#endif
