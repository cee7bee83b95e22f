// /wdt: arm, retrigger, disarm; and only a key press leaves the watchdog armed.
#include <gtest/gtest.h>

#include <signal.h>

#include "RunTool.h"

namespace {

const char kArmed[] =
    "Watchdog set to 5 sec\n"
    "Retrigger every 2 sec\n"
    "Retriggering...(please Wait)\n"
    "Press any key to abort retriggering(cause restart!)\n";
const char kCompleted[] = "Wdt was retrigger 5 times\nDisabling Wdt succeeded\n";
const char kArm[] = "0x6000/0x4 in=01 out=0 status=0x0 returned=0\n"
                    "0x6000/0x0 in=05 out=0 status=0x0 returned=0\n";
const char kKick[] = "0x6000/0x6 in=- out=0 status=0x0 returned=0\n";
const char kDisarm[] = "0x6000/0x0 in=00 out=0 status=0x0 returned=0\n";
// The board's clock shows that the program waited between retriggers.
const char kTenSeconds[] = "event watchdog disarmed after 10 s: 5 retriggers, at most 2 s without one\n";

std::string FullRun()
{
    std::string t = kArm;
    for (int i = 0; i < 5; i++)
        t += kKick;
    return t + kDisarm + kTenSeconds;
}

RunResult Wdt(const std::string& board, RunOptions o = {})
{
    o.boardJson = board;
    return RunVemiCmd({"/wdt"}, o);
}

TEST(Watchdog, AFullRunArmsRetriggersFiveTimesAndDisarmsTenSecondsLater)
{
    RunResult r = RunVemiCmd({"/wdt", "t:1", "/r:1", "-t:9"}); // arguments do not change the times
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed + kCompleted);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.trace, FullRun());

    RunOptions realTime;
    realTime.fastClock = false;
    r = RunVemiCmd({"/s", "/wdt"}, realTime);
    EXPECT_EQ(r.out, std::string(kArmed) + kCompleted);
    EXPECT_EQ(r.trace, FullRun());
}

TEST(Watchdog, PowerControlStep)
{
    RunResult r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 4, "status": "0x701"}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed + kCompleted);
    EXPECT_EQ(r.exitStatus, 0);

    r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 4, "status": "0x708"}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + "Enabling Wdt PwrCtrl-Mode failed with error 0x0708\n");
    EXPECT_EQ(r.exitStatus, 8);
    EXPECT_EQ(r.trace, "0x6000/0x4 in=01 out=0 status=0x708 returned=-\n"); // never armed
}

TEST(Watchdog, AFailingArm)
{
    RunResult r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 0, "status": "0x708"}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + "Function Setting Wdt time failed: Device Busy\n");
    EXPECT_EQ(r.exitStatus, 8);
}

TEST(Watchdog, AFailedRetriggerDisarmsInsteadOfRestartingTheMachine)
{
    RunResult r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 6, "sequence": [0, "0x708"]}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed +
                         "Function Retriggering Wdt failed: Device Busy\n"
                         "Disabling Wdt succeeded\n");
    EXPECT_EQ(r.exitStatus, 8);
    EXPECT_EQ(r.trace, std::string(kArm) + kKick + "0x6000/0x6 in=- out=0 status=0x708 returned=-\n" + kDisarm +
                           "event watchdog disarmed after 2 s: 1 retriggers, at most 2 s without one\n");

    // The disarm failing too is reported; the result stays the retrigger's.
    r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 6, "status": "0x33"},
                           {"group": "0x6000", "offset": 0, "sequence": [0, "0x708"]}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed +
                         "Retriggering Wdt failed with error 0x0033\n"
                         "Function Disabling Wdt failed: Device Busy\n");
    EXPECT_EQ(r.exitStatus, 0x33);
    EXPECT_NE(r.trace.find("event restart"), std::string::npos); // nothing could stop it
}

TEST(Watchdog, AFailedDisarmIsTheResult)
{
    RunResult r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 0, "sequence": [0, "0x701"]}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed + "Wdt was retrigger 5 times\nFunction Disabling Wdt not supported\n");
    EXPECT_EQ(r.exitStatus, 1);
}

