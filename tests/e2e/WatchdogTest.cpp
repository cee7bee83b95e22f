// /wdt: only a key press leaves the watchdog armed. What data can say about the
// test is in cases/watchdog.cases; here are signals, terminals and pipes.
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
const char kDisarm[] = "0x6000/0x0 in=00 out=0 status=0x0 returned=0\n";

TEST(Watchdog, EverySignalThatWouldEndTheProcessDisarmsFirst)
{
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
                    SIGXFSZ, SIGRTMIN, SIGRTMAX, SIGSEGV, SIGABRT, SIGBUS, SIGFPE,
#ifdef __linux__
                    SIGIO, SIGPWR, // they end a process on Linux only
#endif
         }) {
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
    EXPECT_NE(r.trace.find(kDisarm), std::string::npos);
    EXPECT_EQ(r.trace.find("event restart"), std::string::npos);
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
