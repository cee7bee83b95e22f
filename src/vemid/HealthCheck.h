// The health check: a command run through the shell, beside the keeper's loop, in
// a process group of its own and in the folder vemid was started from. A feed
// stands on the latest check that finished; a check still running at its time
// limit is killed with its whole group and counts as failed.
#ifndef VEMID_HEALTH_CHECK_H
#define VEMID_HEALTH_CHECK_H

#include <stdint.h>
#include <sys/types.h>

enum CheckOutcome { kCheckPassed, kCheckFailed, kCheckTimedOut, kCheckNotRun };

struct HealthCheck {
    const char* command;
    const char* folder;     // where it runs: vemid's folder at the start
    int64_t limitMs;        // -T
    bool logOutput;         // its standard output and error go to vemid's log (-d)
    pid_t pid;              // running; 0 when none is
    int64_t startedMs;
    int output;             // the read end of its output, -1 without
    char line[160];         // output read so far of a line not yet logged
    size_t lineLength;
    int linesLogged;        // of this check's
    // The latest that finished.
    bool finished;          // one has
    CheckOutcome outcome;
    int detail;             // the exit status (failed), or the error number (not run)
    int64_t durationMs;
};

void HealthCheckInit(HealthCheck* check, const char* command, const char* folder, int limitSeconds,
                     bool logOutput);

// Starts a check when none runs (posix_spawn: a fork would copy vemid's locked
// memory). False, with the outcome kCheckNotRun recorded, when it cannot start.
bool HealthCheckStart(HealthCheck* check, int64_t nowMs);

// Reaps a check that ended, or kills one past its limit; logs what it wrote.
// True when a check finished just now: its outcome is the latest.
bool HealthCheckPoll(HealthCheck* check, int64_t nowMs);

// When the running check reaches its limit; 0 when none runs.
int64_t HealthCheckDeadline(const HealthCheck* check);

// Kills a running check with its group and waits for it (a stop).
void HealthCheckStop(HealthCheck* check);

// Runs the check once and waits for it, for the start: its outcome.
CheckOutcome HealthCheckRunOnce(HealthCheck* check);

// The exit status the shell gives a command it cannot run.
inline bool HealthCheckCannotRun(const HealthCheck* check)
{
    return check->finished && (check->outcome == kCheckNotRun ||
                               (check->outcome == kCheckFailed && (check->detail == 126 || check->detail == 127)));
}

#endif
