// The UPS handed to NUT as its own drivers hand theirs: vemid serves the socket
// that upsd connects to, <state path>/vemid-nut-<UPS>, in NUT's driver/server
// protocol. upsd asks DUMPALL and gets every variable; vemid pushes each change
// at once (SETINFO, DELINFO), says DATASTALE while it has no current state of the
// UPS and DATAOK when it has one again, and answers PING with PONG. A vemid that
// is frozen, or stuck in a driver request, answers nothing, and upsd calls the
// data stale after its MAXAGE, as it does for any driver.
//
// The socket never holds up the loop: it is never waited on, a client that does
// not read what it is sent is dropped, and any line it sends is survived. INSTCMD
// and SET change nothing (answered "TRACKING <id> 1" when tracked); GETPID is
// not answered, so that no upsdrvctl ever signals vemid through it.
#ifndef VEMID_NUT_SERVER_H
#define VEMID_NUT_SERVER_H

#include <poll.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include "UpsWatch.h"

const int kNutClients = 8;          // upsd, and a few more (a debugging tool)
const size_t kNutLine = 512;        // a longer line from a client is dropped whole
const size_t kNutBacklog = 16384;   // what a client may leave unread before it is dropped
const int kNutVariables = 11;

struct NutClient {
    int fd;                         // -1: free
    bool broadcast;                 // takes the changes pushed to all
    bool discarding;                // in a line too long, dropped to its end
    size_t inLength, outLength;
    char in[kNutLine];
    char out[kNutBacklog];
};

struct NutServer {
    char name[80];                  // the socket's, in the state folder
    gid_t group;                    // NUT's: the socket is root's and this group's, mode 0660
    int folder;                     // the state folder, opened once; -1 without
    int listener;                   // -1 until it is made (made again at each UPS read while it is not)
    dev_t dev;                      // the socket made, as its name stood then
    ino_t ino;
    int64_t lastLogMs;
    bool stale;
    char values[kNutVariables][64]; // "" : not set
    NutClient clients[kNutClients];
};

// No socket, no client: what NutServerStop may end.
void NutServerInit(NutServer* server);

// The socket `vemid-nut-<ups>` in `stateFolder`, for NUT's `group` (-1: the
// folder's group), taken over from an earlier run (a socket left there is
// removed; anything else there is never touched). False, logged, when it cannot be
// made now; it is tried again at each UPS read. Call it while holding the pidfile
// lock: a leftover socket is an earlier vemid's only then.
bool NutServerStart(NutServer* server, const char* stateFolder, const char* ups, gid_t group, const UpsState* state);

// A sink of the UPS watch: a change goes out at once to every client.
UpsSink NutServerSink(NutServer* server);

// What the loop waits on: the listener, each client (and its output while some
// waits). Returns how many entries it wrote into `fds` (at most max).
int NutServerFds(const NutServer* server, struct pollfd* fds, int max);
// Serves what the wait found: new clients, their lines, their output.
void NutServerServe(NutServer* server, const struct pollfd* fds, int count, int64_t nowMs);

// The end: every client closed, the socket removed while it is still the one made.
void NutServerStop(NutServer* server);

#endif
