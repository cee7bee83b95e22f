// Runs the real built VemiCmd under vemisim, the way a user or a script does, and
// collects standard output, standard error, the exit status and the board's trace.
#ifndef VEMI_TEST_RUN_TOOL_H
#define VEMI_TEST_RUN_TOOL_H

#include <string>
#include <vector>

#include "ToolVersion.h"

// The title line every run prints first unless silent.
constexpr char kTitle[] = VEMI_TITLE "\n";

// Where standard output goes. kCapture is a pipe, read while the tool runs;
// kGoneReader a pipe whose reader has gone, kFailing the same with SIGPIPE
// ignored, so that every write fails (EPIPE).
enum class Output { kCapture, kClosed, kGoneReader, kFailing, kTerminal };
// Run as a job on a pseudo-terminal, under a launcher that leads the session and
// stays, as a shell does; standard input is the terminal.
enum class Job { kNoTerminal, kForeground, kBackground };

struct RunOptions {
    std::string boardJson;   // written to board.json in the run's folder, its working
                             // folder; for VemiCmd, the board (empty: the default)
    std::string board;       // a board file path or library name, instead of boardJson
    std::string input;       // standard input, a pipe (or the terminal, for jobs)
    bool fastClock = true;
    bool simulated = true;   // false: run VemiCmd alone, with no board preloaded
    std::vector<std::string> simArgs; // more vemisim options
    std::string when;        // once standard output or error holds this (at once if empty):
    int signal = 0;          //   sent to vemisim
    std::string typed;       //   typed at the terminal, or else added to standard input,
                             //   which ends then (or after 3 s without `when`)
    Output output = Output::kCapture;
    Job job = Job::kNoTerminal;
    bool tostop = false;     // the terminal stops background writers
};

struct RunResult {
    std::string out;
    std::string err;
    std::string trace;
    int exitStatus = -1; // exit status, or -1 when ended by a signal or stopped
    int signal = 0;      // the signal that ended it
    bool stopped = false; // the job stopped, and was killed
    bool acted = false;   // `when` showed while the tool ran
    bool terminalSane = true; // the terminal's line mode survived the run (jobs)
    int unreadInput = 0;      // bytes typed at the terminal that no one read (jobs)
};

RunResult RunVemiCmd(const std::vector<std::string>& args, const RunOptions& options = {});
// Runs vemisim itself with these arguments (any command after "--").
RunResult RunVemisim(const std::vector<std::string>& args, const RunOptions& options = {});

std::string VemiCmdPath();
std::string VemisimPath();

// The lines of a trace that start with `prefix`.
std::string TraceLines(const std::string& trace, const std::string& prefix);

#endif
