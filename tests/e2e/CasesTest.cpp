// The end-to-end cases kept as data in tests/e2e/*.cases: each runs the real
// VemiCmd under vemisim and compares standard output, standard error, the exit
// status and the board's trace. The format, line by line:
//   case NAME          starts a case; the file's name and NAME name the test
//   run ARG...         a run of VemiCmd; several run lines share the expectations.
//                      'quoted words' may hold blanks, '' is an empty argument
//   sim ARG...         a run of vemisim itself, in a folder that holds board.json
//   board NAME|{...}   a board of the library, or inline JSON (default: default)
//   driver none        no board preloaded: VemiCmd finds no driver
//   clock real         the watchdog test's sleeps take real time
//   job KIND           on a pseudo-terminal: a foreground or background job of a
//                      launcher that stays, as a shell does, or the session's leader;
//                      shell-background: a foreground job that the launcher, once it
//                      stops, lets go on in the background with the terminal set its
//                      own way (see RunTool.h)
//   tostop             the terminal stops background writers
//   errors terminal    standard error is the terminal too (jobs)
//   wrapper            the run is started by sh -c, which leads the job
//   gap MS             the watchdog's longest time without a retrigger, as the
//                      board saw it, is at most MS
//   armed MIN MAX      the watchdog stayed armed from MIN to MAX milliseconds
//   output terminal|full-pipe MS
//                      standard output is the terminal, or a pipe filled before
//                      the run and read from MS milliseconds after its start
//   at TEXT            the next step waits until the output shows TEXT,
//   after MS           and MS milliseconds after that (or after the step before);
//   type TEXT          a step: TEXT typed (^S is Ctrl-S, \n a line end), or added
//                      to standard input, which then ends;
//   send SIGNAL        a step: the signal (TERM, SEGV, ...) sent to the program;
//   hangup             a step: the terminal hangs up;
//   shell COMMAND      a step: COMMAND run by sh in the run's folder
//   timeout MS         the run is killed after MS (default 60000)
//   exit N|SIGNAL|stopped
//                      the exit status (default 0), the signal that ends it, or
//                      a job that stops (its launcher then ends it)
//   unread N           bytes typed at the terminal that no one read (jobs; default 0)
//   in: out: out-begins: err: err-begins: trace: board:
//                      a block of |lines, each taken whole after the bar, with a
//                      line end: standard input, standard output and standard
//                      error (or how they begin; error by default empty), the
//                      trace, inline JSON. Output or trace without a block is not
//                      compared. A line ending in \c has no line end (as echo's);
//                      |{title} stands for the title line, {version} for the version.
// {vemicmd} in arguments and steps is the built VemiCmd, with the run's folder's
// lock file (vemid.pid), as every run of VemiCmd has; {vemid} the built vemid with
// that file as its pidfile. In traces,
// the process that a line names is [pid], whatever its number, and a disarm's
// milliseconds are left out; in documents, the time of the reading is {time_t}
// and {asctime} (MachineOutputTest checks its values). Cases that wait
// in real time (real clock, terminals, steps that wait) run once, not again under
// the sanitizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <optional>
#include <regex>
#include <sstream>

#include <signal.h>

#include "RunTool.h"

namespace {

const std::string kVersion = std::string(VEMI_TITLE).substr(std::string(VEMI_TITLE).rfind(' ') + 1);

struct Case {
    std::string name, where;
    std::vector<std::pair<bool, std::vector<std::string>>> runs; // vemisim?, arguments
    RunOptions options;
    std::optional<std::string> out, trace;
    bool outBegins = false, errBegins = false; // only how they begin
    std::string err;
    int exit = 0, signal = 0, unread = 0;
    bool stopped = false;
    bool waits = false; // takes real time
    int maxGapMs = 0;   // the trace's longest gap between retriggers, at most
    int armedMinMs = 0, armedMaxMs = 0; // how long the watchdog stayed armed, as the board saw it
    Step step;          // the next step, as its `at` and `after` lines build it
};

int SignalNumber(const std::string& name)
{
    static const std::pair<const char*, int> names[] = {
        {"HUP", SIGHUP}, {"INT", SIGINT}, {"QUIT", SIGQUIT}, {"ABRT", SIGABRT}, {"KILL", SIGKILL},
        {"SEGV", SIGSEGV}, {"PIPE", SIGPIPE}, {"ALRM", SIGALRM}, {"TERM", SIGTERM}, {"USR1", SIGUSR1},
        {"USR2", SIGUSR2}, {"CONT", SIGCONT}, {"STOP", SIGSTOP}, {"TSTP", SIGTSTP}, {"RTMIN", SIGRTMIN}};
    for (const auto& [n, sig] : names)
        if (name == n)
            return sig;
    ADD_FAILURE() << "unknown signal " << name;
    return 0;
}

// The run's folder holds the lock on the watchdog of the case's machine.
std::string Substitute(std::string text)
{
    for (size_t at; (at = text.find("{vemicmd}")) != std::string::npos;)
        text.replace(at, 9, VemiCmdPath() + " --lock-file=vemid.pid");
    for (size_t at; (at = text.find("{vemid}")) != std::string::npos;)
        text.replace(at, 7, VemidPath() + " -I vemid.pid");
    return text;
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> std::quoted(word, '\'');)
        words.push_back(word);
    return words;
}

