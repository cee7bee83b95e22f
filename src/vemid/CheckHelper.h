// The health check's helper: a small process that vemid starts before it raises
// its priority and locks its memory, and that runs each check when vemid asks,
// at normal priority, in a session of its own, every check in its own process
// group in the folder vemid was started from. It reports each check's end over a
// pipe; vemid never creates a process in its loop, and a check never inherits a
// real-time priority. vemid decides a check's time limit and asks for the kill;
// the helper kills the check's whole group. When vemid goes, the helper sees its
// pipe close, kills the check under way and ends. Given a user, the helper takes
// that user's ids (and supplementary groups) for good as it starts, as NUT's
// drivers drop root: its checks run without vemid's privileges.
#ifndef VEMID_CHECK_HELPER_H
#define VEMID_CHECK_HELPER_H

#include <stdint.h>
#include <sys/types.h>

#include "Keeper.h"

struct CheckUser {
    const char* name; // null: the checks run as vemid does
    uid_t uid;
    gid_t gid;
};

struct CheckHelper {
    const char* command;
    CheckUser user;
    const char* folder;
    bool logOutput;       // -d: what a check writes goes to the log, a line each
    pid_t pid;            // the helper, 0 when none runs
    pid_t parent;         // the process that started it, which alone may reap it
    int requests;         // to the helper, never waited on; -1 without
    int reports;          // from it, never waited on; -1 without
};

void CheckHelperInit(CheckHelper* helper, const char* command, const char* folder, bool logOutput,
                     const CheckUser* user);

// Starts the helper. False, with errno, when it cannot be.
bool CheckHelperStart(CheckHelper* helper);

// Asks for check `id` to run, or to be killed. False when the helper cannot be
// asked (gone, or not taking requests).
bool CheckHelperRun(CheckHelper* helper, uint32_t id);
void CheckHelperKill(CheckHelper* helper, uint32_t id);

// Reads what the helper reported, without waiting: how many reports were read
// into `out`, or -1 once the helper has gone.
int CheckHelperTake(CheckHelper* helper, CheckReport* out, int max);

// Lets the helper go (it ends, killing a check under way), and reaps it where this
// process may.
void CheckHelperEnd(CheckHelper* helper);

#endif
