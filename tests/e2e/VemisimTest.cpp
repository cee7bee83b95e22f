// vemisim itself: the node and only the node, the library, a board per process.
// Board-file errors and usage are in cases/vemisim.cases.
#include <gtest/gtest.h>

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>

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
    EXPECT_EQ(r.out.substr(others), "other path: fd ok, ioctl -1 errno 25, version 0.0, counter 0\n"
                                    "other request: -1 errno 22\n"
                                    "bad record: -1 errno 14\n"
                                    "bad output area: -1 errno 14\n"
                                    "reused descriptor: same 1, ioctl -1 errno 25\n");
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

// The board's file is unlinked as soon as it is made: killing vemisim leaves nothing.
TEST(Vemisim, LeavesNothingInTheTemporaryFolderEvenWhenKilled)
{
    char dir[] = "/tmp/vemisim-tmpdir-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string script = "TMPDIR=" + std::string(dir) + " " + VemisimPath() + " -- " + VemiCmdPath() +
                         " /s /wdt >/dev/null & sleep 0.5; kill -KILL $!; wait; ls -A " + dir;
    RunResult r = RunVemisim({"--", "/bin/sh", "-c", script});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitStatus, 0);
    rmdir(dir);
}

} // namespace
