// vemisim itself: the node and only the node, the library, a board per process.
// Board-file errors and usage are in cases/vemisim.cases.
#include <gtest/gtest.h>

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "LockFile.h"
#include "RunTool.h"

namespace {

TEST(Vemisim, AnswersTheNodeThroughEveryOpenEntryAndNothingElse)
{
    RunResult r = RunVemisim({"--", VEMI_TEST_PROBE});
    // Each entry of the C library for opening a file (open, openat, and the system's own).
    size_t others = r.out.find("other path: ");
    std::istringstream entries(r.out.substr(0, others));
    int count = 0;
    for (std::string line; std::getline(entries, line); count++)
        EXPECT_EQ(line.substr(line.find(':')), ": fd ok, ioctl 0 errno 0, version 2.1, counter 4") << line;
    EXPECT_GE(count, 2);
    const char kNode[] = ": fd ok, ioctl 0 errno 0, version 2.1, counter 4\n";
    EXPECT_EQ(r.out.substr(others), std::string("other path: fd ok, ioctl -1 errno 25, version 0.0, counter 0\n"
                                                "other request: -1 errno 22\n"
                                                "bad record: -1 errno 14\n"
                                                "bad output area: -1 errno 14\n"
                                                "reused descriptor: same 1, ioctl -1 errno 25\n") +
                                        "dup" + kNode + "dup2" + kNode + "F_DUPFD" + kNode + "F_DUPFD_CLOEXEC" + kNode +
                                        "FIOCLEX 0, FIONCLEX 0, close-on-exec 0\n" + "kept across exec" + kNode);
    EXPECT_EQ(r.exitStatus, 0);
}

// 16 threads of one program on the node, from its first use on, on a board that
// takes a while to load: each answer is the board's.
TEST(Vemisim, ThreadsOfOneProgramEachGetTheBoardsAnswers)
{
    RunOptions o;
    o.boardJson = R"({"version": {"major": 9, "minor": 9, "build": 9}, "sensors": [)";
    for (int i = 0; i < 30000; i++)
        o.boardJson += std::string(i ? "," : "") + R"({"type": 1, "reading": 40, "description": "Sensor"})";
    o.boardJson += "]}";
    RunResult r = RunVemisim({"--board", "board.json", "--", VEMI_TEST_THREAD_PROBE, "16", "2000", "9", "9", "9"}, o);
    EXPECT_EQ(r.out, "0 wrong answers\n") << r.err;
    EXPECT_EQ(r.exitStatus, 0);
}

TEST(Vemisim, ListsEveryBoardOfTheLibraryWithOneLine)
{
    RunResult r = RunVemisim({"--list-boards"});
    EXPECT_EQ(r.exitStatus, 0);
    for (const char* name :
         {"busy", "default", "full-names", "no-gpio-ex", "no-sensors", "no-ups", "odd-names", "ups-on-battery"})
        EXPECT_NE(("\n" + r.out).find(std::string("\n") + name + " "), std::string::npos) << name;
}

TEST(Vemisim, FaultSequencesCountInEachProcessAndTheTraceCollectsAll)
{
    std::string board = "/tmp/vemisim-seq-board.json", trace = "/tmp/vemisim-seq-trace";
    std::ofstream(board) << R"({"faults": [{"group": 0, "offset": 0, "sequence": [0, "0x708"]}]})";
    std::ofstream(trace) << "left over from an earlier run\n";
    // The sequence starts anew in each process: both version reads succeed.
    std::string cmd = VemiCmdPath() + " /s /ver >/dev/null && " + VemiCmdPath() + " /s /ver";
    RunResult r = RunVemisim({"--board", board, "--trace", trace, "--", "/bin/sh", "-c", cmd});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.substr(0, 16), "Vemilex Version:");
    std::ifstream in(trace);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // From the second process on, each line names its process.
    text = std::regex_replace(text, std::regex("\\[[0-9]+\\] "), "[pid] ");
    EXPECT_EQ(text, "0x0/0x0 in=- out=4 status=0x0 returned=4\n"
                    "0x0/0x2 in=- out=12 status=0x0 returned=12\n"
                    "[pid] 0x0/0x0 in=- out=4 status=0x0 returned=4\n"
                    "[pid] 0x0/0x2 in=- out=12 status=0x0 returned=12\n");
    remove(board.c_str());
    remove(trace.c_str());
}

