// The keeper's world in vemid: the monotonic clock, the one wait (stop signals,
// the check helper's reports, NUT's clients), and the check helper, started anew
// when it has gone.
#ifndef VEMID_REAL_WORLD_H
#define VEMID_REAL_WORLD_H

#include "CheckHelper.h"
#include "Keeper.h"
#include "NutServer.h"

struct RealWorldParts {
    CheckHelper* helper; // null: no health check
    NutServer* nut;      // null: no NUT socket
};

KeeperWorld RealWorld(RealWorldParts* parts);

#endif
