// What a run leaves behind in the process, as the in-process runs of the tests and
// the fuzz targets see it: nothing, whatever the board or the outcome.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "InProcessRun.h"

namespace {

std::vector<std::pair<void*, int>> Dispositions()
{
    std::vector<std::pair<void*, int>> all;
    for (int sig = 1; sig < 65; sig++) {
        struct sigaction a = {};
        sigaction(sig, nullptr, &a);
        // The C library may add flags of its own (SA_RESTORER) to any it installs.
        all.push_back({(void*)a.sa_handler, a.sa_flags & (SA_SIGINFO | SA_RESTART | SA_NODEFER | SA_RESETHAND)});
    }
    return all;
}

TEST(Rerun, TheWatchdogTestPutsEverySignalDispositionBack)
{
    signal(SIGUSR1, SIG_IGN); // as a parent may leave one
    std::vector<std::pair<void*, int>> before = Dispositions();
    for (const char* board : {R"({"faults": [{"group": "0x6000", "offset": 0, "status": "0x708"}]})", // arm fails
                              R"({"faults": [{"group": "0x6000", "offset": 6, "status": "0x708"}]})", // retrigger
                              "{}"}) {
        RunOnBoard(board, {"/wdt"});
        EXPECT_EQ(Dispositions(), before) << board;
    }
    signal(SIGUSR1, SIG_DFL);
}

TEST(Rerun, ARunOnAnotherBoardShowsThatBoardAlone)
{
    std::string out;
    EXPECT_EQ(RunOnBoard("{}", {"/s", "/sens"}, "", &out), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 8);
    EXPECT_EQ(RunOnBoard(R"({"sensors": [{"type": 1, "reading": 7, "description": "Only"}]})", {"/s", "/sens"}, "",
                         &out),
              0);
    EXPECT_EQ(out, "Only           :     7.00 C\n");
}

} // namespace