// An expired watchdog restarts the board: every process under vemisim ends, not
// only those that opened the node, and vemisim says so.
TEST(Vemisim, AnExpiredWatchdogEndsEveryProcess)
{
    char pidFile[] = "/tmp/vemisim-expiry-XXXXXX";
    close(mkstemp(pidFile));
    RunOptions o;
    o.timeoutMs = 15000;
    RunResult r = RunVemisim({"--trace", "trace", "--", "/bin/sh", "-c",
                              "echo $$ >" + std::string(pidFile) + "; " + VemiCmdPath() +
                                  " /s /ig:6000 /io:0 /ibuf:B:2 /olen:0; sleep 30; echo never"},
                             o);
    EXPECT_EQ(r.exitStatus, 124);
    EXPECT_EQ(r.err, "vemisim: the watchdog restarted the board; every process on it was ended\n");
    EXPECT_EQ(r.trace, "0x6000/0x0 in=02 out=0 status=0x0 returned=0\n"
                       "event restart: watchdog expired after 2 s without retrigger\n");
    std::ifstream in(pidFile);
    int shell = 0;
    in >> shell;
    EXPECT_GT(shell, 0);
    EXPECT_TRUE(kill(shell, 0) != 0 && errno == ESRCH) << "the command's shell still runs";
    unlink(pidFile);
}

// The board's file is unlinked as soon as it is made: killing vemisim leaves nothing
// once its processes have ended (the run's lock file is its holder's, until it ends).
TEST(Vemisim, LeavesNothingInTheTemporaryFolderEvenWhenKilled)
{
    char dir[] = "/tmp/vemisim-tmpdir-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string script = "TMPDIR=" + std::string(dir) + " " + VemisimPath() + " -- " + VemiCmdPath() +
                         " /s /wdt >/dev/null & sleep 0.5; kill -KILL $!; wait; n=0; while [ -n \"$(ls -A " + dir +
                         ")\" ] && [ $n -lt 150 ]; do sleep 0.1; n=$((n + 1)); done; ls -A " + dir;
    RunResult r = RunVemisim({"--", "/bin/sh", "-c", script});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitStatus, 0);
    rmdir(dir);
}

// A daemon that detaches (a fork, a new session) before it opens the node is still on
// the board: vemisim waits for it, and its watchdog, armed and never fed, restarts
// the board.
TEST(Vemisim, ADaemonThatDetachesBeforeOpeningTheNodeStaysOnTheBoard)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    RunOptions o;
    o.timeoutMs = 20000;
    std::string daemon = "sleep 0.3; " + VemiCmdPath() + " /s /ig:6000 /io:0 /ibuf:B:3 /olen:0 >/dev/null; sleep 8";
    RunResult r = RunVemisim({"--trace", "trace", "--", "/bin/sh", "-c",
                              "python3 -c 'import os, sys\nif os.fork() == 0:\n os.setsid()\n"
                              " os.execv(\"/bin/sh\", [\"sh\", \"-c\", sys.argv[1]])' \"" + daemon + "\"; exit 0"},
                             o);
    EXPECT_EQ(r.exitStatus, 124) << r.err;
    EXPECT_EQ(r.trace, "0x6000/0x0 in=03 out=0 status=0x0 returned=0\n"
                       "event restart: watchdog expired after 3 s without retrigger\n");
}

// A retrigger counts when the board receives it, whenever its answer comes: with
// retriggers answered 3.15 s late and sent 5.15 s apart, the 5-second watchdog
// expires; 4.85 s apart, it does not.
TEST(Vemisim, ARetriggerCountsWhenItArrives)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    const std::string call = VemiCmdPath() + " /s /olen:0 /ig:6000 ";
    for (const char* pause : {"2", "1.7"}) {
        RunOptions o;
        o.timeoutMs = 20000;
        o.boardJson = R"({"faults": [{"group": "0x6000", "offset": 6, "delay": 3150}]})";
        std::ofstream("/tmp/vemisim-late-board.json") << o.boardJson;
        RunResult r = RunVemisim({"--board", "/tmp/vemisim-late-board.json", "--trace", "trace", "--", "/bin/sh", "-c",
                                  call + "/io:0 /ibuf:B:5; " + call + "/io:6 /ibuf:X; sleep " + pause + "; " + call +
                                      "/io:6 /ibuf:X; " + call + "/io:0 /ibuf:B:0"},
                                 o);
        bool late = std::string(pause) == "2";
        EXPECT_EQ(r.exitStatus, late ? 124 : 0) << pause << ": " << r.trace;
        EXPECT_EQ(r.trace.find("event restart: watchdog expired after 5 s") != std::string::npos, late) << r.trace;
    }
    remove("/tmp/vemisim-late-board.json");
}

