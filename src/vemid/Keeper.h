// The watchdog keeper: vemid's one loop. It arms the board's watchdog, feeds it
// while the latest health check passed, reads the UPS for NUT and the board for
// the metrics, and settles the watchdog at a stop.
//
// The loop waits once per turn, for whatever comes first: the next deadline (a
// feed, a UPS read, a step of the metrics read, the check's limit), a signal, or
// the check helper's report. Each turn takes one step, and a step sends one
// driver request at most, a due feed first: nothing stands between a feed and its
// request, and nothing nests. The clock, the wait, the check helper and the board
// channel are the world's, passed in, so that every decision runs on a virtual
// clock in tests as it runs on the monotonic clock in vemid.
#ifndef VEMID_KEEPER_H
#define VEMID_KEEPER_H

#include <stdint.h>

#include "Log.h"
#include "Metrics.h"
#include "VemidOptions.h"
#include "UpsWatch.h"
#include "VemiChannel.h"

enum CheckOutcome { kCheckPassed, kCheckFailed, kCheckTimedOut, kCheckNotRun };

// How a health check ended, as the helper tells it.
struct CheckReport {
    uint32_t id;
    CheckOutcome outcome;
    int detail;          // the exit status (failed; 128 + n: killed by signal n), or an error number (not run)
    int64_t durationMs;
};

struct Keeper;

// What the keeper asks of the world.
struct KeeperWorld {
    void* context;
    int64_t (*now)(void* context);
    // Waits until `untilMs` (not at all once it has come), and hands the keeper
    // what came meanwhile: KeeperCheckEnded, KeeperStopAsked.
    void (*wait)(void* context, Keeper* keeper, int64_t untilMs);
    // Starts health check `id`; false when it cannot be asked for (no check
    // helper). Kills check `id` with its process group, past its limit.
    bool (*startCheck)(void* context, uint32_t id);
    void (*killCheck)(void* context, uint32_t id);
};

// What the keeper works with; the UPS watch and the metrics are null when not asked for.
struct KeeperParts {
    VemiChannel* channel;
    UpsWatch* ups;
    MetricsFile* metrics;
};

enum StopPhase { kRunning, kStopDisarm, kStopRetrigger, kStopped };

struct Keeper {
    const VemidOptions* o;
    KeeperWorld world;
    KeeperParts p;
    KeeperCounters c;
    int64_t feedMs;
    // Feeds: the next on the schedule (every -s from the arm), and one asked again
    // after a failure or owed since a check failed.
    int64_t nextFeed;
    int64_t retryFeed;        // 0: none
    bool feedOwed;            // a feed fell due while the latest check had not passed
    unsigned failuresInARow;  // failed retriggers
    // The health check: the one running, and the latest that finished.
    uint32_t checkId;         // of the latest started
    bool checkRunning;
    int64_t checkStartedMs;
    bool checkFinished;
    CheckReport latest;
    // A stop: its signal, and the disarm's tries.
    int stopSignal;
    StopPhase phase;
    int disarmTries;
    int64_t nextDisarm;
    int exitStatus;
    LogThrottle feedLog, checkLog, lateLog;
};

void KeeperInit(Keeper* keeper, const VemidOptions* options, const KeeperWorld* world, const KeeperParts* parts);

// The power-control mode as the watchdog test sets it, then the watchdog armed for
// -t. A busy device is asked again once a second for up to 30 seconds, unless a
// stop comes. 0, or the exit status for a start that failed: the watchdog was
// never armed.
int KeeperArm(Keeper* keeper);

// Runs the health check once and waits for its end (or a stop), before anything is
// armed: its outcome. Past -T it is killed and has timed out.
CheckOutcome KeeperFirstCheck(Keeper* keeper);

// The loop: until a stop has settled the watchdog (a disarm that keeps failing
// keeps it fed instead). Returns the exit status.
int KeeperRun(Keeper* keeper);

// One turn's step: at most one driver request. Returns when the next is due.
int64_t KeeperStep(Keeper* keeper, int64_t nowMs);

// What the world hands the keeper: a check's end, a stop signal.
void KeeperCheckEnded(Keeper* keeper, const CheckReport* report, int64_t nowMs);
void KeeperStopAsked(Keeper* keeper, int sig);

// Whether the latest check that finished passed (or no check is set).
bool KeeperHealthy(const Keeper* keeper);

#endif
