// vemid under the simulated board, with -t 3 -s 1 (a restart 3 s after the last
// feed), in real time: each way it feeds, stops, refuses and fails, and the UPS
// file NUT reads. What a case says of the trace: how many restarts the board
// recorded, and lines it holds or lacks.
#include <gtest/gtest.h>

#include <signal.h>

#include <regex>

#include "RunTool.h"

namespace {

using Lines = std::vector<std::string>;
using Files = std::map<std::string, std::string>;
struct Expect {
    int exit;              // vemisim's: 124 when the board restarted
    int restarts;
    Lines traceHas, traceLacks, errHas, out;
    Files files;           // a file's content holds this text; "": the file is gone
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
    args.push_back("--");
    for (const std::string& a : c.command)
        args.push_back(Replace(a));
    RunResult r = RunVemisim(args, o);
    EXPECT_TRUE(r.acted) << "a step was not reached";
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
        else
            EXPECT_TRUE(found != r.files.end() && found->second.find(line) != std::string::npos)
                << name << ": " << (found == r.files.end() ? "missing" : found->second);
    }
}

const char kBusyStart[] = R"({"faults": [{"group": "0x6000", "status": "0x708"}]})";
const char kBusyFeeds[] = R"({"faults": [{"group": "0x6000", "offset": 6, "sequence": [0, "0x708", "0x708", 0]}]})";
const char kDisarmFailsOnce[] = R"({"faults": [{"group": "0x6000", "offset": 0, "sequence": [0, "0x708", 0]}]})";
const char kStatusLost[] = R"({"ups": {"timeline": [{"at": 0, "status": "0xC7"}, {"at": 2000, "status": "0x25"}]}})";

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
    {"ADisarmThatFailsKeepsTheFeedsGoing", kDisarmFailsOnce, {"/bin/sh", "-c", kExecVemid},
     {After(1500, Step::kSignal, "", SIGTERM), After(2500, Step::kSignal, "", SIGTERM)},
     {0, 0, {"0x6000/0x0 in=00 out=0 status=0x708", "event watchdog disarmed", "at most 1 s without one"}, {},
      {"Disarming failed: Device Busy: the watchdog stays armed and fed"}}},
    {"ForARebootTheWatchdogStaysArmedForTheShutdownTime", "", {"/bin/sh", "-c", kExecVemid + " -x 2"},
     {After(1500, Step::kSignal, "", SIGUSR1)},
     {124, 1, {"0x6000/0x0 in=02", "event restart: watchdog left armed (2 s)"}, {}, {"stopping for a reboot"}}},
    {"PoweringOffOnBatteryDisarms", "", {"/bin/sh", "-c", kExecVemid + " -x 2 -P killpower"},
     {After(1000, Step::kShell, "touch killpower"), After(500, Step::kSignal, "", SIGUSR1)},
     {0, 0, {"0x6000/0x0 in=00"}, {"0x6000/0x0 in=02"}, {"(powering off on battery)"}}},
    {"AFailingCheckStopsTheFeeds", "", {"/bin/sh", "-c", kExecVemid + " -e false"}, {},
     {124, 1, {"event restart: watchdog expired after 3 s"}, {"0x6000/0x6"}, {"health check failed (exit 1)"}}},
    {"AHangingCheckIsKilledWithItsGroup", "",
     {"/bin/sh", "-c", "exec {vemid} -d -t 4 -s 1 -T 1 -e '(sleep 1.5; touch late) & sleep 30'"}, {},
     {124, 1, {"event restart: watchdog expired after 4 s"}, {"0x6000/0x6"}, {"timed out after 1 s"}, {},
      {{"late", ""}}}},
    {"ABusyDeviceAtTheStartIsNeverArmed", kBusyStart, {"/bin/sh", "-c", kExecVemid}, {},
     {69, 0, {"0x6000/0x4 in=01 out=0 status=0x708"}, {"status=0x0"}, {"for 30 s: not started"}}, true},
    {"BusyFeedsAreAskedAgain", kBusyFeeds, {"/bin/sh", "-c", kExecVemid},
     {After(5000, Step::kSignal, "", SIGTERM)},
     {0, 0, {"0x6000/0x6 in=- out=0 status=0x708", "at most 1 s without one"}, {},
      {"Feeding the watchdog failed: Device Busy (1 in a row)", "feeding again after 2 failed tries"}}},
    {"AFullPipeHoldsUpNoFeed", kBusyFeeds, {"/bin/sh", "-c", kExecVemid + " 2>&1"},
     {After(6000, Step::kSignal, "", SIGTERM)},
     {0, 0, {"0x6000/0x6 in=- out=0 status=0x708", "event watchdog disarmed", "at most 1 s without one"}},
     false, Output::kFullPipe},
    {"DetachedItKeepsToTheFilesNamedWhereItStarted", "",
     {"/bin/sh", "-c", "{vemid} -t 3 -s 1 -u board.dev -p 1; echo started: $?; "
                       "grep -q ups.status board.dev && echo file ready; cp board.dev seen; kill $(cat vemid.pid)"},
     {},
     {0, 0, {"event watchdog disarmed"}, {}, {}, {"started: 0\nfile ready"}, // NUT's driver and a stop can follow at once
      {{"seen", "ups.status: \"OL CHRG\""}, {"board.dev", ""}, {"vemid.pid", ""}}}},
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
      After(6000, Step::kShell, "cp board.dev low"), After(500, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {"UPS on battery (60%)", "UPS on battery, low (20%)"}, {},
      {{"online", "ups.status: \"OL CHRG\"\nups.alarm: \"\"\nbattery.charge: 90\n"},
       {"battery", "ups.status: \"OB DISCHRG\"\nups.alarm: \"\"\nbattery.charge: 60\n"},
       {"low", "ups.status: \"OB DISCHRG LB\"\nups.alarm: \"\"\nbattery.charge: 20\n"}, {"board.dev", ""},
       {"kept", "kept"}}}},
    {"AnUnknownUpsStatusNeverClaimsBatteryAndGoesAfterThreeReads", kStatusLost,
     {"/bin/sh", "-c", kExecVemid + " -u board.dev -p 1"},
     {After(1500, Step::kShell, "cp board.dev before"), After(1500, Step::kShell, "cp board.dev standing"),
      After(2500, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {"UPS state unknown for 3 reads: /", "/board.dev removed"}, {},
      {{"before", "ups.status: \"OL CHRG\""}, {"standing", "ups.status: \"OL CHRG\""}}}},
    {"ADisabledUpsIsLinePowerWithoutBackup", R"({"ups": {"status": "0xA0"}})",
     {"/bin/sh", "-c", kExecVemid + " -u board.dev -p 1"},
     {After(1500, Step::kShell, "cp board.dev seen"), After(100, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {"UPS disabled"}, {},
      {{"seen", "ups.status: \"OL\"\nups.alarm: \"UPS disabled: no battery backup\"\nbattery.charge: \"\"\n"}}}},
    {"DeviceTextCannotEndAValueOrStartALine", "odd-names", {"/bin/sh", "-c", kExecVemid + " -n -u board.dev -p 1"},
     {After(500, Step::kShell, "cp board.dev seen"), After(100, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {}, {}, {{"seen", "\nups.mfr: \"A??\\\"\\\\?" "?(\"\nups.model: \"A??\\\"\\\\?" "?( G3\"\n"}}}},
    {"ABoardWithoutUpsGetsNoFile", "no-ups", {"/bin/sh", "-c", kExecVemid + " -u board.dev -p 1"},
     {After(1500, Step::kSignal, "", SIGTERM)},
     {0, 0, {}, {}, {"the board has no UPS"}, {}, {{"board.dev", ""}}}},
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
