// The one way both programs wait for descriptors, for a time, and for a signal.
// The signals that end a wait are held back (blocked) outside it, and `during` is
// the mask in force while it waits: a signal that comes after the caller last
// looked at what its handlers recorded is taken in the wait and ends it at once,
// rather than waiting out its time.
#ifndef VEMI_SIGNAL_WAIT_H
#define VEMI_SIGNAL_WAIT_H

#include <poll.h>
#include <signal.h>
#include <stdint.h>

// A handler for SIGCONT that does nothing. With it, a wait that a stop (SIGSTOP,
// Ctrl-Z) interrupted ends when the process continues, and the caller reads the
// clock again: without one, Linux restarts the wait with the time that was left
// when it stopped, and a stop of 3 s would delay the wait by 3 s more.
void VemiWakeOnContinue(int sig);

// Waits for one of `fds` (`count` may be 0) until `untilMs` on VemiNowMs's clock
// (below 0: no limit), under `during`. poll's result: above 0 a descriptor is
// ready, 0 the time came, -1 with EINTR a signal was caught.
int VemiWaitUnder(struct pollfd* fds, int count, int64_t untilMs, const sigset_t* during);

#endif
