// The watchdog keeper: arms the board's watchdog, feeds it while the system is
// healthy, keeps the UPS and metrics files, and settles the watchdog at a stop.
#ifndef VEMID_KEEPER_H
#define VEMID_KEEPER_H

#include "HealthCheck.h"
#include "Metrics.h"
#include "Options.h"
#include "UpsFile.h"
#include "VemiChannel.h"

// The power-control mode as the watchdog test sets it, then the watchdog armed
// for -t. A busy device is asked again once a second for up to 30 seconds, unless
// a stop signal comes. 0, or the exit status for a start that failed: the watchdog
// was never armed.
int ArmWatchdog(const VemidOptions* options, VemiChannel* channel);

// What the keeper works with; the files and the check are null when not asked for.
struct KeeperParts {
    VemiChannel* channel;
    HealthCheck* check;
    UpsFile* ups;
    MetricsFile* metrics;
};

// Feeds the watchdog every -s on the monotonic clock while the latest health
// check that finished passed, and runs the next check beside the loop; reads the
// UPS every -p and the metrics every round. Nothing holds up a feed: the reads
// give way to a feed that falls due between two requests. Returns at a stop that
// settled the watchdog (a disarm that keeps failing keeps it fed), with the exit
// status.
int KeepWatchdog(const VemidOptions* options, const KeeperParts* parts);

#endif
