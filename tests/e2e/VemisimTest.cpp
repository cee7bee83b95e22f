// vemisim itself: the node and only the node, the library, a board per process.
// Board-file errors and usage are in cases/vemisim.cases.
#include <gtest/gtest.h>

#include <fstream>
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
