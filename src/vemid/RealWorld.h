// The keeper's world in vemid: the monotonic clock, the one wait (stop signals,
// the check helper's reports), and the check helper, started anew when it has gone.
#ifndef VEMID_REAL_WORLD_H
#define VEMID_REAL_WORLD_H

#include "CheckHelper.h"
#include "Keeper.h"

// `helper` may be null (no health check).
KeeperWorld RealWorld(CheckHelper* helper);

#endif
