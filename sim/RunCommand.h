// vemisim runs the command as its child and stays, as the board outlives a program.
#ifndef VEMISIM_RUN_COMMAND_H
#define VEMISIM_RUN_COMMAND_H

#include "SharedBoard.h"

// vemisim's exit status when the board restarted, its watchdog having expired.
#define VEMISIM_EXIT_RESTART 124

struct RunOutcome {
    int waitStatus;  // the command's
    bool restarted;  // the board restarted: every process of the command was ended
};

// Runs argv and waits for it and for every process it started, detached or not
// (orphans become vemisim's children). Meanwhile it watches the board's watchdog
// (`board`, null for none): when it expires, or when every process has ended with
// it still armed, the board restarts: the trace (traceFd, -1 for none) records it
// and every process under vemisim ends, as power going away would end it. The
// processes' trace lines wait on the board until vemisim writes them.
// Signals sent to vemisim by another process, and a hangup of its terminal, are
// passed on to every process under it; the terminal's other signals reach them
// directly. When the command stops, vemisim stops too, once no watchdog is armed
// (the board's clock runs on while a program is stopped), so that the shell sees
// the job stopped; it goes on when the command goes on. When vemisim itself is
// killed, its helper (the command's parent) removes the run's folder `run`.
RunOutcome RunCommand(char** argv, SharedBoard* board, int traceFd, const char* run);

// Ends vemisim as the command ended: with its exit status, or by its signal.
[[noreturn]] void EndAs(int waitStatus);

#endif
