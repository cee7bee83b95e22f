// What vemid asks of the system to keep its feeds on time under load, as FreeBSD's
// watchdogd does: its memory locked, a real-time priority. Each is logged when the
// system refuses it; vemid runs on without.
#ifndef VEMID_SYSTEM_H
#define VEMID_SYSTEM_H

void LockMemoryAndRaisePriority(void);

// Leaves the terminal and the starting process: a daemon of its own session, in
// the root folder, standard streams on /dev/null. False, with errno, on failure.
// The starting process waits for StartComplete, then exits 0 (or 71 when the
// daemon ended first): once the start returns, the pidfile names the daemon.
bool Detach(void);
void StartComplete(void);

#endif
