// /wdt: only a key press leaves the watchdog armed. What data can say about the
// test is in cases/watchdog.cases and, on terminals, cases/terminal.cases; here
// are every signal and the reader that has gone.
#include <gtest/gtest.h>

#include <signal.h>

#include "RunTool.h"

namespace {

const char kArmed[] =
    "Watchdog set to 5 sec\n"
    "Retrigger every 2 sec\n"
    "Retriggering...(please Wait)\n"
    "Press any key to abort retriggering(cause restart!)\n";

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

} // namespace
