// vemid's command line: which pidfile it takes, which is the watchdog's lock.
#include <gtest/gtest.h>

#include <unistd.h>

#include "VemidOptions.h"
#include "LockFile.h"

namespace {

VemidOptions Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "vemid");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    optind = 1;
    VemidOptions o;
    EXPECT_EQ(ParseVemidOptions((int)args.size(), argv.data(), &o), 0);
    return o;
}

TEST(VemidOptions, OnlyAKeeperOfTheWatchdogTakesItsLock)
{
    const struct {
        std::vector<std::string> args;
        const char* pidFile;
    } cases[] = {
        {{}, VEMI_WATCHDOG_LOCK},
        {{"-n"}, VEMID_PLAIN_PIDFILE},
        {{"-n", "-I", "/x/n.pid"}, "/x/n.pid"},
        {{"-I", "/x/k.pid"}, "/x/k.pid"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(Parse(c.args).pidFile, c.pidFile) << testing::PrintToString(c.args);
}

} // namespace