void ReadCases(const std::string& path, const std::string& file, std::vector<Case>* cases)
{
    std::ifstream in(path);
    std::string line, *block = nullptr;
    for (int n = 1; std::getline(in, line); n++) {
        if (block != nullptr && !line.empty() && line[0] == '|') {
            for (size_t at; (at = line.find("{version}")) != std::string::npos;)
                line.replace(at, 9, kVersion);
            bool open = line.size() >= 2 && line.compare(line.size() - 2, 2, "\\c") == 0;
            *block += line == "|{title}" ? kTitle : line.substr(1, line.size() - 1 - 2 * open) + (open ? "" : "\n");
            continue;
        }
        block = nullptr;
        std::string key = line.substr(0, line.find(' ')), value = line.substr(std::min(line.size(), key.size() + 1));
        if (key == "case") {
            cases->emplace_back();
            cases->back().name = file + "_" + value;
            cases->back().where = path + ":" + std::to_string(n);
            continue;
        }
        if (key.empty() || key[0] == '#' || cases->empty())
            continue;
        Case& c = cases->back();
        Step& step = c.step;
        if (key == "run" || key == "sim") c.runs.push_back({key == "sim", Words(Substitute(value))});
        else if (key == "board") (value[0] == '{' ? c.options.boardJson : c.options.board) = value;
        else if (key == "driver") c.options.simulated = false;
        else if (key == "clock") c.options.fastClock = false, c.waits = true;
        else if (key == "job") {
            c.waits = true;
            c.options.job = value == "background" ? Job::kBackground : value == "leader" ? Job::kLeader
                          : value == "shell-background" ? Job::kShellBackground : Job::kForeground;
        } else if (key == "tostop") c.options.tostop = true;
        else if (key == "errors" && value == "terminal") c.options.errToTerminal = true;
        else if (key == "wrapper") c.options.wrapped = true;
        else if (key == "gap") c.maxGapMs = atoi(value.c_str());
        else if (key == "armed") sscanf(value.c_str(), "%d %d", &c.armedMinMs, &c.armedMaxMs);
        else if (key == "output" && value == "terminal") c.options.output = Output::kTerminal;
        else if (key == "output" && value.rfind("full-pipe ", 0) == 0) {
            c.options.output = Output::kFullPipe;
            c.options.readAfterMs = atoi(value.c_str() + 10);
            c.waits = true;
        } else if (key == "at") step.when = value;
        else if (key == "after") step.afterMs = atoi(value.c_str()), c.waits = true;
        else if (key == "type" || key == "send" || key == "hangup" || key == "shell") {
            step.action = key == "type" ? Step::kType : key == "send" ? Step::kSignal
                        : key == "hangup" ? Step::kHangup : Step::kShell;
            step.text = Substitute(value);
            step.signal = key == "send" ? SignalNumber(value) : 0;
            c.options.steps.push_back(step);
            step = Step();
        } else if (key == "timeout") c.options.timeoutMs = atoi(value.c_str());
        else if (key == "exit" && value == "stopped") c.stopped = true;
        else if (key == "exit" && isalpha((unsigned char)value[0])) c.signal = SignalNumber(value);
        else if (key == "exit") c.exit = (int)strtol(value.c_str(), nullptr, 0);
        else if (key == "unread") c.unread = atoi(value.c_str());
        else if (key == "in:") block = &c.options.input;
        else if (key == "out:" || key == "out-begins:") block = &c.out.emplace(), c.outBegins = key != "out:";
        else if (key == "err:" || key == "err-begins:") block = &c.err, c.errBegins = key != "err:";
        else if (key == "trace:") block = &c.trace.emplace();
        else if (key == "board:") block = &c.options.boardJson;
        else ADD_FAILURE() << path << ":" << n << ": unknown line: " << line;
    }
}