TEST(Watchdog, EverySignalThatWouldEndTheProcessDisarmsFirst)
{
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
                    SIGXFSZ, SIGIO, SIGPWR, SIGRTMIN, SIGRTMAX, SIGSEGV, SIGABRT, SIGBUS, SIGFPE}) {
        RunOptions o;
        o.fastClock = false;
        o.signal = sig;
        o.when = "Press any key";
        RunResult r = RunVemiCmd({"/s", "/wdt"}, o);
        EXPECT_EQ(r.signal, sig) << sig;
        EXPECT_EQ(r.out, std::string(kArmed) + "Disabling Wdt succeeded\n") << sig;
        EXPECT_EQ(TraceLines(r.trace, "0x6000/0x0"), "0x6000/0x0 in=05 out=0 status=0x0 returned=0\n" +
                                                         std::string(kDisarm)) << sig;
        EXPECT_EQ(r.trace.find("event restart"), std::string::npos) << sig;
    }
}

TEST(Watchdog, AReaderThatHasGoneIsAnOutputErrorAfterTheDisarm)
{
    RunOptions o;
    o.output = Output::kGoneReader;
    RunResult r = RunVemiCmd({"/wdt"}, o);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.err, "VemiCmd: cannot write standard output: Broken pipe\n");
    EXPECT_EQ(r.trace, FullRun());
}

// On a terminal, as a job of a shell: only a key press leaves the watchdog armed.
TEST(Watchdog, AsAJobOnATerminal)
{
    struct Case {
        const char* what;
        Job job;
        bool tostop;
        Output output;
        const char* typed; // when the test is armed; in the background, at once
        std::string out;
        int signal;
        bool armedLeft;
        int unread; // a background job must not take the terminal's input
    } cases[] = {
        {"a key", Job::kForeground, false, Output::kCapture, "k",
         std::string(kArmed) + "Retriggering stopped by key press: the watchdog will restart the machine\n", 0, true, 0},
        {"Ctrl-C", Job::kForeground, false, Output::kCapture, "\x03", std::string(kArmed) + "Disabling Wdt succeeded\n",
         SIGINT, false, 0},
        {"Ctrl-Z is ignored while armed", Job::kForeground, false, Output::kCapture, "\x1a",
         std::string(kArmed) + kCompleted, 0, false, 0},
        {"in the background, keys are not watched", Job::kBackground, false, Output::kCapture, "x\n",
         std::string(kArmed) + kCompleted, 0, false, 2},
        {"in the background with tostop, output goes on", Job::kBackground, true, Output::kTerminal, "",
         std::string(kArmed) + kCompleted, 0, false, 0},
    };
    for (const Case& c : cases) {
        RunOptions o;
        bool background = c.job == Job::kBackground;
        o.fastClock = background; // a key typed needs the test to be still running
        o.job = c.job;
        o.tostop = c.tostop;
        o.output = c.output;
        o.typed = c.typed;
        o.when = background ? "" : "Press any key";
        RunResult r = RunVemiCmd({"/s", "/wdt"}, o);
        EXPECT_FALSE(r.stopped) << c.what;
        EXPECT_EQ(r.out, c.out) << c.what;
        EXPECT_EQ(r.signal, c.signal) << c.what;
        EXPECT_EQ(r.exitStatus, c.signal ? -1 : 0) << c.what;
        EXPECT_TRUE(r.terminalSane) << c.what;
        EXPECT_EQ(r.unreadInput, c.unread) << c.what;
        EXPECT_EQ(r.trace.find(kDisarm) == std::string::npos, c.armedLeft) << c.what;
        EXPECT_EQ(r.trace.find("event restart") != std::string::npos, c.armedLeft) << c.what;
    }
}

// The board outlives the program: vemisim records what the program no longer can.
TEST(Watchdog, VemisimRecordsTheRestartOfAProgramKilledOrStoppedWhileArmed)
{
    std::string tool = VemiCmdPath() + " /s /wdt >out & p=$!; until grep -q Press out; do sleep 0.05; done; ";
    for (auto [script, restart] : {
             std::pair<std::string, std::string>{"kill -KILL $p", "left armed (5 s) when the program ended"},
             {"kill -STOP $p; sleep 6.5; kill -KILL $p", "expired after 5 s without retrigger"}}) {
        RunOptions o;
        o.fastClock = false;
        RunResult r = RunVemisim({"--trace", "/dev/stdout", "--", "/bin/sh", "-c", "cd \"$(mktemp -d)\"; " + tool + script + "; wait; rm -r \"$PWD\""}, o);
        EXPECT_EQ(TraceLines(r.out, "event"), "event restart: watchdog " + restart + "\n") << script;
        EXPECT_EQ(r.exitStatus, 0);
    }
}

} // namespace
