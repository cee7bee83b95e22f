// vemid's command line: which pidfile it takes, which is the watchdog's lock.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include "VemidOptions.h"
#include "LockFile.h"

namespace {

// The status of parsing vemid's arguments args into *o, which points into args:
// the caller keeps them.
int ParseStatus(std::vector<std::string>& args, VemidOptions* o)
{
    args.insert(args.begin(), "vemid");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    optind = 1;
    return ParseVemidOptions((int)args.size(), argv.data(), o);
}

VemidOptions Parse(std::vector<std::string> args)
{
    VemidOptions o;
    EXPECT_EQ(ParseStatus(args, &o), 0);
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

// The checks' user: by name or number, its own group or one named after ':'.
TEST(VemidOptions, TheChecksUserIsNamedAndResolved)
{
    struct passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr)
        GTEST_SKIP() << "no user nobody here";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const struct {
        const char* given;
        long gid;
    } cases[] = {{"nobody", (long)gid}, {"nobody:0", 0}, {"nobody:root", 0}};
    for (const auto& c : cases) {
        VemidOptions o = Parse({"-e", "true", "-U", c.given});
        EXPECT_STREQ(o.checkUser, "nobody") << c.given;
        EXPECT_EQ(o.checkUid, (long)uid) << c.given;
        EXPECT_EQ(o.checkGid, c.gid) << c.given;
    }
    EXPECT_STREQ(Parse({"-U", std::to_string(uid)}).checkUser, "nobody");
    EXPECT_EQ(Parse({}).checkUser, nullptr) << "checks run as vemid by default";
    for (std::string bad : {"no-such-user-here", "nobody:no-such-group-here", ":0", ""}) {
        VemidOptions o;
        std::vector<std::string> args = {"-U", bad};
        testing::internal::CaptureStderr();
        EXPECT_EQ(ParseStatus(args, &o), 64) << bad;
        testing::internal::GetCapturedStderr();
    }
}

} // namespace
