// One second of the watchdog test, the only wait it makes while the watchdog is
// armed. Meanwhile held output goes out as its streams take it, a key is taken
// without waiting, and a caught ending signal ends the wait at once.
#ifndef VEMI_ARMED_WAIT_H
#define VEMI_ARMED_WAIT_H

enum WaitEnd { kWaitDone, kWaitKey, kWaitSignal };

// `keys`: a key ends the wait (when keys are watched at all).
WaitEnd WaitOneSecond(bool keys);

#endif
