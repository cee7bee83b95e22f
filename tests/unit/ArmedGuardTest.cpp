// The armed guard of both programs, in-process: which signals it takes for an end,
// which stay ignored, and its write guard.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ArmedGuard.h"

namespace {

const int kIgnored[] = {SIGTSTP, SIGPIPE};

struct Case {
    const char* name;
    int callerIgnores; // 0: none
    int sent;
    int taken;         // the ending signal recorded; 0: none
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

const Case kCases[] = {
    {"ATermIsAnEnd", 0, SIGTERM, SIGTERM},
    {"ASentFaultIsAnEnd", 0, SIGSEGV, SIGSEGV},
    {"AnAlarmIsAnEnd", 0, SIGALRM, SIGALRM},
    {"ARealTimeSignalIsAnEnd", 0, SIGRTMIN + 3, SIGRTMIN + 3},
    {"AnIgnoredHangupStaysIgnored", SIGHUP, SIGHUP, 0},
    {"AnIgnoredFirstRealTimeSignalStaysIgnored", SIGRTMIN, SIGRTMIN, 0},
    {"ASignalThePolicyIgnoresIsNoEnd", 0, SIGPIPE, 0},
};

// Sent by another process, as a user's kill is.
void SendFromAnother(int sig)
{
    pid_t child = fork();
    if (child == 0) {
        kill(getppid(), sig);
        _exit(0);
    }
    waitpid(child, nullptr, 0);
}

class Guard : public testing::TestWithParam<Case> {};

TEST_P(Guard, TakesWhatEndsAndLeavesWhatIsIgnored)
{
    const Case& c = GetParam();
    struct sigaction before = {};
    if (c.callerIgnores != 0) {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(c.callerIgnores, &ignore, &before);
    }
    struct sigaction original; // the sanitizers' own handler of faults, where they run
    sigaction(c.sent, nullptr, &original);
    const GuardPolicy policy = {kIgnored, 2, nullptr, 0, nullptr, nullptr};
    GuardInstall(&policy, false);
    GuardArming();
    SendFromAnother(c.sent);
    EXPECT_EQ(GuardEndingSignal(), c.taken);
    GuardForgetSignal();
    EXPECT_EQ(GuardEndingSignal(), 0);
    GuardRelease(false);
    struct sigaction after;
    sigaction(c.sent, nullptr, &after);
    EXPECT_EQ(after.sa_handler, original.sa_handler) << "put back as it was";
    EXPECT_EQ(c.callerIgnores == c.sent, after.sa_handler == SIG_IGN);
    if (c.callerIgnores != 0)
        sigaction(c.callerIgnores, &before, nullptr);
}

INSTANTIATE_TEST_SUITE_P(, Guard, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A write into a full pipe ends within the guard's time, with the first real-time
// signal ignored by the caller too.
TEST(GuardWrite, AWriteThatWouldWaitIsCutShort)
{
    struct sigaction ignore = {}, before;
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGRTMIN, &ignore, &before);
    const GuardPolicy policy = {kIgnored, 2, nullptr, 0, nullptr, nullptr};
    GuardInstall(&policy, false);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    char block[4096] = {};
    while (write(fds[1], block, sizeof(block)) > 0) {
    }
    fcntl(fds[1], F_SETFL, 0); // a writer that would now wait for ever
    // Unguarded, the write would wait for ever: a reader comes after 10 s, so that
    // the test fails rather than hangs.
    std::atomic<bool> done{false};
    std::thread rescue([&] {
        for (int i = 0; i < 100 && !done; i++)
            usleep(100000);
        char drained[sizeof(block)];
        if (!done && read(fds[0], drained, sizeof(drained)) < 0) { /* the write fails the test anyway */ }
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(GuardWriteBegin()); // the rescue must be joined whatever happens
    ssize_t n = write(fds[1], block, sizeof(block));
    GuardWriteEnd();
    done = true;
    rescue.join();
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(n, -1);
    EXPECT_LT(took.count(), 5000); // 50 ms, with room for a loaded machine; without the guard: for ever
    EXPECT_EQ(GuardEndingSignal(), 0) << "its timer is no end";
    GuardRelease(false);
    close(fds[0]);
    close(fds[1]);
    sigaction(SIGRTMIN, &before, nullptr);
}

} // namespace