// The case files CMake lists, separated by bars.
std::vector<Case> LoadCases()
{
    std::vector<Case> cases;
    std::istringstream files(VEMI_TEST_CASES);
    for (std::string path; std::getline(files, path, '|');) {
        std::string name = path.substr(path.rfind('/') + 1);
        ReadCases(path, name.substr(0, name.size() - 6), &cases);
    }
    return cases;
}

// Each line end as $ and each tab as ^I, so that a failing comparison shows blanks,
// tabs and a missing last line end in GoogleTest's line diff.
std::string Visible(const std::string& text)
{
    std::string shown;
    for (char ch : text)
        shown += ch == '\n' ? "$\n" : ch == '\t' ? "^I" : std::string(1, ch);
    return shown;
}

// A failing case names its place in the case file.
void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.where;
}

class EndToEnd : public testing::TestWithParam<Case> {};

// Trace lines name their process once several share the board; the number varies,
// and so do the milliseconds a disarm reports.
std::string SamePids(const std::string& trace)
{
    static const std::regex pid("^\\[[0-9]+\\] ", std::regex::multiline);
    static const std::regex ms(" \\(armed [0-9]+ ms, longest gap [0-9]+ ms\\)$", std::regex::multiline);
    return std::regex_replace(std::regex_replace(trace, pid, "[pid] "), ms, "");
}

// A document's local_time changes from run to run.
std::string SameTime(const std::string& out)
{
    static const std::regex seconds("(\"time_t\": ?)[0-9]+"), text("(\"asctime\": ?\")[^\"]*\"");
    return std::regex_replace(std::regex_replace(out, seconds, "$1{time_t}"), text, "$1{asctime}\"");
}

TEST_P(EndToEnd, Case)
{
    const Case& c = GetParam();
    if (c.waits && WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    for (const auto& [sim, args] : c.runs) {
        RunResult r = sim ? RunVemisim(args, c.options) : RunVemiCmd(args, c.options);
        r.out = SameTime(r.out);
        std::string run = c.where + (sim ? ": vemisim" : ": VemiCmd");
        for (const std::string& a : args)
            run += " '" + a + "'";
        if (c.out) {
            EXPECT_EQ(Visible(*c.out), Visible(c.outBegins ? r.out.substr(0, c.out->size()) : r.out)) << run;
        }
        EXPECT_EQ(Visible(c.err), Visible(c.errBegins ? r.err.substr(0, c.err.size()) : r.err)) << run;
        std::smatch ms;
        bool timed = std::regex_search(r.trace, ms, std::regex("\\(armed ([0-9]+) ms, longest gap ([0-9]+) ms\\)"));
        if (c.trace) {
            // The figures the comparison leaves out tell a late retrigger from a wrong one.
            EXPECT_EQ(Visible(*c.trace), Visible(SamePids(r.trace))) << run << (timed ? " " + ms.str(0) : "");
        }
        if (c.maxGapMs != 0 || c.armedMaxMs != 0) {
            ASSERT_TRUE(timed) << run << ": the watchdog was never disarmed\n" << r.trace;
        }
        if (c.maxGapMs != 0) {
            EXPECT_LE(std::stoi(ms[2]), c.maxGapMs) << run << ": retriggers too far apart";
        }
        if (c.armedMaxMs != 0) {
            EXPECT_GE(std::stoi(ms[1]), c.armedMinMs) << run;
            EXPECT_LE(std::stoi(ms[1]), c.armedMaxMs) << run;
        }
        EXPECT_EQ(r.stopped, c.stopped) << run;
        EXPECT_EQ(r.signal, c.signal) << run;
        EXPECT_EQ(r.exitStatus, c.signal != 0 || c.stopped ? -1 : c.exit) << run;
        EXPECT_TRUE(r.acted) << run << ": a step was not reached";
        if (c.options.job != Job::kNoTerminal && c.options.job != Job::kLeader) {
            EXPECT_TRUE(r.terminalSane) << run << ": the terminal's modes were not put back";
            EXPECT_EQ(r.unreadInput, c.unread) << run;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, EndToEnd, testing::ValuesIn(LoadCases()),
                         [](const testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!isalnum((unsigned char)ch))
                                     ch = '_';
                             return name;
                         });

} // namespace
