// vemisim itself: the node and only the node, board files and their errors, the trace.
#include <gtest/gtest.h>

#include <fstream>

#include "RunTool.h"

namespace {

TEST(Vemisim, AnswersTheNodeThroughEveryOpenEntryAndNothingElse)
{
    RunResult r = RunVemisim({"--", VEMI_TEST_PROBE});
    EXPECT_EQ(r.out, "open: fd ok, ioctl 0 errno 0, version 2.1, counter 4\n"
                     "open64: fd ok, ioctl 0 errno 0, version 2.1, counter 4\n"
                     "openat: fd ok, ioctl 0 errno 0, version 2.1, counter 4\n"
                     "openat64: fd ok, ioctl 0 errno 0, version 2.1, counter 4\n"
                     "__open_2: fd ok, ioctl 0 errno 0, version 2.1, counter 4\n"
                     "__open64_2: fd ok, ioctl 0 errno 0, version 2.1, counter 4\n"
                     "__openat_2: fd ok, ioctl 0 errno 0, version 2.1, counter 4\n"
                     "__openat64_2: fd ok, ioctl 0 errno 0, version 2.1, counter 4\n"
                     "other path: fd ok, ioctl -1 errno 25, version 0.0, counter 0\n"
                     "other request: -1 errno 22\n"
                     "bad record: -1 errno 14\n"
                     "bad output area: -1 errno 14\n"
                     "reused descriptor: same 1, ioctl -1 errno 25\n");
    EXPECT_EQ(r.exitStatus, 0);
}

TEST(Vemisim, ABadBoardFileStopsBeforeTheCommandRuns)
{
    RunOptions o;
    o.simArgs = {};
    struct Case {
        std::string json;
        std::string message;
    } cases[] = {
        {"{\"sensors\": [{\"type\": -1}]}", "board.sensors[0].type: expected an integer from 0 to 4294967295"},
        {"[1, 2]", "board: expected an object"},
        {"{\"version\": {\"major\": 1,}}", "parse error"},
    };
    for (const Case& c : cases) {
        std::string path = "/tmp/vemisim-bad-board.json";
        std::ofstream(path) << c.json;
        RunResult r = RunVemisim({"--board", path, "--", "/bin/echo", "ran"});
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("vemisim: " + path + ": ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        remove(path.c_str());
    }
    RunResult r = RunVemisim({"--board", "/nonexistent/board.json", "--", "/bin/echo", "ran"});
    EXPECT_EQ(r.err, "vemisim: /nonexistent/board.json: cannot read: No such file or directory\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out, "");
    r = RunVemisim({"--board", "nosuch", "--", "/bin/echo", "ran"});
    EXPECT_EQ(r.err, "vemisim: nosuch: no such board file, nor a board of the library (vemisim --list-boards names them)\n");
    EXPECT_EQ(r.exitStatus, 2);
}

TEST(Vemisim, UsageErrorsAndTheCommandsExitStatus)
{
    EXPECT_EQ(RunVemisim({"--bogus", "--", "/bin/true"}).exitStatus, 2);
    EXPECT_EQ(RunVemisim({"--trace"}).exitStatus, 2);
    EXPECT_EQ(RunVemisim({}).exitStatus, 2);
    EXPECT_EQ(RunVemisim({"--", "/nonexistent/command"}).exitStatus, 127);
    EXPECT_EQ(RunVemisim({"--", "/bin/sh", "-c", "exit 7"}).exitStatus, 7);
    RunResult help = RunVemisim({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out.rfind("usage: vemisim", 0), 0u);
}

TEST(Vemisim, EachProcessHasItsOwnBoardAndTheTraceCollectsAll)
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
    EXPECT_EQ(text, "0x0/0x0 in=- out=4 status=0x0 returned=4\n"
                    "0x0/0x2 in=- out=12 status=0x0 returned=12\n"
                    "0x0/0x0 in=- out=4 status=0x0 returned=4\n"
                    "0x0/0x2 in=- out=12 status=0x0 returned=12\n");
    remove(board.c_str());
    remove(trace.c_str());
}

} // namespace