// A trace file that takes nothing (a terminal stopped with Ctrl-S, a full pipe)
// holds up no request: the lines wait in vemisim, those past its buffer are dropped
// and counted once the file takes lines again.
TEST(Vemisim, ATraceThatBlocksHoldsUpNoRequest)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    RunOptions o;
    o.timeoutMs = 30000;
    o.collect = {"got"};
    RunResult r = RunVemisim(
        {"--", "/bin/sh", "-c",
         "mkfifo t; (exec 3<t; sleep 3; cat <&3 >got) & exec 4>t; dd if=/dev/zero bs=1024 count=64 iflag=fullblock "
         "oflag=nonblock >&4 2>/dev/null; echo '{\"sensorCount\": 3000, \"sensorsRepeat\": true}' >b.json; " +
             VemisimPath() + " --board b.json --trace t -- " + VemiCmdPath() +
             " --lock-file=vemid.pid /s /sens /wdt >/dev/null; echo vemisim $?; exec 4>&-; wait"},
        o);
    EXPECT_EQ(r.out, "vemisim 0\n") << r.err;
    const std::string& got = r.files["got"];
    EXPECT_NE(got.find("event trace: "), std::string::npos) << got.size();
    EXPECT_NE(got.find(" lines dropped (the trace file was not taking them)\n"), std::string::npos);
}

// No fixed limit on the processes of a run: seventy that open the node at once,
// after their command has ended, are all waited for and traced.
TEST(Vemisim, EveryProcessIsWaitedForHoweverMany)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    RunOptions o;
    o.boardJson = R"({"faults": [{"group": 0, "offset": 0, "delay": 500}]})";
    std::ofstream("/tmp/vemisim-many-board.json") << o.boardJson;
    RunResult r = RunVemisim({"--board", "/tmp/vemisim-many-board.json", "--trace", "trace", "--", "/bin/sh", "-c",
                              "i=0; while [ $i -lt 70 ]; do (sleep 0.5; " + VemiCmdPath() +
                                  " /s /ver >/dev/null) & i=$((i + 1)); done"},
                             o);
    remove("/tmp/vemisim-many-board.json");
    EXPECT_EQ(r.exitStatus, 0);
    int versions = 0;
    for (size_t at = 0; (at = r.trace.find("0x0/0x0 in=- out=4 status=0x0", at)) != std::string::npos; at++)
        versions++;
    EXPECT_EQ(versions, 70);
}

// Each run has a watchdog lock of its own: the default lock path stands for it, so
// that two boards never refuse each other, nor the host's; so does vemid -n's pidfile.
TEST(Vemisim, EachRunHasAWatchdogLockOfItsOwn)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    std::string test = VemiCmdPath() + " /s /wdt | tail -n 1";
    RunResult r = RunVemisim({"--", "/bin/sh", "-c",
                              VemisimPath() + " -- " + test + " & " + VemisimPath() + " -- " + test + "; wait"});
    EXPECT_EQ(r.out, "Disabling Wdt succeeded\nDisabling Wdt succeeded\n");
    // On one board, vemid on the default path keeps the test from running.
    RunOptions o;
    o.timeoutMs = 20000;
    r = RunVemisim({"--", "/bin/sh", "-c",
                    VemidPath() + " -d -t 3 -s 1 2>/dev/null & sleep 1; " + VemiCmdPath() + " /s /wdt; echo $?; kill $!; wait"},
                   o);
    EXPECT_EQ(r.out, std::string("Watchdog held by vemid (lock on ") + VEMI_WATCHDOG_LOCK + "): not tested\n75\n");
    std::string plain = VemidPath() + " -d -n -t 3 -s 1 2>/dev/null & sleep 1; kill $!; wait $!; echo $?";
    r = RunVemisim({"--", "/bin/sh", "-c",
                    VemisimPath() + " -- sh -c '" + plain + "' & " + VemisimPath() + " -- sh -c '" + plain + "'; wait"},
                   o);
    EXPECT_EQ(r.out, "0\n0\n") << "two runs' vemid -n refused each other";
}

// The node by every spelling of its path, by a link to it, from a descriptor of
// /dev; it takes its ioctl alone (no bytes in or out, no mapping), and nothing a
// program does through it changes the board.
TEST(Vemisim, TheNodeIsTheNodeHoweverReachedAndTakesOnlyItsIoctl)
{
    RunResult r = RunVemisim({"--", "/bin/sh", "-c",
                              "ln -s /dev/vemix vlink; " + std::string(VEMI_TEST_PROBE) + " spellings $PWD/vlink; " +
                                  VEMI_TEST_PROBE + " io; head -c 64 /dev/vemix >/dev/null 2>&1; " + VemiCmdPath() +
                                  " /s /ver | head -n 1"});
    const char kNode[] = ": fd ok, ioctl 0 errno 0, version 2.1, counter 4\n";
    std::string expected;
    for (const char* how : {"//dev/vemix", "/dev/./vemix", "/dev//vemix", "/dev/../dev/vemix", "../dev/vemix"})
        expected += how + std::string(kNode);
    size_t link = r.out.find("/vlink:");
    ASSERT_NE(link, std::string::npos) << r.out;
    expected += r.out.substr(r.out.rfind('\n', link) + 1, link - r.out.rfind('\n', link) - 1) + "/vlink" + kNode +
                "openat /dev" + kNode + "from /dev" + kNode + "write -1 errno 19\nread -1 errno 19\n" +
                "mmap failed errno 19\nlseek 0\nafter" + kNode + "Vemilex Version:         2.01.0042\n";
    EXPECT_EQ(r.out, expected) << r.err;
}

