// /wdt: only a key press leaves the watchdog armed. What data can say about the
// test is in cases/watchdog.cases and, on terminals, cases/terminal.cases; here
// are every signal and the reader that has gone.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>


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

// A write error while armed is kept: the test disarms, and the run fails and says
// why, in every style; with /s, nothing is written but while armed.
TEST(Watchdog, AFullDiskWhileArmedFailsTheRunAfterTheDisarm)
{
    for (const char* style : {"", "--json", "/s"}) {
        RunResult r = RunVemisim({"--fast-clock", "--trace", "trace", "--", "/bin/sh", "-c",
                                  VemiCmdPath() + " --lock-file=vemid.pid " + style + " /wdt >/dev/full"});
        EXPECT_EQ(r.exitStatus, 255) << style;
        EXPECT_EQ(r.err.substr(r.err.find("VemiCmd:") == std::string::npos ? 0 : r.err.find("VemiCmd:")),
                  "VemiCmd: cannot write standard output: No space left on device\n") << style;
        EXPECT_NE(r.trace.find(kDisarm), std::string::npos) << style;
        EXPECT_EQ(r.trace.find("event restart"), std::string::npos) << style;
    }
}

// A stream that takes each write only in part (a socket with a small buffer and a
// slow reader) gets the bytes of an unhindered run, all of them, in order.
TEST(Watchdog, AStreamThatTakesWritesInPartsGetsEveryByteInOrder)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    RunOptions plain;
    plain.fastClock = false;
    std::string expected = RunVemiCmd({"/wdt", "/ver"}, plain).out;
    ASSERT_NE(expected.find("Disabling Wdt succeeded"), std::string::npos);

    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    int small = 2048;
    setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &small, sizeof(small));
    setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
    char dir[] = "/tmp/vemi-parts-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(dir) != 0)
            _exit(126);
        dup2(pair[1], STDOUT_FILENO);
        close(pair[0]);
        close(pair[1]);
        execl(VemisimPath().c_str(), "vemisim", "--", VemiCmdPath().c_str(), "--lock-file=vemid.pid", "/wdt", "/ver",
              (char*)nullptr);
        _exit(127);
    }
    close(pair[1]);
    std::string got;
    char buf[7]; // a few bytes at a time, slowly: the tool's writes find little room
    for (ssize_t n; (n = read(pair[0], buf, sizeof(buf))) > 0;) {
        got.append(buf, (size_t)n);
        usleep(3000);
    }
    close(pair[0]);
    int status = 0;
    waitpid(child, &status, 0);
    std::string rm = std::string("rm -rf '") + dir + "'";
    EXPECT_EQ(system(rm.c_str()), 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(got, expected);
}

} // namespace
