// One health check as a process, as the check helper runs it: the command through
// the shell, in a process group of its own, in the folder vemid was started from,
// every signal at its default. What it writes is read a line at a time, never
// waiting; when it ends, or is killed, whatever it left in its group goes too.
#ifndef VEMID_HEALTH_CHECK_H
#define VEMID_HEALTH_CHECK_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

struct HealthCheck {
    const char* command;
    const char* folder;     // where it runs: vemid's folder at the start
    bool logOutput;         // its standard output and error go to the log (-d)
    pid_t pid;              // running; 0 when none is
    int output;             // the read end of its output, -1 without
    char line[160];         // output read so far of a line not yet logged
    size_t lineLength;
    int linesLogged;        // of this check's
};

void HealthCheckInit(HealthCheck* check, const char* command, const char* folder, bool logOutput);

// Starts the check (posix_spawn). 0, or the error number when it cannot start.
int HealthCheckStart(HealthCheck* check);

// Reaps a check that ended, its group killed first: true, with its exit status
// (128 + n when signal n ended it). False while it runs. Logs what it wrote.
bool HealthCheckEnded(HealthCheck* check, int* exitStatus);

// Kills the running check with its group and reaps it.
void HealthCheckKill(HealthCheck* check);

// Logs the lines it wrote so far, without waiting.
void HealthCheckReadOutput(HealthCheck* check);

#endif
