// The watchdog's lock, as VemiCmd's test and vemid's pidfile take it, in a folder
// every user may write to (1777, as /tmp): each case is run as root and, where
// root can switch, as another user (nobody), against a third user's doings.
#include <gtest/gtest.h>

#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "RunTool.h"

namespace {

struct LockCase {
    const char* name;
    const char* make;    // sh, as root, in the shared folder: {me} the program's user, {other} another
    const char* path;    // the lock's path there
    const char* vemicmd; // VemiCmd /wdt's last line and exit status
    const char* vemid;   // vemid's refusal (a holder's pid is HOLDER), if any, and exit status
};

// A process of a user ({as_me} or {as_other}) that holds vemid.pid open and
// locked, from a read-only open; $h is its pid.
#define HOLDER(as) \
    as " sh -c 'exec 3<vemid.pid; flock -s 3; touch held; exec sleep 30' & h=$!; " \
    "until [ -e held ]; do sleep 0.05; done"

const LockCase kCases[] = {
    {"AFolderLinkOfAnotherUsersIsRefused", "mkdir real; chown {me} real; ln -s real link; chown -h {other} link",
     "link/vemid.pid",
     "Watchdog lock on link/vemid.pid cannot be had (link: a symbolic link owned by uid {other}): not tested\n77",
     "vemid: {dir}/link/vemid.pid: refused: {dir}/link: a symbolic link owned by uid {other}\n71"},
    {"AnotherUsersFolderIsRefused", "mkdir -m 755 run; chown {other} run", "run/vemid.pid",
     "Watchdog lock on run/vemid.pid cannot be had (run: a folder owned by uid {other}): not tested\n77",
     "vemid: {dir}/run/vemid.pid: refused: {dir}/run: a folder owned by uid {other}\n71"},
    {"AFolderOthersMayWriteToIsRefused", "mkdir -m 777 run; chown {me} run", "run/vemid.pid",
     "Watchdog lock on run/vemid.pid cannot be had (run: a folder others may write to, without the sticky bit): "
     "not tested\n77",
     "vemid: {dir}/run/vemid.pid: refused: {dir}/run: a folder others may write to, without the sticky bit\n71"},
    {"TheUsersOwnFolderLinkIsFollowed", "mkdir real; chown {me} real; ln -s real link; chown -h {me} link",
     "link/vemid.pid", "Disabling Wdt succeeded\n0", "0"},
    {"AnOldOpenFileAnotherUserHoldsIsReplaced", "echo 1 >vemid.pid; chown {me} vemid.pid; " HOLDER("{as_other}"),
     "vemid.pid", "Disabling Wdt succeeded\n0", "0"},
    {"AnOldOpenFileTheUserHoldsNamesItsHolder", "echo 1 >vemid.pid; chown {me} vemid.pid; " HOLDER("{as_me}"),
     "vemid.pid", "Watchdog held by sleep (lock on vemid.pid): not tested\n75",
     "vemid: another vemid -n runs: pid HOLDER has the lock on {dir}/vemid.pid\n75"},
};

void PrintTo(const LockCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string Replaced(std::string text, const std::string& key, const std::string& value)
{
    for (size_t at; (at = text.find(key)) != std::string::npos;)
        text.replace(at, key.size(), value);
    return text;
}

class Lock : public testing::TestWithParam<LockCase> {};

TEST_P(Lock, IsTakenOnlyWhereNoOtherUserCanTakeOrAimIt)
{
    const LockCase& c = GetParam();
    std::vector<std::pair<std::string, std::string>> users = {{std::to_string(geteuid()), "65534"}};
    if (geteuid() == 0 && ProgramsReachableAs(65534))
        users.push_back({"65534", "65533"});
    else if (geteuid() == 0)
        std::cout << "as root alone: uid 65534 cannot reach the programs under test\n";
    for (const auto& [me, other] : users) {
        // Each program on the case made afresh; what is left after it is named.
        std::string once = std::string(c.make) + "; " +
                           "VEMISIM_FAST_CLOCK=1 {as_me} {vemicmd} --lock-file={path} /s /wdt >out 2>&1; s=$?; "
                           "tail -n 1 out; echo $s; [ -z \"$h\" ] || { kill $h; wait $h; }; h=; "
                           "rm -rf held real/vemid.pid; [ -e {path} ] && [ ! -s {path} ] && echo left; "
                           "rm -rf real link run vemid.pid; " +
                           c.make + "; {as_me} {vemid} -d -n -I {path} 2>err & v=$!; sleep 1; kill $v 2>/dev/null; "
                           "wait $v; s=$?; grep -E 'refused|has the lock' err | sed \"s/pid $h /pid HOLDER /\"; "
                           "echo $s; [ -z \"$h\" ] || { kill $h; wait $h; }; [ -e real/vemid.pid ] && echo written; "
                           "[ -e {path} ] && [ ! -s {path} ] && echo left; true";
        if (geteuid() != 0 && strstr(c.make, "{other}") != nullptr)
            continue; // another user's files need root to make
        std::string script =
            "chmod 755 .; mkdir -m 1777 shared; cd shared; pwd; h=; " + once;
        // A command as the user, by setpriv, which leaves the pid to the command.
        auto as = [](const std::string& uid) {
            return uid == std::to_string(geteuid()) ? std::string()
                                                    : "setpriv --reuid=" + uid + " --regid=" + uid + " --clear-groups";
        };
        script = Replaced(Replaced(script, "{as_me}", as(me)), "{as_other}", as(other));
        script = Replaced(Replaced(Replaced(script, "{path}", c.path), "{me}", me), "{other}", other);
        script = Replaced(Replaced(script, "{vemicmd}", VemiCmdPath()), "{vemid}", VemidPath());
        RunResult r = RunVemisim({"--", "/bin/sh", "-c", script});
        // vemid names its files from the folder it started in, the run's first line.
        std::string dir = r.out.substr(0, r.out.find('\n'));
        std::string expected = std::string(c.vemicmd) + "\n" + c.vemid + "\n";
        expected = Replaced(Replaced(Replaced(expected, "{me}", me), "{other}", other), "{dir}", dir);
        EXPECT_EQ(r.out.substr(std::min(r.out.size(), dir.size() + 1)), expected) << "as uid " << me << "\n" << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(, Lock, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<LockCase>& i) { return i.param.name; });

} // namespace
