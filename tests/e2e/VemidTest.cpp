// vemid under the simulated board, with -t 3 -s 1 (a restart 3 s after the last
// feed), in real time: what needs real processes (signals, the check helper, the
// pidfile, detaching, the files NUT and node_exporter read). Its decisions are
// tested on a virtual clock (KeeperTest). What a case says of the trace: how many
// restarts the board recorded, and lines it holds or lacks.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <regex>

#include "RunTool.h"

namespace {

using Lines = std::vector<std::string>;
using Files = std::vector<std::pair<std::string, std::string>>; // a file may be named more than once
struct Expect {
    int exit;              // vemisim's: 124 when the board restarted
    int restarts;
    Lines traceHas, traceLacks, errHas, out;
    Files files;           // a file's content holds this text ("regex:..." matches it); "": the file is gone
    Expect(int exit = 0, int restarts = 0, Lines traceHas = {}, Lines traceLacks = {}, Lines errHas = {},
           Lines out = {}, Files files = {})
        : exit(exit), restarts(restarts), traceHas(traceHas), traceLacks(traceLacks), errHas(errHas), out(out),
          files(files) {}
};

struct Case {
    const char* name;
    std::string board;                     // a library board, or inline JSON
    std::vector<std::string> command;      // after --, {vemid} {vemicmd} replaced
    std::vector<Step> steps;
    Expect expect;
    bool fastClock = false;
    Output output = Output::kCapture; // kFullPipe: read only after 8 s
    int maxGapMs = 0;                  // the longest time between two feeds, as the board saw it
    int maxRunMs = 0;                  // the whole run, as the test saw it
    Lines errLacks = {};
    std::vector<std::pair<std::string, int>> traceCounts = {}; // lines holding this, how many
    int timeoutMs = 40000;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

Step After(int ms, Step::Action action, const std::string& text = "", int sig = 0)
{
    Step s;
    s.afterMs = ms;
    s.action = action;
    s.text = text;
    s.signal = sig;
    return s;
}

std::string Replace(std::string text)
{
    for (auto [from, to] : {std::pair<std::string, std::string>{"{vemid}", VemidPath() + " -I vemid.pid"},
                            {"{vemicmd}", VemiCmdPath() + " --lock-file=vemid.pid"}})
        for (size_t at; (at = text.find(from)) != std::string::npos;)
            text.replace(at, from.size(), to);
    return text;
}

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        n++;
    return n;
}

const std::string kVemid = "{vemid} -d -t 3 -s 1";
const std::string kExecVemid = "exec " + kVemid; // the signals sent to vemisim reach vemid alone

class Vemid : public testing::TestWithParam<Case> {};

TEST_P(Vemid, Case)
{
    const Case& c = GetParam();
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    RunOptions o;
    (c.board[0] == '{' ? o.boardJson : o.board) = c.board;
    o.timeoutMs = 40000;
    for (Step s : c.steps) {
        s.text = Replace(s.text);
        o.steps.push_back(s);
    }
    for (const auto& [name, line] : c.expect.files)
        o.collect.push_back(name);
    std::vector<std::string> args = {"--trace", "trace"};
    if (!o.boardJson.empty())
        args.insert(args.end(), {"--board", "board.json"});
    else if (!c.board.empty())
        args.insert(args.end(), {"--board", c.board});
    if (c.fastClock)
        args.push_back("--fast-clock");
    o.output = c.output;
    o.readAfterMs = 8000;
    o.timeoutMs = c.timeoutMs;
    args.push_back("--");
    for (const std::string& a : c.command)
        args.push_back(Replace(a));
    auto started = std::chrono::steady_clock::now();
    RunResult r = RunVemisim(args, o);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(r.acted) << "a step was not reached";
    if (c.maxRunMs != 0) {
        EXPECT_LE(took, c.maxRunMs) << r.err;
    }
    if (c.maxGapMs != 0) {
        std::smatch gap;
        ASSERT_TRUE(std::regex_search(r.trace, gap, std::regex("longest gap ([0-9]+) ms"))) << r.trace;
        EXPECT_LE(std::stoi(gap[1]), c.maxGapMs) << r.trace;
    }
    for (const std::string& line : c.errLacks)
        EXPECT_EQ(r.err.find(line), std::string::npos) << line << "\n" << r.err;
    for (const auto& [line, n] : c.traceCounts)
        EXPECT_EQ(Count(r.trace, line), n) << line << "\n" << r.trace;
    EXPECT_EQ(r.exitStatus, c.expect.exit) << r.err;
    EXPECT_EQ(Count(r.trace, "event restart"), c.expect.restarts) << r.trace;
    for (const std::string& line : c.expect.traceHas)
        EXPECT_NE(r.trace.find(line), std::string::npos) << line;
    for (const std::string& line : c.expect.traceLacks)
        EXPECT_EQ(r.trace.find(line), std::string::npos) << line;
    for (const std::string& line : c.expect.errHas)
        EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
    for (const std::string& line : c.expect.out)
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    for (const auto& [name, line] : c.expect.files) {
        auto found = r.files.find(name);
        if (line.empty())
            EXPECT_TRUE(found == r.files.end()) << name << " is still there";
        else if (line.rfind("regex:", 0) == 0)
            EXPECT_TRUE(found != r.files.end() && std::regex_search(found->second, std::regex(line.substr(6))))
                << name << ": " << (found == r.files.end() ? "missing" : found->second);
        else
            EXPECT_TRUE(found != r.files.end() && found->second.find(line) != std::string::npos)
                << name << ": " << (found == r.files.end() ? "missing" : found->second);
    }
}

const char kBusyStart[] = R"({"faults": [{"group": "0x6000", "status": "0x708"}]})";
const char kBusyFeeds[] = R"({"faults": [{"group": "0x6000", "offset": 6, "sequence": [0, "0x708", "0x708", 0]}]})";
const char kArmRefused[] = R"({"faults": [{"group": "0x6000", "offset": 0, "status": "0x703"}]})";
const char kSensorsFail[] = R"({"faults": [{"group": "0x2000", "status": "0x708"}]})";

const std::string kStopped = "ups.status: \"\"\nups.alarm: \"vemid stopped: no UPS state\"";

const Case kCases[] = {
    {"AHealthyRunRecordsNoRestart", "", {"/bin/sh", "-c", kExecVemid + " -m metrics.prom"},
     {After(10000, Step::kSignal, "", SIGTERM)},
     {0, 0, {"0x6000/0x0 in=03", "event watchdog disarmed after", "at most 1 s without one"}, {}, {},
      {}, {{"vemid.pid", ""}, {"metrics.prom", "vemid_watchdog_armed 0"}}}},
    {"KillNineRestartsTheBoardOnce", "", {"/bin/sh", "-c", kExecVemid},
     {After(2000, Step::kShell, "kill -KILL $(cat vemid.pid)")}, {124, 1}},
    {"AHangupIsIgnored", "", {"/bin/sh", "-c", kExecVemid},
     {After(1500, Step::kSignal, "", SIGHUP), After(2500, Step::kSignal, "", SIGTERM)},
     {0, 0, {"event watchdog disarmed", "at most 1 s without one"}}},
    {"AFaultSignalSentByAnotherProcessIsAStop", "", {"/bin/sh", "-c", kExecVemid},
     {After(1500, Step::kSignal, "", SIGSEGV)}, {0, 0, {"0x6000/0x0 in=00", "event watchdog disarmed"}}},
    {"AnAlarmSentByAnotherProcessIsAStop", "", {"/bin/sh", "-c", kExecVemid},
     {After(1500, Step::kSignal, "", SIGALRM)}, {0, 0, {"0x6000/0x0 in=00", "event watchdog disarmed"}}},
    {"AHangingCheckIsKilledWithItsGroup", "",
     {"/bin/sh", "-c", "exec {vemid} -d -t 4 -s 1 -T 1 -e 'test -e hang || exit 0; (sleep 1.5; touch late) & sleep 30'"},
     {After(200, Step::kShell, "touch hang")},
     {124, 1, {"event restart: watchdog expired after 4 s"}, {}, {"timed out after 1 s"}, {},
      {{"late", ""}}}},
    {"WhatACheckLeavesInItsGroupEndsWithIt", "",
     {"/bin/sh", "-c", kExecVemid + " -e '(sleep 1; touch late) & exit 0'"},
     {After(3000, Step::kSignal, "", SIGTERM)}, {0, 0, {"event watchdog disarmed"}, {}, {}, {}, {{"late", ""}}}},
    // The check's helper runs each check at normal priority, whatever vemid's; one
    // that is killed is started again, and the feeds go on.
    {"TheChecksHelperRunsThemAtNormalPriorityAndComesBack", "",
     {"/bin/sh", "-c", "{vemid} -d -t 3 -s 1 -e 'echo $PPID >helper.pid; (nice; chrt -p $$) >seen.$$; mv seen.$$ seen' & "
                       "sleep 2.5; kill $(cat helper.pid); cp helper.pid first; sleep 2.5; kill $!; wait; "
                       "cmp -s helper.pid first || echo another helper; cat seen"},
     {}, {0, 0, {"event watchdog disarmed", "at most 1 s without one"}, {}, {"the health check's helper has ended"},
      {"another helper\n0\n", "scheduling policy: SCHED_OTHER\n"}}},
    {"FeedsComeOnTimeBesideASlowCheck", "", {"/bin/sh", "-c", "exec {vemid} -d -t 10 -s 2 -e 'sleep 1'"},
     {After(9000, Step::kSignal, "", SIGTERM)},
     {0, 0, {"event watchdog disarmed"}}, false, Output::kCapture, 2300, 0, {"timed out"}},
    // Feeds every second beside a 2 s check; a check in the loop would part them by 2 s.
    {"ACheckIsLimitedByItsOwnTimeNotTheFeeds", "", {"/bin/sh", "-c", "exec {vemid} -d -t 10 -s 1 -T 4 -e 'sleep 2'"},
     {After(8000, Step::kSignal, "", SIGTERM)},
     {0, 0, {"0x6000/0x6", "event watchdog disarmed"}}, false, Output::kCapture, 1600, 0,
     {"timed out", "health check failed"}},
    {"AHungCheckHoldsUpNeitherTheUpsNorAStop", "ups-power-cut",
     {"/bin/sh", "-c", "exec {vemid} -d -t 30 -s 5 -T 20 -p 1 -u board.dev -e 'test -e slow && sleep 12 || true'"},
     {After(300, Step::kShell, "touch slow"), After(5200, Step::kShell, "cp board.dev battery"),
      After(5000, Step::kShell, "cp board.dev low"), After(1000, Step::kSignal, "", SIGTERM)},
     {0, 0, {"event watchdog disarmed"}, {}, {}, {},
      {{"battery", "ups.status: \"OB DISCHRG\""}, {"low", "ups.status: \"OB DISCHRG LB\""}}},
     false, Output::kCapture, 0, 13500},
    // Stopped 300 ms after a feed for 3 s: the feed it owes comes as it continues.
    {"AStopDelaysOnlyTheFeedItHeldUp", "", {"/bin/sh", "-c", "exec {vemid} -d -t 10 -s 2"},
     {After(2300, Step::kShell, "kill -STOP $(cat vemid.pid)"), After(3000, Step::kShell, "kill -CONT $(cat vemid.pid)"),
      After(2000, Step::kSignal, "", SIGTERM)},
     {0, 0, {"event watchdog disarmed"}}, false, Output::kCapture, 3700},
    {"ACheckThatCannotRunRefusesTheStart", "", {"/bin/sh", "-c", kExecVemid + " -u board.dev -e no-such-check"}, {},
     {78, 0, {}, {"0x6000/0x0"}, {"the health check cannot run (exit 127: not found): not started"}, {},
      {{"board.dev", "ups.status: \"\"\nups.alarm: \"vemid did not start: no UPS state\""}, {"vemid.pid", ""}}}},
    {"DetachedTheCheckRunsWhereItStarted", "",
     {"/bin/sh", "-c", "printf '#!/bin/sh\\nexit 0\\n' >check; chmod +x check; {vemid} -t 3 -s 1 -e ./check; "
                       "sleep 5; kill $(cat vemid.pid); sleep 1"},
     {}, {0, 0, {"event watchdog disarmed", "at most 1 s without one"}}},
    {"AStopDuringABusyStartEndsItAtOnce", kBusyStart, {"/bin/sh", "-c", kExecVemid + " -u board.dev"},
     {After(2000, Step::kSignal, "", SIGTERM)},
     {-1, 0, {}, {"status=0x0"}, {"and a stop came: not started"}, {}, // ended by the signal
      {{"board.dev", "vemid did not start"}}}, false, Output::kCapture, 0, 5000},
    {"TheCheckIsInTheMetrics", "", {"/bin/sh", "-c", kExecVemid + " -m metrics.prom -e 'sleep 0.2'"},
     {After(2500, Step::kShell, "cp metrics.prom seen.prom"), After(100, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {}, {},
      {{"seen.prom", "vemid_health_check_success 1\n"}, {"seen.prom", "vemid_health_check_duration_seconds 0.2"}}}},
    {"ABoardThatFailsItsReportsSaysSoInTheMetrics", kSensorsFail,
     {"/bin/sh", "-c", kExecVemid + " -u board.dev -m metrics.prom"},
     {After(1500, Step::kShell, "cp metrics.prom seen.prom; cp board.dev seen.dev"), After(100, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {}, {},
      {{"seen.prom", "vemi_collector_success{collector=\"sensors\"} 0\n"}, {"seen.prom", "vemi_success 0\n"},
       {"seen.dev", "ups.status: \"OL CHRG\""}}}},
    {"TheCheckWritesToTheLog", "", {"/bin/sh", "-c", kExecVemid + " -e 'echo all well; echo >&2 and here'"},
     {After(1500, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {"vemid: health check: all well\n", "vemid: health check: and here\n"}}},
    // The checks run as the user named (root's test: nobody), never as vemid.
    {"TheChecksRunAsTheUserNamed", "",
     {"/bin/sh", "-c", "chmod 755 .; u=$(id -u); [ $u != 0 ] || u=$(id -u nobody); " + kExecVemid +
                           " -U $u -e \"[ \\$(id -u) = $u ] && echo as user $u\""},
     {After(1500, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {"vemid: health check: as user "}}},
    {"AFullPipeHoldsUpNoFeed", kBusyFeeds, {"/bin/sh", "-c", kExecVemid + " 2>&1"},
     {After(6000, Step::kSignal, "", SIGTERM)},
     {0, 0, {"0x6000/0x6 in=- out=0 status=0x708", "event watchdog disarmed", "at most 1 s without one"}},
     false, Output::kFullPipe},
    {"DetachedItKeepsToTheFilesNamedWhereItStarted", "",
     {"/bin/sh", "-c", "{vemid} -t 3 -s 1 -u board.dev -p 1; echo started: $?; "
                       "grep -q ups.status board.dev && echo file ready; cp board.dev seen; kill $(cat vemid.pid); "
                       "sleep 1"},
     {},
     {0, 0, {"event watchdog disarmed"}, {}, {}, {"started: 0\nfile ready"}, // NUT's driver and a stop can follow at once
      {{"seen", "ups.status: \"OL CHRG\""}, {"board.dev", kStopped}, {"vemid.pid", ""}}}},
    {"ASecondInstanceIsRefused", "",
     {"/bin/sh", "-c", kVemid + " & sleep 1; " + kVemid + "; echo second: $?; kill $!; wait"}, {},
     {0, 0, {"event watchdog disarmed"}, {}, {"the watchdog is held: pid "}, {"second: 75"}}},
    {"AWatchdogTestInTheMeantimeKeepsItFromStarting", "",
     {"/bin/sh", "-c", "{vemicmd} /s /wdt >wdt.out & sleep 1; " + kVemid + " 2>vemid.err; echo vemid: $?; "
                       "grep -q \"held: pid $! has the lock\" vemid.err && echo test named; wait; "
                       "[ -s vemid.pid ] || echo named no one after"}, {},
     {0, 0, {"0x6000/0x0 in=05"}, {"0x6000/0x0 in=03"}, {}, {"vemid: 75\ntest named\nnamed no one after"}}},
    {"TheWatchdogTestIsRefusedWhileVemidRuns", "",
     {"/bin/sh", "-c", kVemid + " & sleep 1; {vemicmd} /s /wdt; echo wdt: $?; kill $!; wait"}, {},
     {0, 0, {}, {"0x6000/0x0 in=05"}, {}, {"Watchdog held by vemid (lock on vemid.pid): not tested", "wdt: 75"}}},
    {"TheUpsFileFollowsAPowerCut", "ups-power-cut", {"/bin/sh", "-c", kExecVemid + " -u board.dev -p 1 -L 20"},
     {After(1500, Step::kShell, "cp board.dev online; ls -i board.dev >inode"),
      After(1000, Step::kShell, "ls -i board.dev | cmp -s - inode && echo kept >kept"), // written on a change only
      After(2000, Step::kShell, "cp board.dev battery"),
      After(6000, Step::kShell, "cp board.dev low; ls -l board.dev >modes"), After(500, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {"UPS on battery (60%)", "UPS on battery, low (20%)"}, {},
      {{"online", "ups.status: \"OL CHRG\"\nups.alarm: \"\"\nbattery.charge: 90\n"},
       {"battery", "ups.status: \"OB DISCHRG\"\nups.alarm: \"\"\nbattery.charge: 60\n"},
       {"low", "ups.status: \"OB DISCHRG LB\"\nups.alarm: \"\"\nbattery.charge: 20\n"}, {"board.dev", kStopped},
       {"kept", "kept"}, {"modes", "-rw-r--r--"}}}},
    {"ADisabledUpsIsLinePowerWithoutBackup", R"({"ups": {"status": "0xA0"}})",
     {"/bin/sh", "-c", kExecVemid + " -u board.dev -p 1"},
     {After(1500, Step::kShell, "cp board.dev seen"), After(100, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {"UPS disabled"}, {},
      {{"seen", "ups.status: \"OL ALARM\"\nups.alarm: \"UPS disabled: no battery backup\"\nbattery.charge: \"\"\n"}}}},
    {"DeviceTextCannotEndAValueOrStartALine", "odd-names", {"/bin/sh", "-c", kExecVemid + " -n -u board.dev -p 1"},
     {After(500, Step::kShell, "cp board.dev seen"), After(100, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {}, {}, {{"seen", "\nups.model: \"A??\\\"\\\\?" "?( G3\"\n"}}}},
    {"AStartReplacesWhatAnEarlierRunLeft", kArmRefused,
     {"/bin/sh", "-c", "printf 'ups.status: \"OB DISCHRG LB\"\\n' >board.dev; touch metrics.prom.vemid-AbC123; "
                       "echo keep >metrics.prom.other; echo theirs >board.dev.vemid-XyZ789; "
                       "chown 65534 board.dev.vemid-XyZ789 2>/dev/null || echo theirs >board.dev.vemid-XyZ789; "
                       "exec {vemid} -d -t 3 -s 1 -u board.dev -m metrics.prom"}, {},
     {70, 0, {}, {}, {"not started"}, {},
      {{"board.dev", "ups.status: \"\"\nups.alarm: \"vemid did not start: no UPS state\""},
       {"metrics.prom.vemid-AbC123", ""}, {"metrics.prom.other", "keep"}, {"board.dev.vemid-XyZ789", "theirs"}}}},
    // An unchanged state is not written again (the file keeps its time); NUT's
    // driver loses no file: one removed by hand is back at the next read; at the
    // stop the file stays and its spare goes.
    {"AUpsFileRemovedByHandIsMadeAgain", "", {"/bin/sh", "-c", "{vemid} -d -t 3 -s 1 -u board.dev -p 1 & sleep 1.5; "
                                              "stat -c '%i %y' board.dev >a; sleep 1.2; stat -c '%i %y' board.dev >b; cmp -s a b && echo kept; "
                                              "rm board.dev; sleep 1.5; cp board.dev seen; kill $!; wait; echo files: $(ls board.dev* | wc -l)"},
     {}, {0, 0, {}, {}, {}, {"kept\n", "files: 1\n"}, {{"seen", "ups.status: \"OL CHRG\""}, {"board.dev", kStopped}}}},
    {"ASymlinkedPidfileIsRefused", "", {"/bin/sh", "-c", "echo keep >victim; ln -s victim vemid.pid; " + kExecVemid}, {},
     {71, 0, {}, {"0x6000"}, {"vemid.pid: refused: a symbolic link"}, {}, {{"victim", "keep\n"}}}},
    {"AStartThatWaitsLeavesNoEarlierPid", kBusyStart, {"/bin/sh", "-c", "echo 99999 >vemid.pid; " + kExecVemid},
     {After(1500, Step::kShell, "cp vemid.pid during"), After(100, Step::kSignal, "", SIGTERM)},
     {-1, 0, {}, {}, {}, {}, {{"during", "regex:^$"}}}},
    {"TheFilesOfAnotherUserAreNeverReplaced", "",
     {"/bin/sh", "-c", "mkdir shared; chmod 1777 shared; echo theirs >shared/board.dev; echo theirs >shared/m.prom; "
                       "chown 65534 shared/board.dev shared/m.prom 2>/dev/null || exit 0; " +
                           kExecVemid + " -u shared/board.dev -m shared/m.prom"},
     {After(1500, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {}, {}, {{"shared/board.dev", "theirs"}, {"shared/m.prom", "theirs"}}}},
    {"AUpsFileThatIsASymlinkIsNeitherFollowedNorReplaced", "",
     {"/bin/sh", "-c", "echo keep >victim; ln -s victim board.dev; " + kExecVemid + " -u board.dev"},
     {After(1500, Step::kShell, "test -L board.dev && echo link >still"), After(100, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {"board.dev: cannot write: Operation not permitted"}, {},
      {{"victim", "keep\n"}, {"still", "link"}}}},
    // A cron job's file beside vemid's: counted and named while it is there, and
    // after it is gone; a link, a FIFO and a file without vemi_ series are none.
    {"AnotherProducerInTheFolderIsCountedAndNamed", "",
     {"/bin/sh", "-c", "mkfifo fifo.prom; ln -s other.prom link.prom; echo 'node_x 1' >smart.prom; " + kExecVemid +
                           " -m metrics.prom"},
     {After(1500, Step::kShell, "printf '# HELP vemi_success x\\nvemi_success 1\\n' >other.prom"),
      After(1500, Step::kShell, "cp metrics.prom seen; rm other.prom"),
      After(1500, Step::kShell, "cp metrics.prom gone"), After(100, Step::kSignal, "", SIGTERM)},
     {0, 0, {"event watchdog disarmed", "at most 1 s without one"}, {},
      {"metrics.prom: other.prom in its folder also writes vemi_ series",
       "metrics.prom: no other file in its folder writes vemi_ series now"}, {},
      {{"seen", "\nvemid_metrics_shadowing_files 1\n"}, {"gone", "\nvemid_metrics_shadowing_files 0\n"}}},
     false, Output::kCapture, 1300, 0, {"link.prom", "fifo.prom", "smart.prom"}},
    {"NeverArmedWithMinusN", "", {"/bin/sh", "-c", kExecVemid + " -n -u board.dev -m metrics.prom"},
     {After(1500, Step::kShell, "cp board.dev seen"), After(100, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {"0x6000"}, {}, {}, {{"seen", "ups.status"}, {"metrics.prom", "vemid_watchdog_armed 0"}}}},
};


INSTANTIATE_TEST_SUITE_P(, Vemid, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The metrics file holds what VemiCmd --prometheus /ver /sens /dalv writes, by the
// same reports and writer, and vemid's own.
TEST(VemidMetrics, AreVemiCmdsAndItsOwn)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    RunOptions o;
    o.collect = {"metrics.prom"};
    Step term = After(2500, Step::kSignal, "", SIGTERM);
    o.steps = {After(2200, Step::kShell, "cp metrics.prom running.prom")};
    o.collect.push_back("running.prom");
    o.steps.push_back(term);
    RunResult daemon = RunVemisim({"--", VemidPath(), "-d", "-t", "3", "-s", "1", "-I", "vemid.pid", "-m",
                                   "metrics.prom"}, o);
    RunResult tool = RunVemiCmd({"--prometheus", "/ver", "/sens", "/dalv"});
    ASSERT_EQ(daemon.exitStatus, 0) << daemon.err;
    const std::string& running = daemon.files["running.prom"];
    // The tool's families, but the last line, in the same order and the same words.
    std::string families = tool.out.substr(0, tool.out.rfind("# HELP vemi_success"));
    EXPECT_EQ(running.substr(0, families.size()), families);
    for (const char* own : {"vemid_watchdog_armed 1\n", "vemid_feed_failures_total 0\n",
                            "vemid_health_check_failures_total 0\n", "vemid_last_feed_timestamp_seconds 1"})
        EXPECT_NE(running.find(own), std::string::npos) << own;
    EXPECT_NE(running.find("vemid_feeds_total "), std::string::npos);
    EXPECT_EQ(running.substr(running.rfind('\n', running.size() - 2) + 1), "vemi_success 1\n");
}

} // namespace

// A syslogd that is restarted loses no later message: the log's socket is
// connected again when a send fails. A private socket stands in for syslogd's.
TEST(VemidLog, ASyslogRestartLosesNoLaterMessage)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    const std::string receive = "python3 -c 'import os, socket, sys\n"
                                "s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM); s.bind(sys.argv[1])\n"
                                "f = open(sys.argv[2], \"ab\")\n"
                                "while True: f.write(s.recv(4096) + b\"\\n\"); f.flush()' log";
    const std::string kBound = "while [ ! -S log ]; do sleep 0.05; done; "; // the receiver listens
    RunOptions o;
    o.collect = {"first.log", "second.log"};
    RunResult r = RunVemisim(
        {"--", "/bin/sh", "-c",
         receive + " first.log & first=$!; " + kBound + "VEMID_LOG_SOCKET=$PWD/log " + VemidPath() +
             " -d -t 3 -s 1 -I vemid.pid & vemid=$!; sleep 1; kill $first; wait $first; rm -f log; " + receive +
             " second.log & second=$!; " + kBound + "kill $vemid; wait $vemid; sleep 0.3; kill $second"},
        o);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.files["first.log"].find("]: watchdog armed for 3 s"), std::string::npos) << r.files["first.log"];
    EXPECT_NE(r.files["second.log"].find("]: stopped: the watchdog is disarmed"), std::string::npos)
        << r.files["second.log"];
}

// NUT's driver and node_exporter read the files while vemid rewrites them: a reader
// never finds one missing, empty or cut short.
TEST(VemidFiles, AReaderNeverFindsAFileMissingOrPartial)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    const std::string poll = "python3 -c 'import time\n"
                             "reads, bad, end = 0, [], time.time() + 7\n"
                             "while time.time() < end:\n"
                             "  for name, last in ((\"board.dev\", \"\\n\"), (\"metrics.prom\", \"vemi_success \")):\n"
                             "    try: text = open(name).read()\n"
                             "    except OSError as e: bad.append(name + \" missing\"); continue\n"
                             "    lines = text.split(\"\\n\")\n"
                             "    whole = text.endswith(\"\\n\") and (last == \"\\n\" and \"power_failures\" in text and len(text) == 512\n"
                             "        or last != \"\\n\" and lines[-2].startswith(last))\n"
                             "    reads += 1\n"
                             "    if not whole: bad.append(name + \" partial: \" + repr(text[-80:]))\n"
                             "print(\"reads\", reads, \"bad\", bad[:3])'";
    RunOptions o;
    RunResult r = RunVemisim({"--board", "ups-power-cut", "--", "/bin/sh", "-c",
                              VemidPath() + " -d -t 3 -s 1 -p 1 -I vemid.pid -u board.dev -m metrics.prom & "
                                            "sleep 0.5; " + poll + "; kill $!; wait"},
                             o);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("bad []"), std::string::npos) << r.out;
}

// A full file system: the UPS file is still replaced (its space was taken at the
// start), so NUT sees the outage and the low battery; the metrics file keeps its
// last whole content. In a file system of the test's own: root and unshare(1).
TEST(VemidFiles, AFullFileSystemHoldsUpNeitherTheUpsFileNorAWholeMetricsFile)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    if (system("unshare -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "no private mount namespace here (needs root and unshare)";
    RunOptions o;
    o.collect = {"battery", "low", "metrics.prom"};
    RunResult r = RunVemisim(
        {"--board", "ups-power-cut", "--", "unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
         "mkdir fs && mount -t tmpfs -o size=48k tmpfs fs || exit 77; " + VemidPath() +
             " -d -t 5 -s 1 -p 1 -I vemid.pid -u fs/board.dev -m fs/metrics.prom & sleep 1.5; "
             "dd if=/dev/zero of=fs/fill bs=1024 2>/dev/null; cp fs/metrics.prom metrics.prom; sleep 3; "
             "cp fs/board.dev battery; sleep 6; cp fs/board.dev low; cmp -s fs/metrics.prom metrics.prom || "
             "echo metrics changed; kill $!; wait"},
        o);
    if (r.exitStatus == 77)
        GTEST_SKIP() << "no tmpfs could be mounted here";
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.files["battery"].find("ups.status: \"OB DISCHRG\""), std::string::npos) << r.files["battery"];
    EXPECT_NE(r.files["low"].find("ups.status: \"OB DISCHRG LB\""), std::string::npos) << r.files["low"];
    EXPECT_NE(r.files["metrics.prom"].find("\nvemi_success 1\n"), std::string::npos);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("metrics.prom: cannot write: No space left on device"), std::string::npos) << r.err;
}

// A start on a full file system: the file an earlier run left is removed (its
// state is not current), and the file is made once there is room again.
TEST(VemidFiles, AStartOnAFullFileSystemLeavesNoEarlierStateAndMakesTheFileLater)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    if (system("unshare -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "no private mount namespace here (needs root and unshare)";
    RunOptions o;
    o.collect = {"during", "after"};
    RunResult r = RunVemisim(
        {"--", "unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
         "mkdir fs && mount -t tmpfs -o size=48k tmpfs fs || exit 77; printf 'ups.status: \"OB DISCHRG LB\"\n' "
         ">fs/board.dev; dd if=/dev/zero of=fs/fill bs=1024 2>/dev/null; " + VemidPath() +
             " -d -t 5 -s 1 -p 1 -I vemid.pid -u fs/board.dev & sleep 1.5; cat fs/board.dev >during 2>&1; "
             "rm fs/fill; sleep 1.5; cp fs/board.dev after; kill $!; wait"},
        o);
    if (r.exitStatus == 77)
        GTEST_SKIP() << "no tmpfs could be mounted here";
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.files["during"].find("No such file"), std::string::npos) << r.files["during"];
    EXPECT_NE(r.files["after"].find("ups.status: \"OL CHRG\""), std::string::npos) << r.files["after"];
    EXPECT_NE(r.err.find("fs/board.dev: removed: the state it held is not current"), std::string::npos) << r.err;
}

// A log socket whose reader never reads, filled already: vemid goes on feeding.
TEST(VemidLog, ALogThatTakesNothingHoldsUpNoFeed)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    const std::string deaf = "python3 -c 'import socket, sys, time\n"
                             "s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM); s.bind(sys.argv[1])\n"
                             "c = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM); c.connect(sys.argv[1])\n"
                             "c.setblocking(False)\n"
                             "try:\n  while True: c.send(b\"x\" * 100)\n"
                             "except BlockingIOError: open(\"full\", \"w\").close()\n"
                             "time.sleep(30)' log";
    RunOptions o;
    RunResult r = RunVemisim(
        {"--trace", "trace", "--", "/bin/sh", "-c",
         deaf + " & deaf=$!; while [ ! -e full ]; do sleep 0.05; done; VEMID_LOG_SOCKET=$PWD/log " + VemidPath() +
             " -d -t 3 -s 1 -I vemid.pid -e 'seq 20' 2>/dev/null & vemid=$!; sleep 5; kill $vemid; wait $vemid; "
             "kill $deaf"},
        o);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.trace.find("at most 1 s without one"), std::string::npos) << r.trace;
}

// A usage error names the option and what it takes, and starts nothing.
TEST(VemidOptions, AnOptionErrorNamesTheOption)
{
    const struct {
        std::vector<std::string> args;
        const char* said;
    } cases[] = {
        {{"-t", "1"}, "vemid: -t: seconds from 2 to 255 expected: 1\n"},
        {{"-s", "x"}, "vemid: -s: seconds from 1 to 255 expected: x\n"},
        {{"-T", "0"}, "vemid: -T: seconds from 1 to 255 expected: 0\n"},
        {{"-x", "256"}, "vemid: -x: seconds from 0 to 255 expected: 256\n"},
        {{"-L", "101"}, "vemid: -L: a percentage from 0 to 100 expected: 101\n"},
        {{"-p", "0"}, "vemid: -p: seconds from 1 to 3600 expected: 0\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--trace", "trace", "--", VemidPath(), "-d", "-I", "vemid.pid"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult r = RunVemisim(args);
        EXPECT_EQ(r.exitStatus, 64) << c.said;
        EXPECT_EQ(r.err.rfind(c.said, 0), 0u) << r.err;
        EXPECT_EQ(r.trace, "") << c.said;
    }
}

// -h is a question, not a mistake: the usage on standard output, exit 0, the
// device never opened.
TEST(VemidOptions, HelpIsTheUsage)
{
    RunResult r = RunVemisim({"--trace", "trace", "--", VemidPath(), "-h"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.rfind("usage: vemid [-dhn] ", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.trace, "");
}
