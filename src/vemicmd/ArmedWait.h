// The watchdog test's waits while the watchdog is armed, the only waits it makes
// then. Meanwhile held output goes out as its streams take it, a key is taken
// without waiting, and a caught ending signal may end the wait at once.
#ifndef VEMI_ARMED_WAIT_H
#define VEMI_ARMED_WAIT_H

#include <stdint.h>

// Waits until `untilMs` on the monotonic clock (VemiNowMs). `keys`: a key ends the
// wait, when keys are watched at all; `signals`: a caught ending signal does
// (GuardEndingSignal then says which), where otherwise it waits its time all the
// same (a busy disarm asked again). True when a key ended it.
bool WaitUntil(int64_t untilMs, bool keys, bool signals);

#endif
