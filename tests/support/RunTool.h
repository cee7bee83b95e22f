// Runs the real built VemiCmd under vemisim, the way a user or a script does, and
// collects standard output, standard error, the exit status and the board's trace.
#ifndef VEMI_TEST_RUN_TOOL_H
#define VEMI_TEST_RUN_TOOL_H

#include <map>
#include <string>
#include <vector>

#include "ToolVersion.h"

// The title line every run prints first unless silent.
constexpr char kTitle[] = VEMI_TITLE "\n";

// Where standard output goes. kCapture is a pipe, read while the tool runs;
// kGoneReader a pipe whose reader has gone, kFailing the same with SIGPIPE
// ignored, so that every write fails (EPIPE); kFullPipe a pipe filled to the brim
// before the run and read only after `readAfterMs` (what filled it is not shown).
enum class Output { kCapture, kClosed, kGoneReader, kFailing, kTerminal, kFullPipe };
// Run as a job on a pseudo-terminal, under a launcher that leads the session and
// stays, as a shell does; standard input is the terminal. kLeader: the program
// itself leads the session, as a login shell would (ssh -t host program).
// kShellBackground: a foreground job of a shell that, when the job stops (Ctrl-Z),
// takes the terminal back with modes of its own (a line editor's: no echo, one key
// at a time, VMIN 1) and lets the job go on in the background, as `bg` does; the
// terminal is sane at the end when it still holds those modes.
enum class Job { kNoTerminal, kForeground, kBackground, kLeader, kShellBackground };

// One thing done to a run while it goes: once its output (standard output, error
// or the terminal) shows `when`, and `afterMs` after that or after the step before.
struct Step {
    enum Action { kType, kSignal, kHangup, kShell };
    std::string when;
    int afterMs = 0;
    Action action = kType;
    std::string text; // kType: typed at the terminal, or else added to standard input,
                      // which ends then; kShell: run with sh in the run's folder
    int signal = 0;   // kSignal: sent to the run's program (a job's own process)
};

struct RunOptions {
    std::string boardJson;   // written to board.json in the run's folder, its working
                             // folder; for VemiCmd, the board (empty: the default)
    std::string board;       // a board file path or library name, instead of boardJson
    std::string input;       // standard input, a pipe (or the terminal, for jobs)
    bool fastClock = true;
    bool simulated = true;   // false: run VemiCmd alone, with no board preloaded
    std::vector<std::string> simArgs; // more vemisim options
    std::vector<Step> steps; // done in order while the run goes
    std::string when;        // shorthand for two steps: once the output holds this,
    int signal = 0;          //   this signal is sent
    std::string typed;       //   and this typed
    Output output = Output::kCapture;
    int readAfterMs = 0;     // kFullPipe
    Job job = Job::kNoTerminal;
    bool errToTerminal = false; // standard error is the terminal too (jobs)
    bool wrapped = false;    // the run's command is started by sh -c, which leads the job
                             // (a script around it), rather than started itself
    bool tostop = false;     // the terminal stops background writers
    int timeoutMs = 60000;   // then the run is killed
    std::vector<std::string> collect; // files of the run's folder to hand back after it
};

struct RunResult {
    std::string out;
    std::string err;
    std::string trace;
    int exitStatus = -1; // exit status, or -1 when ended by a signal or stopped
    int signal = 0;      // the signal that ended it
    bool stopped = false; // the job stopped, and was killed
    bool acted = false;   // every step was done while the tool ran
    bool terminalSane = true; // the terminal's line mode survived the run (jobs)
    int unreadInput = 0;      // bytes typed at the terminal that no one read (jobs)
    std::map<std::string, std::string> files; // the collected files that were there
};

RunResult RunVemiCmd(const std::vector<std::string>& args, const RunOptions& options = {});
// Runs vemisim itself with these arguments (any command after "--").
RunResult RunVemisim(const std::vector<std::string>& args, const RunOptions& options = {});

std::string VemiCmdPath();
std::string VemisimPath();
std::string VemidPath();
// Whether the user `uid` (with a group of that number) can run the programs under
// test: a checkout in a folder only its owner may enter keeps every other user out.
bool ProgramsReachableAs(unsigned uid);

// In the sanitizer build, tests that mostly wait in real time are left to the
// normal build, which runs the same code.
bool WaitingTestsSkipped();

// The terminal's control characters in a step's text: ^S is 0x13, ^C 0x03, \n a line end.
std::string ControlText(const std::string& text);

// The lines of a trace that start with `prefix`.
std::string TraceLines(const std::string& trace, const std::string& prefix);

#endif