// A process whose parent closed what it inherited (Python's subprocess does) is on
// the run's board all the same: its armed watchdog restarts the board, and a
// recording holds its requests.
TEST(Vemisim, AProcessWhoseDescriptorsWereClosedFindsTheRunsBoard)
{
    if (WaitingTestsSkipped())
        GTEST_SKIP() << "waits in real time: run in the build without sanitizers";
    std::string run = "import subprocess, time\nsubprocess.run(['" + VemiCmdPath() +
                      "', '/s', '/ig:6000', '/io:0', '/ibuf:B:3', '/olen:0'])\ntime.sleep(5)\n";
    RunResult r = RunVemisim({"--trace", "trace", "--", "python3", "-c", run});
    EXPECT_EQ(r.exitStatus, 124) << r.err;
    EXPECT_NE(r.trace.find("event restart: watchdog expired after 3 s"), std::string::npos) << r.trace;
    char dir[] = "/tmp/vemisim-closed-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string recording = std::string(dir) + "/rec.json";
    std::string both = "import subprocess\nfor a in (['/ver'], ['/s', '/dalv']): subprocess.run(['" + VemiCmdPath() +
                       "'] + a, stdout=subprocess.DEVNULL)\n";
    RunVemisim({"--board", "default", "--record", recording, "--", "python3", "-c", both});
    r = RunVemisim({"--replay", recording, "--", VemiCmdPath(), "/s", "/ver"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    unlink(recording.c_str());
    rmdir(dir);
}

// A program the board cannot be preloaded into would reach the real node: it is
// not run, as the command or by one of its processes.
TEST(Vemisim, AProgramThatCannotHaveTheBoardIsNotRun)
{
    RunResult r = RunVemisim({"--", VEMI_TEST_STATIC_PROBE});
    EXPECT_EQ(r.exitStatus, 126);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(" is statically linked: the board cannot be preloaded into it"), std::string::npos) << r.err;
    r = RunVemisim({"--", "/bin/sh", "-c", std::string(VEMI_TEST_STATIC_PROBE) + "; echo $?"});
    EXPECT_EQ(r.out, "126\n");
    EXPECT_EQ(r.exitStatus, 126) << "a refusal in the run, a command that exits 0";
    EXPECT_NE(r.err.find("1 program under the run could not have the board and was not run"), std::string::npos);
    if (geteuid() != 0)
        return; // another user's set-user-ID program needs root to make
    r = RunVemisim({"--", "/bin/sh", "-c",
                    "cp " + VemiCmdPath() + " setuid && chown 65534 setuid && chmod 4755 setuid && ./setuid /ver"});
    EXPECT_EQ(r.exitStatus, 126);
    EXPECT_NE(r.err.find("setuid is set-user-ID"), std::string::npos) << r.err;
}

// A trace into a regular file takes every line of a long run; an unusable TMPDIR
// is an error, not a run without its own board and lock.
TEST(Vemisim, ATraceFileLosesNoLineAndAnUnusableTmpdirIsAnError)
{
    RunOptions o;
    o.boardJson = R"({"sensorCount": 5000, "sensorsRepeat": true})";
    RunResult r = RunVemisim({"--board", "board.json", "--trace", "trace", "--", VemiCmdPath(), "/s", "/sens"}, o);
    EXPECT_EQ(std::count(r.trace.begin(), r.trace.end(), '\n'), 5001) << r.trace.substr(r.trace.size() - 200);
    EXPECT_EQ(r.trace.find("dropped"), std::string::npos);
    r = RunVemisim({"--", "/bin/sh", "-c", "TMPDIR=/missing " + VemisimPath() + " -- " + VemiCmdPath() + " /s /ver; echo $?"});
    EXPECT_EQ(r.out, "2\n");
    EXPECT_NE(r.err.find("cannot make the run's folder in /missing (TMPDIR)"), std::string::npos) << r.err;
}

} // namespace
